// One extraction pass into a document window, timed from ScanFile to the
// caret at the start, next to GNU strings and siftwell-extract with the same
// options (those of GNU strings -a -n 5) over the same file in the same run;
// each the best of three.
// Also the longest gap between two event pumps, in editor and in file mode;
// then, with the result in the window, the keys and commands a user reaches
// for first (each with its repaint), a Find Next of a needle that occurs
// only at the end, Copy of everything and the bytes a pasting program would
// take; and the peak memory of each mode. Run it in a real window (under X)
// for the figures that count: bench/bench_pass.sh does, over every input.
//
//   bench_pass INPUT NEEDLE [SIFTWELL_EXTRACT [editor|file|pass|file-pass|...]]
// Each mode alone (the default is both) has a peak memory of its own; "pass"
// and "file-pass" are the editor's and file mode's pass alone, without peers
// or commands, for a profiler; "file-commands" is file mode with the
// commands after its pass too; "encodings" is the editor's pass over 8-bit
// and UTF-16LE text with offsets.
#include "editor/TextView.h"
#include "extract/ExtractionChoice.h"
#include "settings/TextOptions.h"
#include "ui/DialogService.h"
#include "ui/FindReplaceController.h"
#include "ui/TFindDialog.h"
#include "ui/TRTFchild.h"
#include "ui/TReplaceDialog.h"
#include "ui/TextEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Answers the save dialog with the output file; no other dialog is expected.
class BenchDialogs : public DialogService {
public:
  QString output;
  int messages = 0;
  Answer MessageBox(QWidget*, const QString& text, const QString&, Buttons, Icon) override {
    ++messages;
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return Answer::Ok;
  }
  QString GetOpenFileName(QWidget*, const QString&) override { return QString(); }
  QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return output;
  }
  bool ExecPrintDialog(QWidget*, QPrinter*) override { return false; }
  bool ExecPrintSetupDialog(QWidget*, QPrinter*) override { return false; }
};

double Seconds(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

// Seconds of one run of `program` with its output in `output`; -1 when it
// failed.
double Run(const QString& program, const QStringList& arguments, const QString& output) {
  // Each run starts with no dirty pages of an earlier one still to be
  // written back: the write-back of the output files before it would
  // otherwise slow it down.
  ::sync();
  QProcess process;
  process.setStandardOutputFile(output);
  QElapsedTimer t;
  t.start();
  process.start(program, arguments);
  process.waitForFinished(-1);
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? Seconds(t)
                                                                                 : -1.0;
}

// The best of three: the figure of the machine when nothing else ran.
double Best(const QString& program, const QStringList& arguments, const QString& output) {
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = Run(program, arguments, output);
    best = best < 0 ? s : std::min(best, s);
  }
  return best;
}

long StatusMiB(const char* key) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly))
    return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(key))
      return line.mid(static_cast<qsizetype>(std::strlen(key))).trimmed().split(' ')[0].toLong() /
             1024;
  return -1;
}

long PeakMiB() {
  return StatusMiB("VmHWM:");
}

// Writing 5 to clear_refs sets the peak back to what is resident now.
void ResetPeak() {
  QFile refs(QStringLiteral("/proc/self/clear_refs"));
  if (refs.open(QIODevice::WriteOnly))
    refs.write("5");
}

