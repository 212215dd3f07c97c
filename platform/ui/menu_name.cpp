#include "platform/ui/menu_name.h"

#include <QString>
#include <QTextBoundaryFinder>
#include <vector>

namespace ui {

namespace {
constexpr std::size_t kLongestName = 60;
constexpr std::size_t kHeadOfLongName = 30;

// Embeddings, overrides, isolates and the direction marks: removed, so the
// name can neither reach past the isolate it is shown in nor turn it.
bool steersText(QChar c) {
  switch (c.direction()) {
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
      return true;
    default:
      break;
  }
  const char16_t code = c.unicode();
  return code == u'\u061C' || code == u'\u200E' || code == u'\u200F';
}

// C0 and C1 controls (the tab among them), and what ends a line or a
// paragraph (bidi class B: line feed to U+001E, U+0085, U+2029; U+2028).
bool separatesWords(QChar c) {
  return c == u' ' || c.category() == QChar::Other_Control || c.direction() == QChar::DirB ||
         c.category() == QChar::Separator_Line;
}

// text cut in the middle to kLongestName characters, counted as the user
// sees them (a base letter with its combining marks, or a surrogate pair,
// is one).
QString elidedInTheMiddle(const QString& text) {
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  std::vector<qsizetype> starts;
  for (qsizetype at = 0; at >= 0 && at < text.size(); at = finder.toNextBoundary()) starts.push_back(at);
  if (starts.size() <= kLongestName) return text;
  const qsizetype tail = starts[starts.size() - (kLongestName - kHeadOfLongName - 1)];
  return text.left(starts[kHeadOfLongName]) + QChar(0x2026) + text.mid(tail);
}
}  // namespace

std::string menuName(const std::string& name) {
  QString line;
  for (const QChar c : QString::fromStdString(name)) {
    if (steersText(c)) continue;
    if (!separatesWords(c)) {
      line += c;
    } else if (!line.isEmpty() && !line.endsWith(u' ')) {
      line += u' ';
    }
  }
  if (line.endsWith(u' ')) line.chop(1);
  return elidedInTheMiddle(line).toStdString();
}

}  // namespace ui
