// The colour cube against ImageMagick's HaLD lookup, the .cube reader on
// well-formed and malformed files, and the lookup table with an intensity.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "filters/cube_file.h"
#include "reference_tools.h"

using filtertest::Pixels;
using velumar::CubeFile;

namespace {

ci::Data bytesOf(const std::vector<float>& floats) {
  ci::Data bytes(floats.size() * sizeof(float));
  std::memcpy(bytes.data(), floats.data(), bytes.size());
  return bytes;
}

// A smooth, non-separable cube of 16-bit steps.
std::vector<float> testCube(std::size_t n) {
  std::vector<float> v;
  for (std::size_t b = 0; b < n; ++b)
    for (std::size_t g = 0; g < n; ++g)
      for (std::size_t r = 0; r < n; ++r) {
        const double x = double(r) / double(n - 1), y = double(g) / double(n - 1),
                     z = double(b) / double(n - 1);
        for (double value : {x * x * (0.5 + 0.5 * z), std::sqrt(y) * (1 - 0.3 * x), 0.2 + 0.6 * z * y})
          v.push_back(float(std::round(value * 65535.0) / 65535.0));
        v.push_back(1.0f);
      }
  return v;
}

ci::FilterRef cubeFilter(std::size_t n, const std::vector<float>& data) {
  ci::FilterRef f = ci::Filter::withName("CIColorCube");
  f->setDefaults();
  f->setValue("inputCubeDimension", double(n));
  f->setValue("inputCubeData", bytesOf(data));
  return f;
}

Pixels throughFilter(const Pixels& in, const ci::FilterRef& filter) {
  return filtertest::renderStep(
      in, [&](velumar::CIFiltering& e, raster::BitmapContext* c) { e.applyCIFilter(filter, c); });
}

TEST(ColorCube, AgreesWithImageMagicksHaldLookup) {
  // Level 4: a 16³ cube as a 64 × 64 HaLD image, entry i at pixel i.
  const std::size_t n = 16;
  const std::vector<float> cube = testCube(n);
  Pixels hald{64, 64, {}};
  for (std::size_t i = 0; i < cube.size(); ++i) hald.rgba.push_back(cube[i]);
  testsupport::TempDir dir;
  {
    std::ofstream f(dir.file("hald.ppm"), std::ios::binary);
    f << "P6\n64 64\n65535\n";
    for (std::size_t i = 0; i < hald.rgba.size(); ++i) {
      if (i % 4 == 3) continue;
      const auto v = std::uint16_t(std::lround(hald.rgba[i] * 65535.0f));
      const char bytes[2] = {char(v >> 8), char(v & 0xff)};
      f.write(bytes, 2);
    }
  }
  std::mt19937 random(7);
  std::uniform_int_distribution<int> level(0, 65535);
  Pixels in{32, 8, {}};
  for (int i = 0; i < 256; ++i)
    in.rgba.insert(in.rgba.end(),
                   {level(random) / 65535.0f, level(random) / 65535.0f, level(random) / 65535.0f, 1.0f});
  std::optional<Pixels> expected =
      filtertest::imageMagick(in, {dir.file("hald.ppm"), "-interpolate", "bilinear", "-hald-clut"});
  ASSERT_TRUE(expected);
  const Pixels got = throughFilter(in, cubeFilter(n, cube));
  EXPECT_LE(filtertest::largestDifference(got, *expected), filtertest::kReferenceTolerance);
}

TEST(ColorCube, RefusesMalformedDataAndMultipliesAlpha) {
  const std::vector<float> cube = testCube(4);
  struct Case {
    double dimension;
    std::size_t floats;
    bool accepted;
  };
  for (const Case& c : {Case{4, cube.size(), true}, Case{4, cube.size() - 1, false},
                        Case{5, cube.size(), false}, Case{1, 4, false}, Case{257, cube.size(), false},
                        Case{4.5, cube.size(), false}, Case{NAN, cube.size(), false}}) {
    std::vector<float> data(cube.begin(), cube.begin() + std::ptrdiff_t(std::min(c.floats, cube.size())));
    ci::FilterRef f = cubeFilter(4, data);
    f->setValue("inputCubeDimension", c.dimension);
    f->setValue(ci::kInputImageKey, ci::Image::constantColor(ci::Color::white()));
    EXPECT_EQ(f->outputImage() != nullptr, c.accepted) << c.dimension << " " << c.floats;
  }
  // A cube of alpha 0.5 halves a pixel's alpha of 0.8.
  std::vector<float> half = testCube(2);
  for (std::size_t i = 3; i < half.size(); i += 4) half[i] = 0.5f;
  const Pixels out = throughFilter(Pixels{1, 1, {1, 1, 1, 0.8f}}, cubeFilter(2, half));
  EXPECT_NEAR(out.rgba[3], 0.4f, 1e-6);
}

std::string cubeText(std::size_t n, const std::string& header = "", const char* newline = "\n") {
  std::string text = header + "LUT_3D_SIZE " + std::to_string(n) + newline;
  for (std::size_t b = 0; b < n; ++b)
    for (std::size_t g = 0; g < n; ++g)
      for (std::size_t r = 0; r < n; ++r) {
        char row[96];
        std::snprintf(row, sizeof row, "%.6f %.6f %.6f%s", double(r) / double(n - 1),
                      double(g) / double(n - 1), double(b) / double(n - 1), newline);
        text += row;
      }
  return text;
}

TEST(CubeFile, ReadsTheFormatsVariants) {
  struct Case {
    const char* what;
    std::string text;
    std::size_t size;  // 0: refused
  };
  const std::string two = cubeText(2);
  const std::vector<Case> cases = {
      {"plain", two, 2},
      {"title with spaces and comments", cubeText(2, "TITLE \"a b c\"\n# LUT_3D_SIZE 9\n"), 2},
      {"CR LF", cubeText(2, "", "\r\n"), 2},
      {"tabs",
       std::string("LUT_3D_SIZE\t2\n") +
           "0\t0\t0\n1\t0\t0\n0\t1\t0\n1\t1\t0\n0\t0\t1\n1\t0\t1\n0\t1\t1\n1\t1\t1\n",
       2},
      {"trailing blank line", two + "\n\n   \n", 2},
      {"33 points", cubeText(33), 33},
      {"more rows than needed: the last ones count", "0.5 0.5 0.5\n" + two, 2},
      {"four values",
       "LUT_3D_SIZE 2\n" + std::string(8 * 1, ' ') +
           "0 0 0 0.5\n1 0 0 1\n0 1 0 1\n1 1 0 1\n0 0 1 1\n1 0 1 1\n0 1 1 1\n1 1 1 1\n",
       2},
      {"no size", "0 0 0\n1 1 1\n", 0},
      {"size 0", cubeText(2).replace(12, 1, "0"), 0},
      {"size 1", "LUT_3D_SIZE 1\n0 0 0\n", 0},
      {"size 257", "LUT_3D_SIZE 257\n0 0 0\n", 0},
      {"size 1024 is read whole, then refused", "LUT_3D_SIZE 1024\n0 0 0\n", 0},
      {"size in a comment only", "# LUT_3D_SIZE 2\n0 0 0\n", 0},
      {"fewer rows", cubeText(2).substr(0, cubeText(2).size() - 20), 0},
      {"nan", "LUT_3D_SIZE 2\nnan 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n", 0},
      {"infinity", "LUT_3D_SIZE 2\ninf 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n", 0},
  };
  for (const Case& c : cases) {
    std::optional<CubeFile> cube = velumar::parseCubeText(c.text);
    if (c.size == 0) {
      EXPECT_FALSE(cube) << c.what;
      continue;
    }
    ASSERT_TRUE(cube) << c.what;
    EXPECT_EQ(cube->size, c.size) << c.what;
    ASSERT_EQ(cube->data.size(), c.size * c.size * c.size * 4) << c.what;
    // Entry 1 is red 1, entry size - 1 too; alpha is 1 where the file gave three values.
    EXPECT_FLOAT_EQ(cube->data[(c.size - 1) * 4], 1.0f) << c.what;
    EXPECT_FLOAT_EQ(cube->data[7], 1.0f) << c.what;
  }
  EXPECT_FLOAT_EQ(velumar::parseCubeText(cases[7].text)->data[3], 0.5f);
  EXPECT_EQ(velumar::parseCubeText(cubeText(33))->data.size(), 35937u * 4);
}

TEST(CubeFile, DomainMapsInputsOntoTheTable) {
  // A 3-point table over 0..2: input 1.0 reads the middle entry.
  std::string text = "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 2 2 2\nLUT_3D_SIZE 3\n";
  for (int b = 0; b < 3; ++b)
    for (int g = 0; g < 3; ++g)
      for (int r = 0; r < 3; ++r)
        text +=
            std::to_string(r * 0.1) + " " + std::to_string(g * 0.1) + " " + std::to_string(b * 0.1) + "\n";
  std::optional<CubeFile> cube = velumar::parseCubeText(text);
  ASSERT_TRUE(cube);
  // The last entry (input 1, 1, 1) holds the file's middle entry (0.1, 0.1, 0.1).
  const float* last = cube->data.data() + (27 - 1) * 4;
  EXPECT_NEAR(last[0], 0.1f, 1e-6);
  EXPECT_NEAR(last[1], 0.1f, 1e-6);
  EXPECT_NEAR(last[2], 0.1f, 1e-6);
  // Input 0.5 sits a quarter into the file's table: 0.05.
  EXPECT_NEAR(cube->data[4], 0.05f, 1e-6);
}

TEST(CubeFile, MalformedBytesFailCleanly) {
  const std::string good = cubeText(3, "TITLE \"x\"\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\n");
  for (std::size_t length = 0; length <= good.size(); ++length) {
    std::optional<CubeFile> cube = velumar::parseCubeText(std::string_view(good).substr(0, length));
    if (cube) {
      EXPECT_EQ(cube->data.size(), cube->size * cube->size * cube->size * 4);
    }
  }
  std::mt19937 random(3);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = good;
    for (int flips = 0; flips < 3; ++flips) bytes[random() % bytes.size()] = char(random() % 256);
    std::optional<CubeFile> cube = velumar::parseCubeText(bytes);
    if (cube) {
      EXPECT_EQ(cube->data.size(), cube->size * cube->size * cube->size * 4);
      for (float v : cube->data) EXPECT_TRUE(std::isfinite(v));
    }
  }
}

