// The extraction pass into a document window: editor and file mode, the
// order of its questions and reports, cancelling, the progress rule, and
// one pass at a time.
#include "editor/TextView.h"
#include "extract/RunScanner.h"
#include "settings/TextOptions.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

long Caret(const TRTFchild& w) {
  return w.Edit()->Caret();
}

// The lines the scanner makes of `input` fed byte by byte, for comparison.
// Letters, digits and separators at random, so that runs of all lengths
// cross every block and pump boundary.
QByteArray RandomText(qsizetype size, quint32 seed) {
  QRandomGenerator random(seed);
  const QByteArray alphabet(
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij0- \n\xe9");
  QByteArray out(size, '\0');
  for (qsizetype i = 0; i < size; ++i)
    out[i] = alphabet[random.bounded(static_cast<int>(alphabet.size()))];
  return out;
}

// The lines of `input` by `options` with the offset of each, through the
// block path.
struct OffsetLine {
  uint64_t offset;
  QByteArray bytes;
};
class OffsetLines : public LineSink {
public:
  QList<OffsetLine> lines;
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    lines.append({offset, QByteArray(data, static_cast<qsizetype>(length))});
  }
};
QList<OffsetLine> LinesWithOffsets(const QByteArray& input, const TextOptions& options) {
  OffsetLines sink;
  RunScanner scanner(options, sink);
  scanner.ResetScanner();
  scanner.ScanBlock(reinterpret_cast<const uint8_t*>(input.constData()),
                    static_cast<std::size_t>(input.size()));
  scanner.EmitRun();
  return sink.lines;
}
QByteArray Joined(const QList<OffsetLine>& lines, qsizetype from = 0, qsizetype to = -1) {
  QByteArray out;
  for (qsizetype i = from; i < (to < 0 ? lines.size() : to); ++i)
    out += (i > from ? "\n" : "") + lines[i].bytes;
  return out;
}

// A file of more than two parts for the cores: random text, a run of 20 MiB
// across where the first part was meant to end, more text after it.
QByteArray LargeInput() {
  return RandomText(12 << 20, 11) + QByteArray(20 << 20, 'x') + RandomText(6 << 20, 12);
}

void ClickCancel() {
  QTest::mouseClick(ScanDlg->CancelOp, Qt::LeftButton);
}

// Processes events until `done` holds, a bounded number of times.
template <typename F> bool Settle(F done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return done();
}

} // namespace

class TestScanFile : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QString Path(const QString& name) const { return dir.filePath(name); }

  // A pipe that already holds `first`; the pass reads exactly those bytes
  // before its first pump, so a test can act at a known point.
  int MakeFifo(const QString& name, const QByteArray& first) {
    const QByteArray path = QFile::encodeName(Path(name));
    ::unlink(path.constData());
    if (::mkfifo(path.constData(), 0600) != 0)
      return -1;
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK);
    if (fd >= 0 && ::write(fd, first.constData(), first.size()) != first.size()) {
      ::close(fd);
      return -1;
    }
    return fd;
  }

private slots:
  void init() { GlobalTextOptions() = TextOptions(); }

  void editorModeGivesLinesAndCaretAtStart();
  void largeInputGivesTheLinesOfTheBytePath();
  void fileModeWritesLinesAndLoadsThem();
  void cancelledSaveDialogExtractsIntoEditor();
  void emptyInput();
  void cancelInTheMiddle_data();
  void cancelInTheMiddle();
  void endlessDeviceRunsUntilCancel();
  void unreadableInputAfterOutputChosen();
  void directoryIsUnreadable();
  void unwritableOutputIsReported();
  void fullDiskIsReported();
  void outputSlowToOpenLetsEventsRun();
  void partialOutputIsLoadedAndReported_data();
  void partialOutputIsLoadedAndReported();
  void outputEqualToInputIsRefused();
  void loadAgainRepeatsAndDropsOutput();
  void reloadLeavesWhatWasCopied();
  void progressAdvances_data();
  void progressAdvances();
  void passesRunOneAtATime();
  void longRunComesInPieces_data();
  void longRunComesInPieces();
  void rejectedRunLeavesTheUsersEdits();
  void largeFileOnAllCores_data();
  void largeFileOnAllCores();
  void cancelInPartsKeepsTheRunsLineBreak_data();
  void cancelInPartsKeepsTheRunsLineBreak();
};

