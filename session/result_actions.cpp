#include "session/result_actions.h"

#include "engine/imported_image.h"
#include "platform/desktop/file_manager.h"

namespace velumar {

ResultActions& sessionResultActions() {
  static ResultActions actions{
      [](const std::vector<std::string>& paths) { desktop::showItemsInFileManager(paths); },
      [](ImportedImage& engine, std::vector<std::string>& paths, std::int64_t code) {
        engine.openURLs(paths, code);
      }};
  return actions;
}

}  // namespace velumar
