#include "tools/resource_images/scenes.h"

#include <algorithm>
#include <cmath>

#include "platform/raster/bitmap_context.h"
#include "tools/resource_images/vector_art.h"

namespace resourceimages {
namespace {

struct Colour {
  double r, g, b;
};

Colour mix(Colour a, Colour b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double smoothstep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Deterministic grain in [-1, 1] from the pixel position.
double grain(int x, int y) {
  std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return double((h ^ (h >> 16)) & 0xffff) / 32767.5 - 1.0;
}

// The landscape at (u, v) in the unit square, v down, as 0..255 sRGB.
Colour landscape(double u, double v) {
  const double farRidge = 0.47 + 0.05 * std::sin(7.0 * u) + 0.025 * std::sin(17.0 * u + 1.0);
  const double nearRidge = 0.58 + 0.035 * std::sin(4.5 * u + 2.0) + 0.01 * std::sin(23.0 * u);
  Colour sky = mix({38, 86, 168}, {206, 222, 236}, v / 0.58);
  const double sunDistance = std::hypot(u - 0.74, v - 0.2);
  sky = mix(sky, {255, 206, 140}, 0.55 * std::exp(-sunDistance * sunDistance / 0.02));
  sky = mix(sky, {255, 246, 214}, 1.0 - smoothstep(0.045, 0.052, sunDistance));
  if (v < farRidge) return sky;
  const Colour far = mix({120, 138, 168}, {84, 104, 120}, (v - farRidge) / 0.12);
  const Colour hazed = mix(far, sky, 0.25);
  if (v < nearRidge) return mix(sky, hazed, smoothstep(farRidge, farRidge + 0.004, v));
  Colour ground = mix({104, 150, 64}, {52, 84, 36}, (v - nearRidge) / (1.0 - nearRidge));
  // A warm path curving into the distance.
  const double pathCentre = 0.82 - 0.5 * (v - nearRidge);
  const double pathHalfWidth = 0.01 + 0.12 * (v - nearRidge);
  ground = mix(ground, {168, 124, 80},
               1.0 - smoothstep(pathHalfWidth, pathHalfWidth + 0.01, std::abs(u - pathCentre)));
  return mix(hazed, ground, smoothstep(nearRidge, nearRidge + 0.004, v));
}

// Saturated primaries and secondaries, skin tones and a gray ramp on a card.
Picture colourChart() {
  const Rgba rows[3][6] = {
      {{204, 36, 44}, {244, 212, 36}, {44, 160, 64}, {24, 170, 204}, {36, 64, 190}, {190, 44, 150}},
      {{255, 224, 196}, {236, 192, 160}, {220, 168, 136}, {198, 140, 105}, {141, 85, 54}, {94, 60, 40}},
      {{243, 243, 243}, {200, 200, 200}, {160, 160, 160}, {120, 120, 120}, {80, 80, 80}, {32, 32, 32}},
  };
  Picture chart{roundedRect(0.06, 0.655, 0.585, 0.29, 0.015, {236, 232, 222})};
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 6; ++column)
      chart.push_back(
          roundedRect(0.08 + 0.092 * column, 0.675 + 0.088 * row, 0.08, 0.074, 0.008, rows[row][column]));
  return chart;
}

std::uint8_t toByte(double value) {
  return std::uint8_t(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

raster::ImageRef exampleScene(int size) {
  auto context = raster::BitmapContext::create(size, size, {8, 3, raster::AlphaInfo::NoneSkipLast},
                                               raster::ColorSpace::sRGB());
  if (!context) return nullptr;
  std::uint8_t* pixels = context->mutableData();
  for (int y = 0; y < size; ++y) {
    std::uint8_t* row = pixels + std::size_t(y) * context->bytesPerRow();
    for (int x = 0; x < size; ++x) {
      const Colour c = landscape((x + 0.5) / size, (y + 0.5) / size);
      const double noise = 2.5 * grain(x, y);
      row[4 * x] = toByte(c.r + noise);
      row[4 * x + 1] = toByte(c.g + noise);
      row[4 * x + 2] = toByte(c.b + noise);
      row[4 * x + 3] = 255;
    }
  }
  drawPicture(*context, colourChart());
  return context->makeImage();
}

raster::ImageRef scaledScene(const raster::ImageRef& scene, int size) {
  auto context = raster::BitmapContext::create(size, size, {8, 3, raster::AlphaInfo::NoneSkipLast},
                                               raster::ColorSpace::sRGB());
  if (!scene || !context) return nullptr;
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->drawImage(scene, raster::Rect(0, 0, size, size));
  return context->makeImage();
}

raster::ImageRef bubbles(int width, int height) {
  auto context =
      raster::BitmapContext::create(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!context) return nullptr;
  // Centre x, centre y and radius as fractions of the height.
  const double placed[][3] = {{0.30, 0.62, 0.20}, {0.62, 0.36, 0.14}, {0.86, 0.70, 0.11}, {1.02, 0.30, 0.08},
                              {0.14, 0.24, 0.07}, {0.48, 0.80, 0.06}, {1.22, 0.58, 0.17}, {1.34, 0.22, 0.05},
                              {0.74, 0.14, 0.04}, {1.10, 0.86, 0.05}};
  Picture picture;
  const double aspect = double(height) / width;
  for (const auto& b : placed) {
    const double cx = b[0] * aspect, cy = b[1], r = b[2];
    picture.push_back(ellipse(cx, cy, r * aspect, r, {70, 130, 200, 0.45}));
    picture.push_back(ellipse(cx, cy, 0.9 * r * aspect, 0.9 * r, {200, 228, 250, 0.35}));
    picture.push_back(
        ellipse(cx - 0.35 * r * aspect, cy - 0.4 * r, 0.22 * r * aspect, 0.14 * r, {255, 255, 255, 0.75}));
  }
  drawPicture(*context, picture);
  return context->makeImage();
}

}  // namespace resourceimages
