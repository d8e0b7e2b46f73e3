#pragma once
// What the benchmarks set up before they time anything: settings and
// temporary files in a folder of their own, the program started and ended
// over the headless backend (or its frame alone over a document), a
// position-coded photo, the head fitted through the marks a known camera
// sees and textured, and a view alone in the frame's splitter.

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "app/mainframe.h"
#include "document/tempfolders.h"
#include "fitting/headtophoto.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "fitting/projection.h"
#include "fitting/texture.h"
#include "framework/test_driver.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "picture/clipboard_bmp_platform.h"
#include "picture/winbmp.h"

namespace benchfix {

// A new folder from the mkdtemp pattern made the home of the settings and
// of the temporary files; empty when it could not be made.
inline std::string OwnFolder(std::string pattern) {
    if (!::mkdtemp(pattern.data())) return std::string();
    setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    setenv("TMPDIR", pattern.c_str(), 1);
    return pattern;
}

// An own folder under the temporary directory, with the program's temporary
// folder and clipboard bitmaps set up for it; removed at the end.
struct Folders {
    std::string root;
    explicit Folders(const char* prefix) {
        root = OwnFolder((std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string());
        files::ResetTempFolder();
        brv::InstallBmpPlatform();
    }
    ~Folders() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

// The program started in its ordinary mode; then runs in the same turn of
// the driver.
inline std::unique_ptr<CFaceApp> StartProgram(brv::HeadlessDriver& driver,
                                              const std::function<void(CFaceApp&)>& then = {}) {
    auto app = std::make_unique<CFaceApp>();
    app->pictureEditorMode = 0;
    app->SetWindowsCommandLine({"brivanta"});
    driver.Run([&] {
        app->InitInstance();
        if (then) then(*app);
    });
    return app;
}

inline void StopProgram(brv::HeadlessDriver& driver, std::unique_ptr<CFaceApp>& app) {
    driver.Run([&] {
        if (app->m_pMainWnd) app->m_pMainWnd->DestroyWindow();
    });
    app->ExitInstance();
    app.reset();
    driver.Reset();
    resetModelState();
}

// A new document in a new main frame, both kept to the end of the run;
// false when the frame could not be made.
inline bool OpenFrame(std::unique_ptr<CFaceDoc>& doc, CMainFrame*& frame) {
    resetModelState();
    doc = std::make_unique<CFaceDoc>();
    frame = new CMainFrame;
    CCreateContext context;
    context.m_pCurrentDoc = doc.get();
    if (!frame->LoadFrame(128, WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, &context)) return false;
    frame->InitialUpdateFrame(doc.get(), TRUE);
    return true;
}

// A w x h photo whose pixels tell their place: red x, green y, blue the
// high bits of both.
inline CWinBmp CodedPhoto(int w, int h) {
    CWinBmp coded;
    coded.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            coded.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), uint8_t((x >> 8) | ((y >> 8) << 4)), 0));
    return coded;
}

// Every feature point of the head in group 0 marked on a w x h photo where
// a camera 480 away, turned by -6 and 12 degrees, sees it; moved sets the
// mark off from there (as a user marks them).
inline void MarkSeenByKnownCamera(head3& head, head2& marks, int w, int h,
                                  const std::function<vector2<double>(const vector3<double>&)>& moved = {}) {
    ProjectionCore known;
    vector3<double> eye, center, up;
    CalculateEyeFromAngles({0, 0, 480}, {0, 0, 0}, {0, 1, 0}, -6 * M_PI / 180, 12 * M_PI / 180, 0, &eye, &center, &up);
    known.setClientSize(w - 1, h - 1);
    known.setCamera(eye, center, up, 28.0);
    known.FitToPhoto(w, h, 0, 0);
    const htraf3<double> toPhoto = known.OpenGL2htraf() * known.cl2bmp_HTRAF3();
    CString code;
    for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
        Index<featurepoint3> f = head.getFeaturepoint(code, true);
        if (!GoodInfoCode(0, code) || f == -1) continue;
        const vector3<double> q = (head.featurepoints[f].point() * toPhoto).vec3();
        Index<featurepoint2> p = marks.photoPoints.add_new(code);
        marks.photoPoints[p].position = moved ? moved(q) : vector2<double>(q.x, q.y);
    }
}

// The document's photo (w x h) marked as MarkSeenByKnownCamera does, the
// camera and the head fitted to the marks and the head textured at 1024:
// stage 2500. False when no texture was made.
inline bool FitAndTexture(CFaceDoc& doc, int w, int h,
                          const std::function<vector2<double>(const vector3<double>&)>& moved = {}) {
    head3& head = *doc.kernel3D->head;
    MarkSeenByKnownCamera(head, *doc.kernel2D->head, w, h, moved);
    doc.CameraView();
    HeadToPhotoTrafo();
    doc.textureSize = 1024;
    MakeFullTexture(7u);
    doc.stage = 2500;
    return head.texture != nullptr;
}

// The view alone in the frame's splitter at a w x h client (the splitter
// adds 11 to each side).
inline void Alone(CMainFrame& frame, CFaceView* v, int w, int h) {
    frame.layout = 4;
    frame.ActivateView(v);
    frame.OnViews1();
    for (int k = 0; k < 3; ++k) {
        CRect win, client;
        frame.GetWindowRect(&win);
        frame.m_wndSplitter.GetWindowRect(&client);
        if (client.Width() == w + 11 && client.Height() == h + 11) break;
        frame.MoveWindow(0, 0, w + 11 + win.Width() - client.Width(), h + 11 + win.Height() - client.Height());
    }
}

// The one scene of a benchmark program, made at its first use.
template <class Scene>
Scene& SharedScene() {
    static Scene s;
    return s;
}

// Whether the scene is ready; a benchmark without it is skipped. (A
// template, so that the programs with their own main need no benchmark
// library.)
template <class State>
bool Ready(State& state, bool ready) {
    if (!ready) state.SkipWithError("no GL or no template head");
    return ready;
}

}  // namespace benchfix
