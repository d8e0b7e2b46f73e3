#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bmp_test_support.h"
#include "picture/anypicdecoder.h"
#include "picture/picsink.h"
#include "picture/picsource.h"
#include "picture/pictrace.h"
#include "picture/picture_state.h"

namespace {

using namespace bmptest;

class PictureTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetPictureState(); }
};

std::vector<uint8_t> bytes(std::initializer_list<int> head, size_t size = 0) {
  std::vector<uint8_t> v(head.begin(), head.end());
  if (v.size() < size) v.resize(size, 0);
  return v;
}

std::vector<uint8_t> withAt(std::vector<uint8_t> v, size_t offset, std::initializer_list<int> b) {
  if (v.size() < offset + b.size()) v.resize(offset + b.size(), 0);
  std::copy(b.begin(), b.end(), v.begin() + std::ptrdiff_t(offset));
  return v;
}

std::vector<uint8_t> prefix(std::vector<uint8_t> v, size_t n) {
  v.resize(n);
  return v;
}

PicType sniff(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> exact(data);
  exact.shrink_to_fit();
  CPicMemSource source;
  source.Open(exact.empty() ? nullptr : exact.data(), int(exact.size()));
  return CAnyPicDecoder::GetFileFormat(&source);
}

const std::vector<uint8_t> kTga = bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0}, 32);
const std::vector<uint8_t> kPictHead(541, 0);

struct SniffCase {
  const char* name;
  std::vector<uint8_t> data;
  PicType type;
};

std::vector<SniffCase> sniffCases() {
  return {
      {"BMP", bytes({'B', 'M'}, 64), PL_FT_BMP},
      {"TGA", kTga, PL_FT_TGA},
      {"TIFF little-endian", bytes({0x49, 0x49, 0x2A, 0x00}, 64), PL_FT_TIFF},
      {"TIFF big-endian", bytes({0x4D, 0x4D, 0x00, 0x2A}, 64), PL_FT_TIFF},
      {"GIF", bytes({'G', 'I', 'F', '8', '9', 'a'}, 64), PL_FT_GIF},
      {"PICT 2", withAt(kPictHead, 522, {0x00, 0x11, 0x02, 0xFF}), PL_FT_PICT},
      {"PICT 1", withAt(kPictHead, 522, {0x00, 0x11, 0x01, 0x77}), PL_FT_PICT},
      {"PICT 1 other", withAt(kPictHead, 522, {0x11, 0x01, 0x01, 0x00}), PL_FT_PICT},
      {"JPEG", bytes({0xFF, 0xD8, 0xFF, 0xE0}, 64), PL_FT_JPEG},
      {"PNG", bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, 64), PL_FT_PNG},
      {"EPS", withAt(withAt(bytes({0xC5, 0xD0, 0xD3, 0xC6}, 64), 20, {32}), 24, {4}), PL_FT_EPSTIFF},
      {"EPS swapped", withAt(withAt(bytes({0xC6, 0xD3, 0xD0, 0xC5}, 64), 20, {32}), 24, {4}), PL_FT_EPSTIFF},
      {"EPS without preview", withAt(bytes({0xC5, 0xD0, 0xD3, 0xC6}, 64), 20, {32}), PL_FT_UNKNOWN},
      {"PCX", bytes({0x0A, 5, 1, 8}, 128), PL_FT_PCX},
      {"PGM P5", bytes({'P', '5', '\n'}, 64), PL_FT_PGM},
      {"PGM P2", bytes({'P', '2', '\n'}, 64), PL_FT_PGM},
      {"P6 is not PGM", bytes({'P', '6', '\n'}, 64), PL_FT_UNKNOWN},
      {"zeros", bytes({}, 600), PL_FT_UNKNOWN},
      // Order of the tests.
      {"BM beats a TGA header", withAt(kTga, 0, {'B', 'M'}), PL_FT_BMP},
      {"TGA beats PICT", withAt(withAt(kPictHead, 0, {0, 0, 2}), 16, {24}) , PL_FT_TGA},
      {"TGA beats PCX", withAt(kTga, 0, {0x0A, 0, 1}), PL_FT_TGA},
      {"PICT beats JPEG", withAt(withAt(kPictHead, 0, {0xFF, 0xD8, 0xFF}), 522, {0x00, 0x11, 0x02, 0xFF}), PL_FT_PICT},
      // Short sources: missing bytes match nothing.
      {"empty", {}, PL_FT_UNKNOWN},
      {"B", bytes({'B'}), PL_FT_UNKNOWN},
      {"BM alone", bytes({'B', 'M'}), PL_FT_BMP},
      {"TGA without byte 16", prefix(kTga, 16), PL_FT_UNKNOWN},
      {"GIF", bytes({'G', 'I', 'F'}), PL_FT_UNKNOWN},
      {"JPEG 2 bytes", bytes({0xFF, 0xD8}), PL_FT_UNKNOWN},
      {"PICT in 540 bytes", std::vector<uint8_t>(540, 0), PL_FT_UNKNOWN},
      {"PICT pattern cut", withAt(std::vector<uint8_t>(524, 0), 522, {0x00, 0x11}), PL_FT_UNKNOWN},
      {"EPS of 27 bytes", prefix(withAt(withAt(bytes({0xC5, 0xD0, 0xD3, 0xC6}, 64), 20, {32}), 24, {4}), 27),
       PL_FT_UNKNOWN},
      {"PCX 2 bytes", bytes({0x0A, 5}), PL_FT_UNKNOWN},
      {"P", bytes({'P'}), PL_FT_UNKNOWN},
  };
}

