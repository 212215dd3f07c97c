#include <gtest/gtest.h>

#include <QAction>
#include <QTest>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/ui/custom_button.h"

namespace velumar {
namespace {

TEST(ConverterWindow, FormatButtonsActAsOneChoice) {
  ConverterWindow window;
  ConverterView& view = *window.converterView();
  window.show();
  const char* titles[] = {"JPG",          "PNG", "BMP",      "TIFF",           "PDF",
                          "ICNS",         "GIF", "High-Res", "One file",       "iOS iconset",
                          "macOS(Xcode)", "@2X", "PSD",      "Multilayer PSD", "HEIF"};
  for (std::size_t code = 0; code < ConverterView::kFormatCount; ++code)
    EXPECT_EQ(view.formatButton(code)->buttonName(), titles[code]);
  for (std::size_t code : {3u, 14u, 3u}) {
    QTest::mouseClick(view.formatButton(code), Qt::LeftButton);
    EXPECT_EQ(view.state().globalConversionFormat, std::int64_t(code));
    for (std::size_t other = 0; other < ConverterView::kFormatCount; ++other)
      EXPECT_EQ(view.formatButton(other)->isChecked(), other == code) << code << " " << other;
  }
  EXPECT_EQ(view.readCurrentPresetValues().conversionType, 3);
}

TEST(ConverterWindow, TabsAndEditMenu) {
  ConverterWindow window;
  ConverterView& view = *window.converterView();
  EXPECT_EQ(view.currentTab(), 0);
  QTest::mouseClick(view.tabButton(2), Qt::LeftButton);
  EXPECT_EQ(view.currentTab(), 2);
  EXPECT_TRUE(view.tabButton(2)->isChecked());
  EXPECT_FALSE(view.tabButton(0)->isChecked());
  EXPECT_EQ(window.undoMenuItem()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(window.redoMenuItem()->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  EXPECT_FALSE(window.undoMenuItem()->isEnabled());
}

TEST(ConverterWindow, SessionLinkExpiresWithTheView) {
  std::weak_ptr<ProcessingView> link;
  {
    ConverterWindow window;
    link = window.converterView()->processingView();
    EXPECT_FALSE(link.expired());
  }
  EXPECT_TRUE(link.expired());
}

}  // namespace
}  // namespace velumar
