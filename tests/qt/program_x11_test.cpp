// The real program under an X server, driven from outside as a person
// would drive it: the clipboard filled by xclip, keys and clicks by xdotool,
// the window manager's close request, where things are read from the state
// file the program writes, and the screen read back by ImageMagick.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "picture/clipboard_bmp_platform.h"
#include "picture/winbmp.h"
#include "tests/framework/temp_dir.h"
#include "tests/qt/qt_support.h"

// Xlib last: its macros clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

bool HasX() { return std::getenv("DISPLAY") != nullptr; }

int RunTool(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(20000)) return -1;
  if (out) *out = p.readAllStandardOutput();
  return p.exitCode();
}

// Asks the window to close as a window manager does for its close box.
void CloseRequest(unsigned long window) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XFlush(d);
  XCloseDisplay(d);
}

// Qt claims a selection with the last server time it has seen; the server
// ignores a claim older than the current owner's (xclip's, taken without
// any event reaching this process since). A property change on a window of
// this process brings Qt a fresh time, as the user's input does in the
// program.
void FreshServerTime() {
  QWidget stamp;
  stamp.resize(8, 8);
  stamp.show();
  qtsupport::PumpFor(100);
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  const unsigned char value = 1;
  XChangeProperty(d, static_cast<Window>(stamp.winId()), XInternAtom(d, "BRIVANTA_TIME", False), XA_INTEGER, 8,
                  PropModeReplace, &value, 1);
  XFlush(d);
  XCloseDisplay(d);
  qtsupport::PumpFor(200);
}

// The photo the clipboard carries: red along x, green along y.
QImage CodedPhoto(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 255 / (w - 1), y * 255 / (h - 1), 0x80));
  return image;
}


// The X server's own view of the screen and of the top-level windows (no
// window manager: the program's windows are the root's children).
struct XScreen {
  XScreen() : d(XOpenDisplay(nullptr)) {}
  ~XScreen() {
    if (d) XCloseDisplay(d);
  }
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;
  QImage Grab() {
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* x = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!x) return {};
    QImage out(a.width, a.height, QImage::Format_RGB32);
    for (int y = 0; y < a.height; ++y)
      for (int i = 0; i < a.width; ++i) out.setPixel(i, y, static_cast<QRgb>(XGetPixel(x, i, y)) | 0xFF000000u);
    XDestroyImage(x);
    return out;
  }
  // The mapped top-level windows of that size, where they are.
  std::vector<QRect> Mapped(QSize size) {
    std::vector<QRect> found;
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &n)) return found;
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable && a.width == size.width() &&
          a.height == size.height())
        found.emplace_back(a.x, a.y, a.width, a.height);
    }
    if (children) XFree(children);
    return found;
  }
  // The mapped top-level window of that title (0: none).
  unsigned long Named(const char* title) {
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr, found = 0;
    unsigned n = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
      XWindowAttributes a;
      char* name = nullptr;
      if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable && XFetchName(d, children[i], &name) &&
          name) {
        if (std::string(name) == title) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }
  // The place of a top-level window in the stacking order (higher: above).
  int StackIndex(unsigned long window) {
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned n = 0;
    int at = -1;
    if (!XQueryTree(d, root, &root, &parent, &children, &n)) return at;
    for (unsigned i = 0; i < n; ++i)
      if (children[i] == window) at = static_cast<int>(i);
    if (children) XFree(children);
    return at;
  }
  Display* d;
};

// Of the pixels inside r (a sample of every 4th), the share that is not black.
double NotBlack(const QImage& image, QRect r) {
  r &= image.rect();
  int all = 0, lit = 0;
  for (int y = r.top(); y <= r.bottom(); y += 4)
    for (int x = r.left(); x <= r.right(); x += 4, ++all)
      if ((image.pixel(x, y) & 0xFFFFFF) != 0) ++lit;
  return all ? double(lit) / all : 0;
}

QRect RectOf(const QJsonArray& r) { return QRect(QPoint(r[0].toInt(), r[1].toInt()), QPoint(r[2].toInt() - 1, r[3].toInt() - 1)); }

