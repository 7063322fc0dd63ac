// The chart as a PNG image whose inner box is the whole image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "charts/chart_model.h"
#include "charts/pens.h"

namespace kr {

constexpr int kMaxChartImageSide = 8192;

// Draws the chart of state and sources in the display record's colours into a
// width x height image and encodes it as PNG. False with a message when a
// side is outside 1..8192 or encoding fails. Needs a QGuiApplication (the
// offscreen platform is enough).
bool ChartPng(int width, int height, const ChartState& state, const ChartSources& sources,
              const std::array<Rgb, disp::kPenCount>& palette, std::vector<uint8_t>& png, std::string& error);

}  // namespace kr
