#include "converter/converter_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "converter/drop_zone_widget.h"
#include "converter/format_selection.h"
#include "converter/modify_controls.h"
#include "converter/open_with_applications.h"
#include "engine/imported_image.h"
#include "engine/installed_profile_lists.h"
#include "platform/ui/custom_button.h"

namespace velumar {

namespace {

constexpr std::array kFormatTitles = {"JPG",          "PNG", "BMP",      "TIFF",           "PDF",
                                      "ICNS",         "GIF", "High-Res", "One file",       "iOS iconset",
                                      "macOS(Xcode)", "@2X", "PSD",      "Multilayer PSD", "HEIF"};
static_assert(kFormatTitles.size() == ConverterView::kFormatCount, "a title for every output format");

// The window's engine, its installed-profile lists filled as the window
// wakes (the colour-space items are built from them).
std::shared_ptr<ImportedImage> wokenEngine() {
  auto engine = std::make_shared<ImportedImage>();
  PopUp fixedItems;
  setColorSpaceItems(fixedItems, {});
  std::vector<std::string> titles;
  for (const PopUpItem& item : fixedItems.items) titles.push_back(item.title);
  fillInstalledProfileLists(*engine, titles);
  return engine;
}

// The face and border controls as the window wakes, before any preset:
// face options off except isolation, all of them dead until faces are on;
// no border, its sides at 0 %, full opacity.
void setWakeUpDefaults(ConverterForm& form) {
  ConverterControls& c = form.controls;
  c.autoAdjustCheck.set(false);
  c.enhanceCheck.set(true);
  c.redEyesCheck.set(false);
  c.enhanceCheck.enabled = c.redEyesCheck.enabled = false;
  c.featuresCheck.set(false);
  for (CheckBox* face : {&c.isolateFacesCheck, &c.autoAdjustFacesCheck, &c.biggerBoundsFacesCheck,
                         &c.blurFacesCheck, &c.pixelateFacesCheck, &c.frameFacesCheck, &c.vignetteFacesCheck,
                         &c.blurBackgroundFacesCheck, &c.saveCropFacesCheck, &c.eyeBlinkCheck}) {
    face->set(face == &c.isolateFacesCheck);
    face->enabled = false;
  }
  c.addBorderCheck.set(false);
  for (TextField* side :
       {&c.topBorderTextField, &c.leftBorderTextField, &c.bottomBorderTextField, &c.rightBorderTextField})
    side->text = form.percentText(0);
  c.borderOpacitySlider.value = 1;
  form.changeBorderOptions(false);
}

// Buttons with longer titles get the larger body and label frames.
bool hasOneWordTitle(std::int64_t code) {
  return code <= ConversionType::GIF || code == ConversionType::PSD || code == ConversionType::HEIF;
}

}  // namespace

ConverterView::ConverterView(QWidget* parent)
    : QWidget(parent),
      self_(static_cast<ProcessingView*>(this), [](ProcessingView*) {}),
      engine_(wokenEngine()),
      form_(std::make_unique<ConverterForm>(state_, *engine_, *this)) {
  // The view's flags at creation.
  state_.maintainHierarchy = true;
  state_.removeURLCachesWhenDone = true;
  state_.searchInSubFolders = 1;
  state_.drawTextString = true;
  setAcceptDrops(true);
  setWakeUpDefaults(*form_);
  buildLayout();
  form_->setParagraphStyleFor();
  titleOpenWithItems();
  applyDefaultPreset();
}

bool ConverterView::applyPreset(std::size_t position) {
  const bool applied = form_->setPopOverViewFromPreset(position);
  disableUnavailableOpenWithItems(form_->controls.openWithPopUp, *engine_);
  refreshControls();
  return applied;
}

bool ConverterView::applyDefaultPreset() {
  const bool applied = form_->setDefaultPreset();
  disableUnavailableOpenWithItems(form_->controls.openWithPopUp, *engine_);
  refreshControls();
  return applied;
}

// self_ owns nothing; resetting it expires the session's weak links.
ConverterView::~ConverterView() = default;

void ConverterView::buildLayout() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  dropZone_ = new DropZoneWidget(this);
  layout->addWidget(dropZone_, 1);
  layout->addWidget(buildFormatButtons());
  layout->addWidget(buildTabs());
}

