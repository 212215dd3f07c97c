#pragma once
// Where the end of a session sends the files it wrote: the file manager
// reveals them, and the chosen application opens them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velumar {

class ImportedImage;

struct ResultActions {
  // Reveals and selects the files in the file manager.
  std::function<void(const std::vector<std::string>& paths)> showItemsInFileManager;
  // Opens the files with the target of the open-with code and empties them.
  std::function<void(ImportedImage& engine, std::vector<std::string>& paths, std::int64_t code)> openURLs;
};

// The process's result actions (replaceable, e.g. by tests).
ResultActions& sessionResultActions();

}  // namespace velumar
