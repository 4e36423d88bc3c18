#pragma once
// Ranges of a text that stay on the same bytes while the text is edited
// around them and inside them. A pass shows a long run as it comes, in
// pieces appended to the document; should the run be rejected at its end
// (the limits changed meanwhile), its pieces must go wherever the user's
// edits have moved them, and nothing the user typed with them.

#include <cstddef>
#include <vector>

class TrackedRanges {
public:
  struct Range {
    std::size_t from = 0;
    std::size_t to = 0;
    bool operator==(const Range& other) const { return from == other.from && to == other.to; }
  };

  // text[at, at + length) joins the ranges; `at` lies at or after their end,
  // as appended text does.
  void Add(std::size_t at, std::size_t length);
  // The text changed: the `removed` bytes at `at` gave way to `inserted`
  // bytes. What is removed of a range goes; what is inserted inside one
  // splits it and is not part of it.
  void Replaced(std::size_t at, std::size_t removed, std::size_t inserted);
  // Where `position` stands once text[range) has gone.
  static std::size_t AfterRemoving(std::size_t position, const Range& range);

  // In order, never touching one another.
  const std::vector<Range>& Ranges() const { return ranges_; }
  bool Empty() const { return ranges_.empty(); }
  void Clear() { ranges_.clear(); }

private:
  void Removed(std::size_t at, std::size_t removed);
  void Inserted(std::size_t at, std::size_t inserted);
  void Merge();

  std::vector<Range> ranges_;
};
