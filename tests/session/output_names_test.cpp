// The rename rule, the example name and the output path, on real files.
#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <filesystem>
#include <fstream>

#include "engine/imported_image.h"
#include "platform/foundation/files.h"
#include "session/headless_converter.h"
#include "session/output_names.h"
#include "session/processing_session.h"
#include "session/session_info.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPhotoDate = "2024 - 05 - 01";

RenameInfo allSwitches(std::int64_t numberIndex, std::int64_t dateIndex) {
  return RenameInfo{true, true, true, numberIndex, true, true, dateIndex};
}

std::string rename(const std::string& name, const RenameInfo& info, const RenameValues& values,
                   std::int64_t number = 7) {
  return modifyImagePrefixNameAndSuffix(name, info, values, number, [] { return std::string(kPhotoDate); });
}

struct RenameCase {
  const char* label;
  const char* fileName;
  RenameInfo info;
  RenameValues values;
  std::int64_t number;
  const char* expected;
};

TEST(RenameRule, Table) {
  const RenameValues prefixSuffix3{kNamePlaceholder, "x_", "_s", 1, 3};
  const RenameValues none{};
  const RenameValues empty{"", "", "", -1, -1};
  const RenameInfo off{};
  const RenameCase cases[] = {
      {"worked example", "IMG_1.png", allSwitches(2, 2), prefixSuffix3, 7, "x_IMG_1_s007_2024 - 05 - 01.png"},
      {"placeholders mean none", "photo.jpg", allSwitches(0, 0), none, 7, "photo.jpg"},
      {"empty texts mean none", "photo.jpg", allSwitches(0, 0), empty, 7, "photo.jpg"},
      {"switches off", "photo.jpg", off, RenameValues{"N", "P", "S", 1, 3}, 7, "photo.jpg"},
      {"name placeholder with prefix",
       "photo.jpg",
       allSwitches(0, 0),
       {kNamePlaceholder, "A", "", 1, 0},
       1,
       "Aphoto.jpg"},
      {"new name", "photo.jpg", allSwitches(0, 0), {"Holiday", "", "", -1, -1}, 0, "Holiday.jpg"},
      {"new name, prefix and suffix",
       "photo.jpg",
       allSwitches(0, 0),
       {"Trip", "a-", "-z", -1, -1},
       0,
       "a-Trip-z.jpg"},
      {"number before the name", "name.jpg", allSwitches(1, 0), {"", "", "", 1, 3}, 12, "012name.jpg"},
      {"number after the name", "name.jpg", allSwitches(2, 0), {"", "", "", 1, 3}, 12, "name012.jpg"},
      {"padding 0", "name.jpg", allSwitches(2, 0), {"", "", "", 1, 0}, 12, "name12.jpg"},
      {"padding 1", "name.jpg", allSwitches(2, 0), {"", "", "", 1, 1}, 12, "name12.jpg"},
      {"padding 9", "name.jpg", allSwitches(2, 0), {"", "", "", 1, 9}, 12, "name000000012.jpg"},
      {"padding 10", "name.jpg", allSwitches(2, 0), {"", "", "", 1, 10}, 12, "name12.jpg"},
      {"zeros field disabled",
       "name.jpg",
       {true, true, true, 2, true, false, 0},
       {"", "", "", 1, 3},
       12,
       "name12.jpg"},
      {"number field disabled",
       "name.jpg",
       {true, true, true, 2, false, true, 0},
       {"", "", "", 1, 3},
       12,
       "name.jpg"},
      {"numbering off", "name.jpg", allSwitches(2, 0), {"", "", "", -1, 3}, 12, "name.jpg"},
      {"date before", "a.jpg", allSwitches(0, 1), none, 0, "2024 - 05 - 01_a.jpg"},
      {"date after", "a.jpg", allSwitches(0, 2), none, 0, "a_2024 - 05 - 01.jpg"},
      {"date instead", "a.jpg", allSwitches(2, 3), prefixSuffix3, 4, "2024 - 05 - 01.jpg"},
      {"no extension, number", "README", allSwitches(2, 0), {"", "", "", 1, 2}, 3, "README03"},
      {"no extension, date after", "README", allSwitches(0, 2), none, 0, "README_2024 - 05 - 01"},
      {"no extension, date instead", "README", allSwitches(0, 3), none, 0, "2024 - 05 - 01"},
  };
  for (const RenameCase& c : cases)
    EXPECT_EQ(rename(c.fileName, c.info, c.values, c.number), c.expected) << c.label;
}

