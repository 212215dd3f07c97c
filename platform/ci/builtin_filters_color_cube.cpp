// CIColorCube (inputCubeDimension N, 2 to 256; inputCubeData N³ entries of
// four 32-bit floats r, g, b, a, red index fastest, then green, then blue).
// Each pixel's straight colour, clamped to 0..1, is looked up by trilinear
// interpolation; the output colour is the cube's, its alpha the input's
// times the cube's. Data of any other length, or a dimension outside
// 2..256, gives no output. The default is the 2³ identity cube.

#include <cmath>
#include <cstring>
#include <memory>

#include "platform/ci/builtin_filters.h"
#include "platform/ci/color_cube.h"
#include "platform/ci/color_kernel.h"

namespace ci {

namespace {

Data identityCube2() {
  std::vector<float> v;
  for (int b = 0; b < 2; ++b)
    for (int g = 0; g < 2; ++g)
      for (int r = 0; r < 2; ++r) v.insert(v.end(), {float(r), float(g), float(b), 1.0f});
  Data bytes(v.size() * sizeof(float));
  std::memcpy(bytes.data(), v.data(), bytes.size());
  return bytes;
}

ImageRef colorCube(const Filter& f) {
  ImageRef in = f.image(kInputImageKey);
  std::shared_ptr<const Data> data = f.valueForKey("inputCubeData").sharedData();
  if (!in || !data) return nullptr;
  auto cube = ColorCube::fromData(f.number("inputCubeDimension", 2), std::move(data));
  if (!cube) return nullptr;
  std::shared_ptr<const ColorCube> shared = std::move(cube);
  return colorkernel::straightColor(in, [shared](const float* p, float* o) {
    shared->lookup(p, o);
    o[3] *= p[3];
  });
}

}  // namespace

std::unique_ptr<ColorCube> ColorCube::fromData(double dimension, std::shared_ptr<const Data> bytes) {
  if (!bytes || !(dimension >= 2 && dimension <= 256) || dimension != std::floor(dimension)) return nullptr;
  const std::size_t n = std::size_t(dimension);
  if (bytes->size() != n * n * n * 4 * sizeof(float)) return nullptr;
  auto cube = std::unique_ptr<ColorCube>(new ColorCube);
  cube->n_ = int(n);
  // Vector storage is aligned for any scalar type. Non-finite entries are
  // caught by the kernel's finite output.
  cube->entries_ = reinterpret_cast<const float*>(bytes->data());
  cube->bytes_ = std::move(bytes);
  return cube;
}

void ColorCube::lookup(const float* rgb, float* out) const {
  const float top = float(n_ - 1);
  int base[3];
  float weight[3];
  for (int c = 0; c < 3; ++c) {
    const float v = rgb[c] >= 0.0f ? (rgb[c] <= 1.0f ? rgb[c] * top : top) : 0.0f;
    const int i = std::min(int(v), n_ - 2);
    base[c] = i;
    weight[c] = v - float(i);
  }
  const std::size_t strideG = std::size_t(n_) * 4, strideB = strideG * std::size_t(n_);
  const float* p =
      entries_ + std::size_t(base[0]) * 4 + std::size_t(base[1]) * strideG + std::size_t(base[2]) * strideB;
  const float wr = weight[0], wg = weight[1], wb = weight[2];
  for (int k = 0; k < 4; ++k) {
    const float c00 = p[k] + (p[4 + k] - p[k]) * wr;
    const float c10 = p[strideG + k] + (p[strideG + 4 + k] - p[strideG + k]) * wr;
    const float c01 = p[strideB + k] + (p[strideB + 4 + k] - p[strideB + k]) * wr;
    const float c11 =
        p[strideB + strideG + k] + (p[strideB + strideG + 4 + k] - p[strideB + strideG + k]) * wr;
    const float c0 = c00 + (c10 - c00) * wg, c1 = c01 + (c11 - c01) * wg;
    out[k] = c0 + (c1 - c0) * wb;
  }
}

void addColorCubeFilters(BuiltinFilterTable& table) {
  table["CIColorCube"] = {{{"inputCubeDimension", 2.0}, {"inputCubeData", identityCube2()}}, colorCube};
}

}  // namespace ci
