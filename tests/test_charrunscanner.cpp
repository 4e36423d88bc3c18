// Runs of wide and UTF-8 characters: the rules on small inputs, the block
// path against the plain reading of the rules, and several encodings merged
// by offset.

#include "extract/CharRunScanner.h"
#include "extract/MergedScanner.h"
#include "support/CharReference.h"
#include "support/ScannerTestSupport.h"

#include <QtTest>

#include <algorithm>
#include <random>

namespace {
using Lines = std::vector<std::string>;
using Offsets = std::vector<uint64_t>;
} // namespace

Q_DECLARE_METATYPE(Encoding)
Q_DECLARE_METATYPE(TextOptions)
Q_DECLARE_METATYPE(Lines)
Q_DECLARE_METATYPE(Offsets)

namespace {

// GNU strings' default set: the printing ASCII characters and tab.
TextOptions Printable(uint32_t minChar, uint32_t maxChar = 0) {
  TextOptions o;
  o.MinChar = minChar;
  o.MaxChar = maxChar;
  o.Upper = o.Lower = o.Number = o.Space = o.Punct = o.Symbol = true;
  o.Other = "\t";
  return o;
}

CollectSink ByBlocks(const TextOptions& options, Encoding encoding, const std::string& input,
                     const std::vector<std::size_t>& blocks,
                     ByteClassifier::Kernel kernel = ByteClassifier::BestKernel()) {
  CollectSink sink;
  CharRunScanner scanner(options, encoding, sink);
  scanner.ResetScanner();
  scanner.UseKernel(kernel);
  const auto* data = reinterpret_cast<const uint8_t*>(input.data());
  std::size_t at = 0;
  for (std::size_t i = 0; at < input.size(); ++i) {
    const std::size_t length = std::min(blocks[i % blocks.size()], input.size() - at);
    scanner.ScanBlock(data + at, length);
    at += length;
  }
  scanner.EmitRun();
  return sink;
}

CollectSink Reference(const TextOptions& options, Encoding encoding, const std::string& input) {
  CollectSink sink;
  ReferenceCharRuns(options, encoding, reinterpret_cast<const uint8_t*>(input.data()), input.size(),
                    sink);
  return sink;
}

// `text` stored one character per `width` bytes in the given byte order.
std::string Wide(const std::string& text, unsigned width, bool big) {
  std::string out;
  for (char c : text) {
    std::string unit(width, '\0');
    unit[big ? width - 1 : 0] = c;
    out += unit;
  }
  return out;
}

// An input that is mostly text of `encoding` at any alignment, with noise,
// zeros and broken characters between.
std::string Planted(std::mt19937& rng, Encoding encoding, std::size_t size) {
  static const char kLetters[] = "abcXYZ 09.\t\xe9\xc0";
  std::string input;
  while (input.size() < size) {
    const unsigned kind = rng() % 6;
    const std::size_t length = 1 + rng() % 24;
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
      text += kLetters[rng() % (sizeof kLetters - 1)];
    if (kind == 0) {
      for (std::size_t i = 0; i < length; ++i)
        input += static_cast<char>(rng());
    } else if (kind == 1) {
      input.append(rng() % 5, '\0');
    } else if (encoding == Encoding::Utf8) {
      static const char* const kPieces[] = {"Caf\xc3\xa9",      "\xe2\x80\x8a", "\xe2\x80\x8b",
                                            "\xf0\x9f\x98\x80", "\xc0\x80",     "\xed\xa0\x80",
                                            "\xe2\x82",         "\xc2\xad",     "\xef\xbb\xbf"};
      input += text;
      input += kPieces[rng() % 9];
    } else {
      input += Wide(text, EncodingWidth(encoding), IsBigEndian(encoding));
    }
  }
  return input;
}

} // namespace

class TestCharRunScanner : public QObject {
  Q_OBJECT
private slots:
  void rules_data();
  void rules();
  void blockPathEqualsReference();
  void loneCharacterAcrossBlockEnd();
  void runsCrossBlocksByteByByte();
  void mergedByOffset();
};

