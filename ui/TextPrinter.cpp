#include "ui/TextPrinter.h"

#include "editor/LinePainter.h"
#include "ui/TextEditor.h"

#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <string>
#include <string_view>

namespace {
// Bytes of a line read at a time.
constexpr int64_t kSlice = 64 * 1024;

// Lays printed rows onto pages; asks the progress callback at each new page.
// Rows are drawn by the screen's own line painter at the printer's
// resolution, so that paper shows every byte as the screen does (control
// bytes as boxes with their hex value, the soft hyphen as "-").
class PageWriter {
public:
  PageWriter(QPrinter& printer, QPainter& painter, const QFont& font, const PrintProgress& progress,
             int64_t total)
      : printer_(printer), painter_(painter), line_(font), progress_(progress), total_(total) {
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    columns_ = std::max(1, static_cast<int>(page.width() / std::max<qreal>(1, line_.CellWidth())));
    rows_ = std::max(1, page.height() / std::max(1, line_.LineHeight()));
  }

  int Columns() const { return columns_; }
  bool Cancelled() const { return cancelled_; }

  // False when the job is to stop (cancelled or the printer failed).
  bool Row(std::string_view bytes, int64_t printed) {
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
    const auto count = static_cast<int64_t>(bytes.size());
    // Nothing is selected on paper.
    line_.Paint(painter_, row_ * line_.LineHeight(), {bytes.data(), bytes.size(), 0, 0, 0, count},
                0, 0, {Qt::black, Qt::white, Qt::black});
    ++row_;
    return true;
  }

private:
  QPrinter& printer_;
  QPainter& painter_;
  const LinePainter line_;
  const PrintProgress& progress_;
  int64_t total_;
  int columns_ = 1;
  int rows_ = 1;
  int row_ = 0;
  int page_ = 1;
  bool cancelled_ = false;
};

// Prints [start, end) as rows of the page's width, tabs to the next multiple
// of 8 columns of the line.
bool PrintLine(const TextEditor& editor, int64_t start, int64_t end, PageWriter& pages) {
  const auto columns = static_cast<std::size_t>(pages.Columns());
  std::string pending;
  int64_t column = 0; // of the line, at the end of `pending`
  bool printed = false;
  for (int64_t at = start; at < end; at += kSlice) {
    const QByteArray bytes = editor.Range(at, std::min(end, at + kSlice));
    for (char c : bytes) {
      if (c == '\t') {
        const int64_t width = 8 - column % 8;
        pending.append(static_cast<std::size_t>(width), ' ');
        column += width;
      } else {
        pending.push_back(c);
        ++column;
      }
    }
    // Whole rows go out now; the rest waits for the next slice.
    std::size_t used = 0;
    for (; pending.size() - used >= columns; used += columns, printed = true)
      if (!pages.Row(std::string_view(pending).substr(used, columns), at))
        return false;
    pending.erase(0, used);
  }
  // An empty line still takes a row; a full last row needs no empty one.
  return (printed && pending.empty()) || pages.Row(pending, end);
}
} // namespace

PrintResult PrintText(const TextEditor& editor, QPrinter& printer, const PrintProgress& progress) {
  QPainter painter;
  if (!painter.begin(&printer))
    return PrintResult::Failed;
  PageWriter pages(printer, painter, QFont(editor.font(), &printer), progress, editor.Length());
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
