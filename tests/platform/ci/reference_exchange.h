#pragma once
// Exchange of working-space pixels with the independent references:
// straight RGBA as 16-bit PAM files for /usr/bin/convert, and raw float32
// for /usr/bin/python3 (numpy, scipy, skimage). Pixels are float RGBA,
// rows top-down, straight colour unless named premultiplied.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ci/image.h"
#include "platform/ci/renderer.h"
#include "support/test_support.h"

namespace citest {

struct Pixels {
  std::int64_t width = 0, height = 0;
  std::vector<float> rgba;  // straight, top-down
  std::int64_t count() const { return width * height; }
  const float* at(std::int64_t x, std::int64_t topDownRow) const {
    return rgba.data() + (std::size_t(topDownRow) * std::size_t(width) + std::size_t(x)) * 4;
  }
};

// Values on the 16-bit grid, so that both sides start from the same numbers.
inline float on16BitGrid(double v) {
  return float(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0)) / 65535.0f;
}

// Opaque, on the 16-bit grid, within [lo, hi]: a gradient in red, a
// checkerboard of hard edges in green, noise in blue.
inline Pixels photoLike(std::int64_t width, std::int64_t height, double lo = 0.25, double hi = 0.75) {
  Pixels p{width, height, {}};
  std::uint32_t state = 3;
  for (std::int64_t row = 0; row < height; ++row) {
    for (std::int64_t x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      p.rgba.push_back(on16BitGrid(lo + (hi - lo) * double(x) / double(width)));
      p.rgba.push_back(on16BitGrid((x / 9 + row / 7) % 2 ? hi - 0.05 : lo + 0.05));
      p.rgba.push_back(on16BitGrid(lo + (hi - lo) * double(state >> 8) / double(1u << 24)));
      p.rgba.push_back(1.0f);
    }
  }
  return p;
}

inline ci::ImageRef imageOfPixels(const Pixels& p) {
  std::vector<float> premultiplied(p.rgba);
  for (std::size_t i = 0; i < premultiplied.size(); i += 4) {
    for (int c = 0; c < 3; ++c) premultiplied[i + std::size_t(c)] *= premultiplied[i + 3];
  }
  return ci::Image::withPremultipliedPixels(p.width, p.height, std::move(premultiplied));
}

// Premultiplied RGBA back to straight colour; fully transparent pixels
// become black.
inline void unpremultiply(std::vector<float>& rgba) {
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    const float a = rgba[i + 3];
    for (int c = 0; c < 3; ++c) rgba[i + std::size_t(c)] = a > 0 ? rgba[i + std::size_t(c)] / a : 0.0f;
  }
}

// Renders extent (0, 0, width, height) of image, unpremultiplied.
inline Pixels renderStraight(const ci::ImageRef& image, std::int64_t width, std::int64_t height) {
  Pixels out{width, height, std::vector<float>(std::size_t(width * height) * 4)};
  ci::renderRegion(image, ci::PixelRegion{0, 0, width, height}, out.rgba.data(), std::size_t(width) * 4);
  unpremultiply(out.rgba);
  return out;
}

inline bool writePam16(const std::string& path, const Pixels& p) {
  std::ofstream f(path, std::ios::binary);
  f << "P7\nWIDTH " << p.width << "\nHEIGHT " << p.height
    << "\nDEPTH 4\nMAXVAL 65535\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  for (float v : p.rgba) {
    const auto q = std::uint16_t(std::lround(std::clamp(double(v), 0.0, 1.0) * 65535.0));
    f.put(char(q >> 8)).put(char(q & 0xFF));
  }
  return bool(f);
}

// Reads a 16-bit RGB_ALPHA PAM as written by `convert ... -depth 16 PAM:path`.
inline Pixels readPam16(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), {});
  const std::size_t end = bytes.find("ENDHDR\n");
  if (end == std::string::npos) return {};
  std::istringstream header(bytes.substr(0, end));
  Pixels p;
  int depth = 0, maxval = 0;
  for (std::string key; header >> key;) {
    if (key == "WIDTH") header >> p.width;
    if (key == "HEIGHT") header >> p.height;
    if (key == "DEPTH") header >> depth;
    if (key == "MAXVAL") header >> maxval;
  }
  const std::size_t count = std::size_t(p.width * p.height) * std::size_t(depth);
  if (depth != 4 || maxval != 65535 || bytes.size() < end + 7 + count * 2) return {};
  p.rgba.resize(count);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + end + 7);
  for (std::size_t i = 0; i < count; ++i) p.rgba[i] = float((data[2 * i] << 8) | data[2 * i + 1]) / 65535.0f;
  return p;
}

// Runs /usr/bin/convert with args; the result read from the PAM it writes
// to `output` (empty on failure).
inline Pixels convertToPam(std::vector<std::string> args, const std::string& output) {
  args.insert(args.begin(), "/usr/bin/convert");
  args.insert(args.end(), {"-depth", "16", "PAM:" + output});
  const testsupport::CommandResult result = testsupport::runCommand(args);
  if (result.exitCode != 0) return {};
  return readPam16(output);
}

inline bool writeFloats(const std::string& path, const std::vector<float>& values) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(values.data()), std::streamsize(values.size() * sizeof(float)));
  return bool(f);
}

inline std::vector<float> readFloats(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), {});
  std::vector<float> values(bytes.size() / sizeof(float));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  return values;
}

// Runs a Python script with /usr/bin/python3 and the given arguments.
inline bool runPython(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::runCommand(argv).exitCode == 0;
}

inline float maxDifference(const Pixels& a, const Pixels& b) {
  if (a.rgba.size() != b.rgba.size()) return INFINITY;
  float worst = 0;
  for (std::size_t i = 0; i < a.rgba.size(); ++i) worst = std::max(worst, std::abs(a.rgba[i] - b.rgba[i]));
  return worst;
}

}  // namespace citest
