#pragma once
#include <memory>

#include "tests/qt/qt_support.h"
#include "tests/qt/test_app.h"

class QMenuBar;

namespace qtapp {

// The tests' fixture: the application started on a fresh windowing state,
// its frame shown, the log empty.
class FrameTest : public qtsupport::QtTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  QMenuBar* Bar();

  std::unique_ptr<TestApp> app;
  AppFrame* frame = nullptr;
  HWND fh = nullptr;
};

}  // namespace qtapp
