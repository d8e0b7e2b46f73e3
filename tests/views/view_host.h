#pragma once
// The four views in the program's own frame (the application started in
// the test's process over the headless backend): the panes sized and laid
// out, the scenes of the view tests set up in the real document, and the
// pixels of a pane read back from the frame's surface.

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/facedoc.h"
#include "app/mainframe.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "fitting/camera_search.h"
#include "fitting/headtophoto.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "fitting/texture.h"
#include "foundation/random.h"
#include "framework/window_state.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "seams/dialogs.h"
#include "tests/app/shell_fixture.h"
#include "tests/views/view_fixtures.h"
#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"
#include "views/vieworig2d.h"
#include "views/vieworigphoto.h"

namespace viewtest {

// The marking pages as the views see them: every call recorded.
struct FakePointPage : CDlgFeatures2 {
    std::vector<std::string> calls;
    void RefreshLists() override { calls.push_back("RefreshLists"); }
    void UpdateControls() override { calls.push_back("UpdateControls"); }
    void GetNextFeatureIfNeed() override { calls.push_back("GetNextFeatureIfNeed"); }
    void StartFlash() override { calls.push_back("StartFlash"); }
    void StopFlash() override { calls.push_back("StopFlash"); }
};

struct FakeCurvePage : CDlgFeatures3 {
    std::vector<std::string> calls;
    void RefreshLists() override { calls.push_back("RefreshLists"); }
    void Redraw() override { calls.push_back("Redraw"); }
    void GetNextFeatureIfNeed() override { calls.push_back("GetNextFeatureIfNeed"); }
    void StartFlash() override { calls.push_back("StartFlash"); }
    void StopFlash() override { calls.push_back("StopFlash"); }
    void RestartSearch() override { calls.push_back("RestartSearch"); }
    void ClearFlashing() override { calls.push_back("ClearFlashing"); }
};

// A picture of w x h whose every pixel tells where it lies: red and green
// the low bits of x and y, blue their high bits.
inline CWinBmp CodedPicture(int w, int h) {
    CWinBmp b;
    b.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), uint8_t(((x >> 8) << 4) | (y >> 8)), 0));
    return b;
}

}  // namespace viewtest

class ViewsTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        views::resetProjectionCounterOwner();
        generalpoint3::ProjCounter = 1;
    }
    void TearDown() override {
        if (app && app->Frame()) {
            // The frame owns its pages; the fakes are the test's.
            for (CWnd* page : {static_cast<CWnd*>(pointPage), static_cast<CWnd*>(curvePage)})
                if (page && page->m_hWnd) page->DestroyWindow();
            if (Frame().pointDialog == pointPage) Frame().pointDialog = nullptr;
            if (Frame().curveDialog == curvePage) Frame().curveDialog = nullptr;
        }
        delete pointPage;
        delete curvePage;
        pointPage = nullptr;
        curvePage = nullptr;
        ShellTest::TearDown();
        views::resetProjectionCounterOwner();
        offscreen::resetForTests();
    }

    bool StartProgram() {
        if (!Start({"--full"})) return false;
        CancelStartDialogs();
        driver.Pump();
        return true;
    }

    CViewOrigPhoto& OrigPhoto() { return *Doc().GetViewOrigPhoto<CViewOrigPhoto>(); }
    CViewOrig2D& Orig2D() { return *Doc().GetViewOrig2D<CViewOrig2D>(); }
    CViewEdit2D3D& Overlay() { return *Doc().GetViewEdit2D3D<CViewEdit2D3D>(); }
    CViewEdit3D& View3D() { return *Doc().GetViewEdit3D<CViewEdit3D>(); }
    std::vector<CFaceView*> AllViews() { return {&OrigPhoto(), &Orig2D(), &View3D(), &Overlay()}; }

    // The frame's client area of w x h.
    void SizeFrameClient(int w, int h) {
        // A maximised frame has other borders than a moved one: measured again.
        for (int k = 0; k < 3; ++k) {
            CRect win, client;
            Frame().GetWindowRect(&win);
            Frame().m_wndSplitter.GetWindowRect(&client);
            if (client.Width() == w && client.Height() == h) break;
            driver.Run([&] {
                Frame().MoveWindow(0, 0, w + win.Width() - client.Width(), h + win.Height() - client.Height());
            });
            driver.Pump();
        }
    }
    // The view alone in the frame (layout 1) with a client of w x h.
    void ShowAlone(CFaceView& v, int w = 1024, int h = 768) {
        driver.Run([&] {
            Frame().layout = 4;
            Frame().ActivateView(&v);
            Frame().OnViews1();
        });
        SizeFrameClient(w + 11, h + 11);
    }
    // The four panes, each w x h.
    void ShowFour(int w = 1024, int h = 768) {
        driver.Run([&] { Frame().OnViews4(); });
        SizeFrameClient(2 * w + 11, 2 * h + 11);
        driver.Run([&] { Frame().OnViews4(); });
        driver.Pump();
    }
    // The pane's window resized in place (its size message, no layout).
    void SizePane(CFaceView& v, int w, int h) {
        CRect r;
        v.GetWindowRect(&r);
        v.GetParent()->ScreenToClient(&r);
        driver.Run([&] { v.MoveWindow(r.left, r.top, w, h); });
        driver.Pump();
    }
    CSize ClientOf(CFaceView& v) {
        CRect r;
        v.GetClientRect(&r);
        return CSize(r.Width(), r.Height());
    }
    // Paints now what is invalid.
    void Paint(CFaceView& v) {
        driver.Run([&] {
            v.Invalidate(FALSE);
            v.UpdateWindow();
        });
    }

    // The pane's pixels as the frame's surface holds them.
    viewtest::Picture Grab(CFaceView& v) {
        const brv::Surface* s = brv::HeadlessDriver::SurfaceOf(v.m_hWnd);
        const CRect at = brv::ClientOnSurface(v.m_hWnd);
        viewtest::Picture p(at.Width(), at.Height());
        for (int y = 0; y < at.Height(); ++y)
            for (int x = 0; x < at.Width(); ++x) p.pixels[size_t(y) * at.Width() + x] = s->Pixel(at.left + x, at.top + y);
        return p;
    }
    // The frame's whole client.
    viewtest::Picture GrabFrame() {
        const brv::Surface* s = brv::HeadlessDriver::SurfaceOf(FrameWnd());
        viewtest::Picture p(s->Width(), s->Height());
        for (int y = 0; y < s->Height(); ++y)
            for (int x = 0; x < s->Width(); ++x) p.pixels[size_t(y) * s->Width() + x] = s->Pixel(x, y);
        return p;
    }

    // The fake pages installed in the frame as open windows.
    viewtest::FakePointPage& OpenPointPage() {
        if (!pointPage) {
            pointPage = new viewtest::FakePointPage;
            pointPage->CreateEx(0, AFX_WND_CLASS, "points", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0);
            Frame().pointDialog = pointPage;
        }
        return *pointPage;
    }
    viewtest::FakeCurvePage& OpenCurvePage() {
        if (!curvePage) {
            curvePage = new viewtest::FakeCurvePage;
            curvePage->CreateEx(0, AFX_WND_CLASS, "curves", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0);
            Frame().curveDialog = curvePage;
        }
        return *curvePage;
    }

    // A working picture of w x h in the photo kernel, stage 1000, the photo
    // views fitted.
    void SetPhoto(const CWinBmp& bmp) {
        CFaceDoc& d = Doc();
        d.kernel2D->photo = bmp;
        d.kernel2D->InitPicture();
        d.stage = 1000;
        driver.Run([&] {
            OrigPhoto().FitInView();
            Orig2D().FitInView();
        });
    }

    // Scene (a): the template head (stage 1000) over a 1024 x 768 coded
    // picture, the GL views fitted to it by FitToPhoto(1024, 768, 0, 0) with
    // the eyes 400 units from the head's centre.
    bool TemplateScene() {
        CFaceDoc& d = Doc();
        d.templateId = 122;
        driver.Run([&] { d.LoadTHEResource(122, true); });
        if (!d.kernel3D->head || d.kernel3D->head->vertices.count() == 0) return false;
        SetPhoto(viewtest::CodedPicture(1024, 768));
        driver.Run([&] {
            for (CFaceView* v : {static_cast<CFaceView*>(&Overlay()), static_cast<CFaceView*>(&View3D())}) {
                v->defaultEyeDistance = 400;
                v->ClearAllViewSettings();
                v->FitToPhoto(1024, 768, 0, 0);
            }
            View3D().InitializeModelForOpenGL();
            Overlay().InitializeModelForOpenGL();
        });
        return true;
    }

    // Scene (b): the photo ImageMagick makes of `builtin` as JPEG, marked
    // through the known camera (yaw 12, pitch -6 degrees) with a seeded
    // jitter of up to 2 pixels, then the document's camera step, the fit of
    // the head and the texture at 1024: stage 2500.
    bool TexturedScene(const std::string& builtin, std::string* why) {
        CFaceDoc& d = Doc();
        d.templateId = 122;
        driver.Run([&] { d.LoadTHEResource(122, true); });
        const std::string jpeg = viewtest::Scratch(builtin + ".jpg");
        if (std::system(("/usr/bin/convert " + builtin + " -quality 92 " + jpeg + " 2>/dev/null").c_str()) != 0)
            return *why = "ImageMagick", false;
        int loaded = 0;
        // The whole picture, as without a start page.
        svc::StartPage* page = svc::startPage();
        svc::setStartPage(nullptr);
        driver.Run([&] { loaded = d.kernel2D->LoadPicFile(CString(jpeg.c_str())); });
        svc::setStartPage(page);
        std::remove(jpeg.c_str());
        if (!loaded) return *why = "photo", false;
        d.kernel2D->InitPicture();
        d.stage = 1000;
        const int w = d.kernel2D->photo.GetWidth(), h = d.kernel2D->photo.GetHeight();
        const ProjectionCore known = viewtest::KnownCamera(w, h);
        const htraf3<double> toPhoto = known.OpenGL2htraf() * known.cl2bmp_HTRAF3();
        fnd::RandomSource jitter(1234);
        head3& head = *d.kernel3D->head;
        head2& marks = *d.kernel2D->head;
        CString code;
        for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
            Index<featurepoint3> f = head.getFeaturepoint(code, true);
            if (!GoodInfoCode(0, code) || f == -1) continue;
            const vector3<double> q = (head.featurepoints[f].point() * toPhoto).vec3();
            const double dx = (jitter.next() % 401 - 200) / 100.0, dy = (jitter.next() % 401 - 200) / 100.0;
            Index<featurepoint2> p = marks.photoPoints.add();
            marks.photoPoints[p].set_name(code, false);
            marks.photoPoints[p].position = vector2<double>(q.x + dx, q.y + dy);
        }
        driver.Run([&] { d.CameraView(); });
        if (d.stage != 2000) return *why = "camera step", false;
        d.textureSize = 1024;
        driver.Run([&] {
            HeadToPhotoTrafo();
            MakeFullTexture(7u);
        });
        if (!head.texture) return *why = "texture", false;
        d.stage = 2500;
        driver.Run([&] {
            View3D().defaultEyeDistance = 400;
            View3D().ClearAllViewSettings();
            View3D().FitToPhoto(1024, 768, 0, 0);
            View3D().InitializeModelForOpenGL();
            Overlay().InitializeModelForOpenGL();
        });
        return true;
    }

    viewtest::FakePointPage* pointPage = nullptr;
    viewtest::FakeCurvePage* curvePage = nullptr;
};
