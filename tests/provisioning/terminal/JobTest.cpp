// The terminal update job on a real worker thread against a local download server:
// its ticks, the program-file version rule and its question, libraries, additional
// files with their ".hash" side files, the icon's bound, and selections made while
// a job runs.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "TerminalFixture.h"
#include "ruv/platform/Text.h"
#include "ruv/provisioning/DownloadLimits.h"
#include "ruv/provisioning/FileVersion.h"
#include "ruv/provisioning/Plik.h"
#include "ruv/provisioning/Terminal.h"

namespace ruv::testing {
namespace {

using provisioning::TTerminal;
using provisioning::TTerminals;

std::string Program(const std::string& version) {
  if (version == "3.0.0.3") return ReadAll(RUV_PROGRAM_3003);
  if (version == "3.0.0.4") return ReadAll(RUV_PROGRAM_3004);
  if (version == "3.0.9.9") return ReadAll(RUV_PROGRAM_3099);
  if (version == "3.1.0.0") return ReadAll(RUV_PROGRAM_3100);
  ADD_FAILURE() << "no stamped program " << version;
  return {};
}

// The local copy's version, "" when there is none.
std::string VersionOf(const fsys::path& path) {
  try {
    return GetFileVersionString(path.string());
  } catch (const Exception&) {
    return "";
  }
}

const std::string kProcessInterrupted = "Process interrupted with message:\r";

TEST_F(TerminalTest, JobTicksOncePerStepInOrder) {
  struct Case {
    const char* what;
    TerminalDesc terminal;
    std::vector<std::string> ticks;
  };
  TerminalDesc bare;
  TerminalDesc full;
  full.dlls = {"druk", "baza", "siec"};
  full.files = {{"a.ini", "term", "", ""}, {"b.txt", "term\\doc", "", ""}};
  TerminalDesc noIcon;
  noIcon.icon = {};
  const Case cases[] = {
      {"no libraries or files", bare, {"Pobieranie pliku prog.exe", "Pobieranie pliku ikona.bmp"}},
      {"three libraries, two files",
       full,
       {"Pobieranie pliku prog.exe", "Pobieranie pliku ikona.bmp", "Pobieranie biblioteki druk",
        "Pobieranie biblioteki baza", "Pobieranie biblioteki siec", "Pobieranie pliku a.ini",
        "Pobieranie pliku b.txt"}},
      {"icon without a name", noIcon, {"Pobieranie pliku prog.exe", "Pobieranie pliku "}},
  };
  const std::vector<DllDesc> dlls = {{"druk", "", {"druk.dll", "lib", "", ""}},
                                     {"baza", "", {"baza.dll", "lib", "", ""}},
                                     {"siec", "", {"siec.dll", "lib", "", ""}}};
  server_.PutFile("a.ini", "a");
  server_.PutFile("b.txt", "b");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Select(ConfigXml({c.terminal}, dlls));
    TTerminal::download();
    const std::vector<JobRecord> jobs = RecordingExecuter::Taken();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].count, static_cast<int>(c.ticks.size()));
    EXPECT_EQ(jobs[0].ticks, c.ticks);
    EXPECT_EQ(jobs[0].finished, 1);
    // The icon fetch failed (nothing served it) without a word.
    EXPECT_TRUE(boxes_->Shown().empty());
  }
  EXPECT_EQ(ReadAll(dir_ / "term/doc/b.txt"), "b");
}

