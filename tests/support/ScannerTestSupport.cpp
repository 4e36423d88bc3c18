#include "support/ScannerTestSupport.h"

#include "extract/RunScanner.h"

CollectSink CollectBytes(const TextOptions& options, const std::string& input) {
  CollectSink sink;
  RunScanner scanner(options, sink);
  scanner.ResetScanner();
  for (char c : input)
    scanner.ScanByte(static_cast<uint8_t>(c));
  scanner.EmitRun();
  return sink;
}

std::vector<std::string> ByBytes(const TextOptions& options, const std::string& input) {
  return CollectBytes(options, input).lines;
}
