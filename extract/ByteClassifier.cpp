#include "extract/ByteClassifier.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SIFTWELL_X86 1
#endif

namespace {

using Tables = ByteClassifier::Tables;

void ClassifyScalar(const uint8_t* data, std::size_t words, const Tables& tables, uint64_t* out) {
  const uint8_t* flags = tables.flags.data();
  for (std::size_t w = 0; w < words; ++w) {
    const uint8_t* p = data + 64 * w;
    uint64_t bits = 0;
    for (unsigned i = 0; i < 64; ++i)
      bits |= static_cast<uint64_t>(flags[p[i]]) << i;
    out[w] = bits;
  }
}

void ZerosScalar(const uint8_t* data, std::size_t words, uint64_t* out) {
  for (std::size_t w = 0; w < words; ++w) {
    const uint8_t* p = data + 64 * w;
    uint64_t bits = 0;
    for (unsigned i = 0; i < 64; ++i)
      bits |= static_cast<uint64_t>(p[i] == 0) << i;
    out[w] = bits;
  }
}

#ifdef SIFTWELL_X86

// The row of the low nibble is picked from one of the two tables by the top
// bit of the byte, then the bit of the high nibble is tested in it.
__attribute__((target("avx2"))) inline uint32_t
AcceptedAvx2(__m256i v, __m256i lowRows, __m256i highRows, __m256i bitOf, __m256i nibble) {
  const __m256i lo = _mm256_and_si256(v, nibble);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
  const __m256i row =
      _mm256_blendv_epi8(_mm256_shuffle_epi8(lowRows, lo), _mm256_shuffle_epi8(highRows, lo), v);
  const __m256i bit = _mm256_shuffle_epi8(bitOf, hi);
  return static_cast<uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit)));
}

__attribute__((target("avx2"))) void ClassifyAvx2(const uint8_t* data, std::size_t words,
                                                  const Tables& tables, uint64_t* out) {
  const __m256i lowRows = _mm256_broadcastsi128_si256(
      _mm_load_si128(reinterpret_cast<const __m128i*>(tables.lowRows.data())));
  const __m256i highRows = _mm256_broadcastsi128_si256(
      _mm_load_si128(reinterpret_cast<const __m128i*>(tables.highRows.data())));
  const __m256i bitOf =
      _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16,
                       32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  for (std::size_t w = 0; w < words; ++w) {
    const __m256i* p = reinterpret_cast<const __m256i*>(data + 64 * w);
    const uint32_t a = AcceptedAvx2(_mm256_loadu_si256(p), lowRows, highRows, bitOf, nibble);
    const uint32_t b = AcceptedAvx2(_mm256_loadu_si256(p + 1), lowRows, highRows, bitOf, nibble);
    out[w] = a | static_cast<uint64_t>(b) << 32;
  }
}

__attribute__((target("avx2"))) void ZerosAvx2(const uint8_t* data, std::size_t words,
                                               uint64_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  for (std::size_t w = 0; w < words; ++w) {
    const __m256i* p = reinterpret_cast<const __m256i*>(data + 64 * w);
    const auto a =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p), zero)));
    const auto b = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(p + 1), zero)));
    out[w] = a | static_cast<uint64_t>(b) << 32;
  }
}

// Without a byte blend: an index with its top bit set makes the shuffle give
// 0, so each table answers only for its own half of the byte values.
__attribute__((target("ssse3"))) inline uint32_t
AcceptedSsse3(__m128i v, __m128i lowRows, __m128i highRows, __m128i bitOf, __m128i nibble) {
  const __m128i topAndLow = _mm_set1_epi8(static_cast<char>(0x8F));
  const __m128i top = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i lowIndex = _mm_and_si128(v, topAndLow);
  const __m128i highIndex = _mm_and_si128(_mm_xor_si128(v, top), topAndLow);
  const __m128i row =
      _mm_or_si128(_mm_shuffle_epi8(lowRows, lowIndex), _mm_shuffle_epi8(highRows, highIndex));
  const __m128i hi = _mm_and_si128(_mm_srli_epi16(v, 4), nibble);
  const __m128i bit = _mm_shuffle_epi8(bitOf, hi);
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(row, bit), bit)));
}

