#include "ruv/launcher/QtMessageBoxes.h"
#include "ruv/launcher/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

#include <cstdio>

namespace ruv {
namespace {

// A box that tells a dismissal (Escape, closing the window) apart from a button:
// QMessageBox would otherwise click its only button on Escape.
class TMessageBoxDialog final : public QMessageBox {
 public:
  bool dismissed = false;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) {
      dismissed = true;
      QDialog::reject();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    dismissed = true;
    event->accept();
    QDialog::reject();
  }
};

QMessageBox::Icon IconOf(TMsgDlgType kind) {
  switch (kind) {
    case TMsgDlgType::mtWarning:
      return QMessageBox::Warning;
    case TMsgDlgType::mtError:
      return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
      return QMessageBox::Information;
    case TMsgDlgType::mtCustom:
      break;
  }
  return QMessageBox::NoIcon;
}

std::unique_ptr<TMessageBoxDialog> Build(const TMessageBox& box) {
  auto dialog = std::make_unique<TMessageBoxDialog>();
  dialog->setIcon(IconOf(box.kind));
  dialog->setWindowTitle(QString::fromStdString(box.title));
  dialog->setTextFormat(Qt::PlainText);
  dialog->setText(MessageBoxText(box.text));
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  if (box.buttons.Has(TMsgDlgBtn::mbOK)) ok = dialog->addButton(kCaptionOK, QMessageBox::AcceptRole);
  if (box.buttons.Has(TMsgDlgBtn::mbCancel)) {
    cancel = dialog->addButton(kCaptionCancel, QMessageBox::RejectRole);
  }
  if (!ok && !cancel) ok = dialog->addButton(kCaptionOK, QMessageBox::AcceptRole);
  QPushButton* preferred = box.defaultButton == TMsgDlgBtn::mbCancel && cancel ? cancel : ok;
  dialog->setDefaultButton(preferred ? preferred : cancel);
  // QMessageBox fits its width to its contents when it is shown: the row of buttons
  // is made wide enough that the box is never narrower than
  // kNajmniejszaSzerokoscSkrzynki, so that a box with a short or empty text still
  // shows its caption beside the title bar's buttons.
  if (auto* buttons = dialog->findChild<QDialogButtonBox*>()) {
    const QMargins margins = dialog->layout() ? dialog->layout()->contentsMargins() : QMargins();
    buttons->setMinimumWidth(kNajmniejszaSzerokoscSkrzynki - margins.left() - margins.right());
  }
  return dialog;
}

TModalResult ShowHere(const TMessageBox& box) {
  auto dialog = Build(box);
  dialog->exec();
  const bool hasCancel = box.buttons.Has(TMsgDlgBtn::mbCancel);
  if (dialog->dismissed) return hasCancel ? TModalResult::mrCancel : TModalResult::mrNone;
  auto* clicked = dialog->clickedButton();
  if (!clicked) return TModalResult::mrNone;
  return dialog->buttonRole(clicked) == QMessageBox::AcceptRole ? TModalResult::mrOK
                                                                : TModalResult::mrCancel;
}

}  // namespace

QString MessageBoxText(const std::string& text) {
  QString result = QString::fromStdString(text);
  result.replace("\r\n", "\n");
  result.replace('\r', '\n');
  return result;
}

std::unique_ptr<QMessageBox> BuildMessageBox(const TMessageBox& box) { return Build(box); }

TModalResult TQtMessageBoxes::Show(const TMessageBox& box) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    std::fprintf(stderr, "[%s] %s\n", box.title.c_str(), box.text.c_str());
    return TModalResult::mrNone;
  }
  if (QThread::currentThread() == app->thread()) return ShowHere(box);
  // Widgets live on the user-interface thread: the box is shown there and this
  // thread waits for the answer. Should the application go away first, the call
  // is dropped and the answer stays mrNone.
  TModalResult result = TModalResult::mrNone;
  QMetaObject::invokeMethod(app, [&result, &box] { result = ShowHere(box); },
                            Qt::BlockingQueuedConnection);
  return result;
}

void InstallQtMessageBoxes() { SetMessageBoxes(std::make_shared<TQtMessageBoxes>()); }

}  // namespace ruv
