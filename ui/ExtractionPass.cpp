#include "ui/ExtractionPass.h"

#include "extract/FileCuts.h"
#include "extract/FileExtractor.h"
#include "extract/FileKind.h"
#include "extract/InputFile.h"
#include "settings/TextOptions.h"
#include "text/TextBudget.h"
#include "ui/DialogService.h"
#include "ui/PartSlices.h"
#include "ui/RunWhilePumping.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <malloc.h>
#include <new>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {
// Events are pumped as soon as this much work has gone by, and whenever
// the input has nothing more to give for the moment.
constexpr qint64 kPumpMs = InputFile::SliceMs;
// The output file is read this much at a time, with events pumped as in
// the scan.
constexpr int64_t kLoadChunk = 1 << 20;

std::string NativeName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

TScanDlg& ProgressDialog() {
  if (!ScanDlg)
    ScanDlg = new TScanDlg();
  return *ScanDlg;
}
} // namespace

QString CouldntOpen(const QString& name) {
  return QStringLiteral("Couldn't open:\n") + name;
}

void ReportPassFailure(QWidget* parent, const QString& text, const QString& caption) {
  Dialogs().MessageBox(parent, text, caption, DialogService::Buttons::OkCancel,
                       DialogService::Icon::None);
}

ExtractionPass::ExtractionPass(TRTFchild& window)
    : window_(&window), editor_(*window.Edit()), dialog_(ProgressDialog()),
      choice_(GlobalExtractionChoice()), editorEdge_(editor_, LineEdge::Ends::Separated) {
  if (choice_.IsDefault()) {
    bytes_ = std::make_unique<RunScanner>(GlobalTextOptions(), static_cast<LineSink&>(*this));
    scanner_ = bytes_.get();
  } else {
    encoded_ =
        std::make_unique<EncodedLines>(GlobalTextOptions(), choice_, static_cast<LineSink&>(*this));
    scanner_ = &encoded_->Scanner();
  }
}

ExtractionPass::~ExtractionPass() {
  dialog_.hide();
  if (Alive()) {
    editor_.EndFill();
    window_->OutputFile().Close();
  }
}

bool ExtractionPass::Run(bool askOutput) {
  // From here on, events are pumped at least every kPumpMs; what the pass
  // does before its scan (opening the output, freeing the last result)
  // counts too.
  clock_.start();
  // The input is opened first, but an unreadable one is reported only after
  // the output file has been settled. A pipe or device is opened and read
  // without blocking, so that the program never waits on it unanswering. A
  // file that opens but whose bytes cannot be read is as unreadable as one
  // that does not open.
  InputFile input;
  bool readable = input.Open(window_->InputPath().toStdString(), InputFile::Waiting::InSlices);
  if (readable && !input.Probe()) {
    readable = false;
    input.Close();
  }
  const Flow settled = SettleOutput(askOutput);
  if (settled != Flow::Go)
    return settled != Flow::Gone;
  window_->RefreshCaption();
  if (!readable) {
    if (window_->WriteToFile())
      window_->OutputFile().Close();
    ReportPassFailure(window_, CouldntOpen(window_->InputFileName()),
                      QStringLiteral("Error reading file"));
    return Alive();
  }
  Flow scanned = Flow::Go;
  try {
    scanned = Scan(input);
  } catch (const std::bad_alloc&) {
    // Stopped as a Cancel stops it, with the lines it has.
    shortage_ = Shortage::Memory;
    scanned = Alive() ? Flow::NoRoom : Flow::Gone;
  }
  if (scanned == Flow::Gone)
    return false;
  input.Close();
  dialog_.hide();
  if (EndScan() == Flow::Gone)
    return false;
  if (shortage_ != Shortage::None)
    ReportShortage();
  return Alive();
}

