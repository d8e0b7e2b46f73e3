#include "fitting/kernel2d.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fitting/kernel3d.h"
#include "framework/backend.h"
#include "framework/paths.h"
#include "model/head.h"
#include "picture/picencoder.h"
#include "tests/framework/temp_dir.h"
#include "foundation/random.h"
#include "tests/support/fakes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A position-coded picture: red = x, green = y (both mod 256), blue = x / 256 + 16 (y / 256).
CPixel32 code(int x, int y) { return CPixel32(uint8_t(x), uint8_t(y), uint8_t((x >> 8) + 16 * (y >> 8)), 0); }

CWinBmp codedBitmap(int w, int h, int bpp = 32) {
    CWinBmp b;
    b.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.SetPixel(x, y, code(x, y));
    if (bpp == 32) return b;
    CWinBmp c;
    c.CreateCopy(b, bpp);
    return c;
}

bool sameRGB(CPixel32 a, CPixel32 b) { return a.GetR() == b.GetR() && a.GetG() == b.GetG() && a.GetB() == b.GetB(); }

// A PNG (RGB, 8 bits) with stored deflate blocks, so the test needs no zlib.
uint32_t crc32(const uint8_t* p, size_t n, uint32_t c = 0xFFFFFFFFu) {
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c;
}
void be32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
void chunk(Bytes& out, const char* type, const Bytes& data) {
    be32(out, uint32_t(data.size()));
    Bytes td(type, type + 4);
    td.insert(td.end(), data.begin(), data.end());
    out.insert(out.end(), td.begin(), td.end());
    be32(out, crc32(td.data(), td.size()) ^ 0xFFFFFFFFu);
}
Bytes pngOf(const CWinBmp& b) {
    int w = b.GetWidth(), h = b.GetHeight();
    Bytes raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            CPixel32 p = b.GetPixel(x, y);
            raw.insert(raw.end(), {p.GetR(), p.GetG(), p.GetB()});
        }
    }
    Bytes z = {0x78, 0x01};
    for (size_t i = 0; i < raw.size() || i == 0; i += 65535) {
        size_t n = std::min<size_t>(65535, raw.size() - i);
        z.push_back(i + n >= raw.size() ? 1 : 0);
        z.insert(z.end(), {uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
        z.insert(z.end(), raw.begin() + i, raw.begin() + i + n);
    }
    uint32_t a = 1, s = 0;
    for (uint8_t c : raw) a = (a + c) % 65521, s = (s + a) % 65521;
    be32(z, (s << 16) | a);
    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    be32(ihdr, w);
    be32(ihdr, h);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}


void writeFile(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}
Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
void writeBmp(const std::string& path, const CWinBmp& b) { CBmpEncoder().MakeFileFromBmp(path.c_str(), &b); }

class Kernel2DTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        brv::DefaultHeadlessBackend().Reset();
        services = std::make_unique<fakes::Services>();
        services->app.state().pictureEditor = 0;
        kernel = std::make_unique<CKernel2D>(&services->document);
        services->document.photo = kernel.get();
    }
    void TearDown() override {
        kernel.reset();
        services.reset();
        resetModelState();
        brv::DefaultHeadlessBackend().Reset();
    }
    std::vector<brv::HeadlessBackend::Event> boxes() {
        return brv::DefaultHeadlessBackend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    }

    std::unique_ptr<fakes::Services> services;
    std::unique_ptr<CKernel2D> kernel;
    TempDir tmp;
};

TEST_F(Kernel2DTest, ConstructionHoldsThePlaceholderAndACurrentFeatureSet) {
    EXPECT_EQ(kernel->photo.GetWidth(), 8);
    EXPECT_EQ(kernel->photo.GetHeight(), 8);
    EXPECT_EQ(kernel->photo.GetBitsPerPixel(), 24);
    EXPECT_EQ(actual_head2, kernel->head);
    EXPECT_STREQ(kernel->head->name(), "default_name_of_AllOfEditedData2D");
    EXPECT_EQ(kernel->stashFree, 1u);
    EXPECT_EQ(kernel->fileLength, 0);
}

