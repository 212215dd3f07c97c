#pragma once
// Where the end of a session sends the files it wrote: the file manager
// reveals them, and the chosen application opens them. What could not be
// handed on is said in one alert.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velumar {

class ImportedImage;
class ProcessingView;

inline constexpr const char* kAlertResultsNotHandedOn = "The converted files are saved.";
inline constexpr const char* kResultsNoFileManager = "No file manager could show them.";
inline constexpr const char* kResultsNoMailProgram =
    "No mail program took them: choose one as the desktop's e-mail application.";
// How long the alert waits for the mail program's answer before it says
// what it knows; a later refusal gets an alert of its own.
inline constexpr double kMailAnswerWait = 2.0;

struct ResultActions {
  // Reveals and selects the files in the file manager; false when no file
  // manager showed them.
  std::function<bool(const std::vector<std::string>& paths)> showItemsInFileManager;
  // Opens the files with the target of the open-with code and empties them.
  // The mail program answers later: mailAnswered(taken) runs on the main
  // thread once it has ended or could not start (for mail only).
  std::function<void(ImportedImage& engine, std::vector<std::string>& paths, std::int64_t code,
                     std::function<void(bool taken)> mailAnswered)>
      openURLs;
};

// The process's result actions (replaceable, e.g. by tests).
ResultActions& sessionResultActions();

// Hands a batch's files on: reveals `revealed` (none: no reveal), opens the
// engine's written files with its open-with target (emptying its list), and
// says on view's alert sheet, in one alert, which of the two could not be
// done. Main thread.
void handOnResults(ImportedImage& engine, const std::vector<std::string>& revealed,
                   const std::shared_ptr<ProcessingView>& view);

// Starts the mail program with the files attached; answered(taken) runs on
// the main thread when it has ended (taken: exit status 0) or could not
// start (false).
void mailFiles(const std::vector<std::string>& paths, std::function<void(bool taken)> answered);

}  // namespace velumar
