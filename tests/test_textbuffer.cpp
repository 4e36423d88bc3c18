// The document text model against a plain std::string holding the same text:
// random edits, line queries, searches and snapshots with tiny chunks (so that
// nearly everything happens at a chunk seam), and a few cases by hand.
#include "support/TextModel.h"
#include "text/ByteFold.h"
#include "text/TextBudget.h"
#include "text/TextBuffer.h"

#include <QtTest>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t npos = TextBuffer::npos;

// Bytes from a small alphabet, so that lines are short and needles recur;
// the Latin-1 letters exercise the case fold.
std::string RandomBytes(std::mt19937_64& rng, std::size_t length) {
  static const char alphabet[] = {'a', 'b', 'A', 'B', '\n', 'x', '\xC9', '\xE9', '\0', '\xFF'};
  std::string s(length, ' ');
  for (char& c : s)
    c = alphabet[rng() % sizeof alphabet];
  return s;
}

std::size_t Below(std::mt19937_64& rng, std::size_t n) {
  return n == 0 ? 0 : static_cast<std::size_t>(rng() % n);
}

// Everything that can be asked of the text, asked of both.
void Compare(const TextBuffer& text, const std::string& model, std::mt19937_64& rng) {
  QCOMPARE(text.Size(), model.size());
  QCOMPARE(text.Empty(), model.empty());
  QCOMPARE(text.LineCount(), ModelLineCount(model));
  QCOMPARE(text.Text(), model);

  // Pieces are the chunks: none empty, none over the bound, and not many more
  // than the size needs.
  std::size_t pieces = 0;
  bool bounded = true;
  text.VisitRange(0, text.Size(), [&](const char*, std::size_t length) {
    ++pieces;
    bounded = bounded && length > 0 && length <= text.ChunkBytes();
  });
  QVERIFY(bounded);
  QCOMPARE(pieces, text.ChunkCount());
  QVERIFY2(text.ChunkCount() <= 2 * text.Size() / text.ChunkBytes() + 1,
           qPrintable(QString("%1 chunks for %2 bytes").arg(text.ChunkCount()).arg(text.Size())));

  for (int q = 0; q < 8; ++q) {
    const std::size_t line = Below(rng, text.LineCount() + 2);
    QCOMPARE(text.LineStart(line), ModelLineStart(model, line));
    QCOMPARE(text.LineEnd(line), ModelLineEnd(model, line));
    const std::size_t pos = Below(rng, model.size() + 2);
    QCOMPARE(text.LineOf(pos), ModelLineOf(model, pos));
    QCOMPARE(text.At(pos), pos < model.size() ? model[pos] : '\0');
    const std::size_t a = Below(rng, model.size() + 1);
    const std::size_t b = a + Below(rng, model.size() + 1 - a);
    QCOMPARE(text.Text(a, b), model.substr(a, b - a));
  }
}

void CompareSearches(const TextBuffer& text, const std::string& model, std::mt19937_64& rng) {
  static const ByteFold latin1 = ByteFold::Latin1Case();
  for (int q = 0; q < 6; ++q) {
    // Mostly needles taken from the text, so that they are found; their
    // length runs over several tiny chunks.
    std::string needle;
    if (!model.empty() && rng() % 4 != 0) {
      const std::size_t at = Below(rng, model.size());
      needle = model.substr(at, 1 + Below(rng, std::min<std::size_t>(model.size() - at, 40)));
    } else {
      needle = RandomBytes(rng, Below(rng, 4));
    }
    const ByteFold* fold = rng() % 2 ? &latin1 : nullptr;
    const std::size_t from = Below(rng, model.size() + 2);
    const std::size_t to = rng() % 3 ? npos : from + Below(rng, model.size() + 2);
    QCOMPARE(text.Find(needle, from, to, fold),
             needle.empty() ? (from <= std::min(to, model.size()) ? from : npos)
                            : ModelFind(model, needle, from, to, fold));
    const std::size_t bFrom = rng() % 2 ? 0 : Below(rng, model.size() + 1);
    const std::size_t bTo = rng() % 3 ? npos : Below(rng, model.size() + 2);
    const std::size_t expected =
        needle.empty() ? (bFrom <= std::min(bTo, model.size()) ? std::min(bTo, model.size()) : npos)
                       : ModelFind(model, needle, bFrom, bTo, fold, true);
    QCOMPARE(text.FindBackward(needle, bFrom, bTo, fold), expected);
  }
}

} // namespace

