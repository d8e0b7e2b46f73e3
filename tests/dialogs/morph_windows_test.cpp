// The model page, the age and refine dialogs and the region engine's hidden
// window in the program's own frame over the headless backend, driven as a
// user drives them: the full template head in the document with a texture.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/age_map.h"
#include "dialogs/dlgage.h"
#include "dialogs/dlglasersize.h"
#include "dialogs/dlgrefine.h"
#include "dialogs/dlgset.h"
#include "dialogs/region_morph.h"
#include "dialogs/texture_morph.h"
#include "document/ids.h"
#include "foundation/numeric.h"
#include "framework/paths.h"
#include "model/gather.h"
#include "picture/picencoder.h"
#include "tests/app/shell_fixture.h"
#include "tests/dialogs/morph_fixture.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "views/viewedit3d.h"

namespace {

using brv::HeadlessBackend;
using brv::HeadlessDriver;
using morphtest::AgeShape;
using morphtest::BitEqual;
using morphtest::Farthest;
using morphtest::Positions;


enum class Mode { kPictureEditor, kFull, kDaz };

class MorphWindows : public ShellTest {
protected:
    void TearDown() override {
        for (CWnd* w : {static_cast<CWnd*>(page.get()), static_cast<CWnd*>(agePage.get())})
            if (w && w->m_hWnd && app) driver.Run([&] { w->DestroyWindow(); });
        page.reset();
        agePage.reset();
        steps_.reset();
        ShellTest::TearDown();
    }

    // The program in the mode, the frame's start-up step taken out, the
    // exchange file two folders below the test's folder.
    void StartIn(Mode mode) {
        ASSERT_TRUE(mode == Mode::kPictureEditor ? Start({}) : Start({"--full"}));
        driver.Run([&] { Frame().KillTimer(kStartTimer); });
        if (mode == Mode::kDaz) App().dazMode = 2;
        const std::string folder = tmp_.path() + "/a/prog/";
        App().programFolder = folder.c_str();
        App().state().programFolder = folder;
        exchange = brv::PosixPath(fnd::daz3dfile(folder, App().dazMode));
        // The pages' work-flow codes are recorded instead of run.
        steps_.emplace();
    }
    // The codes sent since the last page opened.
    const std::vector<int>& Steps() const { return steps_->codes; }
    // The folder of the exchange file (the write fails without it).
    std::string ExchangeFolder() { return std::filesystem::path(exchange).parent_path().string(); }
    void MakeExchangeFolder() { std::filesystem::create_directories(ExchangeFolder()); }
    // The full template head (the document reads it as the mode does) with
    // a frontal texture of n x n; stage 2500.
    void LoadHead(int n = 64) {
        // The photo the head was fitted to.
        CWinBmp photo;
        photo.Create(1024, 768, 32, false);
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) photo.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), 90, 255));
        Doc().kernel2D->photo = photo;
        Doc().kernel2D->InitPicture();
        Doc().templateId = 122;
        driver.Run([&] { Doc().LoadTHEResource(122, true); });
        ASSERT_GT(Head().vertices.count(), 17000);
        morphtest::FrontalTexture(Head(), n, false);
        Doc().textureSize = n;
        Doc().stage = 2500;
    }
    head3& Head() { return *Doc().kernel3D->head; }
    CViewEdit3D& View3D() { return *Doc().GetViewEdit3D<CViewEdit3D>(); }
    std::vector<unsigned char> Texture() { return Head().texture->rgb; }

    void OpenPage() {
        steps_->codes.clear();
        page = std::make_unique<CDlgLaserSize>();
        driver.Run([&] { page->Open(&Frame()); });
        driver.Pump();
        ASSERT_NE(page->m_hWnd, nullptr);
    }
    void OpenAgePage() {
        steps_->codes.clear();
        agePage = std::make_unique<CDlgAge>();
        driver.Run([&] { agePage->Open(&Frame()); });
        driver.Pump();
        ASSERT_NE(agePage->m_hWnd, nullptr);
    }
    static HWND Item(CWnd& w, int id) { return HeadlessDriver::FindControl(w.m_hWnd, id); }
    static brv::ControlInfo Info(CWnd& w, int id) { return HeadlessDriver::Inspect(Item(w, id)); }
    // A button's click as its notification (the hidden ones too).
    void Command(CWnd& w, int id) {
        HWND button = Item(w, id);
        driver.Run([&] { w.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)); });
        driver.Pump();
    }
    // A slider put at p without a notification (as a key on a hidden one),
    // then the scroll code sent.
    void SetSlider(CWnd& w, int id, int p) {
        driver.Run([&] { static_cast<CSliderCtrl*>(CWnd::FromHandle(Item(w, id)))->SetPos(p); });
    }
    void Scroll(CWnd& w, int id, int p, int code = 4) {
        SetSlider(w, id, p);
        HWND slider = Item(w, id);
        driver.Run([&] { w.SendMessage(WM_HSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(slider)); });
        driver.Pump();
    }
    // The positions the age and weight should give, from the age shapes.
    std::vector<vector3<double>> Expected(int a, int w) {
        const head3& h = Head();
        std::vector<vector3<double>> b = AgeShape(h, 1221), s22 = AgeShape(h, 1222), s23 = AgeShape(h, 1223),
                                     s28 = AgeShape(h, 1228);
        std::vector<vector3<double>> out;
        for (size_t k = 0; k < b.size(); ++k)
            out.push_back(b[k] + (s28[k] - s22[k]) * (a / 6.0) + (s23[k] - s22[k]) * ((w - 3) / 6.0));
        return out;
    }
    double HeadSize() {
        const vector3<double> d = Head().boxMax - Head().boxMin;
        return std::max({d.x, d.y, d.z});
    }
    int Beeps() { return int(driver.Backend().EventsOf(HeadlessBackend::Event::kBeep).size()); }
    std::vector<HeadlessBackend::Event> Boxes() { return driver.Backend().EventsOf(HeadlessBackend::Event::kMessageBox); }
    // Whether the document can write OBJ files at all (the export lands
    // with the document's files).
    bool DocumentWritesObj() {
        const std::string probe = tmp_.path() + "/probe.obj";
        int ok = 0;
        driver.Run([&] { ok = Doc().SaveOBJFile(CString(probe.c_str()), 2); });
        return ok && std::filesystem::exists(probe);
    }

    std::unique_ptr<CDlgLaserSize> page;
    std::unique_ptr<CDlgAge> agePage;
    std::optional<fakes::RecordedSteps> steps_;
    std::string exchange;
};

