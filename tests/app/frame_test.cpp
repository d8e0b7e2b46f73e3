// The main frame over panes that record what the frame asks of them: the
// layouts, the tool state and its commands, closing, the pages it owns and
// its section of the project file.

#include <gtest/gtest.h>

#include <type_traits>

#include "document/ids.h"
#include "dialogs/dlgage.h"
#include "dialogs/dlgbrushselect.h"
#include "dialogs/dlgcrop.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "dialogs/dlgfreetool.h"
#include "dialogs/dlgheadfeatures.h"
#include "dialogs/dlglasersize.h"
#include "foundation/filetb.h"
#include "shell_fixture.h"

namespace {

std::vector<std::string>& refits() {
    static std::vector<std::string> log;
    return log;
}

std::vector<std::string>& pageLog() {
    static std::vector<std::string> log;
    return log;
}

// A pane that logs its refits and answers the tool question as told.
class RecordingView : public CFaceView {
public:
    RecordingView(CFaceDoc* doc, int id, const char* name) : CFaceView(doc, id) { viewName = name; }
    void FitInView() override { refits().push_back(std::string(viewName.View())); }
    BOOL CanChangeTool(bool) override {
        ++asked;
        return allow;
    }
    bool allow = true;
    int asked = 0;
};

#define RECORDING_VIEW(Class, Name)                                                         \
    class Class : public RecordingView {                                                    \
        DECLARE_DYNCREATE(Class)                                                            \
    public:                                                                                 \
        Class(CFaceDoc* doc, int id) : RecordingView(doc, id, Name) {}                      \
    };                                                                                      \
    IMPLEMENT_DYNCREATE_DOC(Class, CFaceView, CFaceDoc)

RECORDING_VIEW(RecOrigPhoto, "ViewOrigPhoto")
RECORDING_VIEW(RecOrig2D, "ViewOrig2D")
RECORDING_VIEW(RecEdit3D, "ViewEdit3D")
RECORDING_VIEW(RecEdit2D3D, "ViewEdit2D3D")

class RecordingFrame : public CMainFrame {
    DECLARE_DYNCREATE(RecordingFrame)
public:
    int saves = 0;
    void OnSaveRecorded() { ++saves; }

protected:
    DECLARE_MESSAGE_MAP()
    const CRuntimeClass* PaneClass(PaneKind kind) const override {
        switch (kind) {
            case kOrigPhoto: return RUNTIME_CLASS(RecOrigPhoto);
            case kOrig2D: return RUNTIME_CLASS(RecOrig2D);
            case kEdit3D: return RUNTIME_CLASS(RecEdit3D);
            default: return RUNTIME_CLASS(RecEdit2D3D);
        }
    }
};
IMPLEMENT_DYNCREATE(RecordingFrame, CMainFrame)
BEGIN_MESSAGE_MAP(RecordingFrame, CMainFrame)
  ON_COMMAND(ID_FILE_SAVE_FAC, OnSaveRecorded)
END_MESSAGE_MAP()

template <class Page>
struct Logged : Page {
    Logged(const char* t, UINT id)
        requires std::is_constructible_v<Page, UINT>
        : Page(id), tag(t) {}
    // The palettes take their parent, not their layout.
    Logged(const char* t, UINT)
        requires(!std::is_constructible_v<Page, UINT>)
        : tag(t) {}
    ~Logged() override { pageLog().push_back(tag); }
    const char* tag;
};

// The point page whose Next button closes the pages, itself among them,
// and then goes on in its own handler.
class ClosingPointPage : public CDlgFeatures2 {
public:
    ClosingPointPage() : CDlgFeatures2(UINT(IDD_FEATURES2)) {}
    ~ClosingPointPage() override { pageLog().push_back("point"); }
    void OnNext() {
        static_cast<CMainFrame*>(AfxGetMainWnd())->HideModelessDialogs();
        handled = 1;  // the object still lives here
        pageLog().push_back("handler done");
    }
    int handled = 0;

protected:
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ClosingPointPage, CDlgFeatures2)
  ON_BN_CLICKED(1141, OnNext)
END_MESSAGE_MAP()

// Records what an update handler sets.
struct Probe : CCmdUI {
    int enabled = -1, checked = -1;
    void Enable(BOOL on) override { enabled = on ? 1 : 0; }
    void SetCheck(int check) override { checked = check ? 1 : 0; }
};

}  // namespace

class FrameTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        refits().clear();
        pageLog().clear();
        app = std::make_unique<CFaceApp>();
        app->pictureEditorMode = 0;
        auto* t = new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CFaceDoc), RUNTIME_CLASS(RecordingFrame), nullptr);
        app->AddDocTemplate(t);
        driver.Run([&] { t->OpenDocumentFile(nullptr); });
        ASSERT_NE(app->Frame(), nullptr);
        refits().clear();
    }
    RecordingView* Rec(const char* name) { return static_cast<RecordingView*>(View(name)); }
    // The splitter's client becomes w x h.
    void SizeSplitter(int w, int h) {
        CRect r;
        Frame().m_wndSplitter.GetWindowRect(&r);
        Frame().ScreenToClient(&r);
        driver.Run([&] { Frame().m_wndSplitter.MoveWindow(r.left, r.top, w, h); });
    }
    std::vector<int> Sizes() {
        std::vector<int> out;
        int current = 0, minimum = 0;
        for (int i = 0; i < 2; ++i) {
            Frame().m_wndSplitter.GetRowInfo(i, current, minimum);
            out.push_back(current);
        }
        for (int i = 0; i < 2; ++i) {
            Frame().m_wndSplitter.GetColumnInfo(i, current, minimum);
            out.push_back(current);
        }
        return out;
    }
    void Activate(int row, int col) {
        driver.Run([&] { Frame().m_wndSplitter.SetActivePane(row, col); });
    }
    void Command(UINT id) {
        driver.Run([&] { Frame().SendMessage(WM_COMMAND, id, 0); });
    }
};

