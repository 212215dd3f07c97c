#include "preview/printing_print_job.h"

#include <QFile>
#include <QPrintPreviewWidget>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPrintDialog>
#include <QTest>
#include <QPrinter>
#include <QSpinBox>
#include <QWidget>
#include <regex>

#include "platform/foundation/notification_center.h"
#include "platform/imageio/image_source.h"
#include "preview/print_preview_sheet.h"
#include "support/test_support.h"

namespace velumar {
namespace {

raster::BitmapImageRepRef solid(std::int64_t width, std::int64_t height, std::uint8_t r, std::uint8_t g,
                                std::uint8_t b) {
  std::vector<std::uint8_t> pixels(std::size_t(width * height) * 3);
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = r;
    pixels[i + 1] = g;
    pixels[i + 2] = b;
  }
  return raster::BitmapImageRep::withImage(
      raster::Image::make(width, height, raster::PixelFormat{8, 3, raster::AlphaInfo::None},
                          raster::ColorSpace::sRGB(), std::move(pixels)));
}

// The bounding box of the pixels that are not white on a rendered page.
QRect inkBox(const std::string& png, QSize& pageSize) {
  const auto source = imageio::ImageSource::open(png);
  const raster::ImageRef image = source ? source->createImage(0) : nullptr;
  if (!image) return {};
  pageSize = QSize(int(image->width()), int(image->height()));
  const int channels = image->format().componentsPerPixel();
  QRect box;
  for (std::int64_t y = 0; y < image->height(); ++y)
    for (std::int64_t x = 0; x < image->width(); ++x) {
      const std::uint8_t* p = image->row(y) + x * channels;
      if (p[0] < 200 || p[1] < 200 || p[2] < 200) box |= QRect(int(x), int(y), 1, 1);
    }
  return box;
}

TEST(Printing, FittedRectangleKeepsProportionsAndIsCentred) {
  const struct {
    QSizeF picture;
    QRectF page;
    QRectF fitted;
  } cases[] = {
      {{200, 100}, {0, 0, 100, 100}, {0, 25, 100, 50}}, {{100, 200}, {10, 20, 100, 100}, {35, 20, 50, 100}},
      {{400, 400}, {0, 0, 200, 200}, {0, 0, 200, 200}},  // twice the page: half size
      {{50, 50}, {0, 0, 100, 200}, {0, 50, 100, 100}},  {{0, 50}, {0, 0, 100, 200}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(fittedPageRect(c.picture, c.page), c.fitted) << c.picture.width();
}

TEST(Printing, OnePagePerRepresentationFittedAndCentredInAPdf) {
  const testsupport::TempDir dir;
  const std::string pdf = dir.file("out.pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(QPageLayout::Landscape);
  ASSERT_TRUE(PreviewPrinter::printRepresentations(
      printer, {solid(300, 200, 255, 0, 0), solid(200, 300, 0, 160, 0), solid(100, 100, 0, 0, 255)}));

  const auto info = testsupport::runCommand({"pdfinfo", pdf});
  ASSERT_EQ(info.exitCode, 0) << info.output;
  EXPECT_NE(info.output.find("Pages:           3"), std::string::npos) << info.output;
  std::smatch size;
  ASSERT_TRUE(std::regex_search(info.output, size, std::regex(R"(Page size:\s+([\d.]+) x ([\d.]+))")));
  EXPECT_GT(std::stod(size[1]), std::stod(size[2]));  // landscape

  ASSERT_EQ(testsupport::runCommand({"pdftoppm", "-r", "20", "-png", pdf, dir.file("page")}).exitCode, 0);
  const struct {
    const char* file;
    double aspect;
  } pages[] = {{"page-1.png", 1.5}, {"page-2.png", 2.0 / 3.0}, {"page-3.png", 1.0}};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.file);
    QSize pageSize;
    const QRect box = inkBox(dir.file(page.file), pageSize);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(double(box.width()) / box.height(), page.aspect, 0.06);
    // Centred on the page, and filling it in one direction up to the margins.
    EXPECT_NEAR(box.center().x(), pageSize.width() / 2.0, 2.0);
    EXPECT_NEAR(box.center().y(), pageSize.height() / 2.0, 2.0);
    EXPECT_TRUE(box.width() > pageSize.width() * 0.8 || box.height() > pageSize.height() * 0.8);
  }
}

// The print scale shrinks or grows the fitted picture about the page's
// centre: at 50 % a page's picture is half as wide and high.
TEST(Printing, ScaleResizesThePictureAboutThePageCentre) {
  EXPECT_EQ(scaledPageRect({10, 20, 100, 200}, 0.5), QRectF(35, 70, 50, 100));
  EXPECT_EQ(scaledPageRect({10, 20, 100, 200}, 1.0), QRectF(10, 20, 100, 200));
  const testsupport::TempDir dir;
  QSize widths[2];
  for (const double scale : {1.0, 0.5}) {
    const std::string pdf = dir.file("scale" + std::to_string(int(scale * 100)) + ".pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A4));
    ASSERT_TRUE(PreviewPrinter::printRepresentations(printer, {solid(300, 200, 255, 0, 0)}, scale));
    ASSERT_EQ(testsupport::runCommand({"pdftoppm", "-r", "20", "-png", pdf, dir.file("s")}).exitCode, 0);
    QSize pageSize;
    const QRect box = inkBox(dir.file("s-1.png"), pageSize);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_NEAR(box.center().x(), pageSize.width() / 2.0, 2.0);
    EXPECT_NEAR(box.center().y(), pageSize.height() / 2.0, 2.0);
    widths[scale == 1.0 ? 0 : 1] = box.size();
  }
  EXPECT_NEAR(widths[1].width() * 2.0, widths[0].width(), 3.0);
  EXPECT_NEAR(widths[1].height() * 2.0, widths[0].height(), 3.0);
}

TEST(Printing, DialogSetsOrientationAndEveryEndIsAnnounced) {
  QWidget window;
  window.show();
  int finished = 0;
  const auto token = foundation::NotificationCenter::defaultCenter().addObserver(
      "printObjectDidFinishPrintOperation", [&](const foundation::Notification&) { ++finished; });
  PreviewPrinter& printer = PreviewPrinter::shared();
  EXPECT_FALSE(printer.printImageWithPrintInfo("none.jpg", {}, &window));
  const struct {
    std::int64_t width, height;
    QPageLayout::Orientation orientation;
  } cases[] = {{3000, 2000, QPageLayout::Landscape},
               {2000, 3000, QPageLayout::Portrait},
               {1000, 1000, QPageLayout::Landscape}};
  int opened = 0;
  for (const auto& c : cases) {
    ASSERT_TRUE(printer.printImageWithPrintInfo("photo.jpg", {solid(c.width / 100, c.height / 100, 1, 2, 3)},
                                                &window));
    // A representation's size in points decides, not its pixels.
    EXPECT_EQ(printer.printer().pageLayout().orientation(), c.orientation);
    ASSERT_TRUE(printer.dialog());
    EXPECT_EQ(printer.dialog()->windowModality(), Qt::WindowModal);
    // The dialog shows the scale; a cancelled dialog keeps the one it opened with.
    ASSERT_TRUE(printer.scaleField());
    EXPECT_TRUE(printer.dialog()->isAncestorOf(printer.scaleField()));
    if (&c == cases) opened = printer.scaleField()->value();
    EXPECT_EQ(printer.scaleField()->value(), opened);
    printer.scaleField()->setValue(opened == 50 ? 60 : 50);
    printer.dialog()->reject();
    EXPECT_FALSE(printer.dialog());
  }
  EXPECT_EQ(finished, 3);
  // A preview ends the print only when it closes, here cancelled.
  ASSERT_TRUE(printer.printImageWithPrintInfo("photo.jpg", {solid(30, 20, 1, 2, 3)}, &window));
  printer.dialog()->findChild<QComboBox*>("printers")->setCurrentText("Print to File (PDF)");
  printer.previewButton()->click();
  ASSERT_TRUE(printer.previewSheet());
  EXPECT_EQ(finished, 3);
  printer.previewSheet()->reject();
  EXPECT_EQ(finished, 4);
}

// The box of the red picture inside the box of the white page, each as a
// share of the page: a page image rendered from the PDF, or the preview.
QRectF pictureOnPage(const QImage& image) {
  QRect page, picture;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      const bool red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
      if (red) picture |= QRect(x, y, 1, 1);
      if (red || (c.red() > 250 && c.green() > 250 && c.blue() > 250)) page |= QRect(x, y, 1, 1);
    }
  if (page.isEmpty()) return {};
  return {double(picture.x() - page.x()) / page.width(), double(picture.y() - page.y()) / page.height(),
          double(picture.width()) / page.width(), double(picture.height()) / page.height()};
}

// Through the dialog: a PDF file chosen as the printer at 50 % gets one
// page with the picture at half its fitted size, printed at once or after
// a preview that shows that page; a print that cannot start (the output is
// a folder) writes nothing and says so. The scale stays for the next print.
TEST(Printing, ThroughTheDialogToAPdfFileOrAnAlert) {
  const testsupport::TempDir dir;
  QWidget window;
  window.show();
  PreviewPrinter& printer = PreviewPrinter::shared();
  enum class Way { PrintButton, Preview, Accepted };
  const struct {
    std::string output;
    Way way;
    bool printed;
  } rows[] = {{dir.file("photo.pdf"), Way::PrintButton, true},
              {dir.file("previewed.pdf"), Way::Preview, true},
              {dir.path().string(), Way::Accepted, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.output);
    ASSERT_TRUE(printer.printImageWithPrintInfo("photo.jpg", {solid(300, 200, 255, 0, 0)}, &window));
    if (&row != rows) {
      EXPECT_EQ(printer.scaleField()->value(), 50);  // kept from the print before
    }
    QPrintDialog* dialog = printer.dialog();
    auto* printers = dialog->findChild<QComboBox*>("printers");
    ASSERT_TRUE(printers);
    const int toFile = printers->findText("Print to File (PDF)");
    ASSERT_GE(toFile, 0);
    printers->setCurrentIndex(toFile);
    printer.scaleField()->setValue(50);
    QRectF previewed;
    if (row.way != Way::Accepted) {
      auto* file = dialog->findChild<QLineEdit*>("filename");
      ASSERT_TRUE(file);
      file->setText(QString::fromStdString(row.output));
      QPushButton* print = nullptr;
      for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == "&Print") print = button;
      ASSERT_TRUE(print);
      if (row.way == Way::PrintButton) {
        print->click();
      } else {
        ASSERT_TRUE(printer.previewButton());
        printer.previewButton()->click();
        PrintPreviewSheet* sheet = printer.previewSheet();
        ASSERT_TRUE(sheet);
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(row.output)));  // nothing printed yet
        EXPECT_EQ(sheet->pagesView()->pageCount(), 1);
        QTest::qWait(50);
        const QImage shown = sheet->pagesView()->grab().toImage();
        previewed = pictureOnPage(shown);
        ASSERT_FALSE(previewed.isEmpty());
        sheet->accept();
        EXPECT_FALSE(printer.previewSheet());
      }
    } else {
      printer.printer().setOutputFileName(QString::fromStdString(row.output));
      dialog->done(QDialog::Accepted);
    }
    EXPECT_FALSE(printer.dialog());
    auto* alert = window.findChild<QMessageBox*>("printNotStartedAlert");
    EXPECT_EQ(alert != nullptr && alert->isVisible(), !row.printed);
    if (alert) alert->close();
    QTest::qWait(10);
    if (!row.printed) continue;
    const auto info = testsupport::runCommand({"pdfinfo", row.output});
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("Pages:           1"), std::string::npos) << info.output;
    ASSERT_EQ(testsupport::runCommand({"pdftoppm", "-r", "20", "-png", row.output, dir.file("p")}).exitCode, 0);
    QSize pageSize;
    const QRect box = inkBox(dir.file("p-1.png"), pageSize);
    const QRectF page = printer.printer().pageLayout().paintRect(QPageLayout::Point);
    const QRectF fitted = fittedPageRect({300, 200}, {0, 0, page.width(), page.height()});
    EXPECT_NEAR(box.width(), fitted.width() * 0.5 * 20 / 72, 2.0);
    EXPECT_NEAR(box.height(), fitted.height() * 0.5 * 20 / 72, 2.0);
    EXPECT_NEAR(box.center().x(), pageSize.width() / 2.0, 2.0);
    EXPECT_NEAR(box.center().y(), pageSize.height() / 2.0, 2.0);
    if (row.way != Way::Preview) continue;
    // What was previewed is what printed.
    QImage printed;
    ASSERT_TRUE(printed.load(QString::fromStdString(dir.file("p-1.png"))));
    const QRectF onPaper = pictureOnPage(printed);
    EXPECT_NEAR(previewed.x(), onPaper.x(), 0.02);
    EXPECT_NEAR(previewed.y(), onPaper.y(), 0.02);
    EXPECT_NEAR(previewed.width(), onPaper.width(), 0.02);
    EXPECT_NEAR(previewed.height(), onPaper.height(), 0.02);
  }
}

}  // namespace
}  // namespace velumar
