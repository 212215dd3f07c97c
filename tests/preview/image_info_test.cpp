#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "platform/imageio/image_destination.h"
#include "preview/image_info_dictionary.h"
#include "preview/image_info_text.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Camera line of a label for an image dictionary.
std::string cameraValue(const Dictionary& image, const std::string& label, Dictionary information = {}) {
  information.set("Image Dictionary", Value(image));
  const auto labels = lines(cameraInformationLabels());
  const auto values = lines(cameraInformationValues(Value(information)));
  EXPECT_EQ(labels.size(), 24u);
  EXPECT_EQ(values.size(), 24u);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (labels[i] == label) return values[i];
  }
  ADD_FAILURE() << "no label " << label;
  return {};
}

Dictionary exif(const char* key, Value value) {
  return Dictionary{{"{Exif}", Value(Dictionary{{key, std::move(value)}})}};
}

TEST(ImageInfoText, FileSizes) {
  const std::pair<std::int64_t, const char*> cases[] = {{1'500'000, "1.50 MB"},
                                                        {999'999, "1000.00 KB"},
                                                        {2'000, "2.00 KB"},
                                                        {0, "0.00 KB"},
                                                        {1'000'000, "1.00 MB"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(fileSizeText(bytes), text) << bytes;
}

TEST(ImageInfoText, CameraFields) {
  const struct {
    Dictionary image;
    const char* label;
    const char* shown;
  } cases[] = {
      {exif("ExposureTime", 0.004), "Shutter Speed:", "1/250"},
      {exif("ExposureTime", 0.5), "Shutter Speed:", "1/2"},
      {exif("ExposureTime", 1), "Shutter Speed:", "1s"},
      {exif("ExposureTime", 2.5), "Shutter Speed:", "2.5s"},
      {exif("ExposureTime", 0), "Shutter Speed:", "0s"},
      {exif("ExposureTime", 1e-30), "Shutter Speed:", "--"},  // 1/t beyond the integers
      {exif("ExposureTime", -0.5), "Shutter Speed:", "--"},
      {exif("ExposureTime", std::nan("")), "Shutter Speed:", "--"},
      {exif("ExposureTime", std::string("1/250")), "Shutter Speed:", "--"},
      {exif("ColorSpace", 3), "Color Space:", "--"},
      {exif("ColorSpace", 65535), "Color Space:", "Uncalibrated"},
      {exif("ColorSpace", 1), "Color Space:", "sRGB"},
      {exif("FNumber", 2.8), "Aperture:", "f/2.8"},
      {exif("FNumber", -1), "Aperture:", "--"},
      {exif("FocalLength", 35), "Focal Length:", "35mm"},
      {exif("FocalLenIn35mmFilm", 50), "Focal Length (35mm):", "50mm"},
      {exif("ExposureBiasValue", -0.7), "Exposure Bias:", "-0.7 ev"},
      {exif("ISOSpeedRatings", Value(Array{Value(400), Value(800)})), "ISO:", "400"},
      {exif("ISOSpeedRatings", Value(Array{})), "ISO:", "--"},
      {exif("ISOSpeedRatings", 400), "ISO:", "--"},
      {exif("WhiteBalance", 1), "White Balance:", "Manual White Balance"},
      {exif("ExposureMode", 2), "Exposure Mode:", "Auto bracket"},
      {exif("DateTimeOriginal", std::string("2020:01:02 03:04:05")),
       "Date Time Original:", "2020:01:02 03:04:05"},
      {Dictionary{{"Orientation", 6}}, "Orientation:", "Rotate 90 CW"},
      {Dictionary{{"Orientation", 9}}, "Orientation:", "--"},
      {Dictionary{{"{TIFF}", Value(Dictionary{{"Make", std::string("Maker\nTwo")}})}},
       "Camera Make:", "Maker Two"},
      {Dictionary{{"{TIFF}", Value(Dictionary{{"PhotometricInterpretation", 7}})}},
       "Photometric Interpr.:", "--"},
      {Dictionary{{"{ExifAux}", Value(Dictionary{{"LensModel", std::string("Aux lens")}})}},
       "Lens:", "Aux lens"},
      {Dictionary{{"{ExifAux}", Value(Dictionary{{"ImageNumber", 1234}})}}, "Image Number:", "1234"},
      {Dictionary{{"{ExifAux}", Value(Dictionary{{"SerialNumber", std::string("42A")}})}},
       "Serial Number:", "42A"},
  };
  for (const auto& c : cases) EXPECT_EQ(cameraValue(c.image, c.label), c.shown) << c.label;
}

TEST(ImageInfoText, EveryCodeOfTheCodeTables) {
  const struct {
    const char* group;
    const char* key;
    const char* label;
    std::vector<std::pair<int, const char*>> codes;
  } tables[] = {
      {"{Exif}",
       "Flash",
       "Flash:",
       {{0, "No Flash"},
        {1, "Fired"},
        {5, "Fired, Return not detected"},
        {7, "Fired, Return detected"},
        {8, "On, Did not fire"},
        {9, "On, Fired"},
        {13, "On, Return not detected"},
        {15, "On, Return detected"},
        {16, "Off, Did not fire"},
        {20, "Off, Did not fire, Return not detected"},
        {24, "Auto, Did not fire"},
        {25, "Auto, Fired"},
        {29, "Auto, Fired, Return not detected"},
        {31, "Auto, Fired, Return detected"},
        {32, "No flash function"},
        {48, "Off, No flash function"},
        {65, "Fired, Red-eye reduction"},
        {69, "Fired, Red-eye reduction, Return not detected"},
        {71, "Fired, Red-eye reduction, Return detected"},
        {73, "On, Red-eye reduction"},
        {77, "On, Red-eye reduction, Return not detected"},
        {79, "On, Red-eye reduction, Return detected"},
        {80, "Off, Red-eye reduction"},
        {88, "Auto, Did not fire, Red-eye reduction"},
        {89, "Auto, Fired, Red-eye reduction"},
        {93, "Auto, Fired, Red-eye reduction, Return not detected"},
        {95, "Auto, Fired, Red-eye reduction, Return detected"},
        {2, "--"}}},
      {"{Exif}",
       "MeteringMode",
       "Metering Mode:",
       {{0, "Unknown"},
        {1, "Average"},
        {2, "Center-weighted average"},
        {3, "Spot"},
        {4, "Multi-spot"},
        {5, "Multi-segment"},
        {6, "Partial"},
        {255, "Other"},
        {7, "--"}}},
      {"{Exif}",
       "ExposureProgram",
       "Exposure Program:",
       {{0, "Not Defined"},
        {1, "Manual"},
        {2, "Program AE"},
        {3, "Aperture-priority AE"},
        {4, "Shutter speed priority AE"},
        {5, "Creative (Slow speed)"},
        {6, "Action (High speed)"},
        {7, "Portrait"},
        {8, "Landscape"},
        {9, "Bulb"},
        {10, "--"}}},
      {"{TIFF}",
       "PhotometricInterpretation",
       "Photometric Interpr.:",
       {{0, "WhiteIsZero"},
        {1, "BlackIsZero"},
        {2, "RGB"},
        {3, "RGB Palette"},
        {4, "Transparency Mask"},
        {5, "CMYK"},
        {6, "YCbCr"},
        {7, "--"},
        {8, "CIELab"},
        {9, "ICCLab"},
        {10, "ITULab"},
        {32803, "Color Filter Array"},
        {32844, "Pixar LogL"},
        {32845, "Pixar LogLuv"},
        {34892, "Linear Raw"}}},
  };
  for (const auto& table : tables) {
    for (const auto& [code, text] : table.codes) {
      const Dictionary image{{table.group, Value(Dictionary{{table.key, code}})}};
      EXPECT_EQ(cameraValue(image, table.label), text) << table.key << " " << code;
    }
  }
}

TEST(ImageInfoText, FileColumns) {
  const struct {
    const char* what;
    Dictionary information;
    std::size_t line;
    const char* shown;
  } cases[] = {
      {"turned photo",
       {{"Image Dictionary",
         Value(Dictionary{{"PixelWidth", 4000}, {"PixelHeight", 3000}, {"Orientation", 6}})}},
       4,
       "3000 x 4000"},
      {"no size", {{"Image Dictionary", Value(Dictionary{})}}, 4, "--"},
      {"dpi 0", {{"Image Dictionary", Value(Dictionary{{"DPIWidth", 0}})}}, 5, "--"},
      {"no dpi", {{"Image Dictionary", Value(Dictionary{})}}, 5, "72"},
      {"dpi 300", {{"Image Dictionary", Value(Dictionary{{"DPIWidth", 300.0}})}}, 5, "300"},
      {"dpi 72.5", {{"Image Dictionary", Value(Dictionary{{"DPIWidth", 72.5}})}}, 5, "72.5"},
      {"float", {{"Image Dictionary", Value(Dictionary{{"IsFloat", true}})}}, 9, "Yes"},
      {"no alpha", {{"Image Dictionary", Value(Dictionary{})}}, 10, "No"},
      {"letter PDF",
       {{"Image is PDF", true}, {"PDF Width", 612.0}, {"PDF Height", 792.0}},
       4,
       "8.50 x 11.00 inches"},
      {"PDF count missing", {{"Image is PDF", true}}, 5, "1"},
      {"PDF title",
       {{"Image is PDF", true}, {"PDF Dictionary", Value(Dictionary{{"Title", std::string("Report")}})}},
       6,
       "Report"},
  };
  // The same text under a locale that writes decimal commas.
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
    testsupport::withLocale(locale, [&] {
      for (const auto& c : cases) {
        const Value information(c.information);
        const ImageInfoColumn column = fileInformationColumn(&information);
        const auto values = lines(column.values);
        ASSERT_EQ(values.size(), 11u) << c.what;
        EXPECT_EQ(lines(column.labels).size(), 11u);
        EXPECT_EQ(values[c.line], c.shown) << locale << " " << c.what;
      }
    });
  }
  const ImageInfoColumn nothing = fileInformationColumn(nullptr);
  EXPECT_EQ(lines(nothing.labels).front(), "File name:");
  EXPECT_EQ(lines(nothing.labels)[4], "Pixel size:");
  EXPECT_EQ(lines(nothing.values), std::vector<std::string>(11, "--"));
  const auto empty = lines(cameraInformationValues(Value(Dictionary{})));
  EXPECT_EQ(empty, std::vector<std::string>(24, "--"));
}

TEST(ImageInformation, BuiltFromTheFile) {
  const testsupport::TempDir dir;
  const std::string png = dir.file("shot.png");
  auto destination = imageio::ImageDestination::create(png, "public.png", 1);
  destination->addImage(
      raster::Image::make(30, 20, raster::PixelFormat{8, 3, raster::AlphaInfo::None},
                          raster::ColorSpace::sRGB(), std::vector<std::uint8_t>(30 * 20 * 3)),
      Value(Dictionary{}));
  ASSERT_TRUE(destination->finalize());
  const Value information = imageInformationForFile(png);
  EXPECT_EQ(information.get("Original Filename")->stringOr(""), "shot.png");
  EXPECT_EQ(information.get("File Type Extension")->stringOr(""), "png");
  EXPECT_FALSE(information.get("Image is PDF")->boolOr(true));
  EXPECT_EQ(information.get("Image Count")->intOr(0), 1);
  EXPECT_EQ(information.get({"Image Dictionary", "PixelWidth"})->intOr(0), 30);
  EXPECT_TRUE(information.get("File Modification Date String"));

  const std::string pdf = dir.file("page.pdf");
  // A letter page whose art box is a quarter of it; the reader rebuilds the
  // missing cross-reference table.
  std::ofstream(pdf)
      << "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
         "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
         "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /ArtBox [0 0 306 396] >> endobj\n"
         "4 0 obj << /Title (Report) >> endobj\n"
         "trailer << /Root 1 0 R /Info 4 0 R >>\n%%EOF\n";
  const Value document = imageInformationForFile(pdf);
  EXPECT_TRUE(document.get("Image is PDF")->boolOr(false));
  const auto pdfLines = lines(fileInformationColumn(&document).values);
  EXPECT_EQ(pdfLines[4], "4.25 x 5.50 inches");
  EXPECT_EQ(pdfLines[5], "1");
  EXPECT_EQ(pdfLines[6], "Report");

  // A locked document gives no attributes.
  const std::string locked = dir.file("locked.pdf");
  const int encrypted =
      testsupport::runCommand({"qpdf", "--encrypt", "user", "owner", "256", "--", pdf, locked}).exitCode;
  ASSERT_TRUE(encrypted == 0 || encrypted == 3);  // 3: written with warnings (the rebuilt table)
  const Value lockedInformation = imageInformationForFile(locked);
  EXPECT_TRUE(lockedInformation.get("Image is PDF")->boolOr(false));
  EXPECT_TRUE(lockedInformation.get("PDF Dictionary")->asDictionary()->empty());
  EXPECT_FALSE(lockedInformation.get("PDF Page Count"));

  const std::string missing = dir.file("gone.jpg");
  const Value none = imageInformationForFile(missing);
  EXPECT_FALSE(none.get("File size"));
  EXPECT_FALSE(none.get("Image Count"));
  EXPECT_TRUE(none.get("Image Dictionary")->asDictionary()->empty());
}

}  // namespace
}  // namespace velumar
