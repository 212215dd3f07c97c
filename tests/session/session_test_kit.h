#pragma once
// A headless converter wired to a session record with an output folder in a
// temporary folder, and the inputs the session tests convert.

#include <memory>
#include <string>
#include <vector>

#include "engine/imported_image.h"
#include "session/headless_converter.h"
#include "session/processing_session.h"
#include "session/session_info.h"
#include "support/test_support.h"

namespace velumar::sessiontest {

struct SessionKit {
  testsupport::TempDir dir;
  std::string input = dir.file("in");
  std::string output = dir.file("out");
  std::shared_ptr<HeadlessConverter> view = std::make_shared<HeadlessConverter>();
  std::shared_ptr<ImportedImage> engine = view->importedImage();
  std::shared_ptr<SessionInfo> session = std::make_shared<SessionInfo>();
  std::shared_ptr<ProcessingSession> processing = std::make_shared<ProcessingSession>();

  SessionKit();
  // Makes an input with /usr/bin/convert: arguments before the output path.
  std::string makeInput(const std::string& name, const std::vector<std::string>& convertArguments);
  // The sources of the session, in order.
  void setSources(const std::vector<std::string>& paths);
  // Converts the source as the loop does: processed file, engine reset, the
  // engine's conversion; the settings receive the detected file type.
  std::shared_ptr<raster::ImageSet> convert(const std::string& path, ImageModifyInfo& info);
  // The files of the output folder (recursively), relative, sorted.
  std::vector<std::string> outputFiles() const;
};

// Output of a command-line tool, or "" when it failed.
std::string toolOutput(const std::vector<std::string>& argv);

}  // namespace velumar::sessiontest
