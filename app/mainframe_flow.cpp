// The frame's side of the three-step work flow: the step codes the pages
// send, the step commands, the model build, the automatic lines and the two
// refinement commands.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "app/mainframe.h"
#include "dialogs/dlgage.h"
#include "dialogs/dlgcrop.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "dialogs/dlgheadfeatures.h"
#include "dialogs/dlglasersize.h"
#include "dialogs/dlgprogress.h"
#include "document/ids.h"
#include "document/tempfolders.h"
#include "fitting/camera_search.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "fitting/marks.h"
#include "foundation/numeric.h"
#include "framework/paths.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/topology.h"
#include "views/faceview.h"
#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"
#include "views/vieworig2d.h"

namespace {

int proMode() {
    CFaceApp* a = FaceApp();
    return a ? a->proMode : 0;
}

long long fileSize(const std::string& posix) {
    std::error_code error;
    const auto n = std::filesystem::file_size(posix, error);
    return error ? -1 : static_cast<long long>(n);
}

CDlgProgress* progressWindow() {
    CFaceApp* a = FaceApp();
    return a ? a->progressDialog : nullptr;
}

// A step command's long part: the wait cursor and the shared progress
// window, both gone on every way out of the command.
class LongStep {
public:
    LongStep() = default;
    ~LongStep() {
        Close();
        if (waiting_) EndWaitCursor();
    }
    LongStep(const LongStep&) = delete;
    LongStep& operator=(const LongStep&) = delete;
    void Open(int high, const char* caption) {
        if (CDlgProgress* p = progressWindow()) static_cast<svc::Progress*>(p)->Open(0, high, caption, false);
    }
    void Step(int label) {
        if (CDlgProgress* p = progressWindow()) p->Step(label);
    }
    void Close() {
        if (CDlgProgress* p = progressWindow()) p->Close();
    }
    void Wait() {
        if (waiting_) return;
        BeginWaitCursor();
        waiting_ = true;
    }

private:
    bool waiting_ = false;
};

template <class Page>
bool isOpen(Page* page) {
    return page && page->m_hWnd && ::IsWindow(page->m_hWnd);
}

void showMarks(CFaceDoc* doc, bool on, bool redrawNow) {
    for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>(),
                         doc->GetViewEdit3D<CFaceView>(), doc->GetViewEdit2D3D<CFaceView>()})
        if (v) {
            v->featureDisplay = on;
            if (v->m_hWnd) {
                if (redrawNow)
                    v->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
                else
                    v->Invalidate();
            }
        }
}

CViewEdit3D* view3D(CFaceDoc* doc) { return doc->GetViewEdit3D<CViewEdit3D>(); }
CViewEdit2D3D* overlayView(CFaceDoc* doc) { return doc->GetViewEdit2D3D<CViewEdit2D3D>(); }

}  // namespace

template <class Page>
bool CMainFrame::closeOpenPage(Page*& page) {
    if (!isOpen(page)) return false;
    CWnd* p = page;
    page = nullptr;
    destroyPage(p);
    return true;
}

void CMainFrame::HideModelessDialogs() {
    HideToolDialogs();
    closeOpenPage(curveDialog);
    closeOpenPage(pointDialog);
    closeOpenPage(headPrepDialog);
    closeOpenPage(modelDialog);
    closeOpenPage(ageDialog);
}

template <class Page, class Make>
void CMainFrame::togglePage(Page*& page, Make make, UINT layoutId) {
    if (!page) page = make();
    if (closeOpenPage(page)) return;
    page->Create(layoutId, this);
    if (isOpen(page)) page->ShowWindow(SW_SHOW);
}

CMainFrame::StepPages CMainFrame::OpenStepPages() const {
    auto layout = [](auto* page) -> UINT { return isOpen(page) ? page->m_nIDTemplate : 0u; };
    StepPages p;
    p.point = layout(pointDialog);
    p.curve = layout(curveDialog);
    p.model = layout(modelDialog);
    p.age = layout(ageDialog);
    return p;
}

void CMainFrame::RestoreStepPages(const StepPages& p) {
    if (p.model && !isOpen(modelDialog)) ShowModelPage();
    if (p.curve && !isOpen(curveDialog))
        togglePage(curveDialog, [] { return new CDlgFeatures3(UINT(IDD_FEATURES3)); }, p.curve);
    if (p.point && !isOpen(pointDialog))
        togglePage(pointDialog, [] { return new CDlgFeatures2(UINT(IDD_FEATURES2)); }, p.point);
    if (p.age && !isOpen(ageDialog)) togglePage(ageDialog, [] { return new CDlgAge(UINT(IDD_AGE)); }, p.age);
}

