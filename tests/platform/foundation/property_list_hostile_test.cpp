// Hand-made binary property lists that try to exhaust the stack, memory or
// time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/binary_plist_builder.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_limits.h"

using namespace foundation;

namespace {

using BinaryBuilder = plisttest::BinaryPlistBuilder;

// {"a": object 2}, with object 1 the key.
BinaryBuilder rootPointingAtObjectTwo() {
  BinaryBuilder builder;
  builder.add(BinaryBuilder::container(0xD, 1, {1, 2}));
  builder.add({0x51, 'a'});
  return builder;
}

}  // namespace

TEST(PropertyListHostile, WellFormedHandMadeListReads) {
  BinaryBuilder builder = rootPointingAtObjectTwo();
  builder.add(BinaryBuilder::container(0xA, 2, {3, 3}));  // an array holding object 3 twice
  builder.add({0x10, 0x2a});                              // 42
  auto value = readPropertyListData(builder.build());
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, Value(Dictionary{{"a", Array{42, 42}}}));
}

TEST(PropertyListHostile, EveryWellFormedScalarPassesThePreCheck) {
  const std::vector<std::vector<std::uint8_t>> scalars = {
      {0x09},                                                  // true
      {0x11, 0x01, 0x00},                                      // 2-byte integer
      {0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7},  // 16-byte integer
      {0x22, 0x3f, 0x80, 0, 0},                                // float
      {0x23, 0x3f, 0xf0, 0, 0, 0, 0, 0, 0},                    // double
      {0x33, 0x41, 0xc0, 0, 0, 0, 0, 0, 0},                    // date
      {0x42, 0xde, 0xad},                                      // data
      {0x62, 0x00, 'h', 0x00, 'i'},                            // UTF-16 text
      {0x81, 0x01, 0x02},                                      // UID
  };
  for (const auto& scalar : scalars) {
    BinaryBuilder builder = rootPointingAtObjectTwo();
    builder.add(scalar);
    EXPECT_TRUE(readPropertyListData(builder.build())) << int(scalar.front());
  }
}

