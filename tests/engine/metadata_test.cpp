// Image properties kept per representation, and image dates from EXIF or the
// file, read and printed the same way whatever the locale.

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <locale>

#include "engine/exif_date.h"
#include "engine/imported_image.h"
#include "loaders_fixtures.h"
#include "platform/foundation/files.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using foundation::Dictionary;
using foundation::Value;
using loaders_testing::solidImage;
using loaders_testing::writeFrames;

std::int64_t pixelWidthOf(const Value& properties) {
  const Value* width = properties.get("PixelWidth");
  return width ? width->intOr(-1) : -1;
}

TEST(MetadataArray, OneEntryPerRepresentationThenTheFile) {
  testsupport::TempDir dir;
  const std::string path = dir.file("pages.tiff");
  ASSERT_TRUE(writeFrames(
      path, "public.tiff",
      {{solidImage(10, 5, {1, 2, 3})}, {solidImage(20, 5, {1, 2, 3})}, {solidImage(30, 5, {1, 2, 3})}}));
  ImportedImage engine;
  auto source = engine.prepareMetadataArrayForURL(path);
  ASSERT_TRUE(source);
  ASSERT_TRUE(engine.imageMetadataArray);
  EXPECT_TRUE(engine.imageMetadataArray->empty());
  for (std::int64_t index : {0, 1, 2, 7}) engine.updateMetadataDictionaryForSource(source, index);
  engine.releaseMetadataSource(std::move(source));
  ASSERT_TRUE(engine.imageMetadataArray);
  const foundation::Array& array = *engine.imageMetadataArray;
  ASSERT_EQ(array.size(), 5u);
  EXPECT_EQ(pixelWidthOf(array[0]), 10);
  EXPECT_EQ(pixelWidthOf(array[1]), 20);
  EXPECT_EQ(pixelWidthOf(array[2]), 30);
  EXPECT_EQ(array[3], array[0]);  // beyond the source's images: image 0
  ASSERT_TRUE(array[4].isDictionary());
  EXPECT_TRUE(array[4].get("FileSize"));  // the file-level record
  engine.releasePropertiesAndMetadata();
  EXPECT_FALSE(engine.imageMetadataArray);
}

TEST(MetadataArray, MissingSourcesAndRecordsKeepThePositions) {
  testsupport::TempDir dir;
  const std::string png = dir.file("one.png");
  ASSERT_TRUE(writeFrames(png, "public.png", {{solidImage(4, 4, {1, 2, 3})}}));
  ImportedImage engine;

  // An unreadable file keeps no metadata, and nothing is added later.
  engine.imageMetadataArray = foundation::Array{Value(Dictionary{{"stale", 1}})};
  auto none = engine.prepareMetadataArrayForURL(dir.file("missing.png"));
  EXPECT_FALSE(none);
  EXPECT_FALSE(engine.imageMetadataArray);
  engine.updateMetadataDictionaryForSource(none, 0);
  engine.releaseMetadataSource(none);
  EXPECT_FALSE(engine.imageMetadataArray);

  // Without a source at hand an entry is an empty dictionary.
  auto source = engine.prepareMetadataArrayForURL(png);
  ASSERT_TRUE(source);
  engine.updateMetadataDictionaryForSource(nullptr, 0);
  engine.updateMetadataDictionaryForSource(source, 1);
  engine.updateMetadataDictionaryForSource(source, -1);
  engine.releaseMetadataSource(nullptr);
  ASSERT_TRUE(engine.imageMetadataArray);
  const foundation::Array& array = *engine.imageMetadataArray;
  ASSERT_EQ(array.size(), 4u);
  EXPECT_EQ(array[0], Value(Dictionary{}));
  EXPECT_EQ(pixelWidthOf(array[1]), 4);
  EXPECT_EQ(array[2], Value(Dictionary{}));
  EXPECT_EQ(array[3], Value(Dictionary{}));

  // No representation: no file record either.
  source = engine.prepareMetadataArrayForURL(png);
  engine.releaseMetadataSource(std::move(source));
  ASSERT_TRUE(engine.imageMetadataArray);
  EXPECT_TRUE(engine.imageMetadataArray->empty());
}

std::tm localFields(foundation::Date date) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm fields{};
  localtime_r(&seconds, &fields);
  return fields;
}

