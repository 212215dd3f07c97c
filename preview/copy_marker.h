#pragma once
// What the preview's copy command puts on the clipboard beside the file
// URLs, so the preview's own paste ignores it: copying out of the preview
// does not list the converted copies again.

namespace velumar {

inline constexpr const char* kCopyMarkerMimeType = "application/x-velumar-copy-marker";
inline constexpr const char* kCopyMarkerString = "velumarPBoardType";

}  // namespace velumar
