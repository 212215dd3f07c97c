#pragma once
// A button that shows the unprocessed image in the preview while it is held
// down, and returns to off when released.

#include <QPushButton>

namespace ui {

// What the button needs of the preview.
class HoldDownPreview {
 public:
  virtual ~HoldDownPreview() = default;
  // YES while the preview shows its placeholder instead of an image.
  virtual bool isOriginalImage() const = 0;
  // Shows the unprocessed (YES) or the processed image, and redraws.
  virtual void setShowOriginalImage(bool show) = 0;
};

class CustomHoldDownButton : public QPushButton {
  Q_OBJECT

 public:
  explicit CustomHoldDownButton(const QString& title = {}, QWidget* parent = nullptr);

  // The preview it acts on (not owned; nullptr: none).
  void setPreview(HoldDownPreview* preview) { preview_ = preview; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void showOriginal(bool show);

  HoldDownPreview* preview_ = nullptr;
};

}  // namespace ui