TEST(CubeFile, FilesOnDisk) {
  testsupport::TempDir dir;
  // A table made by ImageMagick: a level-3 HaLD (9 points) with its colours
  // changed, written out as .cube by numpy.
  const std::string made = dir.file("made.cube");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "hald:3", "-modulate", "110,130,95", "-depth", "16",
                                     dir.file("hald.ppm")})
                .exitCode,
            0);
  const std::string script =
      "import sys, numpy as np\n"
      "data = open(sys.argv[1], 'rb').read()\n"
      "parts = data.split(b'\\n', 3)\n"
      "px = np.frombuffer(parts[3], dtype='>u2').reshape(-1, 3) / 65535.0\n"
      "with open(sys.argv[2], 'w') as f:\n"
      "    f.write('TITLE \"made\"\\nLUT_3D_SIZE 9\\n')\n"
      "    for p in px: f.write('%.7f %.7f %.7f\\n' % tuple(p))\n"
      "px.astype(np.float32).tofile(sys.argv[3])\n";
  std::ofstream(dir.file("write.py")) << script;
  ASSERT_EQ(testsupport::runCommand(
                {"/usr/bin/python3", dir.file("write.py"), dir.file("hald.ppm"), made, dir.file("px.raw")})
                .exitCode,
            0);
  std::optional<CubeFile> cube = velumar::readCubeFile(made);
  ASSERT_TRUE(cube);
  EXPECT_EQ(cube->size, 9u);
  // The HaLD image's pixel i is entry i.
  std::vector<float> pixels(729 * 3);
  std::ifstream(dir.file("px.raw"), std::ios::binary)
      .read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size() * sizeof(float)));
  float worst = 0;
  for (std::size_t i = 0; i < 729; ++i)
    for (std::size_t c = 0; c < 3; ++c)
      worst = std::max(worst, std::fabs(cube->data[i * 4 + c] - pixels[i * 3 + c]));
  EXPECT_LT(worst, 1e-6f);
  // The extension in capitals.
  std::filesystem::copy_file(made, dir.file("MADE.CUBE"));
  const std::optional<CubeFile> capitals = velumar::readCubeFile(dir.file("MADE.CUBE"));
  EXPECT_TRUE(capitals && capitals->data == cube->data);

  // Not a .cube name, a missing file, and a sparse file above the read bound.
  EXPECT_FALSE(velumar::readCubeFile(dir.file("made.txt")));
  EXPECT_FALSE(velumar::readCubeFile(dir.file("missing.cube")));
  const std::string huge = dir.file("huge.cube");
  { std::ofstream(huge) << "LUT_3D_SIZE 2\n"; }
  ASSERT_EQ(::truncate(huge.c_str(), (off_t(1) << 30) + 1), 0);
  EXPECT_FALSE(velumar::readCubeFile(huge));
}

