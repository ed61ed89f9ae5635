#include "ChildProcess.h"
#include "DirectoryListing.h"
#include "TestDirectory.h"
#include "ruv/platform/Files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ruv/platform/Exception.h"

namespace ruv::fs {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ruv::testing::FreshTestDirectory("ruv_files");
  }
  void TearDown() override {
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(dir_);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

// The atomic writes, with each kind of temporary: the unnamed file this machine's
// file systems have, and the named one of a file system without them.
class AtomicWriteTest : public FilesTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    UseNamedTemporariesForTesting(GetParam());
  }
  void TearDown() override {
    UseNamedTemporariesForTesting(false);
    FilesTest::TearDown();
  }
  bool Named() const { return GetParam(); }
  long Entries(const std::filesystem::path& dir) const {
    return std::distance(std::filesystem::directory_iterator(dir), {});
  }
};
INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicWriteTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST_F(FilesTest, BackslashesAreSeparators) {
  EXPECT_EQ(NativePath("lib\\sub\\\\a.dll"), "lib/sub//a.dll");
}

TEST_P(AtomicWriteTest, AtomicWriteReplacesWholeFileAndSetsMode) {
  const auto p = Path("prog.exe");
  WriteFileAtomically(p, "old");
  WriteFileAtomically(p, std::string(100000, 'x'), true);
  EXPECT_EQ(ReadFile(p), std::string(100000, 'x'));
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_TRUE(FileExists(p));
  EXPECT_FALSE(FileExists(dir_.string()));
  EXPECT_TRUE(DirectoryExists(dir_.string()));
}

TEST_P(AtomicWriteTest, FailedWriteKeepsOldFileAndLeavesNoTemporary) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  const auto p = Path("data.txt");
  WriteFileAtomically(p, "old");
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_THROW(WriteFileAtomically(p, "new"), EInOutError);
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadFile(p), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

// Bytes that differ from one position to the next, so a piece written twice,
// skipped or given back before it was written shows in the file.
std::string Pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 7919 + i / 4096) % 251);
  return out;
}

