// The program's own objects over the Qt backend, in the test's process
// (offscreen, and again under an X server): the start in the picture-editor
// mode with a photo on the clipboard and with an empty one, the full mode's
// first tick, the frame and its panes as Qt shows them with the head in the
// 3D view, commands through real Qt events, the model page's slider, the
// close box and input while the progress window is open.
#include "framework/window_state.h"
#include "tests/qt/program_fixture.h"

namespace {

using namespace programtest;

// ---------------------------------------------------------------- start

// The command line as the program reads it: a POSIX path is the file to
// open, even though it begins with "/"; "-" switches stay switches.
TEST(ProgramCommandLineTest, PathsAndSwitches) {
  struct Case {
    const char* line;
    const char* file;
    bool embedded;
  } cases[] = {
      {"/home/anna/anna.fac", "/home/anna/anna.fac", false},
      {"\"/tmp/a b/x.fac\"", "/tmp/a b/x.fac", false},
      {"/x.fac", "/x.fac", false},
      {"x.fac", "x.fac", false},
      {"-Embedding /home/x.fac", "/home/x.fac", true},
      {"-Embedding", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    CWinApp app("Brivanta");
    app.SetCommandLine(c.line);
    CCommandLineInfo info;
    app.ParseCommandLine(info);
    EXPECT_EQ(std::string(info.m_strFileName.View()), c.file);
    EXPECT_EQ(bool(info.m_bRunEmbedded), c.embedded);
  }
}

// The program itself without a display: it says how to run it and ends
// with 2, before any window or file is touched.
TEST(ProgramDisplayTest, WithoutADisplayTheProgramEndsWith2) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  TempDir tmp;
  env.insert("TMPDIR", QString::fromStdString(tmp.path()));
  p.setProcessEnvironment(env);
  p.start(BRIVANTA_PROGRAM, {"--full"});
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_EQ(p.readAllStandardError().toStdString(), "No display: run under xvfb-run or set DISPLAY.\n");
  EXPECT_EQ(p.readAllStandardOutput().toStdString(), "");
  EXPECT_FALSE(std::filesystem::exists(tmp / "fmtmp"));
}

TEST_F(ProgramTest, PictureEditorModeStartsOnTheClipboardPhoto) {
  Backend().SetSleepLimit(0);
  const QImage photo = CodedPhoto(1024, 768);
  ASSERT_TRUE(Start({}, photo));
  // The splash first, topmost, then the maximised frame: both shown before
  // the start-up's pause ended; the splash is gone after it.
  ASSERT_GE(recorder.shown.size(), 2u);
  EXPECT_EQ(recorder.shown[0].title.toStdString(), "About Brivanta");
  EXPECT_TRUE(std::any_of(recorder.shown.begin(), recorder.shown.end(),
                          [](const Shown& s) { return s.title == "About Brivanta" && s.topmost; }));
  const Shown& frameShown = recorder.shown.back();
  EXPECT_EQ(frameShown.title.toStdString(), "Untitled - Brivanta");
  EXPECT_LE(recorder.shown[0].ms, frameShown.ms);
  EXPECT_GE(recorder.clock.elapsed() - frameShown.ms, 2900);
  EXPECT_EQ(brv::HeadlessDriver::FindDialog(312), nullptr);
  // The picture-editor mode has no menu at all: no bar.
  EXPECT_TRUE(Bar() == nullptr || !Bar()->isVisible() || Bar()->actions().isEmpty());
  // Maximised: the frame covers the screen the framework knows; Qt shows
  // the whole client.
  EXPECT_TRUE(Frame().IsZoomed());
  CRect client;
  Frame().GetClientRect(&client);
  EXPECT_EQ(Backend().SurfaceWidget(FrameWnd())->size(), QSize(client.Width(), client.Height()));
  EXPECT_GE(client.Width(), ::GetSystemMetrics(SM_CXSCREEN) - 16);

  ASSERT_TRUE(FirstTickDone());
  ASSERT_FALSE(Backend().Exited());
  EXPECT_EQ(startDialogs, std::vector<std::string>{});
  EXPECT_EQ(Doc().stage, 1000);
  // The clipboard's pixels reached the working photo unchanged.
  const CWinBmp& bmp = Doc().kernel2D->photo;
  ASSERT_EQ(bmp.GetWidth(), 1024);
  ASSERT_EQ(bmp.GetHeight(), 768);
  for (QPoint p : {QPoint(0, 0), QPoint(1023, 0), QPoint(512, 384), QPoint(1023, 767), QPoint(3, 700)}) {
    CPixel32 q = bmp.GetPixel(p.x(), p.y());
    EXPECT_EQ(qRgb(q.GetR(), q.GetG(), q.GetB()), photo.pixel(p)) << p.x() << "," << p.y();
  }
  // The photo with marks fills the frame and Qt shows the photo in it:
  // each client point shows the photo pixel the view's map puts there.
  CFaceView* marks = View("ViewOrig2D");
  EXPECT_EQ(Frame().layout, 1);
  EXPECT_EQ(Frame().GetActiveView(), marks);
  qtsupport::PumpFor(100);
  const QImage shown = Shows(marks);
  qtsupport::Save(qtsupport::Grab(FrameWnd()), "program_picture_editor");
  const lintraf11 toPhoto = marks->map.cl2bmp();
  int checked = 0;
  for (int y = shown.height() / 8; y < shown.height(); y += shown.height() / 4)
    for (int x = shown.width() / 8; x < shown.width(); x += shown.width() / 4) {
      vector2<double> p = toPhoto.traf(x + 0.5, y + 0.5);
      if (p.x < 1 || p.y < 1 || p.x > 1022 || p.y > 766) continue;
      QRgb want = photo.pixel(int(p.x), int(p.y));
      QRgb got = shown.pixel(x, y);
      EXPECT_LE(std::abs(qRed(got) - qRed(want)), 2) << x << "," << y;
      EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), 2) << x << "," << y;
      EXPECT_EQ(qBlue(got), 0x80);
      ++checked;
    }
  EXPECT_GE(checked, 8);

  // The step-1 page of the mode, with its age and weight sliders, is on the
  // screen over the frame, 2 pixels inside the frame's client area.
  CDlgFeatures2* page = Frame().pointDialog;
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(::IsWindow(page->m_hWnd));
  EXPECT_EQ(page->m_nIDTemplate, 328u);
  QWidget* pageTop = Backend().TopWidget(page->m_hWnd);
  ASSERT_NE(pageTop, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pageTop->windowHandle()));
  EXPECT_EQ(pageTop->windowTitle().toStdString(), "Points");
  EXPECT_TRUE(std::any_of(recorder.shown.begin(), recorder.shown.end(),
                          [](const Shown& s) { return s.title == "Points"; }));
  QWidget* pageSurface = Backend().SurfaceWidget(page->m_hWnd);
  QWidget* frameSurface = Backend().SurfaceWidget(FrameWnd());
  const QPoint pageAt = pageSurface->mapToGlobal(QPoint(0, 0)), frameAt = frameSurface->mapToGlobal(QPoint(0, 0));
  CRect pageWindow;
  page->GetWindowRect(&pageWindow);
  CPoint corner(0, 0);
  Frame().ClientToScreen(&corner);
  EXPECT_EQ(pageWindow.TopLeft(), CPoint(corner.x + 2, corner.y + 2));
  struct SliderCase {
    int id, value;
  } sliders[] = {{1087, 0}, {1102, 3}};
  for (const SliderCase& c : sliders) {
    auto* slider = qobject_cast<QSlider*>(Backend().ControlWidget(::GetDlgItem(page->m_hWnd, c.id)));
    ASSERT_NE(slider, nullptr) << c.id;
    EXPECT_TRUE(slider->isVisible()) << c.id;
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 6);
    EXPECT_EQ(slider->pageStep(), 1);
    EXPECT_EQ(slider->value(), c.value) << c.id;
  }
  // The page asks for the first point: its marker flashes.
  EXPECT_TRUE(page->flashing);
  // What the screen shows: under X the server's own picture; offscreen the
  // page's window laid over the frame's, where the platform stacks them.
  QImage pageShown = qtsupport::Grab(page->m_hWnd);
  QImage screen;
  if (qtsupport::OnX11()) {
    screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  } else {
    screen = QImage(frameAt.x() + frameSurface->width(), frameAt.y() + frameSurface->height(), QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter paint(&screen);
    paint.drawImage(frameAt, qtsupport::Grab(FrameWnd()));
    paint.drawImage(pageAt, pageShown);
  }
  qtsupport::Save(screen, "program_picture_editor_screen");
  qtsupport::Save(pageShown, "program_step1_page");
  ASSERT_FALSE(screen.isNull());
  // The page: every pixel the framework draws as the page shows it, but
  // for its flashing marker, which may have changed between the two
  // pictures (Qt paints its own controls anew for a grab, in the colours of
  // the moment).
  const QRect pageRect(pageAt, pageShown.size());
  QRect marker;
  {
    CFaceView* photoView = View("ViewOrig2D");
    CString code, name;
    double weight = 0;
    int kind = 0, px = 0, py = 0;
    ASSERT_GE(photoView->currentRow, 0);
    ASSERT_TRUE(GetFeaturePointInfo(photoView->currentRow, &code, nullptr, &weight, &kind, &px, &py));
    EXPECT_EQ(kind, 3) << "a main point is asked first";
    // The preview unscaled, centred across the page and in the height above
    // the hint line less 5; the marker at the preview's centre line plus
    // the row's preview x, and the row's preview y.
    CRect client, hint;
    page->GetClientRect(&client);
    page->GetDlgItem(1140)->GetWindowRect(&hint);
    page->ScreenToClient(&hint);
    const int w = page->preview.GetWidth(), h = page->preview.GetHeight();
    const int left = (client.Width() - w) / 2, top = std::max(0, (hint.top - 5 - h) / 2);
    marker = QRect(left + w / 2 + px - 8, top + py - 8, 17, 17);
  }
  ASSERT_TRUE(pageRect.contains(pageRect.topLeft() + marker.bottomRight()));
  const std::vector<QRect> controls = qtsupport::ControlWidgetRects(page->m_hWnd);
  EXPECT_GE(controls.size(), 5u);
  int differ = 0;
  QRect where;
  for (int y = 0; y < pageShown.height(); ++y)
    for (int x = 0; x < pageShown.width(); ++x)
      if (!marker.contains(x, y) &&
          std::none_of(controls.begin(), controls.end(), [&](const QRect& r) { return r.contains(x, y); }) &&
          (screen.pixel(pageAt + QPoint(x, y)) & 0xFFFFFF) != (pageShown.pixel(x, y) & 0xFFFFFF))
        ++differ, where |= QRect(x, y, 1, 1);
  EXPECT_EQ(differ, 0) << where.x() << "," << where.y() << " " << where.width() << "x" << where.height() << " page at "
                       << pageAt.x() << "," << pageAt.y();
  // Beside the page the photo shows through the frame.
  const QImage frameGrab = qtsupport::Grab(FrameWnd());
  int photoPixels = 0;
  for (int y = 20; y < frameGrab.height(); y += 37)
    for (int x = 20; x < frameGrab.width(); x += 41) {
      const QPoint at = frameAt + QPoint(x, y);
      if (pageRect.adjusted(-10, -40, 10, 10).contains(at) || !screen.rect().contains(at)) continue;
      EXPECT_EQ(screen.pixel(at) & 0xFFFFFF, frameGrab.pixel(x, y) & 0xFFFFFF) << x << "," << y;
      photoPixels += (frameGrab.pixel(x, y) & 0xFF) == 0x80;
    }
  EXPECT_GT(photoPixels, 100);

  // The flashing marker on the screen: two pictures of the page a tick
  // apart (timer 1, 400 ms) differ inside the marker's square only, where
  // the disc grew from radius 2 to 8 or shrank back.
  auto tick = [&] {
    const int radius = page->markerRadius;
    EXPECT_TRUE(qtsupport::WaitFor([&] { return page->markerRadius != radius; }, 2000));
    qtsupport::Pump();
  };
  tick();
  const QImage first = qtsupport::Grab(page->m_hWnd);
  const int firstRadius = page->markerRadius;
  tick();
  const QImage second = qtsupport::Grab(page->m_hWnd);
  // The ticks come from the page's timer 1 at 400 ms; wall-clock gaps between
  // two observed ticks say little on a loaded machine.
  const auto& timers = brv::State().timers;
  EXPECT_TRUE(std::any_of(timers.begin(), timers.end(), [&](const brv::TimerRecord& t) {
    return t.window == page->m_hWnd && t.id == 1 && t.interval == 400;
  }));
  EXPECT_NE(page->markerRadius, firstRadius);
  qtsupport::Save(first, "program_step1_marker_a");
  qtsupport::Save(second, "program_step1_marker_b");
  ASSERT_EQ(first.size(), second.size());
  QRect changed;
  int blueInBig = 0;
  const QImage& big = firstRadius == 8 ? first : second;
  for (int y = 0; y < first.height(); ++y)
    for (int x = 0; x < first.width(); ++x) {
      if ((first.pixel(x, y) & 0xFFFFFF) != (second.pixel(x, y) & 0xFFFFFF)) changed |= QRect(x, y, 1, 1);
      if (marker.contains(x, y) && (big.pixel(x, y) & 0xFFFFFF) == 0x0000FF) ++blueInBig;
    }
  EXPECT_FALSE(changed.isEmpty());
  EXPECT_TRUE(marker.contains(changed)) << changed.x() << "," << changed.y() << " " << changed.width() << "x"
                                        << changed.height();
  // The disc of radius 8 fills most of its square.
  EXPECT_GT(blueInBig, 17 * 17 / 2);
}

