// The start page in the program's frame: turns and flips that the photo
// kernel's rebuild from the file bytes repeats pixel for pixel, the crop
// rectangle, the choices it hands to the document, and its buttons.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>

#include "document/ids.h"
#include "dialogs/dlgcrop.h"
#include "fitting/kernel2d.h"
#include "tests/app/shell_fixture.h"

namespace {

// Pixel (x, y) of the test photo: unique per place.
uint32_t coded(int x, int y) { return uint32_t((x * 37 + 11) << 16 | (y * 41 + 7) << 8 | (x * 5 + y * 3)); }

bool samePixels(const CWinBmp& a, const CWinBmp& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x) {
            const CPixel32 p = a.GetPixel(x, y), q = b.GetPixel(x, y);
            if (p.GetR() != q.GetR() || p.GetG() != q.GetG() || p.GetB() != q.GetB()) return false;
        }
    return true;
}

}  // namespace

class StartPageTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start({"--full"}));
        // The first tick's photo and head dialogs, cancelled.
        CancelStartDialogs();
        driver.AdvanceClock(400);
        driver.Pump();
    }

    // The photo record of a w x h BMP in the kernel; the decoded picture.
    CWinBmp Record(int w, int h) {
        const std::string bytes = BmpFile(w, h, coded);
        CKernel2D& k = *Doc().kernel2D;
        k.SetFileBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        k.left = k.top = k.right = k.bottom = 0;
        k.quarterTurns = k.mirrorLeftRight = k.mirrorTopBottom = 0;
        CWinBmp picture;
        k.LoadOrigBmp(&picture, 2, 0, 0);
        return picture;
    }

    // The page modeless in the frame over photo, results into r.
    struct Open {
        CWinBmp photo;
        std::array<int, 7> r{};
        std::unique_ptr<CDlgCrop> page;
    };
    void Show(Open& o) {
        o.page = std::make_unique<CDlgCrop>(&Frame(), &o.photo, &o.r[0], &o.r[1], &o.r[2], &o.r[3], &o.r[4], &o.r[5],
                                            &o.r[6], nullptr);
        driver.Run([&] { o.page->Create(IDD_CROP, &Frame()); });
        driver.Run([&] { o.page->ShowWindow(SW_SHOW); });
        driver.Pump();
    }
    void Close(Open& o) {
        if (o.page && o.page->m_hWnd) driver.Run([&] { o.page->DestroyWindow(); });
    }
    void Icon(Open& o, int id) { driver.ClickControl(brv::HeadlessDriver::FindControl(o.page->m_hWnd, id)); }
    // The kernel's picture from the file bytes with the page's results.
    CWinBmp Rebuilt(const std::array<int, 7>& r) {
        CKernel2D& k = *Doc().kernel2D;
        k.left = r[0], k.top = r[1], k.right = r[2], k.bottom = r[3];
        k.quarterTurns = r[4], k.mirrorLeftRight = r[5], k.mirrorTopBottom = r[6];
        CWinBmp out;
        k.LoadOrigBmp(&out, 2, 0, 0);
        return out;
    }
};

TEST_F(StartPageTest, EveryTurnAndFlipSequenceIsRebuiltFromTheFileBytes) {
    const CWinBmp original = Record(7, 5);
    ASSERT_EQ(original.GetWidth(), 7);
    int cases = 0;
    std::function<void(std::vector<int>&)> walk = [&](std::vector<int>& clicks) {
        if (!clicks.empty()) {
            Open o;
            o.photo = original;
            Show(o);
            for (int id : clicks) Icon(o, id);
            const CWinBmp rebuilt = Rebuilt(o.r);
            std::string seq;
            for (int id : clicks) seq += std::to_string(id) + " ";
            EXPECT_TRUE(samePixels(rebuilt, o.photo)) << seq;
            EXPECT_TRUE(o.r[5] == 0 || o.r[5] == 1);
            EXPECT_TRUE(o.r[6] == 0 || o.r[6] == 1);
            Close(o);
            ++cases;
        }
        if (clicks.size() == 4) return;
        for (int id : {370, 371, 372, 373}) {
            clicks.push_back(id);
            walk(clicks);
            clicks.pop_back();
        }
    };
    std::vector<int> clicks;
    walk(clicks);
    EXPECT_EQ(cases, 340);
}

