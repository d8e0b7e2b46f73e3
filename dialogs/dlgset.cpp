#include "dialogs/dlgset.h"

#include "document/facedoc.h"
#include "document/ids.h"
#include "fitting/kernel3d.h"
#include "model/head.h"
#include "seams/app.h"

BEGIN_MESSAGE_MAP(CDlgSet, CDialog)
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
END_MESSAGE_MAP()

CDlgSet::CDlgSet(CWnd* parent) : CDialog(IDD_DLGSET, parent) {
    head_ = actdoc && actdoc->kernel3D ? actdoc->kernel3D->head : actual_head3;
    if (head_) engine_ = std::make_unique<morph::RegionMorphEngine>(*head_);
}

CDlgSet::~CDlgSet() {
    if (m_hWnd) DestroyWindow();
}

BOOL CDlgSet::CreateHidden(CWnd* parent) {
    if (!Create(IDD_DLGSET, parent)) return FALSE;
    ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CDlgSet::OnInitDialog() {
    CDialog::OnInitDialog();
    m_Side.SetRange(0, 2);
    m_Side.SetTicFreq(1);
    m_Side.SetPos(1);
    return TRUE;
}

void CDlgSet::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, 1087, m_Range);
    DDX_Control(dx, 1092, m_Side);
    DDX_Control(dx, 1102, m_RangeSelector);
    DDX_Control(dx, 1103, m_Softness);
    DDX_Slider(dx, 1087, m_RangePos);
    DDX_Slider(dx, 1092, m_SidePos);
    DDX_Slider(dx, 1102, m_RangeSelectorPos);
    DDX_Slider(dx, 1103, m_SoftnessPos);
    DDX_Text(dx, 1150, m_Val1);
    DDX_Text(dx, 1151, m_Val2);
}

void CDlgSet::SetMode(const CString& name, const CString& caption, const CString& text, int rangePosition,
                      int softnessPosition) {
    if (!m_hWnd) return;
    SetWindowText(caption);
    SetDlgItemText(1091, text);
    if (engine_) engine_->SetName(std::string(name.View()));
    m_Range.SetRange(-50, 50);
    m_Range.SetTicFreq(5);
    for (CSliderCtrl* s : {&m_RangeSelector, &m_Softness}) {
        s->SetRange(0, 4);
        s->SetTicFreq(1);
    }
    m_RangeSelector.SetPos(rangePosition < 0 ? 2 : rangePosition);
    m_Softness.SetPos(softnessPosition < 0 ? 2 : softnessPosition);
    SetMode();
}

void CDlgSet::SetMode() {
    if (!m_hWnd) return;
    CWaitCursor wait;
    for (int id : {1150, 1151, 1152, 1153, 1154, 1155, 1112, 1102})
        if (CWnd* c = GetDlgItem(id)) c->ShowWindow(SW_SHOW);
    UpdateData(TRUE);
    m_RangePos = 0;
    m_Range.SetPos(0);
    if (engine_) {
        engine_->sidePosition = m_SidePos;
        engine_->rangePosition = m_RangeSelectorPos;
        engine_->softnessPosition = m_SoftnessPos;
        engine_->SetMode();
    }
    UpdateData(FALSE);
}

void CDlgSet::InitTransformation() {
    if (engine_) engine_->InitTransformation();
}

char CDlgSet::DoTransformation(double amount, bool onlyGathered) {
    return engine_ && engine_->DoTransformation(amount, onlyGathered) ? 1 : 0;
}

int CDlgSet::GetIndex_in_m_trafo(int line, int n) const { return engine_ ? engine_->GetIndex_in_m_trafo(line, n) : -1; }

void CDlgSet::OKK() {
    if (engine_) engine_->OKK();
}

void CDlgSet::OnCancel() {
    OKK();
    if (m_hWnd) ShowWindow(SW_HIDE);
    if (svc::MainFrame* frame = svc::mainFrame()) {
        frame->tool = 1;
        frame->toolMode = 0;
    }
}

void CDlgSet::Run(std::span<const morph::RegionStep> steps, int delta) {
    const double a = 10.0 * delta;
    for (const morph::RegionStep& s : steps) {
        SetMode(CString(morph::StepName(s).c_str()), "xx", "xx", s.range, s.softness);
        DoTransformation(a * s.factor, true);
    }
}
