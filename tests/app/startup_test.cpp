// The program started in a fresh process in each of its modes: what the
// start-up leaves, the first tick of the frame's timer and the settings it
// keeps between runs.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "app/mainframe.h"
#include "dialogs/dlgprogress.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "framework/filedialog.h"
#include "framework/window_state.h"
#include "model/head.h"
#include "tests/framework/temp_dir.h"
#include "tests/support/fresh_process.h"
#include "views/faceview.h"

namespace {

std::string join(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "," : "") + parts[i];
    return out;
}

std::string str(const CString& s) { return std::string(s.View()); }

// What the start-up left, before the message loop runs.
void recordStart(fresh::Child& c) {
    // The first tick is due already: the full work flow asks for a photo
    // and, cancelled, for a head OBJ (the DAZ mode reads its exchange file
    // instead); both are cancelled.
    if (!FaceApp()->pictureEditorMode && (FaceApp()->dazMode || FaceApp()->commandFile.IsEmpty()))
        for (int k = FaceApp()->dazMode ? 1 : 2; k > 0; --k)
            c.driver.OnNextFileDialog([](brv::FileDialogSession&) { return IDCANCEL; });
    CFaceApp& app = *FaceApp();
    CMainFrame& frame = *app.Frame();
    CFaceDoc& doc = *actdoc;
    c.Put("pictureEditorMode", app.pictureEditorMode);
    c.Put("dazMode", app.dazMode);
    c.Put("daz", str(app.dazVersion) + "/" + str(app.dazName) + "/" + str(app.dazFigure));
    std::vector<std::string> groups;
    for (const CString& g : app.dazGroups) groups.push_back(str(g));
    c.Put("groups", join(groups) + "/" + str(app.dazHeadGroup));
    const svc::AppState& s = svc::app().state();
    c.Put("keywords", s.faceKeyword + "," + s.lipKeyword + "," + s.eyeSocketKeyword + "," + s.altFaceKeyword + "/" +
                          s.headGroupKeyword + "/" + s.figureName);
    c.Put("commandFile", str(app.commandFile));
    std::vector<std::string> menus;
    for (const brv::MenuItemInfo& m : c.driver.MenuItems(frame.m_hWnd)) menus.push_back(m.text);
    c.Put("menus", join(menus));
    c.Put("item32953", c.driver.MenuState(frame.m_hWnd, 32953) == UINT(-1) ? "gone" : "there");
    c.Put("templateId", doc.templateId);
    c.Put("splash", brv::HeadlessDriver::FindDialog(312) ? "open" : "gone");
    c.Put("tick", (long long)c.driver.Backend().TickCount());
    c.Put("zoomed", frame.IsZoomed());
    CString title;
    frame.GetWindowText(title);
    c.Put("title", str(title));
    c.Put("layout", frame.layout);
    int current = 0, minimum = 0;
    frame.m_wndSplitter.GetRowInfo(0, current, minimum);
    c.Put("row0", current);
    frame.m_wndSplitter.GetRowInfo(1, current, minimum);
    c.Put("row1", current);
    int r = -1, col = -1;
    frame.m_wndSplitter.GetActivePane(&r, &col);
    c.Put("activePane", r * 10 + col);
    c.Put("stage", doc.stage);
    c.Put("progress", app.progressDialog ? (app.progressDialog->m_hWnd ? "window" : "no window") : "none");
    std::string timers;
    for (const brv::TimerRecord& t : brv::State().timers)
        if (t.window == frame.m_hWnd) timers += std::to_string(t.id) + ":" + std::to_string(t.interval) + ";";
    c.Put("timers", timers);
}

// The first tick of timer 2: due when the loop starts (the splash's pause
// was longer); the loop handled it before it first waited.
void firstTick(fresh::Child& c) {
    c.driver.AdvanceClock(400);
    CFaceApp& app = *FaceApp();
    CMainFrame& frame = *app.Frame();
    CFaceDoc& doc = *actdoc;
    std::string timers;
    for (const brv::TimerRecord& t : brv::State().timers)
        if (t.window == frame.m_hWnd) timers += std::to_string(t.id) + ";";
    c.Put("tick.timers", timers);
    CFaceView* active = frame.ActiveFaceView();
    c.Put("tick.active", active ? str(active->viewName) : "none");
    c.Put("tick.layout", frame.layout);
    c.Put("tick.templateId", doc.templateId);
    c.Put("tick.stage", doc.stage);
    c.Put("tick.photo",
          std::to_string(doc.kernel2D->photo.GetWidth()) + "x" + std::to_string(doc.kernel2D->photo.GetHeight()));
    c.Put("tick.vertices", doc.kernel3D->head->vertices.count());
}

