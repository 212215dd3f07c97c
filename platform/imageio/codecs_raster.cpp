#include "platform/imageio/codec.h"

namespace imageio {

// JPEG, PNG, TIFF, GIF, BMP, WebP.
void addRasterCodecs(std::vector<Codec>& /*out*/) {}

}  // namespace imageio
