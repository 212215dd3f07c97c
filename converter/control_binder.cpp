#include "converter/control_binder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include "platform/ui/double_dial.h"
#include "platform/ui/double_slider.h"
#include "platform/ui/menu_title.h"
#include "platform/ui/pop_up_menu_button.h"
#include "platform/ui/view_alpha.h"

namespace velumar {

QString qText(const std::string& text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string stdText(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void setControlAlpha(QWidget* widget, double alpha) {
  ui::setViewAlpha(widget, alpha);
}

namespace {

// The model's item titles, and whether a widget already shows exactly them
// (items are rebuilt only when their titles changed).
QStringList itemTitles(const PopUp& model) {
  QStringList titles;
  for (const PopUpItem& item : model.items) titles << qText(item.title);
  return titles;
}

template <typename TitleAt>
bool showsTitles(int count, const TitleAt& titleAt, const QStringList& titles) {
  if (count != titles.size()) return false;
  for (int i = 0; i < count; ++i)
    if (titleAt(i) != titles[i]) return false;
  return true;
}

}  // namespace

void ControlBinder::userEdited(const Action& action) const {
  if (action) action();
  refresh();
}

void ControlBinder::refresh() const {
  for (const auto& show : refreshers_) show();
}

void ControlBinder::check(QCheckBox* widget, CheckBox& model, Action action) {
  widget->setTristate(false);
  QObject::connect(widget, &QCheckBox::clicked, widget, [this, &model, widget, action](bool on) {
    (void)widget;
    model.set(on);
    userEdited(action);
  });
  refreshers_.push_back([widget, &model] {
    const QSignalBlocker blocker(widget);
    widget->setCheckState(model.state == CheckState::On      ? Qt::Checked
                          : model.state == CheckState::Mixed ? Qt::PartiallyChecked
                                                             : Qt::Unchecked);
    widget->setEnabled(model.enabled);
    widget->setVisible(!model.hidden);
    setControlAlpha(widget, model.alpha);
  });
}

void ControlBinder::field(QLineEdit* widget, TextField& model, Action action) {
  hintedField(widget, model, nullptr, std::move(action));
}

void ControlBinder::hintedField(QLineEdit* widget, TextField& model, const char* hint, Action action) {
  if (hint) widget->setPlaceholderText(QString::fromUtf8(hint));
  // The text the widget shows for the model.
  const auto shown = [&model, hint] { return hint && model.text == hint ? std::string() : model.text; };
  QObject::connect(widget, &QLineEdit::editingFinished, widget, [this, &model, widget, action, shown] {
    // editingFinished also fires on focus loss after a refresh; only a
    // changed text is an edit.
    const std::string text = stdText(widget->text());
    if (text == shown()) return;
    model.text = text;
    userEdited(action);
  });
  refreshers_.push_back([widget, &model, shown] {
    const QSignalBlocker blocker(widget);
    const QString text = qText(shown());
    if (widget->text() != text) widget->setText(text);
    widget->setEnabled(model.enabled);
  });
}

void ControlBinder::slider(ui::DoubleSlider* widget, Slider& model, Action action) {
  QObject::connect(widget, &ui::DoubleSlider::valueEdited, widget, [this, &model, action](double value) {
    model.value = float(value);
    userEdited(action);
  });
  refreshers_.push_back([widget, &model] {
    const QSignalBlocker blocker(widget);
    widget->setRange(model.minValue, model.maxValue);
    widget->setDoubleValue(model.value);
    widget->setEnabled(model.enabled);
    widget->setVisible(!model.hidden);
  });
}

void ControlBinder::dial(ui::DoubleDial* widget, Slider& model, Action action) {
  QObject::connect(widget, &ui::DoubleDial::valueEdited, widget, [this, &model, action](double value) {
    model.value = float(double(model.minValue) + value);
    userEdited(action);
  });
  refreshers_.push_back([widget, &model] {
    const QSignalBlocker blocker(widget);
    widget->setTurn(double(model.maxValue) - double(model.minValue));
    widget->setDoubleValue(double(model.value) - double(model.minValue));
    widget->setEnabled(model.enabled);
    widget->setVisible(!model.hidden);
  });
}

void ControlBinder::popUp(QComboBox* widget, PopUp& model, Action action) {
  QObject::connect(widget, &QComboBox::activated, widget, [this, &model, action](int index) {
    model.selectedIndex = index;
    userEdited(action);
  });
  refreshers_.push_back([widget, &model] {
    const QSignalBlocker blocker(widget);
    const QStringList titles = itemTitles(model);
    if (!showsTitles(
            widget->count(), [widget](int i) { return widget->itemText(i); }, titles)) {
      widget->clear();
      for (int i = 0; i < titles.size(); ++i) {
        if (model.items[std::size_t(i)].separator)
          widget->insertSeparator(i);
        else
          widget->addItem(titles[i]);
      }
    }
    if (auto* items = qobject_cast<QStandardItemModel*>(widget->model())) {
      for (int i = 0; i < widget->count(); ++i) {
        QStandardItem* item = items->item(i);
        if (item && !model.items[std::size_t(i)].separator)
          item->setEnabled(model.items[std::size_t(i)].enabled);
      }
    }
    widget->setCurrentIndex(int(model.selectedIndex));
    widget->setEnabled(model.enabled);
  });
}

void ControlBinder::popUp(ui::PopUpMenuButton* widget, PopUp& model, Action action) {
  QObject::connect(widget, &ui::PopUpMenuButton::activated, widget, [this, &model, action](int index) {
    model.selectedIndex = index;
    userEdited(action);
  });
  refreshers_.push_back([widget, &model] {
    const QSignalBlocker blocker(widget);
    QStringList titles = itemTitles(model);
    for (QString& title : titles) title = ui::menuTitle(title);
    // Items are retitled in place when only titles changed, so their
    // submenus stay.
    if (widget->count() != titles.size()) widget->setItems(titles);
    for (int i = 0; i < widget->count(); ++i) widget->setItemTitle(i, titles[i]);
    for (int i = 0; i < widget->count(); ++i) widget->setItemEnabled(i, model.items[std::size_t(i)].enabled);
    widget->select(int(model.selectedIndex));
    widget->setEnabled(model.enabled);
  });
}

void ControlBinder::toggle(QAbstractButton* widget, ToggleButton& model, Action action) {
  widget->setCheckable(true);
  QObject::connect(widget, &QAbstractButton::clicked, widget, [this, &model, action](bool on) {
    model.on = on;
    userEdited(action);
  });
  refreshers_.push_back([widget, &model] {
    const QSignalBlocker blocker(widget);
    widget->setChecked(model.on);
    widget->setEnabled(model.enabled);
    setControlAlpha(widget, model.alpha);
  });
}

void ControlBinder::label(QLabel* widget, const TextField& model) {
  // Names typed by the user or taken from files: shown as they are.
  widget->setTextFormat(Qt::PlainText);
  refreshers_.push_back([widget, &model] { widget->setText(qText(model.text)); });
}

}  // namespace velumar
