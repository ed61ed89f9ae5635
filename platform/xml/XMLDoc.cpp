#include "ruv/platform/XMLDoc.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

#include "ruv/platform/Text.h"

namespace ruv::xml {

namespace {

const xmlChar* X(const char* s) { return reinterpret_cast<const xmlChar*>(s); }
std::string S(const xmlChar* s) { return s ? std::string(reinterpret_cast<const char*>(s)) : std::string(); }

// Refuses every external resource (DTDs, external entities): a configuration is
// parsed from its own bytes only.
xmlParserInputPtr RefuseExternal(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

void InitLibxml() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(RefuseExternal);
  });
}

std::string Format(const char* format, const std::string& a) {
  std::string out(format);
  out.replace(out.find("%s"), 2, a);
  return out;
}

std::string_view View(const xmlChar* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

xmlNodePtr N(void* p) { return static_cast<xmlNodePtr>(p); }

bool IsElement(xmlNodePtr n) { return n && n->type == XML_ELEMENT_NODE; }

std::string NamespaceOf(xmlNodePtr n) { return (n && n->ns) ? S(n->ns->href) : std::string(); }

std::string QualifiedName(xmlNodePtr n) {
  if (n->ns && n->ns->prefix && (n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE))
    return S(n->ns->prefix) + ":" + S(n->name);
  return S(n->name);
}

bool NameIs(xmlNodePtr n, std::string_view name) {
  const std::string_view local = View(n->name);
  if (local == name) return true;
  if (!n->ns || !n->ns->prefix || (n->type != XML_ELEMENT_NODE && n->type != XML_ATTRIBUTE_NODE)) return false;
  const std::string_view prefix = View(n->ns->prefix);
  return name.size() == prefix.size() + 1 + local.size() && name.starts_with(prefix) && name[prefix.size()] == ':' &&
         name.ends_with(local);
}

// Name rule of lookups and bindings: qualified or local name equal (exactly), and
// the namespace URI equal ignoring letter case; an empty namespace matches any.
bool Matches(xmlNodePtr n, std::string_view name, std::string_view namespaceURI) {
  return IsElement(n) && NameIs(n, name) &&
         (namespaceURI.empty() || EqualsIgnoreAsciiCase(n->ns ? View(n->ns->href) : std::string_view(), namespaceURI));
}

xmlAttrPtr FindAttr(xmlNodePtr element, std::string_view name) {
  if (!IsElement(element)) return nullptr;
  for (xmlAttrPtr a = element->properties; a; a = a->next)
    if (NameIs(reinterpret_cast<xmlNodePtr>(a), name)) return a;
  return nullptr;
}

std::string ContentOf(xmlNodePtr n) {
  xmlChar* c = xmlNodeGetContent(n);
  std::string s = S(c);
  xmlFree(c);
  return s;
}

bool IsBlank(const xmlChar* s) {
  if (!s) return true;
  for (; *s; ++s)
    if (*s != ' ' && *s != '\t' && *s != '\r' && *s != '\n') return false;
  return true;
}

// Drops whitespace-only text nodes (CDATA sections stay).
void StripBlankText(xmlNodePtr root) {
  std::vector<xmlNodePtr> stack{root};
  while (!stack.empty()) {
    xmlNodePtr n = stack.back();
    stack.pop_back();
    for (xmlNodePtr c = n->children; c;) {
      xmlNodePtr next = c->next;
      if (c->type == XML_TEXT_NODE && IsBlank(c->content)) {
        xmlUnlinkNode(c);
        xmlFreeNode(c);
      } else if (c->type == XML_ELEMENT_NODE) {
        stack.push_back(c);
      }
      c = next;
    }
  }
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (int k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

// The input as UTF-8, well enough to quote a line of it in an error message.
std::string DisplayText(std::string_view bytes) {
  auto utf16 = [&](std::size_t from, bool le) {
    std::u16string u;
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
      const auto lo = static_cast<unsigned char>(bytes[i + (le ? 0 : 1)]);
      const auto hi = static_cast<unsigned char>(bytes[i + (le ? 1 : 0)]);
      u.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return text::Utf16ToUtf8(u);
  };
  if (bytes.starts_with("\xFF\xFE")) return utf16(2, true);
  if (bytes.starts_with("\xFE\xFF")) return utf16(2, false);
  if (bytes.starts_with(std::string_view("<\0", 2))) return utf16(0, true);
  if (bytes.starts_with(std::string_view("\0<", 2))) return utf16(0, false);
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return IsValidUtf8(bytes) ? std::string(bytes) : text::AnsiToUtf8(bytes);
}

std::string LineStart(std::string_view bytes, int line) {
  const std::string all = DisplayText(bytes);
  std::size_t pos = 0;
  for (int i = 1; i < line && pos != std::string::npos; ++i) {
    pos = all.find('\n', pos);
    if (pos != std::string::npos) ++pos;
  }
  if (pos == std::string::npos || line < 1) return "";
  std::string l = all.substr(pos, all.find('\n', pos) - pos);
  if (!l.empty() && l.back() == '\r') l.pop_back();
  std::u32string cps = text::Utf8ToUtf32(l);
  if (cps.size() > 40) cps.resize(40);
  return text::Utf32ToUtf8(cps);
}

std::string ParseFailureMessage(const xmlError* e, std::string_view bytes) {
  std::string reason = e && e->message ? e->message : "The document could not be parsed";
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
  const int line = e ? e->line : 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d", line);
  // "%s%s%s: %d%s%s": reason, line break, "Line", number, line break, line text.
  return reason + "\n" + "Line" + ": " + buf + "\n" + LineStart(bytes, line);
}

[[noreturn]] void ListIndexError(int index) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "List index out of bounds (%d)", index);
  throw EListError(buf);
}

}  // namespace