void TestScanFile::editorModeGivesLinesAndCaretAtStart() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("plain.bin"), QByteArray("\x01\x02Hello\x00World\xff"
                                                  "abc--Extraction\n"
                                                  "tail",
                                                  32)));
  ScanCancelled = true; // a pass starts with the flag cleared
  TRTFchild w;
  w.show();
  w.OpenInput(Path("plain.bin"));
  SetEditorText(w, "old text");
  w.ScanFile(false);
  QCOMPARE(EditorText(w), QByteArray("Hello\nWorld\nExtraction"));
  QVERIFY(ScanDlg);
  QVERIFY(!ScanDlg->isVisible());
  QCOMPARE(Caret(w), 0L);
  QCOMPARE(w.StatusBar()->currentMessage(), QStringLiteral("Line 1, Column 1"));
  QCOMPARE(w.Caption(), Path("plain.bin"));
  QVERIFY(w.OutputFileName().isEmpty());
  QVERIFY(!w.WriteToFile());
  QVERIFY(dialogs.messages.isEmpty());
  QVERIFY(dialogs.saveProposals.isEmpty());
  // The extracted text is not an edit: Undo brings back nothing.
  w.EditUndoItemClick();
  QCOMPARE(EditorText(w), QByteArray("Hello\nWorld\nExtraction"));
  // The editor works normally again afterwards.
  w.Edit()->setFocus();
  QTest::keyClicks(w.Edit()->focusProxy(), "X");
  QCOMPARE(EditorText(w), QByteArray("XHello\nWorld\nExtraction"));
  w.EditUndoItemClick();
  QCOMPARE(EditorText(w), QByteArray("Hello\nWorld\nExtraction"));
}

void TestScanFile::largeInputGivesTheLinesOfTheBytePath() {
  FakeDialogService dialogs;
  GlobalTextOptions().MinChar = 2;
  GlobalTextOptions().MaxChar = 40;
  GlobalTextOptions().Number = true;
  const QByteArray input = RandomText(5 << 20, 7);
  QVERIFY(WriteFile(Path("large.bin"), input));
  const QList<QByteArray> lines = ReferenceLines(input, GlobalTextOptions());
  QVERIFY(lines.size() > 100000);

  TRTFchild w;
  w.OpenInput(Path("large.bin"));
  w.ScanFile(false);
  QCOMPARE(EditorText(w), lines.join('\n'));

  dialogs.saveAnswers << Path("large.txt");
  w.ScanFile(true);
  QByteArray expectedFile;
  for (const QByteArray& line : lines)
    expectedFile += line + '\n';
  QCOMPARE(ReadAll(Path("large.txt")), expectedFile);
  QCOMPARE(EditorText(w), expectedFile);
}

void TestScanFile::fileModeWritesLinesAndLoadsThem() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("in.bin"), QByteArray("\x00\x00"
                                               "Alpha\x01"
                                               "Betas\x02Gamma",
                                               19)));
  QVERIFY(WriteFile(Path("out.txt"), "an older file that is emptied first\n"));
  TRTFchild w;
  w.OpenInput(Path("in.bin"));
  dialogs.saveAnswers << Path("out.txt");
  w.ScanFile(true);
  QCOMPARE(dialogs.saveProposals, QStringList{QString()});
  QCOMPARE(ReadAll(Path("out.txt")), QByteArray("Alpha\nBetas\nGamma\n"));
  QCOMPARE(EditorText(w), QByteArray("Alpha\nBetas\nGamma\n"));
  QCOMPARE(w.Caption(), Path("in.bin") + QStringLiteral(" -> ") + Path("out.txt"));
  QCOMPARE(w.OutputFileName(), Path("out.txt"));
  QVERIFY(w.WriteToFile());
  QVERIFY(!w.OutputFile().IsOpen());
  QCOMPARE(Caret(w), 0L);
  QVERIFY(dialogs.messages.isEmpty());

  // Save now writes the edited text back over the output file, as CR LF.
  SetEditorText(w, "edited\ntext");
  w.FileSaveItemClick();
  QCOMPARE(dialogs.saveProposals.size(), 1);
  QCOMPARE(ReadAll(Path("out.txt")), QByteArray("edited\r\ntext"));
}

void TestScanFile::cancelledSaveDialogExtractsIntoEditor() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("in2.bin"), "Words here\x01more"));
  TRTFchild w;
  w.OpenInput(Path("in2.bin"));
  w.SetOutputFileName(Path("earlier.txt"));
  w.SetCaption(w.InputFileName() + QStringLiteral(" -> ") + w.OutputFileName());
  w.ScanFile(true);
  // The dialog proposed the output file of the window as the pass began.
  QCOMPARE(dialogs.saveProposals, QStringList{Path("earlier.txt")});
  QCOMPARE(EditorText(w), QByteArray("Words"));
  QVERIFY(w.OutputFileName().isEmpty());
  QCOMPARE(w.Caption(), Path("in2.bin"));
  QVERIFY(!QFile::exists(Path("earlier.txt")));
}

