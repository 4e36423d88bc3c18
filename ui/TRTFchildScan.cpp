// The extraction pass of a document window, and the one-at-a-time order
// of the passes of all windows.
#include "ui/TRTFchild.h"

#include "extract/FileExtractor.h"
#include "extract/InputFile.h"
#include "ui/DialogService.h"
#include "ui/TScanDlg.h"
#include "ui/UnrecordedEdit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <Qsci/qsciscintilla.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

// Bytes read from the input at a time, and scanned between two looks at
// the clock. Events are pumped as soon as kPumpMs of work have gone by, and
// after a short read, before the next read may wait for a pipe or device.

constexpr qint64 kPumpMs = 10;
constexpr qint64 kLoadChunk = 1 << 20;

// Only one pass runs at a time; passes asked for meanwhile wait here.
TRTFchild* runningPass = nullptr;
std::deque<std::pair<QPointer<TRTFchild>, bool>> waitingPasses;

bool IsWaiting(const TRTFchild* window) {
  return std::any_of(waitingPasses.begin(), waitingPasses.end(),
                     [window](const auto& entry) { return entry.first == window; });
}

void StartNextPass() {
  while (!runningPass && !waitingPasses.empty()) {
    auto [window, askOutput] = waitingPasses.front();
    waitingPasses.pop_front();
    if (window)
      window->ScanFile(askOutput);
  }
}

// Started from the event loop, so that a waiting pass never runs inside
// the stack of the pass that ended.
void ScheduleNextPass() {
  if (!waitingPasses.empty())
    QTimer::singleShot(0, QCoreApplication::instance(), &StartNextPass);
}

std::string NativeName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