double Msecs(const std::function<void()>& work) {
  QElapsedTimer t;
  t.start();
  work();
  return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void Press(QWidget* view, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(view, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods);
  QApplication::sendEvent(view, &release);
}

bool SameFiles(const QString& one, const QString& other) {
  QFile a(one), b(other);
  if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
    return false;
  for (;;) {
    const QByteArray x = a.read(8 << 20), y = b.read(8 << 20);
    if (x != y)
      return false;
    if (x.isEmpty())
      return true;
  }
}

struct PassFigures {
  double seconds = 0;
  double longestGapMs = 0;
  double cpuSeconds = 0;
  long textBytes = 0;
  bool caretAtStart = false;
};

// Times one pass; a zero timer fires at every pump, so the longest time
// between two of its firings is the longest stretch without one.
PassFigures TimePass(TRTFchild& window, bool askOutput) {
  PassFigures figures;
  QElapsedTimer sinceLast;
  QTimer pumpProbe;
  pumpProbe.setInterval(0);
  QObject::connect(&pumpProbe, &QTimer::timeout, [&] {
    figures.longestGapMs =
        std::max(figures.longestGapMs, static_cast<double>(sinceLast.nsecsElapsed()) / 1e6);
    sinceLast.restart();
  });
  pumpProbe.start();
  ::sync(); // as before each peer's run
  QElapsedTimer t;
  t.start();
  sinceLast.start();
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  window.ScanFile(askOutput);
  figures.seconds = Seconds(t);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  const auto cpu = [](const rusage& r) {
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
  };
  figures.cpuSeconds = cpu(after) - cpu(before);
  figures.longestGapMs =
      std::max(figures.longestGapMs, static_cast<double>(sinceLast.nsecsElapsed()) / 1e6);
  pumpProbe.stop();
  figures.textBytes = window.Edit()->Length();
  figures.caretAtStart = window.Edit()->Caret() == 0;
  return figures;
}

// The pass timed as its peers are, the best of three; the longest gap is the
// longest of all three.
PassFigures BestPass(TRTFchild& window, bool askOutput) {
  PassFigures best = TimePass(window, askOutput);
  for (int i = 1; i < 3; ++i) {
    const PassFigures next = TimePass(window, askOutput);
    const double longestGapMs = std::max(best.longestGapMs, next.longestGapMs);
    if (next.seconds < best.seconds)
      best = next;
    best.longestGapMs = longestGapMs;
  }
  return best;
}

// A pass's time and rate; beside its peers' times unless none ran (0).
void PrintPass(const char* what, double seconds, double inputMB, double extract, double strings) {
  std::printf("%-44s %8.3f s  (%.0f MB/s", what, seconds, inputMB / seconds);
  if (extract > 0)
    std::printf("; %.2f x siftwell-extract, %.3f x GNU strings", seconds / extract,
                seconds / strings);
  std::printf(")\n");
}

void PrintPeak(const char* what, long peak, double textMiB) {
  std::printf("  %-42s %8ld MiB  (goal: at most 1.25 x text + 100 = %.0f MiB)\n", what, peak,
              1.25 * textMiB + 100);
}

// Whether `saved` is `lines` (lines each ended by LF) with CR LF line ends,
// the last line's end left out unless `lastEnded` (the editor leaves it out;
// a file loaded after a pass has it).
bool SameWithCrLf(const QString& saved, const QString& lines, bool lastEnded) {
  QFile a(saved), b(lines);
  if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
    return false;
  QByteArray expected;
  for (;;) {
    QByteArray block = b.read(8 << 20);
    if (block.isEmpty())
      break;
    if (!lastEnded && b.atEnd() && block.endsWith('\n'))
      block.chop(1);
    block.replace("\n", "\r\n");
    if (a.read(block.size()) != block)
      return false;
  }
  return a.atEnd();
}

// Writes `bytes` to a new file at `path` and syncs it.
void WriteAndSync(const QString& path, qint64 bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly))
    return;
  const QByteArray block(1 << 20, 'x');
  for (qint64 left = bytes; left > 0; left -= block.size())
    file.write(block.constData(), std::min<qint64>(left, block.size()));
  file.flush();
  ::fdatasync(file.handle());
}

