// PDF and EPS input: page sizes from the largest embedded image, the aspect
// correction, the 10000-pixel cap on sizes that come from file data, and
// unreadable documents.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "engine/document_raster_size.h"
#include "engine/imported_image.h"
#include "loaders_fixtures.h"
#include "param_names.h"
#include "platform/foundation/files.h"
#include "platform/imageio/postscript_time_budget.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using loaders_testing::PdfPageSpec;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(DocumentRasterSize, AspectCorrection) {
  struct Case {
    raster::Size page, render, expected;
  } cases[] = {
      {{612, 792}, {2550, 3300}, {2550, 3300}},  // same ratio to two decimals
      {{612, 792}, {2000, 2000}, {2000, 2589}},  // scaled by the larger side ratio
      {{612, 792}, {612, 792}, {612, 792}},
      {{612, 792}, {0, 3300}, {0, 3300}},      // a zero side is answered as it is
      {{0, 792}, {2000, 2000}, {2000, 2000}},  // no usable page
      {{kNaN, 792}, {2000, 2000}, {2000, 2000}},
      {{100, 10}, {200000, 20000}, {200000, 20000}},
      {{1, 1}, {1e300, 1}, {kInf, kInf}},  // beyond single precision: left to the cap to refuse
  };
  for (const Case& c : cases) {
    EXPECT_EQ(aspectCorrectedPDFSize(c.page, c.render), c.expected)
        << c.page.width << "x" << c.page.height << " " << c.render.width << "x" << c.render.height;
  }
}

TEST(DocumentRasterSize, CapKeepsTheAspectRatioAndRefusesWhatCannotBeDrawn) {
  struct Case {
    double width, height;
    std::optional<DocumentPixelSize> expected;
  } cases[] = {
      {2000.9, 2589.2, DocumentPixelSize{2000, 2589}},  // truncated
      {10000, 10000, DocumentPixelSize{10000, 10000}},
      {200000, 20000, DocumentPixelSize{10000, 1000}},
      {40000, 51765, DocumentPixelSize{7727, 10000}},
      {9.2e18, 1.19e19, DocumentPixelSize{7731, 10000}},  // beyond 32 bits
      {1e300, 1e300, DocumentPixelSize{10000, 10000}},
      {100000, 1, std::nullopt},  // the short side would vanish
      {0.5, 100, std::nullopt},
      {0, 0, std::nullopt},
      {-5, 10, std::nullopt},
      {kInf, 10, std::nullopt},
      {kNaN, 10, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cappedDocumentPixelSize(c.width, c.height), c.expected) << c.width << " x " << c.height;
  }
}

struct PdfCase {
  std::string name;
  std::vector<PdfPageSpec> pages;
  std::optional<DocumentPixelSize> pixels;  // nullopt: no representations
  raster::Size points;
  friend void PrintTo(const PdfCase& c, std::ostream* os) { *os << c.name; }
};

class PdfLoader : public ::testing::TestWithParam<PdfCase> {};

TEST_P(PdfLoader, RendersEveryPageAtTheSizeOfPageOne) {
  const PdfCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.file("input.pdf");
  ASSERT_TRUE(loaders_testing::writeHandmadePdf(path, c.pages));
  ImportedImage engine;
  const auto reps = engine.setPdfBmpImageRepWithURL(path);
  if (!c.pixels) {
    EXPECT_FALSE(reps);
    EXPECT_EQ(engine.PDFSizeWithURL(path, {c.pages[0].width, c.pages[0].height}), (raster::Size{0, 0}));
    return;
  }
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), c.pages.size());
  for (const auto& rep : *reps) {
    EXPECT_EQ(rep->pixelsWide(), c.pixels->width);
    EXPECT_EQ(rep->pixelsHigh(), c.pixels->height);
    EXPECT_EQ(rep->size(), c.points);
  }
  // The lower-left quarter of every page is painted blue (image rows are
  // top-down).
  const auto& first = reps->front();
  EXPECT_EQ(loaders_testing::rgbaAt(first, first->pixelsWide() / 8, first->pixelsHigh() * 7 / 8),
            (std::array<int, 4>{0, 0, 255, 255}));
  // The preview's sizing agrees with the loader.
  EXPECT_EQ(engine.PDFSizeWithURL(path, c.points),
            (raster::Size{double(c.pixels->width), double(c.pixels->height)}));
}

using Px = DocumentPixelSize;

