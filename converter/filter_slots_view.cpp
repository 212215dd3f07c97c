#include "converter/filter_slots_view.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "converter/control_binder.h"
#include "platform/ui/color_well.h"
#include "platform/ui/custom_button.h"
#include "platform/ui/double_dial.h"
#include "platform/ui/double_slider.h"
#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/popover.h"

namespace velumar {

namespace {

// A layout's content size and the origins (lower-left, y up) of the
// widgets it uses, by role.
struct Placement {
  QSizeF content;
  std::vector<std::pair<QPointF, QSizeF>> labels, sliders, fields;  // in k order of 3i+k used
  QPointF dial, firstWell, secondWell;
};

const QSizeF kLabel{160, 17}, kSlider{170, 21}, kField{50, 22}, kDial{28, 28}, kWell{44, 24};

Placement placementFor(SlotLayout layout) {
  switch (layout) {
    case SlotLayout::OneSlider:
      return {{280, 80}, {{{57, 43}, kLabel}}, {{{45, 20}, kSlider}}, {{{220, 20}, kField}}, {}, {}, {}};
    case SlotLayout::TwoSliders:
      return {{280, 122},
              {{{57, 90}, kLabel}, {{57, 43}, kLabel}},
              {{{45, 67}, kSlider}, {{45, 20}, kSlider}},
              {{{220, 67}, kField}, {{220, 20}, kField}},
              {},
              {},
              {}};
    case SlotLayout::ThreeSliders:
      return {{280, 174},
              {{{57, 137}, kLabel}, {{57, 90}, kLabel}, {{57, 43}, kLabel}},
              {{{45, 114}, kSlider}, {{45, 67}, kSlider}, {{45, 20}, kSlider}},
              {{{220, 114}, kField}, {{220, 67}, kField}, {{220, 20}, kField}},
              {},
              {},
              {}};
    case SlotLayout::Angle:
      return {{280, 80}, {{{18, 32}, kLabel}}, {}, {{{200, 28}, kField}}, {142, 25}, {}, {}};
    case SlotLayout::Color:
      return {{250, 80}, {{{18, 32}, kLabel}}, {}, {}, {}, {137, 29}, {}};
    case SlotLayout::ColorAndSlider:
      return {{280, 122},
              {{{18, 74}, kLabel}, {{57, 42}, kLabel}},
              {{{45, 19}, kSlider}},
              {{{220, 19}, kField}},
              {},
              {137, 71},
              {}};
    case SlotLayout::TwoColors:
      return {{250, 122}, {{{18, 74}, kLabel}, {{18, 23}, kLabel}}, {}, {}, {}, {137, 71}, {137, 20}};
    case SlotLayout::None:
      break;
  }
  return {{250, 80}, {}, {}, {}, {}, {}, {}};
}

void place(QWidget* widget, QPointF yUpOrigin, QSizeF size, double contentHeight) {
  widget->setGeometry(ui::flippedRect({yUpOrigin, size}, contentHeight).toRect());
}

QColor colorOf(const ColorWell& model) {
  return QColor::fromRgbF(float(model.rgba[0]), float(model.rgba[1]), float(model.rgba[2]),
                          float(model.rgba[3]));
}

}  // namespace

FilterSlotsView::FilterSlotsView(ConverterControls& controls, ControlBinder& binder, FilterValues& values,
                                 QWidget* parent)
    : QWidget(parent), controls_(controls), binder_(binder), values_(values) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  for (std::size_t slot = 0; slot < kFilterSlotCount; ++slot) {
    buildSlot(slot);
    PopUp* models[] = {&controls.filterTypePopUp0, &controls.filterTypePopUp1, &controls.filterTypePopUp2};
    auto* popUp = new QComboBox(this);
    popUp->setObjectName(QStringLiteral("filterTypePopUp%1").arg(slot));
    popUp->setMaxVisibleItems(24);
    binder.popUp(popUp, *models[slot], [this, slot] { values_.changeFilterTypeForSlot(slot); });
    grid->addWidget(new QLabel(QStringLiteral("Filter %1").arg(slot + 1), this), int(slot), 0);
    grid->addWidget(popUp, int(slot), 1);
    grid->addWidget(slots_[slot].button, int(slot), 2);
  }
  grid->setColumnStretch(1, 1);
}

