// Compositing built-in filters.

#include "platform/ci/builtin_filters.h"

namespace ci {

void addCompositingFilters(BuiltinFilterTable& table) {
  table["CISourceOverCompositing"] = {{}, [](const Filter& f) -> ImageRef {
                                        ImageRef in = f.image(kInputImageKey);
                                        ImageRef background = f.image(kInputBackgroundImageKey);
                                        if (!in || !background) return nullptr;
                                        return in->compositedOver(background);
                                      }};
}

}  // namespace ci
