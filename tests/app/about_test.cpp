// The statistics text, the figure names, the help and web links and the
// about box.

#include <gtest/gtest.h>

#include "document/ids.h"
#include "shell_fixture.h"

class AboutTest : public ShellTest {
protected:
    // The cube with known positions, every triangle in the skin sets, a
    // photo of known size and bytes, a known crop and overlay camera.
    void KnownDocument() {
        ASSERT_TRUE(Start());
        CFaceDoc& d = Doc();
        driver.Run([&] { d.LoadTHEResource(121, true); });
        head3& h = *d.kernel3D->head;
        ASSERT_EQ(h.vertices.count(), 8);
        ASSERT_EQ(h.triangles.count(), 12);
        int k = 0;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k)
            h.vertices[v].position = vector3<double>(k, 2 * k, -k);
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) h.triangles[t].material = 0;
        svc::FaceTables& tb = d.tables();
        tb.materials = fnd::dynarray<svc::MaterialRow>();
        for (int i = 0; i < 3; ++i) tb.materials.add(svc::MaterialRow());
        tb.faceMaterial = 0;
        tb.lipMaterial = 1;
        tb.eyeSocketMaterial = 2;
        CWinBmp photo;
        photo.Create(1024, 768, 32, false);
        d.kernel2D->photo = photo;
        std::vector<uint8_t> bytes(1234, 7);
        bytes[0] = 'B';
        bytes[1] = 'M';
        d.kernel2D->SetFileBytes(bytes);
        d.kernel2D->left = 10;
        d.kernel2D->top = 20;
        d.kernel2D->right = 1000;
        d.kernel2D->bottom = 700;
        d.GetViewEdit2D3D<CFaceView>()->Camera()->setCamera({1, 2, 3}, {0, 0, 0}, {0, 1, 0}, 30);
        d.templateId = 101;
    }
};

TEST_F(AboutTest, StatisticsOfAKnownDocument) {
    KnownDocument();
    const std::string statistics =
        "IWB0BO \nPicture size: 1024x768  1234\n101 - Michael 3  \nNumber of verts: 8 (12)\nNumber of sets: "
        "3\nTexture size: 512x512\n\n(0 0 -7) 14 30\n10,20,1000,700\n(7 14 0)\n(1 2 3)";
    EXPECT_EQ(std::string(App().Statistics().View()), statistics);
    std::string shown(App().OnShortAbout(true).View());
    EXPECT_EQ(shown.substr(0, 14), "Brivanta 5.00\n");
    EXPECT_EQ(shown.substr(shown.size() - statistics.size()), statistics);
    auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, shown);
    EXPECT_EQ(boxes[0].type, UINT(MB_ICONINFORMATION));
    // For the OBJ header: every "_" and line break becomes "|".
    App().dazMode = 2;
    App().dazFigure = "My_Figure";
    Doc().templateId = 121;
    std::string flat(App().OnShortAbout(false).View());
    EXPECT_EQ(flat.find('\n'), std::string::npos);
    EXPECT_EQ(flat.find('_'), std::string::npos);
    EXPECT_EQ(flat.substr(0, 14), "Brivanta 5.00|");
    const std::string flatStatistics =
        "IWD0BO |Picture size: 1024x768  1234|121 - My|Figure  |Number of verts: 8 (12)|Number of sets: 3|Texture "
        "size: 512x512||(0 0 -7) 14 30|10,20,1000,700|(7 14 0)|(1 2 3)";
    ASSERT_GT(flat.size(), flatStatistics.size());
    EXPECT_EQ(flat.substr(flat.size() - flatStatistics.size()), flatStatistics);
}

TEST_F(AboutTest, NoSkinTrianglesGiveNoFigure) {
    KnownDocument();
    for (int t = Doc().kernel3D->head->triangles.first(); t != -1; t = Doc().kernel3D->head->triangles.nextOf(t))
        Doc().kernel3D->head->triangles[t].material = 5;
    std::string s(App().Statistics().View());
    EXPECT_NE(s.find("\n0 - **  \nNumber of verts: 8 (0)\n"), std::string::npos) << s;
    // No triangle counted: the box takes its defaults.
    EXPECT_NE(s.find("\n\n(0 0 0) 0 30\n"), std::string::npos) << s;
}

TEST(FigureNames, ByTemplateFigureAndSkinTriangles) {
    struct Case {
        int templateId, skin, dazMode;
        const char* figure;
        const char* name;
    } cases[] = {
        {101, 500, 0, "---", "Michael 3"}, {102, 500, 2, "M3", "Victoria 4"}, {100, 500, 2, "V4", "Vicky 4"},
        {100, 500, 2, "M3", "Mickey 3"},   {100, 500, 2, "Genesis", "Genesis"}, {100, 2076, 0, "---", "James"},
        {122, 6374, 0, "---", "Jessie"},   {100, 7369, 0, "---", "Vicky 4"},  {100, 8202, 0, "---", "Kate"},
        {100, 18781, 0, "---", "Mickey 3"}, {100, 18782, 0, "---", "From OBJ"}, {101, 0, 0, "---", "**"},
        {100, 0, 2, "V4", "**"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FigureName(c.templateId, c.skin, c.dazMode, c.figure), c.name)
            << c.templateId << " " << c.skin << " " << c.dazMode << " " << c.figure;
}

TEST_F(AboutTest, HelpWebAndMailOpenOurAddresses) {
    ASSERT_TRUE(Start());
    App().Help(0, "pdf");
    App().Help(0, "wmv");
    App().Help(0, "PDF");
    App().Help(0, "avi");
    App().Help(0, nullptr);
    driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_WEB, 0); });
    driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_MAIL, 0); });
    EXPECT_EQ(driver.Backend().OpenedUrls(),
              (std::vector<std::string>{links::kManual, links::kVideo, links::kWeb, links::kMail}));
}

// Without a browser the manual and video icons say so; the web and mail
// commands stay silent as before.
TEST_F(AboutTest, HelpSaysSoWhenNoBrowserStarts) {
    ASSERT_TRUE(Start());
    driver.Backend().SetUrlsOpen(false);
    App().Help(0, "pdf");
    App().Help(0, "wmv");
    driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_WEB, 0); });
    auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, std::string("No web browser could be started to open ") + links::kManual);
    EXPECT_EQ(boxes[1].text, std::string("No web browser could be started to open ") + links::kVideo);
    EXPECT_EQ(boxes[0].type, UINT(MB_OK | MB_ICONINFORMATION));
}

TEST_F(AboutTest, AboutBoxRunsModally) {
    ASSERT_TRUE(Start());
    CancelStartDialogs();
    bool frameEnabled = true;
    bool shown = false;
    driver.OnNextModal([&](HWND d) {
        shown = brv::HeadlessDriver::FindDialog(IDD_ABOUTBOX) == d;
        frameEnabled = Frame().IsWindowEnabled() != FALSE;
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK));
    });
    driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_APP_ABOUT, 0); });
    EXPECT_TRUE(shown);
    EXPECT_FALSE(frameEnabled);
    EXPECT_EQ(brv::HeadlessDriver::FindDialog(IDD_ABOUTBOX), nullptr);
    EXPECT_TRUE(Frame().IsWindowEnabled());
}

TEST_F(AboutTest, StatisticCommandShowsTheText) {
    ASSERT_TRUE(Start());
    driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_STAT, 0); });
    auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.substr(0, 9), "Brivanta ");
    EXPECT_NE(boxes[0].text.find("Picture size: "), std::string::npos);
}
