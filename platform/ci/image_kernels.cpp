// Per-pixel kernels over one or more inputs, source-over compositing,
// separable convolution and warps.

#include <algorithm>
#include <cstring>

#include "platform/ci/image_extent.h"
#include "platform/ci/image_nodes.h"

namespace ci {

namespace {

// Fills row (count pixels from x at y) of input in, zero outside it.
void fetchRow(const TileBuffer& in, std::int64_t x, std::int64_t y, std::int64_t count, float* row) {
  std::memset(row, 0, std::size_t(count) * 4 * sizeof(float));
  const PixelRegion& have = in.region();
  if (y < have.y || y >= have.maxY()) return;
  std::int64_t x0 = std::max(x, have.x), x1 = std::min(x + count, have.maxX());
  if (x1 > x0) std::memcpy(row + (x0 - x) * 4, in.at(x0, y), std::size_t(x1 - x0) * 4 * sizeof(float));
}

// Row (count pixels from x at y) of input in: the input's own pixels where
// it holds the whole row, else a copy in row with zeros outside it.
const float* inputRow(const TileBuffer& in, std::int64_t x, std::int64_t y, std::int64_t count, float* row) {
  const PixelRegion& have = in.region();
  if (y >= have.y && y < have.maxY() && x >= have.x && x + count <= have.maxX()) return in.at(x, y);
  fetchRow(in, x, y, count, row);
  return row;
}

void unpremultiply(float* p, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i, p += 4) {
    if (p[3] > 0) {
      float inv = 1.0f / p[3];
      p[0] *= inv, p[1] *= inv, p[2] *= inv;
    } else {
      p[0] = p[1] = p[2] = 0;
    }
  }
}

void premultiply(float* p, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i, p += 4) p[0] *= p[3], p[1] *= p[3], p[2] *= p[3];
}

class KernelNode final : public Image {
 public:
  KernelNode(std::vector<ImageRef> inputs, const raster::Rect& extent, KernelFunction function, bool straight)
      : Image(extent, std::move(inputs)), function_(std::move(function)), straight_(straight) {}

  bool writesWholeDomain() const override { return true; }

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    PixelRegion area = region.intersection(domain());
    out.resize(inputs().size());
    for (std::size_t i = 0; i < inputs().size(); ++i) out[i] = area.intersection(inputs()[i]->domain());
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    PixelRegion area = out.region().intersection(domain());
    if (area.isEmpty()) return;
    const std::size_t n = inputs.size(), rowFloats = std::size_t(area.width) * 4;
    std::vector<float> rows(n * rowFloats);
    std::vector<const float*> pointers(n);
    for (std::size_t i = 0; i < n; ++i) pointers[i] = rows.data() + i * rowFloats;
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      for (std::size_t i = 0; i < n; ++i) {
        float* row = rows.data() + i * rowFloats;
        if (straight_) {
          fetchRow(*inputs[i], area.x, y, area.width, row);
          unpremultiply(row, area.width);
        } else {
          pointers[i] = inputRow(*inputs[i], area.x, y, area.width, row);
        }
      }
      float* output = out.at(area.x, y);
      function_(KernelRow{area.x, y, area.width, pointers.data(), output});
      if (straight_) premultiply(output, area.width);
    }
  }

 private:
  KernelFunction function_;
  bool straight_;
};

class ConvolutionNode final : public Image {
 public:
  ConvolutionNode(const ImageRef& input, std::vector<float> horizontal, std::vector<float> vertical)
      : Image(extentGrown(input->extent(), double(horizontal.size() / 2), double(vertical.size() / 2)),
              {input}),
        horizontal_(std::move(horizontal)),
        vertical_(std::move(vertical)) {}

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    std::int64_t rx = std::int64_t(horizontal_.size() / 2), ry = std::int64_t(vertical_.size() / 2);
    out.assign(1, region.intersection(domain()).insetBy(-rx, -ry).intersection(inputs()[0]->domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    const TileBuffer& in = *inputs[0];
    const PixelRegion have = in.region();
    const PixelRegion& region = out.region();
    if (have.isEmpty()) return;
    const std::int64_t rx = std::int64_t(horizontal_.size() / 2), ry = std::int64_t(vertical_.size() / 2);
    // Horizontal pass into the rows the vertical pass reads.
    const std::int64_t y0 = region.y - ry, rowsNeeded = region.height + 2 * ry;
    const std::size_t width = std::size_t(region.width);
    std::vector<float> temp(std::size_t(rowsNeeded) * width * 4, 0.0f);
    for (std::int64_t j = 0; j < rowsNeeded; ++j) {
      std::int64_t y = y0 + j;
      if (y < have.y || y >= have.maxY()) continue;
      float* t = temp.data() + std::size_t(j) * width * 4;
      for (std::size_t i = 0; i < width; ++i, t += 4) {
        std::int64_t x = region.x + std::int64_t(i);
        std::int64_t k0 = std::max<std::int64_t>(0, have.x - (x - rx));
        std::int64_t k1 = std::min<std::int64_t>(std::int64_t(horizontal_.size()), have.maxX() - (x - rx));
        for (std::int64_t k = k0; k < k1; ++k) {
          const float* p = in.at(x - rx + k, y);
          float w = horizontal_[std::size_t(k)];
          t[0] += w * p[0], t[1] += w * p[1], t[2] += w * p[2], t[3] += w * p[3];
        }
      }
    }
    for (std::int64_t j = 0; j < region.height; ++j) {
      float* o = out.row(region.y + j);
      for (std::size_t k = 0; k < vertical_.size(); ++k) {
        const float* t = temp.data() + std::size_t(j + std::int64_t(k)) * width * 4;
        float w = vertical_[k];
        for (std::size_t i = 0; i < width * 4; ++i) o[i] += w * t[i];
      }
    }
  }

 private:
  std::vector<float> horizontal_, vertical_;
};

class WarpNode final : public Image {
 public:
  WarpNode(const ImageRef& input, const raster::Rect& extent, WarpFunction function,
           RegionOfInterestFunction roi)
      : Image(extent, {input}), function_(std::move(function)), roi_(std::move(roi)) {}

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    PixelRegion area = region.intersection(domain());
    if (area.isEmpty()) {
      out.assign(1, PixelRegion{});
      return;
    }
    raster::Rect need = roi_ ? roi_(rectOf(area)) : inputs()[0]->extent();
    out.assign(1, pixelsTouching(need).insetBy(-1, -1).intersection(inputs()[0]->domain()));
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    PixelRegion area = out.region().intersection(domain());
    if (area.isEmpty() || inputs[0]->region().isEmpty()) return;
    const PixelRegion source = inputs[0]->region().intersection(this->inputs()[0]->domain());
    std::vector<double> points(std::size_t(area.width) * 2);
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      function_(area.x, y, area.width, points.data());
      float* o = out.at(area.x, y);
      for (std::int64_t i = 0; i < area.width; ++i, o += 4) {
        nodes::sampleBilinear(*inputs[0], source, points[std::size_t(i) * 2], points[std::size_t(i) * 2 + 1],
                              o);
      }
    }
  }

 private:
  WarpFunction function_;
  RegionOfInterestFunction roi_;
};

