#include "preview/list_sorting.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "support/test_support.h"

namespace velumar {
namespace {

using namespace std::chrono_literals;

OrganizedURLList entriesNamed(const std::vector<std::string>& names) {
  OrganizedURLList entries;
  for (const auto& name : names)
    entries.push_back(OrganizedURL::organizedURLWithPath("/p/" + name, false, "/p"));
  return entries;
}

std::vector<std::string> namesOf(const OrganizedURLList& entries) {
  std::vector<std::string> out;
  for (const auto& entry : entries) out.push_back(entry->fileName());
  return out;
}

// Keys from a table by file name; names missing from it have no key.
SortKeyReaders tableReaders(const std::map<std::string, std::int64_t>& keys) {
  const auto lookup = [keys](const std::string& path) -> std::optional<std::int64_t> {
    const auto found = keys.find(std::filesystem::path(path).filename().string());
    if (found == keys.end()) return std::nullopt;
    return found->second;
  };
  const auto date = [lookup](const std::string& path) -> std::optional<foundation::Date> {
    const auto key = lookup(path);
    if (!key) return std::nullopt;
    return foundation::Date(std::chrono::seconds(*key));
  };
  const auto size = [lookup](const std::string& path) { return lookup(path).value_or(0); };
  return {date, date, date, size, size};
}

// Each reader orders a.jpg, b.tif and c.png its own way, so a reader used
// for the wrong key gives a wrong order.
SortKeyReaders distinctReaders() {
  enum { kExif, kModified, kCreated, kSize, kPixels };
  const std::map<std::string, std::array<std::int64_t, 5>> table = {
      {"a.jpg", {1, 3, 2, 2, 1}}, {"b.tif", {2, 1, 3, 1, 3}}, {"c.png", {3, 2, 1, 3, 2}}};
  const auto readerOf = [table](int which) {
    std::map<std::string, std::int64_t> keys;
    for (const auto& [name, row] : table) keys[name] = row[std::size_t(which)];
    return tableReaders(keys);
  };
  return {readerOf(kExif).exifDate, readerOf(kModified).modificationDate, readerOf(kCreated).creationDate,
          readerOf(kSize).fileSize, readerOf(kPixels).pixelCount};
}

TEST(ListSorting, KeysAndDirections) {
  struct Case {
    SortOrder order;
    bool ascending;
    std::vector<std::string> given, expected;
  };
  const Case cases[] = {
      {SortOrder::Name, true, {"img10.jpg", "img2.jpg", "Img1.jpg"}, {"Img1.jpg", "img2.jpg", "img10.jpg"}},
      {SortOrder::Name, false, {"img10.jpg", "img2.jpg", "Img1.jpg"}, {"img10.jpg", "img2.jpg", "Img1.jpg"}},
      {SortOrder::Format, true, {"c.png", "x", "a.JPG", "b.tif"}, {"x", "a.JPG", "c.png", "b.tif"}},
      {SortOrder::FileSize, true, {"c.png", "b.tif", "none", "a.jpg"}, {"none", "b.tif", "a.jpg", "c.png"}},
      {SortOrder::PixelDimensions, false, {"a.jpg", "none", "c.png", "b.tif"}, {"b.tif", "c.png", "a.jpg", "none"}},
      {SortOrder::ModificationDate, true, {"c.png", "b.tif", "a.jpg"}, {"b.tif", "c.png", "a.jpg"}},
      {SortOrder::ExifDate, false, {"a.jpg", "c.png", "b.tif"}, {"c.png", "b.tif", "a.jpg"}},
      // A missing date is equal to everything: a stable sort leaves it where it was.
      {SortOrder::CreationDate, true, {"none", "a.jpg", "c.png"}, {"none", "c.png", "a.jpg"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(namesOf(sortedEntries(entriesNamed(c.given), c.order, c.ascending, distinctReaders())),
              c.expected)
        << int(c.order) << (c.ascending ? " up" : " down");
  EXPECT_FALSE(sortsInBackground(SortOrder::Name, 5000));
  EXPECT_FALSE(sortsInBackground(SortOrder::ExifDate, 100));
  EXPECT_TRUE(sortsInBackground(SortOrder::ExifDate, 101));
}

TEST(ListSorting, ManyEntriesWithMixedMissingDatesStayInRange) {
  std::map<std::string, std::int64_t> keys;
  std::vector<std::string> names;
  std::mt19937 random(7);
  for (int i = 0; i < 10000; ++i) {
    names.push_back(std::to_string(i));
    if (random() % 3) keys[names.back()] = std::int64_t(random() % 500);
  }
  const auto sorted = sortedEntries(entriesNamed(names), SortOrder::ExifDate, true, tableReaders(keys));
  ASSERT_EQ(sorted.size(), names.size());
  auto sortedNames = namesOf(sorted);
  std::sort(sortedNames.begin(), sortedNames.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(sortedNames, names);  // a permutation: nothing lost or repeated
}

TEST(ListSorting, ReadsKeysFromRealFiles) {
  testsupport::TempDir dir;
  const std::string tagged = dir.file("tagged.jpg"), plain = dir.file("plain.png"),
                    text = dir.file("text.jpg");
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "40x30", "xc:red", tagged}).exitCode, 0);
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/exiftool", "-q", "-overwrite_original",
                                     "-DateTimeOriginal=2001:02:03 04:05:06", tagged})
                .exitCode,
            0);
  ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "7x5", "xc:blue", plain}).exitCode, 0);
  std::ofstream(text) << "not an image";

  EXPECT_EQ(pixelCountForUrl(tagged), 1200);
  EXPECT_EQ(pixelCountForUrl(plain), 35);
  EXPECT_EQ(pixelCountForUrl(text), 0);
  EXPECT_EQ(pixelCountForUrl(dir.file("missing")), 0);
  const auto taken = dateForUrl(tagged);
  ASSERT_TRUE(taken);
  EXPECT_LT(*taken, std::chrono::system_clock::now() - 24h * 365 * 10);
  // Without EXIF dates, the file's creation date (about now).
  const auto created = dateForUrl(plain);
  ASSERT_TRUE(created);
  EXPECT_GT(*created, std::chrono::system_clock::now() - 1h);
  EXPECT_FALSE(dateForUrl(text));

  const auto sorted = sortedEntries({OrganizedURL::organizedURLWithPath(plain, false, ""),
                                     OrganizedURL::organizedURLWithPath(tagged, false, "")},
                                    SortOrder::ExifDate, true, SortKeyReaders::fromDisk());
  EXPECT_EQ(sorted.front()->path, tagged);
  const auto bySize = sortedEntries({OrganizedURL::organizedURLWithPath(tagged, false, ""),
                                     OrganizedURL::organizedURLWithPath(text, false, "")},
                                    SortOrder::FileSize, true, SortKeyReaders::fromDisk());
  EXPECT_EQ(bySize.front()->path, text);
}

}  // namespace
}  // namespace velumar
