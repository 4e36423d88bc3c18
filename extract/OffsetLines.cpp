#include "extract/OffsetLines.h"

#include "extract/LineFormat.h"

#include <algorithm>
#include <cstring>

namespace {
// Places any offset's text takes.
constexpr std::size_t kOffsetRoom = 24;
} // namespace

void OffsetLines::Line(const char* data, std::size_t length, uint64_t offset) {
  if (kOffsetRoom + length > capacity_) {
    capacity_ = std::max(2 * capacity_, kOffsetRoom + length);
    line_.reset(new char[capacity_]);
  }
  char* const begin = line_.get();
  char* at = PutRunOffset(begin, base_ + offset, radix_);
  std::memcpy(at, data, length);
  at += length;
  target_.Line(begin, static_cast<std::size_t>(at - begin), offset);
}

void OffsetLines::Piece(const char* data, std::size_t length, uint64_t offset) {
  if (!inPieces_) {
    inPieces_ = true;
    char text[kOffsetRoom];
    const char* const end = PutRunOffset(text, base_ + offset, radix_);
    target_.Piece(text, static_cast<std::size_t>(end - text), offset);
  }
  target_.Piece(data, length, offset);
}

void OffsetLines::EndPieces() {
  inPieces_ = false;
  target_.EndPieces();
}

void OffsetLines::DropPieces() {
  inPieces_ = false;
  target_.DropPieces();
}
