// Non-rational B-spline curves with an open uniform knot vector.
#pragma once

#include <array>

namespace kr {

struct SplinePoint {
  double x = 0, y = 0;
};

constexpr int kSplineOrder = 4;           // cubic
constexpr int kSplineCurvePoints = 200;   // parameter values evaluated

// Evaluates the curve of control points p[0..n-1] (all of weight 1) at 200
// parameter values running in 199 equal steps from the first to the last
// knot; the last step lands on the last knot exactly, so the curve starts in
// the first control point and ends in the last. The order is 4, or n when n
// is below 4 (a line for two points, a parabola for three, one point for
// one); n = 0 gives 200 points at the origin.
std::array<SplinePoint, kSplineCurvePoints> OpenUniformBSpline(const SplinePoint* p, int n);

}  // namespace kr
