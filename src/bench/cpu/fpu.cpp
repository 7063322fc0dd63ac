// The FLOPS benchmark (double precision), module by module. The loops are the
// published ones, operation for operation; this file is built without
// floating-point contraction and without vectorisation so that every
// operation the counts name is executed as written.
#include "bench/cpu/fpu.h"

#include <utility>

#include "bench/card.h"
#include "bench/cpu/processor_tests.h"
#include "records/catalogue.h"
#include "engine/status_ops.h"
#include "report/report.h"
#include "util/numtext.h"

namespace kr {
namespace {

constexpr double piref = 3.14159265358979324;
constexpr double one = 1.0, two = 2.0, three = 3.0, four = 4.0, five = 5.0;

constexpr double A0 = 1.0;
constexpr double A1 = -0.1666666666671334;
constexpr double A2 = 0.833333333809067E-2;
constexpr double A3 = 0.198412715551283E-3;
constexpr double A4 = 0.27557589750762E-5;
constexpr double A5 = 0.2507059876207E-7;
constexpr double A6 = 0.164105986683E-9;
// From module 4 on the published program uses A3 and A5 with their signs
// flipped.
constexpr double NA3 = -A3;
constexpr double NA5 = -A5;

constexpr double B1 = -0.4999999999982;
constexpr double B2 = 0.4166666664651E-1;
constexpr double B3 = -0.1388888805755E-2;
constexpr double B4 = 0.24801428034E-4;
constexpr double B5 = -0.2754213324E-6;
constexpr double B6 = 0.20189405E-8;

constexpr double D1 = 0.3999999946405E-1;
constexpr double D2 = 0.96E-3;
constexpr double D3 = 0.1233153E-5;
constexpr double E2 = 0.48E-3;
constexpr double E3 = 0.411051E-6;

// The published program's (long) conversions, kept inside the 32-bit range
// so that a wild clock cannot make them undefined.
int32_t ToLong(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return int32_t(v);
}

// one / t; a run time of exactly zero (a loop shorter than the clock's tick)
// gives no figure rather than an infinite one.
double Inverse(double t) { return t != 0.0 ? one / t : 0.0; }

void Module1(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  double s = 0.0, u, v, w, x = 0.0;
  int32_t n = st.limits.initialLoops;
  double sa = 0.0;
  while (sa < st.limits.timeLimit) {
    n = 2 * n;
    x = one / double(n);
    s = 0.0;
    v = 0.0;
    w = one;
    DTime(st, clock);
    for (int32_t i = 1; i <= n - 1; i++) {
      v = v + w;
      u = v * x;
      s = s + (D1 + u * (D2 + u * D3)) / (w + u * (D1 + u * (E2 + u * E3)));
    }
    DTime(st, clock);
    sa = st.TimeArray[1];
    if (n >= st.limits.loopLimit) break;
  }
  st.scale = 1.0E+06 / double(n);
  T[1] = st.scale;

  // Null loop: the empty asm keeps every iteration of the empty body.
  DTime(st, clock);
  for (int32_t i = 1; i <= n - 1; i++) asm volatile("" : "+r"(i));
  DTime(st, clock);
  st.nulltime = T[1] * st.TimeArray[1];
  if (st.nulltime < 0.0) st.nulltime = 0.0;

  T[2] = T[1] * sa - st.nulltime;
  sa = (D1 + D2 + D3) / (one + D1 + E2 + E3);
  double sb = D1;
  T[3] = T[2] / 14.0;
  sa = x * (sa + sb + two * s) / two;
  sb = one / sa;
  n = ToLong(double(40000 * int64_t(ToLong(sb))) / st.scale);
  st.error[1] = sb - 25.2;
  T[4] = Inverse(T[3]);
  st.n = n;
  st.m = n;
}

void Module2(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  int32_t m = st.m;
  double s = -five;
  double sa = -one;
  DTime(st, clock);
  for (int32_t i = 1; i <= m; i++) {
    s = -s;
    sa = sa + s;
  }
  DTime(st, clock);
  T[5] = T[1] * st.TimeArray[1];
  if (T[5] < 0.0) T[5] = 0.0;

  double sc = double(m);
  double u = sa, v = 0.0, w = 0.0, x = 0.0;
  DTime(st, clock);
  for (int32_t i = 1; i <= m; i++) {
    s = -s;
    sa = sa + s;
    u = u + two;
    x = x + (s - u);
    v = v - s * u;
    w = w + s / u;
  }
  DTime(st, clock);
  T[6] = T[1] * st.TimeArray[1];

  T[7] = (T[6] - T[5]) / 7.0;
  st.m = ToLong(sa * x / sc);
  sa = four * w / five;
  double sb = sa + five / v;
  sc = 31.25;
  double piprg = sb - sc / (v * v * v);
  st.error[2] = piprg - piref;
  T[8] = Inverse(T[7]);
}

void Module3(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  int32_t m = st.m;
  double x = piref / (three * double(m));
  double s = 0.0, v = 0.0, u, w;
  DTime(st, clock);
  for (int32_t i = 1; i <= m - 1; i++) {
    v = v + one;
    u = v * x;
    w = u * u;
    s = s + u * ((((((A6 * w - A5) * w + A4) * w - A3) * w + A2) * w + A1) * w + one);
  }
  DTime(st, clock);
  T[9] = T[1] * st.TimeArray[1] - st.nulltime;

  u = piref / three;
  w = u * u;
  double sa = u * ((((((A6 * w - A5) * w + A4) * w - A3) * w + A2) * w + A1) * w + one);
  T[10] = T[9] / 17.0;
  sa = x * (sa + two * s) / two;
  st.error[3] = sa - 0.5;
  T[11] = Inverse(T[10]);
}

void Module4(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  int32_t m = st.m;
  double x = piref / (three * double(m));
  double s = 0.0, u, w;
  DTime(st, clock);
  for (int32_t i = 1; i <= m - 1; i++) {
    u = double(i) * x;
    w = u * u;
    s = s + w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one;
  }
  DTime(st, clock);
  T[12] = T[1] * st.TimeArray[1] - st.nulltime;

  u = piref / three;
  w = u * u;
  double sa = w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one;
  T[13] = T[12] / 15.0;
  sa = x * (sa + one + two * s) / two;
  u = piref / three;
  w = u * u;
  double sb = u * ((((((A6 * w + NA5) * w + A4) * w + NA3) * w + A2) * w + A1) * w + A0);
  st.error[4] = sa - sb;
  T[14] = Inverse(T[13]);
}

void Module5(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  int32_t m = st.m;
  double x = piref / (three * double(m));
  double s = 0.0, u, v, w;
  DTime(st, clock);
  for (int32_t i = 1; i <= m - 1; i++) {
    u = double(i) * x;
    w = u * u;
    v = u * ((((((A6 * w + NA5) * w + A4) * w + NA3) * w + A2) * w + A1) * w + one);
    s = s + v / (w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one);
  }
  DTime(st, clock);
  T[15] = T[1] * st.TimeArray[1] - st.nulltime;

  u = piref / three;
  w = u * u;
  double sa = u * ((((((A6 * w + NA5) * w + A4) * w + NA3) * w + A2) * w + A1) * w + one);
  double sb = w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one;
  sa = sa / sb;
  T[16] = T[15] / 29.0;
  sa = x * (sa + two * s) / two;
  st.error[5] = sa - 0.6931471805599453;
  T[17] = Inverse(T[16]);
}

void Module6(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  int32_t m = st.m;
  double x = piref / (four * double(m));
  double s = 0.0, u, v, w;
  DTime(st, clock);
  for (int32_t i = 1; i <= m - 1; i++) {
    u = double(i) * x;
    w = u * u;
    v = u * ((((((A6 * w + NA5) * w + A4) * w + NA3) * w + A2) * w + A1) * w + one);
    s = s + v * (w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one);
  }
  DTime(st, clock);
  T[18] = T[1] * st.TimeArray[1] - st.nulltime;

  u = piref / four;
  w = u * u;
  double sa = u * ((((((A6 * w + NA5) * w + A4) * w + NA3) * w + A2) * w + A1) * w + one);
  double sb = w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one;
  sa = sa * sb;
  T[19] = T[18] / 29.0;
  sa = x * (sa + two * s) / two;
  st.error[6] = sa - 0.25;
  T[20] = Inverse(T[19]);
}

void Module7(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  int32_t m = st.m;
  double s = 0.0, w = one, x, u;
  double sa = 102.3321513995275;
  double v = sa / double(m);
  DTime(st, clock);
  for (int32_t i = 1; i <= m - 1; i++) {
    x = double(i) * v;
    u = x * x;
    s = s - w / (x + w) - x / (u + w) - u / (x * u + w);
  }
  DTime(st, clock);
  T[21] = T[1] * st.TimeArray[1] - st.nulltime;

  T[22] = T[21] / 12.0;
  x = sa;
  u = x * x;
  sa = -w - w / (x + w) - x / (u + w) - u / (x * u + w);
  sa = 18.0 * v * (sa + two * s);
  int32_t mm = ToLong(-2000.0 * double(ToLong(sa)));
  st.m = ToLong(double(mm) / st.scale);
  st.error[7] = sa + 500.2;
  T[23] = Inverse(T[22]);
}

void Module8(FlopsState& st, FlopsClock& clock) {
  double* T = st.T;
  int32_t m = st.m;
  double x = piref / (three * double(m));
  double s = 0.0, u, v, w;
  DTime(st, clock);
  for (int32_t i = 1; i <= m - 1; i++) {
    u = double(i) * x;
    w = u * u;
    v = w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one;
    s = s + v * v * u * ((((((A6 * w + NA5) * w + A4) * w + NA3) * w + A2) * w + A1) * w + one);
  }
  DTime(st, clock);
  T[24] = T[1] * st.TimeArray[1] - st.nulltime;

  u = piref / three;
  w = u * u;
  double sa = u * ((((((A6 * w + NA5) * w + A4) * w + NA3) * w + A2) * w + A1) * w + one);
  double sb = w * (w * (w * (w * (w * (B6 * w + B5) + B4) + B3) + B2) + B1) + one;
  sa = sa * sb * sb;
  T[25] = T[24] / 30.0;
  sa = x * (sa + two * s) / two;
  st.error[8] = sa - 0.29166666666666667;
  T[26] = Inverse(T[25]);
}

// Module k's MFLOPS figure is T[4], T[8], ... T[26]: one over its run time
// per loop divided by its operation count.
constexpr int kMflopsIndex[9] = {0, 4, 8, 11, 14, 17, 20, 23, 26};

const char* const kModuleText[9] = {
    nullptr,
    "Integral of df(x)/f(x)",
    "PI from Taylor Series expansion of atan(1.0)",
    "Integral of sin(x) from 0.0 to PI/3.0 (Trapazoidal)",
    "Integral of cos(x) from 0.0 to PI/3.0 (Trapazoidal)",
    "Integral of tan(x) from 0.0 to PI/3.0 (Trapazoidal)",
    "Integral of sos(x)*cos(x) from 0.0 to PI/4 (Trap.)",
    "Int. 0 to sa of 1/(x+1), x/(x*x+1) & x*x/(x*x*x+1",
    "Int. sin(x)*cos(x)*cos(x) from 0 to PI/3 (Trap.)",
};

constexpr CardLayout kCard = {"FPU query [Double Precision] - Tervallon", "%2lu.%0.1lu MFlops", &ProcessorEntry(cpu::kFpu),
                            14, nullptr, 0, "Method", "MFlops"};

}  // namespace

double DateStampSeconds(const DateStamp& ds) { return double(ds.minute * 3000 + ds.tick) * 0.02; }

void DTime(FlopsState& st, FlopsClock& clock) {
  double now = clock.Now();
  st.TimeArray[1] = now - st.TimeArray[2];
  st.TimeArray[2] = now;
}

void FlopsInit(FlopsState& st, const FlopsLimits& limits) {
  st = FlopsState{};
  st.limits = limits;
  st.T[1] = 1.0E+06 / double(limits.initialLoops);
}

void FlopsModule(FlopsState& st, FlopsClock& clock, int k) {
  switch (k) {
    case 1: Module1(st, clock); break;
    case 2: Module2(st, clock); break;
    case 3: Module3(st, clock); break;
    case 4: Module4(st, clock); break;
    case 5: Module5(st, clock); break;
    case 6: Module6(st, clock); break;
    case 7: Module7(st, clock); break;
    case 8: Module8(st, clock); break;
    default: return;
  }
  st.moduleMflops[k] = st.T[kMflopsIndex[k]];
}

double FlopsSummary(FlopsState& st) {
  double* T = st.T;
  T[27] = (five * (T[6] - T[5]) + T[9]) / 52.0;
  T[28] = Inverse(T[27]);
  T[29] = T[2] + T[9] + T[12] + T[15] + T[18];
  T[29] = (T[29] + four * T[21]) / 152.0;
  T[30] = Inverse(T[29]);
  T[31] = T[2] + T[9] + T[12] + T[15] + T[18];
  T[31] = (T[31] + T[21] + T[24]) / 146.0;
  T[32] = Inverse(T[31]);
  T[33] = (T[9] + T[12] + T[18] + T[24]) / 91.0;
  T[34] = Inverse(T[33]);
  st.mflops[1] = T[28];
  st.mflops[2] = T[30];
  st.mflops[3] = T[32];
  st.mflops[4] = T[34];
  return (st.mflops[1] + st.mflops[2] + st.mflops[3] + st.mflops[4]) * 0.25;
}

TestResult RunFpuEmulationWith(Context& ctx, int32_t cacheOn, int32_t multitaskingOn, FlopsClock& clock,
                               const FlopsLimits& limits) {
  const bool forbid = (multitaskingOn & 0xFFFF) == 0;
  TestResult r = OpenCard(ctx, kCard, cacheOn, multitaskingOn);
  BeginProcessorPhase(ctx, "\x1b" "bFPU query\x1b" "n [Double Precision]", "Tervallon", cacheOn, multitaskingOn, "");
  FlopsState st;
  FlopsInit(st, limits);
  // The published program initialises its timer with two readings; here they
  // also keep the clock's first-use work (the local time zone) out of the
  // switched spans.
  DTime(st, clock);
  DTime(st, clock);

  for (int k = 1; k <= 8; ++k) {
    SetPhaseState(ctx, Section::Processor, Format("Calculating Module [%d/8]", k));
    if (cacheOn == 0) ctx.exec.CacheControl(0, CACRF_EnableD);
    if (forbid) ctx.exec.Forbid();
    FlopsModule(st, clock, k);
    if (forbid) ctx.exec.Permit();
    if (cacheOn == 0) ctx.exec.CacheControl(CACRF_EnableD, CACRF_EnableD);

    TestFigure module;
    module.method = kModuleText[k];
    module.unit = "MFlops";
    module.slot = rec::kFpuModule + 8 * size_t(k - 1);
    module.value = st.moduleMflops[k];
    if (k > 2) {  // the longer texts take two more columns from the figure
      module.leftWidth = 59;
      module.tail = " %8lu.%0.2lu    |\n";
    }
    RecordFigure(ctx, r, std::move(module));
  }

  // After the modules, in a block of their own: the calibration's iteration
  // count and null time (not stored) and the four MFLOPS figures.
  const double mean = FlopsSummary(st);
  constexpr const char* kSummaryTail = "   %10lu.%0.2lu    |\n";
  TestFigure iteration;
  iteration.method = "Iteration";
  iteration.value = double(st.m);
  iteration.leftWidth = 55;
  iteration.tail = "      %10ld    |\n";
  iteration.wholeNumber = true;
  iteration.emptyLineBefore = true;
  RecordFigure(ctx, r, std::move(iteration));
  TestFigure nullTime;
  nullTime.method = "NullTime (usec)";
  nullTime.value = st.nulltime;
  nullTime.leftWidth = 55;
  nullTime.tail = kSummaryTail;
  RecordFigure(ctx, r, std::move(nullTime));
  for (int i = 1; i <= 4; ++i) {
    TestFigure mflops;
    mflops.method = Format("MFLOPS(%d)", i);
    mflops.slot = rec::kFpuMflops + 8 * size_t(i - 1);
    mflops.value = st.mflops[i];
    mflops.leftWidth = 55;
    mflops.tail = kSummaryTail;
    RecordFigure(ctx, r, std::move(mflops));
  }

  RecordStoredFigure(ctx, r, rec::kFpuMean, mean);
  CloseCard(ctx, r, mean);
  return r;
}

TestResult RunFpuEmulation(Context& ctx, int32_t cacheOn, int32_t multitaskingOn) {
  DateStampClock clock(ctx.dos);
  // A work scale shortens the calibration: its time and its loop limit.
  FlopsLimits limits;
  if (const uint32_t scale = ctx.plan.workScale; scale > 1) {
    limits.timeLimit /= double(scale);
    limits.loopLimit = int32_t(ScaledWork(uint32_t(limits.loopLimit), scale));
  }
  return RunFpuEmulationWith(ctx, cacheOn, multitaskingOn, clock, limits);
}

}  // namespace kr
