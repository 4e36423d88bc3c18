// The ordered scheduler of work in parts: results come in the order of the
// parts and of their hand-overs whatever the workers' delays, a cancel from
// the consumer's side ends it all (nothing handed over after it, every
// thread joined), the parts in flight and the results waiting stay within
// their bounds, a part that throws is reported at its place, and a change
// of the limits applies from the next part on.
#include "extract/PartsInOrder.h"

#include <QtTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace {
using Pair = std::pair<std::size_t, int>; // part, its result's number
using Parts = PartsInOrder<Pair>;

void SleepMicroseconds(unsigned us) {
  std::this_thread::sleep_for(std::chrono::microseconds(us));
}

// A random delay of up to `maxUs`, different for each part and result.
unsigned Delay(std::size_t part, int item, unsigned maxUs) {
  std::minstd_rand random(static_cast<unsigned>(part * 7919 + static_cast<std::size_t>(item)));
  return static_cast<unsigned>(random() % maxUs);
}

// Results per part: 0 to 5, by the part's number.
int ResultsOf(std::size_t part) {
  return static_cast<int>(part * 5 % 6);
}
} // namespace

class TestPartsInOrder : public QObject {
  Q_OBJECT
private slots:
  void orderUnderRandomDelays_data() {
    QTest::addColumn<unsigned>("workers");
    QTest::addColumn<int>("itemsAhead");
    QTest::newRow("one worker") << 1u << 1;
    QTest::newRow("four workers") << 4u << 2;
    QTest::newRow("eight workers, room") << 8u << 100;
  }
  // Also the bounds: at a part's start, at most workers + 1 parts are in
  // flight (the consumer has not taken their ends); no more than
  // `itemsAhead` results of a part wait.
  void orderUnderRandomDelays() {
    QFETCH(unsigned, workers);
    QFETCH(int, itemsAhead);
    const std::size_t count = 120;
    std::atomic<std::size_t> started{0}, ended{0}, maxInFlight{0};
    std::atomic<int> handed{0}, taken{0}, maxWaiting{0};
    Parts parts(count, workers, static_cast<std::size_t>(itemsAhead), PartLimits(),
                [&](Parts::Part& part) {
                  const std::size_t inFlight = ++started - ended.load();
                  for (std::size_t seen = maxInFlight; inFlight > seen;)
                    maxInFlight.compare_exchange_weak(seen, inFlight);
                  for (int i = 0; i < ResultsOf(part.Index()); ++i) {
                    SleepMicroseconds(Delay(part.Index(), i, 400));
                    QVERIFY(part.Hand({part.Index(), i}));
                    const int waiting = ++handed - taken.load();
                    for (int seen = maxWaiting; waiting > seen;)
                      maxWaiting.compare_exchange_weak(seen, waiting);
                  }
                });
    // The consumer knows how many results a part has: it counts the part
    // as ended before it takes the end, so that the count is never behind.
    std::vector<Pair> got;
    const auto next = [&](std::size_t index, Pair& item) {
      for (;;) {
        const Parts::Got what = parts.Take(index, item, index % 3 == 0 ? 1 : -1);
        if (what != Parts::Got::None)
          return what;
      }
    };
    for (std::size_t index = 0; index < count; ++index) {
      Pair item;
      for (int i = 0; i < ResultsOf(index); ++i) {
        QCOMPARE(int(next(index, item)), int(Parts::Got::Item));
        ++taken;
        got.push_back(item);
        SleepMicroseconds(Delay(index, -1, 100));
      }
      ++ended;
      QCOMPARE(int(next(index, item)), int(Parts::Got::End));
    }
    std::vector<Pair> expected;
    for (std::size_t part = 0; part < count; ++part)
      for (int i = 0; i < ResultsOf(part); ++i)
        expected.emplace_back(part, i);
    QVERIFY(got == expected);
    QVERIFY(maxInFlight.load() <= workers + 1);
    // Each worker's part may have its results waiting, and the one being
    // handed over counted before the consumer counts its take.
    QVERIFY(maxWaiting.load() <= static_cast<int>(workers + 1) * itemsAhead + 1);
  }

