#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>

#include "doc_codecs_support.h"
#include "platform/imageio/bounded_process.h"
#include "platform/imageio/postscript_document.h"
#include "support/test_support.h"

using namespace doctest;

namespace {

// A 300 x 200 point page with a red square (100, 50)-(200, 150) and a blue
// one inside it at (150, 100)-(170, 120); eps2write crops to the drawing.
const char* kDrawing =
    "%!PS-Adobe-3.0\n<< /PageSize [300 200] >> setpagedevice\n"
    "1 0 0 setrgbcolor 100 50 100 100 rectfill\n"
    "0 0 1 setrgbcolor 150 100 20 20 rectfill\nshowpage\n";

std::string makeEps(const testsupport::TempDir& dir) {
  writeText(dir.file("drawing.ps"), kDrawing);
  const std::string eps = dir.file("drawing.eps");
  auto made = testsupport::runCommand({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=eps2write",
                                       "-sOutputFile=" + eps, dir.file("drawing.ps")});
  return made.exitCode == 0 ? eps : std::string();
}

// Pixel (x, y) from the top-left of straight RGBA samples.
const std::uint8_t* pixelAt(const std::vector<std::uint8_t>& rgba, std::int64_t width, std::int64_t x,
                            std::int64_t y) {
  return rgba.data() + std::size_t((y * width + x) * 4);
}

}  // namespace

TEST(DocCodecsPostScript, BoundingBoxComments) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<std::array<double, 4>> box;
  };
  const Case cases[] = {
      {"plain", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 20 110 70\n",
       std::array<double, 4>{10, 20, 110, 70}},
      {"hires wins",
       "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 20 111 71\n%%HiResBoundingBox: 10.5 20.25 110.5 70.75\n",
       std::array<double, 4>{10.5, 20.25, 110.5, 70.75}},
      {"atend",
       "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\nnewpath\n%%Trailer\n%%BoundingBox: 0 0 40 30\n",
       std::array<double, 4>{0, 0, 40, 30}},
      {"crlf", "%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 1 2 3 4\r\n", std::array<double, 4>{1, 2, 3, 4}},
      {"empty box", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 10 10 50\n", std::nullopt},
      {"garbage", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: a b c d\n", std::nullopt},
      {"none", "%!PS-Adobe-3.0\n", std::nullopt},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeText(dir.file("box.eps"), c.text);
    auto box = imageio::boundingBoxFromComments(dir.file("box.eps"));
    ASSERT_EQ(box.has_value(), c.box.has_value());
    if (box) {
      EXPECT_DOUBLE_EQ(box->x0, (*c.box)[0]);
      EXPECT_DOUBLE_EQ(box->y0, (*c.box)[1]);
      EXPECT_DOUBLE_EQ(box->x1, (*c.box)[2]);
      EXPECT_DOUBLE_EQ(box->y1, (*c.box)[3]);
    }
  }
  // A DOS EPS binary: a 30-byte header pointing at the PostScript part.
  const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 5 6 50 60\n";
  std::vector<std::uint8_t> binary = {0xc5, 0xd0, 0xd3, 0xc6, 40, 0, 0, 0, std::uint8_t(ps.size()), 0, 0, 0};
  binary.resize(40, 0);
  binary.insert(binary.end(), ps.begin(), ps.end());
  writeAll(dir.file("binary.eps"), binary);
  auto box = imageio::boundingBoxFromComments(dir.file("binary.eps"));
  ASSERT_TRUE(box);
  EXPECT_DOUBLE_EQ(box->x1, 50);
}

TEST(DocCodecsPostScript, RendersEpsFromGhostscriptAtAResolution) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  testsupport::TempDir dir;
  const std::string eps = makeEps(dir);
  ASSERT_FALSE(eps.empty());
  const imageio::Codec* codec = imageio::codecForType("com.adobe.postscript");
  ASSERT_TRUE(codec);
  auto decoder = codec->open(eps, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(decoder);
  const auto props = decoder->properties(0);
  EXPECT_EQ(at(props, {"PixelWidth"}).intOr(0), 100);
  EXPECT_EQ(at(props, {"PixelHeight"}).intOr(0), 100);

  auto box = imageio::postScriptBoundingBox(eps);
  ASSERT_TRUE(box);
  // 144 dpi: twice the box in pixels.
  auto image = imageio::renderPostScript(eps, *box, 200, 200, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 200);
  ASSERT_EQ(image->height(), 200);
  const auto rgba = exportedPixels(*image, 8, true);
  const std::uint8_t* corner = pixelAt(rgba, 200, 3, 3);
  EXPECT_EQ(corner[0], 255);
  EXPECT_EQ(corner[3], 255);
  // The blue square: points (150..170, 100..120) -> pixels x 100..140, y
  // from the top 60..100.
  const std::uint8_t* blue = pixelAt(rgba, 200, 120, 80);
  EXPECT_EQ(blue[0], 0);
  EXPECT_EQ(blue[2], 255);

  // A reduced decode renders at the smaller size directly.
  auto small = decoder->decode(0, imageio::DecodeOptions{40, true});
  ASSERT_TRUE(small);
  EXPECT_EQ(small->width(), 40);
  EXPECT_EQ(small->height(), 40);
}

// A box with fractions, drawn at 288 dpi across and 144 down: four
// quadrants of 30 x 15 points that fill it, whole pixels each, opaque to
// the edges.
TEST(DocCodecsPostScript, FractionalBoxRendersAtTwoResolutions) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  testsupport::TempDir dir;
  writeText(dir.file("quadrants.eps"),
            "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 20 71 51\n"
            "%%HiResBoundingBox: 10.5 20.25 70.5 50.25\n"
            "1 0 0 setrgbcolor 10.5 20.25 30 15 rectfill 0 1 0 setrgbcolor 40.5 20.25 30 15 rectfill\n"
            "0 0 1 setrgbcolor 10.5 35.25 30 15 rectfill 1 1 0 setrgbcolor 40.5 35.25 30 15 rectfill\n");
  const auto box = imageio::postScriptBoundingBox(dir.file("quadrants.eps"));
  ASSERT_TRUE(box);
  const auto image =
      imageio::renderPostScript(dir.file("quadrants.eps"), *box, 240, 60, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(image);
  std::vector<std::uint8_t> picture;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 240; ++x) {
      const bool right = x >= 120, top = y < 30;
      picture.insert(picture.end(), {std::uint8_t(right == top ? 255 : 0), std::uint8_t(right ? 255 : 0),
                                     std::uint8_t(top && !right ? 255 : 0), 255});
    }
  EXPECT_LE(maxDifference(exportedPixels(*image, 8, true), picture), 2);
}

