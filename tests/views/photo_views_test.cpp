// The two photo views in the program's frame: the picture they show
// (COLORONCOLOR: each client pixel takes the picture pixel the rule names),
// fitting, the wheel, resizing, panning and the rectangle zooms through real
// input, and the original-photo view's clone source and cross.

#include <cmath>

#include "document/ids.h"
#include "tests/views/view_host.h"

namespace {

using viewtest::Picture;

constexpr uint32_t kGrey = 0xD4D0C8u;

// Picture and client placement as numbers, without windows.
TEST(PhotoMap, FitWheelResizeAndTheClientToPictureMap) {
    views::PhotoMap m;
    m.fit(801, 601, 1024, 768);
    const double z = std::min(801.0 / 1024, 601.0 / 768);
    EXPECT_DOUBLE_EQ(m.zoom, z);
    EXPECT_DOUBLE_EQ(m.offsetX, (801 - std::trunc(1024 * z)) / 2);
    EXPECT_DOUBLE_EQ(m.offsetY, (601 - std::trunc(768 * z)) / 2);
    // A picture side of 8 is not fitted.
    const views::PhotoMap before = m;
    m.fit(801, 601, 8, 768);
    m.fit(801, 601, 1024, 8);
    EXPECT_EQ(m, before);
    // The first size message and an empty pane scale nothing.
    m.resize(0, 600);
    EXPECT_EQ(m, before);
    m.resize(600, 0);
    EXPECT_EQ(m, before);
    m.resize(600, 300);
    EXPECT_DOUBLE_EQ(m.zoom, z / 2);
    EXPECT_DOUBLE_EQ(m.offsetX, before.offsetX / 2);
    // The map of the window point (30, 20) with offsets 10.7, -3.2 at zoom 2:
    // the offsets are cut to 10 and -3.
    views::PhotoMap c;
    c.zoom = 2;
    c.offsetX = 10.7;
    c.offsetY = -3.2;
    const vector2<double> p = c.cl2bmp().traf(30, 20);
    EXPECT_DOUBLE_EQ(p.x, 10);
    EXPECT_DOUBLE_EQ(p.y, 11.5);
    EXPECT_EQ(c.sourceColumn(30), 10);
    EXPECT_EQ(c.sourceColumn(9), -1);
}

TEST(PhotoMap, ZoomStaysWithinItsRange) {
    views::PhotoMap m;
    m.zoom = 90;
    EXPECT_FALSE(m.zoomAboutCentre(1.25, 800, 600));
    EXPECT_EQ(m.zoom, 90);
    EXPECT_TRUE(m.zoomAboutCentre(0.8, 800, 600));
    m.zoom = 0.011;
    EXPECT_FALSE(m.zoomAboutCentre(0.8, 800, 600));
    EXPECT_FALSE(m.zoomIn(CPoint(0, 0), CPoint(0, 0), 800, 600));
    m.zoom = 50;
    EXPECT_FALSE(m.zoomIn(CPoint(0, 0), CPoint(2, 2), 800, 600));
    EXPECT_EQ(m.zoom, 50);
    m.zoom = 1;
    EXPECT_FALSE(m.zoomOut(CPoint(0, 0), CPoint(4, 4), 800, 600));
    EXPECT_EQ(m.zoom, 1);
    m.resize(1, 100000);
    EXPECT_EQ(m.zoom, 1);
}

class PhotoViewsTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
        bitmap = viewtest::CodedPicture(1024, 768);
        SetPhoto(bitmap);
    }
    std::vector<CFaceView*> PhotoViews() { return {&OrigPhoto(), &Orig2D()}; }
    // The frame's tool commands as the menu sends them.
    void Command(UINT id) { driver.Run([&] { Frame().SendMessage(WM_COMMAND, id, 0); }); }
    int Beeps() { return int(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size()); }

    CWinBmp bitmap;
};

