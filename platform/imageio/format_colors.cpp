#include "platform/imageio/format_colors.h"

#include "platform/foundation/log.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/color_conversion.h"

namespace imageio {
namespace {

int redrawBits(const raster::PixelFormat& format) {
  return format.bitsPerComponent > 8 ? 16 : 8;
}

raster::ImageRef redraw(const raster::ImageRef& image, raster::PixelFormat format,
                        raster::ColorSpaceRef space, bool overWhite) {
  auto context = raster::BitmapContext::create(image->width(), image->height(), format, std::move(space));
  if (!context) {
    foundation::log("imageio: cannot redraw a {} x {} frame for its format", image->width(), image->height());
    return nullptr;
  }
  const raster::Rect whole(0, 0, double(image->width()), double(image->height()));
  if (overWhite) {
    // White is full colour in gray and RGB, no ink in CMYK.
    const int colors = context->colorSpace()->components();
    const double white = context->colorSpace()->model() == raster::ColorModel::CMYK ? 0.0 : 1.0;
    double fill[5] = {white, white, white, white, white};
    fill[colors] = 1.0;  // opaque
    context->setFillColor(fill, colors + 1);
    context->fillRect(whole);
  } else {
    context->setBlendMode(raster::BlendMode::Copy);
  }
  context->drawImage(image, whole);
  return context->makeImage();
}

bool isIn(const raster::ImageRef& image, const raster::ColorSpaceRef& space) {
  return raster::ColorConversion::isIdentity(image->colorSpace().get(), space.get());
}

}  // namespace

raster::ImageRef imageForFormat(const raster::ImageRef& image, FormatColors colors) {
  if (!image || !image->colorSpace()) return image;
  const raster::ColorModel model = image->colorSpace()->model();
  const bool keepsGray =
      colors == FormatColors::ProfiledGrayOrRGB || isIn(image, raster::ColorSpace::untaggedGray());
  const bool keepsRGB = colors != FormatColors::UntaggedGrayOrRGB || isIn(image, raster::ColorSpace::sRGB());
  const bool keep =
      model == raster::ColorModel::Gray ? keepsGray : model == raster::ColorModel::RGB && keepsRGB;
  if (keep) return image;
  const bool alpha = image->format().hasAlpha();
  const raster::PixelFormat format{
      redrawBits(image->format()), 3,
      alpha ? raster::AlphaInfo::PremultipliedLast : raster::AlphaInfo::NoneSkipLast};
  return redraw(image, format, raster::ColorSpace::sRGB(), false);
}

raster::ImageRef flattenedOnWhite(const raster::ImageRef& image) {
  if (!image || !image->format().hasAlpha() || !image->colorSpace()) return image;
  const int colors = image->colorSpace()->components();
  const raster::PixelFormat format{redrawBits(image->format()), colors,
                                   colors == 3 ? raster::AlphaInfo::NoneSkipLast : raster::AlphaInfo::None};
  return redraw(image, format, image->colorSpace(), true);
}

}  // namespace imageio