TEST_F(ProgramTest, PictureEditorModeWithAnEmptyClipboardEnds0) {
  std::string text, caption;
  Backend().ScriptDialog([&](QWidget* box) {
    auto* m = qobject_cast<QMessageBox*>(box);
    ASSERT_NE(m, nullptr);
    text = m->text().toStdString();
    caption = box->windowTitle().toStdString();
    QTest::mouseClick(ButtonOf(box, "OK"), Qt::LeftButton);
  });
  ASSERT_TRUE(Start({}, QImage()));
  ASSERT_TRUE(qtsupport::WaitFor([] { return Backend().Exited(); }, 5000));
  EXPECT_EQ(Backend().ExitCode(), 0);
  EXPECT_EQ(text, "Wrong picture size");
  EXPECT_EQ(caption, "Error");
}

TEST_F(ProgramTest, FullModeFrameMenusAndFirstTick) {
  ASSERT_TRUE(Start({"--full"}, QImage()));
  // The frame's menus as Qt shows them: the model's, "Help" removed.
  ASSERT_NE(Bar(), nullptr);
  std::vector<std::string> shown;
  for (QAction* a : Bar()->actions()) shown.push_back(Plain(a->text()).toStdString());
  std::vector<std::string> model;
  CMenu* bar = Frame().GetMenu();
  ASSERT_NE(bar, nullptr);
  for (UINT i = 0; i < bar->GetMenuItemCount(); ++i) {
    CString t;
    bar->GetMenuString(i, t, MF_BYPOSITION);
    model.push_back(Plain(QString::fromUtf8(t.GetString())).toStdString());
  }
  EXPECT_EQ(shown, model);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Help"), 0);
  EXPECT_EQ(shown.front(), "File");
  // Two panes until the timer's first tick, which makes the photo with
  // marks the one pane.
  EXPECT_EQ(Frame().layout, 2);
  ASSERT_TRUE(FirstTickDone());
  EXPECT_EQ(Frame().layout, 1);
  EXPECT_EQ(Frame().GetActiveView(), View("ViewOrig2D"));
  // What Qt shows is the frame's surface, pixel for pixel.
  qtsupport::PumpFor(100);
  QImage grab = qtsupport::Grab(FrameWnd());
  const brv::Surface& s = *brv::SurfaceOf(FrameWnd());
  ASSERT_EQ(grab.size(), QSize(s.Width(), s.Height()));
  int differ = 0;
  for (int y = 0; y < grab.height(); ++y)
    for (int x = 0; x < grab.width(); ++x)
      if ((grab.pixel(x, y) & 0xFFFFFF) != (s.Pixel(x, y) & 0xFFFFFF)) ++differ;
  EXPECT_EQ(differ, 0);
}

