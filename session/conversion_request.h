#pragma once
// One conversion request: the files and how the run is to be made.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velumar {

// A file to convert and, for files found by scanning a dropped folder, the
// path of its folder relative to the dropped folder's parent ("/Photos/2020").
struct SourceFile {
  std::string path;
  std::optional<std::string> parentPath;
};

struct ConversionRequest {
  std::vector<SourceFile> sources;
  bool ignoreBookmark = false;  // run without checking the output folder
  bool ignoreAlerts = false;    // show no alert for this run
  std::int64_t setupMode = 1;   // 1: record and close the side panels first
  std::string tempPath;         // temporary output folder; empty = none
  bool asyncQueue = true;       // run the loop in the background
};

}  // namespace velumar