TEST(ExifDate, ParsesOnlyTheFixedFormat) {
  struct Case {
    std::string_view text;
    bool valid;
  } cases[] = {
      {"2019:07:04 18:30:00", true},
      {"2020:02:29 00:00:00", true},  // leap day
      {std::string_view("2019:07:04 18:30:00\0", 20), true},
      {"2019:07:04 18:30:00  ", true},
      {"2019:02:29 12:00:00", false},  // no such day
      {"2000:02:29 12:00:00", true},
      {"2100:02:29 12:00:00", false},  // Gregorian: no leap day
      {"1600:01:01 12:00:00", false},  // before what a date holds
      {"9999:12:31 23:59:59", false},  // after it
      {"2019:13:01 00:00:00", false},
      {"2019:00:10 00:00:00", false},
      {"2019:07:04 24:00:00", false},
      {"2019:07:04 18:60:00", false},
      {"0000:00:00 00:00:00", false},  // "unknown" in EXIF
      {"2019-07-04 18:30:00", false},
      {"2019:07:04", false},
      {"2019:07:04 18:30:00 extra", false},
      {"٢٠١٩:07:04 18:30:00", false},  // digits of other scripts
      {"    :  :     :  :  ", false},
      {"", false},
  };
  for (const Case& c : cases) {
    const auto date = ImportedImage::dateFromString(c.text);
    EXPECT_EQ(date.has_value(), c.valid) << c.text;
  }
  const auto date = ImportedImage::dateFromString("2019:07:04 18:30:05");
  ASSERT_TRUE(date);
  const std::tm fields = localFields(*date);
  EXPECT_EQ(fields.tm_year + 1900, 2019);
  EXPECT_EQ(fields.tm_mon + 1, 7);
  EXPECT_EQ(fields.tm_mday, 4);
  EXPECT_EQ(fields.tm_hour, 18);
  EXPECT_EQ(fields.tm_min, 30);
  EXPECT_EQ(fields.tm_sec, 5);
  EXPECT_EQ(fileNameDateString(*date), "2019 - 07 - 04");
}

// A JPEG of our encoder, given EXIF dates by exiftool.
std::string jpegWithDates(const testsupport::TempDir& dir, const std::string& name,
                          const std::vector<std::string>& exiftoolArguments) {
  const std::string path = dir.file(name);
  EXPECT_TRUE(writeFrames(path, "public.jpeg", {{solidImage(8, 8, {10, 20, 30})}}));
  if (exiftoolArguments.empty()) return path;
  std::vector<std::string> argv = {"exiftool", "-q", "-overwrite_original"};
  argv.insert(argv.end(), exiftoolArguments.begin(), exiftoolArguments.end());
  argv.push_back(path);
  const auto result = testsupport::runCommand(argv);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return path;
}

struct DateCase {
  std::vector<std::string> exif;
  std::optional<std::string> expected;  // "file": the file's creation date; nullopt: none
  std::string text;                     // date text; "file" or "today"
};

TEST(ImageDate, ExifOriginalThenDigitizedThenTheFile) {
  testsupport::TempDir dir;
  const DateCase cases[] = {
      {{"-DateTimeOriginal=2019:07:04 18:30:00"}, "2019:07:04 18:30:00", "2019 - 07 - 04"},
      {{"-CreateDate=2018:01:02 03:04:05"}, "2018:01:02 03:04:05", "2018 - 01 - 02"},  // DateTimeDigitized
      {{"-DateTimeOriginal=2019:07:04 18:30:00", "-CreateDate=2018:01:02 03:04:05"},
       "2019:07:04 18:30:00",
       "2019 - 07 - 04"},
      {{"-Make=Velumar"}, "file", "file"},  // EXIF without dates
      {{}, "file", "file"},                 // no EXIF at all
      // A date that does not parse gives no date; the file's is not tried.
      {{"-DateTimeOriginal=2019:02:30 10:00:00"}, std::nullopt, "today"},
  };
  int number = 0;
  for (const DateCase& c : cases) {
    const std::string path = jpegWithDates(dir, "photo" + std::to_string(number++) + ".jpg", c.exif);
    SCOPED_TRACE(path);
    const auto fileDate = foundation::creationDate(path);
    ASSERT_TRUE(fileDate);
    std::optional<foundation::Date> expected;
    if (c.expected == "file") {
      expected = fileDate;
    } else if (c.expected) {
      expected = parseExifDateTime(*c.expected);
    }

    ImportedImage engine;
    engine.watermarkDrawDate = "old";
    engine.watermarkMetadataDate = std::chrono::system_clock::time_point{};
    engine.updateImageDateWithURL(path, nullptr);
    EXPECT_EQ(engine.watermarkDrawDate, "");
    EXPECT_EQ(engine.watermarkMetadataDate, expected);
    // The same with the metadata source the driver already holds.
    auto source = engine.prepareMetadataArrayForURL(path);
    engine.updateImageDateWithURL(path, source);
    EXPECT_EQ(engine.watermarkMetadataDate, expected);

    std::string text = c.text;
    if (text == "file") text = fileNameDateString(*fileDate);
    if (text == "today") text = ImportedImage::genericDateString();
    EXPECT_EQ(ImportedImage::stringDateWithURL(path), text);
  }
}

