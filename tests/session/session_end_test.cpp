// The end of a session: idle state, preview notifications, reveal and open,
// the temporary-folder end and the failure report.
#include <gtest/gtest.h>

#include <any>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "fake_file_manager.h"
#include "platform/foundation/colliding_keys.h"
#include "platform/foundation/main_loop.h"
#include "platform/foundation/notification_center.h"
#include "session/result_actions.h"
#include "session/session_alerts.h"
#include "session_test_kit.h"
#include "support/private_session_bus.h"

namespace velumar {
namespace {

using sessiontest::SessionKit;

// Captures what the end sends to the file manager and the opener; the file
// manager and the mail program answer as told.
struct CapturedActions {
  ResultActions saved = sessionResultActions();
  std::vector<std::vector<std::string>> revealed;
  std::vector<std::int64_t> openedWith;
  bool fileManagerShows = true;
  std::optional<bool> mailTakes = true;  // nothing: the mail program never answers
  CapturedActions() {
    sessionResultActions().showItemsInFileManager = [this](const std::vector<std::string>& paths) {
      revealed.push_back(paths);
      return fileManagerShows;
    };
    sessionResultActions().openURLs = [this](ImportedImage&, std::vector<std::string>& paths,
                                             std::int64_t code, std::function<void(bool)> mailAnswered) {
      openedWith.push_back(code);
      paths.clear();
      if (code == 5 && mailTakes)
        foundation::MainLoop::post([mailAnswered, taken = *mailTakes] { mailAnswered(taken); });
    };
  }
  ~CapturedActions() { sessionResultActions() = saved; }
};

std::vector<std::string> numberedFiles(const std::string& folder, int count) {
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) files.push_back(folder + "/f" + std::to_string(i) + ".jpg");
  return files;
}

// The real reveal, received by a stand-in file manager on a private bus.
TEST(SessionEnd, RevealThresholdAndDuplicates) {
  if (!testsupport::onPrivateSessionBus()) return;
  sessiontest::FakeFileManager fileManager;
  ASSERT_TRUE(fileManager.serving());
  struct Case {
    const char* label;
    int distinct;
    bool duplicateFirst;
    std::size_t revealedCount;
  };
  const Case cases[] = {{"100 files", 100, false, 100},
                        {"101 files", 101, false, 1},
                        {"100 files, one written twice", 100, true, 100},
                        {"2 files, one written twice", 2, true, 2}};
  std::size_t callCount = 0;
  for (const Case& c : cases) {
    SessionKit kit;
    kit.view->state().showInFinderSavedFiles = true;
    kit.engine->urlsArray = numberedFiles(kit.output, c.distinct);
    if (c.duplicateFirst) kit.engine->urlsArray.push_back(kit.engine->urlsArray.front());
    kit.session->completitionCode = kCompletionOutputFolder;
    kit.processing->completeImageProcessingAndUpdatePreview(*kit.session);
    const auto calls = fileManager.calls();
    ASSERT_EQ(calls.size(), ++callCount) << c.label;
    EXPECT_EQ(calls.back().size(), c.revealedCount) << c.label;
    EXPECT_EQ(calls.back().front(), "file://" + kit.output + "/f0.jpg") << c.label;
    EXPECT_TRUE(kit.engine->urlsArray.empty()) << c.label;
  }
}

// Written paths chosen to share one standard-library hash spread over the
// buckets of the table that finds the repeats.
TEST(SessionEnd, RevealedPathsChosenToCollideSpreadOverBuckets) {
  const std::vector<std::string> written = plisttest::pathsCollidingUnderStdHash(2000, "/no/such/folder", ".jpg");
  ASSERT_EQ(written.size(), 2000u);
  std::size_t largest = 0;
  EXPECT_EQ(filesToReveal(written, &largest), std::vector<std::string>{written.front()});
  EXPECT_LE(largest, 16u);
}

TEST(SessionEnd, BackToIdleAndOpenWith) {
  SessionKit kit;
  CapturedActions actions;
  ConverterState& state = kit.view->state();
  state.isProcessingImages = true;
  state.removeURLCachesWhenDone = false;
  state.drawTextString = false;
  state.globalParentDirectory = "/somewhere";
  kit.engine->openWithApplicationType = 2;
  kit.engine->urlsArray = numberedFiles(kit.output, 2);
  kit.session->completitionCode = kCompletionOutputFolder;
  kit.processing->completeImageProcessingAndUpdatePreview(*kit.session);
  EXPECT_FALSE(state.isProcessingImages);
  EXPECT_TRUE(state.removeURLCachesWhenDone);
  EXPECT_TRUE(state.drawTextString);
  EXPECT_FALSE(state.globalParentDirectory);
  EXPECT_TRUE(actions.revealed.empty());
  EXPECT_EQ(actions.openedWith, std::vector<std::int64_t>{2});
  EXPECT_FALSE(kit.session->currentSession());
  EXPECT_EQ(kit.view->steps(), (std::vector<std::string>{"previewAcceptsImages", "restoreVisibleWindows"}));
}

TEST(SessionEnd, PreviewNotificationsAfterOverwriting) {
  struct Case {
    const char* label;
    bool overwrite;
    bool showsFile;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"shown file and two list entries",
       true,
       true,
       {"updatePreviewAfterOverwrite", "reloadDataAfterOverwrite 1 3"}},
      {"nothing shown", true, false, {"reloadDataAfterOverwrite 1 3"}},
      {"not overwriting", false, true, {}},
  };
  for (const Case& c : cases) {
    SessionKit kit;
    CapturedActions actions;
    const std::string a = kit.output + "/a.jpg", b = kit.output + "/b.jpg";
    kit.view->setPreviewFiles(c.showsFile ? std::optional(kit.output + "/./b.jpg") : std::nullopt,
                              {kit.output + "/x.jpg", a, kit.output + "/y.jpg", b});
    kit.engine->urlsArray = {a, b, a};
    kit.session->overwriteFiles = c.overwrite;
    kit.session->completitionCode = kCompletionOutputFolder;
    std::vector<std::string> posted;
    auto& center = foundation::NotificationCenter::defaultCenter();
    auto update = center.addObserver("updatePreviewAfterOverwrite",
                                     [&](const foundation::Notification& n) { posted.push_back(n.name); });
    auto reload = center.addObserver("reloadDataAfterOverwrite", [&](const foundation::Notification& n) {
      std::string text = n.name;
      for (std::size_t position : std::any_cast<std::set<std::size_t>>(n.payload))
        text += " " + std::to_string(position);
      posted.push_back(text);
    });
    kit.processing->completeImageProcessingAndUpdatePreview(*kit.session);
    EXPECT_EQ(posted, c.expected) << c.label;
  }
}

