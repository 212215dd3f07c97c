#pragma once
// The document codecs, one per file; codecs_document.cpp lists them.

#include "platform/imageio/codec.h"

namespace imageio {

Codec heifCodec();
Codec pdfCodec();
Codec epsCodec();
Codec aiCodec();
Codec icnsCodec();
Codec flatPsdCodec();

}  // namespace imageio
