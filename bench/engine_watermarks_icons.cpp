// Watermarks and icon sets on a 24-megapixel photo against ImageMagick:
// a picture and a text watermark drawn into the output, and the iOS icon
// set (20 PNG files scaled from one 1024-pixel master). The target is a
// median ratio of at most 1.0 for each.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/icon_set_files.h"
#include "engine/imported_image.h"
#include "imagemagick_compare.h"
#include "platform/imageio/image_destination.h"

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kMarkWidth = 400, kMarkHeight = 200;
constexpr const char* kText = "Velumar 2026";

// A half-transparent picture with a colour ramp.
raster::ImageRef watermarkPicture() {
  auto context = raster::BitmapContext::create(kMarkWidth, kMarkHeight,
                                               raster::PixelFormat{8, 3, raster::AlphaInfo::Last},
                                               raster::ColorSpace::sRGB());
  std::uint8_t* row = context->mutableData();
  for (std::int64_t y = 0; y < kMarkHeight; ++y, row += context->bytesPerRow())
    for (std::int64_t x = 0; x < kMarkWidth; ++x) {
      row[x * 4 + 0] = std::uint8_t(x * 255 / kMarkWidth);
      row[x * 4 + 1] = std::uint8_t(y * 255 / kMarkHeight);
      row[x * 4 + 2] = 200;
      row[x * 4 + 3] = 160;
    }
  return context->makeImage();
}

bool writePNG(const raster::ImageRef& image, const std::string& path) {
  auto destination = imageio::ImageDestination::create(path, "public.png", 1);
  if (!destination) return false;
  destination->addImage(image, foundation::Value(foundation::Dictionary{}));
  return destination->finalize();
}

// The 20 iOS sizes written by ImageMagick from one 1024 master.
std::vector<std::string> iconSetOperations(const fs::path& folder) {
  std::vector<std::string> operations = {"-resize", "1024x1024", "-background", "none",   "-gravity",
                                         "center",  "-extent",   "1024x1024",   "-write", "mpr:master"};
  for (const auto& [name, pixels] : velumar::kIOSFiles) {
    const std::string size = std::to_string(pixels) + "x" + std::to_string(pixels);
    operations.insert(operations.end(), {"(", "mpr:master", "-resize", size, "-write",
                                         (folder / name).string(), "+delete", ")"});
  }
  return operations;
}

}  // namespace

int main() {
  const raster::ImageRef photo = imbench::benchmarkPhoto();
  if (!photo) return 1;
  const imbench::ImageMagickBench magick(photo);
  if (!magick.ready()) {
    std::fprintf(stderr, "ImageMagick could not make the MPC file\n");
    return 1;
  }

  // Watermarks: the picture at its own size on the 1600 × 1200 reference,
  // the text at 144 points, both centred.
  velumar::ImportedImage engine;
  const raster::ImageRef picture = watermarkPicture();
  engine.watermarkImage = std::make_shared<raster::ImageSet>(
      raster::ImageSet::withRepresentation(raster::BitmapImageRep::withImage(picture)));
  engine.textFont = velumar::TextFont{"DejaVu Sans", false, false, 144};
  engine.textAttributes = velumar::textAttributesWithFont(engine.textFont);
  engine.watermarkDrawString = kText;
  velumar::ImageModifyInfo info;
  info.addWatermarkImage = info.addWatermarkText = true;
  info.imageOrigin = info.textOrigin = {50, 50};
  const double f = std::min(double(imbench::kWidth) / 1600, double(imbench::kHeight) / 1200);
  const std::int64_t markWidth = std::int64_t(kMarkWidth * f), markHeight = std::int64_t(kMarkHeight * f);
  const raster::BitmapImageRepRef output = raster::BitmapImageRep::withImage(photo);
  if (!writePNG(picture, (magick.folder() / "wm.png").string())) return 1;

  const auto oursMarks = [&] {
    return imbench::secondsOf([&] {
      auto context = output->makeContext();
      engine.drawTextAndImageWithContext(context.get(), info);
      return context->makeImage() != nullptr;
    });
  };
  const std::string geometry = std::to_string(markWidth) + "x" + std::to_string(markHeight) + "+0+0";
  const std::vector<std::string> markOperations = {
      "-gravity",   "center", "wm.png",      "-geometry",  geometry,
      "-composite", "-font",  "DejaVu-Sans", "-pointsize", std::to_string(144 * f),
      "-annotate",  "+0+0",   kText};
  const double marks = imbench::compareAlternating("picture and text watermark on 6000 x 4000", oursMarks,
                                                   [&] { return magick.run(markOperations); });

  // The iOS icon set.
  const fs::path ours = magick.folder() / "ours", theirs = magick.folder() / "theirs";
  fs::create_directories(ours);
  fs::create_directories(theirs);
  const auto oursIcons = [&] {
    return imbench::secondsOf([&] {
      return engine.saveIOSIconsetFromImageRep(output, (ours / "photo.png").string(), true, false, false);
    });
  };
  const std::vector<std::string> iconOperations = iconSetOperations(theirs);
  const double icons = imbench::compareAlternating("iOS icon set from 6000 x 4000", oursIcons,
                                                   [&] { return magick.run(iconOperations); });

  std::printf("target   watermarks ratio <= 1.0: %s\n", marks >= 0 && marks <= 1.0 ? "met" : "missed");
  std::printf("target   icon set ratio <= 1.0: %s\n", icons >= 0 && icons <= 1.0 ? "met" : "missed");
  return marks < 0 || icons < 0 ? 1 : 0;
}
