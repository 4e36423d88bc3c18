#pragma once
// Where the bytes of a line stand on screen: every byte fills one column but
// a tab, which runs to the next multiple of kTabWidth. A line without tabs
// needs no more than arithmetic; finding that out, and the columns of a line
// with tabs, takes a scan from the line's start. Short lines are scanned
// each time. For long ones the column at every kStep-th byte is kept, per
// line, for a bounded number of lines, so that a position deep in a line of
// hundreds of megabytes costs at most one step's scan once its line is known.

#include "text/TextBuffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class LineColumns {
public:
  static constexpr int64_t kTabWidth = 8;
  static constexpr std::size_t kStep = 4096;
  static constexpr std::size_t kMaxLines = 256;

  // The text must outlive this.
  explicit LineColumns(const TextBuffer& text) : text_(text) {}

  // The byte of a line whose cell holds a column, and where that cell
  // starts; past the line's end, the end and its column.
  struct Cell {
    std::size_t position;
    int64_t column;
  };

  // The column at which byte `position` of the line [start, end) starts
  // (end: the column after the line).
  int64_t ColumnOf(std::size_t start, std::size_t end, std::size_t position);
  Cell CellAt(std::size_t start, std::size_t end, int64_t column);
  // The line boundary nearest to `column`: a column inside a tab goes to
  // the nearer side of the tab.
  std::size_t NearestBoundary(std::size_t start, std::size_t end, int64_t column);

  // The bytes from `position` on changed; what is known before it stays.
  void Changed(std::size_t position);
  // The `removed` bytes at `position` were replaced by `inserted` bytes.
  // `plain`: neither held a tab or a line break. Then a line without tabs
  // keeps what is known of it (its columns are its offsets) and the lines
  // after the edit just move, so typing in a line of hundreds of megabytes
  // costs no scan of it; any other edit is Changed(position).
  void Replaced(std::size_t position, std::size_t removed, std::size_t inserted, bool plain);
  void Clear() { lines_.clear(); }

  // Column after a byte that starts at `column`.
  static int64_t Advance(char byte, int64_t column) {
    return byte == '\t' ? (column / kTabWidth + 1) * kTabWidth : column + 1;
  }

private:
  struct Line {
    std::size_t start;
    std::size_t scanned;        // the bytes [start, scanned) are known
    int64_t column;             // the column at `scanned`
    bool tabs;                  // a tab was seen before `scanned`
    std::vector<int64_t> marks; // the column at start + i * kStep
    uint64_t used;
  };

  Line& Known(std::size_t start);
  void Scan(Line& line, std::size_t to);
  void Drop(std::size_t count);
  // The column at `position` counted from `column` at `from`.
  int64_t Walk(std::size_t from, std::size_t position, int64_t column) const;
  Cell FindCell(std::size_t from, std::size_t end, int64_t startColumn, int64_t column) const;

  const TextBuffer& text_;
  std::vector<Line> lines_;
  uint64_t clock_ = 0;
};
