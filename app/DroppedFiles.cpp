#include "app/DroppedFiles.h"

#include <QMimeData>
#include <QUrl>

QList<QByteArray> DroppedFiles(const QMimeData* data) {
  QList<QByteArray> files;
  if (!data || !data->hasUrls())
    return files;
  const QList<QUrl> urls = data->urls();
  for (const QUrl& url : urls) {
    if (url.isLocalFile())
      files.append(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
  }
  return files;
}
