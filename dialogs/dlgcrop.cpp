#include "dialogs/dlgcrop.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "document/facedoc.h"
#include "document/ids.h"
#include "document/picture_bytes.h"
#include "fitting/kernel2d.h"
#include "seams/app.h"

namespace {

constexpr int kFrame = 1123;
constexpr double kLittleTurn = 0.05235987755982988;  // 3 degrees

int* target(int* given, int* own) { return given ? given : own; }

// The picture as BMP file bytes.
std::vector<uint8_t> bmpBytes(const CWinBmp& bmp) {
    try {
        const std::string bytes = files::BmpBytes(bmp);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    } catch (...) {
        return {};
    }
}

// The picture turned by a quarter, pixel for pixel as the picture
// library's rotation turns it (left: +pi/2). The pixels wait in scratch (kept
// between turns) while the picture takes its new shape; tiles stay in cache.
void turnQuarter(CWinBmp& bmp, bool left, std::vector<CPixel32>& scratch) {
    if (bmp.GetBitsPerPixel() != 32) {
        bmp.Rotate(left ? std::numbers::pi / 2 : -std::numbers::pi / 2, CPixel32(0, 0, 0, 0));
        return;
    }
    const int w = bmp.GetWidth(), h = bmp.GetHeight();
    scratch.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const CPixel32*>(bmp.GetLine(y));
        std::copy(row, row + w, scratch.begin() + ptrdiff_t(size_t(y) * size_t(w)));
    }
    bmp.Create(h, w, 32, bmp.HasAlpha());
    const CPixel32* src = scratch.data();
    constexpr int kTile = 64;
    for (int v0 = 0; v0 < w; v0 += kTile)
        for (int u0 = 0; u0 < h; u0 += kTile)
            for (int v = v0; v < std::min(w, v0 + kTile); ++v) {
                auto* d = reinterpret_cast<CPixel32*>(bmp.GetLine(v));
                for (int u = u0; u < std::min(h, u0 + kTile); ++u)
                    d[u] = left ? src[size_t(u) * size_t(w) + size_t(w - 1 - v)]
                                : src[size_t(h - 1 - u) * size_t(w) + size_t(v)];
            }
}

}  // namespace

BEGIN_MESSAGE_MAP(CDlgCrop, CDialog)
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_BN_CLICKED(1107, OnBack)
  ON_BN_CLICKED(1098, OnBrowse)
  ON_BN_CLICKED(1153, OnPro)
  ON_BN_CLICKED(1156, OnPro)
  ON_BN_CLICKED(1157, OnPro)
  ON_BN_CLICKED(1115, OnPro)
  ON_CONTROL_RANGE(STN_CLICKED, 370, 379, OnIcon)
END_MESSAGE_MAP()

CDlgCrop::CDlgCrop(CWnd* parent, CWinBmp* photo, int* left, int* top, int* right, int* bottom, int* turns,
                   int* flipLR, int* flipTB, head3* head)
    : CDialog(IDD_CROP, parent), icons_(this, 370, 379, 61262) {
    int* results[7] = {left, top, right, bottom, turns, flipLR, flipTB};
    init(photo, results, head);
}

CDlgCrop::CDlgCrop(UINT templateId, CWnd* parent) : CDialog(templateId, parent), icons_(this, 370, 379, 61262) {
    int* results[7] = {};
    init(nullptr, results, nullptr);
}

void CDlgCrop::init(CWinBmp* photo, int** results, head3* head) {
    photo_ = photo;
    head_ = head;
    for (int i = 0; i < 7; ++i) {
        results_[i] = target(results[i], &own_[i]);
        *results_[i] = 0;
    }
    CFaceDoc* doc = actdoc;
    if (doc) {
        figure = doc->projectFlag == 1 ? 0 : 1;
        const int t = doc->textureSize;
        texture = t == 1024 ? 1 : t == 2048 ? 2 : t == 4096 ? 3 : 0;
        name = doc->state().name.c_str();
        doc->photoNumber = -std::abs(int(doc->photoNumber));
    }
    if (svc::hasApp()) svc::app().state().proMode = 0;
}

int CDlgCrop::DoModal(CWinBmp* photo, svc::CropSettings* s, head3* head) {
    CDlgCrop page(AfxGetMainWnd(), photo, &s->left, &s->top, &s->right, &s->bottom, &s->quarterTurns,
                  &s->mirrorLeftRight, &s->mirrorTopBottom, head);
    return page.DoModal() == IDOK ? int(IDOK) : int(svc::StartPage::kCancel);
}

int CDlgCrop::DoModal() {
    modal_ = true;
    const int result = CDialog::DoModal();
    modal_ = false;
    return result;
}

