// Opening written files in other applications. The open-with codes name
// applications of another desktop; here each names desktop-file ids tried
// in order, the mail program through xdg-email, or the user's own choice.

#include <filesystem>
#include <set>

#include "engine/imported_image.h"
#include "engine/open_with_target.h"
#include "platform/desktop/applications.h"

namespace velumar {
namespace {

constexpr std::int64_t kOpenWithDefaultApplication = 1;
constexpr std::int64_t kOpenWithMail = 5;
constexpr std::int64_t kOpenWithChosenApplication = 14;
constexpr std::string_view kOwnName = "velumar";
// The type the Open With menu asks about for code 1, before any file exists.
constexpr const char* kExampleContentType = "image/jpeg";

// Applications a code names, most wanted first; empty for codes without one.
std::vector<std::string_view> applicationNamesForCode(std::int64_t code) {
  switch (code) {
    case 2:
      return {"eog", "loupe", "gwenview", "ristretto", "eom", "viewnior"};
    case 3:
      return {"shotwell", "digikam"};
    case 4:
      return {"digikam", "shotwell"};
    case 6:
      return {"gimp"};
    case 7:
      return {"darktable", "rawtherapee"};
    case 8:
      return {"krita", "pinta"};
    default:
      return {};
  }
}

desktop::Application defaultApplicationOtherThanOurs(const std::string& contentType) {
  auto application = desktop::defaultApplicationForContentType(contentType);
  if (!application || isThisApplication(application)) return {};
  return application;
}

desktop::Application chosenApplication(const foundation::Dictionary& appID) {
  const foundation::Value* value = appID.find("AppFullPath");
  const std::string path = value ? value->stringOr("") : "";
  if (path.empty()) return {};
  if (path.ends_with(".desktop")) return desktop::applicationFromDesktopFile(path);
  return desktop::applicationFromExecutable(path);
}

// The application of every code but 1 and 5; never this one, whatever its
// desktop id says or whatever was chosen.
desktop::Application namedApplicationForCode(std::int64_t code, const foundation::Dictionary& appID) {
  if (code == kOpenWithChosenApplication) {
    auto application = chosenApplication(appID);
    return application && !isThisApplication(application) ? application : desktop::Application();
  }
  for (std::string_view name : applicationNamesForCode(code))
    if (auto application = desktop::installedApplicationNamed(name);
        application && !isThisApplication(application))
      return application;
  return {};
}

// Each path once, at its first position.
std::vector<std::string> firstOccurrences(const std::vector<std::string>& paths) {
  std::vector<std::string> unique;
  std::set<std::string_view> seen;
  for (const auto& path : paths)
    if (seen.insert(path).second) unique.push_back(path);
  return unique;
}

bool mailFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> arguments{"xdg-email"};
  for (const auto& path : paths) {
    arguments.push_back("--attach");
    arguments.push_back(path);
  }
  return desktop::spawnProgram(arguments);
}

// The program now running, with symbolic links resolved.
const std::string& ownExecutable() {
  static const std::string path = [] {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical("/proc/self/exe", error);
    return error ? std::string() : resolved.string();
  }();
  return path;
}

}  // namespace

bool isThisApplication(const desktop::Application& application) {
  if (desktop::desktopIdNamesApplication(application.id(), kOwnName)) return true;
  const std::string program = application.executablePath();
  if (program.empty()) return false;
  return std::filesystem::path(program).filename().string() == kOwnName || program == ownExecutable();
}

desktop::Application openWithApplication(std::int64_t code, const foundation::Dictionary& openWithAppID) {
  if (code == kOpenWithDefaultApplication) return defaultApplicationOtherThanOurs(kExampleContentType);
  if (code == kOpenWithMail)
    return desktop::isProgramOnPath("xdg-email") ? desktop::defaultApplicationForUriScheme("mailto")
                                                 : desktop::Application();
  return namedApplicationForCode(code, openWithAppID);
}

bool ImportedImage::openURLs(std::vector<std::string>& urls, std::int64_t code) {
  const std::vector<std::string> files = firstOccurrences(urls);
  urls.clear();
  if (files.empty()) return false;
  if (code == kOpenWithMail) return mailFiles(files);
  const auto application = code == kOpenWithDefaultApplication
                               ? defaultApplicationOtherThanOurs(desktop::contentTypeForFile(files.front()))
                               : namedApplicationForCode(code, openWithAppID);
  return application && application.launch(files);
}

bool ImportedImage::canOpenWithApplicationType(std::int64_t code) const {
  if (code == kOpenWithDefaultApplication) return bool(defaultApplicationOtherThanOurs(kExampleContentType));
  if (code == kOpenWithMail) return desktop::isProgramOnPath("xdg-email");
  return bool(namedApplicationForCode(code, openWithAppID));
}

std::string ImportedImage::bundleIdentifierForApplicationName(std::string_view name) {
  return desktop::installedApplicationNamed(name).id();
}

}  // namespace velumar
