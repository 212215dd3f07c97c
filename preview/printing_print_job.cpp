#include "preview/printing_print_job.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <utility>

#include "platform/foundation/notification_center.h"
#include "platform/raster/bitmap_context.h"
#include "platform/ui/plain_text.h"
#include "preview/print_preview_sheet.h"

namespace velumar {

QRectF fittedPageRect(QSizeF picture, QRectF page) {
  if (picture.width() <= 0 || picture.height() <= 0) return {};
  const float factor =
      std::min(float(page.width() / picture.width()), float(page.height() / picture.height()));
  const QSizeF size(picture.width() * factor, picture.height() * factor);
  const float x = float((page.width() - size.width()) * 0.5 + page.x());
  const float y = float((page.height() - size.height()) * 0.5 + page.y());
  return {QPointF(x, y), size};
}

QRectF scaledPageRect(QRectF page, double scale) {
  const QSizeF size(page.width() * scale, page.height() * scale);
  return {page.center() - QPointF(size.width() / 2, size.height() / 2), size};
}

QImage printableImage(const raster::BitmapImageRep& representation) {
  const raster::ImageRef& source = representation.image();
  if (!source || source->width() <= 0 || source->height() <= 0) return {};
  // Printing takes 8-bit sRGB; every other layout is converted first.
  auto context = raster::BitmapContext::create(source->width(), source->height(),
                                               raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
  if (!context) return {};
  context->drawImage(source, raster::Rect{0, 0, double(source->width()), double(source->height())});
  const raster::ImageRef pixels = context->makeImage();
  QImage image(pixels->data(), int(pixels->width()), int(pixels->height()), qsizetype(pixels->bytesPerRow()),
               QImage::Format_RGBA8888_Premultiplied);
  return image.copy();
}

PreviewPrinter& PreviewPrinter::shared() {
  static PreviewPrinter printer;
  return printer;
}

PreviewPrinter::PreviewPrinter() : printer_(new QPrinter(QPrinter::HighResolution)) {}

QPrinter& PreviewPrinter::printer() {
  return *printer_;
}

bool PreviewPrinter::printRepresentations(QPrinter& printer,
                                          const std::vector<raster::BitmapImageRepRef>& representations,
                                          double scale) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  bool first = true;
  for (const raster::BitmapImageRepRef& representation : representations) {
    if (!representation) continue;
    if (!first) printer.newPage();
    first = false;
    const QImage image = printableImage(*representation);
    const raster::Size points = representation->size();
    if (image.isNull() || points.width <= 0 || points.height <= 0) continue;
    // The printable area in device pixels, with the picture in points.
    const QRectF page =
        printer.pageLayout()
            .paintRectPixels(printer.resolution())
            .translated(-printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());
    const QRectF target =
        fittedPageRect(QSizeF(points.width, points.height), scaledPageRect(page.toAlignedRect(), scale));
    painter.drawImage(target, image);
  }
  return painter.end();
}

void PreviewPrinter::printPages(const std::vector<raster::BitmapImageRepRef>& pages, double scale,
                                QWidget* window) {
  if (printRepresentations(*printer_, pages, scale)) return;
  const bool toFile = printer_->outputFormat() == QPrinter::PdfFormat;
  auto* alert = new QMessageBox(QMessageBox::Warning, QObject::tr("Print"), {}, QMessageBox::Ok, window);
  alert->setObjectName(QStringLiteral("printNotStartedAlert"));
  ui::setPlainTexts(  // names a file or a printer
      *alert, QObject::tr("The image was not printed."),
      toFile ? QObject::tr("The file \u201c%1\u201d cannot be written.").arg(printer_->outputFileName())
             : QObject::tr("The printer \u201c%1\u201d cannot be used.").arg(printer_->printerName()));
  alert->setAttribute(Qt::WA_DeleteOnClose);
  alert->setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  alert->open();
}

bool PreviewPrinter::printImageWithPrintInfo(const std::string& title,
                                             const std::vector<raster::BitmapImageRepRef>& representations,
                                             QWidget* window) {
  if (representations.empty() || !representations.front() || dialog_ != nullptr || preview_ != nullptr)
    return false;
  const raster::Size first = representations.front()->size();
  printer_->setPageOrientation(first.width >= first.height ? QPageLayout::Landscape : QPageLayout::Portrait);
  printer_->setDocName(QString::fromStdString(title));
  printer_->setFromTo(0, 0);
  dialog_ = new QPrintDialog(printer_, window);
  dialog_->setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  // Printing to a PDF file is offered too: many desktops have no printer.
  dialog_->setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintShowPageSize);
  dialog_->setMinMax(1, int(representations.size()));
  // The scale of the print, as its own tab of the dialog: the last one chosen.
  auto* scaleTab = new QWidget;
  scaleTab->setWindowTitle(QObject::tr("Scale"));
  auto* scaleLayout = new QFormLayout(scaleTab);
  scaleField_ = new QSpinBox(scaleTab);
  scaleField_->setObjectName("printScaleField");
  scaleField_->setRange(10, 400);
  scaleField_->setSuffix(QStringLiteral(" %"));
  scaleField_->setValue(scale_);
  scaleField_->setMaximumWidth(120);
  scaleLayout->addRow(QObject::tr("Scale:"), scaleField_);
  dialog_->setOptionTabs({scaleTab});
  // Preview accepts the dialog, so the printer takes its choices, and shows
  // the pages before they print.
  if (auto* buttons = dialog_->findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly)) {
    previewButton_ = buttons->addButton(QObject::tr("Pre&view\u2026"), QDialogButtonBox::ActionRole);
    previewButton_->setObjectName("printPreviewButton");
    QObject::connect(previewButton_, &QPushButton::clicked, dialog_, [this] {
      previewAsked_ = true;
      dialog_->accept();
      if (dialog_ != nullptr && dialog_->isVisible()) previewAsked_ = false;  // the dialog said no
    });
  }
  QObject::connect(dialog_, &QDialog::finished, dialog_,
                   [this, representations](int result) { dialogFinished(result, representations); });
  dialog_->open();
  return true;
}

