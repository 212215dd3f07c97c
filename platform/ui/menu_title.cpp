#include "platform/ui/menu_title.h"

namespace ui {

QString menuTitle(QString text) {
  return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace ui
