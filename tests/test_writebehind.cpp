// A file written in one go is handed to the disk as it grows: its bytes are
// those written, and the pages the disk has taken leave memory.

#include "io/WriteBehind.h"
#include "support/PagesInMemory.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <linux/magic.h>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

class TestWriteBehind : public QObject {
  Q_OBJECT

private slots:
  void writtenPagesLeaveMemoryAndTheBytesStay() {
    QTemporaryDir dir;
    struct statfs fs {};
    QVERIFY(::statfs(dir.path().toLocal8Bit().constData(), &fs) == 0);
    if (fs.f_type == TMPFS_MAGIC)
      QSKIP("a folder in memory has no disk to hand pages to");
    const QByteArray path = dir.filePath(QStringLiteral("saved")).toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0);
    const std::string header = "header\n";
    QCOMPARE(::write(fd, header.data(), header.size()), ssize_t(header.size()));
    WriteBehind behind(fd, header.size());
    std::string piece(1 << 20, 'x');
    const int pieces = 4 * static_cast<int>(WriteBehind::kStepBytes >> 20);
    for (int i = 0; i < pieces; ++i) {
      piece[i] = 'a' + i % 26;
      QCOMPARE(::write(fd, piece.data(), piece.size()), ssize_t(piece.size()));
      behind.Wrote(header.size() + uint64_t(i + 1) * piece.size());
    }
    QCOMPARE(::fdatasync(fd), 0);
    // The first steps were let go of; the last are still in memory.
    const std::size_t firstSteps = 2 * WriteBehind::kStepBytes;
    QVERIFY2(PagesInMemory(fd, firstSteps) < firstSteps / 4096 / 8,
             QByteArray::number(qulonglong(PagesInMemory(fd, firstSteps))));
    // Read back, every byte is the one written.
    std::string got(header.size() + std::size_t(pieces) * piece.size(), '\0');
    QCOMPARE(::pread(fd, got.data(), got.size(), 0), ssize_t(got.size()));
    QCOMPARE(got.substr(0, header.size()), header);
    for (int i = 0; i < pieces; ++i) {
      const std::size_t at = header.size() + std::size_t(i) * piece.size();
      QCOMPARE(got[at + i], char('a' + i % 26));
      QCOMPARE(got[at + piece.size() - 1], 'x');
    }
    ::close(fd);
  }
};

QTEST_GUILESS_MAIN(TestWriteBehind)
#include "test_writebehind.moc"