struct StartCase {
    const char* name;
    std::vector<std::string> args;
    int clipboard;  // width of a 4:3 clipboard picture, 0 for none
    int pictureEditorMode, dazMode;
    const char* daz;
    const char* groups;
    const char* commandFile;
    const char* menus;
    int templateId;
};

const char* kDazDefaults = "1.0/Untitled/---";
const char* kGroupDefaults = "skinface,lip,eyesocket,skinhead,,/head";

}  // namespace

class StartUpTest : public ::testing::Test {
protected:
    TempDir config, tmp;
    fresh::Options Options(const StartCase& k) {
        fresh::Options o;
        o.args = k.args;
        o.configHome = config.path();
        o.tmpDir = tmp.path();
        int w = k.clipboard;
        o.before = [w](fresh::Child& c) {
            c.driver.Backend().SetClock(1110000000, 5000);
            if (w) fresh::PutPictureOnClipboard(w, w * 3 / 4);
        };
        o.onSleep = [](fresh::Child& c, unsigned ms) {
            HWND splash = brv::HeadlessDriver::FindDialog(312);
            brv::WindowRecord* r = brv::Record(splash);
            c.Put("sleep", ms);
            c.Put("sleep.splash", splash ? "open" : "gone");
            c.Put("sleep.topmost", r && (r->exStyle & WS_EX_TOPMOST) ? 1 : 0);
            c.Put("sleep.visible", splash && ::IsWindowVisible(splash) ? 1 : 0);
            std::string timers;
            for (const brv::TimerRecord& t : brv::State().timers)
                if (t.window == AfxGetMainWnd()->m_hWnd)
                    timers += std::to_string(t.id) + ":" + std::to_string(t.interval) + "@" +
                              std::to_string(t.due) + ";";
            c.Put("sleep.timers", timers);
        };
        o.afterStart = recordStart;
        o.steps = {firstTick};
        o.onExit = [](fresh::Child& c, int code) {
            c.Put("exit", code);
            c.Put("exit.stage", actdoc->stage);
            c.Put("exit.templateId", actdoc->templateId);
            std::string boxes;
            for (const auto& e : c.driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox))
                boxes += e.text + "/" + e.caption + ";";
            c.Put("exit.boxes", boxes);
            c.Put("exit.photo", actdoc->kernel2D->photo.GetWidth());
        };
        return o;
    }
};

