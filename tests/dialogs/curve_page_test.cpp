// The feature-curve page over the real views: which line it asks on which
// side, the colours of its previews counted on pixels, and its buttons.

#include <gtest/gtest.h>

#include "tests/app/flow_fixture.h"

class CurvePageTest : public FlowTest {
protected:
    void SetUp() override {
        FlowTest::SetUp();
        ASSERT_TRUE(StartProgram());
        ShowAlone(Orig2D(), 1600, 900);
        const std::string photo = MakePhoto(600, 800);
        ASSERT_FALSE(photo.empty());
        ASSERT_TRUE(LoadPhoto(photo, StartChoices{}));
        driver.Run([&] { Frame().HideModelessDialogs(); });
        Doc().stage = 2000;
    }
    void TearDown() override {
        resetFeatureTables();
        FlowTest::TearDown();
    }
    CDlgFeatures3& Open() {
        driver.Run([&] { Frame().FeatureToolPhotoEx(); });
        return *Frame().curveDialog;
    }
    // Every (row, side) the page asks, each skipped in turn.
    std::vector<std::string> Walk(CDlgFeatures3& page) {
        std::vector<std::string> asked;
        for (int guard = 0; guard < 200 && Frame().tool == 0 && Frame().toolMode == 1; ++guard) {
            CString code;
            GetFeatureLineInfo(Orig2D().currentRow, &code);
            asked.push_back(std::string(code.View()) + (Frame().ActiveFaceView() == &Orig2D() ? ":photo" : ":head"));
            driver.Run([&] { page.GetNextFeatureIfNeed(); });
        }
        return asked;
    }
};

TEST_F(CurvePageTest, WalkRules) {
    // code, mirror, type, names, figure flags, key colour.
    installFeatureTable(kTableLines,
                        "#\n#\n"
                        "auto,\tauto,\t2222,\tauto,\tauto,\t11,\t1,\t1,\t1,\n"
                        "closed,\tclosed,\t1101,\tclosed,\tclosed,\t11,\t2,\t2,\t2,\n"
                        "female,\tfemale,\t0101,\tfemale,\tfemale,\t01,\t3,\t3,\t3,\n"
                        "headonly,\theadonly,\t0001,\theadonly,\theadonly,\t11,\t4,\t4,\t4,\n"
                        "photoonly,\tphotoonly,\t0100,\tphotoonly,\tphotoonly,\t11,\t5,\t5,\t5,\n"
                        "both,\tboth,\t0101,\tboth,\tboth,\t11,\t6,\t6,\t6,\n"
                        "on3d,\ton3d,\t0101,\ton3d,\ton3d,\t11,\t7,\t7,\t7,\n"
                        "drawn,\tdrawn,\t0101,\tdrawn,\tdrawn,\t11,\t8,\t8,\t8,\n");
    Doc().projectFlag = 1;  // the male figure: flag "01" says no
    head3& head = *Doc().kernel3D->head;
    head.set_actual();
    head.addFeatureline("on3d", true);
    head2& m = *Doc().kernel2D->head;
    m.photoLines.add_new("drawn");
    m.overlayLines.add_new("drawn");
    struct Case {
        int templateId;
        std::vector<std::string> asked;
    };
    const std::vector<Case> cases{
        {101, {"headonly:head", "photoonly:photo", "both:photo", "both:head", "on3d:photo"}},
        // The prepared head ignores the head's lines and the figure flags.
        {100, {"female:photo", "female:head", "headonly:head", "photoonly:photo", "both:photo", "both:head", "on3d:photo",
               "on3d:head"}},
    };
    for (const Case& c : cases) {
        Doc().templateId = c.templateId;
        CDlgFeatures3& page = Open();
        EXPECT_EQ(Walk(page), c.asked) << c.templateId;
        EXPECT_EQ(Frame().tool, 1);
        EXPECT_EQ(Frame().toolMode, 0);
        EXPECT_EQ(Frame().lockedView, nullptr);
        const auto all = brv::HeadlessDriver::Inspect(Control(Page(IDD_FEATURES3), 1139));
        EXPECT_TRUE(all.visible && all.enabled);
        driver.Run([&] { Frame().HideModelessDialogs(); });
    }
    Doc().templateId = 101;
}

TEST_F(CurvePageTest, HintNamesTheLineAndItsSide) {
    CDlgFeatures3& page = Open();
    ASSERT_EQ(Frame().toolMode, 1);
    CString name;
    GetFeatureLineInfo(Orig2D().currentRow, nullptr, nullptr, nullptr, &name);
    const std::string photoSide = brv::HeadlessDriver::Inspect(Control(Page(IDD_FEATURES3), 1140)).text;
    EXPECT_EQ(photoSide, std::string(name.View()) + " - on left - right click to skip");
    EXPECT_EQ(Frame().lockedView, &Orig2D());
    EXPECT_TRUE(page.flashing);
    driver.AdvanceClock(400);
    driver.Pump();
    EXPECT_TRUE(page.flashPhase);
    driver.AdvanceClock(400);
    driver.Pump();
    EXPECT_FALSE(page.flashPhase);
}

