#include <gtest/gtest.h>
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/foundation/files.h"
#include "platform/foundation/property_list.h"
#include "support/test_support.h"

using namespace foundation;

namespace {

Data bytesOf(std::string_view text) {
  return Data(text.begin(), text.end());
}

Date dateFromUnix(std::int64_t seconds) {
  return Date(std::chrono::seconds(seconds));
}

// Binary form of value made by the library directly, to check our reader
// against data we did not write.
Data binaryOf(plist_t root) {
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  Data data(bytes, bytes + length);
  plist_to_bin_free(bytes);
  plist_free(root);
  return data;
}

}  // namespace

TEST(PropertyList, EveryTypeRoundTripsThroughXMLAndBinary) {
  const Value cases[] = {
      Value(true),
      Value(false),
      Value(0),
      Value(-1),
      Value(std::numeric_limits<std::int64_t>::min()),
      Value(std::numeric_limits<std::int64_t>::max()),
      Value(std::int64_t(1) << 40),
      Value(4294967295LL),
      Value(0.1),
      Value(-1.0e300),
      Value(5e-324),
      Value(std::numeric_limits<double>::infinity()),
      Value(-std::numeric_limits<double>::infinity()),
      singlePrecisionReal(0.1),
      Value(""),
      Value("Grüße, 日本語 & <tags> \"quoted\""),
      Value(Data{0, 1, 2, 255, 128}),
      Value(Data{}),
      Value(dateFromUnix(0)),
      Value(dateFromUnix(978307200 - 86400 * 365)),  // before the reference date
      Value(dateFromUnix(1700000000)),
      Value(Array{1, "two", Array{3.5}, Dictionary{{"x", false}}}),
      Value(Array{}),
      Value(Dictionary{}),
      // Lengths and numbers at the edges of the binary form's widths.
      Value(std::string(15, 'a')),
      Value(std::string(70000, 'b')),
      Value("\xF0\x9F\x99\x82 four-byte UTF-8" + std::string(300, 'c')),
      Value(Data(65536, 7)),
      Value(255), Value(256), Value(65535), Value(65536), Value(4294967296LL),
      Value(Array(15, Value("x"))),
      Value(Array(300, Value(1))),
  };
  for (auto write : {propertyListXML, propertyListBinary}) {
    for (const Value& value : cases) {
      Value root(Dictionary{{"value", value}});
      auto bytes = write(root);
      ASSERT_TRUE(bytes) << value.debugString();
      auto back = readPropertyListData(*bytes);
      ASSERT_TRUE(back) << value.debugString();
      const Value* read = back->get("value");
      ASSERT_NE(read, nullptr);
      EXPECT_EQ(*read, value) << value.debugString() << " came back as " << read->debugString();
      EXPECT_EQ(read->type(), value.type()) << value.debugString();
    }
  }
}

// The binary form we write, read by another reader, holds what the XML form
// holds: every type, long and non-ASCII texts, a dictionary of many keys.
TEST(PropertyList, BinaryFormReadByAnotherReaderAsTheXMLForm) {
  testsupport::TempDir dir;
  Dictionary many;
  for (int i = 0; i < 300; ++i) many.set("k" + std::to_string(i), i % 3 == 0 ? Value(-i) : Value(std::to_string(i)));
  const Value value(Dictionary{{"many", many},
                               {"text", "Gr\xC3\xBC\xC3\x9F" + std::string(20, 'e') + "\xF0\x9F\x99\x82"},
                               {"data", Data(300, 9)},
                               {"date", dateFromUnix(1700000000)},
                               {"real", 0.1},
                               {"flags", Array{true, false, std::numeric_limits<std::int64_t>::min()}}});
  for (const auto& [name, bytes] : {std::pair{"binary", propertyListBinary(value)}, {"xml", propertyListXML(value)}}) {
    ASSERT_TRUE(bytes) << name;
    ASSERT_TRUE(writeFileAtomically(dir.file(name), *bytes));
  }
  const auto result = testsupport::runCommand(
      {"/usr/bin/python3", "-c",
       "import plistlib, sys\nb, x = (plistlib.load(open(p, 'rb')) for p in sys.argv[1:])\n"
       "print(b == x, len(b['many']), b['many']['k3'], b['text'][-2:])",
       dir.file("binary"), dir.file("xml")});
  EXPECT_EQ(result.output, "True 300 -3 e\U0001f642\n") << result.output;
}

