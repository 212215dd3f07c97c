#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <filesystem>
#include <fstream>

#include "engine/imported_image.h"
#include "platform/desktop/applications.h"
#include "platform/ui/pop_up_menu_button.h"
#include "support/test_support.h"
#include "window_test_kit.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;

// count letters e, each with a combining acute accent.
std::string accented(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "e\u0301";
  return text;
}

// GLib reads the XDG folders once per process, at the first question about
// applications, and GIO keeps listing the applications of those folders; so
// whichever window first asks fixes the desktop for every later test of
// this binary. The binary's desktop is therefore made private before any
// test runs: desktop entries in a temporary data folder, read by GLib here,
// at start-up; the variables are then put back for everything else.
class PrivateDesktop {
 public:
  PrivateDesktop() {
    const fs::path applications = folder_.path() / "home/applications";
    fs::create_directories(applications);
    // The system's MIME database only, so the example's type is known.
    fs::create_directories(folder_.path() / "system");
    fs::create_directory_symlink("/usr/share/mime", folder_.path() / "system/mime");
    fs::create_directories(folder_.path() / "config");
    const std::string editorIcon = "Icon=" + iconPath() + "\n";
    const std::pair<const char*, std::string> entries[] = {
        {"zeta.desktop", "Name=Zeta Viewer\n"},
        {"zeta-copy.desktop", "Name=Zeta Viewer\n"},
        {"alpha.desktop", "Name=alpha viewer\n"},
        {"org.example.velumar.desktop", "Name=Velumar\n"},
        // This very program under another id and name.
        {"own-copy.desktop", "Name=Copy\nExec=" + fs::read_symlink("/proc/self/exe").string() + " %F\n"},
        {"home.desktop", "Name=Home Viewer\n"},
        {"org.example.Launched.desktop", "Name=Launched Viewer\n"},
        {"legacy.desktop", "Name=Legacy Viewer\n"},
        {"amp.desktop", "Name=Amp & Co\n"},
        // Names that would reach past their isolate: an override left open,
        // after an isolate's end or a paragraph's end (both written raw, and
        // the line breaks as the desktop entry's escapes), and the other
        // embeddings, isolates and marks; right-to-left letters stay.
        {"bidi.desktop", "Name=Bidi \u202eweiv\n"},
        {"pdi.desktop", "Name=Pdi \u2069\u202eweiv\n"},
        {"paragraph.desktop", "Name=Para \u2029\u202eweiv\n"},
        {"lines.desktop", "Name=Lines\\n\\r\u0085\u2028\u001c \u202eweiv\n"},
        {"marks.desktop", "Name=Marks\u202a\u202b\u202c\u202d\u2066\u2067\u2068\u061c\u200e\u200f view\n"},
        // A tab would open the menu's shortcut column; line breaks part words
        // (written as the entry's escapes); a long name is cut in the middle
        // by whole characters, base letters with their accents.
        {"tab-name.desktop", "Name=Evil\t(9.9.9)\n"},
        {"joined.desktop", "Name=  Line\\nFeed\u2029Para\\t\\tgraph \n"},
        {"long.desktop", "Name=Long " + accented(2500) + "\n"},
        {"hebrew.desktop", "Name=\u05de\u05e6\u05d9\u05d2 \u05ea\u05de\u05d5\u05e0\u05d5\u05ea\n"},
        {"tab.desktop", "Name=Tabbed\n"},
        {"text.desktop", "Name=Notes\nMimeType=text/plain;\n"},
        // Targets of fixed Open With items, outside the JPEG submenu.
        {"gimp.desktop", "Name=Editor\nMimeType=text/plain;\n" + editorIcon},
        {"darktable.desktop", "Name=Light & Dark\nMimeType=text/plain;\n"},
    };
    for (const auto& [file, lines] : entries) {
      std::ofstream entry(applications / file);
      entry << "[Desktop Entry]\nType=Application\n" << lines;
      if (lines.find("Exec=") == std::string::npos) entry << "Exec=/bin/true %F\n";
      if (lines.find("MimeType") == std::string::npos) entry << "MimeType=image/jpeg;\n";
    }
    // Versions from metainfo: the newest release, in either folder and name,
    // the user's own data folder too, and files that name the application
    // by their launchable or component id.
    const std::pair<const char*, const char*> metainfo[] = {
        {"system/metainfo/zeta.metainfo.xml",
         R"(<releases><release version="2.9"/><release version="2.10"/></releases>)"},
        {"system/appdata/alpha.appdata.xml", R"(<releases><release version="1.0"/></releases>)"},
        {"system/metainfo/zeta-copy.metainfo.xml", "<releases/>"},
        {"home/metainfo/home.metainfo.xml", R"(<releases><release version="3.1"/></releases>)"},
        {"system/metainfo/com.vendor.Other.metainfo.xml",
         R"(<id>com.vendor.Other</id><launchable type="desktop-id">org.example.Launched.desktop</launchable>)"
         R"(<releases><release version="4.0"/></releases>)"},
        {"system/appdata/old-name.appdata.xml",
         R"(<id>legacy.desktop</id><releases><release version="0.9"/></releases>)"},
        {"system/metainfo/amp.metainfo.xml", R"(<releases><release version="1.0 &amp;Quit"/></releases>)"},
        {"system/metainfo/bidi.metainfo.xml", R"(<releases><release version="1.2.3"/></releases>)"},
        {"system/metainfo/pdi.metainfo.xml", R"(<releases><release version="2.3.4"/></releases>)"},
        {"system/metainfo/paragraph.metainfo.xml", R"(<releases><release version="2.3.4"/></releases>)"},
        {"system/metainfo/lines.metainfo.xml", R"(<releases><release version="2.3.4"/></releases>)"},
        {"system/metainfo/marks.metainfo.xml", R"(<releases><release version="2.3.4"/></releases>)"},
        {"system/metainfo/tab-name.metainfo.xml", R"(<releases><release version="2.3.4"/></releases>)"},
        {"system/metainfo/joined.metainfo.xml", R"(<releases><release version="2.3.4"/></releases>)"},
        {"system/metainfo/long.metainfo.xml", R"(<releases><release version="2.3.4"/></releases>)"},
        {"system/metainfo/hebrew.metainfo.xml", R"(<releases><release version="5.6"/></releases>)"},
        {"system/metainfo/tab.metainfo.xml", "<releases><release version=\"2.0\t\"/></releases>"}};
    for (const auto& [file, inside] : metainfo) {
      fs::create_directories((folder_.path() / file).parent_path());
      std::ofstream(folder_.path() / file) << "<component>" << inside << "</component>";
    }
    // The index the desktop's database tool would write.
    std::ofstream(applications / "mimeinfo.cache")
        << "[MIME "
           "Cache]\nimage/jpeg=zeta.desktop;zeta-copy.desktop;alpha.desktop;org.example.velumar.desktop;"
           "own-copy.desktop;home.desktop;org.example.Launched.desktop;legacy.desktop;amp.desktop;"
           "bidi.desktop;pdi.desktop;paragraph.desktop;lines.desktop;marks.desktop;hebrew.desktop;"
           "tab.desktop;tab-name.desktop;joined.desktop;long.desktop;\n"
        << "text/plain=text.desktop;\n";
    // GLib reads the folders now, once for the process.
    testsupport::withEnvironment({{"XDG_DATA_HOME", folder_.file("home")},
                                  {"XDG_DATA_DIRS", folder_.file("system")},
                                  {"XDG_CONFIG_HOME", folder_.file("config")},
                                  {"XDG_CONFIG_DIRS", folder_.file("config")}},
                                 [] { desktop::installedApplications(); });
  }
  // The icon of the "Editor" entry (written once a test can draw it).
  std::string iconPath() const { return folder_.file("editor.png"); }