TEST(PropertyListHostile, RefusedWithoutCrash) {
  struct Case {
    const char* name;
    Data bytes;
  };
  std::vector<Case> cases;
  {
    BinaryBuilder builder = rootPointingAtObjectTwo();
    builder.add(BinaryBuilder::container(0xA, 1, {2}));  // contains itself
    cases.push_back({"cycle", builder.build()});
  }
  {
    BinaryBuilder builder = rootPointingAtObjectTwo();
    const std::uint32_t levels = 100000;
    for (std::uint32_t i = 0; i < levels; ++i) builder.add(BinaryBuilder::container(0xA, 1, {2 + i + 1}));
    builder.add({0xA0});
    cases.push_back({"deep nesting", builder.build()});
  }
  {
    // Each level references the next twice: 2^40 nodes once expanded.
    BinaryBuilder builder = rootPointingAtObjectTwo();
    for (std::uint32_t i = 0; i < 40; ++i) builder.add(BinaryBuilder::container(0xA, 2, {3 + i, 3 + i}));
    builder.add({0x10, 0x01});
    cases.push_back({"shared references blow up", builder.build()});
  }
  {
    // One 10 KB string under 16 levels of arrays holding the next twice:
    // 65,536 copies, 640 MB once expanded, from a 10 KB file.
    BinaryBuilder builder = rootPointingAtObjectTwo();
    for (std::uint32_t i = 0; i < 16; ++i) builder.add(BinaryBuilder::container(0xA, 2, {3 + i, 3 + i}));
    builder.add(BinaryBuilder::ascii(std::string(10240, 'x')));
    cases.push_back({"one string shared through 16 levels", builder.build()});
  }
  {
    // 65 uses of one 1 MB data object: few values, 65 MB once expanded.
    BinaryBuilder builder = rootPointingAtObjectTwo();
    builder.add(BinaryBuilder::array(std::vector<std::uint32_t>(65, 3)));
    builder.add(BinaryBuilder::data(1 << 20));
    cases.push_back({"1 MB data used 65 times", builder.build()});
  }
  {
    BinaryBuilder builder = rootPointingAtObjectTwo();
    builder.add(BinaryBuilder::container(0xA, std::uint64_t(1) << 60, {}));
    cases.push_back({"array with a huge count", builder.build()});
  }
  {
    BinaryBuilder builder = rootPointingAtObjectTwo();
    std::vector<std::uint8_t> data{0x4f, 0x13};
    BinaryBuilder::appendBig(data, 0x7fffffffffffffffULL, 8);
    builder.add(data);
    cases.push_back({"data with a huge length", builder.build()});
  }
  {
    BinaryBuilder builder = rootPointingAtObjectTwo();
    std::vector<std::uint8_t> text{0x6f, 0x13};
    BinaryBuilder::appendBig(text, 0x4000000000000000ULL, 8);
    builder.add(text);
    cases.push_back({"unicode string with a huge length", builder.build()});
  }
  {
    BinaryBuilder builder = rootPointingAtObjectTwo();
    builder.add(BinaryBuilder::container(0xA, 1, {999}));
    cases.push_back({"reference out of range", builder.build()});
  }
  // Objects the parser misreads or aborts on, each as the value of "a" or
  // as a second key.
  const struct {
    const char* name;
    std::vector<std::uint8_t> object;
    bool asKey;
  } odd[] = {
      {"UTF-16 key holding NUL", {0x62, 0x00, 'a', 0x00, 0x00}, true},
      {"ASCII key holding NUL", {0x53, 'a', 0x00, 'b'}, true},
      {"integer as key", {0x10, 0x01}, true},
      {"integer of 32 bytes", {0x15, 0, 0, 0, 0, 0, 0, 0, 1}, false},
      {"real of 2 bytes", {0x21, 0, 1}, false},
      {"date of 4 bytes", {0x32, 0, 0, 0, 1}, false},
      {"unknown simple marker", {0x0a}, false},
      {"unknown kind", {0x70}, false},
      {"integer cut by the offset table", {0x13, 0, 0}, false},
      {"UID of 9 bytes", {0x88, 0, 0, 0, 0, 0, 0, 0, 0, 1}, false},
  };
  for (const auto& o : odd) {
    BinaryBuilder builder;
    if (o.asKey) {
      builder.add(BinaryBuilder::container(0xD, 2, {1, 2, 3, 3}));
      builder.add({0x51, 'a'});
      builder.add(o.object);
      builder.add({0x09});
    } else {
      builder = rootPointingAtObjectTwo();
      builder.add(o.object);
    }
    cases.push_back({o.name, builder.build()});
  }
  {
    std::string xml = "<plist><dict><key>a</key>";
    for (int i = 0; i < 100000; ++i) xml += "<dict><key>k</key>";
    cases.push_back({"deep xml", Data(xml.begin(), xml.end())});
  }
  for (const auto& c : cases) {
    EXPECT_FALSE(readPropertyListData(c.bytes)) << c.name;
  }
}

// The byte budget at its edge: strings and data count at each use, UTF-16
// text as three bytes per unit, keys too.
TEST(PropertyListHostile, ExpandedBytesAreCountedAtEachUse) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> leaf;  // used ten times by the top array
    std::uint64_t budget;
    bool within;
  } rows[] = {
      {"ASCII at the budget", BinaryBuilder::ascii(std::string(100, 'x')), 1000, true},
      {"ASCII one byte over", BinaryBuilder::ascii(std::string(100, 'x')), 999, false},
      {"data one byte over", BinaryBuilder::data(100), 999, false},
      {"UTF-16 at the budget", {0x62, 0x00, 'h', 0x00, 'i'}, 60, true},
      {"UTF-16 one byte over", {0x62, 0x00, 'h', 0x00, 'i'}, 59, false},
      {"keys count", BinaryBuilder::dictionary({2}, {3}), 40, true},
      {"keys one byte over", BinaryBuilder::dictionary({2}, {3}), 39, false},
  };
  for (const auto& row : rows) {
    BinaryBuilder builder;
    builder.add(BinaryBuilder::array(std::vector<std::uint32_t>(10, 1)));
    builder.add(row.leaf);
    builder.add(BinaryBuilder::ascii("abcd"));  // the key of the dictionary rows
    builder.add({0x09});
    const Data bytes = builder.build();
    std::string problem;
    const PropertyListLimits limits{512, 1000, row.budget};
    EXPECT_EQ(binaryPropertyListWithinLimits(bytes.data(), bytes.size(), limits, &problem), row.within)
        << row.name << ": " << problem;
  }
}