void TestScanFile::emptyInput() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("empty.bin"), QByteArray()));
  TRTFchild w;
  w.OpenInput(Path("empty.bin"));
  SetEditorText(w, "previous");
  w.ScanFile(false);
  QCOMPARE(EditorText(w), QByteArray());
  QVERIFY(!ScanDlg->isVisible());
  QCOMPARE(ScanDlg->ProgressAdvances(), 0u);

  dialogs.saveAnswers << Path("empty.txt");
  SetEditorText(w, "previous");
  w.ScanFile(true);
  QVERIFY(QFile::exists(Path("empty.txt")));
  QCOMPARE(ReadAll(Path("empty.txt")), QByteArray());
  QCOMPARE(EditorText(w), QByteArray());
  QVERIFY(dialogs.messages.isEmpty());
}

void TestScanFile::cancelInTheMiddle_data() {
  QTest::addColumn<bool>("toFile");
  QTest::newRow("editor") << false;
  QTest::newRow("file") << true;
}

void TestScanFile::cancelInTheMiddle() {
  QFETCH(bool, toFile);
  FakeDialogService dialogs;
  // The pass reads the first part, then pumps: Cancel is pressed there and
  // more bytes arrive, which would lengthen the open run.
  const int fd = MakeFifo(QStringLiteral("pipe"), "Hello, World-ABCDEFGH");
  QVERIFY(fd >= 0);
  int pumps = 0;
  QTimer::singleShot(0, [&] {
    ++pumps;
    ClickCancel();
    ClickCancel(); // a second press is the same as one
    QVERIFY(::write(fd, "IJKL more", 9) == 9);
  });
  TRTFchild w;
  w.OpenInput(Path("pipe"));
  if (toFile)
    dialogs.saveAnswers << Path("cancelled.txt");
  w.ScanFile(toFile);
  ::close(fd);
  QCOMPARE(pumps, 1);
  QVERIFY(ScanCancelled);
  QVERIFY(!ScanDlg->isVisible());
  // The open run is judged as at the end of the input.
  if (toFile) {
    QCOMPARE(ReadAll(Path("cancelled.txt")), QByteArray("Hello\nWorld\nABCDEFGH\n"));
    QCOMPARE(EditorText(w), QByteArray("Hello\nWorld\nABCDEFGH\n"));
    QVERIFY(!w.OutputFile().IsOpen());
  } else {
    QCOMPARE(EditorText(w), QByteArray("Hello\nWorld\nABCDEFGH"));
  }
  QCOMPARE(Caret(w), 0L);

  // Load again yields the same lines as a pass that ended in that run.
  QVERIFY(WriteFile(Path("again.bin"), "Hello, World-ABCDEFGH"));
  w.OpenInput(Path("again.bin"));
  w.ScanFile(false);
  QCOMPARE(EditorText(w), QByteArray("Hello\nWorld\nABCDEFGH"));
  w.ScanFile(false);
  QCOMPARE(EditorText(w), QByteArray("Hello\nWorld\nABCDEFGH"));
}

void TestScanFile::endlessDeviceRunsUntilCancel() {
  FakeDialogService dialogs;
  int pumps = 0;
  QTimer pumpCounter;
  pumpCounter.setInterval(0);
  connect(&pumpCounter, &QTimer::timeout, [&] {
    if (++pumps == 3)
      ClickCancel();
  });
  pumpCounter.start();
  TRTFchild w;
  w.OpenInput(QStringLiteral("/dev/zero"));
  w.ScanFile(false);
  pumpCounter.stop();
  QCOMPARE(pumps, 3);
  QCOMPARE(EditorText(w), QByteArray());
  QVERIFY(dialogs.messages.isEmpty());
  // A stream has no size: the bar never moves.
  QCOMPARE(ScanDlg->ProgressMax(), 0u);
  QCOMPARE(ScanDlg->ProgressAdvances(), 0u);
}

void TestScanFile::unreadableInputAfterOutputChosen() {
  FakeDialogService dialogs;
  TRTFchild w;
  w.OpenInput(Path("does-not-exist.bin"));
  SetEditorText(w, "kept");
  dialogs.saveAnswers << Path("chosen.txt");
  w.ScanFile(true);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error reading file"));
  QCOMPARE(dialogs.messages[0].text,
           QStringLiteral("Couldn't open:\n") + Path("does-not-exist.bin"));
  QCOMPARE(dialogs.messages[0].buttons, DialogService::Buttons::OkCancel);
  QCOMPARE(dialogs.messages[0].icon, DialogService::Icon::None);
  QVERIFY(QFile::exists(Path("chosen.txt")));
  QCOMPARE(ReadAll(Path("chosen.txt")), QByteArray());
  QCOMPARE(w.Caption(), Path("does-not-exist.bin") + QStringLiteral(" -> ") + Path("chosen.txt"));
  QCOMPARE(EditorText(w), QByteArray("kept"));
  QVERIFY(!w.OutputFile().IsOpen());
  QVERIFY(!ScanDlg || !ScanDlg->isVisible());
  QVERIFY(!TRTFchild::AnyPassRunning());
}

