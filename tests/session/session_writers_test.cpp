// The session writers on real files: outputs read back with identify,
// tiffinfo, getfattr and psd-tools.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/files.h"
#include "session/output_names.h"
#include "session_test_kit.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;
using sessiontest::SessionKit;
using sessiontest::toolOutput;

int frameCount(const std::string& path) {
  const std::string out = toolOutput({"identify", "-format", "x\n", path});
  return int(std::count(out.begin(), out.end(), 'x'));
}

// "r,g,b" of the file's first pixel, each rounded to a multiple of 64.
std::string coarseColour(const std::string& path) {
  return toolOutput({"/usr/bin/convert", path + "[0]", "-format",
                     "%[fx:round(4*u.r)*64],%[fx:round(4*u.g)*64],%[fx:round(4*u.b)*64]", "info:"});
}

TEST(SessionWriters, MultiFrameGifAndMultiPageTiff) {
  struct Case {
    const char* label;
    const char* input;
    std::int64_t conversionType;
    bool preserveMetadata;
    const char* output;
    int frames;
  };
  const Case cases[] = {
      {"GIF holding per-frame metadata", "anim.gif", 6, true, "anim.gif", 3},
      {"GIF holding no metadata", "anim.gif", 6, false, "anim.gif", 1},
      {"TIFF pages", "pages.tiff", 3, false, "pages.tiff", 3},
  };
  for (const Case& c : cases) {
    SessionKit kit;
    const std::string source = kit.makeInput(c.input, {"-size", "16x12", "xc:red", "xc:lime", "xc:blue"});
    kit.setSources({source});
    ImageModifyInfo info;
    info.conversionType = c.conversionType;
    info.preserveMetadata = c.preserveMetadata;
    auto image = kit.convert(source, info);
    ASSERT_TRUE(image) << c.label;
    if (!c.preserveMetadata) kit.engine->imageMetadataArray.reset();
    EXPECT_TRUE(kit.processing->saveImage(*image, info, info.originalFileType, *kit.session)) << c.label;
    EXPECT_EQ(kit.outputFiles(), std::vector<std::string>{c.output}) << c.label;
    EXPECT_EQ(frameCount(kit.output + "/" + c.output), c.frames) << c.label;
    EXPECT_EQ(kit.engine->urlsArray, std::vector<std::string>{kit.output + "/" + c.output}) << c.label;
  }
}

TEST(SessionWriters, TwoXTiffOfThreePagesTakesFreeNamesEvenWhenOverwriting) {
  SessionKit kit;
  const std::string source = kit.makeInput("scan.tiff", {"-size", "16x12", "xc:red", "xc:lime", "xc:blue"});
  kit.setSources({source});
  kit.session->overwriteFiles = true;
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFF2x;
  info.convert2XImagesInTIFF = true;
  auto image = kit.convert(source, info);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->representations().size(), 3u);
  EXPECT_TRUE(kit.processing->save2XTIFFImage(*image, info, *kit.session));
  EXPECT_EQ(kit.outputFiles(), (std::vector<std::string>{"scan 2.tiff", "scan 3.tiff", "scan.tiff"}));
  EXPECT_EQ(frameCount(kit.output + "/scan 2.tiff"), 2);  // full and half size
}

TEST(SessionWriters, CopyTakesAFreeNameEvenWhenOverwriting) {
  SessionKit kit;
  const std::string source = kit.makeInput("a.jpg", {"-size", "8x8", "xc:red"});
  std::ofstream(kit.output + "/a.jpg") << "older";
  kit.setSources({source});
  kit.session->overwriteFiles = true;
  kit.session->setProcessedURL(SourceFile{source, std::nullopt});
  EXPECT_TRUE(kit.processing->saveCopyImageWithSessionInfo(*kit.session));
  EXPECT_EQ(kit.outputFiles(), (std::vector<std::string>{"a 2.jpg", "a.jpg"}));
  EXPECT_EQ(foundation::readFile(kit.output + "/a 2.jpg"), foundation::readFile(source));
  EXPECT_EQ(foundation::readFile(kit.output + "/a.jpg")->size(), 5u);

  // A vanished source: no copy, nothing left behind.
  kit.session->setProcessedURL(SourceFile{kit.input + "/gone.jpg", std::nullopt});
  EXPECT_FALSE(kit.processing->saveCopyImageWithSessionInfo(*kit.session));
  EXPECT_EQ(kit.outputFiles().size(), 2u);
  EXPECT_EQ(kit.engine->urlsArray, std::vector<std::string>{kit.output + "/a 2.jpg"});
}