TEST(PropertyList, NestedDictionaryKeepsKeyOrderThroughAFile) {
  testsupport::TempDir dir;
  Dictionary inner{{"z", 1}, {"a", Array{Dictionary{{"deep", "yes"}}}}};
  Dictionary root{{"b/with/slashes", inner}, {"a:colon", -3}, {"m", singlePrecisionReal(1.1)}};
  const std::string path = dir.file("nested.plist");
  ASSERT_TRUE(writePropertyList(path, Value(root)));
  auto back = readPropertyList(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, Value(root));
  std::vector<std::string> keys;
  for (const auto& entry : *back->asDictionary()) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"b/with/slashes", "a:colon", "m"}));
  const auto* innerBack = back->get("b/with/slashes")->asDictionary();
  ASSERT_NE(innerBack, nullptr);
  EXPECT_EQ(innerBack->entries().front().first, "z");
  EXPECT_EQ(back->get({"b/with/slashes", "a"})->asArray()->at(0).get("deep")->stringOr(""), "yes");
}

TEST(PropertyList, SinglePrecisionRealIsTheFloatValue) {
  for (double x : {0.1, 1.0 / 3.0, -2.75, 123456789.123, 1e-40}) {
    Value v = singlePrecisionReal(x);
    ASSERT_TRUE(v.isReal());
    EXPECT_EQ(*v.toDouble(), double(float(x))) << x;
  }
  EXPECT_EQ(*singlePrecisionReal(1e300).toDouble(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(*singlePrecisionReal(-1e300).toDouble(), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(*singlePrecisionReal(std::nan("")).toDouble()));
}

TEST(PropertyList, DatesAreKeptToTheSecond) {
  Date withFraction = dateFromUnix(1700000000) + std::chrono::milliseconds(750);
  auto back = readPropertyListData(*propertyListXML(Value(Dictionary{{"d", withFraction}})));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back->get("d")->asDate(), dateFromUnix(1700000000));
  // Before the reference date the whole second below is kept, too.
  Date early = dateFromUnix(978307200 - 5) + std::chrono::milliseconds(250);
  back = readPropertyListData(*propertyListXML(Value(Dictionary{{"d", early}})));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back->get("d")->asDate(), dateFromUnix(978307200 - 5));
}

TEST(PropertyList, ReadsBinaryIncludingNegativeNumbersAndFractionalDates) {
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "neg", plist_new_uint(std::uint64_t(-1)));
  plist_dict_set_item(root, "min", plist_new_uint(std::uint64_t(std::numeric_limits<std::int64_t>::min())));
  plist_dict_set_item(root, "big", plist_new_uint(std::uint64_t(1) << 62));
  plist_dict_set_item(root, "text", plist_new_string("ünïcödé"));
  plist_dict_set_item(root, "late", plist_new_date(100, 500000));
  plist_dict_set_item(root, "early", plist_new_date(-10, 500000));  // -9.5 s
  auto back = readPropertyListData(binaryOf(root));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->get("neg")->toInt(), -1);
  EXPECT_EQ(back->get("min")->toInt(), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(back->get("big")->toInt(), std::int64_t(1) << 62);
  EXPECT_EQ(back->get("text")->stringOr(""), "ünïcödé");
  const Date reference = dateFromUnix(978307200);
  EXPECT_EQ(*back->get("late")->asDate(), reference + std::chrono::milliseconds(100500));
  EXPECT_EQ(*back->get("early")->asDate(), reference - std::chrono::milliseconds(9500));
}

