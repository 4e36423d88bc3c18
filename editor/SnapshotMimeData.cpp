#include "editor/SnapshotMimeData.h"

#include <QStringList>
#include <QVariant>

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
  QString text(static_cast<qsizetype>(end_ - begin_), Qt::Uninitialized);
  QChar* out = text.data();
  snapshot_.VisitRange(begin_, end_, [&](const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
      *out++ = QChar(static_cast<unsigned char>(data[i]));
  });
  return text;
}

// Straight from the bytes to UTF-8, sized exactly first: the text of a
// large copy is then made once, never as a QString of twice its size.
QByteArray SnapshotMimeData::Utf8() const {
  std::size_t high = 0;
  snapshot_.VisitRange(begin_, end_, [&](const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
      high += static_cast<unsigned char>(data[i]) >> 7;
  });
  QByteArray bytes(static_cast<qsizetype>(end_ - begin_ + high), Qt::Uninitialized);
  char* out = bytes.data();
  snapshot_.VisitRange(begin_, end_, [&](const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
      const auto c = static_cast<unsigned char>(data[i]);
      if (c < 0x80) {
        *out++ = static_cast<char>(c);
      } else {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
      }
    }
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
