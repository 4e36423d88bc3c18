#pragma once
// One extraction pass over a document window's input: it opens the input,
// settles the output file with the user, shows the progress dialog, drives
// the input through the run scanner into the window's editor or the output
// file while letting events run, and at the end loads the output file into
// the editor and puts the caret at the start.

#include "extract/EncodedLines.h"
#include "extract/ExtractionChoice.h"
#include "extract/LineSink.h"
#include "extract/RunScanner.h"
#include "memory/MemoryGrowth.h"
#include "text/LineEdge.h"
#include "ui/PartsOutput.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
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
  // Where a step of the pass leads: on, to the pass's end (settled without
  // an output, cancelled, or the editor holds no more: NoRoom), or out at
  // once, as an event destroyed the window.
  enum class Flow { Go, Stop, NoRoom, Gone };
  // What the editor's text ran short of, if anything.
  enum class Shortage { None, Memory, Disk };
  enum class Pumping { Now, WhenDue };
  // What a call run on a helper thread gave; Gone when the window was
  // destroyed meanwhile.
  template <class Result> struct Helped {
    Result result;
    Flow flow;
  };
  // What opening the output file gave: a descriptor, or an error number.
  struct Opened {
    int fd = -1;
    int error = 0;
  };

  // Asks for the output file and opens it.
  Flow SettleOutput(bool askOutput);
  // Scans the whole input.
  Flow Scan(InputFile& input);
  // Scans `input`, which starts at `start` of the whole, on this thread.
  Flow ScanFrom(InputFile& input, uint64_t start);
  // Scans a large regular file in parts on `workers` threads, taking each
  // part's text over as it is done.
  Flow ScanInParts(InputFile& input, unsigned workers);
  // The scan's turn: `examined` bytes so far. Moves the bar and, when it is
  // time or the input has nothing yet (`idle`), lets events run.
  Flow Progress(uint64_t examined, bool idle);
  // A slice of a part's lines: into the editor, or written to the output
  // file and kept for the editor. `midRun`: it ends inside a run.
  void TakeSlice(TextBuffer&& slice, bool midRun);
  // Where a pass in parts stops early, for `why`; gives `why` back. A run
  // cut short ends its line there.
  Flow StopInParts(Flow why);
  // The kept text into the editor, in place of reading the output file
  // back.
  Flow TakeKept();
  // Flushes the lines, loads the output file, puts the caret at the start.
  Flow EndScan();
  Flow LoadOutputFile();
  // Whether `bytes` more of text fit in the memory left (only what stays in
  // memory counts: the rest goes to disk) and the disk still takes what the
  // memory budget leaves over; once they do not, no more text is taken in.
  bool Holds(uint64_t bytes);
  // The pass ran short of memory or disk: the message, and in file mode a
  // document that no longer names the output file it holds only part of.
  void ReportShortage();
  // The one place where events run during a pass (and so where the window
  // may be destroyed): appends the lines collected since the last pump,
  // then lets events run, at once or once kPumpMs have gone by since the
  // last time. Go or Gone.
  Flow Checkpoint(Pumping when);
  // The text's writes to disk (the editor's, or what a pass into a file
  // keeps) are so far behind that the pass should wait for them.
  bool WritesBehind() const;
  // The writes of a pass in parts into a file, ended and waited for (with
  // events running); their error is kept in partsError_.
  Flow FinishWrites();
  bool Alive() const { return !window_.isNull(); }
  // Runs work that may take long (emptying or closing a large output file,
  // freeing the last result) on a thread of its own, with events pumped
  // until it returns. `call` must not touch the window, which an event may
  // destroy.
  Flow WhilePumping(const std::function<void()>& call);
  template <class Result> Helped<Result> WhilePumping(const std::function<Result()>& call);

  // The scanner's line sink: the output file, or the editor.
  void Line(const char* data, std::size_t length, uint64_t offset) override;
  bool Failed() const override;
  // Into the editor a long run comes in pieces, never held whole by the
  // scanner; a file takes whole lines.
  // An output file takes pieces when it can take them back (limits may
  // change during a pass).
  bool TakesPieces() const override;
  // Stretches of lines go on as they are, to the file or the pending lines.
  bool TakesStretches() const override { return true; }
  void Lines(const char* data, std::size_t length, uint64_t offset) override;
  void Piece(const char* data, std::size_t length, uint64_t offset) override;
  void EndPieces() override;
  void DropPieces() override;
  void AppendPending();

  QPointer<TRTFchild> window_;
  TextEditor& editor_;
  TScanDlg& dialog_;
  // The encodings and offsets as the pass starts; the default choice is
  // scanned by the byte scanner alone, any other by the command line's
  // scanners.
  const ExtractionChoice choice_;
  std::unique_ptr<RunScanner> bytes_;
  std::unique_ptr<EncodedLines> encoded_;
  BlockScanner* scanner_ = nullptr;
  // Where the lines go while the input is scanned: the output file, or the
  // editor when null.
  FileLineSink* output_ = nullptr;
  // Lines for the editor, each followed by a line break, appended at each
  // pump.
  std::string pending_;
  // Where the lines meet the editor.
  LineEdge editorEdge_;
  // Progress: the bar's step and how often it moved; the time since events
  // last ran.
  uint64_t barStep_ = 0;
  uint64_t advances_ = 0;
  QElapsedTimer clock_;
  MemoryGrowth growth_;
  Shortage shortage_ = Shortage::None;
  // A pass in parts in file mode: the output file and what of it is kept,
  // and where its lines meet it.
  std::unique_ptr<PartsOutput> partsOutput_;
  bool partsFinished_ = false;
  int partsError_ = 0;
  std::unique_ptr<LineEdge> fileEdge_;
};

// The two open failures of a pass: a message box with OK and Cancel whose
// answer is not used.
void ReportPassFailure(QWidget* parent, const QString& text, const QString& caption);
QString CouldntOpen(const QString& name);
