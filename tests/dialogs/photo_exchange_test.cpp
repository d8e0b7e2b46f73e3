#include "dialogs/photo_exchange.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "document/tempfolders.h"
#include "framework/backend.h"
#include "framework/settings.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "picture/bmp_platform.h"
#include "picture/clipboard_bmp_platform.h"
#include "tests/framework/temp_dir.h"
#include "tests/picture/picture_magick.h"
#include "tests/support/model_fixture.h"

namespace {

using V2 = vector2<double>;

// ---- the scale estimate ----

struct Entry {
    int index;
    V2 a, b;
};

struct Sets {
    double ax[kExchangePoints], ay[kExchangePoints], bx[kExchangePoints], by[kExchangePoints];
    explicit Sets(const std::vector<Entry>& entries) {
        for (int i = 0; i < kExchangePoints; ++i) ax[i] = ay[i] = bx[i] = by[i] = kNoExchangePoint;
        for (const Entry& e : entries) {
            ax[e.index] = e.a.x, ay[e.index] = e.a.y;
            bx[e.index] = e.b.x, by[e.index] = e.b.y;
        }
    }
    double estimate() const { return PosPhsh(ax, ay, bx, by); }
};

// Set B as set A times k, moved by t.
std::vector<Entry> scaled(const std::vector<V2>& a, double k, V2 t, int firstIndex = 0) {
    std::vector<Entry> out;
    for (std::size_t i = 0; i < a.size(); ++i) out.push_back({firstIndex + int(i), a[i], a[i] * k + t});
    return out;
}

const std::vector<V2> kFace = {{120, 140}, {180, 138}, {150, 175}, {150, 210}, {130, 230}, {170, 230},
                               {100, 160}, {200, 160}, {150, 100}, {115, 190}, {185, 190}, {150, 250}};

TEST(PosPhsh, ScaleBetweenThePointSets) {
    // A 30 x 40 rectangle: every distance and ratio is exact.
    const std::vector<V2> rectangle = {{10, 10}, {40, 10}, {10, 50}, {40, 50}};
    EXPECT_EQ(Sets(scaled(rectangle, 2.25, {0, 0})).estimate(), 2.25);
    EXPECT_NEAR(Sets(scaled(kFace, 1.37, {35, 20})).estimate(), 1.37, 1e-12);
    EXPECT_NEAR(Sets(scaled(kFace, 0.4, {3, 2}, 17)).estimate(), 0.4, 1e-12);  // any rows

    struct Case {
        const char* what;
        std::vector<Entry> entries;
        double want;
    };
    std::vector<Entry> withUnusable = scaled(kFace, 1.37, {35, 20});
    // Each of these would pull the estimate far off if it were used.
    withUnusable.push_back({20, {0, 150}, {500, 500}});
    withUnusable.push_back({21, {150, -3}, {500, 500}});
    withUnusable.push_back({22, {150, 150}, {0, 9000}});
    withUnusable.push_back({23, {150, 150}, {9000, 0}});
    withUnusable.push_back({24, {150, 150}, {9000, kNoExchangePoint}});
    const Case cases[] = {
        {"coordinates at or below 0", withUnusable, 1.37},
        {"no usable entry", {}, 1.0},
        {"one usable entry", {{0, {10, 10}, {20, 20}}}, 1.0},
        {"second entry without B", {{0, {10, 10}, {20, 20}}, {1, {50, 10}, {-1, 20}}}, 1.0},
        {"pair 1 pixel apart in A", {{0, {10, 10}, {20, 20}}, {1, {11, 10}, {70, 20}}}, 1.0},
        {"pair 1.5 pixels apart in A", {{0, {10, 10}, {20, 20}}, {1, {11.5, 10}, {23, 20}}}, 2.0},
    };
    for (const Case& c : cases) EXPECT_NEAR(Sets(c.entries).estimate(), c.want, 1e-12) << c.what;
}

TEST(PosPhsh, AWrongPairOutsideTheWindowChangesNothing) {
    const double k = 1.37;
    std::vector<Entry> entries = scaled(kFace, k, {35, 20});
    // Far from the face in A, inside it in B.
    entries.push_back({29, {900, 700}, V2(150, 180) * k + V2(35, 20)});
    const Sets sets(entries);

    // The test's own mean: every ratio of the wrong entry lies outside the window.
    double sum = 0;
    int n = 0;
    std::vector<double> wrong;
    for (const Entry& e : entries)
        for (const Entry& f : entries) {
            if (e.index == f.index) continue;
            const double r = dist(e.b, f.b) / dist(e.a, f.a);
            sum += r, ++n;
            if (e.index == 29 || f.index == 29) wrong.push_back(r);
        }
    const double mean = sum / n;
    ASSERT_NE(mean, k);
    for (double r : wrong) ASSERT_FALSE(r > 2 * mean / 3 && r < 4 * mean / 3) << r << " mean " << mean;
    EXPECT_NEAR(sets.estimate(), k, 1e-12);
}

// ---- scaling, cleaning and cropping ----

const CPixel32 kWhite(255, 255, 255, 255);

CWinBmp filled(int w, int h, CPixel32 colour) {
    CWinBmp bmp;
    bmp.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp.SetPixel(x, y, colour);
    return bmp;
}

void paint(CWinBmp& bmp, int left, int top, int right, int bottom, CPixel32 colour) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) bmp.SetPixel(x, y, colour);
}

