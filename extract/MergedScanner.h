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

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
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
  // The encodings after the first scan ahead; their lines travel with the
  // block to ScanBlock, which scans the first and merges.
  bool CanScanAhead() const override { return scanners_.size() > 1; }
  void ScanAhead(const uint8_t* data, std::size_t length) override;

private:
  class Queue;
  class DirectLane;
  // Hands over the waiting lines that start before `limit`, in order, from
  // the queues `from` on.
  void Release(uint64_t limit, std::size_t from);
  uint64_t OthersFrontier() const;
  // Scans the block with every encoding after the first; their lines wait in
  // pending_.
  void ScanOthers(const uint8_t* data, std::size_t length);
  // The lines and frontier of the others, once they have scanned a block.
  struct Batch {
    std::vector<std::unique_ptr<Queue>> lines;
    uint64_t frontier;
  };
  Batch TakePending();
  void Absorb(Batch& batch);

  std::vector<std::unique_ptr<BlockScanner>> scanners_;
  std::vector<std::unique_ptr<Queue>> queues_; // empty with one encoding
  std::unique_ptr<DirectLane> direct_;
  // Where the other encodings put their lines while they scan a block.
  std::vector<std::unique_ptr<Queue>> pending_;
  // Blocks scanned ahead, oldest first.
  std::atomic<bool> ahead_{false};
  std::mutex batchesMutex_;
  std::deque<Batch> batches_;
  // Where the encodings after the first may still find a run, while the
  // first scans a block.
  uint64_t othersFrontier_ = 0;
};
