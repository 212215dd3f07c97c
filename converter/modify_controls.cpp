// The filter slots, the example image, undo and redo, the tone curves and
// the notifications of the wells and pickers.
#include "converter/modify_controls.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>

#include "converter/control_binder.h"
#include "converter/converter_view.h"
#include "converter/filter_slots_view.h"
#include "converter/image_wells.h"
#include "converter/position_picker.h"
#include "converter/preview_watermarks.h"
#include "converter/tone_curve_view.h"
#include "converter/well_images.h"
#include "filters/cifiltering.h"
#include "presets/modify_control_rules.h"

namespace velumar {

ModifyControls::ModifyControls(ConverterForm& form, ControlBinder& binder, ConverterWindowServices& window,
                               QWidget* parent)
    : form_(form),
      binder_(binder),
      window_(window),
      parent_(parent),
      filterValues_(form),
      exampleFilters_(std::make_unique<CIFiltering>()) {
  filterValues_.filtersChanged = [this] { updateImagePreview(); };
  filterValues_.undoStateChanged = [this] { updateUndoActions(); };
  observeNotifications();
}

ModifyControls::~ModifyControls() = default;

void ModifyControls::refreshPreview() {
  window_.refreshLivePreview();
}

// ---- Filter slots, example image, undo ----------------------------------------------

QWidget* ModifyControls::buildFilterSection() {
  auto* section = new QWidget;
  auto* layout = new QHBoxLayout(section);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new FilterSlotsView(form_.controls, binder_, filterValues_, section), 1);
  exampleWell_ = new ExampleImageWell(section);
  exampleWell_->setObjectName(QStringLiteral("customImageView"));
  layout->addWidget(exampleWell_, 0, Qt::AlignTop);
  return section;
}

void ModifyControls::updateImagePreview() {
  if (exampleWell_ && exampleWell_->backupImage()) {
    // The example is filtered through a filter engine of its own with the
    // engine's slot records, so it never waits for a batch's render.
    if (const std::shared_ptr<CIFiltering>& engine = form_.engine().ciPhotoFilters) {
      exampleFilters_->setFilterInfo0(engine->filterInfo0());
      exampleFilters_->setFilterInfo1(engine->filterInfo1());
      exampleFilters_->setFilterInfo2(engine->filterInfo2());
    }
    const ConverterControls& c = form_.controls;
    exampleWell_->setImage(filteredExample(*exampleWell_->backupImage(), *exampleFilters_,
                                           c.filterTypePopUp0.selectedIndex, c.filterTypePopUp1.selectedIndex,
                                           c.filterTypePopUp2.selectedIndex));
  }
  refreshPreview();
}

void ModifyControls::showExampleOf(const std::shared_ptr<const raster::ImageSet>& picture) {
  if (!exampleWell_) return;
  if (picture)
    exampleWell_->updateImageWithImage(picture);
  else
    exampleWell_->resetOriginalImage();
  updateImagePreview();
}

void ModifyControls::setUndoActions(QAction* undo, QAction* redo) {
  undoAction_ = undo;
  redoAction_ = redo;
  connect(undo, &QAction::triggered, this, [this] { undoFrom(); });
  connect(redo, &QAction::triggered, this, [this] { redoFrom(); });
  // A batch may have started since the stacks last changed.
  for (QObject* owner : undo->associatedObjects())
    if (auto* menu = qobject_cast<QMenu*>(owner))
      connect(menu, &QMenu::aboutToShow, this, [this] { updateUndoActions(); });
  updateUndoActions();
}

void ConverterView::setUndoActions(QAction* undo, QAction* redo) {
  modify_->setUndoActions(undo, redo);
}

void ModifyControls::undoFrom() {
  filterValues_.undo();
  binder_.refresh();
}

void ModifyControls::redoFrom() {
  filterValues_.redo();
  binder_.refresh();
}

void ModifyControls::updateUndoActions() {
  if (undoAction_) undoAction_->setEnabled(filterValues_.canUndo());
  if (redoAction_) redoAction_->setEnabled(filterValues_.canRedo());
}

// ---- Tone curves ------------------------------------------------------------------

void ModifyControls::updateToneCurveFilterFrom(const ToneCurveView& view) {
  ci::FilterRef* filters[] = {&form_.redCurveFilter, &form_.greenCurveFilter, &form_.blueCurveFilter,
                              &form_.toneCurveFilter};
  const ci::FilterRef& filter = *filters[std::size_t(view.toneCurveViewType())];
  if (filter) {
    const CurvePoints points = view.percentPoints();
    for (std::size_t i = 0; i < points.size(); ++i)
      filter->setValue("inputPoint" + std::to_string(i), ci::Vector{points[i].x, points[i].y});
  }
  refreshPreview();
}