void CDlgCrop::end(int result) {
    if (modal_) {
        EndDialog(result);
        return;
    }
    DestroyWindow();
    if (svc::MainFrame* frame = svc::mainFrame()) frame->ForgetPage(this);
}

void CDlgCrop::OnCancel() { end(IDCANCEL); }

svc::StartPage& StartPageService() {
    // A page object that never gets a window: each run makes its own page.
    static CDlgCrop* service = new CDlgCrop(UINT(IDD_CROP));
    return *service;
}

void CDlgCrop::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Radio(dx, 1096, figure);
    DDX_Radio(dx, 1152, texture);
    if (svc::hasApp()) DDX_Check(dx, 1115, svc::app().state().proMode);
    DDX_Text(dx, 1114, name);
    DDX_Text(dx, 1140, hint);
}

CSize CDlgCrop::FrameSize() const {
    CWnd* frame = GetDlgItem(kFrame);
    if (!frame) return CSize(0, 0);
    CRect r;
    frame->GetClientRect(&r);
    return CSize(r.Width(), r.Height());
}

CPoint CDlgCrop::FrameOrigin() const {
    CWnd* frame = GetDlgItem(kFrame);
    if (!frame) return CPoint(0, 0);
    CPoint p(0, 0);
    frame->ClientToScreen(&p);
    ScreenToClient(&p);
    return p;
}

void CDlgCrop::layOut() {
    const CSize b = FrameSize();
    if (!photo_ || b.cx <= 0 || b.cy <= 0 || photo_->GetWidth() <= 0 || photo_->GetHeight() <= 0) return;
    const int w = photo_->GetWidth(), h = photo_->GetHeight();
    if (double(w) / h >= double(b.cx) / b.cy) {
        shownWidth = b.cx;
        shownHeight = int(int64_t(b.cx) * h / w);
        scale = double(b.cx) / w;
    } else {
        shownHeight = b.cy;
        shownWidth = int(int64_t(b.cy) * w / h);
        scale = double(b.cy) / h;
    }
    offsetX = (b.cx - shownWidth) / 2;
    offsetY = (b.cy - shownHeight) / 2;
}

BOOL CDlgCrop::OnInitDialog() {
    CDialog::OnInitDialog();
    CFaceDoc* doc = actdoc;
    const int photoNumber = doc ? int(doc->photoNumber) : 0;
    const bool daz = svc::app().state().dazMode != 0;
    auto hide = [this](std::initializer_list<int> ids) {
        for (int id : ids)
            if (CWnd* c = GetDlgItem(id)) c->ShowWindow(SW_HIDE);
    };
    if (photoNumber != 0)
        hide({1152, 1153, 1156, 1157, 1114});
    else
        hide({378, 379});
    if (daz) hide({1096, 1097, 1120, 1159, 1098, 1158});
    SetDlgItemText(1096, "Michael 3");
    SetDlgItemText(1097, "Victoria 4");
    if (photoNumber != 0) hide({1096, 1097, 1120, 1159, 1098, 1158, 1115});
    if (daz && svc::hasApp() && svc::app().DazFigureName() == "Other") {
        hide({1115});
        svc::app().state().proMode = 1;
    }
    layOut();
    hint.Empty();
    UpdateData(FALSE);
    return TRUE;
}

void CDlgCrop::OnPaint() {
    CPaintDC dc(this);
    const CSize b = FrameSize();
    const CPoint o = FrameOrigin();
    dc.FillSolidRect(o.x, o.y, b.cx, b.cy, RGB(212, 208, 200));
    if (photo_ && photo_->GetWidth() > 0) {
        dc.SetStretchBltMode(COLORONCOLOR);
        photo_->DrawInRect(&dc, o.x + offsetX, o.y + offsetY, shownWidth, shownHeight, SRCCOPY);
    }
    onScreen = false;
    DrawRubberRectangle();
}

void CDlgCrop::DrawRubberRectangle() {
    const CPoint o = FrameOrigin();
    CClientDC dc(this);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&pen);
    const int rop = dc.SetROP2(R2_NOT);
    dc.MoveTo(o.x + startX, o.y + startY);
    dc.LineTo(o.x + endX, o.y + startY);
    dc.LineTo(o.x + endX, o.y + endY);
    dc.LineTo(o.x + startX, o.y + endY);
    dc.LineTo(o.x + startX, o.y + startY);
    dc.SetROP2(rop);
    dc.SelectObject(old);
    onScreen = !onScreen;
}

void CDlgCrop::OnLButtonDown(UINT, CPoint point) {
    const CSize b = FrameSize();
    const CPoint p = CPoint(point.x - FrameOrigin().x, point.y - FrameOrigin().y);
    if (p.x >= 0 && p.y >= 0 && p.x < b.cx && p.y < b.cy) {
        if (onScreen) DrawRubberRectangle();
        startX = endX = p.x;
        startY = endY = p.y;
        dragging = true;
        DrawRubberRectangle();
    } else {
        dragging = false;
    }
}

