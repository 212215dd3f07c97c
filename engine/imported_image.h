#pragma once
// The conversion engine: one object per converter window. It holds the
// working copy of the settings, the filter engine, the presets, the per-file
// state of the conversion under way and the state of the live preview, and
// offers file-type detection, the size checks and small bitmap helpers.
//
// Record, point and size properties are copied whole under the engine's
// property lock; the other properties are touched by one thread at a time.
// Draws hold renderMutex() so the preview (main thread) and a session (its
// queue) never render through one engine at the same time.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_type_codes.h"
#include "engine/file_type_detection.h"
#include "engine/image_info.h"
#include "engine/image_modify_info.h"
#include "engine/text_font.h"
#include "filters/face_options.h"
#include "platform/ci/context.h"
#include "platform/ci/filter.h"
#include "platform/ci/image.h"
#include "platform/foundation/value.h"
#include "platform/imageio/image_source.h"
#include "platform/raster/attributed_text.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/bitmap_image_rep.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image_set.h"

namespace imageio {
class EncodedFile;
}  // namespace imageio

namespace velumar {

class CIFiltering;
class Profile;
class RWPSDWriter;

using BitmapRepRef = raster::BitmapImageRepRef;
using BitmapRepList = std::vector<BitmapRepRef>;

// The page-size scan of PDF input.
struct PdfInfo {
  std::shared_ptr<const void> xObjects;  // the page's XObject dictionary, when scanned
  std::int64_t pdfWidth = 0;
  std::int64_t pdfHeight = 0;
};

class ImportedImage {
 public:
  ImportedImage();
  ~ImportedImage();
  ImportedImage(const ImportedImage&) = delete;
  ImportedImage& operator=(const ImportedImage&) = delete;

  // ---- Atomic properties -------------------------------------------------
  ImageModifyInfo imageModifyInfo() const;
  void setImageModifyInfo(const ImageModifyInfo& info);
  std::optional<std::vector<std::string>> actFileTags() const;
  void setActFileTags(std::optional<std::vector<std::string>> tags);
  raster::Point compositeImageOrigin() const;
  void setCompositeImageOrigin(raster::Point origin);
  ci::FilterRef lutFilter() const;
  void setLutFilter(const ci::FilterRef& filter);
  ci::FilterRef toneCurveFilter() const;
  void setToneCurveFilter(const ci::FilterRef& filter);
  ci::FilterRef redCurveFilter() const;
  void setRedCurveFilter(const ci::FilterRef& filter);
  ci::FilterRef greenCurveFilter() const;
  void setGreenCurveFilter(const ci::FilterRef& filter);
  ci::FilterRef blueCurveFilter() const;
  void setBlueCurveFilter(const ci::FilterRef& filter);
  raster::Size imagePreviewOriginalSize() const;
  void setImagePreviewOriginalSize(raster::Size size);
  raster::Size imagePreviewSize() const;
  void setImagePreviewSize(raster::Size size);
  raster::Size cropOriginalSize() const;
  void setCropOriginalSize(raster::Size size);

  // The lock every draw holds for its whole duration.
  std::mutex& renderMutex() { return renderMutex_; }

  // ---- Plain properties --------------------------------------------------
  // The filter engine, created with the engine and never replaced.
  std::shared_ptr<CIFiltering> ciPhotoFilters;
  std::int64_t indexMaxPixels = 0;  // representation with most pixels
  std::vector<std::shared_ptr<ImageInfo>> presetsArray;
  std::vector<std::shared_ptr<ImageInfo>> systemPresetsArray;
  std::int64_t openWithApplicationType = 0;
  std::vector<std::string> urlsArray;  // files written by the current request
  bool updateCropSizeForPreview = false;
  foundation::Dictionary openWithAppID;  // {"AppDisplayName", "AppFullPath"}
  // Open With submenu entries by menu-item tag.
  std::map<std::int64_t, foundation::Dictionary> appIDInfoArray;
  ci::ContextRef previewCIContext;
  std::vector<std::shared_ptr<Profile>> profiles;
  std::vector<std::shared_ptr<Profile>> profilesRGB;
  std::vector<std::shared_ptr<Profile>> profilesGray;
  std::vector<std::shared_ptr<Profile>> profilesCMYK;
  std::int64_t filteredColorSpace = 0;  // colorSpace of the last successful conversion
  std::optional<foundation::Array> imageMetadataArray;
  foundation::Array psdInfoArray;  // one dictionary per layer of PSD input
  TextFont textFont = TextFont::systemFont(kDefaultWatermarkFontSize);
  raster::TextAttributes textAttributes;
  std::string watermarkDrawString;
  std::string watermarkDrawDate;
  std::optional<foundation::Date> watermarkMetadataDate;
  std::shared_ptr<raster::ImageSet> watermarkImage;
  double compositeImageOpacity = 1.0;
  double compositeImageSize = 1.0;
  ci::ImageRef compositeCIInputImage;
  double lutIntensity = 1.0;
  double imagePreviewOriginalDpi = 0;
  // Decode a JPEG at the size the conversion needs when it is drawn at half
  // its size or less (off: always decode at full size).
  bool shrinkOnLoad = true;
  // The representations of a plain raster file decoded before the
  // conversion asked for them (a batch decoding the next files ahead);
  // asked before the generic decode, nothing when there are none.
  std::function<std::optional<BitmapRepList>(const std::string& path)> decodedAhead;
  ci::ImageRef exportedDepthImage;