TEST_F(StartPageTest, TurnsAndFlipsCountAndMoveTheCropCorners) {
    Open o;
    o.photo = Record(7, 5);
    Show(o);
    const CSize b = o.page->FrameSize();
    const CPoint origin = o.page->FrameOrigin();
    driver.Drag(o.page->m_hWnd, CPoint(origin.x + 40, origin.y + 30), CPoint(origin.x + 200, origin.y + 150));
    ASSERT_EQ(o.page->startX, 40);
    ASSERT_EQ(o.page->endY, 150);
    struct Step {
        int icon;
        std::function<CPoint(CPoint)> corner;
    };
    const int64_t W = b.cx, H = b.cy;
    const std::vector<Step> steps{
        {370, [&](CPoint p) { return CPoint(int(p.y * W / H), int(H * (W - p.x) / W)); }},
        {371, [&](CPoint p) { return CPoint(int(W * (H - p.y) / H), int(H * p.x / W)); }},
        {372, [&](CPoint p) { return CPoint(int(W - p.x), p.y); }},
        {373, [&](CPoint p) { return CPoint(p.x, int(H - p.y)); }},
    };
    for (const Step& s : steps) {
        const CPoint a = s.corner(CPoint(o.page->startX, o.page->startY));
        const CPoint e = s.corner(CPoint(o.page->endX, o.page->endY));
        Icon(o, s.icon);
        EXPECT_EQ(CPoint(o.page->startX, o.page->startY), a) << s.icon;
        EXPECT_EQ(CPoint(o.page->endX, o.page->endY), e) << s.icon;
    }
    // Four left turns bring the count back; two flips of a kind the flag.
    o.r = {};
    for (int k = 0; k < 4; ++k) Icon(o, 370);
    EXPECT_EQ(o.r[4], 0);
    Icon(o, 372);
    Icon(o, 372);
    EXPECT_EQ(o.r[5], 0);
    Close(o);
}

TEST_F(StartPageTest, NextMapsAndClampsTheRectangle) {
    struct Case {
        const char* what;
        CPoint from, to;  // frame coordinates
        bool whole;
    };
    const std::vector<Case> cases{
        {"click without drag", {100, 100}, {100, 100}, true},
        {"inside", {60, 40}, {300, 200}, false},
        {"past the frame", {60, 40}, {5000, 5000}, false},
        {"dragged up and left", {300, 200}, {-50, -50}, false},
    };
    for (const Case& c : cases) {
        Open o;
        o.photo = Record(300, 200);
        Show(o);
        const CPoint origin = o.page->FrameOrigin();
        const CSize b = o.page->FrameSize();
        driver.Drag(o.page->m_hWnd, CPoint(origin.x + c.from.x, origin.y + c.from.y), CPoint(origin.x + c.to.x, origin.y + c.to.y));
        const int sx = o.page->startX, sy = o.page->startY, ex = o.page->endX, ey = o.page->endY;
        EXPECT_TRUE(ex >= 0 && ex < b.cx && ey >= 0 && ey < b.cy) << c.what;
        const int ox = o.page->offsetX, oy = o.page->offsetY, w = o.page->shownWidth, h = o.page->shownHeight;
        driver.ClickControl(brv::HeadlessDriver::FindControl(o.page->m_hWnd, IDOK));
        if (c.whole) {
            EXPECT_EQ(o.r, (std::array<int, 7>{0, 0, 300, 200, 0, 0, 0})) << c.what;
            EXPECT_EQ(o.photo.GetWidth(), 300);
        } else {
            auto map = [](int v, int off, int shown, int size) {
                return std::clamp<int>(int(int64_t(v - off) * size / shown), 0, size - 1);
            };
            const int x0 = map(sx, ox, w, 300), x1 = map(ex, ox, w, 300);
            const int y0 = map(sy, oy, h, 200), y1 = map(ey, oy, h, 200);
            EXPECT_EQ(o.r[0], std::min(x0, x1)) << c.what;
            EXPECT_EQ(o.r[1], std::min(y0, y1)) << c.what;
            EXPECT_EQ(o.r[2], std::max(x0, x1) + 1) << c.what;
            EXPECT_EQ(o.r[3], std::max(y0, y1) + 1) << c.what;
            EXPECT_EQ(o.photo.GetWidth(), o.r[2] - o.r[0]) << c.what;
            EXPECT_EQ(o.photo.GetHeight(), o.r[3] - o.r[1]) << c.what;
            EXPECT_LE(o.r[2], 300);
            EXPECT_LE(o.r[3], 200);
        }
        EXPECT_FALSE(::IsWindow(o.page->m_hWnd)) << c.what;
    }
}

