#include "platform/desktop/applications.h"

#include <gtest/gtest.h>

namespace desktop {
namespace {

TEST(DesktopApplications, DesktopIdNamesAnApplicationIgnoringCaseAndReverseDnsPrefix) {
  const struct {
    const char* id;
    const char* name;
    bool names;
  } cases[] = {
      {"org.gnome.Shotwell.desktop", "shotwell", true},
      {"shotwell.desktop", "Shotwell", true},
      {"org.gimp.GIMP.desktop", "gimp", true},
      {"GIMP.DESKTOP", "gimp", true},
      {"org.gnome.Shotwell.desktop", "gnome", false},
      {"shotwell-viewer.desktop", "shotwell", false},
      {"myshotwell.desktop", "shotwell", false},
      {"shotwell", "shotwell", false},
      {".desktop", "", false},
      {"gimp.desktop", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(desktopIdNamesApplication(c.id, c.name), c.names) << c.id << " " << c.name;
}

}  // namespace
}  // namespace desktop