TEST_F(Kernel2DTest, InitPictureScalesToHeight768OrRefuses) {
    struct Case {
        int w, h;
        bool accepted;
        int scaledWidth;
    } cases[] = {
        {1200, 900, true, 1024},  {500, 768, true, 500},   {100, 100, true, 768}, {99, 500, false, 0},
        {500, 99, false, 0},      {100, 100000, false, 0},  // would scale to width 0
        {100000, 100, false, 0},                             // would scale to a 2.4 GB bitmap
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        brv::DefaultHeadlessBackend().Reset();
        services->app.endProgramCodes.clear();
        kernel->photo.Create(c.w, c.h, 32, false);
        kernel->head->valid = 1;
        kernel->InitPicture();
        EXPECT_EQ(kernel->origWidth, c.w);
        EXPECT_EQ(kernel->origHeight, c.h);
        EXPECT_EQ(kernel->scaledHeight, 768);
        if (c.accepted) {
            EXPECT_EQ(kernel->scaledWidth, c.scaledWidth);
            EXPECT_EQ(kernel->photo.GetWidth(), c.scaledWidth);
            EXPECT_EQ(kernel->photo.GetHeight(), 768);
            EXPECT_TRUE(boxes().empty());
        } else {
            EXPECT_EQ(kernel->photo.GetWidth(), 8);
            EXPECT_EQ(kernel->head->valid, 0);
            ASSERT_EQ(boxes().size(), 1u);
            EXPECT_EQ(boxes()[0].text, "Wrong picture size");
            EXPECT_EQ(boxes()[0].caption, "Error");
            EXPECT_TRUE(services->app.endProgramCodes.empty());  // full work flow, not DAZ
        }
    }
}

TEST_F(Kernel2DTest, ARefusedPictureEndsTheCompanionModes) {
    for (int mode : {0, 1}) {
        services->app.endProgramCodes.clear();
        services->app.state().pictureEditor = mode;
        services->app.state().dazMode = mode ? 0 : 2;
        kernel->photo.Create(50, 50, 32, false);
        kernel->InitPicture();
        EXPECT_EQ(services->app.endProgramCodes, std::vector<int>{0});
    }
}

TEST_F(Kernel2DTest, AStretchedPhotoOfHeight768IsNotResampled) {
    kernel->photo = codedBitmap(300, 768);
    kernel->InitPicture();
    EXPECT_EQ(kernel->photo.GetPixel(299, 767), code(299, 767));
}

TEST_F(Kernel2DTest, PngWithUpperCaseExtensionIsDecodedKeptAndNamesTheDocument) {
    CWinBmp src = codedBitmap(120, 160);
    std::string path = tmp / "Zire.Zazar.PNG";
    writeFile(path, pngOf(src));
    services->startPage.answer = {};  // whole picture
    ASSERT_EQ(kernel->LoadPicFile(path.c_str()), 1);
    EXPECT_EQ(services->document.state().name, "Zire.Zazar");
    EXPECT_EQ(services->document.titles, std::vector<std::string>{"Zire.Zazar"});
    // the photo's name as project files hold it
    EXPECT_EQ(std::string(kernel->head->name()), brv::WindowsPath(path));
    EXPECT_EQ(kernel->head->valid, 1);
    EXPECT_EQ(actual_head2, kernel->head);
    EXPECT_EQ(kernel->FileBytes(), readFile(path));
    EXPECT_EQ(kernel->fileLength, int(readFile(path).size()));
    EXPECT_EQ(kernel->origWidth, 120);
    EXPECT_EQ(kernel->photo.GetWidth(), 576);  // 120 / 160 x 768
    EXPECT_EQ(services->startPage.calls, 1);

    // The stored bytes are decoded again by the PNG decoder.
    CWinBmp out;
    ASSERT_EQ(kernel->LoadOrigBmp(&out, 2, 0, 0), 120);
    ASSERT_EQ(out.GetHeight(), 160);
    for (int y : {0, 77, 159})
        for (int x : {0, 61, 119}) EXPECT_TRUE(sameRGB(out.GetPixel(x, y), code(x, y))) << x << "," << y;
}

