#include "text/LineEdge.h"

#include "text/TextBuffer.h"

#include <utility>

void LineEdge::PayOwed(bool asPiece) {
  // An empty target has no line to end, whatever filled it before (the
  // user may have deleted it all); a target with text, typed or not, ends
  // its last line before the new text.
  if (ends_ != Ends::Separated || midRun_ || target_.Length() == 0)
    return;
  if (asPiece)
    target_.AppendPiece("\n", 1);
  else
    target_.Append("\n", 1);
}

void LineEdge::Lines(const char* data, std::size_t length) {
  if (length == 0)
    return;
  PayOwed(false);
  target_.Append(data, ends_ == Ends::Separated ? length - 1 : length);
  midRun_ = false;
}

void LineEdge::Slice(TextBuffer&& slice, bool midRun) {
  if (slice.Empty())
    return;
  PayOwed(false);
  if (ends_ == Ends::Separated && !midRun)
    slice.TakeBack(1);
  target_.AppendText(std::move(slice));
  midRun_ = midRun;
}

void LineEdge::Piece(const char* data, std::size_t length) {
  if (!inPieces_) {
    inPieces_ = true;
    PayOwed(true);
  }
  target_.AppendPiece(data, length);
}

void LineEdge::KeepPieces() {
  inPieces_ = false;
  target_.KeepPieces();
  if (ends_ == Ends::Terminated)
    target_.Append("\n", 1);
  midRun_ = false;
}

void LineEdge::DropPieces() {
  inPieces_ = false;
  target_.DropPieces();
}

void LineEdge::Stop() {
  if (midRun_ && ends_ == Ends::Terminated)
    target_.Append("\n", 1);
  midRun_ = false;
}
