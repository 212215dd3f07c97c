#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "platform/ui/uri_list.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

QByteArray fileUrl(const std::string& path) {
  return "file://" + QByteArray(path.data(), qsizetype(path.size())).toPercentEncoding("/");
}

// A converter window, a folder of real images and the requests it hands on.
class DropIntakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    png_ = dir_.file("seed.png");
    ASSERT_EQ(testsupport::runCommand({"/usr/bin/convert", "-size", "4x3", "xc:red", png_}).exitCode, 0);
    view().setRequestHandler([this](const ConversionRequest& request) { requests_.push_back(request); });
  }
  void TearDown() override {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (qobject_cast<QMessageBox*>(widget)) widget->close();
  }
  ConverterView& view() { return *window_.converterView(); }
  std::string image(const std::string& relative) {
    const fs::path path = dir_.path() / relative;
    fs::create_directories(path.parent_path());
    fs::copy_file(png_, path, fs::copy_options::overwrite_existing);
    return path.string();
  }
  std::string textFile(const std::string& relative) {
    const fs::path path = dir_.path() / relative;
    std::ofstream(path) << "text";
    return path.string();
  }
  bool drop(const std::vector<std::string>& paths, bool fromInsideApp = false) {
    QByteArray list;
    for (const auto& path : paths) list += fileUrl(path) + "\r\n";
    QMimeData mime;
    mime.setData("text/uri-list", list);
    return view().performDragOperation(mime, fromInsideApp);
  }
  bool waitForRequest() {
    return QTest::qWaitFor([&] { return !requests_.empty(); }, 2000);
  }
  static QMessageBox* alert() {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) return box;
    return nullptr;
  }
  // Names of the requested files with their parent paths.
  std::vector<std::string> requested() const {
    std::vector<std::string> out;
    for (const SourceFile& file : requests_.at(0).sources)
      out.push_back(fs::path(file.path).filename().string() +
                    (file.parentPath ? "@" + *file.parentPath : ""));
    return out;
  }

  testsupport::TempDir dir_;
  std::string png_;
  ConverterWindow window_;
  std::vector<ConversionRequest> requests_;
};

TEST_F(DropIntakeTest, FolderBecomesOneRequestAfterTheDelay) {
  image("F/b10.png");
  image("F/b9.png");
  image("F/B1.png");
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(drop({dir_.file("F")}));
  EXPECT_TRUE(requests_.empty());  // not before the drag has ended
  EXPECT_TRUE(view().isRequestPending());
  ASSERT_TRUE(waitForRequest());
  EXPECT_GE(clock.elapsed(), 95);
  ASSERT_EQ(requests_.size(), 1u);
  const ConversionRequest& request = requests_[0];
  EXPECT_EQ(requested(), (std::vector<std::string>{"B1.png@/F", "b9.png@/F", "b10.png@/F"}));
  EXPECT_FALSE(request.ignoreBookmark);
  EXPECT_FALSE(request.ignoreAlerts);
  EXPECT_EQ(request.setupMode, 1);
  EXPECT_EQ(request.tempPath, "");
  EXPECT_TRUE(request.asyncQueue);
  EXPECT_EQ(view().state().globalParentDirectory, dir_.path().string());
  EXPECT_TRUE(view().drawForDragAndDrop() == false);  // no batch loop took it over here
}

TEST_F(DropIntakeTest, SubfoldersInterleaveByNameOrStayOut) {
  image("F/x/2.jpg");
  image("F/y/1.jpg");
  image("F/top.png");
  ASSERT_TRUE(drop({dir_.file("F")}));
  ASSERT_TRUE(waitForRequest());
  EXPECT_EQ(requested(), (std::vector<std::string>{"1.jpg@/F/y", "2.jpg@/F/x", "top.png@/F"}));
  requests_.clear();
  view().state().searchInSubFolders = 0;
  ASSERT_TRUE(drop({dir_.file("F")}));
  ASSERT_TRUE(waitForRequest());
  EXPECT_EQ(requested(), std::vector<std::string>{"top.png@/F"});
}

TEST_F(DropIntakeTest, RefusedWhileProcessingOrPending) {
  const std::string file = image("one.png");
  view().state().isProcessingImages = true;
  EXPECT_FALSE(drop({file}));
  view().state().isProcessingImages = false;
  ASSERT_TRUE(drop({file}));
  EXPECT_FALSE(drop({file}));  // the first request has not started yet
  ASSERT_TRUE(waitForRequest());
  QTest::qWait(150);
  EXPECT_EQ(requests_.size(), 1u);
  EXPECT_TRUE(alert() == nullptr);
}

TEST_F(DropIntakeTest, InsideAppDropKeepsNoParentAndOddBytesSurvive) {
  const std::string odd = image(std::string("caf\xFF.png"));
  ASSERT_TRUE(drop({odd}, true));
  ASSERT_TRUE(waitForRequest());
  ASSERT_EQ(requests_[0].sources.size(), 1u);
  EXPECT_EQ(requests_[0].sources[0].path, odd);
  EXPECT_FALSE(requests_[0].sources[0].parentPath);
  EXPECT_FALSE(view().state().globalParentDirectory);
}

TEST_F(DropIntakeTest, NothingConvertibleAlertsLaterEmptyFolderIsSilent) {
  fs::create_directories(dir_.path() / "Empty");
  const std::string notes = textFile("notes.txt");
  struct Case {
    const char* name;
    QByteArray mimeType, data;
    bool alerts;
  };
  const Case cases[] = {
      {"web links only", "text/uri-list", "https://example.org/a.jpg\r\n", true},
      {"unsupported file", "text/uri-list", fileUrl(notes), true},
      {"no file list", "text/plain", "hello", true},
      {"image-less folder", "text/uri-list", fileUrl(dir_.file("Empty")), false},
  };
  for (const Case& c : cases) {
    QMimeData mime;
    mime.setData(c.mimeType, c.data);
    EXPECT_FALSE(view().performDragOperation(mime, false)) << c.name;
    EXPECT_TRUE(alert() == nullptr) << c.name;  // not at once
    // The alert follows 0.1 s later; a loaded machine may take longer.
    QTest::qWait(200);
    for (int i = 0; c.alerts && alert() == nullptr && i < 150; ++i) QTest::qWait(20);
    QMessageBox* box = alert();
    EXPECT_EQ(box != nullptr, c.alerts) << c.name;
    if (box) {
      EXPECT_EQ(box->text(), "Couldn't open file");
      EXPECT_EQ(box->informativeText(), "Format not supported.");
      EXPECT_EQ(box->windowModality(), Qt::WindowModal);
      box->close();
    }
    EXPECT_TRUE(requests_.empty()) << c.name;
  }
}

TEST(UriList, LocalPathsOnly) {
  const struct {
    QByteArray list;
    std::vector<std::string> paths;
  } cases[] = {
      {"file:///a/b.png\r\nfile:///c%20d.jpg\n", {"/a/b.png", "/c d.jpg"}},
      {"# comment\r\n\r\nfile://localhost/x.png", {"/x.png"}},
      {"file://otherhost/x.png\nhttps://h/y.png\nfile:relative.png", {}},
      {"file:///n%FFame.png",
       {"/n\xFF"
        "ame.png"}},
      {"file:///bad%00nul.png\nfile:/short.png", {"/short.png"}},
      {"FILE:///upper.png", {"/upper.png"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ui::localPathsFromUriList(c.list), c.paths) << c.list.toStdString();
}

}  // namespace
}  // namespace velumar
