#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "engine/file_type_codes.h"
#include "platform/foundation/property_list.h"
#include "presets/preset_file.h"
#include "presets/preset_loader.h"
#include "presets/presets_test_support.h"
#include "presets/watermark_text_archive.h"
#include "support/test_support.h"

using namespace velumar;
using foundation::Array;
using foundation::Data;
using foundation::Dictionary;
using foundation::Value;

namespace {

double narrowed(double x) {
  return double(float(x));
}

// A preset with every key away from its default, and the record loading it
// must give: reals narrowed to single precision.
struct EveryKey {
  std::shared_ptr<ImageInfo> preset = std::make_shared<ImageInfo>();
  ImageModifyInfo written = preset->imageModifyInfo();
  ImageModifyInfo expected = written;

  void real(double ImageModifyInfo::*field, double x) {
    written.*field = x;
    expected.*field = narrowed(x);
  }
  void point(raster::Point ImageModifyInfo::*field, double x, double y) {
    written.*field = {x, y};
    expected.*field = {narrowed(x), narrowed(y)};
  }
  template <class T>
  void plain(T ImageModifyInfo::*field, T value) {
    written.*field = value;
    expected.*field = value;
  }
};

raster::TextAttributes richAttributes() {
  raster::TextAttributes a;
  a.fontFamily = "DejaVu Serif";
  a.bold = a.italic = a.underline = a.strikethrough = true;
  a.pointSize = 36.3;
  a.color = raster::Color::rgb(0.2, 0.4, 0.6, 0.8);
  a.obliqueness = 0.25;
  a.shadow = raster::TextShadow{{2, -3}, 4, raster::Color::rgb(0.1, 0.2, 0.3, 0.5)};
  return a;
}

void expectSameAttributes(const raster::TextAttributes& got, const raster::TextAttributes& want) {
  EXPECT_EQ(got.fontFamily, want.fontFamily);
  EXPECT_EQ(got.bold, want.bold);
  EXPECT_EQ(got.italic, want.italic);
  EXPECT_EQ(got.underline, want.underline);
  EXPECT_EQ(got.strikethrough, want.strikethrough);
  EXPECT_EQ(got.pointSize, narrowed(want.pointSize));
  EXPECT_EQ(got.obliqueness, narrowed(want.obliqueness));
  ASSERT_EQ(got.color.has_value(), want.color.has_value());
  if (want.color) {
    for (std::size_t i = 0; i < 4; ++i)
      EXPECT_NEAR(got.color->components[i], want.color->components[i], 1e-6);
  }
  ASSERT_EQ(got.shadow.has_value(), want.shadow.has_value());
  if (want.shadow) {
    EXPECT_EQ(got.shadow->offset, want.shadow->offset);
    EXPECT_EQ(got.shadow->blurRadius, want.shadow->blurRadius);
    EXPECT_NEAR(got.shadow->color.components[3], want.shadow->color.components[3], 1e-6);
  }
}

EveryKey everyKeySet() {
  EveryKey k;
  using M = ImageModifyInfo;
  k.plain(&M::doImageResize, true);
  k.real(&M::dpi, 300.3);
  k.plain(&M::isForOriginalRep, false);
  k.plain(&M::keepOriginalFileTypeIfPossible, true);
  k.plain(&M::modifyImageDpi, true);
  k.plain(&M::onlySetDpi, true);
  k.real(&M::rFactorW, 0.7);
  k.real(&M::rFactorH, 0.3);
  k.plain<std::int64_t>(&M::conversionType, ConversionType::Count - 1);  // the last format reloads as itself
  k.plain(&M::convertMultipleImagesInTIFF, true);
  k.plain(&M::convert2XImagesInTIFF, true);
  k.plain<std::int64_t>(&M::doTiffCompression, 2);
  k.real(&M::jpegCompressionFactor, 0.85);
  k.plain(&M::aspectRatio, false);
  k.plain(&M::setFromFixedSize, true);
  k.real(&M::fixedSizeW, 640.1);
  k.real(&M::fixedSizeH, 480.9);
  k.plain<std::int64_t>(&M::resizeConversionType, 5);
  k.plain<std::int64_t>(&M::searchSubFolders, -1);
  k.plain(&M::preserveMetadata, true);
  k.plain(&M::preserveCMYKAlpha, true);
  k.plain<std::int64_t>(&M::colorSpace, 6);
  k.plain<std::int64_t>(&M::colorSpaceModel, 0);
  k.plain<std::int64_t>(&M::filterType0, 57);
  k.plain<std::int64_t>(&M::filterType1, 111);
  k.plain<std::int64_t>(&M::filterType2, 3);
  k.plain<std::int64_t>(&M::resizeScaleType, 16);
  for (bool M::*flag : {&M::roundedCornersICNS,
                        &M::shadowICNS,
                        &M::optionAutoAdjust,
                        &M::optionEnhance,
                        &M::optionRedEye,
                        &M::optionFeatures,
                        &M::optionFeaturesIsolateFaces,
                        &M::optionFeaturesAutoAdjustFaces,
                        &M::optionFeaturesBiggerBoundsFaces,
                        &M::optionFeaturesBlurFaces,
                        &M::optionFeaturesPixelateFaces,
                        &M::optionFeaturesFrameFaces,
                        &M::optionFeaturesVignetteFaces,
                        &M::optionFeaturesBlurBackgroundFaces,
                        &M::optionFeaturesSaveCropFaces,
                        &M::optionFeaturesEyeBlink,
                        &M::addBorder,
                        &M::preserveBorderRatio,
                        &M::wantsMixWithDepthData,
                        &M::wantsDepthBeforeCompositing,
                        &M::wantsDepthExport,
                        &M::depthInvert,
                        &M::wantsTinyPlanet,
                        &M::tinyPlanetInvert,
                        &M::addLUT,
                        &M::addToneCurve,
                        &M::addToneCurveRed,
                        &M::addToneCurveGreen,
                        &M::addToneCurveBlue,
                        &M::addWatermarkText,
                        &M::addWatermarkDate,
                        &M::addWatermarkImage,
                        &M::compositeOriginalAlpha,
                        &M::watermarkOriginalAlpha})
    k.plain(flag, true);
  k.plain<std::int64_t>(&M::compositeMode, 32);
  k.plain<std::int64_t>(&M::openWith, 14);
  k.plain<std::int64_t>(&M::addNameDate, 3);
  k.point(&M::compositeOrigin, 12.3, 87.6);
  k.real(&M::compositeOpacity, 0.45);
  k.real(&M::compositeSizePercent, 0.55);
  k.plain<std::int64_t>(&M::compositeModeType, 1);
  k.plain<std::uint64_t>(&M::imageDepth, 3);
  k.plain<std::uint64_t>(&M::imageTransparency, 2);
  k.real(&M::topBorderSize, 0.11);
  k.real(&M::bottomBorderSize, 0.12);
  k.real(&M::leftBorderSize, 0.13);
  k.real(&M::rightBorderSize, 0.14);
  k.real(&M::borderOpacity, 0.6);
  k.real(&M::borderColorR, 0.1);
  k.real(&M::borderColorG, 0.2);
  k.real(&M::borderColorB, 0.3);
  k.real(&M::borderColorA, 0.4);
  k.real(&M::cropCenterX, 0.25);
  k.real(&M::cropCenterY, 0.75);
  k.real(&M::stretchAndCropStretch, 0.33);
  k.real(&M::stretchAndCropCrop, 0.66);
  k.real(&M::rotationAngle, 123.4);
  k.real(&M::depthFocalPoint, 0.3);
  k.real(&M::depthSlope, 2.7);
  k.real(&M::depthWidth, 0.2);
  k.real(&M::depthBlurBackground, 0.9);
  k.real(&M::depthBlackBackground, 0.8);
  k.real(&M::tinyPlanetScale, 0.07);
  k.real(&M::tinyPlanetFactor, 1.1);
  k.real(&M::tinyPlanetAngle, 33.3);
  k.real(&M::tinyPlanetFusion, 0.4);
  k.real(&M::lutIntensity, 0.65);
  k.plain<std::uint64_t>(&M::dateStyle, 4);
  k.real(&M::textAngle, 45.5);
  k.real(&M::textObliqueness, 0.15);
  k.real(&M::textOpacity, 0.35);
  k.real(&M::imageAngle, 270.7);
  k.real(&M::imageSizePercent, 0.45);
  k.real(&M::imageOpacity, 0.25);
  k.point(&M::textOrigin, 10.1, 20.2);
  k.point(&M::imageOrigin, 30.3, 40.4);
  k.preset->setImageModifyInfo(k.written);

  ImageInfo& p = *k.preset;
  p.canDeletePreset = true;
  p.overwriteFiles = true;
  p.maintainHierarchy = false;
  p.renameIgnoreProcessing = true;
  p.presetSavingPath = "/home/user/Converted";
  p.presetSavingMethod = 1;
  p.profileDescription = "";
  p.prefixFile = "pre_";
  p.nameFile = "holiday";
  p.suffixFile = "_s";
  p.selectedNumberPopUp = 2;
  p.initialNumber = 7;
  p.zerosNumber = 3;
  p.filterValues = Array(kFilterValueCount, Value(""));
  p.filterValues[0] = 1.25;
  p.filterValues[1] = std::int64_t(3);
  p.filterValues[12] = Dictionary{
      {"redComponent", 0.5}, {"greenComponent", 0.25}, {"blueComponent", 1.0}, {"alphaComponent", 1.0}};
  p.openWithAppID = Dictionary{{"AppDisplayName", "Viewer"}, {"AppFullPath", "/usr/bin/viewer"}};
  p.watermarkPresetURL = "/home/user/.local/share/velumar/ImagePresets/p_watermark.png";
  p.compositePresetURL = "/home/user/.local/share/velumar/ImagePresets/p_composite.jpg";
  p.watermarkPresetText = "© Velumar";
  p.watermarkTextAttributes = richAttributes();
  p.lutArray = Array{std::int64_t(2), Data(2 * 2 * 2 * 16, 7), "/home/user/look.cube"};
  p.toneCurvePoints = std::vector<raster::Point>{{0, 0.1}, {0.2, 0.3}, {0.5, 0.6}, {0.7, 0.9}, {1, 1}};
  p.toneCurvePointsRed = std::vector<raster::Point>{{0, 0}, {0.25, 0.2}, {0.5, 0.5}, {0.75, 0.8}, {1, 1}};
  p.toneCurvePointsGreen =
      std::vector<raster::Point>{{0, 0.05}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}, {1, 0.9}};
  p.toneCurvePointsBlue = std::vector<raster::Point>{{0, 0}, {0.1, 0.3}, {0.5, 0.5}, {0.9, 0.7}, {1, 1}};
  return k;
}

