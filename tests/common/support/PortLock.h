#pragma once
// A fixed port of 127.0.0.1 for one test program at a time on the whole machine.
// A test that must serve on a port fixed at build time (the launcher's built-in URL
// templates name one) holds it from its first test to its last, also against the
// same tests of another checkout or build running at the same time (a lock file
// beside the port's number, /tmp/ruv_virad_port_<port>.lock), and waits for
// whatever else uses the port to let go. The lock goes with the object, or with
// the process.
//
//   ruv::testing::PortLock lock(8765);
//   ASSERT_EQ(lock.Problem(), "");

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace ruv::testing {

class PortLock {
 public:
  explicit PortLock(int port) {
    using namespace std::chrono_literals;
    // In /tmp itself, whatever TMPDIR says, so that every run on the machine sees it.
    const std::string file = "/tmp/ruv_virad_port_" + std::to_string(port) + ".lock";
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      problem_ = "cannot open " + file;
      return;
    }
    if (!WaitUntil([&] { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }, 480s)) {
      problem_ = "another run held port " + std::to_string(port) + " for 8 minutes";
      return;
    }
    if (!WaitUntil([&] { return PortFree(port); }, 60s)) problem_ = "port " + std::to_string(port) + " stays in use";
  }
  ~PortLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  // Why the port could not be had; empty when it is this program's.
  const std::string& Problem() const { return problem_; }

 private:
  template <class F>
  static bool WaitUntil(F done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  static bool PortFree(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool free = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return free;
  }
  int fd_ = -1;
  std::string problem_;
};

}  // namespace ruv::testing