TEST_F(FrameTest, LayoutsSizeThePanesAndRefitTheViews) {
    const std::vector<std::string> all = {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"};
    struct Case {
        const char* what;
        int w, h;
        int activeRow, activeCol;
        void (CMainFrame::*layout)();
        std::vector<int> sizes;  // row 0, row 1, column 0, column 1
        int activeAfter;         // row * 10 + column
        bool refit;
    } cases[] = {
        {"one pane, (0, 0)", 1000, 700, 0, 0, &CMainFrame::OnViews1, {689, 0, 989, 0}, 0, true},
        {"one pane, (1, 1)", 1000, 700, 1, 1, &CMainFrame::OnViews1, {0, 689, 0, 989}, 11, true},
        {"one pane, (0, 1)", 1000, 700, 0, 1, &CMainFrame::OnViews1, {689, 0, 0, 989}, 1, true},
        {"model stage from (1, 0)", 1000, 700, 1, 0, &CMainFrame::OnViews2A, {689, 0, 494, 495}, 1, true},
        {"model stage from (0, 0)", 1000, 700, 0, 0, &CMainFrame::OnViews2A, {689, 0, 494, 495}, 0, true},
        {"marking stage from (0, 0)", 1000, 700, 0, 0, &CMainFrame::OnViews2B, {0, 689, 494, 495}, 11, true},
        {"marking stage from (1, 0)", 1000, 700, 1, 0, &CMainFrame::OnViews2B, {0, 689, 494, 495}, 10, true},
        {"four panes", 1000, 700, 1, 0, &CMainFrame::OnViews4, {344, 345, 494, 495}, 10, false},
        {"four panes, refitted", 1000, 700, 1, 0, &CMainFrame::OnViews4b, {344, 345, 494, 495}, 10, true},
        {"one pane, 11 x 11", 11, 11, 0, 0, &CMainFrame::OnViews1, {0, 0, 0, 0}, 0, true},
        {"two panes, 11 x 11", 11, 11, 0, 0, &CMainFrame::OnViews2B, {0, 0, 0, 0}, 11, true},
        {"four panes, 0 x 0", 0, 0, 0, 0, &CMainFrame::OnViews4b, {0, 0, 0, 0}, 0, true},
        {"one pane, 0 x 0", 0, 0, 1, 1, &CMainFrame::OnViews1, {0, 0, 0, 0}, 11, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        driver.Run([&] { Frame().OnViews4(); });
        SizeSplitter(c.w, c.h);
        Activate(c.activeRow, c.activeCol);
        refits().clear();
        driver.Run([&] { (Frame().*c.layout)(); });
        EXPECT_EQ(Sizes(), c.sizes);
        EXPECT_EQ(ActivePane(), c.activeAfter);
        EXPECT_EQ(refits(), c.refit ? all : std::vector<std::string>{});
    }
    EXPECT_EQ(Frame().layout, 1);
}

TEST_F(FrameTest, TwoPaneLayoutFollowsTheStage) {
    for (int stage : {0, 1000, 2000, 2499, 2500}) {
        Doc().stage = stage;
        driver.Run([&] { Frame().OnViews2(); });
        EXPECT_EQ(ActivePane() / 10, stage >= 2500 ? 0 : 1) << stage;
        EXPECT_EQ(Frame().layout, 2);
    }
}

TEST_F(FrameTest, OnePaneTwiceRefitsOnce) {
    driver.Run([&] { Frame().OnViews1(); });
    driver.Run([&] { Frame().OnViews1(); });
    EXPECT_EQ(refits().size(), 4u);
    refits().clear();
    Command(ID_VIEWS1);
    EXPECT_TRUE(refits().empty());
}

TEST_F(FrameTest, ResizingKeepsLayoutsOneAndTwoButNotFour) {
    driver.Run([&] { Frame().ShowWindow(SW_RESTORE); });
    auto resize = [&](int w, int h) {
        driver.Run([&] { Frame().MoveWindow(0, 0, w, h); });
        CRect client;
        Frame().m_wndSplitter.GetClientRect(&client);
        return client;
    };
    resize(900, 700);
    Activate(1, 0);
    driver.Run([&] { Frame().OnViews1(); });
    CRect c = resize(1100, 800);
    EXPECT_EQ(Sizes(), (std::vector<int>{0, c.Height() - 11, c.Width() - 11, 0}));
    EXPECT_EQ(Frame().layout, 1);

    driver.Run([&] { Frame().OnViews2(); });
    c = resize(700, 500);
    EXPECT_EQ(Sizes(), (std::vector<int>{0, c.Height() - 11, (c.Width() - 11) / 2, c.Width() - 11 - (c.Width() - 11) / 2}));

    driver.Run([&] { Frame().OnViews4(); });
    std::vector<int> before = Sizes();
    c = resize(1200, 900);
    std::vector<int> after = Sizes();
    EXPECT_EQ(after[0], before[0]);  // the first row and column keep their size
    EXPECT_EQ(after[2], before[2]);
    EXPECT_NE(after[1], before[1]);
    EXPECT_EQ(Frame().layout, 4);
}

TEST_F(FrameTest, ChangeViewsSwapsTheFirstColumn) {
    driver.Run([&] { Frame().OnViews4(); });
    Activate(1, 1);
    driver.Run([&] { Frame().ChangeViews(false); });
    EXPECT_EQ(Frame().Pane(0, 0)->viewName, "ViewOrig2D");
    EXPECT_EQ(Frame().Pane(1, 0)->viewName, "ViewOrigPhoto");
    EXPECT_EQ(Frame().Pane(0, 1)->viewName, "ViewEdit3D");
    EXPECT_EQ(ActivePane(), 0);
    EXPECT_EQ(refits(), (std::vector<std::string>{"ViewOrig2D", "ViewOrigPhoto"}));
    EXPECT_EQ(Doc().GetViewOrig2D<CFaceView>(), Frame().Pane(0, 0));
    refits().clear();
    driver.Run([&] { Frame().ChangeViews(true); });
    EXPECT_EQ(Frame().Pane(0, 0)->viewName, "ViewOrigPhoto");
    EXPECT_EQ(Frame().Pane(1, 0)->viewName, "ViewOrig2D");
    EXPECT_EQ(refits(), (std::vector<std::string>{"ViewOrigPhoto", "ViewOrig2D"}));
}

TEST_F(FrameTest, SplitterSwallowsTheMouse) {
    driver.Run([&] { Frame().OnViews4(); });
    std::vector<int> before = Sizes();
    CFaceSplitter& s = Frame().m_wndSplitter;
    CPoint bar(before[2] + 4, 50);  // on the bar between the columns
    driver.Drag(s.m_hWnd, bar, CPoint(bar.x + 100, 60));
    driver.MouseMove(s.m_hWnd, bar);
    EXPECT_EQ(Sizes(), before);
    EXPECT_EQ(s.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0), 1);
    EXPECT_EQ(Frame().layout, 4);
}

TEST_F(FrameTest, CloseAsksFirst) {
    driver.AnswerNextMessageBox(IDNO);
    driver.CloseBox(FrameWnd());
    ASSERT_TRUE(::IsWindow(FrameWnd()));
    ASSERT_NE(actdoc, nullptr);
    auto events = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, "Do you really want to close this program?");
    EXPECT_EQ(events[0].caption, "Warning");
    EXPECT_EQ(events[0].type & MB_TYPEMASK, UINT(MB_YESNO));
    HWND frame = FrameWnd();
    driver.AnswerNextMessageBox(IDYES);
    driver.CloseBox(frame);
    EXPECT_FALSE(::IsWindow(frame));
    EXPECT_EQ(actdoc, nullptr);
    EXPECT_EQ(app->m_pMainWnd, nullptr);
}

