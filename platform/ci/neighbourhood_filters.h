#pragma once
// Filters that read a neighbourhood of each pixel. Their formulas, all on
// premultiplied colour with alpha kept unless said otherwise; L is Rec. 709
// luma (0.2126 R + 0.7152 G + 0.0722 B), G_σ the Gaussian blur. Each is the
// identity at its identity value, monotone in its parameters and a function
// of the pixels alone. Reaches are bounded (kMaximumReach) so that no
// setting makes a tile read without bound; sizes that are not numbers
// count as 0.

#include "platform/ci/image.h"

namespace ci {

// The largest distance in pixels that a neighbourhood filter reads.
inline constexpr double kMaximumReach = 256;

// Mean over the (2r + 1)² window, r = round(radius) (0 to kMaximumReach).
ImageRef boxBlurred(const ImageRef& input, double radius);

// in + k · (in − G_σ(in)), σ = radius.
ImageRef unsharpMasked(const ImageRef& input, double radius, double intensity);

// The unsharp mask of the luma alone, added equally to R, G and B:
// in + k · (L(in) − L(G_σ(in))), chroma unchanged.
ImageRef luminanceSharpened(const ImageRef& input, double radius, double sharpness);

// Edge-preserving smoothing of luma, then luma sharpening. Each pixel's
// luma moves to the mean of the 5 × 5 lumas around it weighted by
// max(0, 1 − |L(q) − L(p)| / (3 · noiseLevel)) (neighbours that differ by
// more than three noise deviations do not count), the change added
// equally to R, G and B; then luminanceSharpened with radius 1 and the
// given sharpness.
ImageRef noiseReduced(const ImageRef& input, double noiseLevel, double sharpness);

// Per channel, intensity × the 3 × 3 Sobel gradient magnitude
// √(Gx² + Gy²) (kernels ±[1 2 1] across [−1 0 1]); alpha kept.
ImageRef edgesOf(const ImageRef& input, double intensity);

// Each pixel p the mean of 33 bilinear samples evenly spaced on the
// segment from p towards the centre c of length min(amount / 100 · |p − c|,
// kMaximumReach). The centre and every ray through it keep their colours.
ImageRef zoomBlurred(const ImageRef& input, raster::Point centre, double amount);

// Voronoi cells of a grid of spacing r (4 to kMaximumReach / 2) anchored at
// centre, each seed jittered within the middle half of its grid cell by a
// hash of the cell; every pixel takes the input pixel under its nearest
// seed.
ImageRef crystallized(const ImageRef& input, raster::Point centre, double radius);

// Highlights pulled towards the blur: w = clamp(intensity · L(in)², 0, 1),
// out = in + w · (min(G_r(in), in) − in) per channel. Never brightens.
ImageRef gloomed(const ImageRef& input, double radius, double intensity);

// Blocks of side s (1 to kMaximumReach) anchored at centre; every pixel
// takes the mean of the input pixels (within the input) of its block.
ImageRef pixellated(const ImageRef& input, raster::Point centre, double scale);

// Colour × exp(−i · t²), t the distance from the extent's centre over half
// its diagonal, divided by radius; i held to [−2, 100]. A finite input
// only (nullptr otherwise).
ImageRef vignetted(const ImageRef& input, double radius, double intensity);

// Unchanged within radius of centre; beyond, colour × (1 − i · smoothstep
// ((d − radius) / (falloff · radius))), i held to [−1, 1].
ImageRef vignetteEffect(const ImageRef& input, raster::Point centre, double radius, double intensity,
                        double falloff);

// Turned by angle radians counter-clockwise about the extent's centre and
// enlarged by the least factor that leaves no corner empty; the extent
// kept. A finite input only (nullptr otherwise).
ImageRef straightened(const ImageRef& input, double angle);

}  // namespace ci