TEST_P(AtomicWriteTest, FilesOfEverySizeAreWrittenWholeWhetherAtOnceOrPieceByPiece) {
  constexpr size_t kMiB = size_t{1} << 20;
  for (const size_t size : {size_t{0}, size_t{1}, 8 * kMiB - 1, 8 * kMiB, 8 * kMiB + 1, 29 * kMiB + 12345}) {
    SCOPED_TRACE(size);
    const std::string expected = Pattern(size);
    WriteFileAtomically(Path("whole.bin"), expected);
    EXPECT_TRUE(ReadFile(Path("whole.bin")) == expected);
    // Pieces of uneven sizes, as a network delivers them.
    {
      AtomicFileWriter file(Path("pieces.bin"), true);
      for (size_t at = 0, piece = 1; at < size; at += piece, piece = piece * 3 % 400009 + 1)
        file.Write(std::string_view(expected).substr(at, piece));
      file.Commit();
    }
    EXPECT_TRUE(ReadFile(Path("pieces.bin")) == expected);
    struct stat st {};
    ASSERT_EQ(::stat(Path("pieces.bin").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
  }
}

TEST_P(AtomicWriteTest, AWriterDroppedBeforeItsCommitLeavesTheOldFileAndNoTemporary) {
  const auto p = Path("data.bin");
  WriteFileAtomically(p, "old");
  {
    AtomicFileWriter file(p);
    file.Write(Pattern(3 << 20));
    EXPECT_EQ(Entries(dir_), Named() ? 2 : 1) << "the temporary beside the file";
    EXPECT_EQ(ReadFile(p), "old");
  }
  EXPECT_EQ(ReadFile(p), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_P(AtomicWriteTest, AWriteThatRunsOutOfSpaceKeepsTheOldFileAndLeavesNoTemporary) {
  // A medium with room for a piece or two, then no more.
  const auto medium = Path("klein");
  std::filesystem::create_directory(medium);
  if (::mount("tmpfs", medium.c_str(), "tmpfs", 0, "size=12m") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  const auto p = medium + "/data.bin";
  WriteFileAtomically(p, "old");
  EXPECT_THROW(WriteFileAtomically(p, Pattern(20 << 20)), EInOutError);
  {
    AtomicFileWriter file(p);
    EXPECT_THROW(for (int i = 0; i < 20; ++i) file.Write(Pattern(1 << 20)), EInOutError);
    EXPECT_THROW(file.Commit(), EInOutError) << "a failed writer cannot be committed";
  }
  EXPECT_EQ(ReadFile(p), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(medium), {}), 1);
  ::umount(medium.c_str());
}

TEST_P(AtomicWriteTest, WriteIntoMissingDirectoryRaises) {
  EXPECT_THROW(WriteFileAtomically(Path("missing/x"), "a"), EInOutError);
  EXPECT_THROW(ReadFile(Path("missing/x")), EInOutError);
}

TEST_F(FilesTest, ReadingADirectoryRaisesInsteadOfGivingNothing) {
  std::filesystem::create_directories(Path("side.hash"));
  try {
    ReadFile(Path("side.hash"));
    ADD_FAILURE() << "a directory read as a file";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot read \"" + Path("side.hash") + "\": Is a directory");
  }
}

// A process that ends in the middle of a write: the old file stays and no temporary
// is left, whether the process ends itself as a launcher asked to close does or is
// killed.
TEST_P(AtomicWriteTest, AProcessEndingInTheMiddleOfAWriteLeavesTheOldFileAndNoTemporary) {
  const auto p = Path("big.bin");
  WriteFileAtomically(p, "old");
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "killed" : "ending itself");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ready[0]);
      std::atomic<bool> writing{false};
      std::thread([&] {
        AtomicFileWriter file(p);
        file.Write(std::string(std::size_t{1} << 20, 'x'));
        writing = true;
        for (;;) file.Write(std::string(std::size_t{1} << 20, 'x'));
      }).detach();
      while (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (!killed) EndProcessNow();
      (void)!::write(ready[1], "w", 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    if (killed) {
      char c = 0;
      EXPECT_EQ(::read(ready[0], &c, 1), 1);
      ::kill(pid, SIGKILL);
    }
    ::close(ready[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (killed) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    } else {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(ReadFile(p), "old");
    if (killed && Named()) {
      // A killed process cannot remove its named temporary; the next write into the
      // directory does.
      EXPECT_EQ(Entries(dir_), 2) << "the killed writer's temporary";
      WriteFileAtomically(Path("next.bin"), "next");
      std::filesystem::remove(Path("next.bin"));
    }
    EXPECT_EQ(Entries(dir_), 1) << "a temporary file was left";
  }
}

// The names that appear in a directory while it is watched (created, or moved or
// renamed into it), in order.
class NameWatch {
 public:
  explicit NameWatch(const std::filesystem::path& dir) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) ::inotify_add_watch(fd_, dir.c_str(), IN_CREATE | IN_MOVED_TO);
  }
  ~NameWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  NameWatch(const NameWatch&) = delete;
  NameWatch& operator=(const NameWatch&) = delete;
  bool Watching() const { return fd_ >= 0; }
  std::vector<std::string> Seen() {
    std::vector<std::string> names;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0) names.emplace_back(event->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return names;
  }

 private:
  int fd_;
};

// A first write of a file, whole or piece by piece, gives the file no name but
// its own at any moment, so that nothing can be left under another name; the
// replacement of a file that exists has a name of its own for a moment, which the
// same watch sees.
TEST_F(FilesTest, AFirstWriteOfAFileHasNoNameButItsOwnAtAnyMoment) {
  if (!HasUnnamedFiles(dir_)) GTEST_SKIP() << "the file system of " << dir_ << " has no O_TMPFILE";
  NameWatch watch(dir_);
  ASSERT_TRUE(watch.Watching());
  WriteFileAtomically(Path("whole.dat"), Pattern(100000));
  {
    AtomicFileWriter file(Path("pieces.exe"), true);
    for (int i = 0; i < 10; ++i) file.Write(Pattern(10000));
    file.Commit();
  }
  WriteFileAtomically(Path("empty.dat"), "");
  EXPECT_EQ(watch.Seen(), (std::vector<std::string>{"whole.dat", "pieces.exe", "empty.dat"}));
  EXPECT_EQ(ReadFile(Path("pieces.exe")).size(), 100000u);

  WriteFileAtomically(Path("whole.dat"), "replaced");
  const std::vector<std::string> replacing = watch.Seen();
  ASSERT_EQ(replacing.size(), 2u) << "the watch does not see the name of a replacement";
  EXPECT_EQ(replacing[0].rfind(".whole.dat.ruv", 0), 0u) << replacing[0];
  EXPECT_EQ(replacing[1], "whole.dat");
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"empty.dat", "pieces.exe", "whole.dat"}));
}

