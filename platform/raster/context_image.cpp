// Image drawing of BitmapContext: colour conversion into the context's
// space and resampling. Axis-aligned draws (scales and flips) resample
// separably: an integer box prefilter brings a shrink to within 2×, then a
// Lanczos-3 (high) or Catmull-Rom (medium) kernel widened by the remaining
// shrink; low quality is bilinear, none nearest. Rotated or sheared draws
// box-prefilter the same way and sample through the inverse transform with
// Catmull-Rom (medium and high) or bilinear (low).

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/raster/context_internals.h"
#include "platform/raster/image_row_reader.h"
#include "platform/raster/pixel_layout.h"
#include "platform/raster/resampling_filter.h"

namespace raster {

namespace {

constexpr std::int64_t kBandRows = 64;

// Rows of a task: enough work (source pixels read, plus filter taps
// applied) that the per-task set-up (scratch buffers, scheduling) stays
// small next to it, and no more, so that a band of rows still spreads over
// every core.
constexpr std::int64_t kTaskWork = 1 << 15;

std::int64_t taskRows(std::int64_t workPerRow) {
  return std::max<std::int64_t>(1, kTaskWork / std::max<std::int64_t>(1, workPerRow));
}

// A buffer of floats for one task, not zero-filled.
std::unique_ptr<float[]> taskBuffer(std::int64_t count) {
  return std::make_unique_for_overwrite<float[]>(std::size_t(std::max<std::int64_t>(count, 1)));
}

struct DrawTarget {
  Surface surface;
  const CoverageMask* clip = nullptr;
  BlendMode mode = BlendMode::Normal;
  float alpha = 1;
};

// Box-averages source rows [r·ky, (r+1)·ky) ∩ image, columns of prefiltered
// pixels [p0, p1), into out ((p1 - p0) · channels).
void boxRow(const ImageRowReader& reader, ImageRowReader::Scratch& scratch, float* line, std::int64_t r,
            std::int64_t p0, std::int64_t p1, int kx, int ky, std::int64_t width, std::int64_t height,
            float* out) {
  const int ch = reader.channels();
  const std::int64_t x0 = p0 * kx, x1 = std::min(p1 * kx, width);
  const std::int64_t y0 = r * ky, y1 = std::min((r + 1) * ky, height);
  if (kx == 1 && ky == 1) {
    reader.read(y0, x0, x1, out, scratch);
    return;
  }
  std::fill(out, out + (p1 - p0) * ch, 0.0f);
  for (std::int64_t y = y0; y < y1; ++y) {
    reader.read(y, x0, x1, line, scratch);
    const float* in = line;
    float* o = out;
    // Walk source columns in blocks of kx, adding each block into one output.
    for (std::int64_t x = x0; x < x1; o += ch) {
      const std::int64_t blockEnd = std::min(x + kx, x1);
      if (ch == 4) {
        float a0 = o[0], a1 = o[1], a2 = o[2], a3 = o[3];
        for (; x < blockEnd; ++x, in += 4) a0 += in[0], a1 += in[1], a2 += in[2], a3 += in[3];
        o[0] = a0, o[1] = a1, o[2] = a2, o[3] = a3;
      } else {
        for (; x < blockEnd; ++x, in += ch)
          for (int c = 0; c < ch; ++c) o[c] += in[c];
      }
    }
  }
  const float rows = float(y1 - y0);
  for (std::int64_t p = p0; p < p1; ++p) {
    const float columns = float(std::min((p + 1) * kx, width) - p * kx);
    const float scale = 1.0f / (rows * columns);
    float* o = out + (p - p0) * ch;
    for (int c = 0; c < ch; ++c) o[c] *= scale;
  }
}

// Four floats as one value: one pixel's channels, added in one step.
using Float4 = float __attribute__((vector_size(16)));

inline Float4 load4(const float* p) {
  Float4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void store4(float* p, Float4 v) {
  std::memcpy(p, &v, sizeof v);
}

// Applies the horizontal filter table to one box-filtered row. Four
// channels take the fast path: four output pixels at a time, each summing
// its taps in order on its own, so the additions of one pixel never wait
// for each other's results and every sum is that of the plain loop.
void horizontalPass(const FilterTable& h, const float* boxed, std::int64_t p0, std::int64_t outWidth,
                    float* out, int ch) {
  std::int64_t i = 0;
  if (ch == 4) {
    const std::size_t stride = std::size_t(h.maxTaps);
    for (; i + 4 <= outWidth; i += 4) {
      const float* w[4];
      const float* in[4];
      int taps[4];
      for (int k = 0; k < 4; ++k) {
        const std::size_t n = std::size_t(i + k);
        w[k] = h.weights.data() + n * stride;
        in[k] = boxed + (h.first[n] - p0) * 4;
        taps[k] = h.taps[n];
      }
      Float4 acc[4] = {};
      const int common = std::min(std::min(taps[0], taps[1]), std::min(taps[2], taps[3]));
      for (int t = 0; t < common; ++t)
        for (int k = 0; k < 4; ++k) acc[k] += w[k][t] * load4(in[k] + t * 4);
      for (int k = 0; k < 4; ++k) {
        for (int t = common; t < taps[k]; ++t) acc[k] += w[k][t] * load4(in[k] + t * 4);
        store4(out + (i + k) * 4, acc[k]);
      }
    }
  }
  for (; i < outWidth; ++i) {
    const float* w = h.weights.data() + std::size_t(i) * std::size_t(h.maxTaps);
    const float* in = boxed + (h.first[std::size_t(i)] - p0) * ch;
    float acc[5] = {0, 0, 0, 0, 0};
    const int taps = h.taps[std::size_t(i)];
    for (int t = 0; t < taps; ++t) {
      const float weight = w[t];
      for (int c = 0; c < ch; ++c) acc[c] += weight * in[t * ch + c];
    }
    for (int c = 0; c < ch; ++c) out[i * ch + c] = acc[c];
  }
}

// out[i] = Σ weights[t] · rows[t][i] over n floats, the taps summed in
// order for each float; sixteen floats stay in registers across the taps.
void verticalPass(const float* const* rows, const float* weights, int taps, std::int64_t n, float* out) {
  std::int64_t i = 0;
  for (; i + 16 <= n; i += 16) {
    Float4 acc[4] = {};
    for (int t = 0; t < taps; ++t) {
      const float weight = weights[t];
      const float* in = rows[t] + i;
      for (int k = 0; k < 4; ++k) acc[k] += weight * load4(in + 4 * k);
    }
    for (int k = 0; k < 4; ++k) store4(out + i + 4 * k, acc[k]);
  }
  for (; i < n; ++i) {
    float acc = 0.0f;
    for (int t = 0; t < taps; ++t) acc += weights[t] * rows[t][i];
    out[i] = acc;
  }
}

// Catmull-Rom weights of the four taps around a fraction t in [0, 1).
void catmullRomWeights(float t, float* w) {
  const float t2 = t * t, t3 = t2 * t;
  w[0] = 0.5f * (-t3 + 2 * t2 - t);
  w[1] = 0.5f * (3 * t3 - 5 * t2 + 2);
  w[2] = 0.5f * (-3 * t3 + 4 * t2 + t);
  w[3] = 0.5f * (t3 - t2);
}

// Coverage of pixel [i, i + 1) by the span [lo, hi].
float spanCoverage(std::int64_t i, double lo, double hi, bool antialias) {
  if (!antialias) {
    double center = double(i) + 0.5;
    return center >= lo && center < hi ? 1.0f : 0.0f;
  }
  return float(std::clamp(std::min(hi, double(i + 1)) - std::max(lo, double(i)), 0.0, 1.0));
}

// Whether every pixel of image is opaque: its format has no alpha (and it
// is not an alpha-only mask drawn with the fill colour).
bool isOpaqueImage(const Image& image) {
  return !image.format().hasAlpha();
}

// Whether every pixel of a float image with alpha within area (image
// coordinates) has alpha exactly 1.
bool floatAlphaIsOne(const Image& image, const PixelBounds& area) {
  const PixelFormat& format = image.format();
  const int stride = format.componentsPerPixel();
  const int at = format.alphaFirst() ? 0 : format.colorComponents;
  std::atomic<bool> opaque{true};
  foundation::parallelForRange(
      area.y0, area.y1,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end && opaque.load(std::memory_order_relaxed); ++y) {
          const float* row = reinterpret_cast<const float*>(image.row(y)) + area.x0 * stride + at;
          bool one = true;
          for (std::int64_t x = 0; x < area.width(); ++x) one &= row[x * stride] == 1.0f;
          if (!one) opaque.store(false, std::memory_order_relaxed);
        }
      },
      std::max<std::int64_t>(1, 16384 / std::max<std::int64_t>(1, area.width())));
  return opaque.load();
}

// A draw that maps every image pixel onto one device pixel (scale 1, no
// flip, whole-pixel offset dx, dy) needs no resampling: rows are read (and
// converted) straight into the compositor, or copied byte for byte when the
// result would be the image's own bytes anyway.
void drawPixelAligned(const DrawTarget& target, const PixelBounds& area, const Image& image,
                      const ImageRowReader& reader, std::int64_t dx, std::int64_t dy) {
  const bool opaque = isOpaqueImage(image);
  const Surface& surface = target.surface;
  const PixelBounds drawn = area.intersection(surface.bounds());
  if (drawn.isEmpty()) return;
  const bool plain = target.clip == nullptr && target.alpha == 1.0f;
  // A float image whose drawn pixels all have alpha 1 (a rendered filter
  // band, nearly always) covers what it is drawn over as an opaque one does.
  const bool floatWithAlpha = image.format().hasAlpha() && image.format().bitsPerComponent == 32;
  const PixelBounds read{drawn.x0 - dx, drawn.y0 - dy, drawn.x1 - dx, drawn.y1 - dy};
  const bool alphaOne = plain && floatWithAlpha &&
                        (target.mode == BlendMode::Copy || target.mode == BlendMode::Normal) &&
                        floatAlphaIsOne(image, read);
  const bool replaces =
      plain && (target.mode == BlendMode::Copy || (target.mode == BlendMode::Normal && (opaque || alphaOne)));
  if (replaces) {
    const std::size_t sourcePixelBytes = std::size_t(image.format().bytesPerPixel());
    const std::int64_t grain = std::max<std::int64_t>(1, 16384 / drawn.width());
    if (reader.storesAsStored(surface.format)) {
      const std::size_t rowBytes = std::size_t(drawn.width()) * sourcePixelBytes;
      foundation::parallelForRange(
          drawn.y0, drawn.y1,
          [&](std::int64_t begin, std::int64_t end) {
            for (std::int64_t y = begin; y < end; ++y)
              std::memcpy(surface.pixel(drawn.x0, y),
                          image.row(y - dy) + std::size_t(drawn.x0 - dx) * sourcePixelBytes, rowBytes);
          },
          grain);
      return;
    }
    if (const auto transform = reader.storingTransform(surface.format, alphaOne)) {
      foundation::parallelForRange(
          drawn.y0, drawn.y1,
          [&](std::int64_t begin, std::int64_t end) {
            for (std::int64_t y = begin; y < end; ++y)
              transform->convertRow(image.row(y - dy) + std::size_t(drawn.x0 - dx) * sourcePixelBytes,
                                    surface.pixel(drawn.x0, y), drawn.width());
          },
          grain);
      return;
    }
  }
  RowSource source = [&](std::int64_t y, std::int64_t x0, std::int64_t x1, float* out) {
    ImageRowReader::Scratch scratch = reader.makeScratch(x1 - x0);
    reader.read(y - dy, x0 - dx, x1 - dx, out, scratch);
  };
  compositeRows(surface, drawn, nullptr, target.clip, nullptr, &source, target.mode, target.alpha, opaque);
}

void drawAxisAligned(const DrawTarget& target, const PixelBounds& limit, const Image& image,
                     const AffineTransform& imageToDevice, const ImageRowReader& reader,
                     InterpolationQuality quality, bool antialias) {
  const std::int64_t W = image.width(), H = image.height();
  const double a = imageToDevice.a, d = imageToDevice.d, tx = imageToDevice.tx, ty = imageToDevice.ty;
  if (std::abs(a) < 1e-9 || std::abs(d) < 1e-9) return;  // collapsed to a line
  const double X0 = std::min(tx, tx + a * double(W)), X1 = std::max(tx, tx + a * double(W));
  const double Y0 = std::min(ty, ty + d * double(H)), Y1 = std::max(ty, ty + d * double(H));
  PixelBounds area{std::int64_t(std::floor(std::max(X0, -4e9))), std::int64_t(std::floor(std::max(Y0, -4e9))),
                   std::int64_t(std::ceil(std::min(X1, 4e9))), std::int64_t(std::ceil(std::min(Y1, 4e9)))};
  area = area.intersection(limit);
  if (area.isEmpty()) return;

  // Edge coverage when the image's edges fall inside pixels.
  std::shared_ptr<CoverageMask> edges;
  bool fractional = false;
  for (std::int64_t x : {area.x0, area.x1 - 1}) fractional |= spanCoverage(x, X0, X1, antialias) < 1.0f;
  for (std::int64_t y : {area.y0, area.y1 - 1}) fractional |= spanCoverage(y, Y0, Y1, antialias) < 1.0f;
  if (fractional) {
    edges = std::make_shared<CoverageMask>();
    edges->bounds = area;
    edges->coverage.resize(std::size_t(area.width()) * std::size_t(area.height()));
    for (std::int64_t y = area.y0; y < area.y1; ++y) {
      float fy = spanCoverage(y, Y0, Y1, antialias);
      std::uint8_t* row = edges->coverage.data() + std::size_t(y - area.y0) * std::size_t(area.width());
      for (std::int64_t x = area.x0; x < area.x1; ++x)
        row[x - area.x0] = std::uint8_t(std::lround(255.0f * fy * spanCoverage(x, X0, X1, antialias)));
    }
  }

  if (!edges && a == 1.0 && d == 1.0 && tx == std::round(tx) && ty == std::round(ty)) {
    drawPixelAligned(target, area, image, reader, std::int64_t(tx), std::int64_t(ty));
    return;
  }

  const ResamplingPlan plan = planFor(quality);
  const double scaleX = 1.0 / a, offsetX = -tx / a, scaleY = 1.0 / d, offsetY = -ty / d;
  const int kx = boxFactorFor(std::abs(scaleX), plan), ky = boxFactorFor(std::abs(scaleY), plan);
  const std::int64_t Wp = (W + kx - 1) / kx, Hp = (H + ky - 1) / ky;
  const FilterTable h = buildFilterTable(area.x0, area.width(), scaleX / kx, offsetX / kx, Wp, plan.kernel);
  const FilterTable v = buildFilterTable(area.y0, area.height(), scaleY / ky, offsetY / ky, Hp, plan.kernel);
  const int ch = reader.channels();
  const std::int64_t outWidth = area.width();
  const std::int64_t p0 = h.minSource, p1 = h.maxSource + 1;
  const std::int64_t boxWidth = p1 - p0;
  const std::int64_t sourceColumns = std::min(p1 * kx, W) - p0 * kx;

  // Horizontally filtered rows of one band; every row a band uses is written
  // before the vertical pass reads it.
  std::unique_ptr<float[]> intermediate;
  std::size_t intermediateSize = 0;
  for (std::int64_t band0 = area.y0; band0 < area.y1; band0 += kBandRows) {
    const std::int64_t band1 = std::min(area.y1, band0 + kBandRows);
    std::int64_t r0 = Hp, r1 = -1;
    for (std::int64_t y = band0; y < band1; ++y) {
      std::size_t k = std::size_t(y - area.y0);
      r0 = std::min(r0, v.first[k]);
      r1 = std::max(r1, v.first[k] + v.taps[k] - 1);
    }
    const std::size_t needed = std::size_t(r1 - r0 + 1) * std::size_t(outWidth) * std::size_t(ch);
    if (needed > intermediateSize) {
      try {
        intermediate = std::make_unique_for_overwrite<float[]>(needed);
      } catch (const std::bad_alloc&) {
        foundation::log("raster: no memory to resample a {}x{} image", W, H);
        return;
      }
      intermediateSize = needed;
    }
    // Horizontal pass over the prefiltered rows this band needs.
    foundation::parallelForRange(
        r0, r1 + 1,
        [&](std::int64_t begin, std::int64_t end) {
          ImageRowReader::Scratch scratch = reader.makeScratch(sourceColumns);
          const std::unique_ptr<float[]> line = taskBuffer(sourceColumns * ch);
          const std::unique_ptr<float[]> boxed = taskBuffer(boxWidth * ch);
          for (std::int64_t r = begin; r < end; ++r) {
            boxRow(reader, scratch, line.get(), r, p0, p1, kx, ky, W, H, boxed.get());
            float* out = intermediate.get() + std::size_t(r - r0) * std::size_t(outWidth * ch);
            horizontalPass(h, boxed.get(), p0, outWidth, out, ch);
          }
        },
        taskRows(sourceColumns * ky + outWidth * h.maxTaps));
    // Vertical pass row by row as the compositor asks for them. An opaque
    // image stays exactly opaque: the filter weights sum to 1 only up to
    // rounding.
    const bool opaque = isOpaqueImage(image);
    RowSource source = [&](std::int64_t y, std::int64_t x0, std::int64_t x1, float* out) {
      std::size_t k = std::size_t(y - area.y0);
      const std::int64_t n = (x1 - x0) * ch;
      const int taps = v.taps[k];
      // Rows are asked for from several threads: the tap rows live on the
      // stack (the heap only for an unusually wide kernel).
      constexpr int kStackTaps = 64;
      const float* stackRows[kStackTaps];
      std::vector<const float*> heapRows;
      const float** rows = stackRows;
      if (taps > kStackTaps) {
        heapRows.resize(std::size_t(taps));
        rows = heapRows.data();
      }
      for (int t = 0; t < taps; ++t)
        rows[t] = intermediate.get() + std::size_t(v.first[k] + t - r0) * std::size_t(outWidth * ch) +
                  std::size_t((x0 - area.x0) * ch);
      verticalPass(rows, v.weights.data() + k * std::size_t(v.maxTaps), taps, n, out);
      if (opaque)
        for (std::int64_t i = ch - 1; i < n; i += ch) out[i] = 1.0f;
    };
    PixelBounds band{area.x0, band0, area.x1, band1};
    compositeRows(target.surface, band, edges.get(), target.clip, nullptr, &source, target.mode, target.alpha,
                  opaque, taskRows(outWidth * v.maxTaps));
  }
}

void drawTransformed(const DrawTarget& target, const PixelBounds& limit, const Image& image,
                     const AffineTransform& imageToDevice, const ImageRowReader& reader,
                     InterpolationQuality quality, bool antialias, double flatness) {
  auto inverse = imageToDevice.inverted();
  if (!inverse || !inverse->isFinite()) return;
  const std::int64_t W = image.width(), H = image.height();
  Path outline;
  outline.addRect(Rect(0, 0, double(W), double(H)));
  CoverageMaskRef shape =
      rasterizePath(outline, imageToDevice, limit, FillRule::NonZero, nullptr, antialias, flatness);
  if (shape->bounds.isEmpty()) return;

  const ResamplingPlan plan = planFor(quality);
  const int ku = boxFactorFor(std::hypot(inverse->a, inverse->c), plan);
  const int kv = boxFactorFor(std::hypot(inverse->b, inverse->d), plan);
  // Only the part of the source the visible pixels map to (plus the
  // sampling footprint) is prefiltered.
  const PixelBounds& visible = shape->bounds;
  const Rect needed = inverse->applyToRect(
      Rect(double(visible.x0), double(visible.y0), double(visible.width()), double(visible.height())));
  auto clampTo = [](double v, std::int64_t hi) {
    return std::clamp<std::int64_t>(std::int64_t(std::clamp(v, -1.0, double(hi) + 1.0)), 0, hi);
  };
  const std::int64_t u0 = clampTo(std::floor(needed.minX()) - 2 * ku, W) / ku;
  const std::int64_t u1 = (clampTo(std::ceil(needed.maxX()) + 2 * ku, W) + ku - 1) / ku;
  const std::int64_t v0 = clampTo(std::floor(needed.minY()) - 2 * kv, H) / kv;
  const std::int64_t v1 = (clampTo(std::ceil(needed.maxY()) + 2 * kv, H) + kv - 1) / kv;
  if (u1 <= u0 || v1 <= v0) return;
  const std::int64_t pw = u1 - u0, ph = v1 - v0;
  const int ch = reader.channels();
  std::vector<float> prefiltered;
  try {
    prefiltered.resize(std::size_t(pw) * std::size_t(ph) * std::size_t(ch));
  } catch (const std::bad_alloc&) {
    foundation::log("raster: no memory to transform a {}x{} image", W, H);
    return;
  }
  const std::int64_t sourceColumns = std::min(u1 * ku, W) - u0 * ku;
  foundation::parallelForRange(
      v0, v1,
      [&](std::int64_t begin, std::int64_t end) {
        ImageRowReader::Scratch scratch = reader.makeScratch(sourceColumns);
        const std::unique_ptr<float[]> line = taskBuffer(sourceColumns * ch);
        for (std::int64_t r = begin; r < end; ++r)
          boxRow(reader, scratch, line.get(), r, u0, u1, ku, kv, W, H,
                 prefiltered.data() + std::size_t((r - v0) * pw * ch));
      },
      std::max<std::int64_t>(4, taskRows(sourceColumns * kv)));

  const bool nearest = plan.kernel == ResamplingKernel::Nearest;
  const bool cubic = plan.kernel == ResamplingKernel::CatmullRom || plan.kernel == ResamplingKernel::Lanczos3;
  auto at = [&](std::int64_t iu, std::int64_t iv) {
    return prefiltered.data() + ((iv - v0) * pw + (iu - u0)) * ch;
  };
  RowSource source = [&](std::int64_t y, std::int64_t x0, std::int64_t x1, float* out) {
    for (std::int64_t x = x0; x < x1; ++x) {
      Point p = inverse->apply({double(x) + 0.5, double(y) + 0.5});
      float* o = out + (x - x0) * ch;
      if (nearest) {
        std::int64_t iu = std::clamp<std::int64_t>(
            std::int64_t(std::floor(std::clamp(p.x / ku, -1.0, double(u1)))), u0, u1 - 1);
        std::int64_t iv = std::clamp<std::int64_t>(
            std::int64_t(std::floor(std::clamp(p.y / kv, -1.0, double(v1)))), v0, v1 - 1);
        const float* in = prefiltered.data() + ((iv - v0) * pw + (iu - u0)) * ch;
        for (int c = 0; c < ch; ++c) o[c] = in[c];
        continue;
      }
      double u = std::clamp(p.x / ku - 0.5, double(u0), double(u1 - 1));
      double vv = std::clamp(p.y / kv - 0.5, double(v0), double(v1 - 1));
      std::int64_t iu = std::int64_t(u), iv = std::int64_t(vv);
      float fu = float(u - double(iu)), fv = float(vv - double(iv));
      if (!cubic) {
        std::int64_t iu1 = std::min(iu + 1, u1 - 1), iv1 = std::min(iv + 1, v1 - 1);
        const float* p00 = at(iu, iv);
        const float* p01 = at(iu1, iv);
        const float* p10 = at(iu, iv1);
        const float* p11 = at(iu1, iv1);
        for (int c = 0; c < ch; ++c)
          o[c] = (p00[c] * (1 - fu) + p01[c] * fu) * (1 - fv) + (p10[c] * (1 - fu) + p11[c] * fu) * fv;
        continue;
      }
      float wu[4], wv[4];
      catmullRomWeights(fu, wu);
      catmullRomWeights(fv, wv);
      float acc[5] = {0, 0, 0, 0, 0};
      for (int j = 0; j < 4; ++j) {
        std::int64_t row = std::clamp<std::int64_t>(iv - 1 + j, v0, v1 - 1);
        for (int i = 0; i < 4; ++i) {
          const float* px = at(std::clamp<std::int64_t>(iu - 1 + i, u0, u1 - 1), row);
          const float w = wu[i] * wv[j];
          for (int c = 0; c < ch; ++c) acc[c] += w * px[c];
        }
      }
      for (int c = 0; c < ch; ++c) o[c] = acc[c];
    }
  };
  compositeRows(target.surface, shape->bounds, shape.get(), target.clip, nullptr, &source, target.mode,
                target.alpha);
}

}  // namespace

