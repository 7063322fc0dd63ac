// The drive window's per-test captions and layouts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/status_ops.h"
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

}  // namespace
}  // namespace kr
