#pragma once
// The three filter slots of the Modify tab: each a filter pop-up, an
// Options toggle and a popover holding the slot's labels, sliders, text
// fields, circular slider and colour wells, placed as the slot's layout
// wants them. The widgets show the controls model; edits go through
// FilterValues.

#include <QWidget>
#include <array>

#include "presets/filter_values.h"

class QAbstractSlider;
class QComboBox;
class QLabel;
class QLineEdit;

namespace ui {
class ColorWell;
class CustomButton;
class DoubleDial;
class DoubleSlider;
class Popover;
}  // namespace ui

namespace velumar {

class ControlBinder;

class FilterSlotsView : public QWidget {
  Q_OBJECT

 public:
  FilterSlotsView(ConverterControls& controls, ControlBinder& binder, FilterValues& values,
                  QWidget* parent = nullptr);
  ~FilterSlotsView() override;

  ui::Popover* popover(std::size_t slot) const { return slots_[slot].popover; }

 private:
  struct Slot {
    ui::Popover* popover = nullptr;
    QWidget* content = nullptr;
    ui::CustomButton* button = nullptr;
  };
  void buildSlot(std::size_t slot);
  void bindSlider(QAbstractSlider* widget, std::size_t control);
  void showSlot(std::size_t slot);

  ConverterControls& controls_;
  ControlBinder& binder_;
  FilterValues& values_;
  std::array<Slot, kFilterSlotCount> slots_;
  std::array<QLabel*, kOptionFieldCount> labels_{};
  std::array<QLineEdit*, kOptionFieldCount> fields_{};
  std::array<QWidget*, kOptionControlCount> controlWidgets_{};
  bool dragging_ = false;
};

}  // namespace velumar
