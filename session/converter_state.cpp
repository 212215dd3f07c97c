#include "session/converter_state.h"

#include <algorithm>
#include <cmath>

namespace velumar {

void PBOscilator::start(bool on) {
  animating_ = on;
  const double startValue = on ? 0.0 : 1.0;
  value = startValue;
  barValue_ = startValue;
  if (on) cancelProgress = false;
}

bool PBOscilator::updatePBOscilatorStatus() {
  double current = value.load();
  current = std::isnan(current) ? 0.0 : std::clamp(current, 0.0, 1.0);
  if (current == barValue_.load()) return false;
  barValue_ = current;
  return true;
}

}  // namespace velumar
