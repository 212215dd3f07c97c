// A cancel pressed while a batch merges a PSD's layers ends the merge, in
// the loop and in the files converted ahead; nested cancel scopes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>

#include "platform/foundation/main_loop.h"
#include "platform/imageio/decode_cancel.h"
#include "psd/reader_psd_builder.h"
#include "session/conversion_request.h"
#include "session/conversion_window.h"
#include "session_test_kit.h"

namespace velumar {
namespace {

using sessiontest::SessionKit;

foundation::PlainMainLoop& mainLoop() {
  return *dynamic_cast<foundation::PlainMainLoop*>(foundation::MainLoop::installed());
}

// A PSD whose stored composite is a placeholder: reading it merges every
// layer, here thousands of canvas-sized ones.
std::string writeManyLayerPsd(const std::string& path, int layers) {
  psdtest::Document document;
  document.width = document.height = 600;
  document.channels = 3;
  document.resources.push_back(psdtest::Resource{1057, {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}});
  document.compositeData = psdtest::Bytes{0, 0};
  document.layers.assign(std::size_t(layers), psdtest::solidLayer("l", 0, 0, 600, 600, 160, 90, 40, 200));
  const psdtest::Bytes bytes = psdtest::build(document);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

// Presses cancel on the main thread a moment after the first file is
// counted, while the next one converts.
class LateCancellingConverter : public HeadlessConverter {
 public:
  void updateProgressBarWithCurrentImageCount(std::int64_t current, std::int64_t total) override {
    HeadlessConverter::updateProgressBarWithCurrentImageCount(current, total);
    if (current != 2 || pressed_) return;
    pressed_ = true;
    foundation::MainLoop::postAfter(0.3, [this] { state().progressBar.cancelProgress = true; });
  }

 private:
  bool pressed_ = false;
};

TEST(CancelMerge, ABatchCancelledDuringAMergeEndsAtOnce) {
  SessionKit kit;
  const std::string bad = kit.input + "/bad.jpg";
  std::ofstream(bad) << "not an image";
  std::vector<SourceFile> sources{{bad, std::nullopt}};
  const std::string psd = writeManyLayerPsd(kit.input + "/m.psd", 3000);
  sources.push_back({psd, std::nullopt});
  sources.push_back({psd, std::nullopt});
  for (const int filesAtOnce : {1, 4}) {
    const ConversionWindowOptions saved = conversionWindowOptions();
    conversionWindowOptions().filesAtOnce = filesAtOnce;
    auto view = std::make_shared<LateCancellingConverter>();
    ImageModifyInfo png;
    png.conversionType = ConversionType::PNG;
    view->setSettings(png);
    view->state().saveWithStoredFileURL = 1;
    view->state().fileURLForSaving = kit.output;
    ConversionRequest request;
    request.sources = sources;
    const auto start = std::chrono::steady_clock::now();
    const std::shared_ptr<SessionInfo> record = processNewImageAfterDragging(view, request);
    ASSERT_TRUE(record);
    EXPECT_TRUE(mainLoop().runUntil([&] { return !record->currentSession(); }, 120));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    conversionWindowOptions() = saved;
    std::string title;
    for (const std::string& step : view->steps())
      if (step.rfind("alert ", 0) == 0) title = step.substr(6, step.find(" | ") - 6);
    EXPECT_LT(seconds, 3.0) << filesAtOnce;
    EXPECT_EQ(title, "Batch cancelled") << filesAtOnce;
  }
}

// Scopes nest: each names its flag for its lifetime and gives the outer
// one back; after the last, and after a batch run on this thread, nothing
// cancels.
TEST(CancelMerge, NestedScopesRestoreTheOuterFlag) {
  const std::atomic<bool> outer{false}, inner{true};
  const std::atomic<bool>* seen[4] = {};
  {
    const imageio::DecodeCancelScope first(&outer);
    {
      const imageio::DecodeCancelScope second(&inner);
      {
        const imageio::DecodeCancelScope third(nullptr);
        seen[0] = imageio::decodeCancelFlag();
      }
      seen[1] = imageio::decodeCancelFlag();
      EXPECT_TRUE(imageio::decodeCancelled());
    }
    seen[2] = imageio::decodeCancelFlag();
    EXPECT_FALSE(imageio::decodeCancelled());
  }
  seen[3] = imageio::decodeCancelFlag();
  const std::atomic<bool>* expected[4] = {nullptr, &inner, &outer, nullptr};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(seen[i], expected[i]) << i;

  SessionKit kit;
  kit.setSources({kit.makeInput("a.png", {"-size", "4x4", "xc:red"})});
  kit.session->ignoreBookmark = true;
  kit.session->asyncQueue = false;
  ASSERT_TRUE(kit.processing->startSession(kit.session));
  EXPECT_EQ(kit.session->completitionCode, 1);
  EXPECT_EQ(imageio::decodeCancelFlag(), nullptr);
}

}  // namespace
}  // namespace velumar