INSTANTIATE_TEST_SUITE_P(
    Pages, PdfLoader,
    ::testing::Values(
        PdfCase{"vector pages at 72 dpi", {{612, 792}, {612, 792}}, Px{612, 792}, {612, 792}},
        PdfCase{"300 dpi page image", {{612, 792, 2550, 3300, true}}, Px{2550, 3300}, {612, 792}},
        PdfCase{
            "square image on letter", {{612, 792, 2000, 2000, true}, {612, 792}}, Px{2000, 2589}, {612, 792}},
        PdfCase{"others stretched into page one",
                {{300, 200, 600, 400, true}, {100, 400}, {50, 50}},
                Px{600, 400},
                {300, 200}},
        PdfCase{
            "only page one is scanned", {{200, 100}, {200, 100, 4000, 2000, true}}, Px{200, 100}, {200, 100}},
        PdfCase{"huge declared image capped", {{100, 10, 200000, 20000, false}}, Px{10000, 1000}, {100, 10}},
        PdfCase{"a page too thin to draw", {{100000, 1}}, std::nullopt, {}}),
    testing_names::ByNameMember{});

TEST(PdfLoader, SeveralPagesSizedFromTheLargestImageOfOurWriter) {
  testsupport::TempDir dir;
  const std::string path = dir.file("pages.pdf");
  // Page 1 is 300 x 400 points holding a 600 x 800 image (144 dpi).
  ASSERT_TRUE(loaders_testing::writeFrames(path, "com.adobe.pdf",
                                           {{loaders_testing::solidImage(600, 800, {255, 0, 0}), 144},
                                            {loaders_testing::solidImage(300, 400, {0, 255, 0}), 72},
                                            {loaders_testing::solidImage(200, 100, {0, 0, 255}), 72}}));
  ImportedImage engine;
  const auto reps = engine.setPdfBmpImageRepWithURL(path);
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), 3u);
  const std::array<int, 4> colours[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& rep = (*reps)[i];
    EXPECT_EQ(rep->pixelsWide(), 600);
    EXPECT_EQ(rep->pixelsHigh(), 800);
    EXPECT_EQ(rep->size(), (raster::Size{300, 400}));
    EXPECT_EQ(loaders_testing::rgbaAt(rep, 300, 400), colours[i]) << "page " << i;
  }
}

TEST(PdfLoader, UnreadableDocumentsGiveNothing) {
  testsupport::TempDir dir;
  const std::string pdf = dir.file("good.pdf");
  ASSERT_TRUE(loaders_testing::writeHandmadePdf(pdf, {{612, 792}}));
  const std::string png = dir.file("picture.pdf");
  ASSERT_TRUE(
      loaders_testing::writeFrames(png, "public.png", {{loaders_testing::solidImage(4, 4, {1, 2, 3})}}));
  const std::string cut = dir.file("cut.pdf");
  ASSERT_TRUE(loaders_testing::writeTruncatedCopy(pdf, cut, 40));
  const std::string text = dir.file("text.pdf");
  ASSERT_TRUE(foundation::writeFileAtomically(text, foundation::Data{'h', 'i', '\n'}));

  ImportedImage engine;
  for (const std::string& path : {png, cut, text, dir.file("missing.pdf"), std::string()}) {
    EXPECT_FALSE(engine.setPdfBmpImageRepWithURL(path)) << path;
  }
  // Without a readable document the page rectangle alone decides.
  EXPECT_EQ(engine.verifyPDFSizeForURL(text, raster::Rect(0, 0, 300.7, 200.2)), (raster::Size{300, 200}));
  EXPECT_EQ(engine.PDFSizeWithURL(dir.file("missing.pdf"), {300, 200}), (raster::Size{300, 200}));
}

struct EpsCase {
  std::string name;
  std::string boundingBox;
  std::optional<DocumentPixelSize> pixels;
  raster::Size points;
  friend void PrintTo(const EpsCase& c, std::ostream* os) { *os << c.name; }
};

class EpsLoader : public ::testing::TestWithParam<EpsCase> {};

