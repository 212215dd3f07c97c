#pragma once
// The watermark font panel: a non-modal font dialog that shows the
// watermark font at a quarter of its size (family, style, size, underline,
// strike-out) and a colour dialog for the text colour. Every choice goes to
// the converter at four times the size shown.

#include <QObject>
#include <QPoint>

#include "engine/text_font.h"

class QColorDialog;
class QFont;
class QFontDialog;
class QLabel;
class QWidget;

namespace velumar {

class ConverterForm;

// The watermark text's font and attributes become the engine's, the
// attributes holding that font; the watermark preview takes them.
void updateWatermarkWithFont(ConverterForm& form, const TextFont& font, raster::TextAttributes attributes);

// The factor between the watermark font and the font the panel shows.
inline constexpr double kFontPanelScale = 4.0;

class FontPanel : public QObject {
  Q_OBJECT

 public:
  FontPanel(ConverterForm& form, QWidget* parent);

  // Shows the panels with the engine's watermark font; created at the first
  // call at origin.
  void openFontPanel(QPoint origin);
  // A preset brought another watermark font: an open panel shows it.
  void updateFontPanel();
  QFontDialog* fontDialog() const { return fontDialog_; }
  QColorDialog* colorDialog() const { return colorDialog_; }
  // The sample text the panel shows, in the chosen font scaled to fit.
  QLabel* sample() const { return sample_; }

 private:
  void changeFont(const QFont& shown);
  void changeColor();
  // Shows the engine's watermark font and colour; no choice of the user's.
  void showWatermarkFont();

  ConverterForm& form_;
  QWidget* parent_;
  QFontDialog* fontDialog_ = nullptr;
  QColorDialog* colorDialog_ = nullptr;
  QLabel* sample_ = nullptr;
  bool showing_ = false;
};

}  // namespace velumar
