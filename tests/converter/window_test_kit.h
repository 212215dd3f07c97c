#pragma once
// A converter window and the user's ways with its widgets: found by object
// name, typed into and left, picked from.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include "converter/converter_view.h"
#include "converter/converter_window.h"

namespace velumar::convertertest {

class WindowTest : public ::testing::Test {
 protected:
  ConverterView& view() { return *window_.converterView(); }
  ConverterControls& model() { return view().form().controls; }
  template <typename Widget>
  Widget* widget(const char* name) {
    auto* found = view().findChild<Widget*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  // Types into a field as a user does and leaves it.
  void type(const char* name, const QString& text) {
    QLineEdit* field = widget<QLineEdit>(name);
    field->setText(text);
    emit field->editingFinished();
  }
  // Picks a pop-up item as a user does.
  void pick(const char* name, int index) {
    QComboBox* popUp = widget<QComboBox>(name);
    popUp->setCurrentIndex(index);
    emit popUp->activated(index);
  }

  ConverterWindow window_;
};

}  // namespace velumar::convertertest
