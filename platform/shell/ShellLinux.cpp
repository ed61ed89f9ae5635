// The shell on Linux: programs start as detached processes (double fork, so the
// launcher neither waits for them nor leaves zombies), everything else goes to
// the desktop's opener xdg-open.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "ruv/platform/Files.h"
#include "ruv/platform/Shell.h"
#include "ruv/platform/Text.h"

extern char** environ;

namespace ruv::shell {
namespace {

bool IsFile(const std::string& path, bool mustBeExecutable) {
  if (mustBeExecutable) return fs::IsExecutableFile(path);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

bool IsExecutable(const std::string& path) { return IsFile(path, true); }

std::string Absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::string cwd(PATH_MAX, '\0');
  if (::getcwd(cwd.data(), cwd.size()) == nullptr) return path;
  cwd.resize(std::strlen(cwd.c_str()));
  return path.empty() ? cwd : cwd + "/" + path;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The first executable of that bare name on PATH; empty when there is none.
std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const size_t colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    const std::string candidate = Absolute(Join(dir, name));
    if (IsExecutable(candidate)) return candidate;
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

// A link the opener understands: "scheme:..." with a scheme of two or more
// characters (so "C:\\x" stays a path), or a bare "www." address.
bool IsLink(std::string_view file) {
  if (file.size() > 4 && (file.substr(0, 4) == "www." || file.substr(0, 4) == "WWW.")) return true;
  const size_t colon = file.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = file[i];
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!(alpha || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))) return false;
  }
  return true;
}

// Moves fd to target, or opens /dev/null there when fd is not open.
void SaneStdFd(int target, int flags, bool replace) {
  if (!replace && ::fcntl(target, F_GETFD) != -1) return;
  const int fd = ::open("/dev/null", flags);
  if (fd >= 0 && fd != target) {
    ::dup2(fd, target);
    ::close(fd);
  }
}

// Starts program with argv in dir (empty: the current directory) as a process
// of its own session, reparented to init. True when its exec succeeded.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& args, const std::string& dir) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;

  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on: the launcher has threads.
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    int err = ::fcntl(report[1], F_DUPFD_CLOEXEC, 3);
    if (err < 0) ::_exit(127);
    const int errFd = err;
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    SaneStdFd(0, O_RDONLY, true);
    SaneStdFd(1, O_WRONLY, false);
    SaneStdFd(2, O_WRONLY, false);
    if (::close_range(3, static_cast<unsigned>(errFd) - 1, 0) != 0 ||
        ::close_range(static_cast<unsigned>(errFd) + 1, ~0U, 0) != 0) {
      for (int fd = 3; fd < 4096; ++fd)
        if (fd != errFd) ::close(fd);
    }
    if (!dir.empty() && ::chdir(dir.c_str()) != 0) {
      err = errno;
    } else {
      ::execve(program.c_str(), argv.data(), environ);
      err = errno;
    }
    ssize_t ignored = ::write(errFd, &err, sizeof err);
    (void)ignored;
    ::_exit(127);
  }

  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int err = 0;
  ssize_t n;
  while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  const bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return forked && n == 0;
}

bool OpenWithDesktop(const std::string& target, const std::string& dir) {
  const std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return false;
  return SpawnDetached(opener, {opener, target}, IsFile(dir, false) ? dir : std::string());
}

// The file a configured name stands for: against the directory when the name has a
// separator or is found there, else a bare name on PATH; empty when there is none.
std::string Resolve(std::string_view file, const std::string& dir) {
  const std::string name = fs::NativePath(file);
  if (name.empty()) return {};
  std::string found;
  if (name.front() == '/') {
    found = name;
  } else {
    found = Absolute(Join(dir, name));
    if (!IsFile(found, false) && name.find('/') == std::string::npos) found = FindOnPath(name);
  }
  return !found.empty() && IsFile(found, false) ? found : std::string();
}

bool Spawn(const std::string& program, std::string_view parameters, const std::string& dir) {
  std::vector<std::string> args{program};
  for (auto& a : SplitCommandLine(parameters)) args.push_back(std::move(a));
  return SpawnDetached(program, args, dir);
}

}  // namespace

bool ShellExecute(std::string_view verb, std::string_view file, std::string_view parameters,
                  std::string_view directory, ShowCommand /*show*/) {
  if (!verb.empty() && text::AsciiUpper(verb) != "OPEN") return false;
  if (file.empty()) return false;
  if (IsLink(file)) {
    std::string link(file);
    if (link[0] == 'w' || link[0] == 'W') link = "http://" + link;
    return OpenWithDesktop(link, fs::NativePath(directory));
  }
  const std::string dir = fs::NativePath(directory);
  const std::string found = Resolve(file, dir);
  if (found.empty()) return false;
  if (IsExecutable(found)) return Spawn(found, parameters, dir);
  return OpenWithDesktop(found, dir);
}

bool StartProgram(std::string_view file, std::string_view parameters, std::string_view directory) {
  const std::string dir = fs::NativePath(directory);
  const std::string found = Resolve(file, dir);
  return !found.empty() && IsExecutable(found) && Spawn(found, parameters, dir);
}

std::string CurrentExecutablePath() {
  std::string buf(256, '\0');
  while (true) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      return buf;
    }
    buf.resize(buf.size() * 2);
  }
}

}  // namespace ruv::shell
