// Zoom blur on a real camera photo against a numpy model of the filter: 33
// bilinear samples on the way from each pixel towards the image's centre,
// averaged. The centre and the samples are the image's, whatever tile is
// being drawn, so no tile border shows.

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_support.h"
#include "tests/filters/reference_tools.h"

namespace {

using filtertest::Pixels;

// The mate-backgrounds elephants, scaled to 2000 pixels wide.
Pixels cameraPhoto(const testsupport::TempDir& dir) {
  const auto root = testsupport::fetchDebianPackageFiles("mate-backgrounds");
  if (root.empty()) return {};
  for (const auto& file : testsupport::findFiles(root, {"jpg"})) {
    if (file.filename() != "Elephants_5640x3172.jpg") continue;
    return citest::convertToPam({file.string(), "-resize", "2000x", "-alpha", "opaque"}, dir.file("photo.pam"));
  }
  return {};
}

const char* const kModel = R"(
W, H, share, reach = %lld, %lld, %.9g, 256.0
img = inp.reshape(H, W, 4)
ys, xs = np.mgrid[0:H, 0:W]
px, py = xs + 0.5, ys + 0.5
dx, dy = W / 2 - px, H / 2 - py
dist = np.hypot(dx, dy)
length = np.minimum(share * dist, reach)
step = np.where(dist > 0, length / np.where(dist > 0, dist, 1) / 32, 0)
acc = np.zeros_like(img)
for k in range(33):
    u = px + dx * step * k - 0.5
    v = py + dy * step * k - 0.5
    x0, y0 = np.floor(u), np.floor(v)
    fx, fy = (u - x0)[..., None], (v - y0)[..., None]
    def at(x, y):
        return img[np.clip(y, 0, H - 1).astype(int), np.clip(x, 0, W - 1).astype(int)]
    acc += ((1 - fx) * (1 - fy) * at(x0, y0) + fx * (1 - fy) * at(x0 + 1, y0)
            + (1 - fx) * fy * at(x0, y0 + 1) + fx * fy * at(x0 + 1, y0 + 1))
out = (acc / 33).reshape(-1, 4)
)";

// Mean colour difference over the rows (or columns) picked.
template <typename Pick>
double meanDifference(const Pixels& a, const Pixels& b, bool rows, Pick pick) {
  double sum = 0;
  std::int64_t n = 0;
  for (std::int64_t y = 0; y < a.height; ++y) {
    for (std::int64_t x = 0; x < a.width; ++x) {
      if (!pick(rows ? y : x)) continue;
      for (int c = 0; c < 3; ++c) sum += std::fabs(a.at(x, y)[c] - b.at(x, y)[c]);
      n += 3;
    }
  }
  return n ? sum / double(n) : 0;
}

TEST(ZoomBlurPhoto, MatchesModelWithoutTileSeams) {
  testsupport::TempDir dir;
  const Pixels photo = cameraPhoto(dir);
  if (photo.count() == 0) GTEST_SKIP() << "mate-backgrounds could not be fetched";
  ASSERT_EQ(photo.width, 2000);
  // The slider's largest amount, where every ray crosses several tiles.
  const double amount = 30;
  velumar::FilterInfo info;
  info.zoomBlurLevel = amount;
  const Pixels ours = filtertest::renderType(photo, 86, info);
  char script[2048];
  std::snprintf(script, sizeof script, kModel, static_cast<long long>(photo.width),
                static_cast<long long>(photo.height), amount / 100);
  const auto model = filtertest::python(photo, script);
  ASSERT_TRUE(model);
  EXPECT_LE(filtertest::largestDifference(ours, *model) * 255, 2.0);
  const auto border = [](std::int64_t i) { return i % 128 == 0 || i % 128 == 127; };
  const auto inside = [&](std::int64_t i) { return !border(i); };
  for (const bool rows : {true, false}) {
    const double atBorders = meanDifference(ours, *model, rows, border);
    const double elsewhere = meanDifference(ours, *model, rows, inside);
    EXPECT_LE(atBorders, elsewhere * 1.5 + 0.05 / 255) << (rows ? "rows" : "columns");
  }
}

}  // namespace
