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

template <class E, class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "<no error>";
}

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
  const std::string secret = testing::TempDir() + "/ruv_xml_secret.txt";
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

}  // namespace
}  // namespace ruv::xml