std::string VarToStr(const Variant& value, std::string_view targetType) {
  if (value) return *value;
  throw EVariantTypeCastError("Could not convert variant of type (Null) into type (" + std::string(targetType) + ")");
}

namespace detail {

struct DocState : std::enable_shared_from_this<DocState> {
  explicit DocState(DocumentOptions o, xmlDocPtr d) : options(o), doc(d) {}
  ~DocState() {
    for (xmlNodePtr n : detached) {
      if (n->type == XML_ATTRIBUTE_NODE)
        xmlFreeProp(reinterpret_cast<xmlAttrPtr>(n));
      else
        xmlFreeNode(n);
    }
    xmlFreeDoc(doc);
  }

  std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(mutex); }

  // The node object of a tree node. Its class is the one that the parent
  // element's node object (or the document, for the document element)
  // registered for it. A cached object built as another class, because it was
  // reached before that registration, or whose parent was since rebuilt, is
  // replaced by one of the registered class; objects handed out before keep
  // viewing the same tree node. Once the document object is gone, an object
  // that nobody holds any more is built again on its next use.
  std::shared_ptr<TXMLNode> ObjectFor(xmlNodePtr n) {
    if (!n) return nullptr;
    std::shared_ptr<TXMLNode> cached = Cached(n);
    if (cached && (cached->classChecked_ == bindings || !IsElement(n))) return cached;
    const NodeFactory factory = ClassFor(n);
    if (cached && cached->factory_ == factory) {
      cached->classChecked_ = bindings;
      return cached;
    }
    std::shared_ptr<TXMLNode> object = factory ? factory() : std::make_shared<TXMLNode>();
    object->state_ = shared_from_this();
    object->node_ = n;
    object->factory_ = factory;
    if (cached) {
      // The replacement registers other classes for the nodes below, and lists
      // that listed the replaced object list again.
      ++bindings;
      ++generation;
    }
    object->classChecked_ = bindings;
    // The tree keeps its node objects while its document lives; afterwards
    // they live only as long as someone holds them.
    if (orphaned)
      orphans[n] = object;
    else
      objects[n] = object;
    object->AfterConstruction();
    object->constructed_ = true;
    return object;
  }

