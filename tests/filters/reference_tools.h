#pragma once
// Comparisons of the filter engine with independent tools. Pixels are
// straight RGBA floats in the working space; the engine side renders one
// catalogue type (or one filter) from ci::Image::withPremultipliedPixels into a
// float working-space context, so no colour conversion takes part. The
// same values go to ImageMagick as a 16-bit PPM (colour only, values that
// are exact 16-bit steps) or to /usr/bin/python3 as raw float32.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "filters/cifiltering.h"
#include "platform/ci/working_space.h"
#include "support/test_support.h"
#include "tests/platform/ci/reference_exchange.h"

namespace filtertest {

inline constexpr float kReferenceTolerance = 2.0f / 65535.0f;

using Pixels = citest::Pixels;

// Opaque colours on a grid of levels per channel, each an exact 16-bit step.
inline Pixels colourGrid(const std::vector<double>& levels) {
  Pixels p;
  const std::size_t n = levels.size();
  p.width = std::int64_t(n * n);
  p.height = std::int64_t(n);
  for (double b : levels)
    for (double g : levels)
      for (double r : levels) {
        for (double v : {r, g, b}) p.rgba.push_back(float(std::round(v * 65535.0) / 65535.0));
        p.rgba.push_back(1.0f);
      }
  return p;
}

// Renders what step leaves pending, starting from pixels as the pending
// image, into a float working-space context; straight colour back.
inline Pixels renderStep(const Pixels& in,
                         const std::function<void(velumar::CIFiltering&, raster::BitmapContext*)>& step) {
  auto context = raster::BitmapContext::create(in.width, in.height, raster::PixelFormat::rgbaFloat(),
                                               ci::workingColorSpace());
  context->setBlendMode(raster::BlendMode::Copy);
  velumar::CIFiltering engine;
  engine.createNewCIContextWithCGContext(context.get(), true);
  engine.setCiImage(citest::imageOfPixels(in));
  step(engine, context.get());
  engine.drawCIImageWithCGContext(context.get(), true);
  Pixels out{in.width, in.height, std::vector<float>(std::size_t(in.count()) * 4)};
  for (std::int64_t row = 0; row < in.height; ++row) {
    std::memcpy(out.rgba.data() + row * in.width * 4, context->data() + row * context->bytesPerRow(),
                std::size_t(in.width) * 16);
  }
  citest::unpremultiply(out.rgba);
  return out;
}

inline Pixels renderType(const Pixels& in, std::int64_t type, const velumar::FilterInfo& info) {
  return renderStep(in, [&](velumar::CIFiltering& e, raster::BitmapContext* c) {
    e.photoEffectWithCGContext(c, type, info);
  });
}

// The colour of in run through `convert in.ppm <operations> out.ppm`
// (16 bits per channel; alpha is not passed); nullopt when the tool failed.
inline std::optional<Pixels> imageMagick(const Pixels& in, const std::vector<std::string>& operations) {
  testsupport::TempDir dir;
  {
    std::ofstream f(dir.file("in.ppm"), std::ios::binary);
    f << "P6\n" << in.width << " " << in.height << "\n65535\n";
    for (std::size_t i = 0; i < in.rgba.size(); ++i) {
      if (i % 4 == 3) continue;
      const auto v = std::uint16_t(std::lround(std::clamp(in.rgba[i], 0.0f, 1.0f) * 65535.0f));
      const char bytes[2] = {char(v >> 8), char(v & 0xff)};
      f.write(bytes, 2);
    }
  }
  std::vector<std::string> argv = {"/usr/bin/convert", dir.file("in.ppm")};
  argv.insert(argv.end(), operations.begin(), operations.end());
  argv.insert(argv.end(), {"-depth", "16", dir.file("out.ppm")});
  if (testsupport::runCommand(argv).exitCode != 0) return std::nullopt;
  std::ifstream f(dir.file("out.ppm"), std::ios::binary);
  std::string magic;
  std::int64_t w = 0, h = 0, maxValue = 0;
  f >> magic >> w >> h >> maxValue;
  f.get();
  if (magic != "P6" || w != in.width || h != in.height || maxValue != 65535) return std::nullopt;
  Pixels out{w, h, {}};
  for (std::int64_t i = 0; i < w * h; ++i) {
    for (int c = 0; c < 3; ++c) {
      unsigned char bytes[2];
      if (!f.read(reinterpret_cast<char*>(bytes), 2)) return std::nullopt;
      out.rgba.push_back(float((bytes[0] << 8) | bytes[1]) / 65535.0f);
    }
    out.rgba.push_back(1.0f);
  }
  return out;
}

// Runs script with /usr/bin/python3; it reads `inp`, an (n, 4) float32
// array of straight RGBA, and must assign an (n, 3) or (n, 4) array to
// `out`. nullopt when Python failed.
inline std::optional<Pixels> python(const Pixels& in, const std::string& script) {
  testsupport::TempDir dir;
  {
    std::ofstream f(dir.file("in.raw"), std::ios::binary);
    f.write(reinterpret_cast<const char*>(in.rgba.data()), std::streamsize(in.rgba.size() * sizeof(float)));
  }
  const std::string program =
      "import sys, numpy as np\ninp = np.fromfile(sys.argv[1], dtype=np.float32).reshape(-1, 4)\n" + script +
      "\nout = np.asarray(out, dtype=np.float64)\n"
      "if out.shape[1] == 3: out = np.concatenate([out, inp[:, 3:4]], axis=1)\n"
      "out.astype(np.float32).tofile(sys.argv[2])\n";
  {
    std::ofstream f(dir.file("script.py"));
    f << program;
  }
  testsupport::CommandResult run = testsupport::runCommand(
      {"/usr/bin/python3", dir.file("script.py"), dir.file("in.raw"), dir.file("out.raw")});
  if (run.exitCode != 0) {
    ADD_FAILURE() << run.output;
    return std::nullopt;
  }
  std::ifstream f(dir.file("out.raw"), std::ios::binary);
  Pixels out{in.width, in.height, std::vector<float>(in.rgba.size())};
  if (!f.read(reinterpret_cast<char*>(out.rgba.data()), std::streamsize(out.rgba.size() * sizeof(float))))
    return std::nullopt;
  return out;
}

// The largest difference of the colour channels (and alpha when asked).
inline float largestDifference(const Pixels& a, const Pixels& b, bool withAlpha = false) {
  float worst = 0;
  if (a.rgba.size() != b.rgba.size()) return INFINITY;
  for (std::size_t i = 0; i < a.rgba.size(); ++i) {
    if (i % 4 == 3 && !withAlpha) continue;
    worst = std::max(worst, std::fabs(a.rgba[i] - b.rgba[i]));
  }
  return worst;
}

}  // namespace filtertest
