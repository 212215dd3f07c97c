#include "filters/cube_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "platform/foundation/ascii_case.h"
#include "platform/foundation/files.h"
#include "platform/foundation/log.h"

namespace velumar {

namespace {

// A generous bound for a 256³ file written with long numbers.
constexpr std::size_t kLargestFile = std::size_t(1) << 30;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::vector<std::string_view> tokensOf(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    std::size_t start = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens;
}

// A whole token as a finite number.
std::optional<double> numberOf(std::string_view token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  double value = 0;
  auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size()) return std::nullopt;
  return value;
}

// Splits at line ends: CR, LF, and the Unicode line separators in UTF-8.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0, i = 0;
  while (i < text.size()) {
    std::size_t width = 0;
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' || c == '\r') {
      width = 1;
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) {
      width = 2;
    } else if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
      width = 3;
    }
    if (width) {
      lines.push_back(text.substr(start, i - start));
      i += width;
      start = i;
    } else {
      ++i;
    }
  }
  lines.push_back(text.substr(start));
  return lines;
}

std::optional<CubeFile> fail(std::string_view why) {
  foundation::log("cube file: {}", why);
  return std::nullopt;
}

// The table resampled so that input 0..1 reads the file's domain.
void applyDomain(CubeFile& cube, const std::array<double, 3>& low, const std::array<double, 3>& high) {
  const std::size_t n = cube.size;
  const std::vector<float> source = cube.data;
  const auto at = [&](std::size_t r, std::size_t g, std::size_t b, int k) {
    return double(source[((b * n + g) * n + r) * 4 + std::size_t(k)]);
  };
  for (std::size_t b = 0; b < n; ++b)
    for (std::size_t g = 0; g < n; ++g)
      for (std::size_t r = 0; r < n; ++r) {
        const std::size_t index[3] = {r, g, b};
        std::size_t base[3];
        double weight[3];
        for (int c = 0; c < 3; ++c) {
          const double input = double(index[c]) / double(n - 1);
          double position =
              (input - low[std::size_t(c)]) / (high[std::size_t(c)] - low[std::size_t(c)]) * double(n - 1);
          position = std::clamp(position, 0.0, double(n - 1));
          base[c] = std::min(std::size_t(position), n - 2);
          weight[c] = position - double(base[c]);
        }
        for (int k = 0; k < 4; ++k) {
          double value = 0;
          for (int corner = 0; corner < 8; ++corner) {
            double w = 1;
            std::size_t i[3];
            for (int c = 0; c < 3; ++c) {
              const bool up = corner & (1 << c);
              i[c] = base[c] + (up ? 1 : 0);
              w *= up ? weight[c] : 1 - weight[c];
            }
            if (w != 0) value += w * at(i[0], i[1], i[2], k);
          }
          cube.data[((b * n + g) * n + r) * 4 + std::size_t(k)] = float(value);
        }
      }
}

}  // namespace

std::optional<CubeFile> parseCubeText(std::string_view text) {
  const std::vector<std::string_view> lines = linesOf(text);
  std::size_t size = 0;
  std::array<double, 3> low{0, 0, 0}, high{1, 1, 1};
  std::vector<std::array<float, 4>> rows;
  for (std::string_view line : lines) {
    const std::vector<std::string_view> tokens = tokensOf(line);
    if (tokens.empty() || tokens.front().front() == '#') continue;
    const std::string_view keyword = tokens.front();
    if (keyword == "LUT_3D_SIZE") {
      if (size != 0) return fail("more than one LUT_3D_SIZE");
      std::size_t value = 0;
      const std::string_view digits = tokens.size() > 1 ? tokens[1] : std::string_view();
      auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return fail("LUT_3D_SIZE without a whole number");
      if (value < kSmallestCubeSize || value > kLargestCubeSize) return fail("LUT_3D_SIZE outside 2 to 256");
      size = value;
      continue;
    }
    if (keyword == "DOMAIN_MIN" || keyword == "DOMAIN_MAX") {
      std::array<double, 3>& target = keyword == "DOMAIN_MIN" ? low : high;
      if (tokens.size() < 4) return fail("a domain line without three numbers");
      for (std::size_t c = 0; c < 3; ++c) {
        const std::optional<double> v = numberOf(tokens[c + 1]);
        if (!v || !std::isfinite(*v)) return fail("a domain line without three finite numbers");
        target[c] = *v;
      }
      continue;
    }
    if (tokens.size() < 3) continue;
    std::array<std::optional<double>, 3> values = {numberOf(tokens[0]), numberOf(tokens[1]),
                                                   numberOf(tokens[2])};
    if (!values[0] || !values[1] || !values[2]) continue;
    std::array<float, 4> row{0, 0, 0, 1};
    for (std::size_t c = 0; c < 3; ++c) {
      if (!std::isfinite(*values[c])) return fail("a value that is not a finite number");
      row[c] = float(*values[c]);
    }
    if (tokens.size() > 3) {
      if (std::optional<double> alpha = numberOf(tokens[3])) {
        if (!std::isfinite(*alpha)) return fail("a value that is not a finite number");
        row[3] = float(*alpha);
      }
    }
    // Only the last size³ rows count: drop older ones in large steps, so
    // memory stays bounded by twice the largest table.
    const std::size_t keep =
        size ? size * size * size : kLargestCubeSize * kLargestCubeSize * kLargestCubeSize;
    if (rows.size() >= 2 * keep) rows.erase(rows.begin(), rows.begin() + std::ptrdiff_t(rows.size() - keep));
    rows.push_back(row);
  }
  if (size == 0) return fail("no LUT_3D_SIZE");
  const std::size_t entries = size * size * size;
  if (rows.size() < entries) return fail("fewer rows than the size asks for");
  for (std::size_t c = 0; c < 3; ++c)
    if (!(high[c] > low[c])) return fail("an empty domain");
  CubeFile cube;
  cube.size = size;
  cube.data.reserve(entries * 4);
  for (std::size_t i = rows.size() - entries; i < rows.size(); ++i)
    cube.data.insert(cube.data.end(), rows[i].begin(), rows[i].end());
  if (low != std::array<double, 3>{0, 0, 0} || high != std::array<double, 3>{1, 1, 1})
    applyDomain(cube, low, high);
  return cube;
}

std::optional<CubeFile> readCubeFile(const std::string& path) {
  const std::string_view extension =
      path.size() >= 5 ? std::string_view(path).substr(path.size() - 5) : std::string_view();
  if (!foundation::asciiEqualsIgnoringCase(extension, ".cube")) return fail("not a .cube file: " + path);
  const std::optional<foundation::Data> bytes = foundation::readFile(path, kLargestFile);
  if (!bytes) return fail("cannot read " + path);
  return parseCubeText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

}  // namespace velumar
