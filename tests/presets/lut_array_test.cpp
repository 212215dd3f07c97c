#include <gtest/gtest.h>

#include "presets/converter_form.h"
#include "presets/headless_window_services.h"

using namespace velumar;

// A cube is installed only when its size is within the reader's bounds and
// its data holds exactly size³ entries; otherwise the current one stays.
TEST(ConverterFormLUT, OnlyWholeCubesAreInstalled) {
  struct Row {
    foundation::Value size;
    std::size_t bytes;
    bool installed;
  };
  const Row rows[] = {
      {std::int64_t(2), 2 * 2 * 2 * 16, true},
      {std::int64_t(33), 33 * 33 * 33 * 16, true},
      {std::int64_t(0), 0, false},
      {std::int64_t(2), 2 * 2 * 2 * 16 - 1, false},
      {std::int64_t(3), 2 * 2 * 2 * 16, false},
      {std::int64_t(999), 16, false},
      {std::int64_t(-2), 2 * 2 * 2 * 16, false},
      {foundation::Value("2"), 2 * 2 * 2 * 16, false},
  };
  for (const Row& row : rows) {
    ImportedImage engine;
    ConverterState state;
    HeadlessWindowServices services;
    ConverterForm form(state, engine, services);
    ASSERT_TRUE(
        form.updateLUTWithArray(foundation::Array{std::int64_t(2), foundation::Data(128, 0), "/a.cube"}));
    const ci::FilterRef before = engine.lutFilter();
    EXPECT_EQ(form.updateLUTWithArray(foundation::Array{row.size, foundation::Data(row.bytes, 0), "/b.cube"}),
              row.installed)
        << row.bytes;
    EXPECT_EQ(engine.lutFilter() == before, !row.installed) << row.bytes;
  }
}

TEST(ConverterFormLUT, APresetsBrokenCubeLeavesTheWellEmpty) {
  for (std::size_t bytes : {std::size_t(2 * 2 * 2 * 16), std::size_t(100)}) {
    ImportedImage engine;
    ConverterState state;
    HeadlessWindowServices services;
    ConverterForm form(state, engine, services);
    auto preset = std::make_shared<ImageInfo>();
    ImageModifyInfo r = preset->imageModifyInfo();
    r.addLUT = true;
    preset->setImageModifyInfo(r);
    preset->lutArray = foundation::Array{std::int64_t(2), foundation::Data(bytes, 0), "/look.cube"};
    engine.presetsArray = {preset};
    ASSERT_TRUE(form.setPopOverViewFromPreset(0));
    const bool whole = bytes == 2 * 2 * 2 * 16;
    EXPECT_EQ(form.controls.lutView.cubeData.has_value(), whole) << bytes;
    EXPECT_EQ(engine.lutFilter() != nullptr, whole) << bytes;
  }
}