TEST(SessionWriters, LayeredPsdOfSourcesOfDifferentSizes) {
  SessionKit kit;
  const std::vector<std::string> sources = {kit.makeInput("one.png", {"-size", "30x20", "xc:red"}),
                                            kit.makeInput("two.png", {"-size", "50x40", "xc:lime"}),
                                            kit.makeInput("three.png", {"-size", "10x10", "xc:blue"})};
  kit.setSources(sources);
  ImageCollection collection;
  for (const std::string& source : sources) {
    ImageModifyInfo info;
    info.conversionType = ConversionType::PSDLayered;
    collection.push_back(kit.convert(source, info));
    ASSERT_TRUE(collection.back());
  }
  EXPECT_TRUE(kit.processing->savePSDMultipleRepsWithRepArray(collection, *kit.session));
  ASSERT_EQ(kit.outputFiles(), std::vector<std::string>{"one.psd"});
  // Layers top-most first, as the layers panel lists them: session order.
  const std::string layers = toolOutput(
      {"/usr/bin/python3", "-c",
       "import sys; from psd_tools import PSDImage; p = PSDImage.open(sys.argv[1]); "
       "print(p.width, p.height, [l.topil().convert('RGB').getpixel((0, 0)) for l in reversed(list(p))])",
       kit.output + "/one.psd"});
  EXPECT_EQ(layers, "50 40 [(255, 0, 0), (0, 255, 0), (0, 0, 255)]\n");
}

TEST(SessionWriters, MultiPageTiffGoesIntoTheOutputFolderWithoutTags) {
  SessionKit kit;
  const std::vector<std::string> sources = {kit.makeInput("x.png", {"-size", "12x8", "xc:red"}),
                                            kit.makeInput("y.png", {"-size", "12x8", "xc:blue"})};
  kit.session->urlsArray = {{sources[0], "/Trip/A"}, {sources[1], "/Trip/B"}};
  kit.session->urlsCount = 2;
  kit.session->maintainHierarchy = true;
  kit.session->canUseTags = true;
  const bool tagged = foundation::writeTags(sources[0], {"Red"});
  ImageCollection collection;
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFFMultiple;
  info.convertMultipleImagesInTIFF = true;
  for (const std::string& source : sources) collection.push_back(kit.convert(source, info));
  kit.engine->setActFileTags(std::vector<std::string>{"Red"});
  EXPECT_TRUE(kit.processing->saveTIFFMultipleRepsWithRepArray(collection, std::nullopt, info, *kit.session));
  EXPECT_EQ(kit.outputFiles(), std::vector<std::string>{"x.tiff"});
  EXPECT_EQ(frameCount(kit.output + "/x.tiff"), 2);
  if (tagged) {
    EXPECT_EQ(testsupport::runCommand({"getfattr", "-n", "user.xdg.tags", kit.output + "/x.tiff"}).exitCode,
              1);
  }
  // The collected images gave their pages away.
  for (const auto& image : collection) EXPECT_TRUE(image->isEmpty());
}

TEST(SessionWriters, CollectedOutputTakesNameAndDateFromTheFirstSource) {
  SessionKit kit;
  std::vector<std::string> sources;
  for (const auto& [name, date] :
       {std::pair{"first.jpg", "2024:05:01 10:00:00"}, {"last.jpg", "2023:01:02 10:00:00"}}) {
    sources.push_back(kit.makeInput(name, {"-size", "8x8", "xc:red"}));
    ASSERT_EQ(testsupport::runCommand({"exiftool", "-q", "-overwrite_original",
                                       std::string("-DateTimeOriginal=") + date, sources.back()})
                  .exitCode,
              0);
  }
  kit.setSources(sources);
  kit.session->setRenameInfo(RenameInfo{false, false, false, 0, false, false, 2});
  ImageModifyInfo info;
  info.conversionType = ConversionType::TIFFMultiple;
  info.convertMultipleImagesInTIFF = true;
  ImageCollection collection;
  for (const std::string& source : sources) collection.push_back(kit.convert(source, info));
  // The loop has moved on to the last source by now.
  EXPECT_EQ(kit.session->processedURL()->path, sources.back());
  EXPECT_TRUE(kit.processing->saveTIFFMultipleRepsWithRepArray(collection, std::nullopt, info, *kit.session));
  EXPECT_EQ(kit.outputFiles(), std::vector<std::string>{"first_2024 - 05 - 01.tiff"});
}

