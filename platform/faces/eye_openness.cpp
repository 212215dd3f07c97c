#include "platform/faces/eye_openness.h"

#include <dlib/image_transforms.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>

namespace faces {

namespace {

// The upright face is drawn this many pixels across, whatever its size in
// the image, with half its landmark span as a margin. There the detector's
// rectangle around a face is about 0.6 of the side across, its centre a
// little above the middle. The landmarks are fitted from three rectangles
// of that size and less and more, and their ratios averaged: one fit
// swings by a few hundredths with a pixel's shift of its rectangle.
constexpr unsigned long kUprightSide = 200;
constexpr double kUprightPadding = 0.5;
constexpr double kFaceCentreY = 97;
constexpr long kFaceSizes[] = {110, 120, 130};
constexpr unsigned long kNoseBridge = 27, kLeftEye = 36, kRightEye = 42;

double distance(const dlib::point& a, const dlib::point& b) {
  return std::hypot(double(a.x() - b.x()), double(a.y() - b.y()));
}

// A copy of face in which the half on the far side of column axis shows the
// kept half mirrored (keepLeft: the columns left of the axis are kept).
void mirrorHalf(const dlib::array2d<unsigned char>& face, double axis, bool keepLeft,
                dlib::array2d<unsigned char>& out) {
  out.set_size(face.nr(), face.nc());
  const long last = face.nc() - 1;
  for (long y = 0; y < face.nr(); ++y) {
    for (long x = 0; x < face.nc(); ++x) {
      const bool kept = keepLeft ? double(x) < axis : double(x) >= axis;
      const long from = kept ? x : std::clamp(std::lround(2 * axis - double(x)), 0L, last);
      out[y][x] = face[y][from];
    }
  }
}

std::optional<EyeOpenings> measureUpright(const dlib::shape_predictor& model,
                                          const dlib::array2d<unsigned char>& pixels,
                                          const dlib::full_object_detection& shape) {
  const dlib::chip_details upright = dlib::get_face_chip_details(shape, kUprightSide, kUprightPadding);
  if (!(upright.rect.width() > 1) || !(upright.rect.height() > 1)) return std::nullopt;
  dlib::array2d<unsigned char> chip;
  dlib::extract_image_chip(pixels, upright, chip);
  const double axis = dlib::get_mapping_to_chip(upright)(dlib::dpoint(shape.part(kNoseBridge))).x();
  if (!std::isfinite(axis)) return std::nullopt;
  double ratios[2] = {0, 0};
  dlib::array2d<unsigned char> mirrored;
  for (int side = 0; side < 2; ++side) {
    mirrorHalf(chip, axis, side == 0, mirrored);
    for (const long size : kFaceSizes) {
      // Centred on the mirror's axis.
      const dlib::rectangle face =
          dlib::centered_rect(dlib::point(std::lround(axis), std::lround(kFaceCentreY)), size, size);
      const dlib::full_object_detection fitted = model(mirrored, face);
      if (fitted.num_parts() != 68) return std::nullopt;
      ratios[side] += (eyeAspectRatio(fitted, kLeftEye) + eyeAspectRatio(fitted, kRightEye)) / 2;
    }
  }
  constexpr double fits = double(std::size(kFaceSizes));
  return EyeOpenings{ratios[0] / fits, ratios[1] / fits};
}

}  // namespace

double eyeAspectRatio(const dlib::full_object_detection& shape, unsigned long first) {
  const auto p = [&](unsigned long i) { return shape.part(first + i); };
  const double width = distance(p(0), p(3));
  return width > 0 ? (distance(p(1), p(5)) + distance(p(2), p(4))) / (2 * width) : 0;
}

std::optional<EyeOpenings> measureEyeOpenings(const dlib::shape_predictor& model,
                                              const dlib::array2d<unsigned char>& pixels,
                                              const dlib::full_object_detection& shape) {
  if (shape.num_parts() != 68) return std::nullopt;
  try {
    return measureUpright(model, pixels, shape);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace faces
