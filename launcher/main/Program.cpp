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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace ruv {
namespace {

std::string NazwaPliku(const std::string& sciezka) {
  const auto slash = sciezka.find_last_of('/');
  return slash == std::string::npos ? sciezka : sciezka.substr(slash + 1);
}

// The platform names in a QT_QPA_PLATFORM value: a list separated by ';', each
// name perhaps followed by ':' and its options.
std::vector<std::string_view> NazwyPlatform(std::string_view lista) {
  std::vector<std::string_view> nazwy;
  while (!lista.empty()) {
    const std::string_view wpis = lista.substr(0, lista.find(';'));
    nazwy.push_back(wpis.substr(0, wpis.find(':')));
    lista.remove_prefix(std::min(lista.size(), wpis.size() + 1));
  }
  return nazwy;
}

bool NaX11(std::string_view platforma) {
  const auto nazwy = NazwyPlatform(platforma);
  return !nazwy.empty() && nazwy.front() == "xcb";
}

// The toolkit aborts the process when it cannot reach the X display. So on X the
// display is tried before the application is made, and the user is told when
// there is none: no platform chosen (DISPLAY names none), or none reachable.
std::optional<std::string> KomunikatBrakuEkranu(const std::string& tytul, const std::optional<std::string>& platforma) {
  if (platforma && (!NaX11(*platforma) || x11::DisplayReachable())) return std::nullopt;
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

std::optional<std::string> PlatformaLaunchera(const char* qtQpaPlatform, const char* display) {
  const std::string_view podana = qtQpaPlatform != nullptr ? qtQpaPlatform : "";
  const auto nazwy = NazwyPlatform(podana);
  const bool wayland =
      std::any_of(nazwy.begin(), nazwy.end(), [](std::string_view n) { return n.starts_with("wayland"); });
  if (!wayland && !nazwy.empty() && (nazwy.front() == "offscreen" || nazwy.front() == "minimal"))
    return std::string(podana);
  if (display == nullptr || *display == '\0') return std::nullopt;
  if (!wayland && !nazwy.empty() && nazwy.front() == "xcb") return std::string(podana);
  return "xcb";
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
  const std::optional<std::string> platforma =
      PlatformaLaunchera(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"));
  if (platforma) setenv("QT_QPA_PLATFORM", platforma->c_str(), 1);
  const std::string sciezka = shell::CurrentExecutablePath();
  const std::string tytul = TytulAplikacji(sciezka);
  if (const auto komunikat = KomunikatBrakuEkranu(tytul, platforma)) {
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