__attribute__((target("ssse3"))) void ClassifySsse3(const uint8_t* data, std::size_t words,
                                                    const Tables& tables, uint64_t* out) {
  const __m128i lowRows = _mm_load_si128(reinterpret_cast<const __m128i*>(tables.lowRows.data()));
  const __m128i highRows = _mm_load_si128(reinterpret_cast<const __m128i*>(tables.highRows.data()));
  const __m128i bitOf = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m128i nibble = _mm_set1_epi8(0x0F);
  for (std::size_t w = 0; w < words; ++w) {
    const __m128i* p = reinterpret_cast<const __m128i*>(data + 64 * w);
    uint64_t bits = 0;
    for (unsigned q = 0; q < 4; ++q)
      bits |= static_cast<uint64_t>(
                  AcceptedSsse3(_mm_loadu_si128(p + q), lowRows, highRows, bitOf, nibble))
              << (16 * q);
    out[w] = bits;
  }
}

__attribute__((target("ssse3"))) void ZerosSsse3(const uint8_t* data, std::size_t words,
                                                 uint64_t* out) {
  const __m128i zero = _mm_setzero_si128();
  for (std::size_t w = 0; w < words; ++w) {
    const __m128i* p = reinterpret_cast<const __m128i*>(data + 64 * w);
    uint64_t bits = 0;
    for (unsigned q = 0; q < 4; ++q)
      bits |= static_cast<uint64_t>(static_cast<uint32_t>(
                  _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p + q), zero))))
              << (16 * q);
    out[w] = bits;
  }
}

#endif // SIFTWELL_X86

// One round of the long-run masks: each word of `a` ANDed with `b` shifted
// down by `shift` (0 to 63) bits, the next word of `b` filling in from
// above. In place (out == a == b) is safe, since b[w + 1] is read before it
// is written.
void AndShiftedScalar(const uint64_t* a, const uint64_t* b, std::size_t words, unsigned shift,
                      uint64_t* out) {
  for (std::size_t w = 0; w < words; ++w)
    out[w] = a[w] & (shift == 0 ? b[w] : (b[w] >> shift) | (b[w + 1] << (64 - shift)));
  out[words] = a[words] & (b[words] >> shift);
}

void BusyScalar(const uint64_t* starts, std::size_t words, uint64_t* busy) {
  for (std::size_t i = 0; i <= words / 64; ++i)
    busy[i] = 0;
  for (std::size_t w = 0; w < words; ++w)
    busy[w / 64] |= static_cast<uint64_t>(starts[w] != 0) << (w % 64);
}

#ifdef SIFTWELL_X86

__attribute__((target("avx2"))) void AndShiftedAvx2(const uint64_t* a, const uint64_t* b,
                                                    std::size_t words, unsigned shift,
                                                    uint64_t* out) {
  if (shift == 0) {
    AndShiftedScalar(a, b, words, shift, out);
    return;
  }
  const __m128i down = _mm_cvtsi32_si128(static_cast<int>(shift));
  const __m128i up = _mm_cvtsi32_si128(static_cast<int>(64 - shift));
  std::size_t w = 0;
  for (; w + 4 <= words; w += 4) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + w));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + w));
    const __m256i n = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + w + 1));
    const __m256i r =
        _mm256_and_si256(x, _mm256_or_si256(_mm256_srl_epi64(y, down), _mm256_sll_epi64(n, up)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + w), r);
  }
  for (; w < words; ++w)
    out[w] = a[w] & ((b[w] >> shift) | (b[w + 1] << (64 - shift)));
  out[words] = a[words] & (b[words] >> shift);
}

__attribute__((target("avx2"))) void BusyAvx2(const uint64_t* starts, std::size_t words,
                                              uint64_t* busy) {
  for (std::size_t i = 0; i <= words / 64; ++i)
    busy[i] = 0;
  const __m256i zero = _mm256_setzero_si256();
  std::size_t w = 0;
  for (; w + 4 <= words; w += 4) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(starts + w));
    const unsigned empty =
        static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(v, zero))));
    busy[w / 64] |= static_cast<uint64_t>(~empty & 0xFu) << (w % 64);
  }
  for (; w < words; ++w)
    busy[w / 64] |= static_cast<uint64_t>(starts[w] != 0) << (w % 64);
}

#endif // SIFTWELL_X86

} // namespace

