#pragma once
// What Copy puts on the clipboard: a snapshot of the copied bytes, which
// shares the text's chunks, so that copying hundreds of megabytes costs
// little. The text itself (the bytes as ISO 8859-1) is made only when some
// program asks for it, and only when the memory left can hold it: a copy of
// a text larger than the memory is refused, never the end of the program.

#include "text/TextBuffer.h"

#include <QMimeData>

class SnapshotMimeData : public QMimeData {
  Q_OBJECT
public:
  SnapshotMimeData(const TextBuffer& text, std::size_t begin, std::size_t end);

  // The copied bytes are snapshot[Begin(), End()).
  const TextBuffer& Snapshot() const { return snapshot_; }
  std::size_t Begin() const { return begin_; }
  std::size_t End() const { return end_; }

  QStringList formats() const override;
  bool hasFormat(const QString& mimeType) const override;

signals:
  // A program asked for the text and the memory left would not hold it: it
  // was given nothing.
  void TooLarge() const;

protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
  QString Text() const;
  QByteArray Utf8() const;
  // Whether `bytes` more fit in the memory left; says so when not.
  bool Fits(uint64_t bytes) const;

  TextBuffer snapshot_;
  std::size_t begin_;
  std::size_t end_;
};