// With the result in the window: what a user does first, each timed with
// the repaint it causes; then Save As (into `saved`, beside `lines`, the
// extractor's output) and the bytes a pasting program would take.
void TimeCommands(TRTFchild& window, BenchDialogs& dialogs, const QString& needle, double textMiB,
                  const QString& saved, const QString& lines, bool lastEnded) {
  auto* view = window.Edit()->findChild<TextView*>();
  const auto paint = [view] { view->viewport()->repaint(); };
  const auto line = [](const char* what, double ms) {
    std::printf("  %-42s %8.2f ms\n", what, ms);
  };
  line("repaint", Msecs(paint));
  line("Ctrl+End", Msecs([&] { Press(view, Qt::Key_End, Qt::ControlModifier), paint(); }));
  Press(view, Qt::Key_Home, Qt::ControlModifier);
  line("End (of the first line)", Msecs([&] { Press(view, Qt::Key_End), paint(); }));
  Press(view, Qt::Key_Home, Qt::ControlModifier);
  line("PageDown", Msecs([&] { Press(view, Qt::Key_PageDown), paint(); }));
  line("Select all", Msecs([&] { window.EditSelectAllItemClick(), paint(); }));
  line("repaint with everything selected", Msecs(paint));
  line("Copy of everything", Msecs([&] { window.EditCopyItemClick(); }));
  LastSearch().Text = needle;
  LastSearch().Options.MatchCase = true;
  LastSearch().Options.WholeWord = false;
  window.Edit()->GoTo(0);
  const double findMs = Msecs([&] { window.FindDialogFind(), paint(); });
  const bool found = window.Edit()->SelectionStart() + needle.size() + 1 >= window.Edit()->Length();
  std::printf("  %-42s %8.2f ms  (%.2f GB/s; found at the end: %s)\n",
              "Find Next of a needle at the end", findMs,
              textMiB * (1 << 20) / 1e9 / (findMs / 1e3), found ? "yes" : "NO");
  PrintPeak("peak resident memory, pass to Copy and Find", PeakMiB(), textMiB);
  // The deleted text is kept for Undo and comes back from it: neither may
  // cost a second copy of the text.
  const int64_t length = window.Edit()->Length();
  line("Select all, a letter, Undo", Msecs([&] {
         window.EditSelectAllItemClick();
         Press(view, Qt::Key_X);
         window.EditUndoItemClick();
         paint();
       }));
  std::printf(
      "  %-42s %8ld MiB  (text back whole: %s; goal: at most 1.1 x text + 100 = %.0f MiB)\n",
      "  resident after it", StatusMiB("VmRSS:"), window.Edit()->Length() == length ? "yes" : "NO",
      1.1 * textMiB + 100);
  PrintPeak("peak resident memory, to Undo", PeakMiB(), textMiB);
  dialogs.output = saved;
  ::sync();
  const double saveMs = Msecs([&] { window.FileSaveAsItemClick(); });
  std::printf("  %-42s %8.2f ms  (%.0f MB/s; equal to siftwell-extract's with CR LF: %s)\n",
              "Save As", saveMs,
              static_cast<double>(QFileInfo(saved).size()) / 1e6 / (saveMs / 1e3),
              SameWithCrLf(saved, lines, lastEnded) ? "yes" : "NO");
  // The disk's own pace, the peer of Save As: as many bytes written and
  // synced, with nothing to convert.
  const qint64 savedBytes = QFileInfo(saved).size();
  QFile::remove(saved);
  ::sync();
  const double diskMs = Msecs([&] { WriteAndSync(saved, savedBytes); });
  std::printf("  %-42s %8.2f ms  (%.0f MB/s)\n", "  the disk: as many bytes written, synced",
              diskMs, static_cast<double>(savedBytes) / 1e6 / (diskMs / 1e3));
  QFile::remove(saved);
  qsizetype pasted = 0;
  line("  the bytes a pasting program takes", Msecs([&] {
         const QMimeData* data = QApplication::clipboard()->mimeData();
         pasted = data ? data->data(QStringLiteral("text/plain")).size() : 0;
       }));
  std::printf("  %-42s %8.1f MiB\n", "    of which there are",
              static_cast<double>(pasted) / (1 << 20));
}

void EditorMode(const QString& input, BenchDialogs& dialogs, const QString& needle, double inputMB,
                double stringsNull, double extractNull, double extractFile, bool passOnly,
                const QString& lines) {
  ResetPeak();
  const long before = StatusMiB("VmRSS:");
  auto* window = new TRTFchild;
  window->resize(800, 600);
  window->show();
  window->OpenInput(input);
  const PassFigures editor = BestPass(*window, false);
  const double textMiB = static_cast<double>(editor.textBytes) / (1 << 20);
  PrintPass("pass into the editor, ScanFile to caret at 0", editor.seconds, inputMB, extractNull,
            stringsNull);
  // The extractor writing its lines to a file pays for the page cache as the
  // window pays for the memory and the spill file of its text.
  if (extractFile > 0)
    std::printf("  %-42s %8.2f x\n", "against siftwell-extract > file",
                editor.seconds / extractFile);
  std::printf("  %-42s %8.1f ms\n", "longest gap between two event pumps", editor.longestGapMs);
  std::printf("  %-42s %8.3f s\n", "CPU time of the pass, all threads", editor.cpuSeconds);
  std::printf("  %-42s %8.1f MiB (caret at 0: %s)\n", "extracted text", textMiB,
              editor.caretAtStart ? "yes" : "NO");
  if (!passOnly)
    TimeCommands(*window, dialogs, needle, textMiB, input + QStringLiteral(".saved.txt"), lines,
                 false);
  PrintPeak("peak with a paste and the search too", PeakMiB(), textMiB);
  std::printf("  %-42s %8ld MiB\n", "  resident before the window", before);
  std::printf("  %-42s %8.2f ms\n", "closing the window", Msecs([&] { delete window; }));
}

