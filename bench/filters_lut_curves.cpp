// A user lookup table (33³, intensity 0.8) and then a master and a red
// tone curve on a 24-megapixel photo, from the decoded bitmap into an RGBA8
// context, against ImageMagick applying a HaLD table and a curve (-clut;
// it has no intensity mix). The target is a median ratio of at most 0.5.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "filters/cifiltering.h"
#include "imagemagick_compare.h"
#include "platform/ci/centripetal_curve.h"
#include "platform/ci/image.h"

namespace {

constexpr int kLutSize = 33;

ci::FilterRef userLookupTable() {
  std::vector<float> cube;
  for (int b = 0; b < kLutSize; ++b)
    for (int g = 0; g < kLutSize; ++g)
      for (int r = 0; r < kLutSize; ++r) {
        const double x = r / double(kLutSize - 1), y = g / double(kLutSize - 1), z = b / double(kLutSize - 1);
        cube.insert(cube.end(),
                    {float(std::pow(x, 0.9)), float(0.05 + 0.9 * y), float(z * z * 0.8 + 0.1 * x), 1.0f});
      }
  ci::Data bytes(cube.size() * sizeof(float));
  std::memcpy(bytes.data(), cube.data(), bytes.size());
  ci::FilterRef f = ci::Filter::withName("CIColorCube");
  f->setValue("inputCubeDimension", double(kLutSize));
  f->setValue("inputCubeData", std::move(bytes));
  return f;
}

ci::FilterRef curve(const char* name, const ci::ToneCurvePoints& points) {
  ci::FilterRef f = ci::Filter::withName(name);
  for (std::size_t i = 0; i < 5; ++i)
    f->setValue(ci::kToneCurvePointKeys[i], ci::Vector{points[i].x, points[i].y});
  return f;
}

}  // namespace

int main() {
  const raster::ImageRef photo = imbench::benchmarkPhoto();
  if (!photo) {
    std::fprintf(stderr, "no wallpaper photo could be fetched\n");
    return 1;
  }
  const imbench::ImageMagickBench magick(photo);
  const std::string folder = magick.folder().string();
  if (!magick.ready() ||
      !enginebench::runQuietly({"/usr/bin/convert", "hald:6", "-gamma", "1.1", "hald.png"}, folder) ||
      !enginebench::runQuietly({"/usr/bin/convert", "-size", "1x4096", "gradient:", "-rotate", "90",
                                "-sigmoidal-contrast", "3x50%", "curve.png"},
                               folder)) {
    std::fprintf(stderr, "ImageMagick could not prepare its inputs\n");
    return 1;
  }
  auto context = raster::BitmapContext::create(photo->width(), photo->height(), raster::PixelFormat::rgba8(),
                                               raster::ColorSpace::sRGB());
  context->setBlendMode(raster::BlendMode::Copy);
  velumar::CIFiltering engine;
  const ci::FilterRef lut = userLookupTable();
  const ci::FilterRef master =
      curve("ToneCurveFilter", {{{0, 0}, {0.25, 0.2}, {0.5, 0.55}, {0.75, 0.8}, {1, 1}}});
  const ci::FilterRef red =
      curve("ToneCurveChannelRed", {{{0, 0.05}, {0.25, 0.3}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}}});
  const auto ours = [&] {
    return imbench::secondsOf([&] {
      engine.createNewCIContextWithCGContext(context.get(), true);
      engine.setCiImage(ci::Image::withBitmap(photo));
      engine.LUTFilterWithCGContext(context.get(), lut, 0.8);
      engine.toneCurveFilterWithCGContext(context.get(), master, red, nullptr, nullptr);
      engine.drawCIImageWithCGContext(context.get(), false);
      engine.resetCIContext();
      return true;
    });
  };
  const double ratio =
      imbench::compareAlternating("33^3 LUT at 0.8, master and red curve on 6000 x 4000", ours, [&] {
        return magick.run({"hald.png", "-hald-clut", "curve.png", "-clut"});
      });
  std::printf("target   ratio <= 0.5: %s\n", ratio >= 0 && ratio <= 0.5 ? "met" : "missed");
  return ratio < 0 ? 1 : 0;
}
