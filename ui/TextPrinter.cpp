#include "ui/TextPrinter.h"

#include "ui/TextEditor.h"

#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace {
// Bytes of a line read at a time.
constexpr int64_t kSlice = 64 * 1024;

// Lays printed rows onto pages; asks the progress callback at each new page.
class PageWriter {
public:
  PageWriter(QPrinter& printer, QPainter& painter, const PrintProgress& progress, int64_t total)
      : printer_(printer), painter_(painter), progress_(progress), total_(total) {
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    columns_ = std::max(1, page.width() / std::max(1, metrics.horizontalAdvance(QLatin1Char('M'))));
    rows_ = std::max(1, page.height() / std::max(1, metrics.lineSpacing()));
    lineSpacing_ = metrics.lineSpacing();
    ascent_ = metrics.ascent();
  }

  int Columns() const { return columns_; }
  bool Cancelled() const { return cancelled_; }

  // False when the job is to stop (cancelled or the printer failed).
  bool Row(QStringView text, int64_t printed) {
    if (row_ == rows_) {
      ++page_;
      if (progress_ && !progress_(page_, printed, total_)) {
        cancelled_ = true;
        return false;
      }
      if (!printer_.newPage())
        return false;
      row_ = 0;
    }
    painter_.drawText(0, row_ * lineSpacing_ + ascent_, text.toString());
    ++row_;
    return true;
  }

private:
  QPrinter& printer_;
  QPainter& painter_;
  const PrintProgress& progress_;
  int64_t total_;
  int columns_ = 1;
  int rows_ = 1;
  int lineSpacing_ = 1;
  int ascent_ = 0;
  int row_ = 0;
  int page_ = 1;
  bool cancelled_ = false;
};

// Prints [start, end) as rows of the page's width: tabs to the next multiple
// of 8 columns of the line, each byte as its ISO 8859-1 character.
bool PrintLine(const TextEditor& editor, int64_t start, int64_t end, PageWriter& pages) {
  const int columns = pages.Columns();
  QString pending;
  int64_t column = 0; // of the line, at the end of `pending`
  bool printed = false;
  for (int64_t at = start; at < end; at += kSlice) {
    const QByteArray bytes = editor.Range(at, std::min(end, at + kSlice));
    for (char c : bytes) {
      if (c == '\t') {
        const int64_t width = 8 - column % 8;
        pending.append(QString(static_cast<qsizetype>(width), QLatin1Char(' ')));
        column += width;
      } else {
        pending.append(QChar(static_cast<unsigned char>(c)));
        ++column;
      }
    }
    // Whole rows go out now; the rest waits for the next slice.
    qsizetype used = 0;
    for (; pending.size() - used >= columns; used += columns, printed = true)
      if (!pages.Row(QStringView(pending).mid(used, columns), at))
        return false;
    pending.remove(0, used);
  }
  // An empty line still takes a row; a full last row needs no empty one.
  return (printed && pending.isEmpty()) || pages.Row(pending, end);
}
} // namespace

PrintResult PrintText(const TextEditor& editor, QPrinter& printer, const PrintProgress& progress) {
  QPainter painter;
  if (!painter.begin(&printer))
    return PrintResult::Failed;
  painter.setFont(QFont(editor.font(), &printer));
  PageWriter pages(printer, painter, progress, editor.Length());
  const int64_t lines = editor.LineCount();
  bool going = true;
  for (int64_t line = 0; going && line < lines; ++line) {
    const int64_t start = editor.LineStart(line);
    const int64_t end = line + 1 < lines ? editor.LineStart(line + 1) - 1 : editor.Length();
    going = PrintLine(editor, start, end, pages);
  }
  if (pages.Cancelled()) {
    printer.abort();
    painter.end();
    return PrintResult::Cancelled;
  }
  const bool ended = painter.end();
  return going && ended && printer.printerState() != QPrinter::Error ? PrintResult::Printed
                                                                     : PrintResult::Failed;
}
