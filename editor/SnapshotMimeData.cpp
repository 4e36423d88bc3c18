#include "editor/SnapshotMimeData.h"

#include "memory/MemoryHeadroom.h"

#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <cstring>

namespace {
const QString kPlain = QStringLiteral("text/plain");
} // namespace

SnapshotMimeData::SnapshotMimeData(const TextBuffer& text, std::size_t begin, std::size_t end)
    : snapshot_(text.Snapshot()), begin_(std::min(begin, end)), end_(end) {}

QStringList SnapshotMimeData::formats() const {
  return {kPlain};
}

bool SnapshotMimeData::hasFormat(const QString& mimeType) const {
  return mimeType == kPlain;
}

QString SnapshotMimeData::Text() const {
  if (!Fits(2 * (end_ - begin_)))
    return QString();
  QString text(static_cast<qsizetype>(end_ - begin_), Qt::Uninitialized);
  QChar* out = text.data();
  snapshot_.VisitRange(begin_, end_, [&](const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
      *out++ = QChar(static_cast<unsigned char>(data[i]));
  });
  return text;
}

namespace {
constexpr uint64_t kHighBits = 0x8080808080808080ull;

uint64_t Word(const char* data) {
  uint64_t word;
  std::memcpy(&word, data, sizeof word);
  return word;
}

// The high bits of a word as a count: each becomes 1 in its byte, and one
// multiplication sums the bytes into the top one. A popcount would be a
// library call on the baseline x86-64 the program is built for.
std::size_t HighBitsIn(uint64_t word) {
  return static_cast<std::size_t>((((word & kHighBits) >> 7) * 0x0101010101010101ull) >> 56);
}

std::size_t CountHigh(const char* data, std::size_t length) {
  std::size_t high = 0;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8)
    high += HighBitsIn(Word(data + i));
  for (; i < length; ++i)
    high += static_cast<unsigned char>(data[i]) >> 7;
  return high;
}

// Eight ASCII bytes at a time go over as they are.
char* PutUtf8(const char* data, std::size_t length, char* out) {
  std::size_t i = 0;
  while (i < length) {
    if (i + 8 <= length && (Word(data + i) & kHighBits) == 0) {
      std::memcpy(out, data + i, 8);
      out += 8;
      i += 8;
      continue;
    }
    const auto c = static_cast<unsigned char>(data[i++]);
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else {
      *out++ = static_cast<char>(0xC0 | (c >> 6));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}
} // namespace

bool SnapshotMimeData::Fits(uint64_t bytes) const {
  if (bytes <= MemoryHeadroom::Available())
    return true;
  emit TooLarge();
  return false;
}

// Straight from the bytes to UTF-8, sized exactly first: the text of a
// large copy is then made once, never as a QString of twice its size.
QByteArray SnapshotMimeData::Utf8() const {
  // The least it takes is looked at before the text (perhaps on disk) is
  // read to count what it takes.
  if (!Fits(end_ - begin_))
    return QByteArray();
  std::size_t high = 0;
  snapshot_.VisitRange(
      begin_, end_, [&](const char* data, std::size_t length) { high += CountHigh(data, length); });
  if (high > 0 && !Fits(end_ - begin_ + high))
    return QByteArray();
  QByteArray bytes(static_cast<qsizetype>(end_ - begin_ + high), Qt::Uninitialized);
  char* out = bytes.data();
  snapshot_.VisitRange(begin_, end_, [&](const char* data, std::size_t length) {
    out = PutUtf8(data, length, out);
  });
  return bytes;
}

QVariant SnapshotMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
  if (mimeType != kPlain)
    return QMimeData::retrieveData(mimeType, type);
  if (type.id() == QMetaType::QByteArray)
    return QVariant(Utf8());
  return QVariant(Text());
}