class TestTextBuffer : public QObject {
  Q_OBJECT
private slots:
  void randomEdits_data();
  void randomEdits();
  void emptyText();
  void textWithoutBreaks();
  void finalBreakMakesEmptyLastLine();
  void tenMegabyteLine();
  void manyLinesAtDefaultChunkSize();
  void snapshotKeepsBytes();
  void suppliedChunksStayWithTheirBuffer();
  void takeBackLargeEnd();
  void latin1CaseFold();
  void searchAcrossSeams();
  void foldedSearchOverLongText();
  void rangePutBackSharesItsChunks();
};

void TestTextBuffer::randomEdits_data() {
  QTest::addColumn<int>("chunkBytes");
  QTest::addColumn<bool>("supplied");
  // Bytes of text kept in memory at most (0: no limit); beyond it the text
  // keeps its chunks in a spill file.
  QTest::addColumn<int>("budget");
  QTest::newRow("2") << 2 << false << 0;
  QTest::newRow("5") << 5 << false << 0;
  QTest::newRow("16") << 16 << false << 0;
  QTest::newRow("61") << 61 << false << 0;
  QTest::newRow("4096") << 4096 << false << 0;
  // Chunks made ready on another thread hold whatever bytes they had.
  QTest::newRow("16, supplied") << 16 << true << 0;
  QTest::newRow("4096, supplied") << 4096 << true << 0;
  QTest::newRow("5, on disk") << 5 << false << 40;
  QTest::newRow("61, on disk") << 61 << false << 300;
  QTest::newRow("4096, on disk") << 4096 << false << 10000;
  QTest::newRow("4096, supplied, on disk") << 4096 << true << 10000;
}

