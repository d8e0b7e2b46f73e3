#include "framework/backend.h"

#include <algorithm>
#include <cstdio>

#include "framework/system.h"

namespace brv {

namespace {
Backend* g_backend = nullptr;

// 7 March 2005 09:05 UTC: a fixed start, so runs repeat exactly.
constexpr std::time_t kFakeStart = 1110186300;
}  // namespace

MessageBoxRequest MakeMessageBoxRequest(std::string_view text, std::string_view caption, UINT type) {
  MessageBoxRequest r;
  r.text = text;
  r.caption = caption;
  r.type = type;
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: r.buttons = {IDOK, IDCANCEL}; break;
    case MB_ABORTRETRYIGNORE: r.buttons = {IDABORT, IDRETRY, IDIGNORE}; break;
    case MB_YESNOCANCEL: r.buttons = {IDYES, IDNO, IDCANCEL}; break;
    case MB_YESNO: r.buttons = {IDYES, IDNO}; break;
    case MB_RETRYCANCEL: r.buttons = {IDRETRY, IDCANCEL}; break;
    default: r.buttons = {IDOK}; break;
  }
  int wanted = static_cast<int>((type & MB_DEFMASK) >> 8);
  r.defaultButton = wanted < static_cast<int>(r.buttons.size()) ? wanted : 0;
  return r;
}

Backend& CurrentBackend() { return g_backend ? *g_backend : DefaultHeadlessBackend(); }

Backend* SetBackend(Backend* backend) {
  Backend* previous = &CurrentBackend();
  g_backend = backend;
  return previous;
}

HeadlessBackend& DefaultHeadlessBackend() {
  static HeadlessBackend backend;
  return backend;
}

HeadlessBackend::HeadlessBackend() { Reset(); }

void HeadlessBackend::Reset() {
  answers_.clear();
  scriptErrors_.clear();
  events_.clear();
  waitCursor_ = false;
  startTime_ = kFakeStart;
  startTicks_ = 0;
  elapsedMs_ = 0;
  modalScripts_.clear();
  modalScripted_.clear();
  fileDialogScripts_.clear();
  urls_.clear();
  urlsOpen_ = true;
  exitCode_.reset();
  cursor_ = nullptr;
  presents_ = presentsNow_ = 0;
  busyShows_.clear();
  metrics_ = ScreenMetrics();
  WriteClipboard(ClipboardContents());
}

void HeadlessBackend::ScriptAnswers(std::vector<int> answers) {
  answers_.assign(answers.begin(), answers.end());
}

std::vector<HeadlessBackend::Event> HeadlessBackend::EventsOf(Event::Kind kind) const {
  std::vector<Event> out;
  for (const Event& e : events_)
    if (e.kind == kind) out.push_back(e);
  return out;
}

void HeadlessBackend::SetClock(std::time_t wallClock, uint64_t tickCount) {
  startTime_ = wallClock;
  startTicks_ = tickCount;
  elapsedMs_ = 0;
}

int HeadlessBackend::ShowMessageBox(const MessageBoxRequest& request) {
  int result = request.buttons.empty() ? IDOK : request.buttons[request.defaultButton];
  if (!answers_.empty()) {
    int answer = answers_.front();
    answers_.pop_front();
    if (std::find(request.buttons.begin(), request.buttons.end(), answer) != request.buttons.end()) {
      result = answer;
    } else {
      scriptErrors_.push_back("answer " + std::to_string(answer) + " not offered by \"" + request.text + "\"");
    }
  }
  events_.push_back({Event::kMessageBox, request.caption, request.text, request.type, result});
  return result;
}

void HeadlessBackend::Beep(UINT type) { events_.push_back({Event::kBeep, {}, {}, type, 0}); }

void HeadlessBackend::SetWaitCursor(bool on) {
  waitCursor_ = on;
  events_.push_back({Event::kWaitCursor, {}, {}, 0, on ? 1 : 0});
}

void HeadlessBackend::Sleep(DWORD milliseconds) {
  elapsedMs_ += milliseconds;
  events_.push_back({Event::kSleep, {}, {}, 0, static_cast<int>(milliseconds)});
}

void HeadlessBackend::Log(std::string_view line) {
  events_.push_back({Event::kLog, {}, std::string(line), 0, 0});
  if (echo_) std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

}  // namespace brv
