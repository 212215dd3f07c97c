#pragma once
// A desktop of fake applications in a temporary folder. install() points the
// XDG folders and PATH at it before GIO first reads them, so applications
// installed on the machine never take part. Every fake application records
// the arguments it was started with in a file of its own.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fakedesktop {

// Creates the folders, fake applications and default-application list, and
// sets the environment. Call once, first thing in main.
void install();
// Removes the temporary folder.
void remove();

std::filesystem::path root();
// A folder for input files, emptied by clearFilesAndRecords().
std::filesystem::path filesDir();
void clearFilesAndRecords();

// Loose applications for the chosen-application code.
std::string looseDesktopFile();   // a valid .desktop file outside the application folders
std::string looseExecutable();    // an executable script
std::string brokenDesktopFile();  // a .desktop file whose Exec names no program
std::string plainScript();        // a script without execute permission
std::string textFile();           // a text file

// Writes an input file with the first bytes of its format.
std::string makeFile(const std::string& name);

// The arguments the recorder named `recorder` received, once its record
// appears (waiting up to timeout); nullopt when none appeared.
std::optional<std::vector<std::string>> recordedArguments(
    const std::string& recorder, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// The recorders that wrote a record so far.
std::vector<std::string> recordsWritten();

}  // namespace fakedesktop
