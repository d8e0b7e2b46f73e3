#include "dialogs/dlgfreetool.h"

#include <vector>

#include "document/facedoc.h"
#include "document/ids.h"
#include "seams/app.h"

BEGIN_MESSAGE_MAP(CDlgFreeTool, CDialog)
ON_WM_HSCROLL()
ON_WM_DESTROY()
END_MESSAGE_MAP()

namespace {
constexpr UINT kPictures[4] = {242, 240, 241, 239};
}

CDlgFreeTool::CDlgFreeTool(CWnd* parent) : CDialog(IDD_DLGFREETOOL, parent) {}

void CDlgFreeTool::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, 1087, slider);
    DDX_Slider(dx, 1087, radius);
    DDX_Radio(dx, 1128, mode);
    if (actdoc) DDX_Check(dx, 1158, actdoc->mirrorTool);
}

void CDlgFreeTool::ReadValues(int& radiusOut, int& shapeOut) {
    if (m_hWnd) UpdateData(TRUE);
    radiusOut = radius;
    shapeOut = mode;
}

void CDlgFreeTool::InitDialog() {
    radius = 10;
    radiusMax = 25;
    if (!slider.m_hWnd) return;
    slider.SetRange(0, radiusMax);
    slider.SetPos(radius);
    slider.SetTicFreq(radiusMax / 10);
}

BOOL CDlgFreeTool::OnInitDialog() {
    CDialog::OnInitDialog();
    InitDialog();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int k = 0; k < 4; ++k) {
        if (!pictures[k].LoadBitmap(kPictures[k])) continue;
        BITMAP bm{};
        pictures[k].GetBitmap(&bm);
        if (bm.bmBitsPixel == 32 && bm.bmWidth > 0 && bm.bmHeight > 0) {
            std::vector<uint32_t> bits(size_t(bm.bmWidth) * size_t(bm.bmHeight));
            const DWORD bytes = DWORD(bits.size() * 4);
            pictures[k].GetBitmapBits(bytes, bits.data());
            // Pure white becomes the button face (the bits are 0x00RRGGBB).
            const uint32_t faceBits = (uint32_t(GetRValue(face)) << 16) | (uint32_t(GetGValue(face)) << 8) | GetBValue(face);
            for (uint32_t& b : bits)
                if ((b & 0xFFFFFFu) == 0xFFFFFFu) b = (b & 0xFF000000u) | faceBits;
            pictures[k].SetBitmapBits(bytes, bits.data());
        }
        if (auto* button = dynamic_cast<CButton*>(GetDlgItem(1128 + k)))
            button->SetBitmap(static_cast<HBITMAP>(pictures[k].GetSafeHandle()));
    }
    if (svc::MainFrame* f = svc::mainFrame()) f->freeTool = 1;
    UpdateData(FALSE);
    SetPos();
    return TRUE;
}

void CDlgFreeTool::SetPos() {
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

void CDlgFreeTool::OnHScroll(UINT code, UINT position, CScrollBar* bar) {
    CWaitCursor wait;
    CDialog::OnHScroll(code, position, bar);
    UpdateData(TRUE);
}

void CDlgFreeTool::OnOK() { DestroyWindow(); }
void CDlgFreeTool::OnCancel() { DestroyWindow(); }

void CDlgFreeTool::OnDestroy() {
    for (CBitmap& b : pictures) b.DeleteObject();
    if (svc::MainFrame* f = svc::mainFrame()) {
        f->tool = 1;
        f->toolMode = 0;
        f->freeTool = 0;
    }
    CDialog::OnDestroy();
}
