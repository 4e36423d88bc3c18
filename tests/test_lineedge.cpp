// Where a pass's break-terminated lines meet what holds them: an editor
// whose lines are separated (no break after the last) or a file whose lines
// each end with one. Over a TextBuffer, so without the window: a pass cut
// into slices at every byte, stopped at every slice boundary, runs that
// hold line breaks of their own, and runs dropped and kept.
#include "text/LineEdge.h"
#include "text/TextBuffer.h"

#include <QtTest>
#include <string>
#include <vector>

namespace {
// A target over a text; a run's pieces are the bytes at its end until kept
// or dropped (nothing else edits it here).
class BufferTarget : public LineEdge::Target {
public:
  explicit BufferTarget(const std::string& start = {}) { text.Append(start); }
  int64_t Length() const override { return static_cast<int64_t>(text.Size()); }
  void Append(const char* data, std::size_t length) override { text.Append(data, length); }
  void AppendText(TextBuffer&& slice) override { text.AppendBuffer(std::move(slice)); }
  void AppendPiece(const char* data, std::size_t length) override {
    text.Append(data, length);
    pieces += length;
  }
  void KeepPieces() override { pieces = 0; }
  void DropPieces() override {
    text.TakeBack(pieces);
    pieces = 0;
  }
  std::string Text() const { return text.Text(); }

  TextBuffer text;
  std::size_t pieces = 0;
};

TextBuffer SliceOf(const std::string& bytes) {
  TextBuffer slice;
  slice.Append(bytes);
  return slice;
}

// The lines "ab", "x\ny" (one run holding a line break of its own) and
// "cde", each followed by a line break; `runEnds` says which offsets end a
// line, as the scanner knows and the bytes do not.
const std::string kLines = "ab\nx\ny\ncde\n";
const std::vector<bool> kLineEnds = {false, false, false, true,  false, false,
                                     false, true,  false, false, false, true};

// What the target holds once the text up to `cut` was taken and the pass
// stopped there.
std::string Expected(std::size_t cut, LineEdge::Ends ends) {
  std::string text = kLines.substr(0, cut);
  const bool atLineEnd = kLineEnds[cut];
  if (ends == LineEdge::Ends::Separated)
    return atLineEnd && cut > 0 ? text.substr(0, cut - 1) : text;
  return atLineEnd ? text : text + "\n";
}
} // namespace

class TestLineEdge : public QObject {
  Q_OBJECT
private slots:
  void stopAtEverySliceBoundary_data() {
    QTest::addColumn<int>("ends");
    QTest::newRow("editor") << int(LineEdge::Ends::Separated);
    QTest::newRow("file") << int(LineEdge::Ends::Terminated);
  }
  // Slices cut at `cut` and at `second` after it; the pass stops after the
  // first: what it holds ends where a pass in one piece would have ended.
  void stopAtEverySliceBoundary() {
    QFETCH(int, ends);
    const auto kind = LineEdge::Ends(ends);
    for (std::size_t cut = 1; cut < kLines.size(); ++cut) {
      BufferTarget target;
      LineEdge edge(target, kind);
      edge.Slice(SliceOf(kLines.substr(0, cut)), !kLineEnds[cut]);
      edge.Stop();
      QCOMPARE(target.Text(), Expected(cut, kind));
      // Going on after a stop is a new pass's matter; a whole pass in
      // slices cut at `cut` and every later boundary gives the whole text.
      BufferTarget whole;
      LineEdge all(whole, kind);
      all.Slice(SliceOf(kLines.substr(0, cut)), !kLineEnds[cut]);
      for (std::size_t at = cut; at < kLines.size(); ++at)
        all.Slice(SliceOf(kLines.substr(at, 1)), !kLineEnds[at + 1]);
      all.Stop();
      QCOMPARE(whole.Text(), Expected(kLines.size(), kind));
    }
  }

  void emptySlicesAndLinesChangeNothing() {
    BufferTarget target;
    LineEdge edge(target, LineEdge::Ends::Separated);
    edge.Lines("a\n", 2);
    edge.Slice(TextBuffer(), false);
    edge.Lines("", 0);
    edge.Lines("b\n", 2);
    QCOMPARE(target.Text(), std::string("a\nb"));
  }

  // Into an editor: the break before a run goes with it, so a dropped run
  // leaves the text as it was; text the user typed is a line of its own.
  void runsDroppedAndKeptInAnEditor() {
    BufferTarget target("typed");
    LineEdge edge(target, LineEdge::Ends::Separated);
    edge.Lines("b\n", 2);
    QCOMPARE(target.Text(), std::string("typed\nb"));
    edge.Piece("xx", 2);
    edge.Piece("yy", 2);
    QCOMPARE(target.Text(), std::string("typed\nb\nxxyy"));
    edge.DropPieces();
    QCOMPARE(target.Text(), std::string("typed\nb"));
    edge.Piece("zz", 2);
    edge.KeepPieces();
    edge.Lines("c\nd\n", 4);
    QCOMPARE(target.Text(), std::string("typed\nb\nzz\nc\nd"));

    BufferTarget empty;
    LineEdge first(empty, LineEdge::Ends::Separated);
    first.Piece("run", 3);
    first.DropPieces();
    first.Lines("a\n", 2);
    QCOMPARE(empty.Text(), std::string("a"));
  }

  void runsKeptInAFile() {
    BufferTarget target;
    LineEdge edge(target, LineEdge::Ends::Terminated);
    edge.Lines("a\n", 2);
    edge.Piece("xx", 2);
    edge.DropPieces();
    edge.Piece("yy", 2);
    edge.KeepPieces();
    edge.Stop();
    QCOMPARE(target.Text(), std::string("a\nyy\n"));
  }
};

QTEST_APPLESS_MAIN(TestLineEdge)
#include "test_lineedge.moc"
