// The drive window's per-test captions and layouts, and what the status
// presenter shows in it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/status_ops.h"
#include "engine/test_result.h"
#include "records/catalogue.h"
#include "support/test_context.h"

namespace kr {
namespace {

using F = StatusField;

TEST(DriveWindow, TestCaptionsAndLayouts) {
  test::TestContext t;
  const std::vector<F> nine = {F::BlocksizeLow, F::BlocksizeHigh, F::Blocksize, F::Loopsize, F::Passes,
                               F::LastResult,   F::Minimum,       F::Maximum,   F::Average};
  struct Case {
    int layout;
    std::vector<F> shown;
  };
  const Case cases[] = {{0, nine}, {1, {}}, {2, {F::BlocksizeLow, F::BlocksizeHigh, F::LastResult}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    ShowDriveTest(t.ctx, "Create Files", "CreateFile", "File low:", "File high:", "File:", 1, 0, 1, 2, 3, 4, c.layout);
    const StatusWindowModel& w = t.status.window(Section::Drive);
    std::vector<F> shown;
    for (F f : nine)
      if (w.shown[size_t(f)]) shown.push_back(f);
    EXPECT_EQ(shown, c.shown);
    std::vector<std::string> captions;
    for (F f : nine) captions.push_back(w.caption[size_t(f)]);
    EXPECT_EQ(captions, (std::vector<std::string>{"File low:", "File high:", "File:", "Loopsize:", "Passes:",
                                                  "Last Result:", "Min:", "Max:", "Average:"}));
    EXPECT_EQ(w.text[size_t(F::Minimum)], "NA");
    EXPECT_EQ(w.text[size_t(F::Multitasking)], "Off");
  }
}

// A drive test's phases and figures as the presenter shows them: the test
// lines, the numbers within the test, the state and "NA"; a sweep point with
// the sweep so far, a point not measured (nothing changes), an operation
// rate; "Done" at the close.
TEST(DriveWindow, PresenterShowsPhasesAndFigures) {
  test::TestContext t;
  StatusPresenter presenter(t.ctx);
  const auto text = [&](F f) { return t.status.text(Section::Drive, f); };
  t.status.SetText(Section::Drive, F::LastResult, "old");

  TestPhase first;
  first.section = Section::Drive;
  first.showsTest = true;
  first.nowRunning = "Read from DEVICE";
  first.routine = "NSCMD_TD_READ64";
  first.captionLow = "Blocksize Low:";
  first.captionHigh = "Blocksize High:";
  first.caption = "Blocksize:";
  first.cacheOn = 1;
  first.driveValues[0] = 512;
  first.driveValues[1] = 8388608;
  first.state = "Benchmarking...";
  first.clearsLastResult = true;
  presenter.PhaseStarted(first);
  EXPECT_EQ(text(F::NowRunning), "Read from DEVICE");
  EXPECT_EQ(text(F::State), "Benchmarking...");
  EXPECT_EQ(text(F::LastResult), "NA");
  EXPECT_EQ(t.status.window(Section::Drive).caption[size_t(F::BlocksizeHigh)], "Blocksize High:");
  EXPECT_EQ(t.status.number(Section::Drive, F::BlocksizeHigh), 8388608);

  TestPhase step;
  step.section = Section::Drive;
  step.current = 2048;
  step.count = 8192;
  presenter.PhaseStarted(step);
  EXPECT_EQ(t.status.number(Section::Drive, F::Blocksize), 2048);
  EXPECT_EQ(t.status.number(Section::Drive, F::Loopsize), 8192);
  EXPECT_EQ(text(F::State), "Benchmarking...");  // a phase without a state keeps it

  TestResult r;
  r.card.test = &DriveEntry(15);
  TestFigure point;
  point.sweepPoint = true;
  point.unit = "MB/s";
  point.value = 16.5;
  point.sweepSoFar = TestFigure::SoFar{12.25, 16.5, 14.375};
  presenter.FigureMeasured(r, point);
  const std::vector<std::string> shown = {text(F::LastResult), text(F::Minimum), text(F::Maximum), text(F::Average)};
  EXPECT_EQ(shown, (std::vector<std::string>{"\x1b" "b16.50\x1b" "n MB/s", "12.25 MB/s", "16.50 MB/s", "14.37 MB/s"}));
  TestFigure notMeasured;
  notMeasured.sweepPoint = true;
  presenter.FigureMeasured(r, notMeasured);
  EXPECT_EQ(text(F::LastResult), shown[0]);
  EXPECT_EQ(text(F::Minimum), shown[1]);

  TestFigure rate;
  rate.unit = "OP/s";
  rate.value = 2000.0;
  presenter.FigureMeasured(r, rate);
  EXPECT_EQ(text(F::LastResult), "\x1b" "b2000.00\x1b" "n OP/s");
  EXPECT_EQ(text(F::Minimum), shown[1]);

  presenter.CardClosed(r);
  EXPECT_EQ(text(F::State), "Done");
}

}  // namespace
}  // namespace kr
