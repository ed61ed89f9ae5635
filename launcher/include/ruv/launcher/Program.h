#pragma once
// The program's entry: start-up in a fixed order, the executable-name check, the
// close request to other running launchers, the main window and the message loop.

#include "ruv/support/MessageBoxes.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ruv {

namespace x11 {
class ApplicationWindow;
}
class TMainForm;

// The toolkit platform (QT_QPA_PLATFORM) on which the launcher shows its windows,
// from the environment's QT_QPA_PLATFORM and DISPLAY (null when unset). Launchers
// find each other through the X server, so the launcher runs on X whatever the
// environment names, a Wayland platform included ("wayland", "wayland;xcb",
// "wayland-egl", with options or not): the result is "xcb". Kept as given are a
// value that names xcb first (with its options) and one that names first a
// platform that tests choose on purpose, offscreen or minimal, which need no
// display; a list that names a Wayland platform anywhere is still "xcb". No value
// when X is chosen and DISPLAY names no display: the launcher then says so and ends.
std::optional<std::string> PlatformaLaunchera(const char* qtQpaPlatform, const char* display);

// The message shown when the executable's path does not end in "ruv_virad.exe"
// (compared with letter case), or no value when the name is right.
std::optional<std::string> KomunikatNieprawidlowejNazwy(const std::string& sciezka);

// The application's title: the executable's file name without directory and extension.
std::string TytulAplikacji(const std::string& sciezka);

// Another launcher's close request to the application window ends this one at once,
// with exit code 0, whatever it is doing: showing a message box (which closes
// unanswered), running a download job behind the progress window (which is dropped,
// and no terminal is started), or waiting for the configuration fetch. False when
// there is no window, or no thread can be made to watch it: the launcher then goes
// on, and other launchers cannot close it.
bool ZakonczNaProsbeInnegoLaunchera(std::unique_ptr<x11::ApplicationWindow> okno);

// Runs the launcher; the process ends with exit code 0 on every path (the result,
// were it to return). The message boxes are Qt's unless another service is
// given. przyKoncu, when given, sees the main window once the launcher is ending
// by itself (after the message loop, or after a first show that asked to quit);
// the ends that leave at once (another launcher's close request, SIGTERM, SIGHUP
// or SIGINT, the hand-over to the downloader) do not call it. With no X display
// to connect to it says so on standard error and ends before any window.
int UruchomLauncher(int argc, char** argv, std::shared_ptr<IMessageBoxes> komunikaty = nullptr,
                    const std::function<void(const TMainForm&)>& przyKoncu = {});

}  // namespace ruv
