#pragma once
// The decoder of PostScript-based files (EPS, PS, legacy AI): one image of
// the bounding box, rendered by Ghostscript at the size asked for.

#include <memory>
#include <string>

#include "platform/imageio/codec.h"
#include "platform/imageio/postscript_document.h"

namespace imageio {

class PostScriptDecoder final : public Decoder {
 public:
  PostScriptDecoder(std::string path, PostScriptBox box, std::int64_t pixelLimit);
  std::size_t count() const override { return 1; }
  foundation::Value properties(std::size_t index) override;
  raster::ImageRef decode(std::size_t index, const DecodeOptions& options) override;

 private:
  std::string path_;
  PostScriptBox box_;
  std::int64_t pixelLimit_;
};

// nullptr when no bounding box can be found.
std::unique_ptr<Decoder> openPostScript(const std::string& path, std::int64_t pixelLimit);

}  // namespace imageio
