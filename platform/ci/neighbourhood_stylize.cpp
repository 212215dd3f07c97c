// Edges, zoom blur, crystallize and pixellate.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/ci/image_extent.h"
#include "platform/ci/neighbourhood_filters.h"

namespace ci {

namespace {

double boundedOr(double value, double low, double high, double fallback = 0) {
  return std::isnan(value) ? fallback : std::clamp(value, low, high);
}

raster::Point finiteOr(raster::Point p, raster::Point fallback) {
  return {std::isfinite(p.x) ? p.x : fallback.x, std::isfinite(p.y) ? p.y : fallback.y};
}

// A hash of a grid cell, two numbers in [0, 1).
void cellJitter(std::int64_t i, std::int64_t j, double& u, double& v) {
  std::uint64_t h = std::uint64_t(i) * 0x9E3779B97F4A7C15ull ^ (std::uint64_t(j) * 0xC2B2AE3D27D4EB4Full);
  h ^= h >> 31, h *= 0xBF58476D1CE4E5B9ull, h ^= h >> 29, h *= 0x94D049BB133111EBull, h ^= h >> 32;
  u = double(h & 0xFFFFFFFF) / 4294967296.0;
  v = double(h >> 32) / 4294967296.0;
}

}  // namespace

ImageRef edgesOf(const ImageRef& input, double intensity) {
  if (!input) return nullptr;
  const auto k = float(boundedOr(intensity, -1e6, 1e6));
  return Image::sampling(
      {input}, input->extent(),
      [k](const SamplerRow& row) {
        const Sampler& in = row.inputs[0];
        float p[3][3][4];
        for (std::int64_t i = 0; i < row.count; ++i) {
          const std::int64_t x = row.x + i;
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) in.pixel(x + dx, row.y + dy, p[dy + 1][dx + 1]);
          }
          float* o = row.output + i * 4;
          for (int c = 0; c < 3; ++c) {
            const float gx =
                (p[0][2][c] + 2 * p[1][2][c] + p[2][2][c]) - (p[0][0][c] + 2 * p[1][0][c] + p[2][0][c]);
            const float gy =
                (p[2][0][c] + 2 * p[2][1][c] + p[2][2][c]) - (p[0][0][c] + 2 * p[0][1][c] + p[0][2][c]);
            o[c] = k * std::sqrt(gx * gx + gy * gy);
          }
          o[3] = p[1][1][3];
        }
      },
      [](const raster::Rect& r) { return extentGrown(r, 1, 1); });
}

ImageRef zoomBlurred(const ImageRef& input, raster::Point centre, double amount) {
  if (!input) return nullptr;
  const double share = boundedOr(amount, 0, 100) / 100;
  if (share == 0) return input;
  centre = finiteOr(centre, {0, 0});
  constexpr int kSamples = 33;
  return Image::sampling(
      {input}, input->extent(),
      [centre, share](const SamplerRow& row) {
        const Sampler& in = row.inputs[0];
        const double py = double(row.y) + 0.5;
        float s[4];
        for (std::int64_t i = 0; i < row.count; ++i) {
          const double px = double(row.x + i) + 0.5, dx = centre.x - px, dy = centre.y - py;
          const double distance = std::hypot(dx, dy);
          const double length = std::min(share * distance, kMaximumReach);
          const double step = distance > 0 ? length / distance / (kSamples - 1) : 0;
          float sum[4] = {0, 0, 0, 0};
          for (int k = 0; k < kSamples; ++k) {
            in.sample(px + dx * step * k, py + dy * step * k, s);
            for (int c = 0; c < 4; ++c) sum[c] += s[c];
          }
          for (int c = 0; c < 4; ++c) row.output[i * 4 + c] = sum[c] / kSamples;
        }
      },
      [centre](const raster::Rect& r) {
        // Every ray ends within the reach, and within the box spanned by
        // the region and the centre (a box around the centre: an empty
        // rectangle would add nothing to the union, and tiles away from the
        // centre would read transparency where their rays leave them).
        const double reach = kMaximumReach + 2;
        const raster::Rect towards = extentUnion(r, raster::Rect(centre.x - 1, centre.y - 1, 2, 2));
        return extentGrown(r, reach, reach).intersection(extentGrown(towards, 2, 2));
      });
}

