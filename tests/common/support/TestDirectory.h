#pragma once
// A fresh, empty directory for the running test: under the system's temporary
// directory, named by a prefix, the process and the test, removed first if an
// earlier run left it behind. The fixture removes it when the test ends.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace ruv::testing {

inline std::filesystem::path FreshTestDirectory(const std::string& prefix) {
  const auto dir = std::filesystem::temp_directory_path() /
                   (prefix + "_" + std::to_string(::getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace ruv::testing
