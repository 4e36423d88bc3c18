// Ranges followed through edits: against a model in which every byte knows
// whether it belongs to the ranges, through random appends, insertions,
// removals and replacements anywhere, inside the ranges and across them.
#include "text/TrackedRanges.h"

#include <QRandomGenerator>
#include <QtTest>
#include <vector>

namespace {
using Ranges = std::vector<TrackedRanges::Range>;

// The ranges the model's marks make: runs of marked bytes.
Ranges MarkedRuns(const std::vector<bool>& marked) {
  Ranges runs;
  for (std::size_t i = 0; i < marked.size(); ++i) {
    if (!marked[i])
      continue;
    if (!runs.empty() && runs.back().to == i)
      ++runs.back().to;
    else
      runs.push_back({i, i + 1});
  }
  return runs;
}

QByteArray Shown(const Ranges& ranges) {
  QByteArray text;
  for (const TrackedRanges::Range& r : ranges)
    text +=
        QByteArray::number(qulonglong(r.from)) + "-" + QByteArray::number(qulonglong(r.to)) + " ";
  return text;
}
} // namespace

class TestTrackedRanges : public QObject {
  Q_OBJECT
private slots:
  void editsAroundAndInside() {
    TrackedRanges ranges;
    ranges.Add(10, 5); // [10, 15)
    ranges.Add(15, 5); // joins: [10, 20)
    QCOMPARE(ranges.Ranges(), Ranges({{10, 20}}));
    ranges.Replaced(0, 0, 3); // before: moves
    QCOMPARE(ranges.Ranges(), Ranges({{13, 23}}));
    ranges.Replaced(13, 0, 2); // at its start: before it
    QCOMPARE(ranges.Ranges(), Ranges({{15, 25}}));
    ranges.Replaced(25, 0, 4); // at its end: after it
    QCOMPARE(ranges.Ranges(), Ranges({{15, 25}}));
    ranges.Replaced(20, 0, 1); // inside: splits it
    QCOMPARE(ranges.Ranges(), Ranges({{15, 20}, {21, 26}}));
    ranges.Replaced(20, 1, 0); // the inserted byte goes: one again
    QCOMPARE(ranges.Ranges(), Ranges({{15, 25}}));
    ranges.Replaced(12, 5, 1); // across its start
    QCOMPARE(ranges.Ranges(), Ranges({{13, 21}}));
    ranges.Replaced(0, 100, 0); // all of it
    QVERIFY(ranges.Empty());
    // Appended after text of the user's that stands at the end.
    ranges.Add(5, 2);
    ranges.Add(9, 3);
    QCOMPARE(ranges.Ranges(), Ranges({{5, 7}, {9, 12}}));
    QCOMPARE(TrackedRanges::AfterRemoving(4, {5, 7}), std::size_t(4));
    QCOMPARE(TrackedRanges::AfterRemoving(6, {5, 7}), std::size_t(5));
    QCOMPARE(TrackedRanges::AfterRemoving(10, {5, 7}), std::size_t(8));
  }

  void randomEditsFollowTheMarkedBytes() {
    QRandomGenerator random(20261209);
    for (int round = 0; round < 200; ++round) {
      std::vector<bool> marked; // the model: one flag per byte of the text
      TrackedRanges ranges;
      for (int step = 0; step < 60; ++step) {
        const std::size_t size = marked.size();
        const int kind = random.bounded(4);
        if (kind == 0) {
          const std::size_t length = 1 + random.bounded(5);
          ranges.Add(size, length);
          marked.insert(marked.end(), length, true);
        } else {
          // The user's edit: some bytes removed and others put in their place.
          const std::size_t at = random.bounded(quint32(size + 1));
          const std::size_t removed =
              kind == 1 ? 0 : random.bounded(quint32(std::min<std::size_t>(size - at, 6) + 1));
          const std::size_t inserted = kind == 2 ? 0 : random.bounded(4);
          ranges.Replaced(at, removed, inserted);
          marked.erase(marked.begin() + at, marked.begin() + at + removed);
          marked.insert(marked.begin() + at, inserted, false);
        }
        QVERIFY2(ranges.Ranges() == MarkedRuns(marked),
                 qPrintable(QStringLiteral("round %1 step %2: %3 against %4")
                                .arg(round)
                                .arg(step)
                                .arg(QString::fromLatin1(Shown(ranges.Ranges())),
                                     QString::fromLatin1(Shown(MarkedRuns(marked))))));
      }
    }
  }
};

QTEST_APPLESS_MAIN(TestTrackedRanges)
#include "test_trackedranges.moc"