void TestCharRunScanner::rules_data() {
  QTest::addColumn<Encoding>("encoding");
  QTest::addColumn<TextOptions>("options");
  QTest::addColumn<std::string>("input");
  QTest::addColumn<Lines>("expected");
  QTest::addColumn<Offsets>("offsets");

  const std::string hello16 = Wide("Hello", 2, false);
  QTest::newRow("16le at an odd offset")
      << Encoding::Utf16Le << Printable(3) << "\x01" + hello16 + "\x01\x01" << Lines{"Hello"}
      << Offsets{1};
  QTest::newRow("16be") << Encoding::Utf16Be << Printable(3) << Wide("Hello", 2, true)
                        << Lines{"Hello"} << Offsets{0};
  QTest::newRow("32le") << Encoding::Utf32Le << Printable(3) << "ab" + Wide("Hello", 4, false)
                        << Lines{"Hello"} << Offsets{2};
  QTest::newRow("32be") << Encoding::Utf32Be << Printable(3) << Wide("Hello", 4, true) + "\x01"
                        << Lines{"Hello"} << Offsets{0};
  // A value of 256 or more is no text, even when its low byte is.
  QTest::newRow("16le value above 255") << Encoding::Utf16Le << Printable(1)
                                        << std::string("A\0B\x01"
                                                       "C\0D\0",
                                                       8)
                                        << Lines{"CD"} << Offsets{4};
  // A 16le run that ends at a non-text character: the search goes on one
  // byte after that character's start, not after the character.
  QTest::newRow("search resumes one byte on") << Encoding::Utf16Le << Printable(1)
                                              << std::string("A\0B\0\x01"
                                                             "C\0D\0",
                                                             9)
                                              << Lines{"AB", "CD"} << Offsets{0, 5};
  QTest::newRow("MaxChar counts characters")
      << Encoding::Utf16Le << Printable(1, 3) << Wide("abcdefg", 2, false) << Lines{"abc", "def"}
      << Offsets{0, 6};
  QTest::newRow("an unfinished last character ends the run")
      << Encoding::Utf16Le << Printable(1) << Wide("abc", 2, false) + "d" << Lines{"abc"}
      << Offsets{0};
  QTest::newRow("iso value in 16le") << Encoding::Utf16Le <<
      [] {
        TextOptions o = Printable(1);
        o.ISO = true;
        return o;
      }() << std::string("\xe9\0t\0\xe9\0", 6)
                                     << Lines{"\xe9t\xe9"} << Offsets{0};

  TextOptions iso = Printable(2);
  iso.ISO = true;
  QTest::newRow("utf8 word kept whole with iso") << Encoding::Utf8 << iso
                                                 << std::string("\x01"
                                                                "Caf\xc3\xa9!\x01")
                                                 << Lines{"Caf\xc3\xa9!"} << Offsets{1};
  QTest::newRow("utf8 without iso cuts at the accent")
      << Encoding::Utf8 << Printable(2) << std::string("Caf\xc3\xa9s") << Lines{"Caf"}
      << Offsets{0};
  TextOptions eInOther = Printable(2);
  eInOther.Other += "\xe9";
  QTest::newRow("utf8 latin-1 letter by Other")
      << Encoding::Utf8 << eInOther << std::string("Caf\xc3\xa9s") << Lines{"Caf\xc3\xa9s"}
      << Offsets{0};
  QTest::newRow("utf8 hair space kept, zero width space not") << Encoding::Utf8 << iso
                                                              << std::string("ab\xe2\x80\x8a"
                                                                             "cd\xe2\x80\x8b"
                                                                             "efg")
                                                              << Lines{"ab\xe2\x80\x8a"
                                                                       "cd",
                                                                       "efg"}
                                                              << Offsets{0, 10};
  QTest::newRow("utf8 overlong NUL, surrogate and beyond U+10FFFF refused")
      << Encoding::Utf8 << iso
      << std::string("abc\xc0\x80"
                     "def\xed\xa0\x80"
                     "ghi\xf4\x90\x80\x80"
                     "jkl")
      << Lines{"abc", "def", "ghi", "jkl"} << Offsets{0, 5, 11, 18};
  QTest::newRow("utf8 emoji and a private-use character are text")
      << Encoding::Utf8 << iso << std::string("a\xf0\x9f\x98\x80\xee\x80\x80")
      << Lines{"a\xf0\x9f\x98\x80\xee\x80\x80"} << Offsets{0};
  QTest::newRow("utf8 soft hyphen, BOM, C1 and non-characters refused")
      << Encoding::Utf8 << iso
      << std::string("abc\xc2\xad"
                     "def\xef\xbb\xbf"
                     "ghi\xc2\x85"
                     "jkl\xef\xbf\xbf"
                     "mno")
      << Lines{"abc", "def", "ghi", "jkl", "mno"} << Offsets{0, 5, 11, 16, 22};
  QTest::newRow("utf8 MaxChar counts characters") << Encoding::Utf8 <<
      [] {
        TextOptions o = Printable(0, 2);
        o.ISO = true;
        return o;
      }() << std::string("\xc3\xa9\xc3\xa9\xc3\xa9")
                                                  << Lines{"\xc3\xa9\xc3\xa9", "\xc3\xa9"}
                                                  << Offsets{0, 4};
}

