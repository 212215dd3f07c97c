#pragma once
// CIFiltering: the filter engine. It holds the three filter slots'
// parameters, a filter-graph context bound to the bitmap context being
// rendered, and the pending image: the deferred chain of filter steps that
// one explicit draw renders back into the bitmap context.
//
// Bitmap contexts are passed as pointers (a missing context is answered by
// doing nothing); images of the graph are ci::ImageRef, bitmaps
// raster::ImageRef.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "filters/face_options.h"
#include "filters/filter_info.h"
#include "platform/ci/context.h"
#include "platform/ci/face_detector.h"
#include "platform/ci/filter.h"
#include "platform/ci/image.h"
#include "platform/color/icc_profile.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/bitmap_image_rep.h"
#include "platform/raster/geometry.h"

namespace velumar {

class CIFiltering {
 public:
  CIFiltering();
  CIFiltering(const CIFiltering&) = delete;
  CIFiltering& operator=(const CIFiltering&) = delete;

  // --- Slots and settings (whole records, copied under a lock) ---
  FilterInfo filterInfo0() const;
  void setFilterInfo0(const FilterInfo& info);
  FilterInfo filterInfo1() const;
  void setFilterInfo1(const FilterInfo& info);
  FilterInfo filterInfo2() const;
  void setFilterInfo2(const FilterInfo& info);
  bool filterUsesGPUForRendering() const { return filterUsesGPUForRendering_.load(); }
  void setFilterUsesGPUForRendering(bool uses) { filterUsesGPUForRendering_.store(uses); }

  // --- Per-draw state ---
  const ci::ContextRef& ciContext() const { return ciContext_; }
  void setCiContext(ci::ContextRef context) { ciContext_ = std::move(context); }
  const ci::ImageRef& ciImage() const { return ciImage_; }
  void setCiImage(ci::ImageRef image) { ciImage_ = std::move(image); }
  // Face rectangles of the last detection; nullopt when none was made.
  const std::optional<std::vector<raster::Rect>>& facesRectArray() const { return facesRectArray_; }
  void setFacesRectArray(std::optional<std::vector<raster::Rect>> faces) {
    facesRectArray_ = std::move(faces);
  }

  // A filter engine of its own for another thread that renders as this one
  // would: the slot records, the rendering flag, the output profile with its
  // cube and the cached lookup cube are copied; the per-draw state, the face
  // detector and the collected face crops start empty.
  std::shared_ptr<CIFiltering> copyForWorker() const;

  // Overwrites every field of info with the defaults.
  static void initialValuesForFilterInfo(FilterInfo* info);

  // --- Context ---
  void createNewCIContextWithCGContext(raster::BitmapContext* context, bool createRGBContext);
  // Makes a context by the same rule without storing it; still clears the
  // pending image and the face rectangles.
  ci::ContextRef ciContextWithCGContext(raster::BitmapContext* context, bool createRGBContext);
  void resetCIContext();

  // --- Chain ---
  void applyCIFilter(const ci::FilterRef& filter, raster::BitmapContext* context);
  void applyCIFilterFiniteExtent(const ci::FilterRef& filter, raster::BitmapContext* context);
  ci::ImageRef ciImageWithFilter(const ci::FilterRef& filter, const ci::ImageRef& image);
  void drawCIImageWithCGContext(raster::BitmapContext* context, bool clearContext);

  // --- Immediate draws (the pending image is not used) ---
  void drawResizedCIImageWithSizeControlInCGContext(raster::BitmapContext* context, const ci::ImageRef& image,
                                                    const ci::FilterRef& filter);
  void drawResizedCIImageWithSizeControlInCGContext(raster::BitmapContext* context,
                                                    const raster::ImageRef& image,
                                                    const ci::FilterRef& filter);
  void drawResizedCIImageInCGContext(raster::BitmapContext* context, const ci::ImageRef& image,
                                     const ci::FilterRef& filter);
  void drawResizedCIImageInCGContext(raster::BitmapContext* context, const raster::ImageRef& image,
                                     const ci::FilterRef& filter);

