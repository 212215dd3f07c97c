// Folder access for a batch: the answer, whether and where the block runs,
// the chooser, and the queues' lifetime.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/foundation/main_loop.h"
#include "session/headless_converter.h"
#include "session/processing_queues.h"
#include "session/sandbox_folder_access.h"
#include "session/session_info.h"
#include "support/test_support.h"

namespace velumar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What one call did.
struct Observed {
  bool answer = false;
  bool ran = false;
  bool onCallingThread = false;
  bool returnedBeforeBlock = false;
};

// Calls accessFilePath with a block that notes where it ran and whether the
// call had already returned.
Observed observeAccess(const std::optional<std::string>& path, bool ignoreBookmark, bool asyncQueue,
                       ProcessingView* chooser = nullptr) {
  struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool returned = false, ran = false, sawReturned = false;
    std::thread::id thread;
  };
  auto shared = std::make_shared<Shared>();
  auto access = SandboxFolderAccess::fileAccess();
  Observed observed;
  observed.answer = access->accessFilePath(
      path,
      [shared] {
        std::unique_lock lock(shared->lock);
        shared->changed.wait_for(lock, 300ms, [&] { return shared->returned; });
        shared->sawReturned = shared->returned;
        shared->thread = std::this_thread::get_id();
        shared->ran = true;
        shared->changed.notify_all();
      },
      ignoreBookmark, false, asyncQueue, chooser);
  std::unique_lock lock(shared->lock);
  shared->returned = true;
  shared->changed.notify_all();
  if (observed.answer) shared->changed.wait_for(lock, 5s, [&] { return shared->ran; });
  observed.ran = shared->ran;
  observed.onCallingThread = shared->ran && shared->thread == std::this_thread::get_id();
  observed.returnedBeforeBlock = shared->sawReturned;
  return observed;
}

struct Folders {
  testsupport::TempDir dir;
  std::string folder = dir.file("out");
  std::string link = dir.file("link");
  std::string file = dir.file("file.txt");
  std::string locked = dir.file("locked");
  Folders() {
    fs::create_directory(folder);
    fs::create_directory_symlink(folder, link);
    std::ofstream(file) << "x";
    fs::create_directory(locked);
    // Readable and enterable by everybody, writable by its owner only.
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(locked.c_str(), ::geteuid() == 0 ? 0755 : 0555);
  }
};

TEST(SandboxFolderAccess, AnswerThreadAndOrderTable) {
  Folders f;
  struct Case {
    const char* kind;
    std::string path;
    bool ignoreBookmark, asyncQueue;
    bool answer, onCallingThread, returnedBeforeBlock;
  };
  const std::string missing = f.dir.file("missing/deeper");
  const Case cases[] = {
      {"directory", f.folder, false, false, true, false, true},
      {"directory", f.folder, false, true, true, false, true},
      {"directory", f.folder, true, false, true, true, false},
      {"directory", f.folder, true, true, true, false, true},
      {"link", f.link, false, false, true, false, true},
      {"link", f.link, true, false, true, true, false},
      {"missing", missing, false, true, false, false, false},
      {"missing", missing, true, false, true, true, false},
      {"plain file", f.file, false, true, false, false, false},
      {"plain file", f.file, true, true, true, false, true},
      {"relative", "out", false, true, false, false, false},
      {"relative", "out", true, false, false, false, false},
      {"empty", "", true, true, false, false, false},
      {"NUL inside", f.folder + std::string("\0x", 2), false, true, false, false, false},
      {"unwritable, no check", f.locked, true, false, true, true, false},
  };
  for (const Case& c : cases) {
    const std::string label = std::string(c.kind) + " ignore=" + std::to_string(c.ignoreBookmark) +
                              " async=" + std::to_string(c.asyncQueue);
    const Observed observed = observeAccess(c.path, c.ignoreBookmark, c.asyncQueue);
    EXPECT_EQ(observed.answer, c.answer) << label;
    EXPECT_EQ(observed.ran, c.answer) << label;
    EXPECT_EQ(observed.onCallingThread, c.onCallingThread) << label;
    EXPECT_EQ(observed.returnedBeforeBlock, c.returnedBeforeBlock) << label;
  }
  EXPECT_TRUE(testsupport::checkWithoutWriteAccess([&] {
    const Observed observed = observeAccess(f.locked, false, true);
    return !observed.answer && !observed.ran && observeAccess(f.folder + "/..", false, true).answer == false;
  }));
}

