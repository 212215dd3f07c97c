// Curve interpolation against a different formulation (the Barry–Goldman
// recursion in numpy), the tone-curve filter against ImageMagick's -clut
// of the same curve, and the order and reach of the four curve filters.

#include <gtest/gtest.h>

#include <fstream>

#include "filters/curve_interpolation.h"
#include "filters/tone_curve_filters.h"
#include "platform/ci/filter_attributes.h"
#include "reference_tools.h"

using filtertest::Pixels;
using velumar::CurvePoint;

namespace {

std::vector<CurvePoint> line(int n) {
  std::vector<CurvePoint> points;
  for (int i = 0; i < n; ++i) points.push_back({double(i), 0});
  return points;
}

TEST(CurveInterpolation, SegmentsAndControlPoints) {
  struct Case {
    const char* what;
    std::optional<velumar::BezierPath> path;
    std::size_t segments;  // 0: no path
    double startX, endX;
  };
  const std::vector<Case> cases = {
      {"Catmull-Rom, 4 open", velumar::interpolateCGPointsWithCatmullRom(line(4), false, 0.5f), 1, 1, 2},
      {"Catmull-Rom, 7 open", velumar::interpolateCGPointsWithCatmullRom(line(7), false, 0.5f), 4, 1, 5},
      {"Catmull-Rom, 3 points", velumar::interpolateCGPointsWithCatmullRom(line(3), false, 0.5f), 0, 0, 0},
      {"Catmull-Rom, 5 closed", velumar::interpolateCGPointsWithCatmullRom(line(5), true, 0.5f), 5, 0, 0},
      {"Hermite, 3 open", velumar::interpolateCGPointsWithHermite(line(3), false), 2, 0, 2},
      {"Hermite, 1 point", velumar::interpolateCGPointsWithHermite(line(1), false), 0, 0, 0},
      {"Hermite, 3 closed", velumar::interpolateCGPointsWithHermite(line(3), true), 3, 0, 0},
  };
  for (const Case& c : cases) {
    if (c.segments == 0) {
      EXPECT_FALSE(c.path) << c.what;
      continue;
    }
    ASSERT_TRUE(c.path) << c.what;
    EXPECT_EQ(c.path->segments.size(), c.segments) << c.what;
    EXPECT_EQ(c.path->start.x, c.startX) << c.what;
    EXPECT_EQ(c.path->segments.back().end.x, c.endX) << c.what;
  }
  // Evenly spaced points on a line: controls at 4/3 and 5/3.
  const auto straight = velumar::interpolateCGPointsWithCatmullRom(line(4), false, 0.5f);
  EXPECT_NEAR(straight->segments[0].control1.x, 4.0 / 3, 1e-12);
  EXPECT_NEAR(straight->segments[0].control2.x, 5.0 / 3, 1e-12);
  // Hermite's first tangent is half as long: its control at one sixth.
  const auto hermite = velumar::interpolateCGPointsWithHermite(line(4), false);
  EXPECT_NEAR(hermite->segments[0].control1.x, 1.0 / 6, 1e-12);
  // Coinciding neighbours keep the path finite, the end points as controls.
  const auto doubled =
      velumar::interpolateCGPointsWithCatmullRom({{0, 0}, {0, 0}, {1, 1}, {1, 1}}, false, 0.5f);
  EXPECT_EQ(doubled->segments[0].control1, (CurvePoint{0, 0}));
  EXPECT_EQ(doubled->segments[0].control2, (CurvePoint{1, 1}));
}

TEST(CurveInterpolation, NormalizeCurvePoints) {
  const auto diagonal = ci::diagonalToneCurve();
  EXPECT_EQ(velumar::normalizeCurvePoints({{0, 0}, {0.5, 0.6}, {1, 1}, {0.2, 0.1}}), diagonal);
  EXPECT_EQ(velumar::normalizeCurvePoints({{0, 0}, {0.25, NAN}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}}), diagonal);
  EXPECT_EQ(velumar::normalizeCurvePoints({{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, {1, INFINITY}}),
            diagonal);
  const std::array<CurvePoint, 5> sorted = {{{0, 0}, {0.3, 0.2}, {0.6, 1}, {0.9, 0.7}, {1, 1}}};
  EXPECT_EQ(velumar::normalizeCurvePoints({{0.9, 0.7}, {-0.5, -1}, {0.6, 1.5}, {0.3, 0.2}, {1.4, 1}}),
            sorted);
}

// The centripetal curve by the Barry–Goldman recursion, read as y(x) at
// 4096 inputs, written as raw float32.
const char* kBarryGoldman = R"(
import sys, numpy as np
pts = np.array([float(v) for v in sys.argv[1].split(',')]).reshape(-1, 2)
pts = np.vstack([[-0.25, -0.25], pts, [1.25, 1.25]])
xs, ys = [pts[1:2, 0]], [pts[1:2, 1]]
for i in range(1, 5):
    P = pts[i - 1:i + 3]
    t = [0.0]
    for k in range(3): t.append(t[-1] + np.linalg.norm(P[k + 1] - P[k]) ** 0.5)
    u = np.linspace(t[1], t[2], 20001)[1:][:, None]
    A1 = (t[1] - u) / (t[1] - t[0]) * P[0] + (u - t[0]) / (t[1] - t[0]) * P[1]
    A2 = (t[2] - u) / (t[2] - t[1]) * P[1] + (u - t[1]) / (t[2] - t[1]) * P[2]
    A3 = (t[3] - u) / (t[3] - t[2]) * P[2] + (u - t[2]) / (t[3] - t[2]) * P[3]
    B1 = (t[2] - u) / (t[2] - t[0]) * A1 + (u - t[0]) / (t[2] - t[0]) * A2
    B2 = (t[3] - u) / (t[3] - t[1]) * A2 + (u - t[1]) / (t[3] - t[1]) * A3
    C = (t[2] - u) / (t[2] - t[1]) * B1 + (u - t[1]) / (t[2] - t[1]) * B2
    xs.append(C[:, 0]); ys.append(C[:, 1])
x = np.maximum.accumulate(np.concatenate(xs)); y = np.concatenate(ys)
grid = np.arange(4096) / 4095.0
table = np.clip(np.interp(grid, x, y), 0, 1)
table.astype(np.float32).tofile(sys.argv[2])
v = np.round(table * 65535).astype('>u2')
open(sys.argv[3], 'wb').write(b'P6\n4096 1\n65535\n' + np.repeat(v, 3).tobytes())
)";

