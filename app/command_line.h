#pragma once
// The program's arguments split before the toolkit reads them: an argument
// that names an existing file or folder (or is a file: URL) is a file even
// when it looks like a toolkit option ("-reverse", "-style"), so the
// toolkit only sees the others.

#include <QStringList>
#include <string>
#include <vector>

namespace velumar {

class CommandLine {
 public:
  CommandLine(int argc, char** argv);

  // The program name and the arguments that are not files, for the
  // toolkit, which removes the options it takes from them in place.
  int& toolkitArgc() { return toolkitArgc_; }
  char** toolkitArgv() { return toolkitArgv_.data(); }
  // Every argument that is not the toolkit's, in the order given: the ones
  // that named files and those the toolkit left in its arguments (known by
  // where they are, not by their text, which may repeat).
  QStringList files() const;

 private:
  std::vector<std::string> arguments_;  // without the program name
  std::vector<const char*> given_;      // where each argument is in argv
  std::vector<bool> namesFile_;
  std::vector<char*> toolkitArgv_;
  int toolkitArgc_ = 0;
};

}  // namespace velumar