class SamplingNode final : public Image {
 public:
  SamplingNode(std::vector<ImageRef> inputs, const raster::Rect& extent, SamplerKernelFunction function,
               RegionOfInterestFunction roi)
      : Image(extent, std::move(inputs)), function_(std::move(function)), roi_(std::move(roi)) {}

  void inputRegions(const PixelRegion& region, std::vector<PixelRegion>& out) const override {
    PixelRegion area = region.intersection(domain());
    out.assign(inputs().size(), PixelRegion{});
    if (area.isEmpty()) return;
    for (std::size_t i = 0; i < inputs().size(); ++i) {
      raster::Rect need = roi_ ? roi_(rectOf(area)) : inputs()[i]->extent();
      out[i] = pixelsTouching(need).insetBy(-1, -1).intersection(inputs()[i]->domain());
    }
  }

  void render(std::span<const TileBuffer* const> inputs, TileBuffer& out) const override {
    PixelRegion area = out.region().intersection(domain());
    if (area.isEmpty()) return;
    std::vector<Sampler> samplers;
    samplers.reserve(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i)
      samplers.emplace_back(*inputs[i], this->inputs()[i]->domain());
    for (std::int64_t y = area.y; y < area.maxY(); ++y) {
      function_(SamplerRow{area.x, y, area.width, samplers.data(), out.at(area.x, y)});
    }
  }

 private:
  SamplerKernelFunction function_;
  RegionOfInterestFunction roi_;
};

}  // namespace

ImageRef Image::kernel(std::vector<ImageRef> inputs, const raster::Rect& extent, KernelFunction function,
                       bool straightColor) {
  if (inputs.empty() || !function) return nullptr;
  for (const ImageRef& input : inputs) {
    if (!input) return nullptr;
  }
  return std::make_shared<KernelNode>(std::move(inputs), extent, std::move(function), straightColor);
}

ImageRef Image::convolved(const ImageRef& input, std::vector<float> horizontal, std::vector<float> vertical) {
  if (!input || horizontal.size() % 2 == 0 || vertical.size() % 2 == 0) return nullptr;
  return std::make_shared<ConvolutionNode>(input, std::move(horizontal), std::move(vertical));
}

ImageRef Image::sampling(std::vector<ImageRef> inputs, const raster::Rect& extent,
                         SamplerKernelFunction function, RegionOfInterestFunction regionOfInterest) {
  if (inputs.empty() || !function) return nullptr;
  for (const ImageRef& input : inputs) {
    if (!input || (!regionOfInterest && isInfinite(input->extent()))) return nullptr;
  }
  return std::make_shared<SamplingNode>(std::move(inputs), extent, std::move(function),
                                        std::move(regionOfInterest));
}

void Sampler::sample(double u, double v, float* out) const {
  nodes::sampleBilinear(*buffer_, area_, u, v, out);
}

ImageRef Image::warped(const ImageRef& input, const raster::Rect& extent, WarpFunction function,
                       RegionOfInterestFunction regionOfInterest) {
  if (!input || !function) return nullptr;
  if (!regionOfInterest && isInfinite(input->extent())) return nullptr;
  return std::make_shared<WarpNode>(input, extent, std::move(function), std::move(regionOfInterest));
}

namespace nodes {

ImageRef sourceOver(const ImageRef& foreground, const ImageRef& background) {
  if (!foreground || !background) return nullptr;
  return Image::kernel({foreground, background}, extentUnion(foreground->extent(), background->extent()),
                       [](const KernelRow& row) {
                         const float* s = row.inputs[0];
                         const float* d = row.inputs[1];
                         float* o = row.output;
                         for (std::int64_t i = 0; i < row.count * 4; i += 4) {
                           float k = 1.0f - s[i + 3];
                           o[i] = s[i] + d[i] * k, o[i + 1] = s[i + 1] + d[i + 1] * k;
                           o[i + 2] = s[i + 2] + d[i + 2] * k, o[i + 3] = s[i + 3] + d[i + 3] * k;
                         }
                       });
}

}  // namespace nodes

}  // namespace ci