  // ---- Batch workers (imported_image_batch_worker.cpp) ------------------------
  // A new engine that converts files as this one would: the settings, the
  // installed profiles and the watermark and composite state are copied, the
  // filter engine and the LUT and curve filters are copies of its own; the
  // per-file state starts empty.
  std::shared_ptr<ImportedImage> makeBatchWorker() const;
  // Takes over the per-file state a worker left from its last conversion
  // (largest representation, metadata, layer records, colour space), so the
  // writers see the file as if this engine had converted it.
  void takeFileResultsFrom(ImportedImage& worker);
  // A worker's write of its converted image as saveImage would make it,
  // encoded and flushed into folder but not yet named, for outputs that are
  // one plain raster file (JPEG, PNG, BMP, GIF or TIFF of one
  // representation). Nothing for any other output or when the encode
  // fails; the caller then writes the image itself.
  std::optional<imageio::EncodedFile> encodeForBatch(const raster::ImageSet& image, ImageModifyInfo info,
                                                     std::int64_t originalFileType,
                                                     const std::string& folder);
  // Finishes the write of an image encoded by encodeForBatch at path, as
  // saveImage finishes its own: the file's name, its tags, the written list
  // and the per-file records.
  bool claimEncodedFile(imageio::EncodedFile& file, const std::string& path);

  // ---- Text ----------------------------------------------------------------
  // Empty watermark text, the system font of 144 points and attributes
  // holding only that font.
  void resetTextAttributes();

  // ---- Bitmap helpers ----------------------------------------------------------
  // A cleared 8-bit RGBA representation (premultiplied alpha last, 4 bytes
  // a pixel) in sRGB; with doSetSize its size in points becomes the pixel
  // size times dpiScaling. nullptr when it cannot be made.
  static BitmapRepRef createNewBmpImageRep(std::int64_t pixelWidth, std::int64_t pixelHeight,
                                           double dpiScaling, bool doSetSize);
  // The same without alpha: three samples padded to 4 bytes a pixel.
  static BitmapRepRef createNewBmpImageRepNoAlpha(std::int64_t pixelWidth, std::int64_t pixelHeight,
                                                  double dpiScaling, bool doSetSize);
  // rep drawn with high interpolation into a new RGBA representation of
  // size points and (ceiling of the width, ceiling of the height) pixels,
  // the ceilings taken in single precision. nullptr without rep or when no
  // representation or context can be made.
  static BitmapRepRef drawInBmpContextFromBmpRep(const BitmapRepRef& rep, raster::Size size);

