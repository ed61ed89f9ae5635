#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "TestHttpServer.h"
#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/DownloadLimits.h"
#include "ruv/provisioning/ResourceStrings.h"

namespace ruv::provisioning {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class TimedFetchTest : public ::testing::Test {
 protected:
  void SetUp() override { resources::SetUrlTemplatesForTesting(server_.Url() + "/%s"); }
  void TearDown() override { resources::SetUrlTemplatesForTesting(std::nullopt); }
  ruv::testing::TestHttpServer server_;
};

TEST_F(TimedFetchTest, ReturnsAsSoonAsTheWorkerIsDone) {
  server_.PutFile("ruv_virad_2.xml", "<ruv_virad/>");
  server_.PutFile("empty.xml", "");
  struct Case {
    const char* path;
    const char* content;
  };
  for (const Case& c : {Case{"ruv_virad_2.xml", "<ruv_virad/>"}, Case{"empty.xml", ""}}) {
    const auto start = Clock::now();
    const auto s = downloadWithTimeout(c.path);
    EXPECT_LT(MsSince(start), 2500) << c.path;
    EXPECT_EQ(s.Bytes(), c.content);
    EXPECT_EQ(s.Position(), 0);
  }
}

TEST_F(TimedFetchTest, SlowFetchIsAbandonedAtTheLimit) {
  server_.PutFile("slow.xml", "late");
  server_.SetRule("/slow.xml", {.delay = 5.3});
  const auto start = Clock::now();
  const auto s = downloadWithTimeout("slow.xml");
  const long ms = MsSince(start);
  EXPECT_GE(ms, 5000);
  EXPECT_LT(ms, 6500);
  EXPECT_EQ(s.Size(), 0);
  // Whatever the abandoned worker does later, the caller's stream stays empty.
  std::this_thread::sleep_for(std::chrono::milliseconds(5600 - std::min(ms, 5600L)));
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(server_.Requests(), std::vector<std::string>{"/slow.xml"});
}

// A configuration past its bound is no configuration: the fetch is cut there and
// the wait ends at once, without waiting out the limit.
TEST_F(TimedFetchTest, ABodyPastTheConfigurationsBoundEndsTheWaitAtOnce) {
  server_.PutFile("at.xml", std::string(kMaxConfigurationBytes, 'a'));
  server_.PutFile("over.xml", std::string(kMaxConfigurationBytes + 1, 'o'));
  server_.SetRule("/endless.xml", {.body = "<ruv_virad>", .endless = true});
  server_.SetRule("/chunked.xml", {.chunked = true});
  server_.PutFile("chunked.xml", std::string(kMaxConfigurationBytes + 1, 'c'));
  struct Case {
    const char* path;
    std::int64_t size;  // what the wait gives back
  };
  for (const Case& c : {Case{"at.xml", kMaxConfigurationBytes}, Case{"over.xml", 0}, Case{"chunked.xml", 0},
                        Case{"endless.xml", 0}}) {
    const auto start = Clock::now();
    const auto s = downloadWithTimeout(c.path);
    // Far below the 5 s limit, even on a loaded machine: the bound, not the limit, ended it.
    EXPECT_LT(MsSince(start), 4000) << c.path;
    EXPECT_EQ(s.Size(), c.size) << c.path;
  }
  // The server notices the closed connection at its next send.
  auto closed = server_.ClosedTransfers();
  for (const auto until = Clock::now() + std::chrono::seconds(5); closed.empty() && Clock::now() < until;
       closed = server_.ClosedTransfers())
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].path, "/endless.xml");
}

}  // namespace
}  // namespace ruv::provisioning