TEST(SessionEnd, TemporaryFolderEndKeepsTheWrittenList) {
  SessionKit kit;
  CapturedActions actions;
  kit.view->state().showInFinderSavedFiles = true;
  kit.engine->openWithApplicationType = 1;
  kit.engine->urlsArray = numberedFiles(kit.output, 1);
  kit.session->completitionCode = kCompletionTemporaryFolder;
  kit.processing->completeImageProcessingAndUpdatePreview(*kit.session);
  EXPECT_TRUE(actions.revealed.empty());
  EXPECT_TRUE(actions.openedWith.empty());
  EXPECT_EQ(kit.engine->urlsArray.size(), 1u);
  EXPECT_FALSE(kit.view->state().isProcessingImages);
}

// A file manager or mail program that does not take the files is said in
// one alert, after the mail program's answer or after waiting for it.
TEST(SessionEnd, WhatCannotBeHandedOnIsSaidInOneAlert) {
  auto* loop = dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
  ASSERT_NE(loop, nullptr);
  const std::string none = "", noFiles = kResultsNoFileManager, noMail = kResultsNoMailProgram;
  struct Case {
    bool reveal, fileManagerShows;
    std::int64_t code;
    std::optional<bool> mailTakes;
    std::string alert;  // empty: none
  } const cases[] = {
      {true, false, 0, true, noFiles},  {true, true, 0, true, none},
      {false, false, 5, false, noMail}, {true, false, 5, false, noFiles + "\n" + noMail},
      {true, false, 5, true, noFiles},  {true, false, 5, std::nullopt, noFiles},  // said after the wait
      {true, true, 5, true, none},      {true, false, 2, true, noFiles},
  };
  for (const Case& c : cases) {
    SessionKit kit;
    CapturedActions actions;
    actions.fileManagerShows = c.fileManagerShows;
    actions.mailTakes = c.mailTakes;
    kit.view->state().showInFinderSavedFiles = c.reveal;
    kit.engine->openWithApplicationType = c.code;
    kit.engine->urlsArray = numberedFiles(kit.output, 2);
    kit.session->completitionCode = kCompletionOutputFolder;
    kit.processing->completeImageProcessingAndUpdatePreview(*kit.session);
    std::vector<std::string> alerts;
    loop->runUntil(
        [&] {
          alerts.clear();
          for (const std::string& step : kit.view->steps())
            if (step.rfind("alert ", 0) == 0) alerts.push_back(step);
          return !alerts.empty();
        },
        c.alert.empty() ? 0.3 : kMailAnswerWait + 1);
    const std::vector<std::string> expected =
        c.alert.empty()
            ? std::vector<std::string>{}
            : std::vector<std::string>{std::string("alert ") + kAlertResultsNotHandedOn + " | " + c.alert};
    EXPECT_EQ(alerts, expected) << c.code << " " << c.reveal << c.fileManagerShows;
    EXPECT_TRUE(kit.engine->urlsArray.empty());
  }
}

