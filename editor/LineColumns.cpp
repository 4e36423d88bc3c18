#include "editor/LineColumns.h"

#include <algorithm>
#include <cstring>

namespace {

bool HasTab(const TextBuffer& text, std::size_t from, std::size_t to) {
  bool found = false;
  text.VisitRange(from, to, [&](const char* data, std::size_t length) {
    found = found || std::memchr(data, '\t', length) != nullptr;
  });
  return found;
}

} // namespace

int64_t LineColumns::Walk(std::size_t from, std::size_t position, int64_t column) const {
  text_.VisitRange(from, position, [&](const char* data, std::size_t length) {
    const char* end = data + length;
    while (data < end) {
      const auto* tab = static_cast<const char*>(std::memchr(data, '\t', end - data));
      if (!tab) {
        column += end - data;
        break;
      }
      column += tab - data;
      column = Advance('\t', column);
      data = tab + 1;
    }
  });
  return column;
}

LineColumns::Cell LineColumns::FindCell(std::size_t from, std::size_t end, int64_t startColumn,
                                        int64_t column) const {
  Cell cell{from, startColumn};
  bool found = false;
  text_.VisitRange(from, end, [&](const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length && !found; ++i) {
      const int64_t next = Advance(data[i], cell.column);
      if (next > column) {
        found = true;
        break;
      }
      cell.column = next;
      ++cell.position;
    }
  });
  return cell;
}

LineColumns::Line& LineColumns::Known(std::size_t start) {
  ++clock_;
  for (Line& line : lines_)
    if (line.start == start) {
      line.used = clock_;
      return line;
    }
  if (lines_.size() >= kMaxLines)
    Drop(lines_.size() - kMaxLines + 1);
  lines_.push_back(Line{start, start, 0, false, {0}, clock_});
  return lines_.back();
}

void LineColumns::Drop(std::size_t count) {
  // The least recently used go.
  std::sort(lines_.begin(), lines_.end(),
            [](const Line& a, const Line& b) { return a.used > b.used; });
  lines_.resize(lines_.size() - count);
}

void LineColumns::Scan(Line& line, std::size_t to) {
  while (line.scanned < to) {
    const std::size_t offset = line.scanned - line.start;
    const std::size_t stop = std::min(to, line.start + (offset / kStep + 1) * kStep);
    line.tabs = line.tabs || HasTab(text_, line.scanned, stop);
    line.column = line.tabs ? Walk(line.scanned, stop, line.column)
                            : line.column + static_cast<int64_t>(stop - line.scanned);
    line.scanned = stop;
    if ((stop - line.start) % kStep == 0)
      line.marks.push_back(line.column);
  }
}

int64_t LineColumns::ColumnOf(std::size_t start, std::size_t end, std::size_t position) {
  position = std::clamp(position, start, end);
  if (end - start <= kStep)
    return HasTab(text_, start, position) ? Walk(start, position, 0)
                                          : static_cast<int64_t>(position - start);
  Line& line = Known(start);
  Scan(line, position);
  if (!line.tabs)
    return static_cast<int64_t>(position - start);
  const std::size_t mark = (position - start) / kStep;
  return Walk(start + mark * kStep, position, line.marks[mark]);
}

LineColumns::Cell LineColumns::CellAt(std::size_t start, std::size_t end, int64_t column) {
  column = std::max<int64_t>(0, column);
  if (end - start <= kStep)
    return FindCell(start, end, 0, column);
  Line& line = Known(start);
  // Every byte takes at least one column, so the cell lies within `column`
  // bytes of the start.
  const auto reach =
      static_cast<std::size_t>(std::min<int64_t>(column + 1, static_cast<int64_t>(end - start)));
  Scan(line, start + reach);
  if (!line.tabs)
    return Cell{start + static_cast<std::size_t>(std::min<int64_t>(column, end - start)),
                std::min<int64_t>(column, static_cast<int64_t>(end - start))};
  const auto after = std::upper_bound(line.marks.begin(), line.marks.end(), column);
  const std::size_t mark = static_cast<std::size_t>(after - line.marks.begin()) - 1;
  return FindCell(start + mark * kStep, end, line.marks[mark], column);
}

std::size_t LineColumns::NearestBoundary(std::size_t start, std::size_t end, int64_t column) {
  const Cell cell = CellAt(start, end, column);
  if (cell.column >= column || cell.position >= end)
    return cell.position;
  const int64_t after = Advance('\t', cell.column);
  return column - cell.column <= after - column ? cell.position : cell.position + 1;
}

void LineColumns::Changed(std::size_t position) {
  lines_.erase(std::remove_if(lines_.begin(), lines_.end(),
                              [&](const Line& line) { return line.start > position; }),
               lines_.end());
  for (Line& line : lines_) {
    if (line.scanned <= position)
      continue;
    const std::size_t mark = (position - line.start) / kStep;
    line.marks.resize(mark + 1);
    line.scanned = line.start + mark * kStep;
    line.column = line.marks[mark];
  }
}

void LineColumns::Replaced(std::size_t position, std::size_t removed, std::size_t inserted,
                           bool plain) {
  if (!plain) {
    Changed(position);
    return;
  }
  const std::size_t removedEnd = position + removed;
  for (Line& line : lines_) {
    if (line.start > position) {
      // No line break went or came: the line moved, its columns stay.
      line.start = line.start - removed + inserted;
      line.scanned = line.scanned - removed + inserted;
      continue;
    }
    if (line.scanned <= position)
      continue;
    if (line.tabs) {
      // A tab after the edit may now end elsewhere: count again from the
      // mark before it.
      const std::size_t mark = (position - line.start) / kStep;
      line.marks.resize(mark + 1);
      line.scanned = line.start + mark * kStep;
      line.column = line.marks[mark];
      continue;
    }
    // Known bytes past the removed ones moved; the inserted ones are known
    // too, having no tab.
    line.scanned =
        line.scanned >= removedEnd ? line.scanned - removed + inserted : position + inserted;
    line.column = static_cast<int64_t>(line.scanned - line.start);
    const std::size_t marks = (line.scanned - line.start) / kStep + 1;
    line.marks.resize(marks);
    for (std::size_t i = 0; i < marks; ++i)
      line.marks[i] = static_cast<int64_t>(i * kStep);
  }
}
