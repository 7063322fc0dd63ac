// Drawing speed of the comparison chart: one 800x600 chart of the biggest
// choice (a 17-point memory sweep with its average, five sources, B-Splines
// and Blocks) into a QImage through the Qt canvas, model included. The
// "fps" counter is the rate the chart's own frame-rate text would show
// (target: at least 500).
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "charts/chart_draw.h"
#include "gui/qt_canvas.h"

namespace {

struct Fixture {
  kr::ResultsRecord records[5];
  kr::ChartSources sources;
  kr::ChartPaletteColors palette;
  Fixture() {
    for (int s = 0; s < 5; ++s) {
      for (int i = 0; i < 17; ++i) records[s].setFigure(0x300 + 8 * size_t(i), 900.0 + 150.0 * i + 70.0 * s - 4.0 * i * i);
      sources.records[size_t(s)] = &records[s];
    }
    kr::DisplayRecord d;
    kr::SetDisplayDefaults(d);
    palette = kr::ChartPalette(d);
  }
};

void DrawMemorySweep(benchmark::State& state, int32_t drawMode) {
  Fixture f;
  kr::ChartState cs;
  kr::SetMasterSection(cs, kr::master::kMemory);
  cs.slaveSection = 1;
  cs.drawMode = drawMode;
  QImage image(800, 600, QImage::Format_RGB32);
  const QFont font = kr::MappedFont(kr::kChartFontSize);
  for (auto _ : state) {
    kr::RenderChart(image, kr::BuildChartModel(cs, f.sources), f.palette, 0.0, font);
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ChartSplines800x600(benchmark::State& state) { DrawMemorySweep(state, kr::kDrawSplines); }
void BM_ChartBlocks800x600(benchmark::State& state) { DrawMemorySweep(state, kr::kDrawBlocks); }
BENCHMARK(BM_ChartSplines800x600)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChartBlocks800x600)->Unit(benchmark::kMicrosecond);

// The Qt-free part alone: model, curves and drawing steps onto a canvas that
// only counts, to tell the chart's own cost from the painter's.
struct CountingCanvas : kr::ChartCanvas {
  long ops = 0;
  void SetPen(int) override { ++ops; }
  void FillRect(int, int, int, int) override { ++ops; }
  void Line(int, int, int, int) override { ++ops; }
  void Polyline(const kr::CanvasPoint*, int n) override { ops += n; }
  void Text(int, int, std::string_view) override { ++ops; }
  int TextWidth(std::string_view t) override { return 6 * int(t.size()); }
};
void BM_ChartSplinesModelOnly(benchmark::State& state) {
  Fixture f;
  kr::ChartState cs;
  kr::SetMasterSection(cs, kr::master::kMemory);
  cs.slaveSection = 1;
  cs.drawMode = kr::kDrawSplines;
  CountingCanvas canvas;
  for (auto _ : state) {
    kr::DrawChart(canvas, kr::ChartBox{0, 0, 799, 599}, kr::BuildChartModel(cs, f.sources), 0.0);
    benchmark::DoNotOptimize(canvas.ops);
  }
}
BENCHMARK(BM_ChartSplinesModelOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
