#pragma once
// The program's state as a text file for a player that drives the real
// program from outside (xdotool): every top-level window and control with
// its screen rectangle, text and state, each view with its maps from photo
// pixels and head space to its client, the document's stage and template,
// the frame's tool and layout and the asked row, and the message boxes and
// file dialogs open. Written as JSON, replaced whole (a rename), only when
// it changed.

#include <functional>
#include <string>
#include <vector>

#include "framework/geometry.h"
#include "framework/winmsg.h"

// A message box or file dialog of the window system's, a menu bar or an
// open menu with its items as buttons (screen coordinates).
struct OpenDialogInfo {
    std::string kind;  // "message", "file", "menubar" or "menu"
    std::string title, text;
    RECT rect{};
    struct Button {
        std::string text;
        RECT rect{};
        bool isDefault = false;
    };
    std::vector<Button> buttons;
    RECT nameEdit{};
    bool nameEditFocused = false;
};

// How far the window system shows a top-level window from where the
// framework's screen coordinates put it (a window manager's frame).
using ScreenShift = std::function<POINT(HWND topLevel)>;

// The state now (no sequence number).
std::string DescribeProgramState(const std::vector<OpenDialogInfo>& dialogs, const ScreenShift& shift = nullptr);

class ProgramStateFile {
public:
    ProgramStateFile(std::string path, ScreenShift shift) : path_(std::move(path)), shift_(std::move(shift)) {}
    // Writes the state when it differs from the last written; true then.
    bool Update(const std::vector<OpenDialogInfo>& dialogs);
    int Writes() const { return writes_; }

private:
    std::string path_;
    ScreenShift shift_;
    std::string last_;
    int writes_ = 0;
};
