#include "platform/imageio/metadata.h"

#include "platform/imageio/metadata_convert.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string_view>

#include "platform/foundation/files.h"
#include "platform/foundation/log.h"
#include "platform/imageio/image_source.h"
#include "platform/imageio/unnamed_file.h"

namespace imageio {

using foundation::Data;
using foundation::Dictionary;
using foundation::Value;
using namespace metadata_detail;

namespace {

// IFD0 tags that describe how the pixels of one particular file are stored.
// They never travel to another file: the encoder writes its own.
constexpr std::string_view kStructureTags[] = {
    "NewSubfileType",
    "SubfileType",
    "ImageWidth",
    "ImageLength",
    "BitsPerSample",
    "Compression",
    "PhotometricInterpretation",
    "Thresholding",
    "FillOrder",
    "StripOffsets",
    "SamplesPerPixel",
    "RowsPerStrip",
    "StripByteCounts",
    "PlanarConfiguration",
    "Predictor",
    "ColorMap",
    "TileWidth",
    "TileLength",
    "TileOffsets",
    "TileByteCounts",
    "SubIFDs",
    "ExtraSamples",
    "SampleFormat",
    "JPEGTables",
    "JPEGProc",
    "JPEGInterchangeFormat",
    "JPEGInterchangeFormatLength",
    "YCbCrCoefficients",
    "YCbCrSubSampling",
    "YCbCrPositioning",
    "InterColorProfile",
    "XMLPacket",
    "IPTCNAA",
    "ImageResources",
    "XPosition",
    "YPosition",
    "GrayResponseUnit",
    "GrayResponseCurve",
    "InkSet",
    "InkNames",
    "NumberOfInks",
    "DotRange",
    "TargetPrinter",
    "HalftoneHints",
    "SMinSampleValue",
    "SMaxSampleValue",
    "TransferRange",
    "ExifTag",
    "GPSTag",
    "InteroperabilityTag",
    "PrintImageMatching",
};

// Whether a tag is one that may be carried from a source into an output.
bool isTransferable(const Exiv2::Exifdatum& datum) {
  const std::string group = datum.groupName();
  if (group == "Image")
    return std::find(std::begin(kStructureTags), std::end(kStructureTags), datum.tagName()) ==
           std::end(kStructureTags);
  if (group == "Photo" || group == "GPSInfo" || group == "Iop" || group == "MakerNote") return true;
  return Exiv2::ExifTags::isMakerGroup(group);
}

// XMP properties that mirror Exif tags the writers change.
constexpr std::pair<std::string_view, std::string_view> kXmpMirrors[] = {
    {"Xmp.tiff.Orientation", "Exif.Image.Orientation"},
    {"Xmp.tiff.XResolution", "Exif.Image.XResolution"},
    {"Xmp.tiff.YResolution", "Exif.Image.YResolution"},
    {"Xmp.tiff.ResolutionUnit", "Exif.Image.ResolutionUnit"},
    {"Xmp.exif.PixelXDimension", "Exif.Photo.PixelXDimension"},
    {"Xmp.exif.PixelYDimension", "Exif.Photo.PixelYDimension"},
};
// XMP properties describing the old file's layout.
constexpr std::string_view kXmpStale[] = {"Xmp.tiff.ImageWidth",
                                          "Xmp.tiff.ImageLength",
                                          "Xmp.tiff.BitsPerSample",
                                          "Xmp.tiff.Compression",
                                          "Xmp.tiff.PhotometricInterpretation",
                                          "Xmp.tiff.SamplesPerPixel"};

// Everything writeMetadata puts into a file.
struct MetadataPlan {
  Exiv2::ExifData exif;
  std::set<std::string> erasedExif;  // keys the frame removed
  Exiv2::IptcData iptc;
  Exiv2::XmpData xmp;
  bool empty() const { return exif.empty() && iptc.empty() && xmp.empty(); }
};

const Data* rawBlock(const Value& properties, const char* name) {
  const Value* block = properties.get({kRawMetadataKey, name});
  const Data* data = block ? block->asData() : nullptr;
  return data && !data->empty() ? data : nullptr;
}

void decodeRawBlocks(const Value& properties, MetadataPlan& plan) {
  if (const Data* exif = rawBlock(properties, "Exif")) {
    try {
      Exiv2::ExifParser::decode(plan.exif, exif->data(), std::uint32_t(exif->size()));
    } catch (const std::exception& e) {
      foundation::log("metadata: kept Exif block is unreadable: {}", e.what());
      plan.exif.clear();
    }
  }
  if (const Data* iptc = rawBlock(properties, "IPTC")) {
    try {
      if (Exiv2::IptcParser::decode(plan.iptc, iptc->data(), std::uint32_t(iptc->size())) != 0)
        plan.iptc.clear();
    } catch (const std::exception& e) {
      foundation::log("metadata: kept IPTC block is unreadable: {}", e.what());
      plan.iptc.clear();
    }
  }
  if (const Data* xmp = rawBlock(properties, "XMP")) {
    try {
      const std::string packet(xmp->begin(), xmp->end());
      if (Exiv2::XmpParser::decode(plan.xmp, packet) != 0) plan.xmp.clear();
    } catch (const std::exception& e) {
      foundation::log("metadata: kept XMP packet is unreadable: {}", e.what());
      plan.xmp.clear();
    }
  }
}

void eraseExifKey(MetadataPlan& plan, const std::string& key) {
  try {
    auto it = plan.exif.findKey(Exiv2::ExifKey(key));
    if (it != plan.exif.end()) plan.exif.erase(it);
    plan.erasedExif.insert(key);
  } catch (const std::exception&) {
  }
}

// Applies what the frame's dictionaries say over what the raw block holds:
// keys whose value differs are set, keys the frame dropped are removed.
void applyExifDictionaries(const Value& properties, MetadataPlan& plan) {
  const Dictionary derived = dictionariesFromExif(plan.exif);
  for (const char* group : {kTiffDictionary, kExifDictionary, kGpsDictionary}) {
    const Value* frameValue = properties.get(group);
    const Dictionary* frame = frameValue ? frameValue->asDictionary() : nullptr;
    const Value* derivedValue = derived.find(group);
    const Dictionary* old = derivedValue ? derivedValue->asDictionary() : nullptr;
    if (frame) {
      for (const auto& [key, value] : *frame) {
        const Value* before = old ? old->find(key) : nullptr;
        if (before && *before == value) continue;
        const std::string exifKey = exifKeyFor(group, key);
        if (!exifKey.empty()) setExifValue(plan.exif, exifKey, value);
      }
    }
    if (old) {
      for (const auto& [key, value] : *old)
        if (!frame || !frame->contains(key)) eraseExifKey(plan, exifKeyFor(group, key));
    }
  }

  if (const Value* orientation = properties.get("Orientation")) {
    const auto o = orientation->toInt();
    if (o && *o >= 1 && *o <= 8) setExifValue(plan.exif, "Exif.Image.Orientation", Value(*o));
  }
  // The resolution follows the image's DPI unless the {TIFF} dictionary
  // names one itself.
  const Value* dpiWidth = properties.get("DPIWidth");
  const Value* dpiHeight = properties.get("DPIHeight");
  const bool tiffNamesResolution = properties.get({kTiffDictionary, "XResolution"}) != nullptr;
  if (dpiWidth && dpiHeight && dpiWidth->toDouble() && dpiHeight->toDouble() && !tiffNamesResolution &&
      plan.exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution")) != plan.exif.end()) {
    setExifValue(plan.exif, "Exif.Image.XResolution", *dpiWidth);
    setExifValue(plan.exif, "Exif.Image.YResolution", *dpiHeight);
    setExifValue(plan.exif, "Exif.Image.ResolutionUnit", Value(2));
  }

  // Thumbnails, other pages' directories and the old file's layout stay
  // behind.
  for (auto it = plan.exif.begin(); it != plan.exif.end();) {
    if (isTransferable(*it))
      ++it;
    else
      it = plan.exif.erase(it);
  }
}

void applyIptcDictionary(const Value& properties, MetadataPlan& plan) {
  const Dictionary old = dictionaryFromIptc(plan.iptc);
  const Value* frameValue = properties.get(kIptcDictionary);
  const Dictionary* frame = frameValue ? frameValue->asDictionary() : nullptr;
  if (frame) {
    for (const auto& [key, value] : *frame) {
      const Value* before = old.find(key);
      if (before && *before == value) continue;
      const std::string iptcKey = iptcKeyFor(key);
      if (!iptcKey.empty()) setIptcValue(plan.iptc, iptcKey, value);
    }
  }
  for (const auto& [key, value] : old) {
    if (frame && frame->contains(key)) continue;
    const std::string iptcKey = iptcKeyFor(key);
    for (auto it = plan.iptc.begin(); it != plan.iptc.end();) {
      if (it->key() == iptcKey)
        it = plan.iptc.erase(it);
      else
        ++it;
    }
  }
}

// Keeps the XMP copies of the changed Exif tags in step with them.
void syncXmp(MetadataPlan& plan) {
  if (plan.xmp.empty()) return;
  try {
    for (const auto& [xmpName, exifName] : kXmpMirrors) {
      auto xmpIt = plan.xmp.findKey(Exiv2::XmpKey(std::string(xmpName)));
      if (xmpIt == plan.xmp.end()) continue;
      auto exifIt = plan.exif.findKey(Exiv2::ExifKey(std::string(exifName)));
      if (exifIt == plan.exif.end())
        plan.xmp.erase(xmpIt);
      else
        xmpIt->setValue(exifIt->value().toString());
    }
    for (std::string_view stale : kXmpStale) {
      auto it = plan.xmp.findKey(Exiv2::XmpKey(std::string(stale)));
      if (it != plan.xmp.end()) plan.xmp.erase(it);
    }
  } catch (const std::exception& e) {
    foundation::log("metadata: cannot update XMP: {}", e.what());
  }
}

MetadataPlan planFor(const Value& properties) {
  MetadataPlan plan;
  if (!properties.isDictionary()) return plan;
  decodeRawBlocks(properties, plan);
  applyExifDictionaries(properties, plan);
  applyIptcDictionary(properties, plan);
  syncXmp(plan);
  return plan;
}

// Types whose files exiv2 can write metadata into.
bool takesMetadata(const std::string& type) {
  return type == "public.jpeg" || type == "public.png" || type == "public.tiff" ||
         type == "com.adobe.photoshop-image" || type == "org.webmproject.webp";
}

void mergeDictionary(Dictionary& into, const std::string& key, Dictionary values) {
  Value* existing = into.find(key);
  if (existing && existing->isDictionary()) {
    for (auto& [k, v] : values) existing->asDictionary()->set(k, v);
  } else {
    into.set(key, Value(std::move(values)));
  }
}

}  // namespace

bool readMetadata(const std::string& path, Value& properties) {
  initializeExiv2();
  if (!properties.isDictionary()) properties = Value(Dictionary{});
  Exiv2::Image::AutoPtr image;
  if (!foundation::isReadableRegularFile(path)) return false;
  try {
    if (Exiv2::ImageFactory::getType(path) == Exiv2::ImageType::none) return false;
    image = Exiv2::ImageFactory::open(path);
  } catch (const std::exception& e) {
    foundation::log("metadata: cannot open {}: {}", path, e.what());
    return false;
  }
  if (!image.get()) return false;
  try {
    image->readMetadata();
  } catch (const std::exception& e) {
    // Whatever was parsed before the fault is still used.
    foundation::log("metadata: malformed metadata in {}: {}", path, e.what());
  }

  Dictionary& props = *properties.asDictionary();
  Dictionary raw;
  bool found = false;
  try {
    const Exiv2::ExifData& exif = image->exifData();
    if (!exif.empty()) {
      for (auto& [key, value] : dictionariesFromExif(exif)) {
        if (value.isDictionary())
          mergeDictionary(props, key, *value.asDictionary());
        else if (!props.contains(key))
          props.set(key, value);
      }
      Exiv2::ExifData transferable;
      for (const Exiv2::Exifdatum& datum : exif)
        if (isTransferable(datum)) transferable.add(datum);
      if (!transferable.empty()) {
        Exiv2::Blob blob;
        Exiv2::ByteOrder order = image->byteOrder();
        if (order == Exiv2::invalidByteOrder) order = Exiv2::littleEndian;
        Exiv2::ExifParser::encode(blob, order, transferable);
        if (!blob.empty()) raw.set("Exif", Value(Data(blob.begin(), blob.end())));
      }
      found = true;
    }
  } catch (const std::exception& e) {
    foundation::log("metadata: Exif of {} skipped: {}", path, e.what());
  }
  try {
    const Exiv2::IptcData& iptc = image->iptcData();
    if (!iptc.empty()) {
      Dictionary dict = dictionaryFromIptc(iptc);
      if (!dict.empty()) mergeDictionary(props, kIptcDictionary, std::move(dict));
      Exiv2::DataBuf block = Exiv2::IptcParser::encode(iptc);
      if (block.size_ > 0) raw.set("IPTC", Value(Data(block.pData_, block.pData_ + block.size_)));
      found = true;
    }
  } catch (const std::exception& e) {
    foundation::log("metadata: IPTC of {} skipped: {}", path, e.what());
  }
  try {
    Dictionary aux = auxiliaryDictionary(image->exifData(), image->xmpData());
    if (!aux.empty()) mergeDictionary(props, "{ExifAux}", std::move(aux));
  } catch (const std::exception& e) {
    foundation::log("metadata: camera details of {} skipped: {}", path, e.what());
  }
  try {
    const std::string& packet = image->xmpPacket();
    if (!packet.empty()) {
      raw.set("XMP", Value(Data(packet.begin(), packet.end())));
      found = true;
    }
  } catch (const std::exception& e) {
    foundation::log("metadata: XMP of {} skipped: {}", path, e.what());
  }
  if (!raw.empty()) props.set(kRawMetadataKey, Value(std::move(raw)));
  return found;
}

namespace {

// Overlays plan onto the metadata of the file at path, in place.
bool applyPlan(const std::string& path, const MetadataPlan& plan) {
  try {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    if (!image.get()) return false;
    image->readMetadata();
    // What the encoder wrote stays; the plan's tags overlay it.
    Exiv2::ExifData& exif = image->exifData();
    for (const std::string& key : plan.erasedExif) {
      auto it = exif.findKey(Exiv2::ExifKey(key));
      if (it != exif.end()) exif.erase(it);
    }
    for (const Exiv2::Exifdatum& datum : plan.exif) {
      auto it = exif.findKey(Exiv2::ExifKey(datum.key()));
      if (it != exif.end())
        it->setValue(&datum.value());
      else
        exif.add(datum);
    }
    if (!plan.iptc.empty()) image->setIptcData(plan.iptc);
    if (!plan.xmp.empty()) {
      image->setXmpData(plan.xmp);
      image->writeXmpFromPacket(false);
    }
    image->writeMetadata();
    return true;
  } catch (const std::exception& e) {
    foundation::log("metadata: cannot write metadata into {}: {}", path, e.what());
    return false;
  }
}

// exiv2 edits the first directory of a TIFF only, and when it has to
// rewrite the file it keeps at most four directories: later pages would be
// lost. A multi-page TIFF is therefore edited in a copy that replaces the
// file only when every page survived. Otherwise the file stays as the
// encoder wrote it: each page already carries its own text tags, resolution
// and orientation, and only the first page's remaining metadata is left out.
bool applyPlanToPages(const std::string& path, const MetadataPlan& plan, std::size_t pages) {
  const std::unique_ptr<UnnamedFile> copy = UnnamedFile::createScratch();
  if (!copy) return false;
  std::error_code error;
  std::filesystem::copy_file(path, copy->path(), std::filesystem::copy_options::overwrite_existing, error);
  if (error) {
    foundation::log("metadata: cannot copy {}: {}", path, error.message());
    return false;
  }
  const bool written = applyPlan(copy->path(), plan);
  const auto edited = written ? ImageSource::open(copy->path()) : nullptr;
  if (edited && edited->count() == pages) {
    std::filesystem::copy_file(copy->path(), path, std::filesystem::copy_options::overwrite_existing, error);
    if (!error) return true;
    foundation::log("metadata: cannot replace {}: {}", path, error.message());
    return false;
  }
  if (written)
    foundation::log("metadata: {} keeps its {} pages without the first page's metadata", path, pages);
  return written;
}

}  // namespace

bool writeMetadata(const std::string& path, const std::string& type, const std::vector<Frame>& frames) {
  if (frames.empty() || !takesMetadata(type)) return true;
  initializeExiv2();
  // Only the first frame's metadata goes into the file's metadata blocks;
  // the TIFF encoder writes the text tags of every page itself.
  MetadataPlan plan = planFor(frames.front().properties);
  if (plan.empty() && plan.erasedExif.empty()) return true;
  if (type == "public.tiff" && frames.size() > 1) return applyPlanToPages(path, plan, frames.size());
  return applyPlan(path, plan);
}

Data exifBlockForProperties(const Value& properties) {
  initializeExiv2();
  MetadataPlan plan = planFor(properties);
  if (plan.exif.empty()) return {};
  try {
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, plan.exif);
    return Data(blob.begin(), blob.end());
  } catch (const std::exception& e) {
    foundation::log("metadata: cannot encode Exif: {}", e.what());
    return {};
  }
}

}  // namespace imageio
