#pragma once
// Cuts a byte sequence into runs of accepted bytes, cuts them at MaxChar,
// and hands every run longer than MinChar to a line sink.
//
// Feeding bytes one by one (ScanByte) and feeding blocks of any size
// (ScanBlock) give exactly the same lines.

#include "extract/AcceptTable.h"
#include "extract/BlockScanner.h"
#include "extract/ByteClassifier.h"
#include "extract/LineSink.h"
#include "settings/TextOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>

class RunScanner : public BlockScanner {
public:
  // `options` is read, not copied: the classes when the scanner is reset, the
  // limits whenever a run is judged (once per block in ScanBlock).
  RunScanner(const TextOptions& options, LineSink& sink);

  // Starts a pass: empty run, table rebuilt from the options.
  void ResetScanner() override;
  void ScanByte(uint8_t byte);
  void ScanBlock(const uint8_t* data, std::size_t length) override;
  // Judges the open run by MinChar and ends it; also the final flush.
  void EmitRun() override;
  uint64_t Frontier() const override;

  uint64_t RunLength() const;
  const AcceptTable& Table() const { return table_; }
  // The block path's classifier, so that tests can try every kernel.
  ByteClassifier& Classifier() { return classifier_; }

private:
  // The open run continues with data[begin, end); `ended` when a byte that is
  // not accepted follows it, otherwise it goes on in the next block.
  // `kStretches`: this run, when it is kept and ends in this block, may go
  // on the open stretch; otherwise it goes on as a line.
  template <bool kStretches>
  void ContinueRun(const uint8_t* data, std::size_t begin, std::size_t end, bool ended,
                   uint64_t minChar, uint64_t maxChar);
  void EmitHeld(uint64_t minChar);
  // Adds bytes to the open run: held, or handed on as a piece once the run
  // is longer than MinChar and the sink takes pieces.
  void AddToRun(const char* bytes, std::size_t length, uint64_t minChar);
  template <bool kStretches>
  void ScanSegment(const uint8_t* data, std::size_t begin, std::size_t end, std::size_t length,
                   uint64_t minChar, uint64_t maxChar);
  // A kept run of the current block that a byte `after` ends: a line of its
  // own, or the next of the open stretch (see LineSink::TakesStretches).
  void Stretch(const char* data, std::size_t length, uint64_t offset, char after);
  // Hands the open stretch over; before every other call of the sink, so
  // that lines keep their order, and at the end of each block, whose bytes
  // the stretch points into.
  void FlushStretch();
  void HandStretch();
  // At the end of a block of `length` bytes: whether stretches paid in it
  // (see the .cpp), or whether a pause in them is over.
  void JudgeStretches(std::size_t length);

  const TextOptions& options_;
  LineSink& sink_;
  AcceptTable table_;
  ByteClassifier classifier_;
  // The bytes of a run that began in an earlier block (or by ScanByte).
  std::string run_;
  uint64_t runLength_ = 0;
  // Bytes fed since the reset (up to the current block), and the offset of
  // the held run's first byte.
  uint64_t position_ = 0;
  uint64_t runStart_ = 0;
  // The sink takes pieces; the open run's bytes went to it as pieces.
  bool pieces_ = false;
  bool streaming_ = false;
  // The sink takes stretches; they are made unless paused for
  // `stretchPause_` more bytes.
  bool takesStretches_ = false;
  bool stretches_ = false;
  uint64_t stretchPause_ = 0;
  // In the current block: runs through the stretch test, and calls of the
  // sink they made.
  uint64_t stretchRuns_ = 0;
  uint64_t stretchCalls_ = 0;
  // The open stretch, of `stretchLength_` bytes and `stretchLines_` lines.
  const char* stretch_ = nullptr;
  std::size_t stretchLength_ = 0;
  std::size_t stretchLines_ = 0;
  uint64_t stretchOffset_ = 0;
  // Within ScanBlock: whether a run is open and where its bytes in the
  // current block begin.
  bool inRun_ = false;
  std::size_t runBegin_ = 0;
};