  // Workers far faster than the consumer wait for room: no more results
  // wait than the parts in flight may hold.
  void boundOnWaitingResults() {
    const unsigned workers = 2;
    const std::size_t itemsAhead = 2;
    std::atomic<int> handed{0}, taken{0}, maxWaiting{0};
    Parts parts(6, workers, itemsAhead, PartLimits(), [&](Parts::Part& part) {
      for (int i = 0; i < 20; ++i) {
        QVERIFY(part.Hand({part.Index(), i}));
        const int waiting = ++handed - taken.load();
        for (int seen = maxWaiting; waiting > seen;)
          maxWaiting.compare_exchange_weak(seen, waiting);
      }
    });
    for (std::size_t index = 0; index < 6;) {
      Pair item;
      if (parts.Take(index, item) == Parts::Got::End) {
        ++index;
        continue;
      }
      ++taken;
      SleepMicroseconds(300);
    }
    QCOMPARE(taken.load(), 120);
    QVERIFY(maxWaiting.load() <= static_cast<int>((workers + 1) * itemsAhead) + 1);
  }

  // Halfway the consumer cancels: no result is handed over after it (a
  // worker waiting for room is refused), no part starts, and Cancel
  // returns with every worker done.
  void cancelHalfway() {
    const std::size_t count = 200;
    std::atomic<bool> cancelled{false};
    std::atomic<int> running{0}, afterCancel{0}, startedAfter{0};
    Parts parts(count, 4, 2, PartLimits(), [&](Parts::Part& part) {
      ++running;
      if (cancelled)
        ++startedAfter;
      for (int i = 0; i < 50 && !part.Cancelled(); ++i) {
        SleepMicroseconds(50);
        if (part.Hand({part.Index(), i}) && cancelled)
          ++afterCancel;
      }
      --running;
    });
    std::size_t index = 0;
    for (; index < count / 2;) {
      Pair item;
      if (parts.Take(index, item) == Parts::Got::End)
        ++index;
    }
    cancelled = true;
    parts.Cancel();
    QCOMPARE(running.load(), 0);
    QCOMPARE(afterCancel.load(), 0);
    QCOMPARE(startedAfter.load(), 0);
    Pair item;
    QCOMPARE(int(parts.Take(index, item)), int(Parts::Got::Cancelled));
    parts.Cancel(); // twice is harmless
  }

  // A part whose work throws ends there: the consumer gets what it handed
  // over before, then its failure at its place, and the parts around it as
  // they are.
  void failedPartAtItsPlace() {
    const std::size_t count = 12;
    Parts parts(count, 3, 4, PartLimits(), [&](Parts::Part& part) {
      QVERIFY(part.Hand({part.Index(), 0}));
      if (part.Index() == 5)
        throw std::bad_alloc();
      QVERIFY(part.Hand({part.Index(), 1}));
    });
    std::vector<Pair> got;
    std::vector<std::size_t> failed;
    for (std::size_t index = 0; index < count;) {
      Pair item;
      switch (parts.Take(index, item)) {
      case Parts::Got::Item:
        got.push_back(item);
        break;
      case Parts::Got::Failed:
        failed.push_back(index);
        ++index;
        break;
      default:
        ++index;
        break;
      }
    }
    QCOMPARE(failed, std::vector<std::size_t>{5});
    QCOMPARE(got.size(), std::size_t(2 * count - 1));
    QCOMPARE(got[10], Pair(5, 0));
    QCOMPARE(got[11], Pair(6, 0));
  }

  // The limits are read as a part starts: parts started after a change
  // have the new ones, parts started before keep the old.
  void limitsChangeFromTheNextPart() {
    const std::size_t count = 30;
    std::mutex mutex;
    std::vector<PartLimits> seen(count);
    Parts parts(count, 2, 1, PartLimits{3, 0}, [&](Parts::Part& part) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        seen[part.Index()] = part.Limits();
      }
      part.Hand({part.Index(), 0});
    });
    for (std::size_t index = 0; index < count;) {
      Pair item;
      if (parts.Take(index, item) == Parts::Got::End && ++index == 10)
        parts.SetLimits(PartLimits{7, 40});
    }
    // At most workers + 1 parts started before the change came.
    for (std::size_t index = 0; index < count; ++index) {
      const PartLimits expected = index < 10 ? PartLimits{3, 0} : PartLimits{7, 40};
      if (index >= 10 && index < 13)
        QVERIFY(seen[index] == PartLimits({3, 0}) || seen[index] == expected);
      else
        QVERIFY(seen[index] == expected);
    }
  }
};

QTEST_APPLESS_MAIN(TestPartsInOrder)
#include "test_partsinorder.moc"
