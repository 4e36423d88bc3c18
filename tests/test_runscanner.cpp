// The run scanner: the byte path against the rules, the block path against
// the byte path.

#include "extract/ByteClassifier.h"
#include "extract/RunScanner.h"
#include "support/ScannerTestSupport.h"

#include <QtTest>

#include <cstring>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

TextOptions LettersOnly(uint32_t minChar, uint32_t maxChar) {
  TextOptions o;
  o.MinChar = minChar;
  o.MaxChar = maxChar;
  return o;
}

// Feeds `input` in blocks of `blockSize` bytes; the lines and their offsets.
template <class Sink = CollectSink>
Sink CollectBlocks(const TextOptions& options, const std::string& input, std::size_t blockSize,
                   ByteClassifier::Kernel kernel = ByteClassifier::BestKernel()) {
  Sink sink;
  RunScanner scanner(options, sink);
  scanner.ResetScanner();
  scanner.Classifier().UseKernel(kernel);
  const auto* data = reinterpret_cast<const uint8_t*>(input.data());
  for (std::size_t at = 0; at < input.size(); at += blockSize)
    scanner.ScanBlock(data + at, std::min(blockSize, input.size() - at));
  scanner.EmitRun();
  return sink;
}

Lines ByBlocks(const TextOptions& options, const std::string& input, std::size_t blockSize,
               ByteClassifier::Kernel kernel = ByteClassifier::BestKernel()) {
  return CollectBlocks(options, input, blockSize, kernel).lines;
}

// The lines of a sink that takes long runs in pieces (and, as StretchSink,
// stretches of lines), which must have come in order.
template <class Sink = PieceSink>
CollectSink InPieces(const TextOptions& options, const std::string& input, std::size_t blockSize,
                     ByteClassifier::Kernel kernel = ByteClassifier::BestKernel()) {
  const Sink sink = CollectBlocks<Sink>(options, input, blockSize, kernel);
  if (!sink.Consistent())
    return CollectSink();
  return sink;
}

// True when every line is the input's bytes at its offset.
bool LinesLieAtTheirOffsets(const CollectSink& sink, const std::string& input) {
  for (std::size_t i = 0; i < sink.lines.size(); ++i)
    if (sink.offsets[i] > input.size() ||
        input.compare(sink.offsets[i], sink.lines[i].size(), sink.lines[i]) != 0)
      return false;
  return true;
}

std::vector<ByteClassifier::Kernel> Kernels() {
  std::vector<ByteClassifier::Kernel> kernels;
  for (auto k : {ByteClassifier::Kernel::Scalar, ByteClassifier::Kernel::Ssse3,
                 ByteClassifier::Kernel::Avx2})
    if (ByteClassifier::KernelSupported(k))
      kernels.push_back(k);
  return kernels;
}

std::string Describe(const Lines& lines) {
  std::string s;
  for (const auto& l : lines)
    s +=
        "[" + (l.size() > 40 ? l.substr(0, 40) + "...(" + std::to_string(l.size()) + ")" : l) + "]";
  return s;
}

} // namespace

Q_DECLARE_METATYPE(TextOptions)
Q_DECLARE_METATYPE(Lines)

class TestRunScanner : public QObject {
  Q_OBJECT
private slots:
  void rules_data();
  void rules();
  void resetForgetsTheOpenRun();
  void limitsChangeBetweenBlocks();
  void mixedByteAndBlockFeeding();
  void offsetsOfRunsAndPieces();
  void linesInOutputFormComeAsStretches();
  void stretchesPauseWhereTheyDoNotPay();
  void blockPathEqualsBytePath();
  void kernelsAgree();
  void nulIsNoRunByteOnAnyPath();
  void longRunStartsAgree();
  void runLongerThan4GiB();
};

