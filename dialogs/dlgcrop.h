#pragma once
// The start page (modal through the photo kernel, modeless from the frame):
// the photo is turned, flipped and cropped in place; figure, name, texture
// size and the "Pro" switch go to the document and the application.
// The main frame owns it and deletes it once its window is gone.

#include "dialogs/page_icons.h"
#include <vector>

#include "framework/ui.h"
#include "picture/winbmp.h"
#include "seams/dialogs.h"

class head3;

class CDlgCrop : public CDialog, public svc::StartPage {
public:
    // The seven results: crop left, top, right, bottom, quarter turns,
    // left-right flip, top-bottom flip (all set to 0 here).
    CDlgCrop(CWnd* parent, CWinBmp* photo, int* left, int* top, int* right, int* bottom, int* turns, int* flipLR,
             int* flipTB, head3* head);
    // A page on no photo, its results kept inside.
    explicit CDlgCrop(UINT templateId = 232, CWnd* parent = nullptr);

    // svc::StartPage: a page of its own over the photo, run modally.
    int DoModal(CWinBmp* photo, svc::CropSettings* settings, head3* head) override;
    int DoModal() override;
    void OnCancel() override;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnBack();
    void OnBrowse();
    void OnPro() {}
    void OnPaint();
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawRubberRectangle();
    void OnIcon(UINT id);

    // The photo's place in the frame 1123: offsets, displayed size, scale.
    int offsetX = 0, offsetY = 0, shownWidth = 0, shownHeight = 0;
    double scale = 1.0;
    // Crop corners in frame coordinates.
    int startX = 0, startY = 0, endX = 0, endY = 0;
    bool onScreen = false, dragging = false;
    int figure = 1;   // 0 male, 1 female, 2 prepared head
    int texture = 0;  // 512, 1024, 2048, 4096
    CString name;
    CString hint;
    // The picture was turned a little (its pixels are what the user marks).
    bool smallTurn = false;

    // The frame's client size and its origin in the page's client area.
    CSize FrameSize() const;
    CPoint FrameOrigin() const;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void layOut();
    void quarterTurn(bool left);
    void flip(bool leftRight);
    void littleTurn(bool left);
    void showHint(const CString& text);
    DECLARE_MESSAGE_MAP()

private:
    void init(CWinBmp* photo, int** results, head3* head);
    // Ends the page: the modal loop, or the modeless window.
    void end(int result);
    bool modal_ = false;
    CWinBmp* photo_ = nullptr;
    int* results_[7] = {};
    int own_[7] = {};
    head3* head_ = nullptr;
    CString keptHint_;
    bool hintShown_ = false;
    pages::IconBar icons_;
    std::vector<CPixel32> turnScratch_;
};

// The start page the photo kernel runs (an object without a window).
svc::StartPage& StartPageService();
