#include "session_test_kit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velumar::sessiontest {

namespace fs = std::filesystem;

SessionKit::SessionKit() {
  fs::create_directory(input);
  fs::create_directory(output);
  session->setProcessingView(view);
  session->setProcessedImage(engine);
  session->setParentDirectory(output);
  session->setCurrentSession(processing);
}

std::string SessionKit::makeInput(const std::string& name, const std::vector<std::string>& convertArguments) {
  const std::string path = input + "/" + name;
  std::vector<std::string> argv{"/usr/bin/convert"};
  argv.insert(argv.end(), convertArguments.begin(), convertArguments.end());
  argv.push_back(path);
  const testsupport::CommandResult result = testsupport::runCommand(argv);
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return path;
}

void SessionKit::setSources(const std::vector<std::string>& paths) {
  session->urlsArray.clear();
  for (const std::string& path : paths) session->urlsArray.push_back({path, std::nullopt});
  session->urlsCount = paths.size();
}

std::shared_ptr<raster::ImageSet> SessionKit::convert(const std::string& path, ImageModifyInfo& info) {
  session->setProcessedURL(SourceFile{path, std::nullopt});
  engine->setActFileTags(std::nullopt);
  engine->indexMaxPixels = 0;
  std::int64_t fileType = 0;
  auto image = engine->resizePixelSizeForURL(path, info, &fileType, nullptr);
  info.originalFileType = fileType;
  return image;
}

std::vector<std::string> SessionKit::outputFiles() const {
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(output))
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), output).string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string toolOutput(const std::vector<std::string>& argv) {
  const testsupport::CommandResult result = testsupport::runCommand(argv);
  return result.exitCode == 0 ? result.output : std::string();
}

}  // namespace velumar::sessiontest
