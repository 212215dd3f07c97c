#pragma once
// Printing the preview image: one application-wide printer whose settings
// (orientation among them) carry over to later prints, a print dialog
// opened window-modal on the preview window, and one representation per
// page, fitted into the printable area and centred. When the dialog ends,
// printed or cancelled, "printObjectDidFinishPrintOperation" is posted.

#include <QImage>
#include <QRectF>
#include <string>
#include <vector>

#include "platform/raster/bitmap_image_rep.h"

class QPrinter;
class QPrintDialog;
class QWidget;

namespace velumar {

// The largest rectangle with the picture's proportions inside page,
// centred in it (scale factors rounded to single precision).
QRectF fittedPageRect(QSizeF picture, QRectF page);

// The representation as an image for painting (nullptr pixels: null image).
QImage printableImage(const raster::BitmapImageRep& representation);

class PreviewPrinter {
 public:
  // The application's printer, made on first use (main thread only).
  static PreviewPrinter& shared();
  QPrinter& printer();

  // Opens the print dialog on window for the representations, titled with
  // the file's name; false (nothing happens) when there are none.
  bool printImageWithPrintInfo(const std::string& title,
                               const std::vector<raster::BitmapImageRepRef>& representations,
                               QWidget* window);
  // The dialog of the print under way, if any.
  QPrintDialog* dialog() const { return dialog_; }

  // Draws one representation per page on the printer; false when the
  // printer cannot be painted on.
  static bool printRepresentations(QPrinter& printer,
                                   const std::vector<raster::BitmapImageRepRef>& representations);

 private:
  PreviewPrinter();
  QPrinter* printer_ = nullptr;
  QPrintDialog* dialog_ = nullptr;
};

}  // namespace velumar
