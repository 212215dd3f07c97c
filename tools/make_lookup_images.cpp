// Writes the catalogue's lookup images into the folder given: 512 × 512
// PNGs of 8 × 8 tiles of 64 × 64 pixels. Tile t (left to right, then top
// to bottom) holds blue t/63; inside it the column is red and the row from
// the top is green, each index/63; every pixel holds the grade's colour.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "lookup_grades.h"
#include "platform/imageio/image_destination.h"
#include "platform/raster/image.h"

namespace {

constexpr int kDimension = 64, kTilesAcross = 8;

raster::ImageRef lookupImage(const lookuptool::Grade& grade) {
  const int side = kDimension * kTilesAcross;
  std::vector<std::uint8_t> bytes(std::size_t(side) * side * 4);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int tile = (y / kDimension) * kTilesAcross + x / kDimension;
      const std::array<double, 3> in = {double(x % kDimension) / (kDimension - 1),
                                        double(y % kDimension) / (kDimension - 1),
                                        double(tile) / (kDimension - 1)};
      const std::array<double, 3> out = lookuptool::applyGrade(grade, in);
      std::uint8_t* p = bytes.data() + (std::size_t(y) * side + std::size_t(x)) * 4;
      for (int c = 0; c < 3; ++c) p[c] = std::uint8_t(std::lround(out[std::size_t(c)] * 255.0));
      p[3] = 255;
    }
  return raster::Image::make(side, side, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                             std::move(bytes));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_lookup_images <folder>\n");
    return 2;
  }
  std::error_code error;
  std::filesystem::create_directories(argv[1], error);
  for (const lookuptool::Grade& grade : lookuptool::lookupGrades()) {
    const std::string path = (std::filesystem::path(argv[1]) / grade.name).string();
    auto destination = imageio::ImageDestination::create(path, "public.png", 1);
    if (!destination) return 1;
    destination->addImage(lookupImage(grade), foundation::Value());
    if (!destination->finalize()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
