// The block scanner against the byte-by-byte scanner, and the scanner of
// wide and UTF-8 runs against the plain reading of its rules. The first
// bytes of the input choose the options, the classifier kernel, how often
// the data is repeated, the block sizes, the encoding and a change of the
// limits in the middle (single bytes only), and whether long runs come in
// pieces; the rest is the data. Any
// difference in the lines, or a NUL byte in one, aborts. Some inputs are
// also cut into parts of a size the input chooses, each scanned apart, as
// the command line does with one large file: the parts' lines together
// must be those of one scan of the whole.

#include "extract/ByteClassifier.h"
#include "extract/CharRunScanner.h"
#include "extract/FileExtractor.h"
#include "extract/MergedScanner.h"
#include "extract/RunScanner.h"
#include "support/CharReference.h"
#include "support/StretchLines.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <sanitizer/asan_interface.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// All lines in one string with their lengths: cheaper than a string each.
class CollectSink : public LineSink {
public:
  std::string bytes;
  std::vector<std::size_t> lengths;
  std::vector<uint64_t> offsets;
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    bytes.append(data, length);
    lengths.push_back(length);
    offsets.push_back(offset);
  }
  bool operator==(const CollectSink& o) const {
    return lengths == o.lengths && offsets == o.offsets && bytes == o.bytes;
  }

  // With `pieces`, long runs come in pieces and are put together here; a
  // piece out of order aborts.
  bool pieces = false;
  bool TakesPieces() const override { return pieces; }
  void Piece(const char* data, std::size_t length, uint64_t offset) override {
    if (!open_) {
      open_ = true;
      openOffset_ = offset;
      openBegin_ = bytes.size();
    } else if (offset != openOffset_) {
      Broken("a piece with another offset");
    }
    bytes.append(data, length);
  }
  void EndPieces() override {
    if (!open_)
      Broken("an end without pieces");
    open_ = false;
    lengths.push_back(bytes.size() - openBegin_);
    offsets.push_back(openOffset_);
  }
  void DropPieces() override {
    if (!open_)
      Broken("a drop without pieces");
    open_ = false;
    bytes.resize(openBegin_);
  }
  // With `stretches`, runs already followed by '\n' in the input may come
  // several at once; they are split here as separate calls would have
  // brought them, each with its own offset. A stretch inside an open
  // pieced line aborts.
  bool stretches = false;
  bool TakesStretches() const override { return stretches; }
  void Lines(const char* data, std::size_t length, uint64_t offset) override {
    if (open_)
      Broken("a stretch inside a pieced line");
    if (length == 0 || data[length - 1] != '\n')
      Broken("a stretch that does not end a line");
    ForEachStretchLine(
        data, length, offset,
        [this](const char* line, std::size_t size, uint64_t at) { Line(line, size, at); });
  }
  void Closed() const {
    if (open_)
      Broken("pieces never ended");
  }

private:
  [[noreturn]] static void Broken(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }
  bool open_ = false;
  uint64_t openOffset_ = 0;
  std::size_t openBegin_ = 0;
};