void ExtractionPass::ReportShortage() {
  if (window_->WriteToFile()) {
    // The output file holds more than the editor: Save must never write
    // the part over the whole.
    window_->SetOutputFileName(QString());
    window_->SetWriteToFile(false);
    window_->RefreshCaption();
  }
  const QString what =
      shortage_ == Shortage::Disk ? QStringLiteral("disk space") : QStringLiteral("memory");
  Dialogs().MessageBox(window_,
                       QStringLiteral("Not enough %1 to hold the text of:\n").arg(what) +
                           window_->InputFileName() +
                           QStringLiteral("\nThe lines extracted so far are kept."),
                       QStringLiteral("Not enough %1").arg(what), DialogService::Buttons::Ok,
                       DialogService::Icon::None);
}

bool ExtractionPass::Holds(uint64_t bytes) {
  if (shortage_ != Shortage::None)
    return false;
  if (editor_.SpillError() != 0)
    shortage_ = Shortage::Disk;
  else if (!growth_.Allows(TextBudget::InMemoryShare(bytes)))
    shortage_ = Shortage::Memory;
  return shortage_ == Shortage::None;
}

ExtractionPass::Flow ExtractionPass::SettleOutput(bool askOutput) {
  const QString chosen = window_->ChooseOutput(askOutput);
  if (!Alive())
    return Flow::Gone;
  if (chosen.isEmpty()) {
    window_->SetOutputFileName(QString());
    window_->SetWriteToFile(false);
    return Flow::Go;
  }
  if (IsSameFile(NativeName(chosen), window_->InputPath().toStdString())) {
    // Opening it for writing would empty the input before it is read.
    ReportPassFailure(window_,
                      CouldntOpen(chosen) +
                          QStringLiteral("\nIt is the file being read, and would be emptied "
                                         "before it is read."),
                      QStringLiteral("Error writing file"));
    return Flow::Stop;
  }
  window_->SetOutputFileName(chosen);
  const std::string path = NativeName(chosen);
  const Helped<Opened> opened = WhilePumping<Opened>([path] {
    Opened result;
    result.fd = FileLineSink::OpenFile(path, result.error);
    return result;
  });
  if (opened.flow == Flow::Gone) {
    if (opened.result.fd >= 0)
      ::close(opened.result.fd);
    return Flow::Gone;
  }
  if (opened.result.fd < 0) {
    ReportPassFailure(window_, CouldntOpen(chosen), QStringLiteral("Error writing file"));
    return Flow::Stop;
  }
  window_->OutputFile().Adopt(opened.result.fd);
  window_->SetWriteToFile(true);
  return Flow::Go;
}

ExtractionPass::Flow ExtractionPass::Scan(InputFile& input) {
  const uint64_t size = input.Size();
  const uint64_t step = size / 25;
  // Under 25 bytes the step would be 0: the bar then moves one byte at a
  // time and still ends full. A stream of unknown size (0) never moves it.
  barStep_ = step != 0 ? step : (size != 0 ? 1 : 0);
  advances_ = 0;
  dialog_.From->setText(window_->InputFileName());
  dialog_.SetProgress(size, barStep_, 0);
  dialog_.show();

  ScanCancelled = false;
  // The last result is let go of before this pass makes its own, so that
  // its memory serves again, and on a thread of its own: handing 354 MiB
  // back to the system took 40 ms. What the heaps of the last pass's
  // threads kept goes back too: this pass's threads take from heaps of
  // their own, and a text at its memory budget would otherwise hold its
  // budget twice after Load again.
  TextBuffer last = editor_.TakeText();
  if (WhilePumping([&last] {
        last.Clear();
        malloc_trim(0);
      }) == Flow::Gone)
    return Flow::Gone;
  output_ = window_->WriteToFile() ? &window_->OutputFile() : nullptr;
  scanner_->ResetScanner();
  editor_.BeginFill();
  pending_.clear();
  fileEdge_.reset();
  partsOutput_.reset();
  partsFinished_ = false;
  partsError_ = 0;
  const unsigned cores = std::thread::hardware_concurrency();
  if (FileCuts::WorthCutting(input, cores))
    return ScanInParts(input, cores);
  return ScanFrom(input, 0);
}

