#pragma once
// A large regular file scanned for a document window in parts, on worker
// threads (PartsInOrder over FileCuts), a few parts ahead of the window,
// which takes them in order. Each part's lines come as slices of text that
// the window takes over without a copy; the window's thread is left to let
// events run.
//
// The classes are those of the pass's start. The limits are read whenever a
// part starts (SetLimits), and each slice tells which its part was scanned
// by: a part whose limits are no longer the current ones must be scanned
// again by the taker, as a pass in one piece would have judged its runs by
// the new ones.

#include "extract/ExtractionChoice.h"
#include "extract/FileCuts.h"
#include "extract/PartLimits.h"
#include "extract/PartsInOrder.h"
#include "settings/TextOptions.h"
#include "text/ChunkSupply.h"
#include "text/TextBuffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What the window takes of a part: its next slice, or the record of its
// end.
struct PartSlice {
  TextBuffer text;     // lines, each followed by '\n'; the last may go on in the next slice
  bool midRun = false; // the text ends inside a run, whose last byte may be a '\n' of its own
  bool end = false;    // the part is done: no text comes with this
  uint64_t start = 0;
  PartLimits limits; // what the part's runs are judged by
  uint64_t upTo = 0; // the input before this offset is in the slices so far
  uint64_t stop = 0; // at the end: where the part's scan ended
  bool readError = false;
};

class PartSlices {
public:
  using Parts = PartsInOrder<PartSlice>;
  using Got = Parts::Got;

  // A part's text comes in slices of about this size, each handed over as
  // soon as it is full: the window takes a part in as it is scanned, and
  // what it does with each slice (learn the width of its last line, write
  // it to a file) never keeps the events waiting long, whatever the size of
  // the part. A failed write is then also known after a few megabytes.
  static constexpr std::size_t kSliceBytes = 4 << 20;
  // Slices of one part that may wait for the window.
  static constexpr std::size_t kSlicesAhead = 4;

  // `whole`: a regular file, open while this object lives; `options` and
  // `choice`: as the pass starts. Starts `workers` threads at once.
  PartSlices(InputFile& whole, const TextOptions& options, const ExtractionChoice& choice,
             unsigned workers, uint64_t partSize = FileCuts::kPartSize);
  PartSlices(const PartSlices&) = delete;
  PartSlices& operator=(const PartSlices&) = delete;

  std::size_t Count() const { return parts_.Count(); }
  void SetLimits(PartLimits limits) { parts_.SetLimits(limits); }
  // The next slice of part `index`, or its end (a PartSlice with `end`, then
  // Got::End); Failed when its worker could not get the memory for its
  // text; None when nothing came within `waitMs` milliseconds.
  Got Take(std::size_t index, int waitMs, PartSlice& slice) {
    return parts_.Take(index, slice, waitMs);
  }
  // Stops the workers where they are and waits for them.
  void Cancel() { parts_.Cancel(); }

private:
  class Sink;
  void Scan(Parts::Part& part);
  // A part of the default choice, by the byte scanner alone, or of any
  // other.
  ExtractResult ScanBytes(Parts::Part& part, const TextOptions& options, Sink& sink);
  ExtractResult ScanEncoded(Parts::Part& part, const TextOptions& options, Sink& sink);
  std::vector<FileCuts::Entry> Entries() const;

  const TextOptions options_;
  const ExtractionChoice choice_;
  // No run holds a line break unless the options let one in; the slices
  // then need not look for breaks in each line.
  const bool breaklessRuns_;
  FileCuts cuts_;
  ChunkSupply supply_;
  // Last: its workers use the members above until it is gone.
  Parts parts_;
};