// ---------------------------------------------------------------- model page

TEST_F(MorphWindows, ModelPageOpensOnTheLayoutOfItsModeWithTheDocumentsMorph) {
    struct Case {
        Mode mode;
        UINT layout;
        const char *ok, *cancel;
    };
    for (const Case c : {Case{Mode::kPictureEditor, IDD_MODELPS, "Photoshop", "Cancel"},
                         Case{Mode::kFull, IDD_MODEL, "Exit", "Export"}, Case{Mode::kDaz, IDD_MODEL, "OK", "Cancel"}}) {
        SCOPED_TRACE(c.ok);
        StartIn(c.mode);
        LoadHead();
        Doc().ageSlider = 4;
        Doc().weightSlider = 2;
        OpenPage();
        EXPECT_EQ(HeadlessDriver::FindDialog(int(c.layout)), page->m_hWnd);
        EXPECT_EQ(Info(*page, 1141).text, c.ok);
        EXPECT_EQ(Info(*page, 1122).text, c.cancel);
        EXPECT_EQ(Info(*page, 1140).text, "");
        // Two pixels right of and below the frame's client corner.
        CPoint corner(0, 0);
        Frame().ClientToScreen(&corner);
        const CRect r = HeadlessDriver::ScreenRect(page->m_hWnd);
        EXPECT_EQ(r.TopLeft(), CPoint(corner.x + 2, corner.y + 2));
        for (auto [id, pos] : {std::pair{1087, 4}, std::pair{1102, 2}}) {
            const brv::ControlInfo s = Info(*page, id);
            EXPECT_EQ(s.min, 0);
            EXPECT_EQ(s.max, 6);
            EXPECT_EQ(s.pos, pos);
        }
        if (c.layout == IDD_MODEL) {
            for (int id : {1103, 1090}) EXPECT_EQ(Info(*page, id).pos, 3);
        }
        EXPECT_EQ(Doc().stage, 2500);
        EXPECT_EQ(View3D().displayMode, svc::ViewEdit3D::kTextured);
        if (c.mode == Mode::kPictureEditor) {
            EXPECT_LT(Farthest(Positions(Head()), Expected(4, 2)), 1e-9 * HeadSize());
            EXPECT_EQ(Doc().carried.geometryAge, 4);
            EXPECT_EQ(Doc().carried.textureAge, 4);
        }
        driver.Run([&] { page->DestroyWindow(); });
        page.reset();
        Stop();
        resetModelState();
    }
}

TEST_F(MorphWindows, AReopenedPageDoesNotAgeTheHeadAgain) {
    StartIn(Mode::kPictureEditor);
    LoadHead();
    Doc().ageSlider = 4;
    Doc().weightSlider = 2;
    OpenPage();
    const std::vector<vector3<double>> aged = Positions(Head());
    const std::vector<unsigned char> texture = Texture();
    driver.Run([&] { page->DestroyWindow(); });
    // A refinement pass keeps the geometry and the texture: the next page
    // finds them carrying age 4 and weight 2.
    OpenPage();
    EXPECT_TRUE(BitEqual(Positions(Head()), aged));
    EXPECT_EQ(Texture(), texture);
    EXPECT_LT(Farthest(Positions(Head()), Expected(4, 2)), 1e-9 * HeadSize());
    // A template read anew carries nothing.
    driver.Run([&] { page->DestroyWindow(); });
    driver.Run([&] { Doc().LoadTHEResource(122, true); });
    EXPECT_EQ(Doc().carried, morph::CarriedMorph());
}

