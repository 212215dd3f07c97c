// The composite, depth and tiny-planet steps on a 24-megapixel photo, from
// the decoded bitmap into an RGBA8 context, against ImageMagick doing the
// same: a 1600 × 1200 image blended in SoftLight at size 1 (enlarged by
// 10/3, centred), the depth band with a background blur of 10 (a blur and
// two masked composites), and the polar projection. Target: a median ratio
// of at most 1.0 each.

#include <cstdio>

#include "filters/cifiltering.h"
#include "imagemagick_compare.h"
#include "platform/ci/image.h"

namespace {

// Depth rising from left to right: the band around 0.5 covers the middle.
ci::ImageRef depthRamp() {
  return ci::Image::generated(raster::Rect(0, 0, double(imbench::kWidth), double(imbench::kHeight)),
                              [](std::int64_t x, std::int64_t, std::int64_t count, float* out) {
                                for (std::int64_t i = 0; i < count; ++i, out += 4) {
                                  const float d = float(x + i) / float(imbench::kWidth);
                                  out[0] = out[1] = out[2] = d, out[3] = 1;
                                }
                              });
}

}  // namespace

int main() {
  std::optional<imbench::Workbench> bench = imbench::prepareWorkbench();
  if (!bench) return 1;
  const auto& [photo, magick, context] = *bench;
  // The composite image and the depth band's mask (s 10, w 0.2, f 0.5: 1
  // from 0.4 to 0.6 of the width, ramps of 0.1) as MPC files beside it.
  const bool prepared =
      enginebench::runQuietly({"/usr/bin/convert", "in.mpc", "-resize", "1600x1200!", "comp.mpc"},
                              magick->folder()) &&
      enginebench::runQuietly(
          {"/usr/bin/convert", "-size", "6000x1", "xc:", "-fx",
           "min(max(10*(i/w-0.3),0),1)*min(max(10*(0.7-i/w),0),1)", "-scale", "6000x4000!", "mask.mpc"},
          magick->folder());
  if (!prepared) {
    std::fprintf(stderr, "ImageMagick could not make the composite and mask files\n");
    return 1;
  }
  velumar::CIFiltering engine;
  const ci::ImageRef composite = ci::Image::withBitmap(
      raster::Image::make(1600, 1200, raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB(),
                          std::vector<std::uint8_t>(std::size_t(1600 * 1200 * 4), 200)));
  const ci::ImageRef depth = depthRamp();
  // One step on the photo, drawn into the context.
  const auto timed = [&](const std::function<void()>& step) {
    return [&, step] {
      return imbench::secondsOf([&] {
        engine.createNewCIContextWithCGContext(context.get(), true);
        engine.setCiImage(ci::Image::withBitmap(photo));
        step();
        engine.drawCIImageWithCGContext(context.get(), false);
        engine.resetCIContext();
        return true;
      });
    };
  };
  double worst = 0;
  const auto note = [&](double ratio) { worst = ratio < 0 ? 1e9 : std::max(worst, ratio); };

  note(imbench::compareAlternating(
      "composite mode 1, SoftLight, 1600 x 1200 at size 1 on 6000 x 4000", timed([&] {
        engine.compositeFilterWithCGContext(context.get(), nullptr, composite, 1.0, 1.0, {50, 50}, 1, 23);
      }),
      [&] {
        return magick->run({"(", "comp.mpc", "-resize", "333.333%", ")", "-gravity", "center", "-compose",
                           "SoftLight", "-composite"});
      }));
  note(imbench::compareAlternating(
      "depth band with a background blur of 10 on 6000 x 4000",
      timed([&] { engine.depthFilterWithCGContext(context.get(), photo, depth, 10, 0.2, 0.5, 1, 10, 0, false); }),
      [&] {
        return magick->run({"in.mpc", "mask.mpc", "-composite", "(", "+clone", "-blur", "0x10", ")", "+swap",
                           "mask.mpc", "-composite"});
      }));
  note(imbench::compareAlternating(
      "tiny planet, plain polar projection of 6000 x 4000", timed([&] {
        engine.setCiImage(engine.tinyPlanetFilterWithCIImage(engine.ciImage(), 1, 1, 0, 0, false));
      }),
      [&] {
        return magick->run({"-flip", "-virtual-pixel", "HorizontalTile", "-interpolate", "bilinear", "-filter",
                           "point", "-distort", "Polar", "2000,0,3000,2000"});
      }));
  std::printf("target   every ratio <= 1.0: %s\n", worst <= 1.0 ? "met" : "missed");
  return worst >= 1e9 ? 1 : 0;
}
