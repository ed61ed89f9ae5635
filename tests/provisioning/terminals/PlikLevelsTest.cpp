// Two fetches into one directory tree in one process, one of them failing: the
// failing fetch removes the levels it made, but never one the other fetch uses.
//
// mkdir is defined here, in front of the C library's, so that a test can hold a
// fetch between finding a level and making the one below it, as a slow disk or a
// busy machine may.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "Fixtures.h"
#include "TestHttpServer.h"
#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/provisioning/Plik.h"
#include "ruv/provisioning/ResourceStrings.h"

namespace {
// Runs before every mkdir of the process while set.
std::atomic<const std::function<void(const std::string&)>*> g_beforeMkdir{nullptr};
}  // namespace

extern "C" int mkdir(const char* path, mode_t mode) {
  if (const auto* before = g_beforeMkdir.load()) (*before)(path);
  return static_cast<int>(::syscall(SYS_mkdir, path, mode));
}

namespace ruv::provisioning {
namespace {

namespace fsys = std::filesystem;
using Paths = std::vector<std::string>;
using namespace std::chrono_literals;

Paths Tree(const fsys::path& root) {
  Paths out;
  for (const auto& e : fsys::recursive_directory_iterator(root)) out.push_back(fsys::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

// The fetch's outcome: "written", "not written" or the message it raised.
std::string Fetch(const testing::Description& d) {
  try {
    return TOpisPliku(testing::Describe(d)).download() ? "written" : "not written";
  } catch (const Exception& e) {
    return e.Message();
  }
}

class PlikLevelsTest : public ::testing::Test {
 protected:
  void SetUp() override { resources::SetUrlTemplatesForTesting(server_.Url() + "/%s"); }
  void TearDown() override {
    g_beforeMkdir = nullptr;
    resources::SetUrlTemplatesForTesting(std::nullopt);
  }
  ruv::testing::TestHttpServer server_;
  testing::TempCwd cwd_;
};

TEST_F(PlikLevelsTest, AFailingFetchLeavesTheLevelsAnotherFetchUses) {
  // The failing fetch makes w/a at its first bytes, then breaks off a second later.
  server_.PutFile("a.bin", std::string(64 << 10, 'a'));
  server_.SetRule("/a.bin", {.stall = 4096, .stallSeconds = 1});
  server_.PutFile("b.bin", "12345678");
  const struct {
    const char* what;
    std::string target;
    ruv::testing::HttpRule rule;
    bool holdMkdir;
    Paths after;
  } cases[] = {
      // Its temporary file has no name, so the directory looks empty while it is written.
      {"the other streams into the directory the failing one made", "w\\a", {.trickle = 2, .trickleInterval = 0.5},
       false, {"w", "w/a", "w/a/b.bin"}},
      {"the other makes its level below one the failing one made", "w\\a\\b", {}, true,
       {"w", "w/a", "w/a/b", "w/a/b/b.bin"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    server_.SetRule("/b.bin", c.rule);
    // Held between finding w/a and making w/a/b until the failing fetch has removed
    // w/a, or for 3 s when it cannot do so meanwhile.
    const std::function<void(const std::string&)> hold = [](const std::string& path) {
      if (path != "w/a/b/") return;
      const auto until = std::chrono::steady_clock::now() + 3s;
      while (fsys::is_directory("w/a") && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
    };
    auto failing = std::async(std::launch::async, [] { return Fetch({"a.bin", "w\\a", "", ""}); });
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (!fsys::is_directory("w/a") && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(fsys::is_directory("w/a")) << "the failing fetch made no directory";
    if (c.holdMkdir) g_beforeMkdir = &hold;
    EXPECT_EQ(Fetch({"b.bin", c.target, "", ""}), "written");
    g_beforeMkdir = nullptr;
    EXPECT_EQ(failing.get(), "Niemożliwe było sciągnięcie pliku");
    EXPECT_EQ(Tree("."), c.after);
    if (fsys::exists(c.after.back())) {
      EXPECT_EQ(fs::ReadFile(c.after.back()), "12345678");
    }
    fsys::remove_all("w");
  }
}

}  // namespace
}  // namespace ruv::provisioning
