// Back and cancel at the steps of the work flow: after each the document is
// in one of the flow's states and the expected one.

#include <gtest/gtest.h>

#include <fstream>

#include "flow_fixture.h"
#include "tests/support/model_invariants.h"

class FlowCancelTest : public FlowTest {
protected:
    void SetUp() override {
        FlowTest::SetUp();
        ASSERT_TRUE(StartProgram());
        ShowAlone(Orig2D(), 1600, 900);
        photo_ = MakePhoto(600, 800);
        ASSERT_FALSE(photo_.empty());
    }

    // What every state of the flow holds; the problems found.
    std::vector<std::string> Check() {
        std::vector<std::string> why;
        CFaceDoc& d = Doc();
        CMainFrame& f = Frame();
        auto fail = [&](const std::string& s) { why.push_back(s); };
        if (d.stage != 0 && d.stage != 1000 && d.stage != 2000 && d.stage != 2500)
            fail("stage " + std::to_string(d.stage));
        if (d.stage >= 1000 && (d.kernel2D->photo.GetWidth() < 100 || d.kernel2D->photo.GetHeight() < 100))
            fail("no picture");
        if (d.stage >= 2500 && (!d.kernel3D->head->texture || d.kernel3D->head->texture->width != d.textureSize))
            fail("no texture");
        const bool point = f.pointDialog && f.pointDialog->m_hWnd, curve = f.curveDialog && f.curveDialog->m_hWnd;
        if (point && d.stage > 1000) fail("point page open at " + std::to_string(d.stage));
        if (curve && d.stage != 2000) fail("curve page open at " + std::to_string(d.stage));
        if (!point && !curve && (f.tool != 1 || f.toolMode != 0)) fail("tool without a page");
        if (Page(IDD_PROGRESS)) fail("progress open");
        if (driver.Backend().WaitCursorShown()) fail("wait cursor");
        if (d.photoNumber < 0) fail("photo number");
        if (f.refining) fail("refining");
        for (const std::string& e : testsupport::modelInvariantErrors(*d.kernel3D->head)) fail("head: " + e);
        return why;
    }

    std::string photo_;
};

TEST_F(FlowCancelTest, CancelledStartPageLeavesTheProjectAsItWas) {
    // The first photo: Escape leaves nothing loaded.
    StartChoices escape;
    escape.button = IDCANCEL;
    driver.OnNextModal([this](HWND) { driver.Key(VK_ESCAPE); });
    driver.Run([&] { Doc().LoadPicFile(CString(photo_.c_str())); });
    driver.Pump();
    EXPECT_EQ(Doc().stage, 0);
    EXPECT_EQ(Check(), std::vector<std::string>{});
    // A photo with its marks; a second photo's start page closed by its box.
    ASSERT_TRUE(LoadPhoto(photo_, StartChoices{}));
    const auto marks = Marks();
    EXPECT_EQ(PlaceAskedPoints(marks), 3);
    const int points = Doc().kernel2D->head->photoPoints.count();
    const std::vector<uint8_t> bytes = Doc().kernel2D->FileBytes();
    const std::string other = MakePhoto(800, 600, "wizard:");
    driver.OnNextModal([this](HWND d) { driver.CloseBox(d); });
    driver.Run([&] { Doc().LoadPicFile(CString(other.c_str())); });
    driver.Pump();
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_EQ(Doc().kernel2D->head->photoPoints.count(), points);
    EXPECT_EQ(Doc().kernel2D->FileBytes(), bytes);
    EXPECT_EQ(Doc().photoNumber, 0);
    EXPECT_EQ(Check(), std::vector<std::string>{});
}

TEST_F(FlowCancelTest, BackFromTheCurvePageKeepsTheMarks) {
    StartChoices pro;
    pro.pro = true;
    ASSERT_TRUE(LoadPhoto(photo_, pro));
    const auto marks = Marks();
    PlaceAskedPoints(marks);
    DragPointsToMarks(marks);
    const int points = Doc().kernel2D->head->photoPoints.count();
    ClickId(Page(IDD_FEATURES2), 1141);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2000);
    EXPECT_EQ(Check(), std::vector<std::string>{});
    ClickId(Page(IDD_FEATURES3), 1107);
    driver.Pump();
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_NE(Page(IDD_FEATURES2), nullptr);
    EXPECT_EQ(Doc().kernel2D->head->photoPoints.count(), points);
    EXPECT_EQ(Check(), std::vector<std::string>{});
    // Step 3 from there only beeps.
    driver.Run([&] { Frame().OnMedalMode(); });
    EXPECT_EQ(Doc().stage, 1000);
}

TEST_F(FlowCancelTest, BackFromThePointPageThenEscape) {
    ASSERT_TRUE(LoadPhoto(photo_, StartChoices{}));
    driver.OnNextModal([this](HWND) { driver.Key(VK_ESCAPE); });
    ClickId(Page(IDD_FEATURES2), 1107);
    driver.Pump();
    EXPECT_EQ(Doc().stage, 0);
    EXPECT_EQ(Page(IDD_FEATURES2), nullptr);
    EXPECT_EQ(Check(), std::vector<std::string>{});
    // Back again to the start page, this time confirmed: step 1 again.
    ASSERT_TRUE(LoadPhoto(photo_, StartChoices{}));
    StartChoices again;
    driver.OnNextModal([this, again](HWND d) { FillStartPage(d, again); });
    ClickId(Page(IDD_FEATURES2), 1107);
    driver.Pump();
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_NE(Page(IDD_FEATURES2), nullptr);
    EXPECT_EQ(Check(), std::vector<std::string>{});
}

namespace {
uint64_t fnv(const void* data, size_t n, uint64_t h = 1469598103934665603ull) {
    const unsigned char* b = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
    return h;
}
}  // namespace

