#pragma once
// A separable neighbourhood filter of reach `margin`: each tile filters
// the rows of its window (the tile grown by the margin) and then its
// columns, all at once, with a line filter
//   void operator()(const float* src, float* dst, std::int64_t samples,
//                   std::size_t lanes, std::vector<double>& scratch) const
// that filters `lanes` interleaved signals (sample s of lane l at
// s · lanes + l; dst may be src). Outside the input is transparent.

#include <algorithm>
#include <vector>

#include "platform/ci/image.h"
#include "platform/ci/image_extent.h"

namespace ci {

template <typename LineFilter>
class SeparableWindowNode final : public Image {
 public:
  SeparableWindowNode(const ImageRef& input, std::int64_t margin, LineFilter filter)
      : Image(extentGrown(input->extent(), double(margin), double(margin)), {input}),
        filter_(std::move(filter)),
        margin_(margin) {}

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    out.assign(1,
               region.intersection(domain()).insetBy(-margin_, -margin_).intersection(inputs()[0]->domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    const PixelRegion area = out.region().intersection(domain());
    const TileBuffer& in = *inputs[0];
    const PixelRegion have = in.region();
    if (area.isEmpty() || have.isEmpty()) return;
    const PixelRegion window = area.insetBy(-margin_, -margin_);
    const std::size_t width = std::size_t(area.width), columns = std::size_t(window.width);
    // Rows of the window, keeping the area's columns.
    std::vector<float> rows(std::size_t(window.height) * width * 4, 0.0f);
    std::vector<float> line(columns * 4);
    std::vector<double> scratch;
    const PixelRegion inside = have.intersection(window);
    for (std::int64_t y = inside.y; y < inside.maxY(); ++y) {
      std::fill(line.begin(), line.end(), 0.0f);
      std::copy_n(in.at(inside.x, y), std::size_t(inside.width) * 4,
                  line.data() + std::size_t(inside.x - window.x) * 4);
      filter_(line.data(), line.data(), window.width, 4, scratch);
      std::copy_n(line.data() + std::size_t(margin_) * 4, width * 4,
                  rows.data() + std::size_t(y - window.y) * width * 4);
    }
    // Columns, every column of the area at once.
    filter_(rows.data(), rows.data(), window.height, width * 4, scratch);
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      std::copy_n(rows.data() + std::size_t(y - window.y) * width * 4, width * 4, out.at(area.x, y));
    }
  }

 private:
  LineFilter filter_;
  std::int64_t margin_;
};

}  // namespace ci
