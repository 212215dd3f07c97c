#pragma once
// A catalogue step in one line: make a filter by name, reset it to its
// defaults, set its parameters and apply it to the engine's pending image.

#include <initializer_list>
#include <string>
#include <utility>

#include "filters/cifiltering.h"

namespace velumar {

using FilterParameters = std::initializer_list<std::pair<const char*, ci::FilterValue>>;

// The filter of that name at its defaults with the parameters set;
// nullptr when no filter has that name.
inline ci::FilterRef namedFilter(const char* name, FilterParameters parameters) {
  ci::FilterRef filter = ci::Filter::withName(name);
  if (!filter) return nullptr;
  filter->setDefaults();
  for (const auto& [key, value] : parameters) filter->setValue(key, value);
  return filter;
}

// Does nothing when no filter of that name exists.
inline void applyNamedFilter(CIFiltering& engine, raster::BitmapContext* context, const char* name,
                             FilterParameters parameters) {
  if (ci::FilterRef filter = namedFilter(name, parameters)) engine.applyCIFilter(filter, context);
}

// As applyNamedFilter, on the pending image cut to the context first.
inline void applyNamedFilterFinite(CIFiltering& engine, raster::BitmapContext* context, const char* name,
                                   FilterParameters parameters) {
  if (ci::FilterRef filter = namedFilter(name, parameters)) engine.applyCIFilterFiniteExtent(filter, context);
}

// The identity clamp: the edge pixels repeated outwards, for a filter that
// reads beyond the image's edge.
inline ci::FilterRef identityClamp() {
  ci::FilterRef clamp = ci::Filter::withName("CIAffineClamp");
  if (clamp) clamp->setValue("inputTransform", raster::AffineTransform{});
  return clamp;
}

inline void clampStep(CIFiltering& engine, raster::BitmapContext* context) {
  if (ci::FilterRef clamp = identityClamp()) engine.applyCIFilter(clamp, context);
}

// A colour from record values with every component clamped to 0..1 (NaN
// gives 0), so that no preset can make an invalid premultiplied pixel.
inline ci::Color clampedColor(double red, double green, double blue, double alpha) {
  const auto unit = [](double v) { return v >= 0 ? (v <= 1 ? v : 1.0) : 0.0; };
  return ci::Color{unit(red), unit(green), unit(blue), unit(alpha)};
}

}  // namespace velumar