 private:
  testsupport::TempDir folder_;
};
const PrivateDesktop privateDesktop;

class OpenWithMenuTest : public convertertest::WindowTest {
 protected:
  static void SetUpTestSuite() {
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    icon.save(QString::fromStdString(privateDesktop.iconPath()));
  }
};

TEST_F(OpenWithMenuTest, BuiltOnceSortedAndChosen) {
  auto* openWith = widget<ui::PopUpMenuButton>("openWithPopUp");
  emit openWith->menu()->aboutToShow();
  QMenu* submenu = openWith->submenuOf(14);
  std::vector<std::string> titles;
  for (QAction* action : submenu->actions()) {
    titles.push_back(action->text().toStdString());
    EXPECT_TRUE(QKeySequence::mnemonic(action->text()).isEmpty()) << titles.back();
  }
  // "&&" shows as "&"; a name before a version is a bidi isolate, without
  // the characters that could reach past it.
  const auto titled = [](const std::string& name, const std::string& version) {
    return "\u2068" + name + "\u2069 (" + version + ")";
  };
  EXPECT_EQ(
      titles,
      (std::vector<std::string>{
          titled("alpha viewer", "1.0"), titled("Amp && Co", "1.0 &&Quit"), titled("Bidi weiv", "1.2.3"),
          titled("Evil (9.9.9)", "2.3.4"), titled("Home Viewer", "3.1"), titled("Launched Viewer", "4.0"),
          titled("Legacy Viewer", "0.9"), titled("Line Feed Para graph", "2.3.4"),
          titled("Lines weiv", "2.3.4"), titled("Long " + accented(25) + "\u2026" + accented(29), "2.3.4"),
          titled("Marks view", "2.3.4"), titled("Para weiv", "2.3.4"), titled("Pdi weiv", "2.3.4"),
          titled("Tabbed", "2.0"), "Zeta Viewer", titled("Zeta Viewer", "2.10"),
          titled("\u05de\u05e6\u05d9\u05d2 \u05ea\u05de\u05d5\u05e0\u05d5\u05ea", "5.6")}));
  const auto table = view().importedImage()->appIDInfoArray;
  EXPECT_EQ(table.size(), titles.size());

  emit openWith->menu()->aboutToShow();  // not built again
  EXPECT_EQ(submenu->actions().size(), qsizetype(titles.size()));
  // A retitled item (a program installed meanwhile) keeps its submenu.
  model().openWithPopUp.items[14].title = "Other program";
  view().refreshControls();
  EXPECT_EQ(openWith->itemTitle(14), "Other program");
  EXPECT_EQ(openWith->submenuOf(14), submenu);

  QAction* alpha = submenu->actions().at(0);
  alpha->trigger();
  EXPECT_EQ(model().openWithPopUp.selectedIndex, 14);
  EXPECT_EQ(openWith->selectedIndex(), 14);
  EXPECT_TRUE(alpha->isChecked());
  const foundation::Value* path = view().importedImage()->openWithAppID.find("AppFullPath");
  ASSERT_NE(path, nullptr);
  EXPECT_TRUE(path->stringOr("").ends_with("alpha.desktop"));
  EXPECT_EQ(view().importedImage()->openWithAppID.find("AppDisplayName")->stringOr(""),
            titled("alpha viewer", "1.0"));

  view().selectApplicationFrom(99);  // an unknown tag: nothing chosen
  EXPECT_EQ(model().openWithPopUp.selectedIndex, 0);
  EXPECT_TRUE(view().importedImage()->openWithAppID.empty());
  EXPECT_FALSE(alpha->isChecked());
}

