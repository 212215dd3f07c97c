#include "private_desktop.h"

#include <filesystem>
#include <fstream>
#include <utility>

#include "platform/desktop/applications.h"
#include "support/test_support.h"

namespace privatedesktop {
namespace {

namespace fs = std::filesystem;

class PrivateDesktop {
 public:
  PrivateDesktop() {
    const fs::path applications = root_.path() / "home/applications";
    fs::create_directories(applications);
    fs::create_directories(records());
    fs::create_directories(root_.path() / "system");
    fs::create_directory_symlink("/usr/share/mime", root_.path() / "system/mime");
    // Writes its arguments, one a line, to the record named by its first.
    const std::string recorder = root_.file("record");
    std::ofstream(recorder)
        << "#!/bin/sh\nout=\"" << records().string()
        << "/$1\"\nshift\nprintf '%s\\n' \"$@\" > \"$out.part\"\nmv \"$out.part\" \"$out\"\n";
    fs::permissions(recorder, fs::perms(0755));
    const std::pair<const char*, std::string> entries[] = {
        {"viewer.desktop", "Name=Viewer\nExec=" + recorder + " viewer %F\n"},
        {"amp.desktop", "Name=Amp & Co\nExec=/bin/true %F\n"},
        {"org.example.velumar.desktop", "Name=Velumar\nExec=" + recorder + " velumar %F\n"},
        {"own-copy.desktop", "Name=Copy\nExec=" + fs::read_symlink("/proc/self/exe").string() + " %F\n"},
    };
    for (const auto& [file, lines] : entries)
      std::ofstream(applications / file) << "[Desktop Entry]\nType=Application\n"
                                         << lines << "MimeType=image/png;image/jpeg;inode/directory;\n";
    const char* listed = "viewer.desktop;amp.desktop;org.example.velumar.desktop;own-copy.desktop;\n";
    std::ofstream(applications / "mimeinfo.cache")
        << "[MIME Cache]\nimage/png=" << listed << "image/jpeg=" << listed << "inode/directory=" << listed;
    fs::create_directories(root_.path() / "config");
    std::ofstream(root_.path() / "config/mimeapps.list")
        << "[Default Applications]\nimage/png=org.example.velumar.desktop\nimage/jpeg=viewer.desktop\n"
           "inode/directory=org.example.velumar.desktop\n";
    // GLib reads the folders now, once for the process.
    testsupport::withEnvironment({{"XDG_DATA_HOME", root_.file("home")},
                                  {"XDG_DATA_DIRS", root_.file("system")},
                                  {"XDG_CONFIG_HOME", root_.file("config")},
                                  {"XDG_CONFIG_DIRS", root_.file("config")}},
                                 [] { desktop::installedApplications(); });
  }
  fs::path records() const { return root_.path() / "records"; }

 private:
  testsupport::TempDir root_;
};
const PrivateDesktop privateDesktop;

}  // namespace

std::vector<std::string> recordedArguments(const std::string& application) {
  std::vector<std::string> arguments;
  std::ifstream record(privateDesktop.records() / application);
  for (std::string line; std::getline(record, line);) arguments.push_back(line);
  return arguments;
}

}  // namespace privatedesktop