TEST_F(FrameTest, HidingThePagesClosesThemInOrderAndSparesTheStartPage) {
    CMainFrame& f = Frame();
    auto open = [&](auto* page, UINT layout) {
        page->Create(layout, &f);
        return page;
    };
    f.curveDialog = open(new Logged<CDlgFeatures3>("curve", IDD_FEATURES3), IDD_FEATURES3);
    f.pointDialog = open(new Logged<CDlgFeatures2>("point", IDD_FEATURES2), IDD_FEATURES2);
    f.headPrepDialog = open(new Logged<CDlgHeadFeatures>("preparation", IDD_HEADFEATURES), IDD_HEADFEATURES);
    f.modelDialog = open(new Logged<CDlgLaserSize>("model", IDD_MODEL), IDD_MODEL);
    f.ageDialog = open(new Logged<CDlgAge>("age", IDD_AGE), IDD_AGE);
    f.cropDialog = open(new Logged<CDlgCrop>("crop", IDD_CROP), IDD_CROP);
    f.m_dlgBrushSelect = open(new Logged<CDlgBrushSelect>("brushes", IDD_BRUSHSELECT), IDD_BRUSHSELECT);
    f.m_dlgFreeTool = new Logged<CDlgFreeTool>("free tool", IDD_DLGFREETOOL);  // no window
    HWND crop = f.cropDialog->m_hWnd;
    HWND brushes = f.m_dlgBrushSelect->m_hWnd;
    driver.Run([&] { f.HideModelessDialogs(); });
    EXPECT_EQ(pageLog(), (std::vector<std::string>{"curve", "point", "preparation", "model", "age"}));
    EXPECT_EQ(f.curveDialog, nullptr);
    EXPECT_EQ(f.pointDialog, nullptr);
    EXPECT_EQ(f.headPrepDialog, nullptr);
    EXPECT_EQ(f.modelDialog, nullptr);
    EXPECT_EQ(f.ageDialog, nullptr);
    EXPECT_TRUE(::IsWindow(crop));
    EXPECT_NE(f.cropDialog, nullptr);
    // The palettes lose their windows; the frame keeps the objects.
    EXPECT_FALSE(::IsWindow(brushes));
    EXPECT_NE(f.m_dlgBrushSelect, nullptr);
    EXPECT_NE(f.m_dlgFreeTool, nullptr);
    // The frame frees what it still holds when it goes.
    Stop();
    EXPECT_EQ(pageLog().size(), 8u);
}

TEST_F(FrameTest, APageClosedByItsOwnHandlerIsDeletedAfterIt) {
    auto* page = new ClosingPointPage;
    page->Create(IDD_FEATURES2, &Frame());
    Frame().pointDialog = page;
    HWND next = brv::HeadlessDriver::FindControl(page->m_hWnd, 1141);
    ASSERT_NE(next, nullptr);
    driver.ClickControl(next);
    EXPECT_EQ(pageLog(), (std::vector<std::string>{"handler done", "point"}));
    EXPECT_EQ(Frame().pointDialog, nullptr);
}

