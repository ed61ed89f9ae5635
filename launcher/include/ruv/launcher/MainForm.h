#pragma once
// The launcher's main window: it loads the configuration (from the download server,
// else from the per-user copy), applies the launcher version gate, takes its look
// from the configuration, shows one generated button per offered terminal and
// starts a terminal when its button is clicked.
//
// The window's first show does all its work, message boxes included, before the
// window becomes visible: the program entry calls FormShow() right before show();
// showing the window runs it too if nobody did, so the window never appears unbuilt.

#include "ruv/platform/Graphics.h"
#include "ruv/platform/MemoryStream.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace ruv {

// The configuration file on the download server.
inline constexpr const char* kPlikKonfiguracji = "ruv_virad_2.xml";
// Where the per-user copy of the last configuration that loaded is kept.
inline constexpr const char* kKluczRejestru = "SOFTWARE\\RUV\\RUV_VIRAD\\";
inline constexpr const char* kWartoscRejestru = "version_file";

inline constexpr const char* kKomunikatPrzetwarzanie =
    "Błąd przy przetwarzaniu informacji o ostatnich wersjach programów RUV. W razie wystąpienia "
    "niezgodności wersji konieczne będzie ręczne sciągnięcie najnowszego oprogramowania.";
inline constexpr const char* kKomunikatBrakMozliwosci =
    "Brak możliwości ściągnięcia informacji o ostatnich wersjach programów RUV. W razie wystąpienia "
    "niezgodności wersji konieczne będzie ręczne sciągnięcie najnowszego oprogramowania.";
inline constexpr const char* kKomunikatBrakInformacji =
    "Brak informacji o programach RUV. Konieczne jest ręczne uruchomienie programów.";
inline constexpr const char* kKomunikatPrzestarzalaWersja =
    "Wersja programu jest przestarzała, zostanie dociągnięta nowa wersja.";
inline constexpr const char* kTytulOkna = "Programy systemu RUV";

// Buttons per row.
inline constexpr int LiczbaKolumn = 1;

// A label that reports clicks and the mouse entering and leaving it.
class TClickableLabel : public QLabel {
 public:
  explicit TClickableLabel(QWidget* parent = nullptr) : QLabel(parent) {}
  std::function<void()> onClick;
  std::function<void()> onEnter;
  std::function<void()> onLeave;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool pressed_ = false;
};

// A terminal button: an image that takes no keyboard focus.
class TTerminalButton final : public TClickableLabel {
 public:
  explicit TTerminalButton(QWidget* parent = nullptr) : TClickableLabel(parent) {}
  int tag = 0;
  // The text font of its picture, set when the button is made.
  int textSize = 0;
  graphics::TColor textColor = graphics::clBtnText;
  // The last drawn picture.
  QImage picture;
};

class TMainForm final : public QWidget {
 public:
  // The window's creation (FormCreate): no configuration, no buttons yet.
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // The first show: loads the configuration, collects the offered terminals, applies
  // the version gate, then builds the window. Runs once; later calls do nothing.
  // An error that escapes it goes to the default error report.
  void FormShow();

  // The configuration load with its message boxes: the server's configuration, else
  // the per-user copy. False when neither loaded; the application has then been asked
  // to quit.
  bool WczytajKonfiguracje();
  // The server load; shows its error box and raises an empty error of the same class.
  void PobierzKonfiguracje();
  // The per-user copy's load; raises an empty error, shows nothing.
  void WczytajKonfiguracjeZRejestru();
  // The timed fetch of one file; raises an empty EIdException when nothing came.
  static TMemoryStream PobierzPlik(const std::string& nazwaPliku);

  void UtworzPrzyciski();
  void RysujPrzycisk(TTerminalButton* button, graphics::TColor kolor);
  void ButtonClick(TTerminalButton* button);
  void ButtonMouseEnter(TTerminalButton* button);
  void ButtonMouseLeave(TTerminalButton* button);
  void labLinkClick();

  // The window's parts.
  QWidget* clientArea() const { return client_; }
  QWidget* pnlLink() const { return pnlLink_; }
  QLabel* Label3() const { return label3_; }
  TClickableLabel* labLink() const { return labLink_; }
  const std::vector<TTerminalButton*>& Buttons() const { return buttons_; }
  const std::vector<std::string>& IdentyfikatoryTerminali() const { return identyfikatory_; }

  // Asks the application to quit once the current event (the first show, a click)
  // has been handled.
  void ZakonczAplikacje();
  bool ZakonczenieZlecone() const { return quitRequested_; }

  // Showing the window runs the first show if nobody did, then, the first time,
  // centres the window on the work area, kept to it.
  void setVisible(bool visible) override;

 private:
  void PierwszePokazanie();
  // The right-most and the lowest edge of the client area's visible controls.
  QSize ZasiegKontrolek() const;
  // Lays out the link line for its labels' current texts and fonts.
  void UlozLinieLinku();
  // Fits the client area to its visible controls, plus extra in both directions; the
  // window around it is never narrower than kNajmniejszaSzerokoscOkna.
  void DopasujRozmiar(int extra);

  QWidget* client_;
  QWidget* pnlLink_;
  QLabel* label3_;
  TClickableLabel* labLink_;
  std::vector<TTerminalButton*> buttons_;
  std::vector<std::string> identyfikatory_;
  bool shown_ = false;
  bool built_ = false;
  bool centred_ = false;
  bool quitRequested_ = false;
};

}  // namespace ruv
