#include "ruv/launcher/MainForm.h"
#include "ruv/launcher/Rozmiary.h"
#include "ruv/launcher/WindowPlacement.h"

#include "ruv/platform/Exception.h"
#include "ruv/platform/Registry.h"
#include "ruv/platform/Shell.h"
#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/FileVersion.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminal.h"
#include "ruv/provisioning/Terminals.h"
#include "ruv/provisioning/UpdateLauncher.h"
#include "ruv/support/MessageBoxes.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

namespace ruv {
namespace {

using provisioning::TTerminal;
using provisioning::TTerminals;
using graphics::StringToColor;

QColor ToQColor(graphics::TColor c) {
  const graphics::TColor rgb = graphics::ColorToRGB(c);
  return QColor(graphics::GetRValue(rgb), graphics::GetGValue(rgb), graphics::GetBValue(rgb));
}

void SetTextColour(QWidget* w, graphics::TColor c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, ToQColor(c));
  w->setPalette(p);
}

// Runs a window event's work; an error that escapes it goes to the default error report.
template <class F>
void ZRaportemBledu(F&& work) {
  try {
    work();
  } catch (const Exception& e) {
    ShowErrorReport(e.Message());
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
}

// Raises a new error of the caught one's class, with an empty message. Errors from
// outside our hierarchy count as the base class.
[[noreturn]] void PodniesPustyTejSamejKlasy(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) own->RaiseEmptyOfSameClass();
  throw Exception("");
}

std::string MessageOf(const std::exception& e) {
  if (const auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
  return e.what();
}

}  // namespace

void TClickableLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
  QLabel::mousePressEvent(event);
}

void TClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (click && onClick) onClick();
}

void TClickableLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  if (onEnter) onEnter();
}

void TClickableLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  if (onLeave) onLeave();
}

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(kTytulOkna);
  // MS Sans Serif is not installed here; its nearest stand-in is Arial's.
  QFont::insertSubstitution("MS Sans Serif", "Arial");
  QFont font("Arial");
  font.setPixelSize(11);
  setFont(font);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, ToQColor(graphics::clWhite));
  p.setColor(QPalette::WindowText, ToQColor(graphics::clWindowText));
  setPalette(p);

  // The client area, inside a 5-pixel inner border.
  client_ = new QWidget(this);
  client_->move(5, 5);
  client_->resize(410, 282);

  pnlLink_ = new QWidget(client_);
  pnlLink_->setObjectName("pnlLink");
  label3_ = new QLabel("Internet: ", pnlLink_);
  label3_->setObjectName("Label3");
  QFont fixed("MS Sans Serif");
  fixed.setPixelSize(13);
  fixed.setBold(true);
  label3_->setFont(fixed);
  SetTextColour(label3_, graphics::clWindowText);
  labLink_ = new TClickableLabel(pnlLink_);
  labLink_->setObjectName("labLink");
  labLink_->setTextFormat(Qt::PlainText);  // a configured link is text, never markup
  labLink_->setText("<->");
  labLink_->setCursor(Qt::PointingHandCursor);
  QFont link("MS Sans Serif");
  link.setPixelSize(13);
  link.setBold(true);
  link.setUnderline(true);
  labLink_->setFont(link);
  SetTextColour(labLink_, graphics::clBlue);
  labLink_->move(58, 0);
  labLink_->onClick = [this] { labLinkClick(); };
  pnlLink_->move(0, 17);
  pnlLink_->hide();
  resize(420, 292);
}

TMainForm::~TMainForm() = default;

void TMainForm::ZakonczAplikacje() {
  // Carried out once the event that asked has been handled, whatever boxes it
  // shows after asking: the program entry does not start the message loop after a
  // first show that asked, and a click that asked ends the loop when it is done.
  quitRequested_ = true;
}

TMemoryStream TMainForm::PobierzPlik(const std::string& nazwaPliku) {
  TMemoryStream stream = provisioning::downloadWithTimeout(nazwaPliku);
  if (stream.Size() == 0) throw EIdException("");
  return stream;
}

