#include "converter/progress_indicator.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "platform/ui/flipped_coordinates.h"
#include "platform/ui/shadow_helper.h"
#include "session/converter_state.h"

namespace velumar {

namespace {

const QColor kTrackColor = QColor::fromRgbF(0.192f, 0.192f, 0.22f, 1.0f);
const QColor kBarColor = QColor::fromRgbF(0.0f, 0.62f, 0.89f, 0.8f);
// The track's inner shadow: black at 0.8, blur 4.9, offset (0.1, 0.1) y up.
const ui::ShadowStyle kTrackShadow{4.9, {0.1, -0.1}, QColor::fromRgbF(0, 0, 0, 0.8f)};

}  // namespace

PBProgressIndicator::PBProgressIndicator(QWidget* parent) : QProgressBar(parent) {
  setRange(0, kSteps);
  setValue(0);
  setTextVisible(false);
}

void PBProgressIndicator::setFraction(double fraction) {
  fraction_ = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
  setValue(int(std::lround(fraction_ * kSteps)));
  update();
}

void PBProgressIndicator::setDrawProgressBarIndicator(bool draw) {
  if (draw == drawProgressBarIndicator_) return;
  drawProgressBarIndicator_ = draw;
  update();
}

void PBProgressIndicator::showModel(const PBOscilator& model) {
  setDrawProgressBarIndicator(model.isAnimating());
  if (model.barValue() != fraction_) setFraction(model.barValue());
}

double PBProgressIndicator::barLength(double fraction, double width) {
  return std::floor(fraction * (width - 35) + 0.5) - 3;
}

void PBProgressIndicator::paintEvent(QPaintEvent*) {
  if (!drawProgressBarIndicator_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double width = this->width(), height = this->height();

  QPainterPath track;
  track.addRoundedRect(ui::flippedRect({18.5, 17.5, width - 37, 7}, height), 3.5, 3.5);
  painter.fillPath(track, kTrackColor);
  ui::drawInnerShadow(painter, track, kTrackShadow);

  const double length = barLength(fraction_, width);
  if (length <= 0) return;
  QPainterPath bar;
  bar.addRoundedRect(ui::flippedRect({19, 18, length, 6}, height), 3, 3);
  painter.fillPath(bar, kBarColor);
}

}  // namespace velumar