TEST(PropertyList, NullsInDictionariesAreLeftOutElsewhereRefused) {
  auto xml = propertyListXML(Value(Dictionary{{"kept", 1}, {"gone", Value()}}));
  ASSERT_TRUE(xml);
  auto back = readPropertyListData(*xml);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->asDictionary()->size(), 1u);
  EXPECT_FALSE(propertyListXML(Value()));
  EXPECT_FALSE(propertyListXML(Value(Dictionary{{"list", Array{1, Value()}}})));
}

// What a writer answers reads back whole: keys holding a NUL character,
// which the readers refuse, are refused by both forms and by the check of
// what fits; texts holding one, which XML cannot hold, are written whole in
// the binary form.
TEST(PropertyList, WhatIsWrittenReadsBackWhole) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    Value value;
    bool xml, binary;
  } rows[] = {
      {"ASCII key with a NUL", Dictionary{{"a\0b"s, 1}}, false, false},
      {"UTF-16 key with a NUL", Dictionary{{"\xC3\xA9\0b"s, 1}}, false, false},
      {"key with a NUL, nested", Dictionary{{"list", Array{Dictionary{{"in\0side"s, 1}}}}}, false, false},
      {"ASCII text with a NUL", Dictionary{{"k", "ab\0cd"s}, {"first", "\0x"s}}, false, true},
      {"UTF-16 text with a NUL", Dictionary{{"k", Array{"\xC3\xA9\0cd"s}}}, false, true},
  };
  for (const auto& row : rows) {
    const std::optional<Data> forms[] = {propertyListXML(row.value), propertyListBinary(row.value),
                                         propertyListFile(row.value)};
    const bool written[] = {row.xml, row.binary, row.xml || row.binary};
    for (int form = 0; form < 3; ++form) {
      EXPECT_EQ(forms[form].has_value(), written[form]) << row.name << ", form " << form;
      if (!forms[form]) continue;
      const std::optional<Value> back = readPropertyListData(*forms[form]);
      EXPECT_EQ(back, row.value) << row.name << ", form " << form;
    }
    EXPECT_EQ(propertyListFileFits(row.value), row.xml || row.binary) << row.name;
  }
}

TEST(PropertyList, AFileTooLargeToReadBackIsNotWritten) {
  testsupport::TempDir dir;
  const std::string path = dir.file("large.plist");
  EXPECT_FALSE(writePropertyList(path, Value(Dictionary{{"a", std::string(kMaxPropertyListBytes, 'x')}})));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PropertyList, MalformedInputReadsAsNone) {
  const std::string goodXML =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
      "version=\"1.0\"><dict><key>a</key><integer>1</integer>"
      "<key>b</key><array><string>x</string></array></dict></plist>";
  ASSERT_TRUE(readPropertyListData(bytesOf(goodXML)));

  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "a", plist_new_string("some text"));
  plist_t list = plist_new_array();
  for (int i = 0; i < 20; ++i) plist_array_append_item(list, plist_new_uint(std::uint64_t(i)));
  plist_dict_set_item(root, "list", list);
  const Data goodBinary = binaryOf(root);
  ASSERT_TRUE(readPropertyListData(goodBinary));

  std::vector<std::pair<std::string, Data>> cases = {
      {"empty", {}},
      {"text", bytesOf("hello, world")},
      {"truncated xml", bytesOf(goodXML.substr(0, goodXML.size() / 2))},
      {"garbled xml", bytesOf("<plist><dict><key>a</key><integer>1</dict></array></plist>")},
      {"unterminated tag", bytesOf("<plist><dict><key>a")},
      {"array root", bytesOf("<plist><array><integer>1</integer></array></plist>")},
      {"string root", bytesOf("<plist><string>x</string></plist>")},
      {"magic only", bytesOf("bplist00")},
      {"binary truncated", Data(goodBinary.begin(), goodBinary.begin() + goodBinary.size() / 2)},
      {"binary without trailer", Data(goodBinary.begin(), goodBinary.end() - 16)},
  };
  // Binary variants with a corrupted trailer: the trailer's last 32 bytes
  // hold sizes, the object count, the root object and the table offset.
  auto patchTrailer = [&](std::string name, std::size_t fieldFromEnd, std::size_t width, std::uint8_t fill) {
    Data bad = goodBinary;
    for (std::size_t i = 0; i < width; ++i) bad[bad.size() - fieldFromEnd + i] = fill;
    cases.emplace_back(std::move(name), std::move(bad));
  };
  patchTrailer("huge object count", 24, 8, 0xff);
  patchTrailer("huge root index", 16, 8, 0x7f);
  patchTrailer("huge table offset", 8, 8, 0x7f);
  patchTrailer("zero offset size", 26, 1, 0);
  patchTrailer("huge reference size", 25, 1, 0xff);
  // Every byte of the object area flipped in turn must never crash.
  for (std::size_t i = 8; i < goodBinary.size() - 32; ++i) {
    Data bad = goodBinary;
    bad[i] ^= 0xff;
    auto result = readPropertyListData(bad);  // may or may not parse; must not crash
    (void)result;
  }
  for (const auto& [name, bytes] : cases) {
    EXPECT_FALSE(readPropertyListData(bytes)) << name;
  }
}

