// The status-window operations of the three sections: every text they show.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/context.h"

namespace kr {

// Processor window.
void ShowProcessorTest(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                       int32_t multitaskingOn, int32_t loopSize, bool hideLoopSize, bool hideLastResult);
void ClearProcessorStatus(Context& ctx);
void ShowProcessorResult(Context& ctx, double value, std::string_view unit);
void StepProcessorProgress(Context& ctx);

// Memory window.
void ShowMemoryTest(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                    int32_t multitaskingOn, int32_t blockSizeLow, int32_t blockSizeHigh, int32_t loopSize);
void ClearMemoryStatus(Context& ctx);
void ShowMemoryLast(Context& ctx, double mbPerSecond);
void ShowMemoryMin(Context& ctx, double mbPerSecond);
void ShowMemoryMax(Context& ctx, double mbPerSecond);
void ShowMemoryAverage(Context& ctx, double mbPerSecond);
void StepMemoryProgress(Context& ctx);

// Harddrive window.
void ShowDriveTest(Context& ctx, std::string_view nowRunning, std::string_view routine, std::string_view captionLow,
                   std::string_view captionHigh, std::string_view caption, int32_t cacheOn, int32_t multitaskingOn,
                   int32_t value1, int32_t value2, int32_t value3, int32_t value4, int layout);
void ClearDriveStatus(Context& ctx);
void ShowDriveMin(Context& ctx, double mbPerSecond);
void ShowDriveMax(Context& ctx, double mbPerSecond);
void ShowDriveAverage(Context& ctx, double mbPerSecond);
void StepDriveProgress(Context& ctx);

// Sets the "State:" field of a section's window.
void SetState(Context& ctx, Section s, std::string_view text);

// Shows the events within a test in the status windows: a phase's test lines
// and state, each figure with a unit as the last result, and "Done" when a
// card that sets it closes. A section that starts opens its window with the
// progress at its first test (k/N of the section's count, ctx.count*); a
// section that ends clears and closes it.
class StatusPresenter : public RunListener {
 public:
  explicit StatusPresenter(Context& ctx) : ctx_(ctx) {}
  void PhaseStarted(const TestPhase& phase) override;
  void FigureMeasured(const TestResult& result, const TestFigure& figure) override;
  void CardClosed(const TestResult& result) override;
  void SectionStarted(Section section) override;
  void SectionFinished(Section section, const ScoreSlot& total) override;

 private:
  Context& ctx_;
};

}  // namespace kr
