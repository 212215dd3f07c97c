#include "platform/imageio/pdf_document.h"

#include <cairo.h>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <poppler.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/pixel_convert.h"

namespace imageio {

namespace {

std::mutex& popplerMutex() {
  static std::mutex mutex;
  return mutex;
}

void popplerMessage(const std::string& message, void*) {
  foundation::log("poppler: {}", message);
}

void routePopplerMessages() {
  static std::once_flag once;
  std::call_once(once, [] { poppler::set_debug_error_function(popplerMessage, nullptr); });
}

std::string utf8(const poppler::ustring& text) {
  const poppler::byte_array bytes = text.to_utf8();
  std::string s(bytes.begin(), bytes.end());
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

PdfBox boxOf(const poppler::rectf& r) {
  return PdfBox{r.x(), r.y(), r.width(), r.height()};
}

int degreesOf(poppler::page::orientation_enum orientation) {
  switch (orientation) {
    case poppler::page::landscape:
      return 90;
    case poppler::page::upside_down:
      return 180;
    case poppler::page::seascape:
      return 270;
    default:
      return 0;
  }
}

}  // namespace

// Boxes and document information come from poppler's C++ interface;
// pages are drawn through its cairo backend, which leaves the paper
// transparent.
struct PdfDocument::Impl {
  std::string path;
  std::unique_ptr<poppler::document> document;
  mutable std::mutex renderMutex;
  mutable PopplerDocument* drawing = nullptr;  // opened on first render
  ~Impl() {
    if (drawing != nullptr) g_object_unref(drawing);
  }
  PopplerDocument* drawingDocument() const {
    if (drawing != nullptr) return drawing;
    GError* error = nullptr;
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
    if (uri != nullptr) {
      drawing = poppler_document_new_from_file(uri, nullptr, &error);
      g_free(uri);
    }
    if (error != nullptr) {
      foundation::log("pdf: cannot open {} for drawing: {}", path, error->message);
      g_error_free(error);
    }
    return drawing;
  }
};

PdfDocument::~PdfDocument() = default;

std::unique_ptr<PdfDocument> PdfDocument::open(const std::string& path) {
  if (!foundation::isReadableRegularFile(path)) return nullptr;
  routePopplerMessages();
  std::unique_ptr<poppler::document> document;
  {
    std::lock_guard lock(popplerMutex());
    document.reset(poppler::document::load_from_file(path));
  }
  if (!document) {
    foundation::log("pdf: cannot open {}", path);
    return nullptr;
  }
  if (document->is_locked()) {
    foundation::log("pdf: {} is password protected", path);
    return nullptr;
  }
  if (document->pages() < 1) {
    foundation::log("pdf: {} has no pages", path);
    return nullptr;
  }
  std::unique_ptr<PdfDocument> result(new PdfDocument());
  result->impl_ = std::make_unique<Impl>();
  result->impl_->document = std::move(document);
  // The drawing side opens the file by URI, which must be absolute.
  result->impl_->path = absolutePath(path);
  return result;
}

std::size_t PdfDocument::pageCount() const {
  return std::size_t(std::max(0, impl_->document->pages()));
}

std::optional<PdfPageInfo> PdfDocument::page(std::size_t index) const {
  if (index >= pageCount()) return std::nullopt;
  std::lock_guard lock(impl_->renderMutex);
  std::unique_ptr<poppler::page> page(impl_->document->create_page(int(index)));
  if (!page) return std::nullopt;
  PdfPageInfo info;
  info.mediaBox = boxOf(page->page_rect(poppler::media_box));
  info.cropBox = boxOf(page->page_rect(poppler::crop_box));
  info.artBox = boxOf(page->page_rect(poppler::art_box));
  info.rotation = degreesOf(page->orientation());
  return info;
}

foundation::Dictionary PdfDocument::info() const {
  std::lock_guard lock(impl_->renderMutex);
  const poppler::document& doc = *impl_->document;
  foundation::Dictionary d;
  auto text = [&](const char* key, const poppler::ustring& value) {
    std::string s = utf8(value);
    if (!s.empty()) d.set(key, std::move(s));
  };
  text("Title", doc.get_title());
  text("Author", doc.get_author());
  text("Subject", doc.get_subject());
  text("Keywords", doc.get_keywords());
  text("Creator", doc.get_creator());
  text("Producer", doc.get_producer());
  auto date = [&](const char* key, time_t value) {
    if (value != time_t(-1) && value != 0)
      d.set(key, foundation::Date(std::chrono::system_clock::from_time_t(value)));
  };
  date("CreationDate", doc.get_creation_date_t());
  date("ModDate", doc.get_modification_date_t());
  d.set("PageCount", std::int64_t(doc.pages()));
  int major = 0, minor = 0;
  doc.get_pdf_version(&major, &minor);
  d.set("Version", std::to_string(major) + "." + std::to_string(minor));
  return d;
}

raster::ImageRef PdfDocument::render(std::size_t index, std::int64_t width, std::int64_t height,
                                     std::int64_t pixelLimit) const {
  if (!withinImageLimits(width, height, 4, pixelLimit)) {
    foundation::log("pdf: cannot render a page at {}x{}", width, height);
    return nullptr;
  }
  auto info = page(index);
  if (!info || !(info->shownWidth() > 0) || !(info->shownHeight() > 0)) {
    foundation::log("pdf: page {} has an empty crop box", index + 1);
    return nullptr;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width), int(height));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    foundation::log("pdf: no memory for a {}x{} page", width, height);
    return nullptr;
  }
  bool drawn = false;
  {
    std::lock_guard lock(impl_->renderMutex);
    if (PopplerDocument* document = impl_->drawingDocument()) {
      if (PopplerPage* page = poppler_document_get_page(document, int(index))) {
        double pageWidth = 0, pageHeight = 0;
        poppler_page_get_size(page, &pageWidth, &pageHeight);
        if (pageWidth > 0 && pageHeight > 0) {
          cairo_t* cr = cairo_create(surface);
          cairo_scale(cr, double(width) / pageWidth, double(height) / pageHeight);
          poppler_page_render(page, cr);
          drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
          cairo_destroy(cr);
        }
        g_object_unref(page);
      }
    }
  }
  cairo_surface_flush(surface);
  if (!drawn) {
    cairo_surface_destroy(surface);
    foundation::log("pdf: page {} did not render", index + 1);
    return nullptr;
  }
  // Premultiplied ARGB words (B, G, R, A in memory) to premultiplied RGBA.
  const raster::PixelFormat format = decodedFormat(8, 3, true, true);
  const std::size_t bytesPerRow = std::size_t(width) * 4;
  std::vector<std::uint8_t> pixels(bytesPerRow * std::size_t(height), 0);
  const unsigned char* source = cairo_image_surface_get_data(surface);
  const std::size_t sourceRow = std::size_t(cairo_image_surface_get_stride(surface));
  foundation::parallelForRange(
      0, height,
      [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          const std::uint8_t* in = source + std::size_t(y) * sourceRow;
          std::uint8_t* out = pixels.data() + std::size_t(y) * bytesPerRow;
          for (std::int64_t x = 0; x < width; ++x) {
            std::uint32_t word;
            std::memcpy(&word, in + x * 4, 4);
            out[x * 4 + 0] = std::uint8_t(word >> 16);
            out[x * 4 + 1] = std::uint8_t(word >> 8);
            out[x * 4 + 2] = std::uint8_t(word);
            out[x * 4 + 3] = std::uint8_t(word >> 24);
          }
        }
      },
      16);
  cairo_surface_destroy(surface);
  return raster::Image::make(width, height, format, raster::ColorSpace::sRGB(), std::move(pixels),
                             bytesPerRow);
}

}  // namespace imageio
