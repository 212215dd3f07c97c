// Image PDFs: one page per frame at the image's physical size, the pixels
// as an image XObject in an ICC-based colour space, alpha as a soft mask.

// qpdf without its legacy PointerHolder type.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>
#include <cstring>

#include "platform/foundation/log.h"
#include "platform/foundation/parallel.h"
#include "platform/foundation/plain_numbers.h"
#include "platform/imageio/codec_support.h"
#include "platform/imageio/pdf_document.h"
#include "platform/imageio/pixel_convert.h"

namespace imageio {

namespace {

// Colour and alpha planes of an image as PDF wants them: interleaved colour
// samples and a separate alpha plane, 16-bit samples big-endian.
struct PdfSamples {
  std::string color;
  std::string alpha;
};

PdfSamples samplesOf(const raster::Image& image, int bits, int components, bool alpha) {
  const int bytes = bits / 8;
  const int stride = components + (alpha ? 1 : 0);
  const std::size_t width = std::size_t(image.width());
  PdfSamples out;
  out.color.resize(width * std::size_t(image.height()) * std::size_t(components * bytes));
  if (alpha) out.alpha.resize(width * std::size_t(image.height()) * std::size_t(bytes));
  foundation::parallelForRange(
      0, image.height(),
      [&](std::int64_t begin, std::int64_t end) {
        std::vector<std::uint8_t> row(width * std::size_t(stride * bytes));
        for (std::int64_t y = begin; y < end; ++y) {
          exportRow(image, y, RowRequest{bits, alpha}, row.data());
          char* color = out.color.data() + std::size_t(y) * width * std::size_t(components * bytes);
          char* mask = alpha ? out.alpha.data() + std::size_t(y) * width * std::size_t(bytes) : nullptr;
          for (std::size_t x = 0; x < width; ++x) {
            for (int c = 0; c < stride; ++c) {
              const std::uint8_t* sample =
                  row.data() + (x * std::size_t(stride) + std::size_t(c)) * std::size_t(bytes);
              char* target = c < components
                                 ? color + (x * std::size_t(components) + std::size_t(c)) * std::size_t(bytes)
                                 : mask + x * std::size_t(bytes);
              if (bytes == 1) {
                target[0] = char(sample[0]);
              } else {
                std::uint16_t v;
                std::memcpy(&v, sample, 2);
                target[0] = char(v >> 8);
                target[1] = char(v & 0xff);
              }
            }
          }
        }
      },
      16);
  return out;
}

std::string number(double value) {
  return foundation::fixedDecimal(value, 4);
}

QPDFObjectHandle colorSpaceFor(QPDF& pdf, const raster::Image& image, int components) {
  const char* device = components == 1 ? "/DeviceGray" : components == 4 ? "/DeviceCMYK" : "/DeviceRGB";
  const std::vector<std::uint8_t> icc = iccOf(image);
  if (icc.empty()) return QPDFObjectHandle::newName(device);
  QPDFObjectHandle profile = QPDFObjectHandle::newStream(&pdf, std::string(icc.begin(), icc.end()));
  profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(components));
  profile.getDict().replaceKey("/Alternate", QPDFObjectHandle::newName(device));
  return QPDFObjectHandle::newArray({QPDFObjectHandle::newName("/ICCBased"), profile});
}

QPDFObjectHandle imageStream(QPDF& pdf, std::int64_t width, std::int64_t height, int bits,
                             QPDFObjectHandle space, std::string data) {
  QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, std::move(data));
  QPDFObjectHandle dict = stream.getDict();
  dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
  dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
  dict.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
  dict.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
  dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bits));
  dict.replaceKey("/ColorSpace", space);
  return stream;
}

bool addPage(QPDF& pdf, const Frame& frame) {
  const raster::Image& image = *frame.image;
  const int components = exportedColorComponents(image);
  if (components != 1 && components != 3 && components != 4) {
    foundation::log("pdf: cannot store an image of {} components", components);
    return false;
  }
  const int bits = image.format().bitsPerComponent > 8 ? 16 : 8;
  const bool alpha = image.format().hasAlpha();
  PdfSamples samples = samplesOf(image, bits, components, alpha);

  QPDFObjectHandle picture = imageStream(pdf, image.width(), image.height(), bits,
                                         colorSpaceFor(pdf, image, components), std::move(samples.color));
  if (alpha) {
    QPDFObjectHandle mask = imageStream(pdf, image.width(), image.height(), bits,
                                        QPDFObjectHandle::newName("/DeviceGray"), std::move(samples.alpha));
    picture.getDict().replaceKey("/SMask", mask);
  }

  const auto resolution = frameResolution(frame.properties);
  const double dpiX = resolution ? resolution->x : 72.0, dpiY = resolution ? resolution->y : 72.0;
  const double pageWidth = double(image.width()) * 72.0 / dpiX;
  const double pageHeight = double(image.height()) * 72.0 / dpiY;
  const std::string content = "q " + number(pageWidth) + " 0 0 " + number(pageHeight) + " 0 0 cm /Im0 Do Q\n";

  QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
  page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
  page.replaceKey("/MediaBox",
                  QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, pageWidth, pageHeight)));
  QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
  xobjects.replaceKey("/Im0", picture);
  QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
  resources.replaceKey("/XObject", xobjects);
  page.replaceKey("/Resources", resources);
  page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
  QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
  return true;
}

}  // namespace

bool writeImagePdf(const std::string& path, const std::vector<Frame>& frames) {
  if (frames.empty()) return false;
  try {
    QPDF pdf;
    pdf.emptyPDF();
    for (const Frame& frame : frames) {
      if (!frame.image || frame.image->width() < 1 || frame.image->height() < 1) return false;
      if (!addPage(pdf, frame)) return false;
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.setCompressStreams(true);
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.write();
    return true;
  } catch (const std::exception& e) {
    foundation::log("pdf: cannot write {}: {}", path, e.what());
    return false;
  }
}

}  // namespace imageio
