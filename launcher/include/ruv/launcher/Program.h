#pragma once
// The program's entry: start-up in a fixed order, the executable-name check, the
// close request to other running launchers, the main window and the message loop.

#include "ruv/support/MessageBoxes.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ruv {

class TMainForm;

// The message shown when the executable's path does not end in "ruv_virad.exe"
// (compared with letter case), or no value when the name is right.
std::optional<std::string> KomunikatNieprawidlowejNazwy(const std::string& sciezka);

// The application's title: the executable's file name without directory and extension.
std::string TytulAplikacji(const std::string& sciezka);

// Runs the launcher; the process ends with exit code 0 on every path (the result,
// were it to return). The message boxes are Qt's unless another service is
// given. przyKoncu, when given, sees the main window once the launcher is ending
// by itself (after the message loop, or after a first show that asked to quit);
// the ends that leave at once (another launcher's close request, the hand-over
// to the downloader) do not call it.
int UruchomLauncher(int argc, char** argv, std::shared_ptr<IMessageBoxes> komunikaty = nullptr,
                    const std::function<void(const TMainForm&)>& przyKoncu = {});

}  // namespace ruv
