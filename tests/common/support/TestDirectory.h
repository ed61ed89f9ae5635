#pragma once
// A fresh, empty directory for the running test: under the system's temporary
// directory, named by a prefix, the process and the test, removed first if an
// earlier run left it behind. The fixture removes it when the test ends.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace ruv::testing {

// The running test's name as one file name: a parameterized test's "Name/Param"
// becomes "Name_Param".
inline std::string TestFileName() {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
}

inline std::filesystem::path FreshTestDirectory(const std::string& prefix) {
  const auto dir = std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(::getpid()) + "_" + TestFileName());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace ruv::testing
