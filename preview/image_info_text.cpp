#include "preview/image_info_text.h"

#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace velumar {

namespace {

using foundation::Value;

const std::string kNone = "--";

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A number stored as an integer or a real; nothing for other types and
// for non-finite values.
std::optional<double> number(const Value* value) {
  if (value == nullptr) return std::nullopt;
  if (value->type() != Value::Type::Integer && value->type() != Value::Type::Real) return std::nullopt;
  const std::optional<double> n = value->toDouble();
  if (!n || !std::isfinite(*n)) return std::nullopt;
  return n;
}

std::optional<std::int64_t> whole(const Value* value) {
  const std::optional<double> n = number(value);
  if (!n || *n < -9.2e18 || *n > 9.2e18) return std::nullopt;
  return std::int64_t(*n);
}

// Strings as they are (on one line), numbers in decimal.
std::string asStored(const Value* value) {
  if (value == nullptr) return kNone;
  if (const std::string* text = value->asString()) {
    std::string line = *text;
    for (char& c : line) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
  }
  if (value->type() == Value::Type::Integer) return std::to_string(*value->toInt());
  if (const std::optional<double> n = number(value)) return fmt::format("{:g}", *n);
  return kNone;
}

// "%g" of the value as a single-precision number, for values that cannot be negative.
std::optional<float> nonNegativeFloat(const Value* value) {
  const std::optional<double> n = number(value);
  if (!n || *n < 0) return std::nullopt;
  return float(*n);
}

std::string fromTable(const Value* value, const std::vector<std::pair<std::int64_t, const char*>>& table) {
  const std::optional<double> n = number(value);
  if (!n || *n != std::floor(*n)) return kNone;
  for (const auto& [code, text] : table) {
    if (double(code) == *n) return text;
  }
  return kNone;
}

const Value* field(const Value& dictionary, const char* group, const char* key) {
  return dictionary.get({group, key});
}

std::string shutterSpeed(const Value* value) {
  const std::optional<float> t = nonNegativeFloat(value);
  if (!t) return kNone;
  if (*t < 1 && *t != 0) {
    const double reciprocal = std::round(1.0 / double(*t));
    if (!(reciprocal < 9.2e18)) return kNone;
    return fmt::format("1/{}", static_cast<long long>(reciprocal));
  }
  return fmt::format("{:g}s", double(*t));
}

const std::vector<std::pair<std::int64_t, const char*>> kColorSpaces = {{1, "sRGB"},
                                                                        {2, "Adobe RGB"},
                                                                        {65533, "Wide Gamut RGB"},
                                                                        {65534, "ICC Profile"},
                                                                        {65535, "Uncalibrated"}};
const std::vector<std::pair<std::int64_t, const char*>> kOrientations = {
    {1, "1 (normal)"},
    {2, "Mirror Horizontal"},
    {3, "Rotate 180"},
    {4, "Mirror Vertical"},
    {5, "Mirror Horizontal and Rotate 270 CW"},
    {6, "Rotate 90 CW"},
    {7, "Mirror Horizontal and Rotate 90 CW"},
    {8, "Rotate 270 CW"}};
const std::vector<std::pair<std::int64_t, const char*>> kFlashes = {
    {0, "No Flash"},
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
    {95, "Auto, Fired, Red-eye reduction, Return detected"}};
const std::vector<std::pair<std::int64_t, const char*>> kWhiteBalances = {{0, "Auto White Balance"},
                                                                          {1, "Manual White Balance"}};
const std::vector<std::pair<std::int64_t, const char*>> kExposurePrograms = {{0, "Not Defined"},
                                                                             {1, "Manual"},
                                                                             {2, "Program AE"},
                                                                             {3, "Aperture-priority AE"},
                                                                             {4, "Shutter speed priority AE"},
                                                                             {5, "Creative (Slow speed)"},
                                                                             {6, "Action (High speed)"},
                                                                             {7, "Portrait"},
                                                                             {8, "Landscape"},
                                                                             {9, "Bulb"}};
const std::vector<std::pair<std::int64_t, const char*>> kMeteringModes = {
    {0, "Unknown"}, {1, "Average"},    {2, "Center-weighted average"},
    {3, "Spot"},    {4, "Multi-spot"}, {5, "Multi-segment"},
    {6, "Partial"}, {255, "Other"}};
const std::vector<std::pair<std::int64_t, const char*>> kExposureModes = {
    {0, "Auto Exposure"}, {1, "Manual Exposure"}, {2, "Auto bracket"}};
const std::vector<std::pair<std::int64_t, const char*>> kPhotometrics = {{0, "WhiteIsZero"},
                                                                         {1, "BlackIsZero"},
                                                                         {2, "RGB"},
                                                                         {3, "RGB Palette"},
                                                                         {4, "Transparency Mask"},
                                                                         {5, "CMYK"},
                                                                         {6, "YCbCr"},
                                                                         {8, "CIELab"},
                                                                         {9, "ICCLab"},
                                                                         {10, "ITULab"},
                                                                         {32803, "Color Filter Array"},
                                                                         {32844, "Pixar LogL"},
                                                                         {32845, "Pixar LogLuv"},
                                                                         {34892, "Linear Raw"}};

const std::vector<std::string> kImageLabels = {"File name:",
                                               "File size:",
                                               "File creation date:",
                                               "File modification date:",
                                               "Pixel size:",
                                               "Dpi:",
                                               "Color model:",
                                               "Profile name:",
                                               "Depth:",
                                               "Floating point:",
                                               "Alpha channel:"};
const std::vector<std::string> kPdfLabels = {"File name:",
                                             "File size:",
                                             "File creation date:",
                                             "File modification date:",
                                             "Page size:",
                                             "Page count:",
                                             "Title:",
                                             "Author:",
                                             "Subject:",
                                             "PDF producer:",
                                             "Content creator:"};

std::string text(const Value* value) {
  const std::string* string = value ? value->asString() : nullptr;
  return string ? asStored(value) : kNone;
}

std::string yesNo(const Value* value) {
  return value != nullptr && value->type() == Value::Type::Bool && value->boolOr(false) ? "Yes" : "No";
}

std::vector<std::string> imageValues(const Value& image) {
  std::int64_t width = whole(image.get("PixelWidth")).value_or(0);
  std::int64_t height = whole(image.get("PixelHeight")).value_or(0);
  if (whole(image.get("Orientation")).value_or(0) > 4) std::swap(width, height);
  const std::string pixelSize =
      width > 0 && height > 0 ? fmt::format("{} x {}", (long long)width, (long long)height) : kNone;
  std::string dpi = "72";
  if (const Value* resolution = image.get("DPIWidth")) {
    const std::optional<float> value = nonNegativeFloat(resolution);
    dpi = !value || *value == 0 ? kNone : fmt::format("{:g}", double(*value));
  }
  const std::optional<std::int64_t> depth = whole(image.get("Depth"));
  return {pixelSize,
          dpi,
          text(image.get("ColorModel")),
          text(image.get("ProfileName")),
          depth && *depth >= 0 ? std::to_string(*depth) : kNone,
          yesNo(image.get("IsFloat")),
          yesNo(image.get("HasAlpha"))};
}

std::vector<std::string> pdfValues(const Value& information) {
  const std::optional<float> width = nonNegativeFloat(information.get("PDF Width"));
  const std::optional<float> height = nonNegativeFloat(information.get("PDF Height"));
  const std::string pageSize =
      width && height ? fmt::format("{:.2f} x {:.2f} inches", double(*width / 72.0f), double(*height / 72.0f))
                      : kNone;
  const Value* countValue = information.get("PDF Page Count");
  const std::optional<std::int64_t> count = whole(countValue);
  const std::string pages = countValue == nullptr  ? "1"
                            : count && *count >= 0 ? std::to_string(*count)
                                                   : kNone;
  const Value empty;
  const Value* attributes = information.get("PDF Dictionary");
  const Value& pdf = attributes != nullptr ? *attributes : empty;
  return {pageSize,
          pages,
          text(pdf.get("Title")),
          text(pdf.get("Author")),
          text(pdf.get("Subject")),
          text(pdf.get("Producer")),
          text(pdf.get("Creator"))};
}

}  // namespace

