#pragma once
// Reads one character of a wide or UTF-8 encoding and says whether it may
// stand in a run.
//
// A wide character (16 or 32 bits, either byte order) is text when its value
// is below 256 and the value is accepted by the classes and Other. A UTF-8
// character must be well formed (shortest form, no surrogate, nothing above
// U+10FFFF). ASCII is text by the classes and Other; U+0080 to U+00FF also
// when its value is in Other; anything from U+0080 up when the iso class is
// on; and never the invisible or non-characters IsNeverText lists.

#include "extract/AcceptTable.h"
#include "extract/Encoding.h"
#include "settings/TextOptions.h"

#include <array>
#include <cstddef>
#include <cstdint>

class CharDecoder {
public:
  enum class Verdict { Accepted, Refused, Incomplete };
  struct Char {
    Verdict verdict;
    unsigned length; // bytes of an accepted character
    uint32_t value;
  };

  void Build(const TextOptions& options, Encoding encoding);
  // The character at data[0]; `available` bytes can be read. Incomplete when
  // more bytes could still make it text.
  Char Decode(const uint8_t* data, std::size_t available) const;

  Encoding GetEncoding() const { return encoding_; }
  const AcceptTable& Table() const { return table_; }
  // Bytes that may be part of a UTF-8 character that is text; every other
  // byte ends a run.
  const std::array<bool, 256>& Utf8Bytes() const { return utf8Bytes_; }
  // Whether any UTF-8 character from U+0080 up can be text; when none can,
  // UTF-8 runs are the runs of accepted ASCII bytes.
  bool HighUtf8Text() const { return utf8Bytes_[0x80]; }

  // C1 controls, the soft hyphen, zero-width and direction marks, the byte
  // order mark, interlinear annotation marks, non-characters and tags.
  static bool IsNeverText(uint32_t codePoint);
  // The length of the well-formed UTF-8 character at data[0], 0 when there
  // is none, or -1 when the `available` bytes are the start of one.
  static int Utf8Length(const uint8_t* data, std::size_t available, uint32_t& codePoint);

private:
  Char DecodeWide(const uint8_t* data, std::size_t available) const;
  Char DecodeUtf8(const uint8_t* data, std::size_t available) const;

  Encoding encoding_ = Encoding::Bytes8;
  unsigned width_ = 1;
  bool iso_ = false;
  AcceptTable table_;
  std::array<bool, 256> utf8Bytes_{};
};
