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

QVariant SnapshotMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
  if (mimeType != kPlain)
    return QMimeData::retrieveData(mimeType, type);
  return QVariant(Text());
}
