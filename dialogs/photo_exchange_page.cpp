#include "dialogs/photo_exchange_page.h"

#include "document/facedoc.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "picture/winbmp.h"
#include "seams/app.h"
#include "views/viewedit3d.h"

bool BackPhsh(CFaceDoc& doc, ExchangeResult* result) {
    CViewEdit3D* view = doc.GetViewEdit3D<CViewEdit3D>();
    svc::MainFrame* frame = svc::mainFrame();
    if (frame && view) frame->ActivateView(view);
    // The picture has the client's size, so that the points projected into
    // the client are its pixels.
    CWinBmp picture;
    CRect client;
    if (view) view->GetClientRect(&client);
    if (client.Width() > 0 && client.Height() > 0) picture.Create(client.Width(), client.Height(), 32, false);
    if (!view || !doc.kernel3D->head || client.Width() <= 0 || client.Height() <= 0 || !view->MakeWinBmp(picture)) {
        ::MessageBox(nullptr, "The head could not be rendered.", "Error", MB_OK);
        return false;
    }
    ExchangeScene scene;
    head3& head = *doc.kernel3D->head;
    CString code;
    for (int i = 0; i < kExchangePoints && GetFeaturePointInfo(i, &code); ++i) {
        Index<featurepoint3> f = head.getFeaturepoint(code, true);
        if (f == -1 || !view->Coord3Dto2D(head.featurepoints[f])) continue;
        scene.viewPoints.push_back({code, {head.featurepoints[f].projX, head.featurepoints[f].projY}});
    }
    const CKernel2D& photo = *doc.kernel2D;
    scene.marks = photo.head;
    scene.group = doc.photoNumber < 0 ? -doc.photoNumber : doc.photoNumber;
    scene.cropTop = photo.loadTop;
    scene.cropBottom = photo.loadBottom;
    scene.workingHeight = photo.photo.GetHeight();
    return ExchangeWithPictureEditor(picture, scene, result);
}