const std::vector<ci::ToneCurvePoints> kCurves = {
    {{{0, 0}, {0.25, 0.35}, {0.5, 0.6}, {0.75, 0.8}, {1, 1}}},
    {{{0, 0.1}, {0.2, 0.15}, {0.45, 0.6}, {0.8, 0.85}, {1, 0.9}}},
    {{{0.1, 0}, {0.3, 0.1}, {0.5, 0.5}, {0.7, 0.9}, {0.9, 1}}},
};

TEST(ToneCurve, AgreesWithBarryGoldmanAndImageMagicksClut) {
  testsupport::TempDir dir;
  std::ofstream(dir.file("curve.py")) << kBarryGoldman;
  const Pixels in = filtertest::colourGrid({0.0, 0.05, 0.2, 0.37, 0.5, 0.66, 0.83, 0.97, 1.0});
  for (const ci::ToneCurvePoints& curve : kCurves) {
    std::string points;
    for (const CurvePoint& p : curve) points += std::to_string(p.x) + "," + std::to_string(p.y) + ",";
    points.pop_back();
    ASSERT_EQ(testsupport::runCommand({"/usr/bin/python3", dir.file("curve.py"), points,
                                       dir.file("table.raw"), dir.file("clut.ppm")})
                  .exitCode,
              0);
    std::vector<float> expected(4096);
    std::ifstream(dir.file("table.raw"), std::ios::binary)
        .read(reinterpret_cast<char*>(expected.data()), std::streamsize(expected.size() * sizeof(float)));
    const std::vector<float> table = ci::toneCurveTable(curve, 4096);
    float worst = 0;
    for (std::size_t i = 0; i < table.size(); ++i) worst = std::max(worst, std::fabs(table[i] - expected[i]));
    EXPECT_LT(worst, 1e-5f) << points;

    ci::FilterRef filter = ci::Filter::withName("CIToneCurve");
    for (std::size_t i = 0; i < 5; ++i)
      filter->setValue(ci::kToneCurvePointKeys[i], ci::Vector{curve[i].x, curve[i].y});
    const Pixels got = filtertest::renderStep(
        in, [&](velumar::CIFiltering& e, raster::BitmapContext* c) { e.applyCIFilter(filter, c); });
    std::optional<Pixels> clut =
        filtertest::imageMagick(in, {dir.file("clut.ppm"), "-interpolate", "bilinear", "-clut"});
    ASSERT_TRUE(clut);
    EXPECT_LE(filtertest::largestDifference(got, *clut), 3.0f / 65535.0f) << points;
  }
}