// ---------------------------------------------------------------- step codes

void CMainFrame::NextFunction(int code, int) {
    UINT id = ID_DUMMY;
    switch (code) {
        case 99:
            if (MessageBox("Do you really want to close this program?", "Warning", MB_YESNO) == IDYES) {
                if (CFaceDoc* doc = GetDoc()) doc->FreeMemoryForNewFAC();
                svc::app().EndProgram(0);
                return;
            }
            id = ID_START_WORK;
            break;
        case 0:
        case 15: id = ID_START_WORK; break;
        case 2:
        case 18: id = ID_IMPORT_PIC; break;
        case 4:
        case 16: id = ID_CAMERA_MODE; break;
        case 5: id = ID_BACK_PICTURE; break;
        case 7: id = ID_MEDAL_MODE; break;
        case 8: id = ID_PHOTO_MODE; break;
        case 9: id = ID_PROPERTIES; break;
        case 10:
        case 11:
        case 12:
        case 13: return;
        case 19: id = ID_FILE_OPEN_FAC; break;
        case 20: id = ID_PASTE_PICTURE; break;
        case 21: id = ID_SCAN; break;
        case 22: id = ID_PICT_FROM_OTHER; break;
        case 23: id = ID_PICT_FROM_TEMP; break;
        default: break;
    }
    // Posted: the page that asks has closed itself and its handler (or the
    // modal loop of the start page) must end before the next step starts.
    if (m_hWnd)
        PostMessage(WM_COMMAND, id, 0);
}

// ---------------------------------------------------------------- steps

void CMainFrame::OnStartWork() {
    HideModelessDialogs();
    if (svc::app().state().pictureEditor) {
        if (CFaceDoc* doc = GetDoc()) doc->FreeMemoryForNewFAC();
        svc::app().EndProgram(0);
    }
}

void CMainFrame::OnPhotoMode() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    if (!projectLoaded && doc->stage <= 1000 && isOpen(pointDialog)) return;
    if (svc::app().state().pictureEditor) doc->templateId = 121;
    if (doc->photoNumber <= 0) {
        doc->kernel2D->LoadOrigPhoto();
        doc->LoadTHEResource(unsigned(doc->templateId), false);
    }
    closeOpenPage(curveDialog);
    doc->stage = 1000;
    if (CViewEdit3D* v = view3D(doc)) v->InitializeModelForOpenGL();
    ActivateView(doc->GetViewOrig2D<CFaceView>());
    if (!refining) {
        if (doc->templateId == 100) {
            ChangeViews(false);
            OnViews2A();
        } else {
            OnViews1();
        }
    } else {
        ActivateView(doc->GetViewEdit2D3D<CFaceView>());
        OnViews2B();
        OnViews1();
        if (CViewEdit2D3D* o = overlayView(doc)) o->FitInView2();
    }
    FeatureToolPhoto();
}

void CMainFrame::FeatureToolPhoto() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    HideModelessDialogs();
    CFaceApp* faceApp = FaceApp();
    const svc::AppState& app = svc::app().state();
    if (doc->photoNumber == 0) {
        const std::string exchange = fnd::daz3dfile(app.programFolder, app.dazMode);
        if (app.dazMode && faceApp) {
            const std::string posix = brv::PosixPath(exchange);
            if (faceApp->dazFigure == "Other" && fileSize(posix) > 0) {
                doc->templateId = 100;
                doc->LoadXXXFile(CString(exchange.c_str()), true);
                doc->SaveTHEResource();
                ActivateView(doc->GetViewOrig2D<CFaceView>());
                ChangeViews(false);
                OnViews2A();
            } else if (faceApp->dazFigure == "M3") {
                doc->LoadTHEResource(101, true);
            } else if (faceApp->dazFigure == "V4") {
                doc->LoadTHEResource(102, true);
            }
        }
        // The side files of the exchange file belong to a run that is over.
        if (exchange.size() > 3)
            for (const char* ext : {"bmp", "dsx"}) {
                const std::string side = exchange.substr(0, exchange.size() - 3) + ext;
                std::remove(brv::PosixPath(side).c_str());
            }
    }
    if (!toolChangeAllowed()) return;
    UINT layoutId = IDD_FEATURES2;
    if (doc->templateId == 100 && !refining)
        layoutId = IDD_FEATURES4;
    else if (app.pictureEditor)
        layoutId = IDD_FEATURES2PS;
    else if (refining)
        layoutId = IDD_FEATURES2B;
    togglePage(pointDialog, [] { return new CDlgFeatures2(UINT(IDD_FEATURES2)); }, layoutId);
}

