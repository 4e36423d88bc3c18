// Blocks queued for a file written past the page cache: each lands at a
// multiple of the alignment and reads back as queued, and the disk reads
// them back into the page cache; where the direct writes are refused, the
// same places are written through the page cache.

#include "io/WriteQueue.h"
#include "support/PagesInMemory.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace {
// Blocks of the sizes a text spills (whole chunks) and others, each of its
// own letter; more than one batch of them.
std::vector<std::string> Blocks() {
  std::vector<std::string> blocks;
  const std::size_t sizes[] = {65536, 100, 5000, 4096, 1, 65536};
  for (int i = 0; i < 120; ++i)
    blocks.emplace_back(sizes[i % 6], static_cast<char>('a' + i % 26));
  return blocks;
}

using Tickets = std::vector<std::shared_ptr<const WriteQueue::Ticket>>;

// Queues `blocks` and waits until they are written.
Tickets QueueAll(WriteQueue& queue, const std::vector<std::string>& blocks) {
  Tickets tickets;
  for (const std::string& block : blocks)
    tickets.push_back(queue.Queue(nullptr, block.data(), block.size()));
  queue.Finish();
  return tickets;
}

// Each block is at the next multiple of the alignment, as queued; the file
// ends after the last one's room.
void CheckPlaces(int fd, const std::vector<std::string>& blocks, const Tickets& tickets) {
  uint64_t expected = 0;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    QVERIFY(tickets[i]->done.load());
    QCOMPARE(tickets[i]->error, 0);
    QCOMPARE(tickets[i]->at, expected);
    std::string got(blocks[i].size(), '\0');
    QCOMPARE(::pread(fd, got.data(), got.size(), static_cast<off_t>(tickets[i]->at)),
             ssize_t(got.size()));
    QCOMPARE(got, blocks[i]);
    expected += (blocks[i].size() + WriteQueue::kDirectAlign - 1) / WriteQueue::kDirectAlign *
                WriteQueue::kDirectAlign;
  }
  QCOMPARE(::lseek(fd, 0, SEEK_END), off_t(expected));
}
} // namespace

class TestWriteQueue : public QObject {
  Q_OBJECT

private slots:
  void init() {
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("spill")).toLocal8Bit();
    fd_ = ::open(path_.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    QVERIFY(fd_ >= 0);
  }
  void cleanup() {
    ::close(fd_);
    ::unlink(path_.constData());
  }

  void directWritesLandAlignedAndComeBackIntoThePageCache() {
    struct statfs fs {};
    QVERIFY(::statfs(dir_.path().toLocal8Bit().constData(), &fs) == 0);
    if (fs.f_type == TMPFS_MAGIC)
      QSKIP("a folder in memory has no disk to write to");
    const int direct = ::open(path_.constData(), O_WRONLY | O_DIRECT | O_CLOEXEC);
    if (direct < 0)
      QSKIP("this file system takes no direct writes");
    const std::vector<std::string> blocks = Blocks();
    WriteQueue queue(fd_, direct);
    const Tickets tickets = QueueAll(queue, blocks);
    QCOMPARE(queue.Error(), 0);
    const auto size = static_cast<std::size_t>(::lseek(fd_, 0, SEEK_END));
    // Asked back into memory, as if written through it, before any read.
    QTRY_COMPARE_WITH_TIMEOUT(PagesInMemory(fd_, size), size / 4096, 10000);
    CheckPlaces(fd_, blocks, tickets);
    ::close(direct);
  }

  void refusedDirectWritesGoThroughThePageCache() {
    // A descriptor whose writes are refused as invalid: the process's own
    // out-of-memory score, which takes a number only.
    const int refusing = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
    if (refusing < 0)
      QSKIP("no descriptor that refuses writes");
    const std::vector<std::string> blocks = Blocks();
    WriteQueue queue(fd_, refusing);
    const Tickets tickets = QueueAll(queue, blocks);
    QCOMPARE(queue.Error(), 0);
    CheckPlaces(fd_, blocks, tickets);
    ::close(refusing);
  }

private:
  QTemporaryDir dir_;
  QByteArray path_;
  int fd_ = -1;
};

QTEST_GUILESS_MAIN(TestWriteQueue)
#include "test_writequeue.moc"
