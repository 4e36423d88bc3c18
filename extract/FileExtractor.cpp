#include "extract/FileExtractor.h"

#include "extract/RunScanner.h"

#include <cstdlib>
#include <memory>
#include <new>

namespace {
constexpr std::size_t kBlockSize = 1 << 18;

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};
} // namespace

ExtractResult ExtractLines(InputFile& input, const TextOptions& options, LineSink& sink,
                           const volatile bool* stop) {
  ExtractResult result;
  result.opened = input.IsOpen();
  if (!result.opened)
    return result;
  std::unique_ptr<uint8_t, FreeDeleter> buffer(
      static_cast<uint8_t*>(std::aligned_alloc(64, kBlockSize)));
  if (!buffer)
    throw std::bad_alloc();
  RunScanner scanner(options, sink);
  scanner.ResetScanner();
  while (!(stop && *stop)) {
    int64_t n = input.Read(buffer.get(), kBlockSize);
    if (n == 0)
      break;
    if (n < 0) {
      result.readError = true;
      result.error = input.Error();
      break;
    }
    scanner.ScanBlock(buffer.get(), static_cast<std::size_t>(n));
    result.bytesRead += static_cast<uint64_t>(n);
    if (sink.Failed()) {
      result.writeError = true;
      break;
    }
  }
  scanner.EmitRun();
  return result;
}

ExtractResult ExtractFile(const std::string& path, const TextOptions& options, LineSink& sink,
                          const volatile bool* stop) {
  InputFile input;
  if (!input.Open(path)) {
    ExtractResult result;
    result.error = input.Error();
    return result;
  }
  return ExtractLines(input, options, sink, stop);
}
