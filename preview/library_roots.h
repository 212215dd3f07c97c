#pragma once
// The common root folder of the preview list's imports: the leading path
// components that all imports share, compared as the user reads them.

#include <string>

#include "preview/organized_url.h"

namespace velumar {

// The root shared by newPath and currentRoot: no shared component gives "",
// only the leading "/" gives "/", more give the joined path. An empty path
// (a photo-library import) shares nothing.
std::string verifyFileUrlsRootPath(const std::string& newPath, const std::string& currentRoot);

// The root shared by the distinct parent folders of a non-empty list;
// "" for an empty one.
std::string verifyFileUrlsRootPathForPreviewArray(const OrganizedURLList& entries);

}  // namespace velumar
