// The main window against a real download server on 127.0.0.1, a fresh per-user
// configuration directory and working directory per test, and scripted answers to
// its message boxes.
#include "ruv/launcher/MainForm.h"
#include "ruv/launcher/Program.h"
#include "ruv/launcher/SpringInit.h"
#include "ruv/launcher/WindowPlacement.h"
#include "ruv/platform/Files.h"
#include "ruv/provisioning/LocalAddresses.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminals.h"
#include "ruv/support/Container.h"
#include "ruv/support/ScriptedMessageBoxes.h"

#include "TestHttpServer.h"
#include "LauncherTestSupport.h"
#include "TestDirectory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

namespace ruv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using launcher_test::Env;
using launcher_test::ReadAll;
using enum TModalResult;
using provisioning::TTerminals;

QApplication& App() {
  static int argc = 1;
  static char name[] = "ruv_virad";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* a = new QApplication(argc, argv);
    SpringInit(di::GlobalContainer());
    di::GlobalContainer().Build();
    return a;
  }();
  return *app;
}

// A 24-bit bottom-up BMP of one colour.
std::string Bmp(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const int row = (w * 3 + 3) & ~3;
  const int size = 54 + row * h;
  std::string s(static_cast<std::size_t>(size), '\0');
  auto put32 = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(at + i)] = static_cast<char>(v >> (8 * i));
  };
  s[0] = 'B';
  s[1] = 'M';
  put32(2, static_cast<std::uint32_t>(size));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(w));
  put32(22, static_cast<std::uint32_t>(h));
  s[26] = 1;
  s[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto at = static_cast<std::size_t>(54 + y * row + x * 3);
      s[at] = static_cast<char>(b);
      s[at + 1] = static_cast<char>(g);
      s[at + 2] = static_cast<char>(r);
    }
  return s;
}

struct Term {
  std::string id;
  std::string name;
  std::string access = "all";
  bool icon = false;
};

struct Config {
  explicit Config(std::vector<Term> t) : terms(std::move(t)) {}
  std::vector<Term> terms;
  std::map<std::string, std::string> look;
  std::string progVersion = "3.0";
  std::string link = "http://127.0.0.1:1/pomoc";

  std::string Xml() const {
    std::map<std::string, std::string> values = {
        {"clForm", "clWhite"},        {"clText", "clWindowText"}, {"clLink", "clBlue"},
        {"clBtnNormal", "$00E0E0E0"}, {"clBtnHighlight", "clRed"}, {"clBtnFrame", "clNavy"},
        {"clBtnText", "clBlack"},     {"btnWidth", "200"},        {"btnHeight", "40"},
        {"topMargin", "30"},          {"margin", "10"},           {"textSize", "10"},
        {"btnTextSize", "11"}};
    for (const auto& [k, v] : look) values[k] = v;
    // LF line ends: the per-user copy must come out with CR LF.
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ruv_virad xmlns=\"http://ruv.local/ruv_virad\" prog_version=\"" +
                    progVersion + "\">\n<link>" + link + "</link>\n";
    for (const auto& [k, v] : values)
      if (v != "<absent>") x += "<" + k + " value=\"" + v + "\"/>\n";
    x += "<network mask=\"255.0.0.0\" ip=\"10.0.0.0\"/>\n";
    for (const Term& t : terms) {
      x += "<terminal><id>" + t.id + "</id><name>" + t.name + "</name><version>1.0.0.1</version><access_mode value=\"" +
           t.access + "\"/><exe_file><name>" + t.id + ".exe</name><target_path>terminale\\" + t.id +
           "</target_path><source_path>" + t.id + "</source_path></exe_file><icon_file><name>" +
           (t.icon ? t.id + ".bmp" : "") + "</name><target_path>terminale\\" + t.id + "</target_path><source_path>" +
           t.id + "</source_path></icon_file></terminal>\n";
    }
    return x + "</ruv_virad>\n";
  }
};

