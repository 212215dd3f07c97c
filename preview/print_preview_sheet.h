#pragma once
// The print preview: the pages of a print as the printer will get them,
// painted by the same function that prints them, in a window-modal sheet
// with Print and Cancel.

#include <QDialog>
#include <functional>

class QPrinter;
class QPrintPreviewWidget;

namespace velumar {

class PrintPreviewSheet : public QDialog {
  Q_OBJECT

 public:
  // draw paints every page on the printer it is given (the preview's
  // recording printer here). Accepted means Print was chosen.
  PrintPreviewSheet(QPrinter& printer, int pageCount, std::function<void(QPrinter&)> draw, QWidget* window);

  QPrintPreviewWidget* pagesView() const { return pages_; }

 private:
  QPrintPreviewWidget* pages_ = nullptr;
};

}  // namespace velumar
