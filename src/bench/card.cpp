#include "bench/card.h"

#include <charconv>

#include "records/catalogue.h"
#include "engine/scoring.h"
#include "engine/status_ops.h"
#include "report/lines.h"
#include "report/report.h"
#include "util/numtext.h"

namespace kr {

bool ScoredFlag(const Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  if (cacheOn == 0) return false;
  if (ctx.run.multitaskingAtAll != 0) return true;
  return (multitaskingOn & 0xFFFF) == 0;
}

const char* OnOffWord(int32_t on) { return on ? "YES" : "NO "; }
char MethodMarker(bool scored) { return scored ? '+' : '-'; }

double RatePerSecond(double work, double seconds) { return seconds > 0.0 ? work / seconds : 0.0; }

void WriteTopRule(Context& ctx) { ReportLine(ctx, BlockRule()); }

void WriteSeparator(Context& ctx) { ReportLine(ctx, DottedRule()); }

void WriteEmptyLine(Context& ctx) { ReportLine(ctx, EmptyLine()); }

void WriteClosingLine(Context& ctx) { ReportLine(ctx, ClosingLine()); }

void WriteBodyLine(Context& ctx, std::string_view text) { ReportLine(ctx, BodyLine(text)); }

void WriteParamLine(Context& ctx, std::string_view label, int width, std::string_view value) {
  std::string s(label);
  PadTo(s, size_t(width));
  s += " : ";
  s += value;
  WriteBodyLine(ctx, s);
}

void WriteFixedParamLine(Context& ctx, std::string_view label, int width, const char* format, double value) {
  std::string head = "|   ";
  head += label;
  PadTo(head, size_t(width) + 4);
  head += " : ";
  // The template's blanks: those that close the line at column 76 when the
  // value has the width of the format's fields (a zero value has exactly
  // that width: "%4lu.%0.1lu" gives "   0.0").
  const size_t nominal = head.size() + Format(format, 0ul, 0ul).size();
  const size_t blanks = nominal < kReportWidth - 1 ? kReportWidth - 1 - nominal : 0;
  FixedSplit v = SplitFixed(value, 10);
  std::string s = head + Format(format, (unsigned long)v.whole, (unsigned long)v.frac);
  s.append(blanks, ' ');
  s += "|\n";
  ReportLine(ctx, s);
}

void WriteColumnHeader(Context& ctx, const CardLayout& spec) {
  std::string s = "|   ";
  s += spec.columnFirst;
  if (spec.columnMiddle) {
    PadTo(s, size_t(spec.columnMiddleAt - 1));
    s += spec.columnMiddle;
  }
  PadTo(s, 67);
  s += spec.columnUnit;
  EndBodyLine(s);
  ReportLine(ctx, s);
}

void WriteCardHead(Context& ctx, const CardLayout& spec, int32_t cacheOn, int32_t multitaskingOn) {
  const int w = spec.labelWidth;
  WriteTopRule(ctx);
  WriteBodyLine(ctx, spec.title);
  WriteSeparator(ctx);
  WriteFixedParamLine(ctx, "100 Percent at", w, spec.referenceFormat, spec.test->reference);
  WriteFixedParamLine(ctx, "Score weight", w, "%3lu.%.1lu%%", spec.test->weight);
  for (int i = 0; i < spec.paramCount; ++i) {
    const CardParam& p = spec.params[i];
    WriteParamLine(ctx, p.label, w, p.text ? std::string(p.text) : Format("%lu", (unsigned long)p.number));
  }
  WriteParamLine(ctx, "CPU Cache", w, Format("%-10s", OnOffWord(cacheOn)));
  WriteParamLine(ctx, "Multitasking", w, Format("%-10s", OnOffWord(multitaskingOn)));
  WriteEmptyLine(ctx);
  WriteColumnHeader(ctx, spec);
  WriteSeparator(ctx);
}

std::string MethodLeft(bool scored, std::string_view text, int width) {
  std::string s = "|   [";
  s += MethodMarker(scored);
  s += "] ";
  s += text;
  PadTo(s, size_t(width));
  return s;
}

void WriteMethodLine(Context& ctx, bool scored, std::string_view text, double figure) {
  WriteMethodLineWith(ctx, scored, text, 57, "   %8lu.%0.2lu    |\n", figure);
}

void WriteMethodLineWith(Context& ctx, bool scored, std::string_view text, int leftWidth, const char* tail,
                         double figure) {
  ReportLine(ctx, MethodLeft(scored, text, leftWidth));
  ReportFixed2(ctx, tail, figure);
}

double CardScore(const CardLayout& spec, double figure) {
  return ScorePercent(figure, spec.test->reference, spec.test->weight);
}

void FinishCard(Context& ctx, const CardLayout& spec, double figure, bool scored) {
  WriteEmptyLine(ctx);
  WriteScore(ctx, spec.test->slot, CardScore(spec, figure), scored);
  if (scored) ctx.uncapped[size_t(spec.test->slot)] = UncappedPercent(figure, spec.test->reference, spec.test->weight);
  if (spec.closingLine) WriteClosingLine(ctx);
  if (spec.setsDone) SetState(ctx, Section::Processor, "Done");
}

double TruncateToHundredths(double figure) {
  FixedSplit s = SplitFixed(figure, 100);
  std::string text = Format("%lu.%02lu", (unsigned long)s.whole, (unsigned long)s.frac);
  double v = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

void BeginProcessorPhase(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                         int32_t multitaskingOn, std::string_view state) {
  ShowProcessorTest(ctx, nowRunning, routine, cacheOn, multitaskingOn, 0, true, false);
  SetState(ctx, Section::Processor, state);
}

void RecordProcessorFigure(Context& ctx, size_t slot, double figure, std::string_view unit, bool scored,
                           std::string_view method) {
  ctx.results.setFigure(slot, figure);
  ShowProcessorResult(ctx, figure, unit);
  WriteMethodLine(ctx, scored, method, figure);
}

void WriteScore(Context& ctx, int slot, double percent, bool scored) {
  if (scored) {
    ReportFixed2(ctx, "|   KelvaRANKS : %3lu.%0.2lu Percent                                            |\n", percent);
    ctx.results.setScore(slot, {percent, 1.0});
    ctx.uncapped[size_t(slot)] = percent;
  } else {
    ReportLine(ctx, "|   KelvaRANKS : DISABLED                                                  |\n");
    ctx.results.setScore(slot, {0.0, 0.0});
    ctx.uncapped[size_t(slot)] = 0.0;
  }
}

void WriteSweepSummary(Context& ctx, double minimum, double maximum, double average) {
  WriteEmptyLine(ctx);
  ReportFixed2(ctx, "|   Minimum : %8lu.%0.2lu MB/s                                             |\n", minimum);
  ReportFixed2(ctx, "|   Maximum : %8lu.%0.2lu MB/s                                             |\n", maximum);
  ReportFixed2(ctx, "|   Average : %8lu.%0.2lu MB/s                                             |\n", average);
}

}  // namespace kr