TEST_F(CurvePageTest, PreviewsColourTheLinesDrawn) {
    CDlgFeatures3& page = Open();
    driver.Run([&] { page.StopFlash(); });
    // Rows with their key colours, from the real table.
    struct Line {
        std::string code;
        int r, g, b;
    };
    std::vector<Line> lines;
    CString code, type;
    int r = 0, g = 0, b = 0;
    for (int n = 0; GetFeatureLineInfo(n, &code, nullptr, &type, nullptr, nullptr, &r, &g, &b); ++n)
        if (GoodInfoCode(0, code) && type == "0101") lines.push_back({std::string(code.View()), r, g, b});
    ASSERT_GE(lines.size(), 2u);
    const Line& onPhoto = lines[0];
    const Line& onHeadOnly = lines[1];
    head2& m = *Doc().kernel2D->head;
    head3& head = *Doc().kernel3D->head;
    head.set_actual();
    m.photoLines.add_new(onPhoto.code.c_str());
    m.overlayLines.add_new(onPhoto.code.c_str());
    if (head.getFeatureline(onHeadOnly.code.c_str(), true) == -1) head.addFeatureline(onHeadOnly.code.c_str(), true);
    auto count = [](const CWinBmp& key, const Line& l) {
        int n = 0;
        for (int y = 0; y < key.GetHeight(); ++y)
            for (int x = 0; x < key.GetWidth(); ++x) {
                const CPixel32 p = key.GetPixel(x, y);
                n += p.GetR() == l.r && p.GetG() == l.g && p.GetB() == l.b;
            }
        return n;
    };
    auto coloured = [](const CWinBmp& pic, const CWinBmp& key, const Line& l, int r, int g, int b) {
        int n = 0;
        for (int y = 0; y < std::min(pic.GetHeight(), key.GetHeight()); ++y)
            for (int x = 0; x < std::min(pic.GetWidth(), key.GetWidth()); ++x) {
                const CPixel32 k = key.GetPixel(x, y), p = pic.GetPixel(x, y);
                if (k.GetR() == l.r && k.GetG() == l.g && k.GetB() == l.b)
                    n += p.GetR() == r && p.GetG() == g && p.GetB() == b;
            }
        return n;
    };
    CWinBmp first, second;
    page.PaintedPreviews(first, second);
    ASSERT_GT(count(page.key1, onPhoto), 0);
    EXPECT_EQ(coloured(first, page.key1, onPhoto, 255, 0, 0), count(page.key1, onPhoto));
    EXPECT_EQ(coloured(second, page.key2, onPhoto, 255, 0, 0), count(page.key2, onPhoto));
    EXPECT_EQ(coloured(second, page.key2, onHeadOnly, 255, 160, 160), count(page.key2, onHeadOnly));
    EXPECT_EQ(coloured(first, page.key1, onHeadOnly, 255, 0, 0), 0);
    // The prepared head: the head's own line colours nothing.
    Doc().templateId = 100;
    page.PaintedPreviews(first, second);
    EXPECT_EQ(coloured(second, page.key2, onHeadOnly, 255, 160, 160), 0);
    Doc().templateId = 101;
    // The flashing row turns blue on the active side in its phase.
    Orig2D().currentRow = 0;
    for (int n = 0; GetFeatureLineInfo(n, &code); ++n)
        if (std::string(code.View()) == onHeadOnly.code) Orig2D().currentRow = n;
    driver.Run([&] { Frame().ActivateView(&Orig2D()); });
    page.flashing = true;
    page.flashPhase = true;
    page.PaintedPreviews(first, second);
    EXPECT_EQ(coloured(first, page.key1, onHeadOnly, 0, 0, 255), count(page.key1, onHeadOnly));
    page.flashPhase = false;
    page.PaintedPreviews(first, second);
    EXPECT_EQ(coloured(first, page.key1, onHeadOnly, 0, 0, 255), 0);
}

TEST_F(CurvePageTest, NextClearsRefiningAndBackRestoresIt) {
    Frame().refining = 1;
    Open();
    EXPECT_EQ(Frame().refining, 0);
    ClickId(Page(IDD_FEATURES3), 1107);
    EXPECT_EQ(Frame().refining, 1);
    driver.Run([&] { Frame().HideModelessDialogs(); });
    Frame().refining = 1;
    Doc().stage = 2000;
    Open();
    Frame().refining = 1;
    App().proMode = 1;
    // Next with no texture wanted: the model step follows on its own.
    Doc().textureSize = 256;
    ClickId(Page(IDD_FEATURES3), 1141);
    EXPECT_EQ(Frame().refining, 0);
    EXPECT_EQ(Page(IDD_FEATURES3), nullptr);
}
