#pragma once
// How siftwell-extract writes a run when asked for more than the run: the
// file's name and the run's offset before it, another separator after it,
// or one JSON object per run.

#include "extract/Encoding.h"
#include "extract/FileLineSink.h"
#include "extract/LineSink.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct LineFormatOptions {
  char radix = 0; // 'o', 'd' or 'x': the offset is written; 0: it is not
  bool fileName = false;
  std::string separator = "\n";
  bool json = false;

  // Nothing but the run and a line end: the plain sink does that faster.
  bool IsPlain() const { return radix == 0 && !fileName && separator == "\n" && !json; }
};

class LineFormat : public LineSink {
public:
  // `encoding`: what JSON names and how it reads the run's bytes.
  LineFormat(const LineFormatOptions& options, FileLineSink& out,
             Encoding encoding = Encoding::Bytes8);

  // The file the next lines come from, as given ("-" is standard input),
  // and where in it the scanner's offset 0 lies (a part of the file).
  void StartFile(const std::string& name, uint64_t firstOffset = 0);
  void Line(const char* data, std::size_t length, uint64_t offset) override;
  bool Failed() const override { return out_.Failed(); }
  // The limits never change during a pass here, so a long run is written
  // as it is found; a UTF-8 run comes whole, its characters never split.
  bool TakesPieces() const override { return encoding_ != Encoding::Utf8; }
  void Piece(const char* data, std::size_t length, uint64_t offset) override;
  void EndPieces() override;

private:
  // A line as one piece: JSON, or a line too long for the buffer. The
  // offset is the one shown, in the file.
  void WholeLine(const char* data, std::size_t length, uint64_t shownOffset);
  void PieceAt(const char* data, std::size_t length, uint64_t shownOffset);
  char* PutOffset(char* at, uint64_t offset) const;

  const LineFormatOptions& options_;
  FileLineSink& out_;
  const Encoding encoding_;
  // What every line of the current file starts with.
  std::string prefix_;
  uint64_t firstOffset_ = 0;
  // Escaped text of a piece; kept, so that a run of many pieces reuses one
  // buffer instead of allocating one per piece.
  std::string json_;
  bool inPieces_ = false;
};

// The offset of a run as GNU strings writes it for `radix` ('o', 'd' or
// 'x'): right-aligned in seven places and a blank, wider when it must be.
// Returns the end; 24 places hold any offset.
char* PutRunOffset(char* at, uint64_t offset, char radix);

// Appends `data` to `out` as a JSON string's contents, each byte taken as
// ISO 8859-1.
void AppendJsonLatin1(const char* data, std::size_t length, std::string& out);
// `text` as a JSON string's contents, the bytes that are not UTF-8 as U+FFFD.
std::string JsonUtf8(const std::string& text);
