// The common procedure and report card of the processor tests.
//
// Every processor test writes one card into the report: a head (rules, title,
// "100 Percent at", "Score weight", its parameter lines, "CPU Cache" and
// "Multitasking", the column header), one method line per figure, and a foot
// (empty body line, score line, closing line). The card's constants are one
// `CardLayout` row per test; the functions below write its lines. Every line is
// 76 columns plus "\n" when the values have their nominal width; a wider value
// moves the right border, as the fixed templates do.
//
// A test measures and records; it does not write its card. It opens a
// TestResult (engine/test_result.h), announces its phases, records its
// figures and closes the card; each step is an event the card writer (below)
// turns into report lines and the status presenter (engine/status_ops.h)
// into status-window texts:
//
//   constexpr CardParam kParams[] = {{"Rounds", nullptr, 5000000}};
//   constexpr CardLayout kCard = {
//       "Dhrystones", "%4lu.%0.1lu Dhrystones/sec", &ProcessorEntry(cpu::kDhrystones),
//       14, kParams, 1, "Method", "Result"};
//
//   TestResult MeasureDhrystones(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
//     TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn);
//     BeginProcessorPhase(ctx, "\x1b" "bDhrystones\x1b" "n", "Internal", cacheOn, multitaskingOn,
//                         "Benchmarking...");
//     ... prepare outside the timed span, then TimeWorkload(...) ...
//     RecordProcessorFigure(ctx, r, rec::kDhrystones, RatePerSecond(5000000.0, t), "Dhrystones/s",
//                           "Dhrystones/sec");
//     CloseCard(ctx, r, r.figures.back().value);   // score slot, then the foot
//     return r;
//   }
//
// A failure before the end sets r.scored to false: the figures recorded
// after it and the foot do not count.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "engine/context.h"
#include "engine/run_events.h"
#include "engine/status_ops.h"
#include "engine/test_result.h"
#include "engine/timing.h"