TEST(Sniff, FormatOfTheFirstBytes) {
  for (const SniffCase& c : sniffCases()) EXPECT_EQ(sniff(c.data), c.type) << c.name;
}

TEST(Sniff, PictNeedsMoreThan540Bytes) {
  std::vector<uint8_t> pict = withAt(std::vector<uint8_t>(541, 0), 522, {0x00, 0x11, 0x02, 0xFF});
  EXPECT_EQ(sniff(pict), PL_FT_PICT);
  pict.resize(540);
  EXPECT_EQ(sniff(pict), PL_FT_UNKNOWN);
}

TEST_F(PictureTest, MetafileByNameBeforeTheBytes) {
  TempDir dir;
  std::vector<uint8_t> jpeg = bytes({0xFF, 0xD8, 0xFF, 0xE0}, 64);
  for (auto [name, type] : {std::pair{"photo.Wmf.jpg", PL_FT_WMF}, {"a.EMF", PL_FT_EMF}, {"x.wmf.emf", PL_FT_WMF},
                            {"plain.jpg", PL_FT_JPEG}, {"wmf.jpg", PL_FT_JPEG}}) {
    std::string path = dir.file(name);
    writeFile(path, jpeg);
    CPicFileSource source;
    ASSERT_EQ(source.Open(path.c_str()), 0);
    EXPECT_EQ(CAnyPicDecoder::GetFileFormat(&source), type) << name;
  }
}

TEST_F(PictureTest, RecognitionTraceOfEveryFormat) {
  TempDir dir;
  std::string trace = dir.file("trace.txt");
  struct Case {
    std::vector<uint8_t> data;
    const char* name;
    const char* line;
  } cases[] = {
      {bytes({'B', 'M'}, 64), "Mem", "Windows bitmap recognized.\n"},
      {kTga, "Mem", "TGA file recognized.\n"},
      {bytes({0x49, 0x49, 0x2A, 0x00}, 64), "Mem", "TIFF file recognized.\n"},
      {bytes({'G', 'I', 'F', '8', '9', 'a'}, 64), "Mem", "GIF file recognized.\n"},
      {withAt(kPictHead, 522, {0x00, 0x11, 0x02, 0xFF}), "Mem", "Mac PICT recognized.\n"},
      {bytes({0xFF, 0xD8, 0xFF, 0xE0}, 64), "Mem", "JPEG file recognized.\n"},
      {withAt(withAt(bytes({0xC5, 0xD0, 0xD3, 0xC6}, 64), 20, {32}), 24, {4}), "Mem",
       "TIFF preview in EPS file recognized.\n"},
      {bytes({0x0A, 5, 1, 8}, 128), "Mem", "PCX file recognized.\n"},
      {bytes({'P', '5', '\n'}, 64), "Mem", "PGM file recognized.\n"},
      {bytes({1, 2, 3}, 64), "x.wmf", "WMF file recognized.\n"},
      {bytes({1, 2, 3}, 64), "x.emf", "EMF file recognized.\n"},
  };
  for (const Case& c : cases) {
    std::remove(trace.c_str());
    CAnyPicDecoder decoder;
    PLSetTraceLevel(2);
    PLSetTraceFile(trace.c_str());
    CWinBmp bmp;
    try {
      if (std::string(c.name) == "Mem") {
        decoder.MakeBmpFromMemory(c.data.data(), int(c.data.size()), &bmp, 32);
      } else {
        writeFile(dir.file(c.name), c.data);
        decoder.MakeBmpFromFile(dir.file(c.name).c_str(), &bmp, 32);
      }
    } catch (const CTextException&) {
      // The data is not a real picture; only the recognition matters here.
    }
    std::vector<uint8_t> got = readFile(trace);
    std::string text(got.begin(), got.end());
    EXPECT_NE(text.find(c.line), std::string::npos) << c.line << " in:\n" << text;
    EXPECT_EQ(text.rfind("--- Decoding ", 0), 0u) << text;
  }
}

