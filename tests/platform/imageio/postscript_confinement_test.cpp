// Hostile PostScript against the confined Ghostscript runs: file access
// outside the run fails and touches nothing, the caller's environment stays
// hidden, a never-ending file costs one time limit, and benign files still
// render in the same run.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "doc_codecs_support.h"
#include "platform/imageio/ghostscript.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/postscript_time_budget.h"
#include "support/test_support.h"

using namespace doctest;

namespace {

std::string readText(const std::string& path) {
  const auto bytes = readAll(path);
  return std::string(bytes.begin(), bytes.end());
}

// A 10 x 10 point EPS that runs attempt (which sets /breach true when it
// gets through) and paints itself red on a breach, blue otherwise.
std::string attemptingEps(const std::string& attempt) {
  return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n/breach false def\n{ " + attempt +
         " } stopped pop\nbreach { 1 0 0 } { 0 0 1 } ifelse setrgbcolor 0 0 10 10 rectfill\n";
}

// The first pixel of the file rendered through the image source; empty
// when it did not render.
std::vector<std::uint8_t> firstPixel(const std::string& path) {
  auto source = imageio::ImageSource::open(path);
  if (!source) return {};
  auto image = source->createImage(0);
  if (!image) return {};
  auto rgba = exportedPixels(*image, 8, true);
  return {rgba.begin(), rgba.begin() + 4};
}

}  // namespace

TEST(PostScriptConfinement, FileAccessOutsideTheRunFailsAndTouchesNothing) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  // The victims sit in the system temporary folder, which Ghostscript's
  // safe mode would otherwise open to the file.
  testsupport::TempDir victims;
  const std::string secret = victims.file("secret.txt");
  const std::string doomed = victims.file("doomed.txt");
  const std::string planted = victims.file("planted.txt");
  writeText(secret, "secret");
  writeText(doomed, "keep me");
  const std::string folder = victims.path().string();
  const struct {
    const char* name;
    std::string attempt;
  } cases[] = {
      {"read", "(" + secret + ") (r) file 6 string readstring pop pop /breach true def"},
      {"write", "(" + planted + ") (w) file dup (x) writestring closefile /breach true def"},
      {"delete", "(" + doomed + ") deletefile /breach true def"},
      {"rename", "(" + doomed + ") (" + planted + ") renamefile /breach true def"},
      {"list", "(" + folder + "/*) { pop /breach true def } 1024 string filenameforall"},
      {"read through the run's own folder", "null (w) .tempfile closefile (/../../../../../../.." + secret +
                                                ") concatstrings (r) file pop "
                                                "/breach true def"},
  };
  testsupport::TempDir work;
  for (const auto& c : cases) {
    const std::string eps = work.file(std::string(c.name) + ".eps");
    writeText(eps, attemptingEps(c.attempt));
    const auto pixel = firstPixel(eps);
    ASSERT_EQ(pixel.size(), 4u) << c.name;
    EXPECT_EQ(pixel[0], 0) << c.name << ": the attempt got through";
    EXPECT_EQ(pixel[2], 255) << c.name;
    EXPECT_EQ(readText(secret), "secret") << c.name;
    EXPECT_EQ(readText(doomed), "keep me") << c.name;
    EXPECT_FALSE(std::filesystem::exists(planted)) << c.name;
  }
  // A benign file in the same run still renders.
  const std::string benign = work.file("benign.eps");
  writeText(benign, attemptingEps(""));
  const auto pixel = firstPixel(benign);
  ASSERT_EQ(pixel.size(), 4u);
  EXPECT_EQ(pixel[2], 255);
}

TEST(PostScriptConfinement, RunsSeeOnlyTheirOwnEmptyTemporaryFolder) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  // Ghostscript takes options from its environment: an inherited one would
  // define the canary.
  const char* previous = ::getenv("GS_OPTIONS");
  const std::string kept = previous ? previous : "";
  ::setenv("GS_OPTIONS", "-dVELUMAR_TEST_CANARY", 1);
  const auto result = imageio::runGhostscript(
      {"-sDEVICE=nullpage", "-c",
       "/VELUMAR_TEST_CANARY where { pop (leaked) } { (hidden) } ifelse print (\\n) print "
       "null (w) .tempfile closefile print (\\n) print flush"},
      20.0, 1 << 16);
  if (previous)
    ::setenv("GS_OPTIONS", kept.c_str(), 1);
  else
    ::unsetenv("GS_OPTIONS");
  const std::string output(result.output.begin(), result.output.end());
  ASSERT_EQ(result.exitCode, 0) << result.errors;
  const auto newline = output.find('\n');
  ASSERT_NE(newline, std::string::npos) << output;
  EXPECT_EQ(output.substr(0, newline), "hidden");
  // The temporary file it made lies in a folder of its own, gone now.
  std::string temporary = output.substr(newline + 1);
  if (!temporary.empty() && temporary.back() == '\n') temporary.pop_back();
  const std::filesystem::path folder = std::filesystem::path(temporary).parent_path();
  ASSERT_FALSE(folder.empty()) << output;
  EXPECT_NE(folder, std::filesystem::temp_directory_path());
  EXPECT_FALSE(std::filesystem::exists(folder)) << "the run's folder was left behind";
}

TEST(PostScriptConfinement, NeverEndingFileCostsOneTimeLimit) {
  if (!haveGhostscript()) GTEST_SKIP() << "ghostscript missing";
  const double limit = imageio::postScriptTimeLimit();
  imageio::setPostScriptTimeLimit(1.5);
  testsupport::TempDir work;
  const struct {
    const char* name;
    const char* text;
  } cases[] = {
      {"with a box", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n{} loop\n"},
      {"without a box", "%!PS-Adobe-3.0\n{} loop\n"},
  };
  for (const auto& c : cases) {
    const std::string eps = work.file(std::string(c.name) + ".eps");
    writeText(eps, c.text);
    const auto start = std::chrono::steady_clock::now();
    // Opening and decoding again, as detection, loaders and fallbacks do.
    for (int attempt = 0; attempt < 3; ++attempt) EXPECT_TRUE(firstPixel(eps).empty()) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900)) << c.name;
  }
  imageio::setPostScriptTimeLimit(limit);
}