void TestScanFile::directoryIsUnreadable() {
  FakeDialogService dialogs;
  TRTFchild w;
  w.OpenInput(dir.path());
  SetEditorText(w, "kept");
  w.ScanFile(false);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error reading file"));
  QCOMPARE(dialogs.messages[0].text, QStringLiteral("Couldn't open:\n") + dir.path());
  QCOMPARE(EditorText(w), QByteArray("kept"));

  // A window made by New reports the empty name.
  TRTFchild fresh;
  fresh.ReloadClick();
  QCOMPARE(dialogs.messages.size(), 2);
  QCOMPARE(dialogs.messages[1].text, QStringLiteral("Couldn't open:\n"));
}

void TestScanFile::unwritableOutputIsReported() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("src.bin"), "Something readable"));
  TRTFchild w;
  w.OpenInput(Path("src.bin"));
  // A pass into a file first, so that what must stay as it was is not
  // simply the state of a new window.
  dialogs.saveAnswers << Path("first.txt");
  w.ScanFile(true);
  QVERIFY(w.WriteToFile());
  const QString caption = Path("src.bin") + QStringLiteral(" -> ") + Path("first.txt");
  QCOMPARE(w.Caption(), caption);
  SetEditorText(w, "kept");
  const QString bad = Path("no/such/folder/out.txt");
  dialogs.saveAnswers << bad;
  dialogs.messageAnswers << DialogService::Answer::Cancel; // ignored
  w.ScanFile(true);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error writing file"));
  QCOMPARE(dialogs.messages[0].text, QStringLiteral("Couldn't open:\n") + bad);
  QCOMPARE(dialogs.messages[0].buttons, DialogService::Buttons::OkCancel);
  QCOMPARE(dialogs.messages[0].icon, DialogService::Icon::None);
  QCOMPARE(w.OutputFileName(), bad);
  QCOMPARE(w.Caption(), caption);
  QCOMPARE(EditorText(w), QByteArray("kept"));
  QVERIFY(w.WriteToFile());
}

void TestScanFile::fullDiskIsReported() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("full.bin"), QByteArray("Some words to write\x01").repeated(1000)));
  TRTFchild w;
  w.OpenInput(Path("full.bin"));
  // Through a link with an extension, or the dialog would add ".txt".
  QVERIFY(QFile::link(QStringLiteral("/dev/full"), Path("full.out")));
  dialogs.saveAnswers << Path("full.out");
  w.ScanFile(true);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error writing file"));
  QVERIFY(
      dialogs.messages[0].text.startsWith(QStringLiteral("Couldn't write:\n") + Path("full.out")));
  QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("incomplete")));
  QCOMPARE(dialogs.messages[0].buttons, DialogService::Buttons::OkCancel);
  QCOMPARE(dialogs.messages[0].icon, DialogService::Icon::None);
  QCOMPARE(EditorText(w), QByteArray());
  QVERIFY(!w.OutputFile().IsOpen());
}

void TestScanFile::outputSlowToOpenLetsEventsRun() {
  // Opening the output can take a while (emptying a large file, or a pipe
  // that waits for its reader); events keep coming meanwhile. Here only an
  // event opens the pipe's reading end, which lets the open return; a
  // thread does it after 3 s in case events stop, so the test never hangs.
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("words.bin"), QByteArray("\x01Hello\x02World\x03")));
  const QByteArray pipe = QFile::encodeName(Path("slow.out"));
  QVERIFY(::mkfifo(pipe.constData(), 0600) == 0);
  std::atomic<int> reader{-1};
  std::atomic<bool> byEvent{false};
  const auto openReader = [&](bool event) {
    int none = -1;
    const int fd = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK);
    if (!reader.compare_exchange_strong(none, fd))
      ::close(fd);
    else
      byEvent = event;
  };
  QTimer::singleShot(50, [&] { openReader(true); });
  std::thread fallback([&] {
    for (int i = 0; i < 300 && reader < 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    openReader(false);
  });
  TRTFchild w;
  w.OpenInput(Path("words.bin"));
  dialogs.saveAnswers << Path("slow.out");
  w.ScanFile(true);
  fallback.join();
  QVERIFY(byEvent);
  char got[64] = {};
  QCOMPARE(::read(reader, got, sizeof got), ssize_t(12));
  QCOMPARE(QByteArray(got), QByteArray("Hello\nWorld\n"));
  ::close(reader);
  QVERIFY(dialogs.messages.isEmpty());
  QVERIFY(!w.OutputFile().IsOpen());
}

void TestScanFile::partialOutputIsLoadedAndReported_data() {
  QTest::addColumn<int>("lines");
  QTest::newRow("one piece") << 200000;
  // 40 MiB: read in parts, whose writes go through a thread of their own.
  QTest::newRow("parts") << 2200000;
}

