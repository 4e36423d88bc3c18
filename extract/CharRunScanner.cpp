#include "extract/CharRunScanner.h"

#include <algorithm>
#include <cstring>

// Why walking only from the candidates gives the lines of a walk over every
// byte. UTF-8: a candidate is a place where the bytes that may belong to
// text characters stretch far enough for a kept run (MinChar + 1
// characters); every byte of a text character is such a byte. A walk from
// any other place p keeps nothing, and the run it finds ends before the next
// candidate c: if it reached past c, the stretch from p would reach past c's
// stretch, and p would be a candidate itself. So that walk goes on at or
// before c, or at c + 1 when c's own character is not text, which the walk
// from c finds too. Wide characters: a candidate is a place where MinChar + 1
// text characters follow one another (as far as 63 bytes show). Two text
// characters that overlap start at the same byte, since the other bytes of
// one are zeros and a zero is never an accepted value; so a walk from a
// place that is no candidate keeps nothing and stops, at the latest, at the
// first character of its own alignment that is not text, before any
// candidate whose characters it would overlap. Either way the bytes past the
// buffer's end count as text, so a run that may go on in the next block
// always leaves a candidate.

namespace {

constexpr std::size_t kKeepCapacity = std::size_t(1) << 22;
// A block is scanned in slices of this size, whose masks stay in the caches.
constexpr std::size_t kSlice = 64 << 10;
// Where bytes are carried from one slice to the next, this many of the next
// are scanned with them, so that the rest of it needs no copy.
constexpr std::size_t kSeam = 256;
// How many characters' zeros are asked for before a word's bytes are.
constexpr uint64_t kLiveChars = 8;

// Bit i of the result is bit i + k of the bit stream x (0 < k < 64).
inline uint64_t Down(const uint64_t* x, std::size_t w, unsigned k) {
  return (x[w] >> k) | (x[w + 1] << (64 - k));
}

std::array<bool, 256> Bytes(unsigned first, unsigned last) {
  std::array<bool, 256> flags{};
  for (unsigned b = first; b <= last; ++b)
    flags[b] = true;
  return flags;
}

} // namespace

CharRunScanner::CharRunScanner(const TextOptions& options, Encoding encoding, LineSink& sink)
    : options_(options), encoding_(encoding), sink_(sink) {}

// A wide character's verdict is a bit of the masks already made.
inline CharDecoder::Char CharRunScanner::CharAt(std::size_t at, std::size_t length) const {
  if (width_ == 0) {
    if (at < length && bytes_[at] < 0x80) {
      const uint8_t byte = bytes_[at];
      return {decoder_.Table().IsAccepted(byte) ? CharDecoder::Verdict::Accepted
                                                : CharDecoder::Verdict::Refused,
              1, byte};
    }
    return decoder_.Decode(bytes_ + at, length - at);
  }
  if (length - at < width_)
    return {CharDecoder::Verdict::Incomplete, 0, 0};
  const bool text = (charStarts_[at / 64] >> (at % 64)) & 1;
  return {text ? CharDecoder::Verdict::Accepted : CharDecoder::Verdict::Refused, width_,
          bytes_[at + valueByte_]};
}

void CharRunScanner::UseKernel(ByteClassifier::Kernel kernel) {
  values_.UseKernel(kernel);
  zeros_.UseKernel(kernel);
}

void CharRunScanner::ResetScanner() {
  decoder_.Build(options_, encoding_);
  width_ = EncodingWidth(encoding_);
  valueByte_ = IsBigEndian(encoding_) ? width_ - 1 : 0;
  ascii_.reset();
  if (encoding_ == Encoding::Utf8 && !decoder_.HighUtf8Text()) {
    asciiOptions_ = options_;
    asciiOptions_.ISO = false;
    asciiOptions_.Other.clear();
    for (char c : options_.Other)
      if (static_cast<unsigned char>(c) < 0x80)
        asciiOptions_.Other += c;
    ascii_ = std::make_unique<RunScanner>(asciiOptions_, sink_);
    ascii_->ResetScanner();
  }
  if (encoding_ == Encoding::Utf8) {
    std::array<bool, 256> ascii = decoder_.Utf8Bytes();
    std::fill(ascii.begin() + 0x80, ascii.end(), false);
    values_.Build(ascii);
    // Without iso only U+0080-U+00FF can be text, whose leads are C2 and C3.
    utf8Parts_[kLead2].Build(Bytes(0xC2, options_.ISO ? 0xDF : 0xC3));
    utf8Parts_[kLead3].Build(options_.ISO ? Bytes(0xE0, 0xEF) : std::array<bool, 256>{});
    utf8Parts_[kLead4].Build(options_.ISO ? Bytes(0xF0, 0xF4) : std::array<bool, 256>{});
    utf8Parts_[kFollow].Build(Bytes(0x80, 0xBF));
  } else {
    values_.Build(decoder_.Table());
  }
  zeros_.Build(Bytes(0, 0));
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
  if (ascii_)
    return ascii_->Frontier();
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
  if (ascii_) {
    asciiOptions_.MinChar = options_.MinChar;
    asciiOptions_.MaxChar = options_.MaxChar;
    ascii_->ScanBlock(data, length);
    return;
  }
  for (std::size_t done = 0; done < length; done += kSlice)
    ScanSlice(data + done, std::min(kSlice, length - done));
}

