#pragma once
// The program in the test's own process: the application object started as
// RunBrivanta starts it (up to the armed timer), its document and frame,
// over the headless backend with settings and temporary files in folders
// of the test's own.

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "app/mainframe.h"
#include "document/tempfolders.h"
#include "fitting/kernel2d.h"
#include "framework/filedialog.h"
#include "fitting/kernel3d.h"
#include "model/head.h"
#include "picture/clipboard_bmp_platform.h"
#include "tests/framework/window_support.h"
#include "views/faceview.h"

class ShellTest : public WindowingTest {
protected:
    void SetUp() override {
        WindowingTest::SetUp();
        previousTmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
        setenv("TMPDIR", tmp_.path().c_str(), 1);
        files::ResetTempFolder();
        resetModelState();
        brv::InstallBmpPlatform();
        driver.Backend().SetClock(0, 0);
    }
    void TearDown() override {
        Stop();
        if (previousTmp_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", previousTmp_.c_str(), 1);
        files::ResetTempFolder();
        resetModelState();
        WindowingTest::TearDown();
    }

    // args after the program's name; "--full" as RunBrivanta takes it.
    bool Start(std::vector<std::string> args = {"--full"}) {
        app = std::make_unique<CFaceApp>();
        std::vector<std::string> rest{"brivanta"};
        for (const std::string& a : args)
            if (a == "--full")
                app->pictureEditorMode = 0;
            else
                rest.push_back(a);
        app->SetWindowsCommandLine(rest);
        bool ok = false;
        driver.Run([&] { ok = app->InitInstance(); });
        return ok;
    }
    // The first tick of the full work flow asks for a photo and, cancelled,
    // for a head OBJ (in the DAZ mode the exchange file is read instead):
    // the dialogs it opens are cancelled.
    void CancelStartDialogs() {
        if (!app || app->pictureEditorMode || (!app->dazMode && !app->commandFile.IsEmpty())) return;
        for (int k = app->dazMode ? 1 : 2; k > 0; --k)
            driver.OnNextFileDialog([](brv::FileDialogSession&) { return IDCANCEL; });
    }
    void Stop() {
        if (!app) return;
        driver.Run([&] {
            if (app->m_pMainWnd) app->m_pMainWnd->DestroyWindow();
        });
        app->ExitInstance();
        app.reset();
    }

    CFaceApp& App() { return *app; }
    CFaceDoc& Doc() { return *actdoc; }
    CMainFrame& Frame() { return *app->Frame(); }
    HWND FrameWnd() { return Frame().m_hWnd; }
    CFaceView* View(const char* name) { return dynamic_cast<CFaceView*>(Doc().GetView(name)); }
    // The active pane of the splitter as row * 10 + column (-1: none).
    int ActivePane() {
        int r = -1, c = -1;
        return Frame().m_wndSplitter.GetActivePane(&r, &c) ? r * 10 + c : -1;
    }

    std::unique_ptr<CFaceApp> app;
    TempDir tmp_;

private:
    std::string previousTmp_;
};
