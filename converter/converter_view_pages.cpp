// The three option tabs: their widgets, each bound to its model control
// and, where the control has one, to its action.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <memory>

#include "converter/converter_view.h"
#include "converter/modify_controls.h"
#include "converter/page_layout.h"
#include "converter/resize_controls.h"
#include "engine/imported_image.h"
#include "platform/ui/color_well.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/double_slider.h"
#include "platform/ui/mouse_down_text_field.h"
#include "platform/ui/pop_up_menu_button.h"
#include "platform/ui/popover.h"
#include "session/rename_info.h"

namespace velumar {

namespace {

using From = ConverterForm::From;

QLineEdit* newField(const char* name, int width = 70) {
  auto* field = named(new QLineEdit, name);
  field->setFixedWidth(width);
  return field;
}

// The field takes the typing with its text selected, once the controls
// have shown the values the action set.
void selectForEditing(QLineEdit* field) {
  QTimer::singleShot(0, field, [field] {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
  });
}

}  // namespace

QWidget* ConverterView::buildBasicPage() {
  ConverterForm& f = *form_;
  ConverterControls& c = f.controls;
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);

  auto* method = named(new QComboBox, "resizeScalePopUp");
  auto* unit = named(new QComboBox, "resizeFormatsPopUp");
  auto* width = newField("resizeWTextField");
  auto* height = newField("resizeHTextField");
  auto* aspect = named(new QCheckBox("Keep aspect ratio"), "aspectRatioCheck");
  auto* original = named(new QCheckBox("Original size"), "fixedSizeCheck");
  binder_.popUp(method, c.resizeScalePopUp, [this, &f] {
    resizeScaleMethodFrom(f, state_);
    refreshLivePreview();
  });
  // Set by a change of unit: the width field's text is selected once the
  // fields show the new unit.
  auto selectWidth = std::make_shared<bool>(false);
  binder_.popUp(unit, c.resizeFormatsPopUp, [this, &f, selectWidth] {
    // Choosing the unit the fields are already written in changes nothing.
    if (f.controls.resizeFormatsPopUp.selectedIndex == state_.lastSelectedFormat) return;
    *selectWidth = selectResizeFormatFrom(f, state_);
    refreshLivePreview();
  });
  binder_.field(width, c.resizeWTextField, [this, &f] {
    f.readResizeFactorWithSender(f.controls.resizeWTextField);
    refreshLivePreview();
  });
  binder_.field(height, c.resizeHTextField, [this, &f] {
    f.readResizeFactorWithSender(f.controls.resizeHTextField);
    refreshLivePreview();
  });
  binder_.shows([width, selectWidth] {
    if (!*selectWidth) return;
    *selectWidth = false;
    width->setFocus(Qt::OtherFocusReason);
    width->selectAll();
  });
  binder_.check(aspect, c.aspectRatioCheck, [this, &f] {
    modifyAspectRatioFrom(f);
    refreshLivePreview();
  });
  binder_.check(original, c.fixedSizeCheck, [this, &f] {
    f.setFixedSizeFrom();
    refreshLivePreview();
  });
  auto* keepType = named(new QCheckBox("Keep original file type"), "keepOriginalFileTypeCheck");
  binder_.check(keepType, c.keepOriginalFileTypeCheck);
  form->addRow("Output", row({keepType}));
  form->addRow("Resize", row({method, unit}));
  auto* left = named(new QPushButton(QString::fromUtf8("⟲")), "rotateLeftButton");
  auto* right = named(new QPushButton(QString::fromUtf8("⟳")), "rotateRightButton");
  // The turns do nothing while the preview holds the unprocessed picture.
  const auto turn = [this, &f](void (*turnFrom)(ConverterForm&, ConverterState&)) {
    if (const LivePreviewTarget* shown = livePreview_->target(); shown && shown->isOriginalImage()) return;
    turnFrom(f, state_);
    refreshControls();
    refreshLivePreview();
  };
  connect(left, &QPushButton::clicked, this, [turn] { turn(rotateLeftFrom); });
  connect(right, &QPushButton::clicked, this, [turn] { turn(rotateRightFrom); });
  form->addRow("Size", row({width, new QLabel("×"), height, aspect, original}));
  form->addRow("Turn", row({left, right}));

