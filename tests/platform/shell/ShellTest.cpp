#include "TestDirectory.h"
#include "ruv/platform/Shell.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ruv/platform/Files.h"

namespace ruv::shell {
namespace {

namespace stdfs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr const char* kToken = "Kowmept zu617!%& 58 20316 ";

TEST(SplitCommandLineTest, FollowsTheRunTimeRules) {
  const struct {
    const char* line;
    Lines args;
  } cases[] = {
      {"", {}},
      {" \t ", {}},
      {kToken, {"Kowmept", "zu617!%&", "58", "20316"}},
      {"a\tb  c", {"a", "b", "c"}},
      {"\"a b\" c", {"a b", "c"}},
      {"x\"a b\"y", {"xa by"}},
      {"\"\"", {""}},
      {"a \"\" b", {"a", "", "b"}},
      {"\"unterminated arg", {"unterminated arg"}},
      {"a\\\\b", {"a\\\\b"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\"b", {"a\"b"}},
      {"\"a\\\"b\"", {"a\"b"}},
      {"C:\\dir\\ \"C:\\x y\\\\\"", {"C:\\dir\\", "C:\\x y\\"}},
      {"\"a\"\"b\" c", {"a\"b", "c"}},
      {"\"a\"\"\" c", {"a\"", "c"}},
      {"Zażółć \"gęślą jaźń\"", {"Zażółć", "gęślą jaźń"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << "line: [" << c.line << "]";
}

TEST(CurrentExecutablePathTest, NamesThisProgram) {
  const std::string path = CurrentExecutablePath();
  EXPECT_EQ(path, stdfs::canonical("/proc/self/exe").string());
  EXPECT_EQ(stdfs::path(path).filename(), "test_platform_shell");
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ruv::testing::FreshTestDirectory("ruv_shell");
    stdfs::create_directories(dir_ / "bin");
    const char* program = std::getenv("RUV_RECORD_ARGS_PROGRAM");
    ASSERT_NE(program, nullptr) << "RUV_RECORD_ARGS_PROGRAM names the recording program";
    program_ = program;
    path_ = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    ::unsetenv("RUV_RECORD_FILE");
  }
  void TearDown() override {
    ::setenv("PATH", path_.c_str(), 1);
    stdfs::remove_all(dir_);
  }
  // A copy of the recording program under the given name below the test folder.
  void Install(const std::string& relative) {
    stdfs::create_directories((dir_ / relative).parent_path());
    stdfs::copy_file(program_, dir_ / relative, stdfs::copy_options::overwrite_existing);
  }
  // A stand-in for the desktop's opener that records its arguments.
  void InstallOpener() {
    fs::WriteFileAtomically((dir_ / "bin/xdg-open").string(),
                            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$RUV_OPENED.tmp\" && mv \"$RUV_OPENED.tmp\" "
                            "\"$RUV_OPENED\"\n",
                            true);
    ::setenv("PATH", ((dir_ / "bin").string() + ":" + path_).c_str(), 1);
    ::setenv("RUV_OPENED", (dir_ / "opened.txt").c_str(), 1);
  }
  // The lines of a file that a started process writes, waiting for it to appear.
  static Lines Await(const stdfs::path& file) {
    for (int i = 0; i < 500 && !stdfs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Lines lines;
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  stdfs::path dir_;
  std::string program_, path_;
};

TEST_F(ShellTest, StartsProgramWithTokenArgumentsInWorkingDirectory) {
  const struct {
    const char* installAt;  // below the test folder
    const char* file;       // as handed to the shell
    const char* directory;  // below the test folder
  } cases[] = {
      {"work/terminal.exe", "terminal.exe", "work"},
      {"work/sub/terminal.exe", "sub\\terminal.exe", "work"},
      {"bin/on_path_terminal", "on_path_terminal", "work"},
      {"elsewhere/terminal.exe", "", "work"},  // the absolute path of the program
  };
  ::setenv("PATH", ((dir_ / "bin").string() + ":" + path_).c_str(), 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.installAt);
    Install(c.installAt);
    const stdfs::path work = dir_ / c.directory;
    stdfs::create_directories(work);
    stdfs::remove(work / "ruv_record_args.txt");
    const std::string file = c.file[0] ? c.file : (dir_ / c.installAt).string();
    ASSERT_TRUE(ShellExecute("open", file, kToken, work.string(), ShowCommand::ShowNormal));
    const Lines record = Await(work / "ruv_record_args.txt");
    ASSERT_EQ(record.size(), 6u);
    EXPECT_EQ(record[0], work.string());
    EXPECT_EQ(record[1], (dir_ / c.installAt).string());
    EXPECT_EQ(Lines(record.begin() + 2, record.end()), (Lines{"Kowmept", "zu617!%&", "58", "20316"}));
  }
}

TEST_F(ShellTest, EmptyDirectoryMeansCurrentAndNoChildIsLeft) {
  Install("terminal.exe");
  const auto cwd = stdfs::current_path();
  stdfs::current_path(dir_);
  ::setenv("RUV_RECORD_FILE", (dir_ / "first.txt").c_str(), 1);
  const bool started = ShellExecute("", "terminal.exe", "", "", ShowCommand::Show);
  ::unsetenv("RUV_RECORD_FILE");
  for (int i = 0; i < 3; ++i) ShellExecute("open", "terminal.exe", "", "", ShowCommand::Show);
  stdfs::current_path(cwd);
  ASSERT_TRUE(started);
  const Lines record = Await(dir_ / "first.txt");
  ASSERT_GE(record.size(), 1u);
  EXPECT_EQ(record[0], dir_.string());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (const auto& entry : stdfs::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string text;
    if (!std::getline(stat, text)) continue;
    const auto close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 2));
    char state = 0;
    int ppid = 0;
    rest >> state >> ppid;
    EXPECT_FALSE(ppid == ::getpid()) << "a child is left behind: " << text;
  }
}

TEST_F(ShellTest, StartedProgramInheritsOnlyStandardStreamsAndNoBlockedSignal) {
  const char* lister = std::getenv("RUV_LIST_INHERITED_PROGRAM");
  ASSERT_NE(lister, nullptr) << "RUV_LIST_INHERITED_PROGRAM names the listing program";
  const int leak = ::open("/dev/null", O_RDONLY);  // not close-on-exec on purpose
  // The launcher's threads block the signals it waits for itself; what a thread
  // had blocked must not reach the program it starts.
  sigset_t term, previous;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &term, &previous), 0);
  const std::string record = (dir_ / "inherited.txt").string();
  const bool started = ShellExecute("open", lister, "\"" + record + "\"", dir_.string(), ShowCommand::Show);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(leak);
  ASSERT_TRUE(started);
  const Lines inherited = Await(record);
  ASSERT_EQ(inherited.size(), 2u);
  EXPECT_EQ(inherited[0], "0 1 2") << "descriptors beyond the standard streams were inherited";
  EXPECT_EQ(std::stoull(inherited[1], nullptr, 16), 0u) << "blocked signals: " << inherited[1];
}

TEST_F(ShellTest, DocumentsAndLinksGoToTheDesktopOpener) {
  InstallOpener();
  fs::WriteFileAtomically((dir_ / "readme.txt").string(), "text");
  const struct {
    const char* file;
    const char* directory;
    std::string opened;
  } cases[] = {
      {"readme.txt", dir_.c_str(), (dir_ / "readme.txt").string()},
      {"http://example.org/a b?x=1&y=2", "", "http://example.org/a b?x=1&y=2"},
      {"mailto:admin@example.org", "", "mailto:admin@example.org"},
      {"www.example.org", "", "http://www.example.org"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    stdfs::remove(dir_ / "opened.txt");
    ASSERT_TRUE(ShellExecute("Open", c.file, "", c.directory, ShowCommand::Show));
    EXPECT_EQ(Await(dir_ / "opened.txt"), Lines{c.opened});
  }
}

TEST_F(ShellTest, WhatCannotBeStartedIsSilentlyNotStarted) {
  Install("terminal.exe");
  fs::WriteFileAtomically((dir_ / "garbage.exe").string(), "not a program\n", true);
  fs::WriteFileAtomically((dir_ / "doc.txt").string(), "text");
  ::setenv("PATH", (dir_ / "bin").c_str(), 1);  // no opener on it
  const struct {
    const char* verb;
    std::string file;
    std::string directory;
  } cases[] = {
      {"open", "missing.exe", dir_.string()},
      {"open", "sub\\missing.exe", dir_.string()},
      {"open", "", dir_.string()},
      {"open", (dir_ / "terminal.exe").string(), (dir_ / "no_such_dir").string()},
      {"open", "garbage.exe", dir_.string()},
      {"open", "doc.txt", dir_.string()},
      {"open", "http://example.org", ""},
      {"print", "terminal.exe", dir_.string()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_FALSE(ShellExecute(c.verb, c.file, kToken, c.directory, ShowCommand::ShowNormal));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(stdfs::exists(dir_ / "ruv_record_args.txt"));
}

}  // namespace
}  // namespace ruv::shell
