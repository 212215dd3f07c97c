#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/imageio/image_destination.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/png_text.h"
#include "raster_codecs_test_support.h"
#include "support/test_support.h"

namespace imageio {
namespace {

using foundation::Dictionary;
using foundation::Value;

std::string writeWithTexts(const testsupport::TempDir& dir, Dictionary texts) {
  const std::string path = dir.file("texts.png");
  auto destination = ImageDestination::create(path, "public.png", 1);
  Dictionary properties;
  texts.set("InterlaceType", Value(0));  // a number: not a text
  properties.set("{PNG}", Value(std::move(texts)));
  destination->addImage(rastertest::makeImage(6, 4, 3, 8, true), Value(std::move(properties)));
  EXPECT_TRUE(destination->finalize());
  return path;
}

TEST(PngText, TextsRoundTripAsUncompressedChunksBeforeTheImageData) {
  const testsupport::TempDir dir;
  const std::string longUri = "file:///" + std::string(300, 'a');
  const std::string path = writeWithTexts(dir, Dictionary{{"Thumb::URI", Value(longUri)},
                                                          {"Title", Value(std::string("Caf\xc3\xa9"))},
                                                          {"Comment", Value(std::string("\xe2\x82\xac 5"))},
                                                          {" bad keyword", Value(std::string("x"))},
                                                          {"Bad", Value(std::string("invalid \xff utf-8"))}});
  // Chunk order and kinds, read by an independent reader.
  const auto listing = testsupport::runCommand(
      {"/usr/bin/python3", "-c",
       "import struct,sys\n"
       "d=open(sys.argv[1],'rb').read();i=8\n"
       "while i<len(d):\n"
       "  n,=struct.unpack('>I',d[i:i+4]);t=d[i+4:i+8].decode();k=d[i+8:i+8+n].split(b'\\0')[0]\n"
       "  print(t,k.decode('latin-1') if t.endswith('Xt') else '')\n"
       "  i+=12+n\n",
       path});
  ASSERT_EQ(listing.exitCode, 0) << listing.output;
  EXPECT_LT(listing.output.find("tEXt Thumb::URI"), listing.output.find("IDAT")) << listing.output;
  EXPECT_LT(listing.output.find("tEXt Title"), listing.output.find("IDAT")) << listing.output;
  EXPECT_LT(listing.output.find("iTXt Comment"), listing.output.find("IDAT")) << listing.output;
  EXPECT_EQ(listing.output.find("zTXt"), std::string::npos) << listing.output;
  EXPECT_EQ(listing.output.find("bad keyword"), std::string::npos) << listing.output;
  EXPECT_EQ(listing.output.find("Bad"), std::string::npos) << listing.output;

  const auto source = ImageSource::open(path);
  ASSERT_TRUE(source);
  const Value properties = source->properties(0);
  EXPECT_EQ(properties.get({"{PNG}", "Thumb::URI"})->stringOr(""), longUri);
  EXPECT_EQ(properties.get({"{PNG}", "Title"})->stringOr(""), "Caf\xc3\xa9");
  EXPECT_EQ(properties.get({"{PNG}", "Comment"})->stringOr(""), "\xe2\x82\xac 5");
}

TEST(PngText, ReadingKeepsValidDistinctBoundedTexts) {
  const struct {
    const char* keyword;
    std::string text;
    bool utf8;
    bool kept;
  } cases[] = {
      {"Title", "\xe9t\xe9", false, true},  // Latin-1 read as UTF-8
      {"Title", "second", false, false},    // a repeated keyword keeps the first
      {"", "no keyword", false, false},       {"Two  spaces", "x", false, false},
      {"K\x01", "control", false, false},     {"Huge", std::string(kMaxPngTextBytes + 1, 'x'), false, false},
      {"Author", "\xe2\x82\xac", true, true},
  };
  PngTexts texts;
  for (const auto& c : cases) addPngText(texts, c.keyword, c.text, c.utf8);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], (std::pair<std::string, std::string>("Title", "\xc3\xa9t\xc3\xa9")));
  EXPECT_EQ(texts[1].first, "Author");
  for (std::size_t i = 0; i < kMaxPngTexts + 10; ++i) addPngText(texts, "K" + std::to_string(i), "v", false);
  EXPECT_EQ(texts.size(), kMaxPngTexts);
}

}  // namespace
}  // namespace imageio
