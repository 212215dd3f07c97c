#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/imported_image.h"
#include "platform/ui/pop_up_menu_button.h"
#include "support/test_support.h"
#include "window_test_kit.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

// Desktop entries in a private data folder: the only applications the
// desktop knows in this process.
class OpenWithMenuTest : public convertertest::WindowTest {
 protected:
  static void SetUpTestSuite() {
    data_ = new testsupport::TempDir;
    const fs::path applications = data_->path() / "home/applications";
    fs::create_directories(applications);
    // The system's MIME database only, so the example's type is known.
    fs::create_directories(data_->path() / "system");
    fs::create_directory_symlink("/usr/share/mime", data_->path() / "system/mime");
    const std::pair<const char*, const char*> entries[] = {
        {"zeta.desktop", "Name=Zeta Viewer\n"},
        {"zeta-copy.desktop", "Name=Zeta Viewer\n"},
        {"alpha.desktop", "Name=alpha viewer\n"},
        {"org.example.velumar.desktop", "Name=Velumar\n"},
        {"text.desktop", "Name=Notes\nMimeType=text/plain;\n"},
        // Targets of fixed Open With items, outside the JPEG submenu.
        {"gimp.desktop", "Name=Editor\nMimeType=text/plain;\n"},
        {"darktable.desktop", "Name=Darkroom\nMimeType=text/plain;\n"},
    };
    for (const auto& [file, lines] : entries) {
      std::ofstream entry(applications / file);
      entry << "[Desktop Entry]\nType=Application\nExec=/bin/true %F\n" << lines;
      if (std::string(lines).find("MimeType") == std::string::npos) entry << "MimeType=image/jpeg;\n";
    }
    // The index the desktop's database tool would write.
    std::ofstream(applications / "mimeinfo.cache")
        << "[MIME "
           "Cache]\nimage/jpeg=zeta.desktop;zeta-copy.desktop;alpha.desktop;org.example.velumar.desktop;\n"
        << "text/plain=text.desktop;\n";
    setenv("XDG_DATA_HOME", (data_->path() / "home").c_str(), 1);
    setenv("XDG_DATA_DIRS", (data_->path() / "system").c_str(), 1);
  }
  static void TearDownTestSuite() { delete data_; }

  static testsupport::TempDir* data_;
};
testsupport::TempDir* OpenWithMenuTest::data_ = nullptr;

TEST_F(OpenWithMenuTest, BuiltOnceSortedAndChosen) {
  auto* openWith = widget<ui::PopUpMenuButton>("openWithPopUp");
  emit openWith->menu()->aboutToShow();
  QMenu* submenu = openWith->submenuOf(14);
  std::vector<std::string> titles;
  for (QAction* action : submenu->actions()) titles.push_back(action->text().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"alpha viewer", "Zeta Viewer", "Zeta Viewer"}));
  const auto table = view().importedImage()->appIDInfoArray;
  EXPECT_EQ(table.size(), 3u);

  emit openWith->menu()->aboutToShow();  // not built again
  EXPECT_EQ(submenu->actions().size(), 3);

  QAction* alpha = submenu->actions().at(0);
  alpha->trigger();
  EXPECT_EQ(model().openWithPopUp.selectedIndex, 14);
  EXPECT_EQ(openWith->selectedIndex(), 14);
  EXPECT_TRUE(alpha->isChecked());
  const foundation::Value* path = view().importedImage()->openWithAppID.find("AppFullPath");
  ASSERT_NE(path, nullptr);
  EXPECT_TRUE(path->stringOr("").ends_with("alpha.desktop"));

  view().selectApplicationFrom(99);  // an unknown tag: nothing chosen
  EXPECT_EQ(model().openWithPopUp.selectedIndex, 0);
  EXPECT_TRUE(view().importedImage()->openWithAppID.empty());
  EXPECT_FALSE(alpha->isChecked());
}

TEST_F(OpenWithMenuTest, FixedItemsNeedTheirApplicationAndTheFormat) {
  auto* openWith = widget<ui::PopUpMenuButton>("openWithPopUp");
  view().setButtonFormatFrom(0);  // JPEG
  openWith->menu()->actions().at(7)->trigger();
  EXPECT_EQ(model().openWithPopUp.selectedIndex, 7);
  struct Row {
    std::size_t format;
    int item;
    bool enabled;
  };
  const Row rows[] = {{0, 6, true}, {0, 7, true}, {0, 2, false}, {0, 11, false}, {5, 6, true}, {5, 7, false}};
  for (const Row& row : rows) {
    view().setButtonFormatFrom(row.format);
    EXPECT_EQ(openWith->isItemEnabled(row.item), row.enabled) << row.format << " " << row.item;
  }
  EXPECT_EQ(openWith->selectedIndex(), 0);  // ICNS took item 7 away
}

}  // namespace
}  // namespace velumar
