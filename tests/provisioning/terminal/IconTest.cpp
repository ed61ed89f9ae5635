// The icon file of a terminal loaded as a bitmap: Windows BMP only.

#include <gtest/gtest.h>

#include "TerminalFixture.h"
#include "ruv/provisioning/Terminal.h"

namespace ruv::testing {
namespace {

using provisioning::TTerminal;

// A 1x1 24-bit Windows bitmap.
std::string TinyBmp() {
  const unsigned char bytes[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                                 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                 4, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 255, 0};  // one red pixel, padded to four bytes
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

TEST_F(TerminalTest, IconLoadsFromBmpOnly) {
  const std::string png = "\x89PNG\r\n\x1a\n" + std::string(32, '\0');
  struct Case {
    const char* what;
    std::optional<std::string> content;
    const char* error;  // class name of the error, null when it loads
  };
  const Case cases[] = {
      {"bmp", TinyBmp(), nullptr},
      {"png", png, "EInvalidGraphic"},
      {"icon format", std::string("\0\0\1\0\1\0", 6) + std::string(40, '\0'), "EInvalidGraphic"},
      {"missing", std::nullopt, "EInOutError"},
  };
  TerminalDesc t;
  t.icon = {"ikona.bmp", "ikony\\male", "", ""};
  Select(ConfigXml({t}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fsys::remove_all(dir_ / "ikony");
    if (c.content) WriteAll(dir_ / "ikony/male/ikona.bmp", *c.content);
    try {
      const std::unique_ptr<graphics::TBitmap> bitmap = TTerminal::WczytajPlikIkony();
      EXPECT_EQ(c.error, nullptr);
      ASSERT_NE(bitmap, nullptr);
      EXPECT_EQ(bitmap->Width(), 1);
      EXPECT_EQ(bitmap->Height(), 1);
    } catch (const Exception& e) {
      ASSERT_NE(c.error, nullptr) << e.Message();
      EXPECT_STREQ(e.ClassName(), c.error);
    }
  }
  EXPECT_TRUE(server_.Requests().empty());
}

}  // namespace
}  // namespace ruv::testing
