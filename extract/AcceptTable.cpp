#include "extract/AcceptTable.h"

const char PunctSymbolChars[33] = "!\"'(),-.:;?#$%&*+/<=>@[\\]^_`{|}~";

namespace {
void SetRange(AcceptTable& table, unsigned first, unsigned last) {
  for (unsigned b = first; b <= last; ++b)
    table.Accept(b);
}
} // namespace

void BuildAcceptTable(const TextOptions& options, AcceptTable& table) {
  table.Clear();
  if (options.Upper)
    SetRange(table, 0x41, 0x5A);
  if (options.Lower)
    SetRange(table, 0x61, 0x7A);
  if (options.Number)
    SetRange(table, 0x30, 0x39);
  if (options.Space)
    table.Accept(0x20);
  if (options.Punct)
    for (std::size_t i = 0; i < PunctCharCount; ++i)
      table.Accept(static_cast<unsigned char>(PunctSymbolChars[i]));
  if (options.Symbol)
    for (std::size_t i = PunctCharCount; i < PunctCharCount + SymbolCharCount; ++i)
      table.Accept(static_cast<unsigned char>(PunctSymbolChars[i]));
  if (options.ISO)
    SetRange(table, 0xC0, 0xFF);
  // A NUL byte in Other is refused by Accept.
  for (char c : options.Other)
    table.Accept(static_cast<unsigned char>(c));
}