ExtractionPass::Flow ExtractionPass::ScanFrom(InputFile& input, uint64_t start) {
  Flow flow = Flow::Go;
  if (encoded_)
    encoded_->SetBase(start);
  // The hook keeps the scan on this thread, where the options dialog
  // changes the limits.
  const ExtractResult result =
      ExtractLines(input, *scanner_, *this, [&](uint64_t examined, bool idle) {
        flow = Progress(start + examined, idle);
        return flow == Flow::Go;
      });
  if (flow == Flow::Gone)
    return flow;
  // A cancelled pass judges its open run as at the end of the input.
  if (result.stopped)
    scanner_->EmitRun();
  return flow;
}

ExtractionPass::Flow ExtractionPass::ScanInParts(InputFile& input, unsigned workers) {
  PartSlices parts(input, GlobalTextOptions(), choice_, workers);
  if (output_) {
    partsOutput_ =
        std::make_unique<PartsOutput>(*output_, [this](uint64_t bytes) { return Holds(bytes); });
    fileEdge_ = std::make_unique<LineEdge>(*partsOutput_, LineEdge::Ends::Terminated);
  }
  // The bar shows how far the lines are taken in, not how far the workers
  // have read ahead.
  uint64_t upTo = 0;
  bool checked = false; // the limits of part `index` were found to be the current ones
  for (std::size_t index = 0; index < parts.Count();) {
    PartSlice taken;
    switch (parts.Take(index, static_cast<int>(kPumpMs), taken)) {
    case PartSlices::Got::None:
      if (const Flow flow = Progress(upTo, true); flow != Flow::Go)
        return StopInParts(flow);
      parts.SetLimits(PartLimits::Of(GlobalTextOptions()));
      continue;
    case PartSlices::Got::Failed:
      shortage_ = Shortage::Memory;
      return StopInParts(Flow::NoRoom);
    case PartSlices::Got::Cancelled:
      return StopInParts(Flow::Stop);
    case PartSlices::Got::End:
      ++index;
      checked = false;
      if (const Flow flow = Progress(upTo, false); flow != Flow::Go)
        return StopInParts(flow);
      parts.SetLimits(PartLimits::Of(GlobalTextOptions()));
      continue;
    case PartSlices::Got::Item:
      break;
    }
    // Limits changed since this part began: the runs from here on are
    // judged by the new ones, in one piece on this thread.
    if (!checked && taken.limits != PartLimits::Of(GlobalTextOptions())) {
      parts.Cancel();
      if (partsOutput_) {
        // The lines from here on go to the file after those written so far.
        if (FinishWrites() == Flow::Gone)
          return Flow::Gone;
        partsOutput_->Forget();
      }
      InputFile rest;
      rest.OpenPart(input, taken.start, InputFile::kToEnd);
      return ScanFrom(rest, taken.start);
    }
    checked = true;
    if (taken.end) {
      // A pass in one piece stops at a read error too.
      if (taken.readError)
        return Flow::Stop;
      upTo = taken.stop;
      continue;
    }
    TakeSlice(std::move(taken.text), taken.midRun);
    // Writes far behind catch up first (events running): one that failed
    // stops the pass here, before the bar moves on.
    if (output_ && Checkpoint(Pumping::WhenDue) == Flow::Gone)
      return Flow::Gone;
    if (output_ && partsOutput_->Failed()) {
      partsOutput_->Forget(); // what was written is loaded, as in one piece
      return Flow::Stop;
    }
    upTo = taken.upTo;
    // A Cancel ends the pass after this slice.
    if (const Flow flow = Progress(upTo, false); flow != Flow::Go)
      return StopInParts(flow);
  }
  return Flow::Go;
}

