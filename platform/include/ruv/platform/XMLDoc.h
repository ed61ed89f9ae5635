#pragma once
// XML document services over libxml2: a document holds one parsed tree; node
// objects (IXMLNode and the typed interfaces derived from it) are views on the
// tree's nodes, one per node, kept for the document's lifetime.
//
// - A node's class is the one registered for it by its parent's object (by the
//   document, for the document element). A node reached before that
//   registration gets a new object of the registered class: every later way to
//   the node, the typed lists included, gives the new one; objects handed out
//   before keep viewing the node with their old class.
// - Parsing never loads external entities or DTDs and never opens the network;
//   entity-expansion bombs and excessive nesting end in EDOMParseError.
// - Whitespace-only text is dropped at load. Texts are UTF-8.
// - Reading a missing child or attribute through ChildNode/AttributeNode adds it
//   empty to the tree in memory (node auto-creation).
// - Every operation on one document's tree is serialized by a per-document
//   recursive mutex, so one document may be read from several threads at once.
// - Node objects share ownership of the tree: a node still referenced after its
//   document object is gone keeps working and is safe to release.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ruv/platform/Exception.h"

namespace ruv::xml {

// A node or attribute value: a text, or null (std::nullopt).
using Variant = std::optional<std::string>;

// The text of a variant. Null raises EVariantTypeCastError
// "Could not convert variant of type (Null) into type (<targetType>)".
std::string VarToStr(const Variant& value, std::string_view targetType = "String");

enum class NodeType { Element, Attribute, Text, CData, Comment, ProcessingInstruction, Other };

class TXMLNode;
class TXMLDocument;
namespace detail {
struct DocState;
}

// Builds an unattached node object of some node class.
using NodeFactory = std::shared_ptr<TXMLNode> (*)();
template <class T>
NodeFactory NodeClass() {
  return [] { return std::shared_ptr<TXMLNode>(std::make_shared<T>()); };
}

class IXMLNode {
 public:
  static constexpr const char* IID = "{395950C0-7E5D-11D4-83DA-00C04F60B2DD}";
  virtual ~IXMLNode() = default;

  virtual NodeType GetNodeType() const = 0;
  virtual std::string NodeName() const = 0;  // qualified name, as written
  virtual std::string LocalName() const = 0;
  virtual std::string Prefix() const = 0;
  virtual std::string NamespaceURI() const = 0;

  // Child nodes of every kind, in document order.
  virtual int ChildCount() const = 0;
  virtual std::shared_ptr<IXMLNode> ChildAt(int index) const = 0;  // EListError outside
  // The first child element in this element's namespace (any namespace when it
  // has none) whose qualified or local name equals name; null when there is none.
  virtual std::shared_ptr<IXMLNode> FindChildNode(std::string_view name) const = 0;
  // As FindChildNode; a missing child is appended empty, in this element's
  // namespace and with its prefix.
  virtual std::shared_ptr<IXMLNode> ChildNode(std::string_view name) = 0;
  // Appends (index -1) or inserts before child node index a new element in this
  // element's namespace, bound by the classes this node registered.
  virtual std::shared_ptr<IXMLNode> AddChild(std::string_view name, int index = -1) = 0;

  // The attribute node of that qualified or local name; a missing one is added
  // with an empty value.
  virtual std::shared_ptr<IXMLNode> AttributeNode(std::string_view name) = 0;
  virtual bool HasAttribute(std::string_view name) const = 0;
  // The attribute's text; null when it is absent.
  virtual Variant GetAttribute(std::string_view name) const = 0;
  // Sets the attribute (adding it); null removes it.
  virtual void SetAttribute(std::string_view name, const Variant& value) = 0;

