#include "extract/ExtractionChoice.h"

#include <algorithm>

const std::vector<Encoding>& AllEncodings() {
  static const std::vector<Encoding> all{Encoding::Bytes8,  Encoding::Utf16Le, Encoding::Utf16Be,
                                         Encoding::Utf32Le, Encoding::Utf32Be, Encoding::Utf8};
  return all;
}

std::string EncodingsText(const std::vector<Encoding>& encodings) {
  std::string text;
  for (const Encoding encoding : encodings) {
    if (!text.empty())
      text += ',';
    text += EncodingName(encoding);
  }
  return text;
}

bool ParseEncodings(const std::string& text, std::vector<Encoding>& out) {
  std::vector<bool> named(AllEncodings().size(), false);
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = std::min(text.find(',', from), text.size());
    const std::string name = text.substr(from, comma - from);
    std::size_t i = 0;
    while (i < AllEncodings().size() && name != EncodingName(AllEncodings()[i]))
      ++i;
    if (i == AllEncodings().size())
      return false; // GNU's letters are names of the command line only
    named[i] = true;
    if (comma == text.size())
      break;
    from = comma + 1;
  }
  out.clear();
  for (std::size_t i = 0; i < named.size(); ++i)
    if (named[i])
      out.push_back(AllEncodings()[i]);
  return true;
}

std::string OffsetsText(char radix) {
  return radix == 0 ? "none" : std::string(1, radix);
}

bool ParseOffsets(const std::string& text, char& radix) {
  if (text == "none") {
    radix = 0;
    return true;
  }
  if (text == "d" || text == "o" || text == "x") {
    radix = text[0];
    return true;
  }
  return false;
}

ExtractionChoice& GlobalExtractionChoice() {
  static ExtractionChoice choice;
  return choice;
}
