#include "extract/RunScanner.h"

#include <algorithm>

namespace {

// The block path classifies this many bytes at a time, a stretch whose masks
// stay in the first-level cache.
constexpr std::size_t kSegmentWords = 256;
constexpr std::size_t kSegmentBytes = 64 * kSegmentWords;

// Stretches are judged by a block's kept runs once it has this many; where
// they do not pay, they pause for this many bytes of input.
constexpr uint64_t kStretchSample = 64;
constexpr uint64_t kStretchPause = 32 << 20;

// A held run that grew this large gives its memory back once it is emitted.
constexpr std::size_t kKeepCapacity = std::size_t(1) << 22;

} // namespace

RunScanner::RunScanner(const TextOptions& options, LineSink& sink)
    : options_(options), sink_(sink) {}

void RunScanner::ResetScanner() {
  run_.clear();
  runLength_ = 0;
  position_ = 0;
  runStart_ = 0;
  inRun_ = false;
  pieces_ = sink_.TakesPieces();
  streaming_ = false;
  stretches_ = takesStretches_ = sink_.TakesStretches();
  stretchPause_ = 0;
  stretchRuns_ = stretchCalls_ = 0;
  stretchLength_ = 0;
  BuildAcceptTable(options_, table_);
  classifier_.Build(table_);
}

uint64_t RunScanner::Frontier() const {
  return runLength_ > 0 ? runStart_ : position_;
}

uint64_t RunScanner::RunLength() const {
  return runLength_;
}

void RunScanner::ScanByte(uint8_t byte) {
  const uint64_t at = position_++;
  if (!table_.IsAccepted(byte)) {
    EmitRun();
    return;
  }
  if (runLength_ == 0)
    runStart_ = at;
  if (pieces_) {
    AddToRun(reinterpret_cast<const char*>(&byte), 1, options_.MinChar);
  } else {
    run_.push_back(static_cast<char>(byte));
    ++runLength_;
  }
  if (options_.MaxChar != 0 && runLength_ >= options_.MaxChar)
    EmitRun();
}

void RunScanner::EmitRun() {
  EmitHeld(options_.MinChar);
}

void RunScanner::EmitHeld(uint64_t minChar) {
  if (runLength_ == 0)
    return;
  FlushStretch();
  if (streaming_) {
    if (runLength_ > minChar)
      sink_.EndPieces();
    else
      sink_.DropPieces(); // MinChar was raised during the run
    streaming_ = false;
  } else if (runLength_ > minChar) {
    sink_.Line(run_.data(), run_.size(), runStart_);
  }
  run_.clear();
  runLength_ = 0;
  if (run_.capacity() > kKeepCapacity)
    std::string().swap(run_);
}

inline void RunScanner::FlushStretch() {
  if (stretchLength_ != 0)
    HandStretch();
}

void RunScanner::Stretch(const char* data, std::size_t length, uint64_t offset, char after) {
  ++stretchRuns_;
  if (after != '\n') {
    FlushStretch();
    ++stretchCalls_;
    sink_.Line(data, length, offset);
    return;
  }
  if (stretchLength_ == 0 || stretch_ + stretchLength_ != data) {
    FlushStretch();
    ++stretchCalls_;
    stretch_ = data;
    stretchOffset_ = offset;
    stretchLines_ = 0;
  }
  stretchLength_ = static_cast<std::size_t>(data + length + 1 - stretch_);
  ++stretchLines_;
}

void RunScanner::HandStretch() {
  // A line alone goes the way of any line, which sinks make cheapest.
  if (stretchLines_ == 1)
    sink_.Line(stretch_, stretchLength_ - 1, stretchOffset_);
  else
    sink_.Lines(stretch_, stretchLength_, stretchOffset_);
  stretchLength_ = 0;
}

void RunScanner::ScanBlock(const uint8_t* data, std::size_t length) {
  if (length == 0)
    return;
  // Options only change between blocks, so the limits are read once.
  const uint64_t minChar = options_.MinChar;
  const uint64_t maxChar = options_.MaxChar;
  inRun_ = runLength_ > 0;
  runBegin_ = 0;
  for (std::size_t begin = 0; begin < length; begin += kSegmentBytes) {
    const std::size_t end = std::min(begin + kSegmentBytes, length);
    if (stretches_)
      ScanSegment<true>(data, begin, end, length, minChar, maxChar);
    else
      ScanSegment<false>(data, begin, end, length, minChar, maxChar);
  }
  // The padding past the end looks accepted, so a run may seem to start
  // there; only one with bytes in this block is held.
  if (inRun_ && runBegin_ < length)
    ContinueRun<false>(data, runBegin_, length, false, minChar, maxChar); // judges no run
  FlushStretch();
  JudgeStretches(length);
  inRun_ = false;
  position_ += length;
}

void RunScanner::JudgeStretches(std::size_t length) {
  if (!takesStretches_)
    return;
  if (!stretches_) {
    stretchPause_ -= std::min<uint64_t>(stretchPause_, length);
    stretches_ = stretchPause_ == 0;
    return;
  }
  // Fewer than two runs a call: the runs' ends are '\n' and other bytes
  // in a mix the processor cannot foresee, and the test of each costs more
  // than the calls it saves.
  if (stretchRuns_ >= kStretchSample && 2 * stretchCalls_ > stretchRuns_) {
    stretches_ = false;
    stretchPause_ = kStretchPause;
  }
  stretchRuns_ = stretchCalls_ = 0;
}

