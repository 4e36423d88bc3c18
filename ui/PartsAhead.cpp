#include "ui/PartsAhead.h"

#include "extract/AcceptTable.h"
#include "extract/FileExtractor.h"
#include "extract/LineSink.h"
#include "extract/RunScanner.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace {
uint64_t Pack(PartsAhead::Limits limits) {
  return static_cast<uint64_t>(limits.minChar) << 32 | limits.maxChar;
}

PartsAhead::Limits Unpack(uint64_t packed) {
  return {static_cast<uint32_t>(packed >> 32), static_cast<uint32_t>(packed)};
}

bool Accepts(const TextOptions& options, unsigned char byte) {
  AcceptTable table;
  BuildAcceptTable(options, table);
  return table.IsAccepted(byte);
}
} // namespace

// The lines of one part into slices of text, each line followed by a line
// break; a long run comes in pieces, so that it is held once, in the text.
// Each slice is handed over once it is full.
class PartsAhead::Sink : public LineSink {
public:
  Sink(PartsAhead& owner, Slot& slot, uint64_t start) : owner_(owner), slot_(slot), start_(start) {
    text_.SetSupply(&owner.supply_);
  }
  // The last slice is handed over with the part's end.
  void HandRest(uint64_t stop) {
    text_.SetSupply(nullptr);
    owner_.Hand(slot_, {std::move(text_), stop, pieceBytes_ > 0});
  }
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    Room(offset, false);
    if (owner_.breaklessRuns_)
      text_.AppendBreaklessLine(data, length);
    else
      text_.AppendLine(data, length);
  }
  bool TakesPieces() const override { return true; }
  // `offset` is where the run starts; this piece starts after what came of
  // it before.
  void Piece(const char* data, std::size_t length, uint64_t offset) override {
    Room(offset + pieceBytes_, pieceBytes_ > 0);
    text_.Append(data, length);
    pieceBytes_ += length;
  }
  void EndPieces() override {
    text_.Append("\n", 1);
    pieceBytes_ = 0;
  }
  // A part's limits never change while it is scanned, so its runs are
  // never taken back; were one, only what was not handed over yet could be.
  void DropPieces() override {
    text_.TakeBack(std::min<uint64_t>(pieceBytes_, text_.Size()));
    pieceBytes_ = 0;
  }

private:
  // Hands the slice over once it is full; `offset`: where the bytes about
  // to come lie, from the part's start; `midRun`: they go on a run.
  void Room(uint64_t offset, bool midRun) {
    if (text_.Size() < kSliceBytes)
      return;
    TextBuffer full(std::move(text_));
    text_ = TextBuffer();
    owner_.Hand(slot_, {std::move(full), start_ + offset, midRun});
  }

  PartsAhead& owner_;
  Slot& slot_;
  const uint64_t start_;
  TextBuffer text_;
  uint64_t pieceBytes_ = 0;
};

PartsAhead::PartsAhead(InputFile& whole, const TextOptions& options, unsigned workers,
                       uint64_t partSize)
    : whole_(whole), options_(options), breaklessRuns_(!Accepts(options, '\n')),
      cuts_({{Encoding::Bytes8, &options_}}, whole, partSize),
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

bool PartsAhead::Take(std::size_t index, int waitMs, Taken& taken) {
  std::unique_lock<std::mutex> lock(mutex_);
  Slot& slot = SlotOf(index);
  const auto ready = [&] {
    return slot.index == index && slot.started && (!slot.slices.empty() || slot.done);
  };
  if (!changed_.wait_for(lock, std::chrono::milliseconds(waitMs), ready))
    return false;
  taken = Taken();
  taken.start = slot.start;
  taken.limits = slot.limits;
  if (!slot.slices.empty()) {
    taken.text = std::move(slot.slices.front().text);
    taken.upTo = slot.slices.front().upTo;
    taken.midRun = slot.slices.front().midRun;
    slot.slices.pop_front();
    return true;
  }
  taken.end = true;
  taken.upTo = taken.stop = slot.stop;
  taken.readError = slot.readError;
  taken.outOfMemory = slot.outOfMemory;
  slot.started = slot.done = false;
  taken_ = index + 1;
  lock.unlock();
  // A worker may be waiting for this slot.
  changed_.notify_all();
  return true;
}

void PartsAhead::Hand(Slot& slot, Slot::Slice&& slice) {
  if (slice.text.Empty())
    return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot.slices.push_back(std::move(slice));
  }
  changed_.notify_all();
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
  slot->started = slot->done = false;
  slot->slices.clear();
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
  if (stop_) {
    cuts_.EndAt(index, start); // the parts after it must not wait for it
    return;
  }
  const Limits limits = Unpack(limits_.load());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot.start = start;
    slot.limits = limits;
    slot.started = true;
  }
  TextOptions options = options_;
  options.MinChar = limits.minChar;
  options.MaxChar = limits.maxChar;
  ExtractResult result;
  bool outOfMemory = false;
  // A worker that cannot get memory for its text ends its part there, and
  // the taker hears of it; the exception must not end the program.
  try {
    Sink sink(*this, slot, start);
    RunScanner scanner(options, sink);
    scanner.ResetScanner();
    result = ExtractPart(whole_, cuts_, index, start, scanner, sink,
                         [this](uint64_t, bool) { return !stop_; });
    sink.HandRest(start + result.bytesRead);
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
    cuts_.EndAt(index, start); // the parts after it must not wait for it
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slot.stop = start + result.bytesRead;
    slot.readError = result.readError;
    slot.outOfMemory = outOfMemory;
    slot.done = true;
  }
  changed_.notify_all();
}
