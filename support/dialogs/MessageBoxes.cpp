#include "ruv/support/MessageBoxes.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace ruv {
namespace {

// Without a toolkit nothing can be shown; the text is not lost but written out.
class TStderrMessageBoxes : public IMessageBoxes {
 public:
  TModalResult Show(const TMessageBox& box) override {
    std::fprintf(stderr, "[%s] %s\n", box.title.c_str(), box.text.c_str());
    return TModalResult::mrNone;
  }
};

struct Globals {
  std::mutex mutex;
  std::shared_ptr<IMessageBoxes> boxes;
  std::string title = "ruv_virad";
};

Globals& State() {
  static Globals* globals = new Globals;  // used by workers until the process ends
  return *globals;
}

}  // namespace

std::shared_ptr<IMessageBoxes> SetMessageBoxes(std::shared_ptr<IMessageBoxes> boxes) {
  std::lock_guard lock(State().mutex);
  return std::exchange(State().boxes, std::move(boxes));
}

std::shared_ptr<IMessageBoxes> MessageBoxes() {
  std::lock_guard lock(State().mutex);
  if (!State().boxes) State().boxes = std::make_shared<TStderrMessageBoxes>();
  return State().boxes;
}

void SetApplicationTitle(std::string title) {
  std::lock_guard lock(State().mutex);
  State().title = std::move(title);
}

std::string ApplicationTitle() {
  std::lock_guard lock(State().mutex);
  return State().title;
}

std::string MessageBoxTitle(TMsgDlgType kind) {
  switch (kind) {
    case TMsgDlgType::mtWarning:
      return "Ostrzeżenie";
    case TMsgDlgType::mtError:
      return "Błąd";
    case TMsgDlgType::mtInformation:
      return "Komunikat";
    case TMsgDlgType::mtCustom:
      break;
  }
  return ApplicationTitle();
}

TMessageBox DescribeMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
  if (!buttons.Has(TMsgDlgBtn::mbOK) && !buttons.Has(TMsgDlgBtn::mbCancel)) {
    buttons = {TMsgDlgBtn::mbOK};  // a box always offers a way to confirm it
  }
  TMessageBox box;
  box.kind = kind;
  box.title = MessageBoxTitle(kind);
  box.text = text;
  box.buttons = buttons;
  box.defaultButton = buttons.Has(TMsgDlgBtn::mbOK) ? TMsgDlgBtn::mbOK : TMsgDlgBtn::mbCancel;
  return box;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
  return MessageBoxes()->Show(DescribeMessageDlg(text, kind, buttons));
}

void ShowMessage(const std::string& text) {
  MessageDlg(text, TMsgDlgType::mtCustom, {TMsgDlgBtn::mbOK});
}

void ShowErrorReport(const std::string& text) {
  TMessageBox box = DescribeMessageDlg(text, TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
  box.title = ApplicationTitle();
  MessageBoxes()->Show(box);
}

}  // namespace ruv
