#include "session/result_actions.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <thread>

#include "engine/imported_image.h"
#include "platform/desktop/file_manager.h"
#include "platform/foundation/log.h"
#include "platform/foundation/main_loop.h"
#include "session/processing_view.h"

extern char** environ;

namespace velumar {

namespace {

constexpr std::int64_t kOpenWithMail = 5;

// What could not be handed on, gathered into one alert: shown once every
// answer is in, or when the mail program keeps its answer too long.
class HandOnReport {
 public:
  explicit HandOnReport(std::weak_ptr<ProcessingView> view) : view_(std::move(view)) {}
  void add(const char* line) { lines_.emplace_back(line); }
  void show() {
    const std::shared_ptr<ProcessingView> view = view_.lock();
    if (lines_.empty() || !view) return;
    std::string text;
    for (const std::string& line : lines_) text += (text.empty() ? "" : "\n") + line;
    lines_.clear();
    view->showAlertSheet(kAlertResultsNotHandedOn, text);
  }

 private:
  std::weak_ptr<ProcessingView> view_;
  std::vector<std::string> lines_;
};

}  // namespace

void mailFiles(const std::vector<std::string>& paths, std::function<void(bool taken)> answered) {
  std::vector<std::string> arguments{"xdg-email"};
  for (const std::string& path : paths) {
    arguments.push_back("--attach");
    arguments.push_back(path);
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const int failed = ::posix_spawnp(&child, argv.front(), nullptr, nullptr, argv.data(), environ);
  if (failed != 0) {
    foundation::log("Cannot start the mail program xdg-email: {}", std::strerror(failed));
    foundation::MainLoop::post([answered = std::move(answered)] { answered(false); });
    return;
  }
  // The helper's exit status is the only answer it gives; it may wait for
  // the mail program it started, so it is awaited on a thread of its own.
  std::thread([child, answered = std::move(answered)]() mutable {
    int status = 0;
    while (::waitpid(child, &status, 0) == -1 && errno == EINTR) {
    }
    const bool taken = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!taken)
      foundation::log("The mail program did not take the files (exit status {})",
                      WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    foundation::MainLoop::post([answered = std::move(answered), taken] { answered(taken); });
  }).detach();
}

ResultActions& sessionResultActions() {
  static ResultActions actions{
      [](const std::vector<std::string>& paths) { return desktop::showItemsInFileManager(paths); },
      [](ImportedImage& engine, std::vector<std::string>& paths, std::int64_t code,
         std::function<void(bool)> mailAnswered) {
        if (code != kOpenWithMail) {
          engine.openURLs(paths, code);
          return;
        }
        std::vector<std::string> distinct;
        std::set<std::string> seen;
        for (const std::string& path : paths)
          if (seen.insert(path).second) distinct.push_back(path);
        paths.clear();
        if (distinct.empty()) return;
        mailFiles(distinct, std::move(mailAnswered));
      }};
  return actions;
}

void handOnResults(ImportedImage& engine, const std::vector<std::string>& revealed,
                   const std::shared_ptr<ProcessingView>& view) {
  auto report = std::make_shared<HandOnReport>(view);
  ResultActions& actions = sessionResultActions();
  if (!revealed.empty() && !actions.showItemsInFileManager(revealed)) report->add(kResultsNoFileManager);
  const std::int64_t code = engine.openWithApplicationType;
  if (code == 0) return report->show();
  auto mailPending = std::make_shared<bool>(code == kOpenWithMail);
  actions.openURLs(engine, engine.urlsArray, code, [report, mailPending](bool taken) {
    *mailPending = false;
    if (!taken) report->add(kResultsNoMailProgram);
    report->show();
  });
  if (!*mailPending) return report->show();
  foundation::MainLoop::postAfter(kMailAnswerWait, [report] { report->show(); });
}

}  // namespace velumar
