#pragma once
// The converter's progress bar: a dark rounded track with a blue bar whose
// length is the fraction of the batch done. A QProgressBar (0 to 10000) so
// that accessibility tools read it; the drawing is its own. It shows the
// session's progress model (PBOscilator) on the main thread.

#include <QProgressBar>

namespace velumar {

class PBOscilator;

class PBProgressIndicator : public QProgressBar {
  Q_OBJECT

 public:
  static constexpr int kSteps = 10000;

  explicit PBProgressIndicator(QWidget* parent = nullptr);

  // The fraction drawn, clamped to 0..1 (NaN counts as 0).
  double fraction() const { return fraction_; }
  void setFraction(double fraction);
  // Nothing is drawn while this is NO.
  bool drawProgressBarIndicator() const { return drawProgressBarIndicator_; }
  void setDrawProgressBarIndicator(bool draw);
  // Shows the model's bar value and whether it runs.
  void showModel(const PBOscilator& model);

  // The bar's length in points for a fraction and a bounds width: the
  // fraction of the width less 35, rounded (halves up), less 3. No bar is
  // drawn when it is 0 or less.
  static double barLength(double fraction, double width);

  QSize sizeHint() const override { return {235, 42}; }
  QSize minimumSizeHint() const override { return {60, 42}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double fraction_ = 0.0;
  bool drawProgressBarIndicator_ = false;
};

}  // namespace velumar
