// The adjustment, face, composite, depth, tiny-planet, LUT and watermark
// controls and the pickers.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <chrono>

#include "converter/control_binder.h"
#include "converter/image_wells.h"
#include "converter/modify_controls.h"
#include "converter/page_layout.h"
#include "converter/position_picker.h"
#include "platform/foundation/date_format.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/double_dial.h"
#include "platform/ui/double_slider.h"
#include "presets/filter_slot_table.h"
#include "presets/modify_control_rules.h"
#include "preview/preview_image_view.h"

namespace velumar {

namespace {

QPushButton* button(const char* title, const char* name) {
  return named(new QPushButton(QString::fromUtf8(title)), name);
}

}  // namespace

QWidget* ModifyControls::buildInnerTabs(QWidget* transformPage, std::function<void()> leavingTransform) {
  auto* tabs = named(new QTabWidget, "modifyTabs");
  tabs->addTab(transformPage, QStringLiteral("Transform"));
  auto* filters = new QWidget;
  auto* layout = new QVBoxLayout(filters);
  layout->addWidget(buildAdjustmentRow());
  layout->addWidget(buildFilterSection());
  layout->addStretch(1);
  tabs->addTab(filters, QStringLiteral("Filters"));
  tabs->addTab(buildWatermarkSection(), QStringLiteral("Watermark"));
  connect(tabs, &QTabWidget::currentChanged, this, [leavingTransform](int index) {
    if (index != 0 && leavingTransform) leavingTransform();
  });
  return tabs;
}

QWidget* ModifyControls::buildAdjustmentRow() {
  ConverterControls& c = form_.controls;
  auto* panel = new QWidget;
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  const struct {
    const char* title;
    const char* name;
    CheckBox& model;
    AdjustCheck sender;
  } checks[] = {{"Auto adjust", "autoAdjustCheck", c.autoAdjustCheck, AdjustCheck::AutoAdjust},
                {"Enhance", "enhanceCheck", c.enhanceCheck, AdjustCheck::Enhance},
                {"Red eyes", "redEyesCheck", c.redEyesCheck, AdjustCheck::RedEyes},
                {"Faces", "featuresCheck", c.featuresCheck, AdjustCheck::Features}};
  for (const auto& check : checks) {
    auto* box = named(new QCheckBox(QString::fromUtf8(check.title)), check.name);
    binder_.check(box, check.model, [this, sender = check.sender] {
      if (verifyAdjustCheckFrom(form_.controls, sender)) refreshPreview();
    });
    layout->addWidget(box);
  }
  auto* composite = named(new QComboBox, "compositePopUp");
  binder_.popUp(composite, c.compositePopUp, [this] {
    modifyCompositeStateFrom(form_.controls);
    refreshPreview();
  });
  layout->addWidget(new QLabel(QStringLiteral("Composite")));
  layout->addWidget(composite);
  layout->addStretch(1);
  return panel;
}

QWidget* ModifyControls::buildFaceOptions() {
  ConverterControls& c = form_.controls;
  auto* panel = new QWidget;
  auto* grid = new QGridLayout(panel);
  const struct {
    const char* title;
    const char* name;
    CheckBox& model;
    AdjustCheck sender;
  } checks[] = {
      {"Isolate faces", "isolateFacesCheck", c.isolateFacesCheck, AdjustCheck::IsolateFaces},
      {"Closed eyes", "eyeBlinkCheck", c.eyeBlinkCheck, AdjustCheck::EyeBlink},
      {"Auto adjust faces", "autoAdjustFacesCheck", c.autoAdjustFacesCheck, AdjustCheck::FaceEffect},
      {"Bigger bounds", "biggerBoundsFacesCheck", c.biggerBoundsFacesCheck, AdjustCheck::FaceEffect},
      {"Blur faces", "blurFacesCheck", c.blurFacesCheck, AdjustCheck::FaceEffect},
      {"Pixelate faces", "pixelateFacesCheck", c.pixelateFacesCheck, AdjustCheck::FaceEffect},
      {"Frame faces", "frameFacesCheck", c.frameFacesCheck, AdjustCheck::FaceEffect},
      {"Vignette", "vignetteFacesCheck", c.vignetteFacesCheck, AdjustCheck::FaceEffect},
      {"Blur background", "blurBackgroundFacesCheck", c.blurBackgroundFacesCheck, AdjustCheck::FaceEffect},
      {"Save face crops", "saveCropFacesCheck", c.saveCropFacesCheck, AdjustCheck::FaceEffect}};
  int at = 0;
  for (const auto& check : checks) {
    auto* box = named(new QCheckBox(QString::fromUtf8(check.title)), check.name);
    binder_.check(box, check.model, [this, sender = check.sender] {
      if (verifyAdjustCheckFrom(form_.controls, sender)) refreshPreview();
    });
    grid->addWidget(box, at / 2, at % 2);
    ++at;
  }
  return panel;
}

// A slider with its number field: the slider owns the value; a typed value
// within the range moves it, anything else shows the slider's value again.
QWidget* ModifyControls::sliderRow(const char* name, Slider& slider, void (ModifyControls::*changed)()) {
  auto* panel = new QWidget;
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* widget = named(new ui::DoubleSlider, name);
  widget->setMinimumWidth(150);
  binder_.slider(widget, slider, [this, changed] { (this->*changed)(); });
  layout->addWidget(widget);
  auto* field = new QLineEdit;
  field->setObjectName(
      QString::fromUtf8(name).replace(QStringLiteral("Slider"), QStringLiteral("TextField")));
  field->setFixedWidth(60);
  connect(field, &QLineEdit::editingFinished, this, [this, field, &slider, changed] {
    if (stdText(field->text()) == optionFieldText(double(slider.value))) return;
    if (typedSliderValue(slider, stdText(field->text()))) (this->*changed)();
    binder_.refresh();
  });
  binder_.shows([field, &slider] {
    const QString text = qText(optionFieldText(double(slider.value)));
    if (field->text() != text) field->setText(text);
    field->setEnabled(slider.enabled);
  });
  layout->addWidget(field);
  return panel;
}

void ModifyControls::depthChanged() {
  refreshPreview();
}

QWidget* ModifyControls::buildDepthOptions() {
  ConverterControls& c = form_.controls;
  auto* panel = new QWidget;
  auto* form = new QFormLayout(panel);
  const std::pair<const char*, CheckBox*> checks[] = {{"depthEnableCheck", &c.depthEnableCheck},
                                                      {"depthCompositingCheck", &c.depthCompositingCheck},
                                                      {"depthExportCheck", &c.depthExportCheck},
                                                      {"depthInvertCheck", &c.depthInvertCheck}};
  const char* titles[] = {"Depth effect", "Before compositing", "Export depth", "Invert"};
  auto* boxes = new QGridLayout;
  for (int i = 0; i < 4; ++i) {
    auto* box = named(new QCheckBox(QString::fromUtf8(titles[i])), checks[i].first);
    binder_.check(box, *checks[i].second, [this] { depthChanged(); });
    boxes->addWidget(box, i / 2, i % 2);
  }
  form->addRow(boxes);
  form->addRow("Slope", sliderRow("depthSlopeSlider", c.depthSlopeSlider, &ModifyControls::depthChanged));
  form->addRow("Width", sliderRow("depthWidthSlider", c.depthWidthSlider, &ModifyControls::depthChanged));
  form->addRow("Focal point",
               sliderRow("depthFocalPointSlider", c.depthFocalPointSlider, &ModifyControls::depthChanged));
  auto* intensity = named(new ui::DoubleSlider, "depthIntensitySlider");
  binder_.slider(intensity, c.depthIntensitySlider, [this] { depthChanged(); });
  form->addRow("Intensity", intensity);
  form->addRow("Blur", sliderRow("depthBlurBackgroundSlider", c.depthBlurBackgroundSlider,
                                 &ModifyControls::depthChanged));
  form->addRow("Black", sliderRow("depthBlackBackgroundSlider", c.depthBlackBackgroundSlider,
                                  &ModifyControls::depthChanged));
  auto* reset = button("Reset", "resetDepthButton");
  connect(reset, &QPushButton::clicked, this, [this] {
    resetDepthState(form_.controls);
    binder_.refresh();
    refreshPreview();
  });
  form->addRow(reset);
  return panel;
}

QWidget* ModifyControls::buildTinyPlanetOptions() {
  ConverterControls& c = form_.controls;
  auto* panel = new QWidget;
  auto* form = new QFormLayout(panel);
  auto* on = named(new QCheckBox("Tiny planet"), "tinyPlanetCheck");
  auto* invert = named(new QCheckBox("Invert"), "tinyPlanetInvertCheck");
  binder_.check(on, c.tinyPlanetCheck, [this] { depthChanged(); });
  binder_.check(invert, c.tinyPlanetInvertCheck, [this] { depthChanged(); });
  form->addRow(row({on, invert}));
  form->addRow("Scale",
               sliderRow("tinyPlanetScaleSlider", c.tinyPlanetScaleSlider, &ModifyControls::depthChanged));
  form->addRow("Factor",
               sliderRow("tinyPlanetFactorSlider", c.tinyPlanetFactorSlider, &ModifyControls::depthChanged));
  form->addRow("Angle",
               sliderRow("tinyPlanetAngleSlider", c.tinyPlanetAngleSlider, &ModifyControls::depthChanged));
  form->addRow("Fusion",
               sliderRow("tinyPlanetFusionSlider", c.tinyPlanetFusionSlider, &ModifyControls::depthChanged));
  auto* reset = button("Reset", "resetTinyPlanetButton");
  connect(reset, &QPushButton::clicked, this, [this] {
    resetTinyPlanetState(form_.controls);
    binder_.refresh();
    refreshPreview();
  });
  form->addRow(reset);
  return panel;
}

QWidget* ModifyControls::buildLUTOptions() {
  ConverterControls& c = form_.controls;
  auto* panel = new QWidget;
  auto* layout = new QVBoxLayout(panel);
  lutWell_ = named(new LUTWellView(c.lutView), "lutView");
  lutWell_->setFixedSize(200, 200);
  layout->addWidget(lutWell_);
  auto* import = button("Choose...", "importLUTButton");
  auto* remove = button("Remove", "removeLUTButton");
  connect(import, &QPushButton::clicked, lutWell_, &LUTWellView::importLUTFrom);
  connect(remove, &QPushButton::clicked, this, [this] {
    ConverterControls& controls = form_.controls;
    if (!controls.lutView.cubeData) return;
    controls.lutView.resetOriginalImage();
    form_.lutFilter = nullptr;
    form_.engine().setLutFilter(nullptr);
    lutWell_->update();
    refreshPreview();
  });
  layout->addLayout(row({import, remove}));
  auto* intensity = named(new ui::DoubleSlider, "lutIntensitySlider");
  binder_.slider(intensity, c.lutIntensitySlider, [this] {
    form_.engine().lutIntensity = double(form_.controls.lutIntensitySlider.value);
    refreshPreview();
  });
  layout->addLayout(row({new QLabel(QStringLiteral("Intensity")), intensity}));
  binder_.shows([this] { lutWell_->update(); });
  return panel;
}

QWidget* ModifyControls::buildCompositeOptions() {
  ConverterControls& c = form_.controls;
  auto* panel = new QWidget;
  auto* grid = new QGridLayout(panel);
  using Box = ConverterForm::CompositeTypeBox;
  auto* filtered = named(new QCheckBox("Over the filtered image"), "compositeTypeFilteredCheck");
  auto* image = named(new QCheckBox("Over the image"), "compositeTypeImageCheck");
  binder_.check(filtered, c.compositeTypeFilteredCheck, [this] { form_.compositeModeFrom(Box::Filtered); });
  binder_.check(image, c.compositeTypeImageCheck, [this] { form_.compositeModeFrom(Box::Image); });
  grid->addLayout(row({filtered, image}), 0, 0, 1, 2);
  compositeWell_ = named(
      new PictureWellView(c.compositeDragAndDropView, form_.engine(),
                          {"compositeImageDragAndDrop", "Composite image", "Select composite image.", true}),
      "compositeDragAndDropView");
  compositeWell_->setFixedSize(100, 100);
  auto* picker = named(new PositionPickerView(c.compositePositionView, "compositeImagePosition"),
                       "compositePositionView");
  grid->addWidget(compositeWell_, 1, 0);
  grid->addWidget(picker, 1, 1);
  auto* add = button("Choose...", "addCompositeImageButton");
  auto* remove = button("Remove", "removeCompositeImageButton");
  connect(add, &QPushButton::clicked, compositeWell_, &PictureWellView::importImageFrom);
  connect(remove, &QPushButton::clicked, this, [this] {
    ImageWell& well = form_.controls.compositeDragAndDropView;
    if (!well.hasFullSizeImage() && !form_.engine().compositeCIInputImage) return;
    well.resetOriginalImage();
    form_.engine().compositeCIInputImage = nullptr;
    binder_.refresh();
    refreshPreview();
  });
  grid->addLayout(row({add, remove}), 2, 0, 1, 2);
  auto* opacity = named(new ui::DoubleSlider, "compositeOpacitySlider");
  auto* size = named(new ui::DoubleSlider, "compositePercentSlider");
  binder_.slider(opacity, c.compositeOpacitySlider, [this] {
    form_.engine().compositeImageOpacity = double(form_.controls.compositeOpacitySlider.value);
    refreshPreview();
  });
  binder_.slider(size, c.compositePercentSlider, [this] {
    form_.engine().compositeImageSize = double(form_.controls.compositePercentSlider.value);
    refreshPreview();
  });
  grid->addLayout(row({new QLabel(QStringLiteral("Opacity")), opacity}), 3, 0, 1, 2);
  grid->addLayout(row({new QLabel(QStringLiteral("Size")), size}), 4, 0, 1, 2);
  binder_.shows([this, picker, add, remove] {
    const ConverterControls& controls = form_.controls;
    compositeWell_->setAlpha(controls.compositeDragAndDropView.alpha);
    compositeWell_->showModel();
    picker->update();
    const bool live = controls.compositeDragAndDropView.acceptsDrops;
    for (QWidget* widget : {static_cast<QWidget*>(add), static_cast<QWidget*>(remove)}) {
      widget->setEnabled(live);
      setControlAlpha(widget, live ? 1.0 : 0.5);
    }
  });
  return panel;
}

QWidget* ModifyControls::buildCropPicker() {
  auto* picker =
      named(new PositionPickerView(form_.controls.cropPositionView, "cropImagePosition"), "cropPositionView");
  binder_.shows([picker] { picker->update(); });
  // The preview draws the crop while the centre is dragged here.
  connect(picker, &PositionPickerView::pointMoved, this, [this] {
    if (preview_) preview_->update();
  });
  return picker;
}

QWidget* ModifyControls::buildWatermarkSection() {
  ConverterControls& c = form_.controls;
  using From = ConverterForm::From;
  auto* panel = new QWidget;
  auto* columns = new QHBoxLayout(panel);

  auto* text = named(new QCheckBox("Text watermark"), "addWatermarkTextCheck");
  binder_.check(text, c.addWatermarkTextCheck, [this] {
    const bool on = form_.controls.addWatermarkTextCheck.isOn();
    form_.watermarkTextEnable(on);
    if (!on && hideFontPanel) hideFontPanel();
    window_.updatePreviewViewAndUpdateText(true, false, true);
  });
  auto* fontPanel = named(new ui::CustomButton(QStringLiteral("Font Panel")), "textPanelButton");
  fontPanel->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
  connect(fontPanel, &QAbstractButton::clicked, this, [this, fontPanel] {
    fontPanel->setChecked(false);
    if (openFontPanel) openFontPanel();
  });
  binder_.shows([this, fontPanel] {
    const bool live = form_.controls.addWatermarkTextCheck.isOn();
    fontPanel->setEnabled(live);
    setControlAlpha(fontPanel, live ? 1.0 : 0.5);
  });
  auto* words = named(new QLineEdit, "watermarkTextField");
  binder_.field(words, c.watermarkTextField, [this] {
    form_.engine().watermarkDrawString = form_.controls.watermarkTextField.text;
    window_.updatePreviewViewAndUpdateText(true, false, true);
  });
  auto* date = named(new QCheckBox("Date"), "addWatermarkDateCheck");
  binder_.check(date, c.addWatermarkDateCheck, [this] {
    ConverterControls& controls = form_.controls;
    const bool on = controls.addWatermarkDateCheck.isOn();
    controls.watermarkTextField.enabled = !on;
    controls.watermarkDatePopUp.enabled = on;
    window_.updatePreviewViewAndUpdateText(true, false, true);
  });
  auto* dateStyle = named(new QComboBox, "watermarkDatePopUp");
  // Long dates show in full in the list, not by widening the page.
  dateStyle->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  dateStyle->setMinimumContentsLength(12);
  // The four date styles are titled with today's date in each of them, as
  // the user's locale writes it.
  const foundation::Date today = std::chrono::system_clock::now();
  for (std::size_t style = 0; style < c.watermarkDatePopUp.items.size() && style < 4; ++style) {
    std::string title = foundation::localizedDateString(today, (long long)style + 1);
    if (!title.empty()) c.watermarkDatePopUp.items[style].title = std::move(title);
  }
  binder_.popUp(dateStyle, c.watermarkDatePopUp,
                [this] { window_.updatePreviewViewAndUpdateText(true, false, true); });
  auto* textAngle = named(newAngleDial(), "angleTextSlider");
  auto* textAngleField = named(new QLineEdit, "angleTextTextField");
  textAngleField->setFixedWidth(60);
  // The angles reach the preview view as every other watermark setting does.
  binder_.dial(textAngle, c.angleTextSlider, [this] {
    form_.readTextAngleWithSender(From::Slider);
    window_.updatePreviewViewAndUpdateText(false, false, true);
  });
  binder_.field(textAngleField, c.angleTextTextField, [this] {
    form_.readTextAngleWithSender(From::Field);
    window_.updatePreviewViewAndUpdateText(false, false, true);
  });
  auto* obliqueness = named(new ui::DoubleSlider, "obliquenessTextSlider");
  auto* textOpacity = named(new ui::DoubleSlider, "opacityTextSlider");
  for (auto [widget, model] :
       {std::pair{obliqueness, &c.obliquenessTextSlider}, std::pair{textOpacity, &c.opacityTextSlider}})
    binder_.slider(widget, *model, [this] { window_.updatePreviewViewAndUpdateText(false, false, true); });
  auto* textPicker = named(new PositionPickerView(c.mousePositionViewText, "watermarkImagePosition"),
                           "mousePositionViewText");
  // Text watermark on the left, image watermark on the right; each
  // picker beside its sliders.
  auto* textSliders = new QFormLayout;
  textSliders->addRow("Angle", row({textAngle, textAngleField}));
  textSliders->addRow("Oblique", obliqueness);
  textSliders->addRow("Opacity", textOpacity);
  auto* textColumn = new QVBoxLayout;
  textColumn->addLayout(row({text, words}));
  textColumn->addLayout(row({date, dateStyle, fontPanel}));
  textColumn->addLayout(textSliders);
  textColumn->addWidget(textPicker);
  textColumn->addStretch(1);

  auto* image = named(new QCheckBox("Image watermark"), "addWatermarkImageCheck");
  binder_.check(image, c.addWatermarkImageCheck, [this] {
    form_.watermarkImageEnable(form_.controls.addWatermarkImageCheck.isOn());
    window_.updatePreviewViewAndUpdateText(false, true, true);
  });
  watermarkWell_ = named(
      new PictureWellView(c.watermarkImageView, form_.engine(),
                          {"watermarkImageDragAndDrop", "Watermark image", "Select watermark image.", false}),
      "watermarkImageView");
  watermarkWell_->setFixedSize(100, 100);
  auto* imagePicker = named(new PositionPickerView(c.mousePositionViewImage, "watermarkImagePosition"),
                            "mousePositionViewImage");
  auto* imageAngle = named(newAngleDial(), "angleImageSlider");
  auto* imageAngleField = named(new QLineEdit, "angleImageTextField");
  imageAngleField->setFixedWidth(60);
  binder_.dial(imageAngle, c.angleImageSlider, [this] {
    form_.readImageAngleWithSender(From::Slider);
    window_.updatePreviewViewAndUpdateText(false, false, true);
  });
  binder_.field(imageAngleField, c.angleImageTextField, [this] {
    form_.readImageAngleWithSender(From::Field);
    window_.updatePreviewViewAndUpdateText(false, false, true);
  });
  auto* imageSize = named(new ui::DoubleSlider, "imageSizePercentSlider");
  auto* imageOpacity = named(new ui::DoubleSlider, "imageOpacitySlider");
  for (auto [widget, model] :
       {std::pair{imageSize, &c.imageSizePercentSlider}, std::pair{imageOpacity, &c.imageOpacitySlider}})
    binder_.slider(widget, *model, [this] { window_.updatePreviewViewAndUpdateText(false, false, true); });
  auto* add = button("Choose...", "addWatermarkImageButton");
  auto* remove = button("Remove", "removeWatermarkImageButton");
  connect(add, &QPushButton::clicked, watermarkWell_, &PictureWellView::importImageFrom);
  connect(remove, &QPushButton::clicked, this, [this] {
    ImageWell& well = form_.controls.watermarkImageView;
    if (!well.hasFullSizeImage()) return;
    well.resetOriginalImage();
    binder_.refresh();
    window_.updatePreviewViewAndUpdateText(false, true, true);
  });
  auto* imageSliders = new QFormLayout;
  imageSliders->addRow("Angle", row({imageAngle, imageAngleField}));
  imageSliders->addRow("Size", imageSize);
  imageSliders->addRow("Opacity", imageOpacity);
  auto* imageColumn = new QVBoxLayout;
  imageColumn->addLayout(row({image, add, remove}));
  imageColumn->addLayout(imageSliders);
  imageColumn->addLayout(row({watermarkWell_, imagePicker}));
  // Shows the watermarks on the preview window's picture.
  auto* preview = named(new ui::CustomButton(QStringLiteral("Preview")), "watermarkPreviewButton");
  preview->setCheckable(true);
  connect(preview, &QAbstractButton::clicked, this, [this, preview] {
    if (showWatermarkPreview)
      showWatermarkPreview(preview);
    else
      preview->setChecked(false);
  });
  imageColumn->addWidget(preview, 0, Qt::AlignRight);
  imageColumn->addStretch(1);
  columns->addLayout(textColumn);
  columns->addLayout(imageColumn);
  for (ui::DoubleSlider* slider : {obliqueness, textOpacity, imageSize, imageOpacity})
    slider->setMinimumWidth(70);
  textAngleField->setFixedWidth(50);
  imageAngleField->setFixedWidth(50);
  words->setMinimumWidth(90);
  binder_.shows([this, textPicker, imagePicker, add, remove] {
    const ConverterControls& controls = form_.controls;
    watermarkWell_->setAlpha(controls.watermarkImageView.alpha);
    watermarkWell_->showModel();
    textPicker->update();
    imagePicker->update();
    const bool live = controls.watermarkImageView.acceptsDrops;
    for (QWidget* widget : {static_cast<QWidget*>(add), static_cast<QWidget*>(remove)}) {
      widget->setEnabled(live);
      setControlAlpha(widget, live ? 1.0 : 0.5);
    }
  });
  return panel;
}

}  // namespace velumar
