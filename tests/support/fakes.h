#pragma once
// Test doubles of the application, views and dialogs: they hold settable
// values and record the calls the model and fitting code make.

#include <map>
#include <string>
#include <vector>

#include "foundation/random.h"
#include "seams/app.h"
#include "seams/dialogs.h"
#include "seams/views.h"

namespace fakes {

struct FakeApp : svc::FaceApp {
    std::vector<int> endProgramCodes;  // the program is not ended
    void EndProgram(int code) override { endProgramCodes.push_back(code); }
};

struct FakeView : virtual svc::FaceView {
    fnd::htraf3<double> openGL2htraf{fnd::I44};
    fnd::htraf3<double> cl2bmp{fnd::I44};
    int redraws = 0;
    std::vector<bool> redrawFlagAtRedraw;  // the flag as each redraw saw it

    fnd::htraf3<double> OpenGL2htraf() override { return openGL2htraf; }
    fnd::htraf3<double> cl2bmp_HTRAF3() override { return cl2bmp; }
    void Redraw() override {
        ++redraws;
        redrawFlagAtRedraw.push_back(redrawFlag);
    }
};

struct FakeViewEdit2D3D : FakeView, svc::ViewEdit2D3D {
    struct Coord3Dto2DCall {
        generalpoint3* point;
        int mode;
    };
    std::vector<Coord3Dto2DCall> coord3Dto2DCalls;
    int coord3Dto2DResult = 1;
    // Coord3Dto2DBMP maps through this transform (then drops z); points with
    // z below hiddenBelowZ count as hidden.
    fnd::htraf3<double> toPhoto{fnd::I44};
    double hiddenBelowZ = -1e300;
    std::vector<fnd::vector3<double>> bmpCalls;
    int initializeCalls = 0;

    int Coord3Dto2D(generalpoint3& point, int mode) override {
        coord3Dto2DCalls.push_back({&point, mode});
        return coord3Dto2DResult;
    }
    int Coord3Dto2DBMP(const fnd::vector3<double>& p, fnd::vector2<double>& out) override {
        bmpCalls.push_back(p);
        fnd::vector3<double> q = (p * toPhoto).vec3();
        out = {q.x, q.y};
        return p.z < hiddenBelowZ ? 0 : 1;
    }
    void InitializeModelForOpenGL() override { ++initializeCalls; }
};

struct FakeViewEdit3D : FakeView, svc::ViewEdit3D {
    struct InitCall {
        int onlyGathered, second;
    };
    std::vector<InitCall> initializeCalls;
    void InitializeModelForOpenGL(int onlyGathered, int second) override {
        initializeCalls.push_back({onlyGathered, second});
    }
};

struct FakeDocument : svc::FaceDocument {
    svc::FaceTables faceTables;
    CKernel2D* photo = nullptr;
    CKernel3D* head = nullptr;
    std::map<std::string, svc::FaceView*> views;
    std::vector<std::string> viewRequests;
    int cameraViewCalls = 0;
    int loadTHEResourceCalls = 0;
    int loadTHEResourceResult = 1;
    std::vector<std::string> titles;

    svc::FaceTables& tables() override { return faceTables; }
    CKernel2D* photoKernel() override { return photo; }
    CKernel3D* headKernel() override { return head; }
    svc::FaceView* GetView(const char* name) override {
        viewRequests.push_back(name);
        auto it = views.find(name);
        return it == views.end() ? nullptr : it->second;
    }
    void CameraView() override { ++cameraViewCalls; }
    int LoadTHEResource() override {
        ++loadTHEResourceCalls;
        return loadTHEResourceResult;
    }
    void SetTitle(const std::string& title) override { titles.push_back(title); }
};

struct FakeMainFrame : svc::MainFrame {
    int modelCalls = 0;
    int views2Calls = 0;
    void Model() override { ++modelCalls; }
    void OnViews2() override { ++views2Calls; }
    void writeOpenGL(fnd::fileTB&) const override {}
    void readOpenGL(fnd::fileTB&) override {}
};

// The step codes the pages send, recorded in place of the work-flow driver
// for the recorder's lifetime (it must end before the driver it replaced).
struct RecordedSteps : svc::WorkFlow {
    std::vector<int> codes;
    svc::WorkFlow* replaced = svc::workFlow();

    RecordedSteps() { svc::setWorkFlow(this); }
    ~RecordedSteps() { svc::setWorkFlow(replaced); }
    RecordedSteps(const RecordedSteps&) = delete;
    RecordedSteps& operator=(const RecordedSteps&) = delete;
    void NextFunction(int code, int) override { codes.push_back(code); }
};

struct FakeProgress : svc::Progress {
    struct OpenCall {
        int low, high;
        std::string caption;
        bool stopButton;
    };
    std::vector<OpenCall> opens;
    int steps = 0;     // steps since the last Open
    int allSteps = 0;  // steps over the whole test
    int closes = 0;
    bool open = false;
    int goOn = 1;  // what Step returns; 0 simulates the Stop button

    int Open(int low, int high, const std::string& caption, bool stopButton) override {
        opens.push_back({low, high, caption, stopButton});
        open = true;
        steps = 0;
        return 1;
    }
    int Step(int) override {
        if (open) {
            ++steps;
            ++allSteps;
        }
        return goOn;
    }
    int Close() override {
        ++closes;
        open = false;
        return 1;
    }
};

struct FakeStartPage : svc::StartPage {
    int result = 1;
    svc::CropSettings answer;  // written to the caller's settings
    int calls = 0;
    CWinBmp* lastPhoto = nullptr;
    head3* lastHead = nullptr;

    int DoModal(CWinBmp* photo, svc::CropSettings* settings, head3* head) override {
        ++calls;
        lastPhoto = photo;
        lastHead = head;
        if (settings) *settings = answer;
        return result;
    }
};

// Installs a full set of fakes for the length of a test and takes them out
// again; the process-wide random source is reset on both ends.
struct Services {
    FakeApp app;
    FakeDocument document;
    FakeMainFrame mainFrame;
    FakeProgress progress;
    FakeStartPage startPage;
    FakeViewEdit2D3D viewEdit2D3D;
    FakeViewEdit3D viewEdit3D;
    FakeView viewOrigPhoto;
    FakeView viewOrig2D;

    Services() {
        document.views["ViewOrigPhoto"] = &viewOrigPhoto;
        document.views["ViewOrig2D"] = &viewOrig2D;
        document.views["ViewEdit3D"] = &viewEdit3D;
        document.views["ViewEdit2D3D"] = &viewEdit2D3D;
        svc::setApp(&app);
        svc::setDocument(&document);
        svc::setMainFrame(&mainFrame);
        svc::setProgress(&progress);
        svc::setStartPage(&startPage);
        fnd::resetRandom();
    }
    ~Services() {
        svc::setApp(nullptr);
        svc::setDocument(nullptr);
        svc::setMainFrame(nullptr);
        svc::setProgress(nullptr);
        svc::setStartPage(nullptr);
        fnd::resetRandom();
    }
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;
};

}  // namespace fakes