bool isWhite(const CPixel32& p) { return p.GetR() == 255 && p.GetG() == 255 && p.GetB() == 255; }

bool allWhite(const CWinBmp& bmp) {
    for (int y = 0; y < bmp.GetHeight(); ++y)
        for (int x = 0; x < bmp.GetWidth(); ++x)
            if (!isWhite(bmp.GetPixel(x, y))) return false;
    return true;
}

// Whether every pixel of the column (or row) is white.
bool whiteColumn(const CWinBmp& bmp, int x) {
    for (int y = 0; y < bmp.GetHeight(); ++y)
        if (!isWhite(bmp.GetPixel(x, y))) return false;
    return true;
}
bool whiteRow(const CWinBmp& bmp, int y) {
    for (int x = 0; x < bmp.GetWidth(); ++x)
        if (!isWhite(bmp.GetPixel(x, y))) return false;
    return true;
}

TEST(ScalePhsh, WhiteBorderAndCropWidenedByTwo) {
    const CPixel32 red(200, 30, 30, 255);
    CWinBmp bmp = filled(40, 30, red);  // the object reaches every edge
    V2 p(20, 15), q(5, 6);
    const V2 origin = ScalePhsh(&bmp, 1.0, &p, &q);
    // The 5-pixel border is painted white; the crop keeps 2 of it on each side.
    EXPECT_EQ(origin.x, 3);
    EXPECT_EQ(origin.y, 3);
    ASSERT_EQ(bmp.GetWidth(), 34);
    ASSERT_EQ(bmp.GetHeight(), 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 34; ++x) {
            const bool ring = x < 2 || y < 2 || x >= 32 || y >= 22;
            EXPECT_EQ(bmp.GetPixel(x, y), ring ? kWhite : red) << x << "," << y;
        }
    EXPECT_EQ(p.x, 17);
    EXPECT_EQ(p.y, 12);
    EXPECT_EQ(q.x, 2);
    EXPECT_EQ(q.y, 3);
}