void TestTextBuffer::randomEdits() {
  QFETCH(int, chunkBytes);
  QFETCH(bool, supplied);
  QFETCH(int, budget);
  TextBudget::SetLimitForTests(static_cast<uint64_t>(budget));
  const auto unlimited = qScopeGuard([] { TextBudget::SetLimitForTests(0); });
  uint64_t mostOnDisk = 0;
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    std::mt19937_64 rng(seed * 7919 + static_cast<uint64_t>(chunkBytes));
    TextBuffer text(static_cast<std::size_t>(chunkBytes));
    if (budget != 0)
      text.AllowSpill();
    std::unique_ptr<ChunkSupply> supply;
    if (supplied) {
      supply = std::make_unique<ChunkSupply>(text.ChunkBytes(), 4);
      text.SetSupply(supply.get());
    }
    std::string model;
    std::vector<std::pair<TextBuffer, std::string>> snapshots;
    for (int op = 0; op < 250; ++op) {
      const unsigned kind = static_cast<unsigned>(rng() % 100);
      if (kind < 30) {
        const int lines = 1 + static_cast<int>(rng() % 5);
        for (int l = 0; l < lines; ++l) {
          std::string line = RandomBytes(rng, Below(rng, 12));
          // A line may hold breaks of its own, unless its caller says not.
          if (rng() % 2) {
            line.erase(std::remove(line.begin(), line.end(), '\n'), line.end());
            text.AppendBreaklessLine(line.data(), line.size());
          } else {
            text.AppendLine(line);
          }
          model += line + '\n';
        }
      } else if (kind < 35) {
        // A text made apart (a part of a pass), with smaller, equal or
        // larger chunks, some of them a snapshot's.
        TextBuffer other(rng() % 4 ? text.ChunkBytes() : Below(rng, 2 * text.ChunkBytes()) + 2);
        std::string bytes;
        for (int piece = static_cast<int>(Below(rng, 4)); piece > 0; --piece) {
          const std::string more = RandomBytes(rng, Below(rng, 3 * text.ChunkBytes() + 3));
          other.Append(more);
          bytes += more;
        }
        const TextBuffer kept = other.Snapshot();
        text.AppendBuffer(std::move(other));
        model += bytes;
        QVERIFY(other.Empty());
        QCOMPARE(kept.Text(), bytes);
      } else if (kind < 40) {
        const std::string bytes = RandomBytes(rng, Below(rng, 3 * text.ChunkBytes() + 3));
        text.Append(bytes);
        model += bytes;
      } else if (kind < 45 && !snapshots.empty()) {
        // A range of an earlier state goes back in (as Undo puts a large
        // deletion back), sharing the chunks it wholly covers.
        const auto& [copy, bytes] = snapshots[Below(rng, snapshots.size())];
        const std::size_t a = Below(rng, bytes.size() + 1);
        const std::size_t b = a + Below(rng, bytes.size() + 2 - a);
        const std::size_t pos = Below(rng, model.size() + 2);
        text.InsertRange(pos, copy, a, b);
        if (a < bytes.size())
          model.insert(std::min(pos, model.size()), bytes.substr(a, b - a));
      } else if (kind < 60) {
        const std::size_t pos = Below(rng, model.size() + 2);
        const std::size_t length =
            rng() % 4 ? Below(rng, 8) : Below(rng, 3 * text.ChunkBytes() + 3);
        const std::string bytes = RandomBytes(rng, length);
        text.Insert(pos, bytes);
        model.insert(std::min(pos, model.size()), bytes);
      } else if (kind < 78) {
        const std::size_t a = Below(rng, model.size() + 1);
        const std::size_t b = a + (rng() % 3 ? Below(rng, 10) : Below(rng, model.size() + 2 - a));
        text.Erase(a, b);
        if (a < model.size())
          model.erase(a, b - a);
      } else if (kind < 86) {
        const std::size_t n = rng() % 3 ? Below(rng, 12) : Below(rng, model.size() + 2);
        text.TakeBack(n);
        model.resize(model.size() - std::min(n, model.size()));
      } else if (kind < 94) {
        snapshots.emplace_back(text.Snapshot(), model);
        if (snapshots.size() > 4)
          snapshots.erase(snapshots.begin() + static_cast<std::ptrdiff_t>(Below(rng, 4)));
      } else if (kind < 95) {
        text.Clear();
        model.clear();
      } else if (!snapshots.empty()) {
        // Go on from an old snapshot: edits to it must not reach the others.
        const std::size_t k = Below(rng, snapshots.size());
        text = snapshots[k].first;
        model = snapshots[k].second;
      }
      // Chunks leave memory once their writes are seen done: at once now
      // and then, with writes still under way otherwise.
      if (budget != 0 && op % 7 == 0)
        text.CollectSpilled(true);
      mostOnDisk = std::max(mostOnDisk, text.BytesOnDisk());
      QCOMPARE(text.SpillError(), 0);
      Compare(text, model, rng);
      CompareSearches(text, model, rng);
      if (QTest::currentTestFailed()) {
        qWarning("seed %llu, operation %d (kind %u)", static_cast<unsigned long long>(seed), op,
                 kind);
        return;
      }
    }
    for (const auto& [copy, bytes] : snapshots) {
      QCOMPARE(copy.Text(), bytes);
      QCOMPARE(copy.LineCount(), ModelLineCount(bytes));
    }
  }
  // The rows with a budget did keep text on disk.
  QCOMPARE(mostOnDisk > 0, budget != 0);
}

void TestTextBuffer::emptyText() {
  TextBuffer text;
  QCOMPARE(text.Size(), std::size_t(0));
  QVERIFY(text.Empty());
  QCOMPARE(text.LineCount(), std::size_t(1));
  QCOMPARE(text.LineStart(0), std::size_t(0));
  QCOMPARE(text.LineEnd(0), std::size_t(0));
  QCOMPARE(text.LineStart(5), std::size_t(0));
  QCOMPARE(text.LineOf(0), std::size_t(0));
  QCOMPARE(text.LineOf(7), std::size_t(0));
  QCOMPARE(text.At(0), '\0');
  QCOMPARE(text.Text(), std::string());
  QCOMPARE(text.Find("a"), npos);
  QCOMPARE(text.Find(""), std::size_t(0));
  QCOMPARE(text.FindBackward("a"), npos);
  text.Erase(0, 10);
  text.TakeBack(3);
  text.Insert(4, "");
  QCOMPARE(text.ChunkCount(), std::size_t(0));
  QCOMPARE(text.Snapshot().Size(), std::size_t(0));
}