  std::shared_ptr<TXMLNode> Cached(xmlNodePtr n) const {
    if (auto it = objects.find(n); it != objects.end()) return it->second;
    if (orphaned)
      if (auto it = orphans.find(n); it != orphans.end()) return it->second.lock();
    return nullptr;
  }

  // The class registered for an element: by the document for the document
  // element, else by its parent's node object; null for a plain node. An
  // element taken out of the tree keeps the class it had there.
  NodeFactory ClassFor(xmlNodePtr n) {
    if (!IsElement(n)) return nullptr;
    if (!n->parent) {
      const auto it = detachedClasses.find(n);
      return it != detachedClasses.end() ? it->second : nullptr;
    }
    if (n->parent->type == XML_DOCUMENT_NODE)
      return rootFactory && Matches(n, rootTag, rootNamespace) ? rootFactory : nullptr;
    if (!IsElement(n->parent)) return nullptr;
    const auto parent = ObjectFor(n->parent);
    const std::string_view parentNs = n->parent->ns ? View(n->parent->ns->href) : std::string_view();
    for (const auto& r : parent->registrations_)
      if (Matches(n, r.tag, r.namespaceURI.empty() ? parentNs : r.namespaceURI)) return r.factory;
    return nullptr;
  }

  // Takes a node out of the tree; it is freed with the tree, since node objects
  // may still view it.
  void Detach(xmlNodePtr n) {
    if (IsElement(n)) detachedClasses[n] = ObjectFor(n)->factory_;
    ++generation;
    xmlUnlinkNode(n);
    detached.push_back(n);
  }

  xmlNodePtr NewElement(xmlNodePtr parent, std::string_view name) {
    return xmlNewDocNode(doc, parent->ns, X(std::string(name).c_str()), nullptr);
  }

  // Puts child before the parent's child node at index, or last for -1 or the count.
  void Place(xmlNodePtr parent, xmlNodePtr child, int index) {
    int count = 0;
    xmlNodePtr at = nullptr;
    for (xmlNodePtr c = parent->children; c; c = c->next, ++count)
      if (count == index) at = c;
    if (index < -1 || index > count) {
      xmlFreeNode(child);
      ListIndexError(index);
    }
    ++generation;
    if (at)
      xmlAddPrevSibling(at, child);
    else
      xmlAddChild(parent, child);
  }

  DocumentOptions options;
  xmlDocPtr doc;
  std::recursive_mutex mutex;
  std::unordered_map<void*, std::shared_ptr<TXMLNode>> objects;
  std::uint64_t generation = 1;  // changes whenever child elements are added or removed, or an item is rebuilt
  // Changes whenever a registration may decide another class for some node: a
  // node object checked at the current value needs no new look-up.
  std::uint64_t bindings = 1;
  bool orphaned = false;  // the document object is gone
  std::unordered_map<void*, std::weak_ptr<TXMLNode>> orphans;
  std::vector<xmlNodePtr> detached;
  std::unordered_map<void*, NodeFactory> detachedClasses;
  std::string rootTag;
  NodeFactory rootFactory = nullptr;
  std::string rootNamespace;
};

}  // namespace detail

// ---- TXMLNode ----

TXMLNode::TXMLNode() = default;
TXMLNode::~TXMLNode() = default;

#define RUV_LOCK auto lock_ = state_->Lock()

NodeType TXMLNode::GetNodeType() const {
  RUV_LOCK;
  switch (N(node_)->type) {
    case XML_ELEMENT_NODE: return NodeType::Element;
    case XML_ATTRIBUTE_NODE: return NodeType::Attribute;
    case XML_TEXT_NODE: return NodeType::Text;
    case XML_CDATA_SECTION_NODE: return NodeType::CData;
    case XML_COMMENT_NODE: return NodeType::Comment;
    case XML_PI_NODE: return NodeType::ProcessingInstruction;
    default: return NodeType::Other;
  }
}

