// The launcher's hand-over to the downloader program that replaces it.

#include "ruv/provisioning/UpdateLauncher.h"

#include <string>

#include "ruv/platform/Files.h"
#include "ruv/platform/Shell.h"
#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/ResourceStrings.h"

namespace ruv::provisioning {

void updateLauncher() {
  const std::string downloader = resources::NazwaProgramuPobierajacego();
  if (!fs::FileExists(downloader)) {
    const TMemoryStream stream = downloadToStream(resources::SzablonyAdresow(), downloader);
    saveStreamToFile(stream, ".", downloader, 1, /*executable=*/true);
  } else if (!fs::IsExecutableFile(downloader)) {
    // A downloader that is present is started as it is, whatever its age, and never
    // fetched again. One that may not be run (copied without its permissions, say)
    // is made runnable where that is allowed; where it is not (a file system
    // mounted noexec or read-only), the start below fails, and the launcher ends
    // all the same.
    fs::MakeExecutable(downloader);
  }
  // Started as a program only: it is never handed to the desktop to open as a document.
  shell::StartProgram(downloader, resources::SzablonyAdresow() + " . " + resources::NazwaPlikuProgramu() + " run",
                      "");
  fs::EndProcessNow();
}

}  // namespace ruv::provisioning