TEST(ScalePhsh, MaskKeepsTheBackgroundCleanAfterScaling) {
    const CPixel32 blue(20, 60, 200, 255);
    CWinBmp source = filled(60, 50, kWhite);
    paint(source, 10, 12, 30, 32, blue);  // 20 x 20

    // Plain bilinear scaling leaves blends of white and blue at the rim.
    {
        CWinBmp plain;
        plain.CreateCopy(source);
        plain.ResizeBilinear(87, 73);
        int fringe = 0;
        for (int y = 0; y < plain.GetHeight(); ++y)
            for (int x = 0; x < plain.GetWidth(); ++x)
                fringe += !isWhite(plain.GetPixel(x, y)) && !(plain.GetPixel(x, y) == blue);
        ASSERT_GT(fringe, 0);
    }

    for (double scale : {0.5, 0.7, 1.45, 2.3}) {
        CWinBmp bmp;
        bmp.CreateCopy(source);
        V2 p(10, 12), q(30, 32);  // the square's corners
        const V2 origin = ScalePhsh(&bmp, scale, &p, &q);
        int blues = 0;
        for (int y = 0; y < bmp.GetHeight(); ++y)
            for (int x = 0; x < bmp.GetWidth(); ++x) {
                const CPixel32 c = bmp.GetPixel(x, y);
                ASSERT_TRUE(isWhite(c) || c == blue) << "scale " << scale << " at " << x << "," << y;
                blues += c == blue;
            }
        // The square keeps its scaled size, less a rim of at most 2 pixels.
        const double side = 20 * scale;
        EXPECT_GE(blues, (side - 4) * (side - 4)) << scale;
        EXPECT_LE(blues, (side + 1) * (side + 1)) << scale;
        // Cropped to the square widened by 2 pixels on every side.
        const int w = bmp.GetWidth(), h = bmp.GetHeight();
        EXPECT_TRUE(whiteColumn(bmp, 0) && whiteColumn(bmp, 1) && !whiteColumn(bmp, 2)) << scale;
        EXPECT_TRUE(whiteColumn(bmp, w - 1) && whiteColumn(bmp, w - 2) && !whiteColumn(bmp, w - 3)) << scale;
        EXPECT_TRUE(whiteRow(bmp, 0) && whiteRow(bmp, 1) && !whiteRow(bmp, 2)) << scale;
        EXPECT_TRUE(whiteRow(bmp, h - 1) && whiteRow(bmp, h - 2) && !whiteRow(bmp, h - 3)) << scale;
        // The corners: scaled, then moved by the origin.
        EXPECT_DOUBLE_EQ(p.x, 10 * scale - origin.x) << scale;
        EXPECT_DOUBLE_EQ(p.y, 12 * scale - origin.y) << scale;
        EXPECT_DOUBLE_EQ(q.x, 30 * scale - origin.x) << scale;
        EXPECT_DOUBLE_EQ(q.y, 32 * scale - origin.y) << scale;
        EXPECT_NEAR(p.x, 2, 2.5) << scale;  // the square's corner is near the crop's
        EXPECT_NEAR(p.y, 2, 2.5) << scale;
    }
}

TEST(ScalePhsh, SizesRoundedCappedAndAtLeastOnePixel) {
    struct Case {
        int w, h;
        double scale;
        int wantW, wantH;
        double pointScale;  // the factor the corners were scaled by
    };
    const Case cases[] = {
        {41, 31, 1.0, 41, 31, 1.0},          // all white: unchanged
        {41, 31, 1.5, 62, 47, 1.5},          // 61.5 and 46.5 round up
        {41, 31, 0.3, 12, 9, 0.3},           // 12.3 and 9.3
        {2000, 10, 5.0, 8192, 41, 4.096},    // lowered so the wide side fits
        {10, 2000, 5.0, 41, 8192, 4.096},    // and the high side
        {10, 10, 1e-4, 1, 1, 1e-4},
        {10, 10, std::nan(""), 10, 10, 1.0},
        {10, 10, -2.0, 10, 10, 1.0},
    };
    for (const Case& c : cases) {
        CWinBmp bmp = filled(c.w, c.h, kWhite);
        V2 p(1, 2), q(3, 4);
        const V2 origin = ScalePhsh(&bmp, c.scale, &p, &q);
        EXPECT_EQ(bmp.GetWidth(), c.wantW) << c.w << "x" << c.h << " at " << c.scale;
        EXPECT_EQ(bmp.GetHeight(), c.wantH) << c.w << "x" << c.h << " at " << c.scale;
        EXPECT_TRUE(allWhite(bmp)) << c.scale;
        EXPECT_EQ(origin.x, 0);  // nothing to crop to
        EXPECT_EQ(origin.y, 0);
        EXPECT_DOUBLE_EQ(p.x, 1 * c.pointScale) << c.scale;
        EXPECT_DOUBLE_EQ(q.y, 4 * c.pointScale) << c.scale;
    }
}

// ---- the picture from the 3D view's render ----

class ExchangePictureTest : public testsupport::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        marks = std::make_unique<head2>();
    }
    void TearDown() override {
        marks.reset();
        ModelTest::TearDown();
    }
    void mark(const char* code, V2 at) {
        Index<featurepoint2> i = marks->photoPoints.add_new(code);
        marks->photoPoints[i].position = at;
    }
    std::unique_ptr<head2> marks;
};

// The row of a feature point in the table.
int rowOf(const char* code) {
    CString c;
    for (int i = 0; GetFeaturePointInfo(i, &c); ++i)
        if (c == code) return i;
    return -1;
}

