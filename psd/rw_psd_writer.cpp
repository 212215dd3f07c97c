// RWPSDWriter: the document, its layer list and groups.

#include "psd/rw_psd_writer.h"

#include <algorithm>

namespace velumar {

RWPSDWriter::RWPSDWriter() : RWPSDWriter(raster::Size{0, 0}, 72.0f, 1, true, {}) {}

RWPSDWriter::RWPSDWriter(raster::Size documentSize) : RWPSDWriter(documentSize, 72.0f, 1, true, {}) {}

RWPSDWriter::RWPSDWriter(raster::Size documentSize, float resolution, std::int32_t resolutionUnit)
    : RWPSDWriter(documentSize, resolution, resolutionUnit, true, {}) {}

RWPSDWriter::RWPSDWriter(raster::Size documentSize, bool hasTransparentLayers,
                         std::vector<std::shared_ptr<RWPSDLayer>> layers)
    : RWPSDWriter(documentSize, 72.0f, 1, hasTransparentLayers, std::move(layers)) {}

RWPSDWriter::RWPSDWriter(raster::Size documentSize, float resolution, std::int32_t resolutionUnit,
                         bool hasTransparentLayers, std::vector<std::shared_ptr<RWPSDLayer>> layers) {
  hasTransparentLayers_ = hasTransparentLayers;
  setDocumentSize(documentSize);
  colorProfile_ = 0;
  if (resolutionUnit == 2) resolution = float(double(resolution) * 2.54);
  documentResolution_ = {resolution, resolution};
  documentResolutionUnit_ = resolutionUnit;
  std::erase(layers, nullptr);
  if (layers.empty()) return;
  // Layers handed in take the document's size and channel count.
  layers_ = std::move(layers);
  for (const auto& layer : layers_) {
    layer->setDocumentSize(documentSize_);
    if (!layer->isGroup()) layer->setNumberOfChannels(numberOfChannels());
  }
  resetFlattenedContext();
}

RWPSDWriter::~RWPSDWriter() = default;

void RWPSDWriter::setDocumentSize(raster::Size size) {
  if (size.width == documentSize_.width && size.height == documentSize_.height) return;
  documentSize_ = size;
  for (const auto& layer : layers_) layer->setDocumentSize(size);
  resetFlattenedContext();
}

void RWPSDWriter::setColorProfile(std::int32_t choice) {
  if (choice == colorProfile_) return;
  colorProfile_ = choice;
  documentColorSpaceChanged();
}

void RWPSDWriter::setGenericProfile(color::ProfileRef profile) {
  if (profile == genericProfile_) return;
  genericProfile_ = std::move(profile);
  documentColorSpaceChanged();
}

std::vector<std::shared_ptr<RWPSDLayer>> RWPSDWriter::visibleLayers() const {
  std::vector<std::shared_ptr<RWPSDLayer>> visible;
  for (const auto& layer : layers_) {
    if (layer->hasValidSize()) visible.push_back(layer);
  }
  return visible;
}

void RWPSDWriter::appendLayer(const std::shared_ptr<RWPSDLayer>& layer) {
  layer->setTargetColorSpace(documentColorSpace());
  layers_.push_back(layer);
}

std::shared_ptr<RWPSDLayer> RWPSDWriter::addLayerWithCGImage(raster::ImageRef image, std::string name) {
  return addLayerWithCGImage(std::move(image), std::move(name), 1.0f, raster::Point{0, 0});
}

std::shared_ptr<RWPSDLayer> RWPSDWriter::addLayerWithCGImage(raster::ImageRef image, std::string name,
                                                             float opacity, raster::Point offset) {
  return addLayerWithCGImage(std::move(image), std::move(name), opacity, offset, "norm", true);
}

std::shared_ptr<RWPSDLayer> RWPSDWriter::addLayerWithCGImage(raster::ImageRef image, std::string name,
                                                             float opacity, raster::Point offset,
                                                             std::string blendMode,
                                                             bool addLayerToFlattenedImage) {
  auto layer = std::make_shared<RWPSDLayer>();
  layer->setDocumentSize(documentSize_);
  layer->setImage(std::move(image));
  layer->setOpacity(opacity);
  layer->setName(std::move(name));
  layer->setOffset(offset);
  layer->setBlendMode(std::move(blendMode));
  layer->setNumberOfChannels(numberOfChannels());
  appendLayer(layer);
  if (addLayerToFlattenedImage) addLayerToFlattenedContext(layer.get(), nullptr);
  return layer;
}

std::shared_ptr<RWPSDGroupOpeningLayer> RWPSDWriter::openGroupLayerWithName(std::string name) {
  return openGroupLayerWithName(std::move(name), 1.0f, false);
}

std::shared_ptr<RWPSDGroupOpeningLayer> RWPSDWriter::openGroupLayerWithName(std::string name, float opacity,
                                                                            bool isOpened) {
  auto group = std::make_shared<RWPSDGroupOpeningLayer>(std::move(name), opacity, isOpened);
  group->setDocumentSize(documentSize_);
  appendLayer(group);
  return group;
}

std::shared_ptr<RWPSDGroupClosingLayer> RWPSDWriter::closeCurrentGroupLayer() {
  return closeCurrentGroupLayerWithError(nullptr);
}

std::shared_ptr<RWPSDGroupClosingLayer> RWPSDWriter::closeCurrentGroupLayerWithError(RWPSDError* error) {
  int nested = 0;
  for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) {
    if (std::dynamic_pointer_cast<RWPSDGroupClosingLayer>(*it)) {
      ++nested;
      continue;
    }
    auto opening = std::dynamic_pointer_cast<RWPSDGroupOpeningLayer>(*it);
    if (!opening) continue;
    if (nested > 0) {
      --nested;
      continue;
    }
    auto closing = std::make_shared<RWPSDGroupClosingLayer>();
    closing->setDocumentSize(documentSize_);
    closing->setGroupOpeningLayer(opening);
    closing->refreshFromOpeningLayer();
    appendLayer(closing);
    return closing;
  }
  rwSetError(error, kRWPSDErrorNoOpenedGroup, "There is no opened layer to close");
  return nullptr;
}

void RWPSDWriter::setCurrentGroupPath(const std::vector<RWPSDGroupInfo>& path) {
  std::size_t shared = 0;
  while (shared < path.size() && shared < openGroupPath_.size() &&
         path[shared].groupId == openGroupPath_[shared])
    ++shared;
  while (openGroupPath_.size() > shared) {
    closeCurrentGroupLayer();
    openGroupPath_.pop_back();
  }
  for (std::size_t i = shared; i < path.size(); ++i) {
    const RWPSDGroupInfo& group = path[i];
    auto opening = openGroupLayerWithName(group.name, group.opacity, group.isOpened);
    opening->setBlendMode(group.blendMode);
    openGroupPath_.push_back(group.groupId);
  }
}

}  // namespace velumar
