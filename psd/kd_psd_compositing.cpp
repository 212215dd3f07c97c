#include "psd/kd_psd_compositing.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/parallel.h"
#include "psd/kd_psd_blend_modes.h"
#include "psd/kd_psd_byte_order.h"

namespace velumar {
namespace {

constexpr std::int64_t kRowGrain = 16;

KDPSDCanvas clearCanvas(std::int32_t width, std::int32_t height) {
  KDPSDCanvas canvas;
  canvas.width = std::max(width, 0);
  canvas.height = std::max(height, 0);
  canvas.rgba.assign(std::size_t(canvas.width) * std::size_t(canvas.height) * 4, 0.0f);
  return canvas;
}

// Coverage of the layer mask at document pixel (x, y): 1 outside the mask's
// rectangle, else the mask value.
inline float maskCoverage(const KDPSDLayer& layer, std::int64_t x, std::int64_t y) {
  const KDPSDBitmap& mask = *layer.mask;
  const std::int64_t mx = x - layer.maskLeft;
  const std::int64_t my = y - layer.maskTop;
  if (mx < 0 || my < 0 || mx >= mask.width || my >= mask.height) return 1.0f;
  return mask.pixels[std::size_t(my) * std::size_t(mask.width) + std::size_t(mx)] / 255.0f;
}

// Blends one pixel layer into the canvas, rows in parallel.
void drawLayer(const KDPSDLayer& layer, KDPSDCanvas& canvas) {
  if (!layer.image || layer.opacity == 0) return;
  const KDPSDBitmap& bitmap = *layer.image;
  const std::int64_t x0 = std::max<std::int64_t>(0, layer.left);
  const std::int64_t x1 = std::min<std::int64_t>(canvas.width, std::int64_t(layer.left) + bitmap.width);
  const std::int64_t y0 = std::max<std::int64_t>(0, layer.top);
  const std::int64_t y1 = std::min<std::int64_t>(canvas.height, std::int64_t(layer.top) + bitmap.height);
  if (x0 >= x1 || y0 >= y1) return;
  const float opacity = layer.opacity / 255.0f;
  const bool hasMask = layer.mask && layer.mask->width > 0 && layer.mask->height > 0;
  const std::size_t span = std::size_t(x1 - x0);

  foundation::parallelForRange(
      y0, y1,
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<float> source(span * 4);
        for (std::int64_t y = begin; y < end; ++y) {
          const std::uint8_t* src =
              bitmap.row(std::int32_t(y - layer.top)) + std::size_t(x0 - layer.left) * 4;
          for (std::size_t i = 0; i < span; ++i) {
            float alpha = src[i * 4 + 3] / 255.0f * opacity;
            if (hasMask) alpha *= maskCoverage(layer, x0 + std::int64_t(i), y);
            source[i * 4 + 0] = src[i * 4 + 0] / 255.0f;
            source[i * 4 + 1] = src[i * 4 + 1] / 255.0f;
            source[i * 4 + 2] = src[i * 4 + 2] / 255.0f;
            source[i * 4 + 3] = alpha;
          }
          float* backdrop =
              canvas.rgba.data() + (std::size_t(y) * std::size_t(canvas.width) + std::size_t(x0)) * 4;
          blendPSDRow(layer.blendMode, backdrop, source.data(), span);
        }
      },
      kRowGrain);
}

// Lays a flattened group over the canvas with the group's blend key and
// opacity.
void drawCanvas(const KDPSDCanvas& group, std::uint32_t blendKey, float opacity, KDPSDCanvas& canvas) {
  const std::size_t width = std::size_t(canvas.width);
  foundation::parallelForRange(
      0, canvas.height,
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<float> source(width * 4);
        for (std::int64_t y = begin; y < end; ++y) {
          const std::size_t offset = std::size_t(y) * width * 4;
          std::copy_n(group.rgba.data() + offset, width * 4, source.data());
          for (std::size_t i = 3; i < width * 4; i += 4) source[i] *= opacity;
          blendPSDRow(blendKey, canvas.rgba.data() + offset, source.data(), width);
        }
      },
      kRowGrain);
}

