#include "views/page_links.h"

#include "app/mainframe.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "dialogs/dlgheadfeatures.h"

namespace views {

PointPageCalls* OpenPointPage(const CMainFrame* frame) {
    if (!frame || !frame->pointDialog || !::IsWindow(frame->pointDialog->m_hWnd)) return nullptr;
    return dynamic_cast<PointPageCalls*>(static_cast<CWnd*>(frame->pointDialog));
}

CurvePageCalls* OpenCurvePage(const CMainFrame* frame) {
    if (!frame || !frame->curveDialog || !::IsWindow(frame->curveDialog->m_hWnd)) return nullptr;
    return dynamic_cast<CurvePageCalls*>(static_cast<CWnd*>(frame->curveDialog));
}

PrepPageCalls* OpenPrepPage(const CMainFrame* frame) {
    if (!frame || !frame->headPrepDialog || !::IsWindow(frame->headPrepDialog->m_hWnd)) return nullptr;
    return dynamic_cast<PrepPageCalls*>(static_cast<CWnd*>(frame->headPrepDialog));
}

}  // namespace views
