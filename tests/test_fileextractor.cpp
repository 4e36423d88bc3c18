// Whole files through the block scanner: the same lines as the byte path,
// the file sink's bytes on disk, failures, and counts past 4 GiB.

#include "extract/FileExtractor.h"
#include "extract/FileLineSink.h"
#include "extract/MergedScanner.h"
#include "extract/RunScanner.h"
#include "support/ScannerTestSupport.h"

#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines)
    s += l + "\n";
  return s;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Text and binary mixed, with runs of every length.
std::string MixedContent(std::size_t size, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string s;
  s.reserve(size);
  while (s.size() < size) {
    const std::size_t len = rng() % 10 == 0 ? rng() % 3000 : rng() % 20;
    for (std::size_t i = 0; i < len && s.size() < size; ++i)
      s.push_back(static_cast<char>(' ' + rng() % 95));
    for (std::size_t i = rng() % 6; i > 0 && s.size() < size; --i)
      s.push_back(static_cast<char>(rng() % 256));
  }
  return s;
}

TextOptions StringsOptions() {
  TextOptions o;
  o.Number = o.Space = o.Punct = o.Symbol = true;
  o.Other = "\t";
  return o;
}

} // namespace

class TestFileExtractor : public QObject {
  Q_OBJECT
private slots:
  void init() { QVERIFY(dir_.isValid()); }
  void sameLinesAsBytePath_data();
  void sameLinesAsBytePath();
  void unopenableFiles();
  void readErrorIsReported();
  void sliceHookSeesEverySliceAndCanStop();
  void hookedScanOfSeveralEncodings();
  void standardInputPipe();
  void fileSinkWritesLinesAndLineEnds();
  void fileSinkTakesPiecesBack();
  void fileSinkReportsFailedWrites();
  void failedSinkEndsThePass();
  void fileLongerThan4GiB();

private:
  std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
  QTemporaryDir dir_;
};

void TestFileExtractor::sameLinesAsBytePath_data() {
  QTest::addColumn<qulonglong>("size");
  // Around the read size and the scanner's 16 KiB segments.
  const qulonglong block = kReadBlock;
  for (qulonglong size :
       {0ull, 1ull, 63ull, 16384ull, 16385ull, block - 1, block, block + 1, 3 * block + 17})
    QTest::newRow(QByteArray::number(size).constData()) << size;
}

void TestFileExtractor::sameLinesAsBytePath() {
  QFETCH(qulonglong, size);
  const std::string content = MixedContent(size, size + 1);
  const std::string path = Path("in.bin");
  WriteFile(path, content);
  for (const TextOptions& options : {TextOptions(), StringsOptions()}) {
    CollectSink sink;
    const ExtractResult result = ExtractFile(path, options, sink);
    QVERIFY(result.opened);
    QVERIFY(!result.readError && !result.writeError);
    QCOMPARE(result.bytesRead, uint64_t(size));
    QVERIFY(sink.lines == ByBytes(options, content));
  }
}

void TestFileExtractor::unopenableFiles() {
  CollectSink sink;
  ExtractResult result = ExtractFile(Path("missing"), TextOptions(), sink);
  QVERIFY(!result.opened);
  QCOMPARE(result.error, ENOENT);
  result = ExtractFile(dir_.path().toStdString(), TextOptions(), sink);
  QVERIFY(!result.opened);
  QCOMPARE(result.error, EISDIR);
  QVERIFY(sink.lines.empty());
}

void TestFileExtractor::readErrorIsReported() {
  // A directory taken as a descriptor opens but fails at the first read.
  const int fd = ::open(dir_.path().toLocal8Bit().constData(), O_RDONLY);
  QVERIFY(fd >= 0);
  InputFile input;
  input.OpenDescriptor(fd);
  CollectSink sink;
  const ExtractResult result = ExtractLines(input, TextOptions(), sink);
  ::close(fd);
  QVERIFY(result.opened);
  QVERIFY(result.readError);
  QCOMPARE(result.error, EISDIR);
}

