// Records what this program inherited from the process that started it, then
// exits: its open file descriptors and its blocked-signal mask, as they are before
// it opens anything of its own to write them down.
//
// Use: ruv_list_inherited RECORD
// RECORD gets two lines: the open descriptors in increasing order, separated by
// single blanks ("0 1 2"), and the hexadecimal mask of blocked signals as the
// kernel shows it ("SigBlk" of /proc/self/status).
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "WriteRecord.h"

namespace {

// The descriptors open now, leaving out the one that reads the listing.
bool OpenDescriptors(std::vector<long>& fds) {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return false;
  const int own = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == own) continue;
    fds.push_back(fd);
  }
  ::closedir(dir);
  std::sort(fds.begin(), fds.end());
  return true;
}

// The value of the "SigBlk:" line of /proc/self/status, blanks stripped.
bool BlockedSignals(std::string& mask) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return false;
  char line[512];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "SigBlk:", 7) != 0) continue;
    for (const char* c = line + 7; *c != '\0'; ++c)
      if (*c != ' ' && *c != '\t' && *c != '\n') mask += *c;
    found = true;
  }
  std::fclose(status);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::vector<long> fds;
  std::string mask;
  if (!OpenDescriptors(fds) || !BlockedSignals(mask)) return 1;
  std::string record;
  for (std::size_t i = 0; i < fds.size(); ++i) record += (i ? " " : "") + std::to_string(fds[i]);
  record += "\n" + mask + "\n";

  return WriteRecord(argv[1], record) ? 0 : 1;
}
