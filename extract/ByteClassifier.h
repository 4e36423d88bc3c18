#pragma once
// Classifies bytes by an AcceptTable 64 at a time: bit i of a word is set
// when byte i is accepted. Uses AVX2 or SSSE3 when the processor has them,
// a plain table lookup otherwise.

#include "extract/AcceptTable.h"

#include <array>
#include <cstddef>
#include <cstdint>

class ByteClassifier {
public:
  enum class Kernel { Scalar, Ssse3, Avx2 };

  // What the kernels read, built from an AcceptTable.
  struct Tables {
    // Bit h of lowRows[n] is set when byte 16 * h + n is accepted (h 0-7);
    // highRows holds the same for high nibbles 8-15.
    alignas(16) std::array<uint8_t, 16> lowRows{};
    alignas(16) std::array<uint8_t, 16> highRows{};
    // 1 for an accepted byte, 0 otherwise.
    std::array<uint8_t, 256> flags{};
  };

  ByteClassifier();

  void Build(const AcceptTable& table);
  // Any set of byte values, 0x00 included: the wide scanners look for zeros.
  void Build(const std::array<bool, 256>& flags);
  // out[i] describes bytes data[64 * i] to data[64 * i + 63].
  void Classify(const uint8_t* data, std::size_t words, uint64_t* out) const;
  // The bytes 0x00, whatever the table: a compare, not a look-up.
  void ClassifyZeros(const uint8_t* data, std::size_t words, uint64_t* out) const;
  // One word from `length` < 64 bytes; the bits from `length` up are set, so
  // that a run reaching the end of the data looks as if it went on.
  uint64_t ClassifyTail(const uint8_t* data, std::size_t length) const;

  // The words where runs longer than `span` (< 64) bytes may start: bit i of
  // starts[w] is set when bytes 64w + i to 64w + i + span are all accepted,
  // judged from masks[0] to masks[words], the bytes after those reading as
  // not accepted. Bit w of busy (words / 64 + 1 words) is set when starts[w]
  // is not 0. A run of `span` bytes or fewer leaves no bit at all.
  void LongRunStarts(const uint64_t* masks, std::size_t words, unsigned span, uint64_t* starts,
                     uint64_t* busy) const;

  // The same with a stride: bit i of out[w] is set when bits i, i + stride,
  // ..., i + (count - 1) * stride of the masks are all set ((count - 1) *
  // stride at most 63), judged from masks[0] to masks[words]; out and busy
  // as above. out may be masks.
  void EveryRun(const uint64_t* masks, std::size_t words, unsigned count, unsigned stride,
                uint64_t* out, uint64_t* busy) const;
  // out[w] = a[w] AND the bit stream b shifted down by `shift` (0 to 63)
  // bits, for w from 0 to words; out may be a or b.
  void AndShifted(const uint64_t* a, const uint64_t* b, std::size_t words, unsigned shift,
                  uint64_t* out) const;

  static bool KernelSupported(Kernel kernel);
  static Kernel BestKernel();
  Kernel ActiveKernel() const { return kernel_; }
  // Ignored when the processor lacks the kernel. The constructor chooses
  // BestKernel(); tests and benchmarks force each one in turn.
  void UseKernel(Kernel kernel);

private:
  // One kernel's functions, picked when the kernel is chosen, so that a call
  // goes straight to its body instead of testing the kernel every time.
  struct Functions {
    void (*classify)(const uint8_t* data, std::size_t words, const Tables& tables, uint64_t* out);
    void (*zeros)(const uint8_t* data, std::size_t words, uint64_t* out);
    // One round of the long-run mask, see ByteClassifier.cpp.
    void (*andShifted)(const uint64_t* a, const uint64_t* b, std::size_t words, unsigned shift,
                       uint64_t* out);
    void (*busy)(const uint64_t* starts, std::size_t words, uint64_t* busy);
  };
  static const Functions& FunctionsOf(Kernel kernel);

  Tables tables_;
  Kernel kernel_;
  const Functions* functions_;
};