std::string TXMLNode::NodeName() const {
  RUV_LOCK;
  return QualifiedName(N(node_));
}
std::string TXMLNode::LocalName() const {
  RUV_LOCK;
  return S(N(node_)->name);
}
std::string TXMLNode::Prefix() const {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  return (IsElement(n) || n->type == XML_ATTRIBUTE_NODE) && n->ns ? S(n->ns->prefix) : std::string();
}
std::string TXMLNode::NamespaceURI() const {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  return IsElement(n) || n->type == XML_ATTRIBUTE_NODE ? NamespaceOf(n) : std::string();
}

int TXMLNode::ChildCount() const {
  RUV_LOCK;
  int count = 0;
  if (IsElement(N(node_)))
    for (xmlNodePtr c = N(node_)->children; c; c = c->next) ++count;
  return count;
}

IXMLNodePtr TXMLNode::ChildAt(int index) const {
  RUV_LOCK;
  int i = 0;
  if (IsElement(N(node_)))
    for (xmlNodePtr c = N(node_)->children; c; c = c->next, ++i)
      if (i == index) return state_->ObjectFor(c);
  ListIndexError(index);
}

IXMLNodePtr TXMLNode::FindChildNode(std::string_view name) const {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  if (!IsElement(n)) return nullptr;
  const std::string_view ns = n->ns ? View(n->ns->href) : std::string_view();
  for (xmlNodePtr c = n->children; c; c = c->next)
    if (Matches(c, name, ns)) return state_->ObjectFor(c);
  return nullptr;
}

IXMLNodePtr TXMLNode::ChildNode(std::string_view name) {
  RUV_LOCK;
  if (auto found = FindChildNode(name)) return found;
  if (!state_->options.nodeAutoCreate || !IsElement(N(node_)))
    throw EXMLDocError(Format("Node \"%s\" not found", std::string(name)));
  return AddChild(name);
}

IXMLNodePtr TXMLNode::AddChild(std::string_view name, int index) {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  if (!IsElement(n)) throw EXMLDocError("Interface not supported");
  xmlNodePtr child = state_->NewElement(n, name);
  state_->Place(n, child, index);
  return state_->ObjectFor(child);
}

IXMLNodePtr TXMLNode::AttributeNode(std::string_view name) {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  if (!IsElement(n)) throw EXMLDocError("Interface not supported");
  xmlAttrPtr a = FindAttr(n, name);
  if (!a) {
    if (!state_->options.nodeAutoCreate)
      throw EXMLDocError(Format("Node \"%s\" not found", std::string(name)));
    a = xmlNewProp(n, X(std::string(name).c_str()), X(""));
  }
  return state_->ObjectFor(reinterpret_cast<xmlNodePtr>(a));
}

bool TXMLNode::HasAttribute(std::string_view name) const {
  RUV_LOCK;
  return FindAttr(N(node_), name) != nullptr;
}

Variant TXMLNode::GetAttribute(std::string_view name) const {
  RUV_LOCK;
  if (xmlAttrPtr a = FindAttr(N(node_), name)) return ContentOf(reinterpret_cast<xmlNodePtr>(a));
  return state_->options.attrNull ? Variant() : Variant("");
}

void TXMLNode::SetAttribute(std::string_view name, const Variant& value) {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  if (!IsElement(n)) throw EXMLDocError("Interface not supported");
  xmlAttrPtr a = FindAttr(n, name);
  if (!value) {
    if (a) state_->Detach(reinterpret_cast<xmlNodePtr>(a));
    return;
  }
  if (a)
    xmlSetNsProp(n, a->ns, a->name, X(value->c_str()));  // keeps the same attribute node
  else
    xmlNewProp(n, X(std::string(name).c_str()), X(value->c_str()));
}

std::string TXMLNode::Text() {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  if (!IsElement(n)) return ContentOf(n);
  xmlNodePtr c = n->children;
  if (!c) {
    xmlAddChild(n, xmlNewDocText(state_->doc, X("")));
    return "";
  }
  if (!c->next && (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)) return S(c->content);
  throw EXMLDocError(Format("Element \"%s\" does not contain a single text node", QualifiedName(n)));
}