TEST_F(MorphWindows, ASavedAndReopenedProjectIsNotAgedAgain) {
    StartIn(Mode::kPictureEditor);
    LoadHead();
    Doc().ageSlider = 4;
    Doc().weightSlider = 2;
    OpenPage();
    const std::vector<vector3<double>> aged = Positions(Head());
    const std::vector<unsigned char> texture = Texture();
    driver.Run([&] { page->DestroyWindow(); });
    const std::string fac = tmp_.path() + "/aged.fac";
    int saved = 0, read = 0;
    driver.Run([&] { saved = Doc().SaveFACFile(CString(fac.c_str()), "b", false); });
    ASSERT_TRUE(saved);
    // Another head in between carries nothing.
    driver.Run([&] { Doc().LoadTHEResource(122, true); });
    EXPECT_EQ(Doc().carried, morph::CarriedMorph());
    driver.Run([&] { read = Doc().LoadFACFile(CString(fac.c_str()), false); });
    ASSERT_TRUE(read);
    driver.Pump();
    ASSERT_EQ(Doc().stage, 2500);
    EXPECT_EQ(Doc().carried, (morph::CarriedMorph{4, 2, 4}));
    // The file keeps the aged head (to its own precision); the page adds
    // nothing to it.
    const std::vector<vector3<double>> reread = Positions(Head());
    EXPECT_LT(Farthest(reread, aged), 1e-6 * HeadSize());
    EXPECT_EQ(Texture(), texture);
    OpenPage();
    EXPECT_TRUE(BitEqual(Positions(Head()), reread));
    EXPECT_EQ(Texture(), texture);
}

TEST_F(MorphWindows, SlidersApplyOnceByDragKeyAndChannelAndPutBackTwoMoved) {
    StartIn(Mode::kPictureEditor);
    LoadHead();
    Doc().ageSlider = 4;
    Doc().weightSlider = 2;
    OpenPage();
    const double tolerance = 1e-9 * HeadSize();

    driver.DragSlider(Item(*page, 1087), 6);
    EXPECT_EQ(Info(*page, 1087).pos, 6);
    EXPECT_EQ(Doc().ageSlider, 6);
    EXPECT_LT(Farthest(Positions(Head()), Expected(6, 2)), tolerance);

    driver.SliderKey(Item(*page, 1102), VK_RIGHT);
    EXPECT_EQ(Doc().weightSlider, 3);
    EXPECT_LT(Farthest(Positions(Head()), Expected(6, 3)), tolerance);

    driver.PageSlider(Item(*page, 1102), false);
    const int w = Info(*page, 1102).pos;
    EXPECT_GT(w, 3);
    EXPECT_EQ(Doc().weightSlider, w);
    EXPECT_LT(Farthest(Positions(Head()), Expected(6, w)), tolerance);
    // The fixed feature points follow their vertices.
    for (int f = Head().featurepoints.first(); f != -1; f = Head().featurepoints.nextOf(f)) {
        const featurepoint3& p = Head().featurepoints[f];
        if (p.vtx == -1) continue;
        EXPECT_EQ(p.point().x, Head().vertices[p.vtx].position.x);
        break;
    }

    // A slider moved without being applied, then another: both go back.
    const std::vector<vector3<double>> before = Positions(Head());
    SetSlider(*page, 1087, 2);
    driver.SliderKey(Item(*page, 1102), VK_LEFT);
    EXPECT_EQ(Info(*page, 1087).pos, 6);
    EXPECT_EQ(Info(*page, 1102).pos, w);
    EXPECT_TRUE(BitEqual(Positions(Head()), before));
    // The next change acts again.
    driver.SliderKey(Item(*page, 1087), VK_LEFT);
    EXPECT_EQ(Doc().ageSlider, 5);
    EXPECT_LT(Farthest(Positions(Head()), Expected(5, w)), tolerance);
}

