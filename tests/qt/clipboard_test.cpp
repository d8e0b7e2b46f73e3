// The clipboard through the Qt backend: pictures as packed 32-bit bottom-up
// DIBs and text, both ways, in the process (both platforms) and with another
// X client (xclip, under an X server); a picture above 16384 x 16384 counts
// as none, one up to that size is taken (Qt's image reader limit raised).
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QTest>

#include <fstream>

#include "tests/framework/temp_dir.h"
#include "tests/qt/qt_support.h"

namespace {

using qtsupport::Backend;

QImage Pattern(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 7 & 255, y * 13 & 255, (x + y) * 3 & 255));
  return image;
}

QImage Decoded(const std::vector<uint8_t>& dib) {
  brv::Surface s;
  if (!brv::DecodePackedDib(dib.data(), dib.size(), &s)) return QImage();
  QImage out(s.Width(), s.Height(), QImage::Format_RGB32);
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) out.setPixel(x, y, 0xFF000000u | s.Pixel(x, y));
  return out;
}

std::vector<uint8_t> DibOf(const QImage& image) {
  brv::Surface s(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) s.SetPixel(x, y, image.pixel(x, y) & 0xFFFFFF);
  return brv::PackedDibOf(s);
}

// Runs a program while the backend keeps answering the X server (the
// clipboard's owner must serve the request of the program).
QByteArray RunServing(const QString& program, const QStringList& args, const QByteArray& input = {}) {
  QProcess p;
  p.start(program, args);
  EXPECT_TRUE(p.waitForStarted(5000));
  if (!input.isEmpty()) {
    p.write(input);
    p.closeWriteChannel();
  }
  qtsupport::WaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
  if (p.state() != QProcess::NotRunning) p.kill();
  return p.readAllStandardOutput();
}

class ClipboardTest : public qtsupport::QtTest {};

TEST_F(ClipboardTest, PicturesAndTextWithinTheProcess) {
  QImage picture = Pattern(37, 21);
  ASSERT_TRUE(brv::SetClipboardDib(DibOf(picture)));
  qtsupport::Pump();
  QImage onQt = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(onQt, picture);

  QImage other = Pattern(5, 64);
  QGuiApplication::clipboard()->setImage(other);
  std::vector<uint8_t> dib = brv::ClipboardDib();
  ASSERT_GE(dib.size(), 40u);
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib.data(), sizeof header);
  EXPECT_EQ(header.biBitCount, 32);
  EXPECT_EQ(header.biHeight, 64) << "bottom-up";
  EXPECT_EQ(dib.size(), 40u + 5 * 64 * 4);
  EXPECT_EQ(Decoded(dib), other);

  ASSERT_TRUE(brv::SetClipboardText("Kopf \xC3\xA4"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Kopf \xC3\xA4"));
  QGuiApplication::clipboard()->setText("from Qt");
  bool present = false;
  EXPECT_EQ(brv::ClipboardText(&present), "from Qt");
  EXPECT_TRUE(present);
}

TEST_F(ClipboardTest, APictureLargerThan16384CountsAsNone) {
  QGuiApplication::clipboard()->setImage(QImage(16384, 1, QImage::Format_RGB32));
  EXPECT_FALSE(brv::ClipboardDib().empty());
  QGuiApplication::clipboard()->setImage(QImage(16385, 1, QImage::Format_RGB32));
  EXPECT_TRUE(brv::ClipboardDib().empty());
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_DIB));
  std::vector<std::string> log = Backend().LogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "clipboard: the picture of 16385 x 1 pixels is larger than 16384 x 16384; the clipboard counts as empty");
}

