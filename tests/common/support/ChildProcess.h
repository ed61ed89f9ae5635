#pragma once
// Waiting for a child process that a test has started.

#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <optional>
#include <thread>

namespace ruv::testing {

// The exit code of the child once it has ended within the time (-1 when a signal
// ended it), or nothing while it still runs. Once it has answered with a code the
// child is gone: keep that code rather than asking again.
inline std::optional<int> ExitCodeWithin(pid_t child, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  for (;;) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace ruv::testing