void FileMode(const QString& input, BenchDialogs& dialogs, double inputMB, double stringsFile,
              double extractFile, const QString& stringsOut, const QString& passOut,
              const QString& needle, bool withCommands) {
  ResetPeak();
  const bool peers = extractFile > 0; // none for a profiler's run
  if (peers) {
    std::printf("%-44s %8.3f s\n", "GNU strings -a -n 5 > file", stringsFile);
    std::printf("%-44s %8.3f s\n", "siftwell-extract, same options > file", extractFile);
  }
  auto* window = new TRTFchild;
  window->resize(800, 600);
  window->show();
  window->OpenInput(input);
  dialogs.output = passOut;
  const PassFigures file = BestPass(*window, true);
  const double textMiB = static_cast<double>(file.textBytes) / (1 << 20);
  PrintPass("pass into a file, then loaded", file.seconds, inputMB, extractFile, stringsFile);
  std::printf("  %-42s %8.1f ms\n", "longest gap between two event pumps", file.longestGapMs);
  std::printf("  %-42s %8.3f s\n", "CPU time of the pass, all threads", file.cpuSeconds);
  if (peers)
    std::printf("  %-42s %8s\n", "output file equal to GNU strings' output",
                SameFiles(stringsOut, passOut) ? "yes" : "NO");
  PrintPeak("peak resident memory in file mode", PeakMiB(), textMiB);
  if (withCommands)
    TimeCommands(*window, dialogs, needle, textMiB, input + QStringLiteral(".saved.txt"), passOut,
                 true);
  delete window;
}

