// No filter depends on the tiling: every catalogue type with an operation,
// at its slot's starting values and at a setting away from them, and the
// later stages (composite blends, depth, tiny planet, lookup table, tone
// curves) render the same with tiny tiles as with one tile. A filter that
// reads beyond its region of interest or works in tile coordinates shows
// here at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/ci/centripetal_curve.h"
#include "platform/ci/renderer.h"
#include "presets/filter_slot_table.h"
#include "tests/filters/composite_depth_test_support.h"
#include "tests/filters/reference_tools.h"

namespace {

using filtertest::Pixels;
using velumar::CIFiltering;
using velumar::FilterInfo;
using velumar::FilterSlotTable;
using Step = std::function<void(CIFiltering&, raster::BitmapContext*)>;

constexpr std::int64_t kWidth = 83, kHeight = 61;  // tiles of 16 leave ragged edges

// The slot's record at the starting values (share 0) or further along each
// slider's range, with the wells white and black or coloured.
FilterInfo slotRecord(std::int64_t type, double share) {
  FilterInfo info;
  CIFiltering::initialValuesForFilterInfo(&info);
  const velumar::FilterSlotRow& row = FilterSlotTable::row(type);
  for (const velumar::SlotSlider& s : row.sliders)
    info.*s.field = share == 0 ? s.start : s.minValue + share * (s.maxValue - s.minValue);
  for (std::size_t i = 0; i < row.colors.size(); ++i) {
    const double start[2][4] = {{1, 1, 1, 1}, {0, 0, 0, 1}}, other[2][4] = {{0.9, 0.4, 0.1, 1}, {0.1, 0.2, 0.6, 1}};
    for (std::size_t k = 0; k < 4; ++k) info.*row.colors[i].fields[k] = (share == 0 ? start : other)[i % 2][k];
  }
  for (const velumar::SlotFixed& f : row.fixed) info.*f.field = f.value;
  return info;
}

ci::FilterRef curve(const char* name, double lift) {
  ci::FilterRef f = ci::Filter::withName(name);
  if (!f) return f;
  for (std::size_t i = 0; i < 5; ++i) {
    const double x = double(i) / 4;
    f->setValue(ci::kToneCurvePointKeys[i], ci::Vector{x, std::min(1.0, x + lift * x * (1 - x))});
  }
  return f;
}

ci::FilterRef cube() {
  ci::FilterRef f = ci::Filter::withName("CIColorCube");
  std::vector<float> data;
  for (int b = 0; b < 4; ++b)
    for (int g = 0; g < 4; ++g)
      for (int r = 0; r < 4; ++r) data.insert(data.end(), {float(g) / 3, float(b) / 3, float(r) / 3, 1.0f});
  f->setDefaults();
  f->setValue("inputCubeDimension", 4.0);
  ci::Data bytes(data.size() * sizeof(float));
  std::memcpy(bytes.data(), data.data(), bytes.size());
  f->setValue("inputCubeData", bytes);
  return f;
}

struct Case {
  std::string what;
  Step step;
};

std::vector<Case> cases() {
  std::vector<Case> all;
  for (std::int64_t type = 0; type < FilterSlotTable::kTypeCount; ++type) {
    if (!FilterSlotTable::hasOperation(type)) continue;
    for (const double share : {0.0, 0.7}) {
      const FilterInfo info = slotRecord(type, share);
      all.push_back({"type " + std::to_string(type) + (share == 0 ? " start" : " set"),
                     [type, info](CIFiltering& e, raster::BitmapContext* c) { e.photoEffectWithCGContext(c, type, info); }});
    }
  }
  const ci::ImageRef overlay = citest::imageOf(40, 30, [](std::int64_t x, std::int64_t y) {
    return citest::Pixel{float(x) / 40, float(y) / 30, 0.5f, x + y < 20 ? 0.5f : 1.0f};
  });
  const raster::ImageRef unfiltered = filtertest::flatBitmap(kWidth, kHeight, {0.2f, 0.6f, 0.3f, 1});
  for (const std::int64_t blend : {0, 3, 7, 13, 17, 21}) {
    all.push_back({"composite " + std::to_string(blend), [=](CIFiltering& e, raster::BitmapContext* c) {
                     e.compositeFilterWithCGContext(c, unfiltered, overlay, 0.8, 1.3, {40, 60}, 1, blend);
                   }});
  }
  all.push_back({"composite over unfiltered", [=](CIFiltering& e, raster::BitmapContext* c) {
                   e.compositeFilterWithCGContext(c, unfiltered, nullptr, 0.6, 1, {50, 50}, 0, 12);
                 }});
  const ci::ImageRef depth = citest::imageOf(kWidth, kHeight, [](std::int64_t x, std::int64_t y) {
    const float d = float(x + y) / float(kWidth + kHeight);
    return citest::Pixel{d, d, d, 1};
  });
  for (const bool invert : {false, true}) {
    all.push_back({std::string("depth") + (invert ? " inverted" : ""), [=](CIFiltering& e, raster::BitmapContext* c) {
                     e.depthFilterWithCGContext(c, unfiltered, depth, 4, 0.2, 0.5, 0.8, 1, 0, invert);
                   }});
  }
  all.push_back({"depth black", [=](CIFiltering& e, raster::BitmapContext* c) {
                   e.depthFilterWithCGContext(c, unfiltered, depth, 4, 0.2, 0.5, 0.8, 0, 1, false);
                 }});
  for (const bool invert : {false, true}) {
    all.push_back({std::string("tiny planet") + (invert ? " inverted" : ""), [=](CIFiltering& e, raster::BitmapContext*) {
                     e.setCiImage(e.tinyPlanetFilterWithCIImage(e.ciImage(), 1, 1.2, 0.7, 0.3, invert));
                   }});
  }
  all.push_back({"lookup table", [](CIFiltering& e, raster::BitmapContext* c) { e.LUTFilterWithCGContext(c, cube(), 0.7); }});
  all.push_back({"tone curves", [](CIFiltering& e, raster::BitmapContext* c) {
                   e.toneCurveFilterWithCGContext(c, curve("ToneCurveFilter", 0.5), curve("ToneCurveChannelRed", -0.4),
                                                  curve("ToneCurveChannelGreen", 0.3), curve("ToneCurveChannelBlue", 0.8));
                 }});
  return all;
}

Pixels rendered(const Pixels& in, const Step& step, std::int64_t tileSize) {
  ci::setTileSizeForTesting(tileSize);
  Pixels out = filtertest::renderStep(in, step);
  ci::setTileSizeForTesting(0);
  return out;
}

TEST(CatalogueTiling, TinyTilesRenderAsOneTile) {
  const Pixels in = citest::photoLike(kWidth, kHeight, 0.05, 0.95);
  for (const Case& c : cases()) {
    const Pixels tiled = rendered(in, c.step, 16);
    const Pixels whole = rendered(in, c.step, std::int64_t(1) << 20);
    EXPECT_LE(filtertest::largestDifference(tiled, whole, true) * 255, 1.0) << c.what;
  }
}

}  // namespace