TEST(RenameRule, ExtensionsAndSingleComponent) {
  EXPECT_EQ(updateFileNameForURL("/in/IMG_1.jpg", ConversionType::PNG), "IMG_1.png");
  EXPECT_EQ(updateFileNameForURL("/in/archive.tar.gz", ConversionType::TIFF), "archive.tar.tiff");
  EXPECT_EQ(updateFileNameForURL("/in/noext", ConversionType::HEIF), "noext.heif");
  EXPECT_EQ(updateFileNameForURL("/in/a.jpg", ConversionType::Count), "a");
  EXPECT_EQ(verifyPathExtension(ConversionType::PSDLayered), "psd");
  EXPECT_EQ(verifyPathExtension(-1), std::nullopt);
  EXPECT_EQ(singleComponentFileName("a/b", "x.jpg"), "a b");
  EXPECT_EQ(singleComponentFileName(std::string("a\0b", 3), "x.jpg"), "ab");
  for (const char* bad : {"", ".", ".."}) EXPECT_EQ(singleComponentFileName(bad, "x.jpg"), "x.jpg") << bad;
}

TEST(RenameRule, ExampleUsesInitialNumberAndToday) {
  HeadlessConverter view({}, allSwitches(2, 2));
  view.state().globalConversionFormat = ConversionType::PNG;
  view.state().initialNumber = 5;
  view.state().zerosNumber = 2;
  view.state().prefixString = "p";
  EXPECT_EQ(updateStringForExample(view, "filename.jpg"),
            "pfilename05_" + ImportedImage::genericDateString() + ".png");
}

// A JPEG whose EXIF capture date is the first of May 2024.
std::string writeDatedPhoto(const testsupport::TempDir& dir, const std::string& name) {
  const std::string path = dir.file(name);
  EXPECT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "8x8", "xc:red", path}).exitCode, 0);
  EXPECT_EQ(testsupport::runCommand(
                {"exiftool", "-q", "-overwrite_original", "-DateTimeOriginal=2024:05:01 10:00:00", path})
                .exitCode,
            0);
  return path;
}

struct SessionFixture {
  testsupport::TempDir dir;
  std::shared_ptr<ImportedImage> engine = std::make_shared<ImportedImage>();
  SessionInfo session;
  ProcessingSession processing;
  std::string output = dir.file("out");

  SessionFixture() {
    fs::create_directory(output);
    session.setParentDirectory(output);
    session.setProcessedImage(engine);
  }
  std::string pathFor(const SourceFile& source, std::int64_t code) {
    session.setProcessedURL(source);
    return processing.createPathFileForSession(session, code);
  }
};

TEST(OutputPath, WorkedExampleUsesTheFileDate) {
  SessionFixture f;
  const std::string photo = writeDatedPhoto(f.dir, "IMG_1.jpg");
  f.session.setRenameInfo(allSwitches(2, 2));
  f.session.setRenameValues({kNamePlaceholder, "x_", "_s", 1, 3});
  f.session.numberCount = 7;
  EXPECT_EQ(f.pathFor({photo, std::nullopt}, 1), f.output + "/x_IMG_1_s007_2024 - 05 - 01.png");
}

TEST(OutputPath, HierarchyTable) {
  struct Case {
    const char* label;
    std::optional<std::string> parentPath;
    bool maintainHierarchy;
    const char* plainFileInTheWay;  // relative to the output folder
    const char* expectedFolder;     // relative to the output folder
  };
  const Case cases[] = {
      {"hierarchy rebuilt", "/Trip/A/B", true, nullptr, "/Trip/A/B"},
      {"hierarchy off", "/Trip/A/B", false, nullptr, ""},
      {"no parent path", std::nullopt, true, nullptr, ""},
      {"plain file with the subfolder's name", "/Trip", true, "Trip", ""},
      {"dot-dot component", "/Trip/../../escape", true, nullptr, ""},
      {"dot component", "/./Trip", true, nullptr, ""},
      {"empty component", "/Trip//A", true, nullptr, ""},
      {"no leading slash", "Trip", true, nullptr, ""},
      {"only a slash", "/", true, nullptr, ""},
  };
  for (const Case& c : cases) {
    SessionFixture f;
    f.session.maintainHierarchy = c.maintainHierarchy;
    if (c.plainFileInTheWay) std::ofstream(f.output + "/" + c.plainFileInTheWay) << "x";
    const std::string source = f.dir.file("a.jpg");
    EXPECT_EQ(f.pathFor({source, c.parentPath}, 0), f.output + c.expectedFolder + "/a.jpg") << c.label;
    EXPECT_FALSE(fs::exists(f.dir.path() / "escape")) << c.label;
  }
}

