#pragma once
// One conversion request: the files and how the run is to be made, and the
// converter's operations that turn a request into a session.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_modify_info.h"
#include "platform/raster/bitmap_image_rep.h"

namespace velumar {

class ImportedImage;
class ProcessingView;
class SessionInfo;
struct ConverterState;

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

// Main thread. Puts the converter into its processing state, reads the
// settings, works out the output folder, fills a session record and starts
// the session. Answers the record (a synchronous run has ended by then);
// a temporary folder other than the application's TempData folder is refused
// with a record of code 0 that never started; nullptr while a session runs.
std::shared_ptr<SessionInfo> processNewImageAfterDragging(const std::shared_ptr<ProcessingView>& view,
                                                          const ConversionRequest& request);
// The senders' delivery: the request runs 0.1 s later on the main thread.
void postConversionRequest(const std::shared_ptr<ProcessingView>& view, ConversionRequest request);

// Marks the converter busy and the preview closed to images; with mode 1
// records and closes the side panels; empties the live-preview view.
void setupClassesInitialValuesAndCloseWindows(ProcessingView& view, std::int64_t setupMode);
// Empties the engine's written files and layer records (and the filter
// engine's lists).
void clearClassesArrayWithLookups(ImportedImage& engine, bool lookups);
// The stored output folder when saving there and it exists; else nothing,
// and the user is asked when the session starts.
std::optional<std::string> setupParentDirectoryWithInfo(const ConverterState& state,
                                                        const ImageModifyInfo& info, std::uint64_t urlsCount);
// Whether to hide the application after this run; clears isFromOpenWith.
bool verifyHideAppAfterOpenWith(ProcessingView& view);
// The application's temporary folder, Application Support "/TempData".
std::string tempDataDirectory();
// Empties the TempData folder (links removed as links). Any other folder
// is refused with a log line: false.
bool clearTemDirectoryForPath(const std::string& path);
// One image rendered with the current settings and not saved: PSD as for
// JPEG output, everything else as for TIFF, without metadata. Empty when
// the file is no image or renders nothing.
std::vector<raster::BitmapImageRepRef> processNewImageForURL(ProcessingView& view, const std::string& path);
// The "Couldn't open file" sheet of senders whose files held no image.
void notifyCantProcessImageAfterDragging(ProcessingView& view);

}  // namespace velumar