TEST_F(StartPageTest, ChoicesGoToTheDocument) {
    struct Case {
        int figure;        // radio id
        int texture;       // radio id
        bool pro;          // the box ticked
        int daz;           // dazMode
        const char* dazFigure;
        int editor;        // picture-editor mode
        int templateId, sexFlag, textureSize, proMode;
        bool snapshot;
    };
    const std::vector<Case> cases{
        {1096, 1152, false, 0, "---", 0, 101, 1, 512, 0, false},
        {1097, 1153, true, 0, "---", 0, 102, 0, 1024, 1, false},
        {1159, 1156, false, 0, "---", 0, 100, 0, 2048, 1, true},
        {1097, 1157, false, 2, "M3", 0, 101, 0, 4096, 0, false},
        {1096, 1153, false, 2, "V4", 0, 102, 1, 1024, 0, false},
        {1096, 1153, false, 2, "Other", 0, 101, 1, 1024, 1, false},
        {1096, 1153, false, 0, "---", 1, 122, 1, 1024, 0, false},
    };
    for (const Case& c : cases) {
        App().dazMode = c.daz;
        App().dazFigure = c.dazFigure;
        App().pictureEditorMode = c.editor;
        std::remove(brv::PosixPath(std::string(Doc().SnapshotPath().View())).c_str());
        Open o;
        o.photo = Record(40, 30);
        App().proMode = 1;
        Show(o);
        EXPECT_EQ(App().proMode, std::string(c.dazFigure) == "Other" ? 1 : 0);
        HWND d = o.page->m_hWnd;
        // In DAZ mode the figure radios are hidden: they keep their value.
        if (!c.daz) driver.ClickControl(brv::HeadlessDriver::FindControl(d, c.figure));
        if (c.daz) {
            // The figure chosen before the DAZ override.
            driver.Run([&] { o.page->figure = c.figure == 1096 ? 0 : 1; });
            driver.Run([&] { o.page->UpdateData(FALSE); });
        }
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, c.texture));
        if (c.pro) driver.ClickControl(brv::HeadlessDriver::FindControl(d, 1115));
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK));
        EXPECT_EQ(Doc().templateId, c.templateId) << c.figure << c.dazFigure;
        EXPECT_EQ(int(Doc().projectFlag), c.sexFlag) << c.figure << c.dazFigure;
        EXPECT_EQ(Doc().textureSize, c.textureSize) << c.texture;
        EXPECT_EQ(App().proMode, c.proMode) << c.figure << c.dazFigure;
        EXPECT_EQ(fnd::IsFileExist(brv::PosixPath(std::string(Doc().SnapshotPath().View())).c_str()) > 0, c.snapshot);
    }
    App().dazMode = 0;
    App().pictureEditorMode = 0;
}

TEST_F(StartPageTest, HiddenControlsInRefinementAndDazMode) {
    auto visible = [&](HWND d, int id) { return brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(d, id)).visible; };
    struct Case {
        int photoNumber, daz;
        std::vector<int> shown, hidden;
    };
    const std::vector<Case> cases{
        {0, 0, {1096, 1097, 1159, 1114, 1098, 1152, 1115, 370, 377}, {378, 379}},
        {2, 0, {370, 373, 377, 378, 379, 1123, 1, 1107}, {1152, 1153, 1156, 1157, 1114, 1096, 1097, 1120, 1159, 1098, 1158, 1115}},
        {0, 2, {1114, 1152, 1115}, {1096, 1097, 1120, 1159, 1098, 1158, 378}},
    };
    for (const Case& c : cases) {
        App().dazMode = c.daz;
        Doc().photoNumber = c.photoNumber;
        Open o;
        o.photo = Record(40, 30);
        Show(o);
        EXPECT_EQ(Doc().photoNumber, -c.photoNumber);
        for (int id : c.shown) EXPECT_TRUE(visible(o.page->m_hWnd, id)) << c.photoNumber << " " << id;
        for (int id : c.hidden) EXPECT_FALSE(visible(o.page->m_hWnd, id)) << c.photoNumber << " " << id;
        EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(o.page->m_hWnd, 1096)).text, "Michael 3");
        Close(o);
    }
    App().dazMode = 0;
    Doc().photoNumber = 0;
}

