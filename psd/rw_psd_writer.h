#pragma once
// Builds a layered PSD file (RGB, 8 bits per channel) in memory. The caller
// sets up the document, adds layers and groups from the bottom of the stack
// to the top and asks for the file's bytes. Layers are also drawn into a
// flattened bitmap, with their blend modes and opacities, which becomes the
// file's composite image.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/color/icc_profile.h"
#include "platform/raster/bitmap_context.h"
#include "platform/raster/geometry.h"
#include "platform/raster/image.h"
#include "psd/rw_psd_blend_modes.h"
#include "psd/rw_psd_error.h"
#include "psd/rw_psd_group_layer.h"
#include "psd/rw_psd_layer.h"

namespace velumar {

struct RWPSDResolution {
  float hResolution = 72.0f;  // pixels per inch
  float vResolution = 72.0f;
};

// One group a layer lies in, as a loader describes it; groupId tells apart
// groups that share a name.
struct RWPSDGroupInfo {
  std::int64_t groupId = 0;
  std::string name;
  float opacity = 1.0f;
  std::string blendMode = "norm";
  bool isOpened = true;
};

class RWPSDWriter {
 public:
  // The largest width or height a PSD file can have.
  static constexpr std::int64_t kMaximumSide = 30000;

  // Size 0 x 0, 72 pixels per inch, transparent layers, no layers.
  RWPSDWriter();
  explicit RWPSDWriter(raster::Size documentSize);
  // unit 1: pixels per inch; 2: pixels per centimetre (stored as per inch).
  RWPSDWriter(raster::Size documentSize, float resolution, std::int32_t resolutionUnit);
  RWPSDWriter(raster::Size documentSize, bool hasTransparentLayers,
              std::vector<std::shared_ptr<RWPSDLayer>> layers);
  RWPSDWriter(raster::Size documentSize, float resolution, std::int32_t resolutionUnit,
              bool hasTransparentLayers, std::vector<std::shared_ptr<RWPSDLayer>> layers);
  ~RWPSDWriter();
  RWPSDWriter(const RWPSDWriter&) = delete;
  RWPSDWriter& operator=(const RWPSDWriter&) = delete;

  const raster::Size& documentSize() const { return documentSize_; }
  // Gives the size to every layer and rebuilds the flattened image.
  void setDocumentSize(raster::Size size);
  const RWPSDResolution& documentResolution() const { return documentResolution_; }
  std::int32_t documentResolutionUnit() const { return documentResolutionUnit_; }

  // 0 no profile; 1 generic RGB; 2 sRGB; 3 Adobe RGB (1998); other values
  // the generic profile (generic RGB without one).
  std::int32_t colorProfile() const { return colorProfile_; }
  void setColorProfile(std::int32_t choice);
  const color::ProfileRef& genericProfile() const { return genericProfile_; }
  void setGenericProfile(color::ProfileRef profile);
  // The profile embedded in the file (nullptr for choice 0). Layers and the
  // flattened image are written in its colour space; without one in sRGB,
  // as readers take a file without a profile.
  color::ProfileRef documentProfile() const;

  bool hasTransparentLayers() const { return hasTransparentLayers_; }
  std::int64_t numberOfChannels() const { return hasTransparentLayers_ ? 4 : 3; }

  const std::vector<std::shared_ptr<RWPSDLayer>>& layers() const { return layers_; }
  // Group layers and the layers with part of their image inside the document.
  std::vector<std::shared_ptr<RWPSDLayer>> visibleLayers() const;

  // The composite being drawn (document size, premultiplied RGBA); nullptr
  // while the document is empty.
  raster::BitmapContext* flattenedContext() { return flattenedContext_.get(); }
  // The composite's RGBA bytes as last written: colour matted against white
  // where it is transparent, the form PSD composites store.
  const std::vector<std::uint8_t>& flattenedData() const { return flattenedData_; }

  std::shared_ptr<RWPSDLayer> addLayerWithCGImage(raster::ImageRef image, std::string name);
  std::shared_ptr<RWPSDLayer> addLayerWithCGImage(raster::ImageRef image, std::string name, float opacity,
                                                  raster::Point offset);
  std::shared_ptr<RWPSDLayer> addLayerWithCGImage(raster::ImageRef image, std::string name, float opacity,
                                                  raster::Point offset, std::string blendMode,
                                                  bool addLayerToFlattenedImage);

  // Opens a group: the layers added next belong to it until it is closed.
  // The caller may set the returned layer's blend mode, which becomes the
  // group's.
  std::shared_ptr<RWPSDGroupOpeningLayer> openGroupLayerWithName(std::string name);
  std::shared_ptr<RWPSDGroupOpeningLayer> openGroupLayerWithName(std::string name, float opacity,
                                                                 bool isOpened);
  // Closes the newest open group; nullptr (error 3) when none is open.
  std::shared_ptr<RWPSDGroupClosingLayer> closeCurrentGroupLayer();
  std::shared_ptr<RWPSDGroupClosingLayer> closeCurrentGroupLayerWithError(RWPSDError* error);

  // Opens and closes groups so that the layers added next lie in path
  // (outermost group first): groups of the previous path that path does not
  // share are closed, the rest of path is opened. A group that holds only
  // other groups keeps its own attributes this way. Not to be mixed with
  // direct opening and closing.
  void setCurrentGroupPath(const std::vector<RWPSDGroupInfo>& path);

  // Draws the layer into the flattened image with its blend mode and
  // opacity; false (error 1) while the document is empty.
  bool addLayerToFlattenedContext(const RWPSDLayer* layer, RWPSDError* error);
  // Rebuilds the flattened image from the visible layers.
  void resetFlattenedContext();
  static raster::BlendMode blendModeForPSDBlendMode(std::string_view key) {
    return rwDrawingBlendModeForKey(key);
  }

  // Takes the flattened data, prepares layers that ask for it and closes
  // every group still open.
  void preprocess();

  // The whole file; empty on failure (no visible layer, a side over 30000
  // pixels, a length that overflows its field, missing pixel data).
  std::vector<std::uint8_t> createPSDData();
  std::vector<std::uint8_t> createPSDDataWithError(RWPSDError* error);

  void writeFileHeaderSectionOn(RWByteBuffer& buffer) const;
  void writeColorModeDataSectionOn(RWByteBuffer& buffer) const;
  void writeImageResourceSectionOn(RWByteBuffer& buffer) const;
  // false (error set) when the section cannot be written.
  bool writeLayerAndMaskInformationSectionOn(RWByteBuffer& buffer, RWPSDError* error);
  void writeImageDataSectionOn(RWByteBuffer& buffer) const;

  // The ICC profile bytes of resource 1039 (empty for choice 0).
  std::vector<std::uint8_t> iccProfileData() const;

 private:
  void appendLayer(const std::shared_ptr<RWPSDLayer>& layer);
  raster::ColorSpaceRef documentColorSpace() const;
  void documentColorSpaceChanged();
  void makeBlankFlattenedContext();

  raster::Size documentSize_;
  RWPSDResolution documentResolution_;
  std::int32_t documentResolutionUnit_ = 1;
  std::int32_t colorProfile_ = 0;
  color::ProfileRef genericProfile_;
  bool hasTransparentLayers_ = true;
  std::vector<std::shared_ptr<RWPSDLayer>> layers_;
  std::unique_ptr<raster::BitmapContext> flattenedContext_;
  std::int64_t layersDrawnIntoFlattened_ = 0;
  std::vector<std::uint8_t> flattenedData_;
  // Groups opened by setCurrentGroupPath, outermost first.
  std::vector<std::int64_t> openGroupPath_;
};

}  // namespace velumar