void PreviewPrinter::dialogFinished(int result,
                                    const std::vector<raster::BitmapImageRepRef>& representations) {
  QWidget* window = dialog_->parentWidget();
  const bool preview = std::exchange(previewAsked_, false);
  std::vector<raster::BitmapImageRepRef> pages = representations;
  if (result == QDialog::Accepted) {
    scale_ = scaleField_->value();
    const int from = printer_->fromPage(), to = printer_->toPage();
    if (from > 0 && to >= from) {
      pages.assign(representations.begin() + std::min<std::ptrdiff_t>(from - 1, pages.size()),
                   representations.begin() + std::min<std::ptrdiff_t>(to, pages.size()));
    }
  }
  dialog_->deleteLater();
  dialog_ = nullptr;
  scaleField_ = nullptr;
  previewButton_ = nullptr;
  if (result == QDialog::Accepted && preview) return openPreview(std::move(pages), scale_ / 100.0, window);
  if (result == QDialog::Accepted) printPages(pages, scale_ / 100.0, window);
  foundation::NotificationCenter::defaultCenter().post("printObjectDidFinishPrintOperation");
}

void PreviewPrinter::openPreview(std::vector<raster::BitmapImageRepRef> pages, double scale,
                                 QWidget* window) {
  // The preview draws with the function that prints, at the same scale.
  preview_ = new PrintPreviewSheet(
      *printer_, int(pages.size()),
      [pages, scale](QPrinter& target) { printRepresentations(target, pages, scale); }, window);
  QObject::connect(preview_, &QDialog::finished, preview_, [this, pages, scale, window](int result) {
    preview_->deleteLater();
    preview_ = nullptr;
    if (result == QDialog::Accepted) printPages(pages, scale, window);
    foundation::NotificationCenter::defaultCenter().post("printObjectDidFinishPrintOperation");
  });
  preview_->open();
}

}  // namespace velumar
