// The three status windows as an interface of display operations. The engine
// decides every text; a front end only shows what it is given. Texts are
// Latin-1 and may carry the toolkit's escape codes (ESC b bold, ESC n normal).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "records/catalogue.h"

namespace kr {

class StartupProgress;

// Fields of the status windows. The processor window uses NowRunning ..
// Multitasking, Loopsize and LastResult; the memory window all but the drive
// captions; the drive window shows its nine caption/value rows as
// BlocksizeLow ("From:"), BlocksizeHigh ("To:"), Blocksize, Loopsize, Passes
// (integer values) and LastResult, Minimum, Maximum, Average (texts).
enum class StatusField : uint8_t {
  NowRunning,
  Routine,
  State,
  CpuCache,
  Multitasking,
  BlocksizeLow,
  BlocksizeHigh,
  Blocksize,
  Loopsize,
  Passes,
  LastResult,
  Minimum,
  Maximum,
  Average,
  kCount
};

// One row of a status window: its field, its caption as the window is
// built, whether its value is a text or an integer, and, for the rows whose
// caption the drive window rewrites per test to a fixed text, that text
// (null elsewhere; the first three drive rows take theirs from the test).
struct StatusRow {
  enum class Kind : uint8_t { Text, Number };
  StatusField field;
  const char* caption;
  Kind kind;
  const char* testCaption;
};

// The rows of a section's window in display order; the gauge follows them.
// Every display shows these captions (until a window rewrites one).
std::span<const StatusRow> StatusRows(Section s);

// The display operations. Threading contract: they are called on the thread
// that runs the benchmark (a run's worker), one at a time, never inside a
// timed region. Texts are string_views valid only during the call; a display
// that draws on another thread copies them before it returns. SetBusy(true)
// comes before a run's first status call and SetBusy(false) after its last.
class StatusDisplay {
 public:
  virtual ~StatusDisplay() = default;
  virtual void OpenWindow(Section s) = 0;
  virtual void CloseWindow(Section s) = 0;
  virtual void SetText(Section s, StatusField f, std::string_view text) = 0;
  virtual void SetNumber(Section s, StatusField f, int32_t value) = 0;
  // The caption of a row (the drive window rewrites its captions per test).
  virtual void SetCaption(Section s, StatusField f, std::string_view caption) = 0;
  virtual void ShowRow(Section s, StatusField f, bool shown) = 0;
  virtual void SetGauge(Section s, int32_t current) = 0;  // 0..100
  virtual void SetGaugeText(Section s, std::string_view text) = 0;
  // The program is busy with a run (the application asleep: input off, busy
  // pointer) or idle again. A display without such a state ignores it.
  virtual void SetBusy(bool busy) { (void)busy; }
  // The front end's small progress window for the drive section's
  // "Copy Benchmark files..." and "Delete Benchmark files..." steps (called
  // on the run's thread); null: nothing is shown.
  virtual StartupProgress* CopyProgress() { return nullptr; }
};

// The program busy for the lifetime of the scope: SetBusy(true) on entry,
// SetBusy(false) on every way out.
class BusyScope {
 public:
  explicit BusyScope(StatusDisplay& display) : display_(display) { display_.SetBusy(true); }
  ~BusyScope() { display_.SetBusy(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  StatusDisplay& display_;
};

// Window titles (Latin-1; 0xB7 is the middle dot).
const char* StatusWindowTitle(Section s);

}  // namespace kr
