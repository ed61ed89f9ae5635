#include "ruv/platform/VersionInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ruv/platform/Files.h"

namespace ruv::version {
namespace {

std::string Fixture(const std::string& name) { return std::string(RUV_VERSION_FIXTURES) + "/" + name; }

std::vector<std::uint8_t> Load(const std::string& path) {
  const std::string bytes = fs::ReadFile(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> Info(const std::string& path) {
  std::vector<std::uint8_t> info(GetFileVersionInfoSize(path));
  EXPECT_FALSE(info.empty()) << path;
  EXPECT_TRUE(GetFileVersionInfo(path, static_cast<std::uint32_t>(info.size()), info.data())) << path;
  return info;
}

std::u16string Text(const void* value, std::uint32_t chars) {
  std::u16string s(chars, u'\0');
  std::memcpy(s.data(), value, chars * 2);
  return s;
}

// Every container yields the same structure, byte for byte.
TEST(VersionInfo, PeAndElfFilesHoldTheStructure) {
  const auto blob = Load(Fixture("plain.blob"));
  for (const char* format : {"pe32", "pe64", "elf32", "elf64"}) {
    EXPECT_EQ(Info(Fixture(std::string("plain.") + format)), blob) << format;
  }
}

TEST(VersionInfo, QueryPathsAsTheWindowsApi) {
  const auto info = Info(Fixture("plain.pe32"));
  struct Case {
    std::u16string_view path;
    bool found;
    std::uint32_t length;
    std::u16string_view text;  // the value as text, when it is one
  } cases[] = {
      {u"\\", true, 52, u""},
      {u"", true, 52, u""},
      {u"\\VarFileInfo\\Translation", true, 8, u""},
      {u"VarFileInfo\\Translation", true, 8, u""},
      {u"\\\\varfileinfo\\\\TRANSLATION\\", true, 8, u""},
      {u"\\StringFileInfo\\040904E4\\FileVersion", true, 8, std::u16string_view(u"3.0.0.3", 8)},
      {u"StringFileInfo\\040904e4\\FileVersion", true, 8, std::u16string_view(u"3.0.0.3", 8)},
      {u"StringFileInfo\\041504E2\\FileVersion", true, 8, std::u16string_view(u"9.9.9.9", 8)},
      {u"StringFileInfo\\040904E4\\CompanyName", true, 4, std::u16string_view(u"RUV", 4)},
      {u"StringFileInfo\\040904E4\\Comments", true, 0, u""},
      {u"StringFileInfo\\040904E4\\FileVersio", false, 0, u""},
      {u"StringFileInfo\\040904E4\\FileVersion\\x", false, 0, u""},
      {u"StringFileInfo\\04090000\\FileVersion", false, 0, u""},
      {u"VarFileInfo\\StringFileInfo", false, 0, u""},
  };
  for (const auto& c : cases) {
    const void* value = nullptr;
    std::uint32_t length = 99;
    const std::string name(c.path.begin(), c.path.end());
    ASSERT_EQ(VerQueryValue(info.data(), c.path, &value, &length), c.found) << name;
    if (!c.found) continue;
    EXPECT_EQ(length, c.length) << name;
    const auto offset = static_cast<const std::uint8_t*>(value) - info.data();
    EXPECT_EQ(offset % 4, 0) << name;
    if (!c.text.empty()) {
      EXPECT_EQ(Text(value, length), c.text) << name;
    }
  }
  const void* value = nullptr;
  std::uint32_t length = 0;
  ASSERT_TRUE(VerQueryValue(info.data(), u"\\", &value, &length));
  std::uint32_t signature = 0;
  std::memcpy(&signature, value, 4);
  EXPECT_EQ(signature, 0xFEEF04BDu);
  ASSERT_TRUE(VerQueryValue(info.data(), u"\\VarFileInfo\\Translation", &value, &length));
  const auto* t = static_cast<const std::uint8_t*>(value);
  EXPECT_EQ(std::vector<std::uint8_t>(t, t + 8), (std::vector<std::uint8_t>{0x09, 0x04, 0xE4, 0x04, 0x15, 0x04, 0xE2, 0x04}));
}

// A declared value length past the end of its block is reported as what the
// block holds; an absent fixed block is a root value of length 0.
TEST(VersionInfo, LengthsAreKeptInsideTheirBlock) {
  const auto info = Info(Fixture("loose.elf64"));
  const void* value = nullptr;
  std::uint32_t length = 0;
  ASSERT_TRUE(VerQueryValue(info.data(), u"\\", &value, &length));
  EXPECT_EQ(length, 0u);
  ASSERT_TRUE(VerQueryValue(info.data(), u"StringFileInfo\\041504E2\\FileVersion", &value, &length));
  const auto end = static_cast<const std::uint8_t*>(value) + 2 * length;
  EXPECT_LT(length, 40u);
  EXPECT_LE(end, info.data() + info.size());
}

// A buffer smaller than the structure gets a cut copy whose queries stay inside it.
TEST(VersionInfo, SmallBufferGetsACutCopy) {
  const std::string path = Fixture("plain.pe64");
  const std::uint32_t size = GetFileVersionInfoSize(path);
  ASSERT_GT(size, 100u);
  for (std::uint32_t len : {0u, 5u, 6u, 40u, 100u, 160u, size - 1}) {
    std::vector<std::uint8_t> buffer(len);
    const bool ok = GetFileVersionInfo(path, len, buffer.data());
    ASSERT_EQ(ok, len >= 6) << len;
    if (!ok) continue;
    const void* value = nullptr;
    std::uint32_t length = 0;
    for (auto path16 : {u"\\", u"VarFileInfo\\Translation", u"StringFileInfo\\040904E4\\FileVersion"}) {
      if (VerQueryValue(buffer.data(), path16, &value, &length)) {
        EXPECT_LE(static_cast<const std::uint8_t*>(value), buffer.data() + len);
      }
    }
  }
}

TEST(VersionInfo, FilesWithoutVersionInformation) {
  for (const std::string& path : {std::string("/nonexistent/a.exe"), std::string("/"),
                                 std::string(RUV_TEST_SELF), Fixture("")}) {
    EXPECT_EQ(GetFileVersionInfoSize(path), 0u) << path;
    std::uint8_t buffer[64];
    EXPECT_FALSE(GetFileVersionInfo(path, sizeof buffer, buffer)) << path;
  }
}

}  // namespace
}  // namespace ruv::version
