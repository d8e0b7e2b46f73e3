// The program's files through Qt's file dialogs, and the state file an
// outside player reads, with the program's objects in the test's process
// (offscreen, and again under an X server).
#include <functional>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/qt/program_fixture.h"

namespace {

using namespace programtest;

// ---------------------------------------------------------------- files

// The head export and the project's save through Qt's file dialogs, driven
// as a person does; the saved project named on the command line opens at
// its stage.
TEST_F(ProgramTest, FileDialogsOfTheProgram) {
  ASSERT_TRUE(Start({"--full"}, QImage()));
  ASSERT_TRUE(FirstTickDone());
  // The first tick asked for a photo, then (cancelled) for a head.
  ASSERT_EQ(startDialogs.size(), 2u);
  app->objHeadImported = 0;
  TexturedHead();
  ASSERT_NE(Doc().kernel3D->head->texture, nullptr);
  const std::string out = tmp / "out";
  std::filesystem::create_directories(out);

  // Head export: the third filter and the typed name "head".
  std::vector<std::string> filters;
  Backend().ScriptDialog([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    for (int i = 0; i < types->count(); ++i) filters.push_back(types->itemText(i).toStdString());
    types->setFocus();
    QTest::keyClick(types, Qt::Key_Down);
    QTest::keyClick(types, Qt::Key_Down);
    qtsupport::Pump();
    dialog->setDirectory(QString::fromStdString(out));
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "head");
    QTest::keyClick(name, Qt::Key_Return);
  });
  ChooseMenu("File", "Head export");
  EXPECT_EQ(filters, (std::vector<std::string>{"THE (*.the)", "Quorin OBJ (*.obj)", "DAZ-Poser OBJ (*.obj)",
                                               "Mirrored OBJ (*.obj)", "PHS (*.phs)"}));
  EXPECT_TRUE(std::filesystem::exists(tmp / "out/head.obj"));
  EXPECT_TRUE(std::filesystem::exists(tmp / "out/bumpmap.bmp")) << "the DAZ-Poser variant's bump map";

  // Cancel writes nothing.
  Backend().ScriptDialog([&](QWidget* widget) {
    QTest::mouseClick(ButtonOf(widget, "Cancel"), Qt::LeftButton);
  });
  ChooseMenu("File", "Save");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), std::distance(
      std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()));

  // Save the project, then start again with it on the command line.
  Backend().ScriptDialog([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    dialog->setDirectory(QString::fromStdString(out));
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "anna");
    QTest::keyClick(name, Qt::Key_Return);
  });
  ChooseMenu("File", "Save");
  ASSERT_TRUE(std::filesystem::exists(tmp / "out/anna.fac"));
  Stop();
  resetModelState();
  ASSERT_TRUE(Start({"--full", tmp / "out/anna.fac"}, QImage()));
  EXPECT_EQ(std::string(app->commandFile.View()), tmp / "out/anna.fac");
  ASSERT_TRUE(FirstTickDone());
  EXPECT_EQ(startDialogs, std::vector<std::string>{});
  EXPECT_EQ(Doc().stage, 2500);
  EXPECT_EQ(Doc().templateId, 122);
  EXPECT_EQ(Doc().kernel2D->photo.GetHeight(), 768);
}

// ---------------------------------------------------------------- state file

QJsonObject ReadState(const std::string& path, int* sequence = nullptr) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  QJsonParseError error{};
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(s.str()), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError)
      << error.errorString().toStdString() << " at " << error.offset << ": " << s.str().substr(0, 3000);
  if (sequence) *sequence = doc.object()["sequence"].toInt();
  return doc.object()["state"].toObject();
}

// The state file as it is now; false while there is none (or it is torn).
bool StateNow(const std::string& path, QJsonObject* state, int* sequence) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(s.str()));
  if (!doc.isObject()) return false;
  *sequence = doc.object()["sequence"].toInt();
  *state = doc.object()["state"].toObject();
  return true;
}

// The state once the program wrote one that meets cond (pumping meanwhile);
// the last one read when none did within the time.
QJsonObject WaitForState(const std::string& path, const std::function<bool(const QJsonObject&, int)>& cond,
                         int* sequence = nullptr) {
  QJsonObject state;
  int seq = 0;
  qtsupport::WaitFor([&] { return StateNow(path, &state, &seq) && cond(state, seq); }, 30000);
  if (sequence) *sequence = seq;
  return state;
}