  // ---- File-type detection ---------------------------------------------------
  // The detected type of the file at path, or nothing when it is no image
  // that a decoder reads.
  std::optional<FileTypeDetection> verifyFileTypeFromURL(const std::string& path) const;
  // A type identifier from the file's own extension; nothing when the file
  // cannot be examined or the extension names no type.
  static std::optional<std::string> isImageFile(const std::string& path);
  // The type identifier the file's contents name; nothing when none.
  static std::optional<std::string> imageFileUTI(const std::string& path);
  // Whether the platform's image reader can read the file.
  static bool pasteboardImageTestWithURL(const std::string& path);
  // Loader kinds from the file's own extension (may be empty) and the
  // detection result; comparisons ignore case.
  static LoaderKind verifyPDFAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types);
  static LoaderKind verifyEPSAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types);
  static LoaderKind verifyAIAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types);
  static LoaderKind verifyPSDAndExtensionFromExt(std::string_view ext, const FileTypeDetection& types);

  // ---- Size checks and settings verification ---------------------------------
  // Once per file: adjusts info to the output (colour models, largest
  // representation only, GIF to GIF) and forces the pipeline where a setting
  // needs it.
  void verifyConditionsForImageInfo(ImageModifyInfo& info, const std::optional<FileTypeDetection>& types,
                                    const BitmapRepList* psdReps) const;
  // Icon outputs: large sources are left to the icon writer's own scaling.
  void verifyIconsetSizeForImageInfo(ImageModifyInfo& info, raster::Size pixelSize) const;
  // PSD outputs hold RGB only.
  void verifyPSDOriginalColorSpaceForBmpRep(const BitmapRepRef& rep, ImageModifyInfo& info,
                                            const BitmapRepList* psdReps) const;
  // The target size from the size settings, before the fitting rules;
  // originalDpiFactor is the source's points per pixel.
  static raster::Size verifyResizeSizeFromPixelSize(raster::Size pixelSize, double originalDpiFactor,
                                                    ImageModifyInfo info);
  // Applies crops, rotations, the fitting rules, the output's size rules
  // and the 10000-pixel limit to size, in place.
  void verifyPixelAvailabilityForSize(raster::Size& size, raster::Size pixelSize, ImageModifyInfo& info);
  // The pixel size of the representation with most pixels (the first of
  // equals; entries without pixels never win); sets indexMaxPixels to its
  // position. (0, 0) and index 0 when there is none.
  raster::Size verifyImagePixelSize(const BitmapRepList& reps);
  // Sets indexMaxPixels to the result's largest representation (0 when none
  // has pixels), optionally never choosing ignoredIndex.
  void verifyImagePixelSizeForResultedImage(const raster::ImageSet& image);
  void verifyImagePixelSizeForResultedImage(const raster::ImageSet& image, std::int64_t ignoredIndex);
  // The value converted between units (0 factor, 1 pixels, 2 inches,
  // 3 centimetres, 4 millimetres, 5 points); -1 when it cannot be.
  static double convertFormat(std::int64_t fromUnit, std::int64_t toUnit, double value, double dpi);

  // ---- Render pipeline (imported_image_render*.cpp) ---------------------------
  // The bitmap context a representation is drawn into: bitmapInfo holds the
  // alpha layout in its low five bits (raster::AlphaInfo values) and 0x100
  // for float components.
  struct BitmapContextSetup {
    bool isValid = true;
    bool useGenericRGB = false;
    std::uint64_t bitsPerComponent = 8;
    std::uint32_t bitmapInfo = 0;
  };
  static constexpr std::uint32_t kBitmapInfoAlphaMask = 0x1F;
  static constexpr std::uint32_t kBitmapInfoFloatComponents = 0x100;

  // Draws rep at size (points; the pixel size is each side rounded up in
  // single precision) through the transform, filter, lookup-table, curve,
  // depth, face, composite, border and watermark stages. Answers rep itself,
  // drawn in place, when its layout already fits, else a new representation;
  // either way sized size. nullptr when the representation cannot be drawn
  // or the automatic adjustment rejects the image.
  BitmapRepRef drawInCGContextFromBmpRep(const BitmapRepRef& rep, const ci::ImageRef& depthImage,
                                         raster::Size size, ImageModifyInfo info);
  static BitmapContextSetup setupCGContextForValues(const BitmapRepRef& rep, const ImageModifyInfo& info);
  // Whether the scale type's transform runs through the filter graph.
  static bool needsCIContextTransformForImageInfo(const ImageModifyInfo& info);
  // Whether any stage needs the filter engine's context.
  static bool needsCIContextForImageInfo(const ImageModifyInfo& info);
  // Draws source transformed for scaleType into context (through the
  // filter engine's context, which must exist for the filter-graph types).
  // The plain stretch types draw only when drawImageInContext is set.
  void applyImageTransformToCGImage(const raster::ImageRef& source, raster::BitmapContext* context,
                                    std::int64_t scaleType, raster::Size pixelSize, double cropOriginX,
                                    double cropOriginY, double stretchValue, double cropValue,
                                    bool scaleBeforeCrop, double unrotatedWidth, double unrotatedHeight,
                                    raster::Size cropSize, double rotationAngle, bool drawImageInContext);
  // The same transform as a graph image; nullptr for a missing image.
  ci::ImageRef applyImageTransformToCIImage(const ci::ImageRef& image, std::int64_t scaleType,
                                            raster::Size pixelSize, double cropOriginX, double cropOriginY,
                                            double stretchValue, double cropValue, bool scaleBeforeCrop,
                                            double unrotatedWidth, double unrotatedHeight,
                                            raster::Size cropSize, double rotationAngle,
                                            bool drawImageInContext);
  // image moved so that its extent starts at (0, 0); nullptr for nullptr.
  static ci::ImageRef translateToZeroOriginCIImage(const ci::ImageRef& image);
  static FaceOptions updateFacesOptionsWithInfo(const ImageModifyInfo& info);
  // Fills the four border strips (sizes are fractions of half the side)
  // with color at borderOpacity; overlapping corners are covered once.
  static void addBorderWithCGContext(raster::BitmapContext* context, bool preserveBorderRatio,
                                     double topMargin, double bottomMargin, double leftMargin,
                                     double rightMargin, double borderOpacity, const raster::Color& color);
  // The settings' composite over the pending image (unfiltered is the
  // image before the filter slots, for composite type 0).
  void compositeWithContext(raster::BitmapContext* context, const raster::ImageRef& unfiltered,
                            const ImageModifyInfo& info);
  // The settings' border, then the text, date and image watermarks: the
  // last stages of every draw.
  void addBorderAndWatermarksWithContext(raster::BitmapContext* context, const ImageModifyInfo& info);
  // The settings' border alone.
  static void addBorderWithInfo(raster::BitmapContext* context, const ImageModifyInfo& info);
  // Stages shared by the main draw and the preview. image transformed like
  // the picture (through the graph) and moved to the origin.
  ci::ImageRef transformedGraphImage(const ci::ImageRef& image, raster::Size pixelSize,
                                     const ImageModifyInfo& info);
  // The depth image scaled to the source and transformed; nullptr without
  // the depth effect.
  ci::ImageRef transformedDepthImageForInfo(const ci::ImageRef& depthImage, const raster::ImageRef& source,
                                            raster::Size pixelSize, const ImageModifyInfo& info);
  // The tiny planet of source drawn through the filter engine's context.
  void drawTinyPlanetWithInfo(const raster::ImageRef& source, raster::Size pixelSize,
                              const ImageModifyInfo& info);
  // The filter slots, lookup table, tone curves and the depth effect before
  // compositing; answers the snapshot taken before them when the composite
  // or the depth effect needs it.
  raster::ImageRef applyFilterStagesWithContext(raster::BitmapContext* cg, const ci::ImageRef& depth,
                                                const ImageModifyInfo& info);
  void applyDepthWithContext(raster::BitmapContext* cg, const raster::ImageRef& unfiltered,
                             const ci::ImageRef& depth, const ImageModifyInfo& info);

  // ---- Preview (imported_image_preview*.cpp) -----------------------------------
  // The most pixels a preview has.
  static constexpr double kPreviewPixelCap = 3145728;
  // The preview of image's first representation with a copy of info: the
  // settings rescaled so that the downsampled copy shows what the full-size
  // image (imagePreviewOriginalSize) would give, without watermarks, face
  // crops, the eye-blink veto or alpha output, at most kPreviewPixelCap
  // pixels, with the icon look and the output profile. While the size stays,
  // contextImage's first representation is drawn in place and contextImage
  // itself is answered. Sets imagePreviewSize. nullptr when nothing can be
  // drawn. Safe on any thread; holds renderMutex() while drawing.
  std::shared_ptr<raster::ImageSet> resizePixelSizeForImage(
      const std::shared_ptr<raster::ImageSet>& image, const std::shared_ptr<raster::ImageSet>& contextImage,
      const ci::ImageRef& depthImage, double imageDpi, ImageModifyInfo info);
  // The preview's draw of rep at size: contextRep when it has the target's
  // pixel size (drawn in place), else a new 8-bit RGBA representation in
  // rep's RGB space (sRGB for sources of other models). nullptr when no
  // context can be had.
  BitmapRepRef drawInCGContextFromBmpRep(const BitmapRepRef& rep, const BitmapRepRef& contextRep,
                                         const ci::ImageRef& depthImage, raster::Size contextSize,
                                         raster::Size size, ImageModifyInfo info);
  // Whether the settings change the pixels of an image at all.
  static bool verifyResizeConditionsForImageInfo(const ImageModifyInfo& info);
  // imagePreviewSize = the output size info gives for the full-size image
  // (imagePreviewOriginalSize at imagePreviewOriginalDpi), each side rounded
  // up in single precision.
  void simulateOriginalSizeWithInfo(ImageModifyInfo info);
  // Forgets previewCIContext. Filter contexts are made fresh for every
  // render, so previewCIContext never outlives the bitmap it draws into.
  void clearCGPreviewContext();
  // The settings a preview of a sourcePixelSize copy is drawn with: sizes
  // rescaled against imagePreviewOriginalSize, the preview's overrides and
  // the output checks for PNG.
  ImageModifyInfo previewSettingsForInfo(ImageModifyInfo info, raster::Size sourcePixelSize) const;
  // The preview's target size for the settings, capped at kPreviewPixelCap
  // (unrotatedWidth and unrotatedHeight shrink alike); nothing when no
  // finite size above 0 results.
  std::optional<raster::Size> previewTargetSize(ImageModifyInfo& info, raster::Size sourcePixelSize,
                                                double imageDpi);

  // ---- Watermarks (imported_image_watermarks.cpp) ------------------------------
  // Draws the picture watermark, then the text or date watermark, into
  // context: sizes scale by min(width / 1600, height / 1200), origins are
  // percent of the width and height from the lower left, angles turn
  // clockwise. Opacities are clamped to 0..1; a picture with no area, a size
  // factor that is not positive, a non-finite origin or an empty text skip
  // their mark, a non-finite angle turns nothing. With the date, the image's
  // date (when there is one) is formatted in dateStyle 1..4 (no text for
  // other styles) into watermarkDrawDate, which is the text.
  void drawTextAndImageWithContext(raster::BitmapContext* context, ImageModifyInfo info);

  // ---- Colour-model draws (imported_image_color_model.cpp, imported_image_alpha_merge.cpp)
  // Colour-model conversion of a representation; with resizeImage it is
  // drawn at redrawTo pixels. nullptr when nothing could be produced.
  BitmapRepRef convertColorSpaceForBitmapRep(const BitmapRepRef& rep, std::int64_t colorSpaceModel,
                                             std::int64_t colorSpaceType, bool preserveCMYKAlpha,
                                             bool resizeImage, raster::Size redrawTo, ImageModifyInfo info);
  // Draws of CMYK and gray representations keeping their alpha.
  BitmapRepRef drawInCGContextCMYKWithAlphaFromRep(const BitmapRepRef& rep, raster::Size size,
                                                   ImageModifyInfo info);
  BitmapRepRef drawInCGContextGrayWithAlphaFromRep(const BitmapRepRef& rep, raster::Size size,
                                                   std::int64_t convertTo, ImageModifyInfo info);

  // ---- Colour-model conversion (imported_image_color_model.cpp,
  // imported_image_alpha_merge.cpp, imported_image_conversion_redraw.cpp) -------
  // Whether rep takes the gray-with-alpha or CMYK-with-alpha route: nothing
  // when it does not; otherwise the result (rep itself when kept, the drawn
  // representation, or nullptr when the draw produced nothing).
  std::optional<BitmapRepRef> verifyGrayAndCMYKAlphaConditionsForBitmapRep(
      const BitmapRepRef& rep, std::int64_t colorModel, std::int64_t colorSpaceType, bool resizeImage,
      raster::Size redrawTo, ImageModifyInfo info);
  // Whether rep is already in the installed profile of the code (8 + index
  // into profiles), compared by colour-space name.
  bool sameColorSpaceForColorSpace(std::int64_t colorSpaceType, const BitmapRepRef& rep) const;
  // rep's own gray (CMYK) space when it has one, else generic gray (CMYK).
  static raster::ColorSpaceRef assignGrayColorSpaceForBmpRep(const BitmapRepRef& rep);
  static raster::ColorSpaceRef assignCMYKColorSpaceForBmpRep(const BitmapRepRef& rep);
  // Output bits per component (8, 16 or 32 float) from imageDepth, or from
  // the source's bits per sample when imageDepth is 0 or unknown.
  static int sampleDepthForBitmapRep(const BitmapRepRef& rep, const ImageModifyInfo& info);
  // Makes the picture the filters start from out of the transformed
  // context's picture; nullptr keeps the context's own.
  using FilterInputMaker = std::function<raster::ImageRef(const raster::Image& transformed)>;
  // The colour conversion's render on a prepared context of the target
  // size: transform, filter slots, faces, composite, border and watermarks.
  // Answers the context's picture, or nullptr when the automatic adjustment
  // rejects the image. A context without alpha cannot hand transparency to
  // the filters; filterInput can give them a picture that has it. The caller
  // holds renderMutex().
  raster::ImageRef redrawForColorConversion(raster::BitmapContext* context, const raster::ImageRef& source,
                                            const ImageModifyInfo& info,
                                            const FilterInputMaker& filterInput = {});
  // Merges of the colour pass and the alpha pass into gray + alpha (CMYK +
  // alpha), one pixel after the other over size (truncated to integers).
  // Alpha sits in a 1-byte alpha-only pixel at 8 bits and in the A of an
  // RGBA pixel at 16 and 32 bits; colour is clamped to at most its alpha so
  // the premultiplied result stays valid.
  static void updateBytes8IntegerFromGray(const std::uint8_t* gray, const std::uint8_t* alpha,
                                          std::uint8_t* grayAlpha, raster::Size size);
  static void updateBytes16IntegerFromGray(const std::uint8_t* gray, const std::uint8_t* alpha,
                                           std::uint8_t* grayAlpha, raster::Size size);
  static void updateBytes32FloatFromGray(const std::uint8_t* gray, const std::uint8_t* alpha,
                                         std::uint8_t* grayAlpha, raster::Size size);
  static void updateBytes8IntegerFromCMYK(const std::uint8_t* cmyk, const std::uint8_t* alpha,
                                          std::uint8_t* cmykAlpha, raster::Size size);
  static void updateBytes16IntegerFromCMYK(const std::uint8_t* cmyk, const std::uint8_t* alpha,
                                           std::uint8_t* cmykAlpha, raster::Size size);
  static void updateBytes32FloatFromCMYK(const std::uint8_t* cmyk, const std::uint8_t* alpha,
                                         std::uint8_t* cmykAlpha, raster::Size size);

  // ---- Conversion driver (imported_image_driver*.cpp) -------------------------
  // Converts the file at path into one image in memory: detection, the
  // keep-original-type rule, loading, the size checks and one result
  // representation per source representation. originalFileType (when given)
  // receives the detected type code whenever detection succeeds. Works on a
  // copy of modifyInfo. nullptr when the file cannot be converted.
  std::shared_ptr<raster::ImageSet> resizePixelSizeForURL(const std::string& path, ImageModifyInfo modifyInfo,
                                                          std::int64_t* originalFileType,
                                                          const ci::ImageRef& depthImage);
  // The keep-original-type rule on info, in place, from the detection result
  // (or nothing) and a type code (-1 when the detection result decides).
  static void verifyKeepOriginalFileTypeForImageInfo(ImageModifyInfo& info,
                                                     const std::optional<FileTypeDetection>& types,
                                                     std::int64_t originalFileType);
  // Whether a PSD converted to this type is read as its layers (layered
  // outputs and TIFF) rather than as one flat picture.
  static bool loadsPSDLayersForConversionType(std::int64_t conversionType);
  // Whether at least one entry is a representation.
  static bool verifyBitmapRepsForImageReps(const BitmapRepList& reps);
  // A layered source's appended composite never counts as the largest
  // representation of a PSD output.
  void verifyIndexForPSDFlattenedRepWithOriginalExt(LoaderKind loaderKind, const ImageModifyInfo& info,
                                                    const raster::ImageSet& image);

  // ---- PSD output (imported_image_psd_output.cpp) ---------------------------
  // The canvas of a layered PSD source in pixels, (0, 0) when unknown; with
  // the source's composite appended, layer offsets scale by the composite's
  // rendered size over this canvas.
  raster::Size psdCanvasSize;
  // The driver's result representations that psdInfoArray describes; the
  // records never apply to another image (a batch collection, a later file).
  std::vector<std::weak_ptr<raster::BitmapImageRep>> psdInfoRepresentations;
  // A layered writer of the bitmap's pixel size and dpi, with its profile.
  std::unique_ptr<RWPSDWriter> createPSDWriterForBmpRep(const BitmapRepRef& rep) const;
  // A layered writer for every representation of image: the size of the
  // source's canvas (its appended composite) when there is one, else the
  // largest width and height over the representations; 72 dpi.
  std::unique_ptr<RWPSDWriter> createPSDWriterForImage(const raster::ImageSet& image,
                                                       const BitmapRepRef& maxRep) const;
  // The largest pixel width and the largest pixel height over all representations.
  static raster::Size verifyPSDMaxContentRectForImage(const raster::ImageSet& image);
  // Chooses the writer's embedded profile from the bitmap's colour space or
  // the installed profile the conversion used.
  void setupProfileForImageRep(const BitmapRepRef& rep, RWPSDWriter& writer) const;
  void verifyGenericProfileForPSDWriter(RWPSDWriter& writer, const BitmapRepRef& rep) const;
  // The bitmap as one layer "Layer 0".
  static void drawPSDSingleLayerWithPSDWriter(RWPSDWriter& writer, const BitmapRepRef& rep);
  // Every representation as a layer, bottom-most first, with the names,
  // opacities, offsets, blend modes and groups of psdInfoArray.
  void drawPSDLayersWithPSDWriter(RWPSDWriter& writer, const raster::ImageSet& image) const;
  // The four-character key of a blend code; "norm" for unknown codes.
  static std::string stringForBlendMode(std::uint32_t code);
  // Moves every representation of image into array and forgets the
  // source's metadata and layer records.
  void transferBitmapRepsFromImage(raster::ImageSet& image, BitmapRepList& array);

  // ---- Input loaders (imported_image_loaders*.cpp) --------------------------
  // Each answers new bitmap representations, or nothing when the file cannot
  // be read that way.
  // One bitmap per page, every page drawn at page 1's size raised to the
  // pixel size of its largest embedded image (at most 10000 pixels a side,
  // keeping the aspect ratio); each in points is page 1's size.
  std::optional<BitmapRepList> setPdfBmpImageRepWithURL(const std::string& path);
  // The pixel size to draw a PDF at: the page rectangle's size truncated,
  // raised to the largest "Width" and "Height" of page 1's image XObjects.
  raster::Size verifyPDFSizeForURL(const std::string& path, raster::Rect pdfRect);
  // verifyPDFSizeForURL brought back to the page's aspect ratio and capped
  // at 10000 pixels a side; (0, 0) when no usable size results.
  raster::Size PDFSizeWithURL(const std::string& path, raster::Size size);
  // The bounding box at one pixel per point (at most 10000 pixels a side,
  // keeping the aspect ratio); in points the box's size.
  std::optional<BitmapRepList> setEpsBmpImageRepWithURL(const std::string& path) const;
  // The first representation at one pixel per point, when its size is above
  // 0 and at most 10000 points a side.
  std::optional<BitmapRepList> setAIImageWithURL(const std::string& path) const;
  // One bitmap per leaf layer with pixels, top-most first; psdInfoArray gets
  // one layer record per bitmap and psdCanvasSize the document's size. Both
  // are cleared first.
  std::optional<BitmapRepList> setPSDImageWithURL(const std::string& path);
  // One bitmap per frame that decodes, its size in points its pixel size.
  std::optional<BitmapRepList> bitmapRepsGIFFromURL(const std::string& path) const;
  // Every representation the platform's reader finds whose size is above 0
  // and at most 10000 points a side, as a bitmap of that size in points.
  std::optional<BitmapRepList> setGenericImageWithURL(const std::string& path) const;
  // The position of the first representation with the most pixels; 0 for an
  // empty list.
  static std::int64_t verifyGenericImagePixelSizeForRepsArray(const BitmapRepList& reps);

  // ---- Metadata and image dates (imported_image_metadata.cpp) ---------------
  using MetadataSource = std::shared_ptr<imageio::ImageSource>;
  // Drops earlier metadata and opens a source on the file; when it opens,
  // imageMetadataArray starts empty. nullptr when it does not.
  MetadataSource prepareMetadataArrayForURL(const std::string& path);
  // Appends the properties of source image repIndex (image 0 when the source
  // has fewer images; an empty dictionary without source or properties).
  // Nothing when imageMetadataArray is not kept.
  void updateMetadataDictionaryForSource(const MetadataSource& source, std::int64_t repIndex);
  // Appends the file-level properties when the array has entries, then lets
  // go of the source.
  void releaseMetadataSource(MetadataSource source);
  // imageMetadataArray becomes nothing.
  void releasePropertiesAndMetadata();
  // watermarkDrawDate becomes "" and watermarkMetadataDate the image's date:
  // EXIF DateTimeOriginal, else DateTimeDigitized, else the file's creation
  // date. source may be nullptr; one is opened on path then.
  void updateImageDateWithURL(const std::string& path, const MetadataSource& source);
  // "yyyy:MM:dd HH:mm:ss" in the local time zone, whatever the locale.
  static std::optional<foundation::Date> dateFromString(std::string_view text);
  // The file's creation date; nothing when it cannot be read.
  static std::optional<foundation::Date> dateFromFileManager(const std::string& path);
  // The image's date as "yyyy - MM - dd", today's when it has none.
  static std::string stringDateWithURL(const std::string& path);
  // Today as "yyyy - MM - dd".
  static std::string genericDateString();

  // ---- Opening results (imported_image_open_with.cpp) -------------------------
  // Hands the files to the target of the open-with code: 1 the default
  // application of the first file, 2 an image viewer, 3 and 4 photo
  // managers, 5 the mail program with the files attached, 6 to 8 image
  // editors, 14 the application at openWithAppID's "AppFullPath". Each file
  // goes once, in list order. Answers whether the desktop accepted the
  // request; urls is empty afterwards on every path.
  bool openURLs(std::vector<std::string>& urls, std::int64_t code);
  // Whether the code's target is available (for code 1: whether JPEG images
  // have a default application other than this one).
  bool canOpenWithApplicationType(std::int64_t code) const;
  // The desktop-file id of the installed application of that name; empty
  // when none is installed.
  static std::string bundleIdentifierForApplicationName(std::string_view name);

  // ---- Output writers (imported_image_writer*.cpp) ----------------------------
  // Every writer answers whether it wrote its file(s), appends each file it
  // wrote to urlsArray and lets go of imageMetadataArray once it has used it.
  // Files are written to a temporary file and renamed into place, so a failed
  // write leaves no file behind and an older file as it was. Float images
  // are written without NaN or infinite components.

  // Writes image as conversionType (ConversionType codes) to path: the
  // representation at indexMaxPixels (reset to 0 when out of range), or for
  // JPEG, PNG and PSD of several representations one file each. With
  // preserveMetadata and metadata to keep the file carries it; otherwise, or
  // when that write fails, it is written without. Codes 7, 8 and unknown
  // codes write nothing. Face crops are saved first.
  bool saveImage(const raster::ImageSet& image, std::int64_t conversionType, const std::string& path,
                 std::int64_t originalFileType, double jpegCompression, std::int64_t doTiffCompress,
                 bool preserveMetadata, bool iOSIconsetOw, bool addCorners, bool addShadow);
  // One image of type (an image-destination type identifier) with the
  // metadata record at index of imageMetadataArray (an empty one beyond it),
  // the representation's resolution and depth, orientation 1, and the JPEG
  // quality or TIFF compression. Without metadata only a JPEG with an
  // exported depth image is written. releaseMetadataAndUpdateTags releases
  // the metadata afterwards and tags the file.
  bool createCGImageAndSaveMetadataFromBitmapRep(const BitmapRepRef& rep, std::int64_t index,
                                                 const std::string& type, const std::string& path,
                                                 double jpegCompressionFactor, std::int64_t doTIFFCompression,
                                                 bool releaseMetadataAndUpdateTags);
  // Every representation to a file of its own (type JPEG or PNG): path,
  // then its free names (photo 2.jpg, ...). false when any file failed; the
  // files written stay. No tags.
  bool saveMultipleFilesFromImage(const raster::ImageSet& image, const std::string& type,
                                  bool preserveMetadata, const std::string& initialFilePath,
                                  double jpegCompression, double tiffCompression);
  // path when nothing exists there, else the first free "name N.ext" from 2.
  static std::string createFileNameWithPath(const std::string& path);
  // Compression: 5 (LZW) for setting 1, 32773 (PackBits) for 2, else 1.
  static void setTIFFCompressionForDictionary(foundation::Dictionary& dictionary, std::int64_t compression);
  // ResolutionUnit 2 (inches) and both resolutions.
  static void setTIFFResolutionForDictionary(foundation::Dictionary& dictionary, double resolution);
  // All representations as the pages of one TIFF. An info array holds one
  // array per source file: its per-representation records, then its file
  // record. With preserveMetadata and an info array the pages carry their
  // records; otherwise, or when that fails, they are written without.
  bool saveATiffVersionFromImage(const raster::ImageSet& image, const std::string& path,
                                 std::int64_t doCompression, double factor, bool preserveMetadata,
                                 const std::optional<foundation::Array>& imageInfoArray);
  bool createCGImageTIFFMultipleRepsAndSaveMetadataFromImage(const raster::ImageSet& image,
                                                             const std::string& path,
                                                             std::int64_t doTIFFCompression,
                                                             const foundation::Array& dictionaryArray);
  // All representations as the frames of one GIF with their source records
  // and the file's GIF properties; otherwise, or when that fails, only the
  // representation at indexMaxPixels without metadata.
  bool saveAGifVersionFromImage(const raster::ImageSet& image, const std::string& path, bool preserveMetadata,
                                const std::optional<foundation::Array>& imageInfoArray);
  bool createCGImageGIFMultipleRepsAndSaveMetadataFromImage(const raster::ImageSet& image,
                                                            const std::string& path,
                                                            const foundation::Array& dictionaryArray);
  // One PDF page per representation at its physical size.
  bool createPDFMultipleRepsAndSaveMetadataFromImage(const raster::ImageSet& image, bool preserveMetadata,
                                                     const std::string& path);
  // One TIFF holding rep at 144 dpi and a half-size copy at 72 dpi, drawn
  // with settingsForHalfSizePage(info); the metadata record at index (else
  // at indexMaxPixels) when info.preserveMetadata and metadata exist. rep's
  // size in points becomes half its pixel size.
  bool saveImageReps2xTIFFFromBitmapRep(const BitmapRepRef& rep, std::int64_t index, const std::string& path,
                                        ImageModifyInfo info);
  // The settings the half-size page of a 2x TIFF is drawn with: a plain
  // Lanczos scale of the already processed picture, every effect off.
  static ImageModifyInfo settingsForHalfSizePage(ImageModifyInfo info);
  // HEIF without source metadata, with the exported depth image when there
  // is one. releaseMetadataAndUpdateTags as above.
  bool saveHEIFFromBitmapRep(const BitmapRepRef& rep, std::int64_t index, const std::string& path,
                             bool releaseMetadataAndUpdateTags);
  bool writeHEIFImageWithCGImage(const raster::ImageRef& image, const std::string& path);
  // exportedDepthImage at half scale, moved to the origin, as the disparity
  // map a destination stores with its image; nothing without one or when it
  // cannot be rendered.
  std::optional<imageio::DepthData> exportDepthImageToDestination() const;
  // A flattened one-image PSD with the representation's resolution and
  // depth, without source metadata.
  bool createCGImagePSDFromBitmapRep(const BitmapRepRef& rep, const std::string& path, bool updateTags);
  // Gives the file actFileTags when there are some; failures are ignored.
  void updateTagsForFileName(const std::string& path) const;

  // The filter engine's face crops as "face_0.png", ... in a new folder
  // "Faces_<path's base name>" beside path (the first free "name N"), then
  // forgets them. When the folder cannot be made they are dropped with a
  // log line; a failed file is skipped.
  void saveCropFaceRepsToFile(const std::string& path);

  // ---- Icon sets (imported_image_icon_sets.cpp) -------------------------------
  // Every icon is 8-bit RGBA sRGB at 72 dpi, scaled from one master drawn
  // once from rep: 1024 × 1024 with rep fitted and centred (transparent
  // margins), or rep's own size for the @2x folder; with the icon look
  // (rounded corners, shadow) when asked. A file written completely is
  // added to urlsArray; for the folders only when every file was written.
  // An ICNS file of ten entries, 1024 px at 144 dpi down to 16 at 72.
  bool saveIcnsFromImageRep(const BitmapRepRef& rep, const std::string& path, bool addRoundedCorners,
                            bool addShadow);
  // Folders beside path named after its base name ("photo_Xcode Iconset",
  // "photo_iOS Icons", "photo_Xcode @2X"): without overwrite the first free
  // "name N"; with it an existing folder is reused. false without writing
  // anything when the folder cannot be made; else every file is tried and
  // false when any failed (the written ones stay). The @2x folder holds
  // "photo@2x.png" and the half-size "photo.png" (sides truncated; a side of
  // 0 pixels makes that file fail).
  bool saveXcodeIconsetFromImageRep(const BitmapRepRef& rep, const std::string& path, bool overwrite,
                                    bool addRoundedCorners, bool addShadow);
  bool saveIOSIconsetFromImageRep(const BitmapRepRef& rep, const std::string& path, bool overwrite,
                                  bool addRoundedCorners, bool addShadow);
  bool saveXcode2XSetFromImageRep(const BitmapRepRef& rep, const std::string& path, bool overwrite,
                                  bool addRoundedCorners, bool addShadow);
  // path when nothing exists there, else the first free "path N" from 2.
  static std::string verifyIOSPathName(const std::string& path);
  // The master draw: destination cleared, then source scaled into rect with
  // the icon look (its measures scale by rect's size × dpiFactor / 1024).
  static void drawInRoundedBmpRep(const BitmapRepRef& destination, const BitmapRepRef& source,
                                  raster::Rect rect, double dpiFactor, bool addRoundedRect, bool addShadow);
  // source scaled into rect over destination's pixels, high quality.
  static void drawInBmpRep(const BitmapRepRef& destination, const BitmapRepRef& source, raster::Rect rect);
  // source's aspect ratio fitted into target's size / scaling, times
  // scaling, centred in it (target's origin is ignored); the two ratios are
  // compared in single precision.
  static raster::Rect calcRectFromRect(raster::Rect source, raster::Rect target, double scaling);
  // DPIWidth and DPIHeight.
  static foundation::Dictionary createDictionaryWithDpiW(double dpiWidth, double dpiHeight);
  // PSD output (imported_image_psd_files.cpp). One flattened image through
  // the image destination, with the source's metadata when asked and kept.
  bool savePSDOneLayerForBmpRep(const BitmapRepRef& rep, std::int64_t index, const std::string& path,
                                bool preserveMetadata, bool clearMetadataAndUpdateTags);
  // Every representation to a flattened file of its own: the path, then
  // "name 2.psd", "name 3.psd", ...; false when any file failed (the written
  // ones stay). No tags.
  bool saveMultiplePSDFilesFromImage(const raster::ImageSet& image, bool preserveMetadata,
                                     const std::string& initialFilePath);

 private:
  mutable std::mutex propertyLock_;
  ImageModifyInfo imageModifyInfo_;
  std::optional<std::vector<std::string>> actFileTags_;
  raster::Point compositeImageOrigin_{50, 50};
  std::weak_ptr<ci::Filter> lutFilter_;
  std::weak_ptr<ci::Filter> toneCurveFilter_;
  std::weak_ptr<ci::Filter> redCurveFilter_;
  std::weak_ptr<ci::Filter> greenCurveFilter_;
  std::weak_ptr<ci::Filter> blueCurveFilter_;
  raster::Size imagePreviewOriginalSize_;
  raster::Size imagePreviewSize_;
  raster::Size cropOriginalSize_;
  // A batch worker's own copies of the LUT and curve filters, which the
  // weak references above name (a converter's are owned by its window).
  std::vector<ci::FilterRef> workerFilters_;

  PdfInfo pdfInfo_;
  std::mutex renderMutex_;
};

}  // namespace velumar
