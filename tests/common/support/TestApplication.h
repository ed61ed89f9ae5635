#pragma once
// The one QApplication of a Qt test program, made on first use and kept until exit
// (destroying it while Qt's threads still run gains nothing in a test).

#include <QApplication>

namespace ruv::testing {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace ruv::testing
