// Descriptors of text layers and the text-engine notation they carry.
#include <gtest/gtest.h>

#include "psd/kd_psd_descriptor.h"
#include "psd/kd_psd_error.h"
#include "psd/kd_psd_stream.h"
#include "psd/kd_psd_text_engine.h"
#include "psd/reader_psd_builder.h"

using namespace velumar;
using psdtest::Bytes;

namespace {

std::shared_ptr<KDPSDDescriptor> readDescriptor(const Bytes& bytes) {
  KDPSDStream stream(bytes);
  return KDPSDDescriptor::descriptorWithStream(stream, nullptr);
}

Bytes bytesOf(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// A string literal with its embedded zero bytes.
template <std::size_t N>
std::string lit(const char (&s)[N]) {
  return std::string(s, N - 1);
}

foundation::Value parse(const std::string& text, std::string* attString = nullptr) {
  KDPSDTextEngineParser parser;
  parser.parseData(bytesOf(text));
  if (attString) *attString = parser.attString();
  return parser.parsedProperties();
}

}  // namespace

TEST(ReaderDescriptor, EmptyDescriptorAndClassForms) {
  auto empty = readDescriptor(psdtest::descriptor("TxLr", 0, {}));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->attributes.empty());
  EXPECT_EQ(empty->classId, 0x54784C72u);
  EXPECT_TRUE(empty->classIdString.empty());

  Bytes named;
  psdtest::putUnicode(named, u"");
  psdtest::putStringKey(named, "myClass");
  psdtest::put32(named, 0);
  auto withString = readDescriptor(named);
  ASSERT_TRUE(withString);
  EXPECT_EQ(withString->classIdString, "myClass");
}

TEST(ReaderDescriptor, ItemsKeptSkippedAndGuessed) {
  Bytes items;
  psdtest::putCodeKey(items, "Txt ");  // layer text, empty
  psdtest::putKey(items, "TEXT");
  psdtest::putUnicode(items, u"");
  psdtest::putStringKey(items, "someLong");  // guessed 'long'
  psdtest::putKey(items, "long");
  psdtest::put32(items, 7);
  psdtest::putCodeKey(items, "Ornt");  // skipped enumeration
  psdtest::putKey(items, "enum");
  psdtest::putCodeKey(items, "Ornt");
  psdtest::putCodeKey(items, "Hrzn");
  psdtest::putStringKey(items, "warpValue");
  psdtest::putKey(items, "doub");
  psdtest::putDouble(items, 2.5);
  psdtest::putStringKey(items, "size");  // guessed unit float
  psdtest::putKey(items, "UntF");
  psdtest::putKey(items, "#Pnt");
  psdtest::putDouble(items, 12.5);
  psdtest::putStringKey(items, "bounds");
  psdtest::putKey(items, "Objc");
  Bytes inner;
  psdtest::putCodeKey(inner, "Left");
  psdtest::putKey(inner, "UntF");
  psdtest::putKey(inner, "#Pnt");
  psdtest::putDouble(inner, 3.0);
  const Bytes nested = psdtest::descriptor("bounds", 1, inner);
  items.insert(items.end(), nested.begin(), nested.end());
  psdtest::putCodeKey(items, "flag");  // guessed bool under a code key
  psdtest::putKey(items, "bool");
  items.push_back(1);

  auto d = readDescriptor(psdtest::descriptor("TxLr", 7, items));
  ASSERT_TRUE(d);
  ASSERT_TRUE(d->layerText());
  EXPECT_EQ(*d->layerText(), "");
  EXPECT_EQ(std::get<std::int64_t>(*d->attribute("someLong")), 7);
  EXPECT_EQ(std::get<double>(*d->attribute("size")), 12.5);
  EXPECT_EQ(std::get<std::int64_t>(*d->attribute("'flag'")), 1);
  EXPECT_FALSE(d->attribute("warpValue"));
  const auto& bounds = std::get<std::shared_ptr<KDPSDDescriptor>>(*d->attribute("bounds"));
  EXPECT_EQ(std::get<double>(*bounds->attribute("'Left'")), 3.0);
}

TEST(ReaderDescriptor, UnknownTypeFailsAndOverrunRaises) {
  Bytes items;
  psdtest::putStringKey(items, "strange");
  psdtest::putKey(items, "TEXT");
  psdtest::putUnicode(items, u"x");
  EXPECT_FALSE(readDescriptor(psdtest::descriptor("TxLr", 1, items)));

  Bytes cut = psdtest::descriptor("TxLr", 3, {});
  EXPECT_THROW(readDescriptor(cut), KDPSDBufferOverrun);
}