std::shared_ptr<ImageInfo> load(const Dictionary& dictionary, const std::string& path = "/presets/Test") {
  static const auto engine = presets_test::engineWithInstalledProfiles();
  return imageInfoFromPresetDictionary(dictionary, path, *engine);
}

std::vector<raster::Point> narrowedPoints(const std::vector<raster::Point>& points) {
  std::vector<raster::Point> out;
  for (const raster::Point& p : points) out.push_back({narrowed(p.x), narrowed(p.y)});
  return out;
}

}  // namespace

TEST(PresetFile, KeyTableHasEveryKeyOnceInFileOrder) {
  const auto table = presetKeyTable();
  ASSERT_EQ(table.size(), 131u);
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].number, int(i + 1));
    EXPECT_EQ(presetKeyNamed(table[i].key), &table[i]) << table[i].key;
  }
  EXPECT_EQ(presetKeyNamed("No Such Key"), nullptr);
}

TEST(PresetFile, EveryKeyRoundTripsThroughAFileWithRealsNarrowed) {
  const EveryKey k = everyKeySet();
  const Dictionary written = presetDictionaryFromImageInfo(*k.preset);
  ASSERT_EQ(written.size(), 131u);
  std::size_t i = 0;
  for (const auto& [key, value] : written) EXPECT_EQ(key, presetKeyTable()[i++].key);
  // Tone curves are the only doubles stored at full precision.
  EXPECT_EQ(written.find("ToneCurvePoints")->asArray()->at(1), Value(Array{0.2, 0.3}));
  EXPECT_EQ(*written.find("Dpi"), Value(narrowed(300.3)));

  testsupport::TempDir folder;
  const std::string path = folder.file("Every Key");
  ASSERT_TRUE(presets_test::writePreset(path, written));
  const auto read = foundation::readPropertyList(path);
  ASSERT_TRUE(read && read->asDictionary());
  const auto loaded = load(*read->asDictionary(), path);

  EXPECT_EQ(loaded->imageModifyInfo().conversionType, ConversionType::Count - 1);
  EXPECT_EQ(loaded->imageModifyInfo(), k.expected);
  const ImageInfo& p = *k.preset;
  EXPECT_EQ(loaded->imageInfoName, "Every Key");
  EXPECT_EQ(loaded->presetFilePath, path);
  EXPECT_EQ(loaded->canDeletePreset, p.canDeletePreset);
  EXPECT_EQ(loaded->overwriteFiles, p.overwriteFiles);
  EXPECT_EQ(loaded->maintainHierarchy, p.maintainHierarchy);
  EXPECT_EQ(loaded->renameIgnoreProcessing, p.renameIgnoreProcessing);
  EXPECT_EQ(loaded->presetSavingPath, p.presetSavingPath);
  EXPECT_EQ(loaded->presetSavingMethod, p.presetSavingMethod);
  EXPECT_EQ(loaded->profileDescription, p.profileDescription);
  EXPECT_EQ(loaded->prefixFile, p.prefixFile);
  EXPECT_EQ(loaded->nameFile, p.nameFile);
  EXPECT_EQ(loaded->suffixFile, p.suffixFile);
  EXPECT_EQ(loaded->selectedNumberPopUp, p.selectedNumberPopUp);
  EXPECT_EQ(loaded->initialNumber, p.initialNumber);
  EXPECT_EQ(loaded->zerosNumber, p.zerosNumber);
  EXPECT_EQ(loaded->filterValues, p.filterValues);
  EXPECT_EQ(loaded->openWithAppID, p.openWithAppID);
  EXPECT_EQ(loaded->watermarkPresetURL, p.watermarkPresetURL);
  EXPECT_EQ(loaded->compositePresetURL, p.compositePresetURL);
  EXPECT_EQ(loaded->watermarkPresetText, p.watermarkPresetText);
  EXPECT_EQ(loaded->lutArray, p.lutArray);
  EXPECT_EQ(loaded->toneCurvePoints, narrowedPoints(*p.toneCurvePoints));
  EXPECT_EQ(loaded->toneCurvePointsRed, narrowedPoints(*p.toneCurvePointsRed));
  EXPECT_EQ(loaded->toneCurvePointsGreen, narrowedPoints(*p.toneCurvePointsGreen));
  EXPECT_EQ(loaded->toneCurvePointsBlue, narrowedPoints(*p.toneCurvePointsBlue));
  expectSameAttributes(loaded->watermarkTextAttributes, p.watermarkTextAttributes);
}

