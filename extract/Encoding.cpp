#include "extract/Encoding.h"

namespace {
struct Named {
  const char* name;
  const char* letter; // GNU strings' letter, or nullptr
  Encoding encoding;
};

const Named kEncodings[] = {{"8", "s", Encoding::Bytes8},     {"16le", "l", Encoding::Utf16Le},
                            {"16be", "b", Encoding::Utf16Be}, {"32le", "L", Encoding::Utf32Le},
                            {"32be", "B", Encoding::Utf32Be}, {"utf8", nullptr, Encoding::Utf8}};
} // namespace

const char* EncodingName(Encoding encoding) {
  for (const Named& n : kEncodings)
    if (n.encoding == encoding)
      return n.name;
  return "8";
}

unsigned EncodingWidth(Encoding encoding) {
  switch (encoding) {
  case Encoding::Bytes8:
    return 1;
  case Encoding::Utf16Le:
  case Encoding::Utf16Be:
    return 2;
  case Encoding::Utf32Le:
  case Encoding::Utf32Be:
    return 4;
  case Encoding::Utf8:
    break;
  }
  return 0;
}

bool IsBigEndian(Encoding encoding) {
  return encoding == Encoding::Utf16Be || encoding == Encoding::Utf32Be;
}

bool ParseEncoding(const std::string& text, EncodingChoice& choice) {
  if (text == "S") {
    choice = {Encoding::Bytes8, true};
    return true;
  }
  for (const Named& n : kEncodings) {
    if (text == n.name || (n.letter != nullptr && text == n.letter)) {
      choice = {n.encoding, false};
      return true;
    }
  }
  return false;
}
