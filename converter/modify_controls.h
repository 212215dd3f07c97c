#pragma once
// The Modify tab's filter and effect controls: the filter slots with the
// example image and undo/redo of their values, the tone curves, the face,
// composite, depth, tiny-planet and LUT options, the watermark controls and
// the position pickers. It builds their widgets for the converter view,
// binds them to the controls model and handles the notifications the wells
// and pickers post. Preview requests go through the window services'
// refreshLivePreview.

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/foundation/notification_center.h"
#include "presets/converter_form.h"
#include "presets/filter_values.h"

class QAbstractButton;
class QAction;
class QWidget;

namespace velumar {

class ControlBinder;
class ExampleImageWell;
class FilterSlotsView;
class LUTWellView;
class PictureWellView;
class PositionPickerView;
class ToneCurveView;
class PreviewImageView;

class ModifyControls : public QObject {
  Q_OBJECT

 public:
  // parent: the view the widgets belong to (not the owner).
  ModifyControls(ConverterForm& form, ControlBinder& binder, ConverterWindowServices& window,
                 QWidget* parent);
  ~ModifyControls() override;

  // ---- Widgets for the view's pages and popovers --------------------------------
  // The Modify tab's inner pages "Transform" (the page given), "Filters" and
  // "Watermark"; choosing either of the latter runs leavingTransform.
  QWidget* buildInnerTabs(QWidget* transformPage, std::function<void()> leavingTransform);
  QWidget* buildFilterSection();
  QWidget* buildAdjustmentRow();
  QWidget* buildWatermarkSection();
  QWidget* buildFaceOptions();
  QWidget* buildCompositeOptions();
  QWidget* buildDepthOptions();
  QWidget* buildTinyPlanetOptions();
  QWidget* buildLUTOptions();
  QWidget* buildCurvesPanel();
  QWidget* buildCropPicker();

  FilterValues& filterValues() { return filterValues_; }
  // The application's font panel, opened by the "Font Panel" button and
  // hidden when the text watermark is switched off.
  std::function<void()> openFontPanel;
  std::function<void()> hideFontPanel;
  // The Watermark page's "Preview" button was pressed.
  std::function<void(QAbstractButton* sender)> showWatermarkPreview;
  ExampleImageWell* exampleWell() const { return exampleWell_; }

  // The Edit menu's Undo and Redo follow the stacks.
  void setUndoActions(QAction* undo, QAction* redo);
  void undoFrom();
  void redoFrom();
  void updateUndoActions();

  // The example image from the three slots, filtered again at once.
  void updateImagePreview();
  // The picture the preview shows becomes the example's source (nullptr:
  // the placeholder).
  void showExampleOf(const std::shared_ptr<const raster::ImageSet>& picture);

  // The preview window's view: it draws the watermarks the controls set
  // and the crop while the crop picker is dragged. Not owned.
  void setPreviewView(PreviewImageView* preview);
  // Hands the watermark settings to the preview view (nothing without one).
  void updatePreviewViewAndUpdateText(bool updateText, bool updateImage, bool controlVisible);

 private:
  void observeNotifications();
  void refreshPreview();
  void updateToneCurveFilterFrom(const ToneCurveView& view);
  void resetToneCurve(ToneCurveView& view);
  QWidget* sliderRow(const char* name, Slider& slider, void (ModifyControls::*changed)());
  void depthChanged();

  ConverterForm& form_;
  ControlBinder& binder_;
  ConverterWindowServices& window_;
  QWidget* parent_;
  FilterValues filterValues_;
  std::unique_ptr<CIFiltering> exampleFilters_;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
  ExampleImageWell* exampleWell_ = nullptr;
  LUTWellView* lutWell_ = nullptr;
  PictureWellView* compositeWell_ = nullptr;
  PictureWellView* watermarkWell_ = nullptr;
  std::vector<foundation::ObserverToken> observers_;
  QPointer<PreviewImageView> preview_;
};

}  // namespace velumar
