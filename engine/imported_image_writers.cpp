// The output dispatcher: writes a converted image in the format of its
// conversion code, keeping the source's metadata when asked and falling
// back to plain encoding when that cannot be done.

#include "engine/imported_image.h"
#include "engine/imported_image_writer_support.h"
#include "platform/foundation/files.h"
#include "platform/imageio/unnamed_file.h"
#include "psd/rw_psd_writer.h"

namespace velumar {

using foundation::Dictionary;
using foundation::Value;

bool ImportedImage::saveImage(const raster::ImageSet& image, std::int64_t conversionType,
                              const std::string& path, std::int64_t originalFileType, double jpegCompression,
                              std::int64_t doTiffCompress, bool preserveMetadata, bool iOSIconsetOw,
                              bool addCorners, bool addShadow) {
  // Layer records describe one source only: whichever way this write ends,
  // they never reach the next file.
  struct ForgetLayerRecords {
    ImportedImage& engine;
    ~ForgetLayerRecords() {
      engine.psdInfoArray.clear();
      engine.psdCanvasSize = {0, 0};
      engine.psdInfoRepresentations.clear();
    }
  } forgetLayerRecords{*this};
  // The crops go beside the file as committed, which may have taken the
  // next free name; after the write, whichever way it ends.
  struct SaveFaceCrops {
    ImportedImage& engine;
    const std::string& path;
    ~SaveFaceCrops() { engine.saveCropFaceRepsToFile(imageio::committedPath(path)); }
  } saveFaceCrops{*this, path};

  const auto& reps = image.representations();
  if (indexMaxPixels < 0 || std::size_t(indexMaxPixels) >= reps.size()) indexMaxPixels = 0;
  const BitmapRepRef rep = reps.empty() ? nullptr : reps[std::size_t(indexMaxPixels)];
  const bool keepMetadata = preserveMetadata && imageMetadataArray.has_value();
  const bool severalReps = reps.size() >= 2;

  // Set by the branches that write here (plain encoding or document data);
  // the delegated writers answer for themselves.
  bool written = false;
  switch (rep ? conversionType : -1) {
    case ConversionType::JPEG: {
      // Several representations are one file each. When one of them fails
      // the answer is false and the files written stay: no other
      // representation ever replaces the first file.
      if (severalReps) {
        if (saveMultipleFilesFromImage(image, writers::kTypeJPEG, preserveMetadata, path, jpegCompression,
                                       double(doTiffCompress)))
          return true;
        break;
      }
      // A depth image goes through the same writer; the source's metadata
      // only when asked for.
      if (!keepMetadata) releasePropertiesAndMetadata();
      if ((keepMetadata || exportedDepthImage) &&
          createCGImageAndSaveMetadataFromBitmapRep(rep, indexMaxPixels, writers::kTypeJPEG, path,
                                                    jpegCompression, doTiffCompress, true))
        return true;
      written = writers::writeWithoutMetadata(
          {rep}, writers::kTypeJPEG, path,
          Dictionary{{"LossyCompressionQuality", Value(double(float(jpegCompression)))}});
      break;
    }
    case ConversionType::PNG:
      if (severalReps) {
        if (saveMultipleFilesFromImage(image, writers::kTypePNG, preserveMetadata, path, jpegCompression,
                                       double(doTiffCompress)))
          return true;
        break;
      }
      if (keepMetadata &&
          createCGImageAndSaveMetadataFromBitmapRep(rep, indexMaxPixels, writers::kTypePNG, path,
                                                    jpegCompression, doTiffCompress, true))
        return true;
      written = writers::writeWithoutMetadata({rep}, writers::kTypePNG, path, Dictionary{});
      break;
    case ConversionType::BMP:
    case ConversionType::GIF: {
      const char* type = conversionType == ConversionType::BMP ? writers::kTypeBMP : writers::kTypeGIF;
      if (keepMetadata && createCGImageAndSaveMetadataFromBitmapRep(rep, indexMaxPixels, type, path,
                                                                    jpegCompression, doTiffCompress, true))
        return true;
      written = writers::writeWithoutMetadata({rep}, type, path, Dictionary{});
      break;
    }
    case ConversionType::TIFF: {
      if (keepMetadata &&
          createCGImageAndSaveMetadataFromBitmapRep(rep, indexMaxPixels, writers::kTypeTIFF, path,
                                                    jpegCompression, doTiffCompress, true))
        return true;
      Dictionary compression;
      if (doTiffCompress == 1 || doTiffCompress == 2)
        setTIFFCompressionForDictionary(compression, doTiffCompress);
      written = writers::writeWithoutMetadata({rep}, writers::kTypeTIFF, path, compression);
      break;
    }
    case ConversionType::PDF:
      if (createPDFMultipleRepsAndSaveMetadataFromImage(image, preserveMetadata, path)) return true;
      // One page of the first representation at its physical size.
      written = writers::writeWithoutMetadata({reps.front()}, writers::kTypePDF, path, Dictionary{});
      break;
    case ConversionType::ICNS:
      return saveIcnsFromImageRep(rep, path, addCorners, addShadow);
    case ConversionType::IOSIconSet:
      return saveIOSIconsetFromImageRep(rep, path, iOSIconsetOw, addCorners, addShadow);
    case ConversionType::XcodeIconSet:
      return saveXcodeIconsetFromImageRep(rep, path, iOSIconsetOw, addCorners, addShadow);
    case ConversionType::Xcode2xFolder:
      return saveXcode2XSetFromImageRep(rep, path, iOSIconsetOw, addCorners, addShadow);
    case ConversionType::HEIF:
      return saveHEIFFromBitmapRep(rep, indexMaxPixels, path, true);
    case ConversionType::PSD: {
      if (reps.size() == 1 && savePSDOneLayerForBmpRep(rep, indexMaxPixels, path, preserveMetadata, true))
        return true;
      std::unique_ptr<RWPSDWriter> writer;
      if (originalFileType != FileType::PSD) {
        if (saveMultiplePSDFilesFromImage(image, preserveMetadata, path)) return true;
        // As for JPEG: one failed file of several never lets the largest
        // representation replace the first file.
        if (severalReps) break;
        writer = createPSDWriterForBmpRep(rep);
        if (writer) drawPSDSingleLayerWithPSDWriter(*writer, rep);
      } else {
        writer = createPSDWriterForBmpRep(rep);
        if (writer) drawPSDLayersWithPSDWriter(*writer, image);
      }
      written = writers::writePSDDocument(writer.get(), path);
      break;
    }
    case ConversionType::PSDLayered: {
      if (reps.size() == 1 && savePSDOneLayerForBmpRep(rep, indexMaxPixels, path, preserveMetadata, true))
        return true;
      std::unique_ptr<RWPSDWriter> writer = createPSDWriterForImage(image, rep);
      if (writer) drawPSDLayersWithPSDWriter(*writer, image);
      written = writers::writePSDDocument(writer.get(), path);
      break;
    }
    default:  // 2x TIFF and TIFF of several files are the session's; nothing else is known
      break;
  }
  if (written) {
    updateTagsForFileName(path);
    urlsArray.push_back(imageio::committedPath(path));
  }
  releasePropertiesAndMetadata();
  return written;
}

}  // namespace velumar