// ---------------------------------------------------------------- the panes

TEST_F(ProgramTest, FourPanesShowThePhotoAndTheHead) {
  ASSERT_TRUE(Start({"--full"}, QImage()));
  ASSERT_TRUE(FirstTickDone());
  HeadOverPhoto();
  EXPECT_EQ(Frame().layout, 4);
  qtsupport::PumpFor(100);
  QImage frame = qtsupport::Grab(FrameWnd());
  qtsupport::Save(frame, "program_four_panes");
  // Each view's client is where the frame's layout put it.
  for (const char* name : {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit2D3D", "ViewEdit3D"}) {
    SCOPED_TRACE(name);
    CRect at = brv::ClientOnSurface(View(name)->m_hWnd);
    EXPECT_GT(at.Width(), 100);
    EXPECT_GT(at.Height(), 100);
    EXPECT_TRUE(QRect(QPoint(0, 0), frame.size()).contains(QRect(at.left, at.top, at.Width(), at.Height())));
  }
  // The 3D view shows the head: inside the head's projected box the pixels
  // are the head's, not the dialog grey nor the background.
  CFaceView* v3 = View("ViewEdit3D");
  ASSERT_NE(v3, nullptr);
  const head3& head = *Doc().kernel3D->head;
  const htraf3<double> toClient = v3->Core()->OpenGL2htraf();
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  for (int k = head.vertices.first(); k != -1; k = head.vertices.nextOf(k)) {
    vector3<double> q = (head.vertices[k].position * toClient).vec3();
    x0 = std::min(x0, q.x), x1 = std::max(x1, q.x), y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
  }
  QImage shown = Shows(v3);
  ASSERT_LT(x0, x1);
  QRect box = QRect(QPoint(int(x0), int(y0)), QPoint(int(x1), int(y1))).intersected(shown.rect());
  ASSERT_GT(box.width(), 50);
  ASSERT_GT(box.height(), 50);
  const QRgb background = shown.pixel(2, shown.height() / 2);
  int head3dPixels = 0, all = 0;
  for (int y = box.top() + box.height() / 4; y < box.bottom() - box.height() / 4; ++y)
    for (int x = box.left() + box.width() / 4; x < box.right() - box.width() / 4; ++x, ++all) {
      QRgb p = shown.pixel(x, y) & 0xFFFFFF;
      if (p != (kBtnFace & 0xFFFFFF) && p != (background & 0xFFFFFF)) ++head3dPixels;
    }
  EXPECT_GT(head3dPixels, all * 9 / 10) << head3dPixels << " of " << all;
  // Outside the box the background.
  EXPECT_EQ(shown.pixel(2, 2) & 0xFFFFFF, background & 0xFFFFFF);
  qtsupport::Save(shown, "program_3d_view");
  // The state file's head-to-client map of the 3D view puts the head's
  // vertices exactly over the head's pixels: their box is the box of the
  // pixels that are not background.
  {
    QJsonObject state = QJsonDocument::fromJson(QByteArray::fromStdString(DescribeProgramState({}))).object();
    QJsonObject view;
    for (const QJsonValue& v : state["views"].toArray())
      if (v.toObject()["name"].toString() == "ViewEdit3D") view = v.toObject();
    QJsonArray m = view["headToClient"].toArray();
    ASSERT_EQ(m.size(), 16);
    double bx0 = 1e9, by0 = 1e9, bx1 = -1e9, by1 = -1e9;
    for (int k = head.vertices.first(); k != -1; k = head.vertices.nextOf(k)) {
      if (head.vertices[k].triangles.count() == 0) continue;
      const vector3<double>& p = head.vertices[k].position;
      double h[4];
      for (int c = 0; c < 4; ++c)
        h[c] = p.x * m[c].toDouble() + p.y * m[4 + c].toDouble() + p.z * m[8 + c].toDouble() + m[12 + c].toDouble();
      bx0 = std::min(bx0, h[0] / h[3]), bx1 = std::max(bx1, h[0] / h[3]);
      by0 = std::min(by0, h[1] / h[3]), by1 = std::max(by1, h[1] / h[3]);
    }
    int px0 = shown.width(), py0 = shown.height(), px1 = -1, py1 = -1;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        if ((shown.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF) && x > 40 && y > 40 &&
            x < shown.width() - 40 && y < shown.height() - 40) {  // the corner markers aside
          px0 = std::min(px0, x), px1 = std::max(px1, x), py0 = std::min(py0, y), py1 = std::max(py1, y);
        }
    EXPECT_NEAR(px0 + 0.5, bx0, 1.5);
    EXPECT_NEAR(px1 + 0.5, bx1, 1.5);
    EXPECT_NEAR(py0 + 0.5, by0, 1.5);
    EXPECT_NEAR(py1 + 0.5, by1, 1.5);
  }
  // Under X the pixels reached the server: the screen read back by
  // ImageMagick equals the grab inside the frame.
  if (qtsupport::OnX11()) {
    std::string path = tmp / "root.png";
    ASSERT_EQ(QProcess::execute("import", {"-window", "root", QString::fromStdString(path)}), 0);
    QImage screen = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    qtsupport::Save(screen, "program_four_panes_screen");
    QPoint origin = Backend().SurfaceWidget(FrameWnd())->mapToGlobal(QPoint(0, 0));
    QImage part = screen.copy(QRect(origin, frame.size()));
    int differ = 0;
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x)
        if ((frame.pixel(x, y) & 0xFFFFFF) != (part.pixel(x, y) & 0xFFFFFF)) ++differ;
    EXPECT_EQ(differ, 0);
  }
}

