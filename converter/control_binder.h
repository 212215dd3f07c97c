#pragma once
// Ties widgets to the controls model. A user's edit writes the widget's
// value into its model control, runs the control's action and shows the
// whole model again; showing the model (refresh) sets every widget with its
// signals blocked, so it never runs an action.

#include <QString>
#include <functional>
#include <vector>

#include "presets/converter_controls.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace ui {
class DoubleDial;
class DoubleSlider;
class PopUpMenuButton;
}  // namespace ui

namespace velumar {

class ControlBinder {
 public:
  using Action = std::function<void()>;

  void check(QCheckBox* widget, CheckBox& model, Action action = {});
  void field(QLineEdit* widget, TextField& model, Action action = {});
  // A field whose model text `hint` means "nothing": the widget shows it as
  // its greyed placeholder over an empty text, and an emptied widget hands
  // the model "" (its action puts the hint back).
  void hintedField(QLineEdit* widget, TextField& model, const char* hint, Action action = {});
  void slider(ui::DoubleSlider* widget, Slider& model, Action action = {});
  // A circular slider: one turn spans the model's range.
  void dial(ui::DoubleDial* widget, Slider& model, Action action = {});
  void popUp(QComboBox* widget, PopUp& model, Action action = {});
  void popUp(ui::PopUpMenuButton* widget, PopUp& model, Action action = {});
  void toggle(QAbstractButton* widget, ToggleButton& model, Action action = {});
  void label(QLabel* widget, const TextField& model);
  // Any other way of showing the model, run with the others in order.
  void shows(std::function<void()> refresher) { refreshers_.push_back(std::move(refresher)); }

  // Shows the model in every bound widget.
  void refresh() const;

 private:
  void userEdited(const Action& action) const;
  std::vector<std::function<void()>> refreshers_;
};

// The model's text as Qt text (UTF-8).
QString qText(const std::string& text);
std::string stdText(const QString& text);

// The opacity a control group is drawn with.
void setControlAlpha(QWidget* widget, double alpha);

}  // namespace velumar