  // Element: "" for no children (an empty text node is appended), the value of
  // its one text or CDATA child, else EXMLDocError
  // "Element "<name>" does not contain a single text node". Others: their value.
  virtual std::string Text() = 0;
  virtual void SetText(std::string_view text) = 0;
  // The text, null when empty.
  virtual Variant NodeValue() = 0;
  virtual void SetNodeValue(const Variant& value) = 0;
};

using IXMLNodePtr = std::shared_ptr<IXMLNode>;

// The typed view of a node: null gives null; a node without the interface
// raises EXMLDocError "Interface not supported".
template <class I>
std::shared_ptr<I> As(const IXMLNodePtr& node) {
  if (!node) return nullptr;
  auto typed = std::dynamic_pointer_cast<I>(node);
  if (!typed) throw EXMLDocError("Interface not supported");
  return typed;
}
template <class I>
bool Supports(const IXMLNodePtr& node) {
  return std::dynamic_pointer_cast<I>(node) != nullptr;
}

// A live view on a host element's children: the child elements whose local name
// is the item tag and whose node object offers the item interface, in document
// order. It views the host's tree node, not its node object, so it keeps
// listing after the host's object is released.
class IXMLNodeCollection {
 public:
  static constexpr const char* IID = "{395950C1-7E5D-11D4-83DA-00C04F60B2DD}";
  virtual ~IXMLNodeCollection() = default;
  virtual int Count() const = 0;
  virtual IXMLNodePtr Nodes(int index) const = 0;  // EListError "List index out of bounds (%d)"
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual int Remove(const IXMLNodePtr& node) = 0;  // its former index, or -1
};

// The plain node class and the base of every bound node class.
class TXMLNode : public virtual IXMLNode, public std::enable_shared_from_this<TXMLNode> {
 public:
  TXMLNode();
  ~TXMLNode() override;
  TXMLNode(const TXMLNode&) = delete;
  TXMLNode& operator=(const TXMLNode&) = delete;

  NodeType GetNodeType() const override;
  std::string NodeName() const override;
  std::string LocalName() const override;
  std::string Prefix() const override;
  std::string NamespaceURI() const override;
  int ChildCount() const override;
  IXMLNodePtr ChildAt(int index) const override;
  IXMLNodePtr FindChildNode(std::string_view name) const override;
  IXMLNodePtr ChildNode(std::string_view name) override;
  IXMLNodePtr AddChild(std::string_view name, int index = -1) override;
  IXMLNodePtr AttributeNode(std::string_view name) override;
  bool HasAttribute(std::string_view name) const override;
  Variant GetAttribute(std::string_view name) const override;
  void SetAttribute(std::string_view name, const Variant& value) override;
  std::string Text() override;
  void SetText(std::string_view text) override;
  Variant NodeValue() override;
  void SetNodeValue(const Variant& value) override;

 protected:
  // Runs once, right after the node object is attached to its tree node:
  // bound classes register their child classes and declare their collections here.
  virtual void AfterConstruction() {}
  // Children of this element with that tag in namespaceURI (empty: this
  // element's own namespace) are built as the given class.
  void RegisterChildNode(std::string_view tag, NodeFactory factory, std::string_view namespaceURI = "");
  // A collection hosted on this element (see TXMLNodeCollection).
  template <class C>
  std::shared_ptr<C> CreateCollection(std::string_view itemTag) {
    auto c = std::make_shared<C>();
    c->Attach(*this, itemTag);
    return c;
  }

 private:
  friend class TXMLDocument;
  friend class TXMLNodeCollection;
  friend struct detail::DocState;
  struct Registration {
    std::string tag;
    NodeFactory factory;
    std::string namespaceURI;
  };
  std::shared_ptr<detail::DocState> state_;
  void* node_ = nullptr;  // the libxml2 node (xmlNode or xmlAttr) this object views
  NodeFactory factory_ = nullptr;  // the class it was built as (null: plain node)
  std::uint64_t classChecked_ = 0;  // the document's registrations that class was last checked against
  bool constructed_ = false;        // AfterConstruction has run
  std::vector<Registration> registrations_;
};

// Base of the collection classes. Typed lists add Add/Insert/Get_Item over the
// protected helpers.
class TXMLNodeCollection : public virtual IXMLNodeCollection {
 public:
  int Count() const override;
  IXMLNodePtr Nodes(int index) const override;
  void Clear() override;
  void Delete(int index) override;
  int Remove(const IXMLNodePtr& node) override;

