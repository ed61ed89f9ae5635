#pragma once
// What the tests of the atomic writes look at in a directory.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace ruv::fs {

// The names in a directory, sorted.
inline std::vector<std::string> Names(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Whether the directory's file system has unnamed files (O_TMPFILE).
inline bool HasUnnamedFiles(const std::filesystem::path& dir) {
  const int probe = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (probe < 0) return false;
  ::close(probe);
  return true;
}

}  // namespace ruv::fs
