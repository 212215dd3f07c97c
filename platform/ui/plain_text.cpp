#include "platform/ui/plain_text.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextBoundaryFinder>

namespace ui {

namespace {

// Characters a line may run without a break opportunity: well within the
// width Qt gives a rich-text tooltip.
constexpr int kLongestRun = 32;
constexpr QChar kZeroWidthSpace(0x200B);

}  // namespace

QString plainToolTip(const QString& text) {
  if (text.isEmpty()) return {};
  // Qt wraps a rich-text tooltip at word boundaries only, so a long name
  // without spaces would run off the screen.
  QString broken;
  broken.reserve(text.size() + text.size() / kLongestRun + 1);
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
  QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
  int run = 0;
  qsizetype from = 0;
  for (qsizetype to = characters.toNextBoundary(); to != -1; to = characters.toNextBoundary()) {
    lines.setPosition(from);
    if (lines.isAtBoundary()) run = 0;
    if (run == kLongestRun) {
      broken += kZeroWidthSpace;
      run = 0;
    }
    broken += QStringView(text).sliced(from, to - from);
    ++run;
    from = to;
  }
  return QStringLiteral("<p style=\"white-space:pre-wrap\">") + broken.toHtmlEscaped() +
         QStringLiteral("</p>");
}

void setPlainTexts(QMessageBox& box, const QString& text, const QString& informativeText) {
  box.setText(text);
  box.setInformativeText(informativeText);
  box.setTextFormat(Qt::PlainText);
  // Qt gives the format to the text's label only; the informative text has
  // a label of its own, made by setInformativeText.
  if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
    informative->setTextFormat(Qt::PlainText);
}

}  // namespace ui