void BitmapContext::drawImage(const ImageRef& image, const Rect& rect) {
  if (!image || rect.isEmpty()) return;
  if (!std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) || !std::isfinite(rect.size.width) ||
      !std::isfinite(rect.size.height))
    return;
  const ContextState& state = *states_.back();
  const Rect r = rect.standardized();
  // Image pixels (x right, rows down from the top) → user space.
  const AffineTransform imageToUser{r.width() / double(image->width()),    0,        0,
                                    -r.height() / double(image->height()), r.minX(), r.maxY()};
  const AffineTransform imageToDevice = ContextAccess::userToDevice(*this).concat(imageToUser);
  if (!imageToDevice.isFinite()) return;
  const ImageRowReader reader(*image, format_, space_.get(), state.fill);
  const bool axisAligned = imageToDevice.b == 0 && imageToDevice.c == 0;

  auto render = [&](const DrawTarget& target, const PixelBounds& limit) {
    if (axisAligned) {
      drawAxisAligned(target, limit, *image, imageToDevice, reader, state.interpolation, state.antialias);
    } else {
      drawTransformed(target, limit, *image, imageToDevice, reader, state.interpolation, state.antialias,
                      state.flatness);
    }
  };

  Rect device = imageToDevice.applyToRect(Rect(0, 0, double(image->width()), double(image->height())));
  PixelBounds extent{std::int64_t(std::floor(std::max(device.minX(), -1.0))),
                     std::int64_t(std::floor(std::max(device.minY(), -1.0))),
                     std::int64_t(std::ceil(std::min(device.maxX(), double(width_) + 1))),
                     std::int64_t(std::ceil(std::min(device.maxY(), double(height_) + 1)))};
  if (state.shadow.active) {
    PixelBounds all{0, 0, width_, height_};
    auto layer = ContextLayer::make(extent.intersection(all), workingColors(format_));
    if (!layer) return;
    render(DrawTarget{layer->surface, nullptr, BlendMode::Normal, 1.0f}, layer->surface.bounds());
    layer->markDirty(layer->surface.bounds());
    ContextAccess::compositeLayer(*this, *layer, state);
    return;
  }
  Surface target = ContextAccess::target(*this);
  PixelBounds limit = ContextAccess::clipBounds(*this).intersection(target.bounds());
  render(DrawTarget{target, state.clip.get(), state.blend, state.alpha}, limit);
  if (ContextLayer* layer = ContextAccess::topLayer(*this)) layer->markDirty(extent.intersection(limit));
}

}  // namespace raster
