#pragma once
// The parts of an RGB matrix/shaper profile that colour maths outside a
// transform needs: the matrix from linear RGB to the connection space's
// XYZ (D50) and the effective gamma of its curves; and 3×3 matrix helpers.

#include <array>
#include <optional>

#include "platform/color/icc_profile.h"

namespace color {

using Matrix3x3 = std::array<double, 9>;  // row-major

// The inverse of m (infinite entries when m is singular).
Matrix3x3 inverse(const Matrix3x3& m);
Matrix3x3 product(const Matrix3x3& a, const Matrix3x3& b);

struct MatrixShaper {
  // XYZ = rgbToXYZ · (r, g, b) of linear values.
  Matrix3x3 rgbToXYZ{};
  // The power that best fits the three curves (1 for linear curves).
  double gamma = 1.0;
};

// Empty unless profile is an RGB profile with colorant and curve tags.
std::optional<MatrixShaper> matrixShaperOf(const IccProfile& profile);

}  // namespace color