QWidget* ConverterView::buildFormatButtons() {
  auto* panel = new QWidget(this);
  auto* grid = new QGridLayout(panel);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  for (std::size_t code = 0; code < kFormatCount; ++code) {
    auto* button = new ui::CustomButton(QString::fromUtf8(kFormatTitles[code]), panel);
    button->setObjectName(QStringLiteral("formatButton%1").arg(code));
    button->setCheckable(true);
    if (hasOneWordTitle(std::int64_t(code))) {
      button->setLabelSize(13.0);
    } else {
      button->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
    }
    button->setMinimumWidth(100);
    connect(button, &QAbstractButton::clicked, this, [this, code] { setButtonFormatFrom(code); });
    binder_.toggle(button, form_->controls.buttonsArray[code]);
    buttonsArray_[code] = button;
    grid->addWidget(button, int(code / 5), int(code % 5));
  }
  return panel;
}

QWidget* ConverterView::buildTabs() {
  auto* panel = new QWidget(this);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 6, 0, 0);
  auto* bar = new QHBoxLayout;
  const char* titles[] = {"Basic", "Modify", "File options"};
  tabs_ = new QStackedWidget(panel);
  for (int index = 0; index < 3; ++index) {
    auto* button = new ui::CustomButton(QString::fromUtf8(titles[index]), panel);
    button->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
    button->setCheckable(true);
    connect(button, &QAbstractButton::clicked, this, [this, index] { showTab(index); });
    tabButtons_[std::size_t(index)] = button;
    bar->addWidget(button);
    QWidget* page = index == 0 ? buildBasicPage() : index == 1 ? buildModifyPage() : buildFileOptionsPage();
    page->setObjectName(QString::fromUtf8(titles[index]));
    tabs_->addWidget(page);
  }
  bar->addStretch(1);
  presetsButton_ = new ui::CustomButton(QStringLiteral("Presets"), panel);
  presetsButton_->setObjectName(QStringLiteral("popOverButton"));
  bar->addWidget(presetsButton_);
  showPreviewMenuButton_ = new ui::CustomButton(QStringLiteral("Preview"), panel);
  showPreviewMenuButton_->setObjectName(QStringLiteral("showPreviewMenuButton"));
  connect(showPreviewMenuButton_, &QAbstractButton::clicked, this, [this] {
    showPreviewMenuButton_->setChecked(false);
    openClosePreviewWithActivationFrom();
  });
  bar->addWidget(showPreviewMenuButton_);
  layout->addLayout(bar);
  layout->addWidget(tabs_);
  showTab(0);
  return panel;
}

void ConverterView::showTab(int index) {
  using P = PopoverId;
  if (index != 1) closeAllOptionsPopovers();
  if (index == 0) {
    closePopovers({P::SaveTo, P::FaceOptions, P::CompositeOptions, P::TransformOptions, P::Depth,
                   P::TinyPlanet, P::LUT});
  } else if (index == 1) {
    closePopovers({P::SaveTo});
  } else {
    closePopovers(
        {P::FaceOptions, P::CompositeOptions, P::TransformOptions, P::Depth, P::TinyPlanet, P::LUT});
  }
  tabs_->setCurrentIndex(index);
  for (std::size_t i = 0; i < tabButtons_.size(); ++i) tabButtons_[i]->setChecked(int(i) == index);
}

int ConverterView::currentTab() const {
  return tabs_->currentIndex();
}

void ConverterView::setButtonFormatFrom(std::size_t code) {
  if (velumar::setButtonFormatFrom(*form_, state_, std::int64_t(code))) refreshLivePreview();
  refreshControls();
}

}  // namespace velumar
