#include "tools/resource_images/resource_images.h"

#include <filesystem>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/imageio/image_destination.h"
#include "tools/resource_images/pictures.h"
#include "tools/resource_images/scenes.h"

namespace resourceimages {
namespace {

namespace fs = std::filesystem;

constexpr int kExampleSize = 512;
constexpr int kExampleSmallSize = 64;
constexpr int kBubblesWidth = 480, kBubblesHeight = 320;
constexpr int kStatusSizes[] = {16, 22, 32, 48};
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256, 512};
constexpr int kScalableIconSize = 512;

std::string statusName(bool forDarkPanel) {
  return forDarkPanel ? "MenuBarAlt" : "MenuBar";
}
std::string iconPath(int size) {
  return "icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/velumar.png";
}
const std::string kScalableIconPath = "icons/hicolor/scalable/apps/velumar.svg";

bool writeImage(const fs::path& path, const raster::ImageRef& image, const std::string& type,
                foundation::Value properties = foundation::Dictionary{}) {
  auto destination = image ? imageio::ImageDestination::create(path.string(), type, 1) : nullptr;
  if (!destination) return false;
  destination->addImage(image, std::move(properties));
  return destination->finalize();
}

bool writeText(const fs::path& path, const std::string& text) {
  return foundation::writeFileAtomically(path.string(), foundation::Data(text.begin(), text.end()));
}

raster::ImageRef renderPicture(const Picture& picture, int size) {
  auto context =
      raster::BitmapContext::create(size, size, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!context) return nullptr;
  drawPicture(*context, picture);
  return context->makeImage();
}

}  // namespace

const std::vector<ResourceImage>& resourceImages() {
  static const std::vector<ResourceImage> images = [] {
    std::vector<ResourceImage> list{{"example.png", kExampleSize, kExampleSize, false},
                                    {"exampleSmall.jpg", kExampleSmallSize, kExampleSmallSize, false},
                                    {"bubbles.png", kBubblesWidth, kBubblesHeight, true}};
    for (bool dark : {false, true}) {
      list.push_back({statusName(dark) + ".svg", kStatusSizes[0], kStatusSizes[0], true});
      for (int size : kStatusSizes)
        list.push_back({statusName(dark) + "-" + std::to_string(size) + ".png", size, size, true});
    }
    list.push_back({kScalableIconPath, kScalableIconSize, kScalableIconSize, true});
    for (int size : kIconSizes) list.push_back({iconPath(size), size, size, true});
    return list;
  }();
  return images;
}

bool writeResourceImages(const std::string& folder) {
  const fs::path root(folder);
  std::error_code error;
  fs::create_directories(root / "icons/hicolor/scalable/apps", error);
  for (int size : kIconSizes) fs::create_directories(root / fs::path(iconPath(size)).parent_path(), error);

  const auto scene = exampleScene(kExampleSize);
  bool ok = writeImage(root / "example.png", scene, "public.png");
  ok &= writeImage(root / "exampleSmall.jpg", scaledScene(scene, kExampleSmallSize), "public.jpeg",
                   foundation::Dictionary{{"LossyCompressionQuality", 0.9}});
  ok &= writeImage(root / "bubbles.png", bubbles(kBubblesWidth, kBubblesHeight), "public.png");
  for (bool dark : {false, true}) {
    const Picture glyph = statusGlyph(dark);
    ok &= writeText(root / (statusName(dark) + ".svg"), svgDocument(glyph, kStatusSizes[0]));
    for (int size : kStatusSizes)
      ok &= writeImage(root / (statusName(dark) + "-" + std::to_string(size) + ".png"),
                       renderPicture(glyph, size), "public.png");
  }
  const Picture icon = applicationIcon();
  ok &= writeText(root / kScalableIconPath, svgDocument(icon, kScalableIconSize));
  for (int size : kIconSizes)
    ok &= writeImage(root / iconPath(size), renderPicture(icon, size), "public.png");
  if (!ok) foundation::log("resource images: could not write every image into {}", folder);
  return ok;
}

}  // namespace resourceimages