TEST_F(StartUpTest, EveryModeStartsAsItShould) {
    const char* m3 = "x DAZStudio,2.0,Bob,M3,a:b:c:d:e,f";
    const char* v4 = "x DAZStudio,2.0,Bob,V4,a:B:c:D:e,f";
    const char* other = "x DAZStudio,3.1,Ann,Other,:Face:Lips,f";
    const char* fourCommas = "x DAZStudio,2.0,Bob,M3,a:b:c:d:e";
    const StartCase cases[] = {
        {"as built, empty clipboard", {}, 0, 1, 0, kDazDefaults, kGroupDefaults, "", "", 121},
        {"as built, a clipboard picture", {}, 640, 1, 0, kDazDefaults, kGroupDefaults, "", "", 121},
        {"full flow", {"--full"}, 0, 0, 0, kDazDefaults, kGroupDefaults, "", "File,View,Steps", 101},
        {"full flow with a project", {"--full", "x.fac"}, 0, 0, 0, kDazDefaults, kGroupDefaults, "x.fac",
         "File,View,Steps", 101},
        {"DAZ M3", {"--full", m3}, 0, 0, 2, "2.0/Bob/M3", "c,b,d,e,,/head", m3, "View,Steps", 101},
        {"DAZ V4", {"--full", v4}, 0, 0, 2, "2.0/Bob/V4", "c,b,d,e,,/head", v4, "View,Steps", 101},
        {"DAZ Other", {"--full", other}, 0, 0, 2, "3.1/Ann/Other", "lips,face,eyesocket,skinhead,,/head", other,
         "View,Steps", 101},
        {"DAZ with four commas", {"--full", fourCommas}, 0, 0, 2, kDazDefaults, kGroupDefaults, fourCommas,
         "View,Steps", 101},
    };
    for (const StartCase& k : cases) {
        SCOPED_TRACE(k.name);
        fresh::Result r = fresh::Run(Options(k));
        ASSERT_FALSE(r.timedOut);
        ASSERT_EQ(r.signal, 0) << r.report;
        EXPECT_EQ(r.exitCode, 0) << r.report;
        EXPECT_EQ(r.Get("script failure"), "");
        EXPECT_EQ(r.Get("pictureEditorMode"), std::to_string(k.pictureEditorMode));
        EXPECT_EQ(r.Get("dazMode"), std::to_string(k.dazMode));
        EXPECT_EQ(r.Get("daz"), k.daz);
        EXPECT_EQ(r.Get("groups"), k.groups);
        EXPECT_EQ(r.Get("commandFile"), k.commandFile);
        EXPECT_EQ(r.Get("menus"), k.menus);
        EXPECT_EQ(r.Get("item32953"), "gone");
        EXPECT_EQ(r.Get("templateId"), std::to_string(k.templateId));
        // The seam's keywords follow the DAZ fields.
        std::string g = k.groups;
        std::vector<std::string> slot;
        for (size_t at = 0, comma; slot.size() < 4; at = comma + 1) {
            comma = g.find(',', at);
            slot.push_back(g.substr(at, comma - at));
        }
        std::string figure = std::string(k.daz).substr(std::string(k.daz).rfind('/') + 1);
        EXPECT_EQ(r.Get("keywords"), slot[0] + "," + slot[1] + "," + slot[2] + "," + slot[3] + "/head/" + figure);
        // The splash: topmost and shown during the 3-second pause, gone after it.
        EXPECT_EQ(r.Get("sleep"), "3000");
        EXPECT_EQ(r.Get("sleep.splash"), "open");
        EXPECT_EQ(r.Get("sleep.topmost"), "1");
        EXPECT_EQ(r.Get("sleep.visible"), "1");
        EXPECT_EQ(r.Get("splash"), "gone");
        EXPECT_EQ(r.Get("tick"), "8000");
        EXPECT_EQ(r.Get("zoomed"), "1");
        EXPECT_EQ(r.Get("title"), "Untitled - Brivanta");
        // The two panes of row 1, the overlay view active, at stage 0.
        EXPECT_EQ(r.Get("layout"), "2");
        EXPECT_EQ(r.Get("row0"), "0");
        EXPECT_NE(r.Get("row1"), "0");
        EXPECT_EQ(r.Get("activePane"), "11");
        EXPECT_EQ(r.Get("stage"), "0");
        EXPECT_EQ(r.Get("progress"), "no window");
        EXPECT_EQ(r.Get("timers"), "2:400;");
        EXPECT_EQ(r.Get("sleep.timers"), "2:400@5400;");
        if (k.pictureEditorMode && !k.clipboard) {
            // The 16 x 16 picture is refused and the program ends at once:
            // no template was read after it (the photo kernel had set 102).
            EXPECT_EQ(r.Get("exit"), "0");
            EXPECT_EQ(r.Get("exit.boxes"), "Wrong picture size/Error;");
            EXPECT_EQ(r.Get("exit.templateId"), "102");
            EXPECT_EQ(r.Get("exit.stage"), "0");
            EXPECT_FALSE(r.Has("tick.active"));
            continue;
        }
        EXPECT_FALSE(r.Has("exit"));
        EXPECT_EQ(r.Get("tick.timers"), "");
        EXPECT_EQ(r.Get("tick.active"), "ViewOrig2D");
        EXPECT_EQ(r.Get("tick.layout"), "1");
        if (k.pictureEditorMode) {
            EXPECT_EQ(r.Get("tick.photo"), "1024x768");
            EXPECT_EQ(r.Get("tick.templateId"), "121");
            EXPECT_EQ(r.Get("tick.stage"), "1000");
            EXPECT_NE(r.Get("tick.vertices"), "0");
        }
    }
}

