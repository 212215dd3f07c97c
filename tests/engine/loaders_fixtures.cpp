#include "loaders_fixtures.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/foundation/files.h"
#include "platform/imageio/image_destination.h"

namespace velumar::loaders_testing {

bool writeFrames(const std::string& path, const std::string& type, const std::vector<FrameSpec>& frames) {
  auto destination = imageio::ImageDestination::create(path, type, frames.size());
  if (!destination) return false;
  for (const FrameSpec& frame : frames) {
    foundation::Dictionary properties;
    if (frame.dpi > 0) {
      properties.set("DPIWidth", frame.dpi);
      properties.set("DPIHeight", frame.dpi);
    }
    destination->addImage(frame.image, foundation::Value(std::move(properties)));
  }
  return destination->finalize();
}

bool writeHandmadePdf(const std::string& path, const std::vector<PdfPageSpec>& pages) {
  // Objects 1 (catalog) and 2 (page tree), then per page: page, contents,
  // image.
  std::vector<std::string> objects(2);
  std::string kids;
  for (const PdfPageSpec& page : pages) {
    const std::size_t pageNumber = objects.size() + 1;
    const bool hasImage = page.imageWidth != 0 || page.imageHeight != 0;
    std::ostringstream content;
    if (hasImage && page.paintImage)
      content << "q " << page.width << " 0 0 " << page.height << " 0 0 cm /Im0 Do Q\n";
    content << "0 0 1 rg 0 0 " << page.width / 2 << ' ' << page.height / 2 << " re f\n";
    std::ostringstream pageObject;
    pageObject << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " << page.width << ' ' << page.height
               << "] /Contents " << pageNumber + 1 << " 0 R /Resources << ";
    if (hasImage) pageObject << "/XObject << /Im0 " << pageNumber + 2 << " 0 R >> ";
    pageObject << ">> >>";
    objects.push_back(pageObject.str());
    objects.push_back("<< /Length " + std::to_string(content.str().size()) + " >>\nstream\n" + content.str() +
                      "endstream");
    if (hasImage) {
      std::string data;
      if (page.paintImage) data.assign(std::size_t(page.imageWidth * page.imageHeight), char(0x80));
      std::ostringstream image;
      image << "<< /Type /XObject /Subtype /Image /Width " << page.imageWidth << " /Height "
            << page.imageHeight << " /ColorSpace /DeviceGray /BitsPerComponent 8 /Length " << data.size()
            << " >>\nstream\n"
            << data << "\nendstream";
      objects.push_back(image.str());
    }
    kids += std::to_string(pageNumber) + " 0 R ";
  }
  objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
  objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";

  std::string file = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(file.size());
    file += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = file.size();
  file += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    file += line;
  }
  file += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
          std::to_string(xref) + "\n%%EOF\n";
  return foundation::writeFileAtomically(path, foundation::Data(file.begin(), file.end()));
}

bool writeRedEps(const std::string& path, const std::string& boundingBox) {
  std::istringstream corners(boundingBox);
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  corners >> x0 >> y0 >> x1 >> y1;
  std::ostringstream text;
  text << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: " << boundingBox << "\n%%EndComments\n"
       << "1 0 0 setrgbcolor newpath " << x0 << ' ' << y0 << " moveto " << x1 << ' ' << y0 << " lineto " << x1
       << ' ' << y1 << " lineto " << x0 << ' ' << y1 << " lineto closepath fill\nshowpage\n%%EOF\n";
  const std::string eps = text.str();
  return foundation::writeFileAtomically(path, foundation::Data(eps.begin(), eps.end()));
}

bool writeTruncatedCopy(const std::string& from, const std::string& to, std::size_t keep) {
  auto bytes = foundation::readFile(from);
  if (!bytes) return false;
  bytes->resize(std::min(bytes->size(), keep));
  return foundation::writeFileAtomically(to, *bytes);
}

std::array<int, 4> rgbaAt(const BitmapRepRef& rep, std::int64_t x, std::int64_t y) {
  const raster::ImageRef& image = rep->image();
  const raster::PixelFormat& format = image->format();
  if (format.bitsPerComponent != 8 || format.colorComponents != 3) return {-1, -1, -1, -1};
  const std::uint8_t* pixel = image->row(y) + std::size_t(x) * std::size_t(format.bytesPerPixel());
  const int colour = format.alphaFirst() ? 1 : 0;
  int alpha = 255;
  if (format.hasAlpha()) alpha = format.alphaFirst() ? pixel[0] : pixel[3];
  return {pixel[colour], pixel[colour + 1], pixel[colour + 2], alpha};
}

}  // namespace velumar::loaders_testing