void CMainFrame::FeatureToolPhotoEx() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    HideModelessDialogs();
    if (!toolChangeAllowed()) return;
    togglePage(curveDialog, [] { return new CDlgFeatures3(UINT(IDD_FEATURES3)); }, IDD_FEATURES3);
}

void CMainFrame::OnCameraMode() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    LongStep step;
    step.Open(10, "Searching perspective");
    // The prepared head of template 100 carries the points just placed on
    // it: it stays.
    if (doc->templateId != 100) doc->LoadTHEResource(unsigned(doc->templateId), true);
    step.Step(6);
    step.Wait();
    closeOpenPage(pointDialog);
    showMarks(doc, true, false);
    if (doc->stage > 1000) {
        if (doc->stage >= 2500) {
            doc->stage = 2000;
            doc->LoadTHEResource(unsigned(doc->templateId), false);
            ChangeViews(true);
            OnViews2();
        } else {
            ChangeViews(true);
            if (proMode()) OnViews2();
        }
        if (doc->templateId != 100) CreateAutomaticLines();
        step.Close();
        FeatureToolPhotoEx();
        return;
    }
    long sum = 0;
    head2& marks = *doc->kernel2D->head;
    for (int k = marks.photoPoints.first(); k != -1; k = marks.photoPoints.nextOf(k))
        sum += long(marks.photoPoints[k].weight);
    if (sum < 11 && !refining) {
        step.Close();
        CString text, caption;
        text.LoadString(IDS_TOO_FEW_POINTS);
        caption.LoadString(IDS_ERROR);
        MessageBox(text, caption, MB_OK);
        NextFunction(8);
        return;
    }
    step.Step(7);
    if (doc->photoNumber < 1) doc->CheckPoint(50);
    if (refining)
        doc->stage = 2000;
    else
        doc->CameraView();
    ChangeViews(true);
    if (proMode()) OnViews2();
    if (doc->templateId == 100) doc->SaveTHEResource();
    if (!refining) CreateAutomaticLines();
    doc->DeleteAllUndoFiles();
    step.Close();
    if (doc->photoNumber > 0 || proMode())
        FeatureToolPhotoEx();
    else
        NextFunction(7);
}

void CMainFrame::CreateAutomaticLines() {
    CFaceDoc* doc = GetDoc();
    if (!doc || !doc->kernel2D->head || !doc->kernel3D->head) return;
    head3& head = *doc->kernel3D->head;
    head.set_actual();
    auto* photoView = doc->GetViewOrig2D<CViewOrig2D>();
    std::function<void(Index<featureline2>, const vector2<double>&)> append;
    if (photoView) append = [photoView](Index<featureline2> l, const vector2<double>& p) {
        photoView->appendPoint(p, l, false, false);
    };
    ::CreateAutomaticLines(*doc->kernel2D->head, head, std::abs(int(doc->photoNumber)), true, append);
}

void CMainFrame::OnMedalMode() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    if (!projectLoaded && doc->stage <= 1000) {
        MessageBeep(MB_ICONINFORMATION);
        return;
    }
    showMarks(doc, false, false);
    HideModelessDialogs();
    if (doc->stage > 1000) Model();
    ShowModelPage();
}

void CMainFrame::ShowModelPage() {
    const UINT layoutId = svc::app().state().pictureEditor ? IDD_MODELPS : IDD_MODEL;
    togglePage(modelDialog, [] { return new CDlgLaserSize(UINT(IDD_MODEL)); }, layoutId);
}

void CMainFrame::Model() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    if (doc->photoNumber <= 0) doc->CheckPoint(51);
    LongStep step;
    step.Open(15, "Changing geometry");
    step.Wait();
    HeadToPhotoTrafo();
    CViewEdit3D* v3 = view3D(doc);
    if (doc->photoNumber <= 0) {
        step.Open(27 - 10 * (svc::app().state().pictureEditor ? 1 : 0), "Applying texture");
        MakeFullTexture();
        step.Step(1);
        doc->stage = 2500;
        if (v3) {
            v3->displayMode = svc::ViewEdit3D::kTextured;
            v3->InitializeModelForOpenGL();
            v3->Redraw();
        }
        step.Step(8);
    } else {
        doc->kernel2D->LoadOrigPhoto();
        doc->stage = 2500;
        if (CFaceView* photo = doc->GetViewOrigPhoto<CFaceView>()) {
            photo->FitInView();
            photo->ClearAllViewSettings();
            photo->Redraw();
        }
    }
    if (v3) v3->InitializeModelForOpenGL();
    showMarks(doc, false, true);
    OnViews2A();
    if (doc->kernel3D->head) doc->kernel3D->head->status = 1;
}

