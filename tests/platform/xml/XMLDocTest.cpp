#include "TestSupport.h"
#include "ruv/platform/XMLDoc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace ruv::xml {
namespace {

IXMLDocumentPtr Load(const std::string& bytes) {
  auto doc = TXMLDocument::Create();
  doc->LoadFromXML(bytes);
  return doc;
}

std::string ParseError(const std::string& bytes) {
  try {
    Load(bytes);
  } catch (const EDOMParseError& e) {
    return e.Message();
  }
  return "<parsed>";
}

using ruv::testing::MessageOf;

TEST(XmlParse, FailureNamesReasonLineAndTheLinesFirst40Characters) {
  const std::string longLine = "  <b>" + std::string(60, 'x') + "</c>";
  const std::string message = ParseError("<a>\n<ok/>\n" + longLine + "\n</a>");
  const auto first = message.find('\n');
  ASSERT_NE(first, std::string::npos) << message;
  EXPECT_NE(message.substr(0, first).find("mismatch"), std::string::npos) << message;
  EXPECT_EQ(message.substr(first), "\nLine: 3\n" + longLine.substr(0, 40));
}

TEST(XmlParse, BadAndHostileInputsFailCleanly) {
  std::string deep;
  for (int i = 0; i < 400; ++i) deep += "<d>";
  for (int i = 0; i < 400; ++i) deep += "</d>";
  const char* laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n <!ENTITY a \"aaaaaaaaaa\">\n"
      " <!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n <!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
      " <!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n <!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
      " <!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n <!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
      " <!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n <!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">\n"
      "]>\n<r>&i;&i;&i;&i;&i;&i;&i;&i;&i;&i;</r>";
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"html", "<html><body><br><p>Strona</p></body></html>"},
      {"two roots", "<a/><b/>"},
      {"unclosed", "<a><b>"},
      {"deep nesting", deep},
      {"billion laughs", laughs},
      {"undeclared prefix", "<p:a/>"},
  };
  for (const auto& c : cases) {
    const std::string m = ParseError(c.bytes);
    EXPECT_NE(m, "<parsed>") << c.what;
    EXPECT_NE(m.find("\nLine: "), std::string::npos) << c.what << ": " << m;
  }
}

