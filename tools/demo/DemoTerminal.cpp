// A stand-in for a terminal program of the demo. It shows how it was started
// (program, working directory, arguments) in a small window and appends the
// same to "terminal.log" in its working directory, so a run without a screen
// leaves a record too.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

#ifndef RUV_DEMO_TERMINAL_TITLE
#define RUV_DEMO_TERMINAL_TITLE "Terminal"
#endif

namespace {

// Every argument between square brackets, so blanks at its ends stay visible.
QStringList Describe(const QStringList& arguments) {
  QStringList lines;
  lines << QStringLiteral("Program: %1").arg(arguments.value(0));
  lines << QStringLiteral("Katalog roboczy: %1").arg(QDir::currentPath());
  for (qsizetype i = 1; i < arguments.size(); ++i)
    lines << QStringLiteral("Argument %1: [%2]").arg(i).arg(arguments[i]);
  if (arguments.size() < 2) lines << QStringLiteral("Brak argumentów");
  return lines;
}

void AppendToLog(const QStringList& lines) {
  QFile log(QStringLiteral("terminal.log"));
  if (!log.open(QIODevice::Append | QIODevice::Text)) return;
  const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODate);
  log.write((stamp + QStringLiteral(" ") + QStringLiteral(RUV_DEMO_TERMINAL_TITLE) + QStringLiteral("\n")).toUtf8());
  for (const QString& line : lines) log.write((QStringLiteral("  ") + line + QStringLiteral("\n")).toUtf8());
}

}  // namespace

int main(int argc, char** argv) {
  // The raw arguments, before QApplication takes the ones it knows.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const QStringList lines = Describe(arguments);
  AppendToLog(lines);

  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral(RUV_DEMO_TERMINAL_TITLE));
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLabel(QStringLiteral("<b>%1</b> — uruchomiono tak:").arg(RUV_DEMO_TERMINAL_TITLE)));
  auto* list = new QListWidget;
  list->addItems(lines);
  layout->addWidget(list);
  auto* close = new QPushButton(QStringLiteral("Zamknij"));
  QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);
  layout->addWidget(close);
  window.resize(520, 220);
  window.show();
  return app.exec();
}
