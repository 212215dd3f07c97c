#pragma once
// One batch conversion: made per request, kept alive by its record's
// currentSession until the end of the session clears it.

#include <cstdint>
#include <string>

namespace velumar {

class SessionInfo;

class ProcessingSession {
 public:
  // Conversion code -1 keeps the source's own extension.
  static constexpr std::int64_t kKeepSourceExtension = -1;

  // ---- Output paths (processing_session_paths.cpp) ----------------------------
  // The full output path of the session's processed file: the code's
  // extension, the rename rule, and the output folder, or the subfolder
  // repeating the source's place when the hierarchy is kept. Hands the
  // source's tags to the engine. Before the free-name search.
  std::string createPathFileForSession(const SessionInfo& session, std::int64_t conversionCode) const;
  // The path when nothing exists there, else its first free " N" variant.
  static std::string verifyPathName(const std::string& path);
};

}  // namespace velumar