TEST(ReaderDescriptor, DeepNestingIsRefused) {
  // 200 nested 'Objc' items: refused without exhausting the stack.
  Bytes bytes;
  for (int i = 0; i < 200; ++i) {
    psdtest::putUnicode(bytes, u"");
    psdtest::putCodeKey(bytes, "null");
    psdtest::put32(bytes, 1);
    psdtest::putCodeKey(bytes, "Objc");
  }
  bytes.resize(bytes.size() + 64, 0);
  EXPECT_FALSE(readDescriptor(bytes));
}

TEST(ReaderDescriptor, EngineDataIsParsed) {
  const std::string engine =
      lit("<<\n/EngineDict\n<<\n/Editor\n<<\n/Text (\xFE\xFF\x00H\x00i)\n>>\n>>\n>>\nx\n");
  Bytes items;
  psdtest::putStringKey(items, "EngineData");
  psdtest::putKey(items, "tdta");
  psdtest::put32(items, std::uint32_t(engine.size()));
  items.insert(items.end(), engine.begin(), engine.end());
  auto d = readDescriptor(psdtest::descriptor("TxLr", 1, items));
  ASSERT_TRUE(d);
  const auto& parser = std::get<std::shared_ptr<KDPSDTextEngineParser>>(*d->attribute("EngineData"));
  EXPECT_EQ(parser->attString(), "Hi");
  const foundation::Value* text = parser->parsedProperties().get({"EngineDict", "Editor", "Text"});
  ASSERT_TRUE(text);
  EXPECT_EQ(text->stringOr(""), "Hi");
}

TEST(ReaderTextEngine, Notation) {
  struct Case {
    const char* what;
    std::string data;
    std::string expected;  // debug rendering of the parsed dictionary
  };
  const Case cases[] = {
      {"single entry", "<<\n/A 1\n>>\nx\n",
       foundation::Value(foundation::Dictionary{{"A", "1"}}).debugString()},
      {"nested", "<<\n/D\n<<\n/B true\n>>\n>>\nx\n",
       foundation::Value(foundation::Dictionary{{"D", foundation::Dictionary{{"B", "true"}}}}).debugString()},
      {"numbers as text", "<<\n/Values [ 1.0 2.0 ]\n>>\nx\n",
       foundation::Value(foundation::Dictionary{{"Values", "[ 1.0 2.0 ]"}}).debugString()},
      {"run array", "<<\n/RunArray [\n<<\n/L 3\n>>\n<<\n/L 4\n>>\n]\n>>\nx\n",
       foundation::Value(
           foundation::Dictionary{{"RunArray", foundation::Array{foundation::Dictionary{{"L", "3"}},
                                                                 foundation::Dictionary{{"L", "4"}}}}})
           .debugString()},
      {"empty array", "<<\n/RunArray [ ]\n>>\nx\n",
       foundation::Value(foundation::Dictionary{{"RunArray", foundation::Array{}}}).debugString()},
      {"later key wins", "<<\n/A 1\n/A 2\n>>\nx\n",
       foundation::Value(foundation::Dictionary{{"A", "2"}}).debugString()},
      {"cut short", "<<\n/A 1\n/B", foundation::Value(foundation::Dictionary{{"A", "1"}}).debugString()},
      {"empty", "", foundation::Value(foundation::Dictionary{}).debugString()},
  };
  for (const Case& c : cases) EXPECT_EQ(parse(c.data).debugString(), c.expected) << c.what;
}

TEST(ReaderTextEngine, TextStrings) {
  std::string att;
  // Carriage return before ")" is dropped; the later text wins attString.
  parse(lit("<<\n/Text (\xFE\xFF\x00O\x00K\x00\x0D)\n/Text (\xFE\xFF\x00S\x00\x5C)\x00.)\n>>\nx\n"), &att);
  EXPECT_EQ(att, "S).");
  parse(lit("<<\n/Text (\xFE\xFF\x00O\x00K\x00\x0D)\n>>\nx\n"), &att);
  EXPECT_EQ(att, "OK");
  // A text cut off by the end of the data keeps what was there.
  parse(lit("<<\n/Text (\xFE\xFF\x00Z"), &att);
  EXPECT_EQ(att, "Z");
}

TEST(ReaderTextEngine, DeepNestingStops) {
  std::string data;
  for (int i = 0; i < 5000; ++i) data += "/K\n<<\n";
  data = "<<\n" + data;
  EXPECT_TRUE(parse(data).isDictionary());
}
