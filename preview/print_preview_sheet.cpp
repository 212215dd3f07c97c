#include "preview/print_preview_sheet.h"

#include <QDialogButtonBox>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace velumar {

PrintPreviewSheet::PrintPreviewSheet(QPrinter& printer, int pageCount, std::function<void(QPrinter&)> draw,
                                     QWidget* window)
    : QDialog(window) {
  setObjectName("printPreviewSheet");
  setWindowTitle(tr("Print Preview"));
  setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  pages_ = new QPrintPreviewWidget(&printer, this);
  pages_->setObjectName("printPreviewPages");
  // One page fills the view; several are laid out side by side.
  pages_->setViewMode(pageCount > 1 ? QPrintPreviewWidget::AllPagesView
                                    : QPrintPreviewWidget::SinglePageView);
  pages_->setZoomMode(QPrintPreviewWidget::FitInView);
  connect(pages_, &QPrintPreviewWidget::paintRequested, this, [draw = std::move(draw)](QPrinter* target) {
    if (target != nullptr) draw(*target);
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("&Print"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addWidget(buttons);
  // A page in portrait or landscape, large enough to judge the print.
  QSize size(640, 600);
  if (const QScreen* screen = window != nullptr ? window->screen() : this->screen())
    size = size.boundedTo(screen->availableSize() * 0.9);
  resize(size);
}

}  // namespace velumar
