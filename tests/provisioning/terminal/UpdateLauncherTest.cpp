// The hand-over to the downloader program, run in a child process so that its
// exit can be watched.

#include <gtest/gtest.h>
#include <sys/wait.h>

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

// Runs updateLauncher in a child; an error that escapes it ends the child with 3.
Outcome RunUpdateLauncher() {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
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
