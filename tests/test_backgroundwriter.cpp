// The writer of a pass's output file: buffers and held bytes in the order
// they came, held bytes written as they were when queued, and "behind"
// judged by bytes waiting, not by how many pieces they came in; the bytes
// written counted once they went through.

#include "extract/BackgroundWriter.h"
#include "extract/FileLineSink.h"
#include "text/TextBuffer.h"

#include <QtTest>

#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Everything the pipe's read end gives until the write end is closed.
std::string ReadAll(int fd) {
  std::string out;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
      return out;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string Lines(char letter, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += std::string(1 + i % 50, letter) + "\n";
  return text;
}

// Waits until the writer has written its first bytes.
bool FirstWritten(BackgroundWriter& writer) {
  for (int i = 0; i < 500 && writer.Behind(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return !writer.Behind();
}

} // namespace

class TestBackgroundWriter : public QObject {
  Q_OBJECT

private slots:
  void heldBytesKeepTheirPlaceAndStayAsQueued();
  void behindCountsBytesNotPieces();
};

void TestBackgroundWriter::heldBytesKeepTheirPlaceAndStayAsQueued() {
  // A pipe nobody reads yet: the writer's thread waits in its first write
  // while the text changes, so the held chunks must be written as they were.
  int ends[2];
  QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
  BackgroundWriter writer(ends[1]);
  FileLineSink sink;
  sink.OpenChunks(writer);

  const std::string before = Lines('a', 3000);
  sink.Write(before.data(), before.size());
  QVERIFY(sink.Flush());

  TextBuffer text;
  const std::string original = Lines('b', 20000); // many chunks
  text.Append(original.data(), original.size());
  long holds = 0;
  QVERIFY(
      text.ShareChunks([&](std::shared_ptr<const void> hold, const char* data, std::size_t length) {
        ++holds;
        QVERIFY(writer.TakeHeld(std::move(hold), data, length));
      }));
  QVERIFY(holds > 1);
  // Every kind of change while the writes wait.
  text.Erase(10, 200000);
  text.Insert(5, std::string(70000, 'x'));
  text.Append("tail", 4);
  text.TakeBack(text.Size() / 2);

  const std::string after = Lines('c', 3000);
  sink.Write(after.data(), after.size());
  QVERIFY(sink.Flush());

  std::string got;
  std::thread reader([&] { got = ReadAll(ends[0]); });
  writer.Close();
  reader.join();
  ::close(ends[0]);
  QCOMPARE(writer.Error(), 0);
  QVERIFY(got == before + original + after);
}

void TestBackgroundWriter::behindCountsBytesNotPieces() {
  int ends[2];
  QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
  BackgroundWriter writer(ends[1]);
  const auto block = std::make_shared<std::string>(64 << 10, 'z');
  const std::shared_ptr<const void> hold = block;
  std::string got;
  // The first write is known to have gone through: nothing is behind.
  QVERIFY(writer.TakeHeld(hold, block->data(), 1));
  char first;
  QCOMPARE(::read(ends[0], &first, 1), ssize_t(1));
  QVERIFY(FirstWritten(writer));
  QCOMPARE(writer.Written(), uint64_t(1));
  // Sixty pieces of 64 KiB are less than the buffers' worth that counts as
  // behind, although they are many more pieces than that many buffers.
  for (int i = 0; i < 60; ++i)
    QVERIFY(writer.TakeHeld(hold, block->data(), block->size()));
  QVERIFY(!writer.Behind());
  for (int i = 0; i < 8; ++i)
    QVERIFY(writer.TakeHeld(hold, block->data(), block->size()));
  QVERIFY(writer.Behind());
  // Only what went through counts as written: the pipe holds 64 KiB.
  QVERIFY(writer.Written() <= 1 + (uint64_t(2) << 16));

  std::thread reader([&] { got = ReadAll(ends[0]); });
  writer.Close();
  reader.join();
  ::close(ends[0]);
  QCOMPARE(got.size(), std::size_t(68) * block->size());
  QCOMPARE(writer.Written(), uint64_t(1 + got.size()));
  // Written, the pieces are let go.
  QCOMPARE(hold.use_count(), 2L);
}

QTEST_GUILESS_MAIN(TestBackgroundWriter)
#include "test_backgroundwriter.moc"