TEST_F(FlowCancelTest, CancelledRefinementPhotoLeavesTheModelledHead) {
    StartChoices easy;
    easy.pro = false;
    easy.texture = 1152;
    ASSERT_TRUE(LoadPhoto(photo_, easy));
    const auto marks = Marks();
    PlaceAskedPoints(marks);
    DragPointsToMarks(marks);
    ClickId(Page(IDD_FEATURES2), 1141);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2500);
    EXPECT_EQ(Check(), std::vector<std::string>{});
    head3& head = *Doc().kernel3D->head;
    auto hashes = [&] {
        uint64_t h = fnv(head.texture->rgb.data(), head.texture->rgb.size());
        for (int v = head.vertices.first(); v != -1; v = head.vertices.nextOf(v))
            h = fnv(&head.vertices[v].position, sizeof(vector3<double>), h);
        return h;
    };
    const uint64_t before = hashes();
    const std::vector<uint8_t> bytes = Doc().kernel2D->FileBytes();
    // "Use New Photo", then the new photo's start page is left by Escape.
    const std::string other = MakePhoto(800, 600, "wizard:");
    int refiningThen = 0, photoNumberThen = 0;
    LoadPhotoWith(
        other,
        [&](HWND) {
            refiningThen = Frame().refining;
            photoNumberThen = Doc().photoNumber;
            driver.Key(VK_ESCAPE);
        },
        ID_PICT_FROM_OTHER);
    EXPECT_EQ(refiningThen, 1);
    EXPECT_EQ(photoNumberThen, -1);  // the start page shows it negative
    EXPECT_EQ(Doc().photoNumber, 0);
    EXPECT_EQ(Doc().refineMode, 0);
    EXPECT_EQ(Doc().stage, 2500);
    EXPECT_NE(Frame().modelDialog, nullptr);
    EXPECT_EQ(Doc().kernel2D->FileBytes(), bytes);
    EXPECT_EQ(hashes(), before);
    EXPECT_EQ(Check(), std::vector<std::string>{});
}

TEST_F(FlowCancelTest, BackToTheStartPageKeepsTheOrientationOfTheRecord) {
    // Turned left on the first start page; on the second one flipped.
    StartChoices first;
    LoadPhotoWith(photo_, [this, first](HWND d) {
        driver.ClickControl(Control(d, 370));
        FillStartPage(d, first);
    });
    ASSERT_EQ(Doc().kernel2D->quarterTurns, 1);
    CWinBmp shown;
    driver.OnNextModal([&](HWND d) {
        driver.ClickControl(Control(d, 372));
        driver.ClickControl(Control(d, 371));
        driver.ClickControl(Control(d, IDOK));
        shown = Doc().kernel2D->photo;  // the page's picture, before scaling
    });
    ClickId(Page(IDD_FEATURES2), 1107);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 1000);
    CKernel2D& k = *Doc().kernel2D;
    CWinBmp rebuilt;
    ASSERT_GT(k.LoadOrigBmp(&rebuilt, 2, 0, 0), 0);
    ASSERT_EQ(rebuilt.GetWidth(), shown.GetWidth());
    ASSERT_EQ(rebuilt.GetHeight(), shown.GetHeight());
    int differ = 0;
    for (int y = 0; y < shown.GetHeight(); ++y)
        for (int x = 0; x < shown.GetWidth(); ++x) {
            const CPixel32 a = rebuilt.GetPixel(x, y), b = shown.GetPixel(x, y);
            differ += a.GetR() != b.GetR() || a.GetG() != b.GetG() || a.GetB() != b.GetB();
        }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(k.quarterTurns, 0);
    EXPECT_EQ(Check(), std::vector<std::string>{});
}

TEST_F(FlowCancelTest, CancelledNewPhotoGivesThePageBack) {
    ASSERT_TRUE(LoadPhoto(photo_, StartChoices{}));
    const auto marks = Marks();
    EXPECT_EQ(PlaceAskedPoints(marks), 3);
    const int points = Doc().kernel2D->head->photoPoints.count();
    const std::vector<uint8_t> bytes = Doc().kernel2D->FileBytes();
    const std::string other = MakePhoto(800, 600, "wizard:");
    const std::string broken = tmp_.path() + "/broken.jpg";
    std::ofstream(broken) << "no picture";
    struct Case {
        const char* what;
        std::function<void()> answers;
    } cases[] = {
        {"start page left by Escape",
         [&] {
             driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(other) ? IDOK : IDCANCEL; });
             driver.OnNextModal([this](HWND) { driver.Key(VK_ESCAPE); });
         }},
        {"photo and head dialogs cancelled",
         [&] {
             driver.OnNextFileDialog([](brv::FileDialogSession&) { return IDCANCEL; });
             driver.OnNextFileDialog([](brv::FileDialogSession&) { return IDCANCEL; });
         }},
        {"a file that is no picture",
         [&] {
             driver.OnNextFileDialog([&](brv::FileDialogSession& s) { return s.Accept(broken) ? IDOK : IDCANCEL; });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(Page(IDD_FEATURES2), nullptr);
        c.answers();
        driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_IMPORT_PIC, 0); });
        driver.Pump();
        EXPECT_EQ(Doc().stage, 1000);
        EXPECT_NE(Page(IDD_FEATURES2), nullptr);
        EXPECT_NE(Frame().pointDialog, nullptr);
        EXPECT_EQ(Doc().kernel2D->head->photoPoints.count(), points);
        EXPECT_EQ(Doc().kernel2D->FileBytes(), bytes);
        EXPECT_EQ(App().objHeadImported, 0);
        EXPECT_EQ(Check(), std::vector<std::string>{});
    }
}