void ExtractionPass::TakeSlice(TextBuffer&& slice, bool midRun) {
  if (output_) {
    fileEdge_->Slice(std::move(slice), midRun);
    // The file is written to its end; the editor holds what the disk took.
    if (partsOutput_->SpillError() != 0 && shortage_ == Shortage::None)
      shortage_ = Shortage::Disk;
  } else if (Holds(slice.Size()))
    editorEdge_.Slice(std::move(slice), midRun);
}

ExtractionPass::Flow ExtractionPass::StopInParts(Flow why) {
  if (why == Flow::Gone)
    return why;
  // Stopped after a slice that ends inside a run: the run is judged as at
  // the end of the input, and it is longer than MinChar, as it came in
  // pieces.
  (output_ ? *fileEdge_ : editorEdge_).Stop();
  return why;
}

ExtractionPass::Flow ExtractionPass::Progress(uint64_t examined, bool idle) {
  // The bar advances at the first byte and then each time the count reaches
  // a multiple of the step: min(count, 1 + count / step) times.
  if (barStep_ != 0) {
    for (const uint64_t due = std::min(examined, 1 + examined / barStep_); advances_ < due;
         ++advances_)
      dialog_.StepIt();
  }
  if (Checkpoint(idle ? Pumping::Now : Pumping::WhenDue) == Flow::Gone)
    return Flow::Gone;
  // What is left of the block is never examined after a Cancel, which may
  // also have come while a part's slices were taken over. Short of memory,
  // a pass into the editor stops; one into a file writes it to its end.
  if (ScanCancelled)
    return Flow::Stop;
  return shortage_ != Shortage::None && !output_ ? Flow::NoRoom : Flow::Go;
}

ExtractionPass::Flow ExtractionPass::EndScan() {
  AppendPending();
  int writeError = 0;
  if (window_->WriteToFile()) {
    if (FinishWrites() == Flow::Gone)
      return Flow::Gone;
    FileLineSink& output = window_->OutputFile();
    const int fd = output.Release();
    const Helped<int> closed =
        WhilePumping<int>([fd] { return fd < 0 || ::close(fd) == 0 ? 0 : errno; });
    if (closed.flow == Flow::Gone)
      return Flow::Gone;
    writeError = partsError_ != 0      ? partsError_
                 : output.Error() != 0 ? output.Error()
                                       : closed.result;
    // A device or a pipe chosen as the output has nothing to read back
    // (/dev/full would give zeros without end).
    if (IsRegularFile(NativeName(window_->OutputFileName()))) {
      // The text of a pass in parts is what was written: it is kept, not
      // read back.
      // Short of memory, what was kept is what the editor can hold.
      const bool kept =
          partsOutput_ && partsOutput_->State() != PartsOutput::Kept::None && writeError == 0;
      if ((kept ? TakeKept() : LoadOutputFile()) == Flow::Gone)
        return Flow::Gone;
    }
    partsOutput_.reset();
  }
  editor_.EndFill();
  editor_.GoTo(0);
  if (writeError != 0) {
    // What was written is loaded, but it is not the whole result.
    ReportPassFailure(
        window_,
        QStringLiteral("Couldn't write:\n%1\n%2. The file is incomplete.")
            .arg(window_->OutputFileName(), QString::fromLocal8Bit(std::strerror(writeError))),
        QStringLiteral("Error writing file"));
  }
  return Alive() ? Flow::Go : Flow::Gone;
}

ExtractionPass::Flow ExtractionPass::LoadOutputFile() {
  const QString name = window_->OutputFileName();
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly))
    throw std::runtime_error(
        QStringLiteral("Cannot open file %1: %2").arg(name, file.errorString()).toStdString());
  editor_.BeginFill();
  // The file's bytes as they are, NUL bytes included; a large result keeps
  // the program answering while it comes in, and stops where the memory
  // left would not hold more.
  try {
    while (Holds(kLoadChunk) && editor_.AppendFrom(file, kLoadChunk) > 0) {
      if (Checkpoint(Pumping::WhenDue) == Flow::Gone)
        return Flow::Gone;
    }
  } catch (const std::bad_alloc&) {
    shortage_ = Shortage::Memory;
  }
  return Flow::Go;
}

