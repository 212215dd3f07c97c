#include "converter/open_with_applications.h"

#include <algorithm>
#include <set>

#include "engine/imported_image.h"
#include "engine/open_with_target.h"
#include "platform/desktop/application_metainfo.h"
#include "platform/desktop/applications.h"
#include "platform/foundation/locale_compare.h"
#include "platform/ui/menu_name.h"

namespace velumar {

namespace {
constexpr std::int64_t kOtherApplicationItem = 14;
}  // namespace

std::vector<ApplicationMenuItem> updateApplicationsForOpenWithMenu(ImportedImage& engine,
                                                                   const std::string& exampleFile) {
  engine.appIDInfoArray.clear();
  std::vector<ApplicationMenuItem> items;
  std::set<std::string> seenPaths;
  std::int64_t tag = 1;
  desktop::ApplicationVersions versions;
  for (const desktop::Application& application :
       desktop::applicationsForContentType(desktop::contentTypeForFile(exampleFile))) {
    const std::string path = application.desktopFilePath();
    const std::string name = ui::menuName(application.displayName());
    if (path.empty() || name.empty() || !seenPaths.insert(path).second) continue;
    if (isThisApplication(application)) continue;
    const std::string version = versions.versionOf(application.id());
    // The name is isolated (U+2068 ... U+2069) so right-to-left text in it
    // does not take the version along.
    const std::string title = version.empty() ? name : "\u2068" + name + "\u2069 (" + version + ")";
    foundation::Dictionary entry;
    entry.set("AppDisplayName", foundation::Value(title));
    entry.set("AppFullPath", foundation::Value(path));
    engine.appIDInfoArray[tag] = entry;
    items.push_back(ApplicationMenuItem{title, tag, false});
    ++tag;
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const ApplicationMenuItem& a, const ApplicationMenuItem& b) {
                     return foundation::compareFileNames(a.title, b.title) < 0;
                   });
  return items;
}

std::int64_t selectApplicationFrom(ImportedImage& engine, std::vector<ApplicationMenuItem>& items,
                                   std::int64_t tag) {
  const auto entry = engine.appIDInfoArray.find(tag);
  const bool known = !items.empty() && entry != engine.appIDInfoArray.end();
  for (ApplicationMenuItem& item : items) item.on = known && item.tag == tag;
  engine.openWithAppID = known ? entry->second : foundation::Dictionary();
  return known ? kOtherApplicationItem : 0;
}

std::map<std::int64_t, std::string> titleOpenWithItemsByProgram(PopUp& popUp,
                                                                const std::vector<std::string>& fixedTitles,
                                                                const ImportedImage& engine) {
  std::map<std::int64_t, std::string> icons;
  const std::int64_t last = std::min({popUp.count(), std::int64_t(fixedTitles.size()), std::int64_t(9)});
  for (std::int64_t code = 2; code < last; ++code) {
    const desktop::Application program = openWithApplication(code, engine.openWithAppID);
    const std::string name = ui::menuName(program.displayName());
    popUp.items[std::size_t(code)].title = name.empty() ? fixedTitles[std::size_t(code)] : name;
    if (!name.empty()) icons[code] = program.iconName();
  }
  return icons;
}

void disableUnavailableOpenWithItems(PopUp& popUp, const ImportedImage& engine) {
  const std::int64_t last = std::min(popUp.count(), kOtherApplicationItem);
  for (std::int64_t code = 1; code < last; ++code) {
    PopUpItem& item = popUp.items[std::size_t(code)];
    if (item.enabled && !engine.canOpenWithApplicationType(code)) item.enabled = false;
  }
  const std::int64_t selected = popUp.selectedIndex;
  if (selected > 0 && selected < popUp.count() && !popUp.items[std::size_t(selected)].enabled)
    popUp.selectedIndex = 0;
}

}  // namespace velumar
