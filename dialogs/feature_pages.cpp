#include "dialogs/feature_pages.h"

#include <algorithm>

#include "document/facedoc.h"
#include "document/ids.h"
#include "seams/app.h"
#include "views/faceview.h"

namespace pages {

void FeatureIconCommand(int command) {
    svc::MainFrame* f = svc::mainFrame();
    svc::FaceApp& app = svc::app();
    switch (command) {
        case 0:
            if (f) f->SendCommand(ID_FILE_SAVE_FAC);
            break;
        case 1:
            if (f) f->OnNotes();
            break;
        case 2:
            if (f) f->OnRectZoom();
            break;
        case 3:
            if (f) f->OnRectZoom2();
            break;
        case 4:
            if (f) f->OnFitZoom();
            break;
        case 5:
            if (f) f->OnMove();
            break;
        case 6:
            app.Help(0, "pdf");
            break;
        case 7:
            app.Help(0, "wmv");
            break;
        case 8:
            app.OnAppAboutShort();
            break;
        default: break;
    }
}

void RestartViews(std::initializer_list<CFaceView*> views, bool fit) {
    for (CFaceView* v : views)
        if (v) {
            v->currentRow = 0;
            v->selection.clear();
            if (fit) v->FitInView();
        }
}

void SelectTool(svc::MainFrame* frame, bool unlock) {
    if (!frame) return;
    frame->tool = 1;
    frame->toolMode = 0;
    if (unlock) frame->lockedView = nullptr;
}

CFaceView* ActiveView() {
    svc::MainFrame* f = svc::mainFrame();
    return dynamic_cast<CFaceView*>(f ? f->ActiveFaceView() : nullptr);
}

void PlaceOverFrame(CWnd* page, bool centred) {
    auto* frame = dynamic_cast<CWnd*>(svc::mainFrame());
    if (!frame) return;
    CRect client;
    frame->GetClientRect(&client);
    frame->ClientToScreen(&client);
    if (!centred) {
        page->SetWindowPos(nullptr, client.left + 2, client.top + 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return;
    }
    CRect mine;
    page->GetWindowRect(&mine);
    page->SetWindowPos(nullptr, (client.right - mine.Width()) / 2 - 31, client.top + 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER);
}

void AddSkipHint(CString& hint, const CString& side, CString& kept) {
    CString skip;
    skip.LoadString(61229);
    hint += side;
    hint += skip;
    kept = hint;
}

int PreviewGap(const CWnd* page, const CWinBmp& first, const CWinBmp& second) {
    CRect client;
    page->GetClientRect(&client);
    return std::max(0, (client.Width() - first.GetWidth() - second.GetWidth()) / 3);
}

bool UndoKeepsStep(const CWnd* page) {
    CFaceDoc* d = actdoc;
    const int stage = d ? d->stage : 0;
    if (svc::MainFrame* f = svc::mainFrame()) f->SendCommand(ID_UNDO);
    return d && d->stage == stage && page->m_hWnd;
}

void LeavePage(CWnd* page, int code) {
    if (CFaceDoc* d = actdoc) d->DeleteAllUndoFiles();
    ClosePage(page);
    svc::sendStep(code);
}

}  // namespace pages
