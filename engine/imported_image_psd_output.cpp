// PSD output through the layered writer: the document of one bitmap or of a
// whole image, its colour profile, and its layers and groups rebuilt from
// the layer records of a layered source.

#include <algorithm>
#include <cmath>

#include "engine/imported_image.h"
#include "engine/profile.h"
#include "platform/foundation/log.h"
#include "psd/kd_psd_byte_order.h"
#include "psd/rw_psd_blend_modes.h"
#include "psd/rw_psd_writer.h"

namespace velumar {

namespace {

using foundation::Value;

// psdInfoArray when it describes image: one record per representation and,
// when the driver made the records, for these very representations. Records
// left from another image (a later file, a batch collection) are not used.
const foundation::Array& layerRecordsFor(const ImportedImage& engine, const raster::ImageSet& image) {
  static const foundation::Array none;
  const foundation::Array& records = engine.psdInfoArray;
  const auto& reps = image.representations();
  if (records.empty()) return none;
  bool describesImage = records.size() == reps.size();
  const auto& owners = engine.psdInfoRepresentations;
  if (describesImage && !owners.empty()) {
    describesImage = owners.size() == reps.size();
    for (std::size_t i = 0; describesImage && i < reps.size(); ++i)
      describesImage = owners[i].lock() == reps[i];
  }
  if (!describesImage) {
    foundation::log("psd output: {} layer records do not describe this image of {} representations; not used",
                    records.size(), reps.size());
    return none;
  }
  return records;
}

bool hasFlattenedImageMarker(const foundation::Array& infoArray) {
  if (infoArray.empty()) return false;
  const Value* marker = infoArray.back().get("Has Flattened Image");
  return marker && marker->boolOr(false);
}

float opacityFraction(const Value* value) {
  const std::int64_t opacity = value ? value->intOr(255) : 255;
  return float(std::clamp<std::int64_t>(opacity, 0, 255)) / 255.0f;
}

raster::Point offsetFrom(const Value* value) {
  if (!value) return {0, 0};
  if (const foundation::Array* pair = value->asArray(); pair && pair->size() == 2)
    return {(*pair)[0].doubleOr(0), (*pair)[1].doubleOr(0)};
  if (value->isDictionary())
    return {value->get("x") ? value->get("x")->doubleOr(0) : 0,
            value->get("y") ? value->get("y")->doubleOr(0) : 0};
  return {0, 0};
}

RWPSDGroupInfo groupFrom(const Value& record, std::int64_t groupId) {
  RWPSDGroupInfo group;
  group.groupId = groupId;
  const Value* name = record.get("Group Name");
  group.name = name ? name->stringOr("Group") : "Group";
  group.opacity = opacityFraction(record.get("Group Opacity"));
  const Value* blend = record.get("Blend Mode");
  group.blendMode = ImportedImage::stringForBlendMode(
      blend ? std::uint32_t(blend->intOr(fourCharCode("norm"))) : fourCharCode("norm"));
  const Value* opened = record.get("Is Opened");
  group.isOpened = opened ? opened->boolOr(true) : true;
  return group;
}

// Works out the groups of each layer, walking from the bottom of the stack.
// A record may carry its whole "Group Path" (outermost first, each with a
// "Group ID"); otherwise its one group comes from the record's own fields,
// a new group starting at the layer marked "Layer Index" -1 (a group's
// bottom-most layer) or where the group name changes.
class GroupPathTracker {
 public:
  std::vector<RWPSDGroupInfo> pathFor(const Value* layerInfo) {
    if (!layerInfo || !layerInfo->isDictionary() || layerInfo->asDictionary()->empty()) {
      previousName_.reset();
      return {};
    }
    if (const Value* path = layerInfo->get("Group Path"); path && path->asArray()) {
      std::vector<RWPSDGroupInfo> groups;
      for (const Value& record : *path->asArray()) {
        const Value* id = record.get("Group ID");
        groups.push_back(groupFrom(record, id ? id->intOr(0) : 0));
      }
      previousName_.reset();
      return groups;
    }
    const Value* nameValue = layerInfo->get("Group Name");
    const std::string name = nameValue ? nameValue->stringOr("Group") : "Group";
    const Value* index = layerInfo->get("Layer Index");
    const bool startsGroup = (index && index->intOr(1) == -1) || previousName_ != name;
    if (startsGroup) --currentId_;  // negative ids never meet those of explicit paths
    previousName_ = name;
    return {groupFrom(*layerInfo, currentId_)};
  }

