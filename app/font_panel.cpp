#include "app/font_panel.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>

#include "presets/converter_form.h"

namespace velumar {

void updateWatermarkWithFont(ConverterForm& form, const TextFont& font, raster::TextAttributes attributes) {
  attributes.fontFamily = font.family;
  attributes.bold = font.bold;
  attributes.italic = font.italic;
  attributes.pointSize = font.pointSize;
  form.engine().textFont = font;
  form.engine().textAttributes = std::move(attributes);
  form.services().updatePreviewViewAndUpdateText(true, false, true);
}

namespace {

// The dialog's sample text in the chosen font, shrunk until it fits its box
// (a watermark font shown at a quarter of its size is still often too big).
class FittingSample : public QLabel {
 public:
  explicit FittingSample(const QString& text) : QLabel(text) {
    setAlignment(Qt::AlignCenter);
    setMinimumSize(1, 1);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  }
  void setSampleFont(const QFont& font) {
    chosen_ = font;
    fit();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    fit();
  }

 private:
  void fit() {
    QFont shown = chosen_;
    const QSizeF room = contentsRect().size() - QSizeF(8, 4);
    while (shown.pointSizeF() > 4) {
      const QFontMetricsF metrics(shown);
      if (metrics.horizontalAdvance(text()) <= room.width() && metrics.height() <= room.height()) break;
      shown.setPointSizeF(shown.pointSizeF() * 0.9);
    }
    setFont(shown);
  }
  QFont chosen_;
};

}  // namespace

FontPanel::FontPanel(ConverterForm& form, QWidget* parent) : QObject(parent), form_(form), parent_(parent) {}

void FontPanel::openFontPanel(QPoint origin) {
  if (!fontDialog_) {
    fontDialog_ = new QFontDialog(parent_);
    fontDialog_->setObjectName(QStringLiteral("fontPanel"));
    fontDialog_->setWindowTitle(QStringLiteral("Watermark Font"));
    fontDialog_->setOption(QFontDialog::NoButtons);
    fontDialog_->setModal(false);
    fontDialog_->move(origin);
    connect(fontDialog_, &QFontDialog::currentFontChanged, this, &FontPanel::changeFont);
    // The dialog's own sample keeps the chosen font (the dialog answers it)
    // and is clipped by large sizes: a fitting copy is shown in its place.
    if (auto* own = fontDialog_->findChild<QLineEdit*>(QStringLiteral("qt_fontDialog_sampleEdit"));
        own && own->parentWidget() && own->parentWidget()->layout()) {
      auto* sample = new FittingSample(own->text());
      sample_ = sample;
      sample_->setObjectName(QStringLiteral("fontPanelSample"));
      delete own->parentWidget()->layout()->replaceWidget(own, sample_);  // the old item is ours
      own->hide();
      connect(fontDialog_, &QFontDialog::currentFontChanged, sample_, [sample, own](const QFont& font) {
        sample->setText(own->text());  // the writing system's sample
        sample->setSampleFont(font);
      });
    }
    colorDialog_ = new QColorDialog(parent_);
    colorDialog_->setObjectName(QStringLiteral("textColorPanel"));
    colorDialog_->setWindowTitle(QStringLiteral("Watermark Colour"));
    colorDialog_->setOptions(QColorDialog::NoButtons | QColorDialog::ShowAlphaChannel);
    colorDialog_->setModal(false);
    connect(colorDialog_, &QColorDialog::currentColorChanged, this, &FontPanel::changeColor);
  }
  showWatermarkFont();
  fontDialog_->show();
  fontDialog_->raise();
  colorDialog_->show();
}

void FontPanel::updateFontPanel() {
  if (fontDialog_ && fontDialog_->isVisible()) showWatermarkFont();
}

void FontPanel::showWatermarkFont() {
  const TextFont& real = form_.engine().textFont;
  const raster::TextAttributes& attributes = form_.engine().textAttributes;
  QFont shown(real.family.empty() ? QFont().family() : QString::fromStdString(real.family));
  shown.setPointSizeF(real.pointSize / kFontPanelScale);
  shown.setBold(real.bold);
  shown.setItalic(real.italic);
  shown.setUnderline(attributes.underline);
  shown.setStrikeOut(attributes.strikethrough);
  QColor color(Qt::black);
  if (attributes.color) {
    const auto& c = attributes.color->components;
    if (attributes.color->count == 4)
      color = QColor::fromRgbF(float(c[0]), float(c[1]), float(c[2]), float(c[3]));
    if (attributes.color->count == 2)
      color = QColor::fromRgbF(float(c[0]), float(c[0]), float(c[0]), float(c[1]));
  }
  // Showing the current values is no choice of the user's.
  showing_ = true;
  fontDialog_->setCurrentFont(shown);
  if (auto* sample = static_cast<FittingSample*>(sample_)) sample->setSampleFont(fontDialog_->currentFont());
  colorDialog_->setCurrentColor(color);
  showing_ = false;
}

void FontPanel::changeFont(const QFont& shown) {
  if (showing_) return;
  TextFont real = form_.engine().textFont;
  real.family = shown.family().toStdString();
  real.bold = shown.bold();
  real.italic = shown.italic();
  real.pointSize = shown.pointSizeF() * kFontPanelScale;
  raster::TextAttributes attributes = form_.engine().textAttributes;
  attributes.underline = shown.underline();
  attributes.strikethrough = shown.strikeOut();
  updateWatermarkWithFont(form_, real, std::move(attributes));
}

void FontPanel::changeColor() {
  if (showing_) return;
  const QColor chosen = colorDialog_->currentColor();
  raster::TextAttributes attributes = form_.engine().textAttributes;
  attributes.color = raster::Color::rgb(chosen.redF(), chosen.greenF(), chosen.blueF(), chosen.alphaF());
  updateWatermarkWithFont(form_, form_.engine().textFont, std::move(attributes));
}

}  // namespace velumar