TEST_F(MorphWindows, UndoRevertAndMirrorLeftRestoreTheHead) {
    StartIn(Mode::kFull);
    LoadHead(128);
    OpenPage();
    const std::vector<vector3<double>> p0 = Positions(Head());
    const std::vector<unsigned char> t0 = Texture();

    // The Asian slider (hidden in the layout) by its notification.
    Scroll(*page, 1103, 5);
    EXPECT_FALSE(BitEqual(Positions(Head()), p0));
    EXPECT_NE(Texture(), t0);
    for (int k = 0; k < 2; ++k) {
        Command(*page, 1111);
        EXPECT_TRUE(BitEqual(Positions(Head()), p0)) << k;
        EXPECT_EQ(Texture(), t0) << k;
        EXPECT_EQ(Info(*page, 1103).pos, 3) << k;
    }

    // The frame's Redo changes nothing.
    driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_REDO, 0); });
    EXPECT_TRUE(BitEqual(Positions(Head()), p0));

    // Mirror Left takes the undo point first.
    driver.Run([&] { page->IconAction(403); });
    EXPECT_FALSE(BitEqual(Positions(Head()), p0));
    Command(*page, 1111);
    EXPECT_TRUE(BitEqual(Positions(Head()), p0));
    EXPECT_TRUE(testsupport::modelInvariantErrors(Head()).empty());

    // Revert: every slider at 3, the document's values too.
    Scroll(*page, 1090, 6);
    Scroll(*page, 1087, 5);
    Command(*page, 1129);
    for (int id : {1087, 1102, 1103, 1090}) EXPECT_EQ(Info(*page, id).pos, 3) << id;
    EXPECT_EQ(Doc().ageSlider, 3);
    EXPECT_EQ(Doc().weightSlider, 3);
    EXPECT_TRUE(BitEqual(Positions(Head()), p0));
}

TEST_F(MorphWindows, IconsShowPressedThenActAndShowTheirHints) {
    StartIn(Mode::kFull);
    LoadHead();
    OpenPage();
    driver.Pump();
    HWND notes = Item(*page, 401);
    const CRect r = HeadlessDriver::Inspect(notes).rect;
    const CPoint centre(r.Width() / 2, r.Height() / 2);
    const COLORREF shown = HeadlessDriver::Pixel(notes, centre.x, centre.y);

    driver.Click(notes, centre);
    driver.AdvanceClock(100);
    EXPECT_EQ(page->PressedIcon(), 401);
    EXPECT_EQ(HeadlessDriver::Pixel(notes, centre.x, centre.y), (~shown) & 0xFFFFFF);
    EXPECT_EQ(View3D().displayMode, svc::ViewEdit3D::kTextured);
    driver.AdvanceClock(200);
    EXPECT_EQ(page->PressedIcon(), 0);
    EXPECT_EQ(HeadlessDriver::Pixel(notes, centre.x, centre.y), shown);
    EXPECT_EQ(View3D().displayMode, svc::ViewEdit3D::kLit);
    driver.Click(notes, centre);
    driver.AdvanceClock(300);
    EXPECT_EQ(View3D().displayMode, svc::ViewEdit3D::kTextured);

    // The frame's tools, help and statistics.
    struct Case {
        int icon, tool;
    };
    for (const Case c : {Case{407, 3}, Case{408, 4}, Case{410, 5}, Case{409, 5}}) {
        HWND icon = Item(*page, c.icon);
        const int before = Frame().tool;
        driver.Click(icon, CPoint(3, 3));
        EXPECT_EQ(Frame().tool, before) << c.icon;
        driver.AdvanceClock(300);
        EXPECT_EQ(Frame().tool, c.tool) << c.icon;
    }
    for (int icon : {404, 405}) {
        driver.Click(Item(*page, icon), CPoint(3, 3));
        driver.AdvanceClock(300);
    }
    EXPECT_EQ(driver.Backend().OpenedUrls().size(), 2u);
    const size_t boxes = Boxes().size();
    driver.Click(Item(*page, 406), CPoint(3, 3));
    driver.AdvanceClock(300);
    EXPECT_EQ(Boxes().size(), boxes + 1);
    // Save: the frame's project save.
    std::string filter;
    driver.OnNextFileDialog([&](brv::FileDialogSession& s) -> int {
        if (!s.Filters().empty()) filter = s.Filters()[0].description;
        return s.Accept(tmp_.path() + "/saved.fac") ? IDOK : IDCANCEL;
    });
    driver.Click(Item(*page, 400), CPoint(3, 3));
    driver.AdvanceClock(300);
    EXPECT_EQ(filter, "Dremolix (*.fac)");
    EXPECT_TRUE(std::filesystem::exists(tmp_.path() + "/saved.fac"));

    // Hints: the string of the icon under the pointer, empty elsewhere.
    for (int k = 0; k < CDlgLaserSize::kIconCount; ++k) {
        HWND icon = Item(*page, CDlgLaserSize::kIcons[k]);
        if (!HeadlessDriver::Inspect(icon).visible) continue;
        driver.MouseMove(icon, CPoint(4, 4));
        CString hint;
        hint.LoadString(CDlgLaserSize::kIconHints[k]);
        EXPECT_EQ(Info(*page, 1140).text, hint.GetString()) << CDlgLaserSize::kIcons[k];
    }
    driver.MouseMove(page->m_hWnd, CPoint(3, 200));
    EXPECT_EQ(Info(*page, 1140).text, "");
    // A click where a hidden icon lies does nothing.
    const CRect hidden = HeadlessDriver::Inspect(Item(*page, 403)).rect;
    const std::vector<vector3<double>> p = Positions(Head());
    driver.Click(page->m_hWnd, hidden.CenterPoint());
    driver.AdvanceClock(300);
    EXPECT_EQ(page->PressedIcon(), 0);
    EXPECT_TRUE(BitEqual(Positions(Head()), p));

    // The hidden brush and free-hand icons by their actions (their
    // palettes open over the page).
    driver.Run([&] { page->IconAction(411); });
    EXPECT_EQ(Frame().toolMode, 4);
    driver.Run([&] { page->IconAction(1126); });
    EXPECT_EQ(Frame().toolMode, 5);
    driver.Run([&] { Frame().HideToolDialogs(); });
}

