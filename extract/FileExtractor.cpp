#include "extract/FileExtractor.h"

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

ExtractResult ExtractLines(InputFile& input, BlockScanner& scanner, LineSink& sink,
                           const SliceHook& hook) {
  ExtractResult result;
  result.opened = input.IsOpen();
  if (!result.opened)
    return result;
  std::unique_ptr<uint8_t, FreeDeleter> buffer(
      static_cast<uint8_t*>(std::aligned_alloc(64, kReadBlock)));
  if (!buffer)
    throw std::bad_alloc();
  for (;;) {
    const int64_t n = input.Read(buffer.get(), kReadBlock);
    if (n == InputFile::NothingYet) {
      if (hook && !hook(result.bytesRead, true)) {
        result.stopped = true;
        return result;
      }
      continue;
    }
    if (n == 0)
      break;
    if (n < 0) {
      result.readError = true;
      result.error = input.Error();
      break;
    }
    const auto length = static_cast<std::size_t>(n);
    if (!ScanBlock(buffer.get(), length, length < kReadBlock, scanner, sink, hook, result)) {
      if (result.stopped)
        return result;
      break;
    }
  }
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