  auto* dpiCheck = named(new QCheckBox("Resolution"), "dpiCheck");
  auto* dpi = newField("dpiTextField");
  binder_.check(dpiCheck, c.dpiCheck, [this, &f] {
    f.controls.dpiTextField.enabled = f.controls.dpiCheck.isOn();
    f.readDpiWithSender();
    refreshLivePreview();
  });
  binder_.field(dpi, c.dpiTextField, [this, &f] {
    f.readDpiWithSender();
    refreshLivePreview();
  });
  form->addRow("", row({dpiCheck, dpi, new QLabel("dpi")}));

  auto* quality = named(new ui::DoubleSlider, "jpegSlider");
  quality->setMinimumWidth(200);
  auto* qualityField = newField("jpegQualityTextField", 60);
  binder_.slider(quality, c.jpegSlider, [&f] { f.readJpegCompressionFrom(From::Slider); });
  binder_.field(qualityField, c.jpegQualityTextField, [&f] { f.readJpegCompressionFrom(From::Field); });
  form->addRow("JPEG quality", row({quality, qualityField}));

  auto* compression = named(new QComboBox, "tiffCompressionPopUp");
  binder_.popUp(compression, c.tiffCompressionPopUp);
  form->addRow("TIFF compression", row({compression}));

  auto* colorSpace = named(new QComboBox, "colorSpacePopUp");
  colorSpace->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  colorSpace->setMinimumContentsLength(24);
  binder_.popUp(colorSpace, c.colorSpacePopUp, [this, &f] {
    f.updateColorSpaceProfileForIndex(f.controls.colorSpacePopUp.selectedIndex);
    refreshLivePreview();
  });
  auto* cmykAlpha = named(new QCheckBox("Keep CMYK alpha"), "cmykAlphaCheck");
  binder_.check(cmykAlpha, c.cmykAlphaCheck);
  form->addRow("Colour space", row({colorSpace, cmykAlpha}));

  auto* depth = named(new QComboBox, "depthPopUp");
  auto* alpha = named(new QComboBox, "alphaPopUp");
  binder_.popUp(depth, c.depthPopUp);
  binder_.popUp(alpha, c.alphaPopUp);
  form->addRow("Depth", row({depth, alpha}));

  auto* rounded = named(new QCheckBox("Rounded corners"), "roundedCornersCheck");
  auto* shadow = named(new QCheckBox("Shadow"), "shadowCheck");
  binder_.check(rounded, c.roundedCornersCheck, [this] { refreshLivePreview(); });
  binder_.check(shadow, c.shadowCheck, [this] { refreshLivePreview(); });
  form->addRow("Icons", row({rounded, shadow}));

  auto* openWith = named(new ui::PopUpMenuButton, "openWithPopUp");
  binder_.popUp(openWith, c.openWithPopUp);
  openWithButton_ = openWith;
  binder_.shows([this] { showOpenWithIcons(); });
  // The applications of the last item are looked up once, the first time
  // the menu opens; the fixed items name the programs installed now.
  connect(openWith->menu(), &QMenu::aboutToShow, this, [this] {
    if (engine_->appIDInfoArray.empty()) updateApplicationsForOpenWithMenu();
    titleOpenWithItems();
    refreshControls();
  });
  form->addRow("Open with", row({openWith}));
  return page;
}