void TestCharRunScanner::rules() {
  QFETCH(Encoding, encoding);
  QFETCH(TextOptions, options);
  QFETCH(std::string, input);
  QFETCH(Lines, expected);
  QFETCH(Offsets, offsets);
  const CollectSink reference = Reference(options, encoding, input);
  QCOMPARE(reference.lines, expected);
  QCOMPARE(reference.offsets, offsets);
  for (std::size_t block : {std::size_t(1), std::size_t(3), std::size_t(64), input.size()}) {
    const CollectSink got = ByBlocks(options, encoding, input, {block});
    QCOMPARE(got.lines, expected);
    QCOMPARE(got.offsets, offsets);
  }
}

void TestCharRunScanner::blockPathEqualsReference() {
  std::mt19937 rng(20261208);
  const std::vector<Encoding> encodings = {Encoding::Utf16Le, Encoding::Utf16Be, Encoding::Utf32Le,
                                           Encoding::Utf32Be, Encoding::Utf8};
  for (int round = 0; round < 400; ++round) {
    const Encoding encoding = encodings[round % encodings.size()];
    TextOptions options = Printable(rng() % 8, rng() % 3 == 0 ? 1 + rng() % 12 : 0);
    options.ISO = rng() % 2;
    options.Space = rng() % 2;
    if (rng() % 3 == 0)
      options.Other += "\xe9\x85";
    if (round % 50 == 0)
      options.MinChar = 60 + rng() % 10; // beyond what one 64-bit word shows
    // Now and then blocks larger than the scanner's slices.
    const bool large = round % 40 == 39;
    const std::string input = Planted(rng, encoding, large ? 400000 : 1 + rng() % 3000);
    const std::vector<std::size_t> blocks = {1 + rng() % 200, 1 + rng() % 7, 64,
                                             large ? 100000 + rng() % 200000 : 1 + rng() % 1000};
    const CollectSink expected = Reference(options, encoding, input);
    for (auto kernel : {ByteClassifier::Kernel::Scalar, ByteClassifier::Kernel::Ssse3,
                        ByteClassifier::Kernel::Avx2}) {
      if (!ByteClassifier::KernelSupported(kernel))
        continue;
      const CollectSink got = ByBlocks(options, encoding, input, blocks, kernel);
      if (got.lines != expected.lines || got.offsets != expected.offsets)
        QFAIL(qPrintable(QString("round %1, encoding %2, kernel %3: %4 lines, %5 expected")
                             .arg(round)
                             .arg(EncodingName(encoding))
                             .arg(int(kernel))
                             .arg(got.lines.size())
                             .arg(expected.lines.size())));
    }
  }
}

void TestCharRunScanner::loneCharacterAcrossBlockEnd() {
  // One wide character among bytes that are neither text nor zeros, split
  // by a block's end at each of its bytes, in the middle and at the end of
  // a 64-byte word.
  TextOptions options = Printable(0);
  for (const Encoding encoding :
       {Encoding::Utf16Le, Encoding::Utf16Be, Encoding::Utf32Le, Encoding::Utf32Be}) {
    const unsigned width = EncodingWidth(encoding);
    for (const std::size_t at : {std::size_t(100), std::size_t(127), std::size_t(191)}) {
      std::string input(300, '\x81');
      input.replace(at, width, Wide("(", width, IsBigEndian(encoding)));
      const CollectSink expected = Reference(options, encoding, input);
      QCOMPARE(expected.lines, Lines{"("});
      for (unsigned split = 1; split <= width; ++split) {
        const CollectSink got = ByBlocks(options, encoding, input, {at + split, input.size()});
        QCOMPARE(got.lines, expected.lines);
        QCOMPARE(got.offsets, expected.offsets);
      }
    }
  }
}