void CMainFrame::OnBackPicture() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    if (svc::app().state().pictureEditor) {
        doc->FreeMemoryForNewFAC();
        svc::app().EndProgram(0);
        return;
    }
    CKernel2D& k = *doc->kernel2D;
    if (doc->photoNumber > 0) {
        k.LoadOrigPhoto();
        doc->photoNumber = 0;
    }
    std::vector<uint8_t> bytes = k.FileBytes();
    CWinBmp picture;
    if (!k.LoadOrigBmp(&picture, 1, 0, 0)) picture = k.photo;
    // What the photo record says about its orientation goes with it.
    const int32_t turns = k.quarterTurns, flipLR = k.mirrorLeftRight, flipTB = k.mirrorTopBottom;
    doc->stage = 0;
    const CString path = doc->GetPathName(), project = doc->projectName, unique = doc->uniqueName;
    HideModelessDialogs();
    doc->FreeMemoryForNewFAC();
    doc->projectName = project;
    doc->uniqueName = unique;
    doc->SetPathName(path, FALSE);
    k.SetFileBytes(std::move(bytes));
    k.quarterTurns = turns, k.mirrorLeftRight = flipLR, k.mirrorTopBottom = flipTB;
    svc::CropSettings s{0, 0, 0, 0, turns, flipLR, flipTB};
    k.photo = picture;
    CDlgCrop page(this, &k.photo, &s.left, &s.top, &s.right, &s.bottom, &s.quarterTurns, &s.mirrorLeftRight,
                  &s.mirrorTopBottom, doc->kernel3D->head);
    if (page.DoModal() != IDOK || s.left < 0) return;
    if (!page.smallTurn) {
        // The page turned the photo as the record already had it: the
        // record's turns and flips come first (a quarter turn after a flip
        // is the other flip before it).
        const bool odd = s.quarterTurns % 2 != 0;
        const int lr = s.mirrorLeftRight ^ (odd ? flipTB : flipLR);
        const int tb = s.mirrorTopBottom ^ (odd ? flipLR : flipTB);
        s.quarterTurns = (s.quarterTurns + turns) % 4;
        s.mirrorLeftRight = lr;
        s.mirrorTopBottom = tb;
    }
    doc->SetTitle(doc->state().name);
    k.left = s.left, k.top = s.top, k.right = s.right, k.bottom = s.bottom;
    k.loadLeft = s.left, k.loadTop = s.top, k.loadRight = s.right, k.loadBottom = s.bottom;
    k.quarterTurns = s.quarterTurns, k.mirrorLeftRight = s.mirrorLeftRight, k.mirrorTopBottom = s.mirrorTopBottom;
    k.head->valid = 1;
    {
        CWaitCursor wait;
        k.InitPicture();
        for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>()})
            if (v) {
                v->FitInView();
                v->Redraw();
            }
        doc->LoadTHEResource(unsigned(doc->templateId), true);
    }
    if (k.head->valid) {
        doc->stage = 1000;
        OnPhotoMode();
    }
}

void CMainFrame::OnCrop() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    CKernel2D& k = *doc->kernel2D;
    auto make = [&] {
        return new CDlgCrop(this, &k.photo, &k.left, &k.top, &k.right, &k.bottom, &k.quarterTurns,
                            &k.mirrorLeftRight, &k.mirrorTopBottom, doc->kernel3D->head);
    };
    togglePage(cropDialog, make, IDD_CROP);
}

void CMainFrame::OnProperties() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    CFaceApp* faceApp = FaceApp();
    if (!faceApp || !faceApp->objHeadImported) {
        if (doc->stage <= 1000)
            FeatureToolPhoto();
        else if (doc->stage <= 2500)
            FeatureToolPhotoEx();
        return;
    }
    if (m_wndSplitter.m_hWnd) m_wndSplitter.SetActivePane(0, 1);
    OnViews1();
    togglePage(pointDialog, [] { return new CDlgFeatures2(UINT(IDD_FEATURES2)); }, IDD_FEATURES2);
}

void CMainFrame::OnFeatureToolHead() {
    if (!toolChangeAllowed()) return;
    CDlgHeadFeatures::Toggle(headPrepDialog, this, GetDoc());
    closeOpenPage(pointDialog);
    OnViews4();
    if (CFaceDoc* doc = GetDoc()) ActivateView(doc->GetViewEdit3D<CFaceView>());
}