// ---------------------------------------------------------------- commands

TEST_F(ProgramTest, CommandsThroughQtEvents) {
  ASSERT_TRUE(Start({"--full"}, QImage()));
  ASSERT_TRUE(FirstTickDone());
  HeadOverPhoto();
  HWND fh = FrameWnd();
  auto activePane = [&] {
    int r = -1, c = -1;
    return Frame().m_wndSplitter.GetActivePane(&r, &c) ? r * 10 + c : -1;
  };
  // F6 in the four panes moves to the next pane.
  int before = activePane();
  qtsupport::KeyClick(fh, Qt::Key_F6);
  EXPECT_NE(activePane(), before);
  int next = activePane();
  EXPECT_EQ((next / 10) * 2 + next % 10, ((before / 10) * 2 + before % 10 + 1) % 4);

  // A click on an inactive view activates it and is swallowed: the move
  // tool's drag pans only once the view is active.
  qtsupport::Run([&] { Frame().OnMove(); });
  CFaceView* photo = View("ViewOrigPhoto");
  if (Frame().GetActiveView() == photo) qtsupport::KeyClick(fh, Qt::Key_F6);
  ASSERT_NE(Frame().GetActiveView(), photo);
  const views::PhotoMap kept = photo->map;
  CRect client;
  photo->GetClientRect(&client);
  auto drag = [&] {
    CPoint a = client.CenterPoint(), b(a.x + 30, a.y + 20);
    qtsupport::Press(*photo, a);
    qtsupport::Move(*photo, b, Qt::LeftButton);
    qtsupport::Release(*photo, b);
  };
  drag();
  EXPECT_EQ(Frame().GetActiveView(), photo);
  EXPECT_EQ(photo->map.offsetX, kept.offsetX);
  EXPECT_EQ(photo->map.offsetY, kept.offsetY);
  drag();
  EXPECT_NE(photo->map.offsetX, kept.offsetX);
  qtsupport::Run([&] { Frame().OnSelect(); });

  // A wheel notch over the photo view zooms it by 1.25.
  const double zoom = photo->map.zoom;
  qtsupport::Wheel(*photo, client.CenterPoint(), 120);
  EXPECT_NEAR(photo->map.zoom, zoom * 1.25, 1e-9);

  // "Full screen" from the menu: one pane.
  ChooseMenu("View", "Full screen");
  EXPECT_EQ(Frame().layout, 1);

  // The close box asks; No keeps the program.
  std::string question, caption;
  Backend().ScriptDialog([&](QWidget* box) {
    question = qobject_cast<QMessageBox*>(box)->text().toStdString();
    caption = box->windowTitle().toStdString();
    ASSERT_NE(ButtonOf(box, "Yes"), nullptr);
    QTest::mouseClick(ButtonOf(box, "No"), Qt::LeftButton);
  });
  Backend().TopWidget(fh)->close();
  qtsupport::Pump();
  EXPECT_EQ(question, "Do you really want to close this program?");
  EXPECT_EQ(caption, "Warning");
  EXPECT_FALSE(Backend().Exited());
  EXPECT_TRUE(::IsWindow(fh));
  EXPECT_TRUE(Backend().TopWidget(fh)->isVisible());
}

