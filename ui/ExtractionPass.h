#pragma once
// One extraction pass over a document window's input: it opens the input,
// settles the output file with the user, shows the progress dialog, drives
// the input through the run scanner into the window's editor or the output
// file while letting events run, and at the end loads the output file into
// the editor and puts the caret at the start.

#include "extract/LineSink.h"
#include "extract/RunScanner.h"
#include "memory/MemoryGrowth.h"
#include "ui/PartsAhead.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class FileLineSink;
class InputFile;
class QWidget;
class TRTFchild;
class TScanDlg;
class TextEditor;

class ExtractionPass : private LineSink {
public:
  explicit ExtractionPass(TRTFchild& window);
  // Leaves the dialog hidden, the editor's fill ended and the output file
  // closed, also when an error cuts the pass short.
  ~ExtractionPass() override;
  ExtractionPass(const ExtractionPass&) = delete;
  ExtractionPass& operator=(const ExtractionPass&) = delete;

  // False when the window was destroyed while the pass let events run.
  bool Run(bool askOutput);

private:
  // Asks for the output file and opens it. False when the pass ends here.
  bool SettleOutput(bool askOutput);
  // Scans the whole input. False when the window was destroyed.
  bool Scan(InputFile& input);
  // Scans `input`, which starts at `start` of the whole, on this thread.
  bool ScanFrom(InputFile& input, uint64_t start);
  // Scans a large regular file in parts on `workers` threads, taking each
  // part's text over as it is done.
  bool ScanInParts(InputFile& input, unsigned workers);
  // The scan's turn: `examined` bytes so far. Moves the bar and, when it is
  // time or the input has nothing yet (`idle`), lets events run. False when
  // the scan must stop: cancelled, or the window gone.
  bool Progress(uint64_t examined, bool idle);
  // A slice of a part's lines: into the editor, or written to the output
  // file and kept for the editor. `midRun`: it ends inside a run.
  void TakeSlice(TextBuffer&& slice, bool midRun);
  // Where a pass in parts stops early; false when the window is gone.
  bool StopInParts();
  // The kept text into the editor, in place of reading the output file
  // back. False when the window was destroyed meanwhile.
  bool TakeKept();
  // Flushes the lines, loads the output file, puts the caret at the start.
  bool EndScan();
  bool LoadOutputFile();
  // Whether `bytes` more of text fit in the memory left; once they do not,
  // no more text is taken in.
  bool Holds(uint64_t bytes);
  // The pass ran short of memory: the message, and in file mode a document
  // that no longer names the output file it holds only part of.
  void ReportOutOfMemory();
  // Appends the lines collected since the last pump, then lets events run.
  // False when an event destroyed the window.
  bool PumpNow();
  // The same once kPumpMs have gone by since the last pump; true before.
  bool PumpWhenDue();
  bool Alive() const { return !window_.isNull(); }
  // Runs work that may take long (emptying or closing a large output file,
  // freeing the last result) on a thread of its own, with events pumped
  // until it returns. `call` must not touch the window, which an event may
  // destroy.
  int WhilePumping(const std::function<int()>& call);

  // The scanner's line sink: the output file, or the editor.
  void Line(const char* data, std::size_t length, uint64_t offset) override;
  bool Failed() const override;
  // Into the editor a long run comes in pieces, never held whole by the
  // scanner; a file takes whole lines.
  // An output file takes pieces when it can take them back (limits may
  // change during a pass).
  bool TakesPieces() const override;
  void Piece(const char* data, std::size_t length, uint64_t offset) override;
  void EndPieces() override;
  void DropPieces() override;
  void AppendPending();

  QPointer<TRTFchild> window_;
  TextEditor& editor_;
  TScanDlg& dialog_;
  RunScanner scanner_;
  // Where the lines go while the input is scanned: the output file, or the
  // editor when null.
  FileLineSink* output_ = nullptr;
  // Lines for the editor, appended at each pump.
  std::string pending_;
  // Progress: the bar's step and how often it moved; the time since events
  // last ran; whether they destroyed the window.
  uint64_t barStep_ = 0;
  uint64_t advances_ = 0;
  QElapsedTimer clock_;
  bool gone_ = false;
  MemoryGrowth growth_;
  bool outOfMemory_ = false;
  // A pass in parts: the last slice taken ends inside a run; the line break
  // after the editor's text that the next slice brings; in file mode, what
  // was written, whole unless the pass went on in one piece.
  bool midLine_ = false;
  bool owedBreak_ = false;
  std::vector<TextBuffer> kept_;
  bool keptWhole_ = false;
  // Short of memory, kept_ holds only the first of what was written.
  bool keptPart_ = false;
  // A line comes in pieces, straight into the editor.
  bool inPieces_ = false;
};

// The two open failures of a pass: a message box with OK and Cancel whose
// answer is not used.
void ReportPassFailure(QWidget* parent, const QString& text, const QString& caption);
QString CouldntOpen(const QString& name);
