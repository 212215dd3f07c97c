#pragma once
// Ghostscript time per PostScript file. A file gets one bounded run's worth
// of time: what measuring its bounding box took is taken from the time its
// rendering gets, a measured box is kept so that opening the file again
// (type detection, loaders, fallbacks) does not measure again, and a file
// that ran out of time once fails at once wherever it is opened again,
// until it changes. Files are told apart by device, inode, size and
// modification time.

#include <optional>
#include <string>

#include "platform/imageio/postscript_document.h"

namespace imageio {

// Seconds Ghostscript may spend on one file; 60 unless set.
double postScriptTimeLimit();
void setPostScriptTimeLimit(double seconds);

struct PostScriptRunRecord {
  bool timedOut = false;
  double measuringSeconds = 0;  // spent measuring the bounding box
  std::optional<PostScriptBox> measuredBox;
};

// What earlier runs on this file left; nullopt when there were none or the
// file changed since.
std::optional<PostScriptRunRecord> postScriptRunRecord(const std::string& path);
void rememberPostScriptRun(const std::string& path, const PostScriptRunRecord& record);

// Seconds a run on the file may still take: the limit less the time spent
// measuring its box; 0 when the file ran out of time before.
double postScriptTimeLeft(const std::string& path);

}  // namespace imageio