TEST_F(ClipboardTest, WithAnotherXClient) {
  if (!qtsupport::OnX11()) GTEST_SKIP() << "needs an X server";
  TempDir dir;
  // xclip's picture reaches the program with its pixels.
  QImage picture = Pattern(64, 48);
  ASSERT_TRUE(picture.save(QString::fromStdString(dir / "in.png")));
  QProcess::execute("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", QString::fromStdString(dir / "in.png")});
  ASSERT_TRUE(qtsupport::WaitFor([] { return !brv::ClipboardDib().empty(); }));
  EXPECT_EQ(Decoded(brv::ClipboardDib()), picture);

  // The program's picture reaches xclip.
  QImage mine = Pattern(33, 17).mirrored(true, false);
  ASSERT_TRUE(brv::SetClipboardDib(DibOf(mine)));
  QByteArray png = RunServing("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
  QImage back;
  ASSERT_TRUE(back.loadFromData(png, "PNG"));
  EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), mine);

  // Text both ways.
  RunServing("xclip", {"-selection", "clipboard", "-i"}, "from xclip");
  ASSERT_TRUE(qtsupport::WaitFor([] { return brv::ClipboardText() == "from xclip"; }));
  ASSERT_TRUE(brv::SetClipboardText("from the program"));
  EXPECT_EQ(RunServing("xclip", {"-selection", "clipboard", "-o"}).toStdString(), "from the program");

  // A picture too large, from outside: none, and nothing decoded.
  QImage wide(16385, 2, QImage::Format_RGB32);
  wide.fill(Qt::white);
  ASSERT_TRUE(wide.save(QString::fromStdString(dir / "wide.png")));
  QProcess::execute("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", QString::fromStdString(dir / "wide.png")});
  qtsupport::PumpFor(200);
  EXPECT_TRUE(brv::ClipboardDib().empty());
  std::vector<std::string> log = Backend().LogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("16385 x 2"), std::string::npos);
}

// Large pictures as PNG files: a plain field with a few coded pixels (the
// corners and the middle), 8 or 16 bits a channel.
struct LargePicture {
  const char* what;
  int width, height;
  QImage::Format format;
  int bitDepth;  // as the PNG header says
};

const LargePicture kLargePictures[] = {
    {"8000 x 6000, 8 bits", 8000, 6000, QImage::Format_RGB32, 8},
    {"5000 x 5000, 16 bits", 5000, 5000, QImage::Format_RGBX64, 16},
};

std::vector<QPoint> CodedPoints(int w, int h) {
  return {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1), QPoint(w / 2, h / 3)};
}

QRgb CodedColour(int i) { return qRgb(40 * i + 10, 250 - 30 * i, 17 * i); }

QByteArray LargePng(const LargePicture& p) {
  QImage image(p.width, p.height, p.format);
  image.fill(QColor(90, 120, 150));
  std::vector<QPoint> at = CodedPoints(p.width, p.height);
  for (size_t i = 0; i < at.size(); ++i) image.setPixelColor(at[i], QColor(CodedColour(static_cast<int>(i))));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "PNG"));
  // The header's bit depth, so that the case is what it says.
  EXPECT_GE(png.size(), 25);
  if (png.size() >= 25) { EXPECT_EQ(static_cast<unsigned char>(png[24]), p.bitDepth) << p.what; }
  return png;
}

// Whether the DIB holds the picture's size and its coded pixels.
std::string DibMatches(const std::vector<uint8_t>& dib, const LargePicture& p) {
  brv::Surface s;
  if (!brv::DecodePackedDib(dib.data(), dib.size(), &s)) return "no picture";
  if (s.Width() != p.width || s.Height() != p.height)
    return std::to_string(s.Width()) + " x " + std::to_string(s.Height());
  std::vector<QPoint> at = CodedPoints(p.width, p.height);
  for (size_t i = 0; i < at.size(); ++i) {
    QRgb want = CodedColour(static_cast<int>(i)) & 0xFFFFFF;
    if (s.Pixel(at[i].x(), at[i].y()) != want) return "pixel " + std::to_string(i) + " differs";
  }
  if (s.Pixel(p.width / 3, p.height / 2) != (qRgb(90, 120, 150) & 0xFFFFFF)) return "the field differs";
  return "";
}

TEST_F(ClipboardTest, QtsReaderTakesWhatTheClipboardMayCarry) {
  Backend();
  for (const LargePicture& p : kLargePictures) {
    QImage back = QImage::fromData(LargePng(p), "PNG");
    EXPECT_EQ(back.size(), QSize(p.width, p.height)) << p.what;
  }
}

TEST_F(ClipboardTest, LargePicturesFromAnotherXClient) {
  if (!qtsupport::OnX11()) GTEST_SKIP() << "needs an X server";
  TempDir dir;
  for (const LargePicture& p : kLargePictures) {
    const std::string path = dir / "large.png";
    {
      QByteArray png = LargePng(p);
      QFile f(QString::fromStdString(path));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(png);
    }
    QProcess::execute("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", QString::fromStdString(path)});
    std::string why = "never read";
    qtsupport::WaitFor([&] { return (why = DibMatches(brv::ClipboardDib(), p)).empty(); }, 20000);
    EXPECT_EQ(why, "") << p.what;
  }
}

}  // namespace
