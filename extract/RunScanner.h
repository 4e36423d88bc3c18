#pragma once
// Cuts a byte sequence into runs of accepted bytes, cuts them at MaxChar,
// and hands every run longer than MinChar to a line sink.
//
// Feeding bytes one by one (ScanByte) and feeding blocks of any size
// (ScanBlock) give exactly the same lines.

#include "extract/AcceptTable.h"
#include "extract/LineSink.h"
#include "settings/TextOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>

class RunScanner {
public:
  // `options` is read, not copied: the classes when the scanner is reset, the
  // limits whenever a run is judged (once per block in ScanBlock).
  RunScanner(const TextOptions& options, LineSink& sink);

  // Starts a pass: empty run, table rebuilt from the options.
  void ResetScanner();
  void ScanByte(uint8_t byte);
  void ScanBlock(const uint8_t* data, std::size_t length);
  // Judges the open run by MinChar and ends it; also the final flush.
  void EmitRun();

  uint64_t RunLength() const;
  const AcceptTable& Table() const { return table_; }

private:
  const TextOptions& options_;
  LineSink& sink_;
  AcceptTable table_;
  std::string run_;
  uint64_t runLength_ = 0;
};
