// One file cut into parts that are scanned apart, on one thread or several:
// the parts' lines put together are the lines of one scan of the whole, for
// every list of encodings, with long runs that cross many meant cuts.

#include "extract/FileExtractor.h"
#include "extract/MergedScanner.h"
#include "extract/SplitPoints.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fstream>
#include <random>
#include <thread>

namespace {

struct Entry {
  uint64_t offset;
  std::size_t encoding;
  std::string line;
  bool operator==(const Entry& o) const {
    return offset == o.offset && encoding == o.encoding && line == o.line;
  }
};

// Records each line with its encoding and its offset in the file.
struct Tagged : LineSink {
  std::vector<Entry>* out = nullptr;
  std::size_t encoding = 0;
  uint64_t base = 0;
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    out->push_back({base + offset, encoding, std::string(data, length)});
  }
};

// A scanner of every encoding of the list whose lines go to `out`.
class ListScanner {
public:
  ListScanner(const std::vector<TextOptions>& options, const std::vector<Encoding>& encodings,
              std::vector<Entry>& out, uint64_t base)
      : tagged_(encodings.size()) {
    std::vector<MergedScanner::Target> targets;
    for (std::size_t e = 0; e < encodings.size(); ++e) {
      tagged_[e].out = &out;
      tagged_[e].encoding = e;
      tagged_[e].base = base;
      targets.push_back({encodings[e], &options[e], &tagged_[e]});
    }
    scanner_ = std::make_unique<MergedScanner>(targets);
    scanner_->ResetScanner();
  }
  BlockScanner& Scanner() { return *scanner_; }

private:
  std::vector<Tagged> tagged_;
  std::unique_ptr<MergedScanner> scanner_;
};

// Text of a random encoding among noise, zeros and long stretches of
// zeros; now and then a run longer than a part.
std::string MixedInput(std::mt19937& rng, std::size_t size, std::size_t longRun) {
  static const char kLetters[] = "abcXYZ 09.\t\xe9";
  std::string input;
  while (input.size() < size) {
    const std::size_t length = 1 + rng() % 30;
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
      text += kLetters[rng() % (sizeof kLetters - 1)];
    switch (rng() % 8) {
    case 0:
      for (std::size_t i = 0; i < length; ++i)
        input += static_cast<char>(rng());
      break;
    case 1:
      input.append(rng() % 12, '\0');
      break;
    case 2: {
      // Wide text right after a few zeros: where a cut with too few zeros
      // after it would split a character.
      const unsigned width = rng() % 2 ? 2 : 4;
      const bool big = rng() % 2;
      input.append(rng() % 9, '\0');
      for (char c : text) {
        std::string unit(width, '\0');
        unit[big ? width - 1 : 0] = c;
        input += unit;
      }
      break;
    }
    case 3:
      input += "Caf\xc3\xa9 \xe2\x80\x8a" + text;
      break;
    case 4:
      if (rng() % 16 == 0)
        input.append(longRun, rng() % 2 ? 'A' : '\x01');
      break;
    default:
      input += text;
    }
  }
  return input;
}

bool WriteFile(const QString& path, const std::string& bytes) {
  std::ofstream file(path.toStdString(), std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file.good();
}

// Takes no lines itself: the list's scanners have their own sinks.
struct NoLines : LineSink {
  void Line(const char*, std::size_t, uint64_t) override {}
};

struct List {
  std::vector<Encoding> encodings;
  std::vector<TextOptions> options;
};

// A random list: single bytes alone (GNU's "S" among them), or with wide
// and UTF-8 encodings.
List RandomList(std::mt19937& rng, bool bytesOnly) {
  TextOptions base;
  base.MinChar = rng() % 5;
  base.MaxChar = rng() % 3 == 0 ? 1 + rng() % 40 : 0;
  base.Upper = base.Lower = base.Number = base.Space = base.Punct = base.Symbol = true;
  base.ISO = rng() % 2;
  base.Other = "\t";
  static const Encoding kWide[] = {Encoding::Utf16Le, Encoding::Utf16Be, Encoding::Utf32Le,
                                   Encoding::Utf32Be, Encoding::Utf8};
  List list;
  const std::size_t count = 1 + rng() % 3;
  for (std::size_t i = 0; i < count; ++i) {
    TextOptions options = base;
    Encoding encoding = Encoding::Bytes8;
    if (!bytesOnly && rng() % 3 != 0)
      encoding = kWide[rng() % 5];
    else if (rng() % 3 == 0)
      for (unsigned b = 0x80; b <= 0xFF; ++b)
        options.Other += static_cast<char>(b);
    list.encodings.push_back(encoding);
    list.options.push_back(options);
  }
  return list;
}

std::vector<Entry> Whole(InputFile& input, const List& list) {
  std::vector<Entry> lines;
  ListScanner scanner(list.options, list.encodings, lines, 0);
  NoLines none;
  ExtractLines(input, scanner.Scanner(), none);
  return lines;
}

SplitPoints CutsOf(const List& list, uint64_t size, uint64_t partSize, SplitPoints::ReadAt read) {
  std::vector<SplitPoints::Entry> entries;
  for (std::size_t i = 0; i < list.encodings.size(); ++i)
    entries.push_back({list.encodings[i], &list.options[i]});
  return SplitPoints(entries, size, partSize, std::move(read));
}

SplitPoints MakeCuts(InputFile& whole, const List& list, uint64_t partSize) {
  return CutsOf(list, whole.Size(), partSize,
                [&whole](uint8_t* buffer, std::size_t length, uint64_t offset) {
                  return whole.ReadAt(buffer, length, offset);
                });
}

// Every part's lines, the parts taken in order by `threads` threads.
std::vector<Entry> ByParts(InputFile& whole, SplitPoints& cuts, const List& list,
                           unsigned threads) {
  std::vector<std::vector<Entry>> parts(cuts.Count());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t index; (index = next++) < parts.size();) {
      const uint64_t start = cuts.Start(index);
      ListScanner scanner(list.options, list.encodings, parts[index], start);
      NoLines none;
      ExtractPart(whole, cuts, index, start, scanner.Scanner(), none);
    }
  };
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t)
    workers.emplace_back(work);
  for (std::thread& worker : workers)
    worker.join();
  std::vector<Entry> lines;
  for (const auto& part : parts)
    lines.insert(lines.end(), part.begin(), part.end());
  return lines;
}