TEST_F(FrameTest, ProjectSectionIsTheClientSize) {
    driver.Run([&] { Frame().ShowWindow(SW_RESTORE); });
    driver.Run([&] { Frame().MoveWindow(10, 10, 821, 633); });
    CRect client;
    Frame().GetClientRect(&client);
    std::string text, binary;
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(&text, "wt"));
        Frame().writeOpenGL(f);
    }
    {
        fnd::fileTB f;
        ASSERT_TRUE(f.open(&binary, "wb"));
        Frame().writeOpenGL(f);
    }
    EXPECT_EQ(text, std::to_string(client.Width()) + " " + std::to_string(client.Height()) + " ");
    std::string expected(8, '\0');
    for (int i = 0; i < 4; ++i) {
        expected[i] = char((client.Width() >> (8 * i)) & 0xFF);
        expected[4 + i] = char((client.Height() >> (8 * i)) & 0xFF);
    }
    EXPECT_EQ(binary, expected);
    // Reading takes both values and uses neither.
    std::string section = "5 7 42 ";
    fnd::fileTB in;
    ASSERT_TRUE(in.open(reinterpret_cast<const unsigned char*>(section.data()), section.size()));
    Frame().readOpenGL(in);
    int next = 0;
    in >> next;
    EXPECT_EQ(next, 42);
    CRect after;
    Frame().GetClientRect(&after);
    EXPECT_EQ(after, client);
}

