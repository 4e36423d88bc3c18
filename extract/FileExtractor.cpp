#include "extract/FileExtractor.h"

#include "extract/ReadAhead.h"
#include "extract/RunScanner.h"

#include <algorithm>
#include <memory>

namespace {
static_assert(ReadAhead::kBlockSize == kReadBlock, "both ways of reading take the same blocks");

// What a source of blocks gives when nothing came within a time slice.
constexpr int64_t kWaiting = -2;

// Scans one block, in slices when there is a hook. False when the pass must
// end here: the sink failed or the hook said stop.
bool ScanBlock(const uint8_t* data, std::size_t length, bool shortRead, BlockScanner& scanner,
               LineSink& sink, const SliceHook& hook, ExtractResult& result) {
  for (std::size_t done = 0; done < length;) {
    const std::size_t slice = hook ? std::min(kScanSlice, length - done) : length - done;
    scanner.ScanBlock(data + done, slice);
    done += slice;
    result.bytesRead += slice;
    if (sink.Failed()) {
      result.writeError = true;
      return false;
    }
    if (hook && !hook(result.bytesRead, shortRead && done == length)) {
      result.stopped = true;
      return false;
    }
  }
  return true;
}

// The loop every way of reading shares. `next(data, error)` gives the next
// block and its length, 0 at the end, -1 on an error (then `error`), or
// kWaiting; a block shorter than `blockSize` was a short read. False when
// the hook said stop.
template <class NextBlock>
bool ScanAll(NextBlock next, std::size_t blockSize, BlockScanner& scanner, LineSink& sink,
             const SliceHook& hook, ExtractResult& result) {
  for (;;) {
    const uint8_t* data = nullptr;
    int error = 0;
    const int64_t n = next(data, error);
    if (n == kWaiting) {
      if (hook && !hook(result.bytesRead, true)) {
        result.stopped = true;
        return false;
      }
      continue;
    }
    if (n == 0)
      return true;
    if (n < 0) {
      result.readError = true;
      result.error = error;
      return true;
    }
    const auto length = static_cast<std::size_t>(n);
    if (!ScanBlock(data, length, length < blockSize, scanner, sink, hook, result))
      return !result.stopped;
  }
}

// Reads on this thread, into a block the thread keeps: a worker that reads
// one part of a file after another would otherwise map a new block for each.
bool ReadHere(InputFile& input, BlockScanner& scanner, LineSink& sink, const SliceHook& hook,
              ExtractResult& result) {
  thread_local const ReadAhead::Buffer buffer = ReadAhead::NewBuffer(kReadBlock);
  const auto next = [&](const uint8_t*& data, int& error) {
    const int64_t n = input.Read(buffer.get(), kReadBlock);
    data = buffer.get();
    if (n == -1)
      error = input.Error();
    return n == InputFile::NothingYet ? kWaiting : n;
  };
  return ScanAll(next, kReadBlock, scanner, sink, hook, result);
}

// Reads a regular file on a second thread while this one scans; a hook
// still gets its turn every slice, also while a slow disk keeps the next
// block waiting.
bool ReadAheadOfScan(InputFile& input, BlockScanner& scanner, LineSink& sink, const SliceHook& hook,
                     ExtractResult& result) {
  // Scanning ahead goes a block at a time; with a hook the blocks are
  // scanned in slices, which the work done ahead would not match.
  ReadAhead reader(input, scanner.CanScanAhead() && !hook ? &scanner : nullptr);
  bool held = false; // the block scanned last is still the reader's to refill
  const auto next = [&](const uint8_t*& data, int& error) {
    if (held)
      reader.Release();
    const int64_t n = reader.Next(data, hook ? InputFile::SliceMs : -1);
    held = n > 0;
    if (n == -1)
      error = reader.Error();
    return n == ReadAhead::kNotYet ? kWaiting : n;
  };
  return ScanAll(next, kReadBlock, scanner, sink, hook, result);
}
} // namespace

ExtractResult ExtractLines(InputFile& input, BlockScanner& scanner, LineSink& sink,
                           const SliceHook& hook, bool readAhead) {
  ExtractResult result;
  result.opened = input.IsOpen();
  if (!result.opened)
    return result;
  const bool going = readAhead && input.IsRegular()
                         ? ReadAheadOfScan(input, scanner, sink, hook, result)
                         : ReadHere(input, scanner, sink, hook, result);
  if (going)
    scanner.EmitRun();
  return result;
}

ExtractResult ExtractLines(InputFile& input, const TextOptions& options, LineSink& sink) {
  RunScanner scanner(options, sink);
  scanner.ResetScanner();
  return ExtractLines(input, scanner, sink);
}

ExtractResult ExtractFile(const std::string& path, const TextOptions& options, LineSink& sink) {
  InputFile input;
  if (!input.Open(path)) {
    ExtractResult result;
    result.error = input.Error();
    return result;
  }
  return ExtractLines(input, options, sink);
}

ExtractResult ExtractPart(InputFile& whole, SplitPoints& cuts, std::size_t index, uint64_t start,
                          BlockScanner& scanner, LineSink& sink, const SliceHook& hook) {
  const bool last = index + 1 == cuts.Count();
  const uint64_t end = last ? InputFile::kToEnd : cuts.EndNear(index);
  const bool far = !last && end == SplitPoints::kFar;
  InputFile part;
  if (far)
    part.OpenPart(whole, start, InputFile::kToEnd,
                  [&cuts, index](const uint8_t* bytes, std::size_t length, uint64_t offset) {
                    const uint64_t cut = cuts.EndIn(index, bytes, length, offset);
                    return cut == SplitPoints::kFar ? InputFile::kToEnd : cut;
                  });
  else
    part.OpenPart(whole, start, end);
  const ExtractResult result = ExtractLines(part, scanner, sink, hook, far);
  if (far) // where the reading stopped, unless the end was found
    cuts.EndAt(index, part.PartPosition());
  return result;
}