std::string fileSizeText(std::int64_t bytes) {
  const float megabytes = float(double(bytes) / 1000000.0);
  if (megabytes < 1.0f) return fmt::format("{:.2f} KB", double(megabytes * 1000.0f));
  return fmt::format("{:.2f} MB", double(megabytes));
}

ImageInfoColumn fileInformationColumn(const Value* information) {
  if (information == nullptr || !information->isDictionary())
    return {joinLines(kImageLabels), joinLines(std::vector<std::string>(kImageLabels.size(), kNone))};
  std::vector<std::string> values = {text(information->get("Original Filename")),
                                     text(information->get("File size")),
                                     text(information->get("File Creation Date String")),
                                     text(information->get("File Modification Date String"))};
  const Value* isPdf = information->get("Image is PDF");
  const bool pdf = isPdf != nullptr && isPdf->boolOr(false);
  const Value empty;
  const Value* image = information->get("Image Dictionary");
  const std::vector<std::string> rest = pdf ? pdfValues(*information) : imageValues(image ? *image : empty);
  values.insert(values.end(), rest.begin(), rest.end());
  return {joinLines(pdf ? kPdfLabels : kImageLabels), joinLines(values)};
}

std::string cameraInformationLabels() {
  return joinLines({"Date Time Digitized:",
                    "Date Time Original:",
                    "Image Type:",
                    "Image Count:",
                    "Color Space:",
                    "Camera Make:",
                    "Camera Model:",
                    "Image Number:",
                    "Serial Number:",
                    "Lens:",
                    "ISO:",
                    "Focal Length:",
                    "Focal Length (35mm):",
                    "Exposure Bias:",
                    "Aperture:",
                    "Shutter Speed:",
                    "Flash:",
                    "White Balance:",
                    "Exposure Program:",
                    "Metering Mode:",
                    "Exposure Mode:",
                    "Orientation:",
                    "Photometric Interpr.:",
                    "Software:"});
}