TEST_F(MorphWindows, RefineAnswersBecomeWorkFlowCodes) {
    StartIn(Mode::kFull);
    LoadHead();
    enum Answer { kPresent, kNew, kCancel, kEscape, kCloseBox };
    struct Case {
        Answer answer;
        std::vector<int> steps;
    };
    for (const Case& c : {Case{kPresent, {23}}, Case{kNew, {22}}, Case{kCancel, {}}, Case{kEscape, {22}},
                          Case{kCloseBox, {}}}) {
        SCOPED_TRACE(int(c.answer));
        OpenPage();
        CPoint corner(0, 0);
        page->ClientToScreen(&corner);
        CPoint placed;
        driver.OnNextModal([&](HWND dialog) {
            EXPECT_EQ(HeadlessDriver::FindDialog(IDD_REFINE), dialog);
            placed = HeadlessDriver::ScreenRect(dialog).TopLeft();
            switch (c.answer) {
                case kPresent: driver.ClickControl(HeadlessDriver::FindControl(dialog, 1)); break;
                case kNew: driver.ClickControl(HeadlessDriver::FindControl(dialog, 2)); break;
                case kCancel: driver.ClickControl(HeadlessDriver::FindControl(dialog, 3)); break;
                case kEscape: driver.Key(VK_ESCAPE); break;
                case kCloseBox: driver.CloseBox(dialog); break;
            }
        });
        Command(*page, 1109);
        EXPECT_EQ(placed, CPoint(corner.x + 2, corner.y + 2));
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(page->m_hWnd != nullptr, c.steps.empty());
        if (page->m_hWnd) driver.Run([&] { page->DestroyWindow(); });
    }
    // During a refinement only a beep.
    Doc().photoNumber = 1;
    OpenPage();
    const int beeps = Beeps();
    Command(*page, 1109);
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_TRUE(Steps().empty());
    EXPECT_NE(page->m_hWnd, nullptr);
}

TEST_F(MorphWindows, BackButtonsRestoreTheStartStateAndSendTheirCodes) {
    StartIn(Mode::kFull);
    LoadHead();
    struct Case {
        int button, code, stage;
        bool refined;
    };
    // The last case comes back from a refinement pass: the template is read
    // again, the photo as first loaded, the start state laid over what
    // exists of it.
    for (const Case c : {Case{1107, 8, 2000, false}, Case{1108, 16, 2500, false}, Case{1107, 8, 2000, true}}) {
        Doc().photoNumber = c.refined ? 1 : 0;
        OpenPage();
        const std::vector<vector3<double>> p0 = Positions(Head());
        const std::vector<unsigned char> t0 = Texture();
        Scroll(*page, 1103, 6);
        EXPECT_FALSE(BitEqual(Positions(Head()), p0));
        Command(*page, c.button);
        EXPECT_TRUE(BitEqual(Positions(Head()), p0)) << c.button;
        EXPECT_EQ(Texture(), t0) << c.button;
        EXPECT_EQ(Steps(), std::vector<int>{c.code});
        EXPECT_EQ(page->m_hWnd, nullptr);
        EXPECT_EQ(Doc().stage, c.stage);
        EXPECT_EQ(gatheredTriangles().count(), 0);
        EXPECT_EQ(Doc().photoNumber, 0);
        EXPECT_TRUE(testsupport::modelInvariantErrors(Head()).empty());
    }
}

