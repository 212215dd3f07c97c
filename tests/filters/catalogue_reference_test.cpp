// Catalogue members against independent tools: ImageMagick for matrices,
// curves and per-channel formulas, scikit-image and colorsys for the HSV,
// HLS and Lab filters.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "platform/ci/photo_effects.h"
#include "reference_tools.h"

using filtertest::Pixels;
using velumar::FilterInfo;

namespace {

std::string number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

// A 6×6 -color-matrix for ImageMagick: rows r, g, b of (r, g, b, offset).
std::string colorMatrix6(const std::array<double, 12>& m) {
  std::string s;
  for (int row = 0; row < 6; ++row) {
    for (int col = 0; col < 6; ++col) {
      double v = 0;
      if (row < 3 && col < 3) v = m[std::size_t(row * 4 + col)];
      if (row < 3 && col == 5) v = m[std::size_t(row * 4 + 3)];
      if (row >= 3 && row == col) v = 1;
      s += number(v) + " ";
    }
  }
  return s;
}

std::string diagonal(double r, double g, double b) {
  return colorMatrix6({r, 0, 0, 0, 0, g, 0, 0, 0, 0, b, 0});
}

// Saturation s about the Rec. 709 luma.
std::string saturationMatrix(double s) {
  const double l[3] = {0.2126, 0.7152, 0.0722};
  std::array<double, 12> m{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) m[std::size_t(r * 4 + c)] = (1 - s) * l[c] + (r == c ? s : 0);
  return colorMatrix6(m);
}

// Per-channel -fx expressions, each evaluated on the unchanged input.
std::vector<std::string> fx(const std::string& red, const std::string& green, const std::string& blue) {
  return {"(", "-clone", "0",      "-fx", red,   ")",  "(", "-clone",  "0", "-fx",     green,
          ")", "(",      "-clone", "0",   "-fx", blue, ")", "-delete", "0", "-combine"};
}

const std::string kLuma = "(0.2126*r+0.7152*g+0.0722*b)";

struct ImageMagickCase {
  const char* what;
  std::int64_t type;
  std::function<void(FilterInfo&)> set;
  std::vector<std::string> operations;
};

std::vector<ImageMagickCase> imageMagickCases() {
  std::vector<ImageMagickCase> cases = {
      {"saturation, brightness, contrast",
       57,
       [](FilterInfo& i) { i.saturationLevel = 1.2, i.brightnessLevel = 0.05, i.contrastLevel = 1.1; },
       {"-color-matrix", saturationMatrix(1.2), "-function", "Polynomial",
        "1.1," + number(1.1 * (0.05 - 0.5) + 0.5)}},
      {"black and white",
       58,
       [](FilterInfo& i) { i.saturationLevel = 2; },
       {"-color-matrix", saturationMatrix(0)}},
      {"low saturation",
       59,
       [](FilterInfo& i) { i.saturationLevel = 0.5; },
       {"-color-matrix", saturationMatrix(0.5)}},
      {"high saturation",
       60,
       [](FilterInfo& i) { i.saturationLevel = 0.5; },
       {"-color-matrix", saturationMatrix(0.5)}},
      {"low contrast",
       61,
       [](FilterInfo& i) { i.contrastLevel = 0.8; },
       {"-function", "Polynomial", "0.8,0.1"}},
      {"high contrast",
       62,
       [](FilterInfo& i) { i.contrastLevel = 0.8; },
       {"-function", "Polynomial", "0.8,0.1"}},
      {"low exposure",
       63,
       [](FilterInfo& i) { i.exposureLevel = -0.5; },
       {"-evaluate", "Multiply", number(std::exp2(-0.5))}},
      {"high exposure",
       64,
       [](FilterInfo& i) { i.exposureLevel = 0.25; },
       {"-evaluate", "Multiply", number(std::exp2(0.25))}},
      {"gamma", 65, [](FilterInfo& i) { i.gammaLevel = 1.25; }, {"-evaluate", "Pow", "0.75"}},
      {"gamma above 2 stops at power 0",
       65,
       [](FilterInfo& i) { i.gammaLevel = 2.5; },
       {"-evaluate", "Pow", "0"}},
      {"invert", 90, [](FilterInfo&) {}, {"-negate"}},
      {"colour matrix",
       107,
       [](FilterInfo& i) { i.cMatrixRed = 1.1, i.cMatrixGreen = 1, i.cMatrixBlue = 0.9; },
       {"-color-matrix", diagonal(1.1, 1, 0.9)}},
      {"white point",
       67,
       [](FilterInfo& i) { i.cColorRed = 0.9, i.cColorGreen = 0.8, i.cColorBlue = 0.7; },
       {"-color-matrix", diagonal(0.9, 0.8, 0.7)}},
      {"sepia",
       73,
       [](FilterInfo& i) { i.sepiaLevel = 1; },
       {"-color-matrix",
        colorMatrix6({0.393, 0.769, 0.189, 0, 0.349, 0.686, 0.168, 0, 0.272, 0.534, 0.131, 0})}},
      {"maximum component", 91, [](FilterInfo&) {}, {"-fx", "max(max(r,g),b)"}},
      {"minimum component", 92, [](FilterInfo&) {}, {"-fx", "min(min(r,g),b)"}},
      {"monochrome", 68,
       [](FilterInfo& i) {
         i.cColorRed = 0.8, i.cColorGreen = 0.6, i.cColorBlue = 0.4, i.colorMonochromeIntensity = 0.7;
       },
       fx("r+0.7*(" + kLuma + "*0.8-r)", "g+0.7*(" + kLuma + "*0.6-g)", "b+0.7*(" + kLuma + "*0.4-b)")},
      {"false colour", 69,
       [](FilterInfo& i) {
         i.cColorRed = 0.2, i.cColorGreen = 0.1, i.cColorBlue = 0.3;
         i.cColorRedFC = 0.9, i.cColorGreenFC = 0.8, i.cColorBlueFC = 0.5;
       },
       fx("0.2+0.7*" + kLuma, "0.1+0.7*" + kLuma, "0.3+0.2*" + kLuma)},
  };
  // Cross polynomial (then one stop of exposure; the rest at identity).
  const auto poly = [](std::array<float, 9> k) {
    const char* terms[9] = {"r", "g", "b", "r*r", "g*g", "b*b", "r*g", "g*b", "b*r"};
    std::string s = "2*(0";
    for (int t = 0; t < 9; ++t) s += "+(" + number(double(k[std::size_t(t)])) + ")*" + terms[t];
    return s + ")";
  };
  cases.push_back({"cross polynomial", 37,
                   [](FilterInfo& i) { i.colorCubeLevel0 = 1, i.colorCubeLevel1 = 0, i.colorCubeLevel2 = 0; },
                   fx(poly({0.05f, -0.15f, 0.05f, -0.2f, 0.1f, 0.3f, -0.1f, 0.25f, 0.1f}),
                      poly({-0.1f, -0.1f, 0.5f, 0.05f, 0.05f, 0.05f, -0.1f, 0.3f, 0.15f}),
                      poly({0.0f, 0.0f, 0.5f, 0.0f, -0.15f, 0.0f, 0.0f, 0.0f, 0.2f}))});
  // Photo effects ignore every field: the record is scrambled on purpose.
  std::int64_t type = 3;
  for (const auto& [name, effect] : ci::photoEffects()) {
    const auto& c = effect.curve;
    cases.push_back({name.c_str(),
                     type++,
                     [](FilterInfo& i) { i.saturationLevel = 0, i.sepiaLevel = 0.3, i.cMatrixRed = 9; },
                     {"-color-matrix", colorMatrix6(effect.matrix), "-function", "Polynomial",
                      number(c[0]) + "," + number(c[1]) + "," + number(c[2]) + "," + number(c[3])}});
  }
  return cases;
}

Pixels clamped(Pixels p) {
  for (float& v : p.rgba) v = std::clamp(v, 0.0f, 1.0f);
  return p;
}

TEST(CatalogueReference, ImageMagickAgreesWithinTwoSixteenBitSteps) {
  // Mid-range colours, so that no intermediate step of the reference clips.
  const Pixels in = filtertest::colourGrid({0.3, 0.42, 0.55, 0.68});
  for (const ImageMagickCase& c : imageMagickCases()) {
    FilterInfo info;
    c.set(info);
    std::optional<Pixels> expected = filtertest::imageMagick(in, c.operations);
    ASSERT_TRUE(expected) << c.what;
    const Pixels got = clamped(filtertest::renderType(in, c.type, info));
    EXPECT_LE(filtertest::largestDifference(got, *expected), filtertest::kReferenceTolerance) << c.what;
  }
}

struct PythonCase {
  const char* what;
  std::int64_t type;
  std::function<void(FilterInfo&)> set;
  std::string script;
};

TEST(CatalogueReference, HsvHlsAndLabAgreeWithScikitImageAndColorsys) {
  const color::MatrixShaper& working = ci::workingMatrixShaper();
  std::string matrix = "M = np.array([";
  for (double v : working.rgbToXYZ) matrix += number(v) + ",";
  matrix += "]).reshape(3, 3)\ngamma = " + number(working.gamma) + "\n";
  const std::string hsv =
      "from skimage.color import rgb2hsv, hsv2rgb\n"
      "h = rgb2hsv(inp[None, :, :3].astype(np.float64))\n";
  const std::vector<PythonCase> cases = {
      {"HSV, type 104 (contrast stays 1)", 104,
       [](FilterInfo& i) { i.hsvSaturationLevel = 1.3, i.hsvValueLevel = 0.9, i.hsvContrastLevel = 1.7; },
       hsv + "h[..., 1] = np.clip(h[..., 1] * 1.3, 0, 1)\nh[..., 2] = h[..., 2] * 0.9\nout = hsv2rgb(h)[0]"},
      {"HSV contrast, type 106", 106,
       [](FilterInfo& i) { i.hsvSaturationLevel = 0.7, i.hsvValueLevel = 1.1, i.hsvContrastLevel = 1.2; },
       hsv + "h[..., 1] = np.clip(h[..., 1] * 0.7, 0, 1)\nh[..., 2] = (h[..., 2] * 1.1 - 0.5) * 1.2 + 0.5\n"
             "out = hsv2rgb(h)[0]"},
      {"HLS, type 103", 103, [](FilterInfo& i) { i.hslSaturationLevel = 1.4, i.hslLuminosityLevel = 0.8; },
       "import colorsys\nout = []\nfor r, g, b, a in inp.astype(np.float64):\n"
       "    h, l, s = colorsys.rgb_to_hls(r, g, b)\n"
       "    out.append(colorsys.hls_to_rgb(h, min(max(l * 0.8, 0), 1), min(max(s * 1.4, 0), 1)))"},
      {"Lab, type 105", 105, [](FilterInfo& i) { i.labSaturationLevel = 1.3, i.labLuminosityLevel = 0.9; },
       matrix + "import skimage.color.colorconv as cc\n"
                "white = M.sum(axis=1)\n"
                "cc.illuminants['W'] = {'2': tuple(white / white[1])}\n"
                "lin = np.sign(inp[:, :3]) * np.abs(inp[:, :3].astype(np.float64)) ** gamma\n"
                "xyz = (lin @ M.T) / white[1]\n"
                "lab = cc.xyz2lab(xyz[None], illuminant='W')\n"
                "lab[..., 0] *= 0.9\nlab[..., 1:] *= 1.3\n"
                "back = cc.lab2xyz(lab, illuminant='W')[0] * white[1]\n"
                "lin = back @ np.linalg.inv(M).T\n"
                "out = np.sign(lin) * np.abs(lin) ** (1 / gamma)"},
  };
  const Pixels in = filtertest::colourGrid({0.3, 0.42, 0.55, 0.68});
  for (const PythonCase& c : cases) {
    FilterInfo info;
    c.set(info);
    std::optional<Pixels> expected = filtertest::python(in, c.script);
    ASSERT_TRUE(expected) << c.what;
    const Pixels got = filtertest::renderType(in, c.type, info);
    EXPECT_LE(filtertest::largestDifference(got, *expected), filtertest::kReferenceTolerance) << c.what;
  }
}

}  // namespace