void CharRunScanner::ScanSlice(const uint8_t* data, std::size_t length) {
  if (carried_ != 0 && length > kSeam) {
    // Bytes carried from the last slice come first: only the seam, they and
    // the slice's first bytes, is put together and scanned; the rest of the
    // slice is scanned where it lies, from the first byte still undecided.
    ScanBytes(data, kSeam);
    const std::size_t back = carried_; // the seam's last bytes, undecided
    if (back <= kSeam) {
      carried_ = 0;
      ScanBytes(data + kSeam - back, length - kSeam + back);
    } else {
      ScanBytes(data + kSeam, length - kSeam);
    }
    return;
  }
  ScanBytes(data, length);
}

void CharRunScanner::ScanBytes(const uint8_t* data, std::size_t length) {
  // The bytes are scanned where they lie unless bytes carried from the last
  // ones must come before them.
  std::size_t size = length;
  bytes_ = data;
  if (carried_ != 0) {
    Reserve(carried_ + length);
    std::memcpy(buffer_.get() + carried_, data, length);
    bytes_ = buffer_.get();
    size = carried_ + length;
  }
  minChar_ = options_.MinChar;
  maxChar_ = options_.MaxChar;
  MarkTextBytes(size);

  std::size_t at = 0;
  bool held = false;
  if (inRun_) {
    const CharDecoder::Char c = CharAt(0, size);
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
  const std::size_t carry = size - at;
  if (bytes_ == data) {
    carried_ = 0;
    Reserve(carry);
    if (carry != 0)
      std::memcpy(buffer_.get(), data + at, carry);
  } else {
    std::memmove(buffer_.get(), buffer_.get() + at, carry);
  }
  carried_ = carry;
  bytes_ = nullptr; // the caller's block is gone after this
  base_ += at;
}

void CharRunScanner::EmitRun() {
  // The bytes carried are the start of a character the input never
  // finished, so they end the run.
  if (ascii_) {
    asciiOptions_.MinChar = options_.MinChar;
    ascii_->EmitRun();
    return;
  }
  minChar_ = options_.MinChar;
  if (inRun_)
    EmitHeld();
  base_ += carried_;
  carried_ = 0;
}

void CharRunScanner::ClassifyBuffer(const ByteClassifier& classifier, std::size_t length,
                                    std::vector<uint64_t>& out) const {
  const std::size_t words = (length + 63) / 64;
  const std::size_t full = length / 64, tail = length % 64;
  out.resize(words + 1);
  classifier.Classify(bytes_, full, out.data());
  if (tail != 0)
    out[full] = classifier.ClassifyTail(bytes_ + 64 * full, tail);
  out[words] = ~uint64_t(0);
}

void CharRunScanner::MarkTextBytes(std::size_t length) {
  const std::size_t words = (length + 63) / 64;
  starts_.resize(words + 1);
  busy_.resize(words / 64 + 1);
  if (encoding_ != Encoding::Utf8) {
    MarkWideStarts(length);
    return;
  }
  ClassifyBuffer(values_, length, text_);
  for (int part = 0; part < kUtf8Parts; ++part)
    ClassifyBuffer(utf8Parts_[part], length, utf8Masks_[part]);
  MarkUtf8Text(words);
  const uint64_t span = std::min<uint64_t>(minChar_, 63);
  values_.LongRunStarts(text_.data(), words, static_cast<unsigned>(span), starts_.data(),
                        busy_.data());
}

// ASCII text bytes and every byte of a well-formed looking sequence of two,
// three or four bytes: a superset of the bytes of text characters, which
// leaves out most high bytes of binary data.
void CharRunScanner::MarkUtf8Text(std::size_t words) {
  uint64_t* text = text_.data();
  const uint64_t* lead2 = utf8Masks_[kLead2].data();
  const uint64_t* lead3 = utf8Masks_[kLead3].data();
  const uint64_t* lead4 = utf8Masks_[kLead4].data();
  const uint64_t* follow = utf8Masks_[kFollow].data();
  uint64_t before2 = 0, before3 = 0, before4 = 0; // the starts of the word before
  for (std::size_t w = 0; w < words; ++w) {
    const uint64_t f1 = Down(follow, w, 1), f2 = Down(follow, w, 2), f3 = Down(follow, w, 3);
    const uint64_t two = lead2[w] & f1;
    const uint64_t three = lead3[w] & f1 & f2;
    const uint64_t four = lead4[w] & f1 & f2 & f3;
    uint64_t covered = text[w] | two | three | four;
    covered |= two << 1 | before2 >> 63;
    covered |= three << 1 | before3 >> 63 | three << 2 | before3 >> 62;
    covered |= four << 1 | before4 >> 63 | four << 2 | before4 >> 62 | four << 3 | before4 >> 61;
    text[w] = covered;
    before2 = two;
    before3 = three;
    before4 = four;
  }
}

// A wide character below 256 is its value's byte and zeros. The zeros are
// found everywhere, at the cost of a compare; which bytes are accepted is
// asked only around the words where the zeros leave room for a kept run, in
// binaries a quarter of them or less.
void CharRunScanner::MarkWideStarts(std::size_t length) {
  const std::size_t words = (length + 63) / 64;
  const std::size_t full = length / 64, tail = length % 64;
  zero_.resize(words + 1);
  text_.resize(words + 1);
  charStarts_.resize(words + 1);
  zeros_.ClassifyZeros(bytes_, full, zero_.data());
  if (tail != 0)
    zero_[full] = zeros_.ClassifyTail(bytes_ + 64 * full, tail);
  zero_[words] = ~uint64_t(0);

  // Where the other bytes of a character are zeros: from the character's
  // second byte (little-endian) or its first (big-endian). Where MinChar + 1
  // such characters follow one another (some of them) is where a kept run
  // may start.
  const bool little = valueByte_ == 0;
  uint64_t* zeroed = zero_.data();
  if (width_ > 2) {
    values_.EveryRun(zero_.data(), words, width_ - 1, 1, starts_.data(), busy_.data());
    zeroed = starts_.data();
  }
  const auto live = static_cast<unsigned>(std::min<uint64_t>(minChar_ + 1, kLiveChars));
  values_.EveryRun(zeroed, words, live, width_, charStarts_.data(), busy_.data());
  MarkNeededWords(words);

  // The accepted bytes, in the words looked at; none elsewhere.
  for (std::size_t w = 0; w < words;) {
    if (!IsNeeded(w)) {
      text_[w++] = 0;
      continue;
    }
    std::size_t end = w;
    while (end < full && IsNeeded(end))
      ++end;
    values_.Classify(bytes_ + 64 * w, end - w, text_.data() + w);
    if (end == full && full < words && IsNeeded(full))
      text_[end++] = values_.ClassifyTail(bytes_ + 64 * full, tail);
    w = end;
  }
  text_[words] = ~uint64_t(0);

  // The text characters: an accepted value and zeros.
  if (little)
    values_.AndShifted(text_.data(), zeroed, words, 1, charStarts_.data());
  else
    values_.AndShifted(zeroed, text_.data(), words, width_ - 1, charStarts_.data());
  // Where MinChar + 1 of them follow one another (as far as 63 bytes show).
  const auto span = static_cast<unsigned>(std::min<uint64_t>(minChar_ + 1, 63 / width_ + 1));
  values_.EveryRun(charStarts_.data(), words, span, width_, starts_.data(), busy_.data());
}

// A word is looked at when a place where a run may start lies in it or in
// a word next to it, since a run reaches at most 63 bytes on, and a place
// may be a byte or three off a character's first byte. A run open from the
// last slice goes on in the first words.
void CharRunScanner::MarkNeededWords(std::size_t words) {
  const std::size_t count = busy_.size();
  needed_.assign(count, 0);
  for (std::size_t i = 0; i < count; ++i) {
    const uint64_t here = busy_[i];
    const uint64_t carryIn = i > 0 ? busy_[i - 1] >> 63 : 0;
    const uint64_t carryOut = i + 1 < count ? busy_[i + 1] << 63 : 0;
    needed_[i] = here | here << 1 | carryIn | here >> 1 | carryOut;
  }
  if (inRun_)
    needed_[0] |= 3;
  // The bits past the end count as zeros: a character cut off by the end
  // may start in the last word, its place beyond it.
  needed_[(words - 1) / 64] |= uint64_t(1) << ((words - 1) % 64);
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
  for (;;) {
    const CharDecoder::Char c = CharAt(at, length);
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
  if (width_ == 0)
    return ExtendUtf8(at, length, c);
  for (;;) {
    Append(c);
    at += c.length;
    if (maxChar_ != 0 && runChars_ >= maxChar_) {
      EmitHeld();
      return Outcome::Cut;
    }
    c = CharAt(at, length);
    if (c.verdict == CharDecoder::Verdict::Incomplete)
      return Outcome::Held;
    if (c.verdict == CharDecoder::Verdict::Refused) {
      EmitHeld();
      return Outcome::Ended;
    }
  }
}

// A UTF-8 run's bytes lie together in the buffer: they are added to the
// run at once when the walk stops.
CharRunScanner::Outcome CharRunScanner::ExtendUtf8(std::size_t& at, std::size_t length,
                                                   CharDecoder::Char c) {
  const std::size_t from = at;
  const auto take = [&] { run_.append(reinterpret_cast<const char*>(bytes_) + from, at - from); };
  for (;;) {
    ++runChars_;
    at += c.length;
    if (maxChar_ != 0 && runChars_ >= maxChar_) {
      take();
      EmitHeld();
      return Outcome::Cut;
    }
    c = CharAt(at, length);
    if (c.verdict == CharDecoder::Verdict::Incomplete) {
      take();
      return Outcome::Held;
    }
    if (c.verdict == CharDecoder::Verdict::Refused) {
      take();
      EmitHeld();
      return Outcome::Ended;
    }
  }
}

void CharRunScanner::Append(const CharDecoder::Char& c) {
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
