#include "extract/CharRunScanner.h"

#include <algorithm>
#include <cstring>

// Why walking only from the candidates gives the lines of a walk over every
// byte: a candidate is a place where the bytes that may belong to text
// characters stretch far enough for a kept run (MinChar + 1 characters);
// every byte of a text character is such a byte. A walk from any other place
// p keeps nothing, and the run it finds ends before the next candidate c: if
// it reached past c, the stretch from p would reach past c's stretch, and p
// would be a candidate itself. So that walk goes on at or before c, or at
// c + 1 when c's own character is not text, which the walk from c finds too.
// The bytes past the buffer's end count as text bytes, so a run that may go
// on in the next block always leaves a candidate.

namespace {

constexpr std::size_t kKeepCapacity = std::size_t(1) << 22;

// Bit i of the result is bit i + k of the bit stream x (0 < k < 64).
inline uint64_t Down(const uint64_t* x, std::size_t w, unsigned k) {
  return (x[w] >> k) | (x[w + 1] << (64 - k));
}

std::array<bool, 256> ZeroByte() {
  std::array<bool, 256> flags{};
  flags[0] = true;
  return flags;
}

} // namespace

CharRunScanner::CharRunScanner(const TextOptions& options, Encoding encoding, LineSink& sink)
    : options_(options), encoding_(encoding), sink_(sink) {}

void CharRunScanner::UseKernel(ByteClassifier::Kernel kernel) {
  values_.UseKernel(kernel);
  zeros_.UseKernel(kernel);
}

void CharRunScanner::ResetScanner() {
  decoder_.Build(options_, encoding_);
  if (encoding_ == Encoding::Utf8)
    values_.Build(decoder_.Utf8Bytes());
  else
    values_.Build(decoder_.Table());
  zeros_.Build(ZeroByte());
  carried_ = 0;
  base_ = 0;
  inRun_ = false;
  run_.clear();
  runChars_ = 0;
  runStart_ = 0;
  minChar_ = options_.MinChar;
  maxChar_ = options_.MaxChar;
}

uint64_t CharRunScanner::Frontier() const {
  return inRun_ ? runStart_ : base_;
}

void CharRunScanner::Reserve(std::size_t bytes) {
  if (bytes <= capacity_)
    return;
  const std::size_t capacity = std::max(bytes, 2 * capacity_);
  std::unique_ptr<uint8_t[]> bigger(new uint8_t[capacity]);
  if (carried_ != 0)
    std::memcpy(bigger.get(), buffer_.get(), carried_);
  buffer_ = std::move(bigger);
  capacity_ = capacity;
}

void CharRunScanner::ScanBlock(const uint8_t* data, std::size_t length) {
  if (length == 0)
    return;
  Reserve(carried_ + length);
  std::memcpy(buffer_.get() + carried_, data, length);
  const std::size_t size = carried_ + length;
  minChar_ = options_.MinChar;
  maxChar_ = options_.MaxChar;
  MarkTextBytes(size);

  std::size_t at = 0;
  bool held = false;
  if (inRun_) {
    const CharDecoder::Char c = decoder_.Decode(buffer_.get(), size);
    if (c.verdict == CharDecoder::Verdict::Incomplete) {
      held = true;
    } else if (c.verdict == CharDecoder::Verdict::Refused) {
      EmitHeld();
      at = 1;
    } else {
      const Outcome outcome = Extend(at, size, c);
      held = outcome == Outcome::Held;
      if (outcome == Outcome::Ended)
        ++at;
    }
  }
  if (!held)
    at = WalkCandidates(at, size);
  // What is not decided yet waits for the next block.
  carried_ = size - at;
  std::memmove(buffer_.get(), buffer_.get() + at, carried_);
  base_ += at;
}

void CharRunScanner::EmitRun() {
  // The bytes carried are the start of a character the input never
  // finished, so they end the run.
  minChar_ = options_.MinChar;
  if (inRun_)
    EmitHeld();
  base_ += carried_;
  carried_ = 0;
}

void CharRunScanner::MarkTextBytes(std::size_t length) {
  const std::size_t words = (length + 63) / 64;
  const std::size_t full = length / 64, tail = length % 64;
  text_.resize(words + 1);
  starts_.resize(words + 1);
  busy_.resize(words / 64 + 1);
  const uint8_t* bytes = buffer_.get();
  values_.Classify(bytes, full, text_.data());
  if (tail != 0)
    text_[full] = values_.ClassifyTail(bytes + 64 * full, tail);
  text_[words] = ~uint64_t(0);
  if (encoding_ != Encoding::Utf8) {
    zero_.resize(words + 1);
    zeros_.Classify(bytes, full, zero_.data());
    if (tail != 0)
      zero_[full] = zeros_.ClassifyTail(bytes + 64 * full, tail);
    zero_[words] = ~uint64_t(0);
    MarkWideText(words);
  }
  const uint64_t width = std::max(1u, EncodingWidth(encoding_));
  const uint64_t span = std::min<uint64_t>(width * (minChar_ + 1) - 1, 63);
  values_.LongRunStarts(text_.data(), words, static_cast<unsigned>(span), starts_.data(),
                        busy_.data());
}

