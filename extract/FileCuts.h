#pragma once
// One regular file cut into parts that are scanned apart (see
// SplitPoints.h), the rule for whether a file is worth it, and the one
// sequence that scans a part: for the command line and the window alike.

#include "extract/FileExtractor.h"
#include "extract/SplitPoints.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class FileCuts {
public:
  using Entry = SplitPoints::Entry;
  static constexpr uint64_t kPartSize = SplitPoints::kPartSize;

  // `whole` must stay open while this object lives.
  FileCuts(const std::vector<Entry>& entries, InputFile& whole, uint64_t partSize = kPartSize)
      : whole_(whole), cuts_(entries, whole, partSize) {}

  // A regular file of two parts or more, on more than one core.
  static bool WorthCutting(const InputFile& file, unsigned cores) {
    return SplitPoints::WorthCutting(file, cores);
  }

  std::size_t Count() const { return cuts_.Count(); }

  // Called once part's start is known, before it is read: where the caller
  // readies the scanner and the sink for it.
  using Started = std::function<void(uint64_t start)>;
  // Whether the part is to end where it is.
  using Stopped = std::function<bool()>;

  // Scans part `index` through `scanner` into `sink`: waits for its start,
  // tells `started`, resets the scanner and reads the part (offsets count
  // from its start). A part whose `stopped` says so at its start is not
  // read; `eachSlice` asks it after every slice too (otherwise the part
  // stops only when the sink fails). Either way, and when the scan throws
  // (the exception is passed on), the parts after it start where it ended.
  ExtractResult Scan(std::size_t index, BlockScanner& scanner, LineSink& sink,
                     const Started& started, const Stopped& stopped, bool eachSlice);

private:
  InputFile& whole_;
  SplitPoints cuts_;
};
