#pragma once
// The sheet that covers the preview window while a long list is sorted in
// the background: window-modal, with a busy indicator and no buttons; the
// window closes it once the new order is in.

#include <QDialog>

namespace velumar {

class SortingSheet : public QDialog {
  Q_OBJECT

 public:
  explicit SortingSheet(QWidget* window);

 protected:
  // Escape does not end the sort; only the window closes the sheet.
  void reject() override {}
};

}  // namespace velumar
