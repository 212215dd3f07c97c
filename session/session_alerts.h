#pragma once
// The texts of the alerts a session shows.

namespace velumar {

// Titles of a failed batch's sheet, by what failed: writing outputs,
// reading sources, both or something else, or a batch cancelled after
// some files had failed.
inline constexpr const char* kAlertCouldntWriteFiles = "Couldn't write file(s)";
inline constexpr const char* kAlertCouldntReadFiles = "Couldn't read file(s)";
inline constexpr const char* kAlertCouldntConvertFiles = "Couldn't convert file(s)";
inline constexpr const char* kAlertBatchCancelled = "Batch cancelled";
inline constexpr const char* kAlertCannotWriteFolder = "Cannot write to destination folder.";
inline constexpr const char* kAlertFormatNotSupported = "File format not supported.";
inline constexpr const char* kAlertFolderNotUsable = "This folder cannot be the output folder.";

}  // namespace velumar
