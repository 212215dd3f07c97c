#include "session/output_names.h"

#include <fmt/format.h>

#include <array>
#include <filesystem>

#include "engine/file_type_codes.h"
#include "engine/imported_image.h"
#include "session/processing_view.h"
#include "session/session_info.h"

namespace velumar {

namespace fs = std::filesystem;

namespace {

bool isSet(const std::string& text, const char* placeholder) {
  return !text.empty() && text != placeholder;
}

// Base and extension of a name; a leading dot belongs to the base.
std::pair<std::string, std::string> splitExtension(const std::string& fileName) {
  const std::string extension = fs::path(fileName).extension().string();
  if (extension.size() <= 1) return {fileName.substr(0, fileName.size() - extension.size()), ""};
  return {fileName.substr(0, fileName.size() - extension.size()), extension.substr(1)};
}

std::string withExtension(const std::string& stem, const std::string& extension) {
  return extension.empty() ? stem : stem + "." + extension;
}

}  // namespace

std::optional<std::string> verifyPathExtension(std::int64_t conversionCode) {
  static constexpr std::array kExtensions = {"jpg",  "png", "bmp", "tiff", "pdf", "icns", "gif", "tiff",
                                             "tiff", "png", "png", "png",  "psd", "psd",  "heif"};
  static_assert(kExtensions.size() == std::size_t(ConversionType::Count),
                "an extension for every output format");
  if (conversionCode < 0 || conversionCode >= std::int64_t(kExtensions.size())) return std::nullopt;
  return kExtensions[std::size_t(conversionCode)];
}

std::string updateExtensionForFilename(const std::string& fileName, std::int64_t conversionCode) {
  return withExtension(splitExtension(fileName).first, verifyPathExtension(conversionCode).value_or(""));
}

std::string updateFileNameForURL(const std::string& path, std::int64_t conversionCode) {
  return updateExtensionForFilename(fs::path(path).filename().string(), conversionCode);
}

std::string verifyLeadingZerosForString(const std::string& text, std::int64_t number, bool atStart,
                                        std::int64_t zerosNumber) {
  const int width = (zerosNumber >= 1 && zerosNumber <= 9) ? int(zerosNumber) : 0;
  const std::string digits = fmt::format("{:0{}d}", number, width);
  return atStart ? digits + text : text + digits;
}

std::string modifyImagePrefixNameAndSuffix(const std::string& fileName, const RenameInfo& renameInfo,
                                           const RenameValues& values, std::int64_t number,
                                           const std::function<std::string()>& dateText) {
  const auto [base, extension] = splitExtension(fileName);
  std::optional<std::string> newName;
  if (renameInfo.nameTextFieldEnabled && isSet(values.nameString, kNamePlaceholder))
    newName = values.nameString;
  std::optional<std::string> prefixed;
  if (renameInfo.prefixTextFieldEnabled && isSet(values.prefixString, kPrefixPlaceholder))
    prefixed = values.prefixString + newName.value_or(base);
  std::optional<std::string> suffixed;
  if (renameInfo.suffixTextFieldEnabled && isSet(values.suffixString, kSuffixPlaceholder))
    suffixed = prefixed.value_or(newName.value_or(base)) + values.suffixString;
  const std::string stem = suffixed.value_or(prefixed.value_or(newName.value_or(base)));
  std::string result = withExtension(stem, extension);

  if (renameInfo.numberPopUpIndex >= 1 && renameInfo.initialNumberTextFieldEnabled &&
      values.initialNumber >= 0) {
    const std::int64_t zeros = renameInfo.zerosTextFieldEnabled ? values.zerosNumber : 0;
    if (renameInfo.numberPopUpIndex == 1)
      result = verifyLeadingZerosForString(result, number, true, zeros);
    else
      result = withExtension(verifyLeadingZerosForString(stem, number, false, zeros), extension);
  }

  if (renameInfo.datePopUpIndex >= 1) {
    const std::string date = dateText ? dateText() : ImportedImage::genericDateString();
    if (renameInfo.datePopUpIndex == 1) {
      result = date + "_" + result;
    } else if (renameInfo.datePopUpIndex == 2) {
      const auto [currentStem, currentExtension] = splitExtension(result);
      result = withExtension(currentStem + "_" + date, currentExtension);
    } else {
      result = withExtension(date, splitExtension(result).second);
    }
  }
  return result;
}

std::string modifyImagePrefixNameAndSuffix(const std::string& fileName, const RenameInfo& renameInfo,
                                           const SessionInfo& session,
                                           const std::optional<std::string>& datePath) {
  std::optional<std::string> source = datePath;
  if (!source) {
    if (std::optional<SourceFile> processed = session.processedURL()) source = processed->path;
  }
  return modifyImagePrefixNameAndSuffix(
      fileName, renameInfo, session.renameValues(), session.numberCount, [&] {
        return source ? ImportedImage::stringDateWithURL(*source) : ImportedImage::genericDateString();
      });
}

std::string singleComponentFileName(const std::string& name, const std::string& fallback) {
  std::string cleaned;
  cleaned.reserve(name.size());
  for (char c : name) {
    if (c == '\0') continue;
    cleaned.push_back(c == '/' ? ' ' : c);
  }
  if (cleaned.empty() || cleaned == "." || cleaned == "..") return fallback;
  return cleaned;
}

std::string renamedFileName(const std::string& ownName, const SessionInfo& session,
                            const std::optional<std::string>& datePath) {
  const std::string renamed =
      modifyImagePrefixNameAndSuffix(ownName, session.renameInfo(), session, datePath);
  const std::string fallback = singleComponentFileName(ownName, "untitled");
  const std::string name = singleComponentFileName(renamed, fallback);
  // A name that starts with a dot would hide the output ("..png" for the
  // name ".."): it falls back as an empty one does.
  return name.front() == '.' ? fallback : name;
}

std::string updateStringForExample(ProcessingView& view, const std::string& fileName) {
  const ConverterState& state = view.state();
  const std::string name = updateExtensionForFilename(fileName, state.globalConversionFormat);
  const RenameValues values = state.renameValues();
  const std::string example =
      modifyImagePrefixNameAndSuffix(name, view.setupRenameInfo(), values, values.initialNumber,
                                     [] { return ImportedImage::genericDateString(); });
  // As the session names it: a name starting with a dot falls back.
  return example.starts_with('.') ? name : example;
}

bool verifyParentDirectory(const std::optional<std::string>& path) {
  if (!path || path->empty()) return false;
  std::error_code error;
  return fs::is_directory(*path, error);
}

}  // namespace velumar
