// Running short of memory: a pass stops as a Cancel does and keeps its
// lines (in file mode the file is written whole and the document forgets
// it), an edit that cannot get its memory is not made, and the program goes
// on. The system's figure is stood in for by SIFTWELL_MEMAVAILABLE; a real
// address-space limit is tried in a child process of this test.

#include "app/TApplication.h"
#include "memory/MemoryHeadroom.h"
#include "settings/TextOptions.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"
#include "ui/TextSearch.h"

#include <QClipboard>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const QString OutOfMemory = QStringLiteral("Not enough memory");
const QString EditRefused =
    QStringLiteral("Not enough memory for this change. The text is unchanged.");

// Lines of printable text, about `bytes` of them, each 40 letters and a
// control byte.
QByteArray Lines(qsizetype bytes) {
  QByteArray line(40, 'q');
  line += '\x01';
  return line.repeated(bytes / line.size());
}

QByteArray Joined(const QByteArray& input) {
  QByteArray text = input;
  text.replace('\x01', '\n');
  text.chop(1);
  return text;
}

// Headroom of `bytes` above the reserve, for what follows.
void StandIn(uint64_t bytes) {
  qputenv("SIFTWELL_MEMAVAILABLE",
          QByteArray::number(qulonglong(MemoryHeadroom::kReserve + bytes)));
}

QString Message(const QString& input) {
  return QStringLiteral("Not enough memory to hold the text of:\n") + input +
         QStringLiteral("\nThe lines extracted so far are kept.");
}

// The pass of the child process under a real address-space limit: prints
// what it kept and what it said, and ends normally.
int ChildPass(int argc, char* argv[]) {
  TApplication app(argc, argv);
  const bool toFile = qEnvironmentVariableIsSet("SIFTWELL_CHILD_OUTPUT");
  std::FILE* statm = std::fopen("/proc/self/statm", "re");
  unsigned long pages = 0;
  if (!statm || std::fscanf(statm, "%lu", &pages) != 1)
    return 3;
  std::fclose(statm);
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = pages * ::sysconf(_SC_PAGESIZE) + (uint64_t(320) << 20);
  if (::setrlimit(RLIMIT_AS, &limit) != 0)
    return 4;
  // As the program does at its start under a limit.
  MemoryHeadroom::FitHeapsToLimit();
  FakeDialogService dialogs;
  if (toFile)
    dialogs.saveAnswers << qEnvironmentVariable("SIFTWELL_CHILD_OUTPUT");
  TRTFchild w;
  w.OpenInput(qEnvironmentVariable("SIFTWELL_CHILD_INPUT"));
  w.ScanFile(toFile);
  std::printf("kept %lld\n", static_cast<long long>(w.Edit()->Length()));
  for (const auto& shown : dialogs.messages)
    std::printf("said %s|%s\n", qPrintable(shown.caption),
                qPrintable(shown.text.section('\n', 0, 0)));
  std::printf("writes to file %d output '%s'\n", w.WriteToFile() ? 1 : 0,
              qPrintable(w.OutputFileName()));
  // The program goes on: the editor takes an edit.
  w.Edit()->GoTo(0);
  w.Edit()->ReplaceSelection("ok", TextEditor::Recording::Undoable);
  std::printf("edited %d\n", w.Edit()->Range(0, 2) == "ok" ? 1 : 0);
  return 0;
}
} // namespace

class TestMemory : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QString Path(const QString& name) const { return dir.filePath(name); }