void TestRunScanner::rules_data() {
  QTest::addColumn<TextOptions>("options");
  QTest::addColumn<std::string>("input");
  QTest::addColumn<Lines>("expected");

  QTest::newRow("worked example") << LettersOnly(4, 10)
                                  << std::string("ab-Extraction-abcdefghijklmnopqrstuvwxy")
                                  << Lines{"Extraction", "abcdefghij", "klmnopqrst", "uvwxy"};
  QTest::newRow("empty input") << LettersOnly(0, 0) << std::string() << Lines{};
  QTest::newRow("MinChar is strict")
      << LettersOnly(4, 0) << std::string("abcd efghi") << Lines{"efghi"};
  QTest::newRow("MinChar 0 keeps single bytes")
      << LettersOnly(0, 0) << std::string("a b\ncd") << Lines{"a", "b", "cd"};
  QTest::newRow("MaxChar 1 MinChar 0")
      << LettersOnly(0, 1) << std::string("ab c") << Lines{"a", "b", "c"};
  QTest::newRow("pieces and a short rest dropped")
      << LettersOnly(2, 4) << std::string("abcdefghij") << Lines{"abcd", "efgh"};
  QTest::newRow("pieces and a long rest kept")
      << LettersOnly(2, 4) << std::string("abcdefghijk") << Lines{"abcd", "efgh", "ijk"};
  QTest::newRow("MinChar equal to MaxChar")
      << LettersOnly(5, 5) << std::string(200, 'a') << Lines{};
  QTest::newRow("MinChar above MaxChar") << LettersOnly(9, 3) << std::string(200, 'a') << Lines{};
  QTest::newRow("MaxChar 0 keeps a long run whole")
      << LettersOnly(4, 0) << std::string(100000, 'q') << Lines{std::string(100000, 'q')};
  QTest::newRow("run at the very end dropped")
      << LettersOnly(4, 0) << std::string("hello, abcd") << Lines{"hello"};
  QTest::newRow("line ends end runs")
      << LettersOnly(1, 0) << std::string("ab\r\ncd\nef\rgh") << Lines{"ab", "cd", "ef", "gh"};
  QTest::newRow("MinChar -1 keeps nothing")
      << LettersOnly(0xFFFFFFFFu, 0) << std::string(70000, 'z') + "-zz" << Lines{};
  QTest::newRow("MaxChar -1 is never reached")
      << LettersOnly(0, 0xFFFFFFFFu) << std::string(70000, 'z') + "-zz"
      << Lines{std::string(70000, 'z'), "zz"};
  {
    TextOptions o = LettersOnly(1, 0);
    o.Upper = o.Lower = false;
    o.ISO = true;
    QTest::newRow("high bytes and 0x00")
        << o << std::string("\xC0\xC1\x00\xE9\xFF\x7F\xBF\xD7\xF7 ab", 12)
        << Lines{"\xC0\xC1", "\xE9\xFF", "\xD7\xF7"};
  }
  {
    TextOptions o = LettersOnly(0, 0);
    o.Upper = o.Lower = false;
    o.Other = "\x80\x80\t\t\x01";
    QTest::newRow("Other with repeats, tabs, high and control bytes")
        << o << std::string("\x80\t\x01x\x81\x80\x80") << Lines{"\x80\t\x01", "\x80\x80"};
  }
  {
    TextOptions o = LettersOnly(0, 0);
    o.Upper = o.Lower = false;
    QTest::newRow("nothing accepted") << o << std::string("abc def\xC0") << Lines{};
  }
}

void TestRunScanner::rules() {
  QFETCH(TextOptions, options);
  QFETCH(std::string, input);
  QFETCH(Lines, expected);
  QCOMPARE(QString::fromStdString(Describe(ByBytes(options, input))),
           QString::fromStdString(Describe(expected)));
  for (std::size_t block :
       {std::size_t(1), std::size_t(3), std::size_t(63), std::size_t(64), std::size_t(65),
        std::size_t(1000), std::size_t(16384), std::size_t(16385), std::size_t(1) << 20})
    for (auto kernel : Kernels()) {
      QVERIFY2(ByBlocks(options, input, block, kernel) == expected,
               ("block " + std::to_string(block) + ": " +
                Describe(ByBlocks(options, input, block, kernel)))
                   .c_str());
      QVERIFY2(InPieces(options, input, block, kernel).lines == expected,
               ("in pieces, block " + std::to_string(block)).c_str());
    }
}

