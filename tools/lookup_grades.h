#pragma once
// The colour grades baked into the lookup images of the filter catalogue,
// one per image, and the arithmetic that applies one to a colour.

#include <array>
#include <string>
#include <vector>

namespace lookuptool {

struct Grade {
  std::string name;           // the resource name, e.g. "lookup5.png"
  std::array<double, 9> mix;  // channel mix, row-major, applied first
  double saturation;          // about the Rec. 709 luma
  double contrast;            // S-curve strength (0 none)
  std::array<double, 3> lift, gamma, gain;
  std::array<double, 3> shadowTint, highlightTint;  // split toning colours
  double split;                                     // split toning amount
  double fade;                                      // black raised to this level
};

// lookupBase0.png (the identity), lookupBase1.png, lookup0.png to
// lookup21.png and lookup23.png to lookup36.png.
const std::vector<Grade>& lookupGrades();

// The graded colour of rgb (each 0..1), clamped to 0..1.
std::array<double, 3> applyGrade(const Grade& grade, const std::array<double, 3>& rgb);

}  // namespace lookuptool
