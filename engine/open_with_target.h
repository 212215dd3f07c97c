#pragma once
// The installed application an Open With code hands the written files to,
// so that the menu can name the program that will really open them.

#include <cstdint>

#include "platform/desktop/applications.h"
#include "platform/foundation/value.h"

namespace velumar {

// Whether an installed application is this one, under whatever desktop-file
// id it was installed: its id names "velumar" ("org.example.velumar.desktop"),
// or its command starts a program named "velumar" or this very program.
// Written files never go back to this application.
bool isThisApplication(const desktop::Application& application);

// The application of code 1 (the default application of JPEG images when
// it is not this one), 2 to 4 and 6 to 8 (the first installed program of
// the code's list), 5 (the mail program the desktop opens mail links with,
// when files can be mailed at all) and 14 (openWithAppID's "AppFullPath");
// empty for every other code and when none is installed.
desktop::Application openWithApplication(std::int64_t code, const foundation::Dictionary& openWithAppID);

}  // namespace velumar