TEST_F(StartPageTest, ASmallTurnIsKeptInThePhotoRecord) {
    Doc().photoNumber = 1;
    Open o;
    o.photo = Record(60, 40);
    Show(o);
    Icon(o, 370);
    Icon(o, 372);
    Icon(o, 378);
    // The turned picture needs no temporary file: links planted where one
    // could go lead nowhere, and nothing is added to the temporary path.
    const std::string tmp = tmp_.path(), victim = tmp + "/victim";
    files::PrepareTempFolders();
    std::ofstream(victim) << "keep";
    for (const std::string& at : {tmp + "/fmtmpcrop_turned.bmp", files::TempFilePath("crop_turned.bmp")})
        ASSERT_EQ(symlink(victim.c_str(), at.c_str()), 0) << at;
    auto tree = [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::recursive_directory_iterator(tmp)) names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> before = tree();
    driver.ClickControl(brv::HeadlessDriver::FindControl(o.page->m_hWnd, IDOK));
    EXPECT_EQ(tree(), before);
    std::ifstream in(victim);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == "keep");
    EXPECT_EQ(o.r[4], 0);
    EXPECT_EQ(o.r[5], 0);
    EXPECT_EQ(o.r[6], 0);
    // Reopening from the record gives the picture the user marks.
    EXPECT_TRUE(samePixels(Rebuilt(o.r), o.photo));
    EXPECT_GT(o.photo.GetWidth(), 40);
    Doc().photoNumber = 0;
}

TEST_F(StartPageTest, BackAndCancelAndTheObjButton) {
    {
        Open o;
        o.photo = Record(40, 30);
        Show(o);
        // Code 2 asks for a new photo (cancelled here, and the head instead).
        int asked = 0;
        for (int k = 0; k < 2; ++k)
            driver.OnNextFileDialog([&asked](brv::FileDialogSession&) {
                ++asked;
                return IDCANCEL;
            });
        driver.ClickControl(brv::HeadlessDriver::FindControl(o.page->m_hWnd, 1107));
        driver.Pump();
        EXPECT_EQ(o.r[0], -99);
        EXPECT_FALSE(::IsWindow(o.page->m_hWnd));
        EXPECT_EQ(asked, 2);
    }
    {
        Open o;
        o.photo = Record(40, 30);
        Show(o);
        HWND d = o.page->m_hWnd;
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, 1097));
        driver.OnNextFileDialog([](brv::FileDialogSession&) { return IDCANCEL; });
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, 1098));
        EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(d, 1097)).check, 1);
        EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(d, 1159)).check, 0);
        Close(o);
    }
}

TEST_F(StartPageTest, IconsBlinkAndShowTheirHints) {
    Open o;
    o.photo = Record(40, 30);
    Show(o);
    HWND d = o.page->m_hWnd;
    HWND icon = brv::HeadlessDriver::FindControl(d, 372);
    const size_t sleeps = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kSleep).size();
    driver.ClickControl(icon);
    auto after = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kSleep);
    ASSERT_EQ(after.size(), sleeps + 1);
    EXPECT_EQ(after.back().value, 300);
    driver.MouseMove(icon, CPoint(5, 5));
    EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(d, 1140)).text, "Horizontal Flip");
    const CPoint origin = o.page->FrameOrigin();
    driver.MouseMove(d, CPoint(origin.x + 50, origin.y + 50));
    EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(d, 1140)).text, "");
    EXPECT_EQ(brv::HeadlessDriver::CursorName(), "CURSOR 233");
    driver.MouseMove(d, CPoint(origin.x + o.page->FrameSize().cx + 30, 5));
    EXPECT_EQ(brv::HeadlessDriver::CursorName(), "arrow");
    Close(o);
}