TEST_F(StartUpTest, EachStartRaisesTheLaunchCounterByOne) {
    StartCase k{"full", {"--full"}, 0, 0, 0, "", "", "", "", 0};
    for (int run = 0; run < 2; ++run) {
        fresh::Options o = Options(k);
        o.steps.clear();
        fresh::Result r = fresh::Run(o);
        ASSERT_EQ(r.exitCode, 0) << r.report;
    }
    std::ifstream in(config.path() + "/brivanta/settings.ini");
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_NE(s.str().find("[Settings]\nCount=2\n"), std::string::npos) << s.str();
}

// A counter at the top of its range stays there (no overflow at start).
TEST_F(StartUpTest, TheLaunchCounterStopsAtItsTop) {
    ::mkdir((config.path() + "/brivanta").c_str(), 0700);
    {
        std::ofstream out(config.path() + "/brivanta/settings.ini");
        out << "[Settings]\nCount = 2147483647\n";
    }
    StartCase k{"full", {"--full"}, 0, 0, 0, "", "", "", "", 0};
    fresh::Options o = Options(k);
    o.steps.clear();
    fresh::Result r = fresh::Run(o);
    ASSERT_EQ(r.exitCode, 0) << r.report;
    std::ifstream in(config.path() + "/brivanta/settings.ini");
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "[Settings]\nCount = 2147483647\n");  // unchanged, so written as it was
}

// Fonts come from fontconfig; a system without any says so at start.
TEST_F(StartUpTest, WithoutAnyFontTheProgramSaysSo) {
    const std::string conf = tmp.path() + "/fonts.conf";
    {
        std::ofstream out(conf);
        out << "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" << tmp.path() << "/fc</cachedir></fontconfig>\n";
    }
    for (bool fonts : {true, false}) {
        StartCase k{"full", {"--full"}, 0, 0, 0, "", "", "", "", 0};
        fresh::Options o = Options(k);
        o.afterStart = [](fresh::Child& c) {
            std::string texts;
            for (const auto& b : c.driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox))
                texts += b.text + ";";
            c.Put("boxes", texts);
            c.Put("font", brv::FontFileFor("Arial", false, false));
        };
        o.steps.clear();
        if (!fonts) ::setenv("FONTCONFIG_FILE", conf.c_str(), 1);
        fresh::Result r = fresh::Run(o);
        ::unsetenv("FONTCONFIG_FILE");
        ASSERT_EQ(r.exitCode, 0) << r.report;
        if (fonts) {
            EXPECT_EQ(r.Get("boxes"), "");
            EXPECT_NE(r.Get("font").find("LiberationSans-Regular"), std::string::npos) << r.Get("font");
        } else {
            EXPECT_EQ(r.Get("boxes"),
                      "No font was found: texts cannot be shown. Install a TrueType font, such as DejaVu Sans.;");
            EXPECT_EQ(r.Get("font"), "");
        }
    }
}

TEST_F(StartUpTest, TheFileMenuShowsFourRecentFiles) {
    StartCase k{"full", {"--full"}, 0, 0, 0, "", "", "", "", 0};
    fresh::Options o = Options(k);
    o.afterStart = [](fresh::Child& c) {
        CFaceApp& app = *FaceApp();
        for (const char* p : {"C:\\a\\one.fac", "C:\\a\\two.fac", "C:\\a\\three.fac", "C:\\a\\four.fac", "C:\\a\\five.fac"})
            app.AddToRecentFileList(p);
        std::string items;
        for (const brv::MenuItemInfo& m : c.driver.MenuItems(app.Frame()->m_hWnd, {0}))
            if (m.id >= ID_FILE_MRU_FILE1 && m.id <= ID_FILE_MRU_FILE1 + 15) items += m.text + ";";
        c.Put("recent", items);
        c.Put("second", std::string(app.GetRecentFileName(1).View()));
    };
    o.steps.clear();
    fresh::Result r = fresh::Run(o);
    EXPECT_EQ(r.exitCode, 0) << r.report;
    // shown as POSIX paths
    EXPECT_EQ(r.Get("recent"), "&1 /a/five.fac;&2 /a/four.fac;&3 /a/three.fac;&4 /a/two.fac;");
    EXPECT_EQ(r.Get("second"), "/a/four.fac");
    // Kept in the settings file for the next start.
    std::ifstream in(config.path() + "/brivanta/settings.ini");
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_NE(s.str().find("five.fac"), std::string::npos) << s.str();
    EXPECT_EQ(s.str().find("one.fac"), std::string::npos) << s.str();
}
