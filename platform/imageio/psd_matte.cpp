#include "platform/imageio/psd_matte.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <type_traits>

#include "platform/foundation/parallel.h"

namespace imageio::psd {

namespace {

constexpr std::int64_t kRowGrain = 64;

// Sample arithmetic in one type per depth: integers for integer samples
// (exact), float for float samples.
template <typename Sample>
struct Range;
template <>
struct Range<std::uint8_t> {
  using Math = int;
  static constexpr int full = 255;
  static constexpr int slack = 1;
};
template <>
struct Range<std::uint16_t> {
  using Math = std::int64_t;  // products of two samples exceed int
  static constexpr std::int64_t full = 65535;
  static constexpr std::int64_t slack = 257;
};
template <>
struct Range<float> {
  using Math = float;
  static constexpr float full = 1.0f;
  static constexpr float slack = 1.0f / 255.0f;
};

template <typename Sample>
typename Range<Sample>::Math alphaOf(const Sample* pixel, int colorComponents) {
  using R = Range<Sample>;
  if constexpr (std::is_same_v<Sample, float>) {
    const float a = pixel[colorComponents];
    return std::isfinite(a) ? std::clamp(a, 0.0f, R::full) : R::full;
  } else {
    return typename R::Math(pixel[colorComponents]);
  }
}

template <typename Sample>
const Sample* rowOf(const std::uint8_t* pixels, const MatteLayout& layout, std::int64_t y) {
  return reinterpret_cast<const Sample*>(pixels + std::size_t(y) * layout.bytesPerRow);
}

template <typename Sample>
Sample* rowOf(std::uint8_t* pixels, const MatteLayout& layout, std::int64_t y) {
  return reinterpret_cast<Sample*>(pixels + std::size_t(y) * layout.bytesPerRow);
}

template <typename Sample>
bool isMatted(const std::uint8_t* pixels, const MatteLayout& layout) {
  using R = Range<Sample>;
  std::atomic<bool> straight{false};
  std::atomic<bool> anyTranslucent{false};
  foundation::parallelForRange(
      0, layout.height,
      [&](std::int64_t begin, std::int64_t end) {
        bool sawTranslucent = false;
        for (std::int64_t y = begin; y < end && !straight.load(std::memory_order_relaxed); ++y) {
          const Sample* row = rowOf<Sample>(pixels, layout, y);
          for (std::int64_t x = 0; x < layout.width; ++x) {
            const Sample* pixel = row + x * layout.samplesPerPixel;
            const auto matte = R::full - alphaOf(pixel, layout.colorComponents);
            if (!(matte > 0)) continue;
            sawTranslucent = true;
            const auto least = matte - R::slack;
            for (int c = 0; c < layout.colorComponents; ++c) {
              const auto v = typename R::Math(pixel[c]);
              if (!((layout.inkColor ? R::full - v : v) >= least)) {
                straight.store(true, std::memory_order_relaxed);
                return;
              }
            }
          }
        }
        if (sawTranslucent) anyTranslucent.store(true, std::memory_order_relaxed);
      },
      kRowGrain);
  return anyTranslucent.load() && !straight.load();
}

template <typename Sample>
void removeMatte(std::uint8_t* pixels, const MatteLayout& layout) {
  using R = Range<Sample>;
  foundation::parallelForRange(
      0, layout.height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          Sample* row = rowOf<Sample>(pixels, layout, y);
          for (std::int64_t x = 0; x < layout.width; ++x) {
            Sample* pixel = row + x * layout.samplesPerPixel;
            const auto a = alphaOf(pixel, layout.colorComponents);
            const auto matte = R::full - a;
            if (!(matte > 0)) continue;
            for (int c = 0; c < layout.colorComponents; ++c) {
              auto v = typename R::Math(pixel[c]);
              if constexpr (std::is_same_v<Sample, float>)
                if (!std::isfinite(v)) v = R::full;
              pixel[c] = Sample(std::clamp(layout.inkColor ? v : v - matte, typename R::Math(0), a));
            }
          }
        }
      },
      kRowGrain);
}

template <typename Sample>
void applyMatte(std::uint8_t* pixels, const MatteLayout& layout, bool premultiplied) {
  using R = Range<Sample>;
  using Math = typename R::Math;
  foundation::parallelForRange(
      0, layout.height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          Sample* row = rowOf<Sample>(pixels, layout, y);
          for (std::int64_t x = 0; x < layout.width; ++x) {
            Sample* pixel = row + x * layout.samplesPerPixel;
            const Math a = alphaOf(pixel, layout.colorComponents);
            const Math matte = R::full - a;
            if (!(matte > 0)) continue;
            for (int c = 0; c < layout.colorComponents; ++c) {
              Math v = Math(pixel[c]);
              if constexpr (std::is_same_v<Sample, float>) {
                if (!std::isfinite(v)) v = 0;
                if (!premultiplied) v = std::clamp(v, 0.0f, 1.0f) * a;
              } else if (!premultiplied) {
                // Rounded premultiplication, exact in integers.
                v = (v * a + R::full / 2) / R::full;
              }
              pixel[c] = Sample(std::clamp(v, Math(0), a) + (layout.inkColor ? Math(0) : matte));
            }
          }
        }
      },
      kRowGrain);
}

bool validLayout(const MatteLayout& l) {
  const int sampleBytes = l.depth / 8;
  return (l.depth == 8 || l.depth == 16 || l.depth == 32) && l.width > 0 && l.height > 0 &&
         l.colorComponents >= 1 && l.samplesPerPixel > l.colorComponents &&
         l.bytesPerRow >= std::size_t(l.width) * std::size_t(l.samplesPerPixel) * std::size_t(sampleBytes);
}

}  // namespace

bool isMattedAgainstWhite(const std::uint8_t* pixels, const MatteLayout& layout) {
  if (pixels == nullptr || !validLayout(layout)) return false;
  switch (layout.depth) {
    case 16:
      return isMatted<std::uint16_t>(pixels, layout);
    case 32:
      return isMatted<float>(pixels, layout);
    default:
      return isMatted<std::uint8_t>(pixels, layout);
  }
}

void removeWhiteMatte(std::uint8_t* pixels, const MatteLayout& layout) {
  if (pixels == nullptr || !validLayout(layout)) return;
  switch (layout.depth) {
    case 16:
      return removeMatte<std::uint16_t>(pixels, layout);
    case 32:
      return removeMatte<float>(pixels, layout);
    default:
      return removeMatte<std::uint8_t>(pixels, layout);
  }
}

void applyWhiteMatte(std::uint8_t* pixels, const MatteLayout& layout, bool premultiplied) {
  if (pixels == nullptr || !validLayout(layout)) return;
  switch (layout.depth) {
    case 16:
      return applyMatte<std::uint16_t>(pixels, layout, premultiplied);
    case 32:
      return applyMatte<float>(pixels, layout, premultiplied);
    default:
      return applyMatte<std::uint8_t>(pixels, layout, premultiplied);
  }
}

}  // namespace imageio::psd
