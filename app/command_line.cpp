#include "app/command_line.h"

#include <sys/stat.h>

namespace velumar {

namespace {

bool namesFile(const std::string& argument) {
  struct stat info {};
  return argument.starts_with("file:") || (!argument.empty() && ::stat(argument.c_str(), &info) == 0);
}

}  // namespace

CommandLine::CommandLine(int argc, char** argv) {
  if (argc > 0) toolkitArgv_.push_back(argv[0]);
  for (int index = 1; index < argc; ++index) {
    arguments_.emplace_back(argv[index]);
    namesFile_.push_back(namesFile(arguments_.back()));
    if (!namesFile_.back()) toolkitArgv_.push_back(argv[index]);
  }
  toolkitArgc_ = int(toolkitArgv_.size());
  toolkitArgv_.push_back(nullptr);
}

QStringList CommandLine::files(const QStringList& leftByToolkit) const {
  // The toolkit keeps the order of what it leaves, so the two lists merge.
  QStringList files;
  qsizetype left = 0;
  for (std::size_t index = 0; index < arguments_.size(); ++index) {
    const QString argument = QString::fromLocal8Bit(arguments_[index]);
    if (namesFile_[index]) {
      files.push_back(argument);
    } else if (left < leftByToolkit.size() && leftByToolkit[left] == argument) {
      files.push_back(argument);
      ++left;
    }
  }
  return files;
}

}  // namespace velumar
