#pragma once
// Small helpers shared by the launcher's tests.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace ruv::launcher_test {

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteAll(const std::filesystem::path& p, const std::string& s) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << s;
}

}  // namespace ruv::launcher_test