TEST_P(EpsLoader, DrawsTheBoundingBoxAtOnePixelPerPoint) {
  const EpsCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.file("art.eps");
  ASSERT_TRUE(loaders_testing::writeRedEps(path, c.boundingBox));
  ImportedImage engine;
  const auto reps = engine.setEpsBmpImageRepWithURL(path);
  if (!c.pixels) {
    EXPECT_FALSE(reps);
    return;
  }
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), 1u);
  const auto& rep = reps->front();
  EXPECT_EQ(rep->pixelsWide(), c.pixels->width);
  EXPECT_EQ(rep->pixelsHigh(), c.pixels->height);
  EXPECT_EQ(rep->size(), c.points);
  EXPECT_EQ(loaders_testing::rgbaAt(rep, rep->pixelsWide() / 2, rep->pixelsHigh() / 2),
            (std::array<int, 4>{255, 0, 0, 255}));
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, EpsLoader,
    ::testing::Values(
        EpsCase{"at the origin", "0 0 200 100", DocumentPixelSize{200, 100}, {200, 100}},
        EpsCase{"offset box", "50 60 250 160", DocumentPixelSize{200, 100}, {200, 100}},
        EpsCase{"wide box is capped", "0 0 20000 1000", DocumentPixelSize{10000, 500}, {20000, 1000}},
        EpsCase{"box too thin to draw", "0 0 200000 1", std::nullopt, {}},
        EpsCase{"empty box", "10 10 10 50", std::nullopt, {}}),
    testing_names::ByNameMember{});

TEST(EpsLoader, FileWrittenByGhostscript) {
  testsupport::TempDir dir;
  // The page's marks are its blue lower-left quarter: the box is 100 x 50.
  const std::string pdf = dir.file("page.pdf");
  ASSERT_TRUE(loaders_testing::writeHandmadePdf(pdf, {{200, 100}}));
  const std::string eps = dir.file("page.eps");
  const auto result = testsupport::runCommand(
      {"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=eps2write", "-sOutputFile=" + eps, pdf});
  if (result.exitCode != 0) GTEST_SKIP() << "gs cannot write EPS: " << result.output;
  ImportedImage engine;
  const auto reps = engine.setEpsBmpImageRepWithURL(eps);
  ASSERT_TRUE(reps);
  ASSERT_EQ(reps->size(), 1u);
  const auto& rep = reps->front();
  EXPECT_EQ(rep->pixelsWide(), 100);
  EXPECT_EQ(rep->pixelsHigh(), 50);
  EXPECT_EQ(rep->size(), (raster::Size{100, 50}));
  EXPECT_EQ(loaders_testing::rgbaAt(rep, 50, 25), (std::array<int, 4>{0, 0, 255, 255}));
}

TEST(EpsLoader, UnreadableFilesGiveNothing) {
  testsupport::TempDir dir;
  const std::string eps = dir.file("good.eps");
  ASSERT_TRUE(loaders_testing::writeRedEps(eps, "0 0 20 10"));
  const std::string cut = dir.file("cut.eps");
  ASSERT_TRUE(loaders_testing::writeTruncatedCopy(eps, cut, 20));  // before the bounding box
  const std::string pdf = dir.file("document.eps");
  ASSERT_TRUE(loaders_testing::writeHandmadePdf(pdf, {{20, 10}}));
  const std::string text = dir.file("text.eps");
  ASSERT_TRUE(foundation::writeFileAtomically(text, foundation::Data{'h', 'i', '\n'}));
  ImportedImage engine;
  for (const std::string& path : {cut, pdf, text, dir.file("missing.eps"), std::string()}) {
    EXPECT_FALSE(engine.setEpsBmpImageRepWithURL(path)) << path;
  }
}

// Detection, the EPS loader and the generic fallbacks all open the file: a
// never-ending one still costs a single time limit and fails the file.
TEST(EpsLoader, NeverEndingFileFailsWithinOneTimeLimit) {
  if (testsupport::runCommand({"gs", "--version"}).exitCode != 0) GTEST_SKIP() << "ghostscript missing";
  const double limit = imageio::postScriptTimeLimit();
  imageio::setPostScriptTimeLimit(1.5);
  testsupport::TempDir dir;
  const struct {
    const char* name;
    std::string text;
  } cases[] = {{"boxed.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n{} loop\n"},
               {"unboxed.eps", "%!PS-Adobe-3.0 EPSF-3.0\n{} loop\n"}};
  for (const auto& c : cases) {
    const std::string eps = dir.file(c.name);
    ASSERT_TRUE(foundation::writeFileAtomically(eps, foundation::Data(c.text.begin(), c.text.end())));
    ImportedImage engine;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(engine.resizePixelSizeForURL(eps, ImageModifyInfo{}, nullptr, nullptr)) << eps;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900)) << eps;
  }
  imageio::setPostScriptTimeLimit(limit);
}

}  // namespace
}  // namespace velumar