void CDlgCrop::OnMouseMove(UINT flags, CPoint point) {
    const CSize b = FrameSize();
    CPoint p = CPoint(point.x - FrameOrigin().x, point.y - FrameOrigin().y);
    if ((flags & MK_LBUTTON) && dragging) {
        p.x = std::clamp(int(p.x), 0, int(std::max(0L, long(b.cx - 1))));
        p.y = std::clamp(int(p.y), 0, int(std::max(0L, long(b.cy - 1))));
        if (onScreen) DrawRubberRectangle();
        endX = p.x;
        endY = p.y;
        DrawRubberRectangle();
        return;
    }
    if (flags & MK_LBUTTON) return;
    const bool inside = p.x >= 0 && p.y >= 0 && p.x < b.cx && p.y < b.cy;
    CWinApp* app = AfxGetApp();
    HCURSOR cursor = inside && app ? app->LoadCursor(233) : ::LoadCursor(nullptr, IDC_ARROW);
    if (cursor) ::SetCursor(cursor);
    CPoint screen = point;
    ClientToScreen(&screen);
    if (icons_.Hover(screen, hint, keptHint_, hintShown_)) UpdateData(FALSE);
}

void CDlgCrop::OnLButtonUp(UINT, CPoint point) {
    if (!dragging) return;
    const CSize b = FrameSize();
    const CPoint p = CPoint(point.x - FrameOrigin().x, point.y - FrameOrigin().y);
    const int x = std::clamp(int(p.x), 0, int(std::max(0L, long(b.cx - 1))));
    const int y = std::clamp(int(p.y), 0, int(std::max(0L, long(b.cy - 1))));
    if (x != endX || y != endY) {
        if (onScreen) DrawRubberRectangle();
        endX = x;
        endY = y;
        DrawRubberRectangle();
    }
}

BOOL CDlgCrop::PreTranslateMessage(MSG* msg) {
    pages::ForwardMouseMove(this, msg);
    return CDialog::PreTranslateMessage(msg);
}

void CDlgCrop::showHint(const CString& text) {
    hint = text;
    UpdateData(FALSE);
}

void CDlgCrop::OnIcon(UINT id) {
    if (!pages::IconClicked(this, icons_, id)) return;
    svc::MainFrame* frame = svc::mainFrame();
    svc::FaceApp& app = svc::app();
    switch (id) {
        case 370: quarterTurn(true); break;
        case 371: quarterTurn(false); break;
        case 372: flip(true); break;
        case 373: flip(false); break;
        case 374:
            if (frame) frame->OnNotes();
            break;
        case 375:
            app.Help(0, "pdf");
            break;
        case 376:
            app.Help(0, "wmv");
            break;
        case 377:
            app.OnAppAboutShort();
            break;
        case 378: littleTurn(true); break;
        case 379: littleTurn(false); break;
        default: break;
    }
}

void CDlgCrop::quarterTurn(bool left) {
    if (!photo_) return;
    CWaitCursor wait;
    turnQuarter(*photo_, left, turnScratch_);
    layOut();
    *results_[4] = (*results_[4] + (left ? 1 : 3)) % 4;
    // Turns are re-applied before the flips: a flip made before this turn
    // is the other flip after it.
    std::swap(*results_[5], *results_[6]);
    const CSize b = FrameSize();
    if (b.cx > 0 && b.cy > 0) {
        auto turn = [&](int& x, int& y) {
            const int64_t X = x, Y = y, W = b.cx, H = b.cy;
            if (left) {
                x = int(Y * W / H);
                y = int(H * (W - X) / W);
            } else {
                x = int(W * (H - Y) / H);
                y = int(H * X / W);
            }
        };
        turn(startX, startY);
        turn(endX, endY);
    }
    Invalidate();
    UpdateWindow();
}

void CDlgCrop::flip(bool leftRight) {
    if (!photo_) return;
    CWaitCursor wait;
    const int w = photo_->GetWidth(), h = photo_->GetHeight();
    if (leftRight) {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w / 2; ++i) {
                const CPixel32 a = photo_->GetPixel(i, j);
                photo_->SetPixel(i, j, photo_->GetPixel(w - 1 - i, j));
                photo_->SetPixel(w - 1 - i, j, a);
            }
    } else {
        for (int j = 0; j < h / 2; ++j)
            for (int i = 0; i < w; ++i) {
                const CPixel32 a = photo_->GetPixel(i, j);
                photo_->SetPixel(i, j, photo_->GetPixel(i, h - 1 - j));
                photo_->SetPixel(i, h - 1 - j, a);
            }
    }
    int& flag = *results_[leftRight ? 5 : 6];
    flag = flag ? 0 : 1;
    const CSize b = FrameSize();
    if (leftRight) {
        startX = b.cx - startX;
        endX = b.cx - endX;
    } else {
        startY = b.cy - startY;
        endY = b.cy - endY;
    }
    Invalidate();
    UpdateWindow();
}