TEST(SessionWriters, EmptyCollectionsWriteNothing) {
  SessionKit kit;
  kit.setSources({kit.input + "/a.png"});
  ImageCollection none;
  ImageCollection emptyImages{std::make_shared<raster::ImageSet>(), nullptr};
  for (ImageCollection* collection : {&none, &emptyImages}) {
    EXPECT_FALSE(
        kit.processing->saveTIFFMultipleRepsWithRepArray(*collection, std::nullopt, {}, *kit.session));
    EXPECT_FALSE(kit.processing->savePSDMultipleRepsWithRepArray(*collection, *kit.session));
  }
  EXPECT_TRUE(kit.outputFiles().empty());
}

TEST(SessionWriters, OverwritingNeverReplacesThisSessionsOutputsOrOtherSources) {
  // A fixed new name: every file of the batch is kept.
  {
    SessionKit kit;
    std::vector<std::string> sources;
    for (const char* name : {"p.png", "q.png", "r.png"})
      sources.push_back(kit.makeInput(name, {"-size", "8x8", "xc:red"}));
    kit.setSources(sources);
    kit.session->overwriteFiles = true;
    kit.session->setRenameInfo(RenameInfo{true, false, false, 0, false, false, 0});
    kit.session->setRenameValues(RenameValues{"Fixed", "", "", -1, -1});
    for (const std::string& source : sources) {
      ImageModifyInfo info;
      info.conversionType = ConversionType::PNG;
      auto image = kit.convert(source, info);
      ASSERT_TRUE(image);
      EXPECT_TRUE(kit.processing->saveImage(*image, info, info.originalFileType, *kit.session));
    }
    EXPECT_EQ(kit.outputFiles(), (std::vector<std::string>{"Fixed 2.png", "Fixed 3.png", "Fixed.png"}));
    // A second run replaces the first run's numbered outputs instead of
    // numbering on.
    auto again = std::make_shared<ProcessingSession>();
    kit.session->setCurrentSession(again);
    for (const std::string& source : sources) {
      ImageModifyInfo info;
      info.conversionType = ConversionType::PNG;
      auto image = kit.convert(source, info);
      ASSERT_TRUE(image);
      EXPECT_TRUE(again->saveImage(*image, info, info.originalFileType, *kit.session));
    }
    EXPECT_EQ(kit.outputFiles(), (std::vector<std::string>{"Fixed 2.png", "Fixed 3.png", "Fixed.png"}));
  }
  // a.png and a.jpg converted to JPEG beside themselves: each output holds
  // its own source's pixels, and a.jpg is replaced only by its own output.
  {
    SessionKit kit;
    const std::string png = kit.makeInput("a.png", {"-size", "8x8", "xc:red"});
    const std::string jpg = kit.makeInput("a.jpg", {"-size", "8x8", "xc:blue"});
    kit.setSources({png, jpg});
    kit.session->setParentDirectory(kit.input);
    kit.session->overwriteFiles = true;
    for (const std::string& source : {png, jpg}) {
      ImageModifyInfo info;
      info.conversionType = ConversionType::JPEG;
      auto image = kit.convert(source, info);
      ASSERT_TRUE(image);
      EXPECT_TRUE(kit.processing->saveImage(*image, info, info.originalFileType, *kit.session));
    }
    EXPECT_EQ(coarseColour(kit.input + "/a 2.jpg"), "256,0,0");
    EXPECT_EQ(coarseColour(kit.input + "/a.jpg"), "0,0,256");
  }
}

}  // namespace
}  // namespace velumar