TEST_F(Kernel2DTest, UnreadableFileShowsWrongFile) {
    std::string path = tmp / "missing.jpg";
    EXPECT_EQ(kernel->LoadPicFile(path.c_str()), 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Wrong file: " + path + "!");
    EXPECT_EQ(brv::DefaultHeadlessBackend().EventsOf(brv::HeadlessBackend::Event::kBeep).size(), 1u);

    std::string junk = tmp / "junk.bmp";
    writeFile(junk, Bytes(100, 7));
    EXPECT_EQ(kernel->LoadPicFile(junk.c_str()), 0);
    EXPECT_EQ(boxes().size(), 2u);
}

// Files that are no picture, whatever their name says: each entry point of
// the photo kernel gives its clean refusal, throws nothing, and leaves the
// photo that was loaded before.
TEST_F(Kernel2DTest, JunkFilesAreRefusedByEveryEntryPoint) {
    std::string good = tmp / "good.bmp";
    writeBmp(good, codedBitmap(200, 150));
    services->startPage.answer = {};
    ASSERT_EQ(kernel->LoadPicFile(good.c_str()), 1);
    const Bytes goodBytes = readFile(good);
    fnd::RandomSource random(99);
    Bytes noise(3000);
    for (uint8_t& b : noise) b = uint8_t(random.next());
    Bytes pngHeaderOnly = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    pngHeaderOnly.insert(pngHeaderOnly.end(), noise.begin(), noise.begin() + 100);
    struct Junk {
        const char* what;
        Bytes bytes;
    } junk[] = {{"empty", {}}, {"random bytes", noise}, {"a PNG signature and random bytes", pngHeaderOnly}};
    for (const Junk& j : junk)
        for (const char* ext : {".png", ".jpg", ".bmp", ".PNG"}) {
            SCOPED_TRACE(std::string(j.what) + " named " + ext);
            brv::DefaultHeadlessBackend().Reset();
            std::string path = tmp / (std::string("junk") + ext);
            writeFile(path, j.bytes);

            EXPECT_EQ(kernel->LoadPicFile(path.c_str()), 0);
            ASSERT_EQ(boxes().size(), 1u);
            EXPECT_EQ(boxes()[0].text, "Wrong file: " + path + "!");
            EXPECT_EQ(kernel->photo.GetWidth(), 1024);  // the photo loaded before
            EXPECT_EQ(kernel->FileBytes(), goodBytes);

            // The same bytes as a project's stored photo.
            kernel->SetFileBytes(j.bytes);
            if (j.bytes.empty()) kernel->fileLength = 0;
            for (int type : {0, 1, 2, 3})
                for (int size : {0, 64}) {
                    CWinBmp out = codedBitmap(20, 10);
                    int width = -1;
                    EXPECT_NO_THROW(width = kernel->LoadOrigBmp(&out, type, size, size));
                    if (j.bytes.empty()) continue;  // no bytes: the working photo
                    EXPECT_EQ(width, 0);
                    EXPECT_EQ(out.GetWidth(), 20);
                }
            // A stash of them restores nothing it cannot decode.
            kernel->SaveOrigPhoto();
            EXPECT_NO_THROW(kernel->LoadOrigPhoto());
            EXPECT_EQ(kernel->photo.GetWidth(), 1024);
            kernel->SetFileBytes(goodBytes);

            // The same file as a project's sections: a failed stream, no throw.
            for (int section = 0; section < 5; ++section) {
                fnd::fileTB f;
                ASSERT_TRUE(f.open(path.c_str(), "rt"));
                CWinBmp bmp = codedBitmap(12, 12);
                CKernel3D heads(&services->document);
                int good = -1;
                EXPECT_NO_THROW(good = section == 0   ? kernel->LoadHead(f)
                                       : section == 1 ? kernel->LoadPreview(f)
                                       : section == 2 ? LoadBMP(f, bmp)
                                       : section == 3 ? heads.LoadHead(f, 1000)
                                                      : heads.LoadPHS(f));
                if (section == 2) {
                    EXPECT_EQ(bmp.GetWidth(), 12);
                }
                (void)good;
            }
            kernel->head->set_actual();
        }
}

TEST_F(Kernel2DTest, CancelledStartPageOrNegativeLeftAbandonsTheLoad) {
    std::string path = tmp / "a.bmp";
    writeBmp(path, codedBitmap(200, 150));
    services->startPage.result = svc::StartPage::kCancel;
    EXPECT_EQ(kernel->LoadPicFile(path.c_str()), 0);
    services->startPage.result = 1;
    services->startPage.answer.left = -1;
    EXPECT_EQ(kernel->LoadPicFile(path.c_str()), 0);
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(services->document.titles.empty());
    // The open photo, its bytes and its name stay as they were.
    EXPECT_EQ(kernel->photo.GetWidth(), 8);
    EXPECT_TRUE(kernel->FileBytes().empty());
    EXPECT_TRUE(kernel->abandoned);
}

TEST_F(Kernel2DTest, PictureEditorModeTakesTheClipboardPicture) {
    CWinBmp clip = codedBitmap(300, 200);
    services->app.state().pictureEditor = 1;
    services->app.state().clipboardPicture = &clip;
    ASSERT_EQ(kernel->LoadPicFile("C:\\pics\\x.jpg"), 1);
    EXPECT_EQ(services->startPage.calls, 0);
    EXPECT_EQ(services->document.state().name, "x");
    EXPECT_EQ(services->document.state().templateId, 102);
    EXPECT_EQ(services->document.state().textureSize, 1024);
    EXPECT_TRUE(services->document.state().startPageChoice);
    EXPECT_EQ(kernel->right, 300);
    EXPECT_EQ(kernel->bottom, 200);
    EXPECT_EQ(kernel->fileLength, 0);
    EXPECT_EQ(kernel->clipboardCopy.GetWidth(), 300);
    EXPECT_EQ(kernel->photo.GetWidth(), 1152);
    // Without file bytes LoadOrigBmp copies the working photo.
    CWinBmp out;
    EXPECT_EQ(kernel->LoadOrigBmp(&out, 2, 64, 32), 64);
    EXPECT_EQ(out.GetHeight(), 32);
}

// Turned, mirrored and cropped rebuilds of the stored photo.
TEST_F(Kernel2DTest, LoadOrigBmpTurnsMirrorsAndCrops) {
    std::string path = tmp / "p.bmp";
    writeBmp(path, codedBitmap(40, 30));
    kernel->SetFileBytes(readFile(path));
    struct Case {
        int turns, mirrorLR, mirrorTB;
        int left, top, right, bottom;
        int type;
        int w, h;
        int sx, sy;  // source pixel of output (0, 0)
        int clampedLeft;
    } cases[] = {
        {0, 0, 0, 0, 0, 0, 0, 2, 40, 30, 0, 0, 0},       // all zeros: the whole photo
        {0, 0, 0, 5, 4, 25, 14, 2, 20, 10, 5, 4, 5},     // a crop
        {0, 0, 0, 40, 0, 0, 0, 2, 40, 30, 0, 0, 0},      // left at the width is reset to 0
        {0, 1, 0, 0, 0, 0, 0, 1, 40, 30, 39, 0, 0},      // left-right mirror
        {0, 0, 1, 0, 0, 0, 0, 0, 40, 30, 0, 29, 0},      // top-bottom mirror
        {2, 0, 0, 0, 0, 0, 0, 2, 40, 30, 39, 29, 0},     // half a turn
        {1, 0, 0, 0, 0, 0, 0, 2, 30, 40, -1, -1, 0},     // a quarter turn swaps the sides
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        kernel->quarterTurns = c.turns;
        kernel->mirrorLeftRight = c.mirrorLR;
        kernel->mirrorTopBottom = c.mirrorTB;
        kernel->left = c.left, kernel->top = c.top, kernel->right = c.right, kernel->bottom = c.bottom;
        CWinBmp out;
        EXPECT_EQ(kernel->LoadOrigBmp(&out, c.type, 0, 0), c.w);
        EXPECT_EQ(out.GetHeight(), c.h);
        EXPECT_EQ(kernel->left, c.clampedLeft);
        if (c.sx >= 0) {
            EXPECT_TRUE(sameRGB(out.GetPixel(0, 0), code(c.sx, c.sy)));
        }
    }
}

TEST_F(Kernel2DTest, LoadOrigBmpSquareIncludesRowAndColumnZero) {
    std::string path = tmp / "p.bmp";
    writeBmp(path, codedBitmap(40, 30));
    kernel->SetFileBytes(readFile(path));
    kernel->loadLeft = 0, kernel->loadTop = 0, kernel->loadRight = 20, kernel->loadBottom = 30;
    CWinBmp out;
    ASSERT_EQ(kernel->LoadOrigBmp(&out, 3, 0, 0), 20);
    ASSERT_EQ(out.GetHeight(), 20);
    EXPECT_TRUE(sameRGB(out.GetPixel(0, 0), code(0, 0)));
    EXPECT_TRUE(sameRGB(out.GetPixel(0, 5), code(0, 5)));
    EXPECT_TRUE(sameRGB(out.GetPixel(19, 19), code(19, 19)));

    // A square reaching past the photo keeps its white, transparent rest.
    kernel->loadLeft = 30, kernel->loadTop = 20, kernel->loadRight = 50, kernel->loadBottom = 50;
    ASSERT_EQ(kernel->LoadOrigBmp(&out, 3, 0, 0), 20);
    EXPECT_TRUE(sameRGB(out.GetPixel(9, 9), code(39, 29)));
    EXPECT_EQ(out.GetPixel(10, 0), CPixel32(255, 255, 255, 0));
    EXPECT_EQ(out.GetPixel(0, 10), CPixel32(255, 255, 255, 0));
}

TEST_F(Kernel2DTest, StashKeepsTheFirstOriginalAndRestoresIt) {
    std::string path = tmp / "p.bmp";
    writeBmp(path, codedBitmap(200, 150));
    kernel->LoadOrigPhoto();  // nothing stashed: nothing happens
    EXPECT_EQ(kernel->photo.GetWidth(), 8);

    kernel->SetFileBytes(readFile(path));
    kernel->left = 10, kernel->top = 0, kernel->right = 110, kernel->bottom = 150;
    kernel->loadLeft = 10, kernel->loadRight = 110;
    kernel->SaveOrigPhoto();
    EXPECT_EQ(kernel->stashFree, 0u);

    kernel->SetFileBytes({1, 2, 3});
    kernel->left = 0, kernel->right = 0;
    kernel->SaveOrigPhoto();  // a second stash keeps the first
    kernel->LoadOrigPhoto();
    EXPECT_EQ(kernel->stashFree, 1u);
    EXPECT_EQ(kernel->FileBytes(), readFile(path));
    EXPECT_EQ(kernel->left, 10);
    EXPECT_EQ(kernel->right, 110);
    EXPECT_EQ(kernel->loadRight, 110);
    EXPECT_EQ(kernel->origWidth, 100);  // the crop, before scaling
    EXPECT_EQ(kernel->photo.GetWidth(), 512);
    EXPECT_EQ(kernel->photo.GetHeight(), 768);
}

// Bitmaps in a token stream.
class BitmapStreamTest : public Kernel2DTest {};

TEST_F(BitmapStreamTest, RoundTripKeepsEveryPixelAndTheHeaderWord) {
    std::string path = tmp / "s.bin";
    CWinBmp src = codedBitmap(640, 12);
    src.SetPixel(3, 4, CPixel32(1, 2, 3, 200));
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "wt"));
        f << 77;
        SaveBMP(f, src);
        f << 88;  // the stream stays binary
        ASSERT_TRUE(f.good());
    }
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "rt"));
        int before = 0, word = 0, h = 0;
        f >> before >> word >> h;
        EXPECT_EQ(before, 77);
        EXPECT_EQ(uint32_t(word), 0x80000000u | 640u);
        EXPECT_EQ(h, 12);
    }
    fnd::fileTB f;
    ASSERT_TRUE(f.open(path.c_str(), "rt"));
    int before = 0, after = 0;
    f >> before;
    CWinBmp back;
    ASSERT_EQ(LoadBMP(f, back), 1);
    f >> after;
    EXPECT_EQ(after, 88);
    ASSERT_EQ(back.GetWidth(), 640);
    ASSERT_EQ(back.GetHeight(), 12);
    EXPECT_EQ(back.GetBitsPerPixel(), 32);
    EXPECT_TRUE(back.HasAlpha());
    EXPECT_EQ(back.GetPixel(3, 4), CPixel32(1, 2, 3, 200));
    EXPECT_EQ(back.GetPixel(639, 11), code(639, 11));
}