void TestScanFile::partialOutputIsLoadedAndReported() {
  QFETCH(int, lines);
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("big.bin"), QByteArray("Readable text line\n").repeated(lines)));
  TRTFchild w;
  w.OpenInput(Path("big.bin"));
  dialogs.saveAnswers << Path("partial.txt");
  // Writes beyond 1 MiB fail, as on a full disk.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 1 << 20;
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  w.ScanFile(true);
  setrlimit(RLIMIT_FSIZE, &old);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error writing file"));
  QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("incomplete")));
  const QByteArray written = ReadAll(Path("partial.txt"));
  QCOMPARE(written.size(), 1 << 20);
  QCOMPARE(EditorText(w), written);
}

void TestScanFile::outputEqualToInputIsRefused() {
  FakeDialogService dialogs;
  const QByteArray original("Precious input, not to be lost\x01\x02");
  QVERIFY(WriteFile(Path("precious.bin"), original));
  QVERIFY(QFile::link(Path("precious.bin"), Path("alias.bin")));
  TRTFchild w;
  w.OpenInput(Path("precious.bin"));
  SetEditorText(w, "kept");
  dialogs.saveAnswers << dir.path() + QStringLiteral("/./precious.bin") << Path("alias.bin");
  w.ScanFile(true);
  w.ScanFile(true);
  QCOMPARE(dialogs.messages.size(), 2);
  for (const auto& shown : dialogs.messages) {
    QCOMPARE(shown.caption, QStringLiteral("Error writing file"));
    QVERIFY(shown.text.startsWith(QStringLiteral("Couldn't open:\n")));
  }
  QCOMPARE(ReadAll(Path("precious.bin")), original);
  QCOMPARE(EditorText(w), QByteArray("kept"));
  QCOMPARE(w.Caption(), Path("precious.bin"));
  // Save must not aim at the input either.
  QVERIFY(w.OutputFileName().isEmpty());
  QCOMPARE(dialogs.saveProposals, QStringList({QString(), QString()}));
}

void TestScanFile::loadAgainRepeatsAndDropsOutput() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("source.bin"), "Lines\x01of\x02words\x03that\x04repeat"));
  TRTFchild w;
  w.OpenInput(Path("source.bin"));
  dialogs.saveAnswers << Path("first.txt");
  w.ScanFile(true);
  QCOMPARE(EditorText(w), QByteArray("Lines\nwords\nrepeat\n"));
  QCOMPARE(w.Caption(), Path("source.bin") + QStringLiteral(" -> ") + Path("first.txt"));

  SetEditorText(w, "edits that are dropped");
  Item(&w, "Reload")->trigger();
  QCOMPARE(EditorText(w), QByteArray("Lines\nwords\nrepeat"));
  QCOMPARE(w.Caption(), Path("source.bin"));
  QVERIFY(w.OutputFileName().isEmpty());
  QVERIFY(!w.WriteToFile());
  QCOMPARE(dialogs.saveProposals.size(), 1);

  // The next Save asks, proposing the former output file.
  dialogs.saveAnswers << Path("second.txt");
  w.FileSaveItemClick();
  QCOMPARE(dialogs.saveProposals.last(), Path("first.txt"));
  QCOMPARE(ReadAll(Path("second.txt")), QByteArray("Lines\r\nwords\r\nrepeat"));
  QCOMPARE(ReadAll(Path("first.txt")), QByteArray("Lines\nwords\nrepeat\n"));
}

void TestScanFile::reloadLeavesWhatWasCopied() {
  // A new pass lets go of the last result elsewhere; the copy on the
  // clipboard, which shares its bytes, keeps them, and the editor starts
  // empty, its undo history gone.
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("again.bin"), "Hello\x01World"));
  TRTFchild w;
  w.show();
  w.OpenInput(Path("again.bin"));
  w.ScanFile(false);
  w.Edit()->setFocus();
  QTest::keyClicks(w.Edit()->focusProxy(), "X");
  w.EditSelectAllItemClick();
  w.EditCopyItemClick();
  QVERIFY(WriteFile(Path("again.bin"), "Other\x01Words\x02!"));
  Item(&w, "Reload")->trigger();
  QCOMPARE(EditorText(w), QByteArray("Other\nWords"));
  QCOMPARE(w.Edit()->LineCount(), int64_t(2));
  QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/plain")),
           QByteArray("XHello\nWorld"));
  w.EditUndoItemClick();
  QCOMPARE(EditorText(w), QByteArray("Other\nWords"));
}

void TestScanFile::progressAdvances_data() {
  QTest::addColumn<int>("size");
  QTest::addColumn<int>("step");
  QTest::addColumn<int>("advances");
  QTest::newRow("625 bytes") << 625 << 25 << 26;
  QTest::newRow("10 bytes") << 10 << 1 << 10;
  QTest::newRow("24 bytes") << 24 << 1 << 24;
  QTest::newRow("25 bytes") << 25 << 1 << 25;
  QTest::newRow("1000 bytes") << 1000 << 40 << 26;
  QTest::newRow("3 MiB") << (3 << 20) << (3 << 20) / 25 << 26;
}

