#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QProcess>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <fstream>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/image_wells.h"
#include "converter/modify_controls.h"
#include "converter/x11/drag_from_program.h"
#include "platform/foundation/notification_center.h"
#include "platform/ui/popover.h"
#include "support/test_support.h"

namespace velumar {
namespace {

class WellsDragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.setGeometry(260, 0, 1000, 1000);
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    view().showTab(1);
  }
  ConverterView& view() { return *window_.converterView(); }

  // Drags path from a window of another program onto a point of the screen;
  // true when the source saw the drop taken.
  bool dragFromAnotherProgram(const std::string& path, QPoint target) {
    QProcess source, drag;
    if (!startDragFromProgram(source, drag, path, target)) return false;
    if (!QTest::qWaitFor([&] { return source.state() == QProcess::NotRunning; }, 15000)) return false;
    return source.readAll().trimmed() == "dropped copy";
  }
  void showInnerTab(int index) {
    auto* tabs = view().findChild<QTabWidget*>();
    ASSERT_TRUE(tabs);
    tabs->setCurrentIndex(index);
  }

  testsupport::TempDir dir_;
  ConverterWindow window_;
};

TEST_F(WellsDragTest, ACubeAndAPictureDraggedFromAnotherProgramReachTheirWells) {
  const std::string cube = dir_.file("Teal.cube");
  {
    std::ofstream out(cube);
    out << "TITLE \"teal\"\nLUT_3D_SIZE 2\n";
    for (int i = 0; i < 8; ++i) out << (i & 1) << ' ' << ((i >> 1) & 1) << ' ' << (i >> 2) << '\n';
  }
  const std::string png = dir_.file("mark.png");
  ASSERT_EQ(
      testsupport::runCommand({"/usr/bin/convert", "-size", "64x32", "xc:rgba(0,0,255,0.5)", png}).exitCode,
      0);
  int lutPosts = 0, watermarkPosts = 0;
  auto& center = foundation::NotificationCenter::defaultCenter();
  foundation::ObserverToken lut = center.addObserver("LUTDragAndDrop", [&](const auto&) { ++lutPosts; });
  foundation::ObserverToken mark =
      center.addObserver("watermarkImageDragAndDrop", [&](const auto&) { ++watermarkPosts; });

  view().popover(ConverterView::PopoverId::LUT)->button()->click();
  auto* lutWell = view().findChild<LUTWellView*>("lutView");
  ASSERT_TRUE(lutWell);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(lutWell->window()));
  const QImage emptyLUT = lutWell->grab().toImage();
  ASSERT_TRUE(dragFromAnotherProgram(cube, lutWell->mapToGlobal(lutWell->rect().center())));
  ASSERT_TRUE(QTest::qWaitFor([&] { return lutPosts == 1; }, 5000));
  EXPECT_EQ(view().form().controls.lutView.cubeSize, 2);
  EXPECT_TRUE(view().importedImage()->lutFilter());
  EXPECT_NE(lutWell->grab().toImage(), emptyLUT);
  view().popover(ConverterView::PopoverId::LUT)->close();

  showInnerTab(2);
  ConverterControls& c = view().form().controls;
  c.addWatermarkImageCheck.set(true);
  view().form().watermarkImageEnable(true);
  view().refreshControls();
  auto* watermarkWell = view().findChild<PictureWellView*>("watermarkImageView");
  ASSERT_TRUE(watermarkWell && watermarkWell->isVisible());
  const QImage emptyWell = watermarkWell->grab().toImage();
  ASSERT_TRUE(dragFromAnotherProgram(png, watermarkWell->mapToGlobal(watermarkWell->rect().center())));
  ASSERT_TRUE(QTest::qWaitFor([&] { return watermarkPosts == 1; }, 5000));
  EXPECT_TRUE(c.watermarkImageView.hasFullSizeImage());
  EXPECT_TRUE(c.watermarkImageView.originalImageHasAlpha);
  EXPECT_NE(watermarkWell->grab().toImage(), emptyWell);
}

TEST_F(WellsDragTest, TheScreenShowsTheFilteredExampleInItsRectangle) {
  showInnerTab(1);
  view().form().controls.filterTypePopUp0.selectedIndex = 90;  // inverted colours
  view().modifyControls().filterValues().changeFilterTypeForSlot(0);
  ExampleImageWell* well = view().modifyControls().exampleWell();
  ASSERT_TRUE(well && well->image());
  QTest::qWait(200);
  const QRect area = well->imageRect();
  const QPoint origin = well->mapTo(&window_, area.topLeft());
  const QImage screen = window_.screen()
                            ->grabWindow(window_.winId(), origin.x(), origin.y(), area.width(), area.height())
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
  const QImage expected = qImageOf(*well->image(), 1.0)
                              .scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(screen.size(), expected.size());
  // Inside the frame's stroke the screen shows the example's pixels.
  int far = 0;
  for (int y = 6; y < screen.height() - 6; ++y)
    for (int x = 6; x < screen.width() - 6; ++x) {
      const QColor a = screen.pixelColor(x, y), b = expected.pixelColor(x, y);
      if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 24)
        ++far;
    }
  EXPECT_EQ(far, 0);
}

}  // namespace
}  // namespace velumar