QWidget* ConverterView::buildModifyPage() {
  ConverterForm& f = *form_;
  ConverterControls& c = f.controls;
  modify_ = std::make_unique<ModifyControls>(f, binder_, *this, this);
  modify_->openFontPanel = [this] { openFontPanel(); };
  modify_->hideFontPanel = [this] { hideFontPanel(); };
  modify_->showWatermarkPreview = [this](QAbstractButton* sender) { openCloseWatermarkPreviewFrom(sender); };
  auto* page = new QWidget;
  auto* form = new QFormLayout(page);

  auto* angle = named(newAngleDial(), "imageTransformAngleSlider");
  auto* angleField = newField("imageTransformAngleTextField");
  binder_.dial(angle, c.imageTransformAngleSlider, [this, &f] {
    f.readImageTransformAngleWithSender(From::Slider);
    refreshLivePreview();
  });
  binder_.field(angleField, c.imageTransformAngleTextField, [this, &f] {
    f.readImageTransformAngleWithSender(From::Field);
    refreshLivePreview();
  });
  form->addRow("Rotation", row({angle, angleField}));

  auto* transform = new QWidget;
  auto* transformForm = new QFormLayout(transform);
  auto* cropX = newField("cropCenterXTextField");
  auto* cropY = newField("cropCenterYTextField");
  binder_.field(cropX, c.cropCenterXTextField, [this, &f] {
    f.readCropCenterWithSender(f.controls.cropCenterXTextField);
    refreshLivePreview();
  });
  binder_.field(cropY, c.cropCenterYTextField, [this, &f] {
    f.readCropCenterWithSender(f.controls.cropCenterYTextField);
    refreshLivePreview();
  });
  transformForm->addRow("Crop centre", row({cropX, cropY}));
  transformForm->addRow("", modify_->buildCropPicker());
  auto* stretch = named(new ui::DoubleSlider, "stretchAndCropStretchSlider");
  auto* crop = named(new ui::DoubleSlider, "stretchAndCropCropSlider");
  binder_.slider(stretch, c.stretchAndCropStretchSlider, [this] { refreshLivePreview(); });
  binder_.slider(crop, c.stretchAndCropCropSlider, [this] { refreshLivePreview(); });
  transformForm->addRow("Stretch", stretch);
  transformForm->addRow("Crop", crop);

  // The popovers of this page; the contents of all but the transform
  // options belong to the filter and effect controls.
  using P = PopoverId;
  auto* buttons = new QGridLayout;
  ModifyControls& m = *modify_;
  const std::tuple<P, const char*, QWidget*> popovers[] = {
      {P::TransformOptions, "Crop Options", transform},
      {P::FaceOptions, "Face Detector", m.buildFaceOptions()},
      {P::CompositeOptions, "Composite Options", m.buildCompositeOptions()},
      {P::Depth, "Depth Map", m.buildDepthOptions()},
      {P::TinyPlanet, "Tiny Planet", m.buildTinyPlanetOptions()},
      {P::LUT, "LUT", m.buildLUTOptions()},
  };
  int at = 0;
  for (const auto& [id, title, content] : popovers) {
    ui::CustomButton* button = makePopover(id, title, content);
    button->setObjectName(QStringLiteral("popoverButton%1").arg(int(id)));
    // The two options buttons say which options they open: wider labels.
    if (id == P::TransformOptions || id == P::CompositeOptions) button->setFrames({5, 5, 130, 30}, {10, 10, 120, 20});
    buttons->addWidget(button, at / 4, at % 4);
    ++at;
  }
  // The composite options live while a composite mode is chosen.
  if (QAbstractButton* options = popover(P::CompositeOptions)->button()) {
    binder_.toggle(options, c.popOverCompositeOptionsButton,
                   [&c] { c.compositeOptionsPopoverShown = c.popOverCompositeOptionsButton.on; });
    connect(popover(P::CompositeOptions), &ui::Popover::closed, this,
            [&c] { c.compositeOptionsPopoverShown = c.popOverCompositeOptionsButton.on = false; });
    binder_.shows([this, &c] {
      if (!c.compositeOptionsPopoverShown && popover(P::CompositeOptions)->isVisible())
        popover(P::CompositeOptions)->close();
    });
  }
  curvesPanel_ = new ui::Popover(m.buildCurvesPanel(), this);
  curvesPanel_->setWindowFlags(Qt::Tool);
  curvesPanel_->setWindowTitle(QStringLiteral("Curves"));
  curvesPanel_->setObjectName(QStringLiteral("panelCurves"));
  auto* curves = named(new ui::CustomButton("Curves"), "popoverCurvesButton");
  curves->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
  curvesPanel_->attachToButton(curves);
  buttons->addWidget(curves, at / 4, at % 4);
  ++at;
  // Renders the preview again and brings its window forward.
  auto* preview = named(new ui::CustomButton("Preview"), "transformPreviewButton");
  preview->setCheckable(true);
  connect(preview, &QAbstractButton::clicked, this, [this, preview] { updateImagePreviewTransformFrom(preview); });
  buttons->addWidget(preview, at / 4, at % 4);
  form->addRow(buttons);

  auto* border = named(new QCheckBox("Border"), "addBorderCheck");
  binder_.check(border, c.addBorderCheck, [this, &f] {
    f.changeBorderOptions(f.controls.addBorderCheck.isOn());
    refreshLivePreview();
  });
  auto* borders = new QHBoxLayout;
  borders->addWidget(border);
  const std::pair<const char*, TextField*> sides[] = {{"topBorderTextField", &c.topBorderTextField},
                                                      {"leftBorderTextField", &c.leftBorderTextField},
                                                      {"bottomBorderTextField", &c.bottomBorderTextField},
                                                      {"rightBorderTextField", &c.rightBorderTextField}};
  for (const auto& [name, side] : sides) {
    auto* field = newField(name, 56);
    // "topBorderTextField" is labelled "Top", and so on.
    QString title = QString::fromUtf8(name);
    title.truncate(title.indexOf(QStringLiteral("Border")));
    title[0] = title[0].toUpper();
    auto* label = new QLabel(title);
    label->setBuddy(field);
    borders->addWidget(label);
    TextField* model = side;
    binder_.field(field, *model, [this, &f, model] {
      f.readBorderStateWithSender(*model);
      refreshLivePreview();
    });
    borders->addWidget(field);
  }
  borders->addStretch(1);
  form->addRow("", borders);
  auto* opacity = named(new ui::DoubleSlider, "borderOpacitySlider");
  auto* color = named(new ui::ColorWell, "borderColorWell");
  binder_.slider(opacity, c.borderOpacitySlider, [this] { refreshLivePreview(); });
  connect(color, &ui::ColorWell::colorChosen, this, [this, &c](const QColor& chosen) {
    c.borderColorWell.rgba = {chosen.redF(), chosen.greenF(), chosen.blueF(), chosen.alphaF()};
    refreshControls();
    refreshLivePreview();
  });
  binder_.shows([color, &c] {
    const auto& [r, g, b, a] = c.borderColorWell.rgba;
    const QSignalBlocker blocker(color);
    color->setColor(QColor::fromRgbF(float(r), float(g), float(b), float(a)));
    color->setEnabled(c.borderColorWell.enabled);
  });
  auto* preserveRatio = named(new QCheckBox("Keep ratio"), "borderPreserveRatioCheck");
  binder_.check(preserveRatio, c.borderPreserveRatioCheck, [this] { refreshLivePreview(); });
  form->addRow("Border opacity", row({opacity, color, preserveRatio}));
  // Inner pages: this one, the filters and the watermarks; choosing one of
  // the latter two closes this page's popovers.
  return m.buildInnerTabs(page, [this] {
    closePopovers(
        {P::FaceOptions, P::CompositeOptions, P::TransformOptions, P::Depth, P::TinyPlanet, P::LUT});
  });
}

