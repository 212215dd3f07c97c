#pragma once
// The texts of the alerts a session shows.

namespace velumar {

inline constexpr const char* kAlertCouldntWriteFiles = "Couldn't write file(s)";
inline constexpr const char* kAlertCannotWriteFolder = "Cannot write to destination folder.";
inline constexpr const char* kAlertFormatNotSupported = "File format not supported.";
inline constexpr const char* kAlertFolderNotUsable = "This folder cannot be the output folder.";

}  // namespace velumar
