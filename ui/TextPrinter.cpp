#include "ui/TextPrinter.h"

#include "ui/TextEditor.h"

#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace {
// One line as it is printed: tabs to the next multiple of 8 columns, each
// byte as its ISO 8859-1 character.
QString PrintedLine(const QByteArray& bytes) {
  QString line;
  line.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '\t')
      line.append(QString(8 - line.size() % 8, QLatin1Char(' ')));
    else
      line.append(QChar(static_cast<unsigned char>(c)));
  }
  return line;
}
} // namespace

bool PrintText(const TextEditor& editor, QPrinter& printer) {
  QPainter painter;
  if (!painter.begin(&printer))
    return false;
  painter.setFont(QFont(editor.font(), &printer));
  const QFontMetrics metrics = painter.fontMetrics();
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  const int columns =
      std::max(1, page.width() / std::max(1, metrics.horizontalAdvance(QLatin1Char('M'))));
  const int rows = std::max(1, page.height() / std::max(1, metrics.lineSpacing()));
  int row = 0;
  const int64_t lines = editor.LineCount();
  for (int64_t line = 0; line < lines; ++line) {
    const int64_t start = editor.LineStart(line);
    const int64_t end = line + 1 < lines ? editor.LineStart(line + 1) - 1 : editor.Length();
    const QString text = PrintedLine(editor.Range(start, end));
    for (qsizetype at = 0; at == 0 || at < text.size(); at += columns) {
      if (row == rows) {
        printer.newPage();
        row = 0;
      }
      painter.drawText(0, row * metrics.lineSpacing() + metrics.ascent(), text.mid(at, columns));
      ++row;
    }
  }
  return painter.end();
}