TEST_F(MorphWindows, ExportAskForANewFileAndCancelEndsTheCompanionModes) {
    StartIn(Mode::kFull);
    LoadHead();
    OpenPage();
    struct Case {
        const char* project;
        const char* name;
    };
    for (const Case c : {Case{"C:\\a.b\\anna", "anna"}, Case{"", "Untitled"}}) {
        Doc().projectName = c.project;
        bool asked = false;
        driver.OnNextFileDialog([&](brv::FileDialogSession& s) -> int {
            asked = true;
            EXPECT_FALSE(s.IsOpen());
            EXPECT_EQ(s.InitialName(), c.name);
            EXPECT_EQ(s.DefaultExtension(), "*.obj");
            EXPECT_EQ(s.Filters().size(), 1u);
            if (!s.Filters().empty()) {
                EXPECT_EQ(s.Filters()[0].description, "OBJ (*.obj)");
                EXPECT_EQ(s.Filters()[0].masks, std::vector<std::string>{"*.obj"});
            }
            EXPECT_FALSE(s.Flags() & OFN_FILEMUSTEXIST);
            return s.Accept(tmp_.path() + "/new.obj") ? IDOK : IDCANCEL;
        });
        driver.ClickControl(Item(*page, 1122));
        EXPECT_TRUE(asked);
        EXPECT_NE(page->m_hWnd, nullptr);
        EXPECT_FALSE(driver.Exited());
    }
    // Escape is Cancel: the save dialog again.
    bool asked = false;
    driver.OnNextFileDialog([&](brv::FileDialogSession&) {
        asked = true;
        return IDCANCEL;
    });
    driver.Run([&] { ::SetFocus(Item(*page, 1087)); });
    driver.Key(VK_ESCAPE);
    EXPECT_TRUE(asked);
    EXPECT_NE(page->m_hWnd, nullptr);

    for (Mode mode : {Mode::kPictureEditor, Mode::kDaz}) {
        driver.Run([&] { page->DestroyWindow(); });
        page.reset();
        Stop();
        resetModelState();
        driver.Reset();
        StartIn(mode);
        LoadHead();
        OpenPage();
        driver.ClickControl(Item(*page, 1122));
        EXPECT_EQ(driver.ExitCode(), std::optional<int>(0));
        EXPECT_FALSE(std::filesystem::exists(exchange));
    }
}

// The picture-editor mode's button hands the head back first (tests/e2e).
TEST_F(MorphWindows, ExitEndsTheProgramWithoutAFileOutsideTheDazMode) {
    for (Mode mode : {Mode::kFull}) {
        StartIn(mode);
        MakeExchangeFolder();
        LoadHead();
        OpenPage();
        driver.ClickControl(Item(*page, 1141));
        EXPECT_EQ(driver.ExitCode(), std::optional<int>(0));
        EXPECT_EQ(page->m_hWnd, nullptr);
        EXPECT_EQ(Doc().stage, 0);
        EXPECT_FALSE(std::filesystem::exists(exchange));
        page.reset();
        Stop();
        resetModelState();
        driver.Reset();
    }
}

TEST_F(MorphWindows, DazExitThatCannotWriteShowsTheErrorAndStays) {
    StartIn(Mode::kDaz);
    LoadHead();
    if (!DocumentWritesObj()) GTEST_SKIP() << "the document does not write OBJ files yet";
    OpenPage();
    // No folder for the exchange file: the error, the page stays.
    driver.ClickControl(Item(*page, 1141));
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes().back().caption, "Error");
    EXPECT_NE(Boxes().back().text.find("kv3d.obj"), std::string::npos);
    EXPECT_NE(page->m_hWnd, nullptr);
    EXPECT_FALSE(driver.Exited());
}

TEST_F(MorphWindows, DazExitWritesTheExchangeFile) {
    StartIn(Mode::kDaz);
    LoadHead();
    MakeExchangeFolder();
    if (!DocumentWritesObj()) GTEST_SKIP() << "the document does not write OBJ files yet";
    std::filesystem::remove(tmp_.path() + "/probe.obj");
    OpenPage();
    driver.ClickControl(Item(*page, 1141));
    EXPECT_TRUE(std::filesystem::exists(exchange));
    EXPECT_EQ(driver.ExitCode(), std::optional<int>(0));
}

TEST_F(MorphWindows, PictureEditorLabelsStandOverTheSliders) {
    StartIn(Mode::kPictureEditor);
    LoadHead();
    OpenPage();
    driver.Run([&] { page->RedrawWindow(); });
    driver.Pump();
    auto dark = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const COLORREF c = HeadlessDriver::Pixel(page->m_hWnd, x, y);
                if (c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) return true;
            }
        return false;
    };
    for (int id : {1087, 1102}) {
        const CRect s = Info(*page, id).rect;
        for (int i = 0; i < 7; ++i) {
            const int x = s.left + i * (s.Width() / 7 + 4) + 12, y = s.top - 15;
            EXPECT_TRUE(dark(x - 6, y, x + 6, y + 14)) << id << " " << i;
        }
        // Nothing between the first two labels' text.
        const int gap = s.left + (s.Width() / 7 + 4) / 2 + 12;
        EXPECT_FALSE(dark(gap - 1, s.top - 13, gap + 1, s.top - 4)) << id;
    }
}

// ---------------------------------------------------------------- region engine window

