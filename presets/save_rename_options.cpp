#include "platform/foundation/main_loop.h"
#include "presets/converter_form.h"
#include "session/processing_view.h"
#include "session/sandbox_folder_access.h"
#include "session/session_alerts.h"

namespace velumar {

namespace {

constexpr const char* kFirstUseText = "First use configuration:\nUse preferences to set a global shortcut.";

}  // namespace

void ConverterForm::selectSavingMethodFrom(SavingButton sender) {
  ConverterControls& c = controls;
  CheckBox& clicked = sender == SavingButton::AskEachTime      ? c.saveAskEachTimeCheck
                      : sender == SavingButton::StoreDirectory ? c.saveStoreDirectoryCheck
                                                               : c.saveAsImageCheck;
  // One button always stays selected.
  if (!c.saveAskEachTimeCheck.isOn() && !c.saveStoreDirectoryCheck.isOn() && !c.saveAsImageCheck.isOn()) {
    clicked.set(true);
    return;
  }
  const bool storedFolder = sender == SavingButton::StoreDirectory;
  state_.saveWithStoredFileURL = storedFolder ? 1 : 0;
  setSavingMethodControls(storedFolder);
  if (!storedFolder) c.popOverSaveToButton.on = false;
}

void ConverterForm::searchSubFoldersFrom() {
  state_.searchInSubFolders = controls.searchSubFoldersCheck.isOn() ? 1 : 0;
}

void ConverterForm::setOverwriteFrom() {
  state_.overwriteFiles = controls.overwriteCheck.isOn();
}

void ConverterForm::setMaintainHierarchyFrom() {
  state_.maintainHierarchy = controls.maintainHierarchyCheck.isOn();
}

void ConverterForm::setRenameIgnoreFrom() {
  state_.renameIgnoreProcessing = controls.renameIgnoreCheck.isOn();
}

void ConverterForm::setPreserveMetadataFrom() {
  state_.preserveMetadata = controls.metadataCheck.isOn();
}

void ConverterForm::setCheckPrefixFrom() {
  controls.prefixTextField.enabled = controls.addPrefixCheck.state != CheckState::Off;
  updateExampleLabel();
}

void ConverterForm::setCheckNameFrom() {
  controls.nameTextField.enabled = controls.modifyNameCheck.state != CheckState::Off;
  updateExampleLabel();
}

void ConverterForm::setCheckSuffixFrom() {
  controls.suffixTextField.enabled = controls.addSuffixCheck.state != CheckState::Off;
  updateExampleLabel();
}

void ConverterForm::setFilanemeDateFrom() {
  updateExampleLabel();
}

void ConverterForm::setFixedSizeFrom() {
  ConverterControls& c = controls;
  const bool on = c.fixedSizeCheck.isOn();
  if (on && c.resizeScalePopUp.selectedIndex == 1) {
    c.fixedSizeCheck.set(false);
    return;
  }
  c.aspectRatioCheck.set(!on);
  c.aspectRatioCheck.enabled = !on;
  c.resizeWTextField.text = c.resizeHTextField.text = on ? "Original" : percentText(1);
  c.resizeFormatsPopUp.select(on ? 1 : 0);
  c.resizeFormatsPopUp.enabled = !on;
  state_.lastSelectedFormat = on ? 1 : 0;
  services_.refreshLivePreview();
}

void ConverterForm::updateFileURLTextFieldWithURL(const std::optional<std::string>& folder) {
  if (!folder) return;
  controls.fileURLTextField.text = *folder;
  state_.fileURLForSaving = controls.fileURLTextField.text;
}

void ConverterForm::updateFileURLFrom(ProcessingView* chooser, std::function<void()> shown) {
  if (state_.saveWithStoredFileURL != 1) return;
  const std::shared_ptr<SandboxFolderAccess> access = SandboxFolderAccess::fileAccess();
  const bool accepted = access->accessFilePath(
      std::nullopt,
      [this, access, shown = std::move(shown)] {
        const std::optional<std::string> folder = access->filePathFromOpenFile();
        foundation::MainLoop::runSync([&] {
          updateFileURLTextFieldWithURL(folder);
          if (shown) shown();
        });
      },
      false, true, true, chooser);
  // A folder that cannot be written is not stored; the user learns why.
  if (!accepted && chooser) {
    if (const std::optional<SandboxFolderAccess::RefusedFolder> refused = access->refusedFolder())
      chooser->showAlertSheet(kAlertFolderNotUsable, refused->path + ": " + refused->failure.describe());
  }
}

void ConverterForm::setParagraphStyleFor() {
  controls.infoGlobalTextField.text = kFirstUseText;
}

}  // namespace velumar
