#pragma once
// Scans a large regular file for a document window in parts (see
// SplitPoints.h), on worker threads, a few parts ahead of the window, which
// takes them in order. Each part's lines come as slices of text that the
// window takes over without a copy; the window's thread is left to let
// events run.
//
// The classes are those of the pass's start. The limits are read whenever a
// part starts (SetLimits), and each part tells which it was scanned by: a
// part whose limits are no longer the current ones must be scanned again
// by the taker, as a pass in one piece would have judged its runs by the new
// ones.

#include "extract/InputFile.h"
#include "extract/SplitPoints.h"
#include "settings/TextOptions.h"
#include "text/ChunkSupply.h"
#include "text/TextBuffer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class PartsAhead {
public:
  struct Limits {
    uint32_t minChar = 0;
    uint32_t maxChar = 0;
    bool operator==(const Limits& other) const {
      return minChar == other.minChar && maxChar == other.maxChar;
    }
    bool operator!=(const Limits& other) const { return !(*this == other); }
  };
  static Limits LimitsOf(const TextOptions& options) { return {options.MinChar, options.MaxChar}; }

  // A part's text comes in slices of about this size, each handed over as
  // soon as it is full: the window takes a part in as it is scanned, and
  // what it does with each slice (learn the width of its last line, write
  // it to a file) never keeps the events waiting long, whatever the size of
  // the part. A failed write is then also known after a few megabytes.
  static constexpr std::size_t kSliceBytes = 4 << 20;

  // What Take gives of a part: its next slice, or its end.
  struct Taken {
    TextBuffer text;     // lines, each followed by '\n'; the last may go on in the next slice
    bool midRun = false; // the text ends inside a run, whose last byte may be a '\n' of its own
    bool end = false;    // the part is done: no text comes with this
    uint64_t start = 0;
    Limits limits;     // what the part's runs are judged by
    uint64_t upTo = 0; // the input before this offset is in the slices so far
    uint64_t stop = 0; // at the end: where the part's scan ended
    bool readError = false;
    bool outOfMemory = false; // the part's text could not be held: it ends early
  };

  // `whole`: a regular file, open while this object lives; `options`: as
  // the pass starts. Starts `workers` threads at once.
  PartsAhead(InputFile& whole, const TextOptions& options, unsigned workers,
             uint64_t partSize = SplitPoints::kPartSize);
  // Stops the workers where they are and waits for them.
  ~PartsAhead();
  PartsAhead(const PartsAhead&) = delete;
  PartsAhead& operator=(const PartsAhead&) = delete;

  std::size_t Count() const { return cuts_.Count(); }
  // The limits for parts started from now on.
  void SetLimits(Limits limits);
  // The next slice of part `index`, or its end, when one comes within
  // `waitMs` milliseconds; false when none does. Parts are taken in order:
  // the next index once this one's end was taken.
  bool Take(std::size_t index, int waitMs, Taken& taken);

private:
  struct Slot {
    std::size_t index = 0;
    bool started = false;
    bool done = false;
    uint64_t start = 0;
    Limits limits;
    // Handed over, not yet taken.
    struct Slice {
      TextBuffer text;
      uint64_t upTo = 0;
      bool midRun = false;
    };
    std::deque<Slice> slices;
    uint64_t stop = 0;
    bool readError = false;
    bool outOfMemory = false;
  };
  class Sink;

  void Work();
  // The next part to scan and its slot; false when there is none or the
  // workers must stop. Waits while the parts ahead fill the ring.
  bool Claim(std::size_t& index, Slot*& slot);
  void Scan(std::size_t index, Slot& slot);
  void Hand(Slot& slot, Slot::Slice&& slice);
  Slot& SlotOf(std::size_t index) { return slots_[index % slots_.size()]; }

  InputFile& whole_; // stays open until this object is gone
  const TextOptions options_;
  // No run holds a line break unless the options let one in; the slices
  // then need not look for breaks in each line.
  const bool breaklessRuns_;
  SplitPoints cuts_;
  ChunkSupply supply_;
  std::atomic<uint64_t> limits_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Slot> slots_; // a ring of the parts in flight
  std::size_t next_ = 0;   // the next part to claim
  std::size_t taken_ = 0;  // the next part to take
  std::vector<std::thread> workers_;
};