class ProgramX11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HasX()) GTEST_SKIP() << "needs an X server";
    qtsupport::Backend();  // the QApplication the waits need
    // The leaks Qt, fontconfig and Mesa keep for the process's life.
    std::ifstream mesa(std::string(BRIVANTA_SOURCE_DIR) + "/tests/lsan_suppressions.txt");
    std::stringstream s;
    s << mesa.rdbuf();
    std::ofstream(dir / "lsan.txt") << s.str()
                                    << "leak:libfontconfig\nleak:libQt6Core\nleak:libQt6Gui\nleak:libQt6Widgets\n"
                                       "leak:libQt6XcbQpa\nleak:libxcb\nleak:libX11\nleak:libdbus\nleak:libglib\n";
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "tmp");
  }
  void TearDown() override {
    if (program.state() != QProcess::NotRunning) {
      program.kill();
      program.waitForFinished(5000);
    }
    // The clipboard's owner (xclip) goes with a new owner of nothing.
    RunTool("xclip", {"-selection", "clipboard", "-l", "1", "-i", "/dev/null"});
  }

  void Launch(const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BRIVANTA_STATE_FILE", QString::fromStdString(dir / "state.json"));
    env.insert("TMPDIR", QString::fromStdString(dir / "tmp"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir / "config"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LSAN_OPTIONS", QString::fromStdString("suppressions=" + (dir / "lsan.txt") + ":print_suppressions=0"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    // Another build of the program (a Release one) when named.
    const char* other = std::getenv("BRIVANTA_X_PROGRAM");
    program.start(other && *other ? QString(other) : QString(BRIVANTA_PROGRAM), args);
    ASSERT_TRUE(program.waitForStarted(10000));
  }

  QJsonObject State(int* sequence = nullptr) {
    std::ifstream in(dir / "state.json", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    QJsonObject file = QJsonDocument::fromJson(QByteArray::fromStdString(s.str())).object();
    if (sequence) *sequence = file["sequence"].toInt();
    return file["state"].toObject();
  }
  static constexpr int kAboutBox = 312;
  // The visible window of that layout.
  static QJsonObject Window(const QJsonObject& s, int layout) {
    for (const QJsonValue& w : s["windows"].toArray())
      if (w.toObject()["layout"].toInt() == layout && w.toObject()["visible"].toBool()) return w.toObject();
    return {};
  }
  // Opens a menu of the bar by a click at its title where the state file
  // shows the bar now; a click that came before the bar settled is made
  // again.
  QJsonObject OpenMenu(const QString& title) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      QJsonObject s = WaitState([](const QJsonObject& s) { return !Open(s, "menubar").isEmpty() && Open(s, "menu").isEmpty(); },
                                "the menu bar");
      ClickButton(Open(s, "menubar"), title);
      QElapsedTimer t;
      t.start();
      while (t.elapsed() < 15000 && program.state() == QProcess::Running) {
        QJsonObject now = State();
        if (!Open(now, "menu").isEmpty()) return now;
        QTest::qWait(100);
      }
    }
    ADD_FAILURE() << "the state file never showed the open menu";
    return State();
  }
  // How long a state may take to come: a sanitized build on a loaded machine
  // takes minutes over a step the release build does in a second.
  // BRIVANTA_PLAYER_STEP_TIMEOUT (seconds) sets it, as for the players.
  static qint64 StepDeadlineMs() {
    const char* v = getenv("BRIVANTA_PLAYER_STEP_TIMEOUT");
    const double seconds = v && atof(v) > 0 ? atof(v) : 300.0;
    return qint64(seconds * 1000);
  }
  // Waits until the state file shows cond (a failure only when it never does).
  QJsonObject WaitState(const std::function<bool(const QJsonObject&)>& cond, const char* what) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < StepDeadlineMs()) {
      QJsonObject s = State();
      if (!s.isEmpty() && cond(s)) return s;
      if (program.state() == QProcess::NotRunning) break;
      QTest::qWait(100);
    }
    const QJsonObject s = State();
    std::string shown;
    for (const QJsonValue& w : s["windows"].toArray())
      shown += " " + std::to_string(w["layout"].toInt()) + (w["active"].toBool() ? "(active)" : "");
    ADD_FAILURE() << "the state file never showed " << what << "; stage " << s["stage"].toInt() << ", windows" << shown
                  << ", focus " << Focused(s).id << " in " << Focused(s).page;
    return s;
  }
  // The innermost open window of that kind (message and file: a box).
  static QJsonObject Open(const QJsonObject& s, const QString& kind) {
    QJsonObject found;
    for (const QJsonValue& d : s["openDialogs"].toArray())
      if (d.toObject()["kind"].toString() == kind) found = d.toObject();
    return found;
  }
  static QJsonObject Dialog(const QJsonObject& s) {
    QJsonObject box = Open(s, "message");
    return box.isEmpty() ? Open(s, "file") : box;
  }
  static QJsonObject Frame(const QJsonObject& s) {
    for (const QJsonValue& w : s["windows"].toArray())
      if (w.toObject()["layout"].toInt() == 0 && w.toObject()["visible"].toBool()) return w.toObject();
    return {};
  }
  static QJsonObject View(const QJsonObject& s, const QString& name) {
    for (const QJsonValue& v : s["views"].toArray())
      if (v.toObject()["name"].toString() == name) return v.toObject();
    return {};
  }
  void ClickAt(const QJsonArray& rect) {
    int x = (rect[0].toInt() + rect[2].toInt()) / 2, y = (rect[1].toInt() + rect[3].toInt()) / 2;
    EXPECT_EQ(RunTool("xdotool", {"mousemove", QString::number(x), QString::number(y), "click", "1"}), 0);
  }
  void ClickButton(const QJsonObject& dialog, const QString& text) {
    for (const QJsonValue& b : dialog["buttons"].toArray())
      if (b.toObject()["text"].toString() == text) return ClickAt(b.toObject()["rect"].toArray());
    ADD_FAILURE() << "no button " << text.toStdString();
  }
  // The frame's X window: the program's by its title. Without --all xdotool
  // takes a window matching any one condition, a step page of the program too.
  unsigned long FrameWindow(const QJsonObject& s) {
    QByteArray out;
    QString title = Frame(s)["title"].toString();
    EXPECT_EQ(RunTool("xdotool", {"search", "--all", "--onlyvisible", "--pid", QString::number(program.processId()), "--name",
                                  "^" + QRegularExpression::escape(title) + "$"},
                      &out),
              0);
    return out.split('\n').front().toULong();
  }
  int WaitEnd() {
    EXPECT_TRUE(program.waitForFinished(int(StepDeadlineMs())));
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
  }
  QImage Screen(const std::string& name) {
    std::string path = dir / (name + ".png");
    EXPECT_EQ(RunTool("import", {"-window", "root", QString::fromStdString(path)}), 0);
    QImage image = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    qtsupport::Save(image, name);
    return image;
  }

  // The picture-editor mode on the coded photo: the point page open.
  QJsonObject StartOnPhoto() {
    std::string png = dir / "photo.png";
    EXPECT_TRUE(CodedPhoto(1024, 768).save(QString::fromStdString(png)));
    EXPECT_EQ(RunTool("sh", {"-c", QString::fromStdString("xclip -selection clipboard -t image/png -i '" + png +
                                                           "' >/dev/null 2>&1")}),
              0);
    Launch({});
    return WaitState(
        [](const QJsonObject& s) { return s["stage"].toInt() == 1000 && !Page(s, 328).isEmpty(); },
        "the point page");
  }
  static QJsonObject Page(const QJsonObject& s, int layout) {
    for (const QJsonValue& w : s["windows"].toArray())
      if (w.toObject()["layout"].toInt() == layout && w.toObject()["visible"].toBool()) return w.toObject();
    for (const QJsonValue& w : s["windows"].toArray())
      for (const QJsonValue& d : w.toObject()["dialogs"].toArray())
        if (d.toObject()["layout"].toInt() == layout && d.toObject()["visible"].toBool()) return d.toObject();
    return {};
  }
  static QJsonObject Control(const QJsonObject& s, int id) {
    for (const QJsonValue& w : s["windows"].toArray())
      for (const QJsonValue& c : w.toObject()["controls"].toArray())
        if (c.toObject()["id"].toInt() == id && c.toObject()["visible"].toBool()) return c.toObject();
    return {};
  }
  // Three marks on the photo where a face's eyes and mouth would be.
  QJsonObject PlaceMarks(QJsonObject s) {
    for (QPointF p : {QPointF(380, 330), QPointF(640, 330), QPointF(512, 560)}) {
      const int before = s["points"].toObject()["photo"].toArray().size();
      QJsonObject v = View(s, "ViewOrig2D");
      QJsonArray r = v["rect"].toArray(), m = v["photoToClient"].toArray();
      int x = r[0].toInt() + int(m[0].toDouble() * p.x() + m[1].toDouble());
      int y = r[1].toInt() + int(m[2].toDouble() * p.y() + m[3].toDouble());
      EXPECT_EQ(RunTool("xdotool", {"mousemove", QString::number(x), QString::number(y), "click", "1"}), 0);
      s = WaitState([&](const QJsonObject& s) { return s["points"].toObject()["photo"].toArray().size() > before; }, "a mark");
    }
    return s;
  }
  // Where the overlay view shows each head point, less where it shows the
  // point's mark, in photo pixels: what stays when the head stays on the photo.
  static std::map<std::string, QPointF> HeadOffPhoto(const QJsonObject& s) {
    std::map<std::string, QPointF> off;
    QJsonObject v = View(s, "ViewEdit2D3D");
    QJsonArray m = v["headToClient"].toArray(), p = v["photoToClient"].toArray();
    if (m.size() != 16 || p.size() != 4) return off;
    std::map<std::string, QPointF> photo;
    for (const QJsonValue& q : s["points"].toObject()["photo"].toArray())
      photo[q["name"].toString().toStdString()] = QPointF(q["at"][0].toDouble(), q["at"][1].toDouble());
    for (const QJsonValue& q : s["points"].toObject()["head"].toArray()) {
      auto it = photo.find(q["name"].toString().toStdString());
      if (it == photo.end()) continue;
      double h[4];
      for (int c = 0; c < 4; ++c)
        h[c] = q["at"][0].toDouble() * m[c].toDouble() + q["at"][1].toDouble() * m[4 + c].toDouble() +
               q["at"][2].toDouble() * m[8 + c].toDouble() + m[12 + c].toDouble();
      if (h[3] == 0) continue;
      QPointF shown((h[0] / h[3] - p[1].toDouble()) / p[0].toDouble(), (h[1] / h[3] - p[3].toDouble()) / p[2].toDouble());
      off[it->first] = shown - it->second;
    }
    return off;
  }

  // The focused control: its id and the layout of the window or page it is in.
  struct Focus {
    int id = 0, page = 0;
    bool operator==(const Focus&) const = default;
  };
  static Focus Focused(const QJsonObject& s) {
    for (const QJsonValue& w : s["windows"].toArray()) {
      const QJsonArray cs = w["controls"].toArray();
      for (int i = 0; i < cs.size(); ++i) {
        if (!cs[i]["focused"].toBool()) continue;
        // Child pages list their controls inside their window's.
        int page = w["layout"].toInt();
        const QJsonArray pages = w["dialogs"].toArray();
        for (const QJsonValue& d : pages) {
          const QRect c = RectOf(d["client"].toArray()), r = RectOf(cs[i]["rect"].toArray());
          if (d["visible"].toBool() && c.contains(r)) page = d["layout"].toInt();
        }
        return {cs[i]["id"].toInt(), page};
      }
    }
    return {};
  }
  // A key as xdotool names it, then the state it leads to.
  QJsonObject Press(const char* key, const std::function<bool(const QJsonObject&)>& cond, const char* what) {
    EXPECT_EQ(RunTool("xdotool", {"key", key}), 0) << key;
    return WaitState(cond, what);
  }
  // Tab until the control has the focus.
  QJsonObject TabTo(int id) {
    QJsonObject s = State();
    for (int k = 0; k < 30 && Focused(s).id != id && !HasFailure(); ++k) {
      const Focus was = Focused(s);
      s = Press("Tab", [&](const QJsonObject& s) { return !(Focused(s) == was); }, "the next tab stop");
    }
    EXPECT_EQ(Focused(s).id, id) << "Tab never reached " << id;
    return s;
  }
  // An arrow key until the control is checked.
  QJsonObject ArrowTo(int id, const char* key) {
    QJsonObject s = State();
    for (int k = 0; k < 8 && Control(s, id)["checked"].toInt() != 1 && !HasFailure(); ++k) {
      const Focus was = Focused(s);
      s = Press(key, [&](const QJsonObject& s) { return !(Focused(s) == was); }, "the next radio button");
    }
    EXPECT_EQ(Control(s, id)["checked"].toInt(), 1) << key << " never reached " << id;
    return s;
  }
  // The lit item of an open menu or of the menu bar (empty: none).
  static QString Lit(const QJsonObject& d) {
    for (const QJsonValue& b : d["buttons"].toArray())
      if (b["default"].toBool()) return b["text"].toString();
    return {};
  }
  // Its place (-1: none); two items may have one text.
  static int LitAt(const QJsonObject& d) {
    const QJsonArray items = d["buttons"].toArray();
    for (int i = 0; i < items.size(); ++i)
      if (items[i]["default"].toBool()) return i;
    return -1;
  }
  // F10 or a released Alt, arrows to the item of the menu, Enter.
  void MenuByKeys(const char* select, const QString& menu, const QString& item) {
    QJsonObject s = Press(select, [](const QJsonObject& s) { return !Lit(Open(s, "menubar")).isEmpty(); }, "the menu bar selected");
    if (HasFailure()) Screen(std::string("xprogram_easy_menu_") + select);
    for (int k = 0; k < 6 && Lit(Open(s, "menubar")) != menu; ++k) {
      const int was = LitAt(Open(s, "menubar"));
      s = Press("Right", [&](const QJsonObject& s) { return LitAt(Open(s, "menubar")) != was; }, "the next menu");
    }
    ASSERT_EQ(Lit(Open(s, "menubar")), menu);
    s = Press("Down", [](const QJsonObject& s) { return !Lit(Open(s, "menu")).isEmpty(); }, "the menu open");
    for (int k = 0; k < 15 && Lit(Open(s, "menu")) != item; ++k) {
      const int was = LitAt(Open(s, "menu"));
      s = Press("Down", [&](const QJsonObject& s) { return LitAt(Open(s, "menu")) != was; }, "the next item");
    }
    ASSERT_EQ(Lit(Open(s, "menu")), item);
    Press("Return", [](const QJsonObject& s) { return Open(s, "menu").isEmpty(); }, "the menu closed");
  }

  // The full mode on the coded photo, its name typed into the file dialog,
  // the start page's defaults, the marks: the model page open, with the focus.
  QJsonObject FullModeModelPage() {
    constexpr int kStart = 232, kModel = 309;
    const std::string png = dir / "photo.png";
    EXPECT_TRUE(CodedPhoto(1024, 768).save(QString::fromStdString(png)));
    Launch({"--full"});
    QJsonObject s = WaitState([](const QJsonObject& s) { return Dialog(s)["nameEditFocused"].toBool(); },
                              "the photo dialog with the keys");
    if (HasFailure()) return s;
    EXPECT_EQ(RunTool("xdotool", {"type", "--delay", "20", QString::fromStdString(png)}), 0);
    s = Press("Return", [](const QJsonObject& s) { return Focused(s).page == kStart; }, "the start page with the focus");
    if (HasFailure()) return s;
    s = Press("Return", [](const QJsonObject& s) { return s["stage"].toInt() == 1000 && Page(s, kStart).isEmpty(); },
              "the point page");
    s = PlaceMarks(s);
    if (HasFailure()) return s;
    ClickAt(Control(s, 1141)["rect"].toArray());
    return WaitState([](const QJsonObject& s) { return s["stage"].toInt() == 2500 && Focused(s).page == kModel; },
                     "the model page with the focus");
  }

  // The frame sized by the desktop to several sizes and back to its first:
  // the views reach the client's edges as they did (the splitter's border
  // aside), no unpainted strip remains at the right or the bottom, the head
  // stays on the photo; back at the first size every view's map is the
  // first one.
  void ResizeRound(const std::string& tag) {
    QTest::qWait(500);
    QJsonObject s = State();
    XScreen x;
    ASSERT_NE(x.d, nullptr);
    const unsigned long frame = FrameWindow(s);
    // The overlay view, unless the splitter has no room left for its pane.
    auto overlayShown = [](const QJsonObject& s) {
      const QJsonObject v = View(s, "ViewEdit2D3D");
      return v["visible"].toBool() && !RectOf(v["rect"].toArray()).isEmpty();
    };
    auto viewsEdge = [](const QJsonObject& s) {
      QPoint edge(INT_MIN, INT_MIN);
      for (const QJsonValue& v : s["views"].toArray())
        if (v["visible"].toBool()) {
          QJsonArray r = v["rect"].toArray();
          if (r[2].toInt() - r[0].toInt() > 0 && r[3].toInt() - r[1].toInt() > 0)
            edge = QPoint(std::max(edge.x(), r[2].toInt()), std::max(edge.y(), r[3].toInt()));
        }
      return edge;
    };
    SCOPED_TRACE(tag);
    const QJsonArray client0 = Frame(s)["client"].toArray();
    const QPoint edge0 = viewsEdge(s);
    const QPoint gap0(client0[2].toInt() - edge0.x(), client0[3].toInt() - edge0.y());
    const auto off0 = HeadOffPhoto(s);
    const QJsonArray views0 = s["views"].toArray();
    const QJsonObject views0Of = s;
    QByteArray geometry;
    ASSERT_EQ(RunTool("xdotool", {"getwindowgeometry", "--shell", QString::number(frame)}, &geometry), 0);
    QMap<QString, int> g;
    for (const QByteArray& line : geometry.split('\n'))
      if (line.contains('=')) g[QString(line.split('=')[0])] = line.split('=')[1].toInt();
    const QSize first(g["WIDTH"], g["HEIGHT"]);
    int overlays = 0;
    for (QSize size : {QSize(700, 500), QSize(400, 300), QSize(1000, 800), QSize(2000, 1500), first}) {
      SCOPED_TRACE(size.width());
      const int menu = first.height() - (client0[3].toInt() - client0[1].toInt());
      EXPECT_EQ(RunTool("xdotool", {"windowsize", QString::number(frame), QString::number(size.width()),
                                    QString::number(size.height())}),
                0);
      s = WaitState(
          [&](const QJsonObject& s) {
            QJsonArray c = Frame(s)["client"].toArray();
            return c[2].toInt() - c[0].toInt() == size.width() && c[3].toInt() - c[1].toInt() == size.height() - menu;
          },
          "the new client size");
      QTest::qWait(500);
      s = State();
      const QJsonArray c = Frame(s)["client"].toArray();
      const QPoint edge = viewsEdge(s);
      EXPECT_EQ(c[2].toInt() - edge.x(), gap0.x());
      EXPECT_EQ(c[3].toInt() - edge.y(), gap0.y());
      // Between the views and the client's edges (the splitter's border),
      // where the screen shows it: no line of it left white as a fresh
      // surface is (a page over it may show white pixels of its own).
      QImage shot = x.Grab();
      const QRect inside = RectOf(c) & shot.rect();
      int whiteLines = 0;
      for (int xx = std::max(inside.left(), c[2].toInt() - gap0.x()); xx <= inside.right(); ++xx) {
        int white = 0;
        for (int yy = inside.top(); yy <= inside.bottom(); ++yy) white += (shot.pixel(xx, yy) & 0xFFFFFF) == 0xFFFFFF;
        whiteLines += white > inside.height() / 2;
      }
      for (int yy = std::max(inside.top(), c[3].toInt() - gap0.y()); yy <= inside.bottom(); ++yy) {
        int white = 0;
        for (int xx = inside.left(); xx <= inside.right(); ++xx) white += (shot.pixel(xx, yy) & 0xFFFFFF) == 0xFFFFFF;
        whiteLines += white > inside.width() / 2;
      }
      EXPECT_EQ(whiteLines, 0) << "white lines at the right or the bottom";
      // A child page shows its own face all over, what a smaller frame cut
      // off of it too.
      for (const QJsonValue& d : Frame(s)["dialogs"].toArray()) {
        if (!d["visible"].toBool()) continue;
        const QRect page = RectOf(d["client"].toArray()) & inside;
        int whiteColumns = 0;
        for (int xx = page.left(); xx <= page.right(); ++xx) {
          int white = 0;
          for (int yy = page.top(); yy <= page.bottom(); ++yy) white += (shot.pixel(xx, yy) & 0xFFFFFF) == 0xFFFFFF;
          whiteColumns += white > page.height() / 2;
        }
        EXPECT_EQ(whiteColumns, 0) << "white columns in page " << d["layout"].toInt();
      }
      if (size == QSize(1000, 800)) qtsupport::Save(shot, "xprogram_resized_" + tag);
      if (!overlayShown(s)) continue;
      ++overlays;
      const auto off = HeadOffPhoto(s);
      EXPECT_EQ(off.size(), off0.size());
      for (const auto& [name, d] : off0)
        if (off.count(name)) {
          EXPECT_NEAR(off.at(name).x(), d.x(), 1.0) << name;
          EXPECT_NEAR(off.at(name).y(), d.y(), 1.0) << name;
        }
    }
    if (overlayShown(views0Of)) { EXPECT_GE(overlays, 3) << "the overlay view was hardly ever shown"; }
    // Back at the first size: the views' maps are the first ones.
    for (const QJsonValue& v0 : views0) {
      if (!v0["visible"].toBool()) continue;
      QJsonObject v = View(s, v0["name"].toString());
      EXPECT_EQ(v["rect"].toArray(), v0["rect"].toArray()) << v0["name"].toString().toStdString();
      for (const char* map : {"photoToClient", "headToClient"}) {
        QJsonArray a = v0[map].toArray(), b = v[map].toArray();
        ASSERT_EQ(a.size(), b.size());
        for (int i = 0; i < a.size(); ++i)
          EXPECT_NEAR(b[i].toDouble(), a[i].toDouble(), 1e-6 * std::max(1.0, std::abs(a[i].toDouble())))
              << v0["name"].toString().toStdString() << " " << map << "[" << i << "]";
      }
    }
  }

  TempDir dir;
  QProcess program;
};

