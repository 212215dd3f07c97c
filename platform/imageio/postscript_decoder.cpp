#include "platform/imageio/postscript_decoder.h"

#include "platform/foundation/files.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/document_sizing.h"

namespace imageio {

PostScriptDecoder::PostScriptDecoder(std::string path, PostScriptBox box, std::int64_t pixelLimit)
    : path_(std::move(path)), box_(box), pixelLimit_(pixelLimit) {}

foundation::Value PostScriptDecoder::properties(std::size_t index) {
  if (index != 0) return foundation::Value(foundation::Dictionary{});
  const auto [width, height] = pagePixelSize(box_.width(), box_.height(), 0);
  foundation::Dictionary d = basicProperties(width, height, 8, 3, true, nullptr);
  setDpi(d, 72.0, 72.0);
  d.set("{PostScript}",
        foundation::Dictionary{{"BoundingBox", foundation::Array{box_.x0, box_.y0, box_.x1, box_.y1}}});
  return foundation::Value(std::move(d));
}

raster::ImageRef PostScriptDecoder::decode(std::size_t index, const DecodeOptions& options) {
  if (index != 0) return nullptr;
  const auto [width, height] = pagePixelSize(box_.width(), box_.height(), options.maxPixelSize);
  return renderPostScript(path_, box_, width, height, pixelLimit_);
}

std::unique_ptr<Decoder> openPostScript(const std::string& path, std::int64_t pixelLimit) {
  // Ghostscript is never given what is not a regular file (a FIFO would
  // hold it until its time runs out).
  if (!foundation::isReadableRegularFile(path)) return nullptr;
  auto box = postScriptBoundingBox(path);
  if (!box) return nullptr;
  return std::make_unique<PostScriptDecoder>(path, *box, pixelLimit);
}

}  // namespace imageio
