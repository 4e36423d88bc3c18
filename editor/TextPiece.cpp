#include "editor/TextPiece.h"

TextPiece TextPiece::Of(const TextBuffer& text, std::size_t begin, std::size_t end) {
  end = std::min(end, text.Size());
  begin = std::min(begin, end);
  if (end - begin <= kCopyLimit)
    return TextPiece(text.Text(begin, end));
  TextPiece piece;
  piece.shared_ = std::make_shared<const TextBuffer>(text.Snapshot());
  piece.begin_ = begin;
  piece.end_ = end;
  return piece;
}

TextPiece TextPiece::Whole(TextBuffer text) {
  if (text.Size() <= kCopyLimit)
    return TextPiece(text.Text());
  TextPiece piece;
  piece.end_ = text.Size();
  piece.shared_ = std::make_shared<const TextBuffer>(std::move(text));
  return piece;
}

char TextPiece::Back() const {
  return shared_ ? shared_->At(end_ - 1) : bytes_.back();
}

void TextPiece::InsertInto(TextBuffer& text, std::size_t position) const {
  if (shared_) {
    // Its chunks go back in as they are, shared with the history.
    text.InsertRange(position, *shared_, begin_, end_);
    return;
  }
  if (position == text.Size()) {
    VisitPieces([&](const char* data, std::size_t length) { text.Append(data, length); });
    return;
  }
  VisitPieces([&](const char* data, std::size_t length) {
    text.Insert(position, data, length);
    position += length;
  });
}

std::string TextPiece::Bytes() const {
  std::string out;
  out.reserve(Size());
  VisitPieces([&](const char* data, std::size_t length) { out.append(data, length); });
  return out;
}
