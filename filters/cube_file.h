#pragma once
// Reading 3D lookup tables from .cube files: the size N and N³ entries of
// four floats (red, green, blue, alpha), red index fastest, over inputs
// from 0 to 1, ready for a colour-cube filter.
//
// The size is the whole number after LUT_3D_SIZE (2 to 256) on a line that
// is not a comment; a data row is a line whose first three tokens are
// numbers (a fourth number is alpha, else alpha is 1). At least N³ rows
// must follow; the last N³ are kept. DOMAIN_MIN and DOMAIN_MAX map inputs
// from that range onto the table (the table is resampled over 0..1).
// Numbers are read independently of the locale; NaN and infinities are
// refused.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velumar {

// The edge sizes a cube may have; callers holding a cube from elsewhere
// (presets) check against the same bounds.
inline constexpr std::size_t kSmallestCubeSize = 2, kLargestCubeSize = 256;

// Whether a cube of that edge size within the bounds has exactly that many
// bytes of data (size³ entries of four floats).
inline bool isWholeCube(std::int64_t size, std::size_t bytes) {
  if (size < std::int64_t(kSmallestCubeSize) || size > std::int64_t(kLargestCubeSize)) return false;
  const std::size_t n = std::size_t(size);
  return bytes == n * n * n * 4 * sizeof(float);
}

struct CubeFile {
  std::size_t size = 0;
  std::vector<float> data;  // size³ × 4
};

// nullopt (with a log line) for a file that cannot be read or is malformed.
std::optional<CubeFile> readCubeFile(const std::string& path);
// The same for the file's text.
std::optional<CubeFile> parseCubeText(std::string_view text);

}  // namespace velumar