TEST(LookupTable, IntensityMixesTheFilteredImageOverTheInput) {
  // An inverting cube.
  std::vector<float> invert;
  for (int b = 0; b < 2; ++b)
    for (int g = 0; g < 2; ++g)
      for (int r = 0; r < 2; ++r)
        invert.insert(invert.end(), {float(1 - r), float(1 - g), float(1 - b), 1.0f});
  const Pixels in{1, 1, {0.2f, 0.4f, 0.8f, 1}};
  struct Case {
    double intensity;
    std::array<float, 3> expected;
  };
  for (const Case& c :
       {Case{1.0, {0.8f, 0.6f, 0.2f}}, Case{3.0, {0.8f, 0.6f, 0.2f}}, Case{0.0, {0.2f, 0.4f, 0.8f}},
        Case{-2.0, {0.2f, 0.4f, 0.8f}}, Case{0.5, {0.5f, 0.5f, 0.5f}}}) {
    const Pixels out = filtertest::renderStep(in, [&](velumar::CIFiltering& e, raster::BitmapContext* ctx) {
      e.LUTFilterWithCGContext(ctx, cubeFilter(2, invert), c.intensity);
    });
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(out.rgba[std::size_t(k)], c.expected[std::size_t(k)], 1e-6) << c.intensity;
    EXPECT_NEAR(out.rgba[3], 1.0f, 1e-6) << c.intensity;
  }
  // No filter: nothing happens.
  const Pixels out = filtertest::renderStep(in, [](velumar::CIFiltering& e, raster::BitmapContext* ctx) {
    e.LUTFilterWithCGContext(ctx, nullptr, 0.5);
  });
  EXPECT_EQ(filtertest::largestDifference(out, in, true), 0.0f);
}

}  // namespace
