#pragma once
// Applications that open files: content types, the default application of a
// type, installed applications by desktop-file id, applications from a
// .desktop file or an executable, and launching them with files. Programs
// are always started with an argument vector, never through a shell.
//
// This header includes no GLib header, so Qt code may include it.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

// One application, empty when none was found. Copies share the underlying
// application record.
class Application {
 public:
  Application() = default;
  explicit operator bool() const { return info_ != nullptr; }

  // The desktop-file id ("org.gnome.eog.desktop"); empty for applications
  // made from an executable or a .desktop file outside the application folders.
  std::string id() const;
  std::string displayName() const;
  // The .desktop file the application was read from; empty for
  // applications made from an executable.
  std::string desktopFilePath() const;
  // The application's icon as its desktop entry names it: an icon-theme
  // name ("org.gnome.eog") or an absolute file path; empty when it has none.
  std::string iconName() const;
  // The program its command line starts, found on PATH when it is a bare
  // name, with symbolic links resolved; empty when it is not found.
  std::string executablePath() const;

  // Starts the application with the files; it opens them on its own time.
  // false when the launch was refused (nothing to start, spawn failure).
  bool launch(const std::vector<std::string>& paths) const;

  // Takes over one reference of a GAppInfo.
  static Application adopt(void* appInfo);

 private:
  std::shared_ptr<void> info_;
};

// The content type guessed from the file's name and first bytes, as a MIME
// type ("image/png"); empty when nothing could be guessed.
std::string contentTypeForFile(const std::string& path);

// The application the desktop opens files of the content type with.
Application defaultApplicationForContentType(const std::string& contentType);

// The file of an application's icon (iconName() of an application): an
// absolute path that is a file, or the name looked up, at the usual sizes,
// in the "hicolor" icon theme and the "pixmaps" folder of each XDG data
// folder. Empty when nothing is found, and for names that are not plain
// file names.
std::string iconFilePath(const std::string& iconName);

// The application the desktop opens URIs of the scheme with ("mailto").
Application defaultApplicationForUriScheme(const std::string& scheme);

// Every installed application that opens files of the content type, the
// recommended ones first, as the desktop lists them.
std::vector<Application> applicationsForContentType(const std::string& contentType);

// Every installed application, in the desktop's order.
std::vector<Application> installedApplications();

// Whether a desktop-file id names the application: the id without
// ".desktop" and without a reverse-DNS prefix equals name, ignoring case
// ("org.gnome.Shotwell.desktop" names "shotwell").
bool desktopIdNamesApplication(std::string_view desktopId, std::string_view name);

// The first installed application whose id names the given application.
Application installedApplicationNamed(std::string_view name);

// An application from a .desktop file anywhere; empty when the file is not
// a launchable desktop entry.
Application applicationFromDesktopFile(const std::string& path);

// An application that runs the executable file with the files as arguments;
// empty when path is not an executable regular file.
Application applicationFromExecutable(const std::string& path);

// Whether a program of this name is found on PATH.
bool isProgramOnPath(const std::string& name);

// Starts a program found on PATH with the arguments, not waiting for it.
// false when it could not be started.
bool spawnProgram(const std::vector<std::string>& argv);

}  // namespace desktop
