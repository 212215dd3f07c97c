#include "preview/printing_print_job.h"

#include <QFormLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>
#include <algorithm>

#include "platform/foundation/notification_center.h"
#include "platform/raster/bitmap_context.h"

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

void PreviewPrinter::alertPrintNotStarted(const QPrinter& printer, QWidget* window) {
  const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
  auto* alert = new QMessageBox(QMessageBox::Warning, QObject::tr("Print"),
                                QObject::tr("The image was not printed."), QMessageBox::Ok, window);
  alert->setObjectName(QStringLiteral("printNotStartedAlert"));
  alert->setInformativeText(
      toFile ? QObject::tr("The file \u201c%1\u201d cannot be written.").arg(printer.outputFileName())
             : QObject::tr("The printer \u201c%1\u201d cannot be used.").arg(printer.printerName()));
  alert->setAttribute(Qt::WA_DeleteOnClose);
  alert->setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  alert->open();
}

bool PreviewPrinter::printImageWithPrintInfo(const std::string& title,
                                             const std::vector<raster::BitmapImageRepRef>& representations,
                                             QWidget* window) {
  if (representations.empty() || !representations.front() || dialog_ != nullptr) return false;
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
  // The scale of the print, as its own tab of the dialog: 100 % at every print.
  auto* scaleTab = new QWidget;
  scaleTab->setWindowTitle(QObject::tr("Scale"));
  auto* scaleLayout = new QFormLayout(scaleTab);
  scaleField_ = new QSpinBox(scaleTab);
  scaleField_->setObjectName("printScaleField");
  scaleField_->setRange(10, 400);
  scaleField_->setSuffix(QStringLiteral(" %"));
  scaleField_->setValue(100);
  scaleField_->setMaximumWidth(120);
  scaleLayout->addRow(QObject::tr("Scale:"), scaleField_);
  dialog_->setOptionTabs({scaleTab});
  QObject::connect(dialog_, &QDialog::finished, dialog_, [this, representations](int result) {
    if (result == QDialog::Accepted) {
      std::vector<raster::BitmapImageRepRef> pages = representations;
      const int from = printer_->fromPage(), to = printer_->toPage();
      if (from > 0 && to >= from) {
        pages.assign(representations.begin() + std::min<std::ptrdiff_t>(from - 1, pages.size()),
                     representations.begin() + std::min<std::ptrdiff_t>(to, pages.size()));
      }
      if (!printRepresentations(*printer_, pages, scaleField_->value() / 100.0))
        alertPrintNotStarted(*printer_, dialog_->parentWidget());
    }
    dialog_->deleteLater();
    dialog_ = nullptr;
    scaleField_ = nullptr;
    foundation::NotificationCenter::defaultCenter().post("printObjectDidFinishPrintOperation");
  });
  dialog_->open();
  return true;
}

}  // namespace velumar
