#pragma once
// A rounded dark button with a centred white label: blue while pressed or
// on. Frames are given from the lower-left corner, y up.

#include <QAbstractButton>
#include <QRectF>
#include <QString>

namespace ui {

class CustomButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CustomButton(const QString& buttonName = {}, QWidget* parent = nullptr);

  QString buttonName() const { return text(); }
  void setButtonName(const QString& name) { setText(name); }
  double buttonAlpha() const { return buttonAlpha_; }
  void setButtonAlpha(double alpha);
  QRectF buttonFrame() const { return buttonFrame_; }
  QRectF textFrame() const { return textFrame_; }
  // The body and the label's rectangle; the widget grows to hold the body.
  void setFrames(const QRectF& buttonFrame, const QRectF& textFrame);
  double labelSize() const { return labelSize_; }
  void setLabelSize(double points);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRectF buttonFrame_{10, 5, 60, 30};
  QRectF textFrame_{15, 10, 50, 20};
  double labelSize_ = 11.0;
  double buttonAlpha_ = 0.5;
};

}  // namespace ui
