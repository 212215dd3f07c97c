// PDF: pages rendered by poppler (one image per page, 72 dpi by default),
// page boxes and document information as properties; writing image PDFs.

#include <cstring>

#include "platform/foundation/log.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/document_codecs.h"
#include "platform/imageio/document_sizing.h"
#include "platform/imageio/pdf_document.h"

namespace imageio {

namespace {

foundation::Value boxValue(const PdfBox& box) {
  return foundation::Value(foundation::Array{box.x, box.y, box.width, box.height});
}

class PdfDecoder final : public Decoder {
 public:
  PdfDecoder(std::unique_ptr<PdfDocument> document, std::int64_t pixelLimit)
      : document_(std::move(document)), pixelLimit_(pixelLimit) {}

  std::size_t count() const override { return document_->pageCount(); }

  foundation::Value properties(std::size_t index) override {
    auto page = document_->page(index);
    if (!page) return foundation::Value(foundation::Dictionary{});
    const auto [width, height] = pagePixelSize(page->shownWidth(), page->shownHeight(), 0);
    foundation::Dictionary d = basicProperties(width, height, 8, 3, true, nullptr);
    setDpi(d, 72.0, 72.0);
    d.set("{PDF}", foundation::Dictionary{{"MediaBox", boxValue(page->mediaBox)},
                                          {"CropBox", boxValue(page->cropBox)},
                                          {"Rotation", page->rotation}});
    return foundation::Value(std::move(d));
  }

  foundation::Value fileProperties() override {
    return foundation::Value(foundation::Dictionary{{"{PDF}", document_->info()}});
  }

  raster::ImageRef decode(std::size_t index, const DecodeOptions& options) override {
    auto page = document_->page(index);
    if (!page) return nullptr;
    const auto [width, height] = pagePixelSize(page->shownWidth(), page->shownHeight(), options.maxPixelSize);
    return document_->render(index, width, height, pixelLimit_);
  }

 private:
  std::unique_ptr<PdfDocument> document_;
  std::int64_t pixelLimit_;
};

bool sniffPdf(const std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i + 5 <= size; ++i)
    if (std::memcmp(bytes + i, "%PDF-", 5) == 0) return true;
  return false;
}

std::unique_ptr<Decoder> openPdf(const std::string& path, std::int64_t pixelLimit) {
  auto document = PdfDocument::open(path);
  if (!document) return nullptr;
  return std::make_unique<PdfDecoder>(std::move(document), pixelLimit);
}

bool writePdf(const std::string& path, const std::vector<Frame>& frames, const foundation::Value&) {
  return writeImagePdf(path, frames);
}

}  // namespace

Codec pdfCodec() {
  Codec codec;
  codec.type = "com.adobe.pdf";
  codec.extensions = {"pdf"};
  codec.sniff = sniffPdf;
  codec.open = openPdf;
  codec.write = writePdf;
  return codec;
}

}  // namespace imageio
