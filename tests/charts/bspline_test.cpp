#include "charts/bspline.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kr::test {
namespace {

std::vector<SplinePoint> Zigzag(int n) {
  std::vector<SplinePoint> p;
  for (int i = 0; i < n; ++i) p.push_back({100.0 + 37.0 * i, (i % 2) ? 20.0 : 300.0 + i});
  return p;
}

// Every curve starts in its first control point and ends exactly in its last,
// whatever the number of points, the ones below the order included.
TEST(OpenUniformBSpline, StartsAndEndsInTheOuterControlPoints) {
  for (int n : {2, 3, 4, 5, 7, 17, 24}) {
    SCOPED_TRACE(n);
    const auto p = Zigzag(n);
    const auto c = OpenUniformBSpline(p.data(), n);
    EXPECT_EQ(c.front().x, p.front().x);
    EXPECT_EQ(c.front().y, p.front().y);
    EXPECT_EQ(c.back().x, p.back().x);
    EXPECT_EQ(c.back().y, p.back().y);
  }
}

// Four points: the open uniform cubic is the Bezier curve of its control
// polygon; the parameter runs in 199 equal steps.
TEST(OpenUniformBSpline, FourPointsGiveTheBezierCurve) {
  const SplinePoint p[4] = {{0, 0}, {10, 100}, {50, -40}, {90, 30}};
  const auto c = OpenUniformBSpline(p, 4);
  for (int j : {1, 50, 99, 150, 198}) {
    const double t = j / 199.0, s = 1 - t;
    const double bx = s * s * s * p[0].x + 3 * s * s * t * p[1].x + 3 * s * t * t * p[2].x + t * t * t * p[3].x;
    const double by = s * s * s * p[0].y + 3 * s * s * t * p[1].y + 3 * s * t * t * p[2].y + t * t * t * p[3].y;
    EXPECT_NEAR(c[size_t(j)].x, bx, 1e-9) << j;
    EXPECT_NEAR(c[size_t(j)].y, by, 1e-9) << j;
  }
}

// Control points on a straight line keep every curve point on it (the basis
// sums to one over the whole parameter range), and x never runs backwards.
TEST(OpenUniformBSpline, CollinearPointsStayOnTheirLine) {
  std::vector<SplinePoint> p;
  for (int i = 0; i < 17; ++i) p.push_back({99.0 + 40 * i, 500.0 - 10 * i});
  const auto c = OpenUniformBSpline(p.data(), 17);
  for (size_t j = 0; j < c.size(); ++j) {
    EXPECT_NEAR(c[j].y, 500.0 - (c[j].x - 99.0) / 4.0, 1e-9) << j;
    if (j) {
      EXPECT_GE(c[j].x, c[j - 1].x) << j;
    }
  }
  EXPECT_DOUBLE_EQ(c[0].x, 99.0);
}

// Two points: the curve of order 2 is the segment between them.
TEST(OpenUniformBSpline, TwoPointsGiveTheirSegment) {
  const SplinePoint p[2] = {{10, 10}, {209, 408}};
  const auto c = OpenUniformBSpline(p, 2);
  EXPECT_NEAR(c[100].x, 110.0, 1e-9);
  EXPECT_NEAR(c[100].y, 210.0, 1e-9);
}

}  // namespace
}  // namespace kr::test
