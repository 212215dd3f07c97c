// Opening written files in other applications, against a desktop of fake
// applications that record the arguments they were started with.

#include <gtest/gtest.h>

#include <thread>

#include "engine/imported_image.h"
#include "engine/open_with/fake_desktop.h"
#include "support/test_support.h"

namespace velumar {
namespace {

using Files = std::vector<std::string>;

class OpenWithTest : public ::testing::Test {
 protected:
  void SetUp() override { fakedesktop::clearFilesAndRecords(); }

  void choose(const std::string& path) {
    engine.openWithAppID = foundation::Dictionary{{"AppFullPath", path}};
  }

  // No fake application started within a moment.
  static void expectNothingLaunched() {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(fakedesktop::recordsWritten(), Files{});
  }

  ImportedImage engine;
};

struct OpenCase {
  const char* name;
  std::int64_t code;
  Files fileNames;                 // created in the files folder; repeated names give one file
  std::string chosenPath;          // openWithAppID's "AppFullPath", when set
  const char* recorder;            // the application expected to start, nullptr when none
  std::vector<int> expectedFiles;  // indexes into fileNames the application receives
};

TEST_F(OpenWithTest, EachCodeStartsItsApplicationWithEveryFileOnce) {
  const OpenCase cases[] = {
      {"default application, a file twice", 1, {"a.png", "b.png", "a.png"}, "", "viewer", {0, 1}},
      {"default application is ours", 1, {"a.tif"}, "", nullptr, {}},
      {"default application is ours under another id", 1, {"a.gif"}, "", nullptr, {}},
      {"default application runs our program", 1, {"a.webp"}, "", nullptr, {}},
      {"no default application", 1, {"a.bmp"}, "", nullptr, {}},
      {"image viewer, later one of the list, the first one ours", 2, {"a.png"}, "", "ristretto", {0}},
      {"photo manager", 3, {"a.png", "b.png"}, "", "shotwell", {0, 1}},
      {"other photo manager first", 4, {"a.png"}, "", "digikam", {0}},
      {"image editor, capitals in its id", 6, {"a.png"}, "", "gimp", {0}},
      {"raw developer, second of the list", 7, {"a.png"}, "", "rawtherapee", {0}},
      {"no painting application", 8, {"a.png"}, "", nullptr, {}},
      {"chosen desktop file",
       14,
       {"a.png", "b.png"},
       fakedesktop::looseDesktopFile(),
       "loose-desktop",
       {0, 1}},
      {"chosen executable",
       14,
       {"a.png", "b.png"},
       fakedesktop::looseExecutable(),
       "loose-executable",
       {0, 1}},
      {"chosen desktop file is ours",
       14,
       {"a.png"},
       (fakedesktop::root() / "data/applications/velumar.desktop").string(),
       nullptr,
       {}},
      {"chosen path missing", 14, {"a.png"}, fakedesktop::root().string() + "/none", nullptr, {}},
      {"chosen path empty", 14, {"a.png"}, "", nullptr, {}},
      {"chosen folder", 14, {"a.png"}, fakedesktop::filesDir().string(), nullptr, {}},
      {"chosen text file", 14, {"a.png"}, fakedesktop::textFile(), nullptr, {}},
      {"chosen script not executable", 14, {"a.png"}, fakedesktop::plainScript(), nullptr, {}},
      {"chosen desktop file with a broken Exec",
       14,
       {"a.png"},
       fakedesktop::brokenDesktopFile(),
       nullptr,
       {}},
      {"nothing", 0, {"a.png"}, "", nullptr, {}},
      {"no counterpart 9", 9, {"a.png"}, "", nullptr, {}},
      {"no counterpart 10", 10, {"a.png"}, "", nullptr, {}},
      {"sharing service 11", 11, {"a.png"}, "", nullptr, {}},
      {"sharing service 12", 12, {"a.png"}, "", nullptr, {}},
      {"sharing service 13", 13, {"a.png"}, "", nullptr, {}},
      {"past the last code", 15, {"a.png"}, "", nullptr, {}},
      {"negative code", -1, {"a.png"}, "", nullptr, {}},
      {"empty list", 3, {}, "", nullptr, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fakedesktop::clearFilesAndRecords();
    Files urls;
    for (const auto& name : c.fileNames) urls.push_back(fakedesktop::makeFile(name));
    choose(c.chosenPath);

    EXPECT_EQ(engine.openURLs(urls, c.code), c.recorder != nullptr);
    EXPECT_TRUE(urls.empty());
    if (!c.recorder) {
      expectNothingLaunched();
      continue;
    }
    Files expected;
    for (int index : c.expectedFiles)
      expected.push_back((fakedesktop::filesDir() / c.fileNames[index]).string());
    EXPECT_EQ(fakedesktop::recordedArguments(c.recorder), expected);
  }
}

TEST_F(OpenWithTest, MailAttachesEveryFile) {
  Files urls{fakedesktop::makeFile("a.png"), fakedesktop::makeFile("b b.png")};
  const Files expected{"--attach", urls[0], "--attach", urls[1]};
  EXPECT_TRUE(engine.openURLs(urls, 5));
  EXPECT_TRUE(urls.empty());
  EXPECT_EQ(fakedesktop::recordedArguments("xdg-email"), expected);
}

TEST_F(OpenWithTest, NamesArriveByteForByte) {
  const Files names{"with space.png",  "hash#1.png",    "per%cent %F.png", "non-ascii \xc3\xa9.png",
                    "latin1 \xe9.png", "new\nline.png", "-dash.png",       "quote'\".png"};
  for (const std::string& chosen : {fakedesktop::looseExecutable(), fakedesktop::looseDesktopFile()}) {
    SCOPED_TRACE(chosen);
    fakedesktop::clearFilesAndRecords();
    Files urls;
    for (const auto& name : names) urls.push_back(fakedesktop::makeFile(name));
    const Files expected = urls;
    choose(chosen);
    EXPECT_TRUE(engine.openURLs(urls, 14));
    EXPECT_EQ(fakedesktop::recordedArguments(chosen == fakedesktop::looseExecutable() ? "loose-executable"
                                                                                      : "loose-desktop"),
              expected);
  }
}

TEST_F(OpenWithTest, AvailabilityAgreesWithOpening) {
  const struct {
    std::int64_t code;
    std::string chosenPath;
    bool available;
  } cases[] = {
      {0, "", false},
      {1, "", true},
      {2, "", true},
      {3, "", true},
      {4, "", true},
      {5, "", true},
      {6, "", true},
      {7, "", true},
      {8, "", false},
      {9, "", false},
      {10, "", false},
      {11, "", false},
      {12, "", false},
      {13, "", false},
      {15, "", false},
      {-1, "", false},
      {14, "", false},
      {14, fakedesktop::looseExecutable(), true},
      {14, fakedesktop::looseDesktopFile(), true},
      {14, fakedesktop::textFile(), false},
      {14, fakedesktop::brokenDesktopFile(), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " " << c.chosenPath);
    choose(c.chosenPath);
    EXPECT_EQ(engine.canOpenWithApplicationType(c.code), c.available);
  }
  expectNothingLaunched();
}

TEST_F(OpenWithTest, ApplicationNamesResolveToInstalledDesktopIds) {
  EXPECT_EQ(ImportedImage::bundleIdentifierForApplicationName("Shotwell"), "org.gnome.Shotwell.desktop");
  EXPECT_EQ(ImportedImage::bundleIdentifierForApplicationName("rawtherapee"),
            "com.rawtherapee.RawTherapee.desktop");
  EXPECT_EQ(ImportedImage::bundleIdentifierForApplicationName("gimp"), "org.gimp.GIMP.desktop");
  EXPECT_EQ(ImportedImage::bundleIdentifierForApplicationName("krita"), "");
}

TEST_F(OpenWithTest, ACapitalIInTheIdIsFoundUnderTurkishCaseRules) {
  testsupport::withLocale("tr_TR.UTF-8", [&] {
    EXPECT_EQ(ImportedImage::bundleIdentifierForApplicationName("gimp"), "org.gimp.GIMP.desktop");
    EXPECT_TRUE(engine.canOpenWithApplicationType(6));
  });
}

}  // namespace
}  // namespace velumar
