// The one QApplication of a test program, on the offscreen platform unless the caller
// chose another.
#pragma once

#include <QApplication>

namespace telvora {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "telvora-qt-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: widgets of a failed test may outlive the tests' static objects.
  static auto* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace telvora