// A child process that makes a named temporary for the file and keeps it until it
// is killed.
class WriterProcess {
 public:
  explicit WriterProcess(const std::string& target) {
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::close(ready[0]);
      auto* file = new AtomicFileWriter(target);
      file->Write("in progress");
      (void)!::write(ready[1], "w", 1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    ready_ = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
  }
  ~WriterProcess() { Kill(); }
  WriterProcess(const WriterProcess&) = delete;
  WriterProcess& operator=(const WriterProcess&) = delete;
  bool Ready() const { return ready_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

// A write removes from its directory the temporaries of writers that are gone and
// nothing else: the names of a running writer, of one on another machine or in
// another process-id namespace, and every name that is not a writer's, stay.
TEST_F(FilesTest, AWriteRemovesTheTemporariesOfGoneWritersAndNoOtherName) {
  UseNamedTemporariesForTesting(true);
  struct Reset {
    ~Reset() { UseNamedTemporariesForTesting(false); }
  } reset;
  WriterProcess running(Path("running.dat"));
  WriterProcess killed(Path("killed.dat"));
  ASSERT_TRUE(running.Ready() && killed.Ready());
  killed.Kill();
  std::string runningName;
  for (const std::string& name : Names(dir_))
    if (name.rfind(".running.dat.", 0) == 0) runningName = name;
  // ".running.dat.ruv<machine 8><boot 8><namespace 8>-<pid>-<start>-<6 letters>"
  const std::string prefix = ".running.dat.ruv";
  ASSERT_EQ(runningName.rfind(prefix, 0), 0u) << "the running writer's temporary has no mark";
  const std::string place = runningName.substr(prefix.size(), 24);
  const std::string rest = runningName.substr(prefix.size() + 24);  // "-<pid>-<start>-<letters>"
  const auto startAt = rest.find('-', 1) + 1;
  const auto startEnd = rest.find('-', startAt);
  const std::string pid = rest.substr(1, startAt - 2);
  const unsigned long long start = std::stoull(rest.substr(startAt, startEnd - startAt));
  auto other = [](std::string digits) {
    for (char& ch : digits) ch = ch == 'f' ? '0' : 'f';
    return digits;
  };
  const std::string later = "-" + pid + "-" + std::to_string(start + 1) + "-abcdef";
  struct Row {
    std::string name;
    bool removed;
  };
  const std::vector<Row> forged = {
      {".a.dat.ruv" + place + later, true},                                          // the id used again, later
      {".b.dat.ruv" + place.substr(0, 8) + other(place.substr(8, 8)) + place.substr(16) + later, true},  // earlier boot
      {".c.dat.ruv" + other(place.substr(0, 8)) + place.substr(8) + later, false},   // another machine
      {".d.dat.ruv" + place.substr(0, 16) + other(place.substr(16)) + later, false},  // another namespace
      {".e.dat.ruv" + place + "-" + pid + "-" + std::to_string(start + 1) + "-abc", false},  // not a writer's
      {".f.dat.ruv" + place.substr(0, 20) + later, false},
      {".g.dat.rux" + place + later, false},
      {".profile", false},
      {"data.ruv" + place + later, false},
  };
  for (const Row& row : forged) std::ofstream(Path(row.name.c_str())) << "x";
  const std::vector<std::string> before = Names(dir_);
  ASSERT_EQ(before.size(), forged.size() + 2) << "the killed writer's temporary is missing";

  WriteFileAtomically(Path("next.dat"), "next");
  const std::vector<std::string> after = Names(dir_);
  auto there = [&](const std::string& name) { return std::count(after.begin(), after.end(), name) == 1; };
  EXPECT_TRUE(there(runningName)) << "a running writer's temporary was removed";
  EXPECT_TRUE(there("next.dat"));
  for (const Row& row : forged) EXPECT_EQ(there(row.name), !row.removed) << row.name;
  for (const std::string& name : before) {
    if (name.rfind(".killed.dat.", 0) == 0) {
      EXPECT_FALSE(there(name)) << "the killed writer's temporary stayed";
    }
  }
  EXPECT_EQ(after.size(), before.size() + 1 - 3) << "next.dat came, the three temporaries of gone writers went";

  running.Kill();
  WriteFileAtomically(Path("next.dat"), "next");
  EXPECT_FALSE(std::filesystem::exists(Path(runningName.c_str()))) << "the writer's temporary outlived it";
}

// The end of a process does not wait on its output: what it printed reaches a
// reader that has room for it (a pipe, a file), is dropped where the pipe is full,
// and a stream that a thread stuck in a write to a full pipe holds is left alone.
// What would run at an ordinary exit does not run.
enum class Output { kPipeWithRoom, kFile, kFullPipe, kHeldByAThreadStuckInAWrite };

struct EndRow {
  const char* name;
  Output output;
  const char* printed;  // what the reader finds; nullptr where it is not read
};

void PrintTo(const EndRow& row, std::ostream* os) { *os << row.name; }

class EndProcessNowTest : public FilesTest, public ::testing::WithParamInterface<EndRow> {};

// ThreadSanitizer's own _exit flushes every stream, waiting on a stream that a
// thread holds as the process would not.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
constexpr bool kThreadSanitizer = __has_feature(thread_sanitizer);
#else
constexpr bool kThreadSanitizer = false;
#endif

TEST_P(EndProcessNowTest, EndsWithZeroAtOnceWithoutWaitingOnItsOutput) {
  const EndRow& row = GetParam();
  if (kThreadSanitizer && row.output == Output::kHeldByAThreadStuckInAWrite)
    GTEST_SKIP() << "ThreadSanitizer's _exit waits for every stream";
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  int out = fds[1];
  if (row.output == Output::kFile) {
    out = ::open(Path("printed.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(out, 0);
  }
  if (row.output == Output::kFullPipe || row.output == Output::kHeldByAThreadStuckInAWrite) {
    // A pipe of one page that nobody reads, full before the child prints.
    ASSERT_GE(::fcntl(fds[1], F_SETPIPE_SZ, 4096), 0);
    ASSERT_EQ(::fcntl(fds[1], F_SETFL, O_NONBLOCK), 0);
    const std::string fill(65536, 'f');
    while (::write(fds[1], fill.data(), fill.size()) > 0) {
    }
    ASSERT_EQ(::fcntl(fds[1], F_SETFL, 0), 0);
  }
  std::fflush(nullptr);  // nothing of this process's own output goes to the child
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    std::atexit([] { (void)!::write(STDOUT_FILENO, "[exit handler]", 14); });
    if (row.output == Output::kHeldByAThreadStuckInAWrite) {
      std::thread([] { std::fprintf(stderr, "%s", std::string(16384, 'e').c_str()); }).detach();
      // Until the thread holds the stream.
      while (::ftrylockfile(stderr) == 0) {
        ::funlockfile(stderr);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    std::printf("printf,");
    std::cout << "cout";
    std::thread([] { EndProcessNow(); }).join();  // not reached
    ::_exit(2);
  }
  if (out != fds[1]) ::close(out);
  ::close(fds[1]);
  const std::optional<int> end = ruv::testing::EndWithin(pid, std::chrono::seconds(5));
  if (!end) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  // What the child printed waits in the pipe (it is far smaller than the pipe).
  std::string piped;
  char buffer[256];
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) piped.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  ASSERT_TRUE(end) << "the process still ran 5 s after it was to end";
  EXPECT_EQ(*end, 0);
  if (row.printed != nullptr) {
    EXPECT_EQ(row.output == Output::kFile ? ReadFile(Path("printed.txt")) : piped, row.printed);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, EndProcessNowTest,
    ::testing::Values(EndRow{"PipeWithRoom", Output::kPipeWithRoom, "printf,cout"},
                      EndRow{"File", Output::kFile, "printf,cout"},
                      EndRow{"FullPipe", Output::kFullPipe, nullptr},
                      EndRow{"HeldByAThreadStuckInAWrite", Output::kHeldByAThreadStuckInAWrite, nullptr}),
    [](const ::testing::TestParamInfo<EndRow>& info) { return std::string(info.param.name); });

TEST_F(FilesTest, MakeExecutableLetsTheOwnerRunAFile) {
  const auto p = Path("downloader.exe");
  WriteFileAtomically(p, "#!/bin/sh\n");
  std::filesystem::permissions(p, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_FALSE(IsExecutableFile(p));
  EXPECT_TRUE(MakeExecutable(p));
  EXPECT_TRUE(IsExecutableFile(p));
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u) << "nobody who may not read it gets to run it";
  EXPECT_FALSE(MakeExecutable(Path("missing")));
  EXPECT_FALSE(MakeExecutable(dir_.string()));
  EXPECT_FALSE(IsExecutableFile(dir_.string()));
}

}  // namespace
}  // namespace ruv::fs
