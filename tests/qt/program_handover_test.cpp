// The clipboard outlives the program: with a clipboard manager running (a
// test double that speaks the ICCCM's SAVE_TARGETS), the picture the
// picture-editor flow's "Photoshop" puts on the clipboard is handed to the
// manager when the program ends, and another client still reads it then.
// The flow is played by scripts/xvfb_player.py against the real program.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/featuretables.h"
#include "tests/framework/temp_dir.h"
#include "tests/qt/qt_support.h"

namespace {

// A photo with a face's few features drawn where the marks say, and the
// marks of every point the page may ask for (by its row in the point table).
void WritePhoto(const std::string& base) {
  QImage photo(1024, 768, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y)
    for (int x = 0; x < photo.width(); ++x) photo.setPixel(x, y, qRgb(180 + x % 50, 150 + y % 60, 130));
  ASSERT_TRUE(photo.save(QString::fromStdString(base + ".jpg"), "JPEG", 95));
  std::ofstream marks(base + ".marks"), rows(base + ".rows");
  CString code;
  for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
    std::string name(code.View());
    // A face about the middle: eyes above, the nose, the mouth below.
    double x = 512, y = 390;
    bool left = name.find("left_eye") != std::string::npos, right = name.find("right_eye") != std::string::npos;
    if (left || right) {
      x = left ? 430 : 594;
      y = 330;
      if (name.find("left_corner") != std::string::npos) x -= 30;
      if (name.find("right_corner") != std::string::npos) x += 30;
    } else if (name.find("mouth") != std::string::npos) {
      y = 500;
      if (name.find("left_corner") != std::string::npos) x -= 50;
      if (name.find("right_corner") != std::string::npos) x += 50;
    } else if (name.find("nose") != std::string::npos) {
      y = 420;
    } else {
      // Any other point on a ring about the face, by its row.
      x = 512 + 150 * std::cos(i * 0.7);
      y = 400 + 190 * std::sin(i * 0.7);
    }
    marks << name << " " << x << " " << y << "\n";
    rows << i << " " << name << "\n";
  }
}

TEST(ProgramHandOver, ThePictureStaysWithTheClipboardManager) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "needs an X server";
  qtsupport::Backend();  // the QApplication of the processes' waits
  TempDir dir;
  const std::string fixtures = dir / "fixtures", work = dir / "work";
  std::filesystem::create_directories(fixtures);
  std::filesystem::create_directories(work + "/out");
  ASSERT_NO_FATAL_FAILURE(WritePhoto(fixtures + "/photo"));
  // The picture editor: a script that does nothing.
  std::ofstream(work + "/out/editor.sh") << "#!/bin/sh\nexit 0\n";
  std::filesystem::permissions(work + "/out/editor.sh", std::filesystem::perms::owner_all);
  const std::string scenario = dir / "handover.txt";
  std::ofstream(scenario) << "process\n"
                             "clipboard photo\n"
                             "setting Settings PictureEditor $OUT/editor.sh\n"
                             "advance 400\n"
                             "expect stage 1000\n"
                             "photo photo\n"
                             "mark\nmark\nmark\n"
                             "button 328 1141\n"
                             "expect dialog 329 open\n"
                             "button 329 1141\n"
                             "expect exit 0\n";

  QProcess manager;
  manager.start(BRIVANTA_CLIPBOARD_MANAGER, {});
  ASSERT_TRUE(manager.waitForStarted(10000));
  std::string said;
  while (said.find("ready\n") == std::string::npos && manager.waitForReadyRead(20000))
    said += manager.readAllStandardOutput().toStdString();
  ASSERT_NE(said.find("ready\n"), std::string::npos) << "the manager did not start";

  QProcess player;
  player.setProcessChannelMode(QProcess::ForwardedChannels);
  // Each step waits for its state; on a loaded machine the fit after the
  // points may take minutes.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("BRIVANTA_PLAYER_STEP_TIMEOUT", "240");
  player.setProcessEnvironment(env);
  player.start("python3", {QString(BRIVANTA_SOURCE_DIR) + "/scripts/xvfb_player.py", "--program", BRIVANTA_PROGRAM,
                           "--scenario", QString::fromStdString(scenario), "--fixtures",
                           QString::fromStdString(fixtures), "--work", QString::fromStdString(work)});
  ASSERT_TRUE(player.waitForStarted(10000));
  // The flow takes its time on a loaded machine; the player's own steps wait
  // for states.
  ASSERT_TRUE(player.waitForFinished(-1));
  EXPECT_EQ(player.exitCode(), 0) << "the flow did not play";

  // The program is gone: the picture comes from the manager.
  said += manager.readAllStandardOutput().toStdString();
  while (said.find("saved ") == std::string::npos && manager.waitForReadyRead(30000))
    said += manager.readAllStandardOutput().toStdString();
  EXPECT_NE(said.find("saved image/png "), std::string::npos) << "no hand-over: " << said;
  QProcess xclip;
  xclip.start("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
  ASSERT_TRUE(xclip.waitForFinished(120000));
  QImage back;
  ASSERT_TRUE(back.loadFromData(xclip.readAllStandardOutput(), "PNG")) << "xclip read no picture";
  QImage exchange(QString::fromStdString(work + "/tmp/fmtmp/exchange.bmp"));
  ASSERT_FALSE(exchange.isNull()) << "no exchange.bmp";
  back = back.convertToFormat(QImage::Format_RGB32);
  exchange = exchange.convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(back.size(), exchange.size());
  int differ = 0;
  for (int y = 0; y < back.height(); ++y)
    for (int x = 0; x < back.width(); ++x)
      if (back.pixel(x, y) != exchange.pixel(x, y)) ++differ;
  EXPECT_EQ(differ, 0);

  manager.terminate();
  if (!manager.waitForFinished(5000)) manager.kill();
  // The clipboard goes back to nobody for the next test.
  QProcess::execute("xclip", {"-selection", "clipboard", "-l", "1", "-i", "/dev/null"});
}

}  // namespace
