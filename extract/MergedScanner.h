#pragma once
// Finds the runs of several encodings in one read of the input and hands
// them over in the order of their offsets; runs of different encodings that
// start at the same offset come in the order the encodings were given.
//
// Each encoding's runs wait only until no other encoding can still find a
// run that starts before them, so memory stays bounded by the stretch of
// input the longest open run covers, not by the input.

#include "extract/BlockScanner.h"
#include "extract/Encoding.h"
#include "extract/LineSink.h"
#include "settings/TextOptions.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// The scanner of one encoding: the byte scanner for Bytes8.
std::unique_ptr<BlockScanner> MakeScanner(const TextOptions& options, Encoding encoding,
                                          LineSink& sink);

class MergedScanner : public BlockScanner {
public:
  // One encoding to look for, the options to read it by (read, not copied)
  // and where its runs go.
  struct Target {
    Encoding encoding;
    const TextOptions* options;
    LineSink* sink;
  };
  explicit MergedScanner(const std::vector<Target>& targets);
  // Every encoding by the same options; sinks[i] takes the runs of encodings[i].
  MergedScanner(const TextOptions& options, const std::vector<Encoding>& encodings,
                const std::vector<LineSink*>& sinks);
  ~MergedScanner() override;

  void ResetScanner() override;
  void ScanBlock(const uint8_t* data, std::size_t length) override;
  void EmitRun() override;
  uint64_t Frontier() const override;

private:
  class Queue;
  class DirectLane;
  // Hands over the waiting lines that start before `limit`, in order, from
  // the queues `from` on.
  void Release(uint64_t limit, std::size_t from);
  uint64_t OthersFrontier() const;

  std::vector<std::unique_ptr<BlockScanner>> scanners_;
  std::vector<std::unique_ptr<Queue>> queues_; // empty with one encoding
  std::unique_ptr<DirectLane> direct_;
  // Where the encodings after the first may still find a run, while the
  // first scans a block.
  uint64_t othersFrontier_ = 0;
};