TEST(PropertyList, OddValuesNeverCrash) {
  // These may parse or not; reading them must be safe either way.
  const char* snippets[] = {
      "<plist><dict><key>d</key><date>garbage</date></dict></plist>",
      "<plist><dict><key>d</key><data>!!!not base64===</data></dict></plist>",
      "<plist><dict><key>i</key><integer>99999999999999999999999</integer></dict></plist>",
      "<plist><dict><key>i</key><integer></integer><key>r</key><real>x</real></dict></plist>",
      "<plist><dict><key>k</key></dict></plist>",
      "<plist><dict><string>no key</string></dict></plist>",
      "<plist><dict><key>a</key><string>&#0;&#xFFFFFFFF;&bogus;</string></dict></plist>",
      "<plist><dict><key>a</key><![CDATA[x]]></dict></plist>",
      "<!DOCTYPE x [<!ENTITY a \"aaaa\">]><plist><dict><key>a</key><string>&a;</string></dict></plist>",
  };
  for (const char* snippet : snippets) {
    auto result = readPropertyListData(bytesOf(snippet));
    if (result) {
      EXPECT_TRUE(result->isDictionary()) << snippet;
    }
  }
}

TEST(PropertyList, DeepNestingIsRefusedWithoutCrashing) {
  std::string xml = "<plist><dict><key>a</key>";
  for (int i = 0; i < 5000; ++i) xml += "<array>";
  for (int i = 0; i < 5000; ++i) xml += "</array>";
  xml += "</dict></plist>";
  EXPECT_FALSE(readPropertyListData(bytesOf(xml)));
}

TEST(PropertyList, FilesThatAreMissingEmptyOrNotPropertyListsReadAsNoneWithOneLogLine) {
  testsupport::TempDir dir;
  ASSERT_TRUE(writeFileAtomically(dir.file("empty.plist"), {}));
  ASSERT_TRUE(writeFileAtomically(dir.file("garbage.plist"), bytesOf("<plist><dict><key>a")));
  ASSERT_TRUE(writeFileAtomically(dir.file("array.plist"), *propertyListXML(Value(Array{1, 2}))));
  const std::string cases[] = {dir.file("missing.plist"), dir.file("empty.plist"), dir.path().string(),
                               dir.file("garbage.plist"), dir.file("array.plist")};
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(readPropertyList(path));
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;
    EXPECT_NE(logged.find(path), std::string::npos) << logged;
  }
}
