// The object scan the engine sizes PDF pages with: the largest Width and
// Height among the XObject streams of page 1.

// qpdf without its legacy PointerHolder type.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "platform/foundation/log.h"
#include "platform/imageio/pdf_document.h"

namespace imageio {

std::optional<PdfXObjectSize> largestImageXObjectSize(const std::string& path) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    if (pages.empty()) {
      foundation::log("pdf: {} has no pages", path);
      return std::nullopt;
    }
    PdfXObjectSize size;
    // Resources may be inherited from the page tree.
    QPDFObjectHandle resources = pages.front().getAttribute("/Resources", false);
    if (!resources.isDictionary()) return size;
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary()) return size;
    for (const std::string& key : xobjects.getKeys()) {
      QPDFObjectHandle object = xobjects.getKey(key);
      if (!object.isStream()) continue;
      QPDFObjectHandle dict = object.getDict();
      QPDFObjectHandle width = dict.getKey("/Width");
      QPDFObjectHandle height = dict.getKey("/Height");
      if (width.isInteger()) size.width = std::max<std::int64_t>(size.width, width.getIntValue());
      if (height.isInteger()) size.height = std::max<std::int64_t>(size.height, height.getIntValue());
    }
    return size;
  } catch (const std::exception& e) {
    foundation::log("pdf: cannot scan {}: {}", path, e.what());
    return std::nullopt;
  }
}

}  // namespace imageio