TEST_F(MorphWindows, RegionEngineWindowReadsItsSelectorsFromItsSliders) {
    StartIn(Mode::kPictureEditor);
    LoadHead();
    head3& h = Head();
    const std::vector<vector3<double>> p0 = Positions(h);
    std::vector<vector3<double>> byWindow;
    {
        CDlgSet set(&Frame());
        driver.Run([&] { set.CreateHidden(&Frame()); });
        ASSERT_EQ(HeadlessDriver::FindDialog(IDD_DLGSET), set.m_hWnd);
        EXPECT_FALSE(HeadlessDriver::Inspect(set.m_hWnd).visible);
        driver.Run([&] { set.SetMode("nose_top", "xx", "xx", 3, -1); });
        EXPECT_EQ(HeadlessDriver::Inspect(set.m_hWnd).text, "xx");
        EXPECT_EQ(Info(set, 1091).text, "xx");
        const brv::ControlInfo range = Info(set, 1087);
        EXPECT_EQ(range.min, -50);
        EXPECT_EQ(range.max, 50);
        EXPECT_EQ(range.pos, 0);
        EXPECT_EQ(Info(set, 1092).pos, 1);
        EXPECT_EQ(Info(set, 1102).pos, 3);
        EXPECT_EQ(Info(set, 1103).pos, 2);
        EXPECT_EQ(set.engine()->rangeFactor, 1.5);
        EXPECT_EQ(set.engine()->softnessFactor, 1.0);
        EXPECT_FALSE(set.engine()->records().empty());
        // The side selector moved by hand picks the mask character.
        driver.Run([&] {
            static_cast<CSliderCtrl*>(CWnd::FromHandle(Item(set, 1092)))->SetPos(0);
            set.SetMode();
        });
        EXPECT_EQ(set.engine()->sidePosition, 0);
        driver.Run([&] { static_cast<CSliderCtrl*>(CWnd::FromHandle(Item(set, 1092)))->SetPos(1); });

        // From an empty gathered set, as a slider change starts.
        driver.Run([&] {
            set.OKK();
            set.Run(morph::kAsianSteps, 2);
        });
        byWindow = Positions(h);
        Frame().tool = 3;
        driver.Run([&] { set.OnCancel(); });
        EXPECT_EQ(gatheredTriangles().count(), 0);
        EXPECT_EQ(Frame().tool, 1);
        EXPECT_EQ(Frame().toolMode, 0);
        EXPECT_TRUE(set.engine()->records().empty());
    }
    // The same sequence on an engine of its own, from the same start.
    int k = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) h.vertices[v].position = p0[size_t(k++)];
    morph::RefreshAfterRegions(h);
    morph::RunRegionSteps(h, morph::kAsianSteps, 2);
    morph::RefreshAfterRegions(h);
    EXPECT_FALSE(BitEqual(byWindow, p0));
    EXPECT_TRUE(BitEqual(Positions(h), byWindow));
}

// ---------------------------------------------------------------- age page

class AgeWindow : public MorphWindows {
protected:
    // An imported figure: saved positions where the file put the vertices,
    // the present ones moved away from them.
    void Import(int n = 128) {
        StartIn(Mode::kFull);
        LoadHead(n);
        for (int v = Head().vertices.first(); v != -1; v = Head().vertices.nextOf(v)) {
            vertex& x = Head().vertices[v];
            x.loadPosition = x.position;
            x.position += vector3<double>(0.5, -0.25, 1.0);
        }
    }
    std::vector<vector3<double>> Saved() {
        std::vector<vector3<double>> out;
        for (int v = Head().vertices.first(); v != -1; v = Head().vertices.nextOf(v))
            out.push_back(Head().vertices[v].loadPosition);
        return out;
    }
};

