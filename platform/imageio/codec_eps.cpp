// EPS and PostScript (read only): one image of the bounding box, rendered
// by Ghostscript.

#include <cstring>

#include "platform/imageio/document_codecs.h"
#include "platform/imageio/postscript_decoder.h"

namespace imageio {

namespace {

bool sniffPostScript(const std::uint8_t* bytes, std::size_t size) {
  if (size >= 4 && bytes[0] == 0xc5 && bytes[1] == 0xd0 && bytes[2] == 0xd3 && bytes[3] == 0xc6) return true;
  return size >= 4 && std::memcmp(bytes, "%!PS", 4) == 0;
}

}  // namespace

Codec epsCodec() {
  Codec codec;
  codec.type = "com.adobe.postscript";
  codec.extensions = {"eps", "epi", "epsf", "epsi", "ps"};
  codec.sniff = sniffPostScript;
  codec.open = openPostScript;
  return codec;
}

}  // namespace imageio
