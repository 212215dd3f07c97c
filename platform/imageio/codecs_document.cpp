#include "platform/imageio/codec.h"
#include "platform/imageio/document_codecs.h"

namespace imageio {

// HEIF, PDF, EPS/PS, AI, ICNS, flat PSD.
void addDocumentCodecs(std::vector<Codec>& out) {
  out.push_back(heifCodec());
  out.push_back(pdfCodec());
  out.push_back(epsCodec());
  out.push_back(aiCodec());
  out.push_back(icnsCodec());
  out.push_back(flatPsdCodec());
}

}  // namespace imageio
