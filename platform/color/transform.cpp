// Building and caching transforms.

#include "platform/color/transform.h"

#include <lcms2.h>

#include <list>
#include <mutex>

#include "platform/color/icc_profile_factory.h"
#include "platform/color/matrix_shaper_path.h"
#include "platform/foundation/log.h"

namespace color {

// Builds transforms and sets their private conversion mode.
struct TransformFactory {
  static std::shared_ptr<const Transform> withExactPath(std::unique_ptr<MatrixShaperPath> exact,
                                                        const BufferLayout& source,
                                                        const BufferLayout& destination) {
    auto transform = std::make_shared<Transform>(nullptr, source, destination);
    transform->exact_ = std::move(exact);
    return transform;
  }

  static std::shared_ptr<const Transform> copying(const BufferLayout& layout) {
    auto transform = std::make_shared<Transform>(nullptr, layout, layout);
    transform->copies_ = true;
    return transform;
  }

  static std::shared_ptr<const Transform> withHandle(void* handle, const BufferLayout& source,
                                                     const BufferLayout& destination, bool viaSixteenBit) {
    auto transform = std::make_shared<Transform>(handle, source, destination);
    transform->floatViaSixteenBit_ = viaSixteenBit;
    // 16-bit CMYK needs no ink scaling, so only premultiplied input is staged.
    if (viaSixteenBit) transform->sourceNeedsStaging_ = source.hasAlpha && source.premultiplied;
    return transform;
  }
};

namespace {

// Transforms kept for reuse; the least recently used goes first.
constexpr std::size_t kCacheCapacity = 64;

struct CacheEntry {
  ProfileRef source;
  BufferLayout sourceLayout;
  ProfileRef destination;
  BufferLayout destinationLayout;
  Intent intent;
  bool blackPointCompensation;
  std::shared_ptr<const Transform> transform;

  bool matches(const IccProfile& otherSource, const BufferLayout& otherSourceLayout,
               const IccProfile& otherDestination, const BufferLayout& otherDestinationLayout,
               Intent otherIntent, bool otherBlackPoint) const {
    return intent == otherIntent && blackPointCompensation == otherBlackPoint &&
           sourceLayout == otherSourceLayout && destinationLayout == otherDestinationLayout &&
           source->sameAs(otherSource) && destination->sameAs(otherDestination);
  }
};

struct TransformCache {
  std::mutex mutex;               // guards entries
  std::mutex buildMutex;          // one lcms2 build at a time: profile handles are shared
  std::list<CacheEntry> entries;  // most recently used first

  std::shared_ptr<const Transform> find(const ProfileRef& source, const BufferLayout& sourceLayout,
                                        const ProfileRef& destination, const BufferLayout& destinationLayout,
                                        Intent intent, bool blackPoint) {
    std::lock_guard lock(mutex);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (!it->matches(*source, sourceLayout, *destination, destinationLayout, intent, blackPoint)) continue;
      entries.splice(entries.begin(), entries, it);
      return entries.front().transform;
    }
    return nullptr;
  }

