#include "converter/taskbar_progress.h"

#include <algorithm>
#include <cmath>

#include "preview/launcher_badge.h"

namespace velumar {

void TaskbarProgress::show(double fraction) {
  fraction = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
  if (shown_ && fraction == lastFraction_) return;
  shown_ = true;
  lastFraction_ = fraction;
  send(fraction, true);
}

void TaskbarProgress::hide() {
  if (!shown_) return;
  shown_ = false;
  lastFraction_ = -1;
  send(0.0, false);
}

void TaskbarProgress::send(double fraction, bool visible) {
  updateLauncherEntry({{"progress", fraction}, {"progress-visible", visible}});
}

}  // namespace velumar
