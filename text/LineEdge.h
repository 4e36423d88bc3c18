#pragma once
// Where a pass's lines meet what holds them. Up to here every line ends with
// a line break (as in a file and in the slices of a file scanned in parts);
// an editor's lines are separated by breaks instead, with none after the
// last. The break after the last line is owed, and paid here alone, once
// more text follows it.
//
// A run that may yet be rejected comes in pieces; the break before it goes
// with it, so that a dropped run leaves the text as it was.

#include <cstddef>
#include <cstdint>

class TextBuffer;

class LineEdge {
public:
  // What takes the text: the editor, or an output file.
  class Target {
  public:
    virtual ~Target() = default;
    virtual int64_t Length() const = 0;
    virtual void Append(const char* data, std::size_t length) = 0;
    // `text` is taken over, not copied.
    virtual void AppendText(TextBuffer&& text) = 0;
    // A run's pieces, until they are kept or dropped.
    virtual void AppendPiece(const char* data, std::size_t length) = 0;
    virtual void KeepPieces() = 0;
    virtual void DropPieces() = 0;
  };
  // How the target's lines end: separated by breaks (an editor), or each
  // with its own (a file).
  enum class Ends { Separated, Terminated };

  LineEdge(Target& target, Ends ends) : target_(target), ends_(ends) {}

  // Whole lines, each followed by a line break.
  void Lines(const char* data, std::size_t length);
  // A slice of lines, each followed by a line break, except that the last
  // goes on in the next slice when `midRun`.
  void Slice(TextBuffer&& slice, bool midRun);
  // A piece of a run that may yet be rejected, and its end.
  void Piece(const char* data, std::size_t length);
  void KeepPieces();
  void DropPieces();
  // The pass stops here: a run cut short by it is judged as at the end of
  // the input, and in a file its line ends with a break, as every line does.
  void Stop();

private:
  // The break owed before new text: after the target's last line, unless
  // the text so far ends inside a run.
  void PayOwed(bool asPiece);

  Target& target_;
  const Ends ends_;
  bool midRun_ = false;
  bool inPieces_ = false;
};