 private:
  std::optional<std::string> previousName_;
  std::int64_t currentId_ = 0;
};

}  // namespace

std::string ImportedImage::stringForBlendMode(std::uint32_t code) {
  const std::string key = fourCharCodeText(code);
  for (std::string_view known : kRWPSDBlendModeKeys) {
    if (known == key) return key;
  }
  return std::string(kRWPSDBlendModeNormal);
}

raster::Size ImportedImage::verifyPSDMaxContentRectForImage(const raster::ImageSet& image) {
  raster::Size size{0, 0};
  for (const auto& rep : image.representations()) {
    if (!rep) continue;
    size.width = std::max(size.width, double(rep->pixelsWide()));
    size.height = std::max(size.height, double(rep->pixelsHigh()));
  }
  return size;
}

std::unique_ptr<RWPSDWriter> ImportedImage::createPSDWriterForBmpRep(const BitmapRepRef& rep) const {
  if (!rep) return nullptr;
  const float pixelWidth = float(rep->pixelsWide());
  const float pointWidth = float(rep->size().width);
  float resolution = pointWidth > 0 ? std::round(pixelWidth * 72.0f / pointWidth) : 72.0f;
  if (!(resolution > 0) || !std::isfinite(resolution)) resolution = 72.0f;
  auto writer = std::make_unique<RWPSDWriter>(
      raster::Size{double(rep->pixelsWide()), double(rep->pixelsHigh())}, resolution, 1);
  setupProfileForImageRep(rep, *writer);
  return writer;
}

std::unique_ptr<RWPSDWriter> ImportedImage::createPSDWriterForImage(const raster::ImageSet& image,
                                                                    const BitmapRepRef& maxRep) const {
  raster::Size size = verifyPSDMaxContentRectForImage(image);
  const auto& reps = image.representations();
  // A layered source's canvas is its composite, rendered like its layers;
  // the largest layer may be smaller (or larger) than the canvas.
  const foundation::Array& records = layerRecordsFor(*this, image);
  if (hasFlattenedImageMarker(records) && reps.back()) {
    size = {double(reps.back()->pixelsWide()), double(reps.back()->pixelsHigh())};
  } else if (!records.empty() && psdCanvasSize.width >= 1 && psdCanvasSize.height >= 1) {
    size = {std::floor(psdCanvasSize.width), std::floor(psdCanvasSize.height)};
  }
  if ((size.width == 0 || size.height == 0) && maxRep)
    size = {double(maxRep->pixelsWide()), double(maxRep->pixelsHigh())};
  auto writer = std::make_unique<RWPSDWriter>(size, 72.0f, 1);
  if (maxRep) setupProfileForImageRep(maxRep, *writer);
  return writer;
}

void ImportedImage::setupProfileForImageRep(const BitmapRepRef& rep, RWPSDWriter& writer) const {
  writer.setGenericProfile(nullptr);
  if (filteredColorSpace < 8) {
    const raster::ColorSpaceRef& space = rep ? rep->colorSpace() : nullptr;
    const std::string name = space ? space->name() : std::string();
    const auto adobe = raster::ColorSpace::named(color::NamedProfile::AdobeRGB1998);
    const auto srgb = raster::ColorSpace::sRGB();
    if (!name.empty() && adobe && name == adobe->name()) {
      writer.setColorProfile(3);
    } else if (!name.empty() && srgb && name == srgb->name()) {
      writer.setColorProfile(2);
    } else {
      verifyGenericProfileForPSDWriter(writer, rep);
    }
    return;
  }
  writer.setColorProfile(1);
  const std::size_t index = std::size_t(filteredColorSpace - 8);
  if (index >= profiles.size() || !profiles[index]) return;
  const std::shared_ptr<Profile>& chosen = profiles[index];
  const bool isRGB = std::any_of(profilesRGB.begin(), profilesRGB.end(),
                                 [&](const auto& p) { return p && (p == chosen || p->isEqual(chosen)); });
  if (!isRGB) return;
  if (color::ProfileRef ref = chosen->ref()) {
    writer.setGenericProfile(ref);
    writer.setColorProfile(4);
  }
}

void ImportedImage::verifyGenericProfileForPSDWriter(RWPSDWriter& writer, const BitmapRepRef& rep) const {
  writer.setColorProfile(1);
  const raster::ColorSpaceRef space = rep ? rep->colorSpace() : nullptr;
  if (!space || space->name().empty()) return;
  for (const auto& profile : profilesRGB) {
    if (!profile) continue;
    const raster::ColorSpaceRef candidate = profile->colorspace();
    if (!candidate || candidate->name() != space->name()) continue;
    if (color::ProfileRef ref = profile->ref()) {
      writer.setGenericProfile(ref);
      writer.setColorProfile(4);
    }
    return;
  }
}

void ImportedImage::drawPSDSingleLayerWithPSDWriter(RWPSDWriter& writer, const BitmapRepRef& rep) {
  if (!rep) return;
  writer.addLayerWithCGImage(rep->image(), "Layer 0", 1.0f, {0, 0});
}

void ImportedImage::drawPSDLayersWithPSDWriter(RWPSDWriter& writer, const raster::ImageSet& image) const {
  const auto& reps = image.representations();
  if (reps.empty()) return;
  const foundation::Array& records = layerRecordsFor(*this, image);
  const bool hasComposite = hasFlattenedImageMarker(records);
  const std::size_t layerCount = hasComposite ? reps.size() - 1 : reps.size();
  const bool drawIntoComposite = !hasComposite;

  // Offsets are in the source canvas's pixels; a resized canvas moves them
  // by the same factor as the layers.
  double scaleX = 1, scaleY = 1;
  if (hasComposite && reps.back() && psdCanvasSize.width >= 1 && psdCanvasSize.height >= 1) {
    scaleX = double(reps.back()->pixelsWide()) / psdCanvasSize.width;
    scaleY = double(reps.back()->pixelsHigh()) / psdCanvasSize.height;
  }
  // The document is the source's canvas as rendered (its composite), not
  // the largest layer a writer of one bitmap was sized by.
  if (hasComposite && reps.back()) {
    const raster::Size canvas{double(reps.back()->pixelsWide()), double(reps.back()->pixelsHigh())};
    if (writer.documentSize() != canvas) writer.setDocumentSize(canvas);
  }

  GroupPathTracker groups;
  std::int64_t number = 0;
  for (std::size_t i = layerCount; i-- > 0; ++number) {
    std::string name = "Layer " + std::to_string(number);
    float opacity = 1.0f;
    std::string blendMode(kRWPSDBlendModeNormal);
    raster::Point offset{0, 0};
    std::vector<RWPSDGroupInfo> path;
    if (i < records.size() && records[i].isDictionary()) {
      const Value& record = records[i];
      if (const Value* value = record.get("Opacity")) opacity = opacityFraction(value);
      if (const Value* value = record.get("Layer Name"); value && value->asString())
        name = *value->asString();
      if (const Value* value = record.get("Layer Blend Mode"))
        blendMode = stringForBlendMode(std::uint32_t(value->intOr(fourCharCode("norm"))));
      offset = offsetFrom(record.get("Offset"));
      path = groups.pathFor(record.get("Layer Info Dictionary"));
    } else {
      path = groups.pathFor(nullptr);
    }
    writer.setCurrentGroupPath(path);
    if (!reps[i]) continue;
    offset = {std::round(offset.x * scaleX), std::round(offset.y * scaleY)};
    writer.addLayerWithCGImage(reps[i]->image(), std::move(name), opacity, offset, std::move(blendMode),
                               drawIntoComposite);
  }
  writer.setCurrentGroupPath({});

  if (!drawIntoComposite && reps.back()) {
    if (raster::BitmapContext* context = writer.flattenedContext()) {
      context->saveGState();
      context->setInterpolationQuality(raster::InterpolationQuality::High);
      context->drawImage(reps.back()->image(),
                         raster::Rect(0, 0, double(context->width()), double(context->height())));
      context->restoreGState();
    }
  }
}

void ImportedImage::transferBitmapRepsFromImage(raster::ImageSet& image, BitmapRepList& array) {
  const BitmapRepList reps = image.representations();
  for (const auto& rep : reps) {
    array.push_back(rep);
    image.removeRepresentation(rep);
  }
  releasePropertiesAndMetadata();
  psdInfoArray.clear();
  psdInfoRepresentations.clear();
}

}  // namespace velumar
