#include "ruv/launcher/RunnableWithProgressExecuterWithForm.h"
#include "ruv/launcher/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>
#include <climits>

namespace ruv {

std::shared_ptr<TRunnableWithProgressExecuterWithForm> TRunnableWithProgressExecuterWithForm::Create(
    QWidget* owner) {
  // The last reference may go on the worker thread; deleteLater hands the deletion
  // to the thread the window lives on.
  return std::shared_ptr<TRunnableWithProgressExecuterWithForm>(
      new TRunnableWithProgressExecuterWithForm(owner),
      [](TRunnableWithProgressExecuterWithForm* window) { window->deleteLater(); });
}

TRunnableWithProgressExecuterWithForm::TRunnableWithProgressExecuterWithForm(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("RunnableWithProgressExecuterWithForm");
  setWindowModality(Qt::ApplicationModal);
  setFixedSize(368, 60);
  QFont font("Tahoma");
  font.setPointSize(8);
  setFont(font);

  panel1_ = new QFrame(this);
  panel1_->setObjectName("Panel1");
  panel1_->setFrameShape(QFrame::StyledPanel);
  panel1_->setFrameShadow(QFrame::Raised);
  panel1_->setGeometry(3, 3, 362, 54);

  progressBar_ = new QProgressBar(panel1_);
  progressBar_->setObjectName("progressBar");
  progressBar_->setGeometry(3, 3, 356, 17);
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);

  labelNumer_ = new QLabel("<->", panel1_);
  labelNumer_->setObjectName("labelNumer");
  labelNumer_->setGeometry(0, 20, 362, 13);
  labelNumer_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  labelNumer_->setTextFormat(Qt::PlainText);
  QFont bold = labelNumer_->font();
  bold.setBold(true);
  labelNumer_->setFont(bold);

  labelKomunikat_ = new QLabel("<->", panel1_);
  labelKomunikat_->setObjectName("labelKomunikat");
  labelKomunikat_->setGeometry(3, 36, 356, 13);
  labelKomunikat_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  labelKomunikat_->setTextFormat(Qt::PlainText);
}

TRunnableWithProgressExecuterWithForm::~TRunnableWithProgressExecuterWithForm() = default;

template <class F>
void TRunnableWithProgressExecuterWithForm::Post(F&& update) {
  // Queued calls from one thread arrive in the order they were made; a call that
  // arrives after the window is gone is dropped by Qt.
  QMetaObject::invokeMethod(this, std::forward<F>(update), Qt::QueuedConnection);
}

void TRunnableWithProgressExecuterWithForm::Execute(const std::shared_ptr<TRunnableWithProgress>& prc) {
  auto decorator = TRunnableWithProgressEnforceFinishedDecorator::Create(prc);
  decorator->setProgressListener(shared_from_this());
  watek_ = std::make_unique<TProcedureWithProgressThread>(decorator);
  progressBar_->setMinimum(0);
  // A job that announces no ticks still runs; its bar stands full from the first tick.
  progressBar_->setMaximum(std::max(decorator->getCount(), 1));
  decorator.reset();  // from here the worker holds the job

  modalEnded_ = false;
  CentreOnMainWindow();
  show();  // the show event starts the worker
  if (!modalEnded_) {
    QEventLoop loop;
    modalLoop_ = &loop;
    loop.exec(QEventLoop::DialogExec);
    modalLoop_ = nullptr;
  }
  hide();
  progressBar_->setValue(0);
  WaitForWorker();
}

void TRunnableWithProgressExecuterWithForm::WaitForWorker() {
  // A failed job's worker asks this thread for its error box after finished(). The
  // caller goes on to start the terminal and may end the program, so Execute returns
  // only once the worker has ended, that is once the box has been answered. Events
  // go on flowing meanwhile, so that the box can be shown; user input waits, as it
  // did under the modal window. A quit requested while the box is open closes it,
  // which ends the worker too.
  using namespace std::chrono_literals;
  if (!watek_) return;
  while (!watek_->WaitFor(0ms)) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    watek_->WaitFor(5ms);
  }
}

void TRunnableWithProgressExecuterWithForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FormShow();
}

void TRunnableWithProgressExecuterWithForm::FormShow() {
  if (watek_) watek_->Start();
}

void TRunnableWithProgressExecuterWithForm::closeEvent(QCloseEvent* event) {
  // The window goes away only when the job has ended.
  if (modalLoop_) {
    event->ignore();
  } else {
    QWidget::closeEvent(event);
  }
}

void TRunnableWithProgressExecuterWithForm::CentreOnMainWindow() {
  QWidget* main = QApplication::activeWindow();
  if (main == this) main = nullptr;
  if (!main) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w != this && w->isVisible() && !w->isMinimized()) {
        main = w;
        break;
      }
    }
  }
  // Centred on the main window, else on the screen, and kept to the screen's work
  // area: a main window taller than the screen reaches past its bottom edge, and the
  // progress window stays on screen all the same.
  QScreen* s = main && main->screen() ? main->screen() : screen() ? screen() : QGuiApplication::primaryScreen();
  const QRect area = s ? s->availableGeometry() : QRect();
  CentreInArea(*this, main ? main->frameGeometry().center() : area.center(), area);
}

void TRunnableWithProgressExecuterWithForm::addMoreTicks(std::int32_t count) {
  Post([this, count] {
    const long long wanted = static_cast<long long>(progressBar_->maximum()) + count;
    const int maximum = static_cast<int>(std::clamp<long long>(wanted, 1, INT_MAX));
    const int position = std::min(progressBar_->value(), maximum);
    progressBar_->setMaximum(maximum);
    progressBar_->setValue(position);
  });
}

void TRunnableWithProgressExecuterWithForm::tick(const std::string& messageText) {
  Post([this, text = QString::fromStdString(messageText)] {
    if (progressBar_->value() < progressBar_->maximum()) {
      progressBar_->setValue(progressBar_->value() + 1);
    }
    labelNumer_->setText(QString::asprintf("%d/%d", progressBar_->value(), progressBar_->maximum()));
    labelKomunikat_->setText(text);
  });
}

void TRunnableWithProgressExecuterWithForm::finished() {
  Post([this] {
    // Hidden at once, so that a box the worker shows next does not sit over it.
    modalEnded_ = true;
    hide();
    if (modalLoop_) modalLoop_->exit(0);
  });
}

}  // namespace ruv