// The model page with what each scroll notification did: its code, the
// document's age and the sum of the head's vertices after it.
struct WatchedModelPage : CDlgLaserSize {
  struct Seen {
    UINT code;
    int age;
    vector3<double> vertex;
  };
  std::vector<Seen> seen;
  vector3<double> Vertex() const {
    const head3& h = *actdoc->kernel3D->head;
    vector3<double> sum(0, 0, 0);
    for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) sum = sum + h.vertices[k].position;
    return sum;
  }
  void OnHScroll(UINT code, UINT position, CScrollBar* bar) override {
    CDlgLaserSize::OnHScroll(code, position, bar);
    seen.push_back({code, actdoc->ageSlider, Vertex()});
  }
};

// A drag of the model page's age slider, pressed, moved and released as a
// person does: one TB_THUMBPOSITION, and the age changes once, at the
// release, to where the thumb was let go.
// The picture-editor mode, whose head carries the age shapes.
TEST_F(ProgramTest, ADragOnTheModelPagesAgeSliderChangesTheAgeOnce) {
  ASSERT_TRUE(Start({}, CodedPhoto(640, 480)));
  ASSERT_TRUE(FirstTickDone());
  qtsupport::Run([&] {
    Frame().HideModelessDialogs();
    Doc().templateId = 122;
    Doc().LoadTHEResource(122, true);
    Doc().stage = 2500;
  });
  qtsupport::Pump();
  auto page = std::make_unique<WatchedModelPage>();
  qtsupport::Run([&] { page->Open(&Frame()); });
  qtsupport::Pump();
  ASSERT_NE(page->m_hWnd, nullptr);
  EXPECT_EQ(page->m_nIDTemplate, 329u);
  auto* slider = qobject_cast<QSlider*>(Backend().ControlWidget(::GetDlgItem(page->m_hWnd, 1087)));
  ASSERT_NE(slider, nullptr);
  ASSERT_TRUE(slider->isVisible());
  qtsupport::Save(qtsupport::Grab(FrameWnd()), "program_model_page");
  const int age = Doc().ageSlider;
  EXPECT_EQ(slider->value(), age);
  const vector3<double> before = page->Vertex();
  // Two steps towards the side with room.
  const int step =
      (slider->width() - qtsupport::SliderHandle(slider).width()) / (slider->maximum() - slider->minimum());
  const int dx = (age < slider->maximum() / 2 ? 2 : -2) * step;
  qtsupport::DragSlider(slider, dx, 6);
  ASSERT_FALSE(page->seen.empty());
  int positions = 0, ageChanges = 0, headChanges = 0, last = age;
  vector3<double> lastVertex = before;
  for (const WatchedModelPage::Seen& s : page->seen) {
    positions += s.code == TB_THUMBPOSITION;
    ageChanges += s.age != last;
    headChanges += !(s.vertex.x == lastVertex.x && s.vertex.y == lastVertex.y && s.vertex.z == lastVertex.z);
    last = s.age;
    lastVertex = s.vertex;
  }
  EXPECT_EQ(positions, 1);
  EXPECT_EQ(ageChanges, 1);
  EXPECT_EQ(headChanges, 1);
  EXPECT_EQ(page->seen.back().code, UINT(TB_ENDTRACK));
  const int now = static_cast<CSliderCtrl*>(page->GetDlgItem(1087))->GetPos();
  EXPECT_EQ(now, age + (dx > 0 ? 2 : -2));
  EXPECT_EQ(Doc().ageSlider, now);
  EXPECT_EQ(slider->value(), now);
  // Nothing moved before the thumb was let go.
  for (const WatchedModelPage::Seen& s : page->seen)
    if (s.code == TB_THUMBTRACK) {
      EXPECT_EQ(s.age, age);
    }
  qtsupport::Run([&] { page->DestroyWindow(); });
  qtsupport::Pump();
}