void TMainForm::PobierzKonfiguracje() {
  try {
    TMemoryStream stream = PobierzPlik(kPlikKonfiguracji);
    const std::string tekst = provisioning::DekodujTekstKonfiguracji(stream.Bytes());
    TTerminals::WczytajDane(tekst);
    TRegistry registry;
    registry.OpenKey(kKluczRejestru, true);
    registry.WriteString(kWartoscRejestru, tekst);
    registry.CloseKey();
  } catch (const std::exception& e) {
    MessageDlg(MessageOf(e), TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
    PodniesPustyTejSamejKlasy(e);
  }
}

void TMainForm::WczytajKonfiguracjeZRejestru() {
  TRegistry registry;
  registry.OpenKey(kKluczRejestru, false);
  if (!registry.ValueExists(kWartoscRejestru)) throw Exception("");
  try {
    TTerminals::WczytajDane(registry.ReadString(kWartoscRejestru));
  } catch (const std::exception& e) {
    PodniesPustyTejSamejKlasy(e);
  }
}

bool TMainForm::WczytajKonfiguracje() {
  try {
    PobierzKonfiguracje();
    return true;
  } catch (const EIdException&) {
    // Nothing came from the server (it failed or was too late): say so plainly.
    ShowMessage(kKomunikatBrakMozliwosci);
  } catch (const std::exception&) {
    ShowMessage(kKomunikatPrzetwarzanie);
  }
  try {
    WczytajKonfiguracjeZRejestru();
    return true;
  } catch (const std::exception&) {
    MessageDlg(kKomunikatBrakInformacji, TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
    ZakonczAplikacje();
    return false;
  }
}

void TMainForm::FormShow() {
  if (shown_) return;
  shown_ = true;
  ZRaportemBledu([this] { PierwszePokazanie(); });
  if (!built_) {
    // Left early: the window keeps what was built, laid out and fitted to it (unless
    // that is more than a window can be: a link line in a huge font keeps the design
    // size), and its size stays fixed as on every other path.
    UlozLinieLinku();
    const QSize zasieg = ZasiegKontrolek();
    if (RozmiarOknaDozwolony(zasieg.width(), zasieg.height())) DopasujRozmiar(0);
    setFixedSize(size());
  }
}

void TMainForm::PierwszePokazanie() {
  if (!WczytajKonfiguracje()) return;
  for (std::string& id : TTerminals::PobierzListeIdentyfikatorowTerminali()) identyfikatory_.push_back(std::move(id));

  if (!TTerminals::WersjaProgramuJestDobra()) {
    if (MessageDlg(kKomunikatPrzestarzalaWersja, TMsgDlgType::mtWarning, {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}) ==
        TModalResult::mrOK) {
      provisioning::updateLauncher();
    }
    ZakonczAplikacje();
  }

  const std::string link = TTerminals::PobierzLinkDoStrony();
  if (!link.empty()) {
    labLink_->setText(QString::fromStdString(link));
    pnlLink_->show();
  }

  QPalette p = palette();
  p.setColor(QPalette::Window, ToQColor(StringToColor(TTerminals::PobierzClForm())));
  setPalette(p);

  SetTextColour(pnlLink_, StringToColor(TTerminals::PobierzClText()));
  // Size 0 keeps the fonts' own size, as a font of no height takes the default one.
  const int textSize = RozmiarOkna("textSize", TTerminals::PobierzTextSize());
  QFont panelFont = pnlLink_->font();
  if (textSize > 0) panelFont.setPointSize(textSize);
  pnlLink_->setFont(panelFont);
  SetTextColour(labLink_, StringToColor(TTerminals::PobierzClLink()));
  QFont linkFont = labLink_->font();
  if (textSize > 0) linkFont.setPointSize(textSize);
  labLink_->setFont(linkFont);
  UlozLinieLinku();

  UtworzPrzyciski();

  setWindowTitle(QString::fromStdString(std::string(kTytulOkna) + " v." +
                                        GetFileVersionString(resources::NazwaPlikuProgramu())));

  const int margin = RozmiarOkna("margin", TTerminals::PobierzMargin());
  const QSize zasieg = ZasiegKontrolek();
  SprawdzRozmiarOkna(std::int64_t{zasieg.width()} + margin, std::int64_t{zasieg.height()} + margin);
  DopasujRozmiar(margin);
  setFixedSize(size());
  built_ = true;
}

void TMainForm::UlozLinieLinku() {
  // The link line fits its labels; the link is cut beyond 303 pixels.
  label3_->adjustSize();
  labLink_->adjustSize();
  // The link sits at 58 pixels, or right after "Internet: " where a stand-in font is wider.
  labLink_->move(std::max(58, label3_->width()), 0);
  labLink_->resize(std::min(labLink_->width(), 303), labLink_->height());
  pnlLink_->resize(labLink_->geometry().right() + 1, std::max(label3_->height(), labLink_->height()));
}

QSize TMainForm::ZasiegKontrolek() const {
  int right = 0;
  int bottom = 0;
  for (QObject* child : client_->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w == nullptr || w->isHidden()) continue;
    right = std::max(right, w->x() + w->width());
    bottom = std::max(bottom, w->y() + w->height());
  }
  return {right, bottom};
}

void TMainForm::DopasujRozmiar(int extra) {
  const QSize zasieg = ZasiegKontrolek();
  client_->resize(std::max(zasieg.width() + extra, 0), std::max(zasieg.height() + extra, 0));
  const int border = 2 * client_->x();
  const QSize whole(client_->width() + border, client_->height() + border);
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  // Never narrower than a captioned window may be; what the window holds keeps its
  // place, and the room to its right takes the window's colour.
  resize(std::max(whole.width(), kNajmniejszaSzerokoscOkna), whole.height());
}

void TMainForm::UtworzPrzyciski() {
  for (std::size_t i = 0; i < identyfikatory_.size(); ++i) {
    auto button = std::make_unique<TTerminalButton>();
    const int w = RozmiarOkna("btnWidth", TTerminals::PobierzBtnWidth());
    const int h = RozmiarOkna("btnHeight", TTerminals::PobierzBtnHeight());
    const int margin = RozmiarOkna("margin", TTerminals::PobierzMargin());
    const int topMargin = RozmiarOkna("topMargin", TTerminals::PobierzTopMargin());
    // In 64 bits: with many terminals the rows reach far down before the check stops them.
    const auto n = static_cast<std::int64_t>(i);
    const std::int64_t left = margin + (n % LiczbaKolumn) * w;
    const std::int64_t top = topMargin + (n / LiczbaKolumn) * (h + 2);
    // The window reaches past every button by margin.
    SprawdzRozmiarOkna(left + w + margin, top + h + margin);
    const int index = static_cast<int>(i);
    button->setGeometry(static_cast<int>(left), static_cast<int>(top), w, h);
    button->textSize = RozmiarOkna("btnTextSize", TTerminals::PobierzBtnTextSize());
    button->textColor = StringToColor(TTerminals::PobierzClBtnText());

    TTerminalButton* b = button.release();
    b->setParent(client_);
    b->setFocusPolicy(Qt::NoFocus);
    b->tag = index;
    b->setObjectName(QString("t%1").arg(index));
    b->onClick = [this, b] { ButtonClick(b); };
    b->onEnter = [this, b] { ButtonMouseEnter(b); };
    b->onLeave = [this, b] { ButtonMouseLeave(b); };
    b->show();
    buttons_.push_back(b);
    RysujPrzycisk(b, StringToColor(TTerminals::PobierzClBtnNormal()));
  }
}

void TMainForm::RysujPrzycisk(TTerminalButton* button, graphics::TColor kolor) {
  TTerminals::WczytajDaneTerminala(identyfikatory_.at(static_cast<std::size_t>(button->tag)));
  const int W = button->width();
  const int H = button->height();
  QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
  image.fill(Qt::white);
  const QColor fill = ToQColor(kolor);
  const QColor frame = ToQColor(StringToColor(TTerminals::PobierzClBtnFrame()));
  QPainter painter(&image);
  painter.fillRect(0, 0, W, H, fill);
  painter.setPen(QPen(frame, 0));
  painter.setBrush(Qt::NoBrush);
  if (W > 0 && H > 0) painter.drawRect(0, 0, W - 1, H - 1);

  const int ppi = logicalDpiY() > 0 ? logicalDpiY() : 96;
  const int F = graphics::FontHeightForSize(button->textSize, ppi);
  QFont font("Arial");
  font.setBold(true);
  if (F != 0) font.setPixelSize(std::abs(F));
  painter.setFont(font);
  painter.setPen(ToQColor(button->textColor));
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.setBackground(fill);
  const int x = H + 5;
  const int y = (H + F) / 2 - 2;
  const QString name = QString::fromStdString(TTerminal::PobierzNazwe());
  painter.drawText(QRect(x, y, std::max(W - x, 0), std::max(H - y, 0) + 1000), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   name);

  try {
    if (TTerminal::PlikIkonyIstnieje()) {
      const auto icon = TTerminal::WczytajPlikIkony();
      if (icon && !icon->Empty() && H - 5 > 0) painter.drawImage(QRect(2, 2, H - 5, H - 5), icon->Image());
    }
  } catch (...) {
    // A missing or broken icon leaves the button without one, silently.
  }
  painter.end();
  button->picture = image;
  button->setPixmap(QPixmap::fromImage(image));
}

void TMainForm::ButtonMouseEnter(TTerminalButton* button) {
  ZRaportemBledu([&] { RysujPrzycisk(button, StringToColor(TTerminals::PobierzClBtnHighlight())); });
}

void TMainForm::ButtonMouseLeave(TTerminalButton* button) {
  ZRaportemBledu([&] { RysujPrzycisk(button, StringToColor(TTerminals::PobierzClBtnNormal())); });
}

void TMainForm::ButtonClick(TTerminalButton* button) {
  // Asked to quit on the way (a failed load, a launch outside the client
  // networks): the loop ends once this click has been handled, boxes included.
  struct KoniecPoKliknieciu {
    const bool& zlecone;
    ~KoniecPoKliknieciu() {
      if (zlecone) QCoreApplication::exit(0);
    }
  } koniec{quitRequested_};
  try {
    if (!WczytajKonfiguracje()) return;
  } catch (...) {
    // The load reports its own failures; whatever else escapes it does not stop the launch.
  }
  try {
    const std::string id = identyfikatory_.at(static_cast<std::size_t>(button->tag));
    TTerminals::WczytajDaneTerminala(id);
    TTerminal::virad();
    if (TTerminals::restrictedAccess()) {
      setWindowState(windowState() | Qt::WindowMinimized);
    } else {
      ZakonczAplikacje();
    }
  } catch (const std::exception& e) {
    MessageDlg(MessageOf(e), TMsgDlgType::mtError, {TMsgDlgBtn::mbOK});
  }
}

void TMainForm::labLinkClick() {
  shell::ShellExecute("open", labLink_->text().toStdString(), "", "", shell::ShowCommand::Show);
}

void TMainForm::setVisible(bool visible) {
  if (visible && !centred_) {
    FormShow();
    // Centred on the work area with the size the first show gave it; a window taller
    // or wider than that keeps its caption and first buttons on screen and reaches
    // past the bottom or right edge. Placed before the window is made on the screen,
    // so that the window manager puts the frame, caption included, where it is asked.
    centred_ = true;
    if (QScreen* s = screen()) CentreInArea(*this, s->availableGeometry().center(), s->availableGeometry());
  }
  QWidget::setVisible(visible);
}

}  // namespace ruv
