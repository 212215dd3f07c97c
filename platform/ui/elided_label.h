#pragma once
// A one-line label that shows as much of its text as fits, elided at the
// end, with the whole text in its tooltip while it is cut. It asks for room
// for the whole text but can shrink to an ellipsis, so a long text never
// sets how narrow its window may go. The text is plain, never markup, and
// its tooltip shows it literally.

#include <QLabel>
#include <QString>

namespace ui {

class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

  // Shown elided to the label's width, again at every resize.
  void setFullText(const QString& text);
  const QString& fullText() const { return fullText_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The width of text in whole pixels, rounded up.
  int textWidth(const QString& text) const;
  // The width of text plus the label's margins.
  int widthFor(const QString& text) const;
  void elide();

  QString fullText_;
};

}  // namespace ui
