#include "TestSupport.h"
#include "ruv/config/XMLBinding.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Fixture.h"
#include "ruv/platform/Text.h"

namespace ruv::config {
namespace {

using testing::LoadBytes;
using testing::LoadFixture;
using testing::ReachAll;

using ruv::testing::MessageOf;

struct Read {
  const char* what;
  std::function<std::string(IXMLRuv_virad&)> read;
  std::string expected;
};

void ExpectReads(IXMLRuv_virad& root, const std::vector<Read>& reads) {
  for (const auto& r : reads) EXPECT_EQ(r.read(root), r.expected) << r.what;
}

// Every value of sample.xml that the launcher reads, and the sizes of its lists.
void ExpectSampleValues(IXMLRuv_virad& root) {
  ExpectReads(root, {
      {"prog_version", [](auto& r) { return r.Get_Prog_version(); }, "3.0"},
      {"admin_email", [](auto& r) { return r.Get_Admin_email(); }, "admin@ruv.local"},
      {"link", [](auto& r) { return r.Get_Link(); }, "http://ruv.local/pomoc"},
      {"clForm", [](auto& r) { return r.Get_ClForm()->Get_Value(); }, "clWhite"},
      {"clBtnNormal", [](auto& r) { return r.Get_ClBtnNormal()->Get_Value(); }, "$00E0E0E0"},
      {"clBtnHighlight", [](auto& r) { return r.Get_ClBtnHighlight()->Get_Value(); }, "clSkyBlue"},
      {"clBtnFrame", [](auto& r) { return r.Get_ClBtnFrame()->Get_Value(); }, "clGray"},
      {"clBtnText", [](auto& r) { return r.Get_ClBtnText()->Get_Value(); }, "clBlack"},
      {"clText", [](auto& r) { return r.Get_ClText()->Get_Value(); }, "clNavy"},
      {"clLink", [](auto& r) { return r.Get_ClLink()->Get_Value(); }, "clBlue"},
      {"btnWidth", [](auto& r) { return r.Get_BtnWidth()->Get_Value(); }, "200"},
      {"btnHeight", [](auto& r) { return r.Get_BtnHeight()->Get_Value(); }, "60"},
      {"topMargin", [](auto& r) { return r.Get_TopMargin()->Get_Value(); }, "20"},
      {"margin", [](auto& r) { return r.Get_Margin()->Get_Value(); }, "16"},
      {"textSize", [](auto& r) { return xml::VarToStr(r.Get_TextSize()->GetAttribute("value")); }, "10"},
      {"btnTextSize", [](auto& r) { return r.Get_BtnTextSize()->Get_Value(); }, "12"},
      {"network 1", [](auto& r) { return r.Get_Network()->Get_Item(1)->Get_Ip(); }, "192.168.0.0"},
      {"network 0 mask", [](auto& r) { return r.Get_Network()->Get_Item(0)->Get_Mask(); }, "255.255.255.0"},
      {"terminal 0 id", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Id(); }, "kasa"},
      {"terminal 0 name", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Name(); }, "Kasa główna"},
      {"terminal 0 date", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Date(); }, "2024-03-01"},
      {"terminal 0 version", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Version(); }, "2.1.0.5"},
      {"terminal 0 access", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Access_mode()->Get_Value(); },
       "all"},
      {"terminal 1 access", [](auto& r) { return r.Get_Terminal()->Get_Item(1)->Get_Access_mode()->Get_Value(); },
       "local"},
      {"exe name", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Exe_file()->Get_Name(); }, "kasa.exe"},
      {"exe target", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Exe_file()->Get_Target_path(); },
       "terminale\\kasa"},
      {"exe hash", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Exe_file()->Get_Hash(); }, ""},
      {"file 1 source", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_File()->Get_Item(1)->Get_Source_path(); },
       "kasa\\doc"},
      {"file 0 hash", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_File()->Get_Item(0)->Get_Hash(); },
       "5d41402abc4b2a76b9719d911017c592"},
      {"file 0 description",
       [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_File()->Get_Item(0)->Get_Description(); }, "Ustawienia"},
      {"icon name", [](auto& r) { return r.Get_Terminal()->Get_Item(1)->Get_Icon_file()->Get_Name(); }, "magazyn.bmp"},
      {"no icon", [](auto& r) { return r.Get_Terminal()->Get_Item(2)->Get_Icon_file()->Get_Name(); }, ""},
      {"dll_lib 1", [](auto& r) { return r.Get_Terminal()->Get_Item(0)->Get_Dll_lib()->Get_Item(1); }, "baza"},
      {"dll name", [](auto& r) { return r.Get_Dll()->Get_Item(1)->Get_Name(); }, "baza"},
      {"dll date", [](auto& r) { return r.Get_Dll()->Get_Item(1)->Get_Date(); }, "2023-12-05"},
      {"dll version", [](auto& r) { return r.Get_Dll()->Get_Item(0)->Get_Version(); }, "1.2.0.0"},
      {"dll file", [](auto& r) { return r.Get_Dll()->Get_Item(0)->Get_File()->Get_Name(); }, "druk.dll"},
  });
  EXPECT_EQ(root.Get_Network()->Count(), 2);
  EXPECT_EQ(root.Get_Terminal()->Count(), 3);
  EXPECT_EQ(root.Get_Dll()->Count(), 2);
  const int files[] = {2, 0, 0}, libs[] = {2, 1, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(root.Get_Terminal()->Get_Item(i)->Get_File()->Count(), files[i]) << i;
    EXPECT_EQ(root.Get_Terminal()->Get_Item(i)->Get_Dll_lib()->Count(), libs[i]) << i;
  }
}

