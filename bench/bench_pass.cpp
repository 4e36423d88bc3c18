// One extraction pass into a document window, run offscreen over about
// 480 MB of this machine's shared libraries with the options that equal
// GNU strings -a -n 5, timed from ScanFile to the caret at the start, next
// to GNU strings on the same file in the same run. Also reports the longest
// gap between two event pumps and the peak memory, in editor and file mode.
//
//   bench_pass [corpus-file]   (default: /tmp/siftwell-pass-corpus.bin)

#include "settings/TextOptions.h"
#include "ui/DialogService.h"
#include "ui/TRTFchild.h"
#include "ui/TextEditor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr qint64 kCorpusBytes = 480ll << 20;

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

bool MakeCorpus(const QString& path) {
  if (QFileInfo(path).size() >= kCorpusBytes)
    return true;
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly))
    return false;
  const QDir dir(QStringLiteral("/usr/lib/x86_64-linux-gnu"));
  const auto files = dir.entryInfoList({QStringLiteral("*.so*")}, QDir::Files, QDir::Name);
  qint64 written = 0;
  for (const QFileInfo& info : files) {
    if (info.isSymLink())
      continue;
    QFile in(info.filePath());
    if (!in.open(QIODevice::ReadOnly))
      continue;
    while (written < kCorpusBytes) {
      const QByteArray chunk = in.read(std::min<qint64>(4 << 20, kCorpusBytes - written));
      if (chunk.isEmpty())
        break;
      out.write(chunk);
      written += chunk.size();
    }
    if (written >= kCorpusBytes)
      break;
  }
  return written > 0;
}

double Seconds(const QElapsedTimer& t) {
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

double RunStrings(const QString& corpus, const QString& output) {
  QProcess strings;
  strings.setStandardOutputFile(output);
  QElapsedTimer t;
  t.start();
  strings.start(QStringLiteral("strings"),
                {QStringLiteral("-a"), QStringLiteral("-n"), QStringLiteral("5"), corpus});
  strings.waitForFinished(-1);
  return strings.exitCode() == 0 ? Seconds(t) : -1.0;
}

long PeakRssMiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

struct PassFigures {
  double seconds = 0;
  double longestGapMs = 0;
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
  QElapsedTimer t;
  t.start();
  sinceLast.start();
  window.ScanFile(askOutput);
  figures.seconds = Seconds(t);
  figures.longestGapMs =
      std::max(figures.longestGapMs, static_cast<double>(sinceLast.nsecsElapsed()) / 1e6);
  pumpProbe.stop();
  figures.textBytes = window.Edit()->Length();
  figures.caretAtStart = window.Edit()->Caret() == 0;
  return figures;
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString corpus =
      argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/siftwell-pass-corpus.bin");
  if (!MakeCorpus(corpus)) {
    std::fprintf(stderr, "cannot make the corpus %s\n", qPrintable(corpus));
    return 1;
  }
  const double corpusMB = static_cast<double>(QFileInfo(corpus).size()) / 1e6;
  const QString stringsOut = corpus + QStringLiteral(".strings.txt");
  const QString passOut = corpus + QStringLiteral(".pass.txt");

  TextOptions& options = GlobalTextOptions();
  options = TextOptions();
  options.Number = options.Space = options.Punct = options.Symbol = true;
  options.Other = "\t";

  BenchDialogs dialogs;
  SetDialogs(&dialogs);

  // Warm the page cache so both sides read from memory.
  RunStrings(corpus, QStringLiteral("/dev/null"));
  const double stringsNull = RunStrings(corpus, QStringLiteral("/dev/null"));
  const long baseRss = PeakRssMiB();

  auto* editorWindow = new TRTFchild;
  editorWindow->resize(800, 600);
  editorWindow->show();
  editorWindow->OpenInput(corpus);
  const PassFigures editor = TimePass(*editorWindow, false);
  const long editorRss = PeakRssMiB();
  delete editorWindow;

  const double stringsFile = RunStrings(corpus, stringsOut);
  auto* fileWindow = new TRTFchild;
  fileWindow->resize(800, 600);
  fileWindow->show();
  fileWindow->OpenInput(corpus);
  dialogs.output = passOut;
  const PassFigures file = TimePass(*fileWindow, true);
  delete fileWindow;
  const bool same = [&] {
    QFile a(stringsOut), b(passOut);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
      return false;
    for (;;) {
      const QByteArray x = a.read(8 << 20), y = b.read(8 << 20);
      if (x != y)
        return false;
      if (x.isEmpty())
        return true;
    }
  }();
  const double textMiB = static_cast<double>(editor.textBytes) / (1 << 20);

  std::printf("corpus: %s, %.0f MB\n", qPrintable(corpus), corpusMB);
  std::printf("%-44s %8.3f s\n", "GNU strings -a -n 5 > /dev/null", stringsNull);
  std::printf("%-44s %8.3f s  (%.0f MB/s)\n", "pass into the editor, ScanFile to caret at 0",
              editor.seconds, corpusMB / editor.seconds);
  std::printf("%-44s %8.1f ms\n", "  longest gap between two event pumps", editor.longestGapMs);
  std::printf("%-44s %8.1f MiB (caret at 0: %s)\n", "  extracted text", textMiB,
              editor.caretAtStart ? "yes" : "NO");
  std::printf("%-44s %8ld MiB (before the pass %ld MiB; limit 3 x text + 150 = %.0f MiB)\n",
              "  peak resident memory", editorRss, baseRss, 3 * textMiB + 150);
  std::printf("%-44s %8.3f s\n", "GNU strings -a -n 5 > file", stringsFile);
  std::printf("%-44s %8.3f s  (%.0f MB/s)\n", "pass into a file, then loaded", file.seconds,
              corpusMB / file.seconds);
  std::printf("%-44s %8.1f ms\n", "  longest gap between two event pumps", file.longestGapMs);
  std::printf("%-44s %8s\n", "  output file equal to GNU strings' output", same ? "yes" : "NO");
  std::printf("%-44s %8d\n", "messages shown", dialogs.messages);
  QFile::remove(stringsOut);
  QFile::remove(passOut);
  SetDialogs(nullptr);
  return 0;
}
