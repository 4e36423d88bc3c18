#include "extract/MergedScanner.h"

#include "extract/CharRunScanner.h"
#include "extract/RunScanner.h"

#include <limits>

std::unique_ptr<BlockScanner> MakeScanner(const TextOptions& options, Encoding encoding,
                                          LineSink& sink) {
  if (encoding == Encoding::Bytes8)
    return std::make_unique<RunScanner>(options, sink);
  return std::make_unique<CharRunScanner>(options, encoding, sink);
}

// The lines of one encoding that wait for their turn, their bytes in one
// string so that a line costs no allocation of its own.
class MergedScanner::Queue : public LineSink {
public:
  explicit Queue(LineSink& next) : next_(next) {}
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;
  LineSink& Next() const { return next_; }

  void Line(const char* data, std::size_t length, uint64_t offset) override {
    lines_.push_back({offset, bytes_.size(), length});
    bytes_.append(data, length);
  }
  bool Failed() const override { return next_.Failed(); }

  bool Empty() const { return head_ == lines_.size(); }
  // Takes the lines of `from`, which come after these, and empties it.
  void Absorb(Queue& from) {
    if (Empty()) {
      lines_.swap(from.lines_);
      bytes_.swap(from.bytes_);
      head_ = from.head_;
    } else {
      for (std::size_t i = from.head_; i < from.lines_.size(); ++i) {
        const Waiting& line = from.lines_[i];
        Line(from.bytes_.data() + line.begin, line.length, line.offset);
      }
    }
    from.Clear();
  }
  void Clear() {
    lines_.clear();
    bytes_.clear();
    head_ = 0;
  }
  uint64_t FirstOffset() const { return lines_[head_].offset; }
  // Hands the first line on.
  void Pass() {
    const Waiting& line = lines_[head_++];
    next_.Line(bytes_.data() + line.begin, line.length, line.offset);
    if (Empty()) {
      lines_.clear();
      bytes_.clear();
      head_ = 0;
    } else if (head_ >= kCompactAfter && 2 * head_ >= lines_.size()) {
      Compact();
    }
  }

private:
  // Some line may always be waiting, so the queue is never empty for long:
  // the lines handed on are dropped from its front now and then.
  static constexpr std::size_t kCompactAfter = 4096;
  void Compact() {
    const std::size_t drop = lines_[head_].begin;
    bytes_.erase(0, drop);
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(head_));
    for (Waiting& line : lines_)
      line.begin -= drop;
    head_ = 0;
  }

  struct Waiting {
    uint64_t offset;
    std::size_t begin, length;
  };
  LineSink& next_;
  std::vector<Waiting> lines_;
  std::size_t head_ = 0;
  std::string bytes_;
};

// The first encoding's lines, which are most often the most: the other
// encodings scan each block first, so a line of the first that starts before
// anything they may still find goes straight on, after their lines that
// start before it. Only the rest waits in the first queue.
class MergedScanner::DirectLane : public LineSink {
public:
  DirectLane(MergedScanner& owner, LineSink& next) : owner_(owner), next_(next) {}

  void Line(const char* data, std::size_t length, uint64_t offset) override {
    Queue& own = *owner_.queues_[0];
    if (own.Empty() && offset < owner_.othersFrontier_) {
      owner_.Release(offset, 1);
      next_.Line(data, length, offset);
    } else {
      own.Line(data, length, offset);
    }
  }
  bool Failed() const override { return next_.Failed(); }

private:
  MergedScanner& owner_;
  LineSink& next_;
};

MergedScanner::MergedScanner(const std::vector<Target>& targets) {
  const bool single = targets.size() == 1;
  for (const Target& target : targets) {
    LineSink* sink = target.sink;
    if (!single) {
      queues_.push_back(std::make_unique<Queue>(*target.sink));
      pending_.push_back(std::make_unique<Queue>(*target.sink));
      sink = pending_.back().get();
    }
    if (!single && scanners_.empty()) {
      direct_ = std::make_unique<DirectLane>(*this, *target.sink);
      sink = direct_.get();
    }
    scanners_.push_back(MakeScanner(*target.options, target.encoding, *sink));
  }
}

