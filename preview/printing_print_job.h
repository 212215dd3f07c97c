#pragma once
// Printing the preview image: one application-wide printer whose settings
// (orientation among them) carry over to later prints, a print dialog
// opened window-modal on the preview window, and one representation per
// page, fitted into the printable area and centred. The dialog's Preview
// takes its choices as a print does and shows the pages, drawn as they
// print, before they are printed. When the print ends, printed or
// cancelled, "printObjectDidFinishPrintOperation" is posted.

#include <QImage>
#include <QRectF>
#include <string>
#include <vector>

#include "platform/raster/bitmap_image_rep.h"

class QPrinter;
class QPrintDialog;
class QPushButton;
class QSpinBox;
class QWidget;

namespace velumar {

class PrintPreviewSheet;

// The largest rectangle with the picture's proportions inside page,
// centred in it (scale factors rounded to single precision).
QRectF fittedPageRect(QSizeF picture, QRectF page);

// The page with its width and height scaled by scale, about its centre:
// the area a picture is fitted into at that print scale.
QRectF scaledPageRect(QRectF page, double scale);

// The representation as an image for painting (nullptr pixels: null image).
QImage printableImage(const raster::BitmapImageRep& representation);

class PreviewPrinter {
 public:
  // The application's printer, made on first use (main thread only).
  static PreviewPrinter& shared();
  QPrinter& printer();

  // Opens the print dialog on window for the representations, titled with
  // the file's name; false (nothing happens) when there are none. A print
  // that cannot start is answered with an alert on window.
  bool printImageWithPrintInfo(const std::string& title,
                               const std::vector<raster::BitmapImageRepRef>& representations,
                               QWidget* window);
  // The dialog of the print under way, if any, its scale field (per cent:
  // 100 at first, then what the last accepted dialog chose) and its Preview
  // button.
  QPrintDialog* dialog() const { return dialog_; }
  QSpinBox* scaleField() const { return scaleField_; }
  QPushButton* previewButton() const { return previewButton_; }
  // The preview of the print under way, if any.
  PrintPreviewSheet* previewSheet() const { return preview_; }

  // Draws one representation per page on the printer, fitted into the
  // printable area scaled by scale; false when the printer cannot be
  // painted on.
  static bool printRepresentations(QPrinter& printer,
                                   const std::vector<raster::BitmapImageRepRef>& representations,
                                   double scale = 1.0);

 private:
  PreviewPrinter();
  void dialogFinished(int result, const std::vector<raster::BitmapImageRepRef>& representations);
  void openPreview(std::vector<raster::BitmapImageRepRef> pages, double scale, QWidget* window);
  // Prints, or tells the user the print did not start (no printer, an
  // unwritable file).
  void printPages(const std::vector<raster::BitmapImageRepRef>& pages, double scale, QWidget* window);
  QPrinter* printer_ = nullptr;
  QPrintDialog* dialog_ = nullptr;
  QSpinBox* scaleField_ = nullptr;
  QPushButton* previewButton_ = nullptr;
  PrintPreviewSheet* preview_ = nullptr;
  bool previewAsked_ = false;
  // Per cent, kept for the rest of the run.
  int scale_ = 100;
};

}  // namespace velumar
