// The least a Qt Widgets program does to put a window on screen: the yardstick
// for the launcher's start-up time.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("ruv bench window");
  window.resize(420, 292);
  window.show();
  return QApplication::exec();
}