TEST_F(OpenWithMenuTest, FixedItemsNeedTheirApplicationAndTheFormat) {
  auto* openWith = widget<ui::PopUpMenuButton>("openWithPopUp");
  view().setButtonFormatFrom(ConversionType::JPEG);
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

  // The items of installed programs say which program opens the files, with
  // its icon; the others keep their titles and stay off.
  view().setButtonFormatFrom(ConversionType::JPEG);
  emit openWith->menu()->aboutToShow();
  const struct {
    int item;
    const char* title;
    bool enabled, icon;
  } items[] = {{6, "Editor", true, true},   {7, "Light && Dark", true, false}, {2, "Preview", false, false},
               {3, "Photos", false, false}, {8, "Pixelmator", false, false}};
  for (const auto& item : items) {
    EXPECT_EQ(openWith->itemTitle(item.item).toStdString(), item.title) << item.item;
    EXPECT_EQ(openWith->isItemEnabled(item.item), item.enabled) << item.item;
    EXPECT_EQ(!openWith->itemIcon(item.item).isNull(), item.icon) << item.item;
  }
  openWith->menu()->actions().at(6)->trigger();
  EXPECT_EQ(openWith->text(), "Editor");
  EXPECT_FALSE(openWith->icon().isNull());
}

}  // namespace
}  // namespace velumar
