// The user's lookup table with an intensity, and the catalogue's
// lookup-image filters with their one-entry cache.

#include <unistd.h>

#include "filters/catalogue_steps.h"
#include "filters/lookup_image.h"
#include "platform/foundation/failure_cause.h"
#include "platform/foundation/files.h"

namespace velumar {

void CIFiltering::LUTFilterWithCGContext(raster::BitmapContext* context, const ci::FilterRef& lutFilter,
                                         double intensity) {
  if (!lutFilter) return;
  ci::ImageRef unfiltered = chainInput(context);
  if (!unfiltered) return;
  applyCIFilter(lutFilter, context);
  if (!(intensity < 1.0)) return;
  ci::ImageRef filtered = ciImage();
  ci::FilterRef fade = ci::Filter::withName("CIColorMatrix");
  ci::FilterRef over = ci::Filter::withName("CISourceOverCompositing");
  if (!filtered || !fade || !over) return;
  // Below 0 the layer would get a negative alpha.
  const double alpha = intensity > 0 ? intensity : 0.0;
  fade->setDefaults();
  fade->setValue("inputAVector", ci::Vector{0, 0, 0, alpha});
  over->setDefaults();
  over->setValue(ci::kInputImageKey, ciImageWithFilter(fade, filtered));
  over->setValue(ci::kInputBackgroundImageKey, unfiltered);
  setCiImage(over->outputImage());
  fade->setValue(ci::kInputImageKey, ci::ImageRef());
  over->setValue(ci::kInputImageKey, ci::ImageRef());
  over->setValue(ci::kInputBackgroundImageKey, ci::ImageRef());
}

ci::FilterRef CIFiltering::setupColorFilterForImageName(const std::string& imageName) {
  std::shared_ptr<const ci::Data> cube;
  for (const LookupEntry& entry : lookups_) {
    if (entry.name == imageName) cube = entry.cube;
  }
  if (!cube) {
    const std::string path = lookupImageFolder.empty() ? foundation::bundleResourcePath(imageName)
                                                       : lookupImageFolder + "/" + imageName;
    {
      // The reader's own causes would name the lookup image as the source.
      const foundation::FailureScope lookupRead;
      cube = lookupCubeFromFile(path);
    }
    if (!cube) {
      missingLookup_ = true;
      // Not the source's fault: the application lacks one of its resources.
      const bool exists = ::access(path.c_str(), F_OK) == 0;
      foundation::noteFailure(foundation::FailureCause::Other,
                              "the lookup image " + imageName + (exists ? " cannot be read" : " is missing"));
      return nullptr;
    }
    lookups_.clear();
    lookups_.push_back({imageName, cube});
  }
  ci::FilterRef filter = ci::Filter::withName("CIColorCube");
  if (!filter) return nullptr;
  filter->setDefaults();
  filter->setValue("inputCubeData", cube);
  filter->setValue("inputCubeDimension", double(kLookupDimension));
  return filter;
}

void CIFiltering::lookupFilterWithCGContext(raster::BitmapContext* context, FilterInfo info,
                                            const std::string& imageName) {
  ci::FilterRef cube = setupColorFilterForImageName(imageName);
  if (!cube || !ciContext()) return;
  ci::ImageRef input = chainInput(context);
  if (!input) return;
  ci::FilterRef tone = ci::Filter::withName("CIHighlightShadowAdjust");
  if (!tone) return;
  tone->setDefaults();
  tone->setValue("inputHighlightAmount", float(info.colorCubeLevel0));
  tone->setValue("inputShadowAmount", float(info.colorCubeLevel1));
  setCiImage(ciImageWithFilter(tone, input));
  applyCIFilter(cube, context);
  applyNamedFilter(*this, context, "CIVibrance", {{"inputAmount", float(info.colorCubeLevel2)}});
}

}  // namespace velumar
