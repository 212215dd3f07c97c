#include "engine/open_with/fake_desktop.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <thread>

namespace fakedesktop {
namespace fs = std::filesystem;
namespace {

fs::path rootPath;

void writeText(const fs::path& path, const std::string& text, fs::perms permissions = fs::perms(0644)) {
  std::ofstream(path, std::ios::binary) << text;
  fs::permissions(path, permissions);
}

fs::path recordsDir() {
  return rootPath / "records";
}
fs::path binDir() {
  return rootPath / "bin";
}
fs::path looseDir() {
  return rootPath / "loose";
}

// A script that starts the recorder with its own record name.
std::string recorderScript(const std::string& recorder) {
  return "#!/bin/sh\nexec " + (binDir() / "record").string() + " " + (recordsDir() / recorder).string() +
         " \"$@\"\n";
}

std::string desktopEntry(const std::string& recorder, const std::string& mimeTypes = "") {
  std::string entry = "[Desktop Entry]\nType=Application\nName=" + recorder +
                      "\nExec=" + (binDir() / "record").string() + " " + (recordsDir() / recorder).string() +
                      " %F\n";
  if (!mimeTypes.empty()) entry += "MimeType=" + mimeTypes + "\n";
  return entry;
}

}  // namespace

void install() {
  char pattern[] = "/tmp/velumar-open-with-XXXXXX";
  rootPath = ::mkdtemp(pattern);
  const fs::path data = rootPath / "data", config = rootPath / "config", empty = rootPath / "empty";
  for (const auto& dir :
       {data / "applications", config, empty, binDir(), recordsDir(), looseDir(), filesDir()})
    fs::create_directories(dir);
  // The content-type database is the system's; only applications are faked.
  fs::create_directory_symlink("/usr/share/mime", data / "mime");

  // The recorder writes its arguments NUL-separated, then renames the record
  // into place, so a reader never sees half of it.
  writeText(binDir() / "record",
            "#!/bin/sh\nout=\"$1\"\nshift\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$out.part\"\n"
            "/bin/mv \"$out.part\" \"$out\"\n",
            fs::perms(0755));
  writeText(binDir() / "xdg-email", recorderScript("xdg-email"), fs::perms(0755));

  const fs::path applications = data / "applications";
  writeText(applications / "fake-viewer.desktop", desktopEntry("viewer", "image/png;image/jpeg;"));
  writeText(applications / "velumar.desktop", desktopEntry("velumar", "image/tiff;"));
  // This application installed under another id, and a copy that runs a
  // program of our name.
  writeText(applications / "org.example.velumar.desktop", desktopEntry("velumar-other-id", "image/gif;"));
  writeText(binDir() / "velumar", recorderScript("velumar-program"), fs::perms(0755));
  writeText(applications / "photos-copy.desktop",
            "[Desktop Entry]\nType=Application\nName=Photos\nExec=velumar %F\nMimeType=image/webp;\n");
  // The first image viewer of its code's list, but it runs our program.
  writeText(applications / "org.gnome.eog.desktop",
            "[Desktop Entry]\nType=Application\nName=Image Viewer\nExec=velumar %F\n");
  writeText(applications / "org.xfce.ristretto.desktop", desktopEntry("ristretto"));
  writeText(applications / "org.gnome.Shotwell.desktop", desktopEntry("shotwell"));
  writeText(applications / "org.kde.digikam.desktop", desktopEntry("digikam"));
  writeText(applications / "com.rawtherapee.RawTherapee.desktop", desktopEntry("rawtherapee"));
  // A capital I in the id: Turkish case rules would miss it.
  writeText(applications / "org.gimp.GIMP.desktop", desktopEntry("gimp"));
  writeText(config / "mimeapps.list",
            "[Default Applications]\nimage/png=fake-viewer.desktop\nimage/jpeg=fake-viewer.desktop\n"
            "image/tiff=velumar.desktop\nimage/gif=org.example.velumar.desktop\nimage/webp=photos-copy.desktop\n");

  writeText(looseDesktopFile(), desktopEntry("loose-desktop"));
  writeText(looseExecutable(), recorderScript("loose-executable"), fs::perms(0755));
  writeText(brokenDesktopFile(),
            "[Desktop Entry]\nType=Application\nName=Broken\nExec=/nonexistent/program %F\n");
  writeText(plainScript(), recorderScript("plain-script"));
  writeText(textFile(), "not an application\n");

  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  ::setenv("XDG_DATA_DIRS", empty.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ::setenv("XDG_CONFIG_DIRS", empty.c_str(), 1);
  ::unsetenv("XDG_CURRENT_DESKTOP");
  ::setenv("PATH", (binDir().string() + ":/usr/bin:/bin").c_str(), 1);
}

void remove() {
  std::error_code ignored;
  if (!rootPath.empty()) fs::remove_all(rootPath, ignored);
}

fs::path root() {
  return rootPath;
}
fs::path filesDir() {
  return rootPath / "files";
}

void clearFilesAndRecords() {
  for (const auto& dir : {filesDir(), recordsDir()}) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
}

std::string looseDesktopFile() {
  return (looseDir() / "chosen.desktop").string();
}
std::string looseExecutable() {
  return (looseDir() / "chosen-program").string();
}
std::string brokenDesktopFile() {
  return (looseDir() / "broken.desktop").string();
}
std::string plainScript() {
  return (looseDir() / "plain-script").string();
}
std::string textFile() {
  return (looseDir() / "notes.txt").string();
}

std::string makeFile(const std::string& name) {
  const fs::path path = filesDir() / name;
  std::string head = "data";
  if (path.extension() == ".png") head = "\x89PNG\r\n\x1a\n";
  if (path.extension() == ".tif") head = std::string("II*\0", 4);
  if (path.extension() == ".bmp") head = "BM";
  if (path.extension() == ".gif") head = "GIF89a";
  if (path.extension() == ".webp") head = std::string("RIFF\0\0\0\0WEBPVP8 ", 16);
  writeText(path, head);
  return path.string();
}

std::optional<std::vector<std::string>> recordedArguments(const std::string& recorder,
                                                          std::chrono::milliseconds timeout) {
  const fs::path record = recordsDir() / recorder;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!fs::exists(record)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::ifstream stream(record, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
    arguments.push_back(bytes.substr(start, end - start));
  return arguments;
}

std::vector<std::string> recordsWritten() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(recordsDir())) names.push_back(entry.path().filename());
  return names;
}

}  // namespace fakedesktop
