// The three-slot chain and the catalogue dispatch: slot order and records,
// types without an operation, types that share one, conversions of record
// values, registration of the application's filters, and settings from
// hostile preset files on every context format.

#include <gtest/gtest.h>

#include <cstring>

#include "filters/custom_color_filters.h"
#include "platform/ci/filter_attributes.h"
#include "reference_tools.h"

using filtertest::Pixels;
using velumar::CIFiltering;
using velumar::FilterInfo;

namespace {

const Pixels kColours = filtertest::colourGrid({0.15, 0.5, 0.85});

struct Engine {
  std::unique_ptr<raster::BitmapContext> context = raster::BitmapContext::create(
      kColours.width, kColours.height, raster::PixelFormat::rgbaFloat(), ci::workingColorSpace());
  CIFiltering engine;
  ci::ImageRef input = citest::imageOfPixels(kColours);
  Engine() {
    engine.createNewCIContextWithCGContext(context.get(), true);
    engine.setCiImage(input);
  }
};

TEST(CatalogueChain, EmptySlotsTouchNothing) {
  Engine e;
  e.engine.concat3FiltersWithCGContext(e.context.get(), 0, 0, 0);
  EXPECT_EQ(e.engine.ciImage(), e.input);
  // Without a pending image no snapshot is taken either.
  e.engine.setCiImage(nullptr);
  e.engine.concat3FiltersWithCGContext(e.context.get(), 0, 0, 0);
  EXPECT_EQ(e.engine.ciImage(), nullptr);
}

TEST(CatalogueChain, TypesWithoutAnOperationLeaveThePendingImage) {
  for (std::int64_t type : {1, 2, 11, 12, 55, 56, 77, 78, 88, 89, 101, 102, -1, 112, 1000000}) {
    Engine e;
    e.engine.concat3FiltersWithCGContext(e.context.get(), type, type, type);
    EXPECT_EQ(e.engine.ciImage(), e.input) << type;
  }
}

TEST(CatalogueChain, SlotsRunInOrderEachWithItsOwnRecord) {
  FilterInfo slot0, slot2;
  slot0.sepiaLevel = 1.0;
  slot2.sepiaLevel = 0.4;
  const Pixels chained = filtertest::renderStep(kColours, [&](CIFiltering& engine, raster::BitmapContext* c) {
    engine.setFilterInfo0(slot0);
    engine.setFilterInfo2(slot2);
    engine.concat3FiltersWithCGContext(c, 5, 0, 73);
  });
  const Pixels byHand = filtertest::renderStep(kColours, [&](CIFiltering& engine, raster::BitmapContext* c) {
    engine.photoEffectWithCGContext(c, 5, FilterInfo{});
    engine.sepiaFilterWithCGContext(c, slot2);
  });
  EXPECT_EQ(filtertest::largestDifference(chained, byHand), 0.0f);
  const Pixels withSlot0 =
      filtertest::renderStep(kColours, [&](CIFiltering& engine, raster::BitmapContext* c) {
        engine.photoEffectWithCGContext(c, 5, FilterInfo{});
        engine.sepiaFilterWithCGContext(c, slot0);
      });
  EXPECT_GT(filtertest::largestDifference(chained, withSlot0), 0.01f);
}

TEST(CatalogueChain, PairedTypesAgreeAndPhotoEffectsIgnoreTheirRecord) {
  FilterInfo info;
  info.saturationLevel = 0.6, info.contrastLevel = 1.3, info.exposureLevel = 0.7;
  info.HSShadowAmount = 0.4, info.HSHighLightAmount = 0.6, info.temperatureLevel = 8000;
  const std::vector<std::vector<std::int64_t>> groups = {{52, 53, 54}, {59, 60}, {61, 62},
                                                         {63, 64},     {70, 71}, {74, 75}};
  for (const auto& group : groups) {
    const Pixels first = filtertest::renderType(kColours, group[0], info);
    for (std::int64_t type : group)
      EXPECT_EQ(filtertest::largestDifference(filtertest::renderType(kColours, type, info), first), 0.0f)
          << type;
  }
  FilterInfo scrambled;
  std::array<double, 74> fields;
  for (std::size_t k = 0; k < fields.size(); ++k) fields[k] = 0.37 * double(k) - 3;
  std::memcpy(static_cast<void*>(&scrambled), fields.data(), sizeof scrambled);
  for (std::int64_t type = 3; type <= 10; ++type) {
    EXPECT_EQ(filtertest::largestDifference(filtertest::renderType(kColours, type, FilterInfo{}),
                                            filtertest::renderType(kColours, type, scrambled)),
              0.0f)
        << type;
  }
}

TEST(CatalogueChain, LookupNamesSkipTypeThirtySeven) {
  EXPECT_EQ(CIFiltering::lookupImageName(13), "lookupBase0.png");
  EXPECT_EQ(CIFiltering::lookupImageName(14), "lookupBase1.png");
  EXPECT_EQ(CIFiltering::lookupImageName(15), "lookup0.png");
  EXPECT_EQ(CIFiltering::lookupImageName(36), "lookup21.png");
  EXPECT_EQ(CIFiltering::lookupImageName(37), "");
  EXPECT_EQ(CIFiltering::lookupImageName(38), "lookup23.png");
  EXPECT_EQ(CIFiltering::lookupImageName(51), "lookup36.png");
  for (std::int64_t type = -1; type <= 112; ++type)
    EXPECT_NE(CIFiltering::lookupImageName(type), "lookup22.png");
}

TEST(CatalogueChain, RecordValuesAreConvertedAsDocumented) {
  // Gamma level 1 gives power 1: the filter hands its input through.
  {
    Engine e;
    FilterInfo info;
    info.gammaLevel = 1.0;
    e.engine.ciFilterWithCGContext(e.context.get(), 65, info);
    EXPECT_EQ(e.engine.ciImage(), e.input);
  }
  // Gamma level 2 gives power 0: every channel becomes 1.
  {
    FilterInfo info;
    info.gammaLevel = 2.0;
    const Pixels out = filtertest::renderType(kColours, 65, info);
    for (std::size_t i = 0; i < out.rgba.size(); ++i) EXPECT_FLOAT_EQ(out.rgba[i], 1.0f);
  }
  // Hue degrees: only above 0, as radians.
  const Pixels red{1, 1, {1, 0, 0, 1}};
  for (auto [degrees, expected] :
       {std::pair{120.0, std::array<float, 3>{0, 1, 0}}, std::pair{-120.0, std::array<float, 3>{1, 0, 0}},
        std::pair{0.0, std::array<float, 3>{1, 0, 0}}}) {
    FilterInfo info;
    info.hsvHueLevel = degrees;
    info.hslHueLevel = degrees;
    for (std::int64_t type : {103, 104}) {
      const Pixels out = filtertest::renderType(red, type, info);
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(out.rgba[std::size_t(c)], expected[std::size_t(c)], 1e-5) << type << " " << degrees;
    }
  }
}

TEST(CatalogueRegistration, OwnFiltersExistOnlyOnceAnEngineWasMade) {
  // A fresh process: nothing has made an engine there yet.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const bool before = ci::Filter::withName("HSVFilter") != nullptr;
        CIFiltering engine;
        const bool after = ci::Filter::withName("HSVFilter") != nullptr;
        std::exit(!before && after ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(CatalogueRegistration, AttributeTablesAreRegistered) {
  CIFiltering engine;
  struct Expected {
    const char* filter;
    const char* displayName;
    std::vector<std::tuple<const char*, double, double, const char*>> inputs;
  };
  const std::vector<Expected> table = {
      {"HSVFilter",
       "HSVFilter",
       {{"inputSaturation", 0, 2, nullptr},
        {"inputValue", 0.1, 2, nullptr},
        {"inputContrast", 0.5, 2, nullptr}}},
      {"HSLFilter", "HSLFilter", {{"inputSaturation", 0, 2, nullptr}, {"inputLuminosity", 0.1, 2, nullptr}}},
      {"LabFilter", "LabFilter", {{"inputSaturation", 0, 2, nullptr}, {"inputLuminosity", 0.1, 2, nullptr}}},
      {"LevelSaturation",
       "Saturation",
       {{"inputSaturationShadows", 0, 2, "Shadows"},
        {"inputSaturationMidtones", 0, 2, "Midtones"},
        {"inputSaturationHighlights", 0, 2, "Highlights"}}},
      {"LevelExposure",
       "Exposure",
       {{"inputExposureShadows", 0, 2, "Shadows"},
        {"inputExposureMidtones", 0, 2, "Midtones"},
        {"inputExposureHighlights", 0, 2, "Highlights"}}},
  };
  for (const Expected& e : table) {
    const foundation::Dictionary registered = ci::filterAttributes(e.filter);
    auto filter = std::dynamic_pointer_cast<velumar::CustomColorFilter>(ci::Filter::withName(e.filter));
    ASSERT_TRUE(filter) << e.filter;
    EXPECT_EQ(filter->customAttributes(), registered);
    EXPECT_EQ(registered.find(ci::kAttributeFilterName)->stringOr(""), e.filter);
    EXPECT_EQ(registered.find(ci::kAttributeFilterDisplayName)->stringOr(""), e.displayName);
    EXPECT_EQ(registered.find(ci::kAttributeFilterCategories)->asArray()->size(), 3u);
    EXPECT_EQ(registered.size(), 3 + e.inputs.size()) << e.filter;
    for (const auto& [key, minimum, maximum, name] : e.inputs) {
      const foundation::Value* input = registered.find(key);
      ASSERT_TRUE(input && input->isDictionary()) << key;
      EXPECT_EQ(input->get(ci::kAttributeType)->stringOr(""), ci::kAttributeTypeScalar);
      EXPECT_EQ(input->get(ci::kAttributeMin)->doubleOr(-1), minimum);
      EXPECT_EQ(input->get(ci::kAttributeSliderMin)->doubleOr(-1), minimum);
      EXPECT_EQ(input->get(ci::kAttributeMax)->doubleOr(-1), maximum);
      EXPECT_EQ(input->get(ci::kAttributeSliderMax)->doubleOr(-1), maximum);
      EXPECT_EQ(input->get(ci::kAttributeDefault)->doubleOr(-1), 1.0);
      EXPECT_EQ(input->get(ci::kAttributeIdentity)->doubleOr(-1), 1.0);
      const foundation::Value* display = input->get(ci::kAttributeDisplayName);
      if (name) {
        ASSERT_TRUE(display);
        EXPECT_EQ(display->stringOr(""), name);
      } else {
        EXPECT_FALSE(display);
      }
      EXPECT_EQ(filter->number(key), 1.0);
    }
  }
}

// Every type with every field in turn set to a hostile value, on every kind
// of context: no crash, and a float context stays finite.
TEST(CatalogueHostileSettings, EveryTypeAndFieldStaysFinite) {
  struct Target {
    raster::PixelFormat format;
    raster::ColorSpaceRef space;
  };
  const std::vector<Target> targets = {
      {raster::PixelFormat::rgbaFloat(), ci::workingColorSpace()},
      {raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB()},
      {{16, 3, raster::AlphaInfo::PremultipliedLast}, raster::ColorSpace::sRGB()},
      {{8, 1, raster::AlphaInfo::None}, raster::ColorSpace::genericGray()},
      {{8, 4, raster::AlphaInfo::None}, raster::ColorSpace::genericCMYK()},
  };
  const double hostile[] = {NAN, INFINITY, -INFINITY, 1e9, -1e9};
  const Pixels source = filtertest::colourGrid({0.0, 0.5, 1.0});
  for (const Target& target : targets) {
    if (!target.space) continue;
    auto context = raster::BitmapContext::create(source.width, source.height, target.format, target.space);
    ASSERT_TRUE(context);
    const bool isFloat = target.format.bitsPerComponent == 32;
    CIFiltering engine;
    for (std::int64_t type = -1; type <= 112; ++type) {
      // Float contexts get every field in turn; the others every field at once.
      const std::size_t fieldRuns = isFloat ? 74 : 1;
      for (double value : hostile) {
        for (std::size_t field = 0; field < fieldRuns; ++field) {
          std::array<double, 74> fields;
          FilterInfo defaults;
          std::memcpy(fields.data(), &defaults, sizeof defaults);
          if (isFloat) {
            fields[field] = value;
          } else {
            fields.fill(value);
          }
          FilterInfo info;
          std::memcpy(static_cast<void*>(&info), fields.data(), sizeof info);
          engine.createNewCIContextWithCGContext(context.get(), true);
          engine.setCiImage(citest::imageOfPixels(source));
          engine.setFilterInfo1(info);
          engine.concat3FiltersWithCGContext(context.get(), 0, type, 0);
          engine.drawCIImageWithCGContext(context.get(), true);
          if (!isFloat) continue;
          for (std::int64_t row = 0; row < source.height; ++row) {
            const auto* p = reinterpret_cast<const float*>(context->data() + row * context->bytesPerRow());
            for (std::int64_t i = 0; i < source.width * 4; ++i)
              ASSERT_TRUE(std::isfinite(p[i])) << "type " << type << " field " << field << " value " << value;
          }
        }
      }
    }
  }
}

}  // namespace