TEST_F(FrameTest, ToolCommands) {
    CMainFrame& f = Frame();
    Doc().stage = 1000;  // the zoom and move commands are enabled
    struct Step {
        UINT command;
        int tool, toolMode, previousTool, previousToolMode;
    };
    struct Case {
        const char* what;
        int tool, toolMode;
        std::vector<Step> steps;
    } cases[] = {
        {"zoom twice while drawing lines", 0, 1, {{ID_ZOOM, 2, 1, 0, 1}, {ID_ZOOM, 0, 1, 2, 1}}},
        {"zoom twice without a sub-mode", 1, 0, {{ID_ZOOM, 2, 0, 1, 0}, {ID_ZOOM, 2, 0, 2, 0}}},
        {"move, then rectangle zoom, while placing points", 0, 2,
         {{ID_MOVE, 5, 2, 0, 2}, {ID_RECT_ZOOM, 3, 2, 5, 2}, {ID_RECT_ZOOM, 0, 2, 3, 2}}},
        {"second rectangle zoom", 1, 0, {{ID_RECT_ZOOM2, 4, 0, 1, 0}}},
        {"select", 2, 1, {{ID_SELECT, 1, 0, 1, 0}}},
        {"line", 1, 0, {{ID_SPLINE, 0, 1, 1, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        f.tool = c.tool;
        f.toolMode = c.toolMode;
        f.previousTool = f.previousToolMode = 1;
        if (c.steps[0].command == ID_SELECT || c.steps[0].command == ID_SPLINE) f.previousToolMode = 0;
        for (const Step& s : c.steps) {
            Command(s.command);
            EXPECT_EQ(f.tool, s.tool) << s.command;
            EXPECT_EQ(f.toolMode, s.toolMode) << s.command;
            EXPECT_EQ(f.previousTool, s.previousTool) << s.command;
            EXPECT_EQ(f.previousToolMode, s.previousToolMode) << s.command;
        }
    }
}

TEST_F(FrameTest, ToolChangesWaitForTheViews) {
    CMainFrame& f = Frame();
    f.tool = 2;
    f.toolMode = 1;
    // The photo-with-marks view is asked first; its refusal stops there.
    Rec("ViewOrig2D")->allow = false;
    Command(ID_SELECT);
    EXPECT_EQ(f.tool, 2);
    EXPECT_EQ(Rec("ViewOrig2D")->asked, 1);
    EXPECT_EQ(Rec("ViewEdit3D")->asked, 0);
    Rec("ViewOrig2D")->allow = true;
    Rec("ViewEdit3D")->allow = false;
    Command(ID_SPLINE);
    EXPECT_EQ(f.toolMode, 1);
    EXPECT_EQ(f.tool, 2);
    Rec("ViewEdit3D")->allow = true;
    Command(ID_SELECT);
    EXPECT_EQ(f.tool, 1);
    EXPECT_EQ(f.toolMode, 0);
    // The line tool shows the marks in every view when the active one hid them.
    Activate(1, 0);
    for (const char* v : {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"}) Rec(v)->featureDisplay = false;
    Command(ID_SPLINE);
    for (const char* v : {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"})
        EXPECT_TRUE(Rec(v)->featureDisplay) << v;
    EXPECT_EQ(f.tool, 0);
    EXPECT_EQ(f.toolMode, 1);
}

TEST_F(FrameTest, BrushAndFreeToolToggle) {
    CMainFrame& f = Frame();
    f.m_dlgBrushSelect = new CDlgBrushSelect();
    f.m_dlgBrushSelect->Create(IDD_BRUSHSELECT, &f);
    f.tool = 2;
    driver.Run([&] { f.OnClone(); });
    EXPECT_EQ(f.tool, 0);
    EXPECT_EQ(f.toolMode, 4);
    driver.Run([&] { f.OnClone(); });
    EXPECT_EQ(f.tool, 1);
    EXPECT_EQ(f.toolMode, 0);
    EXPECT_EQ(f.m_dlgBrushSelect->m_hWnd, nullptr);
    driver.Run([&] { f.OnFreeTool(); });
    EXPECT_EQ(f.toolMode, 5);
    EXPECT_EQ(f.freeTool, 1);
    driver.Run([&] { f.OnClone(); });  // one palette at a time
    EXPECT_EQ(f.toolMode, 4);
    EXPECT_EQ(f.freeTool, 0);
    driver.Run([&] { f.OnFreeTool(); });
    driver.Run([&] { f.OnFreeTool(); });
    EXPECT_EQ(f.tool, 1);
    EXPECT_EQ(f.toolMode, 0);
    EXPECT_EQ(f.freeTool, 0);
}

TEST_F(FrameTest, HeadPreparationShowsFourPanesWithTheHeadActive) {
    auto* page = new Logged<CDlgFeatures2>("point", IDD_FEATURES2);
    page->Create(IDD_FEATURES2, &Frame());
    Frame().pointDialog = page;
    driver.Run([&] { Frame().OnViews1(); });
    Command(ID_FEATURE_TOOL_HEAD);
    EXPECT_EQ(Frame().layout, 4);
    EXPECT_EQ(ActivePane(), 1);
    EXPECT_EQ(Frame().pointDialog, nullptr);
    EXPECT_EQ(pageLog(), std::vector<std::string>{"point"});
}

TEST_F(FrameTest, CommandStatesFollowStageToolAndLayout) {
    CMainFrame& f = Frame();
    struct Setting {
        int stage, tool, toolMode, layout;
    };
    struct Case {
        UINT id;
        Setting s;
        int enabled, checked;  // -1: not touched
    } cases[] = {
        {ID_VIEWS1, {0, 1, 0, 1}, -1, 1},        {ID_VIEWS1, {0, 1, 0, 2}, -1, 0},
        {ID_VIEWS2, {0, 1, 0, 2}, -1, 1},        {ID_VIEWS2, {0, 1, 0, 4}, -1, 0},
        {ID_VIEWS4B, {0, 1, 0, 4}, -1, -1},      {ID_DEPTH, {0, 1, 0, 4}, -1, -1},
        {ID_BRIGHTNESS, {0, 1, 0, 4}, -1, -1},   {ID_PROPERTIES, {0, 1, 0, 4}, -1, -1},
        {ID_ROTATE, {2500, 1, 0, 4}, -1, -1},    {ID_SELECT, {0, 1, 0, 4}, -1, 1},
        {ID_SELECT, {0, 0, 1, 4}, -1, 0},        {ID_ZOOM, {0, 2, 0, 4}, 0, 1},
        {ID_ZOOM, {1000, 2, 0, 4}, 1, 1},        {ID_ZOOM, {1000, 1, 0, 4}, 1, 0},
        {ID_RECT_ZOOM, {2000, 3, 0, 4}, 1, 1},   {ID_RECT_ZOOM, {0, 3, 0, 4}, 0, 1},
        {ID_RECT_ZOOM2, {2500, 4, 0, 4}, 1, 1},  {ID_RECT_ZOOM2, {2500, 3, 0, 4}, 1, 0},
        {ID_MOVE, {1000, 5, 0, 4}, 1, 1},        {ID_MOVE, {0, 5, 0, 4}, 0, 1},
        {ID_SPLINE, {0, 0, 1, 4}, -1, 1},        {ID_SPLINE, {0, 0, 2, 4}, -1, 0},
        {ID_CURVE_PAGE, {2000, 1, 0, 4}, -1, 0}, {ID_BACK_PICTURE, {2000, 1, 0, 4}, -1, 0},
        {ID_PHOTO_MODE, {0, 1, 0, 4}, 0, 1},     {ID_PHOTO_MODE, {1000, 1, 0, 4}, 1, 1},
        {ID_PHOTO_MODE, {2000, 1, 0, 4}, 1, 0},  {ID_CAMERA_MODE, {0, 1, 0, 4}, 0, 0},
        {ID_CAMERA_MODE, {1000, 1, 0, 4}, 1, 0}, {ID_CAMERA_MODE, {2000, 1, 0, 4}, 1, 1},
        {ID_MEDAL_MODE, {1000, 1, 0, 4}, 0, 0},  {ID_MEDAL_MODE, {1001, 1, 0, 4}, 1, 0},
        {ID_MEDAL_MODE, {2500, 1, 0, 4}, 1, 0},  {ID_MEDAL_MODE, {2501, 1, 0, 4}, 1, 1},
        {ID_COLOURED, {0, 1, 0, 4}, 0, 1},       {ID_COLOURED, {2500, 1, 0, 4}, 1, 1},
        {ID_FILE_SAVE_FAC, {0, 1, 0, 4}, 0, -1}, {ID_FILE_SAVE_FAC, {1000, 1, 0, 4}, 1, -1},
        {ID_NOTES, {0, 1, 0, 4}, 0, -1},         {ID_NOTES, {2000, 1, 0, 4}, 1, -1},
        {ID_TEXT_SETTINGS, {0, 1, 0, 4}, 0, -1}, {ID_TEXT_SETTINGS, {2500, 1, 0, 4}, 1, -1},
        {ID_EXPORT_COIN, {2500, 1, 0, 4}, 0, -1}, {ID_Z_SCALE, {2500, 1, 0, 4}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.id << " at stage " << c.s.stage);
        Doc().stage = c.s.stage;
        f.tool = c.s.tool;
        f.toolMode = c.s.toolMode;
        f.layout = c.s.layout;
        Probe p;
        p.m_nID = c.id;
        EXPECT_TRUE(f.OnCmdMsg(c.id, CN_UPDATE_COMMAND_UI, &p, nullptr));
        EXPECT_EQ(p.enabled, c.enabled);
        EXPECT_EQ(p.checked, c.checked);
    }
    // Show points and lines: the active view decides.
    Doc().stage = 1000;
    for (auto [row, col, enabled] : {std::tuple{1, 0, 1}, {1, 1, 1}, {0, 0, 0}, {0, 1, 0}}) {
        Activate(row, col);
        f.ActiveFaceView()->featureDisplay = row == 1;
        Probe p;
        p.m_nID = ID_SHOW_FEATURES;
        f.OnCmdMsg(ID_SHOW_FEATURES, CN_UPDATE_COMMAND_UI, &p, nullptr);
        EXPECT_EQ(p.enabled, enabled) << row << col;
        EXPECT_EQ(p.checked, row == 1 ? 1 : 0) << row << col;
    }
    // The curve page's item is checked while the page is open.
    f.curveDialog = new CDlgFeatures3(UINT(IDD_FEATURES3));
    f.curveDialog->Create(IDD_FEATURES3, &f);
    Probe p;
    p.m_nID = ID_CURVE_PAGE;
    f.OnCmdMsg(ID_CURVE_PAGE, CN_UPDATE_COMMAND_UI, &p, nullptr);
    EXPECT_EQ(p.checked, 1);
}

TEST_F(FrameTest, DisabledCommandsDoNothingFromTheKeysEither) {
    auto& f = static_cast<RecordingFrame&>(Frame());
    Activate(1, 0);
    Doc().stage = 0;
    driver.Key('S', MK_CONTROL);
    EXPECT_EQ(f.saves, 0);
    Doc().stage = 1000;
    driver.Key('S', MK_CONTROL);
    EXPECT_EQ(f.saves, 1);
}

TEST_F(FrameTest, DisabledCommandsDoNothing) {
    CMainFrame& f = Frame();
    Doc().stage = 0;
    f.tool = 1;
    Command(ID_ZOOM);
    EXPECT_EQ(f.tool, 1);
    driver.Run([&] { ::PostMessage(f.m_hWnd, WM_COMMAND, ID_MOVE, 0); });
    driver.Pump();
    EXPECT_EQ(f.tool, 1);
    Doc().stage = 1000;
    Command(ID_ZOOM);
    EXPECT_EQ(f.tool, 2);
    // The functions of the hidden tools menu and the unhandled ids do nothing.
    for (UINT id : {ID_FUNCTION1, ID_FUNCTION10, ID_PASTE_PICTURE, ID_SCAN, ID_DUMMY}) Command(id);
    EXPECT_EQ(f.tool, 2);
}
