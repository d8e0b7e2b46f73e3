#pragma once
// The photo without marks: the working picture at its own zoom and pan. In
// the clone-brush sub-mode a click here picks the photo pixel the brush
// copies from, and a cross follows the brush's sample point.

#include "views/faceview.h"

class CViewOrigPhoto : public CFaceView {
    DECLARE_DYNCREATE(CViewOrigPhoto)
public:
    CViewOrigPhoto(CFaceDoc* doc, int paneId);

    void OnDraw(CDC* dc) override;
    void FitInView() override;
    // The cross at the 3D view's last painted position, the previous one
    // erased (in the clone-brush sub-mode, when the source is picked here).
    void DrawCloneRubber();

    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnMButtonUp(UINT flags, CPoint point) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

private:
    // The clone source at picture point p; false (and a beep) without a
    // texture or a working picture to copy from.
    bool PickCloneSource(const vector2<double>& p);

    DECLARE_MESSAGE_MAP()
};
