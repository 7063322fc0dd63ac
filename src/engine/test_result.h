// A test's result as a value, and the phases it goes through.
//
// A test measures; it does not present. It opens its card (a TestResult
// with the card's constants, its switches and whether it counts), announces
// its phases, records each figure it measures into the result and closes the
// card with the figure it scores from. Each step is published to the run's
// listeners (run_events.h): the card writer turns them into report lines,
// the status presenter into status-window texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/catalogue.h"

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

// A phase of a test begins: what its section's status window shows.
struct TestPhase {
  Section section = Section::Processor;
  // The window's test lines change (the test now running, its routine and
  // the two switches); otherwise only "State:" does.
  bool showsTest = false;
  std::string_view nowRunning;
  std::string_view routine;
  int32_t cacheOn = 0;
  int32_t multitaskingOn = 0;
  std::string_view state;  // the "State:" text; empty: unchanged

  // A block-size sweep (the memory window): with showsTest, the range and
  // loop size it shows; a phase with a block (above 0) begins that block
  // size and shows it with its passes.
  int32_t blockSizeLow = 0;
  int32_t blockSizeHigh = 0;
  int32_t loopSize = 0;
  int32_t block = 0;
  int32_t passes = 0;

  // The drive window. With showsTest: the captions of its first three
  // number rows, their values and "Loopsize:" (driveValues), and which of
  // its nine rows it shows (driveLayout: 0 all, 1 none, 2 the first two and
  // the last result).
  std::string_view captionLow, captionHigh, caption;
  int32_t driveValues[4] = {};
  int driveLayout = 0;
  // Within a drive test: the third number row (the block size or the file
  // now worked on) and "Loopsize:" take these when set; then the state;
  // then, with clearsLastResult, "Last Result:" shows "NA".
  std::optional<int32_t> current;
  std::optional<int32_t> count;
  bool clearsLastResult = false;
};

// The head of a drive card: each line's template as the card prints it.
struct DriveCardHead {
  const char* title;         // "%s": the partition (TestResult::partition)
  const char* reference;     // one "%lu.%0.1lu"-family pair of the reference; null: no line
  const char* weight;        // one "%lu.%.1lu" pair of the weight; null: no line
  const char* loopsize;      // one "%llu"-family conversion of TestResult::loopsize; null: no line
  const char* cache;         // "%s": the switch's word ("YES" / "NO ")
  const char* multitasking;  // the same
  const char* columns;       // the column header line
  bool emptyLineFirst = false;  // an empty body line between the top rule and the title
};

// One figure a test measured.
struct TestFigure {
  static constexpr size_t kNoSlot = size_t(-1);

  std::string method;  // its method line's text; empty: no method line
  std::string unit;    // the unit the status window shows it with; empty: not shown
  size_t slot = kNoSlot;  // its raw-figure offset in the results record; kNoSlot: not stored
  double value = 0.0;     // as stored and shown
  // As the method line prints it, when that differs from value (a figure
  // scored from its truncated form).
  std::optional<double> lineValue;
  bool scored = false;  // the method line's marker: the result counted when it was measured

  // The method line's layout: the left part's width and a tail holding one
  // "%lu.%0.2lu"-family conversion (null: the standard "   %8lu.%0.2lu    |"),
  // or, with wholeNumber, one "%ld" conversion of the value.
  int leftWidth = 57;
  const char* tail = nullptr;
  bool wholeNumber = false;
  bool emptyLineBefore = false;  // an empty body line goes before the method line
  // A point of a block-size sweep: its line is the block size ("|  %8lu")
  // and the figure in MB/s; the window shows it with the sweep's minimum,
  // maximum and average so far.
  bool sweepPoint = false;
  uint32_t block = 0;
  // A second figure printed in a middle column before this one (the
  // method's pixel rate beside its bit rate): the left part is leftWidth
  // columns, then "   %8lu.%0.2lu" of it, then "         %8lu.%0.2lu    |".
  std::optional<double> middleValue;
  // A drive method line: driveLine is its left part with "%s" for the
  // marker ("+" with driveMarker: the test says what it marks), then, with
  // driveScore, the test's score ("%8lu.%0.1lu      "), then tail of the figure.
  const char* driveLine = nullptr;
  bool driveMarker = false;
  std::optional<double> driveScore;
  // A drive sweep point the window shows: the sweep's minimum, maximum and
  // average so far (as the test counts them); none: the point was not
  // measured and the window shows nothing of it.
  struct SoFar {
    double minimum, maximum, average;
  };
  std::optional<SoFar> sweepSoFar;

  double printed() const { return lineValue ? *lineValue : value; }
};

// What one card of a test holds: the head's values, the figures as they
// were measured and what its foot needs.
struct TestResult {
  CardLayout card{};  // the card's constants (card.params is not used: see params)
  // The head's parameter lines (the work actually done): label and value text.
  std::vector<std::pair<std::string, std::string>> params;
  int32_t cacheOn = 0;
  int32_t multitaskingOn = 0;
  bool scored = false;  // the result counts (the switches, and no failure so far)
  std::vector<TestFigure> figures;

  enum class Foot : uint8_t {
    Open,   // not closed yet
    Score,  // an empty line, the score line and, when the card has one, the closing line
    None,   // the card ends after what it has (nothing could be measured)
    InLine, // the score is on the figure's line (a test of a group card): nothing follows
    Group,  // a group card's end: an empty line, the group's score line, an empty line, the closing line
  };
  Foot foot = Foot::Open;
  double scoreFigure = 0.0;  // the figure the card scores from
  double percent = 0.0;      // its score (0..100) when scored
  // A sweep's card ends its body with its minimum, maximum and average.
  struct Sweep {
    double minimum, maximum, average;
  };
  std::optional<Sweep> sweep;

  // Drive cards. A card with driveHead opens with that head (partition and
  // loopsize fill its templates); a card that continues the one before (the
  // next test of a group card) opens with nothing. The summary lines, each
  // one "%lu.%0.2lu"-family pair of its value, follow an empty line before
  // the foot. A group's foot has no test of its own: card.test is null.
  const DriveCardHead* driveHead = nullptr;
  bool continuesCard = false;
  std::string partition;
  uint64_t loopsize = 0;
  struct SummaryLine {
    const char* format;
    double value;
  };
  std::vector<SummaryLine> summary;

  const CatalogueEntry& test() const { return *card.test; }
};

}  // namespace kr