TEST_F(BitmapStreamTest, SmallSidesAreStoredWithoutPixels) {
    std::string path = tmp / "s.bin";
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "wt"));
        CWinBmp b = codedBitmap(8, 200);
        SaveBMP(f, b);
    }
    fnd::fileTB f;
    ASSERT_TRUE(f.open(path.c_str(), "rt"));
    int word = 0, h = 0;
    f >> word >> h;
    EXPECT_EQ(uint32_t(word), 0x80000000u);
    EXPECT_EQ(h, 200);
    Bytes bytes = readFile(path);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find('\0'), std::string::npos);  // no pixel bytes
}

TEST_F(BitmapStreamTest, TextPixelsWithSkippedWordsAreRead) {
    std::string path = tmp / "t.txt";
    // width 2 with bit 30 (an int before every row and pixel), text pixels.
    writeFile(path, [] {
        std::string s = "1073741826 1\n9 8 1 2 3 4 8 5 6 7 8\n";
        return Bytes(s.begin(), s.end());
    }());
    fnd::fileTB f;
    ASSERT_TRUE(f.open(path.c_str(), "rt"));
    CWinBmp b;
    ASSERT_EQ(LoadBMP(f, b), 1);
    ASSERT_EQ(b.GetWidth(), 2);
    EXPECT_EQ(b.GetPixel(0, 0), CPixel32(1, 2, 3, 4));
    EXPECT_EQ(b.GetPixel(1, 0), CPixel32(5, 6, 7, 8));
}