// A push button's keyboard focus cue in a screenshot: the dotted rectangle
// inside its edges, rows and columns of short black dots with gaps between
// them (the button's text makes no such line).
bool HasDottedCue(const QImage& shot, QRect button) {
  const QRect in = button.adjusted(2, 2, -2, -2);
  auto dotted = [&](QPoint from, QPoint step, int n) {
    int black = 0, runs = 0, run = 0, longest = 0;
    for (int i = 0; i < n; ++i) {
      const QPoint p = from + step * i;
      const bool b = shot.valid(p) && (shot.pixel(p) & 0xFFFFFF) == 0;
      black += b;
      run = b ? run + 1 : 0;
      runs += run == 1;
      longest = std::max(longest, run);
    }
    return runs >= n / 4 && longest <= 2;
  };
  int rows = 0, columns = 0;
  for (int y = in.top(); y <= in.bottom(); ++y) rows += dotted(QPoint(in.left(), y), QPoint(1, 0), in.width());
  for (int x = in.left(); x <= in.right(); ++x) columns += dotted(QPoint(x, in.top()), QPoint(0, 1), in.height());
  return in.width() > 10 && rows >= 2 && columns >= 2;
}

TEST_F(ProgramX11Test, PictureEditorModeOnAPhotoPutByXclip) {
  std::string png = dir / "photo.png";
  const QImage photo = CodedPhoto(1024, 768);
  ASSERT_TRUE(photo.save(QString::fromStdString(png)));
  // xclip stays the clipboard's owner in the background.
  ASSERT_EQ(RunTool("sh", {"-c", QString::fromStdString("xclip -selection clipboard -t image/png -i '" + png +
                                                         "' >/dev/null 2>&1")}),
            0);
  Launch({});
  QJsonObject s = WaitState([](const QJsonObject& s) { return s["stage"].toInt() == 1000; }, "stage 1000");
  ASSERT_EQ(s["stage"].toInt(), 1000);
  EXPECT_EQ(s["activeView"].toString().toStdString(), "ViewOrig2D");
  QTest::qWait(300);
  // The X server shows the photo where the view's map puts it, beside the
  // point page above it.
  QImage screen = Screen("xprogram_picture_editor");
  QJsonObject marks = View(s, "ViewOrig2D");
  QJsonArray r = marks["rect"].toArray(), m = marks["photoToClient"].toArray();
  const QRect page = RectOf(Page(s, 328)["rect"].toArray());
  ASSERT_FALSE(page.isEmpty());
  for (QPoint p : {QPoint(700, 100), QPoint(512, 384), QPoint(900, 650)}) {
    int sx = r[0].toInt() + int(m[0].toDouble() * (p.x() + 0.5) + m[1].toDouble());
    int sy = r[1].toInt() + int(m[2].toDouble() * (p.y() + 0.5) + m[3].toDouble());
    ASSERT_FALSE(page.contains(sx, sy)) << p.x() << "," << p.y();
    QRgb got = screen.pixel(sx, sy), want = photo.pixel(p);
    EXPECT_LE(std::abs(qRed(got) - qRed(want)), 2) << p.x() << "," << p.y();
    EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), 2) << p.x() << "," << p.y();
    EXPECT_EQ(qBlue(got), 0x80);
  }
  // A wheel notch over the photo zooms it by 1.25 about the pointer.
  const double zoom = m[0].toDouble();
  QJsonArray vr = marks["rect"].toArray();
  EXPECT_EQ(RunTool("xdotool", {"mousemove", QString::number((vr[0].toInt() + vr[2].toInt()) / 2),
                                QString::number((vr[1].toInt() + vr[3].toInt()) / 2), "click", "4"}),
            0);
  s = WaitState([&](const QJsonObject& s) { return View(s, "ViewOrig2D")["photoToClient"][0].toDouble() != zoom; },
                "the zoom");
  EXPECT_NEAR(View(s, "ViewOrig2D")["photoToClient"][0].toDouble(), zoom * 1.25, 1e-6);
  // The close box asks while the point page is open beside the frame; Yes
  // ends the program with 0.
  CloseRequest(FrameWindow(s));
  s = WaitState([](const QJsonObject& s) { return !Dialog(s).isEmpty(); }, "the close question");
  EXPECT_EQ(Dialog(s)["text"].toString().toStdString(), "Do you really want to close this program?");
  ClickButton(Dialog(s), "Yes");
  EXPECT_EQ(WaitEnd(), 0);
}

