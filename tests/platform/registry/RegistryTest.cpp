#include "TestDirectory.h"
#include "ruv/platform/Registry.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"

namespace ruv {
namespace {

namespace stdfs = std::filesystem;

constexpr const char* kKey = "SOFTWARE\\RUV\\RUV_VIRAD\\";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ruv::testing::FreshTestDirectory("ruv_registry");
    config_ = dir_ / "config";
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }
  void TearDown() override {
    if (mounted_) ::umount2(config_.c_str(), MNT_DETACH);
    stdfs::remove_all(dir_);
  }
  stdfs::path dir_, config_;
  bool mounted_ = false;
};

TEST_F(RegistryTest, RoundTripKeepsPolishTextAndLineEndsInItsOwnFile) {
  const std::string text = "<?xml version=\"1.0\"?>\r\n<ruv_virad>Zażółć gęślą jaźń</ruv_virad>\r\n";
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    EXPECT_FALSE(reg.ValueExists("version_file"));
    reg.WriteString("version_file", text);
    reg.CloseKey();
  }
  EXPECT_EQ(fs::ReadFile((config_ / "SOFTWARE/RUV/RUV_VIRAD/version_file").string()), text);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  ASSERT_TRUE(reg.ValueExists("version_file"));
  EXPECT_EQ(reg.ReadString("version_file"), text);
  reg.WriteString("version_file", "second");
  EXPECT_EQ(reg.ReadString("version_file"), "second");
  EXPECT_EQ(std::distance(stdfs::directory_iterator(config_ / "SOFTWARE/RUV/RUV_VIRAD"), {}), 1)
      << "no temporary file is left beside the value";
}

TEST_F(RegistryTest, KeyPathsResolveFromRootOrCurrentKey) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\\\RUV", true));
  EXPECT_EQ(reg.CurrentPath(), (config_ / "SOFTWARE/RUV").string());
  ASSERT_TRUE(reg.OpenKey("RUV_VIRAD", true));
  EXPECT_EQ(reg.CurrentPath(), (config_ / "SOFTWARE/RUV/RUV_VIRAD").string());
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE", false));
  EXPECT_EQ(reg.CurrentPath(), (config_ / "SOFTWARE").string());
  EXPECT_FALSE(reg.OpenKey("..\\..\\etc", true));
  EXPECT_EQ(reg.CurrentPath(), "");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", dir_.c_str(), 1);
  EXPECT_EQ(UserConfigDirectory(), (dir_ / ".config").string());
}

TEST_F(RegistryTest, MissingKeyOrValueIsReportedNotCreated) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(kKey, false));
  EXPECT_FALSE(stdfs::exists(config_));
  EXPECT_FALSE(reg.ValueExists("version_file"));
  try {
    reg.ReadString("version_file");
    FAIL() << "reading without a key must raise";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message().rfind("Failed to get data for 'version_file'", 0), 0u) << e.Message();
  }
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  EXPECT_FALSE(reg.ValueExists("version_file"));
  EXPECT_THROW(reg.ReadString("version_file"), ERegistryException);
  stdfs::create_directory(config_ / "SOFTWARE/RUV/RUV_VIRAD/version_file");
  EXPECT_FALSE(reg.ValueExists("version_file")) << "a directory is a subkey, not a value";
  EXPECT_THROW(reg.ReadString("version_file"), ERegistryException);
}

TEST_F(RegistryTest, KeyBlockedByFileFailsToOpenAndWriteRaises) {
  stdfs::create_directories(config_);
  std::ofstream(config_ / "SOFTWARE") << "not a key";
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(kKey, true));
  try {
    reg.WriteString("version_file", "text");
    FAIL() << "writing into a key that failed to open must raise";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message().rfind("Failed to set data for 'version_file'", 0), 0u) << e.Message();
  }
  EXPECT_EQ(fs::ReadFile((config_ / "SOFTWARE").string()), "not a key");
}

TEST_F(RegistryTest, FullDiskKeepsTheOldCopyWhole) {
  stdfs::create_directories(config_);
  if (::mount("tmpfs", config_.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
  mounted_ = true;
  const std::string old = "old copy\r\n" + std::string(8000, 'o');
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteString("version_file", old);
  {
    std::ofstream filler(config_ / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    for (int i = 0; i < 64 && filler.write(block.data(), block.size()); ++i) filler.flush();
  }
  try {
    reg.WriteString("version_file", std::string(20000, 'n'));
    FAIL() << "a write onto a full disk must raise";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message().rfind("Failed to set data for 'version_file': ", 0), 0u) << e.Message();
  }
  EXPECT_EQ(reg.ReadString("version_file"), old);
  EXPECT_EQ(std::distance(stdfs::directory_iterator(config_ / "SOFTWARE/RUV/RUV_VIRAD"), {}), 1);
}

}  // namespace
}  // namespace ruv
