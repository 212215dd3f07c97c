#pragma once
// Real faces for the face tests: scikit-image's sample photos (Debian's
// python3-skimage) as RGBA 8-bit sRGB pixels, and variants painted in the
// test: eyes closed with skin colour and a dark lid line, pupils painted
// red.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/imageio/image_source.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/row_order.h"
#include "support/test_support.h"

namespace facetest {

// Rows top-down, 4 bytes per pixel, opaque.
struct Photo {
  std::int64_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;

  std::uint8_t* at(std::int64_t x, std::int64_t y) { return rgba.data() + (y * width + x) * 4; }
  const std::uint8_t* at(std::int64_t x, std::int64_t y) const { return rgba.data() + (y * width + x) * 4; }
  raster::ImageRef image() const {
    return raster::Image::make(width, height, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(), rgba);
  }
  // Rec. 601 luma, rows top-down.
  std::vector<std::uint8_t> gray() const {
    std::vector<std::uint8_t> out(std::size_t(width * height));
    for (std::size_t i = 0; i < out.size(); ++i) {
      const std::uint8_t* p = rgba.data() + i * 4;
      out[i] = std::uint8_t(std::lround(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]));
    }
    return out;
  }
};

// The photo of scikit-image's data folder by file name; empty when the
// package cannot be had.
inline Photo skimagePhoto(const std::string& name) {
  const std::filesystem::path root = testsupport::fetchDebianPackageFiles("python3-skimage");
  Photo photo;
  if (root.empty()) return photo;
  for (const std::filesystem::path& file : testsupport::findFiles(root, {"png"})) {
    if (file.filename() != name) continue;
    auto source = imageio::ImageSource::open(file.string());
    raster::ImageRef image = source ? source->createImage(0) : nullptr;
    if (!image) return photo;
    auto context = raster::BitmapContext::create(image->width(), image->height(),
                                                 raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
    if (!context) return photo;
    context->setBlendMode(raster::BlendMode::Copy);
    context->drawImage(image, raster::Rect(0, 0, double(image->width()), double(image->height())));
    photo.width = image->width();
    photo.height = image->height();
    photo.rgba.resize(std::size_t(photo.width * photo.height * 4));
    for (std::int64_t y = 0; y < photo.height; ++y)
      std::copy_n(context->data() + std::size_t(y) * context->bytesPerRow(), photo.width * 4,
                  photo.rgba.begin() + std::ptrdiff_t(y * photo.width * 4));
    return photo;
  }
  return photo;
}

// Calls paint(pixel, distance / radius) for every pixel whose centre lies
// within an ellipse of half axes rx, ry around (cx, cy), top-down pixels.
template <typename Paint>
void forEllipse(Photo& photo, double cx, double cy, double rx, double ry, Paint paint) {
  for (auto y = std::int64_t(std::floor(cy - ry)); y <= std::int64_t(std::ceil(cy + ry)); ++y) {
    for (auto x = std::int64_t(std::floor(cx - rx)); x <= std::int64_t(std::ceil(cx + rx)); ++x) {
      if (x < 0 || y < 0 || x >= photo.width || y >= photo.height) continue;
      const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d <= 1) paint(photo.at(x, y), d);
    }
  }
}

// Skin from below the eye at top-down centre (cx, cy), a little darker, as
// the eye socket is; false when there is none.
inline bool skinBelowEye(Photo& photo, double cx, double cy, double width, double skin[3]) {
  int count = 0;
  forEllipse(photo, cx, cy + 0.75 * width, 0.25 * width, 0.12 * width, [&](std::uint8_t* p, double) {
    for (int c = 0; c < 3; ++c) skin[c] += p[c];
    ++count;
  });
  for (int c = 0; c < 3; ++c) skin[c] *= count ? 0.9 / count : 0;
  return count > 0;
}

// Closes the eye at top-down centre (cx, cy), width corner to corner:
// skin taken from below the eye over it, and a dark lid line across.
// shut below 1 lowers the upper lid only that part of the way down.
inline void closeEye(Photo& photo, double cx, double cy, double width, double shut = 1) {
  double skin[3] = {0, 0, 0};
  if (!skinBelowEye(photo, cx, cy, width, skin)) return;
  const auto column = [&](const std::uint8_t* p) {
    return double((p - photo.rgba.data()) / 4 % photo.width) + 0.5;
  };
  const auto row = [&](const std::uint8_t* p) {
    return double((p - photo.rgba.data()) / 4 / photo.width) + 0.5;
  };
  // The lid's edge: from the top of the opening (about a third of the
  // width high) down to its bottom.
  const double edge = cy + (shut - 0.5) * 0.34 * width;
  forEllipse(photo, cx, cy, 0.8 * width, 0.5 * width, [&](std::uint8_t* p, double d) {
    if (shut < 1 && row(p) > edge) return;
    const double cover = std::min(1.0, (1 - d) / 0.3);
    for (int c = 0; c < 3; ++c) p[c] = std::uint8_t(std::lround(p[c] + (skin[c] - p[c]) * cover));
  });
  // The lid line: an arc sagging a little below the centre, lashes down;
  // a lid part way down arches a little over its edge, thinner.
  const double half = 0.6 * width, sag = (shut < 1 ? -0.05 : 0.15) * width;
  const double thickness = std::max(1.0, (shut < 1 ? 0.04 : 0.08) * width), middle = shut < 1 ? edge : cy;
  forEllipse(photo, cx, cy, half, 0.5 * width, [&](std::uint8_t* p, double) {
    const double dx = column(p) - cx, dy = row(p) - middle;
    const double arc = sag * (1 - (dx / half) * (dx / half));
    if (std::abs(dy - arc) <= thickness)
      for (int c = 0; c < 3; ++c) p[c] = std::uint8_t(std::lround(skin[c] * 0.3));
  });
}

// The photo with the eyes of face (found in it) painted shut as far as
// left and right say (0 open, 1 shut; see closeEye).
template <typename Face>
Photo withEyesShut(const Photo& photo, const Face& face, double left, double right) {
  Photo painted = photo;
  const auto topDown = raster::yUpToTopDown(double(photo.height));
  for (const auto& [eye, shut] : {std::pair{face.leftEye, left}, std::pair{face.rightEye, right}}) {
    if (!(shut > 0) || !eye) continue;
    const raster::Point centre = topDown.apply(eye->centre);
    closeEye(painted, centre.x, centre.y, eye->width, shut);
  }
  return painted;
}

// A red pupil: a disc of the given radius at top-down (cx, cy).
inline void paintRedPupil(Photo& photo, double cx, double cy, double radius) {
  forEllipse(photo, cx, cy, radius, radius,
             [](std::uint8_t* p, double) { p[0] = 220, p[1] = 30, p[2] = 35; });
}

}  // namespace facetest