void TestScanFile::progressAdvances() {
  QFETCH(int, size);
  QFETCH(int, step);
  QFETCH(int, advances);
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("sized.bin"), QByteArray(size, 'a')));
  TRTFchild w;
  w.OpenInput(Path("sized.bin"));
  w.ScanFile(false);
  QCOMPARE(ScanDlg->ProgressMax(), static_cast<uint64_t>(size));
  QCOMPARE(ScanDlg->ProgressStep(), static_cast<uint64_t>(step));
  QCOMPARE(ScanDlg->ProgressAdvances(), static_cast<uint64_t>(advances));
  QCOMPARE(ScanDlg->ProgressPosition(), static_cast<uint64_t>(size));
  // Every byte was examined: one run of the whole file.
  QCOMPARE(EditorText(w), QByteArray(size, 'a'));
}

void TestScanFile::passesRunOneAtATime() {
  FakeDialogService dialogs;
  const int fd = MakeFifo(QStringLiteral("slow"), "Running pass text");
  QVERIFY(fd >= 0);
  QVERIFY(WriteFile(Path("second.bin"), "Second window texts"));
  QPointer<TRTFchild> first = new TRTFchild;
  first->show();
  first->OpenInput(Path("slow"));
  TRTFchild second;
  second.OpenInput(Path("second.bin"));
  bool checked = false;
  QTimer::singleShot(0, [&] {
    // Asked for while the first pass runs: it waits, not nested.
    second.ScanFile(false);
    QVERIFY(second.IsScanning());
    QVERIFY(TRTFchild::AnyPassRunning());
    QCOMPARE(EditorText(second), QByteArray());
    // Load again in the running window does nothing.
    first->ReloadClick();
    // Closing the running window cancels its pass; it goes afterwards.
    QVERIFY(!first->close());
    QVERIFY(ScanCancelled);
    checked = true;
  });
  first->ScanFile(false);
  ::close(fd);
  QVERIFY(checked);
  QVERIFY(!first.isNull());
  // "text" is no longer than MinChar: only the first run is kept.
  QCOMPARE(EditorText(*first), QByteArray("Running"));
  QVERIFY(Settle([&] { return first.isNull() && !second.IsScanning(); }));
  QCOMPARE(EditorText(second), QByteArray("Second\nwindow\ntexts"));
  QVERIFY(!TRTFchild::AnyPassRunning());
  QVERIFY(dialogs.messages.isEmpty());
}

void TestScanFile::longRunComesInPieces_data() {
  QTest::addColumn<uint32_t>("laterMinChar");
  QTest::addColumn<bool>("toFile");
  QTest::addColumn<QByteArray>("expected");
  for (const bool toFile : {false, true}) {
    const QByteArray end = toFile ? "\n" : "";
    const char* mode = toFile ? "file" : "editor";
    QTest::addRow("%s, still long enough", mode)
        << 10u << toFile << "Hello\nabcdefghijk\nLongerThanTwelve" + end;
    QTest::addRow("%s, taken back", mode) << 12u << toFile << "Hello\nLongerThanTwelve" + end;
  }
}

void TestScanFile::longRunComesInPieces() {
  // A run longer than MinChar is in the editor before it ends; when MinChar
  // rises during the pass (the options are read as the pass goes) it is
  // judged at its end, as byte by byte, and taken back if too short.
  QFETCH(uint32_t, laterMinChar);
  QFETCH(bool, toFile);
  QFETCH(QByteArray, expected);
  FakeDialogService dialogs;
  dialogs.saveAnswers << Path("pieces.txt");
  GlobalTextOptions().MinChar = 4;
  const int fd = MakeFifo(QStringLiteral("pieces"), "Hello-abcdefgh");
  QVERIFY(fd >= 0);
  TRTFchild w;
  w.show();
  w.OpenInput(Path("pieces"));
  // At the pump after the first bytes were scanned (earlier pumps show
  // nothing yet), the rest is written and the pipe closed.
  QByteArray shownBeforeItEnded;
  int pumps = 0;
  std::function<void()> act = [&] {
    shownBeforeItEnded = EditorText(w);
    // A pass into a file shows nothing before it ends.
    if (shownBeforeItEnded.isEmpty() && ++pumps < (toFile ? 20 : 500)) {
      QTimer::singleShot(1, act);
      return;
    }
    GlobalTextOptions().MinChar = laterMinChar;
    const QByteArray rest("ijk-LongerThanTwelve-x");
    QCOMPARE(::write(fd, rest.constData(), rest.size()), ssize_t(rest.size()));
    ::close(fd);
  };
  QTimer::singleShot(0, act);
  w.ScanFile(toFile);
  QCOMPARE(shownBeforeItEnded, toFile ? QByteArray() : QByteArray("Hello\nabcdefgh"));
  QCOMPARE(EditorText(w), expected);
  if (toFile)
    QCOMPARE(ReadAll(Path("pieces.txt")), expected);
  QVERIFY(dialogs.messages.isEmpty());
}