void TestFileExtractor::sliceHookSeesEverySliceAndCanStop() {
  // Three read blocks: the hook sees the count grow by slices, is told of
  // the short last read, and a "stop" ends the pass at once, without the
  // final flush. The hook is also called while the reading thread has not
  // yet delivered a block (the count unchanged); on a busy machine that
  // happens, so such calls are neither slices nor the point to stop at.
  const std::string content = MixedContent(2 * kReadBlock + 1000, 7);
  const std::string path = Path("in.bin");
  WriteFile(path, content);
  const TextOptions options = StringsOptions();
  std::vector<uint64_t> seen;
  std::vector<bool> idle;
  InputFile input;
  QVERIFY(input.Open(path));
  CollectSink all;
  RunScanner scanner(options, all);
  scanner.ResetScanner();
  ExtractResult result = ExtractLines(input, scanner, all, [&](uint64_t examined, bool quiet) {
    if (examined > (seen.empty() ? 0 : seen.back())) {
      seen.push_back(examined);
      idle.push_back(quiet);
    }
    return true;
  });
  QVERIFY(!result.stopped);
  QCOMPARE(seen.size(), std::size_t(2 * kReadBlock / kScanSlice + 1));
  QCOMPARE(seen.front(), uint64_t(kScanSlice));
  QCOMPARE(seen.back(), uint64_t(content.size()));
  QCOMPARE(std::count(idle.begin(), idle.end(), true), 1L);
  QVERIFY(idle.back());
  QVERIFY(all.lines == ByBytes(options, content));

  QVERIFY(input.Open(path));
  CollectSink some;
  RunScanner stopped(options, some);
  stopped.ResetScanner();
  result =
      ExtractLines(input, stopped, some, [](uint64_t examined, bool) { return examined == 0; });
  QVERIFY(result.stopped);
  QCOMPARE(result.bytesRead, uint64_t(kScanSlice));
  // Only lines that ended inside the first slice.
  QVERIFY(some.lines.size() < all.lines.size());
  QVERIFY(std::equal(some.lines.begin(), some.lines.end(), all.lines.begin()));
}

void TestFileExtractor::hookedScanOfSeveralEncodings() {
  // A scanner that scans ahead on the reading thread, read with a hook
  // (which scans in slices): the lines of the pass without one.
  std::string content = MixedContent(3 * kReadBlock + 1000, 9);
  for (std::size_t at = 0; at + 40 < content.size(); at += 4099)
    content.replace(at, 22, std::string("W\0i\0d\0e\0T\0e\0x\0t\0!\0!\0!\0", 22));
  const std::string path = Path("wide.bin");
  WriteFile(path, content);
  const TextOptions options = StringsOptions();
  const auto lines = [&](const SliceHook& hook) {
    CollectSink bytes, wide;
    MergedScanner scanner(options, {Encoding::Bytes8, Encoding::Utf16Le}, {&bytes, &wide});
    scanner.ResetScanner();
    InputFile input;
    if (!input.Open(path))
      return std::vector<std::string>();
    ExtractLines(input, scanner, bytes, hook);
    std::vector<std::string> all = bytes.lines;
    all.insert(all.end(), wide.lines.begin(), wide.lines.end());
    return all;
  };
  const std::vector<std::string> whole = lines({});
  QVERIFY(whole.size() > 1000);
  QVERIFY(lines([](uint64_t, bool) { return true; }) == whole);
}

