#include "app/open_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <vector>

namespace velumar {

namespace {

QAbstractButton* cancellingButton(QMessageBox& box) {
  if (QAbstractButton* escape = box.escapeButton()) return escape;
  for (QAbstractButton* button : box.buttons()) {
    const QMessageBox::ButtonRole role = box.buttonRole(button);
    if (role == QMessageBox::RejectRole || role == QMessageBox::NoRole) return button;
  }
  return nullptr;
}

}  // namespace

int closeOpenDialogsAsCancelled() {
  // Collected first: closing one may delete or open others.
  std::vector<QPointer<QDialog>> dialogs;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog != nullptr && dialog->isVisible())
      dialogs.emplace_back(dialog);
  }
  int closed = 0;
  for (const QPointer<QDialog>& dialog : dialogs) {
    if (dialog.isNull() || !dialog->isVisible()) continue;
    auto* box = qobject_cast<QMessageBox*>(dialog.data());
    QAbstractButton* cancel = box != nullptr ? cancellingButton(*box) : nullptr;
    if (cancel != nullptr) {
      cancel->click();
    } else {
      dialog->reject();
    }
    ++closed;
  }
  return closed;
}

}  // namespace velumar
