#pragma once
// Pictures, metadata records and read-back helpers for the output writer
// tests.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/imported_image.h"
#include "engine_test_images.h"
#include "platform/foundation/value.h"
#include "platform/imageio/image_source.h"
#include "support/test_support.h"

namespace velumar::writers_test {

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;

using testimages::pixelAt;
using testimages::quadrantRep;

inline raster::ImageSet imageOf(std::vector<BitmapRepRef> reps) {
  raster::ImageSet image;
  for (auto& rep : reps) image.addRepresentation(rep);
  if (!image.isEmpty()) image.setSize(image.representations().front()->size());
  return image;
}

inline void expectNear(std::array<int, 4> actual, std::array<int, 4> expected, int tolerance,
                       const std::string& what) {
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " component " << i;
}

// The output of an outside tool, trimmed; empty when it cannot run.
inline std::string tool(const std::vector<std::string>& argv) {
  auto result = testsupport::runCommand(argv);
  std::string out = result.exitCode == 0 ? result.output : std::string();
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// exiftool's numeric value of one tag ("" when absent).
inline std::string exifTag(const std::string& path, const std::string& tag) {
  return tool({"exiftool", "-s3", "-n", "-" + tag, path});
}

// A camera-like JPEG made by Debian tools: EXIF date, GPS position and
// orientation 6 (rotated); its per-image and file records as the metadata
// service keeps them. Empty when the tools are missing.
struct SourceMetadata {
  Value imageRecord;
  Value fileRecord;
};

// Made once per test program; the records outlive the file.
inline SourceMetadata cameraMetadata() {
  static const SourceMetadata made = [] {
    testsupport::TempDir dir;
    const std::string source = dir.file("camera-source.jpg");
    if (testsupport::runCommand({"/usr/bin/convert", "-size", "64x48", "xc:gray", source}).exitCode != 0)
      return SourceMetadata{};
    tool({"exiftool", "-q", "-overwrite_original", "-DateTimeOriginal=2019:07:04 18:30:00",
          "-GPSLatitude=48.8584", "-GPSLatitudeRef=N", "-GPSLongitude=2.2945", "-GPSLongitudeRef=E",
          "-Orientation#=6", "-Artist=Velumar Tests", source});
    auto opened = imageio::ImageSource::open(source);
    if (!opened) return SourceMetadata{};
    return SourceMetadata{opened->properties(0), opened->fileProperties()};
  }();
  return made;
}

inline foundation::Array metadataArray(const SourceMetadata& metadata, std::size_t representations) {
  foundation::Array array;
  array.reserve(representations + 1);
  for (std::size_t i = 0; i < representations; ++i) array.push_back(metadata.imageRecord);
  array.push_back(metadata.fileRecord);
  return array;
}

inline std::size_t filesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    count += entry.is_regular_file() ? 1 : 0;
  return count;
}

}  // namespace velumar::writers_test
