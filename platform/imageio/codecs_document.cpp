#include "platform/imageio/codec.h"

namespace imageio {

// HEIF, PDF, EPS/PS, AI, ICNS, flat PSD.
void addDocumentCodecs(std::vector<Codec>& /*out*/) {}

}  // namespace imageio