TEST_F(PictureTest, UnrecognisedAndPngRaiseTheirCodes) {
  TempDir dir;
  std::string trace = dir.file("trace.txt");
  struct Case {
    std::vector<uint8_t> data;
    int code;
    const char* text;
  } cases[] = {
      {bytes({'n', 'o', 'p', 'e'}, 100), 8, "Decoder error: Unknown file type.\n"},
      {{}, 8, "Decoder error: Unknown file type.\n"},
      {bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, 64), 6,
       "Decoder error: Library not compiled for this file type.\n"},
  };
  for (const Case& c : cases) {
    std::remove(trace.c_str());
    CAnyPicDecoder decoder;
    PLSetTraceLevel(0);
    PLSetTraceFile(trace.c_str());
    CWinBmp bmp;
    Failure f = failureOf([&] { decoder.MakeBmpFromMemory(c.data.data(), int(c.data.size()), &bmp, 32); });
    EXPECT_EQ(f.code, c.code);
    EXPECT_EQ(f.text, c.text);
    // Error lines go to the trace at level 0; nothing else does.
    std::vector<uint8_t> got = readFile(trace);
    EXPECT_EQ(std::string(got.begin(), got.end()), c.text);
  }
}

TEST_F(PictureTest, DecoderDestructorClearsTheTraceFile) {
  PLSetTraceFile("/tmp/never-written.txt");
  { CAnyPicDecoder decoder; }
  EXPECT_TRUE(PLGetTraceFile().empty());
}

TEST_F(PictureTest, OpeningFailuresGiveTheirCodes) {
  TempDir dir;
  std::string missing = dir.file("missing.bmp");
  std::string noFolder = dir.file("nofolder/missing.bmp");
  std::string fileAsFolder = dir.file("plain.bmp/x.bmp");
  writeFile(dir.file("plain.bmp"), {'B', 'M'});
  struct Case {
    std::string path;
    int code;
  } cases[] = {{missing, 4}, {noFolder, 3}, {fileAsFolder, 3}, {dir.path(), 5}};
  for (const Case& c : cases) {
    CWinBmp bmp;
    Failure f = failureOf([&] { CAnyPicDecoder().MakeBmpFromFile(c.path.c_str(), &bmp, 32); });
    EXPECT_EQ(f.code, c.code) << c.path;
    EXPECT_EQ(f.text, "Decoder error: Opening " + c.path + " failed\n");
  }
  if (geteuid() != 0) {
    std::string locked = dir.file("locked.bmp");
    writeFile(locked, {'B', 'M'});
    chmod(locked.c_str(), 0);
    CWinBmp bmp;
    EXPECT_EQ(failureOf([&] { CAnyPicDecoder().MakeBmpFromFile(locked.c_str(), &bmp, 32); }).code, 5);
  }
}

TEST_F(PictureTest, WindowsStylePathsAreConverted) {
  TempDir dir;
  std::vector<uint8_t> file = makeBmp({2, 1, 24, 0, 40, 0, {}, {}, {}, {1, 2, 3, 4, 5, 6, 0, 0}});
  writeFile(dir.file("win.bmp"), file);
  std::string windows = "C:" + dir.file("win.bmp");
  std::replace(windows.begin(), windows.end(), '/', '\\');
  CWinBmp bmp;
  CAnyPicDecoder().MakeBmpFromFile(windows.c_str(), &bmp, 32);
  EXPECT_EQ(bmp.GetPixel(1, 0), CPixel32(6, 5, 4, 255));
}

