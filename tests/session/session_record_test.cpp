// The session record, the progress model and the headless converter.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "platform/foundation/main_loop.h"
#include "session/headless_converter.h"
#include "session/session_info.h"

namespace velumar {
namespace {

TEST(SessionRecord, NewRecordIsEmpty) {
  SessionInfo info;
  EXPECT_FALSE(info.asyncQueue || info.renameIgnoreProcessing || info.openWithHide ||
               info.removeURLCachesWhenDone || info.canUseTags || info.overwriteFiles ||
               info.maintainHierarchy || info.ignoreBookmark || info.ignoreAlerts);
  EXPECT_EQ(info.completitionCode, 0);
  EXPECT_EQ(info.urlsCount, 0u);
  EXPECT_EQ(info.numberCount, 0);
  EXPECT_EQ(info.saveType, 0);
  EXPECT_TRUE(info.urlsArray.empty());
  EXPECT_FALSE(info.tempPath || info.parentDirectory() || info.processedURL() || info.globalParentDirectory);
  EXPECT_FALSE(info.currentSession() || info.processedImage() || info.processingView());
  EXPECT_EQ(info.renameInfo(), RenameInfo{});
  EXPECT_EQ(info.renameValues(), RenameValues{});
}

TEST(SessionRecord, NumberCountFromOffGivesZero) {
  SessionInfo info;
  info.numberCount = -1;
  info.updateNumberCount();
  EXPECT_EQ(info.numberCount, 0);
}

TEST(SessionRecord, WeakLinksDoNotKeepTheConverterAlive) {
  SessionInfo info;
  auto view = std::make_shared<HeadlessConverter>();
  info.setProcessingView(view);
  info.setProcessedImage(view->importedImage());
  EXPECT_EQ(info.processingView(), view);
  view.reset();
  EXPECT_FALSE(info.processingView());
  EXPECT_FALSE(info.processedImage());
}

TEST(SessionRecord, RunOnMainQueueSyncFromMainAndWorker) {
  auto* loop = dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
  ASSERT_NE(loop, nullptr);
  bool ranInPlace = false;
  runOnMainQueueSync([&] { ranInPlace = true; });
  EXPECT_TRUE(ranInPlace);

  std::atomic<bool> ranOnMain{false}, workerDone{false};
  std::thread worker([&] {
    runOnMainQueueSync([&] { ranOnMain = foundation::MainLoop::isMainThread(); });
    workerDone = true;
  });
  EXPECT_TRUE(loop->runUntil([&] { return workerDone.load(); }, 10));
  worker.join();
  EXPECT_TRUE(ranOnMain);
}

TEST(ProgressModel, ClampsAndSendsOnlyChanges) {
  struct Case {
    double value;
    double bar;
    bool sent;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  PBOscilator model;
  model.start(true);
  const Case cases[] = {{0.5, 0.5, true},  {0.5, 0.5, false}, {1.25, 1.0, true}, {1.5, 1.0, false},
                        {-0.5, 0.0, true}, {0.3, 0.3, true},  {nan, 0.0, true},  {nan, 0.0, false}};
  for (const Case& c : cases) {
    model.value = c.value;
    EXPECT_EQ(model.updatePBOscilatorStatus(), c.sent) << c.value;
    EXPECT_EQ(model.barValue(), c.bar) << c.value;
  }
}

TEST(ProgressModel, StartAndStop) {
  PBOscilator model;
  model.cancelProgress = true;
  model.start(false);
  EXPECT_TRUE(model.cancelProgress);
  EXPECT_FALSE(model.isAnimating());
  EXPECT_EQ(model.value, 1.0);
  EXPECT_EQ(model.barValue(), 1.0);
  model.start(true);
  EXPECT_FALSE(model.cancelProgress);
  EXPECT_TRUE(model.isAnimating());
  EXPECT_EQ(model.value, 0.0);
  EXPECT_EQ(model.barValue(), 0.0);
}

TEST(HeadlessConverter, RecordsStepsAndAnswersTheChooserFromItsScript) {
  HeadlessConverter view;
  view.scriptFolderChoice("/tmp");
  view.startProgressBar();
  view.updateProgressBarWithCurrentImageCount(2, 5);
  EXPECT_EQ(view.chooseDestinationFolder({}), "/tmp");
  EXPECT_EQ(view.chooseDestinationFolder({}), std::nullopt);
  std::thread([&] { view.activateAppWindow(); }).join();
  const std::vector<std::string> expected = {
      "startProgressBar", "counter 2 / 5",
      "chooseFolder Destination Folder | Select destination folder. | Choose",
      "chooseFolder Destination Folder | Select destination folder. | Choose", "off-main: activateAppWindow"};
  EXPECT_EQ(view.steps(), expected);
}

}  // namespace
}  // namespace velumar