TEST(ConfigBinding, SampleReadsEveryValueAsText) { ExpectSampleValues(*Getruv_virad(LoadFixture("sample.xml"))); }

TEST(ConfigBinding, ElementsReadPlainlyBeforeTheBindingAreBoundToo) {
  const struct {
    const char* what;
    std::function<void(xml::TXMLDocument&)> reach;
  } cases[] = {
      {"the first of each repeated element",
       [](auto& d) {
         auto r = d.DocumentElement();
         EXPECT_EQ(r->ChildNode("terminal")->ChildNode("id")->Text(), "kasa");
         EXPECT_EQ(r->ChildNode("dll")->ChildNode("file")->ChildNode("name")->Text(), "druk.dll");
         EXPECT_EQ(r->ChildNode("network")->GetAttribute("ip"), xml::Variant("10.1.2.0"));
       }},
      {"a terminal's files, libraries and look-and-feel elements",
       [](auto& d) {
         auto t = d.DocumentElement()->ChildNode("terminal");
         for (int i = 0; i < t->ChildCount(); ++i) t->ChildAt(i)->ChildCount();
         EXPECT_EQ(t->ChildNode("file")->ChildNode("hash")->Text(), "5d41402abc4b2a76b9719d911017c592");
         EXPECT_EQ(t->ChildNode("dll_lib")->Text(), "druk");
         EXPECT_EQ(d.DocumentElement()->ChildNode("clForm")->GetAttribute("value"), xml::Variant("clWhite"));
       }},
      {"every node", [](auto& d) { ReachAll(d.DocumentElement()); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto doc = LoadFixture("sample.xml");
    c.reach(*doc);
    auto plainTerminal = doc->DocumentElement()->ChildNode("terminal");
    auto root = Getruv_virad(doc);
    ExpectSampleValues(*root);
    // The typed views show the elements reached before as their bound classes.
    auto t = root->Get_Terminal()->Get_Item(0);
    EXPECT_EQ(root->ChildNode("terminal"), t);
    EXPECT_TRUE(xml::Supports<IXMLFileType>(t->ChildNode("file")));
    EXPECT_EQ(t->Get_File()->Get_Item(1)->Get_Name(), "pomoc.chm");
    // What was handed out before still reads the same tree.
    EXPECT_EQ(plainTerminal->ChildNode("name")->Text(), "Kasa główna");
  }
}

TEST(ConfigBinding, ListsHeldAfterTheirDocumentAndHostAreGone) {
  // The document is gone first, then the terminal that hosts the lists; the
  // lists keep listing its items as their bound classes, also when the tree
  // changes afterwards and they list again.
  const struct {
    const char* what;
    bool plainFirst;  // the terminal was read through the plain interface before the binding
    bool countedBefore;
    bool keepRoot;
  } cases[] = {
      {"counted, root released", false, true, false},
      {"not counted, root released", false, false, false},
      {"counted, root kept", false, true, true},
      {"read plainly first, root released", true, false, false},
      {"read plainly first, counted, root kept", true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IXMLRuv_viradPtr root;
    IXMLFileTypeListPtr files;
    IXMLString_ListPtr libs;
    {
      auto doc = LoadBytes(std::string("<ruv_virad xmlns=\"") + TargetNamespace +
                           "\"><terminal><id>t</id><file><name>f.dat</name></file><dll_lib>druk</dll_lib>"
                           "</terminal></ruv_virad>");
      if (c.plainFirst) ReachAll(doc->DocumentElement());
      root = Getruv_virad(doc);
      auto t = root->Get_Terminal()->Get_Item(0);
      files = t->Get_File();
      libs = t->Get_Dll_lib();
      if (c.countedBefore) {
        EXPECT_EQ(files->Count(), 1);
        EXPECT_EQ(libs->Count(), 1);
      }
    }
    if (!c.keepRoot) root.reset();
    ASSERT_EQ(files->Count(), 1);
    EXPECT_EQ(files->Get_Item(0)->Get_Name(), "f.dat");
    files->Get_Item(0)->Get_Hash();  // adds an element: the lists list again
    ASSERT_EQ(files->Count(), 1);
    EXPECT_EQ(files->Get_Item(0)->Get_Source_path(), "");
    ASSERT_EQ(libs->Count(), 1);
    EXPECT_EQ(libs->Get_Item(0), "druk");
    files->Add()->Set_Name("g.dat");
    ASSERT_EQ(files->Count(), 2);
    EXPECT_EQ(files->Get_Item(1)->Get_Name(), "g.dat");
    if (root) {
      EXPECT_EQ(root->Get_Terminal()->Get_Item(0)->Get_File()->Count(), 2);
    }
    files.reset();
    libs.reset();
    root.reset();
  }
}

TEST(ConfigBinding, RemovedTerminalKeepsItsBoundChildren) {
  auto doc = LoadFixture("sample.xml");
  auto root = Getruv_virad(doc);
  auto removed = root->Get_Terminal()->Get_Item(0);
  EXPECT_EQ(root->Get_Terminal()->Remove(removed), 0);
  EXPECT_EQ(Getruv_virad(doc), root);  // binding again changes no class
  EXPECT_EQ(removed->Get_Exe_file()->Get_Name(), "kasa.exe");
  EXPECT_EQ(removed->Get_File()->Get_Item(0)->Get_Description(), "Ustawienia");
  EXPECT_EQ(root->Get_Terminal()->Get_Item(0)->Get_Id(), "magazyn");
}

TEST(ConfigBinding, DocumentElementMustBeRuvViradInTheTargetNamespace) {
  const std::string ns = TargetNamespace;
  const char* refused[] = {
      "<ruv_virad/>",
      "<ruv_virad xmlns=\"http://ruv.local/other\"/>",
      "<Ruv_virad xmlns=\"http://ruv.local/ruv_virad\"/>",
      "<config xmlns=\"http://ruv.local/ruv_virad\"/>",
  };
  for (const char* xml : refused) {
    auto doc = LoadBytes(xml);
    EXPECT_EQ(MessageOf<EXMLDocError>([&] { Getruv_virad(doc); }), "Interface not supported") << xml;
  }
  auto upper = Getruv_virad(LoadBytes("<ruv_virad xmlns=\"" + text::AsciiUpper(ns) + "\"><link>u</link></ruv_virad>"));
  EXPECT_EQ(upper->Get_Link(), "u");
  auto prefixed = Getruv_virad(LoadBytes("<c:ruv_virad xmlns:c=\"" + ns +
                                         "\"><c:link>in</c:link><link>outside</link><c:terminal><c:id>t</c:id>"
                                         "</c:terminal><terminal/></c:ruv_virad>"));
  EXPECT_EQ(prefixed->Get_Link(), "in");
  ASSERT_EQ(prefixed->Get_Terminal()->Count(), 1);
  EXPECT_EQ(prefixed->Get_Terminal()->Get_Item(0)->Get_Id(), "t");
  EXPECT_EQ(prefixed->Get_Admin_email(), "");
  EXPECT_EQ(prefixed->ChildNode("admin_email")->NodeName(), "c:admin_email");  // the parent's prefix
}

TEST(ConfigBinding, NothingLoadedGivesAnEmptyRoot) {
  auto doc = xml::TXMLDocument::Create();
  auto root = Getruv_virad(doc);
  EXPECT_EQ(root->NamespaceURI(), TargetNamespace);
  EXPECT_EQ(root->Get_Prog_version(), "");
  EXPECT_EQ(root->Get_Link(), "");
  EXPECT_EQ(root->Get_Admin_email(), "");
  EXPECT_EQ(root->Get_ClForm()->Get_Value(), "");
  EXPECT_EQ(root->Get_Network()->Count(), 0);
  EXPECT_EQ(root->Get_Terminal()->Count(), 0);
  EXPECT_EQ(root->Get_Dll()->Count(), 0);
  EXPECT_EQ(Getruv_virad(doc), root);
}

TEST(ConfigBinding, EdgeCasesOfTheElementTree) {
  auto root = Getruv_virad(LoadFixture("edges.xml"));
  // First of two links; CDATA unchanged.
  EXPECT_EQ(root->Get_Link(), "http://x/?a=1&b=<2>");
  // A look-and-feel element in another namespace is not found: a new empty one.
  auto clForm = root->Get_ClForm();
  EXPECT_EQ(clForm->NamespaceURI(), TargetNamespace);
  EXPECT_EQ(clForm->GetAttribute("value"), xml::Variant());  // the attribute-value read: null
  EXPECT_EQ(MessageOf<EVariantTypeCastError>([&] { xml::VarToStr(clForm->GetAttribute("value")); }),
            "Could not convert variant of type (Null) into type (String)");
  EXPECT_EQ(clForm->Get_Value(), "");  // adds the attribute
  EXPECT_EQ(clForm->GetAttribute("value"), xml::Variant(""));
  EXPECT_EQ(root->Get_ClBtnText()->GetAttribute("value"), xml::Variant("clRed"));

  // Lists hold only their own elements, in document order, in the root's namespace.
  auto networks = root->Get_Network();
  ASSERT_EQ(networks->Count(), 2);
  EXPECT_EQ(networks->Get_Item(0)->Get_Mask(), "");
  EXPECT_EQ(networks->Get_Item(0)->Get_Ip(), "10.0.0.0");
  EXPECT_EQ(networks->Get_Item(1)->Get_Ip(), "11.0.0.0");
  auto terminals = root->Get_Terminal();
  ASSERT_EQ(terminals->Count(), 2);
  EXPECT_EQ(terminals->Get_Item(1)->Get_Id(), "beta");
  ASSERT_EQ(root->Get_Dll()->Count(), 3);
  EXPECT_EQ(root->Get_Dll()->Get_Item(0)->Get_Name(), "first");
  EXPECT_EQ(root->Get_Dll()->Get_Item(1)->Get_File()->Get_Name(), "");
  EXPECT_EQ(root->Get_Dll()->Get_Item(2)->Get_File()->Get_Name(), "");  // no file at all
  EXPECT_EQ(root->Get_Dll()->Get_Item(2)->Get_Version(), "2");

  auto t = terminals->Get_Item(0);
  EXPECT_EQ(t->Get_Name(), "Alpha");  // the first of two
  EXPECT_EQ(t->Get_Version(), "1.0 <beta>");
  EXPECT_EQ(t->Get_Access_mode()->Get_Value(), "All");  // passed through, not "all"
  EXPECT_EQ(terminals->Get_Item(1)->Get_Access_mode()->Get_Value(), "");
  EXPECT_EQ(terminals->Get_Item(1)->Get_Exe_file()->Get_Name(), "");
  EXPECT_EQ(terminals->Get_Item(1)->Get_Icon_file()->Get_Name(), "");
  EXPECT_EQ(MessageOf<EXMLDocError>([&] { t->Get_Id(); }), "Element \"id\" does not contain a single text node");
  EXPECT_EQ(MessageOf<EXMLDocError>([&] { t->Get_Date(); }), "Element \"date\" does not contain a single text node");

  // Files: two in the terminal's namespace, scattered; the foreign one is not an item.
  auto files = t->Get_File();
  EXPECT_EQ(t->Get_File(), files);
  ASSERT_EQ(files->Count(), 2);
  EXPECT_EQ(files->Get_Item(0)->Get_Name(), "f1");
  EXPECT_EQ(files->Get_Item(1)->Get_Name(), " spaced & raw ");
  EXPECT_EQ(files->Get_Item(1)->Get_Hash(), "");
  EXPECT_EQ(files->Get_Item(1)->Get_Target_path(), "");  // tags are case-sensitive
  EXPECT_EQ(files->Get_Item(1)->Get_Target_path(), "");  // and again, from the added child
  EXPECT_EQ(MessageOf<EListError>([&] { files->Get_Item(2); }), "List index out of bounds (2)");

  // dll_lib: counted in any namespace; the empty one fails to convert.
  auto libs = t->Get_Dll_lib();
  ASSERT_EQ(libs->Count(), 3);
  EXPECT_EQ(libs->Get_Item(0), "lib1");
  EXPECT_EQ(libs->Get_Item(1), "lib2");
  EXPECT_EQ(MessageOf<EVariantTypeCastError>([&] { libs->Get_Item(2); }),
            "Could not convert variant of type (Null) into type (OleStr)");
  EXPECT_EQ(MessageOf<EListError>([&] { libs->Get_Item(-1); }), "List index out of bounds (-1)");
}

TEST(ConfigBinding, MissingNodesReadEmptyAndAreAddedOnce) {
  auto doc = LoadBytes(std::string("<ruv_virad xmlns=\"") + TargetNamespace + "\"><terminal/></ruv_virad>");
  auto root = Getruv_virad(doc);
  EXPECT_EQ(MessageOf<EListError>([&] { root->Get_Network()->Get_Item(0); }), "List index out of bounds (0)");
  auto t = root->Get_Terminal()->Get_Item(0);
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(t->Get_Id(), "");
    EXPECT_EQ(t->Get_Exe_file()->Get_Target_path(), "");
    EXPECT_EQ(root->Get_Prog_version(), "");
    EXPECT_EQ(root->Get_Admin_email(), "");
  }
  EXPECT_EQ(t->ChildCount(), 2);  // id and exe_file, each added once
  EXPECT_TRUE(root->HasAttribute("prog_version"));
  EXPECT_EQ(root->Get_Terminal()->Get_Item(0), t);
}

TEST(ConfigBinding, SameTextInEveryEncoding) {
  const std::string utf8 = fs::ReadFile(testing::FixturePath("polish.xml"));
  auto declared = [&](const std::string& encoding) {
    std::string s = utf8;
    s.replace(s.find("UTF-8"), 5, encoding);
    return s;
  };
  std::string utf16 = "\xFF\xFE";
  for (char16_t u : text::Utf8ToUtf16(declared("UTF-16"))) {
    utf16.push_back(static_cast<char>(u & 0xFF));
    utf16.push_back(static_cast<char>(u >> 8));
  }
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8", utf8},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF" + utf8},
      {"UTF-8 without declaration", utf8.substr(utf8.find("?>") + 2)},
      {"windows-1250", text::Utf8ToAnsi(declared("windows-1250"))},
      {"UTF-16 LE with byte-order mark", utf16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto root = Getruv_virad(LoadBytes(c.bytes));
    EXPECT_EQ(root->Get_Link(), "Zażółć gęślą jaźń ŻÓŁĆ");
    EXPECT_EQ(root->Get_Terminal()->Get_Item(0)->Get_Id(), "ćma");
    EXPECT_EQ(root->Get_Terminal()->Get_Item(0)->Get_Name(), "Księgowość");
  }
  // windows-1250 bytes that are not UTF-8 must not be read as UTF-8.
  EXPECT_THROW(LoadBytes(text::Utf8ToAnsi(utf8)), EDOMParseError);
}

TEST(ConfigBinding, ParseFailureQuotesTheFailingLine) {
  const std::string bytes = "<?xml version=\"1.0\"?>\n<ruv_virad xmlns=\"http://ruv.local/ruv_virad\">\n"
                            "  <link>http://ruv.local/a-rather-long-address-on-the-server</lnk>\n</ruv_virad>\n";
  const std::string message = MessageOf<EDOMParseError>([&] { LoadBytes(bytes); });
  EXPECT_NE(message.find("\nLine: 3\n  <link>http://ruv.local/a-rather-long-a"), std::string::npos) << message;
  EXPECT_EQ(message.substr(message.rfind('\n') + 1).size(), 40u);
}

TEST(ConfigBinding, WritesAddAndInsert) {
  auto doc = xml::TXMLDocument::Create();
  auto root = Getruv_virad(doc);
  root->Set_Prog_version("4.1");
  root->Set_Admin_email("a@b");
  root->Set_Link("l");
  root->Get_BtnWidth()->Set_Value("90");
  auto n = root->Get_Network()->Add();
  n->Set_Mask("255.0.0.0");
  n->Set_Ip("10.0.0.0");
  auto t2 = root->Get_Terminal()->Add();
  t2->Set_Id("second");
  auto t1 = root->Get_Terminal()->Insert(0);  // before every child of the root
  t1->Set_Id("first");
  t1->Set_Name("N");
  t1->Set_Date("D");
  t1->Set_Version("V");
  t1->Get_Access_mode()->Set_Value("all");
  t1->Get_File()->Add()->Set_Name("b");
  t1->Get_File()->Insert(0)->Set_Name("a");
  auto f = t1->Get_Exe_file();
  f->Set_Name("x.exe");
  f->Set_Target_path("t");
  f->Set_Source_path("s");
  f->Set_Description("d");
  f->Set_Hash("h");
  t1->Get_Dll_lib()->Add("lib2");
  t1->Get_Dll_lib()->Insert(0, "lib1");
  auto dll = root->Get_Dll()->Insert(-1);
  dll->Set_Name("lib1");
  dll->Set_Date("dd");
  dll->Set_Version("1");

  // Read everything back from a reload of the written tree.
  auto again = Getruv_virad(LoadBytes(doc->XML()));
  EXPECT_EQ(again->Get_Prog_version(), "4.1");
  EXPECT_EQ(again->Get_Admin_email(), "a@b");
  EXPECT_EQ(again->Get_Link(), "l");
  EXPECT_EQ(again->Get_BtnWidth()->Get_Value(), "90");
  EXPECT_EQ(again->Get_Network()->Get_Item(0)->Get_Mask(), "255.0.0.0");
  EXPECT_EQ(again->Get_Network()->Get_Item(0)->Get_Ip(), "10.0.0.0");
  auto terminals = again->Get_Terminal();
  ASSERT_EQ(terminals->Count(), 2);
  auto t = terminals->Get_Item(0);
  EXPECT_EQ(terminals->Get_Item(1)->Get_Id(), "second");
  EXPECT_EQ(t->Get_Id() + t->Get_Name() + t->Get_Date() + t->Get_Version(), "firstNDV");
  EXPECT_EQ(t->Get_Access_mode()->Get_Value(), "all");
  EXPECT_EQ(t->Get_File()->Get_Item(0)->Get_Name() + t->Get_File()->Get_Item(1)->Get_Name(), "ab");
  auto e = t->Get_Exe_file();
  EXPECT_EQ(e->Get_Name() + e->Get_Target_path() + e->Get_Source_path() + e->Get_Description() + e->Get_Hash(),
            "x.exetsdh");
  EXPECT_EQ(t->Get_Dll_lib()->Get_Item(0) + t->Get_Dll_lib()->Get_Item(1), "lib1lib2");
  auto d = again->Get_Dll()->Get_Item(0);
  EXPECT_EQ(d->Get_Name() + d->Get_Date() + d->Get_Version(), "lib1dd1");
}

}  // namespace
}  // namespace ruv::config
