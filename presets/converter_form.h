#pragma once
// The converter window's option controls with the rules that tie them to
// presets: applying a preset, the default preset, reading the controls back
// into a settings record, the field normalisers, the enabling operations and
// the rename controls. Main thread only. Apply, default and the composite
// check boxes are refused while a batch runs: they replace engine inputs the
// batch reads.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/imported_image.h"
#include "engine/profile.h"
#include "platform/ci/filter.h"
#include "platform/foundation/number_formatter.h"
#include "presets/converter_controls.h"
#include "presets/converter_window_services.h"
#include "presets/preset_catalogue.h"
#include "session/converter_state.h"
#include "session/processing_view.h"
#include "session/rename_info.h"

namespace velumar {

class ConverterForm : public PresetControlsTarget {
 public:
  ConverterForm(ConverterState& state, ImportedImage& engine, ConverterWindowServices& services);

  ConverterControls controls;

  ConverterState& state() { return state_; }
  ImportedImage& engine() { return engine_; }
  ConverterWindowServices& services() { return services_; }

  // The converter's own lookup-table and tone-curve filters; the engine
  // holds them only while they are switched on.
  ci::FilterRef lutFilter;
  ci::FilterRef toneCurveFilter, redCurveFilter, greenCurveFilter, blueCurveFilter;
  // The output profile the colour-space pop-up selects; the filter engine
  // shows the preview through it.
  std::shared_ptr<Profile> outputProfile;

  // ---- Formats -------------------------------------------------------------
  std::string percentText(double fraction) const { return percent_.format(fraction); }
  std::string decimalText(double value) const { return decimal_.format(value); }
  std::string integerText(double value) const { return integer_.format(value); }
  std::string dpiText(double value) const { return dpi_.format(value); }
  // The decimal text followed by "°".
  std::string angleText(double degrees) const { return decimal_.format(degrees) + "°"; }
  const foundation::NumberFormatter& percentFormatter() const { return percent_; }
  const foundation::NumberFormatter& decimalFormatter() const { return decimal_; }
  const foundation::NumberFormatter& integerFormatter() const { return integer_; }
  // Circular sliders hold the shown angle minus 90 degrees, within 0 to 360.
  static double angleSliderValue(double angle);
  static double angleFromSlider(double sliderValue);

  // ---- Presets ---------------------------------------------------------------
  bool setPopOverViewFromPreset(std::size_t position) override;
  bool setDefaultPreset() override;
  // The two composite-type check boxes as one pair of radio buttons; the
  // clicked box has already toggled itself.
  enum class CompositeTypeBox { Filtered, Image };
  bool compositeModeFrom(CompositeTypeBox sender);
  // Normalises the option fields, then reads the controls into a record
  // (starting from a new preset's values) and hands the engine the
  // watermark image, the lookup table and the tone curves.
  ImageModifyInfo readCurrentPresetValues();
  // The rename switches: which rename fields are enabled and the selected
  // number and date items.
  RenameInfo setupRenameInfo() const;
  // Appends one entry per option control: its value when enabled, else "".
  void saveFilterValuesToArray(foundation::Array& values) const;

  // ---- Field normalisers -------------------------------------------------------
  enum class From { Field, Slider };
  void readJpegCompressionFrom(From sender);
  void readResizeFactorWithSender(TextField& sender);
  void readDpiWithSender();
  void readTextAngleWithSender(From sender);
  void readImageAngleWithSender(From sender);
  void readImageTransformAngleWithSender(From sender);
  void readBorderStateWithSender(TextField& sender);
  void readCropCenterWithSender(TextField& sender);

  // ---- Enabling ----------------------------------------------------------------
  void changeBorderOptions(bool enabled);
  void compositeImageEnable(bool enabled);
  void cropImageEnable(bool enabled);
  void stretchAndCropSlidersEnable(bool enabled);
  void enableImageTransformAngle(bool enabled);
  void watermarkTextEnable(bool enabled);
  void watermarkImageEnable(bool enabled);
  void updateDepthStateForIndex(std::int64_t conversionType);
  void enableColorSpaceItemsForIndexButton(std::int64_t conversionType);
  void enableSharingForIndexButton(std::int64_t conversionType);
  void updateColorSpaceProfileForIndex(std::int64_t item);
  // [cube size, cube data, path] builds the converter's and the engine's
  // colour-cube filter; nil or another shape removes both.
  bool updateLUTWithArray(const std::optional<foundation::Array>& lut);
  bool updateCompositeImageWithImage(const std::shared_ptr<raster::ImageSet>& image);

  // ---- Rename controls -------------------------------------------------------
  void setPrefixStringFrom();
  void setNameStringFrom();
  void setSuffixStringFrom();
  void setInitialPopUpNumberFrom();
  void setInitialNumberFrom();
  void setZerosFrom();
  void updateExampleLabel();

  // ---- Save and rename option controls -----------------------------------
  // The saving-method group; the clicked box has already toggled itself.
  enum class SavingButton { AskEachTime, StoreDirectory, AsImage };
  void selectSavingMethodFrom(SavingButton sender);
  // The saving-method checks, the save-to button and the folder field for
  // the stored-folder method (or ask each time).
  void setSavingMethodControls(bool storedFolder);
  // The file-option check boxes store their state in the converter.
  void searchSubFoldersFrom();
  void setOverwriteFrom();
  void setMaintainHierarchyFrom();
  void setRenameIgnoreFrom();
  void setPreserveMetadataFrom();
  // A rename check box enables its field.
  void setCheckPrefixFrom();
  void setCheckNameFrom();
  void setCheckSuffixFrom();
  void setFilanemeDateFrom();
  // The original-size check box; it turns itself off again under Lanczos
  // scaling.
  void setFixedSizeFrom();
  // nullopt: nothing; else the field and the stored folder take the path.
  void updateFileURLTextFieldWithURL(const std::optional<std::string>& folder);
  // With the stored-folder method, asks chooser for a folder; the choice
  // arrives on the main thread after this returns, and then shown runs
  // there. Nothing on cancel.
  void updateFileURLFrom(ProcessingView* chooser, std::function<void()> shown = {});
  // The first-use text of the information field.
  void setParagraphStyleFor();
  // Every option field re-parsed, clamped and rewritten, in the order a
  // read of the controls needs.
  void normalizeOptionFields();
  // The six rename actions in their order, so the converter's rename state
  // follows the fields.
  void commitRenameFields();

 private:
  void applyFileOptions(const ImageInfo& preset, const ImageModifyInfo& r);
  void applyOpenWith(const ImageInfo& preset, std::int64_t openWith);
  void applySize(const ImageModifyInfo& r);
  void applyWatermarks(const ImageInfo& preset, const ImageModifyInfo& r);
  void applyCurves(const ImageInfo& preset, const ImageModifyInfo& r);
  void readSize(ImageModifyInfo& r);
  void readAngleField(TextField& field, Slider& slider, From sender);
  void setRenameString(TextField& field, std::string& property, const char* placeholder);
  std::int64_t readRenameNumber(TextField& field, std::int64_t largest);

  ConverterState& state_;
  ImportedImage& engine_;
  ConverterWindowServices& services_;
  foundation::NumberFormatter percent_{foundation::NumberFormatter::Style::Percent, 0, 0, 1};
  foundation::NumberFormatter decimal_{foundation::NumberFormatter::Style::Decimal, 0, 2, 0.001};
  foundation::NumberFormatter integer_{foundation::NumberFormatter::Style::Decimal, 0, 0, 1};
  foundation::NumberFormatter dpi_{foundation::NumberFormatter::Style::Decimal, 1, 1, 0.01};
};

}  // namespace velumar
