// Face crops beside the output: the crops the face step collected, as PNG
// files in a "Faces_<name>" folder of their own.

#include <filesystem>
#include <system_error>

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "filters/cifiltering.h"
#include "platform/foundation/log.h"

namespace velumar {

void ImportedImage::saveCropFaceRepsToFile(const std::string& path) {
  std::vector<raster::BitmapImageRepRef>& crops = ciPhotoFilters->cropFacesArray;
  if (crops.empty()) return;
  const std::filesystem::path output(path);
  const std::string folder =
      verifyIOSPathName((output.parent_path() / ("Faces_" + output.stem().string())).string());
  std::error_code error;
  if (!std::filesystem::create_directory(folder, error) || error) {
    // Kept, they would be saved later beside another image's output.
    foundation::log("face crops: cannot create {}: {}; {} crops dropped", folder, error.message(),
                    crops.size());
    crops.clear();
    return;
  }
  for (std::size_t i = 0; i < crops.size(); ++i)
    writers::writePlainPNG(crops[i], folder + "/face_" + std::to_string(i) + ".png");
  crops.clear();
}

}  // namespace velumar