QJsonObject ViewIn(const QJsonObject& state, const QString& name) {
  for (const QJsonValue& v : state["views"].toArray())
    if (v.toObject()["name"].toString() == name) return v.toObject();
  return {};
}

// Every text in the state (titles, labels, fields, boxes), at any depth.
void CollectTexts(const QJsonValue& v, std::vector<std::string>* out) {
  if (v.isString()) out->push_back(v.toString().toStdString());
  if (v.isArray())
    for (const QJsonValue& e : v.toArray()) CollectTexts(e, out);
  if (v.isObject())
    for (const QJsonValue& e : v.toObject()) CollectTexts(e, out);
}

// What the user sees after saving, exporting and opening through the file
// dialogs holds POSIX paths only, and the recent files each file once.
TEST_F(ProgramTest, PathsShownAfterTheFileDialogsArePosix) {
  const std::string statePath = tmp / "state.json";
  WatchProgramState(Backend(), statePath);
  ASSERT_TRUE(Start({"--full"}, QImage()));
  ASSERT_TRUE(FirstTickDone());
  app->objHeadImported = 0;
  TexturedHead();
  const std::string out = tmp / "out";
  std::filesystem::create_directories(out);
  auto typeName = [&](const char* typed) {
    Backend().ScriptDialog([&, typed](QWidget* widget) {
      auto* dialog = qobject_cast<QFileDialog*>(widget);
      ASSERT_NE(dialog, nullptr);
      dialog->setDirectory(QString::fromStdString(out));
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      name->setFocus();
      name->selectAll();
      QTest::keyClicks(name, typed);
      QTest::keyClick(name, Qt::Key_Return);
    });
  };
  typeName("anna");
  ChooseMenu("File", "Save");
  ASSERT_TRUE(std::filesystem::exists(out + "/anna.fac"));
  typeName("head.the");
  ChooseMenu("File", "Head export");
  ASSERT_TRUE(std::filesystem::exists(out + "/head.the"));
  typeName("anna.fac");
  ChooseMenu("File", "Open");
  qtsupport::PumpFor(300);

  std::vector<std::string> texts;
  CollectTexts(ReadState(statePath), &texts);
  bool sawPath = false;
  for (const std::string& t : texts) {
    EXPECT_EQ(t.find('\\'), std::string::npos) << t;
    sawPath = sawPath || t.find(out + "/anna") != std::string::npos;
  }
  EXPECT_TRUE(sawPath) << "the title names the project";
  std::vector<std::string> recent;
  for (int i = 0; i < 4; ++i)
    if (!app->GetRecentFileName(i).IsEmpty()) recent.push_back(std::string(app->GetRecentFileName(i).View()));
  // (earlier tests of the process may have left files of their own there)
  ASSERT_FALSE(recent.empty());
  EXPECT_EQ(recent[0], out + "/anna.fac");
  for (size_t i = 0; i < recent.size(); ++i)
    for (size_t j = i + 1; j < recent.size(); ++j) EXPECT_NE(recent[i], recent[j]);
}

