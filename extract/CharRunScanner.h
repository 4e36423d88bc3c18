#pragma once
// Finds the runs of a wide encoding (16 or 32 bits, either byte order) or of
// UTF-8, as the run scanner does for single bytes.
//
// As GNU strings does, runs are not tied to an alignment: when a character is
// not text, the search goes on from the byte after that character's first
// byte, so a run may start at any offset. MinChar and MaxChar count
// characters; after a MaxChar cut the next run starts right after the cut.
// A wide run's line holds one byte per character (its value); a UTF-8 run's
// line holds the run's bytes unchanged.
//
// The block path classifies 64 bytes at a time and walks the characters only
// where a run long enough to be kept may start; where that is cannot change
// the result, since a walk that starts elsewhere keeps nothing and cannot
// reach past such a place (see ScanBlock).

#include "extract/BlockScanner.h"
#include "extract/ByteClassifier.h"
#include "extract/CharDecoder.h"
#include "extract/LineSink.h"
#include "extract/RunScanner.h"
#include "settings/TextOptions.h"

#include <memory>
#include <string>
#include <vector>

class CharRunScanner : public BlockScanner {
public:
  // `options` is read, not copied. `encoding` is not Bytes8.
  CharRunScanner(const TextOptions& options, Encoding encoding, LineSink& sink);

  void ResetScanner() override;
  void ScanBlock(const uint8_t* data, std::size_t length) override;
  void EmitRun() override;
  uint64_t Frontier() const override;

  // Tests try every kernel.
  void UseKernel(ByteClassifier::Kernel kernel);

private:
  enum class Outcome { Ended, Cut, Held };

  void ScanSlice(const uint8_t* data, std::size_t length);
  // The next bytes, after those carried.
  void ScanBytes(const uint8_t* data, std::size_t length);

  // Bytes that may belong to a character that is text, one bit a byte of the
  // buffer, the bits past its end set.
  void MarkTextBytes(std::size_t length);
  void MarkWideStarts(std::size_t length);
  // needed_ from the busy bits of the places where a run may start.
  void MarkNeededWords(std::size_t words);
  bool IsNeeded(std::size_t w) const { return (needed_[w / 64] >> (w % 64)) & 1; }
  void MarkUtf8Text(std::size_t words);
  // One bit a byte of the buffer by `classifier` into `out`, the bits past
  // the end set.
  void ClassifyBuffer(const ByteClassifier& classifier, std::size_t length,
                      std::vector<uint64_t>& out) const;
  // Walks from each place a kept run may start; where the walk stands when
  // it needs bytes the buffer does not hold yet, or the buffer's end.
  std::size_t WalkCandidates(std::size_t from, std::size_t length);
  // From a place where a run may start; `held` when the walk needs more bytes.
  std::size_t WalkFrom(std::size_t at, std::size_t length, bool& held);
  // Adds the text character `c` at `at` and those after it to the open run.
  Outcome Extend(std::size_t& at, std::size_t length, CharDecoder::Char c);
  Outcome ExtendUtf8(std::size_t& at, std::size_t length, CharDecoder::Char c);
  // The character at buffer_[at], `length` bytes in the buffer.
  CharDecoder::Char CharAt(std::size_t at, std::size_t length) const;
  void Append(const CharDecoder::Char& c);
  void EmitHeld();
  void Reserve(std::size_t bytes);

  const TextOptions& options_;
  const Encoding encoding_;
  LineSink& sink_;
  CharDecoder decoder_;
  ByteClassifier values_; // bytes whose value is text; for UTF-8 the ASCII ones
  ByteClassifier zeros_;  // bytes 0x00, the high bytes of a wide character below 256
  // UTF-8 lead bytes of two, three and four bytes that may start text, and
  // continuation bytes.
  enum { kLead2, kLead3, kLead4, kFollow, kUtf8Parts };
  ByteClassifier utf8Parts_[kUtf8Parts];
  std::vector<uint64_t> utf8Masks_[kUtf8Parts];
  uint64_t minChar_ = 0, maxChar_ = 0;

  // What a block's scan reads: the block itself, or buffer_ holding the
  // bytes from the first one not yet decided, then the block.
  const uint8_t* bytes_ = nullptr;
  std::unique_ptr<uint8_t[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t carried_ = 0;
  uint64_t base_ = 0; // the input offset of buffer_[0]

  // Where wide characters that are text start (wide encodings only).
  std::vector<uint64_t> text_, zero_, charStarts_, starts_, busy_;
  std::vector<uint64_t> needed_; // bit a word: where a wide run may lie
  unsigned width_ = 0;           // bytes a wide character, 0 for UTF-8
  unsigned valueByte_ = 0;       // where a wide character below 256 keeps its value

  // UTF-8 when only ASCII can be text: the byte scanner over the ASCII part
  // of the options does the same faster.
  TextOptions asciiOptions_;
  std::unique_ptr<RunScanner> ascii_;

  bool inRun_ = false;
  std::string run_;
  uint64_t runChars_ = 0;
  uint64_t runStart_ = 0;
};