void TestCharRunScanner::runsCrossBlocksByteByByte() {
  // A run much longer than a block, fed one byte at a time and in blocks
  // that split characters everywhere.
  TextOptions iso = Printable(4);
  iso.ISO = true;
  std::string utf8;
  for (int i = 0; i < 2000; ++i)
    utf8 += "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z";
  for (auto [encoding, input] :
       {std::pair<Encoding, std::string>{Encoding::Utf8, utf8},
        {Encoding::Utf16Be, "x" + Wide(std::string(5000, 'q'), 2, true)},
        {Encoding::Utf32Le, "xyz" + Wide(std::string(3000, 'q'), 4, false) + "\x01"}}) {
    const CollectSink expected = Reference(iso, encoding, input);
    QCOMPARE(expected.lines.size(), std::size_t(1));
    for (std::size_t block : {std::size_t(1), std::size_t(2), std::size_t(5), std::size_t(4099)}) {
      const CollectSink got = ByBlocks(iso, encoding, input, {block});
      QCOMPARE(got.lines, expected.lines);
      QCOMPARE(got.offsets, expected.offsets);
    }
  }
}

void TestCharRunScanner::mergedByOffset() {
  std::mt19937 rng(7);
  const std::vector<Encoding> encodings = {Encoding::Bytes8, Encoding::Utf16Le, Encoding::Utf32Be,
                                           Encoding::Utf8};
  for (int round = 0; round < 60; ++round) {
    TextOptions options = Printable(rng() % 4);
    options.ISO = round % 2;
    std::string input;
    for (int piece = 0; piece < 40; ++piece)
      input += Planted(rng, encodings[rng() % encodings.size()], 40);
    // The simple merge: every encoding's lines, sorted by offset, stable so
    // that equal offsets keep the order of the list.
    struct Entry {
      uint64_t offset;
      std::size_t encoding;
      std::string line;
    };
    std::vector<Entry> expected;
    for (std::size_t e = 0; e < encodings.size(); ++e) {
      const CollectSink alone = encodings[e] == Encoding::Bytes8
                                    ? CollectBytes(options, input)
                                    : ByBlocks(options, encodings[e], input, {input.size()});
      for (std::size_t i = 0; i < alone.lines.size(); ++i)
        expected.push_back({alone.offsets[i], e, alone.lines[i]});
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Entry& a, const Entry& b) { return a.offset < b.offset; });

    std::vector<LineSink*> pointers(encodings.size());
    // One sink that records which encoding each line came from, in order.
    struct Tagged : LineSink {
      std::vector<Entry>* out;
      std::size_t encoding;
      void Line(const char* data, std::size_t length, uint64_t offset) override {
        out->push_back({offset, encoding, std::string(data, length)});
      }
    };
    std::vector<Entry> got;
    std::vector<Tagged> tagged(encodings.size());
    for (std::size_t e = 0; e < encodings.size(); ++e) {
      tagged[e].out = &got;
      tagged[e].encoding = e;
      pointers[e] = &tagged[e];
    }
    // Blocks scanned in one go, or scanned ahead (by the thread that reads)
    // one block or every block before the rest of the scan.
    const auto* data = reinterpret_cast<const uint8_t*>(input.data());
    std::vector<std::pair<std::size_t, std::size_t>> blocks;
    for (std::size_t at = 0; at < input.size();) {
      const std::size_t length = std::min<std::size_t>(1 + rng() % 300, input.size() - at);
      blocks.push_back({at, length});
      at += length;
    }
    for (const int ahead : {0, 1, 1000000}) {
      got.clear();
      MergedScanner merged(options, encodings, pointers);
      QVERIFY(merged.CanScanAhead());
      merged.ResetScanner();
      std::size_t prepared = 0;
      for (std::size_t b = 0; b < blocks.size(); ++b) {
        for (; ahead > 0 && prepared < blocks.size() && prepared <= b + ahead; ++prepared)
          merged.ScanAhead(data + blocks[prepared].first, blocks[prepared].second);
        merged.ScanBlock(data + blocks[b].first, blocks[b].second);
      }
      merged.EmitRun();
      QCOMPARE(got.size(), expected.size());
      for (std::size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].offset, expected[i].offset);
        QCOMPARE(got[i].encoding, expected[i].encoding);
        QCOMPARE(got[i].line, expected[i].line);
      }
    }
  }
}

QTEST_APPLESS_MAIN(TestCharRunScanner)
#include "test_charrunscanner.moc"