void CMainFrame::OnAge() {
    // A point page made but never opened goes too.
    if (!closeOpenPage(pointDialog)) {
        delete pointDialog;
        pointDialog = nullptr;
    }
    togglePage(ageDialog, [] { return new CDlgAge(UINT(IDD_AGE)); }, IDD_AGE);
}

// ---------------------------------------------------------------- refinement

void CMainFrame::OnPictFromOther() {
    CFaceDoc* doc = GetDoc();
    if (!doc || doc->stage != 2500) return;
    // What a cancelled or abandoned refinement goes back to.
    doc->SaveFACFile(CFaceDoc::KeptStatePath(), "b", true);
    if (doc->photoNumber <= 0) doc->kernel2D->SaveOrigPhoto();
    doc->photoNumber += 1;
    doc->refineMode = 2;
    refining = 1;
    SendMessage(WM_COMMAND, ID_IMPORT_PIC, 0);
}

void CMainFrame::CancelRefinement() {
    CFaceDoc* doc = GetDoc();
    if (!doc || !refining) return;
    doc->photoNumber = std::max(0, std::abs(int(doc->photoNumber)) - 1);
    refining = 0;
    doc->refineMode = 0;
    if (doc->photoNumber == 0) doc->kernel2D->LoadOrigPhoto();
    doc->stage = 2500;
    for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>()})
        if (v) v->FitInView();
    if (!isOpen(modelDialog)) ShowModelPage();
}

void CMainFrame::OnPictFromTemp() {
    CFaceDoc* doc = GetDoc();
    if (!doc || doc->stage != 2500) return;
    CViewEdit3D* v3 = view3D(doc);
    if (!v3 || !doc->kernel3D->head) return;
    CWaitCursor wait;
    doc->SaveFACFile(CFaceDoc::KeptStatePath(), "b", true);
    ActivateView(v3);
    head3& head = *doc->kernel3D->head;
    head.set_actual();
    struct Projected {
        CString name;
        vector2<double> at;
    };
    std::vector<Projected> projected;
    const int32_t kept = doc->photoNumber;
    doc->photoNumber = 0;
    ++generalpoint3::ProjCounter;
    CString code;
    for (int row = 0; GetFeaturePointInfo(row, &code); ++row) {
        if (!GoodInfoCode(0, code)) continue;
        const Index<featurepoint3> f = head.getFeaturepoint(code, true);
        if (f == -1) continue;
        generalpoint3 g = head.featurepoints[f];
        vector2<double> at(-1000, -1000);
        if (v3->Coord3Dto2D(g, 1)) at = vector2<double>(g.projX, g.projY);
        projected.push_back({code, at});
    }
    CRect client;
    GetClientRect(&client);
    const int w = (client.Width() / 2) / 4 * 4 + 4, h = client.Height() / 4 * 4 + 4;
    // The view's picture from the top-left corner, as its projections are.
    CWinBmp shot, rendered;
    shot.Create(w, h, 32, false);
    if (v3->MakeWinBmp(rendered))
        for (int y = 0; y < std::min(h, rendered.GetHeight()); ++y)
            for (int x = 0; x < std::min(w, rendered.GetWidth()); ++x) shot.SetPixel(x, y, rendered.GetPixel(x, y));
    doc->photoNumber = kept;
    CKernel2D& k = *doc->kernel2D;
    if (doc->photoNumber <= 0) k.SaveOrigPhoto();
    doc->photoNumber += 1;
    doc->refineMode = 1;
    k.left = k.top = 0;
    k.right = shot.GetWidth();
    k.bottom = shot.GetHeight();
    k.photo = shot;
    doc->stage = 1000;
    k.InitPicture();
    // The marks follow the picture's scaling into the working photo.
    const double sx = shot.GetWidth() > 0 ? double(k.photo.GetWidth()) / shot.GetWidth() : 1.0;
    const double sy = shot.GetHeight() > 0 ? double(k.photo.GetHeight()) / shot.GetHeight() : 1.0;
    head2& marks = *k.head;
    for (const Projected& p : projected)
        if (p.at.x >= 0 && p.at.y >= 0) {
            const Index<featurepoint2> q = marks.photoPoints.add_ifnew(p.name);
            marks.photoPoints[q].position = vector2<double>(p.at.x * sx, p.at.y * sy);
        }
    doc->CameraView();
    ChangeViews(true);
    OnViews2();
    for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>()})
        if (v) v->ClearAllViewSettings();
    v3->InitializeModelForOpenGL();
    if (CViewEdit2D3D* o = overlayView(doc)) o->FitInView2();
    for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>()})
        if (v) {
            v->FitInView();
            v->Redraw();
        }
    FeatureToolPhotoEx();
}