TEST_F(BitmapStreamTest, SizesBeyondTheStreamFailAndLeaveTheBitmap) {
    struct Case {
        const char* name;
        std::string header;
        int pixelBytes;
    } cases[] = {
        {"short rows", "-2147483520 20\n", 128 * 19 * 4},  // 128 wide, one row missing
        {"huge", "-1073741825 1000000000\n", 64},            // 2^30 - 1 wide, 10^9 high
        {"negative height", "-2147483520 -5\n", 64},
        // Pictures in files are checked as pictures from disk: no side of 0
        // beside one that is not (a row still costs), nothing above the
        // pixel limit.
        {"no width, 10^9 rows", "-2147483648 1000000000\n", 64},
        {"128 wide, no rows", "-2147483520 0\n", 64},
        {"65536 x 65536", "-2147418112 65536\n", 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = tmp / "bad.bin";
        Bytes b(c.header.begin(), c.header.end());
        b.resize(b.size() + c.pixelBytes, 9);
        writeFile(path, b);
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "rt"));
        CWinBmp keep = codedBitmap(10, 10);
        EXPECT_EQ(LoadBMP(f, keep), 0);
        EXPECT_FALSE(f.good());
        EXPECT_EQ(keep.GetWidth(), 10);
        EXPECT_EQ(keep.GetPixel(9, 9), code(9, 9));
    }
}