class Header {
public:
  Header(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  std::size_t Used() const { return at_ < size_ ? at_ : size_; }

private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Small values, the edges of a 64-byte word and of a 16 KiB segment, and
// values near 2^31 and 2^32 where unsigned arithmetic would wrap.
uint32_t Limit(uint8_t selector) {
  static const uint32_t kSpecial[16] = {0,          1,          2,          63,        64,    65,
                                        128,        16383,      16384,      16385,     65536, 65537,
                                        2147483647, 2147483648, 4294967294, 4294967295};
  return (selector & 0x80) ? kSpecial[selector & 15] : selector & 0x7F;
}

// A small generator, so that one seed byte gives a whole list of sizes.
struct Rng {
  uint64_t state;
  uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
};

// 0 stands for one byte through ScanByte.
std::size_t BlockSize(Rng& rng, bool mixBytes) {
  static const std::size_t kSizes[16] = {0,  1,   2,    3,    7,     63,    64,    65,
                                         66, 127, 1000, 4096, 16383, 16384, 16385, 70000};
  std::size_t size = kSizes[rng.Next() % 16];
  if (size == 0 && !mixBytes)
    size = 1;
  return size;
}

[[noreturn]] void Differ(const CollectSink& expected, const CollectSink& got,
                         const TextOptions& options) {
  std::size_t i = 0;
  std::size_t at = 0;
  while (i < expected.lengths.size() && i < got.lengths.size() &&
         expected.lengths[i] == got.lengths[i] && expected.offsets[i] == got.offsets[i] &&
         expected.bytes.compare(at, expected.lengths[i], got.bytes, at, got.lengths[i]) == 0)
    at += expected.lengths[i++];
  std::fprintf(stderr,
               "lines differ: %zu expected, %zu from the block path, first difference at line "
               "%zu (MinChar %u, MaxChar %u)\n",
               expected.lengths.size(), got.lengths.size(), i, options.MinChar, options.MaxChar);
  if (i < expected.lengths.size())
    std::fprintf(stderr, "  expected %zu bytes at %llu\n", expected.lengths[i],
                 static_cast<unsigned long long>(expected.offsets[i]));
  if (i < got.lengths.size())
    std::fprintf(stderr, "  got %zu bytes at %llu\n", got.lengths[i],
                 static_cast<unsigned long long>(got.offsets[i]));
  std::abort();
}

// The byte path over bytes[from, to). Its loop is not traced: a comparison
// per byte would cost more than the scanning.
__attribute__((no_sanitize("coverage"))) void FeedBytes(RunScanner& scanner, const uint8_t* bytes,
                                                        std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    scanner.ScanByte(bytes[i]);
}

// The block, copied so that it ends where poisoned memory begins and
// everything before it is poisoned too: the address sanitizer then catches
// any read outside it, without an allocation per block.
const uint8_t* Fenced(const uint8_t* block, std::size_t length) {
  constexpr std::size_t kCapacity = 70000; // the largest block size
  constexpr std::size_t kFence = 64;
  static uint8_t* const buffer = [] {
    auto* memory = new uint8_t[kCapacity + kFence];
    ASAN_POISON_MEMORY_REGION(memory, kCapacity + kFence);
    return memory;
  }();
  static std::size_t open = 0; // the bytes left unpoisoned by the last call
  uint8_t* const end = buffer + kCapacity;
  ASAN_POISON_MEMORY_REGION(end - open, open);
  ASAN_UNPOISON_MEMORY_REGION(end - length, length);
  open = length;
  std::memcpy(end - length, block, length);
  return end - length;
}

// The encoding from the bits of the change byte its low bit leaves; most
// inputs stay with single bytes.
Encoding EncodingOf(uint8_t change) {
  static const Encoding kEncodings[8] = {Encoding::Bytes8,  Encoding::Bytes8,  Encoding::Utf16Le,
                                         Encoding::Utf16Be, Encoding::Utf32Le, Encoding::Utf32Be,
                                         Encoding::Utf8,    Encoding::Utf8};
  return kEncodings[(change >> 1) & 7];
}

void CheckCharRuns(const TextOptions& options, Encoding encoding, const std::string& input,
                   const std::vector<std::size_t>& blocks, uint8_t kernel) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
  CollectSink expected;
  ReferenceCharRuns(options, encoding, bytes, input.size(), expected);
  CollectSink got;
  CharRunScanner scanner(options, encoding, got);
  scanner.ResetScanner();
  scanner.UseKernel(static_cast<ByteClassifier::Kernel>(kernel));
  std::size_t at = 0;
  for (std::size_t block : blocks) {
    const std::size_t length = block == 0 ? 1 : block;
    scanner.ScanBlock(Fenced(bytes + at, length), length);
    at += length;
  }
  scanner.EmitRun();
  if (!(expected == got))
    Differ(expected, got, options);
  if (got.bytes.find('\0') != std::string::npos) {
    std::fprintf(stderr, "a line holds a NUL byte\n");
    std::abort();
  }
}

// Every line of every encoding, in order, with its encoding and offset.
class Log : public LineSink {
public:
  Log(std::string& text, char encoding, uint64_t base)
      : text_(text), encoding_(encoding), base_(base) {}
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    text_ += encoding_;
    text_ += std::to_string(base_ + offset);
    text_ += ':';
    text_.append(data, length);
    text_ += '\n';
  }

private:
  std::string& text_;
  const char encoding_;
  const uint64_t base_;
};