void TestScanFile::rejectedRunLeavesTheUsersEdits() {
  // A long run is shown as it comes; the user edits the document meanwhile,
  // at its end (after the run's first pieces) and at its start, and then
  // raises MinChar past the run, which more pieces follow. When the run
  // ends and is rejected, its pieces go wherever they stand, and the
  // user's text stays.
  FakeDialogService dialogs;
  const QByteArray first = "Keeper\x01" + QByteArray(32 << 10, 'A');
  const int fd = MakeFifo(QStringLiteral("rejected"), first);
  QVERIFY(fd >= 0);
  TRTFchild w;
  w.show();
  w.OpenInput(Path("rejected"));
  TextEditor& editor = *w.Edit();
  int pumps = 0;
  bool edited = false;
  std::function<void()> act = [&] {
    if (!edited && editor.Length() < first.size() && ++pumps < 500) {
      QTimer::singleShot(1, act);
      return;
    }
    if (edited) {
      ::close(fd);
      return;
    }
    edited = true;
    editor.GoTo(editor.Length());
    editor.ReplaceSelection("zz", TextEditor::Recording::Undoable);
    editor.GoTo(0);
    editor.ReplaceSelection("hello", TextEditor::Recording::Undoable);
    GlobalTextOptions().MinChar = UINT32_MAX;
    const QByteArray more(16 << 10, 'A');
    QCOMPARE(::write(fd, more.constData(), more.size()), ssize_t(more.size()));
    // The pass takes the new pieces in before the pipe closes.
    QTimer::singleShot(200, act);
  };
  QTimer::singleShot(0, act);
  w.ScanFile(false);
  QVERIFY(edited);
  QCOMPARE(EditorText(w), QByteArray("helloKeeperzz"));
  QVERIFY(dialogs.messages.isEmpty());
}

void TestScanFile::largeFileOnAllCores_data() {
  QTest::addColumn<QString>("event");
  QTest::addColumn<uint32_t>("maxChar");
  QTest::addColumn<bool>("toFile");
  QTest::addColumn<QByteArray>("other");
  QTest::newRow("whole") << "none" << 0u << false << QByteArray();
  QTest::newRow("whole, MaxChar") << "none" << 40u << false << QByteArray();
  QTest::newRow("limits change") << "limits" << 0u << false << QByteArray();
  QTest::newRow("cancel") << "cancel" << 0u << false << QByteArray();
  QTest::newRow("whole, file") << "none" << 0u << true << QByteArray();
  QTest::newRow("cancel, file") << "cancel" << 0u << true << QByteArray();
  // Runs that hold line breaks: each counts as a line of the text.
  QTest::newRow("whole, breaks in runs") << "none" << 0u << false << QByteArray("\n");
}