// A built name that is empty, leaves a path component or would start the
// output's name with a dot (a hidden file) falls back to the source's name.
TEST(OutputPath, KeepsSourceExtensionAndFallsBackForUnusableNames) {
  struct Case {
    const char* source;
    std::int64_t code;
    RenameValues values;
    const char* expected;
  };
  const Case cases[] = {
      {"README", ProcessingSession::kKeepSourceExtension, {"..", "", "", -1, -1}, "README"},
      {"a.jpg", 1, {".", "", "", -1, -1}, "a.png"},
      {"a.jpg", 1, {"..", "", "", -1, -1}, "a.png"},
      {"a.jpg", 1, {"../up", "", "", -1, -1}, "a.png"},
      {"a.jpg", 1, {".hidden", "", "", -1, -1}, "a.png"},
      {"a.jpg", 1, {"", ".", "", -1, -1}, "a.png"},
      {"a.jpg", 1, {"up/../x", "", "", -1, -1}, "up .. x.png"},
      {"a.jpg", 1, {"v.2", "", "", -1, -1}, "v.2.png"},
  };
  for (const Case& c : cases) {
    SessionFixture f;
    f.session.setRenameInfo(allSwitches(0, 0));
    f.session.setRenameValues(c.values);
    EXPECT_EQ(f.pathFor({f.dir.file(c.source), std::nullopt}, c.code), f.output + "/" + c.expected)
        << c.values.nameString << " | " << c.values.prefixString;
  }
  HeadlessConverter view({}, allSwitches(0, 0));
  view.state().globalConversionFormat = ConversionType::PNG;
  view.state().nameString = "..";
  EXPECT_EQ(updateStringForExample(view, "a.jpg"), "a.png");
  SessionFixture f;
  const std::string nonUtf8 = f.dir.file("caf\xe9.jpg");
  EXPECT_EQ(f.pathFor({nonUtf8, std::nullopt}, 0), f.output + "/caf\xe9.jpg");
}

TEST(OutputPath, TagsHandedToTheEngine) {
  SessionFixture f;
  const std::string source = f.dir.file("tagged.jpg");
  std::ofstream(source) << "x";
  if (!foundation::writeTags(source, {"Red", "Trip"})) GTEST_SKIP() << "no user attributes here";
  f.session.canUseTags = true;
  f.pathFor({source, std::nullopt}, 0);
  EXPECT_EQ(f.engine->actFileTags(), (std::vector<std::string>{"Red", "Trip"}));
  f.session.canUseTags = false;
  f.pathFor({source, std::nullopt}, 0);
  EXPECT_EQ(f.engine->actFileTags(), std::nullopt);
}

TEST(OutputPath, FreeName) {
  testsupport::TempDir dir;
  std::ofstream(dir.file("a.png")) << "x";
  std::ofstream(dir.file("a 2.png")) << "x";
  fs::create_directory(dir.file("b.png"));
  EXPECT_EQ(ProcessingSession::verifyPathName(dir.file("a.png")), dir.file("a 3.png"));
  EXPECT_EQ(ProcessingSession::verifyPathName(dir.file("b.png")), dir.file("b 2.png"));
  EXPECT_EQ(ProcessingSession::verifyPathName(dir.file("c.png")), dir.file("c.png"));
  EXPECT_TRUE(verifyParentDirectory(dir.path().string()));
  EXPECT_FALSE(verifyParentDirectory(dir.file("a.png")));
  EXPECT_FALSE(verifyParentDirectory(std::nullopt));
}

}  // namespace
}  // namespace velumar
