#include "tests/qt/frame_fixture.h"

#include <QMenuBar>
#include <QTest>

namespace qtapp {

void FrameTest::SetUp() {
  QtTest::SetUp();
  InstallLayouts();
  app = std::make_unique<TestApp>();
  qtsupport::Run([&] { ASSERT_TRUE(app->InitInstance()); });
  frame = app->Frame();
  ASSERT_NE(frame, nullptr);
  fh = frame->m_hWnd;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(fh)));
  qtsupport::Pump();
  Log().clear();
}

void FrameTest::TearDown() {
  ResetWindows();
  app.reset();
  QtTest::TearDown();
}

QMenuBar* FrameTest::Bar() { return qtsupport::Backend().TopWidget(fh)->findChild<QMenuBar*>(); }

}  // namespace qtapp
