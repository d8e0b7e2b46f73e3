#pragma once
// What the model and fitting code use of the dialogs: the shared progress
// window and the start page. The real dialogs implement these interfaces;
// tests use the fakes in tests/support/.

#include <string>

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