QWidget* ConverterView::buildFileOptionsPage() {
  ConverterForm& f = *form_;
  ConverterControls& c = f.controls;
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  using Saving = ConverterForm::SavingButton;

  auto* askEachTime = named(new QCheckBox("Ask each time"), "saveAskEachTimeCheck");
  auto* storeDirectory = named(new QCheckBox("Save to folder"), "saveStoreDirectoryCheck");
  // The third button picks asking too: it asks for the folder in a dialog.
  auto* asImage = named(new QCheckBox("Save as..."), "saveAsImageCheck");
  asImage->setToolTip("Asks for the output folder at each batch, as \u201cAsk each time\u201d does.");
  binder_.check(askEachTime, c.saveAskEachTimeCheck, [&f] { f.selectSavingMethodFrom(Saving::AskEachTime); });
  binder_.check(storeDirectory, c.saveStoreDirectoryCheck,
                [&f] { f.selectSavingMethodFrom(Saving::StoreDirectory); });
  binder_.check(asImage, c.saveAsImageCheck, [&f] { f.selectSavingMethodFrom(Saving::AsImage); });
  // The destination folder lives in the save-to popover.
  auto* saveTo = new QWidget;
  auto* saveToLayout = new QHBoxLayout(saveTo);
  auto* folder = named(new ui::MouseDownTextField, "fileURLTextField");
  folder->setReadOnly(true);
  folder->setMinimumWidth(260);
  binder_.hintedField(folder, c.fileURLTextField, kOutputFolderPlaceholder);
  auto* select = named(new QPushButton("Select..."), "selectFolderButton");
  const auto chooseFolder = [this] {
    // The chosen folder arrives later, from the folder access queue.
    form_->updateFileURLFrom(this, [self = QPointer<ConverterView>(this)] {
      if (self) self->refreshControls();
    });
    refreshControls();
  };
  connect(select, &QPushButton::clicked, this, chooseFolder);
  connect(folder, &ui::MouseDownTextField::clickedToChoose, this, chooseFolder);
  saveToLayout->addWidget(folder);
  saveToLayout->addWidget(select);
  ui::CustomButton* choose = makePopover(PopoverId::SaveTo, "Choose", saveTo);
  choose->setObjectName(QStringLiteral("popOverSaveToButton"));
  binder_.toggle(choose, c.popOverSaveToButton);
  connect(popover(PopoverId::SaveTo), &ui::Popover::closed, this, [&c] { c.popOverSaveToButton.on = false; });
  binder_.shows([choose, this] {
    // A button turned off by the model closes its popover.
    if (!choose->isChecked() && popover(PopoverId::SaveTo)->isVisible()) popover(PopoverId::SaveTo)->close();
  });
  grid->addLayout(row({askEachTime, storeDirectory, asImage, choose}), 0, 0, 1, 3);

  const struct {
    const char* title;
    const char* name;
    CheckBox* model;
    void (ConverterForm::*action)();
  } checks[] = {
      {"Keep metadata", "metadataCheck", &c.metadataCheck, &ConverterForm::setPreserveMetadataFrom},
      {"Overwrite files", "overwriteCheck", &c.overwriteCheck, &ConverterForm::setOverwriteFrom},
      {"Keep folder hierarchy", "maintainHierarchyCheck", &c.maintainHierarchyCheck,
       &ConverterForm::setMaintainHierarchyFrom},
      {"Search subfolders", "searchSubFoldersCheck", &c.searchSubFoldersCheck,
       &ConverterForm::searchSubFoldersFrom},
      {"Rename without processing", "renameIgnoreCheck", &c.renameIgnoreCheck,
       &ConverterForm::setRenameIgnoreFrom},
  };
  int line = 2;
  for (const auto& check : checks) {
    auto* box = named(new QCheckBox(check.title), check.name);
    binder_.check(box, *check.model, [&f, action = check.action] { (f.*action)(); });
    grid->addWidget(box, line / 2 + 1, line % 2);
    ++line;
  }
  int next = line / 2 + 2;

  const struct {
    const char* checkTitle;
    const char* checkName;
    CheckBox* check;
    void (ConverterForm::*checkAction)();
    const char* fieldName;
    TextField* field;
    const char* hint;
    void (ConverterForm::*fieldAction)();
  } renames[] = {
      {"Prefix", "addPrefixCheck", &c.addPrefixCheck, &ConverterForm::setCheckPrefixFrom, "prefixTextField",
       &c.prefixTextField, kPrefixPlaceholder, &ConverterForm::setPrefixStringFrom},
      {"Name", "modifyNameCheck", &c.modifyNameCheck, &ConverterForm::setCheckNameFrom, "nameTextField",
       &c.nameTextField, kNamePlaceholder, &ConverterForm::setNameStringFrom},
      {"Suffix", "addSuffixCheck", &c.addSuffixCheck, &ConverterForm::setCheckSuffixFrom, "suffixTextField",
       &c.suffixTextField, kSuffixPlaceholder, &ConverterForm::setSuffixStringFrom},
  };
  for (const auto& rename : renames) {
    auto* box = named(new QCheckBox(rename.checkTitle), rename.checkName);
    auto* field = named(new QLineEdit, rename.fieldName);
    // Turned on, the field takes the typing, its text selected.
    binder_.check(box, *rename.check, [&f, field, action = rename.checkAction, check = rename.check] {
      (f.*action)();
      if (check->isOn()) selectForEditing(field);
    });
    binder_.hintedField(field, *rename.field, rename.hint,
                        [&f, action = rename.fieldAction] { (f.*action)(); });
    grid->addWidget(box, next, 0);
    grid->addWidget(field, next, 1, 1, 2);
    ++next;
  }

  auto* number = named(new QComboBox, "numberSelectPopUp");
  auto* initial = newField("initialNumberTextField");
  auto* zeros = newField("zerosTextField", 50);
  // A numbering item puts the typing into the first number.
  binder_.popUp(number, c.numberSelectPopUp, [&f, &c, initial] {
    f.setInitialPopUpNumberFrom();
    if (c.numberSelectPopUp.selectedIndex > 0) selectForEditing(initial);
  });
  binder_.field(initial, c.initialNumberTextField, [&f] { f.setInitialNumberFrom(); });
  binder_.field(zeros, c.zerosTextField, [&f] { f.setZerosFrom(); });
  grid->addLayout(row({number, new QLabel("from"), initial, new QLabel("zeros"), zeros}), next++, 0, 1, 3);

  auto* date = named(new QComboBox, "dateSelectPopUp");
  binder_.popUp(date, c.dateSelectPopUp, [&f] { f.setFilanemeDateFrom(); });
  grid->addWidget(date, next++, 0, 1, 2);

  auto* example = named(new QLabel, "resultLabelString");
  binder_.label(example, c.resultLabelString);
  grid->addWidget(example, next++, 0, 1, 3);
  grid->setRowStretch(next, 1);
  return page;
}

}  // namespace velumar