TEST_F(BitmapStreamTest, PreviewIs128OnTheLongerSide) {
    struct Case {
        int w, h, pw, ph;
    } cases[] = {{1024, 768, 128, 96}, {600, 768, 100, 128}};
    for (const Case& c : cases) {
        std::string path = tmp / "pv.bin";
        kernel->photo = codedBitmap(c.w, c.h);
        {
            fnd::fileTB f;
            ASSERT_TRUE(f.open(path.c_str(), "wt"));
            kernel->SavePreview(f);
        }
        kernel->preview.Create(1, 1, 32, false);
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "rt"));
        EXPECT_EQ(kernel->LoadPreview(f), 1);
        EXPECT_EQ(kernel->preview.GetWidth(), c.pw);
        EXPECT_EQ(kernel->preview.GetHeight(), c.ph);
    }
    // The placeholder writes nothing.
    kernel->Reset();
    std::string path = tmp / "none.bin";
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "wt"));
        kernel->SavePreview(f);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(Kernel2DTest, ResetAndLoadHeadReplaceTheFeatureSet) {
    kernel->notes = "note";
    kernel->points.add_data(vector2<double>(1, 2));
    kernel->photo = codedBitmap(300, 300);
    kernel->Reset();
    EXPECT_EQ(kernel->points.count(), 0);
    EXPECT_TRUE(kernel->notes.IsEmpty());
    EXPECT_EQ(kernel->photo.GetWidth(), 8);
    EXPECT_EQ(actual_head2, kernel->head);

    std::string path = tmp / "h2.txt";
    kernel->head->valid = 1;
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), "wt"));
        EXPECT_EQ(kernel->SaveHead(f), 1);
    }
    head2* old = kernel->head;
    fnd::fileTB f;
    ASSERT_TRUE(f.open(path.c_str(), "rt"));
    EXPECT_EQ(kernel->LoadHead(f), 1);
    EXPECT_EQ(actual_head2, kernel->head);
    (void)old;
}

}  // namespace
