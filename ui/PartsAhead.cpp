#include "ui/PartsAhead.h"

#include "extract/FileExtractor.h"
#include "extract/LineSink.h"
#include "extract/RunScanner.h"

#include <algorithm>
#include <chrono>

namespace {
// The lines of one part into its slices of text, each line followed by a
// line break; a long run comes in pieces, so that it is held once, in the
// text.
class PartSink : public LineSink {
public:
  PartSink(std::vector<TextBuffer>& texts, ChunkSupply& supply) : texts_(texts), supply_(supply) {}
  ~PartSink() override {
    if (!texts_.empty())
      texts_.back().SetSupply(nullptr);
  }
  void Line(const char* data, std::size_t length, uint64_t) override {
    Current().AppendLine(data, length);
  }
  bool TakesPieces() const override { return true; }
  void Piece(const char* data, std::size_t length, uint64_t) override {
    Current().Append(data, length);
    pieceBytes_ += length;
  }
  void EndPieces() override {
    Current().Append("\n", 1);
    pieceBytes_ = 0;
  }
  void DropPieces() override {
    while (pieceBytes_ > 0 && !texts_.empty()) {
      TextBuffer& last = texts_.back();
      const std::size_t taken = std::min(pieceBytes_, last.Size());
      last.TakeBack(taken);
      pieceBytes_ -= taken;
      if (last.Empty() && texts_.size() > 1)
        texts_.pop_back();
    }
  }

private:
  TextBuffer& Current() {
    if (texts_.empty() || texts_.back().Size() >= PartsAhead::kSliceBytes) {
      if (!texts_.empty())
        texts_.back().SetSupply(nullptr);
      texts_.emplace_back();
      texts_.back().SetSupply(&supply_);
    }
    return texts_.back();
  }

  std::vector<TextBuffer>& texts_;
  ChunkSupply& supply_;
  std::size_t pieceBytes_ = 0;
};

uint64_t Pack(PartsAhead::Limits limits) {
  return static_cast<uint64_t>(limits.minChar) << 32 | limits.maxChar;
}

PartsAhead::Limits Unpack(uint64_t packed) {
  return {static_cast<uint32_t>(packed >> 32), static_cast<uint32_t>(packed)};
}
} // namespace

PartsAhead::PartsAhead(InputFile& whole, const TextOptions& options, unsigned workers,
                       uint64_t partSize)
    : whole_(whole), options_(options),
      cuts_({{Encoding::Bytes8, &options_}}, whole.Size(), partSize,
            [&whole](uint8_t* buffer, std::size_t length, uint64_t offset) {
              return whole.ReadAt(buffer, length, offset);
            }),
      // 64 chunks: 4 MiB of the parts' texts mapped ahead.
      supply_(TextBuffer::kDefaultChunkBytes, 64), limits_(Pack(LimitsOf(options))),
      slots_(workers + 1) {
  for (unsigned i = 0; i < workers; ++i)
    workers_.emplace_back([this] { Work(); });
}

PartsAhead::~PartsAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_)
    worker.join();
}

void PartsAhead::SetLimits(Limits limits) {
  limits_.store(Pack(limits));
}

bool PartsAhead::Take(std::size_t index, int waitMs, Part& part) {
  std::unique_lock<std::mutex> lock(mutex_);
  Slot& slot = SlotOf(index);
  const auto ready = [&] { return slot.done && slot.index == index; };
  if (!changed_.wait_for(lock, std::chrono::milliseconds(waitMs), ready))
    return false;
  part = std::move(slot.part);
  slot.part = Part();
  slot.done = false;
  taken_ = index + 1;
  lock.unlock();
  // A worker may be waiting for this slot.
  changed_.notify_all();
  return true;
}

uint64_t PartsAhead::Examined(std::size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Slot& slot = SlotOf(index);
  return slot.index == index ? slot.examined.load() : 0;
}

bool PartsAhead::Claim(std::size_t& index, Slot*& slot) {
  std::unique_lock<std::mutex> lock(mutex_);
  // A part may start only while its slot is free: the parts in flight,
  // and their texts, stay within the ring.
  changed_.wait(lock,
                [this] { return stop_ || next_ >= Count() || next_ < taken_ + slots_.size(); });
  if (stop_ || next_ >= Count())
    return false;
  index = next_++;
  slot = &SlotOf(index);
  slot->index = index;
  slot->done = false;
  slot->examined = 0;
  return true;
}

void PartsAhead::Work() {
  std::size_t index = 0;
  Slot* slot = nullptr;
  while (Claim(index, slot))
    Scan(index, *slot);
}

void PartsAhead::Scan(std::size_t index, Slot& slot) {
  const uint64_t start = cuts_.Start(index);
  Part part;
  part.start = start;
  part.limits = Unpack(limits_.load());
  if (stop_) {
    cuts_.EndAt(index, start); // the parts after it must not wait for it
    return;
  }
  TextOptions options = options_;
  options.MinChar = part.limits.minChar;
  options.MaxChar = part.limits.maxChar;
  ExtractResult result;
  {
    PartSink sink(part.texts, supply_);
    RunScanner scanner(options, sink);
    scanner.ResetScanner();
    result = ExtractPart(whole_, cuts_, index, start, scanner, sink, [&](uint64_t examined, bool) {
      slot.examined = examined;
      return !stop_;
    });
  }
  part.end = start + result.bytesRead;
  part.readError = result.readError;
  part.error = result.error;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot.part = std::move(part);
    slot.done = true;
  }
  changed_.notify_all();
}
