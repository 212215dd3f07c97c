#include "driver_test_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine_test_images.h"
#include "platform/imageio/image_destination.h"

namespace velumar::drivertest {

std::string writeImages(const testsupport::TempDir& dir, const std::string& name, const std::string& type,
                        const std::vector<raster::ImageRef>& images) {
  const std::string path = dir.file(name);
  auto destination = imageio::ImageDestination::create(path, type, images.size());
  if (!destination) return "";
  for (const raster::ImageRef& image : images) {
    foundation::Dictionary properties;
    if (type == "com.compuserve.gif") {
      foundation::Dictionary gif;
      gif.set("DelayTime", foundation::Value(0.2));
      properties.set("{GIF}", foundation::Value(std::move(gif)));
    }
    destination->addImage(image, foundation::Value(std::move(properties)));
  }
  return destination->finalize() ? path : "";
}

raster::ImageRef quadrantImage(std::int64_t width, std::int64_t height, raster::PixelFormat format) {
  BitmapRepRef rep = testimages::quadrantRep(width, height, format);
  return rep ? rep->image() : nullptr;
}

std::string truncatedCopy(const testsupport::TempDir& dir, const std::string& source, const std::string& name,
                          double fraction) {
  std::ifstream in(source, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) return "";
  const std::string path = dir.file(name);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(double(bytes.size()) * fraction));
  return out ? path : "";
}

std::string layeredPSDWithSmallLayers(const testsupport::TempDir& dir, int width, int height) {
  if (!std::filesystem::exists("/usr/bin/convert")) return "";
  const std::string path = dir.file("small_layers.psd");
  const std::string canvas = std::to_string(width) + "x" + std::to_string(height);
  std::vector<std::string> argv{"/usr/bin/convert", "-size", canvas};
  std::istringstream words(
      "xc:#fedcba ( -size 8x6 xc:#ff0000 -set label Red -repage +2+2 ) "
      "( -size 4x4 xc:#00ff00 -set label Green -repage +10+6 ) -depth 8 -type TrueColorAlpha");
  for (std::string word; words >> word;) argv.push_back(word);
  argv.push_back(path);
  auto result = testsupport::runCommand(argv);
  return result.exitCode == 0 ? path : "";
}

std::string singleLayerPSD(const testsupport::TempDir& dir) {
  if (!std::filesystem::exists("/usr/bin/convert")) return "";
  const std::string path = dir.file("one_layer.psd");
  auto result = testsupport::runCommand({"/usr/bin/convert", "-size", "12x10", "xc:#fedcba", "(", "-size",
                                         "12x10", "xc:#3366aa", "-set", "label", "Only", ")", "-depth", "8",
                                         "-type", "TrueColorAlpha", path});
  return result.exitCode == 0 ? path : "";
}

}  // namespace velumar::drivertest
