// Neighbourhood built-in filters: blurs, sharpening, noise reduction,
// edges, stylising and framing (formulas in neighbourhood_filters.h).

#include "platform/ci/builtin_filters.h"
#include "platform/ci/neighbourhood_filters.h"

namespace ci {

namespace {

raster::Point pointOf(const Vector& v) {
  return {v.at(0), v.at(1)};
}

}  // namespace

void addNeighbourhoodFilters(BuiltinFilterTable& table) {
  const auto image = [](const Filter& f) { return f.image(kInputImageKey); };
  table["CIBoxBlur"] = {{{"inputRadius", 10.0}},
                        [=](const Filter& f) { return boxBlurred(image(f), f.number("inputRadius")); }};
  table["CIUnsharpMask"] = {{{"inputRadius", 2.5}, {"inputIntensity", 0.5}}, [=](const Filter& f) {
                              return unsharpMasked(image(f), f.number("inputRadius"),
                                                   f.number("inputIntensity"));
                            }};
  table["CISharpenLuminance"] = {{{"inputSharpness", 0.4}, {"inputRadius", 1.69}}, [=](const Filter& f) {
                                   return luminanceSharpened(image(f), f.number("inputRadius"),
                                                             f.number("inputSharpness"));
                                 }};
  table["CINoiseReduction"] = {{{"inputNoiseLevel", 0.02}, {"inputSharpness", 0.4}}, [=](const Filter& f) {
                                 return noiseReduced(image(f), f.number("inputNoiseLevel"),
                                                     f.number("inputSharpness"));
                               }};
  table["CIEdges"] = {{{"inputIntensity", 1.0}},
                      [=](const Filter& f) { return edgesOf(image(f), f.number("inputIntensity")); }};
  table["CIZoomBlur"] = {{{"inputCenter", Vector{150, 150}}, {"inputAmount", 20.0}}, [=](const Filter& f) {
                           return zoomBlurred(image(f), pointOf(f.vector("inputCenter")),
                                              f.number("inputAmount"));
                         }};
  table["CICrystallize"] = {{{"inputCenter", Vector{150, 150}}, {"inputRadius", 20.0}}, [=](const Filter& f) {
                              return crystallized(image(f), pointOf(f.vector("inputCenter")),
                                                  f.number("inputRadius"));
                            }};
  table["CIGloom"] = {{{"inputRadius", 10.0}, {"inputIntensity", 0.5}}, [=](const Filter& f) {
                        return gloomed(image(f), f.number("inputRadius"), f.number("inputIntensity"));
                      }};
  table["CIPixellate"] = {{{"inputCenter", Vector{150, 150}}, {"inputScale", 8.0}}, [=](const Filter& f) {
                            return pixellated(image(f), pointOf(f.vector("inputCenter")),
                                              f.number("inputScale"));
                          }};
  table["CIVignette"] = {{{"inputRadius", 1.0}, {"inputIntensity", 0.0}}, [=](const Filter& f) {
                           return vignetted(image(f), f.number("inputRadius"), f.number("inputIntensity"));
                         }};
  table["CIVignetteEffect"] = {{{"inputCenter", Vector{150, 150}},
                                {"inputRadius", 150.0},
                                {"inputIntensity", 1.0},
                                {"inputFalloff", 0.5}},
                               [=](const Filter& f) {
                                 return vignetteEffect(image(f), pointOf(f.vector("inputCenter")),
                                                       f.number("inputRadius"), f.number("inputIntensity"),
                                                       f.number("inputFalloff"));
                               }};
  table["CIStraightenFilter"] = {
      {{"inputAngle", 0.0}}, [=](const Filter& f) { return straightened(image(f), f.number("inputAngle")); }};
}

}  // namespace ci