void TestRunScanner::resetForgetsTheOpenRun() {
  TextOptions o = LettersOnly(2, 0);
  CollectSink sink;
  RunScanner scanner(o, sink);
  scanner.ResetScanner();
  const std::string first = "xx-abcdefg";
  scanner.ScanBlock(reinterpret_cast<const uint8_t*>(first.data()), first.size());
  QCOMPARE(scanner.RunLength(), uint64_t(7));
  // The first pass ends inside a run without a flush; the next pass must not
  // see any of it, and gives the same lines as a fresh scanner.
  scanner.ResetScanner();
  QCOMPARE(scanner.RunLength(), uint64_t(0));
  const std::string second = "hij-klm";
  scanner.ScanBlock(reinterpret_cast<const uint8_t*>(second.data()), second.size());
  scanner.EmitRun();
  QCOMPARE(sink.lines, (Lines{"hij", "klm"}));
  scanner.ResetScanner();
  sink.lines.clear();
  scanner.ScanBlock(reinterpret_cast<const uint8_t*>(second.data()), second.size());
  scanner.EmitRun();
  QCOMPARE(sink.lines, (Lines{"hij", "klm"}));
}

void TestRunScanner::limitsChangeBetweenBlocks() {
  // Each block is judged by the limits of its time, a run held across a
  // change included: both paths must agree on every change.
  struct Step {
    uint32_t minChar, maxChar;
    std::string block;
  };
  const std::vector<std::vector<Step>> plans = {
      // 15 bytes held, then MaxChar falls to 10: the next byte cuts 16.
      {{4, 0, std::string(15, 'a')}, {3, 10, std::string(25, 'b') + "-"}},
      // 8 bytes held under MaxChar 20, then MaxChar 10: two more fill it.
      {{0, 20, std::string(8, 'a')}, {0, 10, std::string(13, 'b')}},
      // MinChar rises while a run is held: it is judged by the new one.
      {{2, 0, std::string(6, 'a')}, {9, 0, "bb-cccccccccc"}},
      {{2, 0, std::string(6, 'a')}, {3, 0, "bb-cccccccccc"}},
      // MaxChar removed while a piece is half full.
      {{0, 5, std::string(7, 'a')}, {0, 0, std::string(9, 'b')}},
      // MaxChar equal to the held length.
      {{1, 0, std::string(10, 'a')}, {1, 10, std::string(3, 'b')}},
  };
  const std::vector<Lines> expected = {
      {std::string(15, 'a') + "b", std::string(10, 'b'), std::string(10, 'b'), "bbbb"},
      {std::string(8, 'a') + "bb", std::string(10, 'b'), "b"},
      {"cccccccccc"},
      {"aaaaaabb", "cccccccccc"},
      {"aaaaa", "aabbbbbbbbb"},
      {std::string(10, 'a') + "b", "bb"},
  };
  for (std::size_t p = 0; p < plans.size(); ++p) {
    TextOptions byteOptions, blockOptions;
    CollectSink byteSink, blockSink;
    PieceSink pieceSink;
    RunScanner bytes(byteOptions, byteSink), blocks(blockOptions, blockSink),
        pieces(blockOptions, pieceSink);
    bytes.ResetScanner();
    blocks.ResetScanner();
    pieces.ResetScanner();
    for (const Step& step : plans[p]) {
      byteOptions.MinChar = blockOptions.MinChar = step.minChar;
      byteOptions.MaxChar = blockOptions.MaxChar = step.maxChar;
      for (char c : step.block)
        bytes.ScanByte(static_cast<uint8_t>(c));
      blocks.ScanBlock(reinterpret_cast<const uint8_t*>(step.block.data()), step.block.size());
      pieces.ScanBlock(reinterpret_cast<const uint8_t*>(step.block.data()), step.block.size());
    }
    bytes.EmitRun();
    blocks.EmitRun();
    pieces.EmitRun();
    QCOMPARE(blockSink.offsets, byteSink.offsets);
    // A run sent in pieces and then cut short by a higher MinChar is taken
    // back whole.
    QVERIFY(pieceSink.Consistent());
    QCOMPARE(pieceSink.lines, byteSink.lines);
    QCOMPARE(pieceSink.offsets, byteSink.offsets);
    QCOMPARE(pieceSink.dropped, std::size_t(p == 2 ? 1 : 0));
    QCOMPARE(QString::fromStdString(Describe(byteSink.lines)),
             QString::fromStdString(Describe(expected[p])));
    QCOMPARE(QString::fromStdString(Describe(blockSink.lines)),
             QString::fromStdString(Describe(expected[p])));
  }
}

