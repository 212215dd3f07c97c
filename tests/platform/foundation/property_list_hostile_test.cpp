// Hand-made binary property lists that try to exhaust the stack or memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/property_list.h"

using namespace foundation;

namespace {

// Builds a binary property list from raw objects with 4-byte references and
// offsets; object 0 is the root.
class BinaryBuilder {
 public:
  void add(std::vector<std::uint8_t> object) { objects_.push_back(std::move(object)); }
  static void appendBig(std::vector<std::uint8_t>& out, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) out.push_back(std::uint8_t(value >> (8 * i)));
  }
  // A container marker with its count and 4-byte references.
  static std::vector<std::uint8_t> container(std::uint8_t kind, std::uint64_t count,
                                             const std::vector<std::uint32_t>& refs) {
    std::vector<std::uint8_t> out;
    if (count < 15) {
      out.push_back(std::uint8_t(kind << 4 | count));
    } else {
      out.push_back(std::uint8_t(kind << 4 | 0x0f));
      out.push_back(0x13);
      appendBig(out, count, 8);
    }
    for (std::uint32_t ref : refs) appendBig(out, ref, 4);
    return out;
  }
  Data build() const {
    Data out{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    for (const auto& object : objects_) {
      offsets.push_back(out.size());
      out.insert(out.end(), object.begin(), object.end());
    }
    const std::uint64_t table = out.size();
    for (std::uint64_t offset : offsets) appendBig(out, offset, 4);
    out.insert(out.end(), 6, 0);
    out.push_back(4);
    out.push_back(4);
    appendBig(out, objects_.size(), 8);
    appendBig(out, 0, 8);
    appendBig(out, table, 8);
    return out;
  }

 private:
  std::vector<std::vector<std::uint8_t>> objects_;
};

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
