// The hand-over to the downloader program, run in a child process so that its
// exit can be watched.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "TerminalFixture.h"
#include "ruv/platform/Exception.h"
#include "ruv/provisioning/UpdateLauncher.h"

namespace ruv::testing {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string error;  // the message of an error that reached the caller
};

// Runs updateLauncher in a child, in directory when one is given; an error that
// escapes it ends the child with 3.
Outcome RunUpdateLauncher(const fsys::path& directory = {}) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    if (!directory.empty() && ::chdir(directory.c_str()) != 0) ::_exit(4);
    std::string message;
    try {
      provisioning::updateLauncher();
    } catch (const Exception& e) {
      message = e.Message();
    }
    (void)!::write(fds[1], message.data(), message.size());
    ::_exit(3);
  }
  ::close(fds[1]);
  Outcome out;
  char buffer[512];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.error.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::vector<std::string> WaitForRecord(const fsys::path& record) {
  for (int i = 0; i < 400 && !fsys::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  std::vector<std::string> lines;
  std::istringstream in(ReadAll(record));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(TerminalTest, UpdateLauncherStartsTheDownloaderAndEnds) {
  const std::string downloader = ReadAll(RUV_RECORD_ARGS_PROGRAM);
  // A downloader copied without its execute permission is made runnable and
  // started, not opened as a document and not fetched again.
  enum class Local { Runnable, NotRunnable, Missing };
  for (const Local local : {Local::Runnable, Local::NotRunnable, Local::Missing}) {
    SCOPED_TRACE(static_cast<int>(local));
    fsys::remove(dir_ / "ruv_virad_downloader.exe");
    fsys::remove(dir_ / "ruv_record_args.txt");
    if (local == Local::Missing) {
      server_.PutFile("ruv_virad_downloader.exe", downloader);
    } else {
      WriteAll(dir_ / "ruv_virad_downloader.exe", downloader);
      fsys::permissions(dir_ / "ruv_virad_downloader.exe",
                        local == Local::Runnable ? fsys::perms::owner_all
                                                 : fsys::perms::owner_read | fsys::perms::owner_write);
    }
    const std::size_t before = Requests().size();

    const Outcome out = RunUpdateLauncher();

    EXPECT_EQ(out.exitCode, 0) << out.error;
    EXPECT_EQ(Requests().size(), before + (local == Local::Missing ? 1 : 0));
    EXPECT_TRUE(ExecutableByUser(dir_ / "ruv_virad_downloader.exe"));
    const std::vector<std::string> lines = WaitForRecord(dir_ / "ruv_record_args.txt");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(fsys::path(lines[0]), fsys::canonical(dir_));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
              (std::vector<std::string>{server_.Url() + "/%s", ".", "ruv_virad.exe", "run"}));
  }
}

// A tmpfs mounted for one case, unmounted when it goes.
class Medium {
 public:
  explicit Medium(const fsys::path& at) : at_(at) {
    fsys::create_directories(at);
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64m") == 0;
  }
  ~Medium() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  Medium(const Medium&) = delete;
  Medium& operator=(const Medium&) = delete;
  bool Mounted() const { return mounted_; }
  // Mounts it again with the flags (MS_NOEXEC, MS_RDONLY), keeping what it holds.
  bool Remount(unsigned long flags) {
    return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | flags, "size=64m") == 0;
  }

 private:
  fsys::path at_;
  bool mounted_ = false;
};

// A downloader that is present is never fetched again, also when it cannot be
// started: on a file system mounted noexec it cannot be made runnable, on a
// read-only one it cannot even be given the permission, and a file that is no
// program fails to start. The launcher ends with exit code 0 all the same.
TEST_F(TerminalTest, UpdateLauncherStartsAPresentDownloaderAsItIsAndEndsWhenItCannotBeStarted) {
  const std::string program = ReadAll(RUV_RECORD_ARGS_PROGRAM);
  server_.PutFile("ruv_virad_downloader.exe", program);  // what a fetch would bring
  const fsys::path record = dir_ / "record.txt";
  ::setenv("RUV_RECORD_FILE", record.c_str(), 1);
  struct UnsetRecord {
    ~UnsetRecord() { ::unsetenv("RUV_RECORD_FILE"); }
  } unsetRecord;
  struct Case {
    const char* what;
    std::optional<unsigned long> mountFlags;  // none: an ordinary directory
    std::string content;
    fsys::perms mode;
  };
  const Case cases[] = {
      {"no program", std::nullopt, "not a program\n", fsys::perms::owner_all},
      {"noexec", MS_NOEXEC, program, fsys::perms::owner_read | fsys::perms::owner_write},
      {"read-only", MS_RDONLY, program, fsys::perms::owner_read | fsys::perms::owner_write},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fsys::path directory = dir_ / "medium";
    std::optional<Medium> medium;
    if (c.mountFlags) {
      medium.emplace(directory);
      if (!medium->Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    } else {
      fsys::create_directories(directory);
    }
    const fsys::path downloader = directory / "ruv_virad_downloader.exe";
    WriteAll(downloader, c.content);
    fsys::permissions(downloader, c.mode);
    if (c.mountFlags) {
      ASSERT_TRUE(medium->Remount(*c.mountFlags)) << std::strerror(errno);
    }
    const std::size_t before = Requests().size();

    const Outcome out = RunUpdateLauncher(directory);

    EXPECT_EQ(out.exitCode, 0) << out.error;
    EXPECT_EQ(Requests().size(), before) << "the downloader was fetched again";
    EXPECT_EQ(ReadAll(downloader), c.content);
    // A program started by mistake records at once; a second covers a busy machine.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_FALSE(fsys::exists(record)) << "something was started";
    medium.reset();
    fsys::remove_all(directory);
  }
}

TEST_F(TerminalTest, UpdateLauncherReportsAMissingDownloaderItCannotGet) {
  struct Case {
    HttpRule rule;
    const char* error;
  };
  const Case cases[] = {
      {{.status = 404}, "Niemożliwe było sciągnięcie pliku"},
      {{.body = ""}, "Plik jest pusty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    server_.SetRule("/ruv_virad_downloader.exe", c.rule);
    const Outcome out = RunUpdateLauncher();
    EXPECT_EQ(out.exitCode, 3);
    EXPECT_EQ(out.error, c.error);
    EXPECT_FALSE(fsys::exists(dir_ / "ruv_virad_downloader.exe"));
  }
}

}  // namespace
}  // namespace ruv::testing
