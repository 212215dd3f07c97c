#pragma once
// Text shown as the title of a menu item or button.

#include <QString>

namespace ui {

// Every "&" doubled, so a name or version from outside shows as it is
// instead of marking a keyboard mnemonic.
QString menuTitle(QString text);

}  // namespace ui