// Popovers still shown when the window goes report nothing to a model that
// is gone.
FilterSlotsView::~FilterSlotsView() {
  for (Slot& s : slots_) disconnect(s.popover, nullptr, this, nullptr);
}

void FilterSlotsView::buildSlot(std::size_t slot) {
  FilterSlots& model = controls_.filterSlots;
  Slot& s = slots_[slot];
  s.content = new QWidget;
  s.content->setObjectName(QStringLiteral("optionsContent%1").arg(slot));
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t at = 3 * slot + k;
    labels_[at] = new QLabel(s.content);
    labels_[at]->setObjectName(QStringLiteral("labelSlider%1Options%2").arg(k).arg(slot));
    auto* slider = new ui::DoubleSlider(s.content);
    slider->setObjectName(QStringLiteral("slider%1Options%2").arg(k).arg(slot));
    bindSlider(slider, at);
    fields_[at] = new QLineEdit(s.content);
    fields_[at]->setObjectName(QStringLiteral("textField%1Options%2").arg(k).arg(slot));
    QLineEdit* field = fields_[at];
    connect(field, &QLineEdit::editingFinished, this, [this, field, at] {
      if (stdText(field->text()) == controls_.filterSlots.optionsTextFieldArray[at].text) return;
      values_.updateTextFieldValue(at, stdText(field->text()));
      binder_.refresh();
    });
  }
  auto* dial = new ui::DoubleDial(s.content);
  dial->setObjectName(QStringLiteral("circularSliderOptions%1").arg(slot));
  bindSlider(dial, 9 + slot);
  for (std::size_t at : {12 + slot, 15 + slot}) {
    auto* well = new ui::ColorWell(s.content);
    well->setObjectName(at < 15 ? QStringLiteral("colorWellOptions%1").arg(slot)
                                : QStringLiteral("colorWellFCOptions%1").arg(slot));
    connect(well, &ui::ColorWell::colorChosen, this, [this, at](const QColor& chosen) {
      controls_.optionsSliderArray[at].color.rgba = {chosen.redF(), chosen.greenF(), chosen.blueF(),
                                                     chosen.alphaF()};
      values_.updateSliderValue(true);
      binder_.refresh();
    });
    controlWidgets_[at] = well;
  }

  s.button = new ui::CustomButton(QStringLiteral("Options"));
  s.button->setObjectName(QStringLiteral("optionsPopOverButton%1").arg(slot));
  s.button->setFrames({5, 5, 90, 30}, {10, 10, 80, 20});
  s.popover = new ui::Popover(s.content, this);
  s.popover->setObjectName(QStringLiteral("optionsPopOver%1").arg(slot));
  s.popover->attachToButton(s.button);
  binder_.toggle(s.button, model.optionsButtonArray[slot], [this, slot] {
    controls_.filterSlots.popoverShown[slot] = controls_.filterSlots.optionsButtonArray[slot].on;
  });
  connect(s.popover, &ui::Popover::closed, this, [this, slot] {
    controls_.filterSlots.popoverShown[slot] = false;
    controls_.filterSlots.optionsButtonArray[slot].on = false;
  });
  binder_.shows([this, slot] { showSlot(slot); });
}

void FilterSlotsView::bindSlider(QAbstractSlider* widget, std::size_t control) {
  controlWidgets_[control] = widget;
  auto edited = [this, widget, control](double value) {
    controls_.optionsSliderArray[control].slider.value = float(value);
    // A drag follows every value and is one undo step when released.
    dragging_ = widget->isSliderDown();
    values_.updateSliderValue(!dragging_);
    binder_.refresh();
  };
  if (auto* slider = qobject_cast<ui::DoubleSlider*>(widget))
    connect(slider, &ui::DoubleSlider::valueEdited, this, edited);
  if (auto* dial = qobject_cast<ui::DoubleDial*>(widget))
    connect(dial, &ui::DoubleDial::valueEdited, this, edited);
  connect(widget, &QAbstractSlider::sliderReleased, this, [this] {
    if (!dragging_) return;
    dragging_ = false;
    values_.addArrayValuesToFilterValuesAndUpdateUndo(true);
  });
}