void TestRunScanner::mixedByteAndBlockFeeding() {
  // A run begun byte by byte goes on in a block, and the other way round,
  // also when the sink takes long runs in pieces.
  const auto feed = [](CollectSink& sink) {
    TextOptions o = LettersOnly(3, 6);
    RunScanner scanner(o, sink);
    scanner.ResetScanner();
    for (char c : std::string("--abc"))
      scanner.ScanByte(static_cast<uint8_t>(c));
    const std::string block = "defghij-kl";
    scanner.ScanBlock(reinterpret_cast<const uint8_t*>(block.data()), block.size());
    for (char c : std::string("mn-"))
      scanner.ScanByte(static_cast<uint8_t>(c));
    scanner.EmitRun();
    QCOMPARE(sink.lines, (Lines{"abcdef", "ghij", "klmn"}));
    QCOMPARE(sink.offsets, (std::vector<uint64_t>{2, 8, 13}));
  };
  CollectSink whole;
  feed(whole);
  PieceSink pieces;
  feed(pieces);
  QVERIFY(pieces.Consistent());
  QVERIFY(pieces.pieces > 0);
}

void TestRunScanner::offsetsOfRunsAndPieces() {
  // A piece after a MaxChar cut starts right after the cut; dropped runs and
  // rests still count; a reset starts again at 0.
  const std::string input = "ab-Extraction-abcdefghijklmnopqrstuvwxy";
  const std::vector<uint64_t> expected{3, 14, 24, 34};
  for (std::size_t block : {std::size_t(1), std::size_t(5), std::size_t(64), input.size()}) {
    const CollectSink sink = CollectBlocks(LettersOnly(4, 10), input, block);
    QCOMPARE(sink.offsets, expected);
  }
  QCOMPARE(CollectBytes(LettersOnly(4, 10), input).offsets, expected);

  CollectSink sink;
  TextOptions o = LettersOnly(1, 0);
  RunScanner scanner(o, sink);
  scanner.ResetScanner();
  const std::string first = "x-yy--zz";
  scanner.ScanBlock(reinterpret_cast<const uint8_t*>(first.data()), first.size());
  scanner.ResetScanner();
  scanner.ScanBlock(reinterpret_cast<const uint8_t*>(first.data()), first.size());
  scanner.EmitRun();
  QCOMPARE(sink.lines, (Lines{"yy", "yy", "zz"}));
  QCOMPARE(sink.offsets, (std::vector<uint64_t>{2, 2, 6}));
}

void TestRunScanner::linesInOutputFormComeAsStretches() {
  struct Case {
    std::string input;
    uint32_t minChar, maxChar;
    std::size_t block;
    std::size_t stretches; // how many the lines come in
  };
  const std::vector<Case> cases{
      // One stretch for a whole text of lines, the last one's '\n' included.
      {"alpha\nbravo\ncharlie\n", 4, 0, 4096, 1},
      // A run too short to keep, a '\r' or two '\n' between runs: the
      // input no longer holds the lines as they are written. A line alone
      // comes as a line.
      {"alpha\nbravo\nab\ncharlie\ndelta\n", 4, 0, 4096, 2},
      {"alpha\r\nbravo\ncharlie\n", 4, 0, 4096, 1},
      {"alpha\nbravo\n\ncharlie\ndelta\n", 4, 0, 4096, 2},
      {"alpha\nab\nbravo\n", 4, 0, 4096, 0},
      // A block ends a stretch: its bytes are gone with the next block.
      {"aaaa\nbbbb\ncccc\ndddd\n", 3, 0, 10, 2},
      // A MaxChar cut is no line end of the input.
      {"alpha\nbravo\nbravocharlie\ndelta\nechoes\n", 4, 7, 4096, 2},
      // The last run, ended by the end of the input and not by a '\n'.
      {"alpha\nbravo\ncharlie", 4, 0, 4096, 1},
      // Runs that go on into the next block come whole, then a stretch.
      {"alphabravo\ncharlie\ndelta\necho\n", 3, 0, 16, 1},
  };
  for (const Case& c : cases) {
    const TextOptions o = LettersOnly(c.minChar, c.maxChar);
    const StretchSink got = CollectBlocks<StretchSink>(o, c.input, c.block);
    const CollectSink expected = CollectBytes(o, c.input);
    QVERIFY2(got.Consistent(), c.input.c_str());
    QCOMPARE(got.lines, expected.lines);
    QCOMPARE(got.offsets, expected.offsets);
    QVERIFY2(got.stretches == c.stretches, c.input.c_str());
  }
  // Pieced lines and stretches keep their order.
  const std::string input = "alpha\n" + std::string(100, 'x') + "\nbravo\ncharlie\n";
  const StretchSink got = CollectBlocks<StretchSink>(LettersOnly(4, 0), input, 40);
  QVERIFY(got.Consistent());
  QCOMPARE(got.lines, (Lines{"alpha", std::string(100, 'x'), "bravo", "charlie"}));
  QVERIFY(got.pieces > 0);
}