void TestTextBuffer::textWithoutBreaks() {
  TextBuffer text(4);
  text.Append("abcdefghij");
  QCOMPARE(text.LineCount(), std::size_t(1));
  QCOMPARE(text.LineStart(0), std::size_t(0));
  QCOMPARE(text.LineEnd(0), std::size_t(10));
  QCOMPARE(text.LineOf(10), std::size_t(0));
  QCOMPARE(text.LineStart(1), std::size_t(0));
  QCOMPARE(text.Find("defgh"), std::size_t(3));
  QCOMPARE(text.FindBackward("ij"), std::size_t(8));
}

void TestTextBuffer::finalBreakMakesEmptyLastLine() {
  TextBuffer ended;
  ended.Append("one\ntwo\n");
  QCOMPARE(ended.LineCount(), std::size_t(3));
  QCOMPARE(ended.LineStart(2), std::size_t(8));
  QCOMPARE(ended.LineEnd(2), std::size_t(8));
  QCOMPARE(ended.LineEnd(1), std::size_t(7));
  QCOMPARE(ended.LineOf(8), std::size_t(2));
  QCOMPARE(ended.LineOf(7), std::size_t(1));

  TextBuffer open;
  open.Append("one\ntwo");
  QCOMPARE(open.LineCount(), std::size_t(2));
  QCOMPARE(open.LineStart(1), std::size_t(4));
  QCOMPARE(open.LineEnd(1), std::size_t(7));

  TextBuffer lone;
  lone.AppendLine("");
  QCOMPARE(lone.Text(), std::string("\n"));
  QCOMPARE(lone.LineCount(), std::size_t(2));
}

void TestTextBuffer::tenMegabyteLine() {
  const std::size_t length = 10u << 20;
  TextBuffer text;
  std::string piece(4093, 'q');
  while (text.Size() + piece.size() < length)
    text.Append(piece);
  text.Append(std::string(length - text.Size() - 6, 'q') + "needle");
  QCOMPARE(text.Size(), length);
  QCOMPARE(text.LineCount(), std::size_t(1));
  QCOMPARE(text.LineEnd(0), length);
  QCOMPARE(text.LineOf(length / 2), std::size_t(0));
  QVERIFY(text.ChunkCount() <= length / TextBuffer::kDefaultChunkBytes + 1);
  QCOMPARE(text.Find("needle"), length - 6);
  QCOMPARE(text.FindBackward("qneedle"), length - 7);
  QCOMPARE(text.Find("needle", 0, length - 1), npos);

  // A break in the middle makes two lines; the chunks stay bounded.
  text.Insert(length / 2, "\n");
  QCOMPARE(text.LineCount(), std::size_t(2));
  QCOMPARE(text.LineStart(1), length / 2 + 1);
  QCOMPARE(text.LineOf(length / 2), std::size_t(0));
  QCOMPARE(text.LineOf(length / 2 + 1), std::size_t(1));
  text.Erase(length / 2, length / 2 + 1);
  QCOMPARE(text.LineCount(), std::size_t(1));
  QCOMPARE(text.Size(), length);
  QCOMPARE(text.At(length - 1), 'e');
}

void TestTextBuffer::manyLinesAtDefaultChunkSize() {
  TextBuffer text;
  const std::string line(29, 'x');
  const std::size_t lines = 200000;
  for (std::size_t l = 0; l < lines; ++l)
    text.AppendLine(line);
  QCOMPARE(text.LineCount(), lines + 1);
  QCOMPARE(text.Size(), lines * 30);
  for (std::size_t l = 0; l <= lines; l += 997) {
    QCOMPARE(text.LineStart(l), l * 30);
    QCOMPARE(text.LineOf(l * 30 + 29), l);
  }
  // An edit in the middle moves only what follows it within its chunk.
  text.Insert(30 * 1000 + 5, "\n");
  QCOMPARE(text.LineStart(1001), std::size_t(30 * 1000 + 6));
  QCOMPARE(text.LineStart(lines + 1), lines * 30 + 1);
  QCOMPARE(text.LineOf(lines * 30), lines);
  QCOMPARE(text.LineOf(lines * 30 + 1), lines + 1);
}

