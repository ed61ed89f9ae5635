#include <gtest/gtest.h>

#include <chrono>

#include "TestHttpServer.h"
#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/ResourceStrings.h"

namespace ruv::provisioning {
namespace {

// A fetch that fails at once is noticed only by the time limit.
TEST(TimedFetchFailure, EmptyStreamOnlyAfterTheLimit) {
  ruv::testing::TestHttpServer server;
  server.SetRule("/ruv_virad_2.xml", {.status = 500});
  resources::SetUrlTemplatesForTesting(server.Url() + "/%s;" + server.Url() + "/other/%s");
  const auto start = std::chrono::steady_clock::now();
  const auto s = downloadWithTimeout("ruv_virad_2.xml");
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  resources::SetUrlTemplatesForTesting(std::nullopt);
  EXPECT_GE(ms, 5000);
  EXPECT_LT(ms, 6500);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(server.Requests(), (std::vector<std::string>{"/ruv_virad_2.xml", "/other/ruv_virad_2.xml"}));
}

}  // namespace
}  // namespace ruv::provisioning