private slots:
  void init() { GlobalTextOptions() = TextOptions(); }
  void cleanup() { qunsetenv("SIFTWELL_MEMAVAILABLE"); }

  void passStopsAndKeepsItsLines_data() {
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("toFile");
    QTest::addColumn<qsizetype>("headroom");
    // Under 32 MiB a file is read in one piece; above, in parts, whose
    // workers hold a few slices ahead of the window.
    QTest::newRow("one piece") << qsizetype(24 << 20) << false << qsizetype(8 << 20);
    QTest::newRow("one piece, file") << qsizetype(24 << 20) << true << qsizetype(8 << 20);
    QTest::newRow("parts") << qsizetype(48 << 20) << false << qsizetype(16 << 20);
    QTest::newRow("parts, file") << qsizetype(48 << 20) << true << qsizetype(16 << 20);
  }

  void passStopsAndKeepsItsLines() {
    QFETCH(qsizetype, size);
    QFETCH(bool, toFile);
    QFETCH(qsizetype, headroom);
    FakeDialogService dialogs;
    const QByteArray input = Lines(size);
    const QByteArray whole = Joined(input);
    QVERIFY(WriteFile(Path("big.bin"), input));
    StandIn(headroom);
    TRTFchild w;
    w.OpenInput(Path("big.bin"));
    if (toFile)
      dialogs.saveAnswers << Path("big.txt");
    w.ScanFile(toFile);
    QVERIFY(!ScanDlg->isVisible());
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, OutOfMemory);
    QCOMPARE(dialogs.messages.at(0).text, Message(Path("big.bin")));
    QCOMPARE(dialogs.messages.at(0).buttons, DialogService::Buttons::Ok);
    QCOMPARE(dialogs.messages.at(0).icon, DialogService::Icon::None);
    const QByteArray text = EditorText(w);
    QVERIFY2(text.size() > (1 << 20) && text.size() < headroom, QByteArray::number(text.size()));
    if (toFile) {
      // The file is whole; the document holds its start and no longer
      // names it, so Save cannot write the part over the whole.
      QCOMPARE(ReadAll(Path("big.txt")), whole + '\n');
      QVERIFY(whole.startsWith(text.left(text.size() - 1)));
      QVERIFY(!w.WriteToFile());
      QVERIFY(w.OutputFileName().isEmpty());
      QCOMPARE(w.Caption(), Path("big.bin"));
    } else {
      QVERIFY(whole.startsWith(text));
    }
    // With memory again, Load again gives the whole.
    qunsetenv("SIFTWELL_MEMAVAILABLE");
    dialogs.messages.clear();
    w.ReloadClick();
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(EditorText(w), whole);
  }

  void editThatCannotGetItsMemoryIsNotMade() {
    FakeDialogService dialogs;
    TRTFchild w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QByteArray start = Lines(4 << 20);
    SetEditorText(w, start);
    TextEditor& editor = *w.Edit();
    QWidget* typing = editor.focusProxy();
    typing->setFocus();
    StandIn(1 << 20);

    // A paste of 3 MiB: refused with the message.
    QGuiApplication::clipboard()->setText(QString(3 << 20, QLatin1Char('p')));
    editor.GoTo(10);
    QTest::keyClick(typing, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, OutOfMemory);
    QCOMPARE(dialogs.messages.at(0).text, EditRefused);
    QCOMPARE(dialogs.messages.at(0).icon, DialogService::Icon::None);
    QCOMPARE(EditorText(w), start);
    // Typing needs no more than a chunk: it goes on.
    QTest::keyClicks(typing, "ab");
    QCOMPARE(EditorText(w), start.left(10) + "ab" + start.mid(10));

    // Replace All makes its new text beside the old: all or nothing.
    const QByteArray before = EditorText(w);
    TextSearch search("q", true, false);
    dialogs.messages.clear();
    QCOMPARE(editor.ReplaceAll(search, 0, "QQ"), 0);
    QCOMPARE(EditorText(w), before);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).text, EditRefused);

    // Undo of a large deletion brings 4 MiB back: refused, and still to be
    // undone once there is memory again.
    qunsetenv("SIFTWELL_MEMAVAILABLE");
    editor.SelectAll();
    QTest::keyClick(typing, Qt::Key_Delete);
    QCOMPARE(editor.Length(), 0);
    StandIn(1 << 20);
    dialogs.messages.clear();
    QTest::keyClick(typing, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).text, EditRefused);
    QCOMPARE(editor.Length(), 0);
    QVERIFY(editor.CanUndo());
    qunsetenv("SIFTWELL_MEMAVAILABLE");
    QTest::keyClick(typing, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(EditorText(w), before);
  }

  void passUnderAnAddressSpaceLimit_data() {
    QTest::addColumn<bool>("toFile");
    QTest::newRow("editor") << false;
    QTest::newRow("file") << true;
  }

  void passUnderAnAddressSpaceLimit() {
    // 600 MB of lines against an address space 320 MiB larger than the
    // child's at its start: it must stop with the message, not end.
    QFETCH(bool, toFile);
    const QString input = Path("huge.bin");
    if (!QFile::exists(input))
      QVERIFY(WriteFile(input, Lines(600 << 20)));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SIFTWELL_MEMORY_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("SIFTWELL_CHILD_INPUT"), input);
    env.remove(QStringLiteral("SIFTWELL_MEMAVAILABLE"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Under AddressSanitizer a failed allocation throws, as it does without.
    if (env.contains(QStringLiteral("ASAN_OPTIONS")))
      env.insert(QStringLiteral("ASAN_OPTIONS"),
                 env.value(QStringLiteral("ASAN_OPTIONS")) +
                     QStringLiteral(":allocator_may_return_null=1"));
    if (toFile)
      env.insert(QStringLiteral("SIFTWELL_CHILD_OUTPUT"), Path("huge.txt"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(120000));
    const QByteArray said = child.readAllStandardOutput();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             said + child.readAllStandardError());
    QVERIFY2(said.contains("said Not enough memory|Not enough memory to hold the text of:"), said);
    QVERIFY2(said.contains("edited 1"), said);
    const QByteArray kept = said.mid(said.indexOf("kept ") + 5).split('\n').at(0);
    QVERIFY2(kept.toLongLong() > (16 << 20), said);
    if (toFile) {
      QVERIFY2(said.contains("writes to file 0 output ''"), said);
      QCOMPARE(QFileInfo(Path("huge.txt")).size(), qint64(600 << 20) / 41 * 41);
      QFile::remove(Path("huge.txt"));
    }
  }
};

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsSet("SIFTWELL_MEMORY_CHILD"))
    return ChildPass(argc, argv);
  // The one place that catches what escapes an event is part of what is
  // tested, so the application is the program's own.
  TApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  TestMemory test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "test_memory.moc"