TEST_F(ProgramX11Test, PictureEditorModeWithAnEmptyClipboard) {
  ASSERT_EQ(RunTool("sh", {"-c", "printf '' | xclip -selection clipboard >/dev/null 2>&1"}), 0);
  Launch({});
  QJsonObject s = WaitState([](const QJsonObject& s) { return !Dialog(s).isEmpty(); }, "a message box");
  QJsonObject box = Dialog(s);
  EXPECT_EQ(box["text"].toString().toStdString(), "Wrong picture size");
  EXPECT_EQ(box["title"].toString().toStdString(), "Error");
  ClickButton(box, "OK");
  EXPECT_EQ(WaitEnd(), 0);
}

// The full mode driven by real X input: F6 moves to the next pane, F10 and
// the arrows reach the menus, the close box's No keeps the program, Yes
// ends it.
TEST_F(ProgramX11Test, FullModeThroughXInput) {
  Launch({"--full"});
  // During the start's 3 s pause the splash is on the screen, drawn: the
  // program handles nothing then, yet the X server has its pixels. The
  // state file shows the splash while the pause lasts; a screen read while
  // the file still shows it (the same write) saw the pause.
  QJsonObject splash;
  int during = -1;
  QImage shot;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < StepDeadlineMs() && program.state() == QProcess::Running) {
    int before = 0;
    QJsonObject now = State(&before);
    splash = Window(now, kAboutBox);
    if (splash.isEmpty()) {
      if (during >= 0 || !Frame(now).isEmpty()) break;  // the pause is over
      QTest::qWait(20);
      continue;
    }
    QImage screen = Screen("xprogram_splash");
    int after = 0;
    State(&after);
    if (after == before) {
      shot = screen;
      break;
    }
    during = before;
  }
  ASSERT_FALSE(splash.isEmpty() && shot.isNull() && during < 0) << "the state file never showed the splash";
  if (!shot.isNull()) {
    QJsonArray r = splash["client"].toArray();
    QSet<QRgb> colours;
    for (int y = r[1].toInt(); y < r[3].toInt(); y += 2)
      for (int x = r[0].toInt(); x < r[2].toInt(); x += 2) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20) << "the splash is blank";
  } else {
    // The machine was too slow to read the screen within the pause.
    RecordProperty("splash", "the pause ended before the screen was read");
  }
  QJsonObject s = WaitState(
      [](const QJsonObject& s) { return s["layout"].toInt() == 1 && s["activeView"].toString() == "ViewOrig2D"; },
      "the first tick");
  ASSERT_FALSE(Frame(s).isEmpty());
  // The start asks for a photo: its path typed into the dialog. The start
  // page that comes up then goes on with its "Next >>", clicked once the
  // page has the keys: a click made again while the program is still busy
  // would come after the page, on the photo, as a mark.
  const std::string png = dir / "photo.png";
  ASSERT_TRUE(CodedPhoto(1024, 768).save(QString::fromStdString(png)));
  const QJsonObject box =
      Dialog(WaitState([](const QJsonObject& s) { return Dialog(s)["nameEditFocused"].toBool(); }, "the photo dialog"));
  ASSERT_FALSE(HasFailure());
  Screen("xprogram_photo_dialog");
  ClickAt(box["nameEdit"].toArray());
  EXPECT_EQ(RunTool("xdotool", {"type", "--delay", "20", QString::fromStdString(png)}), 0);
  s = Press("Return", [](const QJsonObject& s) { return Focused(s).page == 232; }, "the start page");
  ASSERT_FALSE(HasFailure());
  QJsonArray next;
  for (const QJsonValue& c : Page(s, 232)["controls"].toArray())
    if (c["text"].toString() == "Next >>") next = c["rect"].toArray();
  ASSERT_FALSE(next.isEmpty());
  ClickAt(next);
  s = WaitState([](const QJsonObject& s) { return s["stage"].toInt() == 1000 && Page(s, 232).isEmpty(); },
                "the typed photo taken");
  ASSERT_FALSE(HasFailure());
  EXPECT_TRUE(s["points"].toObject()["photo"].toArray().isEmpty()) << "a click came after the start page";
  // The marks: while the point page asks for one, the photo's pane keeps the
  // clicks and the pane keys (F6) to itself.
  s = PlaceMarks(s);
  ASSERT_FALSE(HasFailure());
  s = State();
  QImage screen = Screen("xprogram_full");
  QJsonArray client = Frame(s)["client"].toArray();
  EXPECT_GT(client[2].toInt() - client[0].toInt(), 1000);
  // "Dual screen" from the menu: two panes.
  s = OpenMenu("View");
  ClickButton(Open(s, "menu"), "Dual screen");
  s = WaitState([](const QJsonObject& s) { return s["layout"].toInt() == 2; }, "layout 2");
  ASSERT_EQ(s["layout"].toInt(), 2);
  // A click on the other pane shown activates it.
  QString active = s["activeView"].toString();
  for (const QJsonValue& v : s["views"].toArray()) {
    QJsonArray r = v.toObject()["rect"].toArray();
    if (v.toObject()["name"].toString() != active && r[2].toInt() - r[0].toInt() > 50 &&
        r[3].toInt() - r[1].toInt() > 50) {
      ClickAt(r);
      const QString name = v.toObject()["name"].toString();
      s = WaitState([&](const QJsonObject& s) { return s["activeView"].toString() == name; }, "the clicked pane");
      EXPECT_EQ(s["activeView"].toString(), name);
      break;
    }
  }
  active = s["activeView"].toString();
  // F6 moves to the next pane.
  EXPECT_EQ(RunTool("xdotool", {"key", "F6"}), 0);
  s = WaitState([&](const QJsonObject& s) { return s["activeView"].toString() != active; }, "the next pane");
  EXPECT_NE(s["activeView"].toString(), active);
  // The menus by the keyboard, though their items have no mnemonics: F10
  // selects the bar, Right goes to "View", Down opens it, the first letters
  // find "Full screen", Enter runs it.
  for (const char* key : {"F10", "Right", "Down"}) EXPECT_EQ(RunTool("xdotool", {"key", key}), 0);
  s = WaitState([](const QJsonObject& s) { return !Open(s, "menu").isEmpty(); }, "the menu opened by keys");
  Screen("xprogram_menu_by_keys");
  EXPECT_EQ(RunTool("xdotool", {"type", "--delay", "50", "Fu"}), 0);
  EXPECT_EQ(RunTool("xdotool", {"key", "Return"}), 0);
  s = WaitState([](const QJsonObject& s) { return s["layout"].toInt() == 1 && Open(s, "menu").isEmpty(); },
                "layout 1 chosen by keys");
  EXPECT_EQ(s["layout"].toInt(), 1);
  unsigned long frame = FrameWindow(s);
  CloseRequest(frame);
  s = WaitState([](const QJsonObject& s) { return !Dialog(s).isEmpty(); }, "the close question");
  EXPECT_EQ(Dialog(s)["title"].toString().toStdString(), "Warning");
  ClickButton(Dialog(s), "No");
  s = WaitState([](const QJsonObject& s) { return Dialog(s).isEmpty(); }, "the question answered");
  QTest::qWait(300);
  EXPECT_EQ(program.state(), QProcess::Running);
  EXPECT_FALSE(Frame(State()).isEmpty());
  CloseRequest(frame);
  s = WaitState([](const QJsonObject& s) { return !Dialog(s).isEmpty(); }, "the close question again");
  ClickButton(Dialog(s), "Yes");
  EXPECT_EQ(WaitEnd(), 0);
}