void TXMLNode::SetText(std::string_view text) {
  RUV_LOCK;
  xmlNodePtr n = N(node_);
  const std::string value(text);
  if (n->type == XML_ATTRIBUTE_NODE) {
    if (n->parent) {
      xmlSetNsProp(n->parent, n->ns, n->name, X(value.c_str()));
    } else {  // an attribute taken off its element
      xmlFreeNodeList(n->children);
      n->children = n->last = nullptr;
      xmlAddChild(n, xmlNewDocText(state_->doc, X(value.c_str())));
    }
    return;
  }
  if (!IsElement(n)) {
    xmlNodeSetContent(n, X(value.c_str()));
    return;
  }
  Text();  // appends the empty text node, or raises for other content
  xmlNodeSetContent(n->children, X(value.c_str()));
}

Variant TXMLNode::NodeValue() {
  RUV_LOCK;
  std::string t = Text();
  if (t.empty()) return std::nullopt;
  return t;
}

void TXMLNode::SetNodeValue(const Variant& value) {
  RUV_LOCK;
  SetText(value ? *value : std::string());
}

void TXMLNode::RegisterChildNode(std::string_view tag, NodeFactory factory, std::string_view namespaceURI) {
  RUV_LOCK;
  registrations_.push_back({std::string(tag), factory, std::string(namespaceURI)});
  // While the object is built no node below it has been reached yet.
  if (constructed_) ++state_->bindings;
}

// ---- TXMLNodeCollection ----

void TXMLNodeCollection::Attach(TXMLNode& host, std::string_view itemTag) {
  state_ = host.state_;
  host_ = host.node_;
  itemTag_ = itemTag;
}

std::unique_lock<std::recursive_mutex> TXMLNodeCollection::Lock() const { return state_->Lock(); }

const std::vector<IXMLNodePtr>& TXMLNodeCollection::ItemsLocked() const {
  if (itemsGeneration_ == state_->generation) return items_;
  items_.clear();
  for (xmlNodePtr c = N(host_)->children; c; c = c->next) {
    if (!IsElement(c) || View(c->name) != itemTag_) continue;
    auto object = state_->ObjectFor(c);
    if (IsItem(object)) items_.push_back(object);
  }
  itemsGeneration_ = state_->generation;
  return items_;
}

int TXMLNodeCollection::Count() const {
  RUV_LOCK;
  return static_cast<int>(ItemsLocked().size());
}

IXMLNodePtr TXMLNodeCollection::Nodes(int index) const {
  RUV_LOCK;
  const auto& items = ItemsLocked();
  if (index < 0 || index >= static_cast<int>(items.size())) ListIndexError(index);
  return items[static_cast<std::size_t>(index)];
}

void TXMLNodeCollection::Clear() {
  RUV_LOCK;
  const auto items = ItemsLocked();
  for (const auto& item : items) state_->Detach(N(std::dynamic_pointer_cast<TXMLNode>(item)->node_));
}

void TXMLNodeCollection::Delete(int index) {
  RUV_LOCK;
  Remove(Nodes(index));
}

int TXMLNodeCollection::Remove(const IXMLNodePtr& node) {
  RUV_LOCK;
  const auto items = ItemsLocked();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == node) {
      state_->Detach(N(std::dynamic_pointer_cast<TXMLNode>(node)->node_));
      return static_cast<int>(i);
    }
  }
  return -1;
}

IXMLNodePtr TXMLNodeCollection::InsertItem(int index) {
  RUV_LOCK;
  xmlNodePtr child = state_->NewElement(N(host_), itemTag_);
  state_->Place(N(host_), child, index);
  return state_->ObjectFor(child);
}

// ---- TXMLDocument ----

namespace {
std::shared_ptr<detail::DocState> NewState(DocumentOptions options, xmlDocPtr doc) {
  return std::make_shared<detail::DocState>(options, doc ? doc : xmlNewDoc(X("1.0")));
}
}  // namespace

std::shared_ptr<TXMLDocument> TXMLDocument::Create(DocumentOptions options) {
  return std::make_shared<TXMLDocument>(options);
}

TXMLDocument::TXMLDocument(DocumentOptions options) : options_(options) {
  InitLibxml();
  state_ = NewState(options_, nullptr);
}

