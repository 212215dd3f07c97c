// What the controls model asks of the window.
#include <QAction>
#include <QEventLoop>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "converter/converter_view.h"
#include "converter/modify_controls.h"
#include "converter/open_with_applications.h"
#include "engine/imported_image.h"
#include "platform/desktop/applications.h"
#include "platform/foundation/files.h"
#include "platform/ui/menu_title.h"
#include "platform/ui/plain_text.h"
#include "platform/ui/pop_up_menu_button.h"
#include "session/output_names.h"

namespace velumar {

namespace {
constexpr int kOpenWithOtherApplication = 14;

// An application's icon as its desktop entry names it: a name of the
// user's icon theme, or else the file the desktop's folders hold.
QIcon desktopIcon(const std::string& icon) {
  if (icon.empty()) return {};
  if (icon.front() != '/')
    if (QIcon themed = QIcon::fromTheme(qText(icon)); !themed.isNull()) return themed;
  const std::string file = desktop::iconFilePath(icon);
  return file.empty() ? QIcon() : QIcon(qText(file));
}
}  // namespace

void ConverterView::titleOpenWithItems() {
  PopUp& popUp = form_->controls.openWithPopUp;
  if (openWithFixedTitles_.empty())
    for (const PopUpItem& item : popUp.items) openWithFixedTitles_.push_back(item.title);
  openWithIcons_.clear();
  for (const auto& [code, icon] : titleOpenWithItemsByProgram(popUp, openWithFixedTitles_, *engine_))
    openWithIcons_[int(code)] = desktopIcon(icon);
}

void ConverterView::showOpenWithIcons() const {
  if (!openWithButton_) return;
  for (int index = 0; index < openWithButton_->count(); ++index) {
    const auto icon = openWithIcons_.find(index);
    const QIcon shown = icon == openWithIcons_.end() ? QIcon() : icon->second;
    if (openWithButton_->itemIcon(index).cacheKey() != shown.cacheKey()) openWithButton_->setItemIcon(index, shown);
  }
}

void ConverterView::updateFilterValuesForPreset(ConverterControls&, const ImageInfo& preset) {
  modify_->filterValues().updateFilterValuesForPreset(preset);
}

void ConverterView::changeFilterToExampleImageFrom(ConverterControls&) {
  modify_->filterValues().changeFilterToExampleImage();
}

void ConverterView::addArrayValuesToFilterValuesAndUpdateUndo(ConverterControls&, bool undo) {
  modify_->filterValues().addArrayValuesToFilterValuesAndUpdateUndo(undo);
}

void ConverterView::updateApplicationsForOpenWithMenu() {
  std::vector<ApplicationMenuItem>& items = form_->controls.openWithApplications;
  items = velumar::updateApplicationsForOpenWithMenu(*engine_,
                                                     foundation::bundleResourcePath("exampleSmall.jpg"));
  QMenu* submenu = openWithButton_ ? openWithButton_->submenuOf(kOpenWithOtherApplication) : nullptr;
  if (!submenu) return;
  submenu->clear();
  for (const ApplicationMenuItem& item : items) {
    QAction* action = submenu->addAction(ui::menuTitle(qText(item.title)));
    if (const auto entry = engine_->appIDInfoArray.find(item.tag); entry != engine_->appIDInfoArray.end()) {
      const foundation::Value* path = entry->second.find("AppFullPath");
      if (path) action->setIcon(desktopIcon(desktop::applicationFromDesktopFile(path->stringOr("")).iconName()));
    }
    action->setCheckable(true);
    action->setData(qlonglong(item.tag));
    connect(action, &QAction::triggered, this, [this, tag = item.tag] { selectApplicationFrom(tag); });
  }
}

void ConverterView::selectApplicationFrom(std::int64_t tag) {
  ConverterControls& c = form_->controls;
  c.openWithPopUp.select(velumar::selectApplicationFrom(*engine_, c.openWithApplications, tag));
  if (QMenu* submenu = openWithButton_ ? openWithButton_->submenuOf(kOpenWithOtherApplication) : nullptr) {
    for (QAction* action : submenu->actions())
      action->setChecked(c.openWithPopUp.selectedIndex != 0 && action->data().toLongLong() == tag);
  }
  refreshControls();
}

void ConverterView::updatePreviewViewAndUpdateText(bool updateText, bool updateImage, bool controlVisible) {
  modify_->updatePreviewViewAndUpdateText(updateText, updateImage, controlVisible);
}

void ConverterView::updateFontPanel(const TextFont& font, const raster::TextAttributes& attributes) {
  if (fontPanelUpdater_) fontPanelUpdater_(font, attributes);
}

void ConverterView::refreshLivePreview() {
  updateImagePreviewForImage(false);
}

std::string ConverterView::exampleName() {
  return updateStringForExample(*this, "filename.jpg");
}

bool ConverterView::confirm(const std::string& message, const std::string& informativeText) {
  // The caller waits for the answer; the question is window-modal.
  QMessageBox question(QMessageBox::Question, qText(message), {}, QMessageBox::NoButton, window());
  ui::setPlainTexts(question, qText(message), qText(informativeText));  // they name presets
  QAbstractButton* ok = question.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
  question.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  question.setWindowModality(Qt::WindowModal);
  QEventLoop waiting;
  connect(&question, &QDialog::finished, &waiting, &QEventLoop::quit);
  question.open();
  waiting.exec();
  return question.clickedButton() == ok;
}

std::shared_ptr<raster::ImageSet> ConverterView::loadImage(const std::string& path) {
  return laterServices_.loadImage(path);
}

}  // namespace velumar
