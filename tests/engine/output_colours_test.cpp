// Colour as other programs see our files: CMYK sources in formats that hold
// only RGB, untagged gray, wide-gamut sources in formats without a profile,
// transparency in formats without alpha. Sources are made and references
// computed by ImageMagick; outputs are read back by several readers.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/file_type_codes.h"
#include "output_readers.h"

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

}  // namespace
}  // namespace velumar