ImageRef crystallized(const ImageRef& input, raster::Point centre, double radius) {
  if (!input) return nullptr;
  const double spacing = boundedOr(radius, 4, kMaximumReach / 2, 4);
  centre = finiteOr(centre, {0, 0});
  // The seed of grid cell (i, j), jittered within the middle half of the
  // cell, so that the nearest seed of any point lies in the 3 × 3 cells
  // around it.
  auto seed = [centre, spacing](std::int64_t i, std::int64_t j) {
    double u, v;
    cellJitter(i, j, u, v);
    return raster::Point{centre.x + (double(i) + 0.25 + 0.5 * u) * spacing,
                         centre.y + (double(j) + 0.25 + 0.5 * v) * spacing};
  };
  return Image::sampling(
      {input}, input->extent(),
      [centre, spacing, seed](const SamplerRow& row) {
        const Sampler& in = row.inputs[0];
        const double py = double(row.y) + 0.5;
        const auto j0 = std::int64_t(std::floor((py - centre.y) / spacing));
        for (std::int64_t i = 0; i < row.count; ++i) {
          const double px = double(row.x + i) + 0.5;
          const auto i0 = std::int64_t(std::floor((px - centre.x) / spacing));
          raster::Point best{px, py};
          double bestDistance = INFINITY;
          for (std::int64_t dj = -1; dj <= 1; ++dj) {
            for (std::int64_t di = -1; di <= 1; ++di) {
              const raster::Point s = seed(i0 + di, j0 + dj);
              const double d = (s.x - px) * (s.x - px) + (s.y - py) * (s.y - py);
              if (d < bestDistance) bestDistance = d, best = s;
            }
          }
          in.pixel(std::int64_t(std::floor(best.x)), std::int64_t(std::floor(best.y)), row.output + i * 4);
        }
      },
      [spacing](const raster::Rect& r) { return extentGrown(r, 2 * spacing + 2, 2 * spacing + 2); });
}

ImageRef pixellated(const ImageRef& input, raster::Point centre, double scale) {
  if (!input) return nullptr;
  const double side = boundedOr(scale, 1, kMaximumReach, 1);
  centre = finiteOr(centre, {0, 0});
  const PixelRegion inside = input->domain();
  // The pixels (by their centres) of block b along one axis, within
  // [lo, hi): [first, last).
  auto span = [side](std::int64_t b, double origin, std::int64_t lo, std::int64_t hi) {
    const auto first = std::int64_t(std::ceil(origin + double(b) * side - 0.5));
    const auto last = std::int64_t(std::ceil(origin + double(b + 1) * side - 0.5));
    return std::pair{std::max(first, lo), std::min(last, hi)};
  };
  return Image::sampling(
      {input}, input->extent(),
      [centre, side, inside, span](const SamplerRow& row) {
        const Sampler& in = row.inputs[0];
        const auto by = std::int64_t(std::floor((double(row.y) + 0.5 - centre.y) / side));
        const auto [y0, y1] = span(by, centre.y, inside.y, inside.maxY());
        std::int64_t x = row.x;
        float p[4];
        while (x < row.x + row.count) {
          const auto bx = std::int64_t(std::floor((double(x) + 0.5 - centre.x) / side));
          const auto [x0, x1] = span(bx, centre.x, inside.x, inside.maxX());
          double sum[4] = {0, 0, 0, 0};
          for (std::int64_t yy = y0; yy < y1; ++yy) {
            for (std::int64_t xx = x0; xx < x1; ++xx) {
              in.pixel(xx, yy, p);
              for (int c = 0; c < 4; ++c) sum[c] += p[c];
            }
          }
          const double count =
              double(std::max<std::int64_t>(0, x1 - x0) * std::max<std::int64_t>(0, y1 - y0));
          const auto blockEnd = std::int64_t(std::ceil(centre.x + double(bx + 1) * side - 0.5));
          const std::int64_t end = std::min(row.x + row.count, std::max(blockEnd, x + 1));
          for (; x < end; ++x) {
            for (int c = 0; c < 4; ++c)
              row.output[(x - row.x) * 4 + c] = count > 0 ? float(sum[c] / count) : 0.0f;
          }
        }
      },
      [side](const raster::Rect& r) { return extentGrown(r, side + 1, side + 1); });
}

}  // namespace ci
