// The portal's answer about the colour scheme, in every shape a portal or a
// stranger on the bus may give it; and a panel's background redrawn once a
// resize has ended.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusVariant>
#include <QTest>

#include "app/appearance.h"
#include "app/custom_window.h"
#include "app/panel_controller.h"

using namespace velumar;

TEST(Appearance, ColorSchemeFromAnyReply) {
  const auto nested = [](QVariant value, int depth) {
    for (int i = 0; i < depth; ++i) value = QVariant::fromValue(QDBusVariant(value));
    return value;
  };
  struct Case {
    const char* what;
    QVariant reply;
    std::optional<unsigned> scheme;
  };
  const Case cases[] = {
      {"bare", QVariant(1u), 1u},
      {"one variant", nested(QVariant(2u), 1), 2u},
      {"two variants (older portals)", nested(QVariant(1u), 2), 1u},
      {"three variants", nested(QVariant(0u), 3), 0u},
      {"four variants", nested(QVariant(1u), 4), std::nullopt},
      {"signed", nested(QVariant(1), 2), 1u},
      {"negative", nested(QVariant(-1), 1), std::nullopt},
      {"text", nested(QVariant(QStringLiteral("dark")), 2), std::nullopt},
      {"nothing", QVariant(), std::nullopt},
      {"list", nested(QVariant(QStringList{QStringLiteral("1")}), 1), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(colorSchemeFromReply(c.reply), c.scheme) << c.what;
}

TEST(Appearance, WithoutAPortalThePaletteDecides) {
  for (bool dark : {false, true}) {
    Appearance appearance(dark);  // the tests run without a session bus
    EXPECT_EQ(appearance.isDark(), dark);
    EXPECT_EQ(appearance.statusImageName(), dark ? "MenuBarAlt" : "MenuBar");
  }
}

TEST(PanelController, RedrawsOnceAfterTheResizeEnds) {
  CustomWindow window;
  int redraws = 0;
  new PanelController(&window, [&redraws] { ++redraws; });
  window.show();
  for (int width : {200, 220, 240, 260}) {
    window.resize(width, 120);
    QTest::qWait(20);
  }
  EXPECT_EQ(redraws, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return redraws == 1; }, 2000));
  QTest::qWait(PanelController::kResizeEndMs + 50);
  EXPECT_EQ(redraws, 1);
  EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
}
