#include "filters/application_filters.h"

#include <mutex>

#include "filters/custom_color_filters.h"
#include "filters/tone_curve_filters.h"
#include "filters/tiny_planet_filter.h"

namespace velumar {

namespace {

// One line per family of the application's filters.
void registerAll() {
  registerCustomColorFilters();
  registerToneCurveFilters();
  TinyPlanet::registerFilter();
}

}  // namespace

void registerApplicationFilters() {
  static std::once_flag once;
  std::call_once(once, registerAll);
}

}  // namespace velumar