TEST_F(TerminalTest, ProgramFileFollowsTheVersionRule) {
  struct Case {
    const char* local;  // "" for no local copy
    const char* configured;
    TModalResult answer;
    bool asked;
    bool fetched;
  };
  const Case cases[] = {
      {"3.0.0.4", "3.0.0.4", TModalResult::mrOK, false, false},
      {"3.0.0.3", "3.0.0.4", TModalResult::mrOK, false, true},
      {"3.0.0.4", "3.0.0.3", TModalResult::mrOK, false, true},
      {"3.0.9.9", "3.1.0.0", TModalResult::mrCancel, true, false},
      {"3.0.9.9", "3.1.0.0", TModalResult::mrOK, true, true},
      {"3.1.0.0", "3.0.9.9", TModalResult::mrOK, true, true},
      {"3.0.9.9", "3.1.0.0", TModalResult::mrNone, true, false},
      {"", "3.1.0.0", TModalResult::mrCancel, true, false},
      {"", "3.1.0.0", TModalResult::mrOK, true, true},
      {"", "", TModalResult::mrOK, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.local) + " -> " + c.configured);
    TScopedScriptedMessageBoxes boxes;
    boxes->Answer(c.answer);
    const fsys::path local = dir_ / "term/prog.exe";
    fsys::remove_all(dir_ / "term");
    if (*c.local) WriteAll(local, Program(c.local));
    if (*c.configured) server_.PutFile("bin/prog.exe", Program(c.configured));
    TerminalDesc t;
    t.version = c.configured;
    t.exe = {"prog.exe", "term", "bin", ""};
    Select(ConfigXml({t}));
    const std::size_t before = server_.Requests().size();

    TTerminal::download();

    const std::vector<TMessageBox> shown = boxes->Shown();
    ASSERT_EQ(shown.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(shown[0].text, resources::KomunikatNowszaWersjaTerminala());
      EXPECT_EQ(shown[0].kind, TMsgDlgType::mtInformation);
      EXPECT_EQ(shown[0].title, "Komunikat");
      EXPECT_EQ(shown[0].buttons, TMsgDlgButtons({TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}));
    }
    const std::vector<std::string> requests = server_.Requests();
    const bool requested =
        std::find(requests.begin() + static_cast<long>(before), requests.end(), "/bin/prog.exe") != requests.end();
    EXPECT_EQ(requested, c.fetched);
    const std::string expected = c.fetched ? c.configured : c.local;
    EXPECT_EQ(VersionOf(local), expected);
    if (c.fetched) {
      EXPECT_TRUE(ExecutableByUser(local));
    }
    RecordingExecuter::Taken();
  }
}

TEST_F(TerminalTest, LibrariesAreFetchedByVersionAndAMissingDescriptionEndsTheJob) {
  WriteAll(dir_ / "lib/rowna.dll", Program("3.0.0.3"));
  server_.PutFile("rowna.dll", "nowa");
  server_.PutFile("brak_lokalnie.dll", Program("3.0.0.4"));
  server_.PutFile("pozniejsza.dll", "x");
  server_.PutFile("plik.ini", "x");
  TerminalDesc t;
  t.dlls = {"rowna", "brak_lokalnie", "nieopisana", "pozniejsza"};
  t.files = {{"plik.ini", "term", "", ""}};
  Select(ConfigXml({t}, {{"rowna", "3.0.0.3", {"rowna.dll", "lib", "", ""}},
                         {"brak_lokalnie", "3.0.0.4", {"brak_lokalnie.dll", "lib", "", ""}},
                         {"pozniejsza", "1.0", {"pozniejsza.dll", "lib", "", ""}}}));

  TTerminal::download();

  const std::vector<JobRecord> jobs = RecordingExecuter::Taken();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].count, 7);
  ASSERT_EQ(jobs[0].ticks.size(), 5u);
  EXPECT_EQ(jobs[0].ticks.back(), "Pobieranie biblioteki nieopisana");
  EXPECT_EQ(jobs[0].finished, 1);
  ASSERT_EQ(boxes_->Shown().size(), 1u);
  EXPECT_EQ(boxes_->Shown()[0].text,
            kProcessInterrupted + "Nie znaleziono informacji o bibliotece \"nieopisana\"");
  EXPECT_FALSE(Requested("rowna.dll"));
  EXPECT_TRUE(Requested("brak_lokalnie.dll"));
  EXPECT_EQ(VersionOf(dir_ / "lib/brak_lokalnie.dll"), "3.0.0.4");
  EXPECT_FALSE(Requested("pozniejsza.dll"));
  EXPECT_FALSE(Requested("plik.ini"));
}