// The Easy flow of the full mode from the keyboard alone, but for the marks
// on the photo: the photo's name typed into the file dialog, the start
// page's choices by Tab and the arrows, Enter for its Next; after the marks
// Alt+F6 brings the point page back, Tab and Space run its Next; the model
// page comes with the focus on its first slider, which the arrows move;
// Alt+F6 to the view, the menus by F10 or Alt and the arrows, Alt+F6 back
// to the model page, Shift+Tab back to its Exit, Enter ends the program.
TEST_F(ProgramX11Test, TheEasyFlowFromTheKeyboard) {
  const std::string png = dir / "photo.png";
  ASSERT_TRUE(CodedPhoto(1024, 768).save(QString::fromStdString(png)));
  Launch({"--full"});
  QJsonObject s = WaitState([](const QJsonObject& s) { return Dialog(s)["nameEditFocused"].toBool(); },
                            "the photo dialog with the keys");
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(RunTool("xdotool", {"type", "--delay", "20", QString::fromStdString(png)}), 0);
  constexpr int kStart = 232, kPoints = 245, kModel = 309;
  s = Press("Return", [](const QJsonObject& s) { return !Page(s, kStart).isEmpty() && Focused(s).page == kStart; },
            "the start page with the focus");
  ASSERT_FALSE(HasFailure());
  // Female, 512 x 512, the check box on and off again, Enter for Next.
  int sex = 1096;
  for (int id : {1096, 1097, 1159})
    if (Control(s, id)["checked"].toInt() == 1) sex = id;
  s = TabTo(sex);
  s = ArrowTo(1097, "Down");
  ASSERT_FALSE(HasFailure());
  int texture = 1152;
  for (int id : {1152, 1153, 1156, 1157})
    if (Control(s, id)["checked"].toInt() == 1) texture = id;
  s = TabTo(texture);
  s = ArrowTo(1152, "Up");
  s = TabTo(1115);
  ASSERT_FALSE(HasFailure());
  const int checked = Control(s, 1115)["checked"].toInt();
  s = Press("space", [&](const QJsonObject& s) { return Control(s, 1115)["checked"].toInt() != checked; }, "the check box");
  s = Press("space", [&](const QJsonObject& s) { return Control(s, 1115)["checked"].toInt() == checked; },
            "the check box back");
  s = Press("Return", [](const QJsonObject& s) { return s["stage"].toInt() == 1000 && Focused(s).page == kPoints; },
            "the point page with the focus");
  ASSERT_FALSE(HasFailure());
  EXPECT_TRUE(Page(s, kStart).isEmpty());
  EXPECT_TRUE(Page(s, kPoints)["active"].toBool());

  // The marks by the mouse: the frame is active, its view has the keys.
  s = PlaceMarks(s);
  ASSERT_FALSE(HasFailure());
  EXPECT_NE(Focused(s).page, kPoints);
  EXPECT_FALSE(Page(s, kPoints)["active"].toBool());
  s = Press("alt+F6",
            [](const QJsonObject& s) { return Focused(s).page == kPoints && Page(s, kPoints)["active"].toBool(); },
            "the point page by Alt+F6");
  s = TabTo(1141);
  ASSERT_FALSE(HasFailure());
  s = Press("space", [](const QJsonObject& s) { return s["stage"].toInt() == 2500 && !Page(s, kModel).isEmpty(); },
            "the model page");
  ASSERT_FALSE(HasFailure());
  // Shown on creation, the page has the focus on its first tab stop.
  s = WaitState([](const QJsonObject& s) { return Focused(s).page == kModel; }, "the model page with the focus");
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(Focused(s).id, 1087);
  const int age = Control(s, 1087)["pos"].toInt();
  s = Press("Right", [&](const QJsonObject& s) { return Control(s, 1087)["pos"].toInt() == age + 1; },
            "the age slider moved");
  s = TabTo(1122);
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(Focused(s).page, kModel);
  QTest::qWait(300);  // the X server shows the last picture
  s = State();
  const QImage shot = Screen("xprogram_easy_keyboard_focus");
  EXPECT_TRUE(HasDottedCue(shot, RectOf(Control(s, 1122)["rect"].toArray()))) << "no focus cue on the focused button";
  EXPECT_FALSE(HasDottedCue(shot, RectOf(Control(s, 1141)["rect"].toArray()))) << "a cue on a button without the focus";
  // The textured head on the photo in the 3D view: the photo's colours and
  // the head's shading.
  {
    QSet<QRgb> colours;
    const QRect v = RectOf(View(s, "ViewEdit3D")["rect"].toArray()) & shot.rect();
    for (int y = v.top(); y <= v.bottom(); y += 3)
      for (int x = v.left(); x <= v.right(); x += 3) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 200) << "the 3D view shows no textured head";
  }

  // Alt+F6 to the frame's view; the menus from there: F10 and View > Full
  // screen, a released Alt and View > Dual screen; Alt+F6 back to the page,
  // where the focus was.
  s = Press("alt+F6", [](const QJsonObject& s) { return Focused(s).page != kModel; }, "the view by Alt+F6");
  ASSERT_FALSE(HasFailure());
  MenuByKeys("F10", "View", "Full screen");
  s = WaitState([](const QJsonObject& s) { return s["layout"].toInt() == 1; }, "layout 1 by keys");
  MenuByKeys("alt", "View", "Dual screen");
  s = WaitState([](const QJsonObject& s) { return s["layout"].toInt() == 2; }, "layout 2 by keys");
  ASSERT_FALSE(HasFailure());
  s = Press("alt+F6", [](const QJsonObject& s) { return Focused(s).page == kModel; }, "the model page by Alt+F6");
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(Focused(s).id, 1122);
  s = Press("shift+Tab", [](const QJsonObject& s) { return Focused(s).id == 1141; }, "Shift+Tab back to Exit");
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(RunTool("xdotool", {"key", "Return"}), 0);
  EXPECT_EQ(WaitEnd(), 0);
}

