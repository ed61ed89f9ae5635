// Records how this program was started, then exits.
// The record goes to the file named by RUV_RECORD_FILE, else to
// "ruv_record_args.txt" in the working directory. Its first line is the working
// directory, then every argv entry from argv[0] on, each followed by "\n",
// bytes exactly as received.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "WriteRecord.h"

int main(int argc, char** argv) {
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return 1;
  std::string record = std::string(cwd) + "\n";
  for (int i = 0; i < argc; ++i) record += std::string(argv[i]) + "\n";

  const char* named = std::getenv("RUV_RECORD_FILE");
  const std::string target = named != nullptr && named[0] != '\0' ? named : "ruv_record_args.txt";
  return WriteRecord(target, record) ? 0 : 1;
}
