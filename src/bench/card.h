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
// How a test uses it (one method, timed with StartTiming/StopTiming):
//
//   constexpr CardParam kParams[] = {{"Rounds", nullptr, 5000000}};
//   constexpr CardLayout kCard = {
//       "Dhrystones", "%4lu.%0.1lu Dhrystones/sec", &ProcessorEntry(cpu::kDhrystones),
//       14, kParams, 1, "Method", "Result"};
//
//   int RunDhrystones(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
//     bool scored = ScoredFlag(ctx, cacheOn, multitaskingOn);
//     WriteCardHead(ctx, kCard, cacheOn, multitaskingOn);
//     ShowProcessorTest(ctx, "\x1b" "bDhrystones\x1b" "n", "Internal", cacheOn, multitaskingOn, 0, true, false);
//     SetState(ctx, Section::Processor, "Benchmarking...");
//     ... prepare (allocate) outside the timed span ...
//     StartTiming(ctx, cacheOn, multitaskingOn);
//     ... workload ...
//     double t = StopTiming(ctx, cacheOn, multitaskingOn);
//     double f = RatePerSecond(5000000.0, t);
//     ctx.results.setFigure(rec::kDhrystones, f);
//     ShowProcessorResult(ctx, f, "Dhrystones/s");
//     WriteMethodLine(ctx, scored, "Dhrystones/sec", f);
//     FinishCard(ctx, kCard, f, scored);   // empty line, score, closing line, "Done"
//     return 0;
//   }
//
// Tests whose method lines are laid out differently build them from
// `MethodLeft` (the "|   [+] text" part padded to a width) and a tail format
// of their own (`WriteMethodLineWith`), or write whole lines with ReportLine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/context.h"
#include "engine/timing.h"

namespace kr {

// One parameter line of a card head: the label (padded by the card to its
// label width) and either a fixed text or, when text is null, a number
// printed with "%lu".
struct CardParam {
  const char* label;
  const char* text;
  uint32_t number;
};

// The constants of one processor card.
struct CardLayout {
  const char* title;            // title line text
  const char* referenceFormat;  // "100 Percent at" value, e.g. "%4lu.%0.1lu BogoMIPS"
  const CatalogueEntry* test;   // its catalogue row: reference R, weight W (percent), score slot
  int labelWidth;               // all labels of the card are padded to this width
  const CardParam* params;      // parameter lines between "Score weight" and "CPU Cache"
  int paramCount;
  const char* columnFirst;      // column header word from column 5 ("Method", "Result", "Methode")
  const char* columnUnit;       // unit header from column 68
  const char* columnMiddle = nullptr;  // optional second header (LibJPEG: "MPixel/s")
  int columnMiddleAt = 48;             // its 1-based column
  bool closingLine = true;      // write the "!" closing line after the score
  bool setsDone = true;         // set the "State:" field to "Done" at the end
};

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
// Writes the card's score line ("|   KelvaRANKS : %3lu.%0.2lu Percent" or
// "|   KelvaRANKS : DISABLED", padded to 76 columns) and stores the slot:
// (percent, 1.0) when scored, (0.0, 0.0) otherwise.
void WriteScore(Context& ctx, int slot, double percent, bool scored);

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

// The foot: empty body line, score line and score slot (S, 1.0) or the
// DISABLED line and (0.0, 0.0), the closing line when the card has one, and
// "Done" in the "State:" field when the card sets it.
void FinishCard(Context& ctx, const CardLayout& spec, double figure, bool scored);

// The figure as "%lu.%0.2lu" (truncated) parsed back: at most two decimals.
double TruncateToHundredths(double figure);

// Times one workload in a CleanSpan (engine/timing.h): before every attempt
// `prepare` puts the workload back as the first attempt had it, then `work`
// runs between StartTiming and StopTiming. Returns the clean attempt's
// seconds, or the least stalled one's.
template <typename Prepare, typename Work>
double TimeWorkload(Context& ctx, const char* location, const char* function, int32_t cacheOn, int32_t multitaskingOn,
                    Prepare&& prepare, Work&& work) {
  CleanSpan span(ctx, location, function, multitaskingOn);
  while (span.Attempt()) {
    prepare();
    StartTiming(ctx, cacheOn, multitaskingOn);
    work();
    span.Took(StopTiming(ctx, cacheOn, multitaskingOn));
  }
  return span.Seconds();
}
// A workload that needs nothing put back between attempts.
template <typename Work>
double TimeWorkload(Context& ctx, const char* location, const char* function, int32_t cacheOn, int32_t multitaskingOn,
                    Work&& work) {
  return TimeWorkload(ctx, location, function, cacheOn, multitaskingOn, [] {}, work);
}

// A phase of a processor test begins: the status window's test lines (the
// test now running, its routine, the two switches) and its "State:".
void BeginProcessorPhase(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                         int32_t multitaskingOn, std::string_view state);
// A figure of a processor test is measured: into its result slot, into the
// status window's last result (with its unit) and onto the card as the
// standard method line.
void RecordProcessorFigure(Context& ctx, size_t slot, double figure, std::string_view unit, bool scored,
                           std::string_view method);

}  // namespace kr
