#include "filters/clahe.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"

namespace velumar {

namespace {

constexpr int kBands = 8;
constexpr std::uint64_t kFixedClip = 16384;
constexpr float kScale = 65535.0f;

struct Band {
  std::int64_t firstRow = 0, endRow = 0;
  std::uint32_t lowest = 65535, highest = 0;
};

std::uint16_t toComponent(float v) {
  return std::uint16_t(std::clamp(v, 0.0f, 1.0f) * kScale);
}

// Premultiplied RGB to (V, S, H/360) in place, alpha kept.
void startBand(std::uint8_t* pixels, std::size_t bytesPerRow, std::int64_t width, Band& band) {
  for (std::int64_t y = band.firstRow; y < band.endRow; ++y) {
    auto* p = reinterpret_cast<std::uint16_t*>(pixels + std::size_t(y) * bytesPerRow);
    for (std::int64_t x = 0; x < width; ++x, p += 4) {
      float r = 0, g = 0, b = 0;
      if (p[3] != 0) {
        const float a = float(p[3]);
        r = float(p[0]) / a, g = float(p[1]) / a, b = float(p[2]) / a;
      }
      float h, s, v;
      RGBToHSV(r, g, b, h, s, v);
      p[0] = toComponent(v), p[1] = toComponent(s), p[2] = toComponent(h / 360.0f);
      band.lowest = std::min<std::uint32_t>(band.lowest, p[0]);
      band.highest = std::max<std::uint32_t>(band.highest, p[0]);
    }
  }
}

// (V, S, H/360) back to premultiplied RGB, saturation raised by boost.
void endBand(std::uint8_t* pixels, std::size_t bytesPerRow, std::int64_t width, const Band& band,
             double boost) {
  const float half = float(boost / 2);
  for (std::int64_t y = band.firstRow; y < band.endRow; ++y) {
    auto* p = reinterpret_cast<std::uint16_t*>(pixels + std::size_t(y) * bytesPerRow);
    for (std::int64_t x = 0; x < width; ++x, p += 4) {
      const float v = float(p[0]) / kScale, s = float(p[1]) / kScale, h = float(p[2]) / kScale * 360.0f;
      const float a = float(p[3]) / kScale;
      float raised = s + half * std::min(v, s);
      raised = raised >= 0 ? (raised <= 1 ? raised : 1.0f) : 0.0f;
      float r, g, b;
      HSVToRGB(h, raised, v, r, g, b);
      const auto store = [a](float c) { return std::uint16_t(std::clamp(c * kScale * a, 0.0f, kScale)); };
      p[0] = store(r), p[1] = store(g), p[2] = store(b);
    }
  }
}

std::vector<Band> bandsOf(std::int64_t height) {
  std::vector<Band> bands(kBands);
  const std::int64_t step = height / kBands;
  for (int k = 0; k < kBands; ++k) {
    bands[std::size_t(k)].firstRow = k * step;
    bands[std::size_t(k)].endRow = k == kBands - 1 ? height : (k + 1) * step;
  }
  return bands;
}

}  // namespace

void RGBToHSV(float r, float g, float b, float& h, float& s, float& v) {
  const float mx = std::max({r, g, b}), mn = std::min({r, g, b});
  v = mx;
  if (mx == 0) {
    h = -1, s = 0, v = 0;
    return;
  }
  const float delta = mx - mn;
  s = delta / mx;
  if (delta == 0) {
    h = 0;
    return;
  }
  if (r == mx) {
    h = (g - b) / delta;
  } else if (g == mx) {
    h = (b - r) / delta + 2;
  } else {
    h = (r - g) / delta + 4;
  }
  h *= 60;
  if (h < 0) h += 360;
}

void HSVToRGB(float h, float s, float v, float& r, float& g, float& b) {
  if (s == 0) {
    r = g = b = v;
    return;
  }
  const float x = h / 60;
  const float i = std::floor(x), f = x - i;
  const float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (int(i)) {
    case 0:
      r = v, g = t, b = p;
      break;
    case 1:
      r = q, g = v, b = p;
      break;
    case 2:
      r = p, g = v, b = t;
      break;
    case 3:
      r = p, g = q, b = v;
      break;
    case 4:
      r = t, g = p, b = v;
      break;
    default:
      r = v, g = p, b = q;
      break;
  }
}

std::optional<CLAHE::WorkingSize> CLAHE::workingSize(std::uint32_t width, std::uint32_t height,
                                                     std::uint32_t divs) {
  if (divs < 2 || divs > 512) return std::nullopt;
  const std::uint32_t m = divs - 1;
  std::uint32_t wr = width, hr = height;
  if ((width & m) || (height & m) || width % divs || height % divs) {
    wr = (((width + m) & ~m) + m) & ~m;
    hr = (height + divs - 1) & ~(divs - 1);
  }
  const std::uint32_t wc = wr - wr % divs, hc = hr - hr % divs;
  const std::uint32_t tile = wr / divs;
  return WorkingSize{tile % 2 ? wc + divs : wc, hc};
}

std::uint64_t CLAHE::clipFor(double limit, std::uint64_t tileArea, std::uint32_t bins) {
  if (!(limit > 0)) return kFixedClip;
  const float clip = float(limit) * float(tileArea) / float(bins);
  // Compared before converting: a huge limit would overflow the integer.
  if (!(clip >= 1.0f)) return 1;
  if (double(clip) >= double(tileArea)) return std::max<std::uint64_t>(1, tileArea);
  return std::max<std::uint64_t>(1, std::uint64_t(clip));
}

void CLAHE::clipHistogram(std::uint64_t* histogram, std::uint32_t bins, std::uint64_t clip) {
  std::uint64_t excess = 0;
  for (std::uint32_t i = 0; i < bins; ++i)
    if (histogram[i] > clip) excess += histogram[i] - clip;
  const std::uint64_t increment = excess / bins;
  const std::uint64_t upper = clip > increment ? clip - increment : 0;
  for (std::uint32_t i = 0; i < bins; ++i) {
    std::uint64_t& count = histogram[i];
    if (count > clip) {
      count = clip;
    } else if (count > upper) {
      excess -= count - upper;
      count = clip;
    } else {
      excess -= increment;
      count += increment;
    }
  }
  while (excess > 0) {
    const std::uint64_t before = excess;
    for (std::uint32_t start = 0; start < bins && excess > 0; ++start) {
      const std::uint64_t step = excess > bins ? 1 : bins / excess;
      for (std::uint64_t k = start; k < bins && excess > 0; k += step) {
        if (histogram[k] < clip) {
          ++histogram[k];
          --excess;
        }
      }
    }
    if (excess >= before) break;
  }
}

void CLAHE::mapHistogram(std::uint64_t* histogram, std::uint32_t bins, std::uint32_t minimum,
                         std::uint32_t maximum, std::uint64_t tileArea) {
  const float scale = float(maximum - minimum) / float(tileArea);
  std::uint64_t sum = 0;
  for (std::uint32_t i = 0; i < bins; ++i) {
    sum += histogram[i];
    const float value = float(minimum) + float(sum) * scale;
    histogram[i] = value >= float(maximum) ? maximum : std::uint64_t(value);
  }
}

ci::ImageRef CLAHE::CLAdaptEqualize(raster::BitmapContext& context, std::uint32_t xDivs, std::uint32_t yDivs,
                                    std::uint32_t bins, double limit, double saturation) {
  if (xDivs < 2 || xDivs > 512 || yDivs < 2 || yDivs > 512) return nullptr;
  if (bins == 0) bins = 128;
  if (bins > 65536) return nullptr;
  const std::int64_t width = context.width(), height = context.height();
  if (width <= 0 || height <= 0 || width > 0x7fffffff || height > 0x7fffffff) return nullptr;
  const std::optional<WorkingSize> across = workingSize(std::uint32_t(width), std::uint32_t(height), xDivs);
  const std::optional<WorkingSize> down = workingSize(std::uint32_t(width), std::uint32_t(height), yDivs);
  if (!across || !down) return nullptr;
  const std::uint32_t workWidth = across->width, workHeight = down->height;
  if (workWidth == 0 || workHeight == 0) {
    foundation::log("CLAHE: working context cannot be created");
    return nullptr;
  }
  auto work = raster::BitmapContext::create(
      workWidth, workHeight, {16, 3, raster::AlphaInfo::PremultipliedLast}, raster::ColorSpace::genericRGB());
  if (!work) {
    foundation::log("CLAHE: working context cannot be created");
    return nullptr;
  }
  // Scaled with a high-quality kernel; at the same size a plain copy, so
  // that nothing bleeds between neighbours.
  const bool sameSize = workWidth == width && workHeight == height;
  const auto quality = sameSize ? raster::InterpolationQuality::None : raster::InterpolationQuality::High;
  work->setInterpolationQuality(quality);
  work->setShouldAntialias(true);
  work->setBlendMode(raster::BlendMode::Copy);
  work->drawImage(context.makeImage(), raster::Rect(0, 0, workWidth, workHeight));

  std::uint8_t* pixels = work->mutableData();
  const std::size_t bytesPerRow = work->bytesPerRow();
  std::vector<Band> bands = bandsOf(workHeight);
  foundation::parallelFor(
      0, kBands, [&](std::int64_t k) { startBand(pixels, bytesPerRow, workWidth, bands[std::size_t(k)]); });
  std::uint32_t minimum = 65535, maximum = 0;
  for (const Band& band : bands) {
    if (band.lowest > band.highest) continue;
    minimum = std::min(minimum, band.lowest);
    maximum = std::max(maximum, band.highest);
  }
  if (minimum > maximum) minimum = 0, maximum = 65535;
  if (minimum >= maximum) return nullptr;

  if (float(limit) != 1.0f) {
    const std::uint64_t tiles = std::uint64_t(xDivs) * yDivs;
    if (tiles * bins * sizeof(std::uint64_t) > kLargestHistogramBytes) {
      foundation::log("CLAHE: {} tiles of {} bins are too many", tiles, bins);
      return nullptr;
    }
    std::vector<std::uint64_t> maps;
    try {
      maps.assign(tiles * bins, 0);
    } catch (const std::bad_alloc&) {
      foundation::log("CLAHE: no memory for the histograms");
      return nullptr;
    }
    const std::uint32_t tileWidth = workWidth / xDivs, tileHeight = workHeight / yDivs;
    const std::uint64_t tileArea = std::uint64_t(tileWidth) * tileHeight;
    const std::uint64_t clip = clipFor(limit, tileArea, bins);
    std::vector<std::uint16_t> grey(65536, 0);
    // Kept wider than 16 bits: one bin over the full range would be 65,536.
    const std::uint32_t binSize = (maximum - minimum) / bins + 1;
    for (std::uint32_t v = minimum; v <= maximum; ++v) grey[v] = std::uint16_t((v - minimum) / binSize);
    const auto valueAt = [&](std::int64_t x, std::int64_t y) -> std::uint16_t& {
      return reinterpret_cast<std::uint16_t*>(pixels + std::size_t(y) * bytesPerRow)[x * 4];
    };
    foundation::parallelFor(0, std::int64_t(tiles), [&](std::int64_t t) {
      std::uint64_t* histogram = maps.data() + std::size_t(t) * bins;
      const std::int64_t x0 = (t % xDivs) * tileWidth, y0 = (t / xDivs) * tileHeight;
      for (std::int64_t y = y0; y < y0 + tileHeight; ++y)
        for (std::int64_t x = x0; x < x0 + tileWidth; ++x) ++histogram[grey[valueAt(x, y)]];
      clipHistogram(histogram, bins, clip);
      mapHistogram(histogram, bins, minimum, maximum, tileArea);
    });
    // Region rows: half a tile at either end, whole tiles between.
    struct RegionRow {
      std::int64_t first, rows;
      std::uint32_t upper, lower;
    };
    std::vector<RegionRow> regionRows;
    std::int64_t row = 0;
    for (std::uint32_t y = 0; y <= yDivs; ++y) {
      const std::int64_t rows = (y == 0 || y == yDivs) ? tileHeight / 2 : tileHeight;
      const std::uint32_t upper = y == 0 ? 0 : y - 1, lower = y == 0 ? 0 : (y == yDivs ? yDivs - 1 : y);
      regionRows.push_back({row, rows, upper, lower});
      row += rows;
    }
    foundation::parallelFor(0, row, [&](std::int64_t y) {
      const auto region = std::upper_bound(regionRows.begin(), regionRows.end(), y,
                                           [](std::int64_t r, const RegionRow& rr) { return r < rr.first; }) -
                          1;
      if (region->rows == 0) return;
      const std::uint64_t sy = std::uint64_t(region->rows), j = std::uint64_t(y - region->first);
      std::int64_t x = 0;
      for (std::uint32_t rx = 0; rx <= xDivs; ++rx) {
        const std::uint64_t sx = (rx == 0 || rx == xDivs) ? tileWidth / 2 : tileWidth;
        if (sx == 0) continue;
        const std::uint32_t left = rx == 0 ? 0 : rx - 1, right = rx == 0 ? 0 : (rx == xDivs ? xDivs - 1 : rx);
        const std::uint64_t* lu = maps.data() + std::size_t(region->upper * xDivs + left) * bins;
        const std::uint64_t* ru = maps.data() + std::size_t(region->upper * xDivs + right) * bins;
        const std::uint64_t* lb = maps.data() + std::size_t(region->lower * xDivs + left) * bins;
        const std::uint64_t* rb = maps.data() + std::size_t(region->lower * xDivs + right) * bins;
        const std::uint64_t area = sx * sy;
        const bool shift = std::has_single_bit(area);
        const int bitsOfArea = std::countr_zero(area);
        for (std::uint64_t i = 0; i < sx; ++i, ++x) {
          std::uint16_t& v = valueAt(x, y);
          const std::uint16_t g = grey[v];
          const std::uint64_t sum =
              j * (i * rb[g] + (sx - i) * lb[g]) + (sy - j) * (i * ru[g] + (sx - i) * lu[g]);
          v = std::uint16_t(shift ? sum >> bitsOfArea : sum / area);
        }
      }
    });
  }
  foundation::parallelFor(0, kBands, [&](std::int64_t k) {
    endBand(pixels, bytesPerRow, workWidth, bands[std::size_t(k)], saturation);
  });
  context.saveGState();
  context.setBlendMode(raster::BlendMode::Copy);
  context.setInterpolationQuality(quality);
  context.drawImage(work->makeImage(), raster::Rect(0, 0, double(width), double(height)));
  context.restoreGState();
  return ci::Image::withBitmap(context.makeImage());
}

}  // namespace velumar
