#include "platform/imageio/codec.h"
#include "platform/imageio/raster_codecs.h"

namespace imageio {

// JPEG, PNG, TIFF, GIF, BMP, WebP.
void addRasterCodecs(std::vector<Codec>& out) {
  out.push_back(jpegCodec());
  out.push_back(pngCodec());
  out.push_back(tiffCodec());
  out.push_back(gifCodec());
  out.push_back(bmpCodec());
  out.push_back(webpCodec());
}

}  // namespace imageio
