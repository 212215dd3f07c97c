#include "app/command_line.h"

#include <sys/stat.h>

#include <set>

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
    given_.push_back(argv[index]);
    namesFile_.push_back(namesFile(arguments_.back()));
    if (!namesFile_.back()) toolkitArgv_.push_back(argv[index]);
  }
  toolkitArgc_ = int(toolkitArgv_.size());
  toolkitArgv_.push_back(nullptr);
}

QStringList CommandLine::files() const {
  std::set<const char*> left;
  for (int index = 1; index < toolkitArgc_; ++index) left.insert(toolkitArgv_[std::size_t(index)]);
  QStringList files;
  for (std::size_t index = 0; index < arguments_.size(); ++index)
    if (namesFile_[index] || left.count(given_[index]))
      files.push_back(QString::fromLocal8Bit(arguments_[index]));
  return files;
}

}  // namespace velumar
