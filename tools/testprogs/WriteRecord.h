#pragma once
// How the test programs hand over what they recorded: written beside the target
// and renamed into place, so that a reader never sees half of it.

#include <unistd.h>

#include <cstdio>
#include <string>

// Writes record to target; false when it could not (nothing is left behind then).
inline bool WriteRecord(const std::string& target, const std::string& record) {
  const std::string tmp = target + ".tmp." + std::to_string(::getpid());
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(record.data(), 1, record.size(), f) == record.size();
  if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), target.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}
