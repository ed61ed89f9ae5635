#pragma once
// Keeping a test's child process from making threads.

#include <sys/resource.h>
#include <unistd.h>

#include <system_error>
#include <thread>

namespace ruv::testing {

// Keeps this process from making any more threads, as when the system's limits
// are reached: its user may run no more processes than it has. root is not held
// by that limit, so a root process first becomes nobody. True when a thread can
// indeed not be made afterwards. Meant for a child process of the test.
inline bool KeepFromMakingThreads() {
  if (::geteuid() == 0 && ::setuid(65534) != 0) return false;
  const rlimit none{0, 0};
  if (::setrlimit(RLIMIT_NPROC, &none) != 0) return false;
  try {
    std::thread([] {}).join();
    return false;
  } catch (const std::system_error&) {
    return true;
  }
}

}  // namespace ruv::testing