TEST(PresetFile, MissingKeysLoadAsTheTableSays) {
  const auto loaded = load(Dictionary{});
  const ImageModifyInfo r = loaded->imageModifyInfo();
  const ImageInfo fresh;
  // Absent 0 or NO, although a new preset holds other values.
  EXPECT_EQ(r.dpi, 0);
  EXPECT_EQ(r.jpegCompressionFactor, 0);
  EXPECT_EQ(r.rFactorW, 0);
  EXPECT_EQ(r.rFactorH, 0);
  EXPECT_FALSE(r.isForOriginalRep);
  EXPECT_FALSE(r.aspectRatio);
  EXPECT_EQ(r.searchSubFolders, 0);
  EXPECT_FALSE(loaded->canDeletePreset);
  EXPECT_EQ(loaded->presetSavingMethod, 0);
  EXPECT_EQ(loaded->initialNumber, 0);
  EXPECT_EQ(loaded->zerosNumber, 0);
  EXPECT_TRUE(loaded->maintainHierarchy);
  // Absent values that are not 0.
  EXPECT_EQ(r.depthFocalPoint, 0.75);
  EXPECT_EQ(r.depthSlope, 4.0);
  EXPECT_EQ(r.depthWidth, narrowed(0.1));
  EXPECT_EQ(r.tinyPlanetScale, narrowed(0.05));
  EXPECT_EQ(r.tinyPlanetFactor, 1.5);
  EXPECT_EQ(r.cropCenterX, 0.5);
  EXPECT_EQ(r.borderColorA, 1.0);
  EXPECT_EQ(r.lutIntensity, 1.0);
  // Kept: a new preset's values.
  const ImageModifyInfo f = fresh.imageModifyInfo();
  EXPECT_EQ(r.compositeOrigin, f.compositeOrigin);
  EXPECT_EQ(r.compositeOpacity, f.compositeOpacity);
  EXPECT_EQ(r.textOpacity, f.textOpacity);
  EXPECT_EQ(r.dateStyle, f.dateStyle);
  EXPECT_EQ(r.colorSpaceModel, 1);
  EXPECT_EQ(loaded->presetSavingPath, "");
  EXPECT_TRUE(loaded->filterValues.empty());
  EXPECT_FALSE(loaded->lutArray);
  EXPECT_FALSE(loaded->compositePresetURL);
  EXPECT_EQ(loaded->toneCurvePoints, diagonalCurvePoints());
  EXPECT_EQ(loaded->watermarkTextAttributes.pointSize, 144);
  EXPECT_TRUE(loaded->watermarkTextAttributes.fontFamily.empty());
}

