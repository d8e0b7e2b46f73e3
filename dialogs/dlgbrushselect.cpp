#include "dialogs/dlgbrushselect.h"

#include <algorithm>

#include "document/facedoc.h"
#include "document/ids.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/head.h"
#include "seams/app.h"
#include "views/viewedit3d.h"
#include "views/vieworigphoto.h"

BEGIN_MESSAGE_MAP(CDlgBrushSelect, CDialog)
ON_WM_HSCROLL()
ON_WM_PAINT()
ON_WM_DESTROY()
ON_BN_CLICKED(1128, OnOther)
END_MESSAGE_MAP()

CDlgBrushSelect::CDlgBrushSelect(CWnd* parent) : CDialog(IDD_BRUSHSELECT, parent) {
    sliders = palette::BrushPaletteStart(nullptr);
    brushSize = palette::BrushSizeOf(sliders.size);
    strength = palette::StrengthOf(sliders.transparency);
    brush.Set(2 * brushSize, strength, RGBColor{}, true);
}

void CDlgBrushSelect::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, 1087, sizeSlider);
    DDX_Control(dx, 1102, transparencySlider);
    DDX_Slider(dx, 1087, sliders.size);
    DDX_Slider(dx, 1102, sliders.transparency);
    if (actdoc) DDX_Check(dx, 1158, actdoc->mirrorTool);
}

BOOL CDlgBrushSelect::OnInitDialog() {
    CDialog::OnInitDialog();
    head3* h = actdoc && actdoc->kernel3D ? actdoc->kernel3D->head : nullptr;
    sliders = palette::BrushPaletteStart(h ? h->texture.get() : nullptr);
    strength = sliders.strength;
    brushSize = sliders.size;
    sizeSlider.SetRange(sliders.sizeMin, sliders.sizeMax);
    sizeSlider.SetPos(sliders.size);
    sizeSlider.SetTicFreq(sliders.sizeTick);
    transparencySlider.SetRange(sliders.transparencyMin, sliders.transparencyMax);
    transparencySlider.SetPos(sliders.transparency);
    transparencySlider.SetTicFreq(sliders.transparencyTick);
    if (actdoc && actdoc->kernel2D) kept = actdoc->kernel2D->photo;
    InitDialog();
    return TRUE;
}

void CDlgBrushSelect::InitDialog() {
    SetBrush();
    SetPos();
}

void CDlgBrushSelect::SetBrush() {
    if (m_hWnd) UpdateData(TRUE);
    brushSize = palette::BrushSizeOf(sliders.size);
    strength = palette::StrengthOf(sliders.transparency);
    brush.Set(2 * brushSize, strength, RGBColor{}, true);
    DrawPreView();
}

const CBrush2& CDlgBrushSelect::ReadBrush() {
    SetBrush();
    return brush;
}

void CDlgBrushSelect::DrawPreView() {
    CWnd* frame = m_hWnd ? GetDlgItem(1111) : nullptr;
    if (!frame || !frame->m_hWnd) return;
    CRect r;
    frame->GetClientRect(&r);
    CClientDC dc(frame);
    const int grey = palette::PreviewFrameGrey(sliders.transparency);
    CPen pen(PS_SOLID, 5, RGB(grey, grey, grey));
    CBrush white(RGB(255, 255, 255));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&white);
    dc.Rectangle(&r);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
    for (const palette::PreviewPixel& p :
         palette::BrushPreviewPixels(brush, brushSize, sliders.scale, r.Width(), r.Height()))
        dc.SetPixel(p.x, p.y, RGB(p.grey, p.grey, p.grey));
}

void CDlgBrushSelect::SetPos() {
    CWnd* parent = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    if (!m_hWnd || !parent || !parent->m_hWnd) return;
    CRect client, me;
    parent->GetClientRect(&client);
    parent->ClientToScreen(&client);
    GetWindowRect(&me);
    // The tool bar draws no window of its own here: its height is 0.
    const int bar = 0;
    MoveWindow(client.left + 2, client.top + bar + 4, me.Width(), me.Height());
}

void CDlgBrushSelect::OnHScroll(UINT code, UINT position, CScrollBar* bar) {
    CDialog::OnHScroll(code, position, bar);
    SetBrush();
}

void CDlgBrushSelect::OnPaint() {
    CDialog::OnPaint();
    DrawPreView();
}

void CDlgBrushSelect::OnOther() {
    if (!actdoc || !actdoc->kernel2D) return;
    CFileDialog dlg(TRUE, "*.jpg", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                    "JPEG fájlok (*.jpg)|*.jpg|TIFF fájlok (*.tif)|*.tif|BMP fájlok (*.bmp)|*.bmp|"
                    "GIF fájlok (*.gif)|*.gif|PCX fájlok (*.pcx)|*.pcx||",
                    this);
    if (dlg.DoModal() != IDOK) return;
    const CString path = dlg.GetPathName();
    if (!palette::LoadCloneSource(path.GetString(), actdoc->kernel2D->photo)) {
        CString text;
        text.Format("Wrong file: %s!", path.GetString());
        MessageBox(text, "Error", MB_OK);
        return;
    }
    if (auto* v = actdoc->GetViewEdit3D<CViewEdit3D>(); v && v->cloneSourceView &&
                                                                        v->cloneSourceView->IsViewOrigPhoto()) {
        v->cloneState = -1;
        v->cloneSourceView = nullptr;
    }
    if (CFaceView* p = actdoc->GetViewOrigPhoto<CFaceView>(); p && p->m_hWnd) p->RedrawWindow();
    if (auto* v = actdoc->GetViewEdit3D<CViewEdit3D>(); v && v->m_hWnd) v->DrawScene();
}

void CDlgBrushSelect::OnOK() { DestroyWindow(); }
void CDlgBrushSelect::OnCancel() { DestroyWindow(); }

void CDlgBrushSelect::OnDestroy() {
    if (svc::MainFrame* f = svc::mainFrame()) {
        f->tool = 1;
        f->toolMode = 0;
    }
    if (actdoc && actdoc->kernel2D && kept.GetWidth() > 0) actdoc->kernel2D->photo = kept;
    if (actdoc) {
        if (auto* v = actdoc->GetViewEdit3D<CViewEdit3D>(); v && v->m_hWnd) v->DrawScene();
        if (CFaceView* p = actdoc->GetViewOrigPhoto<CFaceView>(); p && p->m_hWnd) p->FitInView();
    }
    CDialog::OnDestroy();
}
