#pragma once
// A colour swatch. Clicking an enabled well opens the one colour dialog the
// application shares (not continuous: a colour arrives when the user picks
// it); the colour is then the well's and colorChosen is emitted.

#include <QAbstractButton>
#include <QColor>

class QColorDialog;

namespace ui {

class ColorWell : public QAbstractButton {
  Q_OBJECT

 public:
  explicit ColorWell(QWidget* parent = nullptr);
  ~ColorWell() override;

  QColor color() const { return color_; }
  // Shows the colour, without emitting anything.
  void setColor(const QColor& color);

  // The dialog all wells share; made on first use.
  static QColorDialog& sharedColorDialog();

  QSize sizeHint() const override { return {44, 24}; }

 signals:
  void colorChosen(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void openDialog();

  QColor color_{Qt::white};
};

}  // namespace ui
