#include "extract/CharDecoder.h"

void CharDecoder::Build(const TextOptions& options, Encoding encoding) {
  encoding_ = encoding;
  width_ = EncodingWidth(encoding);
  iso_ = options.ISO;
  BuildAcceptTable(options, table_);
  utf8Bytes_.fill(false);
  bool highInOther = false;
  for (unsigned b = 1; b < 0x80; ++b)
    utf8Bytes_[b] = table_.IsAccepted(b);
  for (char c : options.Other)
    highInOther = highInOther || static_cast<unsigned char>(c) >= 0x80;
  // Continuation bytes, and the lead bytes of the characters that can be
  // text: all of them with iso, else those of U+0080 to U+00FF.
  if (iso_ || highInOther) {
    for (unsigned b = 0x80; b <= 0xBF; ++b)
      utf8Bytes_[b] = true;
    const unsigned lastLead = iso_ ? 0xF4 : 0xC3;
    for (unsigned b = 0xC2; b <= lastLead; ++b)
      utf8Bytes_[b] = true;
  }
}

CharDecoder::Char CharDecoder::Decode(const uint8_t* data, std::size_t available) const {
  if (encoding_ == Encoding::Utf8)
    return DecodeUtf8(data, available);
  if (encoding_ == Encoding::Bytes8) {
    if (available == 0)
      return {Verdict::Incomplete, 0, 0};
    return {table_.IsAccepted(data[0]) ? Verdict::Accepted : Verdict::Refused, 1, data[0]};
  }
  return DecodeWide(data, available);
}

CharDecoder::Char CharDecoder::DecodeWide(const uint8_t* data, std::size_t available) const {
  if (available < width_)
    return {Verdict::Incomplete, 0, 0};
  uint32_t value = 0;
  if (IsBigEndian(encoding_)) {
    for (unsigned i = 0; i < width_; ++i)
      value = value << 8 | data[i];
  } else {
    for (unsigned i = width_; i-- > 0;)
      value = value << 8 | data[i];
  }
  const bool text = value < 256 && table_.IsAccepted(value);
  return {text ? Verdict::Accepted : Verdict::Refused, width_, value};
}

CharDecoder::Char CharDecoder::DecodeUtf8(const uint8_t* data, std::size_t available) const {
  if (available == 0)
    return {Verdict::Incomplete, 0, 0};
  if (data[0] < 0x80)
    return {table_.IsAccepted(data[0]) ? Verdict::Accepted : Verdict::Refused, 1, data[0]};
  uint32_t codePoint = 0;
  const int length = Utf8Length(data, available, codePoint);
  if (length < 0)
    return {Verdict::Incomplete, 0, 0};
  if (length == 0 || IsNeverText(codePoint))
    return {Verdict::Refused, 1, 0};
  const bool text = iso_ || (codePoint <= 0xFF && table_.IsAccepted(codePoint));
  return {text ? Verdict::Accepted : Verdict::Refused, static_cast<unsigned>(length), codePoint};
}

int CharDecoder::Utf8Length(const uint8_t* data, std::size_t available, uint32_t& codePoint) {
  const uint8_t first = data[0];
  if (first < 0x80) {
    codePoint = first;
    return 1;
  }
  unsigned length = 0;
  uint8_t low = 0x80, high = 0xBF; // the range of the second byte
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
    codePoint = first & 0x1F;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    codePoint = first & 0x0F;
    low = first == 0xE0 ? 0xA0 : 0x80;  // no overlong form
    high = first == 0xED ? 0x9F : 0xBF; // no surrogate
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    codePoint = first & 0x07;
    low = first == 0xF0 ? 0x90 : 0x80;  // no overlong form
    high = first == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (unsigned i = 1; i < length; ++i) {
    if (i >= available)
      return -1;
    const uint8_t lo = i == 1 ? low : 0x80, hi = i == 1 ? high : 0xBF;
    if (data[i] < lo || data[i] > hi)
      return 0;
    codePoint = codePoint << 6 | (data[i] & 0x3F);
  }
  return static_cast<int>(length);
}

bool CharDecoder::IsNeverText(uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0xAD || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
         (c >= 0xFFF9 && c <= 0xFFFB) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE ||
         (c >= 0xE0000 && c <= 0xE007F);
}
