#pragma once
// A run of text kept for undo, redo or a paste: a short one as its own
// bytes, a long one as a snapshot of the text it came from, which shares
// that text's chunks instead of copying them.

#include "text/TextBuffer.h"

#include <cstddef>
#include <memory>
#include <string>

class TextPiece {
public:
  // Longer runs are kept as snapshots.
  static constexpr std::size_t kCopyLimit = 64 * 1024;

  TextPiece() = default;
  explicit TextPiece(std::string bytes) : bytes_(std::move(bytes)) {}
  // text[begin, end) as it is now.
  static TextPiece Of(const TextBuffer& text, std::size_t begin, std::size_t end);
  // The whole of `text`, taken over.
  static TextPiece Whole(TextBuffer text);

  std::size_t Size() const { return shared_ ? end_ - begin_ : bytes_.size(); }
  bool Empty() const { return Size() == 0; }
  // The last byte; the piece must not be empty.
  char Back() const;
  // Only a piece held as bytes grows.
  bool CanGrow() const { return !shared_; }
  void Grow(const std::string& more) { bytes_ += more; }
  void GrowFront(const std::string& more) { bytes_.insert(0, more); }

  template <class Visit> void VisitPieces(Visit visit) const {
    if (shared_)
      shared_->VisitRange(begin_, end_, visit);
    else if (!bytes_.empty())
      visit(bytes_.data(), bytes_.size());
  }
  // Puts the piece into `text` at `position`.
  void InsertInto(TextBuffer& text, std::size_t position) const;
  std::string Bytes() const;

private:
  std::string bytes_;
  std::shared_ptr<const TextBuffer> shared_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};
