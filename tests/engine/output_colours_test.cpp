// Colour as other programs see our files: CMYK sources in formats that hold
// only RGB, untagged gray, wide-gamut sources in formats without a profile,
// transparency in formats without alpha, damaged associated alpha. Sources
// are made and references computed by ImageMagick (or another outside
// tool); outputs are read back by several readers.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>

#include "engine/file_type_codes.h"
#include "output_readers.h"
#include "platform/color/transform.h"

namespace velumar {
namespace {

using outputcheck::Reader;

const std::string kCMYK = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
const std::vector<Reader> kRaw = {Reader::ImageMagick, Reader::GraphicsMagick, Reader::Vips};

struct ColourCase {
  const char* name;
  const char* source;               // file name; its extension picks the format
  std::vector<std::string> make;    // ImageMagick arguments before the source path
  std::vector<std::string> toSRGB;  // ImageMagick arguments from source to the reference
  std::int64_t output;
  const char* extension;
  std::vector<Reader> readers;
  int tolerance;
  std::int64_t model = -1, space = 0;  // asked-for colour space; -1 keeps the source's
  double factor = 0;                   // resize factor; 0 leaves the size
};

void PrintTo(const ColourCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<std::string> profileToSRGB(const std::string& assigned) {
  std::vector<std::string> arguments;
  if (!assigned.empty()) arguments = {"-profile", assigned};
  arguments.insert(arguments.end(), {"-intent", "Relative", "-black-point-compensation", "-profile",
                                     outputcheck::sRGBProfilePath()});
  return arguments;
}

const std::vector<std::string> kCMYKSource = {"-size", "16x16", "xc:cmyk(20%,60%,0%,10%)"};
const std::vector<std::string> kAdobeSource = {"-size", "16x16", "xc:rgb(30,200,60)", "-profile",
                                               "/usr/share/color/icc/colord/AdobeRGB1998.icc"};
const std::vector<std::string> kProPhotoSource = {"-size", "16x16", "xc:rgb(60,170,40)", "-profile",
                                                  "/usr/share/color/icc/colord/ProPhotoRGB.icc"};
// Left half opaque blue, right half fully transparent over hidden red.
const std::vector<std::string> kTransparentSource = {"-size", "16x16", "xc:rgba(255,0,0,0)", "-fill",
                                                     "blue",  "-draw", "rectangle 0,0 7,15"};

const ColourCase kCases[] = {
    {"CMYK JPEG to PNG",
     "cmyk.jpg",
     kCMYKSource,
     profileToSRGB(kCMYK),
     ConversionType::PNG,
     "png",
     {Reader::ImageMagickToSRGB, Reader::GraphicsMagick, Reader::Vips},
     6},
    {"CMYK JPEG to BMP", "cmyk.jpg", kCMYKSource, profileToSRGB(kCMYK), ConversionType::BMP, "bmp", kRaw, 6},
    {"CMYK JPEG to GIF", "cmyk.jpg", kCMYKSource, profileToSRGB(kCMYK), ConversionType::GIF, "gif", kRaw, 6},
    {"CMYK JPEG to HEIF",
     "cmyk.jpg",
     kCMYKSource,
     profileToSRGB(kCMYK),
     ConversionType::HEIF,
     "heic",
     {Reader::ImageMagick, Reader::Vips},
     12},
    {"CMYK PSD to BMP", "cmyk.psd", kCMYKSource, profileToSRGB(kCMYK), ConversionType::BMP, "bmp", kRaw, 6},
    {"CMYK TIFF to PNG",
     "cmyk.tif",
     kCMYKSource,
     profileToSRGB(kCMYK),
     ConversionType::PNG,
     "png",
     {Reader::ImageMagickToSRGB},
     6},
    {"RGB to HEIF with CMYK asked",
     "rgb.png",
     {"-size", "16x16", "xc:rgb(200,80,40)"},
     {},
     ConversionType::HEIF,
     "heic",
     {Reader::ImageMagick, Reader::Vips},
     12,
     2,
     4},
    {"Adobe RGB to BMP", "adobe.png", kAdobeSource, profileToSRGB(""), ConversionType::BMP, "bmp", kRaw, 4},
    {"Adobe RGB to GIF", "adobe.png", kAdobeSource, profileToSRGB(""), ConversionType::GIF, "gif", kRaw, 4},
    {"ProPhoto to BMP", "prophoto.png", kProPhotoSource, profileToSRGB(""), ConversionType::BMP, "bmp", kRaw,
     4},
    {"ProPhoto to GIF", "prophoto.png", kProPhotoSource, profileToSRGB(""), ConversionType::GIF, "gif", kRaw,
     4},
    {"untagged gray to PNG",
     "gray.jpg",
     {"-size", "16x16", "xc:gray(40%)"},
     {},
     ConversionType::PNG,
     "png",
     {Reader::ImageMagickToSRGB},
     2},
    {"untagged gray to TIFF",
     "gray.jpg",
     {"-size", "16x16", "xc:gray(40%)"},
     {},
     ConversionType::TIFF,
     "tiff",
     {Reader::ImageMagickToSRGB},
     2},
    {"transparency to JPEG",
     "clear.png",
     kTransparentSource,
     {"-background", "white", "-flatten"},
     ConversionType::JPEG,
     "jpg",
     kRaw,
     10},
    {"transparency to JPEG redrawn",
     "clear.png",
     kTransparentSource,
     {"-background", "white", "-flatten", "-resize", "50%"},
     ConversionType::JPEG,
     "jpg",
     kRaw,
     10,
     -1,
     0,
     0.5},
};

class OutputColours : public ::testing::TestWithParam<ColourCase> {};

TEST_P(OutputColours, OtherReadersSeeTheSourcesColours) {
  const ColourCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string source = dir.file(c.source), reference = dir.file("reference.png");
  std::vector<std::string> make = c.make;
  make.push_back(source);
  std::vector<std::string> toReference = {source + "[0]"};
  toReference.insert(toReference.end(), c.toSRGB.begin(), c.toSRGB.end());
  toReference.push_back(reference);
  ASSERT_TRUE(outputcheck::magick(make) && outputcheck::magick(toReference));
  const outputcheck::Pixels expected = outputcheck::readWith(Reader::ImageMagick, reference);
  ASSERT_FALSE(expected.empty());

  ImageModifyInfo settings;
  settings.conversionType = c.output;
  if (c.model >= 0) {
    settings.colorSpaceModel = c.model;
    settings.colorSpace = c.space;
  }
  settings.doImageResize = c.factor > 0;
  settings.rFactorW = settings.rFactorH = c.factor > 0 ? c.factor : 1.0;
  const std::string output = dir.file(std::string("out.") + c.extension);
  ASSERT_TRUE(outputcheck::convertFile(source, settings, output));

  for (Reader reader : c.readers) {
    const outputcheck::Pixels seen = outputcheck::readWith(reader, output);
    ASSERT_EQ(seen.width, expected.width) << outputcheck::nameOf(reader);
    ASSERT_EQ(seen.height, expected.height) << outputcheck::nameOf(reader);
    // Both halves of the transparency picture, the middle of the others.
    for (std::int64_t x : {expected.width / 4, expected.width * 3 / 4}) {
      const auto want = expected.at(x, expected.height / 2), got = seen.at(x, expected.height / 2);
      EXPECT_LE(outputcheck::channelDistance(got, want), c.tolerance)
          << outputcheck::nameOf(reader) << " at x " << x << ": " << got[0] << " " << got[1] << " " << got[2]
          << " " << got[3] << " for " << want[0] << " " << want[1] << " " << want[2] << " " << want[3];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputColours, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ColourCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// A damaged TIFF whose associated alpha is below its colour, 8 and 16 bits,
// converted to an Adobe RGB PNG: colour is read as at most its alpha, so the
// straight colour is at most white and no channel drags the others up.
// Expected: the limited straight sRGB colour through an Adobe RGB transform,
// within the levels the premultiplied 8-bit result can tell apart.
TEST(OutputColours, ColourAboveAssociatedAlphaIsLimitedBeforeConversion) {
  const char* script =
      "import sys, numpy, tifffile\n"
      "bits = int(sys.argv[2])\n"
      "v = numpy.array([int(x) for x in sys.argv[3:]], dtype=numpy.uint16).reshape(1, -1, 4)\n"
      "v = v * 257 if bits == 16 else v.astype(numpy.uint8)\n"
      "tifffile.imwrite(sys.argv[1], v, photometric='rgb', extrasamples=['assocalpha'])\n";
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/python3", "-c", "import tifffile"}).exitCode, 0)
      << "needs python3-tifffile";
  // Premultiplied r, g, b, alpha: colour above alpha and within it, both
  // among the first four pixels and the rest.
  const std::array<int, 4> pairs[] = {{0, 255, 128, 128}, {100, 50, 20, 128}, {60, 100, 40, 64},
                                      {30, 60, 90, 200},  {255, 0, 0, 32},    {64, 64, 0, 64},
                                      {10, 200, 50, 255}};
  std::vector<float> straight;
  for (const auto& p : pairs)
    for (int c = 0; c < 3; ++c) straight.push_back(float(std::min(p[c], p[3])) / float(p[3]));
  const color::BufferLayout floats{3, color::SampleType::Float32, false, false, false, false};
  std::vector<float> adobe(straight.size());
  color::Transform::get(color::IccProfile::named(color::NamedProfile::SRGB), floats,
                        color::IccProfile::named(color::NamedProfile::AdobeRGB1998), floats)
      ->convertRow(straight.data(), adobe.data(), std::int64_t(std::size(pairs)));

  for (int bits : {8, 16}) {
    testsupport::TempDir dir;
    const std::string source = dir.file("damaged.tif"), output = dir.file("adobe.png");
    std::vector<std::string> make = {"/usr/bin/python3", "-c", script, source, std::to_string(bits)};
    for (const auto& p : pairs)
      for (int v : p) make.push_back(std::to_string(v));
    ASSERT_EQ(testsupport::runCommand(make).exitCode, 0) << bits;
    ImageModifyInfo settings;
    settings.conversionType = ConversionType::PNG;
    settings.colorSpaceModel = 1;
    settings.colorSpace = 1;  // Adobe RGB
    ASSERT_TRUE(outputcheck::convertFile(source, settings, output)) << bits;
    const outputcheck::Pixels seen = outputcheck::readWith(Reader::ImageMagick, output);
    ASSERT_EQ(seen.width, std::int64_t(std::size(pairs))) << bits;
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
      const int alpha = pairs[i][3];
      std::array<int, 4> want{alpha, alpha, alpha, alpha};
      for (int c = 0; c < 3; ++c)
        want[std::size_t(c)] = int(std::lround(adobe[i * 3 + std::size_t(c)] * 255.0f));
      const auto got = seen.at(std::int64_t(i), 0);
      EXPECT_LE(outputcheck::channelDistance(got, want), 1 + 128 / alpha)
          << bits << "-bit (" << pairs[i][0] << "," << pairs[i][1] << "," << pairs[i][2] << ",a" << alpha
          << "): " << got[0] << " " << got[1] << " " << got[2] << " " << got[3] << " for " << want[0] << " "
          << want[1] << " " << want[2];
    }
  }
}

}  // namespace
}  // namespace velumar