ci::FilterRef curveFilter(const char* name, const ci::ToneCurvePoints& points) {
  ci::FilterRef f = ci::Filter::withName(name);
  for (std::size_t i = 0; i < 5; ++i)
    f->setValue(ci::kToneCurvePointKeys[i], ci::Vector{points[i].x, points[i].y});
  return f;
}

TEST(ToneCurveFilters, OrderAndReach) {
  velumar::CIFiltering registers;
  const Pixels in = filtertest::colourGrid({0.1, 0.5, 0.9});
  const auto run = [&](ci::FilterRef master, ci::FilterRef red, ci::FilterRef green, ci::FilterRef blue) {
    return filtertest::renderStep(in, [&](velumar::CIFiltering& e, raster::BitmapContext* c) {
      e.toneCurveFilterWithCGContext(c, master, red, green, blue);
    });
  };
  const ci::ToneCurvePoints diagonal = ci::diagonalToneCurve();
  // All four at the diagonal: unchanged.
  EXPECT_LE(
      filtertest::largestDifference(
          run(curveFilter("ToneCurveFilter", diagonal), curveFilter("ToneCurveChannelRed", diagonal),
              curveFilter("ToneCurveChannelGreen", diagonal), curveFilter("ToneCurveChannelBlue", diagonal)),
          in, true),
      1e-6f);
  // Only red: only the red channel moves.
  const ci::ToneCurvePoints lift = {{{0, 0}, {0.25, 0.35}, {0.5, 0.6}, {0.75, 0.8}, {1, 1}}};
  const Pixels redOnly = run(nullptr, curveFilter("ToneCurveChannelRed", lift), nullptr, nullptr);
  bool redMoved = false;
  for (std::size_t i = 0; i < in.rgba.size(); ++i) {
    if (i % 4 == 0) {
      redMoved = redMoved || redOnly.rgba[i] > in.rgba[i] + 0.01f;
    } else {
      EXPECT_EQ(redOnly.rgba[i], in.rgba[i]);
    }
  }
  EXPECT_TRUE(redMoved);
  // The master brightens midtones first; the red curve then acts on that.
  const ci::ToneCurvePoints mid = {{{0, 0}, {0.25, 0.25}, {0.5, 0.6}, {0.75, 0.75}, {1, 1}}};
  const Pixels both =
      run(curveFilter("ToneCurveFilter", mid), curveFilter("ToneCurveChannelBlue", lift), nullptr, nullptr);
  const Pixels masterOnly = run(curveFilter("ToneCurveFilter", mid), nullptr, nullptr, nullptr);
  const Pixels thenBlue =
      filtertest::renderStep(masterOnly, [&](velumar::CIFiltering& e, raster::BitmapContext* c) {
        e.applyCIFilter(curveFilter("ToneCurveChannelBlue", lift), c);
      });
  EXPECT_LE(filtertest::largestDifference(both, thenBlue), 1e-6f);
  EXPECT_GT(masterOnly.rgba[4 * 1 + 0], in.rgba[4 * 1 + 0] + 0.05f);  // (0.5, 0.1, 0.1): red brightened
}

TEST(ToneCurveFilters, RegisteredWithTheirAttributes) {
  velumar::CIFiltering registers;
  for (auto [name, display] :
       {std::pair{"ToneCurveFilter", "Tone Curve"}, std::pair{"ToneCurveChannelRed", "Tone Curve - Red"},
        std::pair{"ToneCurveChannelGreen", "Tone Curve - Green"},
        std::pair{"ToneCurveChannelBlue", "Tone Curve - Blue"}}) {
    auto filter = std::dynamic_pointer_cast<velumar::ToneCurveFilterBase>(ci::Filter::withName(name));
    ASSERT_TRUE(filter) << name;
    EXPECT_EQ(ci::filterAttributes(name).find(ci::kAttributeFilterDisplayName)->stringOr(""), display);
    const foundation::Dictionary custom = filter->customAttributes();
    EXPECT_EQ(custom.find(ci::kAttributeFilterName)->stringOr(""), name);
    const foundation::Value* point3 = custom.find("inputPoint3");
    ASSERT_TRUE(point3);
    EXPECT_EQ(point3->get(ci::kAttributeDisplayName)->stringOr(""), "Point3");
    EXPECT_EQ(point3->get(ci::kAttributeType)->stringOr(""), ci::kAttributeTypePosition);
    EXPECT_EQ(*point3->get(ci::kAttributeDefault)->asArray(),
              (foundation::Array{foundation::Value(0.75), foundation::Value(0.75)}));
    EXPECT_EQ(filter->vector("inputPoint1"), (ci::Vector{0.25, 0.25}));
  }
}

}  // namespace
