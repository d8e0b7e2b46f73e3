#pragma once
// The program's own objects over the Qt backend in the test's process: the
// fixture that starts the program as RunBrivanta does, with a photo on the
// clipboard or none, and puts a head over a photo; helpers of its tests.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QPainter>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "app/mainframe.h"
#include "app/program_qt.h"
#include "app/state_file.h"
#include "document/tempfolders.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlglasersize.h"
#include "dialogs/dlgprogress.h"
#include "fitting/camera_search.h"
#include "fitting/headtophoto.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "fitting/projection.h"
#include "fitting/texture.h"
#include "framework/test_driver.h"
#include "framework/window_state.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "picture/clipboard_bmp_platform.h"
#include "seams/dialogs.h"
#include "tests/framework/temp_dir.h"
#include "tests/qt/qt_support.h"
#include "views/faceview.h"
#include "views/gl_view_core.h"
#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"

namespace programtest {

using qtsupport::Backend;

constexpr QRgb kBtnFace = qRgb(212, 208, 200);

using qtsupport::ButtonOf;
using qtsupport::Plain;

// A photo whose pixels tell where they lie: red along x, green along y.
inline QImage CodedPhoto(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 255 / (w - 1), y * 255 / (h - 1), 0x80));
  return image;
}

// Top-level windows as the window system was asked to show them.
struct Shown {
  QString title;
  qint64 ms;
  bool topmost;
  bool maximised;
};

class ShowRecorder : public QObject {
 public:
  std::vector<Shown> shown;
  QElapsedTimer clock;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && w->isWindow())
        shown.push_back({w->windowTitle(), clock.elapsed(), bool(w->windowFlags() & Qt::WindowStaysOnTopHint),
                         w->isMaximized() || (w->windowState() & Qt::WindowMaximized)});
    }
    return false;
  }
};

