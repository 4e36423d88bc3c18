#pragma once
// Turns pasted text into the document's bytes: a character outside
// ISO 8859-1 becomes "?", and CR LF or a lone CR a line break. Text may come
// in pieces; a CR at the end of one piece waits for the next.

#include "text/TextBuffer.h"

#include <QStringView>
#include <cstddef>

class PasteFilter {
public:
  void AddBytes(const char* data, std::size_t length);
  void AddText(QStringView text);
  // The bytes so far, the pending CR resolved.
  TextBuffer Finish();

private:
  void Put(char byte);

  TextBuffer out_;
  std::string pending_;
  bool afterCr_ = false;
};
