#include "editor/PasteFilter.h"

namespace {
// Bytes are gathered this many at a time before they go to the text.
constexpr std::size_t kBatch = 64 * 1024;
} // namespace

void PasteFilter::Put(char byte) {
  if (afterCr_ && byte == '\n') {
    afterCr_ = false;
    return;
  }
  afterCr_ = byte == '\r';
  pending_.push_back(afterCr_ ? '\n' : byte);
  if (pending_.size() >= kBatch) {
    out_.Append(pending_);
    pending_.clear();
  }
}

void PasteFilter::AddBytes(const char* data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    Put(data[i]);
}

void PasteFilter::AddText(QStringView text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.unicode() <= 0xFF) {
      Put(static_cast<char>(c.unicode()));
      continue;
    }
    // A character beyond the basic plane is one character, held in two.
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
      ++i;
    Put('?');
  }
}

TextBuffer PasteFilter::Finish() {
  out_.Append(pending_);
  pending_.clear();
  afterCr_ = false;
  return std::move(out_);
}