// canvas becomes before + (canvas - before) x opacity, on premultiplied values.
void fadeTowards(const KDPSDCanvas& before, float opacity, KDPSDCanvas& canvas) {
  const std::size_t count = canvas.rgba.size() / 4;
  foundation::parallelForRange(
      0, std::int64_t(count),
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t p = begin; p < end; ++p) {
          const float* b = before.rgba.data() + std::size_t(p) * 4;
          float* c = canvas.rgba.data() + std::size_t(p) * 4;
          const float alpha = b[3] + (c[3] - b[3]) * opacity;
          for (int i = 0; i < 3; ++i) {
            const float premultiplied = b[i] * b[3] + (c[i] * c[3] - b[i] * b[3]) * opacity;
            c[i] = alpha > 0.0f ? std::clamp(premultiplied / alpha, 0.0f, 1.0f) : 0.0f;
          }
          c[3] = alpha;
        }
      },
      std::int64_t(kRowGrain) * std::max<std::int64_t>(1, canvas.width));
}

void drawMembers(const KDPSDLayer& group, KDPSDCanvas& canvas);

void drawInto(const KDPSDLayer& layer, KDPSDCanvas& canvas) {
  if (!layer.visible) return;
  if (!layer.isGroup) {
    drawLayer(layer, canvas);
    return;
  }
  if (layer.blendMode == fourCharCode("pass")) {
    // Pass-through: members blend with what lies below the group.
    if (layer.opacity == 255) {
      drawMembers(layer, canvas);
    } else {
      const KDPSDCanvas before = canvas;
      drawMembers(layer, canvas);
      fadeTowards(before, layer.opacity / 255.0f, canvas);
    }
    return;
  }
  drawCanvas(imageForComposite(layer, canvas.width, canvas.height), layer.blendMode, layer.opacity / 255.0f,
             canvas);
}

// Members are listed top-most first: draw from the bottom up.
void drawMembers(const KDPSDLayer& group, KDPSDCanvas& canvas) {
  for (auto it = group.layers.rbegin(); it != group.layers.rend(); ++it) {
    if (*it) drawInto(**it, canvas);
  }
}

}  // namespace

KDPSDCanvas imageForComposite(const KDPSDLayer& layer, std::int32_t documentWidth,
                              std::int32_t documentHeight) {
  KDPSDCanvas canvas = clearCanvas(documentWidth, documentHeight);
  if (!layer.visible) return canvas;
  if (layer.isGroup) {
    drawMembers(layer, canvas);
  } else {
    drawLayer(layer, canvas);
  }
  return canvas;
}

KDPSDBitmap bitmapFromCanvas(const KDPSDCanvas& canvas) {
  KDPSDBitmap bitmap;
  bitmap.width = canvas.width;
  bitmap.height = canvas.height;
  bitmap.channels = 4;
  bitmap.pixels.resize(canvas.rgba.size());
  const std::size_t rowValues = std::size_t(canvas.width) * 4;
  foundation::parallelForRange(
      0, canvas.height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::size_t i = std::size_t(begin) * rowValues; i < std::size_t(end) * rowValues; ++i) {
          bitmap.pixels[i] = std::uint8_t(std::lround(std::clamp(canvas.rgba[i], 0.0f, 1.0f) * 255.0f));
        }
      },
      kRowGrain);
  return bitmap;
}

KDPSDBitmap compositeImage(const KDPSD& psd) {
  const std::int32_t width = std::int32_t(psd.width);
  const std::int32_t height = std::int32_t(psd.height);
  if (!psd.baseLayerGroup) return bitmapFromCanvas(clearCanvas(width, height));
  return bitmapFromCanvas(imageForComposite(*psd.baseLayerGroup, width, height));
}

}  // namespace velumar
