// The windowing part of the backends: the defaults of Backend and the
// headless backend's scripts for modal dialogs and file dialogs.
#include <algorithm>
#include <cstdlib>

#include "framework/backend.h"
#include "framework/filedialog.h"
#include "framework/window_state.h"

namespace brv {

int Backend::RunFileDialog(FileDialogSession&) { return IDCANCEL; }

void Backend::Exit(int code) { std::exit(code); }

void HeadlessBackend::Present(HWND, const RECT&, bool now) {
  ++presents_;
  if (now) ++presentsNow_;
}

namespace {
std::string DialogName(HWND dialog) {
  WindowRecord* r = Record(dialog);
  if (!r) return "dialog";
  std::string name = "dialog " + std::to_string(r->dialogTemplate);
  if (!r->text.empty()) name += " \"" + r->text + "\"";
  return name;
}
}  // namespace

bool HeadlessBackend::WaitForInput(HWND modalWindow, uint64_t) {
  // Time stands still here: only the test moves the clock. Without a modal
  // dialog there is nothing to wait for.
  if (!modalWindow) return false;
  if (std::find(modalScripted_.begin(), modalScripted_.end(), modalWindow) != modalScripted_.end()) {
    AddScriptError(DialogName(modalWindow) + " was left open by its script");
    return false;
  }
  if (modalScripts_.empty()) {
    AddScriptError(DialogName(modalWindow) + " ran without a script");
    return false;
  }
  auto script = std::move(modalScripts_.front());
  modalScripts_.pop_front();
  modalScripted_.push_back(modalWindow);
  script(modalWindow);
  return true;
}

int HeadlessBackend::RunFileDialog(FileDialogSession& session) {
  if (fileDialogScripts_.empty()) {
    AddScriptError("file dialog \"" + session.Title() + "\" ran without a script");
    return IDCANCEL;
  }
  auto script = std::move(fileDialogScripts_.front());
  fileDialogScripts_.pop_front();
  int answer = script(session);
  if (answer == IDOK && !session.Accepted()) {
    AddScriptError("file dialog \"" + session.Title() + "\": no name was accepted");
    return IDCANCEL;
  }
  return answer;
}

bool HeadlessBackend::OpenUrl(std::string_view url) {
  urls_.emplace_back(url);
  return urlsOpen_;
}

void HeadlessBackend::Exit(int code) {
  exitCode_ = code;
  State().exited = true;
  throw ProgramExit{code};
}

}  // namespace brv