// An in-memory file for the cut rules alone.
SplitPoints CutsOf(const std::string& bytes, const List& list, uint64_t partSize) {
  return CutsOf(list, bytes.size(), partSize,
                [bytes](uint8_t* buffer, std::size_t length, uint64_t offset) -> int64_t {
                  if (offset >= bytes.size())
                    return 0;
                  const std::size_t n = std::min<std::size_t>(length, bytes.size() - offset);
                  std::memcpy(buffer, bytes.data() + offset, n);
                  return static_cast<int64_t>(n);
                });
}

} // namespace

class TestSplitPoints : public QObject {
  Q_OBJECT
private slots:
  void partsGiveTheLinesOfTheWhole();
  void cutsLieWhereNoRunCrosses();
};

void TestSplitPoints::partsGiveTheLinesOfTheWhole() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.filePath("input.bin");
  std::mt19937 rng(11);
  for (int round = 0; round < 48; ++round) {
    // Every eighth round has runs longer than a cut is looked for near its
    // meant place, so that parts find their ends as they read on.
    const bool far = round % 8 == 7;
    const List list = RandomList(rng, round % 2 == 0);
    const std::string input =
        far ? MixedInput(rng, 900000, 300000 + rng() % 5000) : MixedInput(rng, 30000, 3000);
    QVERIFY(WriteFile(path, input));
    InputFile whole;
    QVERIFY(whole.Open(path.toStdString()));
    const std::vector<Entry> expected = Whole(whole, list);
    const uint64_t partSize = far ? 40000 + rng() % 30000 : 40 + rng() % 3000;
    for (const unsigned threads : {1u, 2u}) {
      SplitPoints cuts = MakeCuts(whole, list, partSize);
      const std::vector<Entry> got = ByParts(whole, cuts, list, threads);
      QCOMPARE(got.size(), expected.size());
      QVERIFY(got == expected);
    }
  }
}

void TestSplitPoints::cutsLieWhereNoRunCrosses() {
  TextOptions printable;
  printable.Upper = printable.Lower = printable.Number = printable.Space = true;
  const List single{{Encoding::Bytes8}, {printable}};
  // Single bytes: right after the first byte no entry accepts, from where
  // the cut is meant on.
  {
    SplitPoints cuts = CutsOf(std::string("abcdefgh\x01ijklmnop"), single, 4);
    QCOMPARE(cuts.Count(), std::size_t(5));
    QCOMPARE(cuts.EndNear(0), uint64_t(9));
    QCOMPARE(cuts.Start(1), uint64_t(9));
    // The part meant to start at 8 starts there too, and is empty.
    QCOMPARE(cuts.Start(2), uint64_t(9));
    QCOMPARE(cuts.EndNear(1), uint64_t(9));
    // No cut before the end: the part goes on to it.
    QCOMPARE(cuts.EndNear(2), uint64_t(17));
    QCOMPARE(cuts.Start(4), uint64_t(17));
  }
  // With a wide encoding: seven zeros, the cut after the fourth.
  List wide = single;
  wide.encodings.push_back(Encoding::Utf16Be);
  wide.options.push_back(printable);
  {
    const std::string input("ab\0\0\0\0\0\0\0cd\0\0\0\0\0\0ef", 19);
    SplitPoints cuts = CutsOf(input, wide, 3);
    QCOMPARE(cuts.EndNear(0), uint64_t(6));
    // Six zeros are not enough: a 32-bit character could begin before the
    // cut and end after it.
    QCOMPARE(cuts.EndNear(3), uint64_t(19));
  }
  // A part whose end is not near finds it in the last bytes of its blocks.
  {
    std::string input(600000, 'A');
    input += "\x01tail";
    SplitPoints cuts = CutsOf(input, single, 1000);
    QCOMPARE(cuts.EndNear(0), SplitPoints::kFar);
    QCOMPARE(cuts.EndIn(0, reinterpret_cast<const uint8_t*>(input.data()), 500000, 0),
             SplitPoints::kFar);
    const auto* block = reinterpret_cast<const uint8_t*>(input.data()) + 500000;
    QCOMPARE(cuts.EndIn(0, block, input.size() - 500000, 500000), uint64_t(600001));
    QCOMPARE(cuts.Start(1), uint64_t(600001));
    QCOMPARE(cuts.Start(600), uint64_t(600001));
  }
}

QTEST_APPLESS_MAIN(TestSplitPoints)
#include "test_splitpoints.moc"