namespace kr {

// The result counts when the cache switch is on and, unless "Enable
// Multitasking at all [JIT]" is set, the multitasking switch (low 16 bits)
// is off.
bool ScoredFlag(const Context& ctx, int32_t cacheOn, int32_t multitaskingOn);

// "NO " for 0, "YES" otherwise; "-" / "+" as the method-line marker.
const char* OnOffWord(int32_t on);
char MethodMarker(bool scored);

// Work per second of a timed span. A span of zero (or less) means the clock
// did not measure anything: the figure is 0, so nothing is scored for it,
// rather than an infinite figure scoring 100.
double RatePerSecond(double work, double seconds);

// Single lines.
// The card's score line ("|   KelvaRANKS : %3lu.%0.2lu Percent" or
// "|   KelvaRANKS : DISABLED", padded to 76 columns).
void WriteScoreLine(Context& ctx, double percent, bool scored);

// The end of a block-size sweep card: an empty line, then its minimum,
// maximum and average in MB/s.
void WriteSweepSummary(Context& ctx, double minimum, double maximum, double average);

void WriteTopRule(Context& ctx);    // "\xB7" 74 x "-" "\xB7"
void WriteSeparator(Context& ctx);  // "\xB7" 37 x "- " "\xB7"
void WriteEmptyLine(Context& ctx);  // "|" 74 blanks "|"
void WriteClosingLine(Context& ctx);  // "!" 74 blanks "!"
// "|   " + text, blanks up to column 75, "|" (a longer text moves the border).
void WriteBodyLine(Context& ctx, std::string_view text);
// "|   label : value" with the label padded to width.
void WriteParamLine(Context& ctx, std::string_view label, int width, std::string_view value);
// "|   label : value" from a template with one "%lu.%lu"-family pair of
// fields (value split into whole and tenths): the blanks after the value are
// fixed, so the line is 76 columns when the value has the fields' width and
// a wider value moves the right border ("%4lu.%0.1lu" of 10000000.0 makes
// 80 columns).
void WriteFixedParamLine(Context& ctx, std::string_view label, int width, const char* format, double value);
// Column header: first word in column 5, unit in column 68, the optional
// middle header at its column.
void WriteColumnHeader(Context& ctx, const CardLayout& spec);

// The whole head: top rule, title, separator, "100 Percent at", "Score
// weight", parameter lines, "CPU Cache", "Multitasking", empty body line,
// column header, separator.
void WriteCardHead(Context& ctx, const CardLayout& spec, int32_t cacheOn, int32_t multitaskingOn);

// "|   [+] text" (or "[-]") padded with blanks to width columns.
std::string MethodLeft(bool scored, std::string_view text, int width);
// The standard method line: left part of 57 columns, then
// "   %8lu.%0.2lu    |" with the figure (truncated hundredths).
void WriteMethodLine(Context& ctx, bool scored, std::string_view text, double figure);
// A method line with another left width and a tail holding one
// "%lu.%0.2lu"-family conversion and ending in "|\n".
void WriteMethodLineWith(Context& ctx, bool scored, std::string_view text, int leftWidth, const char* tail,
                         double figure);

// Scores F against the card (S = F x (100 / R) x (W x 0.01), clamped 0..100).
double CardScore(const CardLayout& spec, double figure);

// The figure as "%lu.%0.2lu" (truncated) parsed back: at most two decimals.
double TruncateToHundredths(double figure);

// Times one workload in a CleanSpan (engine/timing.h): before every attempt
// `prepare` puts the workload back as the first attempt had it, then `work`
// runs between StartTiming and StopTiming. Returns the clean attempt's
// seconds, or the least stalled one's (of the attempts made).
//
// A `prepare` that returns bool ends the attempts when it returns false
// (nothing more can be timed; that attempt is not made). `again`, asked
// after each timed attempt, ends them when it returns false (a failed
// workload is not timed again).
template <typename Prepare, typename Work, typename Again>
double TimeWorkload(Context& ctx, const char* location, const char* function, int32_t cacheOn, int32_t multitaskingOn,
                    Prepare&& prepare, Work&& work, Again&& again) {
  CleanSpan span(ctx, location, function, multitaskingOn);
  while (span.Attempt()) {
    if constexpr (std::is_same_v<std::invoke_result_t<Prepare&>, bool>) {
      if (!prepare()) break;
    } else {
      prepare();
    }
    StartTiming(ctx, cacheOn, multitaskingOn);
    work();
    span.Took(StopTiming(ctx, cacheOn, multitaskingOn));
    if (!again()) break;
  }
  return span.Seconds();
}
template <typename Prepare, typename Work>
double TimeWorkload(Context& ctx, const char* location, const char* function, int32_t cacheOn, int32_t multitaskingOn,
                    Prepare&& prepare, Work&& work) {
  return TimeWorkload(ctx, location, function, cacheOn, multitaskingOn, prepare, work, [] { return true; });
}
// A workload that needs nothing put back between attempts.
template <typename Work>
double TimeWorkload(Context& ctx, const char* location, const char* function, int32_t cacheOn, int32_t multitaskingOn,
                    Work&& work) {
  return TimeWorkload(ctx, location, function, cacheOn, multitaskingOn, [] {}, work);
}

// Times one span of work that is not repeated (a drive test's loop: its
// calls change the files or wait on a device, so no attempt could be made
// again and a device wait is no stall): StartTiming, work, StopTimingLong.
template <typename Work>
double TimeOnceLong(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, Work&& work) {
  StartTiming(ctx, cacheOn, multitaskingOn);
  work();
  return StopTimingLong(ctx, cacheOn, multitaskingOn);
}

// A phase of a processor test begins: the status window's test lines (the
// test now running, its routine, the two switches) and its "State:".
void BeginProcessorPhase(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                         int32_t multitaskingOn, std::string_view state);

// Results as values. Each of these publishes one event (run_events.h) to
// the context's sinks (the card writer and the status presenter), then to
// its listeners.

// Opens a test's card: the result with the card's constants, its switches,
// whether it counts (ScoredFlag) and its head's parameter lines (the card's
// own, or params when the test states the work it really does).
TestResult OpenCard(Context& ctx, const CardLayout& card, int32_t cacheOn, int32_t multitaskingOn);
TestResult OpenCard(Context& ctx, const CardLayout& card, int32_t cacheOn, int32_t multitaskingOn,
                    std::initializer_list<CardParam> params);
// Opens a drive test's card: the result with its catalogue row and
// switches, and the head of its card (null: the card goes on from the test
// before), filled with the partition and the loopsize. Whether it counts is
// decided when it closes (CloseDriveCard).
TestResult OpenDriveCard(Context& ctx, const CatalogueEntry& test, int32_t cacheOn, int32_t multitaskingOn,
                         const DriveCardHead* head, std::string partition = {}, uint64_t loopsize = 0);
// A phase of any section's test begins.
void BeginPhase(Context& ctx, const TestPhase& phase);
// A phase that changes only the "State:" field of the test's window.
void SetPhaseState(Context& ctx, Section section, std::string_view state);
// Records a measured figure: its marker is result.scored as it is now; a
// figure with a slot is stored in the results record; it is appended to
// result.figures and published.
void RecordFigure(Context& ctx, TestResult& result, TestFigure figure);
// The standard figure: stored at slot, shown with its unit, one standard
// method line.
void RecordProcessorFigure(Context& ctx, TestResult& result, size_t slot, double figure, std::string_view unit,
                           std::string_view method);
// A figure only stored (a mean the card scores from): no line, not shown.
void RecordStoredFigure(Context& ctx, TestResult& result, size_t slot, double figure);
// Closes the card on the figure it scores from: the score slot gets (S, 1.0)
// when the result counts, (0.0, 0.0) otherwise, with the unclamped
// percentage beside it; then the foot is published.
void CloseCard(Context& ctx, TestResult& result, double scoreFigure);
// Closes a drive card on the percent the test worked out (from its average,
// from time, or the mean of a group's scores) with the given foot (Score,
// InLine or Group): the slot gets (percent, 1.0) when result.scored, (0.0,
// 0.0) otherwise; a card whose foot prints the score line also leaves the
// percent (0.0 when not scored) as the slot's uncapped figure.
void CloseDriveCard(Context& ctx, TestResult& result, TestResult::Foot foot, int slot, double scoreFigure,
                    double percent);
// Closes a card that measured nothing: it ends after what it has, the score
// slot stays as it was.
void CloseCardWithoutScore(Context& ctx, TestResult& result);

// The frame of a section run, published like a test's steps. OpenSection
// begins the section (SectionStarted); CloseSection stores its total in the
// section's total slot and ends it (SectionFinished); RecordSystemTotal
// stores Make Module's system total in its slot (SystemTotalScored).
void OpenSection(Context& ctx, Section section);
void CloseSection(Context& ctx, Section section, ScoreSlot total);
void RecordSystemTotal(Context& ctx, ScoreSlot total);

// The report sink of the test cards and the sections' frame: the head when a
// card opens, a method line per figure with one, and the foot when it
// closes; a section's header when it starts, its total lines when it ends,
// and the system total. Drive cards have heads, method lines and feet of
// their own (engine/test_result.h).
class CardWriter : public RunListener {
 public:
  explicit CardWriter(Context& ctx) : ctx_(ctx) {}
  void CardOpened(const TestResult& result) override;
  void FigureMeasured(const TestResult& result, const TestFigure& figure) override;
  void CardClosed(const TestResult& result) override;
  void SectionStarted(Section section) override;
  void SectionFinished(Section section, const ScoreSlot& total) override;
  void SystemTotalScored(const ScoreSlot& total) override;

 private:
  Context& ctx_;
};

// The standard sinks: the card writer, then the status presenter, attached
// at the front of ctx.sinks for this object's lifetime. A run attaches them
// when no sinks are attached; a part called on its own (a test, a section)
// presents nothing without them.
class StandardSinks {
 public:
  explicit StandardSinks(Context& ctx);
  ~StandardSinks();
  StandardSinks(const StandardSinks&) = delete;
  StandardSinks& operator=(const StandardSinks&) = delete;

 private:
  Context& ctx_;
  CardWriter writer_;
  StatusPresenter status_;
};

}  // namespace kr