ExtractionPass::Flow ExtractionPass::TakeKept() {
  editor_.BeginFill();
  // Its chunks move over, not its bytes.
  editor_.AppendText(partsOutput_->TakeText());
  return Checkpoint(Pumping::WhenDue);
}

ExtractionPass::Flow ExtractionPass::WhilePumping(const std::function<void()>& call) {
  // The call is waited for even when the window goes meanwhile.
  Flow flow = Flow::Go;
  RunWhilePumping(
      call,
      [&] {
        if (Checkpoint(Pumping::Now) == Flow::Gone)
          flow = Flow::Gone;
      },
      kPumpMs);
  return flow;
}

template <class Result>
ExtractionPass::Helped<Result> ExtractionPass::WhilePumping(const std::function<Result()>& call) {
  Result result{};
  const Flow flow = WhilePumping(std::function<void()>([&] { result = call(); }));
  return {result, flow};
}

bool ExtractionPass::WritesBehind() const {
  return editor_.SpillBehind() ||
         (partsOutput_ && (partsOutput_->SpillBehind() || partsOutput_->WritesBehind()));
}

ExtractionPass::Flow ExtractionPass::FinishWrites() {
  if (!partsOutput_ || partsFinished_)
    return Flow::Go;
  partsFinished_ = true;
  PartsOutput* const parts = partsOutput_.get();
  const Helped<int> finished = WhilePumping<int>([parts] { return parts->Finish(); });
  if (partsError_ == 0)
    partsError_ = finished.result;
  return finished.flow;
}

ExtractionPass::Flow ExtractionPass::Checkpoint(Pumping when) {
  // The text grows no further while its writes to disk are far behind:
  // events run meanwhile.
  while (Alive() && WritesBehind()) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (!Alive())
      break;
    editor_.CollectSpilled();
    if (partsOutput_)
      partsOutput_->CollectSpilled();
  }
  if (when == Pumping::WhenDue && clock_.elapsed() < kPumpMs)
    return Flow::Go;
  clock_.restart();
  // Once gone, nothing of the window may be touched, the editor included.
  if (!Alive())
    return Flow::Gone;
  AppendPending();
  QCoreApplication::processEvents();
  return Alive() ? Flow::Go : Flow::Gone;
}

void ExtractionPass::Line(const char* data, std::size_t length, uint64_t /*offset*/) {
  if (output_) {
    output_->Line(data, length);
    return;
  }
  if (shortage_ != Shortage::None)
    return;
  pending_.append(data, length);
  pending_.push_back('\n');
}

void ExtractionPass::Lines(const char* data, std::size_t length, uint64_t offset) {
  if (output_) {
    output_->Lines(data, length, offset);
    return;
  }
  if (shortage_ != Shortage::None)
    return;
  pending_.append(data, length);
}

bool ExtractionPass::TakesPieces() const {
  return output_ == nullptr || output_->CanTakeBack();
}

void ExtractionPass::Piece(const char* data, std::size_t length, uint64_t offset) {
  if (output_) {
    output_->Piece(data, length, offset);
    return;
  }
  if (!Holds(length))
    return;
  AppendPending(); // the lines before the run go before it
  // Straight into the editor: a long run is copied once, not first into
  // the pending lines (which would grow to its size) and then again.
  editorEdge_.Piece(data, length);
}

void ExtractionPass::EndPieces() {
  if (output_)
    output_->EndPieces();
  else
    editorEdge_.KeepPieces();
}

void ExtractionPass::DropPieces() {
  if (output_)
    output_->DropPieces();
  else
    editorEdge_.DropPieces(); // wherever the user's edits have moved them
}

bool ExtractionPass::Failed() const {
  return output_ && output_->Failed();
}

void ExtractionPass::AppendPending() {
  if (!pending_.empty() && Holds(pending_.size()))
    editorEdge_.Lines(pending_.data(), pending_.size());
  pending_.clear();
}
