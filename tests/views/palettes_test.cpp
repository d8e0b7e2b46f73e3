// The tool palettes as windows of the frame's brush and free-hand commands:
// their layouts, slider ranges and positions, the brush they build, their
// place under the tool bar, the shared "Mirror" flag, and closing them.

#include <cmath>

#include "dialogs/dlgbrushselect.h"
#include "dialogs/dlgfreetool.h"
#include "tests/views/view_host.h"

namespace {

class PalettesTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
        ASSERT_TRUE(TemplateScene());
        Doc().stage = 2000;
    }
    void Command(void (CMainFrame::*f)()) { driver.Run([&] { (Frame().*f)(); }); }
    CPoint ClientOrigin() {
        CRect r;
        Frame().GetClientRect(&r);
        Frame().ClientToScreen(&r);
        return r.TopLeft();
    }
};

TEST_F(PalettesTest, BrushPaletteFromItsLayout) {
    // A 1024 texture: size 1..40 at 20, tick 10; transparency 0..100 at 50.
    Doc().kernel3D->head->texture = std::make_unique<TextureImage>();
    Doc().kernel3D->head->texture->width = Doc().kernel3D->head->texture->height = 1024;
    Doc().kernel3D->head->texture->rgb.assign(1024 * 1024 * 3, 128);
    Command(&CMainFrame::OnClone);
    ASSERT_NE(Frame().m_dlgBrushSelect, nullptr);
    HWND w = brv::HeadlessDriver::FindDialog(194);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w, Frame().m_dlgBrushSelect->m_hWnd);
    EXPECT_EQ(brv::HeadlessDriver::Inspect(w).text, "Brush");
    EXPECT_EQ(Frame().tool, 0);
    EXPECT_EQ(Frame().toolMode, 4);
    const auto size = brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1087));
    EXPECT_EQ(size.min, 1);
    EXPECT_EQ(size.max, 40);
    EXPECT_EQ(size.pos, 20);
    const auto transparency = brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1102));
    EXPECT_EQ(transparency.min, 0);
    EXPECT_EQ(transparency.max, 100);
    EXPECT_EQ(transparency.pos, 50);
    EXPECT_EQ(brv::HeadlessDriver::ScreenRect(w).TopLeft(), CPoint(ClientOrigin().x + 2, ClientOrigin().y + 4));

    // An odd size gives the even size below; transparency 0 and 100 give
    // strength 1 and 0.
    CDlgBrushSelect& p = *Frame().m_dlgBrushSelect;
    driver.DragSlider(brv::HeadlessDriver::FindControl(w, 1087), 7);
    EXPECT_EQ(p.brushSize, 6);
    EXPECT_EQ(p.brush.size, 12);
    driver.DragSlider(brv::HeadlessDriver::FindControl(w, 1102), 0);
    EXPECT_EQ(p.strength, 1.0f);
    driver.DragSlider(brv::HeadlessDriver::FindControl(w, 1102), 100);
    EXPECT_EQ(p.strength, 0.0f);

    // "Mirror" is the document's flag.
    Doc().mirrorTool = 0;
    driver.ClickControl(brv::HeadlessDriver::FindControl(w, 1158));
    driver.Run([&] { p.UpdateData(TRUE); });
    EXPECT_EQ(Doc().mirrorTool, 1);

    // The command again closes it and returns to Select.
    Command(&CMainFrame::OnClone);
    EXPECT_EQ(brv::HeadlessDriver::FindDialog(194), nullptr);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().toolMode, 0);
}

TEST_F(PalettesTest, FreeHandPaletteFromItsLayout) {
    Command(&CMainFrame::OnFreeTool);
    HWND w = brv::HeadlessDriver::FindDialog(182);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(brv::HeadlessDriver::Inspect(w).text, "Freehand");
    EXPECT_EQ(Frame().freeTool, 1);
    const auto range = brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1087));
    EXPECT_EQ(range.min, 0);
    EXPECT_EQ(range.max, 25);
    EXPECT_EQ(range.pos, 10);
    for (int id = 1128; id <= 1131; ++id)
        EXPECT_NE(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, id)).bitmap, nullptr) << id;
    // The slider and the mode are what the 3D view reads.
    driver.DragSlider(brv::HeadlessDriver::FindControl(w, 1087), 18);
    driver.ClickControl(brv::HeadlessDriver::FindControl(w, 1131));
    const CViewEdit3D::ToolValues v = View3D().Palettes();
    EXPECT_EQ(v.radius, 18);
    EXPECT_EQ(v.shape, 3);
    // The shared mirror flag shows in this palette too.
    Doc().mirrorTool = 1;
    driver.Run([&] { Frame().m_dlgFreeTool->UpdateData(FALSE); });
    EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1158)).check, 1);
    // Escape closes it: Select, sub-mode 0, the palette flag cleared.
    driver.Run([&] { Frame().m_dlgFreeTool->OnCancel(); });
    EXPECT_EQ(brv::HeadlessDriver::FindDialog(182), nullptr);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().toolMode, 0);
    EXPECT_EQ(Frame().freeTool, 0);
}

}  // namespace
