// The small progress window of start-up and of the drive section's data-file
// copy, as the engine talks to it; each front end implements it.
#pragma once

#include <cstdint>
#include <string_view>

namespace kr {

// The small start-up window: a status text and a gauge (0..100).
class StartupProgress {
 public:
  virtual ~StartupProgress() = default;
  virtual void Open() = 0;
  virtual void SetText(std::string_view text) = 0;
  virtual void SetGauge(int32_t percent) = 0;
  // Waits the given fiftieths of a second between two check steps, so the
  // user can read the window. Called only when quick start is off.
  virtual void Pause(int32_t ticks) = 0;
  virtual void Close() = 0;
};

// A start-up window that shows nothing and never waits.
class SilentProgress : public StartupProgress {
 public:
  void Open() override {}
  void SetText(std::string_view) override {}
  void SetGauge(int32_t) override {}
  void Pause(int32_t) override {}
  void Close() override {}
};

}  // namespace kr
