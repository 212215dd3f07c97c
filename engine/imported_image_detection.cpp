// File-type detection: which kind of image a path names, and which special
// loader (PDF, EPS, AI, PSD) it needs.

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/imported_image.h"
#include "platform/foundation/ascii_case.h"
#include "platform/foundation/log.h"
#include "platform/imageio/type_detection.h"

namespace velumar {

namespace {

std::string pathExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  return extension;
}

struct TypeCode {
  std::string_view identifier;
  std::int64_t fileType;
};

// Checked in this order; the first match decides.
constexpr std::array kNamedTypes{
    TypeCode{"public.jpeg", FileType::JPEG},         TypeCode{"public.png", FileType::PNG},
    TypeCode{"com.microsoft.bmp", FileType::BMP},    TypeCode{"public.tiff", FileType::TIFF},
    TypeCode{"com.adobe.pdf", FileType::PDF},        TypeCode{"com.apple.icns", FileType::ICNS},
    TypeCode{"com.compuserve.gif", FileType::GIF},   TypeCode{"com.adobe.photoshop-image", FileType::PSD},
    TypeCode{"com.adobe.postscript", FileType::EPS}, TypeCode{"com.adobe.illustrator.ai-image", FileType::AI},
    TypeCode{"public.heif", FileType::HEIF},         TypeCode{"public.heic", FileType::HEIF},
};

// Whether the identifier names an image type (other than the named ones)
// that the image I/O layer knows how to read.
bool isGenericImageType(const std::string& identifier) {
  const auto readable = imageio::readableTypes();
  return std::find(readable.begin(), readable.end(), identifier) != readable.end();
}

bool isLoaderExtension(std::string_view ext, std::initializer_list<std::string_view> extensions) {
  return std::any_of(extensions.begin(), extensions.end(), [&](std::string_view candidate) {
    return foundation::asciiEqualsIgnoringCase(ext, candidate);
  });
}

LoaderKind loaderKindFor(std::string_view ext, const FileTypeDetection& types,
                         std::initializer_list<std::string_view> ownExtensions, std::string_view canonical,
                         LoaderKind kind) {
  // An empty extension decides nothing; only the detected type counts then.
  if (!ext.empty() && isLoaderExtension(ext, ownExtensions)) return kind;
  if (foundation::asciiEqualsIgnoringCase(types.canonicalExtension(), canonical)) return kind;
  return LoaderKind::None;
}

}  // namespace

std::optional<FileTypeDetection> ImportedImage::verifyFileTypeFromURL(const std::string& path) const {
  if (path.empty()) return std::nullopt;

  // The type of the file as the system sees it: extension, then contents.
  std::string identifier = imageio::typeOfFile(path);
  if (identifier.empty()) {
    const std::string extension = pathExtension(path);
    identifier = extension.empty() ? imageio::typeFromContents(path) : imageio::typeForExtension(extension);
  }
  if (identifier.empty()) identifier = imageFileUTI(path).value_or(std::string());
  if (identifier.empty()) identifier = isImageFile(path).value_or(std::string());
  if (identifier.empty()) return std::nullopt;

  std::optional<std::int64_t> fileType;
  for (const TypeCode& named : kNamedTypes) {
    if (identifier == named.identifier) {
      fileType = named.fileType;
      break;
    }
  }
  if (!fileType && isGenericImageType(identifier)) fileType = FileType::OtherImage;
  if (!fileType) return std::nullopt;

  // A file that claims a type but is none cannot be converted. The named
  // types are told by their first bytes and header, without decoding (nor
  // running Ghostscript); only the generic case needs a decoder to open it.
  const bool looksReadable = *fileType == FileType::OtherImage ? pasteboardImageTestWithURL(path)
                                                               : !imageio::typeFromHeader(path).empty();
  if (!looksReadable) {
    foundation::log("not a readable image: {}", path);
    return std::nullopt;
  }
  return FileTypeDetection{path + "." + std::string(canonicalExtensionForFileType(*fileType)), *fileType};
}

std::optional<std::string> ImportedImage::isImageFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const std::string extension = pathExtension(path);
  if (extension.empty()) return std::nullopt;
  std::string identifier = imageio::typeForExtension(extension);
  if (identifier.empty()) return std::nullopt;
  return identifier;
}

std::optional<std::string> ImportedImage::imageFileUTI(const std::string& path) {
  std::string identifier = imageio::typeFromContents(path);
  if (identifier.empty()) return std::nullopt;
  return identifier;
}

bool ImportedImage::pasteboardImageTestWithURL(const std::string& path) {
  return imageio::isReadableImage(path);
}

LoaderKind ImportedImage::verifyPDFAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types) {
  return loaderKindFor(ext, types, {"pdf"}, "pdf", LoaderKind::PDF);
}

LoaderKind ImportedImage::verifyEPSAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types) {
  return loaderKindFor(ext, types, {"eps", "epi", "epsf", "epsi", "ps"}, "eps", LoaderKind::EPS);
}

LoaderKind ImportedImage::verifyAIAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types) {
  return loaderKindFor(ext, types, {"ai"}, "ai", LoaderKind::AI);
}

LoaderKind ImportedImage::verifyPSDAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types) {
  return loaderKindFor(ext, types, {"psd"}, "psd", LoaderKind::PSD);
}

}  // namespace velumar
