#include "engine/status_ops.h"

#include <string>

#include "util/numtext.h"

namespace kr {
namespace {
using F = StatusField;
constexpr Section P = Section::Processor, M = Section::Memory, D = Section::Drive;

const char* OnOff(int32_t v) { return v ? "On" : "Off"; }

std::string BoldValue(double v, std::string_view unit) {
  return "\x1b" "b" + FixedText(v, 100) + "\x1b" "n " + std::string(unit);
}
std::string PlainValue(double v, std::string_view unit) { return FixedText(v, 100) + " " + std::string(unit); }

void Step(Context& ctx, Section s, int32_t total) {
  int32_t& counter = ctx.progress[size_t(s)];
  ++counter;
  ctx.status.SetGaugeText(s, Format("%ld/%ld", long(counter), long(total)));
}
}  // namespace

std::span<const StatusRow> StatusRows(Section s) {
  using K = StatusRow::Kind;
  static constexpr StatusRow kProcessor[] = {
      {F::NowRunning, "Now Running:", K::Text, nullptr},   {F::Routine, "Routine:", K::Text, nullptr},
      {F::State, "State:", K::Text, nullptr},              {F::CpuCache, "CPU Cache:", K::Text, nullptr},
      {F::Multitasking, "Multitasking:", K::Text, nullptr}, {F::Loopsize, "Loopsize:", K::Number, nullptr},
      {F::LastResult, "Last Result:", K::Text, nullptr},
  };
  static constexpr StatusRow kMemory[] = {
      {F::NowRunning, "Now Running:", K::Text, nullptr},       {F::Routine, "Routine:", K::Text, nullptr},
      {F::State, "State:", K::Text, nullptr},                  {F::CpuCache, "CPU Cache:", K::Text, nullptr},
      {F::Multitasking, "Multitasking:", K::Text, nullptr},    {F::BlocksizeLow, "Blocksize Low:", K::Number, nullptr},
      {F::BlocksizeHigh, "Blocksize High:", K::Number, nullptr}, {F::Blocksize, "Blocksize:", K::Number, nullptr},
      {F::Loopsize, "Loopsize:", K::Number, nullptr},          {F::Passes, "Passes:", K::Number, nullptr},
      {F::LastResult, "Last Result:", K::Text, nullptr},       {F::Minimum, "Minimum:", K::Text, nullptr},
      {F::Maximum, "Maximum:", K::Text, nullptr},              {F::Average, "Average:", K::Text, nullptr},
  };
  // The drive window is built with the nine captions "From:" .. "AVG:";
  // every test then rewrites them.
  static constexpr StatusRow kDrive[] = {
      {F::NowRunning, "Now Running:", K::Text, nullptr},
      {F::Routine, "Routine:", K::Text, nullptr},
      {F::State, "State:", K::Text, nullptr},
      {F::CpuCache, "CPU Cache:", K::Text, nullptr},
      {F::Multitasking, "Multitasking:", K::Text, nullptr},
      {F::BlocksizeLow, "From:", K::Number, nullptr},
      {F::BlocksizeHigh, "To:", K::Number, nullptr},
      {F::Blocksize, "Blocksize:", K::Number, nullptr},
      {F::Loopsize, "Loopsize:", K::Number, "Loopsize:"},
      {F::Passes, "Passes:", K::Number, "Passes:"},
      {F::LastResult, "Last Result:", K::Text, "Last Result:"},
      {F::Minimum, "MIN:", K::Text, "Min:"},
      {F::Maximum, "MAX:", K::Text, "Max:"},
      {F::Average, "AVG:", K::Text, "Average:"},
  };
  switch (s) {
    case Section::Processor: return kProcessor;
    case Section::Memory: return kMemory;
    case Section::Drive: return kDrive;
  }
  return {};
}

const char* StatusWindowTitle(Section s) {
  switch (s) {
    case Section::Processor: return "KelvaRANK \xB7 Benchmarking Processor";
    case Section::Memory: return "KelvaRANK \xB7 Benchmarking Memory";
    case Section::Drive: return "KelvaRANK \xB7 Benchmarking Harddrive";
  }
  return "";
}

void SetState(Context& ctx, Section s, std::string_view text) { ctx.status.SetText(s, F::State, text); }

void ShowProcessorTest(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                       int32_t multitaskingOn, int32_t loopSize, bool hideLoopSize, bool hideLastResult) {
  StatusDisplay& st = ctx.status;
  st.SetText(P, F::NowRunning, nowRunning);
  st.SetText(P, F::Routine, routine);
  st.SetText(P, F::State, "Idling");
  st.SetNumber(P, F::Loopsize, loopSize);
  st.SetText(P, F::CpuCache, OnOff(cacheOn));
  st.SetText(P, F::Multitasking, OnOff(multitaskingOn));
  st.ShowRow(P, F::Loopsize, !hideLoopSize);
  st.ShowRow(P, F::LastResult, !hideLastResult);
}

void ClearProcessorStatus(Context& ctx) {
  StatusDisplay& st = ctx.status;
  for (F f : {F::NowRunning, F::Routine, F::State, F::CpuCache, F::Multitasking}) st.SetText(P, f, " ");
  st.SetNumber(P, F::Loopsize, 0);
}

void ShowProcessorResult(Context& ctx, double value, std::string_view unit) {
  ctx.status.SetText(P, F::LastResult, BoldValue(value, unit));
}

void StepProcessorProgress(Context& ctx) { Step(ctx, P, ctx.countProcessor); }

void ShowMemoryTest(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                    int32_t multitaskingOn, int32_t blockSizeLow, int32_t blockSizeHigh, int32_t loopSize) {
  StatusDisplay& st = ctx.status;
  st.SetText(M, F::NowRunning, nowRunning);
  st.SetText(M, F::Routine, routine);
  st.SetText(M, F::State, "Idling");
  for (F f : {F::LastResult, F::Minimum, F::Maximum, F::Average}) st.SetText(M, f, "NA");
  st.SetNumber(M, F::BlocksizeLow, blockSizeLow);
  st.SetNumber(M, F::BlocksizeHigh, blockSizeHigh);
  st.SetNumber(M, F::Blocksize, 0);
  st.SetNumber(M, F::Loopsize, loopSize);
  st.SetNumber(M, F::Passes, 0);
  st.SetText(M, F::CpuCache, OnOff(cacheOn));
  st.SetText(M, F::Multitasking, OnOff(multitaskingOn));
}

void ClearMemoryStatus(Context& ctx) {
  StatusDisplay& st = ctx.status;
  for (F f : {F::NowRunning, F::Routine, F::State, F::CpuCache, F::Multitasking, F::LastResult, F::Minimum,
              F::Maximum, F::Average})
    st.SetText(M, f, " ");
  for (F f : {F::BlocksizeLow, F::BlocksizeHigh, F::Blocksize, F::Loopsize, F::Passes}) st.SetNumber(M, f, 0);
}

void ShowMemoryLast(Context& ctx, double v) { ctx.status.SetText(M, F::LastResult, BoldValue(v, "MB/s")); }
void ShowMemoryMin(Context& ctx, double v) { ctx.status.SetText(M, F::Minimum, PlainValue(v, "MB/s")); }
void ShowMemoryMax(Context& ctx, double v) { ctx.status.SetText(M, F::Maximum, PlainValue(v, "MB/s")); }
void ShowMemoryAverage(Context& ctx, double v) { ctx.status.SetText(M, F::Average, PlainValue(v, "MB/s")); }
void StepMemoryProgress(Context& ctx) { Step(ctx, M, ctx.countMemory); }

void ShowDriveTest(Context& ctx, std::string_view nowRunning, std::string_view routine, std::string_view captionLow,
                   std::string_view captionHigh, std::string_view caption, int32_t cacheOn, int32_t multitaskingOn,
                   int32_t value1, int32_t value2, int32_t value3, int32_t value4, int layout) {
  StatusDisplay& st = ctx.status;
  st.SetText(D, F::NowRunning, nowRunning);
  st.SetText(D, F::Routine, routine);
  st.SetText(D, F::State, "Idling");
  st.SetNumber(D, F::BlocksizeLow, value1);
  st.SetNumber(D, F::BlocksizeHigh, value2);
  st.SetNumber(D, F::Blocksize, value3);
  st.SetNumber(D, F::Loopsize, value4);
  for (F f : {F::Minimum, F::Maximum, F::Average}) st.SetText(D, f, "NA");
  // The nine caption/value rows follow the five header rows.
  const std::span<const StatusRow> nine = StatusRows(D).subspan(5);
  for (const StatusRow& r : nine)
    if (r.testCaption) st.SetCaption(D, r.field, r.testCaption);
  st.SetCaption(D, F::BlocksizeLow, captionLow);
  st.SetCaption(D, F::BlocksizeHigh, captionHigh);
  st.SetCaption(D, F::Blocksize, caption);
  st.SetText(D, F::CpuCache, OnOff(cacheOn));
  st.SetText(D, F::Multitasking, OnOff(multitaskingOn));
  for (size_t i = 0; i < nine.size(); ++i) {
    bool shown = layout == 0 || (layout == 2 && (i < 2 || nine[i].field == F::LastResult));
    st.ShowRow(D, nine[i].field, shown);
  }
}

void ClearDriveStatus(Context& ctx) {
  StatusDisplay& st = ctx.status;
  for (F f : {F::NowRunning, F::Routine, F::State, F::CpuCache, F::Multitasking, F::Minimum, F::Maximum, F::Average})
    st.SetText(D, f, " ");
  for (F f : {F::BlocksizeLow, F::BlocksizeHigh, F::Blocksize, F::Loopsize, F::Passes}) st.SetNumber(D, f, 0);
}

void ShowDriveMin(Context& ctx, double v) { ctx.status.SetText(D, F::Minimum, PlainValue(v, "MB/s")); }
void ShowDriveMax(Context& ctx, double v) { ctx.status.SetText(D, F::Maximum, PlainValue(v, "MB/s")); }
void ShowDriveAverage(Context& ctx, double v) { ctx.status.SetText(D, F::Average, PlainValue(v, "MB/s")); }
void StepDriveProgress(Context& ctx) { Step(ctx, D, ctx.countDrive); }

namespace {

// A drive phase, in the window's order: the test lines, the numbers within
// the test, the state, the last result cleared.
void ShowDrivePhase(Context& ctx, const TestPhase& phase) {
  if (phase.showsTest)
    ShowDriveTest(ctx, phase.nowRunning, phase.routine, phase.captionLow, phase.captionHigh, phase.caption,
                  phase.cacheOn, phase.multitaskingOn, phase.driveValues[0], phase.driveValues[1],
                  phase.driveValues[2], phase.driveValues[3], phase.driveLayout);
  if (phase.current) ctx.status.SetNumber(D, F::Blocksize, *phase.current);
  if (phase.count) ctx.status.SetNumber(D, F::Loopsize, *phase.count);
  if (!phase.state.empty()) SetState(ctx, D, phase.state);
  if (phase.clearsLastResult) ctx.status.SetText(D, F::LastResult, "NA");
}

// A drive figure: a sweep point with the sweep so far, or a figure with a
// unit as the last result.
void ShowDriveFigure(Context& ctx, const TestFigure& figure) {
  if (figure.unit.empty()) return;
  ctx.status.SetText(D, F::LastResult, BoldValue(figure.value, figure.unit));
  if (!figure.sweepSoFar) return;
  ShowDriveMin(ctx, figure.sweepSoFar->minimum);
  ShowDriveMax(ctx, figure.sweepSoFar->maximum);
  ShowDriveAverage(ctx, figure.sweepSoFar->average);
}

}  // namespace

void StatusPresenter::PhaseStarted(const TestPhase& phase) {
  switch (phase.section) {
    case Section::Processor:
      if (phase.showsTest)
        ShowProcessorTest(ctx_, phase.nowRunning, phase.routine, phase.cacheOn, phase.multitaskingOn, 0, true, false);
      break;
    case Section::Memory:
      if (phase.showsTest)
        ShowMemoryTest(ctx_, phase.nowRunning, phase.routine, phase.cacheOn, phase.multitaskingOn, phase.blockSizeLow,
                       phase.blockSizeHigh, phase.loopSize);
      if (phase.block > 0) {
        ctx_.status.SetNumber(M, F::Blocksize, phase.block);
        ctx_.status.SetNumber(M, F::Passes, phase.passes);
      }
      break;
    case Section::Drive: ShowDrivePhase(ctx_, phase); return;
  }
  if (!phase.state.empty()) SetState(ctx_, phase.section, phase.state);
}

void StatusPresenter::FigureMeasured(const TestResult& result, const TestFigure& figure) {
  if (result.card.test && result.test().section == Section::Drive) {
    ShowDriveFigure(ctx_, figure);
    return;
  }
  if (figure.sweepPoint) {
    // The sweep so far, in the order it was measured.
    double minimum = 1000000.0, maximum = 0.0, sum = 0.0;
    uint32_t count = 0;
    for (const TestFigure& f : result.figures) {
      if (!f.sweepPoint) continue;
      if (f.value < minimum) minimum = f.value;
      if (f.value > maximum) maximum = f.value;
      sum += f.value;
      ++count;
    }
    ShowMemoryLast(ctx_, figure.value);
    ShowMemoryMin(ctx_, minimum);
    ShowMemoryMax(ctx_, maximum);
    ShowMemoryAverage(ctx_, sum / count);
    return;
  }
  if (result.test().section != Section::Processor || figure.unit.empty()) return;
  ShowProcessorResult(ctx_, figure.value, figure.unit);
}

void StatusPresenter::CardClosed(const TestResult& result) {
  if (result.card.setsDone) SetState(ctx_, result.test().section, "Done");
}

void StatusPresenter::SectionStarted(Section section) {
  const size_t i = size_t(section);
  const int32_t count = section == Section::Processor ? ctx_.countProcessor
                        : section == Section::Memory  ? ctx_.countMemory
                                                      : ctx_.countDrive;
  ctx_.progress[i] = 0;
  ctx_.status.OpenWindow(section);
  ctx_.gauge[i] = 0;
  ctx_.status.SetGauge(section, 0);
  SetState(ctx_, section, section == Section::Memory ? "Ideling" : "Idling");
  ctx_.status.SetText(section, StatusField::LastResult, "");
  if (count <= 0) {
    ctx_.status.SetGaugeText(section, "0/0");
    return;
  }
  switch (section) {
    case Section::Processor: StepProcessorProgress(ctx_); break;
    case Section::Memory: StepMemoryProgress(ctx_); break;
    case Section::Drive: StepDriveProgress(ctx_); break;
  }
}

void StatusPresenter::SectionFinished(Section section, const ScoreSlot&) {
  switch (section) {
    case Section::Processor: ClearProcessorStatus(ctx_); break;
    case Section::Memory: ClearMemoryStatus(ctx_); break;
    case Section::Drive: ClearDriveStatus(ctx_); break;
  }
  ctx_.status.CloseWindow(section);
}

}  // namespace kr