void CDlgCrop::littleTurn(bool left) {
    if (!photo_) return;
    CWaitCursor wait;
    const double a = left ? kLittleTurn : -kLittleTurn;
    photo_->Rotate(a, CPixel32(0, 0, 0, 0));
    smallTurn = true;
    const CSize b = FrameSize();
    const double s = std::fabs(std::sin(a)), c = std::fabs(std::cos(a));
    shownWidth = int((b.cx * s + b.cy * c + b.cx) / 2);
    shownHeight = int((b.cy * s + b.cx * c + b.cy) / 2);
    offsetX = (b.cx - shownWidth) / 2;
    offsetY = (b.cy - shownHeight) / 2;
    startX = startY = endX = endY = 0;
    Invalidate();
    UpdateWindow();
}

void CDlgCrop::OnOK() {
    UpdateData(TRUE);
    CFaceDoc* doc = actdoc;
    svc::AppState& state = svc::app().state();
    const std::string dazFigure = svc::app().DazFigureName();
    if (photo_ && photo_->GetWidth() > 0 && photo_->GetHeight() > 0) {
        const int w = photo_->GetWidth(), h = photo_->GetHeight();
        if (smallTurn && doc) {
            // The turned pixels are what the user marks: the photo record
            // becomes that picture, with every turn and flip in it.
            std::vector<uint8_t> bytes = bmpBytes(*photo_);
            if (!bytes.empty()) {
                doc->kernel2D->SetFileBytes(std::move(bytes));
                *results_[4] = *results_[5] = *results_[6] = 0;
            }
        }
        if (startX == endX || startY == endY || shownWidth <= 0 || shownHeight <= 0) {
            *results_[0] = 0;
            *results_[1] = 0;
            *results_[2] = w;
            *results_[3] = h;
        } else {
            auto toPhoto = [&](int v, int offset, int shown, int size) {
                const int64_t p = int64_t(v - offset) * size / shown;
                return int(std::clamp<int64_t>(p, 0, size - 1));
            };
            const int x0 = toPhoto(startX, offsetX, shownWidth, w), x1 = toPhoto(endX, offsetX, shownWidth, w);
            const int y0 = toPhoto(startY, offsetY, shownHeight, h), y1 = toPhoto(endY, offsetY, shownHeight, h);
            *results_[0] = std::min(x0, x1);
            *results_[1] = std::min(y0, y1);
            *results_[2] = std::max(x0, x1) + 1;
            *results_[3] = std::max(y0, y1) + 1;
            photo_->Crop(*results_[0], *results_[1], *results_[2], *results_[3]);
        }
    }
    if (doc) {
        if (figure == 2) {
            doc->projectFlag = 0;
            doc->templateId = 100;
            doc->SaveTHEResource();
        } else {
            doc->projectFlag = figure == 0 ? 1 : 0;
            doc->templateId = doc->projectFlag == 1 ? 101 : 102;
        }
        if (state.dazMode && svc::hasApp()) {
            if (dazFigure == "M3") doc->templateId = 101;
            if (dazFigure == "V4") doc->templateId = 102;
        }
        if (state.pictureEditor) doc->templateId = 122;
        static const int sizes[4] = {512, 1024, 2048, 4096};
        doc->textureSize = sizes[std::clamp(texture, 0, 3)];
        if (svc::hasApp() && ((state.dazMode && dazFigure == "Other") || (!state.dazMode && doc->templateId == 100)))
            state.proMode = 1;
        doc->state().name = std::string(name.View());
        doc->DeleteAllUndoFiles();
    }
    UpdateData(FALSE);
    end(IDOK);
}

void CDlgCrop::OnBack() {
    if (actdoc) actdoc->DeleteAllUndoFiles();
    *results_[0] = -99;
    end(IDCANCEL);
    svc::sendStep(2);
}

void CDlgCrop::OnBrowse() {
    UpdateData(TRUE);
    const int kept = figure;
    figure = 2;
    UpdateData(FALSE);
    CFileDialog dialog(TRUE, "*.obj", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, "Head OBJ (*.obj)|*.obj||",
                       this);
    if (dialog.DoModal() == IDOK) {
        const CString path = dialog.GetPathName();
        if (actdoc) actdoc->LoadXXXFile(path, true);
        SetDlgItemText(1158, path);
    } else {
        figure = kept;
    }
    UpdateData(FALSE);
}