void TestRunScanner::stretchesPauseWhereTheyDoNotPay() {
  // Runs that end at '\n' and at other bytes in turn make stretches of a
  // few lines, and more calls than they save: after such a block the scanner hands lines alone for
  // a while, then tries stretches again. The lines are the same throughout.
  std::string mixed;
  while (mixed.size() < (1u << 20))
    mixed += "alpha\nbravo\ncharlie-";
  std::string lines;
  // Long lines: the pause lasts megabytes, and the check stays quick.
  const std::string line = std::string(200, 'c') + "\n";
  while (lines.size() < (1u << 20))
    lines += line;
  StretchSink sink;
  const TextOptions o = LettersOnly(4, 0);
  RunScanner scanner(o, sink);
  scanner.ResetScanner();
  const auto scan = [&](const std::string& input) {
    scanner.ScanBlock(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  };
  scan(mixed);
  const std::size_t afterMixed = sink.stretches;
  QVERIFY(afterMixed > 0);
  scan(lines);
  QCOMPARE(sink.stretches, afterMixed); // paused
  std::size_t blocks = 1;
  while (sink.stretches == afterMixed && blocks < 64) {
    scan(lines);
    ++blocks;
  }
  QVERIFY(sink.stretches > afterMixed); // back, after a pause of many blocks
  QVERIFY(blocks > 8);
  scanner.EmitRun();
  QVERIFY(sink.Consistent());
  Lines expected = CollectBytes(o, mixed).lines;
  const Lines ofLines = CollectBytes(o, lines).lines;
  for (std::size_t i = 0; i < blocks; ++i)
    expected.insert(expected.end(), ofLines.begin(), ofLines.end());
  QVERIFY(sink.lines == expected);
}

void TestRunScanner::blockPathEqualsBytePath() {
  std::mt19937_64 rng(20240611);
  const uint32_t limits[] = {0, 1, 2, 3, 4, 5, 7, 8, 15, 31, 62, 63, 64, 65, 100, 300, 0xFFFFFFFFu};
  const auto kernels = Kernels();
  int compared = 0;
  for (int round = 0; round < 2250; ++round) {
    TextOptions o;
    o.MinChar = rng() % 3 == 0 ? static_cast<uint32_t>(rng() % 80) : limits[rng() % 17];
    o.MaxChar = rng() % 2 == 0
                    ? 0
                    : (rng() % 3 == 0 ? static_cast<uint32_t>(rng() % 90) : limits[rng() % 17]);
    o.Upper = rng() % 4 != 0;
    o.Lower = rng() % 2 == 0;
    o.Number = rng() % 2 == 0;
    o.Space = rng() % 2 == 0;
    o.Punct = rng() % 3 == 0;
    o.Symbol = rng() % 3 == 0;
    o.ISO = rng() % 3 == 0;
    for (int n = static_cast<int>(rng() % 4); n > 0; --n)
      o.Other.push_back(static_cast<char>(rng() % 256));

    // Runs of every length, from single bytes to ones that cross segments.
    std::string input;
    const std::size_t size = rng() % 5 == 0 ? rng() % 70000 : rng() % 3000;
    const std::string printable = "AZaz09 !~\xC0\xFF";
    while (input.size() < size) {
      const unsigned kind = rng() % 10;
      std::size_t len = kind < 6 ? rng() % 12 : kind < 9 ? rng() % 200 : rng() % 40000;
      for (std::size_t i = 0; i < len && input.size() < size; ++i)
        input.push_back(rng() % 8 == 0 ? static_cast<char>(rng() % 256)
                                       : printable[rng() % printable.size()]);
      input.push_back(static_cast<char>(rng() % 2 ? '\n' : rng() % 32));
    }

    const CollectSink expected = CollectBytes(o, input);
    std::size_t block;
    switch (rng() % 5) {
    case 0:
      block = 1 + rng() % 8;
      break;
    case 1:
      block = 60 + rng() % 10;
      break;
    case 2:
      block = 1 + rng() % 5000;
      break;
    default:
      block = 1 + rng() % 100000;
      break;
    }
    const auto kernel = kernels[rng() % kernels.size()];
    // A third of the rounds with a sink that takes long runs in pieces, a
    // third with one that also takes stretches of lines.
    const CollectSink got = round % 3 == 0   ? CollectBlocks(o, input, block, kernel)
                            : round % 3 == 1 ? InPieces(o, input, block, kernel)
                                             : InPieces<StretchSink>(o, input, block, kernel);
    if (got.lines != expected.lines || got.offsets != expected.offsets ||
        !LinesLieAtTheirOffsets(got, input)) {
      const std::string what =
          "round " + std::to_string(round) + " MinChar " + std::to_string(o.MinChar) + " MaxChar " +
          std::to_string(o.MaxChar) + " block " + std::to_string(block) + " size " +
          std::to_string(input.size()) + " kernel " + std::to_string(static_cast<int>(kernel));
      QFAIL(what.c_str());
    }
    ++compared;
  }
  QCOMPARE(compared, 2250);
}

void TestRunScanner::kernelsAgree() {
  std::mt19937_64 rng(7);
  std::vector<uint8_t> data(64 * 40);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(i < 256 ? i : rng());
  for (int round = 0; round < 200; ++round) {
    AcceptTable table;
    const unsigned density = round % 8;
    for (unsigned b = 0; b < 256; ++b)
      if (density == 0 ? false : density == 7 ? true : rng() % 7 < density)
        table.Accept(b);
    ByteClassifier reference, fast;
    reference.UseKernel(ByteClassifier::Kernel::Scalar);
    reference.Build(table);
    fast.Build(table);
    std::vector<uint64_t> want(40), got(40);
    reference.Classify(data.data(), 40, want.data());
    for (std::size_t i = 0; i < data.size(); ++i)
      QCOMPARE(((want[i / 64] >> (i % 64)) & 1) != 0, table.IsAccepted(data[i]));
    for (auto kernel : Kernels()) {
      fast.UseKernel(kernel);
      QCOMPARE(fast.ActiveKernel(), kernel);
      fast.Classify(data.data(), 40, got.data());
      QCOMPARE(got, want);
    }
    for (std::size_t length : {0, 1, 17, 63}) {
      const uint64_t tail = fast.ClassifyTail(data.data() + 64, length);
      const uint64_t padding = ~uint64_t(0) << length;
      QCOMPARE(tail & padding, padding);
      QCOMPARE(tail & ~padding, want[1] & ~padding);
    }
  }
}

void TestRunScanner::nulIsNoRunByteOnAnyPath() {
  // Every byte value in Other, NUL included: NUL alone still ends runs.
  TextOptions o = LettersOnly(0, 0);
  for (unsigned b = 0; b < 256; ++b)
    o.Other.push_back(static_cast<char>(b));
  std::string input("ab\0\0cd\0", 7);
  input += std::string(200, '\0') + "\x01\xff" + std::string(3, '\0');
  const Lines expected = {"ab", "cd", "\x01\xff"};
  QCOMPARE(ByBytes(o, input), expected);
  for (auto kernel : Kernels())
    for (std::size_t block : {std::size_t(1), std::size_t(5), std::size_t(64), input.size()})
      QCOMPARE(ByBlocks(o, input, block, kernel), expected);

  // The classifier's own tables, built from a table asked to take every byte.
  AcceptTable table;
  for (unsigned b = 0; b < 256; ++b)
    table.Accept(b);
  const std::vector<uint8_t> zeros(64, 0);
  ByteClassifier classifier;
  classifier.Build(table);
  for (auto kernel : Kernels()) {
    classifier.UseKernel(kernel);
    uint64_t word = ~uint64_t(0);
    classifier.Classify(zeros.data(), 1, &word);
    QCOMPARE(word, uint64_t(0));
    QCOMPARE(classifier.ClassifyTail(zeros.data(), 10), ~uint64_t(0) << 10);
  }
}

void TestRunScanner::longRunStartsAgree() {
  // Against the definition: bit i of word w is set when the span + 1 bits
  // from 64w + i on are all set, bits past the given words reading as 0.
  std::mt19937_64 rng(11);
  for (int round = 0; round < 300; ++round) {
    const std::size_t words = 1 + rng() % 140;
    std::vector<uint64_t> masks(words + 1);
    for (auto& m : masks) {
      m = ~uint64_t(0);
      // Few holes, so that long stretches of set bits occur.
      for (int holes = static_cast<int>(rng() % 4); holes > 0; --holes)
        m &= ~(uint64_t(1) << (rng() % 64));
      if (rng() % 5 == 0)
        m = rng();
    }
    auto bit = [&](std::size_t i) {
      return i < 64 * (words + 1) && ((masks[i / 64] >> (i % 64)) & 1);
    };
    const unsigned span = static_cast<unsigned>(rng() % 64);
    std::vector<uint64_t> want(words, 0);
    for (std::size_t i = 0; i < 64 * words; ++i) {
      bool all = true;
      for (std::size_t k = 0; k <= span && all; ++k)
        all = bit(i + k);
      if (all)
        want[i / 64] |= uint64_t(1) << (i % 64);
    }
    for (auto kernel : Kernels()) {
      ByteClassifier classifier;
      classifier.UseKernel(kernel);
      std::vector<uint64_t> starts(words + 1), busy(words / 64 + 1, ~uint64_t(0));
      classifier.LongRunStarts(masks.data(), words, span, starts.data(), busy.data());
      QCOMPARE(std::vector<uint64_t>(starts.begin(), starts.begin() + static_cast<long>(words)),
               want);
      for (std::size_t w = 0; w < words; ++w)
        QCOMPARE(((busy[w / 64] >> (w % 64)) & 1) != 0, want[w] != 0);
      QCOMPARE(busy[words / 64] >> (words % 64), uint64_t(0));
    }
  }
}

void TestRunScanner::runLongerThan4GiB() {
  // A run of 2^32 + 5 letters, kept by MinChar -1 only if its length is not
  // wrapped to 32 bits. One megabyte of letters mapped over and over gives
  // the 4 GiB without the memory; the one byte written after it (a private
  // copy of its page) ends the run.
  const std::size_t runBytes = (std::size_t(1) << 32) + 5;
  const std::size_t chunk = std::size_t(1) << 20;
  const std::size_t mapped = (runBytes + 1 + chunk - 1) / chunk * chunk;
  const int fd = ::memfd_create("letters", MFD_CLOEXEC);
  if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(chunk)) != 0)
    QSKIP("cannot make a memory file");
  void* letters = ::mmap(nullptr, chunk, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  QVERIFY(letters != MAP_FAILED);
  std::memset(letters, 'a', chunk);
  ::munmap(letters, chunk);
  void* map =
      ::mmap(nullptr, mapped, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (map == MAP_FAILED) {
    ::close(fd);
    QSKIP("cannot map 4 GiB of address space");
  }
  auto* data = static_cast<uint8_t*>(map);
  for (std::size_t at = 0; at < mapped; at += chunk) {
    if (::mmap(data + at, chunk, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd,
               0) == MAP_FAILED) {
      ::munmap(map, mapped);
      ::close(fd);
      QSKIP("cannot map the letters 4096 times");
    }
  }
  ::close(fd);
  data[runBytes] = '\0';

  struct CountSink : LineSink {
    std::vector<uint64_t> lengths;
    void Line(const char*, std::size_t length, uint64_t) override { lengths.push_back(length); }
  } sink;
  TextOptions o = LettersOnly(0xFFFFFFFFu, 0);
  RunScanner scanner(o, sink);
  scanner.ResetScanner();
  scanner.ScanBlock(data, runBytes + 1);
  QCOMPARE(sink.lengths, (std::vector<uint64_t>{runBytes}));

  // Cut into pieces: the count of pieces and the rest come out right past
  // the 4 GiB mark.
  sink.lengths.clear();
  o.MinChar = 3;
  o.MaxChar = 0x40000000u;
  scanner.ScanBlock(data, runBytes + 1);
  QCOMPARE(sink.lengths,
           (std::vector<uint64_t>{0x40000000u, 0x40000000u, 0x40000000u, 0x40000000u, 5}));
  ::munmap(map, mapped);
}

QTEST_GUILESS_MAIN(TestRunScanner)
#include "test_runscanner.moc"
