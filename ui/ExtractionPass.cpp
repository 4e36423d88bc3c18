#include "ui/ExtractionPass.h"

#include "extract/FileExtractor.h"
#include "extract/FileKind.h"
#include "extract/InputFile.h"
#include "settings/TextOptions.h"
#include "ui/DialogService.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

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
      scanner_(GlobalTextOptions(), *this) {}

ExtractionPass::~ExtractionPass() {
  dialog_.hide();
  if (Alive()) {
    editor_.EndFill();
    window_->OutputFile().Close();
  }
}

bool ExtractionPass::Run(bool askOutput) {
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
  if (!SettleOutput(askOutput))
    return Alive();
  window_->RefreshCaption();
  if (!readable) {
    if (window_->WriteToFile())
      window_->OutputFile().Close();
    ReportPassFailure(window_, CouldntOpen(window_->InputFileName()),
                      QStringLiteral("Error reading file"));
    return Alive();
  }
  if (!Scan(input))
    return false;
  input.Close();
  dialog_.hide();
  return EndScan();
}

bool ExtractionPass::SettleOutput(bool askOutput) {
  const QString chosen = window_->ChooseOutput(askOutput);
  if (!Alive())
    return false;
  if (chosen.isEmpty()) {
    window_->SetOutputFileName(QString());
    window_->SetWriteToFile(false);
    return true;
  }
  if (IsSameFile(NativeName(chosen), window_->InputPath().toStdString())) {
    // Opening it for writing would empty the input before it is read.
    ReportPassFailure(window_,
                      CouldntOpen(chosen) +
                          QStringLiteral("\nIt is the file being read, and would be emptied "
                                         "before it is read."),
                      QStringLiteral("Error writing file"));
    return false;
  }
  window_->SetOutputFileName(chosen);
  if (!window_->OutputFile().Open(NativeName(chosen))) {
    ReportPassFailure(window_, CouldntOpen(chosen), QStringLiteral("Error writing file"));
    return false;
  }
  window_->SetWriteToFile(true);
  return true;
}

bool ExtractionPass::Scan(InputFile& input) {
  const uint64_t size = input.Size();
  const uint64_t step = size / 25;
  // Under 25 bytes the step would be 0: the bar then moves one byte at a
  // time and still ends full. A stream of unknown size (0) never moves it.
  const uint64_t barStep = step != 0 ? step : (size != 0 ? 1 : 0);
  dialog_.From->setText(window_->InputFileName());
  dialog_.SetProgress(size, barStep, 0);
  dialog_.show();

  ScanCancelled = false;
  output_ = window_->WriteToFile() ? &window_->OutputFile() : nullptr;
  inPieces_ = false;
  scanner_.ResetScanner();
  editor_.BeginFill();
  pending_.clear();

  uint64_t advances = 0;
  bool gone = false;
  QElapsedTimer clock;
  clock.start();
  const ExtractResult result =
      ExtractLines(input, scanner_, *this, [&](uint64_t examined, bool idle) {
        // The bar advances at the first byte and then each time the count
        // reaches a multiple of the step: min(count, 1 + count / step) times.
        if (barStep != 0) {
          for (const uint64_t due = std::min(examined, 1 + examined / barStep); advances < due;
               ++advances)
            dialog_.StepIt();
        }
        if (!idle && clock.elapsed() < kPumpMs)
          return true;
        gone = !Pump();
        clock.restart();
        // What is left of the block is never examined after a Cancel.
        return !gone && !ScanCancelled;
      });
  if (gone)
    return false;
  // A cancelled pass judges its open run as at the end of the input.
  if (result.stopped)
    scanner_.EmitRun();
  return true;
}

bool ExtractionPass::EndScan() {
  AppendPending();
  int writeError = 0;
  if (window_->WriteToFile()) {
    FileLineSink& output = window_->OutputFile();
    if (!output.Close())
      writeError = output.Error() != 0 ? output.Error() : EIO;
    // A device or a pipe chosen as the output has nothing to read back
    // (/dev/full would give zeros without end).
    if (IsRegularFile(NativeName(window_->OutputFileName())) && !LoadOutputFile())
      return false;
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
  return Alive();
}

bool ExtractionPass::LoadOutputFile() {
  const QString name = window_->OutputFileName();
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly))
    throw std::runtime_error(
        QStringLiteral("Cannot open file %1: %2").arg(name, file.errorString()).toStdString());
  editor_.BeginFill();
  // Room for the whole file at once, then a pump: the move and the loading
  // are separate stretches of work.
  const qint64 size = file.size();
  editor_.MakeExactRoom(static_cast<uint64_t>(std::max<qint64>(size, 0)));
  if (size > kLoadChunk && !Pump())
    return false;
  // The file's bytes as they are, NUL bytes included; a large result keeps
  // the program answering while it comes in.
  QElapsedTimer clock;
  clock.start();
  while (editor_.AppendFrom(file, kLoadChunk) > 0) {
    if (clock.elapsed() < kPumpMs)
      continue;
    if (!Pump())
      return false;
    clock.restart();
  }
  return true;
}

bool ExtractionPass::Pump() {
  // Moving a large buffer takes a while of its own: the events get their
  // turn just before it and just after it, so that it stands alone.
  if (editor_.RoomNeeded(pending_.size())) {
    QCoreApplication::processEvents();
    if (!Alive())
      return false;
    editor_.MakeRoom(pending_.size());
    QCoreApplication::processEvents();
    if (!Alive())
      return false;
  }
  AppendPending();
  QCoreApplication::processEvents();
  return Alive();
}

void ExtractionPass::Line(const char* data, std::size_t length, uint64_t /*offset*/) {
  if (output_) {
    output_->Line(data, length);
    return;
  }
  // As lines appended to the editor one by one: the first line of an empty
  // editor has no line break before it, every later line has one.
  if (!pending_.empty() || editor_.Length() > 0)
    pending_.push_back('\n');
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
  if (!inPieces_) {
    inPieces_ = true;
    pieceBytes_ = 0;
    if (!pending_.empty() || editor_.Length() > 0) {
      pending_.push_back('\n');
      pieceBytes_ = 1;
    }
    AppendPending();
  }
  // Straight into the editor: a long run is copied once, not first into
  // the pending lines (which would grow to its size) and then again.
  editor_.Append(data, length);
  pieceBytes_ += length;
}

void ExtractionPass::EndPieces() {
  inPieces_ = false;
  if (output_)
    output_->EndPieces();
}

void ExtractionPass::DropPieces() {
  inPieces_ = false;
  if (output_) {
    output_->DropPieces();
    return;
  }
  // The pieces, and the line break before them, are all in the editor.
  editor_.TakeBack(static_cast<int64_t>(pieceBytes_));
}

bool ExtractionPass::Failed() const {
  return output_ && output_->Failed();
}

void ExtractionPass::AppendPending() {
  editor_.Append(pending_.data(), pending_.size());
  pending_.clear();
}
