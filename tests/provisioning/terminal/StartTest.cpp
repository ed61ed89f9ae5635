// Starting a terminal: the program is fetched, started in its target path with the
// access token, and the errors of a failed start-up; the icon presence check.

#include <gtest/gtest.h>

#include <thread>

#include "TerminalFixture.h"
#include "ruv/platform/Shell.h"
#include "ruv/provisioning/Terminal.h"

namespace ruv::testing {
namespace {

using provisioning::TTerminal;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string WaitForRecord(const fsys::path& record) {
  for (int i = 0; i < 400 && !fsys::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  return ReadAll(record);
}

TEST_F(TerminalTest, ViradFetchesTheProgramAndStartsItWithTheAccessToken) {
  EXPECT_EQ(std::string(provisioning::kTokenDostepu).size(), 26u);
  server_.PutFile("bin/rejestr.exe", ReadAll(RUV_RECORD_ARGS_STAMPED));
  TerminalDesc t;
  t.version = "3.0.0.4";
  t.exe = {"rejestr.exe", "term\\bin", "bin", ""};
  Select(ConfigXml({t}));

  EXPECT_TRUE(TTerminal::virad());

  // The missing program with a configured version was asked about, then fetched.
  ASSERT_EQ(boxes_->Shown().size(), 1u);
  EXPECT_TRUE(ExecutableByUser(dir_ / "term/bin/rejestr.exe"));
  const std::vector<std::string> lines = Lines(WaitForRecord(dir_ / "term/bin/ruv_record_args.txt"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(fsys::path(lines[0]), fsys::canonical(dir_ / "term/bin"));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
            (std::vector<std::string>{"Kowmept", "zu617!%&", "58", "20316"}));
  EXPECT_EQ(shell::SplitCommandLine(provisioning::kTokenDostepu),
            (std::vector<std::string>{"Kowmept", "zu617!%&", "58", "20316"}));
}

TEST_F(TerminalTest, ViradStartsAfterAFailedJobAndReportsAFailedStartUp) {
  // The job fails on a library without a description; the terminal starts all the same.
  WriteAll(dir_ / "term/rejestr.exe", ReadAll(RUV_RECORD_ARGS_STAMPED));
  fsys::permissions(dir_ / "term/rejestr.exe", fsys::perms::owner_all);
  TerminalDesc t;
  t.version = RUV_RECORD_ARGS_VERSION;
  t.exe = {"rejestr.exe", "term", "", ""};
  t.dlls = {"brak"};
  Select(ConfigXml({t}));
  EXPECT_TRUE(TTerminal::virad());
  ASSERT_EQ(boxes_->Shown().size(), 1u);
  EXPECT_EQ(boxes_->Shown()[0].text,
            "Process interrupted with message:\rNie znaleziono informacji o bibliotece \"brak\"");
  EXPECT_FALSE(WaitForRecord(dir_ / "term/ruv_record_args.txt").empty());
  fsys::remove(dir_ / "term/ruv_record_args.txt");

  // The progress window cannot be set up: the download error, and no start.
  RecordingExecuter::FailNext() = "okno";
  try {
    TTerminal::virad();
    ADD_FAILURE() << "virad returned";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Błąd przy próbie pobrania plików terminala. Proszę sprawdzic połączenie sieciowe, a w razie "
              "ponownego niepowodzenia skontaktować się z administratorem systemu.\r\rokno");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fsys::exists(dir_ / "term/ruv_record_args.txt"));
}

TEST_F(TerminalTest, IconPresenceFetchesAMissingIcon) {
  struct Case {
    const char* what;
    const char* name;
    bool present;
    bool served;
    bool result;
    bool requested;
    bool raises;
  };
  const Case cases[] = {
      {"no icon name", "", false, true, false, false, false},
      {"present", "ikona.bmp", true, true, true, false, false},
      {"missing, served", "ikona.bmp", false, true, true, true, false},
      {"missing, not served", "ikona.bmp", false, false, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fsys::remove_all(dir_ / "ikony");
    server_.ClearRules();
    if (c.present) WriteAll(dir_ / "ikony/ikona.bmp", "stara");
    server_.PutFile("ikona.bmp", "BM");
    if (!c.served) server_.SetRule("/ikona.bmp", {.status = 404});
    TerminalDesc t;
    t.icon = {c.name, "ikony", "", ""};
    Select(ConfigXml({t}));
    const std::size_t before = Requests().size();
    if (c.raises) {
      EXPECT_THROW(TTerminal::PlikIkonyIstnieje(), Exception);
    } else {
      EXPECT_EQ(TTerminal::PlikIkonyIstnieje(), c.result);
    }
    EXPECT_EQ(Requests().size() > before, c.requested);
    if (c.requested && c.served) {
      EXPECT_EQ(ReadAll(dir_ / "ikony/ikona.bmp"), "BM");
    }
  }
}

}  // namespace
}  // namespace ruv::testing