TEST(ImageDate, UnreadableFilesHaveNoDateAndTodaysText) {
  testsupport::TempDir dir;
  ImportedImage engine;
  engine.watermarkDrawDate = "2001";
  engine.watermarkMetadataDate = std::chrono::system_clock::now();
  for (const std::string& path : {dir.file("missing.jpg"), std::string()}) {
    engine.updateImageDateWithURL(path, nullptr);
    EXPECT_FALSE(engine.watermarkMetadataDate);
    EXPECT_EQ(engine.watermarkDrawDate, "");
    EXPECT_EQ(ImportedImage::stringDateWithURL(path), ImportedImage::genericDateString());
    EXPECT_FALSE(ImportedImage::dateFromFileManager(path));
  }
  const std::string today = ImportedImage::genericDateString();
  const std::tm now = localFields(std::chrono::system_clock::now());
  char expected[32];
  std::snprintf(expected, sizeof expected, "%04d - %02d - %02d", now.tm_year + 1900, now.tm_mon + 1,
                now.tm_mday);
  EXPECT_EQ(today, expected);
}

// Sets the process's locale for a scope.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, name) != nullptr;
    if (active_) std::locale::global(std::locale(name));
  }
  ~ScopedLocale() {
    std::setlocale(LC_ALL, previous_.c_str());
    std::locale::global(std::locale::classic());
  }
  bool active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

TEST(ImageDate, FixedFormatsIgnoreTheLocale) {
  testsupport::TempDir dir;
  const std::string path = jpegWithDates(dir, "photo.jpg", {"-DateTimeOriginal=2019:07:04 18:30:00"});
  const auto inPosix = ImportedImage::dateFromString("2019:07:04 18:30:00");
  ASSERT_TRUE(inPosix);
  int tried = 0;
  for (const char* name : {"de_DE.UTF-8", "th_TH.UTF-8", "ar_EG.UTF-8", "C.UTF-8"}) {
    ScopedLocale locale(name);
    if (!locale.active()) continue;
    ++tried;
    SCOPED_TRACE(name);
    EXPECT_EQ(ImportedImage::dateFromString("2019:07:04 18:30:00"), inPosix);
    EXPECT_EQ(ImportedImage::stringDateWithURL(path), "2019 - 07 - 04");
    EXPECT_EQ(fileNameDateString(*inPosix), "2019 - 07 - 04");
  }
  EXPECT_GE(tried, 1);
}

// Sets the time zone (a POSIX TZ rule) for a scope.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* rule) {
    if (const char* previous = std::getenv("TZ")) previous_ = previous;
    setenv("TZ", rule, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> previous_;
};

TEST(ImageDate, ExifTimesAreLocalInEveryTimeZone) {
  struct Case {
    const char* exif;
    const char* text;
  } cases[] = {{"2019:07:04 23:59:59", "2019 - 07 - 04"}, {"2019:07:05 00:00:00", "2019 - 07 - 05"},
               {"2019:03:10 02:30:00", "2019 - 03 - 10"},  // inside a spring-forward gap
               {"1969:12:31 23:59:59", "1969 - 12 - 31"}, {"1900:03:01 12:00:00", "1900 - 03 - 01"},
               {"2200:12:31 12:00:00", "2200 - 12 - 31"}};
  for (const char* rule : {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "NZST-12NZDT,M9.5.0,M4.1.0/3"}) {
    ScopedTimeZone zone(rule);
    for (const Case& c : cases) {
      const auto date = ImportedImage::dateFromString(c.exif);
      ASSERT_TRUE(date) << rule << " " << c.exif;
      EXPECT_EQ(fileNameDateString(*date), c.text) << rule << " " << c.exif;
    }
  }
}

}  // namespace
}  // namespace velumar