TEST_F(TerminalTest, AdditionalFilesFollowTheirSideFiles) {
  struct Case {
    const char* what;
    bool present;
    const char* hash;
    std::optional<std::string> side;  // side file content before, none when missing
    bool fetched;
    std::optional<std::string> sideAfter;
  };
  const std::string ansiHash = text::Utf8ToAnsi("zażółć");
  const Case cases[] = {
      {"missing, no hash", false, "", std::nullopt, true, std::nullopt},
      {"missing, stale side file kept without hash", false, "", "stary\r\n", true, "stary\r\n"},
      {"missing, hash", false, "abc", "abc\r\n", true, "abc\r\n"},
      {"present, no hash", true, "", std::nullopt, false, std::nullopt},
      {"present, hash, no side file", true, "abc", std::nullopt, true, "abc\r\n"},
      {"present, other hash", true, "abc", "old\r\n", true, "abc\r\n"},
      {"present, hash differs in case", true, "abc", "ABC\r\n", true, "abc\r\n"},
      {"present, empty side file", true, "abc", "", true, "abc\r\n"},
      {"present, same hash", true, "abc", "abc\r\n", false, "abc\r\n"},
      {"present, same hash without line end", true, "abc", "abc", false, "abc"},
      {"present, same hash and more lines", true, "abc", "abc\r\nxyz\r\n", false, "abc\r\nxyz\r\n"},
      {"present, same hash with LF", true, "abc", "abc\nxyz", false, "abc\nxyz"},
      {"present, hash with a blank kept", true, " abc", "abc\r\n", true, " abc\r\n"},
      {"present, Polish hash in the ANSI code page", true, "zażółć", ansiHash + "\r\n", false,
       ansiHash + "\r\n"},
      {"missing, Polish hash", false, "zażółć", std::nullopt, true, ansiHash + "\r\n"},
  };
  server_.PutFile("src/dane.xml", "nowe");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fsys::path file = dir_ / "lib/sub/dane.xml";
    const fsys::path side = dir_ / "lib/sub/dane.xml.hash";
    fsys::remove_all(dir_ / "lib");
    if (c.present) WriteAll(file, "stare");
    if (c.side) WriteAll(side, *c.side);
    TerminalDesc t;
    t.files = {{"dane.xml", "lib\\sub", "src", c.hash}};
    Select(ConfigXml({t}));

    TTerminal::downloadGenericFile(0);

    EXPECT_EQ(ReadAll(file), c.fetched ? "nowe" : "stare");
    EXPECT_EQ(fsys::exists(side), c.sideAfter.has_value());
    if (c.sideAfter) {
      EXPECT_EQ(ReadAll(side), *c.sideAfter);
    }
  }
}

TEST_F(TerminalTest, AFailedFetchOrWriteLeavesTheSideFileAsItWas) {
  TerminalDesc t;
  t.files = {{"dane.xml", "lib", "", "nowy"}};
  Select(ConfigXml({t}));
  const fsys::path file = dir_ / "lib/dane.xml";
  const fsys::path side = dir_ / "lib/dane.xml.hash";

  // Nothing serves the file: the old copy and its side file stay, and the job says why.
  WriteAll(file, "stare");
  WriteAll(side, "stary\r\n");
  TTerminal::download();
  ASSERT_EQ(boxes_->Shown().size(), 1u);
  EXPECT_EQ(boxes_->Shown()[0].text, kProcessInterrupted + "Niemożliwe było sciągnięcie pliku");
  EXPECT_EQ(ReadAll(file), "stare");
  EXPECT_EQ(ReadAll(side), "stary\r\n");

  // The file is served but cannot be written (a directory holds its name): no side
  // file claims it, and the next run fetches it again.
  server_.PutFile("dane.xml", "nowe");
  fsys::remove_all(dir_ / "lib");
  fsys::create_directories(file);
  for (int run = 1; run <= 2; ++run) {
    const std::size_t before = Requests().size();
    TTerminal::downloadGenericFile(0);
    EXPECT_EQ(Requests().size(), before + 1) << "run " << run;
    EXPECT_FALSE(fsys::exists(side));
  }
  fsys::remove(file);
  TTerminal::downloadGenericFile(0);
  EXPECT_EQ(ReadAll(file), "nowe");
  EXPECT_EQ(ReadAll(side), "nowy\r\n");
}