TEST(XmlParse, ExternalEntitiesAndDtdsAreNeverLoaded) {
  // A local file whose content would show up in the tree if the entity were
  // loaded, and an external DTD on an address that must not be contacted.
  const std::string secret = ::testing::TempDir() + "/ruv_xml_secret.txt";
  {
    FILE* f = std::fopen(secret.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("TOP-SECRET", f);
    std::fclose(f);
  }
  const std::string inputs[] = {
      "<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]>\n<r><a>&x;</a></r>",
      "<!DOCTYPE r SYSTEM \"http://192.0.2.1/r.dtd\">\n<r><a>ok</a></r>",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + secret + "\"> %p;]>\n<r/>",
  };
  for (const auto& input : inputs) {
    try {
      auto doc = Load(input);
      EXPECT_EQ(doc->XML().find("TOP-SECRET"), std::string::npos) << input;
    } catch (const EDOMParseError&) {
      // refusing the document is as good as ignoring the entity
    }
  }
  std::remove(secret.c_str());
}

TEST(XmlParse, InternalEntitiesAndCharacterReferencesBecomeText) {
  auto doc = Load("<!DOCTYPE r [<!ENTITY who \"świat\">]><r><a>witaj &who; &#x17C;&amp;&lt;</a></r>");
  EXPECT_EQ(doc->DocumentElement()->ChildNode("a")->Text(), "witaj świat ż&<");
}

TEST(XmlParse, DecodedTextIsReadAsUtf8WhateverItsDeclarationSays) {
  const std::string body = "<r><a>Zażółć gęślą jaźń</a></r>";
  for (const std::string prolog : {"", "<?xml version=\"1.0\"?>", "<?xml version=\"1.0\" encoding=\"windows-1250\"?>",
                                   "<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>"}) {
    auto doc = TXMLDocument::Create();
    doc->LoadFromText(prolog + "\r\n" + body);
    EXPECT_EQ(doc->DocumentElement()->ChildNode("a")->Text(), "Zażółć gęślą jaźń") << prolog;
  }
  auto doc = TXMLDocument::Create();
  doc->LoadFromText("<r><a>old</a></r>");
  // Windows-1250 bytes are no UTF-8: refused, and the content stays.
  EXPECT_THROW(doc->LoadFromText("<?xml version=\"1.0\" encoding=\"windows-1250\"?><r><a>\xBF\xF3\xB3w</a></r>"),
               EDOMParseError);
  EXPECT_EQ(doc->DocumentElement()->ChildNode("a")->Text(), "old");
}

TEST(XmlText, TextRules) {
  const struct {
    const char* content;
    const char* text;  // nullptr: fails
  } cases[] = {
      {"<a/>", ""},
      {"<a></a>", ""},
      {"<a>   \n\t </a>", ""},  // whitespace-only text is not kept
      {"<a> x y </a>", " x y "},
      {"<a><![CDATA[ <b>&amp; ]]></a>", " <b>&amp; "},
      {"<a><![CDATA[  ]]></a>", "  "},  // CDATA stays even when blank
      {"<a>x<!-- c -->y</a>", nullptr},
      {"<a><b/></a>", nullptr},
      {"<a>x<b/></a>", nullptr},
      {"<a><!-- only a comment --></a>", nullptr},
  };
  for (const auto& c : cases) {
    auto a = Load(std::string("<r>") + c.content + "</r>")->DocumentElement()->ChildNode("a");
    if (c.text) {
      EXPECT_EQ(a->Text(), c.text) << c.content;
      EXPECT_EQ(a->NodeValue(), *c.text ? Variant(c.text) : Variant()) << c.content;
    } else {
      EXPECT_EQ(MessageOf<EXMLDocError>([&] { a->Text(); }), "Element \"a\" does not contain a single text node")
          << c.content;
    }
  }
}

TEST(XmlText, EmptyElementGetsOneEmptyTextNodeThatLaterWritesFill) {
  auto root = Load("<r><a/></r>")->DocumentElement();
  auto a = root->ChildNode("a");
  EXPECT_EQ(a->Text(), "");
  EXPECT_EQ(a->ChildCount(), 1);
  EXPECT_EQ(a->ChildAt(0)->GetNodeType(), NodeType::Text);
  a->SetNodeValue("v");
  EXPECT_EQ(a->Text(), "v");
  EXPECT_EQ(a->ChildCount(), 1);
  auto mixed = Load("<r><a>x<!--c-->y</a></r>")->DocumentElement()->ChildNode("a");
  EXPECT_THROW(mixed->SetNodeValue("z"), EXMLDocError);
}

// A bound class for the tests: registers "item" children as TItem and hosts a
// collection of them.
class IItem : public virtual IXMLNode {};
class TItem : public TXMLNode, public IItem {};
class TItems : public TXMLNodeCollectionOf<IItem> {
 public:
  using TXMLNodeCollectionOf<IItem>::AddItem;
  using TXMLNodeCollectionOf<IItem>::InsertItem;
};
class IHost : public virtual IXMLNode {
 public:
  virtual std::shared_ptr<TItems> Items() = 0;
  static inline int constructed = 0;
};
class THost : public TXMLNode, public IHost {
 public:
  std::shared_ptr<TItems> Items() override { return items_; }

 protected:
  void AfterConstruction() override {
    ++constructed;
    RegisterChildNode("item", NodeClass<TItem>());
    items_ = CreateCollection<TItems>("item");
  }

 private:
  std::shared_ptr<TItems> items_;
};

TEST(XmlBinding, DocumentElementBindsByExactTagAndCaseInsensitiveNamespace) {
  const struct {
    const char* xml;
    bool binds;
  } cases[] = {
      {"<host xmlns=\"urn:Test\"/>", true},
      {"<host xmlns=\"URN:TEST\"/>", true},
      {"<t:host xmlns:t=\"urn:test\"/>", true},
      {"<host/>", false},
      {"<host xmlns=\"urn:other\"/>", false},
      {"<Host xmlns=\"urn:test\"/>", false},
  };
  for (const auto& c : cases) {
    auto doc = Load(c.xml);
    auto root = doc->GetDocBinding("host", NodeClass<THost>(), "urn:test");
    ASSERT_TRUE(root) << c.xml;
    EXPECT_EQ(Supports<IHost>(root), c.binds) << c.xml;
    if (!c.binds) {
      EXPECT_EQ(MessageOf<EXMLDocError>([&] { As<IHost>(root); }), "Interface not supported");
    }
  }
  EXPECT_EQ(As<IHost>(nullptr), nullptr);
  // Reaching the document element before binding it does not spoil the binding.
  auto doc = Load("<host xmlns=\"urn:test\"/>");
  EXPECT_FALSE(Supports<IHost>(doc->DocumentElement()));
  EXPECT_TRUE(Supports<IHost>(doc->GetDocBinding("host", NodeClass<THost>(), "urn:test")));
}

TEST(XmlBinding, ChildrenReachedBeforeTheBindingGetTheRegisteredClass) {
  auto doc = Load("<h xmlns=\"urn:test\"><item>a</item><other/><item>b</item></h>");
  auto plainRoot = doc->DocumentElement();
  auto plainFirst = plainRoot->ChildNode("item");
  auto plainSecond = plainRoot->ChildAt(2);
  EXPECT_FALSE(Supports<IItem>(plainFirst));
  auto host = As<IHost>(doc->GetDocBinding("h", NodeClass<THost>(), "urn:test"));
  auto items = host->Items();
  ASSERT_EQ(items->Count(), 2);
  EXPECT_EQ(items->Nodes(0)->Text() + items->Nodes(1)->Text(), "ab");
  EXPECT_TRUE(Supports<IItem>(items->Nodes(1)));
  // Every way to the node gives the one bound object now, the old root's too.
  EXPECT_EQ(host->ChildNode("item"), items->Nodes(0));
  EXPECT_EQ(plainRoot->ChildAt(2), items->Nodes(1));
  EXPECT_FALSE(Supports<IItem>(host->ChildNode("other")));
  // The objects handed out before still view their nodes.
  plainFirst->SetText("A");
  EXPECT_EQ(items->Nodes(0)->Text(), "A");
  EXPECT_EQ(plainSecond->Text(), "b");
}

TEST(XmlBinding, EmptyDocumentGetsTheBoundElementInItsNamespace) {
  auto doc = TXMLDocument::Create();
  EXPECT_TRUE(doc->IsEmpty());
  EXPECT_EQ(doc->DocumentElement(), nullptr);
  auto root = As<IHost>(doc->GetDocBinding("host", NodeClass<THost>(), "urn:test"));
  EXPECT_EQ(root->NamespaceURI(), "urn:test");
  EXPECT_EQ(root->Items()->Count(), 0);
  EXPECT_EQ(doc->DocumentElement(), root);
  EXPECT_NE(doc->XML().find("<host xmlns=\"urn:test\"/>"), std::string::npos) << doc->XML();
}

TEST(XmlChildren, LookupByNameInTheParentsNamespaceCreatesMissingChildren) {
  auto doc = Load(
      "<t:r xmlns:t=\"urn:test\" xmlns:o=\"urn:other\"><o:a>foreign</o:a><t:a>first</t:a><a xmlns=\"URN:TEST\">"
      "second</a><t:b>prefixed</t:b></t:r>");
  auto root = doc->DocumentElement();
  EXPECT_EQ(root->ChildNode("a")->Text(), "first");
  EXPECT_EQ(root->ChildNode("t:b")->Text(), "prefixed");  // qualified name
  EXPECT_EQ(root->ChildNode("b"), root->ChildNode("t:b"));  // one object per node
  EXPECT_EQ(root->FindChildNode("o:a"), nullptr);          // other namespace
  EXPECT_EQ(root->FindChildNode("missing"), nullptr);
  auto created = root->ChildNode("missing");
  EXPECT_EQ(created->NodeName(), "t:missing");
  EXPECT_EQ(created->NamespaceURI(), "urn:test");
  EXPECT_EQ(created->Text(), "");
  EXPECT_EQ(root->ChildNode("missing"), created);
  EXPECT_EQ(root->ChildAt(root->ChildCount() - 1), created);
  EXPECT_NE(doc->XML().find("<t:missing></t:missing>"), std::string::npos) << doc->XML();
  // Without a namespace on the parent, any namespace matches.
  EXPECT_EQ(Load("<r><x:a xmlns:x=\"urn:x\">v</x:a></r>")->DocumentElement()->ChildNode("a")->Text(), "v");
}

TEST(XmlChildren, NodeAutoCreationOff) {
  auto doc = TXMLDocument::Create({.nodeAutoCreate = false, .attrNull = false});
  doc->LoadFromXML("<r a=\"1\"/>");
  auto root = doc->DocumentElement();
  EXPECT_EQ(MessageOf<EXMLDocError>([&] { root->ChildNode("c"); }), "Node \"c\" not found");
  EXPECT_THROW(root->AttributeNode("b"), EXMLDocError);
  EXPECT_EQ(root->GetAttribute("b"), Variant(""));
}

TEST(XmlAttributes, ReadCreateSetAndRemove) {
  auto root = Load("<r xmlns:p=\"urn:p\" a=\"1\" p:b=\"2\" e=\"\"/>")->DocumentElement();
  EXPECT_EQ(root->GetAttribute("a"), Variant("1"));
  EXPECT_EQ(root->GetAttribute("b"), Variant("2"));  // local name
  EXPECT_EQ(root->GetAttribute("p:b"), Variant("2"));
  EXPECT_EQ(root->GetAttribute("e"), Variant(""));
  EXPECT_EQ(root->GetAttribute("A"), Variant());  // names are case-sensitive
  EXPECT_EQ(MessageOf<EVariantTypeCastError>([&] { VarToStr(root->GetAttribute("x")); }),
            "Could not convert variant of type (Null) into type (String)");
  EXPECT_EQ(MessageOf<EVariantTypeCastError>([&] { VarToStr(std::nullopt, "OleStr"); }),
            "Could not convert variant of type (Null) into type (OleStr)");

  auto x = root->AttributeNode("x");  // added with an empty value
  EXPECT_EQ(x->GetNodeType(), NodeType::Attribute);
  EXPECT_EQ(x->Text(), "");
  EXPECT_EQ(x->NodeValue(), Variant());
  EXPECT_EQ(root->GetAttribute("x"), Variant(""));
  root->SetAttribute("x", "<&\">");
  EXPECT_EQ(x->Text(), "<&\">");  // same node, raw text
  x->SetNodeValue("y");
  EXPECT_EQ(root->GetAttribute("x"), Variant("y"));
  root->SetAttribute("x", std::nullopt);
  EXPECT_FALSE(root->HasAttribute("x"));
  EXPECT_EQ(root->GetAttribute("x"), Variant());
  x->SetText("detached");  // writing the removed attribute changes nothing in the tree
  EXPECT_EQ(x->Text(), "detached");
  EXPECT_FALSE(root->HasAttribute("x"));
  x.reset();  // the removed attribute's object is released safely
  root->SetAttribute("a", std::nullopt);
  EXPECT_FALSE(root->HasAttribute("a"));
}

TEST(XmlCollections, LiveViewInDocumentOrderWithBoundsChecks) {
  auto doc = Load(
      "<h xmlns=\"urn:test\" xmlns:o=\"urn:o\"><item>0</item><other/><o:item>x</o:item>text<item>1</item>"
      "<!--c--><item>2</item></h>");
  auto host = As<IHost>(doc->GetDocBinding("h", NodeClass<THost>(), "urn:test"));
  auto items = host->Items();
  ASSERT_EQ(items->Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(items->Nodes(i)->Text(), std::to_string(i));
  EXPECT_TRUE(Supports<IItem>(items->Nodes(0)));
  for (int bad : {-1, 3, 1000}) {
    EXPECT_EQ(MessageOf<EListError>([&] { items->Nodes(bad); }),
              "List index out of bounds (" + std::to_string(bad) + ")");
  }
  items->AddItem()->SetText("3");
  host->AddChild("item")->SetText("4");   // a child added elsewhere is an item at once
  items->InsertItem(0)->SetText("first");  // before every child node
  items->InsertItem(2)->SetText("mid");   // child position 2 counts every kind of node
  std::vector<std::string> texts;
  for (int i = 0; i < items->Count(); ++i) texts.push_back(items->Nodes(i)->Text());
  EXPECT_EQ(texts, (std::vector<std::string>{"first", "0", "mid", "1", "2", "3", "4"}));
  EXPECT_EQ(host->ChildAt(2)->Text(), "mid");
  EXPECT_THROW(items->InsertItem(-2), EListError);
  EXPECT_THROW(items->InsertItem(host->ChildCount() + 1), EListError);

  auto removed = items->Nodes(1);
  EXPECT_EQ(items->Remove(removed), 1);
  EXPECT_EQ(removed->Text(), "0");  // still readable after leaving the tree
  items->Delete(0);
  EXPECT_EQ(items->Nodes(0)->Text(), "mid");
  items->Clear();
  EXPECT_EQ(items->Count(), 0);
  EXPECT_EQ(host->ChildCount(), 4);  // other, o:item, text, comment stay
}

TEST(XmlLifetime, NodeObjectsAreBuiltOnceAndOutliveTheirDocument) {
  IHost::constructed = 0;
  std::shared_ptr<IHost> root;
  std::shared_ptr<TItems> items;
  IXMLNodePtr child;
  {
    auto doc = Load("<h xmlns=\"urn:test\"><item>a</item><c>text</c></h>");
    root = As<IHost>(doc->GetDocBinding("h", NodeClass<THost>(), "urn:test"));
    EXPECT_EQ(doc->GetDocBinding("h", NodeClass<THost>(), "urn:test"), root);
    EXPECT_EQ(doc->DocumentElement(), root);
    items = root->Items();
    child = root->ChildNode("c");
    EXPECT_EQ(IHost::constructed, 1);
  }
  // The document is gone; what is still referenced keeps working.
  EXPECT_EQ(child->Text(), "text");
  EXPECT_EQ(items->Count(), 1);
  EXPECT_EQ(items->Nodes(0)->Text(), "a");
  EXPECT_EQ(root->ChildNode("new")->Text(), "");
  root.reset();
  EXPECT_EQ(items->Count(), 1);
  // With its host released, the list still lists its items as their class.
  items->AddItem()->SetText("b");
  ASSERT_EQ(items->Count(), 2);
  EXPECT_TRUE(Supports<IItem>(items->Nodes(0)));
  EXPECT_EQ(items->Nodes(0)->Text() + items->Nodes(1)->Text(), "ab");
  items.reset();
  child.reset();
}

TEST(XmlLifetime, LoadingAgainReplacesTheContentAndAFailedLoadKeepsIt) {
  auto doc = Load("<r><a>old</a></r>");
  auto oldA = doc->DocumentElement()->ChildNode("a");
  doc->LoadFromXML("<r><a>new</a></r>");
  EXPECT_EQ(doc->DocumentElement()->ChildNode("a")->Text(), "new");
  EXPECT_EQ(oldA->Text(), "old");
  EXPECT_THROW(doc->LoadFromXML("<r>"), EDOMParseError);
  EXPECT_EQ(doc->DocumentElement()->ChildNode("a")->Text(), "new");
}

}  // namespace
}  // namespace ruv::xml