TEST(SandboxFolderAccess, SyncRunOnTheMainThreadNeverWaitsOnItself) {
  Folders f;
  bool innerRan = false;
  EXPECT_TRUE(SandboxFolderAccess::fileAccess()->accessFilePath(
      f.folder, [&] { runOnMainQueueSync([&] { innerRan = true; }); }, true, false, false, nullptr));
  EXPECT_TRUE(innerRan);
}

TEST(SandboxFolderAccess, Chooser) {
  Folders f;
  auto* loop = dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
  ASSERT_NE(loop, nullptr);
  HeadlessConverter view;

  // Cancel: no block.
  Observed cancelled = observeAccess(std::nullopt, false, true, &view);
  EXPECT_FALSE(cancelled.answer);
  EXPECT_FALSE(cancelled.ran);

  // A link chosen from a worker thread: the chooser runs on the main thread
  // and the resolved folder is remembered.
  view.scriptFolderChoice(f.link);
  auto access = SandboxFolderAccess::fileAccess();
  std::atomic<bool> answered{false}, answer{false}, ran{false};
  std::thread caller([&] {
    answer = access->accessFilePath(
        std::nullopt, [&] { ran = true; }, false, false, false, &view);
    answered = true;
  });
  EXPECT_TRUE(loop->runUntil([&] { return answered && ran; }, 10));
  caller.join();
  EXPECT_TRUE(answer);
  EXPECT_EQ(access->filePathFromOpenFile(), fs::canonical(f.folder).string());
  const std::vector<std::string> steps = view.steps();
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[1], "chooseFolder Destination Folder | Select destination folder. | Choose");

  // A chosen folder we cannot write into.
  EXPECT_TRUE(testsupport::checkWithoutWriteAccess([&] {
    HeadlessConverter chooser;
    chooser.scriptFolderChoice(f.locked);
    const Observed observed = observeAccess(std::nullopt, false, true, &chooser);
    return !observed.answer && !observed.ran;
  }));
}

TEST(SandboxFolderAccess, BlocksOfTwoCallsRunAtTheSameTime) {
  Folders f;
  std::atomic<bool> firstStarted{false}, secondStarted{false}, firstSawSecond{false}, secondSawFirst{false};
  std::atomic<int> finished{0};
  auto waitFor = [](const std::atomic<bool>& flag) {
    for (int i = 0; i < 500 && !flag; ++i) std::this_thread::sleep_for(10ms);
    return flag.load();
  };
  ASSERT_TRUE(SandboxFolderAccess::fileAccess()->accessFilePath(
      f.folder,
      [&] {
        firstStarted = true;
        firstSawSecond = waitFor(secondStarted);
        ++finished;
      },
      false, false, true, nullptr));
  ASSERT_TRUE(SandboxFolderAccess::fileAccess()->accessFilePath(
      f.folder,
      [&] {
        secondStarted = true;
        secondSawFirst = waitFor(firstStarted);
        ++finished;
      },
      false, false, true, nullptr));
  for (int i = 0; i < 1000 && finished < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(firstSawSecond);
  EXPECT_TRUE(secondSawFirst);
  ProcessingQueues::shared().joinAll();
}

TEST(ProcessingQueues, JoinAllWaitsForRunningBlocksAndRetiresEveryQueue) {
  std::atomic<int> done{0};
  for (int i = 0; i < 4; ++i)
    ProcessingQueues::shared().runAsync([&] {
      std::this_thread::sleep_for(50ms);
      ++done;
    });
  ProcessingQueues::shared().joinAll();
  EXPECT_EQ(done, 4);
  EXPECT_EQ(ProcessingQueues::shared().liveQueueCount(), 0u);
}

}  // namespace
}  // namespace velumar
