#include "lookup_grades.h"

#include <algorithm>
#include <cmath>

namespace lookuptool {

namespace {

constexpr std::array<double, 9> kSame = {1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr std::array<double, 3> kOnes = {1, 1, 1}, kZeros = {0, 0, 0}, kGray = {0.5, 0.5, 0.5};

// One row of the table: a look made of a mix, a tone and a tint.
struct Row {
  std::array<double, 9> mix;
  double saturation, contrast;
  std::array<double, 3> lift, gamma, gain, shadowTint, highlightTint;
  double split, fade;
};

// Looks for lookup0 to lookup21 and lookup23 to lookup36, in that order.
const Row kLooks[] = {
    // warm and cool balances
    {kSame, 1.05, 0.10, kZeros, {1.05, 1, 0.92}, {1, 0.98, 0.9}, kGray, kGray, 0, 0},
    {kSame, 1.0, 0.10, kZeros, {0.95, 1, 1.08}, {0.92, 0.98, 1}, kGray, kGray, 0, 0},
    {kSame, 1.1, 0.15, {0.02, 0, 0}, {1.1, 1.02, 0.9}, {1, 0.95, 0.85}, kGray, kGray, 0, 0},
    {kSame, 0.9, 0.05, {0, 0.02, 0.04}, {0.92, 1, 1.1}, {0.9, 1, 1}, kGray, kGray, 0, 0},
    // faded film
    {kSame, 0.8, 0.0, kZeros, kOnes, {0.95, 0.95, 0.92}, kGray, kGray, 0, 0.12},
    {kSame, 0.7, 0.05, kZeros, {1.05, 1, 0.95}, kOnes, kGray, kGray, 0, 0.18},
    {kSame, 0.9, 0.1, kZeros, kOnes, kOnes, {0.4, 0.5, 0.6}, {0.6, 0.5, 0.4}, 0.2, 0.08},
    {kSame, 0.6, 0.0, kZeros, kOnes, {0.9, 0.9, 0.9}, kGray, kGray, 0, 0.25},
    // split toning
    {kSame, 1.0, 0.1, kZeros, kOnes, kOnes, {0.35, 0.5, 0.65}, {0.65, 0.55, 0.35}, 0.3, 0},
    {kSame, 1.0, 0.1, kZeros, kOnes, kOnes, {0.4, 0.6, 0.55}, {0.65, 0.45, 0.4}, 0.3, 0},
    {kSame, 0.9, 0.15, kZeros, kOnes, kOnes, {0.55, 0.4, 0.6}, {0.55, 0.6, 0.4}, 0.25, 0},
    {kSame, 1.1, 0.2, kZeros, kOnes, kOnes, {0.3, 0.45, 0.6}, {0.7, 0.6, 0.45}, 0.4, 0},
    // contrast and punch
    {kSame, 1.2, 0.3, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    {kSame, 1.3, 0.4, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    {kSame, 0.9, -0.2, kZeros, kOnes, kOnes, kGray, kGray, 0, 0.05},
    {kSame, 1.4, 0.2, kZeros, {1.0, 1.05, 1.0}, kOnes, kGray, kGray, 0, 0},
    // black and white with tones
    {kSame, 0.0, 0.2, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    {kSame, 0.0, 0.1, kZeros, kOnes, {1, 0.95, 0.85}, kGray, kGray, 0, 0.05},
    {kSame, 0.0, 0.3, kZeros, kOnes, {0.9, 0.95, 1}, kGray, kGray, 0, 0},
    {{0.5, 0.4, 0.1, 0.5, 0.4, 0.1, 0.5, 0.4, 0.1}, 1.0, 0.35, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    // channel mixes
    {{0.9, 0.1, 0, 0.05, 0.9, 0.05, 0, 0.15, 0.85}, 1.05, 0.1, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    {{0.8, 0.2, 0, 0, 1, 0, 0.1, 0.1, 0.8}, 1.0, 0.1, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    // (no lookup22)
    {{1, 0, 0, 0.1, 0.8, 0.1, 0, 0.2, 0.8}, 1.1, 0.15, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    {{0.85, 0.15, 0, 0.1, 0.85, 0.05, 0.05, 0.05, 0.9},
     0.95,
     0.05,
     kZeros,
     kOnes,
     kOnes,
     kGray,
     kGray,
     0,
     0.05},
    {kSame, 1.15, 0.1, {0.03, 0.01, 0}, {1.05, 1, 0.95}, kOnes, kGray, kGray, 0, 0},
    {kSame, 0.85, 0.1, {0, 0.01, 0.03}, {0.95, 1, 1.05}, kOnes, kGray, kGray, 0, 0},
    // teal and orange
    {kSame, 1.2, 0.2, kZeros, kOnes, kOnes, {0.3, 0.55, 0.6}, {0.7, 0.5, 0.35}, 0.45, 0},
    {kSame, 1.1, 0.25, kZeros, kOnes, kOnes, {0.35, 0.55, 0.55}, {0.65, 0.52, 0.4}, 0.35, 0.04},
    // cross-processed
    {kSame, 1.2, 0.3, {0, 0, 0.1}, {1.1, 0.95, 1.2}, {1, 1, 0.85}, kGray, kGray, 0, 0},
    {kSame, 1.1, 0.25, {0.05, 0, 0}, {0.9, 1.1, 1.0}, {0.95, 1, 0.9}, kGray, kGray, 0, 0},
    // dusk and dawn
    {kSame, 1.0, 0.15, kZeros, {1.1, 1.0, 0.95}, {1, 0.9, 0.95}, {0.45, 0.4, 0.6}, {0.6, 0.5, 0.45}, 0.2, 0},
    {kSame, 0.95, 0.1, {0.02, 0.02, 0.04}, kOnes, {1, 0.97, 0.9}, kGray, {0.62, 0.55, 0.45}, 0.25, 0.03},
    // matte looks
    {kSame, 0.9, 0.2, kZeros, kOnes, {0.95, 0.95, 0.95}, kGray, kGray, 0, 0.1},
    {kSame, 1.0, 0.25, kZeros, {1, 1, 1.05}, {0.95, 0.95, 1}, kGray, kGray, 0, 0.15},
    // bleach bypass and chrome
    {kSame, 0.5, 0.45, kZeros, kOnes, kOnes, kGray, kGray, 0, 0},
    {kSame, 1.3, 0.25, kZeros, {0.95, 0.95, 0.95}, kOnes, kGray, kGray, 0, 0},
};

double clamp01(double v) {
  return std::clamp(v, 0.0, 1.0);
}

}  // namespace

const std::vector<Grade>& lookupGrades() {
  static const std::vector<Grade> grades = [] {
    std::vector<Grade> g;
    g.push_back({"lookupBase0.png", kSame, 1, 0, kZeros, kOnes, kOnes, kGray, kGray, 0, 0});
    g.push_back({"lookupBase1.png", kSame, 1.05, 0.12, kZeros, kOnes, kOnes, kGray, kGray, 0, 0.02});
    int number = 0;
    for (const Row& r : kLooks) {
      if (number == 22) ++number;
      g.push_back({"lookup" + std::to_string(number++) + ".png", r.mix, r.saturation, r.contrast, r.lift,
                   r.gamma, r.gain, r.shadowTint, r.highlightTint, r.split, r.fade});
    }
    return g;
  }();
  return grades;
}

std::array<double, 3> applyGrade(const Grade& grade, const std::array<double, 3>& rgb) {
  std::array<double, 3> c{};
  for (int i = 0; i < 3; ++i) {
    c[std::size_t(i)] =
        clamp01(grade.mix[std::size_t(i * 3)] * rgb[0] + grade.mix[std::size_t(i * 3 + 1)] * rgb[1] +
                grade.mix[std::size_t(i * 3 + 2)] * rgb[2]);
  }
  const double luma = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
  for (int i = 0; i < 3; ++i) {
    double v = clamp01(luma + grade.saturation * (c[std::size_t(i)] - luma));
    v = clamp01(v + grade.contrast * v * (1 - v) * (2 * v - 1));
    const double lift = grade.lift[std::size_t(i)];
    v = grade.gain[std::size_t(i)] * std::pow(lift + (1 - lift) * v, 1.0 / grade.gamma[std::size_t(i)]);
    v += grade.split * ((grade.shadowTint[std::size_t(i)] - 0.5) * (1 - luma) +
                        (grade.highlightTint[std::size_t(i)] - 0.5) * luma);
    c[std::size_t(i)] = clamp01(grade.fade + (1 - grade.fade) * clamp01(v));
  }
  return c;
}

}  // namespace lookuptool
