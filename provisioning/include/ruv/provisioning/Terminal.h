#pragma once
// TTerminal: the static class over the selected terminal (see Terminals.h).

#include <memory>
#include <string>

#include "ruv/config/XMLBinding.h"
#include "ruv/platform/Graphics.h"

namespace ruv::provisioning {

class TTerminal {
 public:
  TTerminal() = delete;
  static void WczytajDane(config::IXMLTerminalTypePtr dane);
  static config::IXMLTerminalTypePtr DaneTerminala();

  // Brings the current terminal's files up to date as one job behind the progress
  // window; returns when the job has ended.
  static void download();
  static void downloadEXEFile();
  static void downloadIconFile();
  static void downloadDLLFile(int dllFileNumber);
  static void downloadGenericFile(int fileNumber);
  // download, then starts the terminal program with the access token. Always true;
  // raises with one of the two messages of a failed download or start.
  static bool virad();
  static std::string PobierzNazwe();
  // Whether the terminal has an icon file; fetches it first when it is missing locally.
  static bool PlikIkonyIstnieje();
  // The icon file loaded as a bitmap (BMP only); raises for anything else.
  static std::unique_ptr<graphics::TBitmap> WczytajPlikIkony();
};

// The access token handed to every terminal as its whole parameter string.
inline constexpr const char* kTokenDostepu = "Kowmept zu617!%& 58 20316 ";

}  // namespace ruv::provisioning
