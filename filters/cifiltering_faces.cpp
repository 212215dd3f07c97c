// Automatic adjustment and the face effects of the filter engine: face
// detection, the face discs and what is done inside and outside them,
// frames and crops.

#include <algorithm>
#include <cmath>

#include "filters/cifiltering.h"
#include "platform/ci/auto_adjustment.h"
#include "platform/raster/path.h"

namespace velumar {

namespace {

// Faces are framed 3 pixels wide on a 1,320,000-pixel image.
constexpr float kFramePixelArea = 1320000.0f;
constexpr float kFrameWidth = 3.0f;

bool finite(const raster::Rect& rect) {
  return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
         std::isfinite(rect.size.height);
}

// Blur and pixel sizes of the face effects as fractions of the image's
// longer side.
constexpr double kFaceBlurDivisor = 100, kFacePixelDivisor = 60, kBackgroundBlurDivisor = 500;
constexpr double kFaceVignetteIntensity = 0.5;
// How many radii out a Gaussian blur reads.
constexpr double kBlurReach = 4;

raster::Rect grown(const raster::Rect& rect, double by) {
  return raster::Rect(rect.minX() - by, rect.minY() - by, rect.width() + 2 * by, rect.height() + 2 * by);
}

ci::ImageRef chained(ci::ImageRef image, const std::vector<ci::FilterRef>& filters) {
  for (const ci::FilterRef& filter : filters) {
    if (!image) break;
    filter->setValue(ci::kInputImageKey, image);
    image = filter->outputImage();
  }
  return image;
}

// The face rectangle for the effects: the bounds, or grown by a fifth of
// their size on every side.
raster::Rect faceRectangle(const raster::Rect& bounds, bool bigger) {
  if (!bigger) return bounds;
  const double dx = bounds.size.width / 5, dy = bounds.size.height / 5;
  return raster::Rect(bounds.origin.x - dx, bounds.origin.y - dy, bounds.size.width + 2 * dx,
                      bounds.size.height + 2 * dy);
}

double discRadius(const raster::Rect& face) {
  return std::min(face.size.width, face.size.height) / 1.5;
}

// The bounds of every disc (outer radius included): where the face effects
// can show.
raster::Rect discBounds(const std::vector<raster::Rect>& faces) {
  raster::Rect bounds;
  bool first = true;
  for (const raster::Rect& face : faces) {
    const double outer = discRadius(face) + 1;
    const raster::Rect disc(face.origin.x + face.size.width / 2 - outer,
                            face.origin.y + face.size.height / 2 - outer, 2 * outer, 2 * outer);
    if (first) {
      bounds = disc;
    } else {
      const double minX = std::min(bounds.minX(), disc.minX()), minY = std::min(bounds.minY(), disc.minY());
      bounds = raster::Rect(minX, minY, std::max(bounds.maxX(), disc.maxX()) - minX,
                            std::max(bounds.maxY(), disc.maxY()) - minY);
    }
    first = false;
  }
  return bounds;
}

// White discs of radius min(w, h) / 1.5 around the face centres on
// transparent black; soft discs fade from two thirds of the radius out.
ci::ImageRef faceDiscs(const std::vector<raster::Rect>& faces, bool soft) {
  ci::ImageRef discs;
  for (const raster::Rect& face : faces) {
    const double m = discRadius(face);
    ci::FilterRef gradient = ci::Filter::withName("CIRadialGradient");
    if (!gradient) return nullptr;
    gradient->setValue("inputRadius0", soft ? 2 * m / 3 : m);
    gradient->setValue("inputRadius1", soft ? m : m + 1);
    gradient->setValue("inputColor0", ci::Color::white());
    gradient->setValue("inputColor1", ci::Color::clear());
    gradient->setValue("inputCenter",
                       ci::Vector{face.origin.x + face.size.width / 2, face.origin.y + face.size.height / 2});
    ci::ImageRef disc = gradient->outputImage();
    if (!discs) {
      discs = disc;
      continue;
    }
    ci::FilterRef over = ci::Filter::withName("CISourceOverCompositing");
    if (!over) return nullptr;
    over->setValue(ci::kInputImageKey, disc);
    over->setValue(ci::kInputBackgroundImageKey, discs);
    discs = over->outputImage();
  }
  return discs;
}

ci::ImageRef blurred(const ci::ImageRef& image, double radius, const raster::Rect& extent) {
  ci::FilterRef clamp = ci::Filter::withName("CIAffineClamp");
  ci::FilterRef blur = ci::Filter::withName("CIGaussianBlur");
  if (!clamp || !blur || !image) return nullptr;
  clamp->setValue("inputTransform", raster::AffineTransform::identity());
  clamp->setValue(ci::kInputImageKey, image);
  blur->setDefaults();
  blur->setValue("inputRadius", radius);
  blur->setValue(ci::kInputImageKey, clamp->outputImage());
  ci::ImageRef out = blur->outputImage();
  return out ? out->cropped(extent) : nullptr;
}

ci::ImageRef blendedWithMask(const ci::ImageRef& image, const ci::ImageRef& background,
                             const ci::ImageRef& mask) {
  ci::FilterRef blend = ci::Filter::withName("CIBlendWithAlphaMask");
  if (!blend || !image || !background || !mask) return nullptr;
  blend->setValue(ci::kInputImageKey, image);
  blend->setValue(ci::kInputBackgroundImageKey, background);
  blend->setValue("inputMaskImage", mask);
  return blend->outputImage();
}

}  // namespace

ci::FaceDetector& CIFiltering::ciDetector() {
  if (!ciDetector_) ciDetector_ = std::make_unique<ci::FaceDetector>();
  return *ciDetector_;
}

std::optional<bool> CIFiltering::autoAdjustFilterWithContext(raster::BitmapContext* context,
                                                             const FaceOptions& options) {
  facesRectArray_.reset();
  if (!options.optionAutoAdjust && !options.optionFeatures) return std::nullopt;
  if (!ciContext_ || !context) return std::nullopt;
  const raster::Rect whole(0, 0, double(context->width()), double(context->height()));
  ci::ImageRef input = chainInput(context);
  if (!input) return std::nullopt;
  input = input->cropped(whole);

  std::vector<raster::Rect> faces;
  std::vector<ci::FaceFeature> kept;
  ci::AutoAdjustmentOptions adjustment{options.optionEnhance, options.optionRedEye, std::nullopt};
  const bool detect =
      options.optionFeatures && (options.optionFeaturesEyeBlink || options.optionFeaturesIsolateFaces);
  if (detect) {
    const std::vector<ci::FaceFeature> features =
        ciDetector().featuresInImage(input, options.optionFeaturesEyeBlink);
    bool closedEye = false;
    for (const ci::FaceFeature& feature : features) {
      if (feature.bounds.size.width > 1 && feature.bounds.size.height > 1) {
        faces.push_back(faceRectangle(feature.bounds, options.optionFeaturesBiggerBoundsFaces));
        kept.push_back(feature);
      }
      closedEye = closedEye || (feature.leftEye && feature.leftEye->closed) ||
                  (feature.rightEye && feature.rightEye->closed);
    }
    if (options.optionFeaturesEyeBlink && closedEye) return false;
    // No faces: the analyser would look for them with the same detector.
    adjustment.features = features;
  }

  const std::vector<ci::FilterRef> filters = (adjustment.enhance || adjustment.redEye)
                                                 ? ci::autoAdjustmentFilters(input, adjustment, &ciDetector())
                                                 : std::vector<ci::FilterRef>{};
  const ci::ImageRef adjusted = filters.empty() ? input : chained(input, filters);
  if (!adjusted) return std::nullopt;
  const bool effects = options.optionFeaturesIsolateFaces && detect && !faces.empty();
  if (!effects) {
    if (!filters.empty()) ciImage_ = adjusted;
    return std::nullopt;
  }

  const bool soft = options.optionFeaturesAutoAdjustFaces || options.optionFeaturesBlurFaces ||
                    options.optionFeaturesPixelateFaces;
  const ci::ImageRef mask = faceDiscs(faces, soft);

  ci::ImageRef faceImage = adjusted;
  if (options.optionFeaturesAutoAdjustFaces) {
    const std::vector<ci::FilterRef> faceFilters = ci::autoAdjustmentFilters(
        adjusted, {!options.optionEnhance, !options.optionRedEye, kept}, &ciDetector());
    if (ci::ImageRef out = chained(adjusted, faceFilters)) faceImage = out;
  }
  const raster::Rect extent = adjusted->extent();
  const double longer = std::max(extent.width(), extent.height());
  if (options.allowFaceCrops && options.optionFeaturesSaveCropFaces)
    facesBitmapRepsWithCIImage(faceImage, extent, faces);

  // The effects show only inside the discs, so they are computed there
  // alone, from a margin wide enough for the blur's kernel and a pixel cell
  // to see the same pixels as over the whole image.
  const raster::Rect shown = discBounds(faces).intersection(extent);
  const double blurRadius = longer / kFaceBlurDivisor, cell = longer / kFacePixelDivisor;
  const double margin = (options.optionFeaturesBlurFaces ? kBlurReach * blurRadius + 2 : 0) +
                        (options.optionFeaturesPixelateFaces ? 2 * cell : 0);
  const raster::Rect working = grown(shown, margin).intersection(extent);
  ci::ImageRef effect = faceImage->cropped(working);
  if (options.optionFeaturesBlurFaces) {
    if (ci::ImageRef out = blurred(effect, blurRadius, working)) effect = out;
  }
  if (options.optionFeaturesPixelateFaces) {
    ci::FilterRef pixellate = ci::Filter::withName("CIPixellate");
    if (pixellate) {
      pixellate->setDefaults();
      pixellate->setValue("inputScale", cell);
      pixellate->setValue(ci::kInputImageKey, effect);
      if (ci::ImageRef out = pixellate->outputImage()) effect = out;
    }
  }
  effect = effect->cropped(shown);

  const bool isolateOnly = !options.optionFeaturesFrameFaces && !options.optionFeaturesVignetteFaces &&
                           !options.optionFeaturesBlurBackgroundFaces && !options.optionFeaturesBlurFaces &&
                           !options.optionFeaturesAutoAdjustFaces && !options.optionFeaturesPixelateFaces;
  ci::ImageRef result = adjusted;
  if (isolateOnly) {
    const ci::ImageRef white = ci::Image::constantColor(ci::Color::white())->cropped(whole);
    if (ci::ImageRef out = blendedWithMask(faceImage, white, mask)) result = out;
  } else if (options.optionFeaturesBlurFaces || options.optionFeaturesPixelateFaces ||
             faceImage != adjusted) {
    // Some face changed: the changed faces inside the discs.
    if (ci::ImageRef out = blendedWithMask(effect, adjusted, mask)) result = out;
  }
  if (options.optionFeaturesBlurBackgroundFaces)
    result = blurBackGroundWithInputImage(adjusted, extent, result, mask);
  if (options.optionFeaturesVignetteFaces) result = vignetteFacesWithInputImage(result, faces);
  if (options.optionFeaturesFrameFaces) facesRectArray_ = faces;
  ciImage_ = result;
  return std::nullopt;
}

ci::ImageRef CIFiltering::blurBackGroundWithInputImage(const ci::ImageRef& input, const raster::Rect& extent,
                                                       const ci::ImageRef& filtered,
                                                       const ci::ImageRef& mask) {
  if (!input) return filtered;
  const ci::ImageRef background =
      blurred(input, std::max(extent.width(), extent.height()) / kBackgroundBlurDivisor, input->extent());
  const ci::ImageRef out = blendedWithMask(filtered, background, mask);
  return out ? out : filtered;
}

ci::ImageRef CIFiltering::vignetteFacesWithInputImage(const ci::ImageRef& image,
                                                      const std::vector<raster::Rect>& faces) {
  if (faces.empty() || !image) return image;
  ci::FilterRef vignette = ci::Filter::withName("CIVignetteEffect");
  if (!vignette) return image;
  vignette->setDefaults();
  vignette->setValue("inputIntensity", kFaceVignetteIntensity);
  vignette->setValue(ci::kInputImageKey, image);
  ci::ImageRef kept;
  for (const raster::Rect& face : faces) {
    vignette->setValue("inputCenter",
                       ci::Vector{face.origin.x + face.size.width / 2, face.origin.y + face.size.height / 2});
    vignette->setValue("inputRadius", double(float(std::max(face.size.width, face.size.height))));
    ci::ImageRef out = vignette->outputImage();
    if (!out) continue;
    if (!kept) {
      kept = out;
      continue;
    }
    ci::FilterRef lighten = ci::Filter::withName("CILightenBlendMode");
    if (!lighten) break;
    lighten->setDefaults();
    lighten->setValue(ci::kInputBackgroundImageKey, kept);
    lighten->setValue(ci::kInputImageKey, out);
    if (ci::ImageRef combined = lighten->outputImage()) kept = combined;
  }
  return kept ? kept : image;
}

void CIFiltering::framingFacesWithContext(raster::BitmapContext* context,
                                          const std::optional<std::vector<raster::Rect>>& faces) {
  if (!context || !faces || faces->empty()) return;
  const float width =
      kFrameWidth * std::sqrt(float(context->width()) * float(context->height()) / kFramePixelArea);
  raster::Path path;
  for (const raster::Rect& face : *faces)
    if (finite(face)) path.addRect(face);
  context->saveGState();
  context->setBlendMode(raster::BlendMode::Normal);
  context->setInterpolationQuality(raster::InterpolationQuality::High);
  context->setStrokeColor(raster::Color::gray(1.0));
  context->setLineWidth(width);
  context->setLineCap(raster::LineCap::Round);
  context->setLineJoin(raster::LineJoin::Round);
  context->strokePath(path);
  context->restoreGState();
}

void CIFiltering::facesBitmapRepsWithCIImage(const ci::ImageRef& image, const raster::Rect& extent,
                                             const std::vector<raster::Rect>& faces) {
  if (!image || !ciContext_ || faces.empty()) return;
  for (const raster::Rect& face : faces) {
    if (!finite(face)) continue;
    const raster::Rect inside = face.standardized().intersection(extent.standardized());
    const raster::Rect pixels(std::round(inside.origin.x), std::round(inside.origin.y),
                              std::round(inside.size.width), std::round(inside.size.height));
    if (!(pixels.size.width >= 1 && pixels.size.height >= 1)) continue;
    const raster::ImageRef rendered = ciContext_->createImage(image, pixels);
    if (!rendered) continue;
    // 8-bit sRGB whatever the context renders in.
    auto crop = raster::BitmapImageRep::create(rendered->width(), rendered->height(),
                                               raster::PixelFormat::rgba8(), raster::ColorSpace::sRGB());
    auto context = crop ? crop->makeContext() : nullptr;
    if (!context) continue;
    context->setBlendMode(raster::BlendMode::Copy);
    context->drawImage(rendered, raster::Rect(0, 0, double(rendered->width()), double(rendered->height())));
    crop->setImage(context->makeImage());
    cropFacesArray.push_back(std::move(crop));
  }
}

}  // namespace velumar