TEST(DocCodecsPostScript, PostScriptWithoutBoxIsMeasured) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  testsupport::TempDir dir;
  writeText(dir.file("page.ps"), "%!PS\n0 1 0 setrgbcolor 20 30 40 10 rectfill showpage\n");
  auto box = imageio::postScriptBoundingBox(dir.file("page.ps"));
  ASSERT_TRUE(box);
  EXPECT_NEAR(box->x0, 20, 1);
  EXPECT_NEAR(box->y1, 40, 1);
  auto image = imageio::renderPostScript(dir.file("page.ps"), *box, 80, 20, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(image);
  const auto rgba = exportedPixels(*image, 8, true);
  EXPECT_EQ(pixelAt(rgba, 80, 40, 10)[1], 255);
  // Garbage is refused cleanly.
  writeText(dir.file("junk.ps"), "%!PS\n(unterminated\n");
  auto junk = imageio::codecForType("com.adobe.postscript")->open(dir.file("junk.ps"), 1 << 20);
  if (junk) {
    EXPECT_FALSE(junk->decode(0, {}));
  }
}

TEST(DocCodecsPostScript, IllustratorFilesReadAsPdfOrPostScript) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  testsupport::TempDir dir;
  const std::string eps = makeEps(dir);
  ASSERT_FALSE(eps.empty());
  const std::string pdfAi = dir.file("modern.ai");
  ASSERT_EQ(testsupport::runCommand({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                                     "-sOutputFile=" + pdfAi, dir.file("drawing.ps")})
                .exitCode,
            0);
  const std::string legacyAi = dir.file("legacy.ai");
  std::filesystem::copy_file(eps, legacyAi);
  const imageio::Codec* codec = imageio::codecForType("com.adobe.illustrator.ai-image");
  ASSERT_TRUE(codec);
  struct Case {
    std::string path;
    std::int64_t width, height;
  };
  for (const Case& c : {Case{pdfAi, 300, 200}, Case{legacyAi, 100, 100}}) {
    SCOPED_TRACE(c.path);
    auto decoder = codec->open(c.path, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->count(), 1u);
    auto image = decoder->decode(0, {});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), c.width);
    EXPECT_EQ(image->height(), c.height);
  }
}

TEST(DocCodecsPostScript, ChildProcessesAreBounded) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  const auto start = std::chrono::steady_clock::now();
  auto endless = imageio::runBounded(
      {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", "-c", "{} loop"}, 1.0, 1 << 20);
  EXPECT_TRUE(endless.timedOut);
  EXPECT_EQ(endless.exitCode, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  auto chatty = imageio::runBounded({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", "-c",
                                     "{(xxxxxxxxxxxxxxxx) print} loop"},
                                    20.0, 4096);
  EXPECT_TRUE(chatty.outputTooLarge);
  EXPECT_LE(chatty.output.size(), 4096u);

  // -dSAFER stops file access outside the job.
  auto sneaky = imageio::runBounded({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", "-c",
                                     "(/etc/passwd) (r) file 100 string readstring pop print"},
                                    20.0, 1 << 20);
  EXPECT_EQ(std::string(sneaky.output.begin(), sneaky.output.end()).find("root:"), std::string::npos);

  auto missing = imageio::runBounded({"/nonexistent/program"}, 5.0, 100);
  EXPECT_EQ(missing.exitCode, -1);
}