void ModifyControls::resetToneCurve(ToneCurveView& view) {
  view.resetDefaultPercentPoints();
  updateToneCurveFilterFrom(view);
}

QWidget* ModifyControls::buildCurvesPanel() {
  ConverterControls& c = form_.controls;
  auto* panel = new QWidget;
  auto* grid = new QGridLayout(panel);
  const struct {
    ToneCurveView::Type type;
    const char* title;
    const char* name;
    CurveEditor& model;
    CheckBox& check;
  } curves[] = {{ToneCurveView::Master, "Curve", "curveView", c.curveView, c.toneCurveCheck},
                {ToneCurveView::Red, "Red", "redCurveView", c.redCurveView, c.toneCurveRedCheck},
                {ToneCurveView::Green, "Green", "greenCurveView", c.greenCurveView, c.toneCurveGreenCheck},
                {ToneCurveView::Blue, "Blue", "blueCurveView", c.blueCurveView, c.toneCurveBlueCheck}};
  int column = 0;
  for (const auto& curve : curves) {
    auto* view = new ToneCurveView(curve.model, curve.type, panel);
    view->setObjectName(QString::fromUtf8(curve.name));
    view->setFixedSize(120, 120);
    connect(view, &ToneCurveView::editFinished, this, [this, view] { updateToneCurveFilterFrom(*view); });
    auto* check = new QCheckBox(QString::fromUtf8(curve.title), panel);
    check->setObjectName(QStringLiteral("%1Check").arg(curve.name));
    // The check boxes are read when the next preview or conversion is
    // prepared.
    binder_.check(check, curve.check, [this] { refreshPreview(); });
    auto* reset = new QPushButton(QStringLiteral("Reset"), panel);
    reset->setObjectName(QStringLiteral("%1Reset").arg(curve.name));
    connect(reset, &QPushButton::clicked, this, [this, view] { resetToneCurve(*view); });
    binder_.shows([view] { view->update(); });
    grid->addWidget(check, 0, column);
    grid->addWidget(view, 1, column);
    grid->addWidget(reset, 2, column);
    ++column;
  }
  return panel;
}

// ---- Preview window ------------------------------------------------------------------

void ModifyControls::setPreviewView(PreviewImageView* preview) {
  preview_ = preview;
}

void ModifyControls::updatePreviewViewAndUpdateText(bool updateText, bool updateImage, bool controlVisible) {
  if (preview_)
    velumar::updatePreviewViewAndUpdateText(*preview_, form_.controls, form_.engine(), updateText,
                                            updateImage, controlVisible);
}

// ---- Notifications -----------------------------------------------------------------

void ModifyControls::observeNotifications() {
  foundation::NotificationCenter& center = foundation::NotificationCenter::defaultCenter();
  observers_.push_back(center.addObserver("LUTDragAndDrop", [this](const foundation::Notification& n) {
    const foundation::Array* lut = n.userInfo.asArray();
    if (lut && lut->size() == 3 && form_.updateLUTWithArray(*lut)) refreshPreview();
  }));
  observers_.push_back(
      center.addObserver("compositeImageDragAndDrop", [this](const foundation::Notification& n) {
        const auto* picture = std::any_cast<std::shared_ptr<raster::ImageSet>>(&n.payload);
        if (picture && form_.updateCompositeImageWithImage(*picture)) refreshPreview();
      }));
  observers_.push_back(
      center.addObserver("watermarkImageDragAndDrop", [this](const foundation::Notification&) {
        window_.updatePreviewViewAndUpdateText(false, true, true);
      }));
  observers_.push_back(center.addObserver("compositeImagePosition", [this](const foundation::Notification&) {
    form_.engine().setCompositeImageOrigin(form_.controls.compositePositionView.mousePoint);
    refreshPreview();
  }));
  observers_.push_back(center.addObserver("cropImagePosition", [this](const foundation::Notification&) {
    updateCropImageForPosition(form_.controls, form_.decimalFormatter());
    binder_.refresh();
    refreshPreview();
  }));
  observers_.push_back(center.addObserver("watermarkImagePosition", [this](const foundation::Notification&) {
    window_.updatePreviewViewAndUpdateText(false, false, true);
  }));
  // The example shows the picture the preview now shows, unprocessed.
  observers_.push_back(
      center.addObserver("previewNewImageFromDragAndDrop", [this](const foundation::Notification&) {
        if (!preview_) return;
        showExampleOf(preview_->isOriginalImage() ? nullptr : imageSetOf(preview_->rawImageBackup()));
      }));
}

}  // namespace velumar
