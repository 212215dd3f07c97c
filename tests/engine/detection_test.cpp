// File-type detection on real files written by ImageMagick, and the
// loader-kind checks.

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "engine/imported_image.h"
#include "param_names.h"
#include "platform/imageio/type_detection.h"
#include "support/test_support.h"

namespace velumar {
namespace {

// Whether one of the types (separated by "|") has a decoder.
bool canRead(std::string_view types) {
  const auto readable = imageio::readableTypes();
  while (!types.empty()) {
    auto bar = types.find('|');
    std::string type(types.substr(0, bar));
    if (std::find(readable.begin(), readable.end(), type) != readable.end()) return true;
    types = bar == std::string_view::npos ? std::string_view() : types.substr(bar + 1);
  }
  return false;
}

// Writes a small picture: with ImageMagick for "<format>", with Ghostscript
// for "gs:<device>" (ImageMagick may not write PDF or PostScript here).
bool writeWithConvert(const std::string& format, const std::string& path) {
  if (format.rfind("gs:", 0) == 0) {
    auto result = testsupport::runCommand({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER",
                                           "-sDEVICE=" + format.substr(3), "-o", path, "-c",
                                           "<</PageSize [24 16]>> setpagedevice 1 0 0 setrgbcolor "
                                           "0 0 24 16 rectfill showpage"});
    return result.exitCode == 0;
  }
  auto result = testsupport::runCommand(
      {"/usr/bin/convert", "-size", "24x16", "gradient:red-blue", format + ":" + path});
  return result.exitCode == 0;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

struct DetectionCase {
  const char* name;
  const char* fileName;
  const char* magickFormat;  // what the file really holds
  const char* decoderType;   // the type whose decoder must exist
  std::int64_t expectedType;
  const char* expectedExtension;

  friend void PrintTo(const DetectionCase& c, std::ostream* os) { *os << c.name; }
};

class DetectionTest : public testing::TestWithParam<DetectionCase> {};

TEST_P(DetectionTest, AppendsTheCanonicalExtension) {
  const DetectionCase& c = GetParam();
  if (!canRead(c.decoderType)) GTEST_SKIP() << "no decoder for " << c.decoderType;
  testsupport::TempDir dir;
  const std::string path = dir.file(c.fileName);
  ASSERT_TRUE(writeWithConvert(c.magickFormat, path));
  ImportedImage engine;
  auto result = engine.verifyFileTypeFromURL(path);
  ASSERT_TRUE(result) << c.name;
  EXPECT_EQ(result->fileType, c.expectedType) << c.name;
  EXPECT_EQ(result->path, path + "." + c.expectedExtension) << c.name;
  EXPECT_EQ(result->canonicalExtension(), c.expectedExtension) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DetectionTest,
    testing::Values(
        DetectionCase{"jpeg appended not substituted", "photo.jpeg", "jpeg", "public.jpeg", 0, "jpg"},
        DetectionCase{"jpg in capitals", "PHOTO.JPG", "jpeg", "public.jpeg", 0, "jpg"},
        DetectionCase{"png", "a.png", "png", "public.png", 1, "png"},
        DetectionCase{"bmp", "a.bmp", "bmp3", "com.microsoft.bmp", 2, "bmp"},
        DetectionCase{"tiff with short extension", "a.tif", "tiff", "public.tiff", 3, "tiff"},
        DetectionCase{"gif", "a.gif", "gif", "com.compuserve.gif", 6, "gif"},
        DetectionCase{"psd", "a.psd", "psd", "com.adobe.photoshop-image", 7, "psd"},
        DetectionCase{"no extension is read from the contents", "photo", "jpeg", "public.jpeg", 0, "jpg"},
        DetectionCase{"unknown extension is read from the contents", "picture.dat", "png", "public.png", 1,
                      "png"},
        DetectionCase{"other readable image", "a.webp", "webp", "org.webmproject.webp", 10, "image"},
        DetectionCase{"pdf", "doc.pdf", "gs:pdfwrite", "com.adobe.pdf", 4, "pdf"},
        DetectionCase{"eps", "art.eps", "gs:eps2write", "com.adobe.postscript", 8, "eps"},
        DetectionCase{"heic", "a.heic", "heic", "public.heic|public.heif", 14, "heif"}),
    testing_names::ByNameMember());

TEST(Detection, TextFilesAreRefused) {
  testsupport::TempDir dir;
  ImportedImage engine;
  for (const char* name : {"notes.txt", "notes", "fake.jpg", "fake.png", "fake.psd"}) {
    writeText(dir.file(name), "This is plain text, not a picture.\n");
    EXPECT_FALSE(engine.verifyFileTypeFromURL(dir.file(name))) << name;
  }
}

TEST(Detection, MissingEmptyAndTruncatedAreRefused) {
  testsupport::TempDir dir;
  ImportedImage engine;
  EXPECT_FALSE(engine.verifyFileTypeFromURL(""));
  EXPECT_FALSE(engine.verifyFileTypeFromURL(dir.file("missing.jpg")));
  EXPECT_FALSE(engine.verifyFileTypeFromURL(dir.path().string()));
  writeText(dir.file("empty.png"), "");
  EXPECT_FALSE(engine.verifyFileTypeFromURL(dir.file("empty.png")));
  const std::string cut = dir.file("cut.png");
  ASSERT_TRUE(writeWithConvert("png", cut));
  std::ifstream in(cut, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  writeText(cut, bytes.substr(0, 12));
  EXPECT_FALSE(engine.verifyFileTypeFromURL(cut));
}

TEST(Detection, NamedTypesAreToldByTheirHeaderWithoutDecoding) {
  testsupport::TempDir dir;
  ImportedImage engine;
  // Damaged after the header: the type is still known, the decode fails
  // later with its own message.
  const std::string jpeg = dir.file("damaged.jpg");
  ASSERT_TRUE(writeWithConvert("jpeg", jpeg));
  std::string bytes;
  {
    std::ifstream in(jpeg, std::ios::binary);
    bytes.assign((std::istreambuf_iterator<char>(in)), {});
  }
  writeText(jpeg, bytes.substr(0, 20) + std::string(200, '\x5a'));
  const std::string png = dir.file("damaged.png");
  ASSERT_TRUE(writeWithConvert("png", png));
  {
    std::ifstream in(png, std::ios::binary);
    bytes.assign((std::istreambuf_iterator<char>(in)), {});
  }
  writeText(png, bytes.substr(0, 33) + std::string(64, '\x5a'));
  // PostScript that never ends, without a box to read: telling its type
  // must not run it.
  const std::string eps = dir.file("endless.eps");
  writeText(eps, "%!PS-Adobe-3.0 EPSF-3.0\n{} loop\n");
  const struct {
    std::string path;
    std::int64_t type;
  } cases[] = {{jpeg, FileType::JPEG}, {png, FileType::PNG}, {eps, FileType::EPS}};
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const auto detected = engine.verifyFileTypeFromURL(c.path);
    ASSERT_TRUE(detected) << c.path;
    EXPECT_EQ(detected->fileType, c.type) << c.path;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.path;
  }
}

TEST(Detection, ContentTypeFallbacks) {
  testsupport::TempDir dir;
  const std::string path = dir.file("noext");
  ASSERT_TRUE(writeWithConvert("png", path));
  EXPECT_EQ(ImportedImage::imageFileUTI(path), "public.png");
  EXPECT_FALSE(ImportedImage::isImageFile(path));  // no extension to go by
  const std::string named = dir.file("x.jpg");
  ASSERT_TRUE(writeWithConvert("jpeg", named));
  EXPECT_EQ(ImportedImage::isImageFile(named), "public.jpeg");
  EXPECT_FALSE(ImportedImage::isImageFile(dir.file("missing.jpg")));
  EXPECT_TRUE(ImportedImage::pasteboardImageTestWithURL(path));
  writeText(dir.file("t.txt"), "text");
  EXPECT_FALSE(ImportedImage::imageFileUTI(dir.file("t.txt")));
  EXPECT_FALSE(ImportedImage::pasteboardImageTestWithURL(dir.file("t.txt")));
}

// ---- Loader kinds --------------------------------------------------------------

struct LoaderCase {
  const char* ownExtension;
  const char* detectedExtension;
  LoaderKind pdf, eps, ai, psd;

  friend void PrintTo(const LoaderCase& c, std::ostream* os) {
    *os << "own '" << c.ownExtension << "' detected '" << c.detectedExtension << "'";
  }
};

class LoaderKindTest : public testing::TestWithParam<LoaderCase> {};

TEST_P(LoaderKindTest, ChecksOwnAndCanonicalExtensions) {
  const LoaderCase& c = GetParam();
  FileTypeDetection types{std::string("/in/file.") + c.detectedExtension, FileType::OtherImage};
  SCOPED_TRACE(std::string("own '") + c.ownExtension + "', detected '" + c.detectedExtension + "'");
  EXPECT_EQ(ImportedImage::verifyPDFAndExtensionFromExt(c.ownExtension, types), c.pdf);
  EXPECT_EQ(ImportedImage::verifyEPSAndExtensionFromExt(c.ownExtension, types), c.eps);
  EXPECT_EQ(ImportedImage::verifyAIAndExtensionFromExt(c.ownExtension, types), c.ai);
  EXPECT_EQ(ImportedImage::verifyPSDAndExtensionFromExt(c.ownExtension, types), c.psd);
}

constexpr LoaderKind None = LoaderKind::None;

INSTANTIATE_TEST_SUITE_P(Kinds, LoaderKindTest,
                         testing::Values(LoaderCase{"PDF", "jpg", LoaderKind::PDF, None, None, None},
                                         LoaderCase{"", "pdf", LoaderKind::PDF, None, None, None},
                                         LoaderCase{"epsf", "tiff", None, LoaderKind::EPS, None, None},
                                         LoaderCase{"EPI", "png", None, LoaderKind::EPS, None, None},
                                         LoaderCase{"epsi", "png", None, LoaderKind::EPS, None, None},
                                         LoaderCase{"ps", "png", None, LoaderKind::EPS, None, None},
                                         LoaderCase{"", "eps", None, LoaderKind::EPS, None, None},
                                         LoaderCase{"Ai", "pdf", LoaderKind::PDF, None, LoaderKind::AI, None},
                                         LoaderCase{"", "ai", None, None, LoaderKind::AI, None},
                                         LoaderCase{"psd", "psd", None, None, None, LoaderKind::PSD},
                                         LoaderCase{"", "PSD", None, None, None, LoaderKind::PSD},
                                         LoaderCase{"", "image", None, None, None, None},
                                         LoaderCase{"jpeg", "jpg", None, None, None, None},
                                         LoaderCase{"pdfx", "jpg", None, None, None, None}),
                         [](const testing::TestParamInfo<LoaderCase>& info) {
                           return testing_names::paramName(
                               info.index, std::string("own ") + info.param.ownExtension + " detected " +
                                               info.param.detectedExtension);
                         });

}  // namespace
}  // namespace velumar
