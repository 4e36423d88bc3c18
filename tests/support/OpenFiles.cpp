#include "support/OpenFiles.h"

#include <QDir>
#include <QFileInfo>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

QStringList DescriptorsIn(const QString& folder) {
  QStringList open;
  const QByteArray canonical = QFileInfo(folder).canonicalFilePath().toLocal8Bit() + '/';
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    const QByteArray link = fds.filePath(fd).toLocal8Bit();
    char target[4096];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    if (n > 0 && QByteArray(target, static_cast<int>(n)).startsWith(canonical))
      open << QString::fromLocal8Bit(link);
  }
  return open;
}

QStringList OpenFilesIn(const QString& folder) {
  QStringList open;
  std::set<std::pair<dev_t, ino_t>> seen; // a file open twice is one file
  for (const QString& link : DescriptorsIn(folder)) {
    struct stat file {};
    if (::stat(link.toLocal8Bit().constData(), &file) == 0 &&
        seen.insert({file.st_dev, file.st_ino}).second)
      open << link;
  }
  return open;
}