// The icon has a bound of its own, far below that of the other files: where the
// job fetches it, and where the drawing of a button fetches a missing one.
TEST_F(TerminalTest, AnIconPastItsBoundIsNotWrittenAndTheJobGoesOn) {
  const std::string atBound(static_cast<std::size_t>(provisioning::kMaxIconFileBytes), 'i');
  const std::string over = atBound + "!";
  server_.PutFile("ikony/rowna.bmp", atBound);
  server_.PutFile("ikony/duza.bmp", over);
  server_.PutFile("ikony/duza.dat", over);
  const struct {
    const char* what;
    std::string icon;
    bool written;
  } cases[] = {{"at the bound", "rowna.bmp", true}, {"one byte past it", "duza.bmp", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fsys::path icon = dir_ / "term" / c.icon;
    fsys::remove_all(dir_ / "term");
    WriteAll(icon, "stara");
    TerminalDesc t;
    t.icon = {c.icon, "term", "ikony", ""};
    t.files = {{"duza.dat", "term", "ikony", ""}};
    Select(ConfigXml({t}));

    TTerminal::download();

    const std::vector<JobRecord> jobs = RecordingExecuter::Taken();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].ticks.size(), 3u);
    EXPECT_EQ(jobs[0].finished, 1);
    EXPECT_TRUE(boxes_->Shown().empty());
    EXPECT_TRUE(ReadAll(icon) == (c.written ? atBound : "stara")) << "the icon holds " << fsys::file_size(icon);
    // The job went on, and an additional file of the same size is no icon.
    EXPECT_TRUE(ReadAll(dir_ / "term/duza.dat") == over);

    // A missing icon, fetched while its button is drawn.
    fsys::remove(icon);
    if (c.written) {
      EXPECT_TRUE(TTerminal::PlikIkonyIstnieje());
      EXPECT_TRUE(ReadAll(icon) == atBound);
    } else {
      EXPECT_THROW(TTerminal::PlikIkonyIstnieje(), Exception);
      EXPECT_FALSE(fsys::exists(icon));
    }
    std::vector<std::string> left;
    for (const auto& e : fsys::directory_iterator(dir_ / "term")) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    const std::vector<std::string> expected =
        c.written ? std::vector<std::string>{"duza.dat", c.icon} : std::vector<std::string>{"duza.dat"};
    EXPECT_EQ(left, expected);
  }
}

// A message-box service that holds the question until the test lets it go.
class HeldQuestion final : public IMessageBoxes {
 public:
  TModalResult Show(const TMessageBox&) override {
    std::unique_lock lock(mutex_);
    asked_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_; });
    return TModalResult::mrOK;
  }
  bool WaitAsked() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return asked_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool asked_ = false;
  bool released_ = false;
};

TEST_F(TerminalTest, SelectionsMadeDuringAJobDoNotChangeWhatItFetchesOrStarts) {
  TerminalDesc a;
  a.id = "A";
  a.version = "3.1.0.0";
  a.exe = {"start.exe", "a", "a", ""};
  a.icon = {"a.bmp", "a", "a", ""};
  a.files = {{"a.ini", "a", "a", "h"}};
  TerminalDesc b;
  b.id = "B";
  b.version = "3.1.0.0";
  b.exe = {"start.exe", "b", "b", ""};
  b.icon = {"b.bmp", "b", "b", ""};
  b.files = {{"b.ini", "b", "b", "h"}};
  for (const char* dir : {"a", "b"}) {
    server_.PutFile(std::string(dir) + "/start.exe", ReadAll(RUV_RECORD_ARGS_STAMPED));
    server_.PutFile(std::string(dir) + "/" + dir + ".bmp", "BM");
    server_.PutFile(std::string(dir) + "/" + dir + ".ini", "x");
  }
  const std::string xml = ConfigXml({a, b});
  Select(xml, "A");
  auto question = std::make_shared<HeldQuestion>();
  const auto previous = SetMessageBoxes(question);

  bool started = false;
  std::thread ui([&] { started = TTerminal::virad(); });
  const bool asked = question->WaitAsked();
  if (asked) {
    // What a button redraw does meanwhile: select the other terminal and its icon.
    TTerminals::WczytajDaneTerminala("B");
    provisioning::TPlik::WczytajDane(TTerminal::DaneTerminala()->Get_Icon_file());
  }
  question->Release();
  ui.join();
  SetMessageBoxes(previous);
  ASSERT_TRUE(asked);

  EXPECT_TRUE(started);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"a/start.exe", "a/a.bmp", "a/a.ini"}));
  const std::vector<JobRecord> jobs = RecordingExecuter::Taken();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].ticks, (std::vector<std::string>{"Pobieranie pliku start.exe", "Pobieranie pliku a.bmp",
                                                     "Pobieranie pliku a.ini"}));
  EXPECT_EQ(ReadAll(dir_ / "a/a.ini.hash"), "h\r\n");
  // A's program was started in A's directory; the later selection stands.
  const fsys::path record = dir_ / "a/ruv_record_args.txt";
  for (int i = 0; i < 200 && !fsys::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_TRUE(fsys::exists(record));
  EXPECT_FALSE(fsys::exists(dir_ / "b"));
  EXPECT_EQ(TTerminal::DaneTerminala()->Get_Id(), "B");
}

}  // namespace
}  // namespace ruv::testing
