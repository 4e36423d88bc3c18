#include "extract/FileCuts.h"

ExtractResult FileCuts::Scan(std::size_t index, BlockScanner& scanner, LineSink& sink,
                             const Started& started, const Stopped& stopped, bool eachSlice) {
  const uint64_t start = cuts_.Start(index);
  // The parts after a part that ends early must not wait for its end.
  if (stopped()) {
    cuts_.EndAt(index, start);
    return ExtractResult();
  }
  try {
    started(start);
    scanner.ResetScanner();
    SliceHook hook;
    if (eachSlice)
      hook = [&stopped](uint64_t, bool) { return !stopped(); };
    return ExtractPart(whole_, cuts_, index, start, scanner, sink, hook);
  } catch (...) {
    cuts_.EndAt(index, start);
    throw;
  }
}