// Each client pixel shows the picture pixel floor((X - trunc(offset)) /
// zoom), the background elsewhere.
TEST_F(PhotoViewsTest, PixelsFollowTheColorOnColorRule) {
    struct Case {
        double zoom, offsetX, offsetY;
    };
    const Case cases[] = {{0, 0, 0}, {2.5, -300.7, -200.2}, {16, -8000.5, -6000.9}, {0.37, 123.9, 45.3}};
    for (CFaceView* v : PhotoViews()) {
        ShowAlone(*v, 800, 600);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << v->viewName.GetString() << " zoom " << c.zoom);
            if (c.zoom > 0) {
                v->map.zoom = c.zoom;
                v->map.offsetX = c.offsetX;
                v->map.offsetY = c.offsetY;
            } else {
                driver.Run([&] { v->FitInView(); });
            }
            Paint(*v);
            const Picture p = Grab(*v);
            const views::PhotoMap& m = v->map;
            int inside = 0;
            for (int y = 40; y < 560; y += 13)
                for (int x = 40; x < 760; x += 17) {
                    const int sx = m.sourceColumn(x), sy = m.sourceRow(y);
                    const bool on = sx >= 0 && sy >= 0 && sx < 1024 && sy < 768;
                    const uint32_t want = on ? viewtest::Rgb(bitmap.GetPixel(sx, sy)) : kGrey;
                    ASSERT_EQ(p.at(x, y), want) << x << ", " << y;
                    inside += on;
                }
            EXPECT_GT(inside, 100);
        }
    }
}

TEST_F(PhotoViewsTest, FitWheelAndResize) {
    for (CFaceView* v : PhotoViews()) {
        SCOPED_TRACE(v->viewName.GetString());
        ShowAlone(*v, 800, 600);
        driver.Run([&] { v->FitInView(); });
        const double z = std::min(801.0 / 1024, 601.0 / 768);
        EXPECT_DOUBLE_EQ(v->map.zoom, z);
        EXPECT_DOUBLE_EQ(v->map.offsetY, (601 - std::trunc(768 * z)) / 2);
        // Two notches up, two down: the zoom comes back, and the picture
        // point under the client centre moves at most a pixel a notch.
        const vector2<double> centre = v->map.toPicture(400, 300);
        for (int delta : {120, 120, -120, -120}) {
            driver.Wheel(v->m_hWnd, CPoint(100, 100), delta);
            const vector2<double> at = v->map.toClient(centre);
            EXPECT_LT(std::hypot(at.x - 400, at.y - 300), 1.0 + 1e-9);
        }
        EXPECT_NEAR(v->map.zoom, z, 1e-12);
        // Half the height: zoom and offsets halve; hidden and shown again:
        // as they were.
        const views::PhotoMap full = v->map;
        SizePane(*v, 800, 300);
        EXPECT_DOUBLE_EQ(v->map.zoom, full.zoom / 2);
        EXPECT_DOUBLE_EQ(v->map.offsetX, full.offsetX / 2);
        EXPECT_DOUBLE_EQ(v->map.offsetY, full.offsetY / 2);
        SizePane(*v, 800, 600);
        const views::PhotoMap shown = v->map;
        SizePane(*v, 800, 0);
        EXPECT_EQ(ClientOf(*v).cy, 0);
        EXPECT_EQ(v->map, shown);
        SizePane(*v, 800, 600);
        EXPECT_EQ(v->map, shown);
        // Hidden, then shown at another height: it scales from the height
        // it had before it was hidden.
        SizePane(*v, 800, 0);
        SizePane(*v, 800, 300);
        EXPECT_DOUBLE_EQ(v->map.zoom, shown.zoom / 2);
        EXPECT_DOUBLE_EQ(v->map.offsetX, shown.offsetX / 2);
        EXPECT_DOUBLE_EQ(v->map.offsetY, shown.offsetY / 2);
    }
}

