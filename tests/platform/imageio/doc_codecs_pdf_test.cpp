#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "doc_codecs_support.h"
#include "platform/imageio/pdf_document.h"
#include "support/test_support.h"

using namespace doctest;

namespace {

const imageio::Codec& pdfCodec() {
  const imageio::Codec* codec = imageio::codecForType("com.adobe.pdf");
  EXPECT_NE(codec, nullptr);
  return *codec;
}

imageio::Frame frameAt(raster::ImageRef image, double dpi) {
  return imageio::Frame{std::move(image),
                        foundation::Value(foundation::Dictionary{{"DPIWidth", dpi}, {"DPIHeight", dpi}}),
                        std::nullopt};
}

// Runs Ghostscript on a PostScript program to make a test file.
bool ghostscript(const std::string& device, const std::string& program, const std::string& psPath,
                 const std::string& out) {
  writeAll(psPath, std::vector<std::uint8_t>(program.begin(), program.end()));
  return testsupport::runCommand({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=" + device,
                                  "-sOutputFile=" + out, psPath})
             .exitCode == 0;
}

// Three pages of 200 x 100 points: a red, a green and a blue rectangle in
// the middle of an otherwise empty page.
const char* kThreePages =
    "%!PS\n<< /PageSize [200 100] >> setpagedevice\n"
    "1 0 0 setrgbcolor 50 25 100 50 rectfill showpage\n"
    "0 1 0 setrgbcolor 50 25 100 50 rectfill showpage\n"
    "0 0 1 setrgbcolor 50 25 100 50 rectfill showpage\n";

}  // namespace

// Our PDFs: page size from the DPI, colour spaces from the profiles, alpha
// as a soft mask, 16 bits kept.
TEST(DocCodecsPdf, WrittenPdfsReadBack) {
  struct Case {
    const char* name;
    int components;
    int bits;
    bool alpha;
    const char* space;
  };
  const Case cases[] = {
      {"rgb 8 alpha", 3, 8, true, "/ICCBased"}, {"rgb 16", 3, 16, false, "/ICCBased"},
      {"gray 8", 1, 8, false, "/ICCBased"},     {"gray 16 alpha", 1, 16, true, "/ICCBased"},
      {"cmyk 8", 4, 8, false, "/ICCBased"},
  };
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = makeImage(120, 60, c.components, c.bits, c.alpha);
    const std::string path = dir.file("out.pdf");
    ASSERT_TRUE(pdfCodec().write(path, {frameAt(image, 144), frameAt(image, 72)}, {}));

    auto document = imageio::PdfDocument::open(path);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->pageCount(), 2u);
    auto page = document->page(0);
    ASSERT_TRUE(page);
    EXPECT_NEAR(page->mediaBox.width, 60.0, 1e-3);  // 120 pixels at 144 dpi
    EXPECT_NEAR(page->mediaBox.height, 30.0, 1e-3);
    EXPECT_NEAR(document->page(1)->mediaBox.width, 120.0, 1e-3);

    auto scan = imageio::largestImageXObjectSize(path);
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->width, 120);
    EXPECT_EQ(scan->height, 60);

    // The image object as written.
    QPDF pdf;
    pdf.processFile(path.c_str());
    auto xobject = QPDFPageDocumentHelper(pdf)
                       .getAllPages()
                       .front()
                       .getObjectHandle()
                       .getKey("/Resources")
                       .getKey("/XObject")
                       .getKey("/Im0");
    auto dict = xobject.getDict();
    EXPECT_EQ(dict.getKey("/BitsPerComponent").getIntValue(), c.bits);
    auto space = dict.getKey("/ColorSpace");
    ASSERT_TRUE(space.isArray());
    EXPECT_EQ(space.getArrayItem(0).getName(), c.space);
    EXPECT_EQ(space.getArrayItem(1).getDict().getKey("/N").getIntValue(), c.components);
    EXPECT_EQ(dict.getKey("/SMask").isStream(), c.alpha);

    // Rendered at the image's own size, the picture comes back.
    auto rendered = document->render(0, 120, 60, imageio::kDefaultPixelLimit);
    ASSERT_TRUE(rendered);
    if (c.components == 3) {
      EXPECT_LE(maxDifference(exportedPixels(*rendered, 8, true), exportedPixels(*image, 8, true)), 3);
    } else if (c.alpha) {
      const auto want = exportedPixels(*image, 8, true);
      const auto got = exportedPixels(*rendered, 8, true);
      for (std::size_t i = 0; i < 120 * 60; i += 97) EXPECT_NEAR(got[i * 4 + 3], want[i * 2 + 1], 2) << i;
    }
  }
}