class ProgramTest : public qtsupport::QtTest {
 protected:
  void SetUp() override {
    QtTest::SetUp();
    previousTmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", tmp.path().c_str(), 1);
    files::ResetTempFolder();
    resetModelState();
    brv::InstallBmpPlatform();
    qApp->installEventFilter(&recorder);
    // The start-up's 3 s pause is kept whole only where a test looks at it.
    Backend().SetSleepLimit(600);
  }
  void TearDown() override {
    qApp->removeEventFilter(&recorder);
    Backend().SetSleepLimit(0);
    Stop();
    WatchProgramState(Backend(), "");
    QtTest::TearDown();
    if (previousTmp_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", previousTmp_.c_str(), 1);
    files::ResetTempFolder();
    resetModelState();
  }

  // Starts the program as RunBrivanta does (args after the program's name;
  // "--full" the full mode), with `clipboard` on the clipboard (a null
  // image: an empty clipboard). True when the start-up returned TRUE.
  bool Start(std::vector<std::string> args, const QImage& clipboard) {
    QClipboard* c = QGuiApplication::clipboard();
    if (clipboard.isNull())
      c->clear();
    else
      c->setImage(clipboard);
    qtsupport::Pump();
    app = std::make_unique<CFaceApp>();
    std::vector<std::string> rest{"brivanta"};
    for (const std::string& a : args)
      if (a == "--full")
        app->pictureEditorMode = 0;
      else
        rest.push_back(a);
    app->SetWindowsCommandLine(rest);
    recorder.shown.clear();
    recorder.clock.start();
    startDialogs.clear();
    bool ok = false;
    qtsupport::Run([&] { ok = app->InitInstance(); });
    return ok;
  }
  void Stop() {
    if (!app) return;
    qtsupport::Run([&] {
      if (app->m_pMainWnd && ::IsWindow(app->m_pMainWnd->m_hWnd)) app->m_pMainWnd->DestroyWindow();
    });
    app->ExitInstance();
    app.reset();
    ResetWindows();
  }

  CMainFrame& Frame() { return *app->Frame(); }
  HWND FrameWnd() { return Frame().m_hWnd; }
  CFaceDoc& Doc() { return *actdoc; }
  CFaceView* View(const char* name) { return dynamic_cast<CFaceView*>(Doc().GetView(name)); }
  QMenuBar* Bar() { return Backend().TopWidget(FrameWnd())->findChild<QMenuBar*>(); }

  void ChooseMenu(const QString& menu, const QString& item) { qtsupport::ChooseMenu(Bar(), menu, item); }

  // The first tick of the frame's timer 2 has run (the active view is the
  // photo with marks and layout 1 was set). In the full mode it asks for a
  // photo, then for a head: both file dialogs are cancelled and their
  // titles kept.
  bool FirstTickDone() {
    for (int i = 0; i < 2; ++i)
      Backend().ScriptDialog([this](QWidget* dialog) {
        startDialogs.push_back(dialog->windowTitle().toStdString());
        dialog->close();
      });
    bool done = qtsupport::WaitFor([&] {
      return Backend().Exited() ||
             std::none_of(brv::State().timers.begin(), brv::State().timers.end(),
                          [&](const brv::TimerRecord& t) { return t.window == FrameWnd() && t.id == 2; });
    });
    qtsupport::Pump();
    Backend().ClearDialogScripts();
    return done;
  }
  std::vector<std::string> startDialogs;

  // Template 122 over the coded photo, the views fitted to it: the scene
  // the views show once a head is made.
  void HeadOverPhoto() {
    CFaceDoc& d = Doc();
    QImage photo = CodedPhoto(1024, 768);
    // Through a file, as a photo comes: the project keeps its bytes.
    const std::string png = tmp / "photo.png";
    photo.save(QString::fromStdString(png));
    qtsupport::Run([&] {
      d.templateId = 122;
      d.LoadTHEResource(122, true);
      // The whole picture, as without a start page.
      svc::StartPage* page = svc::startPage();
      svc::setStartPage(nullptr);
      d.kernel2D->LoadPicFile(CString(png.c_str()));
      svc::setStartPage(page);
      d.kernel2D->InitPicture();
      d.stage = 1000;
      for (const char* name : {"ViewOrigPhoto", "ViewOrig2D"}) View(name)->FitInView();
      for (const char* name : {"ViewEdit2D3D", "ViewEdit3D"}) {
        CFaceView* v = View(name);
        v->defaultEyeDistance = 400;
        v->ClearAllViewSettings();
        v->FitToPhoto(1024, 768, 0, 0);
      }
      dynamic_cast<CViewEdit3D*>(View("ViewEdit3D"))->InitializeModelForOpenGL();
      dynamic_cast<CViewEdit2D3D*>(View("ViewEdit2D3D"))->InitializeModelForOpenGL();
      Frame().OnViews4b();
      for (const char* name : {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit2D3D", "ViewEdit3D"}) {
        View(name)->Invalidate(FALSE);
        View(name)->UpdateWindow();
      }
    });
    qtsupport::Pump();
  }

  // The head fitted to the photo through marks a known camera sees, and
  // textured at 512: stage 2500, ready for the exports.
  void TexturedHead() {
    HeadOverPhoto();
    CFaceDoc& d = Doc();
    qtsupport::Run([&] {
      ProjectionCore known;
      vector3<double> eye, center, up;
      CalculateEyeFromAngles({0, 0, 480}, {0, 0, 0}, {0, 1, 0}, -6 * M_PI / 180, 12 * M_PI / 180, 0, &eye, &center,
                             &up);
      known.setClientSize(1023, 767);
      known.setCamera(eye, center, up, 28.0);
      known.FitToPhoto(1024, 768, 0, 0);
      const htraf3<double> toPhoto = known.OpenGL2htraf() * known.cl2bmp_HTRAF3();
      head3& head = *d.kernel3D->head;
      head2& marks = *d.kernel2D->head;
      CString code;
      for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
        Index<featurepoint3> f = head.getFeaturepoint(code, true);
        if (!GoodInfoCode(0, code) || f == -1) continue;
        const vector3<double> q = (head.featurepoints[f].point() * toPhoto).vec3();
        Index<featurepoint2> p = marks.photoPoints.add_new(code);
        marks.photoPoints[p].position = vector2<double>(q.x, q.y);
      }
      d.CameraView();
      HeadToPhotoTrafo();
      d.textureSize = 512;
      MakeFullTexture(7u);
      d.stage = 2500;
    });
    qtsupport::Pump();
  }

  // The pixels Qt shows of a view's client area.
  QImage Shows(CFaceView* v) {
    QImage grab = qtsupport::Grab(FrameWnd());
    CRect at = brv::ClientOnSurface(v->m_hWnd);
    return grab.copy(at.left, at.top, at.Width(), at.Height());
  }

  TempDir tmp;
  ShowRecorder recorder;
  std::unique_ptr<CFaceApp> app;

 private:
  std::string previousTmp_;
};

}  // namespace programtest