class MainFormTest : public ::testing::Test {
 public:
  void SetUp() override {
    App();
    root_ = fs::temp_directory_path() / ("ruv_main_" + std::to_string(::getpid()) + "_" + ruv::testing::TestFileName());
    fs::remove_all(root_);
    fs::create_directories(root_ / "config");
    fs::create_directories(root_ / "cwd");
    previousCwd_ = fs::current_path();
    fs::current_path(root_ / "cwd");
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    // The launcher's own file, for its version.
    fs::copy_file(Env("RUV_LAUNCHER_EXE"), root_ / "cwd" / "ruv_virad.exe");
    resources::SetUrlTemplatesForTesting(server_.Url() + "/%s");
    SetAddresses({"192.0.2.1"});
  }
  void TearDown() override {
    EXPECT_TRUE(EventLoopsRun()) << "the case left the application quitting";
    QCoreApplication::removePostedEvents(nullptr);
    TTerminals::Finalizuj();
    provisioning::SetLocalAddressLookup(nullptr);
    resources::SetUrlTemplatesForTesting(std::nullopt);
    fs::current_path(previousCwd_);
    fs::remove_all(root_);
  }

  // Whether an event loop runs until it is told to end. Once the application has
  // been told to quit while no loop of its own ran, every loop returns at once
  // (the progress window's modal one too), until the application's loop has run.
  static bool EventLoopsRun() {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&loop] { loop.exit(7); });
    return loop.exec() == 7;
  }
  static void SetAddresses(std::vector<std::string> addresses) {
    provisioning::SetLocalAddressLookup([addresses] { return std::optional(addresses); });
  }
  void Serve(const Config& c) { server_.PutFile("ruv_virad_2.xml", c.Xml()); }
  fs::path CopyPath() const { return root_ / "config" / "SOFTWARE" / "RUV" / "RUV_VIRAD" / "version_file"; }
  void WriteCopy(const std::string& text) const {
    fs::create_directories(CopyPath().parent_path());
    std::ofstream(CopyPath(), std::ios::binary) << text;
  }
  static std::vector<std::pair<std::string, std::string>> Boxes(const TScopedScriptedMessageBoxes& b) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& box : b->Shown()) out.emplace_back(box.title, box.text);
    return out;
  }
  static QColor Pixel(const TTerminalButton* b, int x, int y) { return b->picture.pixelColor(x, y); }
  static std::vector<QPoint> Positions(const TMainForm& f) {
    std::vector<QPoint> out;
    for (const auto* b : f.Buttons()) out.push_back(b->pos());
    return out;
  }

  fs::path root_;
  fs::path previousCwd_;
  testing::TestHttpServer server_;
};

const Config kThree({{"a", "Alfa", "all", true}, {"b", "Beta"}, {"c", "Gamma"}});

