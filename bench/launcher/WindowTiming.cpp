// Times programs started under the X server of $DISPLAY, from exec to a mapped
// top-level window, watching the server's window list from outside:
//   bench_window_timing start N TITLE PROGRAM...
//       N runs: exec, wait for a mapped top-level window titled TITLE, kill the
//       program; prints one "start_ms X" line per run, then "median_ms M".
//   bench_window_timing cpu SECONDS PROGRAM...
//       one run: exec, wait for the first mapped top-level window of any title or
//       SECONDS, then reads the program's CPU time (all its threads, user+sys);
//       prints "cpu_s C wall_s W window TITLE".
// The program runs in the current directory with this environment.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TopLevelWindows.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class Display {
 public:
  Display() : windows_(nullptr) {
    if (!windows_.Ok()) {
      std::fprintf(stderr, "no X display\n");
      std::exit(1);
    }
  }
  // The titles of the mapped top-level windows.
  std::vector<std::string> MappedTitles() {
    std::vector<std::string> out;
    for (auto& w : windows_.List())
      if (w.mapped) out.push_back(std::move(w.title));
    return out;
  }
  bool Mapped(const std::string& title) {
    const auto titles = MappedTitles();
    return std::find(titles.begin(), titles.end(), title) != titles.end();
  }

 private:
  ruv::xwatch::TopLevelWindows windows_;
};

pid_t Start(char** argv) {
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(126);
    ::execvp(argv[0], argv);
    ::_exit(127);
  }
  return pid;
}

bool Ended(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) == pid;
}

void Stop(pid_t pid) {
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

// utime + stime of the whole process, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  std::istringstream rest(stat.substr(stat.rfind(')') + 2));
  std::string field;
  // After the command: state (3) ... utime (14), stime (15).
  for (int i = 3; i < 14; ++i) rest >> field;
  double utime = 0, stime = 0;
  rest >> utime >> stime;
  return (utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int StartTimes(int runs, const std::string& title, char** program) {
  Display x;
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    // The previous run's window must be gone before the next one is looked for.
    const auto settle = Clock::now() + 10s;
    while (x.Mapped(title) && Clock::now() < settle) std::this_thread::sleep_for(5ms);
    const auto start = Clock::now();
    const pid_t pid = Start(program);
    bool ended = false;
    while (!x.Mapped(title) && !(ended = Ended(pid)) && Clock::now() - start < 30s) std::this_thread::sleep_for(1ms);
    const double ms = Seconds(Clock::now() - start) * 1e3;
    if (ended) {
      std::fprintf(stderr, "%s ended before its window was mapped\n", program[0]);
      return 1;
    }
    Stop(pid);
    if (ms >= 30e3) {
      std::fprintf(stderr, "no window titled \"%s\" within 30 s\n", title.c_str());
      return 1;
    }
    std::printf("start_ms %.1f\n", ms);
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  std::printf("median_ms %.1f\n", n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2);
  return 0;
}

int CpuUntilWindow(double limit, char** program) {
  Display x;
  const auto start = Clock::now();
  const pid_t pid = Start(program);
  std::string window = "(none)";
  double cpu = 0;
  while (Seconds(Clock::now() - start) < limit) {
    const auto titles = x.MappedTitles();
    if (!titles.empty()) {
      window = titles.front();
      break;
    }
    if (Ended(pid)) {
      std::fprintf(stderr, "%s ended early\n", program[0]);
      return 1;
    }
    cpu = CpuSeconds(pid);
    std::this_thread::sleep_for(10ms);
  }
  cpu = std::max(cpu, CpuSeconds(pid));
  const double wall = Seconds(Clock::now() - start);
  Stop(pid);
  std::printf("cpu_s %.3f wall_s %.3f window %s\n", cpu, wall, window.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "start" && argc >= 5) return StartTimes(std::atoi(argv[2]), argv[3], argv + 4);
  if (mode == "cpu" && argc >= 4) return CpuUntilWindow(std::atof(argv[2]), argv + 3);
  std::fprintf(stderr, "usage: %s start N TITLE PROGRAM... | cpu SECONDS PROGRAM...\n", argv[0]);
  return 2;
}