TEST_F(ExchangePictureTest, SetsScaleAndEyeCornersFromViewAndPhoto) {
    // The head as the 3D view shows it: a face-sized disc; the photo shows the
    // face at 1.6 times that size, after the start page reduced it by half.
    const double k = 1.6;
    const double s = 2.0;  // crop height 1536 over the working height 768
    const std::vector<const char*> codes = {"left_corner_of_the_left_eye", "right_corner_of_the_right_eye",
                                            "tip_of_the_nose",          "left_corner_of_the_mouth",
                                            "right_corner_of_the_mouth", "top_of_the_forehead"};
    const std::vector<V2> view = {{110, 120}, {190, 121}, {150, 160}, {125, 195}, {175, 196}, {150, 70}};
    ExchangeScene scene;
    scene.cropTop = 100;
    scene.cropBottom = 1636;
    scene.workingHeight = 768;
    scene.marks = marks.get();
    const V2 shift(40, 25);  // where the face sits on the photo as loaded
    for (std::size_t i = 0; i < codes.size(); ++i) {
        scene.viewPoints.push_back({codes[i], view[i]});
        mark(codes[i], (view[i] * k + shift) * (1 / s));
    }
    // Marked on the photo but hidden in the view; and a code of another group.
    mark("bridge_of_the_nose", V2(150, 110) * (k / s));
    scene.viewPoints.push_back({"top_of_the_forehead_@A", {5, 5}});
    mark("top_of_the_forehead_@A", {3000, 3000});

    CWinBmp picture = filled(300, 260, kWhite);
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 300; ++x)
            if (std::hypot(x - 150.0, (y - 140.0) * 0.8) < 95) picture.SetPixel(x, y, CPixel32(210, 170, 140, 255));

    ExchangeResult r;
    PrepareExchangePicture(picture, scene, r);
    EXPECT_EQ(r.photoScale, s);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const int row = rowOf(codes[i]);
        ASSERT_GE(row, 0);
        ASSERT_LT(row, kExchangePoints);
        EXPECT_EQ(r.ax[row], view[i].x) << codes[i];
        EXPECT_EQ(r.ay[row], view[i].y) << codes[i];
        EXPECT_NEAR(r.bx[row], view[i].x * k + shift.x, 1e-9) << codes[i];
        EXPECT_NEAR(r.by[row], view[i].y * k + shift.y, 1e-9) << codes[i];
    }
    const int hidden = rowOf("bridge_of_the_nose"), other = rowOf("top_of_the_forehead_@A");
    ASSERT_LT(other, kExchangePoints);
    EXPECT_EQ(r.ax[hidden], kNoExchangePoint);
    EXPECT_NEAR(r.bx[hidden], 150 * k, 1e-9);
    EXPECT_EQ(r.ax[other], kNoExchangePoint);  // not of the photo's group
    EXPECT_EQ(r.bx[other], 6000);
    for (int row = 0; row < kExchangePoints; ++row) {
        bool used = row == hidden || row == other;
        for (const char* c : codes) used = used || row == rowOf(c);
        if (!used) { EXPECT_EQ(r.ax[row], kNoExchangePoint) << row; }
        if (!used) { EXPECT_EQ(r.bx[row], kNoExchangePoint) << row; }
    }

    EXPECT_NEAR(r.scale, k, 1e-12);
    EXPECT_NEAR(picture.GetWidth(), 189 * k + 4, 3);  // the disc's width, widened
    // The outer eye corners in the picture lie as far apart as on the photo as loaded.
    EXPECT_NEAR(dist(r.leftEye, r.rightEye), dist(view[0], view[1]) * k, 1e-9);
    EXPECT_NEAR(r.leftEye.x, view[0].x * k - r.origin.x, 1e-9);
    EXPECT_NEAR(r.rightEye.y, view[1].y * k - r.origin.y, 1e-9);
}

TEST_F(ExchangePictureTest, PhotoScaleAndTheRefinementGroup) {
    struct Case {
        int top, bottom, working;
        double want;
    };
    const Case cases[] = {
        {100, 1636, 768, 2.0}, {0, 384, 768, 0.5}, {0, 1536, 0, 1.0},  // no working photo
        {50, 50, 768, 1.0},                                            // no crop kept
    };
    for (const Case& c : cases) {
        ExchangeScene scene;
        scene.cropTop = c.top, scene.cropBottom = c.bottom, scene.workingHeight = c.working;
        EXPECT_EQ(ExchangePhotoScale(scene), c.want) << c.top << " " << c.bottom << " " << c.working;
    }

    // The first refinement photo counts only the @A codes.
    ExchangeScene scene;
    scene.group = 1;
    scene.viewPoints = {{"top_of_the_forehead_@A", {50, 60}}, {"tip_of_the_nose", {70, 80}}};
    CWinBmp picture = filled(20, 20, kWhite);
    ExchangeResult r;
    PrepareExchangePicture(picture, scene, r);
    EXPECT_EQ(r.ax[rowOf("top_of_the_forehead_@A")], 50);
    EXPECT_EQ(r.ax[rowOf("tip_of_the_nose")], kNoExchangePoint);
    EXPECT_EQ(r.leftEye.x, kNoExchangePoint);  // not visible
    EXPECT_EQ(r.scale, 1.0);                   // no marks at all
    EXPECT_EQ(picture.GetWidth(), 20);
}

