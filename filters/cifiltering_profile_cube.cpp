// The output-profile cube: generic RGB seen through the chosen profile,
// sampled once per profile into a colour cube that the preview applies.

#include <cstring>

#include "filters/cifiltering.h"
#include "platform/color/soft_proof.h"

namespace velumar {

namespace {

constexpr std::int64_t kProfileGridPoints = 32;

}  // namespace

void CIFiltering::setProfile(color::ProfileRef profile) {
  currentProfile_ = std::move(profile);
  if (!currentProfile_) {
    currentColorSpaceFilter_ = nullptr;
    return;
  }
  if (!currentColorSpaceFilter_) currentColorSpaceFilter_ = ci::Filter::withName("CIColorCube");
  if (currentColorSpaceFilter_ && setColorCubeFilterDataForGridPoints(kProfileGridPoints)) {
    currentColorSpaceFilter_->setValue("inputCubeDimension", double(kProfileGridPoints));
  } else {
    currentProfile_ = nullptr;
  }
}

bool CIFiltering::setColorCubeFilterDataForGridPoints(std::int64_t gridPoints) {
  if (!currentProfile_ || gridPoints < 2 || gridPoints > 256) return false;
  const std::size_t n = std::size_t(gridPoints), entries = n * n * n;
  // Grid points in cube order: red fastest, then green, then blue.
  std::vector<std::uint16_t> grid;
  grid.reserve(entries * 3);
  for (std::size_t b = 0; b < n; ++b)
    for (std::size_t g = 0; g < n; ++g)
      for (std::size_t r = 0; r < n; ++r)
        for (std::size_t v : {r, g, b}) grid.push_back(std::uint16_t((v * 65535 + (n - 1) / 2) / (n - 1)));
  const std::optional<std::vector<std::uint16_t>> proofed =
      color::softProofGenericRGB(*currentProfile_, grid);
  if (!proofed) return false;
  std::vector<float> cube(entries * 4);
  double sum = 0;
  for (std::size_t i = 0; i < entries; ++i) {
    for (std::size_t c = 0; c < 3; ++c) {
      const float v = std::min(1.0f, float((*proofed)[i * 3 + c]) / 65535.0f);
      cube[i * 4 + c] = v;
      sum += double(v);
    }
    cube[i * 4 + 3] = 1.0f;
  }
  if (sum == 0 || !currentColorSpaceFilter_) {
    currentColorSpaceFilter_ = nullptr;
    return false;
  }
  ci::Data bytes(cube.size() * sizeof(float));
  std::memcpy(bytes.data(), cube.data(), bytes.size());
  currentColorSpaceFilter_->setValue("inputCubeData", std::move(bytes));
  return true;
}

void CIFiltering::colorSpaceFilterWithCGContext(raster::BitmapContext* context) {
  if (!ciContext() || !currentProfile_ || !currentColorSpaceFilter_) return;
  ci::ImageRef input = chainInput(context);
  if (!input) return;
  currentColorSpaceFilter_->setValue(ci::kInputImageKey, input);
  setCiImage(currentColorSpaceFilter_->outputImage());
}

}  // namespace velumar
