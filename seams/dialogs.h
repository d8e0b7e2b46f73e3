#pragma once
// What the layers below the dialogs use of them: the shared progress window
// and the start page (the model and fitting code), the marking pages the
// views call back while they are open, and the tool palettes the 3D view
// reads. The real dialogs implement these interfaces; tests use the fakes
// in tests/support/.

#include <string>

class CBrush2;
class CWinBmp;
class head3;

namespace svc {

class Progress {
public:
    virtual ~Progress() = default;
    // Non-zero when the window was created.
    virtual int Open(int low, int high, const std::string& caption, bool stopButton) = 0;
    // Advances the bar; returns the go-on flag (0 after Stop).
    virtual int Step(int unused) = 0;
    virtual int Close() = 0;
};

// Progress reports that go nowhere, for work done without a window.
class NullProgress : public Progress {
public:
    int Open(int, int, const std::string&, bool) override { return 1; }
    int Step(int) override { return 1; }
    int Close() override { return 1; }
};

struct CropSettings {
    int left = 0, top = 0, right = 0, bottom = 0;
    int quarterTurns = 0;
    int mirrorLeftRight = 0;
    int mirrorTopBottom = 0;
};

// The modal start page.
class StartPage {
public:
    enum { kCancel = 2 };
    virtual ~StartPage() = default;
    // Runs the page over the working photo; kCancel when the user cancels.
    virtual int DoModal(CWinBmp* photo, CropSettings* settings, head3* head) = 0;
};

// The step-1 feature-point page, as the views call it back.
class PointPage {
public:
    virtual ~PointPage() = default;
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
class CurvePage {
public:
    virtual ~CurvePage() = default;
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
class PrepPage {
public:
    virtual ~PrepPage() = default;
    // After an element was added or removed: the state icons anew.
    virtual void RefreshLists() = 0;
    // After a placement: the next missing element while walking.
    virtual void GetNextFeatureIfNeed() = 0;
};

// The free-hand tool palette, as the 3D view reads it on each pull.
class FreeToolPalette {
public:
    virtual ~FreeToolPalette() = default;
    // The radius and the falloff (0..3) as its controls show them.
    virtual void ReadValues(int& radius, int& shape) = 0;
};

// The clone-brush palette, as the 3D view reads it on each stroke.
class BrushPalette {
public:
    virtual ~BrushPalette() = default;
    // The brush its sliders make now.
    virtual const CBrush2& ReadBrush() = 0;
};

namespace detail {
inline Progress* progress = nullptr;
inline StartPage* startPage = nullptr;
}  // namespace detail

// Never null: without a progress window reports go to a null one.
inline Progress& progress() {
    static NullProgress none;
    return detail::progress ? *detail::progress : none;
}
inline void setProgress(Progress* p) { detail::progress = p; }

// Null while no start page is installed.
inline StartPage* startPage() { return detail::startPage; }
inline void setStartPage(StartPage* p) { detail::startPage = p; }

}  // namespace svc