// ---- handing the picture back ----

// A picture editor that writes how it was started next to itself.
std::string WriteEditor(const std::string& path) {
    std::ofstream(path) << "#!/bin/sh\n"
                           "{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; }"
                           " > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

std::vector<std::string> EditorArguments(const std::string& editor) {
    for (int i = 0; i < 400; ++i) {
        std::ifstream in(editor + ".args");
        if (in) {
            std::vector<std::string> lines;
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            return lines;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

class HandBackTest : public ::testing::Test {
protected:
    void SetUp() override {
        keep("TMPDIR");
        keep("XDG_CONFIG_HOME");
        ::setenv("TMPDIR", dir.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        ::mkdir((dir / "fmtmp").c_str(), 0700);
        files::ResetTempFolder();
        previousBackend = brv::SetBackend(&backend);
        previousPlatform = brv::InstallBmpPlatform();
    }
    void TearDown() override {
        files::ResetTempFolder();
        SetBmpPlatform(previousPlatform);
        brv::SetBackend(previousBackend == &brv::DefaultHeadlessBackend() ? nullptr : previousBackend);
        for (const auto& [name, value] : kept)
            if (value.second)
                ::setenv(name.c_str(), value.first.c_str(), 1);
            else
                ::unsetenv(name.c_str());
    }
    void keep(const char* name) {
        const char* v = std::getenv(name);
        kept[name] = {v ? v : "", v != nullptr};
    }
    std::vector<brv::HeadlessBackend::Event> boxes() const {
        return backend.EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    }
    static CWinBmp picture() {
        CWinBmp bmp = filled(37, 23, kWhite);  // a width whose 24-bit rows are padded
        for (int y = 3; y < 20; ++y)
            for (int x = 4; x < 33; ++x) bmp.SetPixel(x, y, CPixel32(uint8_t(x * 7), uint8_t(y * 11), 90, 255));
        return bmp;
    }

    TempDir dir;
    brv::HeadlessBackend backend;
    brv::Backend* previousBackend = nullptr;
    IBmpPlatform* previousPlatform = nullptr;
    std::map<std::string, std::pair<std::string, bool>> kept;
};

// A packed DIB as a BMP file.
magick::Bytes BmpFileOf(const std::vector<uint8_t>& dib) {
    const PLBitmapInfoHeader* h = reinterpret_cast<const PLBitmapInfoHeader*>(dib.data());
    const uint32_t offset = 14 + h->biSize + (h->biBitCount <= 8 ? (4u << h->biBitCount) : 0);
    const uint32_t size = uint32_t(14 + dib.size());
    magick::Bytes file = {'B', 'M'};
    for (uint32_t v : {size, 0u, offset})
        for (int i = 0; i < 4; ++i) file.push_back(uint8_t(v >> (8 * i)));
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

TEST_F(HandBackTest, ClipboardAndFileHoldThePictureAndTheEditorGetsThePath) {
    const std::string editor = WriteEditor(dir / "stub editor");
    ASSERT_TRUE(WriteProfileString("Settings", "PictureEditor", editor.c_str()));
    const CWinBmp bmp = picture();
    ASSERT_TRUE(HandPictureBack(bmp));
    EXPECT_TRUE(boxes().empty());

    const std::string path = ExchangePicturePath();
    EXPECT_EQ(path, dir.path() + "/fmtmp/exchange.bmp");
    const magick::Bytes file = magick::ReadFile(path);
    ASSERT_GT(file.size(), 54u);
    EXPECT_EQ(file[28], 24);  // bits per pixel
    const magick::Picture fromFile = magick::Decode(path);
    EXPECT_TRUE(magick::SamePixels(bmp, fromFile, false));

    const std::vector<uint8_t> dib = backend.ReadClipboard().dib.value_or(std::vector<uint8_t>());
    ASSERT_GT(dib.size(), 40u);
    const std::string clipPath = dir / "clipboard.bmp";
    magick::WriteFile(clipPath, BmpFileOf(dib));
    const magick::Picture fromClipboard = magick::Decode(clipPath);
    ASSERT_EQ(fromClipboard.width, fromFile.width);
    ASSERT_EQ(fromClipboard.height, fromFile.height);
    for (std::size_t i = 0; i < fromFile.rgba.size(); i += 4)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(fromClipboard.rgba[i + c], fromFile.rgba[i + c]) << i / 4;

    const std::vector<std::string> args = EditorArguments(editor);
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "1");
    EXPECT_EQ(args[1], path);
}

TEST_F(HandBackTest, AnEditorThatCannotStartLeavesTheFile) {
    ASSERT_TRUE(WriteProfileString("Settings", "PictureEditor", "brivanta-no-such-editor"));
    ASSERT_TRUE(HandPictureBack(picture()));
    const auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Cannot start brivanta-no-such-editor.");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_TRUE(std::filesystem::is_regular_file(ExchangePicturePath()));
}

TEST_F(HandBackTest, NoEditorNamedAndAMissingFolder) {
    std::filesystem::remove_all(dir / "fmtmp");  // made again
    ASSERT_TRUE(HandPictureBack(picture()));
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(ExchangePicturePath()));
}

TEST_F(HandBackTest, APictureThatCannotBeWrittenIsAFailure) {
    std::filesystem::create_directories(ExchangePicturePath() + "/in the way");
    const std::string editor = WriteEditor(dir / "editor");
    ASSERT_TRUE(WriteProfileString("Settings", "PictureEditor", editor.c_str()));
    EXPECT_FALSE(HandPictureBack(picture()));
    const auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].text.rfind("Cannot save " + ExchangePicturePath() + ": ", 0), 0u) << shown[0].text;
}

// The picture is the user's: it goes to the program's own temporary folder,
// readable by the user only, never into a fmtmp that is a link or belongs
// to someone else.
TEST_F(HandBackTest, ThePictureStaysInAFolderOfOurOwn) {
    const std::string elsewhere = dir / "elsewhere";
    ::mkdir(elsewhere.c_str(), 0777);
    struct Case {
        const char* name;
        std::function<bool()> make;  // false: cannot be made here
        std::string folder;
    } cases[] = {
        {"ours", [] { return true; }, dir / "fmtmp"},
        {"someone else's",
         [&] { return ::geteuid() == 0 && ::chown((dir / "fmtmp").c_str(), 65534, 65534) == 0; },
         dir / ("fmtmp-" + std::to_string(::geteuid()))},
        {"a link", [&] {
             std::filesystem::remove_all(dir / "fmtmp");
             return ::symlink(elsewhere.c_str(), (dir / "fmtmp").c_str()) == 0;
         },
         dir / ("fmtmp-" + std::to_string(::geteuid()))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files::ResetTempFolder();
        std::filesystem::remove(dir / "fmtmp/exchange.bmp");
        if (!c.make()) continue;
        ASSERT_TRUE(HandPictureBack(picture()));
        EXPECT_EQ(ExchangePicturePath(), c.folder + "/exchange.bmp");
        struct stat st;
        ASSERT_EQ(::lstat(ExchangePicturePath().c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        ASSERT_EQ(::lstat(c.folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u);
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
        if (c.folder != dir / "fmtmp") { EXPECT_FALSE(std::filesystem::exists(dir / "fmtmp/exchange.bmp")); }
    }
}

TEST_F(HandBackTest, TheWholeExchangeSetsTheModeWord) {
    fakes::Services services;
    ExchangeScene scene;
    scene.viewPoints = {{"tip_of_the_nose", {60, 60}}};
    CWinBmp rendered = filled(120, 100, kWhite);
    paint(rendered, 40, 30, 80, 70, CPixel32(10, 20, 30, 255));
    ExchangeResult r;
    ASSERT_TRUE(ExchangeWithPictureEditor(rendered, scene, &r));
    EXPECT_EQ(svc::app().state().pictureEditor, 2);
    EXPECT_EQ(r.path, ExchangePicturePath());
    EXPECT_EQ(rendered.GetWidth(), 44);  // cropped to the square and 2 pixels
    EXPECT_TRUE(magick::SamePixels(rendered, magick::Decode(r.path), false));
}

}  // namespace
