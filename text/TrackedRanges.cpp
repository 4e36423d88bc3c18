#include "text/TrackedRanges.h"

#include <algorithm>

void TrackedRanges::Add(std::size_t at, std::size_t length) {
  if (length == 0)
    return;
  if (!ranges_.empty() && ranges_.back().to == at)
    ranges_.back().to += length;
  else
    ranges_.push_back({at, at + length});
}

void TrackedRanges::Replaced(std::size_t at, std::size_t removed, std::size_t inserted) {
  if (ranges_.empty())
    return;
  if (removed > 0)
    Removed(at, removed);
  if (inserted > 0)
    Inserted(at, inserted);
}

std::size_t TrackedRanges::AfterRemoving(std::size_t position, const Range& range) {
  if (position <= range.from)
    return position;
  return position >= range.to ? position - (range.to - range.from) : range.from;
}

void TrackedRanges::Removed(std::size_t at, std::size_t removed) {
  const std::size_t end = at + removed;
  std::vector<Range> kept;
  kept.reserve(ranges_.size());
  for (const Range& r : ranges_) {
    if (r.to <= at) {
      kept.push_back(r);
      continue;
    }
    if (r.from >= end) {
      kept.push_back({r.from - removed, r.to - removed});
      continue;
    }
    // What is left before the removal and after it now meet at `at`.
    const std::size_t before = r.from < at ? at - r.from : 0;
    const std::size_t after = r.to > end ? r.to - end : 0;
    const std::size_t from = std::min(r.from, at);
    if (before + after > 0)
      kept.push_back({from, from + before + after});
  }
  ranges_.swap(kept);
  // Text of the user's between two ranges may have gone.
  Merge();
}

void TrackedRanges::Inserted(std::size_t at, std::size_t inserted) {
  std::vector<Range> moved;
  moved.reserve(ranges_.size() + 1);
  for (const Range& r : ranges_) {
    if (r.to <= at) {
      moved.push_back(r);
    } else if (r.from >= at) {
      moved.push_back({r.from + inserted, r.to + inserted});
    } else {
      moved.push_back({r.from, at});
      moved.push_back({at + inserted, r.to + inserted});
    }
  }
  ranges_.swap(moved);
}

void TrackedRanges::Merge() {
  std::vector<Range> merged;
  merged.reserve(ranges_.size());
  for (const Range& r : ranges_) {
    if (!merged.empty() && merged.back().to == r.from)
      merged.back().to = r.to;
    else
      merged.push_back(r);
  }
  ranges_.swap(merged);
}
