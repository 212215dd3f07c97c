#include "platform/ui/uri_list.h"

#include <QList>

namespace ui {

namespace {

// "file://host/path" or "file:/path" → the still-encoded path; empty when
// the line is no local file URL.
QByteArray encodedLocalPath(const QByteArray& line) {
  constexpr char kScheme[] = "file:";
  if (!line.toLower().startsWith(kScheme)) return {};
  QByteArray rest = line.mid(sizeof(kScheme) - 1);
  if (rest.startsWith("//")) {
    rest = rest.mid(2);
    const qsizetype slash = rest.indexOf('/');
    if (slash < 0) return {};
    const QByteArray host = rest.left(slash).toLower();
    if (!host.isEmpty() && host != "localhost") return {};
    rest = rest.mid(slash);
  }
  // A query or fragment is not part of a file's path.
  const qsizetype end = rest.indexOf('#');
  if (end >= 0) rest.truncate(end);
  return rest;
}

}  // namespace

std::vector<std::string> localPathsFromUriList(const QByteArray& uriList) {
  std::vector<std::string> paths;
  for (QByteArray line : uriList.split('\n')) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    const QByteArray encoded = encodedLocalPath(line);
    if (!encoded.startsWith('/')) continue;
    const QByteArray decoded = QByteArray::fromPercentEncoding(encoded);
    if (decoded.contains('\0')) continue;
    paths.emplace_back(decoded.constData(), std::size_t(decoded.size()));
  }
  return paths;
}

}  // namespace ui