void FilterSlotsView::showSlot(std::size_t slot) {
  const FilterSlots& model = controls_.filterSlots;
  Slot& s = slots_[slot];
  const Placement placement = placementFor(model.layout[slot]);
  const double height = placement.content.height();
  s.content->setFixedSize(placement.content.toSize());
  // Widgets of the slot in the order the layout uses them.
  std::vector<std::size_t> rows;
  switch (model.layout[slot]) {
    case SlotLayout::OneSlider:
    case SlotLayout::ColorAndSlider:
      rows = {1};
      break;
    case SlotLayout::TwoSliders:
      rows = {0, 1};
      break;
    case SlotLayout::ThreeSliders:
      rows = {0, 1, 2};
      break;
    default:
      break;
  }
  std::vector<std::size_t> labelRows = rows;
  if (model.layout[slot] == SlotLayout::Angle || model.layout[slot] == SlotLayout::Color) labelRows = {1};
  if (model.layout[slot] == SlotLayout::ColorAndSlider || model.layout[slot] == SlotLayout::TwoColors)
    labelRows = {0, 1};
  for (std::size_t n = 0; n < labelRows.size() && n < placement.labels.size(); ++n)
    place(labels_[3 * slot + labelRows[n]], placement.labels[n].first, placement.labels[n].second, height);
  for (std::size_t n = 0; n < rows.size() && n < placement.sliders.size(); ++n) {
    place(controlWidgets_[3 * slot + rows[n]], placement.sliders[n].first, placement.sliders[n].second,
          height);
    place(fields_[3 * slot + rows[n]], placement.fields[n].first, placement.fields[n].second, height);
  }
  if (model.layout[slot] == SlotLayout::Angle) {
    place(controlWidgets_[9 + slot], placement.dial, kDial, height);
    place(fields_[3 * slot], placement.fields[0].first, placement.fields[0].second, height);
  }
  place(controlWidgets_[12 + slot], placement.firstWell, kWell, height);
  place(controlWidgets_[15 + slot], placement.secondWell, kWell, height);

  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t at = 3 * slot + k;
    labels_[at]->setText(qText(model.optionsLabelArray[at]));
    labels_[at]->setVisible(!model.optionsLabelArray[at].empty());
    const OptionTextField& field = model.optionsTextFieldArray[at];
    const QSignalBlocker blocker(fields_[at]);
    if (fields_[at]->text() != qText(field.text)) fields_[at]->setText(qText(field.text));
    fields_[at]->setEnabled(field.enabled);
    fields_[at]->setVisible(!field.hidden);
  }
  for (std::size_t at : {3 * slot, 3 * slot + 1, 3 * slot + 2, 9 + slot, 12 + slot, 15 + slot}) {
    const OptionControl& control = controls_.optionsSliderArray[at];
    QWidget* widget = controlWidgets_[at];
    const QSignalBlocker blocker(widget);
    if (auto* slider = qobject_cast<ui::DoubleSlider*>(widget)) {
      slider->setRange(control.slider.minValue, control.slider.maxValue);
      slider->setDoubleValue(control.slider.value);
    } else if (auto* dial = qobject_cast<ui::DoubleDial*>(widget)) {
      dial->setDoubleValue(control.slider.value);
    } else if (auto* well = qobject_cast<ui::ColorWell*>(widget)) {
      well->setColor(colorOf(control.color));
    }
    widget->setEnabled(control.enabled);
    widget->setVisible(!control.hidden);
  }
  // The model opens and closes the popover; the user's toggle reaches the
  // model first.
  if (!model.popoverShown[slot] && s.popover->isVisible()) s.popover->hide();
  if (model.popoverShown[slot] && !s.popover->isVisible()) s.popover->showRelativeTo(s.button);
  s.popover->adjustSize();
}

}  // namespace velumar
