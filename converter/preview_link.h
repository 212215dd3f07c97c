#pragma once
// What the converter asks of the preview window while it converts: keep the
// list still during a session, and tell which files it shows and lists, so
// that overwritten files are shown again. The application sets the link;
// without one the converter runs as if no preview were open.

#include <optional>
#include <string>
#include <vector>

namespace velumar {

class PreviewLink {
 public:
  virtual ~PreviewLink() = default;
  // A conversion runs: the preview refuses list changes until it ends.
  virtual void setProcessing(bool running) = 0;
  virtual std::optional<std::string> shownFile() const = 0;
  virtual std::vector<std::string> listedFiles() const = 0;
};

}  // namespace velumar
