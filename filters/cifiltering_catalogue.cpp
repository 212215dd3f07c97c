// The filter catalogue: the three-slot chain, the photo effects and the
// dispatch of every other filter type to its operation.

#include <array>
#include <map>

#include "filters/cifiltering.h"

namespace velumar {

namespace {

using Operation = void (*)(CIFiltering& engine, raster::BitmapContext* context, const FilterInfo& info);

// Types 13 to 111 with an operation, except the lookup-image types, which
// are found by their image name. Several types share one operation and
// differ only in the values the converter puts into their records.
const std::map<std::int64_t, Operation>& catalogue() {
  using E = CIFiltering;
  using C = raster::BitmapContext*;
  using I = const FilterInfo&;
  static const std::map<std::int64_t, Operation> table = {
      {37, [](E& e, C c, I i) { e.crossPolynomialFilterWithCGContext(c, i); }},
      {52, [](E& e, C c, I i) { e.CLAHEFilterWithCGContext(c, i); }},
      {53, [](E& e, C c, I i) { e.CLAHEFilterWithCGContext(c, i); }},
      {54, [](E& e, C c, I i) { e.CLAHEFilterWithCGContext(c, i); }},
      {57, [](E& e, C c, I i) { e.sbcFilterWithCGContext(c, i); }},
      {58, [](E& e, C c, I) { e.blackWhiteFilterWithCGContext(c); }},
      {59, [](E& e, C c, I i) { e.lowSaturationFilterWithCGContext(c, i); }},
      {60, [](E& e, C c, I i) { e.highSaturationFilterWithCGContext(c, i); }},
      {61, [](E& e, C c, I i) { e.lowContrastFilterWithCGContext(c, i); }},
      {62, [](E& e, C c, I i) { e.highContrastFilterWithCGContext(c, i); }},
      {63, [](E& e, C c, I i) { e.lowExposureFilterWithCGContext(c, i); }},
      {64, [](E& e, C c, I i) { e.highExposureFilterWithCGContext(c, i); }},
      {65, [](E& e, C c, I i) { e.gammaFilterWithCGContext(c, i); }},
      {66, [](E& e, C c, I i) { e.hueAdjustFilterWithCGContext(c, i); }},
      {67, [](E& e, C c, I i) { e.whitePointAdjustFilterWithCGContext(c, i); }},
      {68, [](E& e, C c, I i) { e.colorMonochromeFilterWithCGContext(c, i); }},
      {69, [](E& e, C c, I i) { e.falseColorFilterWithCGContext(c, i); }},
      {70, [](E& e, C c, I i) { e.highShadowsFilterWithCGContext(c, i); }},
      {71, [](E& e, C c, I i) { e.highHighlightsFilterWithCGContext(c, i); }},
      {72, [](E& e, C c, I i) { e.vibranceFilterWithCGContext(c, i); }},
      {73, [](E& e, C c, I i) { e.sepiaFilterWithCGContext(c, i); }},
      {74, [](E& e, C c, I i) { e.warmTemperatureFilterWithCGContext(c, i); }},
      {75, [](E& e, C c, I i) { e.coldTemperatureFilterWithCGContext(c, i); }},
      {76, [](E& e, C c, I i) { e.hdrFilterWithCGContext(c, i); }},
      {79, [](E& e, C c, I i) { e.straightenFilterWithCGContext(c, i); }},
      {80, [](E& e, C c, I i) { e.straightenHorizontallyFilterWithCGContext(c, i); }},
      {81, [](E& e, C c, I i) { e.straightenVerticallyFilterWithCGContext(c, i); }},
      {82, [](E& e, C c, I i) { e.sharpenLuminanceFilterWithCGContext(c, i); }},
      {83, [](E& e, C c, I i) { e.unsharpMaskFilterWithCGContext(c, i); }},
      {84, [](E& e, C c, I i) { e.boxBlurFilterWithCGContext(c, i); }},
      {85, [](E& e, C c, I i) { e.gaussianBlurFilterWithCGContext(c, i); }},
      {86, [](E& e, C c, I i) { e.zoomBlurWithCGContext(c, i); }},
      {87, [](E& e, C c, I i) { e.noiseReductionFilterWithCGContext(c, i); }},
      {90, [](E& e, C c, I) { e.colorInvertFilterWithCGContext(c); }},
      {91, [](E& e, C c, I) { e.maximumComponentFilterWithCGContext(c); }},
      {92, [](E& e, C c, I) { e.minimumComponentFilterWithCGContext(c); }},
      {93, [](E& e, C c, I i) { e.edgesFilterWithCGContext(c, i); }},
      {94, [](E& e, C c, I i) { e.crystallizeFilterWithCGContext(c, i); }},
      {95, [](E& e, C c, I i) { e.gloomFilterWithCGContext(c, i); }},
      {96, [](E& e, C c, I i) { e.pixellateFilterWithCGContext(c, i); }},
      {97, [](E& e, C c, I i) { e.vignetteFilterWithCGContext(c, i); }},
      {98, [](E& e, C c, I i) { e.tiltShiftFilterWithCGContext(c, i); }},
      {99, [](E& e, C c, I i) { e.noiseFilterWithCGContext(c, i); }},
      {100, [](E& e, C c, I i) { e.oldPhotoFilterWithCGContext(c, i); }},
      {103, [](E& e, C c, I i) { e.hslFilterWithCGContext(c, i); }},
      {104, [](E& e, C c, I i) { e.hsvFilterWithCGContext(c, i); }},
      {105, [](E& e, C c, I i) { e.labFilterWithCGContext(c, i); }},
      {106, [](E& e, C c, I i) { e.hsvContrastFilterWithCGContext(c, i); }},
      {107, [](E& e, C c, I i) { e.colorMatrixFilterWithCGContext(c, i); }},
      {108, [](E& e, C c, I i) { e.shadowHighlightFilterWithCGContext(c, i); }},
      {109, [](E& e, C c, I i) { e.levelSaturationFilterWithCGContext(c, i); }},
      {110, [](E& e, C c, I i) { e.levelExposureFilterWithCGContext(c, i); }},
      {111, [](E& e, C c, I i) { e.colorAllFilterWithCGContext(c, i); }},
  };
  return table;
}

constexpr std::int64_t kFirstPhotoEffect = 3, kLastPhotoEffect = 10;
constexpr std::int64_t kFirstCatalogueType = 13, kLastCatalogueType = 111;
constexpr std::array<const char*, 8> kPhotoEffects = {
    "CIPhotoEffectChrome", "CIPhotoEffectFade",    "CIPhotoEffectInstant", "CIPhotoEffectMono",
    "CIPhotoEffectNoir",   "CIPhotoEffectProcess", "CIPhotoEffectTonal",   "CIPhotoEffectTransfer"};

}  // namespace

void CIFiltering::concat3FiltersWithCGContext(raster::BitmapContext* context, std::int64_t filterType0,
                                              std::int64_t filterType1, std::int64_t filterType2) {
  if (filterType0 != 0) photoEffectWithCGContext(context, filterType0, filterInfo0());
  if (filterType1 != 0) photoEffectWithCGContext(context, filterType1, filterInfo1());
  if (filterType2 != 0) photoEffectWithCGContext(context, filterType2, filterInfo2());
}

void CIFiltering::photoEffectWithCGContext(raster::BitmapContext* context, std::int64_t filterType,
                                           FilterInfo info) {
  if (filterType < kFirstPhotoEffect || filterType > kLastPhotoEffect) {
    ciFilterWithCGContext(context, filterType, info);
    return;
  }
  ci::FilterRef filter = ci::Filter::withName(kPhotoEffects[std::size_t(filterType - kFirstPhotoEffect)]);
  if (!filter) return;
  filter->setDefaults();
  applyCIFilter(filter, context);
}

std::string CIFiltering::lookupImageName(std::int64_t filterType) {
  if (filterType == 13 || filterType == 14) return "lookupBase" + std::to_string(filterType - 13) + ".png";
  if ((filterType >= 15 && filterType <= 36) || (filterType >= 38 && filterType <= 51)) {
    return "lookup" + std::to_string(filterType - 15) + ".png";
  }
  return {};
}

void CIFiltering::ciFilterWithCGContext(raster::BitmapContext* context, std::int64_t filterType,
                                        FilterInfo info) {
  if (filterType < kFirstCatalogueType || filterType > kLastCatalogueType) return;
  if (std::string name = lookupImageName(filterType); !name.empty()) {
    lookupFilterWithCGContext(context, info, name);
    return;
  }
  const auto& table = catalogue();
  if (auto it = table.find(filterType); it != table.end()) it->second(*this, context, info);
}

}  // namespace velumar