TEST_F(PhotoViewsTest, DragsPanAndZoom) {
    for (CFaceView* v : PhotoViews()) {
        SCOPED_TRACE(v->viewName.GetString());
        ShowAlone(*v, 800, 600);
        driver.Run([&] { v->FitInView(); });
        const HWND h = v->m_hWnd;
        // Middle drags: 1 pixel does nothing, 2 down zoom out, 2 up zoom in.
        struct Step {
            int dy;
            double factor;
        };
        for (Step s : {Step{1, 1.0}, Step{2, 0.8}, Step{-2, 1.25}}) {
            const double z = v->map.zoom;
            driver.MouseDown(h, CPoint(400, 300), 2);
            driver.MouseMove(h, CPoint(400, 300 + s.dy));
            driver.MouseUp(h, CPoint(400, 300 + s.dy), 2);
            EXPECT_DOUBLE_EQ(v->map.zoom, z * s.factor) << s.dy;
        }
        // The zoom tool zooms in on a sideways move too.
        Command(ID_ZOOM);
        ASSERT_EQ(Frame().tool, 2);
        double z = v->map.zoom;
        driver.MouseDown(h, CPoint(400, 300));
        driver.MouseMove(h, CPoint(430, 300));
        driver.MouseUp(h, CPoint(430, 300));
        EXPECT_DOUBLE_EQ(v->map.zoom, z * 1.25);
        // The working-photo view gives the tool before back.
        EXPECT_EQ(Frame().tool, v == &Orig2D() ? 1 : 2);
        // A right drag pans, as the move tool does.
        for (bool moveTool : {false, true}) {
            if (moveTool) Command(ID_MOVE);
            const views::PhotoMap before = v->map;
            const int button = moveTool ? 0 : 1;
            driver.MouseDown(h, CPoint(300, 300), button);
            driver.MouseMove(h, CPoint(315, 290));
            driver.MouseMove(h, CPoint(330, 280));
            driver.MouseUp(h, CPoint(330, 280), button);
            EXPECT_DOUBLE_EQ(v->map.offsetX, before.offsetX + 30);
            EXPECT_DOUBLE_EQ(v->map.offsetY, before.offsetY - 20);
            EXPECT_EQ(v->map.zoom, before.zoom);
        }
        // After a right drag, plain moves with the zoom tool do not zoom.
        Command(ID_ZOOM);
        driver.MouseDown(h, CPoint(300, 300), 1);
        driver.MouseMove(h, CPoint(320, 300));
        driver.MouseUp(h, CPoint(320, 300), 1);
        z = v->map.zoom;
        driver.MouseMove(h, CPoint(320, 350));
        driver.MouseMove(h, CPoint(320, 250));
        EXPECT_EQ(v->map.zoom, z);
        driver.Run([&] { Frame().tool = 1, Frame().toolMode = 0; });
    }
}

// The working-photo view's rectangle zooms want 10 pixels a side and give
// the tool before back; the original-photo view's take any rectangle with
// a size and end in the placing tool.
TEST_F(PhotoViewsTest, RectangleZooms) {
    ShowAlone(Orig2D(), 800, 600);
    CViewOrig2D& w = Orig2D();
    driver.Run([&] { w.FitInView(); });
    const HWND h = w.m_hWnd;
    Command(ID_RECT_ZOOM);
    ASSERT_EQ(Frame().tool, 3);
    views::PhotoMap before = w.map;
    driver.Drag(h, CPoint(100, 100), CPoint(109, 150));
    EXPECT_EQ(w.map, before);
    EXPECT_EQ(Frame().tool, 3);
    // 200 x 100: its width fills the client, its centre goes to the middle.
    driver.Drag(h, CPoint(100, 100), CPoint(300, 200));
    const vector2<double> left = before.toPicture(100, 150), right = before.toPicture(300, 150);
    EXPECT_NEAR(w.map.toClient(left).x, 0, 1e-9);
    EXPECT_NEAR(w.map.toClient(right).x, 800, 1e-9);
    EXPECT_NEAR(w.map.toClient(left).y, 300, 1e-9);
    EXPECT_EQ(Frame().tool, 1);
    // Zoom out into 200 x 100: the client's content goes into the rectangle,
    // along its long side, centred across.
    Command(ID_RECT_ZOOM2);
    before = w.map;
    driver.Drag(h, CPoint(100, 100), CPoint(300, 200));
    const vector2<double> topLeft = w.map.toClient(before.toPicture(0, 0));
    const vector2<double> bottomRight = w.map.toClient(before.toPicture(800, 600));
    EXPECT_NEAR(topLeft.x, 100, 1e-9);
    EXPECT_NEAR(bottomRight.x, 300, 1e-9);
    EXPECT_NEAR((topLeft.y + bottomRight.y) / 2, 150, 1e-9);
    EXPECT_NEAR(bottomRight.y - topLeft.y, 600 * 200 / 800.0, 1e-9);
    EXPECT_EQ(Frame().tool, 1);

    CViewOrigPhoto& o = OrigPhoto();
    ShowAlone(o, 800, 600);
    driver.Run([&] { o.FitInView(); });
    Command(ID_RECT_ZOOM);
    before = o.map;
    driver.Click(o.m_hWnd, CPoint(200, 200));
    EXPECT_EQ(o.map, before);
    EXPECT_EQ(Frame().tool, 3);
    driver.Drag(o.m_hWnd, CPoint(200, 200), CPoint(201, 240));
    EXPECT_DOUBLE_EQ(o.map.zoom, before.zoom * 600 / 40);
    EXPECT_EQ(Frame().tool, 0);
    driver.Run([&] { Frame().tool = 1; });
}

