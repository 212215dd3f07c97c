#include "preview/image_info_dictionary.h"

#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "platform/foundation/date_format.h"
#include "platform/foundation/files.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/pdf_document.h"
#include "platform/imageio/type_detection.h"
#include "preview/image_info_text.h"

namespace velumar {

namespace {

using foundation::Dictionary;
using foundation::Value;

// Medium date and the locale's time of day, in local time.
std::string dateAndTimeText(foundation::Date date) {
  const std::string day = foundation::localizedDateString(date, 2);
  const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm local{};
  char time[64] = {};
  if (localtime_r(&seconds, &local) == nullptr || std::strftime(time, sizeof time, "%X", &local) == 0)
    return day;
  return day.empty() ? std::string(time) : day + ", " + time;
}

void addPdfInformation(const std::string& path, Dictionary& information) {
  const auto document = imageio::PdfDocument::open(path);
  if (!document) {
    // A locked or broken document gives no attributes.
    information.set("PDF Dictionary", Value(Dictionary{}));
    return;
  }
  float width = 0, height = 0;
  if (const auto page = document->page(0)) {
    const bool art = page->artBox.width > 0 && page->artBox.height > 0;
    width = float(art ? page->artBox.width : page->mediaBox.width);
    height = float(art ? page->artBox.height : page->mediaBox.height);
  }
  information.set("PDF Width", double(width));
  information.set("PDF Height", double(height));
  information.set("PDF Page Count", std::int64_t(document->pageCount()));
  information.set("PDF Dictionary", Value(document->info()));
}

}  // namespace

Value imageInformationForFile(const std::string& path) {
  Dictionary information;
  const std::filesystem::path file(path);
  information.set("Original Filename", file.filename().string());
  struct stat status {};
  const bool exists = ::stat(path.c_str(), &status) == 0;
  if (exists) information.set("File size", fileSizeText(std::int64_t(status.st_size)));
  const std::string type = imageio::typeOfFile(path);
  std::string extension = file.extension().string();
  extension = extension.empty() ? imageio::preferredExtension(type) : extension.substr(1);
  if (!extension.empty()) information.set("File Type Extension", extension);
  if (exists) {
    if (const auto created = foundation::creationDate(path))
      information.set("File Creation Date String", dateAndTimeText(*created));
    information.set("File Modification Date String",
                    dateAndTimeText(std::chrono::system_clock::from_time_t(status.st_mtime)));
  }
  const bool pdf = type == "com.adobe.pdf";
  if (pdf) addPdfInformation(path, information);
  information.set("Image is PDF", pdf);
  const auto source = exists ? imageio::ImageSource::open(path) : nullptr;
  const Value properties = source ? source->properties(0) : Value();
  const Dictionary* dictionary = properties.asDictionary();
  if (dictionary != nullptr && !dictionary->empty()) {
    information.set("Image Dictionary", properties);
    information.set("Image Count", std::int64_t(source->count()));
  } else {
    information.set("Image Dictionary", Value(Dictionary{}));
  }
  return Value(std::move(information));
}

}  // namespace velumar
