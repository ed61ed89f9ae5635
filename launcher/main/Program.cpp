#include "ruv/launcher/Program.h"

#include "ruv/launcher/MainForm.h"
#include "ruv/launcher/QtMessageBoxes.h"
#include "ruv/launcher/SpringInit.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Shell.h"
#include "ruv/platform/TerminationSignals.h"
#include "ruv/platform/WindowList.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminals.h"
#include "ruv/support/Container.h"
#include "ruv/support/Logging.h"
#include "ruv/support/MessageBoxes.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>

namespace ruv {
namespace {

std::string NazwaPliku(const std::string& sciezka) {
  const auto slash = sciezka.find_last_of('/');
  return slash == std::string::npos ? sciezka : sciezka.substr(slash + 1);
}

// Launchers find each other through the X server's window list; under a Wayland
// session the toolkit is kept on X (XWayland) so that they still see each other.
void ZostanNaX11() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* display = std::getenv("DISPLAY");
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (wayland && *wayland && display && *display && platform == nullptr) setenv("QT_QPA_PLATFORM", "xcb", 1);
}

// The launcher runs on X11 only, and the toolkit aborts the process when it cannot
// reach the X display. So with the toolkit's own choice of platform, or xcb named,
// the display is tried before the application is made, and the user is told when
// there is none. Another platform named (offscreen, in tests) is left to the toolkit.
std::optional<std::string> KomunikatBrakuEkranu(const std::string& tytul) {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const std::string_view nazwa = platform != nullptr ? platform : "";
  if (!nazwa.empty() && nazwa.substr(0, nazwa.find_first_of(":;")) != "xcb") return std::nullopt;
  if (x11::DisplayReachable()) return std::nullopt;
  const char* display = std::getenv("DISPLAY");
  const std::string gdzie = display != nullptr && *display != '\0'
                                ? "nie można połączyć się z ekranem X11 \"" + std::string(display) + "\" (DISPLAY)"
                                : "nie wskazano ekranu X11 (zmienna DISPLAY nie jest ustawiona)";
  return tytul + ": " + gdzie + ". Launcher działa tylko na ekranie X11 (także XWayland); uruchom go w sesji graficznej.";
}

}  // namespace

// The request is watched on a thread of its own, which alone uses the application
// window from here on, so that it is seen also while the user-interface thread
// handles no events.
bool ZakonczNaProsbeInnegoLaunchera(std::unique_ptr<x11::ApplicationWindow> okno) {
  if (!okno) return false;
  try {
    std::thread([okno = std::move(okno)] {
      if (okno->WaitForCloseRequest()) fs::EndProcessNow();
    }).detach();
    return true;
  } catch (const std::system_error&) {
    // No thread could be made (the system's limits are reached). The window, which
    // would only gather requests that nobody reads, has gone with the thread that
    // was not made.
    return false;
  }
}

std::optional<std::string> KomunikatNieprawidlowejNazwy(const std::string& sciezka) {
  const std::string wymagana = resources::NazwaProgramu() + ".exe";
  if (NazwaPliku(sciezka) == wymagana) return std::nullopt;
  return "Nazwa pliku wykonywalnego nie jest prawidłowa: " + sciezka + "\r" + "Proszę zmienić nazwę na domyślną (" +
         resources::NazwaProgramu() + ".exe) i uruchomić program jeszcze raz.";
}

std::string TytulAplikacji(const std::string& sciezka) {
  std::string nazwa = NazwaPliku(sciezka);
  const auto dot = nazwa.find_last_of('.');
  if (dot != std::string::npos && dot > 0) nazwa.erase(dot);
  return nazwa;
}

int UruchomLauncher(int argc, char** argv, std::shared_ptr<IMessageBoxes> komunikaty,
                    const std::function<void(const TMainForm&)>& przyKoncu) {
  // First of all, while this is the only thread: every thread made from here on,
  // the toolkit's included, inherits the blocked signals.
  process::EndOnTerminationSignals();
  InitializeLoggingUnits();
  ZostanNaX11();
  const std::string sciezka = shell::CurrentExecutablePath();
  const std::string tytul = TytulAplikacji(sciezka);
  if (const auto komunikat = KomunikatBrakuEkranu(tytul)) {
    std::fprintf(stderr, "%s\n", komunikat->c_str());
    fs::EndProcessNow();
  }
  {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromStdString(tytul));
    SetApplicationTitle(tytul);
    if (komunikaty) {
      SetMessageBoxes(std::move(komunikaty));
    } else {
      InstallQtMessageBoxes();
    }
    SpringInit(di::GlobalContainer());
    di::GlobalContainer().Build();

    if (const auto komunikat = KomunikatNieprawidlowejNazwy(sciezka)) {
      ShowMessage(*komunikat);
      fs::EndProcessNow();
    }

    // The hidden window through which other launchers close this one.
    std::unique_ptr<x11::ApplicationWindow> oknoAplikacji = x11::ApplicationWindow::Create(tytul);
    x11::PostCloseToWindowsTitled(tytul, oknoAplikacji.get());
    ZakonczNaProsbeInnegoLaunchera(std::move(oknoAplikacji));

    TMainForm form;
    form.FormShow();
    // A first show that asked the application to quit (a failed load, the version
    // gate) ends it here, after all its boxes: the window is not shown and the
    // message loop is not entered.
    if (!form.ZakonczenieZlecone()) {
      form.show();
      QApplication::exec();
    }
    if (przyKoncu) przyKoncu(form);
  }
  provisioning::TTerminals::Finalizuj();
  fs::EndProcessNow();
}

}  // namespace ruv