// The keys that leave a control of the model page, a child page of the
// frame, with real X keys: Shift+Tab goes back one tab stop, from a slider
// and from a button; F10 and a released Alt select the menu bar, Escape
// gives the keys back to the button, and the arrows and Enter run a menu's
// item from there.
TEST_F(ProgramX11Test, TheModelPagesKeysLeaveItsControls) {
  constexpr int kModel = 309;
  QJsonObject s = FullModeModelPage();
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(Focused(s).id, 1087);
  // Back by one stop from the second slider and from a button.
  s = TabTo(1102);
  s = Press("shift+Tab", [](const QJsonObject& s) { return Focused(s).id == 1087; }, "Shift+Tab to the age slider");
  s = TabTo(1122);
  s = Press("shift+Tab", [](const QJsonObject& s) { return Focused(s).id == 1141; }, "Shift+Tab to OK");
  s = Press("Tab", [](const QJsonObject& s) { return Focused(s).id == 1122; }, "Tab to Cancel");
  ASSERT_FALSE(HasFailure());
  for (const char* select : {"F10", "alt"}) {
    SCOPED_TRACE(select);
    s = Press(select, [](const QJsonObject& s) { return !Lit(Open(s, "menubar")).isEmpty(); }, "the menu bar selected");
    if (HasFailure()) Screen(std::string("xprogram_model_menu_") + select);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(LitAt(Open(s, "menubar")), 0) << "the first menu is lit";
    EXPECT_TRUE(Open(s, "menu").isEmpty()) << "a menu opened";
    s = Press("Escape", [](const QJsonObject& s) { return Lit(Open(s, "menubar")).isEmpty(); }, "the bar left");
    ASSERT_FALSE(HasFailure());
    // The keys are the button's again.
    EXPECT_EQ(Focused(s).id, 1122);
    EXPECT_EQ(Focused(s).page, kModel);
  }
  s = Press("Tab", [](const QJsonObject& s) { return Focused(s).id == 1107; }, "Tab to Dots");
  ASSERT_FALSE(HasFailure());
  const int layout = s["layout"].toInt();
  MenuByKeys("F10", "View", layout == 1 ? "Dual screen" : "Full screen");
  s = WaitState([&](const QJsonObject& s) { return s["layout"].toInt() != layout; }, "the layout chosen by keys");
  program.kill();
}