void TestScanFile::largeFileOnAllCores() {
  // A large file is scanned in parts on all cores and gives the lines of a
  // pass in one piece. When the limits change as the first part comes in,
  // the runs from the next part on are judged by the new ones, as if a pass
  // in one piece had reached that part when they changed. (Lines kept by
  // both limits may stand on either side of that point: the check takes
  // the old ones as far as they go.) A Cancel ends the pass after the slice
  // of text that came in, whose last run is kept as the end of the input.
  QFETCH(QString, event);
  QFETCH(uint32_t, maxChar);
  QFETCH(bool, toFile);
  QFETCH(QByteArray, other);
  FakeDialogService dialogs;
  GlobalTextOptions().MaxChar = maxChar;
  GlobalTextOptions().Other = other.toStdString();
  const QByteArray input = LargeInput();
  QVERIFY(WriteFile(Path("large-parts.bin"), input));
  const QList<OffsetLine> before = LinesWithOffsets(input, GlobalTextOptions());
  TextOptions raised = GlobalTextOptions();
  raised.MinChar = 6;
  const QList<OffsetLine> after = LinesWithOffsets(input, raised);

  TRTFchild w;
  w.OpenInput(Path("large-parts.bin"));
  // The event comes as soon as lines are in: in the editor at once, in a
  // file at the next turn of events.
  QByteArray shownFirst;
  bool acted = false;
  const auto act = [&] {
    acted = true;
    if (event == "limits")
      GlobalTextOptions().MinChar = 6;
    else if (event == "cancel")
      ClickCancel();
  };
  auto* view = w.Edit()->findChild<TextView*>();
  QObject::connect(view, &TextView::TextChanged, [&] {
    if (toFile || acted || w.Edit()->Length() == 0)
      return;
    shownFirst = EditorText(w);
    act();
  });
  QTimer written;
  QObject::connect(&written, &QTimer::timeout, [&] {
    if (!acted && QFileInfo(Path("large-parts.txt")).size() > 0)
      act();
  });
  if (toFile) {
    // The file of an earlier row would look written before this pass began.
    QFile::remove(Path("large-parts.txt"));
    dialogs.saveAnswers << Path("large-parts.txt");
    written.start(1);
  }
  w.ScanFile(toFile);
  QByteArray text = EditorText(w);
  QCOMPARE(w.Edit()->LineCount(), static_cast<int64_t>(text.count('\n')) + 1);
  QVERIFY(acted || event == "none");
  if (toFile) {
    // The editor holds what was written, every line ended by a line break.
    QCOMPARE(text, ReadAll(Path("large-parts.txt")));
    QVERIFY(text.endsWith('\n'));
    text.chop(1);
  }
  if (event == "none") {
    QCOMPARE(text, Joined(before));
    QCOMPARE(ScanDlg->ProgressPosition(), static_cast<uint64_t>(input.size()));
    QCOMPARE(ScanDlg->ProgressAdvances(), uint64_t(26));
    return;
  }
  QVERIFY(text.startsWith(shownFirst));
  const QList<QByteArray> shownLines = text.split('\n');
  qsizetype kept = 0;
  while (kept < shownLines.size() && kept < before.size() && shownLines[kept] == before[kept].bytes)
    ++kept;
  const QByteArray whole = Joined(before, 0, kept);
  if (event == "cancel") {
    QVERIFY(ScanCancelled);
    // Only a file's pass may have ended before the Cancel came.
    QVERIFY(toFile || kept < before.size());
    if (text.size() > whole.size()) {
      const QByteArray cut = text.mid(whole.size() + (kept > 0 ? 1 : 0));
      QCOMPARE(shownLines.size(), kept + 1);
      QVERIFY(cut.size() > static_cast<qsizetype>(GlobalTextOptions().MinChar));
      QVERIFY(before[kept].bytes.startsWith(cut));
    } else {
      QCOMPARE(text, whole);
    }
    return;
  }
  QVERIFY(kept > 0 && kept < before.size());
  qsizetype from = 0;
  while (from < after.size() && after[from].offset <= before[kept - 1].offset)
    ++from;
  QVERIFY(from < after.size());
  QCOMPARE(text, whole + "\n" + Joined(after, from));
}

void TestScanFile::cancelInPartsKeepsTheRunsLineBreak_data() {
  QTest::addColumn<bool>("toFile");
  QTest::newRow("editor") << false;
  QTest::newRow("file") << true;
}

void TestScanFile::cancelInPartsKeepsTheRunsLineBreak() {
  // One run of 40 MiB whose every fourth byte is a line break of its own
  // (Other holds it): it comes in slices that end at block bounds, each
  // after such a break. A Cancel keeps exactly the bytes scanned up to it,
  // that last break included.
  QFETCH(bool, toFile);
  FakeDialogService dialogs;
  GlobalTextOptions().Other = "\n";
  const QByteArray input = QByteArray("aaa\n").repeated(10 << 20);
  QVERIFY(WriteFile(Path("breaks.bin"), input));
  TRTFchild w;
  w.OpenInput(Path("breaks.bin"));
  auto* view = w.Edit()->findChild<TextView*>();
  QObject::connect(view, &TextView::TextChanged, [&] {
    if (!toFile && w.Edit()->Length() >= (20 << 20) - 1)
      ScanCancelled = true;
  });
  // A file's pass shows nothing in the editor: the bar's first move, right
  // after the first slice is written, cancels it.
  if (!ScanDlg)
    ScanDlg = new TScanDlg;
  const QMetaObject::Connection moved =
      QObject::connect(ScanDlg->Progress, &QProgressBar::valueChanged, [&](int value) {
        if (toFile && value > 0)
          ScanCancelled = true;
      });
  if (toFile)
    dialogs.saveAnswers << Path("breaks.txt");
  w.ScanFile(toFile);
  QObject::disconnect(moved);
  QVERIFY(ScanCancelled);
  QByteArray text = EditorText(w);
  if (toFile) {
    QCOMPARE(ReadAll(Path("breaks.txt")), text);
    // The run, and the line break that ends every line of a file.
    QVERIFY(text.endsWith('\n'));
    text.chop(1);
  }
  QVERIFY(text.size() >= (toFile ? 1 : (20 << 20) - 1) && text.size() < input.size());
  QCOMPARE(text.size() % 4, 0);
  QVERIFY(text == input.left(text.size()));
}

QTEST_MAIN(TestScanFile)
#include "test_scanfile.moc"