TEST_F(AgeWindow, OpensOnTheSavedPositionsAndMorphsByRegionsWithUndo) {
    Import();
    OpenAgePage();
    const std::vector<vector3<double>> p0 = Positions(Head());
    EXPECT_TRUE(BitEqual(p0, Saved()));
    EXPECT_EQ(HeadlessDriver::FindDialog(IDD_AGE), agePage->m_hWnd);
    for (int id : {1087, 1102, 1103, 1090}) {
        const brv::ControlInfo s = Info(*agePage, id);
        EXPECT_EQ(s.min, 0);
        EXPECT_EQ(s.max, 10);
        EXPECT_EQ(s.pos, 2);
    }
    const std::vector<unsigned char> t0 = Texture();

    driver.DragSlider(Item(*agePage, 1087), 6);
    EXPECT_EQ(Info(*agePage, 1087).pos, 6);
    const std::vector<vector3<double>> aged = Positions(Head());
    EXPECT_EQ(Texture(), t0);
    // The engine's age sequence for 4 steps, from the same start.
    {
        int k = 0;
        for (int v = Head().vertices.first(); v != -1; v = Head().vertices.nextOf(v))
            Head().vertices[v].position = p0[size_t(k++)];
        morph::RefreshAfterRegions(Head());
        morph::RunRegionSteps(Head(), morph::kAgePageAgeSteps, 4);
        morph::RefreshAfterRegions(Head());
        EXPECT_FALSE(BitEqual(aged, p0));
        EXPECT_TRUE(BitEqual(Positions(Head()), aged));
    }

    // Asian 2 -> 4 recolours the present texture by the step.
    std::vector<unsigned char> t1 = Texture();
    TextureImage expected = *Head().texture;
    morph::ModColorStep(expected, 2, 4, morph::kAsianColour, agePage->core().mean());
    driver.DragSlider(Item(*agePage, 1103), 4);
    EXPECT_EQ(Texture(), expected.rgb);
    EXPECT_NE(Texture(), t1);

    for (int k = 0; k < 2; ++k) {
        driver.ClickControl(Item(*agePage, 1111));
        EXPECT_TRUE(BitEqual(Positions(Head()), aged)) << k;
        EXPECT_EQ(Texture(), t1) << k;
        EXPECT_EQ(Info(*agePage, 1103).pos, 2) << k;
        EXPECT_EQ(Info(*agePage, 1087).pos, 6) << k;
    }
    driver.ClickControl(Item(*agePage, 1129));
    EXPECT_TRUE(BitEqual(Positions(Head()), p0));
    EXPECT_EQ(Texture(), t0);
    for (int id : {1087, 1102, 1103, 1090}) EXPECT_EQ(Info(*agePage, id).pos, 2);

    driver.DragSlider(Item(*agePage, 1102), 5);
    driver.ClickControl(Item(*agePage, 1107));
    EXPECT_TRUE(BitEqual(Positions(Head()), p0));
    EXPECT_EQ(Steps(), std::vector<int>{9});
    EXPECT_EQ(Doc().stage, 2000);
    EXPECT_EQ(agePage->m_hWnd, nullptr);
}

TEST_F(AgeWindow, OkThatCannotWriteShowsTheErrorAndStays) {
    Import(64);
    if (!DocumentWritesObj()) GTEST_SKIP() << "the document does not write OBJ files yet";
    OpenAgePage();
    // No folder for the exchange file: the document's error, the page stays.
    driver.ClickControl(Item(*agePage, 1));
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes().back().caption, "Error");
    EXPECT_NE(Boxes().back().text.find("kv3d.obj"), std::string::npos);
    EXPECT_NE(agePage->m_hWnd, nullptr);
    EXPECT_FALSE(driver.Exited());
}

TEST_F(AgeWindow, CancelEndsWithoutAFile) {
    Import(64);
    OpenAgePage();
    MakeExchangeFolder();
    driver.DragSlider(Item(*agePage, 1087), 5);
    driver.Run([&] { ::SetFocus(Item(*agePage, 1087)); });
    driver.Key(VK_ESCAPE);
    EXPECT_EQ(driver.ExitCode(), std::optional<int>(0));
    EXPECT_FALSE(std::filesystem::exists(exchange));
}

TEST_F(AgeWindow, OkWritesTheObjWithTheAgeMapAsBumpMap) {
    Import(64);
    MakeExchangeFolder();
    if (!DocumentWritesObj()) GTEST_SKIP() << "the document does not write OBJ files yet";
    OpenAgePage();
    ASSERT_TRUE(agePage->core().ageMapBuilt());
    const std::string map = tmp_.path() + "/agemap.bmp";
    CBmpEncoder().MakeFileFromBmp(map.c_str(), &Doc().agePicture);
    driver.ClickControl(Item(*agePage, 1));
    EXPECT_EQ(driver.ExitCode(), std::optional<int>(0));
    ASSERT_TRUE(std::filesystem::exists(exchange));
    const std::string bump = ExchangeFolder() + "/bumpmap.bmp";
    ASSERT_TRUE(std::filesystem::exists(bump));
    const std::string cmd = "/usr/bin/compare -metric AE " + map + " " + bump + " null: 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char out[64] = {};
    fgets(out, sizeof out, p);
    pclose(p);
    EXPECT_EQ(std::string(out).substr(0, 1), "0") << out;
}

TEST_F(AgeWindow, AnAgeMapThatCouldNotBeBuiltWritesNoBumpMap) {
    Import(64);
    MakeExchangeFolder();
    if (!DocumentWritesObj()) GTEST_SKIP() << "the document does not write OBJ files yet";
    // Without the temporary folder the picture cannot pass through its file.
    const std::filesystem::path folder = std::filesystem::path(morph::AgePageTempFile()).parent_path();
    std::filesystem::remove_all(folder);
    OpenAgePage();
    std::filesystem::create_directories(folder);
    ASSERT_FALSE(agePage->core().ageMapBuilt());
    EXPECT_EQ(Doc().agePicture.GetWidth(), 8);
    driver.ClickControl(Item(*agePage, 1));
    EXPECT_EQ(driver.ExitCode(), std::optional<int>(0));
    EXPECT_TRUE(std::filesystem::exists(exchange));
    EXPECT_FALSE(std::filesystem::exists(ExchangeFolder() + "/bumpmap.bmp"));
}

}  // namespace
