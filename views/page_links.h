#pragma once
// What the views call on the two marking pages. The pages implement these
// beside their dialog class; the views find them through the main frame's
// page pointers and call them only while the page's window exists.

class CMainFrame;

namespace views {

// The step-1 feature-point page.
class PointPageCalls {
public:
    virtual ~PointPageCalls() = default;
    // Reads the page's controls back.
    virtual void RefreshLists() = 0;
    // Puts the controls up to date with the page's values.
    virtual void UpdateControls() = 0;
    // Chooses the next point to place.
    virtual void GetNextFeatureIfNeed() = 0;
    // Flashes the hint of the views' current row; stops it.
    virtual void StartFlash() = 0;
    virtual void StopFlash() = 0;
};

// The step-2 feature-curve page.
class CurvePageCalls {
public:
    virtual ~CurvePageCalls() = default;
    virtual void RefreshLists() = 0;
    // Redraws the page.
    virtual void Redraw() = 0;
    // Chooses the next line to draw.
    virtual void GetNextFeatureIfNeed() = 0;
    virtual void StartFlash() = 0;
    virtual void StopFlash() = 0;
    // The next GetNextFeatureIfNeed starts from the first line.
    virtual void RestartSearch() = 0;
    // Clears the flashing flag (the hint keeps its text).
    virtual void ClearFlashing() = 0;
};

// The template-preparation window.
class PrepPageCalls {
public:
    virtual ~PrepPageCalls() = default;
    // After an element was added or removed: the state icons anew.
    virtual void RefreshLists() = 0;
    // After a placement: the next missing element while walking.
    virtual void GetNextFeatureIfNeed() = 0;
};

// The frame's page while its window exists, else null.
PointPageCalls* OpenPointPage(const CMainFrame* frame);
CurvePageCalls* OpenCurvePage(const CMainFrame* frame);
PrepPageCalls* OpenPrepPage(const CMainFrame* frame);

}  // namespace views
