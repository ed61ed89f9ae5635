// The URL-template list a build option of two templates, written with ";", makes:
// this program is linked with such a list (see tests.cmake).
#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/ResourceStrings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PortLock.h"
#include "TestHttpServer.h"

namespace ruv::provisioning {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The exact text the build option was given.
std::string OptionText() {
  std::ifstream in(Env("RUV_TWO_TEMPLATES_FILE"), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(UrlTemplates, TheProgramHoldsTheOptionsTextExactly) {
  const std::string text = OptionText();
  ASSERT_NE(text.find(';'), std::string::npos) << "no list of two in " << Env("RUV_TWO_TEMPLATES_FILE");
  EXPECT_EQ(resources::SzablonyAdresow(), text);
}

TEST(UrlTemplates, ARefusedFirstTemplateFallsThroughToTheSecond) {
  const int port = std::atoi(Env("RUV_TWO_TEMPLATES_PORT").c_str());
  ASSERT_GT(port, 0);
  ruv::testing::PortLock lock(port);
  ASSERT_EQ(lock.Problem(), "");
  ruv::testing::TestHttpServer server(std::nullopt, port);
  server.PutFile("ruv_virad_2.xml", "<served/>");
  // The configuration's fetch, over the program's own list.
  EXPECT_EQ(downloadWithTimeout("ruv_virad_2.xml").Bytes(), "<served/>");
  EXPECT_EQ(server.Requests(), (std::vector<std::string>{"/missing/ruv_virad_2.xml", "/ruv_virad_2.xml"}));
}

}  // namespace
}  // namespace ruv::provisioning