// The mail program's answer is its helper's exit status; a helper that
// cannot start answers no.
TEST(SessionEnd, MailAnswerIsTheHelpersExitStatus) {
  auto* loop = dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
  ASSERT_NE(loop, nullptr);
  testsupport::TempDir bin;
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  for (const auto& [script, taken] :
       {std::pair<const char*, bool>{"exit 0", true}, {"exit 3", false}, {nullptr, false}}) {
    std::filesystem::remove(bin.file("xdg-email"));
    if (script) {
      std::ofstream(bin.file("xdg-email")) << "#!/bin/sh\n" << script << "\n";
      std::filesystem::permissions(bin.file("xdg-email"), std::filesystem::perms(0755));
    }
    ::setenv("PATH", bin.path().c_str(), 1);
    std::optional<bool> answer;
    mailFiles({"/tmp/a.jpg"}, [&](bool t) { answer = t; });
    ::setenv("PATH", savedPath.c_str(), 1);
    EXPECT_TRUE(loop->runUntil([&] { return answer.has_value(); }, 10)) << (script ? script : "missing");
    EXPECT_EQ(answer, taken) << (script ? script : "missing");
  }
}

// Notes the converter's state when the failure sheet appears.
class FailureWatchingConverter : public HeadlessConverter {
 public:
  void showAlertSheet(const std::string& message, const std::string& informativeText) override {
    record(std::string("sheet with ") + std::to_string(importedImage()->urlsArray.size()) + " listed, " +
           (state().isProcessingImages ? "busy" : "idle"));
    HeadlessConverter::showAlertSheet(message, informativeText);
  }
};

TEST(SessionEnd, FailureReportOrder) {
  for (std::int64_t cause : {std::int64_t(-1), std::int64_t(3)}) {
    SessionKit kit;
    auto view = std::make_shared<FailureWatchingConverter>();
    kit.session->setProcessingView(view);
    kit.session->setProcessedImage(view->importedImage());
    view->state().isProcessingImages = true;
    view->importedImage()->urlsArray = numberedFiles(kit.output, 2);
    kit.session->completitionCode = kCompletionOutputFolder;
    kit.processing->alertSaveFailedWithSession(*kit.session, cause);
    // A write failure keeps its title; unreadable sources are no write's.
    const std::string alert = cause == -1 ? std::string(kAlertCouldntWriteFiles) + " | " + kAlertCannotWriteFolder
                                          : std::string(kAlertCouldntReadFiles) + " | " + kAlertFormatNotSupported;
    EXPECT_EQ(view->steps(), (std::vector<std::string>{"activateAppWindow", "previewAcceptsImages",
                                                       "restoreVisibleWindows", "sheet with 0 listed, idle",
                                                       "alert " + alert}));
    EXPECT_EQ(kit.session->completitionCode, kCompletionFailed);
  }
}

}  // namespace
}  // namespace velumar