TEST_F(ProgramTest, TheStateFileTellsAPlayerWhereThingsAre) {
  const std::string path = tmp / "state.json";
  WatchProgramState(Backend(), path);
  const QImage photo = CodedPhoto(1024, 768);
  ASSERT_TRUE(Start({}, photo));
  ASSERT_TRUE(FirstTickDone());
  int sequence = 0;
  QJsonObject state = WaitForState(
      path, [](const QJsonObject& s, int) { return s["stage"].toInt() == 1000 && s["layout"].toInt() == 1; },
      &sequence);
  EXPECT_EQ(state["stage"].toInt(), 1000);
  EXPECT_EQ(state["layout"].toInt(), 1);
  EXPECT_EQ(state["activeView"].toString().toStdString(), "ViewOrig2D");
  // The frame: its client where the window system has it.
  QJsonArray windows = state["windows"].toArray();
  ASSERT_FALSE(windows.isEmpty());
  QJsonObject frame;
  for (const QJsonValue& w : windows)
    if (w.toObject()["layout"].toInt() == 0 && w.toObject()["visible"].toBool()) frame = w.toObject();
  ASSERT_FALSE(frame.isEmpty());
  QWidget* surface = Backend().SurfaceWidget(FrameWnd());
  QPoint origin = surface->mapToGlobal(QPoint(0, 0));
  QJsonArray c = frame["client"].toArray();
  EXPECT_EQ(c[0].toInt(), origin.x());
  EXPECT_EQ(c[1].toInt(), origin.y());
  EXPECT_EQ(c[2].toInt() - c[0].toInt(), surface->width());
  EXPECT_EQ(c[3].toInt() - c[1].toInt(), surface->height());
  // A photo pixel put through the view's map lands on the screen where Qt
  // shows that pixel.
  QJsonObject marks = ViewIn(state, "ViewOrig2D");
  ASSERT_FALSE(marks.isEmpty());
  EXPECT_TRUE(marks["active"].toBool());
  QJsonArray r = marks["rect"].toArray(), m = marks["photoToClient"].toArray();
  QImage grab = qtsupport::Grab(FrameWnd());
  for (QPoint p : {QPoint(100, 100), QPoint(700, 300), QPoint(900, 650)}) {
    int sx = r[0].toInt() + int(m[0].toDouble() * (p.x() + 0.5) + m[1].toDouble());
    int sy = r[1].toInt() + int(m[2].toDouble() * (p.y() + 0.5) + m[3].toDouble());
    QRgb got = grab.pixel(sx - origin.x(), sy - origin.y()), want = photo.pixel(p);
    EXPECT_LE(std::abs(qRed(got) - qRed(want)), 2) << p.x();
    EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), 2) << p.y();
  }
  // Nothing changed: nothing written; a change is written when idle.
  qtsupport::PumpFor(200);
  int again = 0;
  ReadState(path, &again);
  EXPECT_EQ(again, sequence);
  qtsupport::Run([&] { Frame().OnViews4b(); });
  state = WaitForState(path, [&](const QJsonObject& s, int n) { return n > sequence && s["layout"].toInt() == 4; },
                       &again);
  EXPECT_GT(again, sequence);
  EXPECT_EQ(state["layout"].toInt(), 4);

  // An open message box is in the file with its buttons, where they are:
  // the box is answered once the file shows it.
  QJsonObject seen;
  auto boxShown = [](const QJsonObject& s) {
    for (const QJsonValue& d : s["openDialogs"].toArray())
      if (d.toObject()["kind"].toString() == "message") return true;
    return false;
  };
  bool answered = false;
  Backend().ScriptDialog([&](QWidget* box) {
    auto* poll = new QTimer(box);
    QObject::connect(poll, &QTimer::timeout, box, [&, box, poll] {
      QJsonObject now;
      int n = 0;
      if (!StateNow(path, &now, &n) || !boxShown(now)) return;
      poll->stop();
      seen = now;
      answered = true;
      QTest::mouseClick(ButtonOf(box, "No"), Qt::LeftButton);
    });
    poll->start(50);
  });
  Backend().TopWidget(FrameWnd())->close();
  ASSERT_TRUE(qtsupport::WaitFor([&] { return answered; }, 30000)) << "the file never showed the box";
  qtsupport::Pump();
  QJsonArray open;
  for (const QJsonValue& d : seen["openDialogs"].toArray())
    if (d.toObject()["kind"].toString() != "menubar") open.append(d);
  ASSERT_EQ(open.size(), 1);
  QJsonObject box = open[0].toObject();
  EXPECT_EQ(box["kind"].toString().toStdString(), "message");
  EXPECT_EQ(box["title"].toString().toStdString(), "Warning");
  EXPECT_EQ(box["text"].toString().toStdString(), "Do you really want to close this program?");
  std::vector<std::string> buttons;
  for (const QJsonValue& b : box["buttons"].toArray()) buttons.push_back(b.toObject()["text"].toString().toStdString());
  EXPECT_EQ(buttons, (std::vector<std::string>{"Yes", "No"}));
  EXPECT_FALSE(Backend().Exited());
}

}  // namespace