 protected:
  // Whether a child's node object offers the item interface.
  virtual bool IsItem(const IXMLNodePtr& node) const { return node != nullptr; }
  // Appends a new item element (index -1) or inserts it before the host's
  // child node at index (every kind of child counted).
  IXMLNodePtr InsertItem(int index);
  IXMLNodePtr AddItem() { return InsertItem(-1); }
  std::unique_lock<std::recursive_mutex> Lock() const;

 private:
  friend class TXMLNode;
  void Attach(TXMLNode& host, std::string_view itemTag);
  const std::vector<IXMLNodePtr>& ItemsLocked() const;
  std::shared_ptr<detail::DocState> state_;
  void* host_ = nullptr;
  std::string itemTag_;
  // The items as last listed, valid while the tree's generation is unchanged.
  mutable std::vector<IXMLNodePtr> items_;
  mutable std::uint64_t itemsGeneration_ = 0;
};

// A collection whose items offer the interface I.
template <class I>
class TXMLNodeCollectionOf : public TXMLNodeCollection {
 protected:
  bool IsItem(const IXMLNodePtr& node) const override { return Supports<I>(node); }
  std::shared_ptr<I> ItemAs(int index) const { return As<I>(Nodes(index)); }
  std::shared_ptr<I> AddAs() { return As<I>(AddItem()); }
  std::shared_ptr<I> InsertAs(int index) { return As<I>(InsertItem(index)); }
};

// Created children always reuse their parent's namespace binding (prefix
// included), and a created document element declares its namespace.
struct DocumentOptions {
  bool nodeAutoCreate = true;  // missing children and attribute nodes are added on read
  bool attrNull = true;        // an absent attribute reads as null (else as "")
};

class TXMLDocument {
 public:
  static std::shared_ptr<TXMLDocument> Create(DocumentOptions options = {});
  explicit TXMLDocument(DocumentOptions options = {});
  ~TXMLDocument();
  TXMLDocument(const TXMLDocument&) = delete;
  TXMLDocument& operator=(const TXMLDocument&) = delete;

  // Replaces the content with the parsed bytes, decoded as XML 1.0 prescribes
  // (byte-order mark, then the declared encoding). A failure raises
  // EDOMParseError "<reason>\nLine: <n>\n<first 40 characters of that line>"
  // and leaves the content as it was.
  void LoadFromXML(std::string_view bytes);
  // As LoadFromXML for text that is already decoded: the UTF-8 text is parsed as
  // UTF-8 whatever encoding its declaration names (a leading byte-order mark is
  // skipped). Malformed UTF-8 raises EDOMParseError.
  void LoadFromText(std::string_view utf8);
  bool IsEmpty() const;
  // The document element, or null when the document is empty.
  IXMLNodePtr DocumentElement() const;
  // Registers the class for the document element (qualified or local name equal
  // to tag, namespace URI equal to namespaceURI ignoring letter case), creates
  // that element when the document is empty, and returns the document element.
  IXMLNodePtr GetDocBinding(std::string_view tag, NodeFactory factory, std::string_view namespaceURI);
  // The tree as UTF-8 XML text (for diagnostics).
  std::string XML() const;

 private:
  std::shared_ptr<detail::DocState> State() const;
  void Load(std::string_view bytes, bool utf8);
  DocumentOptions options_;
  mutable std::mutex stateMutex_;  // guards state_, which a load replaces
  std::shared_ptr<detail::DocState> state_;
};

using IXMLDocumentPtr = std::shared_ptr<TXMLDocument>;

}  // namespace ruv::xml