// The value budget at its edge, in both forms.
TEST(PropertyListHostile, ValuesAreCountedAtEachUse) {
  const PropertyListLimits limits{512, 11, 1000};
  for (const std::uint32_t uses : {10u, 11u}) {
    BinaryBuilder builder;
    builder.add(BinaryBuilder::array(std::vector<std::uint32_t>(uses, 1)));
    builder.add({0x09});
    const Data bytes = builder.build();
    EXPECT_EQ(binaryPropertyListWithinLimits(bytes.data(), bytes.size(), limits, nullptr), uses == 10) << uses;
  }
  // Eleven values and sixteen more elements for the prologue and plist.
  for (const int values : {25, 26}) {
    std::string xml = "<?xml version=\"1.0\"?><plist><array>";
    for (int i = 1; i < values; ++i) xml += "<true/>";
    xml += "</array></plist>";
    EXPECT_EQ(xmlPropertyListWithinLimits(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size(), limits),
              values == 25)
        << values;
  }
}

// Keys of one XML dictionary are limited, each dictionary on its own.
TEST(PropertyListHostile, XmlDictionaryKeysAreLimited) {
  PropertyListLimits limits;
  limits.maxXmlDictionaryKeys = 3;
  const struct {
    const char* xml;
    bool within;
  } rows[] = {
      {"<plist><dict><key>a</key><true/><key>b</key><true/><key/><true/></dict></plist>", true},
      {"<plist><dict><key>a</key><true/><key>b</key><true/><key>c</key><true/><key>d</key><true/></dict></plist>",
       false},
      {"<plist><dict><key>a</key><dict><key>b</key><true/><key>c</key><true/></dict>"
       "<key>d</key><array><dict/></array><key>e</key><true/></dict></plist>",
       true},
      {"<plist><dict><key>a</key><array><true/></array><key>b</key><true/><key>c</key><true/>"
       "<key>d</key><true/></dict></plist>",
       false},
  };
  for (const auto& row : rows) {
    const std::string xml = row.xml;
    EXPECT_EQ(xmlPropertyListWithinLimits(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size(), limits),
              row.within)
        << xml;
  }
}

// Large flat containers read whole; indexing them item by item took
// minutes for a few hundred thousand items.
TEST(PropertyListHostile, LargeFlatArraysAndDictionariesRead) {
  constexpr std::uint32_t kItems = 300000;
  BinaryBuilder builder;
  builder.add({});
  std::vector<std::uint32_t> items, keys;
  for (std::uint32_t i = 0; i < kItems; ++i) items.push_back(builder.add(BinaryBuilder::integer(i)));
  for (std::uint32_t i = 0; i < kItems / 3; ++i) keys.push_back(builder.add(BinaryBuilder::ascii(std::to_string(i))));
  const std::uint32_t array = builder.add(BinaryBuilder::array(items));
  const std::uint32_t dictionary =
      builder.add(BinaryBuilder::dictionary(keys, std::vector<std::uint32_t>(items.begin(), items.begin() + kItems / 3)));
  builder.set(0, BinaryBuilder::dictionary({keys[0], keys[1]}, {array, dictionary}));
  const auto value = readPropertyListData(builder.build());
  ASSERT_TRUE(value);
  const Array* read = value->get({"0"}) ? value->get({"0"})->asArray() : nullptr;
  ASSERT_TRUE(read);
  ASSERT_EQ(read->size(), kItems);
  EXPECT_EQ(read->back(), Value(std::int64_t(kItems - 1)));
  const Dictionary* readKeys = value->get({"1"}) ? value->get({"1"})->asDictionary() : nullptr;
  ASSERT_TRUE(readKeys);
  ASSERT_EQ(readKeys->size(), kItems / 3);
  EXPECT_EQ(*readKeys->find("99999"), Value(std::int64_t(99999)));
}