// The step after the point page's Next runs on the program's thread for a
// while (three long operations). All along the screen keeps the frame's
// picture and shows one progress window, painted; a close request made
// meanwhile is answered after it, with the question above the frame.
TEST_F(ProgramX11Test, TheLongStepKeepsTheScreenPaintedAndAsksTheCloseAfterIt) {
  QJsonObject s = PlaceMarks(StartOnPhoto());
  const QRect client = RectOf(Frame(s)["client"].toArray());
  const unsigned long frame = FrameWindow(s);
  XScreen x;
  ASSERT_NE(x.d, nullptr);
  QTest::qWait(300);
  const double lit = NotBlack(x.Grab(), client);
  ASSERT_GT(lit, 0.5) << "the frame is not on the screen before the step";
  QJsonObject next = Control(s, 1141);
  ASSERT_FALSE(next.isEmpty());
  ClickAt(next["rect"].toArray());
  const QRgb face = qRgb(212, 208, 200);
  int shots = 0, withProgress = 0, unpainted = 0;
  bool asked = false, savedBlack = false;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < StepDeadlineMs() && program.state() == QProcess::Running && State()["stage"].toInt() != 2500) {
    QImage shot = x.Grab();
    std::vector<QRect> progress = x.Mapped(QSize(314, 63));
    ++shots;
    EXPECT_LE(progress.size(), 1u) << "shot " << shots;
    for (const QRect& r : progress) {
      int faces = 0, all = 0;
      for (int yy = r.top(); yy <= r.bottom(); ++yy)
        for (int xx = r.left(); xx <= r.right(); ++xx, ++all) faces += shot.pixel(xx, yy) == face;
      if (faces <= all / 2) {
        // Mapped, its first picture not yet at the X server.
        ++unpainted;
        continue;
      }
      const double now = NotBlack(shot, client);
      EXPECT_GE(now, lit * 0.8) << "shot " << shots << " is black";
      if (now < lit * 0.8 && !savedBlack) savedBlack = !qtsupport::Save(shot, "xprogram_long_step_black").empty();
      if (++withProgress == 2) {
        qtsupport::Save(shot, "xprogram_long_step");
        CloseRequest(frame);
        asked = true;
      }
    }
    QTest::qWait(100);
  }
  ASSERT_EQ(State()["stage"].toInt(), 2500);
  EXPECT_GE(withProgress, 2) << "of " << shots << " shots";
  // Each of the three operations opens its window once.
  EXPECT_LE(unpainted, 3) << "shots of a progress window not painted";
  std::printf("%d shots during the step: %d with the progress window painted, %d before its first picture\n", shots,
              withProgress, unpainted);
  ASSERT_TRUE(asked);
  s = WaitState([](const QJsonObject& s) { return !Dialog(s).isEmpty(); }, "the close question");
  EXPECT_EQ(Dialog(s)["text"].toString().toStdString(), "Do you really want to close this program?");
  unsigned long box = 0;
  QElapsedTimer w;
  w.start();
  while (w.elapsed() < StepDeadlineMs() && !(box = x.Named("Warning"))) QTest::qWait(50);
  ASSERT_NE(box, 0u);
  QTest::qWait(300);
  EXPECT_GT(x.StackIndex(box), x.StackIndex(frame)) << "the question is under the frame";
  ClickButton(Dialog(s), "No");
  s = WaitState([](const QJsonObject& s) { return Dialog(s).isEmpty(); }, "the question answered");
  EXPECT_EQ(program.state(), QProcess::Running);
  program.kill();
}

