#pragma once
// Tests that talk over D-Bus run on a private session bus of their own.

namespace testsupport {

// True when this process runs on a private bus started for it. Otherwise
// runs the current test again, alone, under dbus-run-session and answers
// false after recording that run's failure, if any.
bool onPrivateSessionBus();

}  // namespace testsupport