namespace {
// Releases the node objects that the tree keeps; nodes referenced elsewhere keep
// the tree alive until they are released too.
void ReleaseObjects(detail::DocState& state) {
  std::unordered_map<void*, std::shared_ptr<TXMLNode>> objects;
  {
    auto lock = state.Lock();
    state.orphaned = true;
    for (const auto& [node, object] : state.objects) state.orphans[node] = object;
    objects.swap(state.objects);
  }
}
}  // namespace

TXMLDocument::~TXMLDocument() { ReleaseObjects(*state_); }

void TXMLDocument::LoadFromXML(std::string_view bytes) { Load(bytes, false); }

void TXMLDocument::LoadFromText(std::string_view utf8) {
  // A byte-order mark that survived a decoding step is no content.
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  Load(utf8, true);
}

void TXMLDocument::Load(std::string_view bytes, bool utf8) {
  InitLibxml();
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) throw EDOMParseError("The document is too large");
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (!ctxt) throw EDOMParseError("Out of memory");
  int options = XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  // Text that is already Unicode is read as UTF-8 whatever its declaration names.
  if (utf8) options |= XML_PARSE_IGNORE_ENC;
  xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                    utf8 ? "UTF-8" : nullptr, options);
  // A document that is well-formed but not namespace-well-formed (an undeclared
  // prefix, say) is refused too.
  if (!doc || !xmlDocGetRootElement(doc) || !ctxt->nsWellFormed) {
    const std::string message = ParseFailureMessage(xmlCtxtGetLastError(ctxt), bytes);
    xmlFreeDoc(doc);
    xmlFreeParserCtxt(ctxt);
    throw EDOMParseError(message);
  }
  xmlFreeParserCtxt(ctxt);
  StripBlankText(reinterpret_cast<xmlNodePtr>(doc));
  auto fresh = NewState(options_, doc);
  auto old = State();
  {
    auto lock = old->Lock();
    fresh->rootTag = old->rootTag;
    fresh->rootFactory = old->rootFactory;
    fresh->rootNamespace = old->rootNamespace;
  }
  {
    std::lock_guard guard(stateMutex_);
    state_ = fresh;
  }
  ReleaseObjects(*old);
}

std::shared_ptr<detail::DocState> TXMLDocument::State() const {
  std::lock_guard guard(stateMutex_);
  return state_;
}

#undef RUV_LOCK
// The document's calls work on the tree current at the call.
#define RUV_LOCK                \
  const auto state = State(); \
  auto lock_ = state->Lock()

bool TXMLDocument::IsEmpty() const {
  RUV_LOCK;
  return xmlDocGetRootElement(state->doc) == nullptr;
}

IXMLNodePtr TXMLDocument::DocumentElement() const {
  RUV_LOCK;
  return state->ObjectFor(xmlDocGetRootElement(state->doc));
}

IXMLNodePtr TXMLDocument::GetDocBinding(std::string_view tag, NodeFactory factory, std::string_view namespaceURI) {
  RUV_LOCK;
  state->rootTag = tag;
  state->rootFactory = factory;
  state->rootNamespace = namespaceURI;
  ++state->bindings;  // a document element reached before is rebuilt as the bound class
  xmlNodePtr root = xmlDocGetRootElement(state->doc);
  if (!root) {
    root = xmlNewDocNode(state->doc, nullptr, X(std::string(tag).c_str()), nullptr);
    xmlDocSetRootElement(state->doc, root);
    if (!namespaceURI.empty()) xmlSetNs(root, xmlNewNs(root, X(std::string(namespaceURI).c_str()), nullptr));
  }
  return state->ObjectFor(root);
}

std::string TXMLDocument::XML() const {
  RUV_LOCK;
  xmlChar* mem = nullptr;
  int size = 0;
  xmlDocDumpMemoryEnc(state->doc, &mem, &size, "UTF-8");
  std::string out(reinterpret_cast<const char*>(mem), static_cast<std::size_t>(size));
  xmlFree(mem);
  return out;
}

}  // namespace ruv::xml