TEST(DocCodecsPdf, ReadsMultiPagePdfFromGhostscript) {
  testsupport::TempDir dir;
  const std::string path = dir.file("pages.pdf");
  if (!ghostscript("pdfwrite", kThreePages, dir.file("pages.ps"), path))
    GTEST_SKIP() << "ghostscript missing";
  auto decoder = pdfCodec().open(path, imageio::kDefaultPixelLimit);
  ASSERT_TRUE(decoder);
  ASSERT_EQ(decoder->count(), 3u);
  const auto props = decoder->properties(1);
  EXPECT_EQ(at(props, {"PixelWidth"}).intOr(0), 200);
  EXPECT_EQ(at(props, {"PixelHeight"}).intOr(0), 100);
  EXPECT_DOUBLE_EQ(at(props, {"{PDF}", "MediaBox"}).asArray()->at(2).doubleOr(0), 200.0);
  const auto file = decoder->fileProperties();
  EXPECT_EQ(at(file, {"{PDF}", "PageCount"}).intOr(0), 3);
  EXPECT_FALSE(at(file, {"{PDF}", "Producer"}).stringOr("").empty());

  const std::uint8_t expected[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (std::size_t index = 0; index < 3; ++index) {
    SCOPED_TRACE(index);
    auto image = decoder->decode(index, {});
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width(), 200);
    const auto pixels = exportedPixels(*image, 8, true);
    const std::size_t centre = (50 * 200 + 100) * 4, corner = (5 * 200 + 5) * 4;
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(pixels[centre + std::size_t(c)], expected[index][c], 2);
    EXPECT_EQ(pixels[centre + 3], 255);
    EXPECT_EQ(pixels[corner + 3], 0);  // transparent where nothing is drawn
  }
  // A reduced decode renders directly at the smaller size.
  auto small = decoder->decode(0, imageio::DecodeOptions{50, true});
  ASSERT_TRUE(small);
  EXPECT_EQ(small->width(), 50);
  EXPECT_EQ(small->height(), 25);
  // Vector pages have no image objects.
  auto scan = imageio::largestImageXObjectSize(path);
  ASSERT_TRUE(scan);
  EXPECT_EQ(scan->width, 0);
  EXPECT_EQ(scan->height, 0);
}

// Pages may inherit their resources from the page tree; the scan follows.
TEST(DocCodecsPdf, ObjectScanFindsInheritedResources) {
  testsupport::TempDir dir;
  const std::string path = dir.file("direct.pdf");
  ASSERT_TRUE(pdfCodec().write(path, {frameAt(makeImage(90, 70, 3, 8, false), 300)}, {}));
  const std::string inherited = dir.file("inherited.pdf");
  {
    QPDF pdf;
    pdf.processFile(path.c_str());
    auto page = QPDFPageDocumentHelper(pdf).getAllPages().front().getObjectHandle();
    auto resources = page.getKey("/Resources");
    page.removeKey("/Resources");
    pdf.getRoot().getKey("/Pages").replaceKey("/Resources", resources);
    QPDFWriter writer(pdf, inherited.c_str());
    writer.write();
  }
  for (const std::string& file : {path, inherited}) {
    SCOPED_TRACE(file);
    auto scan = imageio::largestImageXObjectSize(file);
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->width, 90);
    EXPECT_EQ(scan->height, 70);
  }
}

TEST(DocCodecsPdf, MalformedPdfsFailCleanly) {
  testsupport::TempDir dir;
  const std::string path = dir.file("good.pdf");
  ASSERT_TRUE(pdfCodec().write(path, {frameAt(makeImage(40, 30, 3, 8, true), 72)}, {}));
  const auto original = readAll(path);
  const std::string bad = dir.file("bad.pdf");
  for (int step = 0; step < 80; ++step) {
    writeAll(bad, std::vector<std::uint8_t>(
                      original.begin(),
                      original.begin() + std::ptrdiff_t(original.size() * std::size_t(step) / 80)));
    auto scan = imageio::largestImageXObjectSize(bad);
    if (scan) {
      EXPECT_GE(scan->width, 0);
    }
  }
  std::uint32_t seed = 5;
  for (int i = 0; i < 150; ++i) {
    auto bytes = original;
    seed = seed * 1664525u + 1013904223u;
    bytes[(seed >> 8) % bytes.size()] ^= std::uint8_t(1u << (i % 8));
    writeAll(bad, bytes);
    imageio::largestImageXObjectSize(bad);
  }
  mutationSweep(pdfCodec(), original, bad, 40, 60);
  writeAll(bad, {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n'});
  EXPECT_FALSE(imageio::largestImageXObjectSize(bad));
  EXPECT_FALSE(pdfCodec().open(bad, imageio::kDefaultPixelLimit));
  EXPECT_FALSE(imageio::largestImageXObjectSize(dir.file("missing.pdf")));
}