void TestFileExtractor::standardInputPipe() {
  const std::string content = MixedContent(700000, 3);
  int fds[2];
  QCOMPARE(::pipe(fds), 0);
  std::thread writer([&] {
    std::size_t done = 0;
    while (done < content.size()) {
      const ssize_t n = ::write(fds[1], content.data() + done, content.size() - done);
      if (n <= 0)
        break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
  });
  InputFile input;
  input.OpenDescriptor(fds[0]);
  QCOMPARE(input.Size(), uint64_t(0));
  CollectSink sink;
  const ExtractResult result = ExtractLines(input, StringsOptions(), sink);
  writer.join();
  ::close(fds[0]);
  QCOMPARE(result.bytesRead, uint64_t(content.size()));
  QVERIFY(sink.lines == ByBytes(StringsOptions(), content));
}

void TestFileExtractor::fileSinkWritesLinesAndLineEnds() {
  // Small lines around a line larger than the sink's buffer keep their order.
  const std::vector<std::string> lines = {"first",     std::string(3u << 20, 'x'), "",
                                          "\xE9t\xE9", std::string(700000, 'y'),   "last"};
  const std::string path = Path("out.txt");
  {
    FileLineSink sink;
    QVERIFY(sink.Open(path));
    for (const auto& l : lines)
      sink.Line(l.data(), l.size());
    QVERIFY(sink.Close());
  }
  QVERIFY(ReadFile(path) == Joined(lines));

  // A text of lines, across several reads: lines that come as stretches
  // are written as they stand, with runs too short to keep and runs split
  // by the end of a read between them.
  std::string text;
  for (std::size_t i = 0; text.size() < 3 * kReadBlock; ++i)
    text += std::string(1 + i % 23, static_cast<char>('a' + i % 26)) + (i % 7 ? "\n" : "\r\n");
  WriteFile(Path("lines.txt"), text);
  {
    FileLineSink sink;
    QVERIFY(sink.Open(path));
    QVERIFY(ExtractFile(Path("lines.txt"), TextOptions(), sink).opened);
    QVERIFY(sink.Close());
  }
  QVERIFY(ReadFile(path) == Joined(ByBytes(TextOptions(), text)));
  // Opening again empties the file.
  FileLineSink sink;
  QVERIFY(sink.Open(path));
  QVERIFY(sink.Close());
  QCOMPARE(ReadFile(path).size(), std::size_t(0));
  QVERIFY(!sink.Open(Path("no/such/folder/out.txt")));
  QCOMPARE(sink.Error(), ENOENT);
}

void TestFileExtractor::fileSinkTakesPiecesBack() {
  // A line in pieces is taken back whether its bytes are still buffered or
  // already written (a run longer than the buffer); the file goes on after.
  const std::string path = Path("pieces.txt");
  FileLineSink sink;
  QVERIFY(sink.Open(path));
  QVERIFY(sink.CanTakeBack());
  sink.Line("kept", 4);
  for (const std::size_t size : {std::size_t(10), std::size_t(3u << 20)}) {
    const std::string piece(size / 2, 'p');
    sink.Piece(piece.data(), piece.size(), 0);
    sink.Piece(piece.data(), piece.size(), 0);
    sink.DropPieces();
    sink.Line("next", 4);
  }
  const std::string whole(1500000, 'w');
  sink.Piece(whole.data(), 1000000, 0);
  sink.Piece(whole.data() + 1000000, 500000, 0);
  sink.EndPieces();
  QVERIFY(sink.Close());
  QVERIFY(ReadFile(path) == "kept\nnext\nnext\n" + whole + "\n");
  // Standard output, or any other descriptor, cannot take a piece back.
  FileLineSink out;
  out.OpenDescriptor(1);
  QVERIFY(!out.CanTakeBack());
}

void TestFileExtractor::fileSinkReportsFailedWrites() {
  if (::access("/dev/full", W_OK) != 0)
    QSKIP("no /dev/full");
  FileLineSink sink;
  QVERIFY(sink.Open("/dev/full"));
  sink.Line("abc", 3);
  QVERIFY(!sink.Failed()); // still buffered
  QVERIFY(!sink.Flush());
  QVERIFY(sink.Failed());
  QCOMPARE(sink.Error(), ENOSPC);
  sink.Line("def", 3);
  QVERIFY(!sink.Close());
}

void TestFileExtractor::failedSinkEndsThePass() {
  if (::access("/dev/full", W_OK) != 0)
    QSKIP("no /dev/full");
  const std::string content = MixedContent(8u << 20, 5);
  const std::string path = Path("in.bin");
  WriteFile(path, content);
  FileLineSink sink;
  QVERIFY(sink.Open("/dev/full"));
  const ExtractResult result = ExtractFile(path, StringsOptions(), sink);
  QVERIFY(result.writeError);
  QVERIFY(result.bytesRead < content.size());
  QCOMPARE(sink.Error(), ENOSPC);
}

void TestFileExtractor::fileLongerThan4GiB() {
  // A sparse file: text at the start, a hole of 4 GiB, text after it. The
  // byte count and the runs past the 4 GiB mark must come out whole. On tmpfs
  // a hole reads as zeros without taking memory or disk.
  const std::string path = ::access("/dev/shm", W_OK) == 0
                               ? "/dev/shm/siftwell-test-" + std::to_string(::getpid()) + ".bin"
                               : Path("big.bin");
  const uint64_t tailAt = (uint64_t(1) << 32) + 10;
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(fd >= 0);
    const std::string head = "Beginning-";
    const std::string tail = "-Ending of the file";
    const bool ok =
        ::pwrite(fd, head.data(), head.size(), 0) == ssize_t(head.size()) &&
        ::pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(tailAt)) == ssize_t(tail.size());
    ::close(fd);
    if (!ok) {
      ::unlink(path.c_str());
      QSKIP("this file system takes no sparse file of 4 GiB");
    }
  }
  CollectSink sink;
  const ExtractResult result = ExtractFile(path, TextOptions(), sink);
  ::unlink(path.c_str()); // frees its cached pages at once
  QVERIFY(result.opened && !result.readError);
  QCOMPARE(result.bytesRead, tailAt + 19);
  QCOMPARE(sink.lines, (std::vector<std::string>{"Beginning", "Ending"}));
}

QTEST_GUILESS_MAIN(TestFileExtractor)
#include "test_fileextractor.moc"