// The frame sized by the desktop, on the point page (one pane) and on the
// model page (two panes), and in the full mode's four panes the head
// preparing step shows over the model: see ResizeRound.
TEST_F(ProgramX11Test, TheResizedFrameFillsItsClient) {
  QJsonObject s = PlaceMarks(StartOnPhoto());
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(s["layout"].toInt(), 1);
  ResizeRound("328");
  ClickAt(Control(State(), 1141)["rect"].toArray());
  s = WaitState([](const QJsonObject& s) { return s["stage"].toInt() == 2500 && !Page(s, 329).isEmpty(); },
                "the model page");
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(s["layout"].toInt(), 2);
  ResizeRound("329");
  program.kill();
}

TEST_F(ProgramX11Test, TheResizedFrameFillsItsClientInFourPanes) {
  FullModeModelPage();
  ASSERT_FALSE(HasFailure());
  OpenMenu("Steps");
  ClickButton(Open(State(), "menu"), "Head preparing");
  QJsonObject s = WaitState([](const QJsonObject& s) { return s["layout"].toInt() == 4 && Open(s, "menu").isEmpty(); },
                            "layout 4");
  ASSERT_FALSE(HasFailure());
  ResizeRound("four");
  program.kill();
}

// The picture library's clipboard over the X clipboard, in this process:
// xclip's picture reaches FromClipboard with its pixels, and ToClipboard's
// comes back out of xclip.
TEST_F(ProgramX11Test, PicturesThroughTheXClipboard) {
  brv::SetBackend(&qtsupport::Backend());
  brv::InstallBmpPlatform();
  QImage in(61, 43, QImage::Format_RGB32);
  for (int y = 0; y < in.height(); ++y)
    for (int x = 0; x < in.width(); ++x) in.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) & 255));
  std::string png = dir / "in.png";
  ASSERT_TRUE(in.save(QString::fromStdString(png)));
  ASSERT_EQ(RunTool("sh", {"-c", QString::fromStdString("xclip -selection clipboard -t image/png -i '" + png +
                                                         "' >/dev/null 2>&1")}),
            0);
  CWinBmp bmp;
  ASSERT_TRUE(qtsupport::WaitFor([&] { return bmp.FromClipboard(PL_CF_BITMAP) && bmp.GetWidth() == 61; }));
  ASSERT_EQ(bmp.GetHeight(), 43);
  int differ = 0;
  for (int y = 0; y < 43; ++y)
    for (int x = 0; x < 61; ++x) {
      CPixel32 p = bmp.GetPixel(x, y);
      if (qRgb(p.GetR(), p.GetG(), p.GetB()) != in.pixel(x, y)) ++differ;
    }
  EXPECT_EQ(differ, 0);

  CWinBmp out;
  out.Create(29, 17, 32, false);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 29; ++x) out.SetPixel(x, y, CPixel32(uint8_t(200 - x), uint8_t(y * 9), 77, 0));
  FreshServerTime();
  out.ToClipboard();
  qtsupport::PumpFor(300);  // the X server hands the selection over
  // The clipboard's owner is this process: xclip's request is served while
  // it runs.
  QProcess p;
  p.start("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
  ASSERT_TRUE(p.waitForStarted(5000));
  qtsupport::WaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
  QImage back;
  ASSERT_TRUE(back.loadFromData(p.readAllStandardOutput(), "PNG"));
  back = back.convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(back.size(), QSize(29, 17));
  differ = 0;
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 29; ++x)
      if (back.pixel(x, y) != qRgb(200 - x, y * 9, 77)) ++differ;
  EXPECT_EQ(differ, 0);
  brv::SetBackend(nullptr);
}

}  // namespace
