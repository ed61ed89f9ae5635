// Records how this program was started, then exits.
// The record goes to the file named by RUV_RECORD_FILE, else to
// "ruv_record_args.txt" in the working directory. Its first line is the working
// directory, then every argv entry from argv[0] on, each followed by "\n",
// bytes exactly as received. The record is written beside its target and
// renamed into place, so a reader never sees half of it.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return 1;
  std::string record = std::string(cwd) + "\n";
  for (int i = 0; i < argc; ++i) record += std::string(argv[i]) + "\n";

  const char* named = std::getenv("RUV_RECORD_FILE");
  const std::string target = named != nullptr && named[0] != '\0' ? named : "ruv_record_args.txt";
  const std::string tmp = target + ".tmp." + std::to_string(::getpid());
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) return 1;
  const bool ok = std::fwrite(record.data(), 1, record.size(), f) == record.size();
  if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), target.c_str()) != 0) {
    std::remove(tmp.c_str());
    return 1;
  }
  return 0;
}
