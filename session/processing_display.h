#pragma once
// The processing-state display of the converter window as a model: the
// processing sheet, the buttons and labels that change while a batch runs,
// and the counter text. The window draws it; the session drives it through
// the converter's display operations, on the main thread.

#include <cstdint>
#include <string>

#include "platform/raster/geometry.h"
#include "session/converter_state.h"

namespace velumar {

struct DisplayButton {
  bool enabled = true;
  bool hidden = false;
  std::int64_t state = 0;
  double alpha = 1.0;
  bool operator==(const DisplayButton&) const = default;
};

struct DisplayLabel {
  bool hidden = true;
  raster::Point origin;  // bottom-up window coordinates
  bool operator==(const DisplayLabel&) const = default;
};

class ProcessingDisplay {
 public:
  bool sheetShown = false;
  bool imagePopoverShown = false;
  DisplayButton presetsButton;
  DisplayButton previewMenuButton;
  DisplayButton quitButton;
  DisplayButton cancelButton{false, true, 0, 1.0};
  DisplayButton imageButton{false, true, 0, 1.0};
  DisplayLabel processingLabel;
  DisplayLabel filesCountLabel;
  std::string filesCountText;

  // The three start and end steps.
  void removePresetsButton(ConverterState& state);
  void removePresetsButtonAndAddProcessButtons(ConverterState& state);
  void addPresetsButton(ConverterState& state);

  // The display wrappers' work.
  void startProgressBar(ConverterState& state);
  void updateProgressBar(ConverterState& state, std::int64_t current, std::int64_t total);
  void stopProgressBar(ConverterState& state);
  void setFilesCount(std::int64_t current, std::int64_t total);

 private:
  void hidePresetControls();
};

}  // namespace velumar
