#include "output_readers.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "platform/imageio/codec_support.h"

namespace velumar::outputcheck {
namespace {

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// "W H" from a tool's output; false when it does not parse.
bool parseSize(const std::string& text, Pixels& pixels) {
  std::istringstream in(text);
  return bool(in >> pixels.width >> pixels.height) && pixels.width > 0 && pixels.height > 0;
}

// Raw interleaved samples of `bands` bands spread to RGBA.
bool takeRaw(const std::string& rawPath, int bands, Pixels& pixels) {
  const auto bytes = imageio::readFileBytes(rawPath);
  const std::size_t count = std::size_t(pixels.width * pixels.height);
  if (!bytes || bands < 1 || bands > 4 || bytes->size() != count * std::size_t(bands)) return false;
  pixels.rgba.resize(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* in = bytes->data() + i * std::size_t(bands);
    std::uint8_t* out = pixels.rgba.data() + i * 4;
    const bool gray = bands <= 2;
    for (int c = 0; c < 3; ++c) out[c] = in[gray ? 0 : c];
    out[3] = bands == 2 || bands == 4 ? in[bands - 1] : 255;
  }
  return true;
}

}  // namespace

const char* nameOf(Reader reader) {
  switch (reader) {
    case Reader::ImageMagick:
      return "ImageMagick";
    case Reader::GraphicsMagick:
      return "GraphicsMagick";
    case Reader::Vips:
      return "libvips";
    case Reader::ImageMagickToSRGB:
      return "ImageMagick through the profile";
  }
  return "?";
}

std::string sRGBProfilePath() {
  return "/usr/share/color/icc/colord/sRGB.icc";
}

std::array<int, 4> Pixels::at(std::int64_t x, std::int64_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-999, -999, -999, -999};
  const std::uint8_t* p = rgba.data() + std::size_t(y * width + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

int channelDistance(const std::array<int, 4>& a, const std::array<int, 4>& b) {
  int distance = 0;
  for (int c = 0; c < 4; ++c) distance = std::max(distance, std::abs(a[c] - b[c]));
  return distance;
}

bool magick(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {"/usr/bin/convert"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return testsupport::runCommand(argv).exitCode == 0;
}

Pixels readWith(Reader reader, const std::string& path) {
  testsupport::TempDir dir;
  const std::string raw = dir.file("pixels.raw");
  const std::string first = path + "[0]";
  Pixels pixels;
  bool ok = false;
  switch (reader) {
    case Reader::ImageMagick:
    case Reader::ImageMagickToSRGB: {
      std::vector<std::string> argv = {"/usr/bin/convert", first};
      if (reader == Reader::ImageMagickToSRGB)
        argv.insert(argv.end(),
                    {"-intent", "Relative", "-black-point-compensation", "-profile", sRGBProfilePath()});
      argv.insert(argv.end(), {"-depth", "8", "rgba:" + raw});
      ok = parseSize(testsupport::runCommand({"identify", "-format", "%w %h", first}).output, pixels) &&
           testsupport::runCommand(argv).exitCode == 0 && takeRaw(raw, 4, pixels);
      break;
    }
    case Reader::GraphicsMagick:
      ok = parseSize(testsupport::runCommand({"gm", "identify", "-format", "%w %h", first}).output, pixels) &&
           testsupport::runCommand({"gm", "convert", first, "-depth", "8", "rgba:" + raw}).exitCode == 0 &&
           takeRaw(raw, 4, pixels);
      break;
    case Reader::Vips: {
      auto header = [&](const char* field) {
        return trimmed(testsupport::runCommand({"vipsheader", "-f", field, path}).output);
      };
      const std::string format = header("format");
      ok = format.find("UCHAR") != std::string::npos &&
           parseSize(header("width") + " " + header("height"), pixels) &&
           testsupport::runCommand({"vips", "rawsave", path, raw}).exitCode == 0 &&
           takeRaw(raw, std::atoi(header("bands").c_str()), pixels);
      break;
    }
  }
  if (!ok) pixels = Pixels{};
  return pixels;
}

bool convertFile(const std::string& source, const ImageModifyInfo& settings, const std::string& output) {
  ImportedImage engine;
  std::int64_t fileType = 0;
  const auto image = engine.resizePixelSizeForURL(source, settings, &fileType, nullptr);
  if (!image) return false;
  ImageModifyInfo info = settings;
  info.originalFileType = fileType;
  ImportedImage::verifyKeepOriginalFileTypeForImageInfo(info, std::nullopt, fileType);
  if (info.conversionType == ConversionType::GIF && fileType == FileType::GIF &&
      image->representations().size() > 1) {
    std::optional<foundation::Array> records;
    if (info.preserveMetadata && engine.imageMetadataArray)
      records = foundation::Array{foundation::Value(*engine.imageMetadataArray)};
    return engine.saveAGifVersionFromImage(*image, output, true, records);
  }
  if (info.conversionType == ConversionType::TIFF2x) {
    const auto& reps = image->representations();
    const std::size_t index =
        std::size_t(engine.indexMaxPixels) < reps.size() ? std::size_t(engine.indexMaxPixels) : 0;
    return engine.saveImageReps2xTIFFFromBitmapRep(reps[index], std::int64_t(index), output, info);
  }
  return engine.saveImage(*image, info.conversionType, output, fileType, info.jpegCompressionFactor,
                          info.doTiffCompression, info.preserveMetadata, true, false, false);
}

}  // namespace velumar::outputcheck