  void insert(CacheEntry entry) {
    std::lock_guard lock(mutex);
    entries.push_front(std::move(entry));
    if (entries.size() > kCacheCapacity) entries.pop_back();
  }
};

TransformCache& cache() {
  static TransformCache instance;
  return instance;
}

bool validLayout(const BufferLayout& layout, const IccProfile& profile) {
  return layout.colorChannels == profile.channels() && !(layout.hasAlpha && layout.padding);
}

// The lcms2 pixel format: colour samples, plus alpha or padding as one
// extra sample that lcms2 skips (this code carries alpha itself).
cmsUInt32Number lcmsFormat(const BufferLayout& layout, const IccProfile& profile) {
  bool extra = layout.hasAlpha || layout.padding;
  cmsUInt32Number format =
      COLORSPACE_SH(cmsUInt32Number(_cmsLCMScolorSpace(cmsColorSpaceSignature(profile.dataColorSpace())))) |
      CHANNELS_SH(cmsUInt32Number(layout.colorChannels)) | EXTRA_SH(extra ? 1u : 0u);
  switch (layout.type) {
    case SampleType::UInt8:
      format |= BYTES_SH(1);
      break;
    case SampleType::UInt16:
      format |= BYTES_SH(2);
      break;
    case SampleType::Float32:
      format |= BYTES_SH(4) | FLOAT_SH(1);
      break;
  }
  if (extra && layout.alphaFirst) format |= SWAPFIRST_SH(1);
  return format;
}

bool isMatrixShaper(const IccProfile& profile) {
  return cmsIsMatrixShaper(static_cast<cmsHPROFILE>(profile.handle()));
}

BufferLayout sixteenBitFor(BufferLayout layout) {
  if (layout.type == SampleType::Float32) layout.type = SampleType::UInt16;
  return layout;
}

std::shared_ptr<const Transform> build(const ProfileRef& source, const BufferLayout& sourceLayout,
                                       const ProfileRef& destination, const BufferLayout& destinationLayout,
                                       Intent intent, bool blackPoint) {
  if (sourceLayout == destinationLayout && !sourceLayout.padding && source->sameAs(*destination) &&
      intent != Intent::AbsoluteColorimetric)
    return TransformFactory::copying(sourceLayout);
  // Between RGB or gray matrix/shaper profiles with 16-bit or float
  // samples: exact, unbounded tables.
  if (auto exact = MatrixShaperPath::make(*source, sourceLayout, *destination, destinationLayout, intent))
    return TransformFactory::withExactPath(std::move(exact), sourceLayout, destinationLayout);
  // lcms2 evaluates float transforms through lookup-table profiles pixel by
  // pixel, slowly, and clamps them to 0..1 all the same: those run on 16-bit
  // samples instead. Matrix/shaper pairs keep float, unclamped.
  bool anyFloat = sourceLayout.type == SampleType::Float32 || destinationLayout.type == SampleType::Float32;
  bool viaSixteenBit = anyFloat && !(isMatrixShaper(*source) && isMatrixShaper(*destination));
  BufferLayout lcmsSource = viaSixteenBit ? sixteenBitFor(sourceLayout) : sourceLayout;
  BufferLayout lcmsDestination = viaSixteenBit ? sixteenBitFor(destinationLayout) : destinationLayout;
  // No one-pixel cache: a transform is shared between threads. lcms2
  // resamples 16-bit transforms into a grid; the finer one bends colours
  // near the gamut boundary less.
  cmsUInt32Number flags = cmsFLAGS_NOCACHE;
  if (blackPoint) flags |= cmsFLAGS_BLACKPOINTCOMPENSATION;
  if (lcmsSource.type == SampleType::UInt16 || lcmsDestination.type == SampleType::UInt16)
    flags |= cmsFLAGS_HIGHRESPRECALC;
  cmsHTRANSFORM handle =
      cmsCreateTransform(static_cast<cmsHPROFILE>(source->handle()), lcmsFormat(lcmsSource, *source),
                         static_cast<cmsHPROFILE>(destination->handle()),
                         lcmsFormat(lcmsDestination, *destination), cmsUInt32Number(intent), flags);
  if (!handle) {
    foundation::log("no colour transform from \"{}\" to \"{}\"", source->description(),
                    destination->description());
    return nullptr;
  }
  return TransformFactory::withHandle(handle, sourceLayout, destinationLayout, viaSixteenBit);
}

}  // namespace

std::shared_ptr<const Transform> Transform::get(const ProfileRef& source, const BufferLayout& sourceLayout,
                                                const ProfileRef& destination,
                                                const BufferLayout& destinationLayout, Intent intent,
                                                bool blackPointCompensation) {
  if (!source || !destination) return nullptr;
  if (!validLayout(sourceLayout, *source) || !validLayout(destinationLayout, *destination)) {
    foundation::log("colour transform: pixel layout does not fit \"{}\" or \"{}\"", source->description(),
                    destination->description());
    return nullptr;
  }
  installLcmsErrorHandler();
  TransformCache& transforms = cache();
  if (auto found = transforms.find(source, sourceLayout, destination, destinationLayout, intent,
                                   blackPointCompensation))
    return found;
  std::lock_guard building(transforms.buildMutex);
  if (auto found = transforms.find(source, sourceLayout, destination, destinationLayout, intent,
                                   blackPointCompensation))
    return found;
  auto transform =
      build(source, sourceLayout, destination, destinationLayout, intent, blackPointCompensation);
  if (transform)
    transforms.insert(
        {source, sourceLayout, destination, destinationLayout, intent, blackPointCompensation, transform});
  return transform;
}

}  // namespace color
