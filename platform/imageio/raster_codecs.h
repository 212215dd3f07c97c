#pragma once
// The raster codecs, one per file; codecs_raster.cpp lists them.

#include "platform/imageio/codec.h"

namespace imageio {

Codec jpegCodec();
Codec pngCodec();
Codec tiffCodec();
Codec gifCodec();
Codec bmpCodec();
Codec webpCodec();

}  // namespace imageio
