#include "extract/FileExtractor.h"

#include "extract/ReadAhead.h"
#include "extract/RunScanner.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

namespace {
struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};

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
} // namespace

namespace {
// Reads on this thread. False when the hook said stop.
bool ReadHere(InputFile& input, BlockScanner& scanner, LineSink& sink, const SliceHook& hook,
              ExtractResult& result) {
  std::unique_ptr<uint8_t, FreeDeleter> buffer(
      static_cast<uint8_t*>(std::aligned_alloc(64, kReadBlock)));
  if (!buffer)
    throw std::bad_alloc();
  for (;;) {
    const int64_t n = input.Read(buffer.get(), kReadBlock);
    if (n == InputFile::NothingYet) {
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
      result.error = input.Error();
      return true;
    }
    const auto length = static_cast<std::size_t>(n);
    if (!ScanBlock(buffer.get(), length, length < kReadBlock, scanner, sink, hook, result))
      return !result.stopped;
  }
}

// Reads a regular file on a second thread while this one scans; a hook
// still gets its turn every slice, also while a slow disk keeps the next
// block waiting. False when the hook said stop.
bool ReadAheadOfScan(InputFile& input, BlockScanner& scanner, LineSink& sink, const SliceHook& hook,
                     ExtractResult& result) {
  ReadAhead reader(input, scanner.CanScanAhead() ? &scanner : nullptr);
  for (;;) {
    const uint8_t* data = nullptr;
    const int64_t n = reader.Next(data, hook ? InputFile::SliceMs : -1);
    if (n == ReadAhead::kNotYet) {
      if (!hook(result.bytesRead, true)) {
        result.stopped = true;
        return false;
      }
      continue;
    }
    if (n == 0)
      return true;
    if (n < 0) {
      result.readError = true;
      result.error = reader.Error();
      return true;
    }
    const auto length = static_cast<std::size_t>(n);
    if (!ScanBlock(data, length, length < ReadAhead::kBlockSize, scanner, sink, hook, result))
      return !result.stopped;
    reader.Release();
  }
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
