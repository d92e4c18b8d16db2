// Entry point of the window tests: the one QApplication comes before any test.
#include <gtest/gtest.h>

#include "tests/qt/qt_test_app.h"

int main(int argc, char** argv) {
  telvora::TestApplication();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