void TestTextBuffer::snapshotKeepsBytes() {
  TextBuffer text(64);
  std::string model;
  for (int l = 0; l < 1000; ++l) {
    const std::string line = "line " + std::to_string(l);
    text.AppendLine(line);
    model += line + '\n';
  }
  const TextBuffer copy = text.Snapshot();
  text.Insert(0, "front ");
  text.Erase(500, 900);
  text.Insert(3000, std::string(500, 'z'));
  text.TakeBack(1000);
  text.AppendLine("end");
  QCOMPARE(copy.Text(), model);
  QCOMPARE(copy.LineCount(), std::size_t(1001));
  QCOMPARE(copy.Find("line 999"), model.rfind("line 999"));
  QVERIFY(text.Text() != model);
}

// A copy of a buffer, or a buffer it is moved into, never takes chunks from
// its supply: the supply ends with the fill it serves, while a copy may live
// on (on the clipboard). Under the sanitizers a chunk taken from a supply
// that is gone is a use after free.
void TestTextBuffer::suppliedChunksStayWithTheirBuffer() {
  TextBuffer text(4096);
  TextBuffer copy;
  std::unique_ptr<TextBuffer> moved;
  std::string model;
  {
    ChunkSupply supply(text.ChunkBytes(), 8);
    // Blocks are made ready without anyone asking.
    for (int wait = 0; supply.Ready() < 8 && wait < 5000; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QCOMPARE(supply.Ready(), std::size_t(8));
    text.SetSupply(&supply);
    for (int l = 0; l < 5000; ++l) {
      const std::string line = "supplied line " + std::to_string(l);
      text.AppendLine(line);
      model += line + '\n';
    }
    QVERIFY(supply.Taken() > 0);
    copy = text.Snapshot();
    TextBuffer second(4096);
    second.SetSupply(&supply);
    second.Append(model);
    moved = std::make_unique<TextBuffer>(std::move(second));
    // A block taken is the supply's size and may be written whole.
    const std::unique_ptr<char[]> block = supply.Take();
    if (block)
      std::memset(block.get(), 'x', supply.BlockBytes());
    text.SetSupply(nullptr);
  }
  for (int l = 0; l < 2000; ++l) {
    copy.AppendLine("after the supply");
    moved->AppendLine("after the supply");
    text.AppendLine("after the supply");
  }
  QCOMPARE(copy.Text(0, model.size()), model);
  QCOMPARE(moved->Text(), copy.Text());
  QCOMPARE(text.Text(), copy.Text());
  // A supply that keeps nothing ready gives nothing, at once.
  ChunkSupply none(64, 0);
  QVERIFY(!none.Take());
}

void TestTextBuffer::takeBackLargeEnd() {
  TextBuffer text(1000);
  std::string model;
  for (int l = 0; l < 5000; ++l) {
    text.AppendLine("0123456789");
    model += "0123456789\n";
  }
  text.TakeBack(33333);
  model.resize(model.size() - 33333);
  QCOMPARE(text.Text(), model);
  QCOMPARE(text.LineCount(), ModelLineCount(model));
  text.TakeBack(model.size() + 10);
  QVERIFY(text.Empty());
  QCOMPARE(text.ChunkCount(), std::size_t(0));
  text.AppendLine("again");
  QCOMPARE(text.Text(), std::string("again\n"));
}

void TestTextBuffer::latin1CaseFold() {
  const ByteFold fold = ByteFold::Latin1Case();
  TextBuffer text(3);
  text.Append("Der \xC4rger \xFC"
              "ber \xDF und \xFF, \xD7 \xF7");
  QCOMPARE(text.Find("\xE4RGER", 0, npos, &fold), std::size_t(4));
  QCOMPARE(text.Find("\xE4RGER"), npos);
  QCOMPARE(text.Find("\xDC"
                     "BER",
                     0, npos, &fold),
           std::size_t(10));
  QCOMPARE(text.FindBackward("dER", 0, npos, &fold), std::size_t(0));
  // No capital for these in ISO 8859-1; the signs are not letters.
  QCOMPARE(fold[0xDF], static_cast<unsigned char>(0xDF));
  QCOMPARE(fold[0xFF], static_cast<unsigned char>(0xFF));
  QCOMPARE(fold.ClassSize(0xD7), std::size_t(1));
  QCOMPARE(fold.ClassSize(0xF7), std::size_t(1));
  QVERIFY(fold['a'] == fold['A']);
  QVERIFY(fold[0xC0] == fold[0xE0]);
  QVERIFY(fold[0xDE] == fold[0xFE]);
}

void TestTextBuffer::searchAcrossSeams() {
  // Every placement of the needle against 4-byte chunks.
  for (std::size_t at = 0; at < 12; ++at) {
    TextBuffer text(4);
    std::string model(20, '.');
    model.replace(at, 7, "abcabcd");
    text.Append(model);
    QCOMPARE(text.Find("abcabcd"), at);
    QCOMPARE(text.Find("abcd"), at + 3);
    QCOMPARE(text.FindBackward("abc"), at + 3);
    QCOMPARE(text.Find("abcabcd", at + 1), npos);
    QCOMPARE(text.FindBackward("abcabcd", 0, at + 6), npos);
  }
}

void TestTextBuffer::foldedSearchOverLongText() {
  // Letters of both cases beside the bytes one case bit away that are not
  // their other case (the signs 0xD7 and 0xF7, '@' and '`'), in chunks long
  // enough for the sixteen-byte steps, against the plain model.
  const ByteFold fold = ByteFold::Latin1Case();
  const char alphabet[] = "aA\xD7\xF7\xE9\xC9@`x\n";
  std::mt19937_64 rng(99);
  for (const std::size_t chunkBytes : {std::size_t(61), std::size_t(4096), std::size_t(65536)}) {
    TextBuffer text(chunkBytes);
    std::string model(150000, 'x');
    for (char& c : model)
      c = alphabet[Below(rng, sizeof alphabet - 1)];
    text.Append(model);
    for (int q = 0; q < 60; ++q) {
      std::string needle(1 + Below(rng, 9), 'x');
      for (char& c : needle)
        c = alphabet[Below(rng, sizeof alphabet - 1)];
      const std::size_t from = Below(rng, model.size());
      QCOMPARE(text.Find(needle, from, npos, &fold), ModelFind(model, needle, from, npos, &fold));
    }
  }
}

void TestTextBuffer::rangePutBackSharesItsChunks() {
  // As Undo puts back a deletion of everything: the history's copy and the
  // text hold the same chunks, not the bytes twice.
  std::string model;
  for (int n = 0; model.size() < (8u << 20); ++n)
    model += "line " + std::to_string(n) + '\n';
  TextBuffer text;
  text.Append(model);
  const TextBuffer kept = text.Snapshot();
  const uint64_t before = TextBudget::Resident();
  text.Erase(0, text.Size());
  text.Append("x");
  text.Erase(0, 1);
  text.InsertRange(0, kept, 0, kept.Size());
  QCOMPARE(text.Text(), model);
  QVERIFY2(TextBudget::Resident() < before + (1u << 20),
           qPrintable(QString::number(TextBudget::Resident() - before)));
  // In the middle of a text, and a part of the kept one: only the chunks
  // at the ends are new.
  text.InsertRange(1000, kept, 333, 5000000);
  std::string expected = model;
  expected.insert(1000, model.substr(333, 5000000 - 333));
  QCOMPARE(text.Text(), expected);
  QVERIFY(TextBudget::Resident() < before + (1u << 20));
  // Writing into a shared chunk leaves the kept text as it was.
  text.Insert(200000, "typed");
  expected.insert(200000, "typed");
  QCOMPARE(text.Text(), expected);
  QCOMPARE(kept.Text(), model);
}

QTEST_APPLESS_MAIN(TestTextBuffer)
#include "test_textbuffer.moc"
