#pragma once
// The program's entry: start-up in a fixed order, the executable-name check, the
// close request to other running launchers, the main window and the message loop.

#include "ruv/support/MessageBoxes.h"

#include <memory>
#include <optional>
#include <string>

namespace ruv {

// The message shown when the executable's path does not end in "ruv_virad.exe"
// (compared with letter case), or no value when the name is right.
std::optional<std::string> KomunikatNieprawidlowejNazwy(const std::string& sciezka);

// The application's title: the executable's file name without directory and extension.
std::string TytulAplikacji(const std::string& sciezka);

// Runs the launcher; the result is the process's exit code, 0 on every path.
// The message boxes are Qt's unless another service is given.
int UruchomLauncher(int argc, char** argv, std::shared_ptr<IMessageBoxes> komunikaty = nullptr);

}  // namespace ruv
