// The Qt tests' entry: the backend (and with it the one QApplication) is
// made by the first test that needs it and ends after the last.
#include <gtest/gtest.h>

#include "tests/qt/qt_support.h"
#include "tests/qt/leak_suppressions.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  qtsupport::EndBackend();
  return result;
}