  // --- Geometric transforms: image variants (nullptr for a missing or
  // empty input) and context variants (draw at once; nothing for a missing
  // or empty source or without a context) ---
  ci::ImageRef lanczosScaleFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void lanczosScaleFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                  const raster::ImageRef& source);
  ci::ImageRef cropFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize, double originX,
                                     double originY, bool resizeBeforeCrop);
  void cropFilterWithDestinationCGContext(raster::BitmapContext* context, const raster::ImageRef& source,
                                          double originX, double originY, bool resizeBeforeCrop);
  ci::ImageRef stretchCropFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize,
                                            double stretchValue, double cropValue);
  void stretchCropFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                 const raster::ImageRef& source, double stretchValue,
                                                 double cropValue);
  ci::ImageRef flipHorizontallyFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void flipHorizontallyFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                      const raster::ImageRef& source);
  ci::ImageRef flipVerticallyFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void flipVerticallyFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                    const raster::ImageRef& source);
  ci::ImageRef rotate90DEGFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void rotate90DEGFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                 const raster::ImageRef& source);
  ci::ImageRef rotate90DEGFlippedFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void rotate90DEGFlippedFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                        const raster::ImageRef& source);
  ci::ImageRef rotate270DEGFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void rotate270DEGFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                  const raster::ImageRef& source);
  ci::ImageRef rotate270DEGFlippedFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void rotate270DEGFlippedFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                         const raster::ImageRef& source);
  ci::ImageRef rotate180DEGFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize);
  void rotate180DEGFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                  const raster::ImageRef& source);
  // toSize is not used by the free rotations' image variants.
  ci::ImageRef rotateFreeFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize,
                                           double unrotatedWidth, double unrotatedHeight, double angle);
  void rotateFreeFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                const raster::ImageRef& source, double unrotatedWidth,
                                                double unrotatedHeight, double angle);
  ci::ImageRef cropAndRotateFilterWithCIImage(const ci::ImageRef& image, raster::Size toSize, double originX,
                                              double originY, bool resizeBeforeCrop, double unrotatedWidth,
                                              double unrotatedHeight, raster::Size cropSize, double angle);
  void cropAndRotateFilterWithDestinationCGContext(raster::BitmapContext* context,
                                                   const raster::ImageRef& source, double originX,
                                                   double originY, bool resizeBeforeCrop,
                                                   double unrotatedWidth, double unrotatedHeight,
                                                   raster::Size cropSize, double angle);

  // --- Filter catalogue: the three-slot chain and its dispatch ---
  // Runs slots 0, 1, 2 in order with a copy of each slot's record; type 0
  // skips a slot. Nothing is drawn.
  void concat3FiltersWithCGContext(raster::BitmapContext* context, std::int64_t filterType0,
                                   std::int64_t filterType1, std::int64_t filterType2);
  // Types 3 to 10 are the photo effects; every other type goes on to
  // ciFilterWithCGContext.
  void photoEffectWithCGContext(raster::BitmapContext* context, std::int64_t filterType, FilterInfo info);
  // The catalogue operation of a type from 13 to 111; other types do nothing.
  void ciFilterWithCGContext(raster::BitmapContext* context, std::int64_t filterType, FilterInfo info);
  // The lookup image a catalogue type uses ("lookupBase0.png", "lookup0.png",
  // ...); empty for types without one.
  static std::string lookupImageName(std::int64_t filterType);

  // Colour and tone adjustments.
  void sbcFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void blackWhiteFilterWithCGContext(raster::BitmapContext* context);
  void lowSaturationFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void highSaturationFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void lowContrastFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void highContrastFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void lowExposureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void highExposureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void gammaFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void hueAdjustFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void highShadowsFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void highHighlightsFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void vibranceFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void sepiaFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void warmTemperatureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void coldTemperatureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void colorInvertFilterWithCGContext(raster::BitmapContext* context);
  void hslFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void hsvFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void labFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void hsvContrastFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void colorMatrixFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void shadowHighlightFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void levelSaturationFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void levelExposureFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);

  // Colour looks.
  void crossPolynomialFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void whitePointAdjustFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void colorMonochromeFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void falseColorFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void maximumComponentFilterWithCGContext(raster::BitmapContext* context);
  void minimumComponentFilterWithCGContext(raster::BitmapContext* context);
  void colorAllFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);

  // Lookup images and adaptive histogram equalisation.
  void lookupFilterWithCGContext(raster::BitmapContext* context, FilterInfo info,
                                 const std::string& imageName);
  // A colour-cube filter for a lookup image of the bundle, from the cache
  // or converted (replacing the cache's one entry); nullptr when the image
  // is missing or malformed, with its cause noted and the miss kept for
  // takeMissingLookup.
  ci::FilterRef setupColorFilterForImageName(const std::string& imageName);
  // Whether a lookup filter had no usable lookup image since the last call.
  // A conversion fails then rather than pass the picture on unchanged.
  bool takeMissingLookup() { return std::exchange(missingLookup_, false); }
  // The folder the lookup images are read from; empty for the
  // application's resources.
  std::string lookupImageFolder;
  struct LookupEntry {
    std::string name;
    std::shared_ptr<const ci::Data> cube;
  };
  // At most one entry; a batch empties it when it ends.
  const std::vector<LookupEntry>& lookups() const { return lookups_; }
  void clearLookups() { lookups_.clear(); }
  void CLAHEFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);

  // Spatial filters and composed effects.
  void hdrFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void straightenFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void straightenHorizontallyFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void straightenVerticallyFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void sharpenLuminanceFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void unsharpMaskFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void boxBlurFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void gaussianBlurFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void zoomBlurWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void noiseReductionFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void edgesFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void crystallizeFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void gloomFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void pixellateFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void vignetteFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void tiltShiftFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void noiseFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);
  void oldPhotoFilterWithCGContext(raster::BitmapContext* context, FilterInfo info);

  // --- Output-profile cube (the preview's view through a profile) ---
  // nullptr clears the cube filter; a profile whose cube cannot be made
  // leaves no current profile.
  void setProfile(color::ProfileRef profile);
  const color::ProfileRef& currentProfile() const { return currentProfile_; }
  const ci::FilterRef& currentColorSpaceFilter() const { return currentColorSpaceFilter_; }
  // Samples the current profile's soft proof at gridPoints³ points (2 to
  // 256) into the cube filter; false when no cube could be made.
  bool setColorCubeFilterDataForGridPoints(std::int64_t gridPoints);
  void colorSpaceFilterWithCGContext(raster::BitmapContext* context);

  // --- Stages built elsewhere; until then they leave the image unchanged ---
  ci::ImageRef scaleDepthImage(const ci::ImageRef& depthImage, const raster::ImageRef& originalImage);
  ci::ImageRef tinyPlanetFilterWithCIImage(const ci::ImageRef& image, double scale, double planetFactor,
                                           double angle, double fusion, bool invert);
  void LUTFilterWithCGContext(raster::BitmapContext* context, const ci::FilterRef& lutFilter,
                              double intensity);
  void toneCurveFilterWithCGContext(raster::BitmapContext* context, const ci::FilterRef& toneCurveFilter,
                                    const ci::FilterRef& redFilter, const ci::FilterRef& greenFilter,
                                    const ci::FilterRef& blueFilter);
  // 1 inside a band of depths around focalPoint, 0 outside, with ramps of
  // the given slope; nullptr for a slope that is not a positive number.
  ci::ImageRef combinedMaskForDepthImage(const ci::ImageRef& depthImage, double slope, double width,
                                         double focalPoint);
  void depthFilterWithCGContext(raster::BitmapContext* context, const raster::ImageRef& originalImage,
                                const ci::ImageRef& depthImage, double slope, double width, double focalPoint,
                                double intensity, double blurBackground, double blackBackground,
                                bool invertDepth);
  void compositeFilterWithCGContext(raster::BitmapContext* context, const raster::ImageRef& unfilteredImage,
                                    const ci::ImageRef& compositeImage, double opacity, double sizeFactor,
                                    raster::Point origin, std::int64_t modeType, std::int64_t compositeType);
  // --- Automatic adjustment and faces ---
  // Enhances the pending image (or a snapshot of the context) and corrects
  // red eyes as the options ask, finds faces and applies the face effects.
  // nullopt for no verdict; false when the eye-blink test rejected the
  // image (the pending image and the face rectangles are then untouched).
  std::optional<bool> autoAdjustFilterWithContext(raster::BitmapContext* context, const FaceOptions& options);
  // filtered where mask is opaque, elsewhere input blurred by a Gaussian of
  // radius max(extent width, height) / 500.
  ci::ImageRef blurBackGroundWithInputImage(const ci::ImageRef& input, const raster::Rect& extent,
                                            const ci::ImageRef& filtered, const ci::ImageRef& mask);
  // One vignette of intensity 0.5 and radius max(w, h) per face, combined
  // by lightening; the input for no faces.
  ci::ImageRef vignetteFacesWithInputImage(const ci::ImageRef& image, const std::vector<raster::Rect>& faces);
  // The face detector, made on first use and kept for later images.
  ci::FaceDetector& ciDetector();
  // White frames around the faces: width 3·√(W·H / 1,320,000) in single
  // precision for a W × H context, round caps and joins. Nothing without
  // faces.
  void framingFacesWithContext(raster::BitmapContext* context,
                               const std::optional<std::vector<raster::Rect>>& faces);
  // --- Face crops ---
  // Appends one 8-bit RGBA sRGB crop of image per face rectangle (y up, in
  // the image's coordinates) to cropFacesArray, each rendered alone with
  // the filter context; rectangles are clipped to extent first and those
  // left without a whole pixel are skipped. Nothing without a filter
  // context.
  void facesBitmapRepsWithCIImage(const ci::ImageRef& image, const raster::Rect& extent,
                                  const std::vector<raster::Rect>& faces);
  // Crops collected for saving, in detection order; the face-crop writer
  // saves and empties it.
  std::vector<raster::BitmapImageRepRef> cropFacesArray;

 private:
  // The pending image, else a snapshot of the context; nullptr when neither.
  ci::ImageRef chainInput(raster::BitmapContext* context) const;
  ci::ContextRef makeContext(raster::BitmapContext* context, bool createRGBContext) const;
  // Draws the filter's output of image in own-size (fill = false) or fill mode.
  void drawFilterOutput(raster::BitmapContext* context, const ci::ImageRef& image,
                        const ci::FilterRef& filter, bool fill);

  mutable std::mutex slotsMutex_;
  FilterInfo filterInfo0_, filterInfo1_, filterInfo2_;
  std::atomic<bool> filterUsesGPUForRendering_{true};
  ci::ContextRef ciContext_;
  ci::ImageRef ciImage_;
  std::optional<std::vector<raster::Rect>> facesRectArray_;
  std::unique_ptr<ci::FaceDetector> ciDetector_;
  std::vector<LookupEntry> lookups_;
  bool missingLookup_ = false;
  color::ProfileRef currentProfile_;
  ci::FilterRef currentColorSpaceFilter_;
};

}  // namespace velumar
