#include "extract/ByteClassifier.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SIFTWELL_X86 1
#endif

namespace {

void ClassifyScalar(const uint8_t* data, std::size_t words, const uint8_t* flags, uint64_t* out) {
  for (std::size_t w = 0; w < words; ++w) {
    const uint8_t* p = data + 64 * w;
    uint64_t bits = 0;
    for (unsigned i = 0; i < 64; ++i)
      bits |= static_cast<uint64_t>(flags[p[i]]) << i;
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
                                                  const uint8_t* lowTable, const uint8_t* highTable,
                                                  uint64_t* out) {
  const __m256i lowRows =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(lowTable)));
  const __m256i highRows =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(highTable)));
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
                                                    const uint8_t* lowTable,
                                                    const uint8_t* highTable, uint64_t* out) {
  const __m128i lowRows = _mm_load_si128(reinterpret_cast<const __m128i*>(lowTable));
  const __m128i highRows = _mm_load_si128(reinterpret_cast<const __m128i*>(highTable));
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

#endif // SIFTWELL_X86

} // namespace

ByteClassifier::ByteClassifier() : kernel_(BestKernel()) {}

void ByteClassifier::Build(const AcceptTable& table) {
  lowRows_.fill(0);
  highRows_.fill(0);
  for (unsigned b = 0; b < 256; ++b) {
    flags_[b] = table.Flags[b] ? 1 : 0;
    if (!table.Flags[b])
      continue;
    const unsigned high = b >> 4, low = b & 0x0F;
    if (high < 8)
      lowRows_[low] |= static_cast<uint8_t>(1u << high);
    else
      highRows_[low] |= static_cast<uint8_t>(1u << (high - 8));
  }
}

void ByteClassifier::Classify(const uint8_t* data, std::size_t words, uint64_t* out) const {
  switch (kernel_) {
#ifdef SIFTWELL_X86
  case Kernel::Avx2:
    ClassifyAvx2(data, words, lowRows_.data(), highRows_.data(), out);
    return;
  case Kernel::Ssse3:
    ClassifySsse3(data, words, lowRows_.data(), highRows_.data(), out);
    return;
#endif
  default:
    ClassifyScalar(data, words, flags_.data(), out);
    return;
  }
}

uint64_t ByteClassifier::ClassifyTail(const uint8_t* data, std::size_t length) const {
  uint64_t bits = ~uint64_t(0) << length;
  for (std::size_t i = 0; i < length; ++i)
    bits |= static_cast<uint64_t>(flags_[data[i]]) << i;
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
  if (KernelSupported(kernel))
    kernel_ = kernel;
}
