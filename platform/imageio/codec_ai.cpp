// Illustrator files: PDF-compatible files render their first page through
// poppler; older PostScript-based files go through Ghostscript.

#include <cstring>

#include "platform/foundation/log.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/document_codecs.h"
#include "platform/imageio/document_sizing.h"
#include "platform/imageio/mapped_file.h"
#include "platform/imageio/pdf_document.h"
#include "platform/imageio/postscript_decoder.h"

namespace imageio {

namespace {

// The first page of a PDF-compatible file.
class PdfCompatibleAiDecoder final : public Decoder {
 public:
  PdfCompatibleAiDecoder(std::unique_ptr<PdfDocument> document, PdfPageInfo page, std::int64_t pixelLimit)
      : document_(std::move(document)), page_(page), pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return 1; }

  foundation::Value properties(std::size_t index) override {
    if (index != 0) return foundation::Value(foundation::Dictionary{});
    const auto [width, height] = pagePixelSize(page_.shownWidth(), page_.shownHeight(), 0);
    foundation::Dictionary d = basicProperties(width, height, 8, 3, true, nullptr);
    setDpi(d, 72.0, 72.0);
    return foundation::Value(std::move(d));
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& options) override {
    if (index != 0) return nullptr;
    const auto [width, height] = pagePixelSize(page_.shownWidth(), page_.shownHeight(), options.maxPixelSize);
    return document_->render(0, width, height, pixelLimit_);
  }

 private:
  std::unique_ptr<PdfDocument> document_;
  PdfPageInfo page_;
  std::int64_t pixelLimit_;
};

bool startsWithPdf(const std::string& path) {
  auto file = MappedFile::open(path);
  if (!file) return false;
  const std::size_t window = std::min<std::size_t>(file->size(), 1024);
  for (std::size_t i = 0; i + 5 <= window; ++i)
    if (std::memcmp(file->data() + i, "%PDF-", 5) == 0) return true;
  return false;
}

std::unique_ptr<Decoder> openAi(const std::string& path, std::int64_t pixelLimit) {
  if (startsWithPdf(path)) {
    if (auto document = PdfDocument::open(path)) {
      if (auto page = document->page(0); page && page->shownWidth() > 0 && page->shownHeight() > 0)
        return std::make_unique<PdfCompatibleAiDecoder>(std::move(document), *page, pixelLimit);
    }
    foundation::log("ai: {} is not readable as PDF; trying PostScript", path);
  }
  return openPostScript(path, pixelLimit);
}

}  // namespace

Codec aiCodec() {
  Codec codec;
  codec.type = "com.adobe.illustrator.ai-image";
  codec.extensions = {"ai"};
  // No magic of its own: Illustrator files look like PDF or PostScript.
  codec.open = openAi;
  return codec;
}

}  // namespace imageio