bool IsRegularFile(const QString& name) {
  struct stat st {};
  return ::stat(NativeName(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSameFile(const std::string& a, const QByteArray& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

QString CouldntOpen(const QString& name) {
  return QStringLiteral("Couldn't open:\n") + name;
}

void ReportFailure(QWidget* parent, const QString& text, const QString& caption) {
  // The answer is not used: either button ends the pass.
  Dialogs().MessageBox(parent, text, caption, DialogService::Buttons::OkCancel,
                       DialogService::Icon::None);
}

} // namespace

bool TRTFchild::IsScanning() const {
  return runningPass == this || IsWaiting(this);
}

bool TRTFchild::AnyPassRunning() {
  return runningPass != nullptr;
}

bool TRTFchild::PassRunning() const {
  return runningPass == this;
}

void TRTFchild::LeaveQueue() {
  waitingPasses.erase(std::remove_if(waitingPasses.begin(), waitingPasses.end(),
                                     [this](const auto& entry) {
                                       return entry.first.isNull() || entry.first == this;
                                     }),
                      waitingPasses.end());
}

TScanDlg& TRTFchild::Dialog() {
  if (!ScanDlg)
    ScanDlg = new TScanDlg();
  return *ScanDlg;
}

void TRTFchild::ScanFile(bool askOutput) {
  // Load again while this window's pass runs or waits does nothing.
  if (IsScanning())
    return;
  if (runningPass) {
    waitingPasses.emplace_back(this, askOutput);
    return;
  }
  runningPass = this;
  QPointer<TRTFchild> self(this);
  bool alive = false;
  try {
    alive = RunPass(askOutput);
  } catch (...) {
    // Leave the window and the order of passes sound, then let the error
    // reach the standard error box.
    runningPass = nullptr;
    if (ScanDlg)
      ScanDlg->hide();
    if (self) {
      EndFill();
      OutputFile.Close();
      closeAfterPass_ = false;
    }
    ScheduleNextPass();
    throw;
  }
  runningPass = nullptr;
  ScheduleNextPass();
  if (!alive || !self)
    return;
  emit ScanFinished();
  if (self && closeAfterPass_) {
    closeAfterPass_ = false;
    QMetaObject::invokeMethod(this, &TRTFchild::CloseWindow, Qt::QueuedConnection);
  }
}

bool TRTFchild::RunPass(bool askOutput) {
  QPointer<TRTFchild> self(this);

  // The input is opened first, but an unreadable one is reported only after
  // the output file has been settled. A pipe or device is opened and read
  // without blocking, so that the program never waits on it unanswering. A
  // file that opens but whose bytes cannot be read is as unreadable as one
  // that does not open.
  InputFile input;
  bool inputReadable = input.Open(inputPath_.toStdString(), InputFile::Waiting::InSlices);
  if (inputReadable && !input.Probe()) {
    inputReadable = false;
    input.Close();
  }

  SaveDialogName = OutputFileName;
  QString chosen;
  if (askOutput) {
    chosen = Dialogs().GetSaveFileName(this, SaveDialogName, QStringLiteral("All files (*)"),
                                       QStringLiteral("txt"));
    if (!self)
      return false;
  }
  if (!chosen.isEmpty()) {
    SaveDialogName = chosen;
    if (IsSameFile(NativeName(chosen), inputPath_)) {
      // Opening it for writing would empty the input before it is read.
      ReportFailure(this,
                    CouldntOpen(chosen) +
                        QStringLiteral("\nIt is the file being read, and would be emptied "
                                       "before it is read."),
                    QStringLiteral("Error writing file"));
      return !self.isNull();
    }
    OutputFileName = chosen;
    if (!OutputFile.Open(NativeName(OutputFileName))) {
      input.Close();
      ReportFailure(this, CouldntOpen(OutputFileName), QStringLiteral("Error writing file"));
      return !self.isNull();
    }
    WriteToFile = true;
  } else {
    OutputFileName.clear();
    WriteToFile = false;
  }
  RefreshCaption();

  if (!inputReadable) {
    if (WriteToFile)
      OutputFile.Close();
    ReportFailure(this, CouldntOpen(inputName_), QStringLiteral("Error reading file"));
    return !self.isNull();
  }

  const uint64_t size = input.Size();
  const uint64_t step = size / 25;
  // Under 25 bytes the step would be 0: the bar then moves one byte at a
  // time and still ends full. A stream of unknown size (0) never moves it.
  const uint64_t barStep = step != 0 ? step : (size != 0 ? 1 : 0);
  TScanDlg& dialog = Dialog();
  dialog.From->setText(inputName_);
  dialog.SetProgress(size, barStep, 0);
  dialog.show();

  ScanCancelled = false;
  Scanner.ResetScanner();
  BeginFill();

  uint64_t advances = 0;
  bool windowGone = false;
  QElapsedTimer clock;
  clock.start();
  const ExtractResult result =
      ExtractLines(input, Scanner, *this, [&](uint64_t examined, bool idle) {
        // The bar advances at the first byte and then each time the count
        // reaches a multiple of the step: min(count, 1 + count / step) times.
        if (barStep != 0) {
          const uint64_t due = std::min(examined, 1 + examined / barStep);
          for (; advances < due; ++advances)
            dialog.StepIt();
        }
        if (!idle && clock.elapsed() < kPumpMs)
          return true;
        if (!Pump()) {
          windowGone = true;
          return false;
        }
        clock.restart();
        // What is left of the block is never examined after a Cancel.
        return !ScanCancelled;
      });
  if (windowGone)
    return false;
  // A cancelled pass judges its open run as at the end of the input.
  if (result.stopped)
    Scanner.EmitRun();

  input.Close();
  dialog.hide();
  return EndScan();
}

bool TRTFchild::EndScan() {
  AppendPending();
  int writeError = 0;
  if (WriteToFile) {
    if (!OutputFile.Close())
      writeError = OutputFile.Error() != 0 ? OutputFile.Error() : EIO;
    // A device or a pipe chosen as the output has nothing to read back
    // (/dev/full would give zeros without end).
    if (IsRegularFile(OutputFileName) && !LoadFileIntoEditor(OutputFileName))
      return false;
  }
  EndFill();
  Edit->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0UL);
  EditSelectionChange();
  if (writeError != 0) {
    // What was written is loaded, but it is not the whole result.
    ReportFailure(this,
                  QStringLiteral("Couldn't write:\n%1\n%2. The file is incomplete.")
                      .arg(OutputFileName, QString::fromLocal8Bit(std::strerror(writeError))),
                  QStringLiteral("Error writing file"));
  }
  return true;
}

bool TRTFchild::Pump() {
  QPointer<TRTFchild> self(this);
  // Moving a large buffer takes a while of its own: the events get their
  // turn just before it and just after it, so that it stands alone.
  if (RoomNeeded(pending_.size())) {
    QCoreApplication::processEvents();
    if (!self)
      return false;
    ReserveFor(pending_.size());
    QCoreApplication::processEvents();
    if (!self)
      return false;
  }
  AppendPending();
  QCoreApplication::processEvents();
  return !self.isNull();
}

bool TRTFchild::RoomNeeded(uint64_t more) const {
  const auto length = static_cast<uint64_t>(Edit->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
  return more != 0 && length + more + 1 > reserved_;
}

void TRTFchild::ReserveFor(uint64_t more) {
  const auto length = static_cast<uint64_t>(Edit->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
  const uint64_t need = length + more + 1;
  // Half as much again: few moves, and at most half the text unused.
  reserved_ = need + need / 2;
  Edit->SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(reserved_));
}

void TRTFchild::Line(const char* data, std::size_t length) {
  if (WriteToFile) {
    OutputFile.Line(data, length);
    return;
  }
  // As lines appended to the editor one by one: the first line of an empty
  // editor has no line break before it, every later line has one.
  if (!pending_.empty() || Edit->SendScintilla(QsciScintillaBase::SCI_GETLENGTH) > 0)
    pending_.push_back('\n');
  pending_.append(data, length);
}

void TRTFchild::AppendPending() {
  if (pending_.empty())
    return;
  Edit->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT,
                      static_cast<unsigned long>(pending_.size()), pending_.data());
  pending_.clear();
}

void TRTFchild::BeginFill() {
  // The text a pass puts here is not an edit, and notifying every change
  // would cost seconds on a large result.
  if (!fill_)
    fill_ = std::make_unique<UnrecordedEdit>(Edit, true);
  Edit->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
  reserved_ = 0;
  pending_.clear();
}

void TRTFchild::EndFill() {
  if (!fill_)
    return;
  pending_.clear();
  pending_.shrink_to_fit();
  fill_.reset();
  Edit->SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
}

bool TRTFchild::LoadFileIntoEditor(const QString& name) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly))
    throw std::runtime_error(
        QStringLiteral("Cannot open file %1: %2").arg(name, file.errorString()).toStdString());
  Edit->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
  // Room for the whole file at once, then a pump: the move and the loading
  // are separate stretches of work.
  const qint64 size = file.size();
  reserved_ = static_cast<uint64_t>(std::max<qint64>(size, 0)) + 1;
  Edit->SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(reserved_));
  if (size > kLoadChunk && !Pump())
    return false;
  // The file's bytes as they are, NUL bytes included.
  std::vector<char> chunk(static_cast<std::size_t>(kLoadChunk));
  for (;;) {
    const qint64 got = file.read(chunk.data(), kLoadChunk);
    if (got < 0)
      throw std::runtime_error(
          QStringLiteral("Cannot read file %1: %2").arg(name, file.errorString()).toStdString());
    if (got == 0)
      break;
    Edit->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(got),
                        chunk.data());
    // A large result keeps the program answering while it comes in.
    if (!Pump())
      return false;
  }
  return true;
}