// The lines of `encodings` that `scan` finds (offsets from `base`) into
// `text`.
void ScanList(const std::vector<Encoding>& encodings, const TextOptions& options, std::string& text,
              uint64_t base, const std::function<void(BlockScanner&, LineSink&)>& scan) {
  std::vector<std::unique_ptr<Log>> logs;
  std::vector<MergedScanner::Target> targets;
  for (std::size_t e = 0; e < encodings.size(); ++e) {
    logs.push_back(std::make_unique<Log>(text, static_cast<char>('a' + e), base));
    targets.push_back({encodings[e], &options, logs.back().get()});
  }
  MergedScanner scanner(targets);
  scanner.ResetScanner();
  Log none(text, '?', 0);
  scan(scanner, none);
}

// The input in a file of memory, cut into parts of about `partSize` bytes
// and scanned part by part, against one scan of the whole.
void CheckParts(const std::string& input, const std::vector<Encoding>& encodings,
                const TextOptions& options, uint64_t partSize) {
  // One file for all inputs: a new one would cost fresh pages each time.
  static const int fd = ::memfd_create("fuzz-parts", 0);
  if (fd < 0 || ::pwrite(fd, input.data(), input.size(), 0) != static_cast<ssize_t>(input.size()) ||
      ::ftruncate(fd, static_cast<off_t>(input.size())) != 0)
    std::abort();
  InputFile whole;
  whole.OpenDescriptor(fd);
  std::string expected, got;
  ScanList(encodings, options, expected, 0, [&](BlockScanner& scanner, LineSink& sink) {
    InputFile all;
    all.OpenPart(whole, 0, InputFile::kToEnd);
    ExtractLines(all, scanner, sink, {}, false);
  });
  std::vector<SplitPoints::Entry> entries;
  for (Encoding encoding : encodings)
    entries.push_back({encoding, &options});
  SplitPoints cuts(entries, input.size(), partSize,
                   [&whole](uint8_t* buffer, std::size_t length, uint64_t offset) {
                     return whole.ReadAt(buffer, length, offset);
                   });
  for (std::size_t index = 0; index < cuts.Count(); ++index) {
    const uint64_t start = cuts.Start(index);
    ScanList(encodings, options, got, start, [&](BlockScanner& scanner, LineSink& sink) {
      ExtractPart(whole, cuts, index, start, scanner, sink);
    });
  }
  if (expected != got) {
    std::fprintf(stderr, "parts of %llu bytes differ from the whole\n",
                 static_cast<unsigned long long>(partSize));
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Header header(data, size);
  TextOptions options;
  const uint8_t classes = header.Next();
  options.Upper = classes & 1;
  options.Lower = classes & 2;
  options.Number = classes & 4;
  options.Space = classes & 8;
  options.Punct = classes & 16;
  options.Symbol = classes & 32;
  options.ISO = classes & 64;
  const bool mixBytes = classes & 128;
  options.MinChar = Limit(header.Next());
  options.MaxChar = Limit(header.Next());
  const uint8_t otherLength = header.Next() & 15;
  for (uint8_t i = 0; i < otherLength; ++i)
    options.Other.push_back(static_cast<char>(header.Next()));
  const uint8_t kernel = header.Next() % 3;
  const uint8_t repeat = header.Next();
  Rng rng{0x9E3779B97F4A7C15ull ^ header.Next()};
  const uint8_t change = header.Next();
  const uint32_t laterMin = Limit(header.Next());
  const uint32_t laterMax = Limit(header.Next());

  // Repeating the data lets a short input make runs that cross segments.
  std::string input(reinterpret_cast<const char*>(data) + header.Used(), size - header.Used());
  // Only a quarter of the inputs are repeated: each repeat costs a pass.
  const std::size_t copies = repeat >= 0xC0 ? 1 + (repeat & 63) : 1;
  if (!input.empty() && copies > 1 && input.size() * copies <= (std::size_t(1) << 16)) {
    const std::string once = input;
    for (std::size_t i = 1; i < copies; ++i)
      input += once;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());

  // The blocks, and where the limits change: at the first block boundary
  // past the middle, the same byte for both paths.
  std::vector<std::size_t> blocks;
  for (std::size_t at = 0; at < input.size();) {
    const std::size_t block = BlockSize(rng, mixBytes);
    const std::size_t length = block == 0 ? 1 : std::min(block, input.size() - at);
    blocks.push_back(block == 0 ? 0 : length);
    at += length;
  }
  std::size_t changeAt = input.size() + 1;
  if (change & 1) {
    std::size_t at = 0;
    for (std::size_t block : blocks) {
      if (at >= input.size() / 2) {
        changeAt = at;
        break;
      }
      at += block == 0 ? 1 : block;
    }
  }

  const Encoding encoding = EncodingOf(change);
  if ((change & 0xA0) == 0xA0) {
    // With single bytes too, now and then: a list of two.
    std::vector<Encoding> encodings{encoding};
    if ((change & 0x40) && encoding != Encoding::Bytes8)
      encodings.insert(encodings.begin(), Encoding::Bytes8);
    // At most 32 parts: each costs a scanner of its own.
    CheckParts(input, encodings, options,
               std::max<uint64_t>(input.size() / 32, 1 + rng.Next() % 4096));
  }
  if (encoding != Encoding::Bytes8) {
    CheckCharRuns(options, encoding, input, blocks, kernel);
    return 0;
  }

  TextOptions byteOptions = options;
  CollectSink expected;
  RunScanner reference(byteOptions, expected);
  reference.ResetScanner();
  const std::size_t firstPart = std::min(changeAt, input.size());
  FeedBytes(reference, bytes, 0, firstPart);
  if (firstPart < input.size()) {
    byteOptions.MinChar = laterMin;
    byteOptions.MaxChar = laterMax;
  }
  FeedBytes(reference, bytes, firstPart, input.size());
  reference.EmitRun();

  TextOptions blockOptions = options;
  CollectSink got;
  got.pieces = change & 0x10;
  got.stretches = change & 0x40;
  RunScanner scanner(blockOptions, got);
  scanner.ResetScanner();
  scanner.Classifier().UseKernel(static_cast<ByteClassifier::Kernel>(kernel));
  std::size_t at = 0;
  for (std::size_t block : blocks) {
    if (at == changeAt) {
      blockOptions.MinChar = laterMin;
      blockOptions.MaxChar = laterMax;
    }
    if (block == 0) {
      scanner.ScanByte(bytes[at]);
      ++at;
    } else {
      scanner.ScanBlock(Fenced(bytes + at, block), block);
      at += block;
    }
  }
  scanner.EmitRun();
  got.Closed();

  if (!(expected == got))
    Differ(expected, got, options);
  // Each line is the input's bytes at its offset.
  std::size_t from = 0;
  for (std::size_t i = 0; i < got.lengths.size(); from += got.lengths[i++]) {
    if (got.offsets[i] > input.size() ||
        input.compare(got.offsets[i], got.lengths[i], got.bytes, from, got.lengths[i]) != 0) {
      std::fprintf(stderr, "line %zu is not the input at its offset\n", i);
      std::abort();
    }
  }
  // Other may hold NUL bytes here, yet 0x00 is never a run byte.
  if (got.bytes.find('\0') != std::string::npos) {
    std::fprintf(stderr, "a line holds a NUL byte\n");
    std::abort();
  }
  if (reference.RunLength() != 0 || scanner.RunLength() != 0)
    std::abort();
  return 0;
}
