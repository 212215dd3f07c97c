// A user lookup table (33³, intensity 0.8) and then a master and a red
// tone curve on a 24-megapixel photo, from the decoded bitmap into an RGBA8
// context, against ImageMagick applying a HaLD table and a curve (-clut;
// it has no intensity mix). The target is a median ratio of at most 0.5.

#include <cstdio>

#include "bench_filter_inputs.h"
#include "filters/cifiltering.h"
#include "platform/ci/image.h"

int main() {
  const raster::ImageRef photo = imbench::benchmarkPhoto();
  if (!photo) return 1;
  const imbench::ImageMagickBench magick(photo);
  if (!imbench::prepareLookupInputs(magick)) return 1;
  auto context = raster::BitmapContext::create(photo->width(), photo->height(), raster::PixelFormat::rgba8(),
                                               raster::ColorSpace::sRGB());
  context->setBlendMode(raster::BlendMode::Copy);
  velumar::CIFiltering engine;
  const ci::FilterRef lut = imbench::userLookupTable();
  const ci::FilterRef master =
      imbench::curve("ToneCurveFilter", {{{0, 0}, {0.25, 0.2}, {0.5, 0.55}, {0.75, 0.8}, {1, 1}}});
  const ci::FilterRef red =
      imbench::curve("ToneCurveChannelRed", {{{0, 0.05}, {0.25, 0.3}, {0.5, 0.5}, {0.75, 0.75}, {1, 1}}});
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
