#include "extract/SplitPoints.h"

#include "extract/AcceptTable.h"
#include "extract/ByteClassifier.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

// Read at a time while looking for a cut near where it is meant, and how far
// that look goes: in most inputs a cut is a few bytes away.
constexpr std::size_t kWindow = 64 << 10;
constexpr uint64_t kNear = 4 * kWindow;
constexpr std::size_t kFirstWindow = 4 << 10;
// What EndIn looks at of each block.
constexpr std::size_t kEndTail = 4 << 10;
// The zero rule: zeros before the cut, and zeros after it that complete the
// widest character starting just before it.
constexpr std::size_t kZerosBefore = 4, kZerosAfter = 3;
constexpr std::size_t kZeros = kZerosBefore + kZerosAfter;

// The first place where `kZeros` zero bytes start;
// `length` when there is none.
std::size_t FindZeros(const uint8_t* bytes, std::size_t length) {
  std::size_t at = 0;
  while (at + kZeros <= length) {
    const void* zero = std::memchr(bytes + at, 0, length - at);
    if (zero == nullptr)
      return length;
    at = static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - bytes);
    std::size_t run = 1;
    while (run < kZeros && at + run < length && bytes[at + run] == 0)
      ++run;
    if (run == kZeros)
      return at;
    at += run;
  }
  return length;
}

} // namespace

SplitPoints::SplitPoints(const std::vector<Entry>& entries, uint64_t size, uint64_t partSize,
                         ReadAt read)
    : size_(size), partSize_(std::max<uint64_t>(partSize, 1)), read_(std::move(read)),
      cuts_(static_cast<std::size_t>((size + partSize_ - 1) / partSize_) + 1, kFar) {
  std::array<bool, 256> ends;
  ends.fill(true);
  for (const Entry& entry : entries) {
    if (entry.encoding != Encoding::Bytes8) {
      zeros_ = true;
      continue;
    }
    AcceptTable table;
    BuildAcceptTable(*entry.options, table);
    for (unsigned b = 0; b < 256; ++b)
      ends[b] = ends[b] && !table.IsAccepted(b);
  }
  ends_.Build(ends);
  if (zeros_) {
    before_ = kZerosBefore;
    after_ = kZerosAfter;
  }
  cuts_.front() = 0;
  cuts_.back() = size;
}

SplitPoints::SplitPoints(const std::vector<Entry>& entries, const InputFile& whole,
                         uint64_t partSize)
    : SplitPoints(entries, whole.Size(), partSize,
                  [&whole](uint8_t* buffer, std::size_t length, uint64_t offset) {
                    return whole.ReadAt(buffer, length, offset);
                  }) {}

uint64_t SplitPoints::Start(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  found_.wait(lock, [&] { return cuts_[index] != kFar; });
  return cuts_[index];
}

uint64_t SplitPoints::EndNear(std::size_t index) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cuts_[index + 1] != kFar)
      return cuts_[index + 1];
  }
  const uint64_t from = Meant(index + 1);
  // Reads overlap by a cut's bytes less one, so that no place is missed.
  const std::size_t overlap = before_ + after_ - 1;
  // Kept by the thread: it looks for the end of one part after another.
  thread_local const std::unique_ptr<uint8_t[]> window(new uint8_t[kWindow]);
  // The first read is short: most cuts lie a few bytes on.
  std::size_t wanted = kFirstWindow;
  for (uint64_t offset = from >= before_ ? from - before_ : 0; offset < from + kNear;
       wanted = kWindow) {
    const int64_t n = read_(window.get(), wanted, offset);
    if (n < 0)
      break; // the part's own reading meets the error and reports it
    const auto length = static_cast<std::size_t>(n);
    const uint64_t cut = FindIn(window.get(), length, offset, from);
    if (cut != kFar)
      return Record(index + 1, cut);
    // No cut before the end: the part goes on to it.
    if (n == 0 || offset + length >= size_)
      return Record(index + 1, size_);
    if (length <= overlap)
      break;
    offset += length - overlap;
  }
  return kFar;
}

uint64_t SplitPoints::EndIn(std::size_t index, const uint8_t* bytes, std::size_t length,
                            uint64_t offset) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cuts_[index + 1] != kFar)
      return cuts_[index + 1];
  }
  // Only the block's last bytes are looked at: any safe cut will do, and a
  // part whose end is far is most likely one long run, whose every block
  // would otherwise be classified twice.
  const std::size_t tail = std::min(length, kEndTail);
  const uint64_t cut =
      FindIn(bytes + length - tail, tail, offset + length - tail, Meant(index + 1));
  return cut == kFar ? kFar : Record(index + 1, cut);
}

void SplitPoints::EndAt(std::size_t index, uint64_t end) {
  Record(index + 1, end);
}

uint64_t SplitPoints::Record(std::size_t index, uint64_t cut) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cuts_[index] == kFar) {
    cuts_[index] = cut;
    // No cut lies between the one meant here and the one found: the parts
    // meant to start in between start there too, and are empty.
    for (std::size_t i = index + 1; i < cuts_.size() && Meant(i) <= cut; ++i)
      if (cuts_[i] == kFar)
        cuts_[i] = cut;
  }
  found_.notify_all();
  return cuts_[index];
}

uint64_t SplitPoints::FindIn(const uint8_t* bytes, std::size_t length, uint64_t offset,
                             uint64_t from) const {
  const uint64_t first = std::max(from, offset + before_);
  if (first + after_ > offset + length)
    return kFar;
  // Where the bytes of the first cut that counts begin.
  const auto skip = static_cast<std::size_t>(first - before_ - offset);
  const std::size_t at = skip + (zeros_ ? FindZeros(bytes + skip, length - skip)
                                        : FindEnds(bytes + skip, length - skip));
  return at < length ? offset + at + before_ : kFar;
}

// 64 bytes a word, as the scanner classifies them: a long run is passed over
// at its speed.
std::size_t SplitPoints::FindEnds(const uint8_t* bytes, std::size_t length) const {
  constexpr std::size_t kWords = 256;
  uint64_t bits[kWords];
  for (std::size_t done = 0; done < length; done += 64 * kWords) {
    const std::size_t slice = std::min(length - done, 64 * kWords);
    const std::size_t words = slice / 64;
    ends_.Classify(bytes + done, words, bits);
    for (std::size_t w = 0; w < words; ++w)
      if (bits[w] != 0)
        return done + 64 * w + static_cast<std::size_t>(__builtin_ctzll(bits[w]));
    if (slice % 64 != 0) {
      // The bits past the end are set: only those before it count.
      const uint64_t tail = ends_.ClassifyTail(bytes + done + 64 * words, slice % 64);
      return std::min(done + 64 * words + static_cast<std::size_t>(__builtin_ctzll(tail)), length);
    }
  }
  return length;
}