TEST_F(ProgramTest, WhileTheProgressWindowIsOpenClicksOnTheFrameAreDropped) {
  ASSERT_TRUE(Start({"--full"}, QImage()));
  ASSERT_TRUE(FirstTickDone());
  HeadOverPhoto();
  CFaceView* photo = View("ViewOrigPhoto");
  CFaceView* other = View("ViewEdit2D3D");
  qtsupport::Run([&] { Frame().SetActiveView(other); });
  qtsupport::Pump();
  CDlgProgress* progress = app->progressDialog;
  ASSERT_NE(progress, nullptr);
  qtsupport::Run([&] { progress->Open(0, 10, CString("Applying texture"), true); });
  qtsupport::Pump();
  ASSERT_TRUE(progress->m_hWnd != nullptr);
  CRect client;
  photo->GetClientRect(&client);
  const double zoom = photo->map.zoom;
  qtsupport::Click(*photo, client.CenterPoint());
  qtsupport::Wheel(*photo, client.CenterPoint(), 120);
  // The operation goes on: its steps pump what may run now.
  for (int i = 0; i < 3; ++i) qtsupport::Run([&] { EXPECT_EQ(progress->Step(i), 1); });
  qtsupport::Run([&] { progress->Close(); });
  qtsupport::PumpFor(100);
  // Neither the click nor the wheel reached the view, then or later.
  EXPECT_EQ(Frame().GetActiveView(), other);
  EXPECT_EQ(photo->map.zoom, zoom);
  // Afterwards the frame takes input again.
  qtsupport::Click(*photo, client.CenterPoint());
  EXPECT_EQ(Frame().GetActiveView(), photo);
}

}  // namespace