// The window's pass over 8-bit and UTF-16LE text with hexadecimal offsets,
// beside siftwell-extract with the same options (and GNU strings over the
// UTF-16LE text alone, for scale), each to /dev/null.
void EncodingsMode(const QString& input, BenchDialogs& dialogs, const QString& needle,
                   double inputMB, const QString& extract, QStringList extractArgs) {
  const QString null = QStringLiteral("/dev/null");
  extractArgs.insert(extractArgs.size() - 1, QStringLiteral("-e"));
  extractArgs.insert(extractArgs.size() - 1, QStringLiteral("8,16le"));
  extractArgs.insert(extractArgs.size() - 1, QStringLiteral("-t"));
  extractArgs.insert(extractArgs.size() - 1, QStringLiteral("x"));
  const double stringsNull =
      Best(QStringLiteral("strings"),
           {QStringLiteral("-a"), QStringLiteral("-n"), QStringLiteral("5"), QStringLiteral("-e"),
            QStringLiteral("l"), QStringLiteral("-t"), QStringLiteral("x"), input},
           null);
  const double extractNull = Best(extract, extractArgs, null);
  std::printf("%-44s %8.3f s\n", "GNU strings -a -n 5 -e l -t x > /dev/null", stringsNull);
  std::printf("%-44s %8.3f s\n", "siftwell-extract -e 8,16le -t x > /dev/null", extractNull);
  GlobalExtractionChoice().encodings = {Encoding::Bytes8, Encoding::Utf16Le};
  GlobalExtractionChoice().radix = 'x';
  EditorMode(input, dialogs, needle, inputMB, stringsNull, extractNull, 0, true, QString());
  GlobalExtractionChoice() = ExtractionChoice();
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QByteArray mode = argc > 4 ? QByteArray(argv[4]) : QByteArray();
  const bool editorMode = mode.isEmpty() || mode == "editor";
  const bool fileMode = mode.isEmpty() || mode == "file" || mode == "file-commands";
  // A mistyped mode would otherwise time something other than asked.
  if (argc < 3 ||
      !(editorMode || fileMode || mode == "encodings" || mode == "pass" || mode == "file-pass")) {
    std::fprintf(stderr, "usage: bench_pass INPUT NEEDLE [SIFTWELL_EXTRACT "
                         "[editor|file|file-commands|encodings|pass|file-pass]]\n");
    return 2;
  }
  const QString input = QString::fromLocal8Bit(argv[1]);
  const QString needle = QString::fromLocal8Bit(argv[2]);
  const QString extract =
      argc > 3 ? QString::fromLocal8Bit(argv[3])
               : QCoreApplication::applicationDirPath() + QStringLiteral("/siftwell-extract");
  const double inputMB = static_cast<double>(QFileInfo(input).size()) / 1e6;
  const QString stringsOut = input + QStringLiteral(".strings.txt");
  const QString passOut = input + QStringLiteral(".pass.txt");
  const QString null = QStringLiteral("/dev/null");
  const QStringList stringsArgs{QStringLiteral("-a"), QStringLiteral("-n"), QStringLiteral("5"),
                                input};
  const QStringList extractArgs{QStringLiteral("-n"),
                                QStringLiteral("4"),
                                QStringLiteral("-m"),
                                QStringLiteral("0"),
                                QStringLiteral("-c"),
                                QStringLiteral("upper,lower,number,space,punct,symbol"),
                                QStringLiteral("-x"),
                                QStringLiteral("\t"),
                                input};

  TextOptions& options = GlobalTextOptions();
  options = TextOptions();
  options.Number = options.Space = options.Punct = options.Symbol = true;
  options.Other = "\t";
  BenchDialogs dialogs;
  SetDialogs(&dialogs);

  // Everyone reads the input from the page cache.
  Run(QStringLiteral("cat"), {input}, null);
  std::printf("input: %s, %.0f MB (platform %s)\n", qPrintable(input), inputMB,
              qPrintable(QGuiApplication::platformName()));
  if (mode == "pass") {
    EditorMode(input, dialogs, needle, inputMB, 0, 0, 0, true, QString());
  } else if (mode == "file-pass") {
    FileMode(input, dialogs, inputMB, 0, 0, stringsOut, passOut, needle, false);
  } else if (mode == "encodings") {
    EncodingsMode(input, dialogs, needle, inputMB, extract, extractArgs);
  } else if (editorMode) {
    const double stringsNull = Best(QStringLiteral("strings"), stringsArgs, null);
    const double extractNull = Best(extract, extractArgs, null);
    std::printf("%-44s %8.3f s\n", "GNU strings -a -n 5 > /dev/null", stringsNull);
    std::printf("%-44s %8.3f s\n", "siftwell-extract, same options > /dev/null", extractNull);
    // The extractor's lines, for the check of the file Save As writes.
    const QString lines = input + QStringLiteral(".lines.txt");
    const double extractFile = Best(extract, extractArgs, lines);
    std::printf("%-44s %8.3f s\n", "siftwell-extract, same options > file", extractFile);
    EditorMode(input, dialogs, needle, inputMB, stringsNull, extractNull, extractFile, false,
               lines);
    QFile::remove(lines);
  }
  if (fileMode) {
    // The editor's leftovers would count in file mode's peak otherwise.
    QApplication::clipboard()->clear(QClipboard::Clipboard);
    QApplication::clipboard()->clear(QClipboard::Selection);
    QApplication::processEvents();
    malloc_trim(0);
    const double stringsFile = Best(QStringLiteral("strings"), stringsArgs, stringsOut);
    const double extractFile = Best(extract, extractArgs, passOut);
    QFile::remove(passOut);
    // The commands after a pass into a file, for a text larger than the
    // memory budget: it is read back from the file then.
    FileMode(input, dialogs, inputMB, stringsFile, extractFile, stringsOut, passOut, needle,
             mode == "file-commands");
  }
  std::printf("%-44s %8d\n", "messages shown", dialogs.messages);
  QFile::remove(stringsOut);
  QFile::remove(passOut);
  SetDialogs(nullptr);
  return 0;
}
