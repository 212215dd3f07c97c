#pragma once
// The local files of a dragged "text/uri-list": file URLs only, their paths
// decoded from the raw bytes so names that are not UTF-8 arrive intact.

#include <QByteArray>
#include <string>
#include <vector>

namespace ui {

// The local paths in list order. Comments, empty lines, other schemes and
// file URLs of other hosts are skipped; paths holding a NUL byte or not
// absolute are skipped too.
std::vector<std::string> localPathsFromUriList(const QByteArray& uriList);

}  // namespace ui
