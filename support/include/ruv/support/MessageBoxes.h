#pragma once
// The program's message dialogs. Callers describe a box by its kind, text and
// buttons; the installed IMessageBoxes service shows it (the Qt implementation
// in the launcher, a scripted one in tests) and tells which button was pressed.
// Boxes may be asked for from any thread; the service shows them where the
// toolkit allows and the caller waits for the answer.

#include <initializer_list>
#include <memory>
#include <string>

namespace ruv {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtCustom };

enum class TMsgDlgBtn { mbOK, mbCancel };

// A set of buttons, e.g. {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}.
class TMsgDlgButtons {
 public:
  TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons) {
    for (TMsgDlgBtn b : buttons) bits_ |= Bit(b);
  }
  bool Has(TMsgDlgBtn b) const { return (bits_ & Bit(b)) != 0; }
  bool operator==(const TMsgDlgButtons&) const = default;

 private:
  static unsigned Bit(TMsgDlgBtn b) { return 1u << static_cast<unsigned>(b); }
  unsigned bits_ = 0;
};

// Which button ended the box; mrNone when it was closed otherwise (Escape, the
// window's close button) or could not be shown.
enum class TModalResult { mrNone, mrOK, mrCancel };

// A fully described box.
struct TMessageBox {
  TMsgDlgType kind = TMsgDlgType::mtCustom;  // the icon: warning, error, information, none
  std::string title;
  std::string text;
  TMsgDlgButtons buttons{TMsgDlgBtn::mbOK};
  TMsgDlgBtn defaultButton = TMsgDlgBtn::mbOK;
};

// Button captions.
inline constexpr const char* kCaptionOK = "OK";
inline constexpr const char* kCaptionCancel = "Anuluj";

class IMessageBoxes {
 public:
  virtual ~IMessageBoxes() = default;
  // Shows the box and waits until it is closed. Callable from any thread.
  virtual TModalResult Show(const TMessageBox& box) = 0;
};

// Installs the service (nullptr restores the fallback, which writes the box to
// the standard error stream and answers mrNone). Returns the previous one.
std::shared_ptr<IMessageBoxes> SetMessageBoxes(std::shared_ptr<IMessageBoxes> boxes);
std::shared_ptr<IMessageBoxes> MessageBoxes();

// The application's title, used for boxes without icon and the error report.
void SetApplicationTitle(std::string title);
std::string ApplicationTitle();  // "ruv_virad" unless set

// The title of a box of the given kind: "Ostrzeżenie", "Błąd", "Komunikat",
// or the application's title for a box without icon.
std::string MessageBoxTitle(TMsgDlgType kind);

// The box that MessageDlg shows: titled by kind, "OK" the default when present.
TMessageBox DescribeMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons);

// Shows a message dialog and returns the pressed button.
TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons);
// A box without icon titled with the application's title, with "OK".
void ShowMessage(const std::string& text);
// The default report of an error that escaped a window event: the application's
// title, an error icon, the message and "OK".
void ShowErrorReport(const std::string& text);

}  // namespace ruv