template <bool kStretches>
void RunScanner::ScanSegment(const uint8_t* data, std::size_t begin, std::size_t end,
                             std::size_t length, uint64_t minChar, uint64_t maxChar) {
  uint64_t masks[kSegmentWords + 1];
  uint64_t starts[kSegmentWords + 1];
  const std::size_t full = (end - begin) / 64;
  const std::size_t tail = (end - begin) % 64;
  classifier_.Classify(data + begin, full, masks);
  std::size_t words = full;
  if (tail != 0)
    masks[words++] = classifier_.ClassifyTail(data + begin + 64 * full, tail);
  // One word of look-ahead for the run starts near the end of the segment.
  const std::size_t ahead = std::min<std::size_t>(64, length - end);
  if (ahead == 64)
    classifier_.Classify(data + end, 1, masks + words);
  else
    masks[words] = classifier_.ClassifyTail(data + end, ahead);

  // Runs of MinChar bytes or fewer are never kept, whatever MaxChar is; the
  // start mask skips them, so only kept runs cost more than a word test.
  // The busy bits mark the words that hold a start, so that the words without
  // one cost nothing while no run is open.
  uint64_t busy[kSegmentWords / 64 + 1];
  classifier_.LongRunStarts(masks, words, static_cast<unsigned>(std::min<uint64_t>(minChar, 63)),
                            starts, busy);

  bool inRun = inRun_;
  std::size_t runBegin = runBegin_;
  std::size_t w = 0;
  while (w < words) {
    if (!inRun) {
      std::size_t index = w / 64;
      uint64_t pending = busy[index] & (~uint64_t(0) << (w % 64));
      while (pending == 0) {
        if (++index * 64 >= words)
          goto done;
        pending = busy[index];
      }
      w = 64 * index + static_cast<std::size_t>(__builtin_ctzll(pending));
    }
    const uint64_t accepted = masks[w];
    const std::size_t base = begin + 64 * w;
    uint64_t live = ~uint64_t(0); // the bits not yet dealt with
    for (;;) {
      if (inRun) {
        const uint64_t ends = ~accepted & live;
        if (ends == 0)
          break;
        const unsigned at = static_cast<unsigned>(__builtin_ctzll(ends));
        ContinueRun<kStretches>(data, runBegin, base + at, true, minChar, maxChar);
        inRun = false;
        if (at == 63)
          break;
        live = ~uint64_t(0) << (at + 1);
      } else {
        const uint64_t next = starts[w] & live;
        if (next == 0)
          break;
        const unsigned at = static_cast<unsigned>(__builtin_ctzll(next));
        inRun = true;
        runBegin = base + at;
        live = ~uint64_t(0) << at;
      }
    }
    ++w;
  }
done:
  inRun_ = inRun;
  runBegin_ = runBegin;
}

void RunScanner::AddToRun(const char* bytes, std::size_t length, uint64_t minChar) {
  FlushStretch();
  runLength_ += length;
  if (streaming_) {
    sink_.Piece(bytes, length, runStart_);
    return;
  }
  run_.append(bytes, length);
  if (pieces_ && runLength_ > minChar) {
    sink_.Piece(run_.data(), run_.size(), runStart_);
    run_.clear();
    streaming_ = true;
  }
}

template <bool kStretches>
void RunScanner::ContinueRun(const uint8_t* data, std::size_t begin, std::size_t end, bool ended,
                             uint64_t minChar, uint64_t maxChar) {
  const char* bytes = reinterpret_cast<const char*>(data);
  // position_ still counts the bytes before this block.
  const uint64_t base = position_;
  std::size_t at = begin;
  if (runLength_ > 0 && maxChar != 0) {
    // The held run is cut when it reaches MaxChar; if MaxChar was lowered
    // below its length meanwhile, its next byte cuts it, as ScanByte does.
    const uint64_t need = runLength_ + 1 >= maxChar ? 1 : maxChar - runLength_;
    if (end - at < need) {
      AddToRun(bytes + at, end - at, minChar);
      if (ended)
        EmitHeld(minChar);
      return;
    }
    AddToRun(bytes + at, need, minChar);
    at += need;
    EmitHeld(minChar);
  }
  if (runLength_ > 0) {
    AddToRun(bytes + at, end - at, minChar);
    if (ended)
      EmitHeld(minChar);
    return;
  }
  if (maxChar != 0) {
    const uint64_t pieces = (end - at) / maxChar;
    if (maxChar > minChar && pieces > 0) {
      FlushStretch();
      for (uint64_t i = 0; i < pieces; ++i, at += maxChar)
        sink_.Line(bytes + at, maxChar, base + at);
    } else {
      at += pieces * maxChar;
    }
  }
  const std::size_t rest = end - at;
  if (ended) {
    if (rest > minChar) {
      if (kStretches)
        Stretch(bytes + at, rest, base + at, static_cast<char>(bytes[end]));
      else
        sink_.Line(bytes + at, rest, base + at);
    }
  } else if (rest > 0) {
    run_.clear();
    runStart_ = base + at;
    AddToRun(bytes + at, rest, minChar);
  }
}
