// The launcher as the fault tests run it: the real start-up, with a message-box
// service that writes every box to a file and answers from a script, pointed at
// the test server of one row. Copied as "ruv_virad.exe" into the row's directory.
//
// Environment:
//   RUV_FAULT_URL      the server's base URL; the URL-template list becomes URL + "/%s"
//   RUV_FAULT_RECORD   the file the boxes and the final state are appended to
//   RUV_FAULT_ANSWERS  comma-separated answers, one per box: OK, Anuluj or none;
//                      OK once they have run out
//   RUV_FAULT_CLICK    the index of a terminal button to click once the window shows
//
// Record lines (tab-separated; CR, LF, tab and backslash in texts escaped):
//   box <kind> <title> <text> <buttons>
//   clicked <index>
//   end quit=<0|1> minimized=<0|1> buttons=<n> caption=<text> link=<text, when shown>
// The driver ends the program itself once the window has shown (after the click,
// when one was asked for), so "end" also records a launcher that would have stayed open.
#include "ruv/launcher/MainForm.h"
#include "ruv/launcher/Program.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/support/MessageBoxes.h"

#include <QApplication>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string Escape(const std::string& s) {
  std::string out;
  for (const char c : s) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::mutex recordMutex;

void Record(const std::string& line) {
  const std::lock_guard lock(recordMutex);
  std::ofstream(Env("RUV_FAULT_RECORD"), std::ios::app | std::ios::binary) << line << '\n';
}

const char* KindName(ruv::TMsgDlgType kind) {
  switch (kind) {
    case ruv::TMsgDlgType::mtWarning: return "warning";
    case ruv::TMsgDlgType::mtError: return "error";
    case ruv::TMsgDlgType::mtInformation: return "information";
    case ruv::TMsgDlgType::mtCustom: break;
  }
  return "none";
}

class TRecordingMessageBoxes final : public ruv::IMessageBoxes {
 public:
  TRecordingMessageBoxes() {
    std::stringstream list(Env("RUV_FAULT_ANSWERS"));
    for (std::string a; std::getline(list, a, ',');) answers_.push_back(a);
  }
  // Like the real service, a box asked for from a worker is shown on the
  // user-interface thread while the worker waits; once the application's loop has
  // gone, the box is never shown.
  ruv::TModalResult Show(const ruv::TMessageBox& box) override {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return ShowHere(box);
    ruv::TModalResult result = ruv::TModalResult::mrNone;
    QMetaObject::invokeMethod(app, [&] { result = ShowHere(box); }, Qt::BlockingQueuedConnection);
    return result;
  }

 private:
  ruv::TModalResult ShowHere(const ruv::TMessageBox& box) {
    std::string buttons;
    if (box.buttons.Has(ruv::TMsgDlgBtn::mbOK)) buttons = ruv::kCaptionOK;
    if (box.buttons.Has(ruv::TMsgDlgBtn::mbCancel)) buttons += std::string(buttons.empty() ? "" : ",") + ruv::kCaptionCancel;
    Record(std::string("box\t") + KindName(box.kind) + "\t" + Escape(box.title) + "\t" + Escape(box.text) + "\t" +
           buttons);
    std::string answer = "OK";
    {
      const std::lock_guard lock(mutex_);
      if (next_ < answers_.size()) answer = answers_[next_++];
    }
    if (answer == "OK") return ruv::TModalResult::mrOK;
    if (answer == "Anuluj") return ruv::TModalResult::mrCancel;
    return ruv::TModalResult::mrNone;
  }

  std::mutex mutex_;
  std::vector<std::string> answers_;
  std::size_t next_ = 0;
};

ruv::TMainForm* MainForm() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* form = dynamic_cast<ruv::TMainForm*>(w)) return form;
  return nullptr;
}

void Click(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  const QPointF global = w->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

// The launcher's state as it ends by itself.
void RecordEnd(const ruv::TMainForm& form) {
  Record(std::string("end quit=") + (form.ZakonczenieZlecone() ? "1" : "0") +
         " minimized=" + (form.isMinimized() ? "1" : "0") +
         " buttons=" + std::to_string(form.Buttons().size()) +
         " caption=" + Escape(form.windowTitle().toStdString()) +
         " link=" + (form.pnlLink()->isHidden() ? "" : Escape(form.labLink()->text().toStdString())));
}

// Runs when the launcher creates its application object: watches for the main
// window, clicks the asked-for button once, and ends the program.
void WatchMainWindow() {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer] {
    ruv::TMainForm* form = MainForm();
    if (!form || !form->isVisible()) return;
    timer->stop();
    const std::string click = Env("RUV_FAULT_CLICK");
    if (!click.empty()) {
      const std::size_t index = std::stoul(click);
      if (index < form->Buttons().size()) {
        Click(form->Buttons()[index]);
        Record("clicked\t" + click);
      }
    }
    QCoreApplication::quit();
  });
  timer->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchMainWindow)

int main(int argc, char** argv) {
  ruv::resources::SetUrlTemplatesForTesting(Env("RUV_FAULT_URL") + "/%s");
  return ruv::UruchomLauncher(argc, argv, std::make_shared<TRecordingMessageBoxes>(), RecordEnd);
}
