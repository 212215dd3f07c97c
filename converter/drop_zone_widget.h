#pragma once
// The drop zone's face: a rounded panel with its text, lit while an
// acceptable drag is over the window.

#include <QString>
#include <QWidget>

namespace velumar {

class DropZoneWidget : public QWidget {
  Q_OBJECT

 public:
  explicit DropZoneWidget(QWidget* parent = nullptr);

  void setHighlighted(bool on);
  bool isHighlighted() const { return highlighted_; }
  // Drawn subdued while the application is not the active one.
  void setDimmed(bool on);
  bool isDimmed() const { return dimmed_; }
  void setText(const QString& text);
  QString text() const { return text_; }

  QSize sizeHint() const override { return {520, 180}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_ = QStringLiteral("Drop Images Here");
  bool highlighted_ = false;
  bool dimmed_ = false;
};

}  // namespace velumar
