#pragma once
// The constants of the photo-effect filters, published so that tests can
// reproduce each look with another tool.

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace ci {

struct PhotoEffect {
  // Row-major 3×4: r', g', b' = row · (r, g, b, 1).
  std::array<double, 12> matrix{};
  // (a3, a2, a1, a0) of the tone curve on 0..1.
  std::array<double, 4> curve{};
};

// By filter name, in catalogue order (Chrome, Fade, Instant, Mono, Noir,
// Process, Tonal, Transfer).
const std::vector<std::pair<std::string, PhotoEffect>>& photoEffects();

}  // namespace ci
