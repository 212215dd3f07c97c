// Colour built-in filters: clamp, matrix and constant colour.

#include <algorithm>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/color_kernel.h"

namespace ci {

void addColorFilters(BuiltinFilterTable& table) {
  table["CIColorClamp"] = {
      {{"inputMinComponents", Vector{0, 0, 0, 0}}, {"inputMaxComponents", Vector{1, 1, 1, 1}}},
      [](const Filter& f) -> ImageRef {
        ImageRef in = f.image(kInputImageKey);
        if (!in) return nullptr;
        Vector lo = f.vector("inputMinComponents"), hi = f.vector("inputMaxComponents");
        float mn[4], mx[4];
        for (int c = 0; c < 4; ++c) mn[c] = float(lo.at(c)), mx[c] = float(hi.at(c));
        return colorkernel::straightPixels(in, in->extent(), [=](const float* p, float* o) {
          for (int c = 0; c < 4; ++c) o[c] = std::clamp(p[c], mn[c], mx[c]);
        });
      }};
  table["CIColorMatrix"] = {
      {{"inputRVector", Vector{1, 0, 0, 0}},
       {"inputGVector", Vector{0, 1, 0, 0}},
       {"inputBVector", Vector{0, 0, 1, 0}},
       {"inputAVector", Vector{0, 0, 0, 1}},
       {"inputBiasVector", Vector{0, 0, 0, 0}}},
      [](const Filter& f) -> ImageRef {
        ImageRef in = f.image(kInputImageKey);
        if (!in) return nullptr;
        const char* keys[4] = {"inputRVector", "inputGVector", "inputBVector", "inputAVector"};
        float m[4][4], bias[4];
        Vector b = f.vector("inputBiasVector");
        for (int r = 0; r < 4; ++r) {
          Vector v = f.vector(keys[r]);
          for (int c = 0; c < 4; ++c) m[r][c] = float(v.at(c));
          bias[r] = float(b.at(r));
        }
        // A bias on alpha makes pixels outside the extent visible too.
        raster::Rect extent = bias[3] > 0 ? infiniteRect() : in->extent();
        return colorkernel::straightPixels(in, extent, [=](const float* p, float* o) {
          for (int r = 0; r < 4; ++r) {
            o[r] = colorkernel::finite(m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + m[r][3] * p[3] + bias[r]);
          }
        });
      }};
  table["CIConstantColorGenerator"] = {{{"inputColor", Color{1, 1, 1, 1}}}, [](const Filter& f) -> ImageRef {
                                         return Image::constantColor(f.color("inputColor", Color::white()));
                                       }};
}

}  // namespace ci