std::string cameraInformationValues(const Value& information) {
  const Value empty;
  const Value* imageValue = information.get("Image Dictionary");
  const Value& image = imageValue != nullptr ? *imageValue : empty;
  auto exif = [&](const char* key) { return field(image, "{Exif}", key); };
  auto tiff = [&](const char* key) { return field(image, "{TIFF}", key); };
  auto aux = [&](const char* key) { return field(image, "{ExifAux}", key); };
  auto counted = [](const Value* value) {
    const std::optional<std::int64_t> n = whole(value);
    return n && *n >= 0 ? std::to_string(*n) : kNone;
  };
  auto withUnit = [](const Value* value, const char* pattern, bool mayBeNegative) {
    const std::optional<double> n = number(value);
    if (!n || (!mayBeNegative && *n < 0)) return kNone;
    return fmt::format(fmt::runtime(pattern), double(float(*n)));
  };

  std::string lens = exif("LensModel") ? asStored(exif("LensModel")) : kNone;
  if (lens == kNone && image.get("{ExifAux}") != nullptr)
    lens = aux("LensModel") ? asStored(aux("LensModel")) : kNone;
  std::string iso = kNone;
  if (const Value* ratings = exif("ISOSpeedRatings");
      ratings && ratings->asArray() && !ratings->asArray()->empty())
    iso = counted(&ratings->asArray()->front());
  std::string focal35 = kNone;
  if (const std::optional<std::int64_t> n = whole(exif("FocalLenIn35mmFilm")); n && *n >= 0)
    focal35 = std::to_string(*n) + "mm";

  return joinLines({text(exif("DateTimeDigitized")),
                    text(exif("DateTimeOriginal")),
                    text(information.get("File Type Extension")),
                    counted(information.get("Image Count")),
                    fromTable(exif("ColorSpace"), kColorSpaces),
                    asStored(tiff("Make")),
                    asStored(tiff("Model")),
                    counted(aux("ImageNumber")),
                    asStored(aux("SerialNumber")),
                    lens,
                    iso,
                    withUnit(exif("FocalLength"), "{:g}mm", false),
                    focal35,
                    withUnit(exif("ExposureBiasValue"), "{:g} ev", true),
                    withUnit(exif("FNumber"), "f/{:g}", false),
                    shutterSpeed(exif("ExposureTime")),
                    fromTable(exif("Flash"), kFlashes),
                    fromTable(exif("WhiteBalance"), kWhiteBalances),
                    fromTable(exif("ExposureProgram"), kExposurePrograms),
                    fromTable(exif("MeteringMode"), kMeteringModes),
                    fromTable(exif("ExposureMode"), kExposureModes),
                    fromTable(image.get("Orientation"), kOrientations),
                    fromTable(tiff("PhotometricInterpretation"), kPhotometrics),
                    asStored(tiff("Software"))});
}

}  // namespace velumar
