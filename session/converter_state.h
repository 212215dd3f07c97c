#pragma once
// The converter window's state that a session and the presets read and set:
// saving method, output folder, file options, rename texts and numbers,
// the selected output format, the processing flags and the progress model.
// Touched on the main thread, except the atomic members, which a session's
// queue reads while it runs.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "session/rename_info.h"

namespace velumar {

// The progress model behind the window's progress bar. The session sets
// value from its queue; updatePBOscilatorStatus, on the main thread, copies
// it to the bar clamped to 0..1. The cancel button sets cancelProgress.
class PBOscilator {
 public:
  std::atomic<double> value{0.0};
  std::atomic<bool> cancelProgress{false};

  // on: the indicator runs, model and bar read 0.0 and the cancel flag is
  // cleared. Off: the indicator stops and model and bar read 1.0; the
  // cancel flag stays as it is.
  void start(bool on);
  // Copies the model's value, clamped to 0..1 (NaN counts as 0), to the bar
  // when it differs from the bar's value. Answers whether the bar changed.
  bool updatePBOscilatorStatus();

  double barValue() const { return barValue_.load(); }
  bool isAnimating() const { return animating_.load(); }

 private:
  std::atomic<double> barValue_{0.0};
  std::atomic<bool> animating_{false};
};

struct ConverterState {
  // Set from the start of a request until its session has ended; new
  // requests are refused meanwhile.
  std::atomic<bool> isProcessingImages{false};
  // The live-preview option: show each converted image during a run.
  std::atomic<bool> openPreviewFromThread{false};

  // The folder the items of the next request came from.
  std::optional<std::string> globalParentDirectory;
  // 1: save into the stored output folder; 0: ask each time.
  std::int64_t saveWithStoredFileURL = 0;
  // The stored output folder, or the placeholder.
  std::string fileURLForSaving = kOutputFolderPlaceholder;
  std::int64_t searchInSubFolders = 0;
  bool loadFileOptionsFromPreset = false;

  bool overwriteFiles = false;
  bool maintainHierarchy = false;
  bool renameIgnoreProcessing = false;
  bool preserveMetadata = false;
  bool removeURLCachesWhenDone = true;
  bool canUseTags = true;
  bool openWithHide = false;
  bool isFromOpenWith = false;

  // The committed rename texts and numbers.
  std::string prefixString = kPrefixPlaceholder;
  std::string nameString = kNamePlaceholder;
  std::string suffixString = kSuffixPlaceholder;
  std::int64_t initialNumber = -1;
  std::int64_t zerosNumber = -1;

  std::optional<std::string> lastSelectedPresetName;
  std::int64_t lastSelectedFormat = 0;      // size unit last shown
  std::int64_t globalConversionFormat = 0;  // conversion code of the selected format
  bool drawTextString = true;
  bool drawForDragAndDrop = false;
  bool showInFinderSavedFiles = false;
  // Preferences the shell keeps in the converter: hide the extensions of
  // written files, whole-disk access granted, filters on the graphics
  // processor, and the drop zone dimmed while another program has the focus.
  bool hideExtensionSavedFiles = false;
  bool isGlobalPermissionSet = false;
  bool useGPUForRendering = true;
  bool drawForDeactive = false;

  PBOscilator progressBar;

  RenameValues renameValues() const {
    return RenameValues{nameString, prefixString, suffixString, initialNumber, zerosNumber};
  }
};

}  // namespace velumar
