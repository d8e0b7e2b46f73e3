#pragma once
// What the framework needs of the desktop: message boxes, beeps, the wait
// cursor, waiting, the clock and the log. A windowing backend implements
// Backend; the headless one below is the default and answers from a script.
#include <cstdint>
#include <ctime>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "framework/wintypes.h"

namespace brv {

struct MessageBoxRequest {
  std::string text;
  std::string caption;
  UINT type = 0;             // the MB_ flags as given
  std::vector<int> buttons;  // the results of the buttons, left to right (IDOK, IDYES, ...)
  int defaultButton = 0;     // index into buttons
};

// The buttons a message box type shows, as their results, and the index of
// the default one (MB_DEFBUTTON2/3, else the first).
MessageBoxRequest MakeMessageBoxRequest(std::string_view text, std::string_view caption, UINT type);

class Backend {
 public:
  virtual ~Backend() = default;
  // Shows the box and returns the result of the pressed button.
  virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
  virtual void Beep(UINT type) = 0;
  // Called with true when the first wait cursor starts, false when the last ends.
  virtual void SetWaitCursor(bool on) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  // Milliseconds of a steady clock.
  virtual uint64_t TickCount() = 0;
  // The wall clock.
  virtual std::time_t Now() = 0;
  virtual void Log(std::string_view line) = 0;
};

// The backend in use (the default headless one unless another was set).
Backend& CurrentBackend();
// Installs backend (null: the default headless one); returns the previous one.
Backend* SetBackend(Backend* backend);

class HeadlessBackend : public Backend {
 public:
  struct Event {
    enum Kind { kMessageBox, kBeep, kWaitCursor, kSleep, kLog } kind;
    std::string caption;  // message box caption
    std::string text;     // message box text or log line
    UINT type = 0;        // message box or beep type
    int value = 0;        // message box result, cursor on/off, sleep milliseconds
  };

  HeadlessBackend();

  // The answers for the next message boxes, in order: each a result that the
  // box offers (IDYES, ...). Without a script a box takes its default button.
  void ScriptAnswers(std::vector<int> answers);
  void AddAnswer(int answer) { answers_.push_back(answer); }
  int PendingAnswers() const { return static_cast<int>(answers_.size()); }
  // Scripted answers that the box did not offer (the box then took its default).
  const std::vector<std::string>& ScriptErrors() const { return scriptErrors_; }

  const std::vector<Event>& Events() const { return events_; }
  std::vector<Event> EventsOf(Event::Kind kind) const;
  bool WaitCursorShown() const { return waitCursor_; }

  // The fake clock: Sleep advances it at once; nothing really waits.
  void SetClock(std::time_t wallClock, uint64_t tickCount = 0);
  void AdvanceClock(uint64_t milliseconds) { elapsedMs_ += milliseconds; }
  // Whether log lines also go to the standard error stream.
  void EchoLog(bool on) { echo_ = on; }

  // Empties the script, the events and the errors and sets the clock back.
  void Reset();

  int ShowMessageBox(const MessageBoxRequest& request) override;
  void Beep(UINT type) override;
  void SetWaitCursor(bool on) override;
  void Sleep(DWORD milliseconds) override;
  uint64_t TickCount() override { return startTicks_ + elapsedMs_; }
  std::time_t Now() override { return startTime_ + static_cast<std::time_t>(elapsedMs_ / 1000); }
  void Log(std::string_view line) override;

 private:
  std::deque<int> answers_;
  std::vector<std::string> scriptErrors_;
  std::vector<Event> events_;
  bool waitCursor_ = false;
  bool echo_ = false;
  std::time_t startTime_ = 0;
  uint64_t startTicks_ = 0;
  uint64_t elapsedMs_ = 0;
};

// The default backend (what CurrentBackend gives when none was set).
HeadlessBackend& DefaultHeadlessBackend();

}  // namespace brv