namespace {
std::vector<MergedScanner::Target> SameOptions(const TextOptions& options,
                                               const std::vector<Encoding>& encodings,
                                               const std::vector<LineSink*>& sinks) {
  std::vector<MergedScanner::Target> targets;
  for (std::size_t i = 0; i < encodings.size(); ++i)
    targets.push_back({encodings[i], &options, sinks[i]});
  return targets;
}
} // namespace

MergedScanner::MergedScanner(const TextOptions& options, const std::vector<Encoding>& encodings,
                             const std::vector<LineSink*>& sinks)
    : MergedScanner(SameOptions(options, encodings, sinks)) {}

MergedScanner::~MergedScanner() = default;

void MergedScanner::ResetScanner() {
  for (auto& scanner : scanners_)
    scanner->ResetScanner();
  for (auto& queue : queues_)
    queue->Clear();
  for (auto& queue : pending_)
    queue->Clear();
  batches_.clear();
  ahead_ = false;
  othersFrontier_ = 0;
}

void MergedScanner::ScanOthers(const uint8_t* data, std::size_t length) {
  for (std::size_t i = 1; i < scanners_.size(); ++i)
    scanners_[i]->ScanBlock(data, length);
}

MergedScanner::Batch MergedScanner::TakePending() {
  Batch batch{{}, OthersFrontier()};
  // The scanners keep writing to the same pending queues; the lines move.
  for (auto& queue : pending_) {
    batch.lines.push_back(std::make_unique<Queue>(queue->Next()));
    batch.lines.back()->Absorb(*queue);
  }
  return batch;
}

void MergedScanner::Absorb(Batch& batch) {
  for (std::size_t i = 1; i < queues_.size(); ++i)
    queues_[i]->Absorb(*batch.lines[i]);
  othersFrontier_ = batch.frontier;
}

void MergedScanner::ScanAhead(const uint8_t* data, std::size_t length) {
  ScanOthers(data, length);
  Batch batch = TakePending();
  std::lock_guard<std::mutex> lock(batchesMutex_);
  batches_.push_back(std::move(batch));
  ahead_ = true;
}

void MergedScanner::ScanBlock(const uint8_t* data, std::size_t length) {
  if (queues_.empty()) {
    scanners_[0]->ScanBlock(data, length);
    return;
  }
  if (ahead_) {
    std::unique_lock<std::mutex> lock(batchesMutex_);
    Batch batch = std::move(batches_.front());
    batches_.pop_front();
    lock.unlock();
    Absorb(batch);
  } else {
    ScanOthers(data, length);
    Batch batch = TakePending();
    Absorb(batch);
  }
  scanners_[0]->ScanBlock(data, length);
  Release(Frontier(), 0);
}

void MergedScanner::EmitRun() {
  if (queues_.empty()) {
    scanners_[0]->EmitRun();
    return;
  }
  // Whoever scanned ahead has stopped by now.
  for (std::size_t i = 1; i < scanners_.size(); ++i)
    scanners_[i]->EmitRun();
  Batch batch = TakePending();
  Absorb(batch);
  othersFrontier_ = std::numeric_limits<uint64_t>::max();
  scanners_[0]->EmitRun();
  Release(std::numeric_limits<uint64_t>::max(), 0);
}

uint64_t MergedScanner::OthersFrontier() const {
  uint64_t frontier = std::numeric_limits<uint64_t>::max();
  for (std::size_t i = 1; i < scanners_.size(); ++i)
    frontier = std::min(frontier, scanners_[i]->Frontier());
  return frontier;
}

// The others' frontier as of the block the first encoding has scanned last:
// when they scan ahead, their own has moved on.
uint64_t MergedScanner::Frontier() const {
  const uint64_t first = scanners_[0]->Frontier();
  return queues_.empty() ? first : std::min(first, othersFrontier_);
}

void MergedScanner::Release(uint64_t limit, std::size_t from) {
  for (;;) {
    Queue* first = nullptr;
    for (std::size_t i = from; i < queues_.size(); ++i) {
      Queue* queue = queues_[i].get();
      if (!queue->Empty() && (first == nullptr || queue->FirstOffset() < first->FirstOffset()))
        first = queue;
    }
    if (first == nullptr || first->FirstOffset() >= limit)
      return;
    first->Pass();
  }
}