class CountingNotification : public CProgressNotification {
 public:
  void ReportProgress(double part) override { parts.push_back(part); }
  std::vector<double> parts;
};

TEST(PicSource, ReadsUpToTheEndAndNoFurther) {
  std::vector<uint8_t> data(3000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
  CountingNotification notify;
  CPicMemSource source(&notify);
  ASSERT_EQ(source.Open(data.data(), int(data.size())), 0);
  EXPECT_STREQ(source.GetName(), "Mem");
  EXPECT_EQ(source.ReadLEWord(), 0x0100);
  EXPECT_EQ(source.ReadBEWord(), 0x0203);
  EXPECT_EQ(source.ReadLELong(), 0x07060504u);
  EXPECT_EQ(source.ReadBELong(), 0x08090A0Bu);
  EXPECT_EQ(*source.PeekBytes(4), 12);
  for (int i = 0; i < 29; ++i) source.ReadBytes(100);  // to 2912
  EXPECT_EQ(source.GetBytesRead(), 2912);
  EXPECT_EQ(source.ReadBytes(88)[87], uint8_t(2999));  // exactly to the end
  EXPECT_EQ(source.GetBytesLeft(), 0);
  for (auto attempt : {+[](CPicSource& s) { s.ReadBytes(1); }, +[](CPicSource& s) { s.PeekBytes(1); },
                       +[](CPicSource& s) { s.ReadBytes(-1); }}) {
    Failure f = failureOf([&] { attempt(source); });
    EXPECT_EQ(f.code, 11);
    EXPECT_EQ(f.text, "End of file reached while decoding.\n");
  }
  source.Close();
  ASSERT_EQ(notify.parts.size(), 3u);
  EXPECT_DOUBLE_EQ(notify.parts[0], 1112.0 / 3000);
  EXPECT_DOUBLE_EQ(notify.parts[1], 2112.0 / 3000);
  EXPECT_DOUBLE_EQ(notify.parts[2], 1.0);
}

TEST(PicSource, BitmapDecoderReadingPastTheEndFails) {
  // Rows claim 4 bytes, the file holds 3.
  std::vector<uint8_t> file = makeBmp({1, 1, 24, 0, 40, 0, {}, {}, {}, {1, 2, 3}});
  CWinBmp bmp;
  Failure f = failureOf([&] { decode(file, &bmp); });
  EXPECT_EQ(f.code, 11);
  EXPECT_EQ(f.text, "End of file reached while decoding.\n");
}

TEST(PicFileSink, WritesOnCloseAndRefusesOverflow) {
  TempDir dir;
  std::string path = dir.file("out.bin");
  {
    CPicFileSink sink;
    ASSERT_EQ(sink.Open(path.c_str(), 6), 0);
    sink.WriteBytes("abcd", 4);
    sink.WriteLEWord(0x6665);
    Failure f = failureOf([&] { sink.WriteByte('g'); });
    EXPECT_EQ(f.code, 11);
    EXPECT_EQ(f.text, "Buffer overflow while encoding.\n");
    EXPECT_EQ(sink.GetBytesWritten(), 6);
    sink.Close();
  }
  std::vector<uint8_t> got = readFile(path);
  EXPECT_EQ(std::string(got.begin(), got.end()), "abcdef");
  {
    CPicFileSink sink;
    ASSERT_EQ(sink.Open(path.c_str(), 10), 0);
    sink.WriteBytes("xy", 2);
  }  // destroyed while open: written
  got = readFile(path);
  EXPECT_EQ(std::string(got.begin(), got.end()), "xy");
  CPicFileSink bad;
  EXPECT_EQ(bad.Open(dir.file("no/such/folder").c_str(), 10), -1);
}

TEST(TextException, CopiesCodeAndText) {
  CTextException a(7, "repeat count spans end of image.");
  CTextException b(a);
  EXPECT_EQ(b.GetErrorCode(), 7);
  EXPECT_STREQ(b.GetErrorText(), "repeat count spans end of image.");
  EXPECT_NE(a.GetErrorText(), b.GetErrorText());
}

}  // namespace