// A wide character below 256 is its value's byte and zeros; text_ first
// marks where such characters start, then every byte they cover.
void CharRunScanner::MarkWideText(std::size_t words) {
  uint64_t* value = text_.data();
  const uint64_t* zero = zero_.data();
  const unsigned width = EncodingWidth(encoding_);
  const bool big = IsBigEndian(encoding_);
  uint64_t before = 0; // the starts of the word before
  for (std::size_t w = 0; w < words; ++w) {
    uint64_t starts;
    if (width == 2)
      starts = big ? zero[w] & Down(value, w, 1) : value[w] & Down(zero, w, 1);
    else if (big)
      starts = zero[w] & Down(zero, w, 1) & Down(zero, w, 2) & Down(value, w, 3);
    else
      starts = value[w] & Down(zero, w, 1) & Down(zero, w, 2) & Down(zero, w, 3);
    uint64_t covered = starts;
    for (unsigned k = 1; k < width; ++k)
      covered |= starts << k | before >> (64 - k);
    value[w] = covered;
    before = starts;
  }
}

std::size_t CharRunScanner::WalkCandidates(std::size_t at, std::size_t length) {
  const std::size_t words = (length + 63) / 64;
  while (at < length) {
    std::size_t w = at / 64;
    uint64_t bits = starts_[w] & (~uint64_t(0) << (at % 64));
    while (bits == 0) {
      // The next word that holds a candidate, by the busy bits.
      std::size_t next = w + 1;
      for (;;) {
        if (next >= words)
          return length;
        const uint64_t busy = busy_[next / 64] & (~uint64_t(0) << (next % 64));
        if (busy != 0) {
          next = next / 64 * 64 + static_cast<std::size_t>(__builtin_ctzll(busy));
          break;
        }
        next = (next / 64 + 1) * 64;
      }
      w = next;
      bits = starts_[w];
    }
    const std::size_t candidate = 64 * w + static_cast<std::size_t>(__builtin_ctzll(bits));
    if (candidate >= length)
      return length;
    bool held = false;
    at = WalkFrom(candidate, length, held);
    if (held)
      return at;
  }
  return length;
}

std::size_t CharRunScanner::WalkFrom(std::size_t at, std::size_t length, bool& held) {
  const uint8_t* bytes = buffer_.get();
  for (;;) {
    const CharDecoder::Char c = decoder_.Decode(bytes + at, length - at);
    if (c.verdict == CharDecoder::Verdict::Incomplete) {
      held = true;
      return at;
    }
    if (c.verdict == CharDecoder::Verdict::Refused)
      return at + 1;
    inRun_ = true;
    runStart_ = base_ + at;
    switch (Extend(at, length, c)) {
    case Outcome::Held:
      held = true;
      return at;
    case Outcome::Ended:
      return at + 1;
    case Outcome::Cut:
      break; // the next run starts right after the cut
    }
  }
}

CharRunScanner::Outcome CharRunScanner::Extend(std::size_t& at, std::size_t length,
                                               CharDecoder::Char c) {
  const uint8_t* bytes = buffer_.get();
  for (;;) {
    Append(bytes + at, c);
    at += c.length;
    if (maxChar_ != 0 && runChars_ >= maxChar_) {
      EmitHeld();
      return Outcome::Cut;
    }
    c = decoder_.Decode(bytes + at, length - at);
    if (c.verdict == CharDecoder::Verdict::Incomplete)
      return Outcome::Held;
    if (c.verdict == CharDecoder::Verdict::Refused) {
      EmitHeld();
      return Outcome::Ended;
    }
  }
}

void CharRunScanner::Append(const uint8_t* bytes, const CharDecoder::Char& c) {
  if (encoding_ == Encoding::Utf8)
    run_.append(reinterpret_cast<const char*>(bytes), c.length);
  else
    run_.push_back(static_cast<char>(c.value));
  ++runChars_;
}

void CharRunScanner::EmitHeld() {
  if (runChars_ > minChar_)
    sink_.Line(run_.data(), run_.size(), runStart_);
  run_.clear();
  runChars_ = 0;
  inRun_ = false;
  if (run_.capacity() > kKeepCapacity)
    std::string().swap(run_);
}
