#pragma once
// What kind of file is this: the type identifier from the extension, else
// from the first bytes, and whether any decoder can read it.

#include <string>
#include <vector>

namespace imageio {

// The type identifier for a path ("public.jpeg", "com.adobe.pdf", ...):
// from the extension when it is known, else from the magic bytes; empty
// when neither tells. A text file is not an image.
std::string typeOfFile(const std::string& path);
// From the extension alone (case-insensitive, no dot); empty when unknown.
std::string typeForExtension(const std::string& extension);
// From the first bytes alone; empty when unknown.
std::string typeFromContents(const std::string& path);
// From the first bytes, when the format's fixed header is there in full
// (a PNG needs its IHDR chunk, a GIF its screen descriptor, ...); empty
// otherwise. Reads at most 64 bytes and decodes nothing.
std::string typeFromHeader(const std::string& path);
// The canonical extension of a type ("public.jpeg" -> "jpg"); empty when
// unknown.
std::string preferredExtension(const std::string& type);
// Whether the type decodes to plain bitmaps, one per image, without a
// loader of its own: JPEG, PNG, TIFF, BMP, HEIF, WebP.
bool isPlainRasterType(const std::string& type);
// True when a decoder opens the file and it has at least one image.
bool isReadableImage(const std::string& path);
// Every type identifier we can read, and every one we can write.
std::vector<std::string> readableTypes();
std::vector<std::string> writableTypes();

}  // namespace imageio
