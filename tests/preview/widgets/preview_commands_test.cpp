#include "preview/preview_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "engine/imported_image.h"
#include "platform/imageio/image_destination.h"
#include "preview/preview_commands_session_link.h"
#include "session/headless_converter.h"
#include "support/test_support.h"

namespace velumar {
namespace {

// Records the requests instead of starting sessions.
struct RecordingLink : PreviewCommandsLink {
  bool processing = false;
  std::vector<ConversionRequest> posted;
  std::optional<std::string> root = std::string("unset");
  bool isProcessingImages() const override { return processing; }
  void drawDragAndDrop() override {}
  void activateAppWindowWithPreviewView() override {}
  void setGlobalParentDirectory(std::optional<std::string> folder) override { root = std::move(folder); }
  void setRemoveURLCachesWhenDone(bool) override {}
  void postRequest(const ConversionRequest& request) override { posted.push_back(request); }
  std::vector<std::string> runRequest(const ConversionRequest&) override { return {}; }
  std::vector<raster::BitmapImageRepRef> processNewImageForURL(const std::string&) override { return {}; }
  std::string tempDataPath() const override { return "/nonexistent"; }
};

std::vector<std::string> names(const ConversionRequest& request) {
  std::vector<std::string> out;
  for (const SourceFile& source : request.sources)
    out.push_back(std::filesystem::path(source.path).filename());
  return out;
}

class PreviewCommandsTest : public ::testing::Test {
 protected:
  void import(const std::string& folder, const std::vector<std::string>& files, bool media = false) {
    OrganizedURLList entries;
    for (const auto& name : files)
      entries.push_back(OrganizedURL::organizedURLWithPath(folder + "/" + name, media, folder));
    list_.verifyDuplicateImageUrlsWithUrlsArray(media ? "" : folder, entries);
  }
  PreviewList list_{[](const OrganizedURL&) { return true; }};
  QWidget window_;
  PreviewCommands commands_{list_, &window_};
  std::shared_ptr<RecordingLink> link_ = std::make_shared<RecordingLink>();
};

TEST_F(PreviewCommandsTest, BatchRequestsCarryTheChosenEntriesInListOrder) {
  commands_.setLink(link_);
  std::vector<std::size_t> rows;
  std::vector<std::shared_ptr<LibraryFolder>> folders;
  commands_.setSelectionSources([&] { return rows; }, [&] { return folders; });
  EXPECT_FALSE(commands_.processPreviewImagesFrom());  // empty list
  import("/photos/trip", {"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
  import("/photos/home", {"e.jpg"});

  rows = {3, 1, 9};
  ASSERT_TRUE(commands_.processPreviewImagesInRangeFrom());
  const ConversionRequest& request = link_->posted.back();
  EXPECT_EQ(names(request), (std::vector<std::string>{"b.jpg", "d.jpg"}));
  EXPECT_FALSE(request.ignoreBookmark);
  EXPECT_FALSE(request.ignoreAlerts);
  EXPECT_EQ(request.setupMode, 1);
  EXPECT_EQ(request.tempPath, "");
  EXPECT_TRUE(request.asyncQueue);
  EXPECT_EQ(link_->root, "/photos/trip");

  QPushButton button;
  button.setCheckable(true);
  button.setChecked(true);
  ASSERT_TRUE(commands_.processPreviewImagesFrom(&button));
  EXPECT_FALSE(button.isChecked());
  EXPECT_EQ(link_->posted.back().sources.size(), 5u);
  EXPECT_EQ(link_->root, "/photos");

  folders = {list_.libraryTree().front()};  // the first folder as the outline orders them
  ASSERT_TRUE(commands_.processPreviewImagesInRangePathFrom());
  EXPECT_EQ(names(link_->posted.back()), (std::vector<std::string>{"e.jpg"}));
  ASSERT_TRUE(commands_.removePreviewImagesInRangePathFrom());
  EXPECT_EQ(list_.imageFileUrls().size(), 4u);

  link_->processing = true;
  const std::size_t before = link_->posted.size();
  EXPECT_FALSE(commands_.processPreviewImagesFrom());
  EXPECT_FALSE(commands_.copyPreviewImageForApplication());
  EXPECT_FALSE(commands_.printPreviewImage());
  EXPECT_EQ(link_->posted.size(), before);
}

TEST(PreviewCommandsRoots, CommonRootOfChosenEntries) {
  const auto entry = [](const std::string& path, bool media, const std::string& parent) {
    return OrganizedURL::organizedURLWithPath(path, media, parent);
  };
  EXPECT_EQ(PreviewCommands::commonRoot({entry("/a/x.jpg", false, "/a"), entry("/b/y.jpg", false, "/b")}),
            "/");
  EXPECT_EQ(PreviewCommands::commonRoot({entry("/a/x.jpg", false, "/a"), entry("/p/y.jpg", true, "")}),
            std::nullopt);
  EXPECT_EQ(PreviewCommands::commonRoot(
                {entry("/a/b/x.jpg", false, "/a/b"), entry("/a/b/c/y.jpg", false, "/a/b/c")}),
            "/a/b");
}

TEST_F(PreviewCommandsTest, CopiedFilesSurviveTheNextPrintAndAreMarkedForOurOwnPaste) {
  const testsupport::TempDir dir;
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  const std::string photo = dir.file("photo.png");
  auto destination = imageio::ImageDestination::create(photo, "public.png", 1);
  destination->addImage(raster::Image::make(20, 10, raster::PixelFormat{8, 3, raster::AlphaInfo::None},
                                            raster::ColorSpace::sRGB(), std::vector<std::uint8_t>(600, 90)),
                        foundation::Value(foundation::Dictionary{}));
  ASSERT_TRUE(destination->finalize());
  auto converter = std::make_shared<HeadlessConverter>();
  commands_.setLink(std::make_shared<SessionCommandsLink>(converter, nullptr, nullptr));
  EXPECT_FALSE(commands_.copyPreviewImageForApplication());  // nothing shown
  import(dir.path().string(), {"photo.png"});

  ASSERT_TRUE(commands_.copyPreviewImageForApplication());
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(mime);
  EXPECT_EQ(mime->data(kCopyMarkerMimeType), QByteArray(kCopyMarkerString));
  EXPECT_FALSE(mime->formats().contains("text/plain")) << mime->formats().join(" ").toStdString();
  ASSERT_EQ(mime->urls().size(), 1);
  EXPECT_TRUE(mime->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
  const std::string copied = mime->urls().front().toLocalFile().toStdString();
  EXPECT_EQ(std::filesystem::path(copied).parent_path(), PreviewCommands::keptFilesFolder("Copied"));
  EXPECT_TRUE(converter->importedImage()->urlsArray.empty());

  // The end of a print empties the temporary folder, not the copied files.
  foundation::NotificationCenter::defaultCenter().post("printObjectDidFinishPrintOperation");
  EXPECT_TRUE(std::filesystem::exists(copied));
  EXPECT_TRUE(std::filesystem::is_empty(tempDataDirectory()));

  // Sharing offers the converted file to the applications of its type but
  // this one (installed under another id, and as this program), and by mail;
  // "&" in a name is no mnemonic.
  QPushButton shareButton;
  ASSERT_TRUE(commands_.sharePreviewImageFrom(&shareButton));
  ASSERT_TRUE(commands_.shareMenu());
  std::vector<std::string> titles;
  for (const QAction* action : commands_.shareMenu()->actions())
    titles.push_back(action->text().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"Viewer", "Amp && Co", "E-mail…"}));
  commands_.shareMenu()->close();
  EXPECT_FALSE(std::filesystem::is_empty(PreviewCommands::keptFilesFolder("Shared")));
  EXPECT_TRUE(std::filesystem::exists(copied));
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace velumar