// The clone source: a click in the brush's sub-mode takes the photo into
// the 3D view scaled to 0.3 of the texture's height.
TEST_F(PhotoViewsTest, CloneSourceAndItsCross) {
    ASSERT_TRUE(TemplateScene());
    CViewOrigPhoto& o = OrigPhoto();
    CViewEdit3D& v3 = View3D();
    ShowAlone(o, 1024, 768);
    o.map.zoom = 1;
    o.map.offsetX = o.map.offsetY = 0;
    Paint(o);
    head3& head = *Doc().kernel3D->head;
    driver.Run([&] { Frame().tool = 0, Frame().toolMode = 4; });
    // Without a texture: a beep, no source.
    const int beeps = Beeps();
    driver.Click(o.m_hWnd, CPoint(512, 384));
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_EQ(v3.cloneState, -1);

    head.texture = std::make_unique<TextureImage>();
    head.texture->width = head.texture->height = 1024;
    head.texture->rgb.assign(size_t(1024) * 1024 * 3, 128);
    const Picture plain = Grab(o);
    driver.Click(o.m_hWnd, CPoint(512, 384));
    EXPECT_EQ(v3.cloneState, 0);
    EXPECT_EQ(v3.clonePhoto.GetWidth(), 818);
    EXPECT_EQ(v3.clonePhoto.GetHeight(), 307);
    EXPECT_DOUBLE_EQ(v3.cloneSource.x, 409);
    EXPECT_DOUBLE_EQ(v3.cloneSource.y, 153.5);
    EXPECT_EQ(v3.cloneSourceView, &o);
    // The cross is inverted over the picture, 20 pixels each way.
    const Picture crossed = Grab(o);
    EXPECT_EQ(crossed.at(512 - 20, 384), ~plain.at(512 - 20, 384) & 0xFFFFFF);
    EXPECT_EQ(crossed.at(512, 384 + 19), ~plain.at(512, 384 + 19) & 0xFFFFFF);
    EXPECT_EQ(crossed.at(512 - 30, 384), plain.at(512 - 30, 384));
    // A plain click while a source exists changes nothing; Shift takes a new one.
    driver.Click(o.m_hWnd, CPoint(100, 100));
    EXPECT_DOUBLE_EQ(v3.cloneSource.x, 409);
    driver.Click(o.m_hWnd, CPoint(100, 100), 0, MK_SHIFT);
    EXPECT_NEAR(v3.cloneSource.x, 818 * 100 / 1024.0, 1e-9);
    // The old cross was drawn again (erased): only the new one is on the picture.
    const Picture moved = Grab(o);
    const CPoint c = o.lastRubber;
    for (int y = 0; y < 768; y += 3)
        for (int x = 0; x < 1024; x += 3) {
            const bool onCross = (y == c.y && std::abs(x - c.x) <= 20) || (x == c.x && std::abs(y - c.y) <= 20);
            if (!onCross) { ASSERT_EQ(moved.at(x, y), plain.at(x, y)) << x << ", " << y; }
        }
    driver.Run([&] { Frame().tool = 1, Frame().toolMode = 0; });
}

}  // namespace
