#include "preview/sorting_sheet.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace velumar {

SortingSheet::SortingSheet(QWidget* window) : QDialog(window, Qt::Sheet) {
  setWindowModality(Qt::WindowModal);
  setObjectName("sortingSheet");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Sorting images…"), this));
  auto* busy = new QProgressBar(this);
  busy->setRange(0, 0);
  layout->addWidget(busy);
  setFixedSize(sizeHint().expandedTo(QSize(280, 0)));
}

}  // namespace velumar
