#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string_view>

#include "platform/foundation/colliding_keys.h"
#include "platform/foundation/value.h"

using foundation::Dictionary;
using foundation::Value;

TEST(Value, NumericCoercions) {
  struct Case {
    Value value;
    std::optional<double> asDouble;
    std::optional<std::int64_t> asInt;
  };
  const Case cases[] = {
      {Value(true), 1.0, 1},
      {Value(false), 0.0, 0},
      {Value(42), 42.0, 42},
      {Value(-7), -7.0, -7},
      {Value(2.9), 2.9, 2},
      {Value(-2.9), -2.9, -2},
      {Value("3"), std::nullopt, std::nullopt},
      {Value(), std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.value.toDouble(), c.asDouble) << c.value.debugString();
    EXPECT_EQ(c.value.toInt(), c.asInt) << c.value.debugString();
  }
}

TEST(Value, DictionaryKeepsInsertionOrderAndReplacesInPlace) {
  Dictionary d{{"b", 1}, {"a", 2}};
  d.set("c", 3);
  d.set("b", 4);
  std::vector<std::string> keys;
  for (const auto& [k, v] : d) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(d.find("b")->intOr(0), 4);
  EXPECT_TRUE(d.erase("a"));
  EXPECT_FALSE(d.contains("a"));
  // Built at once from entries read from a file: as setting each in order.
  EXPECT_EQ(Dictionary::fromEntries({{"b", 1}, {"a", 2}, {"b", 4}}), (Dictionary{{"b", 4}, {"a", 2}}));
}

TEST(Value, CopiesAreIndependent) {
  Value a(Dictionary{{"k", Value(foundation::Array{1, 2})}});
  Value b = a;
  b.asDictionary()->set("k", 5);
  EXPECT_TRUE(a.get("k")->isArray());
  EXPECT_EQ(b.get("k")->intOr(0), 5);
}

TEST(Value, NestedLookup) {
  Value props(Dictionary{{"{Exif}", Value(Dictionary{{"DateTimeOriginal", "2020:01:02 03:04:05"}})}});
  ASSERT_NE(props.get({"{Exif}", "DateTimeOriginal"}), nullptr);
  EXPECT_EQ(props.get({"{Exif}", "DateTimeOriginal"})->stringOr(""), "2020:01:02 03:04:05");
  EXPECT_EQ(props.get({"{Exif}", "Missing"}), nullptr);
  EXPECT_EQ(props.get({"{GPS}", "Latitude"}), nullptr);
}

// Large dictionaries keep an index beside their entries: through growth,
// replacement, erasure, copy and equality they answer as a plain list does.
TEST(Value, LargeDictionaryAnswersAsAPlainList) {
  Dictionary d;
  std::vector<std::pair<std::string, int>> list;
  auto inList = [&](const std::string& key) {
    return std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first == key; });
  };
  for (int i = 0; i < 3000; ++i) {
    const std::string key = "k" + std::to_string(i * 7919 % 1000);  // every key set three times
    d.set(key, i);
    if (auto at = inList(key); at != list.end()) {
      at->second = i;
    } else {
      list.emplace_back(key, i);
    }
    if (i % 4 == 3) {  // erase one key in four, from anywhere in the order
      const std::string gone = list[std::size_t(i) % list.size()].first;
      EXPECT_TRUE(d.erase(gone));
      list.erase(inList(gone));
    }
  }
  auto erasedAtOnce = [](const std::string& key) { return key.ends_with('7'); };
  d.eraseIf(erasedAtOnce);
  std::erase_if(list, [&](const auto& e) { return erasedAtOnce(e.first); });
  ASSERT_EQ(d.size(), list.size());
  std::size_t position = 0;
  for (const auto& [key, value] : d) {
    EXPECT_EQ(key, list[position].first);
    EXPECT_EQ(value, Value(list[position++].second));
  }
  for (int k = 0; k < 1000; ++k) {
    const std::string key = "k" + std::to_string(k);
    const auto at = inList(key);
    EXPECT_EQ(d.contains(key), at != list.end()) << key;
    if (at != list.end()) {
      EXPECT_EQ(*d.find(key), Value(at->second)) << key;
    }
  }
  std::vector<Dictionary::Entry> reversed(d.begin(), d.end());
  std::reverse(reversed.begin(), reversed.end());
  const Dictionary other = Dictionary::fromEntries(reversed);
  EXPECT_EQ(other, d);  // equal whatever the order
  Dictionary changed = other;
  changed.set(list.front().first, -1);
  EXPECT_NE(changed, d);
  EXPECT_EQ(other.find(list.front().first)->intOr(0), list.front().second);  // the copy stayed
}

// A dictionary holding every key of another and one more differs from it,
// whichever side is compared, scanned or indexed.
TEST(Value, ADictionaryWithOneMoreKeyDiffers) {
  for (int shared : {1, 40}) {
    Dictionary fewer{{"a", 1}};
    for (int i = 1; i < shared; ++i) fewer.set("k" + std::to_string(i), i);
    Dictionary more = fewer;
    more.set("b", 2);
    EXPECT_FALSE(fewer == more) << shared << " shared keys";
    EXPECT_FALSE(more == fewer) << shared << " shared keys";
  }
}

// Keys made to share one value of the standard library's string hash,
// which is the same in every process, as a hostile file's keys could be:
// the index still spreads them, so no lookup examines more than a short
// run of slots. Checked as the dictionary grows, so that a hash they
// collide under fails at once rather than after minutes.
TEST(Value, KeysChosenToCollideStillTakeShortProbes) {
  const std::vector<std::string> keys = plisttest::keysCollidingUnderStdHash(100000);
  ASSERT_EQ(std::hash<std::string_view>{}(keys.front()), std::hash<std::string_view>{}(keys.back()));
  Dictionary d;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    d.set(keys[i], int(i));
    if (i % 1000 == 999) {
      ASSERT_LE(d.longestProbe(), 256u) << i + 1 << " keys";
    }
  }
  std::vector<Dictionary::Entry> reversed(d.begin(), d.end());
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(Dictionary::fromEntries(std::move(reversed)), d);
  EXPECT_EQ(*d.find(keys[54321]), Value(54321));
}
