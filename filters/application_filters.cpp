#include "filters/application_filters.h"

#include <mutex>

#include "filters/custom_color_filters.h"

namespace velumar {

void registerApplicationFilters() {
  static std::once_flag once;
  std::call_once(once, [] { registerCustomColorFilters(); });
}

}  // namespace velumar