TEST_F(MainFormTest, ThreeTerminalsFormOneColumnAndTheCopyKeepsCrLfText) {
  Serve(kThree);
  TScopedScriptedMessageBoxes boxes;
  TMainForm form;
  form.FormShow();
  EXPECT_TRUE(Boxes(boxes).empty());
  EXPECT_EQ(Positions(form), (std::vector<QPoint>{{10, 30}, {10, 72}, {10, 114}}));
  ASSERT_EQ(form.Buttons().size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(form.Buttons()[static_cast<std::size_t>(i)]->objectName(), QString("t%1").arg(i));
    EXPECT_EQ(form.Buttons()[static_cast<std::size_t>(i)]->size(), QSize(200, 40));
  }
  EXPECT_EQ(form.IdentyfikatoryTerminali(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(form.windowTitle(), "Programy systemu RUV v.3.0.0.3");
  EXPECT_TRUE(form.pnlLink()->isVisibleTo(&form));
  EXPECT_EQ(form.pnlLink()->pos(), QPoint(0, 17));
  EXPECT_EQ(form.labLink()->text(), "http://127.0.0.1:1/pomoc");
  EXPECT_EQ(form.clientArea()->pos(), QPoint(5, 5));
  const int right = std::max(form.pnlLink()->geometry().right() + 1, 10 + 200);
  EXPECT_EQ(form.clientArea()->size(), QSize(right + 10, 114 + 40 + 10));
  EXPECT_EQ(form.size(), form.clientArea()->size() + QSize(10, 10));
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "not resizable";
  EXPECT_FALSE(form.ZakonczenieZlecone());

  std::string copy = ReadAll(CopyPath());
  EXPECT_NE(copy.find("<ruv_virad xmlns"), std::string::npos);
  EXPECT_EQ(copy.find("\n<"), copy.find("\r\n<") + 1) << "CR LF line ends";
  EXPECT_EQ(copy.substr(copy.size() - 2), "\r\n");
}

TEST_F(MainFormTest, NoOfferedTerminalLeavesTheLinkLineAndTheMargins) {
  Config c(std::vector<Term>{{"x", "Wewnętrzny", "internal"}});
  c.look["btnWidth"] = "not read";  // only the buttons use it
  Serve(c);
  TScopedScriptedMessageBoxes boxes;
  TMainForm form;
  form.FormShow();
  EXPECT_TRUE(Boxes(boxes).empty());
  EXPECT_TRUE(form.Buttons().empty());
  const QRect link = form.pnlLink()->geometry();
  EXPECT_EQ(form.clientArea()->size(), QSize(link.right() + 1 + 10, link.bottom() + 1 + 10));
  EXPECT_EQ(form.windowTitle(), "Programy systemu RUV v.3.0.0.3");
}

// A window with little or nothing in it is never narrower than a captioned window
// may be; what it holds keeps its place and its height stays as laid out.
TEST_F(MainFormTest, AWindowWithLittleInItIsWideEnoughForItsCaption) {
  const std::vector<Term> none{{"x", "Wewnętrzny", "internal"}};
  struct Case {
    const char* what;
    std::vector<Term> terms;
    std::map<std::string, std::string> look;
    QSize client;
    std::size_t boxes;
  } cases[] = {
      {"no terminal, no link", none, {}, {10, 10}, 0},
      {"no terminal, no link, no margin", none, {{"margin", "0"}}, {0, 0}, 0},
      {"left early with nothing built", none, {{"clForm", "clNoSuchColour"}}, {0, 0}, 1},
      {"one narrow button", {{"a", "Alfa"}}, {{"btnWidth", "20"}}, {10 + 20 + 10, 30 + 40 + 10}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Config config(c.terms);
    config.link = "";
    for (const auto& [k, v] : c.look) config.look[k] = v;
    Serve(config);
    TScopedScriptedMessageBoxes boxes;
    TMainForm form;
    form.FormShow();
    EXPECT_EQ(boxes->Shown().size(), c.boxes);
    EXPECT_TRUE(form.pnlLink()->isHidden());
    EXPECT_EQ(form.clientArea()->geometry(), QRect(QPoint(5, 5), c.client));
    EXPECT_EQ(form.size(), QSize(kNajmniejszaSzerokoscOkna, c.client.height() + 10));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "not resizable";
    if (!form.Buttons().empty()) {
      EXPECT_EQ(form.Buttons()[0]->geometry(), QRect(10, 30, 20, 40));
    }
  }
}

// The window is centred on the work area; one taller than that keeps its top-left
// corner on the work area's top edge, so its caption and first buttons show.
TEST_F(MainFormTest, TheWindowIsCentredAndKeepsItsCaptionOnTheWorkArea) {
  std::vector<Term> many;
  for (int i = 0; i < 24; ++i) many.push_back({"t" + std::to_string(i), "Terminal " + std::to_string(i)});
  struct Case {
    const char* what;
    Config config;
    bool taller;
  } cases[] = {{"three terminals", kThree, false}, {"24 terminals", Config(many), true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Serve(c.config);
    TScopedScriptedMessageBoxes boxes;
    TMainForm form;
    form.show();
    const QRect area = form.screen()->availableGeometry();
    // Placed before the frame is known: centred by the window's own size, the
    // frame's top-left corner where it was asked.
    const QRect frame = form.frameGeometry();
    EXPECT_EQ(frame.left(), area.center().x() - form.width() / 2);
    if (c.taller) {
      EXPECT_GT(frame.height(), area.height());
      EXPECT_EQ(frame.top(), area.top());
    } else {
      EXPECT_EQ(frame.top(), area.center().y() - form.height() / 2);
    }
    form.hide();
  }
}

TEST_F(MainFormTest, AButtonIsFilledFramedWithItsIconAndFollowsTheMouse) {
  server_.PutFile("a/a.bmp", Bmp(8, 8, 0, 200, 0));
  Serve(kThree);
  TScopedScriptedMessageBoxes boxes;
  TMainForm form;
  form.FormShow();
  ASSERT_EQ(form.Buttons().size(), 3u);
  const TTerminalButton* withIcon = form.Buttons()[0];
  const TTerminalButton* plain = form.Buttons()[1];
  const QColor fill(0xE0, 0xE0, 0xE0), navy(0, 0, 128), green(0, 200, 0), red(255, 0, 0);
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {199, 0}, {0, 39}, {199, 39}, {100, 0}, {0, 20}})
    EXPECT_EQ(Pixel(withIcon, x, y), navy) << x << "," << y;
  EXPECT_EQ(Pixel(withIcon, 198, 38), fill);
  EXPECT_EQ(Pixel(withIcon, 1, 1), fill);
  // The icon fills (2, 2) to (H - 3, H - 3), far edges excluded.
  EXPECT_EQ(Pixel(withIcon, 2, 2), green);
  EXPECT_EQ(Pixel(withIcon, 36, 36), green);
  EXPECT_EQ(Pixel(withIcon, 37, 37), fill);
  EXPECT_EQ(Pixel(plain, 2, 2), fill) << "no icon file";
  // The name starts at x = H + 5 and is drawn in clBtnText.
  bool text = false;
  for (int x = 0; x < 200; ++x)
    for (int y = 1; y < 39; ++y) {
      if (Pixel(plain, x, y) == QColor(Qt::black)) {
        EXPECT_GE(x, 45);
        text = true;
      }
    }
  EXPECT_TRUE(text);

  form.ButtonMouseEnter(form.Buttons()[1]);
  EXPECT_EQ(Pixel(form.Buttons()[1], 198, 38), red);
  EXPECT_EQ(Pixel(form.Buttons()[1], 0, 0), navy);
  form.ButtonMouseLeave(form.Buttons()[1]);
  EXPECT_EQ(Pixel(form.Buttons()[1], 198, 38), fill);
  EXPECT_TRUE(Boxes(boxes).empty());
}

// Icons from the server that break the format: an 8-bit one whose pixels (255) lie past
// its one-entry colour table, and a truncated one whose pixel data offset is 0.
TEST_F(MainFormTest, ServedIconsThatBreakTheFormatDrawSafely) {
  std::string shortTable = Bmp(4, 2, 0, 0, 0).substr(0, 54);
  shortTable[10] = 58;  // pixel data after one colour entry
  shortTable[28] = 8;
  shortTable[46] = 1;  // colours used
  shortTable += std::string("\x00\xC8\x00\x00", 4) + std::string(8, '\xFF');
  ASSERT_EQ(shortTable.size(), 66u);
  std::string truncated = Bmp(8, 8, 0, 200, 0);
  truncated[10] = 0;
  truncated.resize(truncated.size() - 20);
  server_.PutFile("a/a.bmp", shortTable);
  server_.PutFile("b/b.bmp", truncated);
  Serve(Config({{"a", "Alfa", "all", true}, {"b", "Beta", "all", true}}));
  TScopedScriptedMessageBoxes boxes;
  TMainForm form;
  form.FormShow();
  ASSERT_EQ(form.Buttons().size(), 2u);
  EXPECT_EQ(Pixel(form.Buttons()[0], 2, 2), QColor(Qt::black)) << "an index past the table draws black";
  EXPECT_EQ(Pixel(form.Buttons()[0], 36, 36), QColor(Qt::black));
  EXPECT_EQ(Pixel(form.Buttons()[1], 2, 2), QColor(0xE0, 0xE0, 0xE0)) << "a truncated icon is not drawn";
  form.ButtonMouseEnter(form.Buttons()[1]);
  EXPECT_EQ(Pixel(form.Buttons()[1], 2, 2), QColor(Qt::red));
  EXPECT_TRUE(Boxes(boxes).empty());
}

std::string BadSize(const std::string& key, const std::string& value) {
  return "Nieprawidłowy rozmiar " + key + " w pliku konfiguracyjnym: \"" + value +
         "\". Dozwolone są wartości od 0 do 4096.";
}
std::string TooLarge(int width, int height) {
  return "Okno programu byłoby zbyt duże: " + std::to_string(width) + " x " + std::to_string(height) +
         " pikseli, a dozwolone jest najwyżej 4096 x 4096. Proszę zmniejszyć rozmiary przycisków, tekstu lub "
         "marginesy w pliku konfiguracyjnym.";
}

TEST_F(MainFormTest, ABadLookValueReachesTheDefaultErrorReport) {
  struct Case {
    const char* key;
    const char* value;
    std::string message;
    std::size_t buttons;
    bool captioned = false;  // the error comes after the caption, at the window's final size
  };
  const Case cases[] = {
      {"clForm", "clNoSuchColour", "''clNoSuchColour'' is not a valid integer value", 0},
      {"textSize", "", "'''' is not a valid integer value", 0},
      {"btnHeight", "4O", "''4O'' is not a valid integer value", 0},
      {"clBtnNormal", "zielony", "''zielony'' is not a valid integer value", 1},
      {"clBtnFrame", "<absent>", "Could not convert variant of type (Null) into type (String)", 1},
      // Sizes the window cannot draw: negative, or past what a screen shows.
      {"btnHeight", "2147483647", BadSize("btnHeight", "2147483647"), 0},
      {"btnHeight", "1073741823", BadSize("btnHeight", "1073741823"), 0},
      {"btnHeight", "1000000", BadSize("btnHeight", "1000000"), 0},
      {"btnHeight", "$7FFFFFFF", BadSize("btnHeight", "$7FFFFFFF"), 0},
      {"btnWidth", "2147483647", BadSize("btnWidth", "2147483647"), 0},
      {"btnWidth", "-1", BadSize("btnWidth", "-1"), 0},
      {"topMargin", "2147483647", BadSize("topMargin", "2147483647"), 0},
      {"margin", "2147483647", BadSize("margin", "2147483647"), 0},
      {"margin", "-10", BadSize("margin", "-10"), 0},
      {"btnTextSize", "-1610612700", BadSize("btnTextSize", "-1610612700"), 0},
      {"btnTextSize", "4097", BadSize("btnTextSize", "4097"), 0},
      {"textSize", "-1", BadSize("textSize", "-1"), 0},
      {"textSize", "$FFFFFFFF", BadSize("textSize", "$FFFFFFFF"), 0},
      // Sizes that each fit but lay out a window larger than that: the third button's
      // row reaches 30 + 2 x 1402 + 1400 + 10, the first button's right edge
      // 10 + 4080 + 10.
      {"btnHeight", "1400", TooLarge(220, 4244), 2},
      {"btnWidth", "4080", TooLarge(4100, 80), 0},
      {"topMargin", "4096", TooLarge(220, 4146), 0},
      // The link line in a 3000-point font is taller than any window may be.
      {"textSize", "3000", "Okno programu byłoby zbyt duże: ", 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    Config config = kThree;
    config.look[c.key] = c.value;
    Serve(config);
    TScopedScriptedMessageBoxes boxes;
    TMainForm form;
    form.FormShow();
    const auto shown = boxes->Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, TMsgDlgType::mtError);
    EXPECT_EQ(shown[0].title, ApplicationTitle());
    if (c.captioned) {
      EXPECT_TRUE(shown[0].text.starts_with(c.message)) << shown[0].text;
      EXPECT_EQ(form.windowTitle(), "Programy systemu RUV v.3.0.0.3");
    } else {
      EXPECT_EQ(shown[0].text, c.message);
      EXPECT_EQ(form.windowTitle(), kTytulOkna) << "no version in the caption";
    }
    EXPECT_EQ(form.Buttons().size(), c.buttons) << "no further button is made";
    EXPECT_FALSE(form.ZakonczenieZlecone());
    // The window stays as far as it was built: its size fixed, its link line laid out.
    EXPECT_EQ(form.minimumSize(), form.size());
    EXPECT_EQ(form.maximumSize(), form.size());
    ASSERT_FALSE(form.pnlLink()->isHidden());
    EXPECT_GE(form.labLink()->x(), form.Label3()->x() + form.Label3()->width()) << "the link overlaps its label";
    EXPECT_LE(form.clientArea()->width(), 4096) << "a window larger than a screen";
    EXPECT_LE(form.clientArea()->height(), 4096) << "a window larger than a screen";
  }
}

// Sizes at their bounds draw: buttons of no height, fonts of size 0 (their own
// size) and a window exactly as wide as the largest one allowed.
TEST_F(MainFormTest, SizesAtTheirBoundsAreDrawn) {
  Config config = kThree;
  config.look = {{"btnWidth", "4096"}, {"btnHeight", "0"}, {"margin", "0"},
                 {"topMargin", "0"},   {"textSize", "0"},  {"btnTextSize", "0"}};
  Serve(config);
  TScopedScriptedMessageBoxes boxes;
  TMainForm form;
  form.FormShow();
  EXPECT_TRUE(Boxes(boxes).empty());
  ASSERT_EQ(form.Buttons().size(), 3u);
  EXPECT_EQ(Positions(form), (std::vector<QPoint>{{0, 0}, {0, 2}, {0, 4}}));
  EXPECT_EQ(form.Buttons()[2]->size(), QSize(4096, 0));
  EXPECT_EQ(form.clientArea()->size(), QSize(4096, form.pnlLink()->geometry().bottom() + 1));
  form.ButtonMouseEnter(form.Buttons()[0]);
  form.ButtonMouseLeave(form.Buttons()[0]);
  EXPECT_TRUE(Boxes(boxes).empty());
  EXPECT_EQ(form.windowTitle(), "Programy systemu RUV v.3.0.0.3");
}

TEST_F(MainFormTest, AFailedServerLoadFallsBackToTheCopyWithItsBoxesInOrder) {
  const std::string good = Config(std::vector<Term>{{"k", "Kopia"}}).Xml();
  struct Case {
    const char* name;
    std::function<void(MainFormTest&)> prepare;
    std::vector<std::pair<std::string, std::string>> boxes;
    std::size_t buttons;
    bool ends;
  };
  const std::string title = ApplicationTitle();
  const Case cases[] = {
      {"fetch fails, copy present",
       [&](MainFormTest& t) {
         t.server_.SetRule("/ruv_virad_2.xml", {.status = 404});
         t.WriteCopy(good);
       },
       {{"Błąd", ""}, {title, kKomunikatBrakMozliwosci}},
       1,
       false},
      {"html served, copy present",
       [&](MainFormTest& t) {
         t.server_.PutFile("ruv_virad_2.xml", "<html><body>Not here</body></html>");
         t.WriteCopy(good);
       },
       {{"Błąd", "<parser>"}, {title, kKomunikatPrzetwarzanie}},
       1,
       false},
      {"fetch fails, no copy",
       [&](MainFormTest& t) { t.server_.SetRule("/ruv_virad_2.xml", {.status = 500}); },
       {{"Błąd", ""}, {title, kKomunikatBrakMozliwosci}, {"Błąd", kKomunikatBrakInformacji}},
       0,
       true},
      {"html served, key without the value",
       [&](MainFormTest& t) {
         t.server_.PutFile("ruv_virad_2.xml", "<html/>");
         fs::create_directories(t.CopyPath().parent_path());
       },
       {{"Błąd", "<parser>"}, {title, kKomunikatPrzetwarzanie}, {"Błąd", kKomunikatBrakInformacji}},
       0,
       true},
      {"html served, copy does not parse",
       [&](MainFormTest& t) {
         t.server_.PutFile("ruv_virad_2.xml", "<!DOCTYPE html><html>");
         t.WriteCopy("to nie jest XML");
       },
       {{"Błąd", "<parser>"}, {title, kKomunikatPrzetwarzanie}, {"Błąd", kKomunikatBrakInformacji}},
       0,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_.ClearRules();
    fs::remove_all(root_ / "config" / "SOFTWARE");
    c.prepare(*this);
    const std::string before = fs::exists(CopyPath()) ? ReadAll(CopyPath()) : "";
    TScopedScriptedMessageBoxes boxes;
    TMainForm form;
    form.FormShow();
    auto shown = Boxes(boxes);
    ASSERT_EQ(shown.size(), c.boxes.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(shown[i].first, c.boxes[i].first);
      if (c.boxes[i].second == "<parser>")
        EXPECT_FALSE(shown[i].second.empty());
      else
        EXPECT_EQ(shown[i].second, c.boxes[i].second);
    }
    EXPECT_EQ(form.Buttons().size(), c.buttons);
    EXPECT_EQ(form.ZakonczenieZlecone(), c.ends);
    EXPECT_EQ(fs::exists(CopyPath()) ? ReadAll(CopyPath()) : "", before) << "the copy stays as it was";
    TTerminals::Finalizuj();
  }
}

TEST_F(MainFormTest, ACopyThatCannotBeWrittenIsLoadedOverTheServersConfiguration) {
  Serve(kThree);
  WriteCopy(Config(std::vector<Term>{{"k", "Kopia"}}).Xml());
  // The value's directory refuses new files, so the atomic replacement fails.
  const std::string dir = CopyPath().parent_path().string();
  if (std::system(("chattr +i '" + dir + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "chattr +i is not available on " << dir;
  TScopedScriptedMessageBoxes boxes;
  TMainForm form;
  form.FormShow();
  std::system(("chattr -i '" + dir + "'").c_str());
  const auto shown = Boxes(boxes);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].first, "Błąd");
  EXPECT_NE(shown[0].second.find("Failed to set data for 'version_file'"), std::string::npos) << shown[0].second;
  EXPECT_EQ(shown[1].second, kKomunikatPrzetwarzanie);
  EXPECT_EQ(form.IdentyfikatoryTerminali(), (std::vector<std::string>{"k"}));
}

TEST_F(MainFormTest, DecliningTheUpdateEndsTheProgramAfterTheWindowIsBuilt) {
  Config c = kThree;
  c.progVersion = "9.9";
  Serve(c);
  TScopedScriptedMessageBoxes boxes;
  boxes->Answer(mrCancel);
  TMainForm form;
  form.FormShow();
  const auto shown = boxes->Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, TMsgDlgType::mtWarning);
  EXPECT_EQ(shown[0].title, "Ostrzeżenie");
  EXPECT_EQ(shown[0].text, kKomunikatPrzestarzalaWersja);
  EXPECT_TRUE(shown[0].buttons.Has(TMsgDlgBtn::mbOK) && shown[0].buttons.Has(TMsgDlgBtn::mbCancel));
  EXPECT_TRUE(form.ZakonczenieZlecone());
  EXPECT_EQ(form.Buttons().size(), 3u);
  EXPECT_EQ(form.windowTitle(), "Programy systemu RUV v.3.0.0.3");
}

TEST_F(MainFormTest, AcceptingTheUpdateStartsTheDownloaderAndEndsTheProcess) {
  // A forked child shares this test's server and directories.
  GTEST_FLAG_SET(death_test_style, "fast");
  Config c = kThree;
  c.progVersion = "9.9";
  Serve(c);
  server_.PutFile("ruv_virad_downloader.exe", ReadAll(Env("RUV_RECORD_ARGS_PROGRAM")));
  const fs::path record = root_ / "record.txt";
  setenv("RUV_RECORD_FILE", record.c_str(), 1);
  EXPECT_EXIT(
      {
        TScopedScriptedMessageBoxes boxes;
        boxes->Answer(mrOK);
        TMainForm form;
        form.FormShow();
        std::_Exit(3);  // not reached: the hand-over ends the process
      },
      ::testing::ExitedWithCode(0), "");
  QElapsedTimer t;
  t.start();
  while (!fs::exists(record) && t.elapsed() < 10000) std::this_thread::sleep_for(20ms);
  const std::string args = ReadAll(record);
  EXPECT_NE(args.find("ruv_virad.exe"), std::string::npos) << args;
  EXPECT_NE(args.find("run"), std::string::npos) << args;
  unsetenv("RUV_RECORD_FILE");
}

// A click fetches the terminal and starts it; the launcher then minimizes inside a
// client network and ends outside one. The click comes inside the application's
// loop, as in the launcher: a click that ends the launcher ends that loop.
TEST_F(MainFormTest, AClickStartsTheTerminalThenMinimizesInsideAndEndsOutside) {
  constexpr int kStillRunning = 5;
  const std::string program = ReadAll(Env("RUV_RECORD_ARGS_PROGRAM"));
  struct Case {
    const char* address;
    bool minimized;
    bool ends;
  };
  for (const Case& c : {Case{"10.1.2.3", true, false}, Case{"192.0.2.1", false, true}}) {
    SCOPED_TRACE(c.address);
    SetAddresses({c.address});
    Serve(kThree);
    server_.PutFile("b/b.exe", program);
    const fs::path record = root_ / "cwd" / "terminale" / "b" / "ruv_record_args.txt";
    fs::remove(record);
    TScopedScriptedMessageBoxes boxes;
    TMainForm form;
    form.FormShow();
    // Fires only while the loop goes on after the click.
    bool wentOn = false;
    QTimer goesOn;
    goesOn.setSingleShot(true);
    QObject::connect(&goesOn, &QTimer::timeout, [&] {
      wentOn = true;
      QCoreApplication::exit(kStillRunning);
    });
    QTimer::singleShot(0, &form, [&] {
      form.ButtonClick(form.Buttons()[1]);
      goesOn.start(0);
    });
    EXPECT_EQ(QApplication::exec(), c.ends ? 0 : kStillRunning);
    goesOn.stop();
    EXPECT_EQ(wentOn, !c.ends);
    QElapsedTimer t;
    t.start();
    while (!fs::exists(record) && t.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const std::string args = ReadAll(record);
    EXPECT_NE(args.find("\nKowmept\nzu617!%&\n58\n20316\n"), std::string::npos) << args;
    EXPECT_EQ(form.isMinimized(), c.minimized);
    EXPECT_EQ(form.ZakonczenieZlecone(), c.ends);
    for (const auto& box : boxes->Shown()) EXPECT_NE(box.kind, TMsgDlgType::mtError) << box.text;
    QCoreApplication::removePostedEvents(nullptr);
  }
}

TEST_F(MainFormTest, AClickOnATerminalTheReloadNoLongerHasShowsTheSelectionError) {
  Serve(kThree);
  TScopedScriptedMessageBoxes boxes;
  TMainForm form;
  form.FormShow();
  Serve(Config({{"a", "Alfa"}, {"c", "Gamma"}}));
  const auto before = server_.Requests().size();
  form.ButtonClick(form.Buttons()[1]);
  const auto shown = Boxes(boxes);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].first, "Błąd");
  EXPECT_EQ(shown[0].second, "Terminal o identyfikatorze \"b\" nie został opisany w pliku konfiguracyjnym");
  const auto requests = server_.Requests();
  EXPECT_EQ(std::vector<std::string>(requests.begin() + static_cast<long>(before), requests.end()),
            (std::vector<std::string>{"/ruv_virad_2.xml"}))
      << "nothing fetched for the terminal";
  EXPECT_FALSE(form.ZakonczenieZlecone());
  EXPECT_FALSE(form.isMinimized());
  // Its redraw goes to the default error report.
  form.ButtonMouseEnter(form.Buttons()[1]);
  ASSERT_EQ(boxes->Shown().size(), 2u);
  EXPECT_EQ(boxes->Shown()[1].title, ApplicationTitle());
}

TEST(ProgramName, OnlyRuvViradExeInAnyDirectoryPasses) {
  struct Case {
    const char* path;
    bool ok;
  };
  const Case cases[] = {{"/opt/ruv/ruv_virad.exe", true}, {"/tmp/x y/ruv_virad.exe", true},
                        {"ruv_virad.exe", true},          {"/opt/RUV_VIRAD.EXE", false},
                        {"/opt/Ruv_virad.exe", false},    {"/opt/ruv_virad", false},
                        {"/opt/ruv_virad.exe.bak", false}, {"/opt/ruv_virad.exe/ruv", false}};
  for (const Case& c : cases) {
    const auto message = KomunikatNieprawidlowejNazwy(c.path);
    EXPECT_EQ(!message.has_value(), c.ok) << c.path;
    if (message) {
      EXPECT_EQ(*message, std::string("Nazwa pliku wykonywalnego nie jest prawidłowa: ") + c.path +
                              "\rProszę zmienić nazwę na domyślną (ruv_virad.exe) i uruchomić program jeszcze raz.");
    }
  }
  EXPECT_EQ(TytulAplikacji("/opt/ruv/ruv_virad.exe"), "ruv_virad");
  EXPECT_EQ(TytulAplikacji("/opt/RUV_VIRAD.EXE"), "RUV_VIRAD");
  EXPECT_EQ(TytulAplikacji("/opt/ruv_virad"), "ruv_virad");
}

}  // namespace
}  // namespace ruv
