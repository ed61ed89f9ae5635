#pragma once
// A private X server for a test program: Xvfb on a display number of its own
// choosing (-displayfd), reachable only through its local socket, optionally
// with the openbox window manager on it, so that top-level windows are
// reparented into frames as on a user's desktop. Both are stopped when the
// object goes, and die with the test program if it dies.
//
//   ruv::testing::XServer x(ruv::testing::XServer::WindowManager::kOpenbox);
//   if (x.Display().empty()) GTEST_SKIP() << x.Problem();
//   setenv("DISPLAY", x.Display().c_str(), 1);

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace ruv::testing {

class XServer {
 public:
  enum class WindowManager { kNone, kOpenbox };
  explicit XServer(WindowManager windowManager = WindowManager::kNone);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // ":N" once the server (and the window manager asked for, which then has
  // taken the display) runs; empty otherwise, and Problem() says why.
  const std::string& Display() const { return display_; }
  const std::string& Problem() const { return problem_; }

 private:
  bool StartXvfb();
  bool StartOpenbox();
  void Stop();

  pid_t xvfb_ = -1;
  pid_t windowManager_ = -1;
  std::filesystem::path home_;  // the window manager's home and configuration
  std::string display_;
  std::string problem_;
};

}  // namespace ruv::testing
