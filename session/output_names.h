#pragma once
// Output file names: the extension of each conversion code, the rename rule
// (new name, prefix, suffix, running number, date) and the example name the
// rename controls show.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "session/rename_info.h"

namespace velumar {

class ProcessingView;
class SessionInfo;

// The extension of a conversion code; nothing for codes outside 0..14.
std::optional<std::string> verifyPathExtension(std::int64_t conversionCode);
// The name with its extension replaced by the code's (removed for a code
// without one).
std::string updateExtensionForFilename(const std::string& fileName, std::int64_t conversionCode);
// The path's last component with its extension replaced by the code's.
std::string updateFileNameForURL(const std::string& path, std::int64_t conversionCode);

// The text and the number joined, the number first when atStart, padded to
// zerosNumber digits when that is 1 to 9.
std::string verifyLeadingZerosForString(const std::string& text, std::int64_t number, bool atStart,
                                        std::int64_t zerosNumber);

// The rename rule on fileName (with its extension): number is the running
// number, dateText gives the "yyyy - MM - dd" text (asked only when the
// date is used). The number is used only when values.initialNumber is not
// negative.
std::string modifyImagePrefixNameAndSuffix(const std::string& fileName, const RenameInfo& renameInfo,
                                           const RenameValues& values, std::int64_t number,
                                           const std::function<std::string()>& dateText);
// The rule inside a session: the session's rename values and running
// number, the date of the file at datePath (the session's processed file
// when not given), today's when there is none.
std::string modifyImagePrefixNameAndSuffix(const std::string& fileName, const RenameInfo& renameInfo,
                                           const SessionInfo& session,
                                           const std::optional<std::string>& datePath = std::nullopt);

// A built name made one path component: "/" becomes a space and NUL is
// dropped; a name left empty, "." or ".." becomes fallback.
std::string singleComponentFileName(const std::string& name, const std::string& fallback);

// ownName through the session's rename rule, made one path component; a
// name left unusable (empty, or starting with a dot) falls back to ownName.
std::string renamedFileName(const std::string& ownName, const SessionInfo& session,
                            const std::optional<std::string>& datePath = std::nullopt);

// The example output name for fileName: the selected format's extension,
// the controls' rename switches and values, the initial number and today.
// Main thread.
std::string updateStringForExample(ProcessingView& view, const std::string& fileName);

// Whether a directory exists at path.
bool verifyParentDirectory(const std::optional<std::string>& path);

}  // namespace velumar
