#pragma once
// Waiting for a child process that a test has started.

#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <optional>
#include <thread>

namespace ruv::testing {

// How the child ended, once it has ended within the time: its exit code, or minus
// the number of the signal that ended it; nothing while it still runs. Once it has
// answered the child is gone: keep the answer rather than asking again.
inline std::optional<int> EndWithin(pid_t child, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  for (;;) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The exit code of the child once it has ended within the time (-1 when a signal
// ended it), or nothing while it still runs; as EndWithin, ask only once.
inline std::optional<int> ExitCodeWithin(pid_t child, std::chrono::milliseconds within) {
  const std::optional<int> end = EndWithin(child, within);
  if (end && *end < 0) return -1;
  return end;
}

}  // namespace ruv::testing