TEST(PresetFile, ReaderAndWriterAsymmetriesAndBadValues) {
  const Data cube2(2 * 2 * 2 * 16, 1);
  const Value colour =
      Dictionary{{"redComponent", 1}, {"greenComponent", 0.5}, {"blueComponent", 0}, {"alphaComponent", 1}};
  struct Case {
    const char* name;
    Dictionary input;
    std::function<void(const ImageInfo&, const ImageModifyInfo&)> check;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {"AppID ignored without Open With 14",
       {{"Open With", 13}, {"Open With AppID", Dictionary{{"AppFullPath", "/x"}}}},
       [](const ImageInfo& p, const ImageModifyInfo& r) {
         EXPECT_EQ(r.openWith, 13);
         EXPECT_TRUE(p.openWithAppID.empty());
       }},
      {"composite flag without URL reads no alpha",
       {{"Composite Image", true}, {"Composite Alpha", true}},
       [](const ImageInfo& p, const ImageModifyInfo& r) {
         EXPECT_FALSE(p.compositePresetURL);
         EXPECT_FALSE(r.compositeOriginalAlpha);
       }},
      {"URL without its flag is ignored",
       {{"Watermark Image URL", "/a/b.png"}, {"Watermark Alpha", true}},
       [](const ImageInfo& p, const ImageModifyInfo& r) {
         EXPECT_FALSE(p.watermarkPresetURL);
         EXPECT_FALSE(r.watermarkOriginalAlpha);
       }},
      {"relative URL is ignored",
       {{"Composite Image", true}, {"Composite Image URL", "../../etc/passwd"}},
       [](const ImageInfo& p, const ImageModifyInfo&) { EXPECT_FALSE(p.compositePresetURL); }},
      {"text attributes NO and garbage keep the default",
       {{"Watermark Text Attributes", Data{'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2}}},
       [](const ImageInfo& p, const ImageModifyInfo&) {
         EXPECT_EQ(p.watermarkTextAttributes.pointSize, 144);
       }},
      {"wrong types and non-finite reals count as absent",
       {{"Dpi", "300"},
        {"Resize Image", "YES"},
        {"JPEG Factor", nan},
        {"Resize Factor W", inf},
        {"Maintain Hierarchy", "NO"},
        {"Preset Path", 5},
        {"Crop X", Array{}}},
       [](const ImageInfo& p, const ImageModifyInfo& r) {
         EXPECT_EQ(r.dpi, 0);
         EXPECT_FALSE(r.doImageResize);
         EXPECT_EQ(r.jpegCompressionFactor, 0);
         EXPECT_EQ(r.rFactorW, 0);
         EXPECT_TRUE(p.maintainHierarchy);
         EXPECT_EQ(p.presetSavingPath, "");
         EXPECT_EQ(r.cropCenterX, 0.5);
       }},
      {"numbers are coerced",
       {{"Dpi", 300},
        {"Conversion Type", 3.9},
        {"Resize Image", 1},
        {"Modify Dpi", 0.0},
        {"Rotation Angle", 1e39}},
       [](const ImageInfo&, const ImageModifyInfo& r) {
         EXPECT_EQ(r.dpi, 300);
         EXPECT_EQ(r.conversionType, 3);
         EXPECT_TRUE(r.doImageResize);
         EXPECT_FALSE(r.modifyImageDpi);
         EXPECT_EQ(r.rotationAngle, 0);  // beyond single precision
       }},
      {"menu indexes out of range become 0",
       {{"Conversion Type", ConversionType::Count},
        {"Resize Method", 17},
        {"Resize Type", -1},
        {"TIFF Compression", 3},
        {"Open With", 15},
        {"Filter Type 0", 112},
        {"Filter Type 1", -5},
        {"Filter Type 2", 111},
        {"Image Depth", 4},
        {"Image Alpha", -1},
        {"Name Date", 4},
        {"Selected Popup", 3},
        {"Composite Mode", 33}},
       [](const ImageInfo& p, const ImageModifyInfo& r) {
         for (std::int64_t v :
              {r.conversionType, r.resizeScaleType, r.resizeConversionType, r.doTiffCompression, r.openWith,
               r.filterType0, r.filterType1, r.addNameDate, r.compositeMode})
           EXPECT_EQ(v, 0);
         EXPECT_EQ(r.filterType2, 111);
         EXPECT_EQ(r.imageDepth, 0u);
         EXPECT_EQ(r.imageTransparency, 0u);
         EXPECT_EQ(p.selectedNumberPopUp, 0u);
       }},
      {"filter values: foreign elements become empty strings, short arrays are padded",
       {{"Filter Values", Array{0.5, "x", true, Array{1}, colour, Dictionary{{"redComponent", 1}}, nan}}},
       [&](const ImageInfo& p, const ImageModifyInfo&) {
         ASSERT_EQ(p.filterValues.size(), kFilterValueCount);
         EXPECT_EQ(p.filterValues[0], Value(0.5));
         EXPECT_EQ(p.filterValues[1], Value("x"));
         EXPECT_EQ(p.filterValues[4], colour);
         for (std::size_t i : {2, 3, 5, 6, 7, 17}) EXPECT_EQ(p.filterValues[i], Value("")) << i;
       }},
      {"a two-item LUT is the cube without a path",
       {{"LUTArray", Array{2, cube2}}},
       [&](const ImageInfo& p, const ImageModifyInfo&) {
         EXPECT_EQ(p.lutArray, (Array{2, cube2}));
       }},
      {"LUT size outside the cube reader's range",
       {{"LUTArray", Array{1, Data(16), "/a.cube"}}},
       [](const ImageInfo& p, const ImageModifyInfo&) { EXPECT_FALSE(p.lutArray); }},
      {"LUT size 257",
       {{"LUTArray", Array{257, Data(16)}}},
       [](const ImageInfo& p, const ImageModifyInfo&) { EXPECT_FALSE(p.lutArray); }},
      {"LUT data of the wrong length",
       {{"LUTArray", Array{2, Data(127)}}},
       [](const ImageInfo& p, const ImageModifyInfo&) { EXPECT_FALSE(p.lutArray); }},
      {"LUT size not a number",
       {{"LUTArray", Array{"2", cube2}}},
       [](const ImageInfo& p, const ImageModifyInfo&) { EXPECT_FALSE(p.lutArray); }},
      {"curves: four points, a string and unsorted points",
       {{"ToneCurvePoints", Array{Array{0, 0}, Array{0.5, 0.5}, Array{0.7, 0.8}, Array{1, 1}}},
        {"ToneCurvePointsRed",
         Array{Array{0, 0}, Array{"a", 0.5}, Array{0.5, 0.5}, Array{0.7, 0.8}, Array{1, 1}}},
        {"ToneCurvePointsGreen",
         Array{Array{0.5, 0.5}, Array{0, 0}, Array{1, 1.5}, Array{0.25, 0.25}, Array{0.75, -1}}}},
       [](const ImageInfo& p, const ImageModifyInfo&) {
         EXPECT_EQ(p.toneCurvePoints, diagonalCurvePoints());
         EXPECT_EQ(p.toneCurvePointsRed, diagonalCurvePoints());
         EXPECT_EQ(p.toneCurvePointsGreen,
                   (std::vector<raster::Point>{{0, 0}, {0.25, 0.25}, {0.5, 0.5}, {0.75, 0}, {1, 1}}));
       }},
      {"without Cancel Preset a preset cannot be deleted",
       {{"Cancel Preset", true}},
       [](const ImageInfo& p, const ImageModifyInfo&) { EXPECT_TRUE(p.canDeletePreset); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto loaded = load(c.input);
    c.check(*loaded, loaded->imageModifyInfo());
  }
}

TEST(PresetFile, TextAttributesArchiveIsABinaryPropertyList) {
  const auto archive = archiveTextAttributes(richAttributes());
  ASSERT_TRUE(archive);
  ASSERT_GE(archive->size(), 8u);
  EXPECT_EQ(std::string(archive->begin(), archive->begin() + 8), "bplist00");
  const auto back = unarchiveTextAttributes(*archive);
  ASSERT_TRUE(back);
  expectSameAttributes(*back, richAttributes());

  // Wrong types or ranges inside a well-formed archive are refused whole.
  for (const Dictionary& fields :
       {Dictionary{{"Point Size", -3}}, Dictionary{{"Point Size", "big"}}, Dictionary{{"Bold", 1}},
        Dictionary{{"Color", Array{1, 0}}}, Dictionary{{"Shadow", 3}}}) {
    const auto bad = foundation::propertyListBinary(Value(Dictionary{{"Watermark Text Attributes", fields}}));
    ASSERT_TRUE(bad);
    EXPECT_FALSE(unarchiveTextAttributes(*bad)) << Value(fields).debugString();
  }
}

TEST(PresetFile, TextAttributesAreWrittenOnlyWhileTheTextWatermarkIsOn) {
  ImageInfo preset;
  EXPECT_EQ(*presetDictionaryFromImageInfo(preset).find("Watermark Text Attributes"), Value(false));
  ImageModifyInfo record = preset.imageModifyInfo();
  record.addWatermarkText = true;
  preset.setImageModifyInfo(record);
  EXPECT_TRUE(presetDictionaryFromImageInfo(preset).find("Watermark Text Attributes")->isData());
}

TEST(PresetFile, ANewPresetWritesTheKeysEverySaveWrites) {
  const Dictionary written = presetDictionaryFromImageInfo(ImageInfo());
  EXPECT_EQ(written.size(), kPresetKeysAlwaysWritten);
  for (const char* key : {"LUTArray", "Composite Image URL", "Watermark Image URL"})
    EXPECT_FALSE(written.contains(key)) << key;
}

// Every key holding every kind of odd value: loading never fails and menu
// indexes stay in range.
TEST(PresetFile, EveryKeyWithEveryOddValueLoadsSafely) {
  const Value odd[] = {
      Value("text"),
      Value(Array{}),
      Value(Array{Value(Array{"x"}), Value(Dictionary{})}),
      Value(Dictionary{{"k", 1}}),
      Value(Data{1, 2, 3}),
      Value(std::numeric_limits<std::int64_t>::min()),
      Value(std::numeric_limits<std::int64_t>::max()),
      Value(-1),
      Value(std::numeric_limits<double>::quiet_NaN()),
      Value(-std::numeric_limits<double>::infinity()),
      Value(1e300),
      Value(true),
  };
  for (const PresetKey& row : presetKeyTable()) {
    for (const Value& value : odd) {
      const auto loaded = load(Dictionary{{std::string(row.key), value},
                                          {"Open With", 14},
                                          {"Composite Image", true},
                                          {"Watermark Image", true}});
      const ImageModifyInfo r = loaded->imageModifyInfo();
      EXPECT_LT(std::uint64_t(r.conversionType), std::uint64_t(ConversionType::Count));
      EXPECT_LE(r.imageDepth, 3u);
      EXPECT_LE(std::uint64_t(r.resizeScaleType), 16u);
      EXPECT_TRUE(std::isfinite(r.dpi));
      EXPECT_EQ(loaded->toneCurvePointsBlue->size(), 5u);
      EXPECT_TRUE(loaded->filterValues.empty() || loaded->filterValues.size() == kFilterValueCount);
    }
  }
}

// Truncated and bit-flipped files, XML and binary: read and loaded without
// a crash; what reads as a dictionary loads.
TEST(PresetFile, DamagedFilesNeverCrashTheLoader) {
  const Value root(presetDictionaryFromImageInfo(*everyKeySet().preset));
  for (auto write : {foundation::propertyListXML, foundation::propertyListBinary}) {
    const auto bytes = write(root);
    ASSERT_TRUE(bytes);
    std::size_t loaded = 0;
    for (std::size_t cut = 0; cut < bytes->size(); cut += 1 + bytes->size() / 300) {
      Data damaged(bytes->begin(), bytes->begin() + std::ptrdiff_t(cut));
      if (auto read = foundation::readPropertyListData(damaged); read && read->asDictionary()) {
        load(*read->asDictionary());
        ++loaded;
      }
    }
    for (std::size_t at = 0; at < bytes->size(); at += 1 + bytes->size() / 400) {
      Data damaged = *bytes;
      damaged[at] ^= 0x5A;
      if (auto read = foundation::readPropertyListData(damaged); read && read->asDictionary()) {
        load(*read->asDictionary());
        ++loaded;
      }
    }
    EXPECT_GT(loaded, 0u);  // some flips land in values and still parse
  }
}
