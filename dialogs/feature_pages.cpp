#include "dialogs/feature_pages.h"

#include <algorithm>

#include "app/faceapp.h"
#include "app/facedoc.h"
#include "document/ids.h"
#include "app/mainframe.h"
#include "views/faceview.h"

namespace pages {

namespace {

CMainFrame* frame() { return dynamic_cast<CMainFrame*>(AfxGetMainWnd()); }

}  // namespace

void FeatureIconCommand(int command) {
    CMainFrame* f = frame();
    CFaceApp* app = FaceApp();
    switch (command) {
        case 0:
            if (f) f->SendMessage(WM_COMMAND, ID_FILE_SAVE_FAC, 0);
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
            if (app) app->Help(0, "pdf");
            break;
        case 7:
            if (app) app->Help(0, "wmv");
            break;
        case 8:
            if (app) app->OnShortAbout(true);
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

void SelectTool(CMainFrame* frame, bool unlock) {
    if (!frame) return;
    frame->tool = 1;
    frame->toolMode = 0;
    if (unlock) frame->lockedView = nullptr;
}

void PlaceOverFrame(CWnd* page, CWnd* frame, bool centred) {
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
    if (CMainFrame* f = frame()) f->SendMessage(WM_COMMAND, ID_UNDO, 0);
    return d && d->stage == stage && page->m_hWnd;
}

void LeavePage(CWnd* page, int code) {
    CMainFrame* f = frame();
    if (CFaceDoc* d = actdoc) d->DeleteAllUndoFiles();
    ClosePage(page);
    if (f) f->NextFunction(code);
}

}  // namespace pages
