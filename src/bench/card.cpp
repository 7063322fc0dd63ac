#include "bench/card.h"

#include <charconv>
#include <utility>
#include <vector>

#include "records/catalogue.h"
#include "engine/scoring.h"
#include "engine/status_ops.h"
#include "report/frame.h"
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

double TruncateToHundredths(double figure) {
  FixedSplit s = SplitFixed(figure, 100);
  std::string text = Format("%lu.%02lu", (unsigned long)s.whole, (unsigned long)s.frac);
  double v = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

void BeginPhase(Context& ctx, const TestPhase& phase) {
  Publish(ctx, [&](RunListener& l) { l.PhaseStarted(phase); });
}

void BeginProcessorPhase(Context& ctx, std::string_view nowRunning, std::string_view routine, int32_t cacheOn,
                         int32_t multitaskingOn, std::string_view state) {
  TestPhase phase;
  phase.section = Section::Processor;
  phase.showsTest = true;
  phase.nowRunning = nowRunning;
  phase.routine = routine;
  phase.cacheOn = cacheOn;
  phase.multitaskingOn = multitaskingOn;
  phase.state = state;
  BeginPhase(ctx, phase);
}

void SetPhaseState(Context& ctx, Section section, std::string_view state) {
  TestPhase phase;
  phase.section = section;
  phase.state = state;
  BeginPhase(ctx, phase);
}

namespace {

TestResult OpenCardWith(Context& ctx, const CardLayout& card, int32_t cacheOn, int32_t multitaskingOn,
                        const CardParam* params, size_t count) {
  TestResult r;
  r.card = card;
  r.card.params = nullptr;
  r.card.paramCount = 0;
  for (size_t i = 0; i < count; ++i) {
    const CardParam& p = params[i];
    r.params.emplace_back(p.label, p.text ? std::string(p.text) : Format("%lu", (unsigned long)p.number));
  }
  r.cacheOn = cacheOn;
  r.multitaskingOn = multitaskingOn;
  r.scored = ScoredFlag(ctx, cacheOn, multitaskingOn);
  Publish(ctx, [&](RunListener& l) { l.CardOpened(r); });
  return r;
}

}  // namespace

TestResult OpenCard(Context& ctx, const CardLayout& card, int32_t cacheOn, int32_t multitaskingOn,
                    std::initializer_list<CardParam> params) {
  return OpenCardWith(ctx, card, cacheOn, multitaskingOn, params.begin(), params.size());
}

TestResult OpenCard(Context& ctx, const CardLayout& card, int32_t cacheOn, int32_t multitaskingOn) {
  return OpenCardWith(ctx, card, cacheOn, multitaskingOn, card.params, card.params ? size_t(card.paramCount) : 0);
}

TestResult OpenDriveCard(Context& ctx, const CatalogueEntry& test, int32_t cacheOn, int32_t multitaskingOn,
                         const DriveCardHead* head, std::string partition, uint64_t loopsize) {
  TestResult r;
  r.card.title = test.label;  // the head's title is the template's
  r.card.test = &test;
  r.cacheOn = cacheOn;
  r.multitaskingOn = multitaskingOn;
  r.driveHead = head;
  r.continuesCard = head == nullptr;
  r.partition = std::move(partition);
  r.loopsize = loopsize;
  Publish(ctx, [&](RunListener& l) { l.CardOpened(r); });
  return r;
}

void RecordFigure(Context& ctx, TestResult& result, TestFigure figure) {
  figure.scored = result.scored;
  if (figure.slot != TestFigure::kNoSlot) ctx.results.setFigure(figure.slot, figure.value);
  result.figures.push_back(std::move(figure));
  const TestFigure& f = result.figures.back();
  Publish(ctx, [&](RunListener& l) { l.FigureMeasured(result, f); });
}

void RecordProcessorFigure(Context& ctx, TestResult& result, size_t slot, double figure, std::string_view unit,
                           std::string_view method) {
  TestFigure f;
  f.method = method;
  f.unit = unit;
  f.slot = slot;
  f.value = figure;
  RecordFigure(ctx, result, std::move(f));
}

void RecordStoredFigure(Context& ctx, TestResult& result, size_t slot, double figure) {
  TestFigure f;
  f.slot = slot;
  f.value = figure;
  RecordFigure(ctx, result, std::move(f));
}

void CloseCard(Context& ctx, TestResult& result, double scoreFigure) {
  const CatalogueEntry& test = result.test();
  result.foot = TestResult::Foot::Score;
  result.scoreFigure = scoreFigure;
  result.percent = CardScore(result.card, scoreFigure);
  const size_t slot = size_t(test.slot);
  if (result.scored) {
    ctx.results.setScore(test.slot, {result.percent, 1.0});
    ctx.uncapped[slot] = UncappedPercent(scoreFigure, test.reference, test.weight);
  } else {
    ctx.results.setScore(test.slot, {0.0, 0.0});
    ctx.uncapped[slot] = 0.0;
  }
  Publish(ctx, [&](RunListener& l) { l.CardClosed(result); });
}

void CloseDriveCard(Context& ctx, TestResult& result, TestResult::Foot foot, int slot, double scoreFigure,
                    double percent) {
  result.foot = foot;
  result.scoreFigure = scoreFigure;
  result.percent = percent;
  ctx.results.setScore(slot, result.scored ? ScoreSlot{percent, 1.0} : ScoreSlot{0.0, 0.0});
  if (foot != TestResult::Foot::InLine) ctx.uncapped[size_t(slot)] = result.scored ? percent : 0.0;
  Publish(ctx, [&](RunListener& l) { l.CardClosed(result); });
}

void CloseCardWithoutScore(Context& ctx, TestResult& result) {
  result.foot = TestResult::Foot::None;
  Publish(ctx, [&](RunListener& l) { l.CardClosed(result); });
}

namespace {

void WriteDriveCardHead(Context& ctx, const TestResult& result) {
  const DriveCardHead& h = *result.driveHead;
  WriteTopRule(ctx);
  if (h.emptyLineFirst) WriteEmptyLine(ctx);
  ReportLine(ctx, Format(h.title, result.partition.c_str()));
  WriteSeparator(ctx);
  if (h.reference) ReportFixed1(ctx, h.reference, result.test().reference);
  if (h.weight) {
    const FixedSplit w = SplitFixed(result.test().weight, 10);
    ReportLine(ctx, Format(h.weight, (unsigned long)w.whole, (unsigned long)w.frac));
  }
  if (h.loopsize) ReportLine(ctx, Format(h.loopsize, (unsigned long long)result.loopsize));
  ReportLine(ctx, Format(h.cache, OnOffWord(result.cacheOn)));
  ReportLine(ctx, Format(h.multitasking, OnOffWord(result.multitaskingOn)));
  WriteEmptyLine(ctx);
  ReportLine(ctx, h.columns);
  WriteSeparator(ctx);
}

}  // namespace

StandardSinks::StandardSinks(Context& ctx) : ctx_(ctx), writer_(ctx), status_(ctx) {
  ctx_.sinks.insert(ctx_.sinks.begin(), {&writer_, &status_});
}

StandardSinks::~StandardSinks() {
  std::erase(ctx_.sinks, &writer_);
  std::erase(ctx_.sinks, &status_);
}

void OpenSection(Context& ctx, Section section) {
  Publish(ctx, [&](RunListener& l) { l.SectionStarted(section); });
}

void CloseSection(Context& ctx, Section section, ScoreSlot total) {
  ctx.results.setScore(TotalSlotOf(section), total);
  Publish(ctx, [&](RunListener& l) { l.SectionFinished(section, total); });
}

void RecordSystemTotal(Context& ctx, ScoreSlot total) {
  ctx.results.setScore(slot::kSystemTotal, total);
  Publish(ctx, [&](RunListener& l) { l.SystemTotalScored(total); });
}

void CardWriter::SectionStarted(Section section) { WriteSectionHeader(ctx_, section); }

void CardWriter::SectionFinished(Section section, const ScoreSlot& total) {
  WriteSectionTotal(ctx_, section, total);
}

void CardWriter::SystemTotalScored(const ScoreSlot& total) { WriteSystemTotal(ctx_, total); }

void CardWriter::CardOpened(const TestResult& result) {
  if (result.continuesCard) return;
  if (result.driveHead) {
    WriteDriveCardHead(ctx_, result);
    return;
  }
  std::vector<CardParam> params;
  for (const auto& [label, value] : result.params) params.push_back({label.c_str(), value.c_str(), 0});
  CardLayout head = result.card;
  head.params = params.data();
  head.paramCount = int(params.size());
  WriteCardHead(ctx_, head, result.cacheOn, result.multitaskingOn);
}

void CardWriter::FigureMeasured(const TestResult& result, const TestFigure& figure) {
  (void)result;
  if (figure.sweepPoint) {
    ReportFormat(ctx_, "|  %8lu", (unsigned long)figure.block);
    ReportFixed2(ctx_, "                                                 %8lu.%0.2lu    |\n", figure.printed());
    return;
  }
  if (figure.driveLine) {
    ReportLine(ctx_, Format(figure.driveLine, figure.driveMarker ? "+" : "-"));
    if (figure.driveScore) ReportFixed1(ctx_, "%8lu.%0.1lu      ", *figure.driveScore);
    ReportFixed2(ctx_, figure.tail, figure.printed());
    return;
  }
  if (figure.method.empty()) return;
  if (figure.emptyLineBefore) WriteEmptyLine(ctx_);
  if (figure.middleValue) {
    ReportLine(ctx_, MethodLeft(figure.scored, figure.method, figure.leftWidth));
    ReportFixed2(ctx_, "   %8lu.%0.2lu", *figure.middleValue);
    ReportFixed2(ctx_, "         %8lu.%0.2lu    |\n", figure.printed());
  } else if (figure.wholeNumber) {
    ReportLine(ctx_, MethodLeft(figure.scored, figure.method, figure.leftWidth));
    ReportFormat(ctx_, figure.tail, long(figure.printed()));
  } else if (figure.tail) {
    WriteMethodLineWith(ctx_, figure.scored, figure.method, figure.leftWidth, figure.tail, figure.printed());
  } else {
    WriteMethodLine(ctx_, figure.scored, figure.method, figure.printed());
  }
}

void CardWriter::CardClosed(const TestResult& result) {
  if (result.foot == TestResult::Foot::Group) {
    WriteEmptyLine(ctx_);
    WriteScoreLine(ctx_, result.percent, result.scored);
    WriteEmptyLine(ctx_);
    WriteClosingLine(ctx_);
    return;
  }
  if (result.foot != TestResult::Foot::Score) return;
  if (!result.summary.empty()) {
    WriteEmptyLine(ctx_);
    for (const TestResult::SummaryLine& line : result.summary) ReportFixed2(ctx_, line.format, line.value);
  }
  if (result.sweep) WriteSweepSummary(ctx_, result.sweep->minimum, result.sweep->maximum, result.sweep->average);
  WriteEmptyLine(ctx_);
  WriteScoreLine(ctx_, result.percent, result.scored);
  if (result.card.closingLine) WriteClosingLine(ctx_);
}

void WriteScoreLine(Context& ctx, double percent, bool scored) {
  if (scored)
    ReportFixed2(ctx, "|   KelvaRANKS : %3lu.%0.2lu Percent                                            |\n", percent);
  else
    ReportLine(ctx, "|   KelvaRANKS : DISABLED                                                  |\n");
}

void WriteSweepSummary(Context& ctx, double minimum, double maximum, double average) {
  WriteEmptyLine(ctx);
  ReportFixed2(ctx, "|   Minimum : %8lu.%0.2lu MB/s                                             |\n", minimum);
  ReportFixed2(ctx, "|   Maximum : %8lu.%0.2lu MB/s                                             |\n", maximum);
  ReportFixed2(ctx, "|   Average : %8lu.%0.2lu MB/s                                             |\n", average);
}

}  // namespace kr
