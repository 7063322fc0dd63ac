#include "charts/bspline.h"

#include <cstddef>

namespace kr {

std::array<SplinePoint, kSplineCurvePoints> OpenUniformBSpline(const SplinePoint* p, int n) {
  std::array<SplinePoint, kSplineCurvePoints> out{};
  if (n <= 0) return out;
  if (n == 1) {
    out.fill(p[0]);
    return out;
  }
  const int k = n < kSplineOrder ? n : kSplineOrder;

  // Knots t[1..n+k]: the first k are 0, then steps of 1, the last k equal.
  constexpr int kMaxKnots = 64;
  if (n + k >= kMaxKnots) return out;  // longer than any chart series
  double t[kMaxKnots + 1] = {};
  for (int i = 2; i <= n + k; ++i) t[i] = t[i - 1] + ((k < i && i < n + 2) ? 1.0 : 0.0);
  const double last = t[n + k];
  const double step = last / double(kSplineCurvePoints - 1);

  double basis[kMaxKnots + 1];
  for (int j = 0; j < kSplineCurvePoints; ++j) {
    double u = step * j;
    if (last - u < 5e-6) u = last;

    // Order 1: the span holding u; at the last knot the last non-empty span
    // counts as closed, so the curve ends in the last control point. Only
    // the basis functions over that span can be non-zero.
    int span = 0;
    for (int i = 1; i < n + k; ++i) {
      basis[i] = 0.0;
      const bool inSpan = t[i] <= u && u < t[i + 1];
      const bool lastSpan = u == last && t[i] < t[i + 1] && t[i + 1] == last;
      if (inSpan || lastSpan) span = i;
    }
    SplinePoint q;
    if (span == 0) {
      out[std::size_t(j)] = q;
      continue;
    }
    basis[span] = 1.0;
    basis[n + k] = 0.0;
    // Cox-de Boor, bottom up; a term whose denominator is 0 counts as 0.
    for (int r = 2; r <= k; ++r) {
      const int lo = span - r + 1 > 1 ? span - r + 1 : 1;
      const int hi = span < n + k - r ? span : n + k - r;
      for (int i = lo; i <= hi; ++i) {
        double v = 0.0;
        const double d1 = t[i + r - 1] - t[i];
        const double d2 = t[i + r] - t[i + 1];
        if (d1 != 0.0) v += (u - t[i]) / d1 * basis[i];
        if (d2 != 0.0) v += (t[i + r] - u) / d2 * basis[i + 1];
        basis[i] = v;
      }
    }
    const int first = span - k + 1 > 1 ? span - k + 1 : 1;
    const int stop = span < n ? span : n;
    for (int i = first; i <= stop; ++i) {
      q.x += basis[i] * p[i - 1].x;
      q.y += basis[i] * p[i - 1].y;
    }
    out[std::size_t(j)] = q;
  }
  return out;
}

}  // namespace kr
