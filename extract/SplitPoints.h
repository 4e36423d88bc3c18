#pragma once
// Where one file may be cut into parts that are scanned apart, on several
// cores, with the same lines as one scan of the whole.
//
// A cut at p is safe when no text character of any encoding asked for can
// start in the few bytes before p: then no run reaches across p, the scan of
// the part before p ends its runs where the whole scan does, and a scanner
// started fresh at p finds what the whole scan finds from p on. For single
// bytes that is one byte before p that no list entry accepts. For lists with
// wide or UTF-8 characters (at most 4 bytes) it is 4 zero bytes before p and
// 3 after it: every character that starts before p then lies in zeros, and
// NUL is never text.
//
// Any safe cuts will do, as long as the parts either side of each agree on
// it: so each is found by the part before it, once. Part i is meant to end
// near (i + 1) * partSize; a part whose end is not near (a long run) finds it
// as it reads on, and the parts after it wait.

#include "extract/ByteClassifier.h"
#include "extract/Encoding.h"
#include "extract/InputFile.h"
#include "settings/TextOptions.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class SplitPoints {
public:
  // Reads up to `length` bytes at `offset`: the count, 0 at the end, -1 on
  // an error.
  using ReadAt = std::function<int64_t(uint8_t* buffer, std::size_t length, uint64_t offset)>;

  struct Entry {
    Encoding encoding;
    const TextOptions* options;
  };
  // The size of part a large file is cut into, to be scanned on all cores
  // at once. Over a 498 MB file in the page cache on two cores that took 0.9
  // times the time of wc -l, where one thread reading ahead of one scanning
  // took 1.24; parts of 8 MiB cost a list of encodings a tenth more. Files
  // under two parts are not worth cutting.
  static constexpr uint64_t kPartSize = 16 << 20;
  // What EndNear and EndIn give when the end is not there.
  static constexpr uint64_t kFar = ~uint64_t(0);

  // `entries`: the encodings asked for, each with the options it is read by.
  SplitPoints(const std::vector<Entry>& entries, uint64_t size, uint64_t partSize, ReadAt read);
  // The same over the regular file `whole`, which must stay open.
  SplitPoints(const std::vector<Entry>& entries, const InputFile& whole,
              uint64_t partSize = kPartSize);
  // Whether `file` is worth cutting into parts on `cores` cores: a regular
  // file of two parts or more, on more than one core.
  static bool WorthCutting(const InputFile& file, unsigned cores) {
    return cores >= 2 && file.IsRegular() && file.Size() >= 2 * kPartSize;
  }

  std::size_t Count() const { return cuts_.size() - 1; }
  // Where part `index` starts: waits until the part before has found it.
  uint64_t Start(std::size_t index);
  // Where part `index` ends, looked for near its meant end (a read or two):
  // the cut, or kFar. The last part ends at the size.
  uint64_t EndNear(std::size_t index);
  // The same in the part's own blocks, as it reads on past its meant end:
  // `bytes` hold the input from `offset`. The cut when it lies in them or
  // at their end, else kFar.
  uint64_t EndIn(std::size_t index, const uint8_t* bytes, std::size_t length, uint64_t offset);
  // Part `index` stopped at `end` (the file ended, a read failed) before its
  // end was found: the parts after it start there.
  void EndAt(std::size_t index, uint64_t end);

private:
  // The first safe cut at or after `from` whose bytes all lie in `bytes`
  // (the input from `offset`); kFar when there is none.
  uint64_t FindIn(const uint8_t* bytes, std::size_t length, uint64_t offset, uint64_t from) const;
  // The first byte no entry accepts; `length` when none.
  std::size_t FindEnds(const uint8_t* bytes, std::size_t length) const;
  // Records where part `index` starts (and every part meant to start before
  // it, which is then empty), unless it is known already: what is recorded.
  uint64_t Record(std::size_t index, uint64_t cut);
  uint64_t Meant(std::size_t index) const { return index * partSize_; }

  // Single bytes only: the bytes no entry accepts.
  ByteClassifier ends_;
  bool zeros_ = false;
  std::size_t before_ = 1, after_ = 0; // bytes a cut is judged by, either side
  const uint64_t size_, partSize_;
  ReadAt read_;
  std::mutex mutex_;
  std::condition_variable found_;
  std::vector<uint64_t> cuts_; // kFar until found
};
