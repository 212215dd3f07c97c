// Numbers the codecs write into files and hand to Ghostscript keep a '.'
// when the C library's locale writes decimal commas, as the application's
// toolkit sets it from a German environment.
#include <gtest/gtest.h>

#include "doc_codecs_support.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/metadata.h"
#include "platform/imageio/pdf_document.h"
#include "platform/imageio/postscript_document.h"
#include "support/test_support.h"

using foundation::Dictionary;
using foundation::Value;
using namespace doctest;

namespace {
constexpr const char* kGerman = "de_DE.UTF-8";
}  // namespace

// 120 x 60 pixels at 100 dpi make a page of 86.4 x 43.2 points: the page's
// content stream scales the picture with fractions.
TEST(DecimalCommaLocale, PdfPagesShowTheirPicture) {
  testsupport::TempDir dir;
  const std::string path = dir.file("out.pdf");
  testsupport::withLocale(kGerman, [&] {
    const auto image = makeImage(120, 60, 3, 8, false);
    const imageio::Frame frame{image, Value(Dictionary{{"DPIWidth", 100.0}, {"DPIHeight", 100.0}}),
                               std::nullopt};
    ASSERT_TRUE(imageio::codecForType("com.adobe.pdf")->write(path, {frame}, {}));
    auto document = imageio::PdfDocument::open(path);
    ASSERT_TRUE(document);
    EXPECT_NEAR(document->page(0)->mediaBox.width, 86.4, 1e-3);
    auto rendered = document->render(0, 120, 60, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(rendered);
    EXPECT_LE(maxDifference(exportedPixels(*rendered, 8, false), exportedPixels(*image, 8, false)), 3);
  });
}

// An EPS whose boxes have fractions: the fine box is read, and Ghostscript's
// resolution and the box's offset reach it as numbers it reads.
TEST(DecimalCommaLocale, EpsWithAFractionalBoxRenders) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  testsupport::TempDir dir;
  const std::string eps = dir.file("box.eps");
  writeText(
      eps,
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 20 111 71\n%%HiResBoundingBox: 10.5 20.25 110.5 70.75\n"
      "1 0 0 setrgbcolor 10.5 20.25 100 50.5 rectfill\n0 0 1 setrgbcolor 60.5 45.25 50 25.5 rectfill\n");
  testsupport::withLocale(kGerman, [&] {
    const auto box = imageio::boundingBoxFromComments(eps);
    ASSERT_TRUE(box);
    EXPECT_DOUBLE_EQ(box->x0, 10.5);
    EXPECT_DOUBLE_EQ(box->y1, 70.75);
    const auto source = imageio::ImageSource::open(eps);
    ASSERT_TRUE(source);
    auto image = source->createImage(0);
    ASSERT_TRUE(image) << "Ghostscript refused the file";
    ASSERT_EQ(image->width(), 100);
    const auto rgba = exportedPixels(*image, 8, true);
    const std::size_t width = std::size_t(image->width());
    auto pixel = [&](std::size_t x, std::size_t y) { return rgba.data() + (y * width + x) * 4; };
    EXPECT_EQ(pixel(20, 40)[0], 255);  // red, lower left
    EXPECT_EQ(pixel(80, 10)[2], 255);  // blue, upper right
    EXPECT_EQ(pixel(80, 10)[0], 0);
  });
}

// The GPS time's fraction of a second goes into the file and comes back,
// and another reader sees the same time.
TEST(DecimalCommaLocale, GpsTimeRoundTrips) {
  testsupport::TempDir dir;
  const std::string path = dir.file("gps.jpg");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "30x20", "xc:green", path}).exitCode, 0);
  testsupport::withLocale(kGerman, [&] {
    const Value props(Dictionary{{"{GPS}", Value(Dictionary{{"TimeStamp", "07:04:05.25"}})}});
    ASSERT_TRUE(imageio::writeMetadata(path, "public.jpeg", {imageio::Frame{nullptr, props, std::nullopt}}));
    Value back(Dictionary{});
    ASSERT_TRUE(imageio::readMetadata(path, back));
    EXPECT_EQ(at(back, {"{GPS}", "TimeStamp"}).stringOr(""), "07:04:05.25");
  });
  EXPECT_EQ(testsupport::runCommand({"exiftool", "-s3", "-GPSTimeStamp", path}).output, "07:04:05.25\n");
}