ByteClassifier::ByteClassifier() : kernel_(BestKernel()), functions_(&FunctionsOf(kernel_)) {}

void ByteClassifier::Build(const AcceptTable& table) {
  std::array<bool, 256> flags{};
  // Byte 0x00 is never text; the table refuses it already, and starting at 1
  // keeps it out of these tables too.
  for (unsigned b = 1; b < 256; ++b)
    flags[b] = table.IsAccepted(b);
  Build(flags);
}

void ByteClassifier::Build(const std::array<bool, 256>& flags) {
  tables_ = Tables{};
  for (unsigned b = 0; b < 256; ++b) {
    if (!flags[b])
      continue;
    tables_.flags[b] = 1;
    const unsigned high = b >> 4, low = b & 0x0F;
    if (high < 8)
      tables_.lowRows[low] |= static_cast<uint8_t>(1u << high);
    else
      tables_.highRows[low] |= static_cast<uint8_t>(1u << (high - 8));
  }
}

void ByteClassifier::Classify(const uint8_t* data, std::size_t words, uint64_t* out) const {
  functions_->classify(data, words, tables_, out);
}

void ByteClassifier::ClassifyZeros(const uint8_t* data, std::size_t words, uint64_t* out) const {
  functions_->zeros(data, words, out);
}

void ByteClassifier::LongRunStarts(const uint64_t* masks, std::size_t words, unsigned span,
                                   uint64_t* starts, uint64_t* busy) const {
  EveryRun(masks, words, span + 1, 1, starts, busy);
}

void ByteClassifier::EveryRun(const uint64_t* masks, std::size_t words, unsigned count,
                              unsigned stride, uint64_t* out, uint64_t* busy) const {
  // Each round doubles the number of bits that must be set; the last one
  // tops it up to `count`.
  const uint64_t* in = masks;
  for (unsigned have = 1; have < count;) {
    const unsigned add = std::min(have, count - have);
    functions_->andShifted(in, in, words, add * stride, out);
    in = out;
    have += add;
  }
  if (in != out)
    std::copy(in, in + words + 1, out);
  functions_->busy(out, words, busy);
}

void ByteClassifier::AndShifted(const uint64_t* a, const uint64_t* b, std::size_t words,
                                unsigned shift, uint64_t* out) const {
  functions_->andShifted(a, b, words, shift, out);
}

uint64_t ByteClassifier::ClassifyTail(const uint8_t* data, std::size_t length) const {
  uint64_t bits = ~uint64_t(0) << length;
  for (std::size_t i = 0; i < length; ++i)
    bits |= static_cast<uint64_t>(tables_.flags[data[i]]) << i;
  return bits;
}

bool ByteClassifier::KernelSupported(Kernel kernel) {
  switch (kernel) {
  case Kernel::Scalar:
    return true;
#ifdef SIFTWELL_X86
  case Kernel::Ssse3:
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
  case Kernel::Avx2:
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#endif
  default:
    return false;
  }
}

ByteClassifier::Kernel ByteClassifier::BestKernel() {
  static const Kernel best = KernelSupported(Kernel::Avx2)    ? Kernel::Avx2
                             : KernelSupported(Kernel::Ssse3) ? Kernel::Ssse3
                                                              : Kernel::Scalar;
  return best;
}

void ByteClassifier::UseKernel(Kernel kernel) {
  if (!KernelSupported(kernel))
    return;
  kernel_ = kernel;
  functions_ = &FunctionsOf(kernel);
}

// Only the classification has an SSSE3 body; the long-run rounds below AVX2
// are the scalar ones.
const ByteClassifier::Functions& ByteClassifier::FunctionsOf([[maybe_unused]] Kernel kernel) {
  static const Functions scalar{ClassifyScalar, ZerosScalar, AndShiftedScalar, BusyScalar};
#ifdef SIFTWELL_X86
  static const Functions ssse3{ClassifySsse3, ZerosSsse3, AndShiftedScalar, BusyScalar};
  static const Functions avx2{ClassifyAvx2, ZerosAvx2, AndShiftedAvx2, BusyAvx2};
  if (kernel == Kernel::Avx2)
    return avx2;
  if (kernel == Kernel::Ssse3)
    return ssse3;
#endif
  return scalar;
}
