// A document whose text is larger than the memory budget keeps the rest on
// disk: the pass, edits, Undo, Replace All, Find, Save As and Load again all
// see the whole text; a disk that cannot take it stops the pass (or refuses
// the Replace All) with a message, and nothing shown is lost.

#include "settings/TextOptions.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "support/OpenFiles.h"
#include "text/TextBudget.h"
#include "ui/TRTFchild.h"
#include "ui/TextEditor.h"
#include "ui/TextSearch.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr uint64_t kBudget = 4 << 20;

// About `bytes` of lines, each ended by a control byte; every 1000th holds
// "needle".
QByteArray Rows(qsizetype bytes) {
  QByteArray input;
  input.reserve(bytes + 64);
  for (int n = 0; input.size() < bytes; ++n) {
    input += "row " + QByteArray::number(n) + (n % 1000 == 0 ? " needle" : " of text") + '\x01';
  }
  return input;
}

QByteArray Joined(QByteArray input) {
  input.replace('\x01', '\n');
  input.chop(1);
  return input;
}

QByteArray CrLf(QByteArray text) {
  return text.replace("\n", "\r\n");
}
} // namespace

// How many descriptors of this process are open on the file at `path`.
int OpenFilesNamed(const QString& path) {
  const QString canonical = QFileInfo(path).canonicalFilePath();
  int count = 0;
  for (const QString& link : OpenFilesIn(QFileInfo(path).path()))
    count += QFileInfo(QFile::symLinkTarget(link)) == QFileInfo(canonical) ? 1 : 0;
  return count;
}

class TestTextOnDisk : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QString Path(const QString& name) const { return dir.filePath(name); }
  QString Spill() const { return Path(QStringLiteral("spill")); }

private slots:
  void init() {
    GlobalTextOptions() = TextOptions();
    GlobalTextOptions().Number = GlobalTextOptions().Space = true;
    QVERIFY(QDir().mkpath(Spill()));
    TextBudget::SetSpillDirectory(Spill().toStdString());
    TextBudget::SetLimitForTests(kBudget);
  }
  void cleanup() {
    TextBudget::SetLimitForTests(0);
    TextBudget::SetSpillDirectory(std::string());
  }

  void everyCommandSeesTheWholeText_data() {
    QTest::addColumn<bool>("toFile");
    // 36 MiB: read in parts.
    QTest::newRow("editor") << false;
    QTest::newRow("file") << true;
  }

  void everyCommandSeesTheWholeText() {
    QFETCH(bool, toFile);
    FakeDialogService dialogs;
    const QByteArray input = Rows(36 << 20);
    // A pass into a file shows the file, whose last line is ended.
    const QByteArray whole = Joined(input) + (toFile ? "\n" : "");
    QVERIFY(WriteFile(Path("big.bin"), input));
    TRTFchild w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.OpenInput(Path("big.bin"));
    if (toFile)
      dialogs.saveAnswers << Path("big.txt");
    w.ScanFile(toFile);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(EditorText(w), whole);
    if (toFile)
      QCOMPARE(ReadAll(Path("big.txt")), whole);
    // Most of it is on disk, in a file that has no name; a pass into a
    // file reads it back from the file it wrote instead.
    QVERIFY2(TextBudget::Resident() < 2 * kBudget,
             QByteArray::number(qulonglong(TextBudget::Resident())));
    QCOMPARE(OpenFilesIn(Spill()).size(), toFile ? 0 : 1);
    QCOMPARE(OpenFilesNamed(Path("big.txt")), toFile ? 1 : 0);
    QVERIFY(QDir(Spill()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    if (toFile) {
      // Save over the output file the text came from: the text stays whole.
      w.FileSaveItemClick();
      QCOMPARE(ReadAll(Path("big.txt")), CrLf(whole));
      QCOMPARE(EditorText(w), whole);
    }

    TextEditor& editor = *w.Edit();
    QWidget* typing = editor.focusProxy();
    typing->setFocus();
    // Typing in the middle, where the text is on disk, and Undo.
    QByteArray expected = whole;
    const int64_t middle = whole.indexOf("row 500000 ");
    editor.GoTo(middle);
    QTest::keyClicks(typing, "typed ");
    expected.insert(middle, "typed ");
    QCOMPARE(editor.Range(middle - 10, middle + 20), expected.mid(middle - 10, 30));
    w.EditUndoItemClick();
    QCOMPARE(EditorText(w), whole);
    // Select all, a letter, Undo.
    editor.SelectAll();
    QTest::keyClicks(typing, "x");
    QCOMPARE(EditorText(w), QByteArray("x"));
    w.EditUndoItemClick();
    QCOMPARE(EditorText(w), whole);
    // Find from the start, then Replace All: its new text goes to disk too.
    const TextSearch search("needle", true, false);
    const int64_t last = whole.lastIndexOf("needle");
    QCOMPARE(editor.Find(search, last - 5), last);
    const int64_t after = editor.ReplaceAll(search, 0, "NEEDLE!");
    QByteArray replaced = whole;
    replaced.replace("needle", "NEEDLE!");
    QCOMPARE(EditorText(w), replaced);
    QCOMPARE(after, replaced.lastIndexOf("NEEDLE!") + 7);
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(TextBudget::Resident() < 2 * kBudget);
    QTRY_COMPARE(OpenFilesIn(Spill()).size(), 1); // the old text's file went with it
    // Save As writes the whole, lines ended by CR LF.
    dialogs.saveAnswers << Path("saved.txt");
    w.FileSaveAsItemClick();
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(ReadAll(Path("saved.txt")), CrLf(replaced));
    // Load again: the input's lines once more, now into the editor (the
    // document is the saved file).
    w.ReloadClick();
    QCOMPARE(EditorText(w), Joined(input));
    QTRY_COMPARE(OpenFilesIn(Spill()).size(), 1);
    w.close();
  }

  void textCutShortOnDiskIsToldOnce_data() {
    QTest::addColumn<bool>("toFile");
    QTest::newRow("spill file") << false;
    // Another program empties the output file the text is read from.
    QTest::newRow("output file") << true;
  }

  void textCutShortOnDiskIsToldOnce() {
    QFETCH(bool, toFile);
    FakeDialogService dialogs;
    // A pass into a file reads it back when it went in parts.
    const QByteArray input = Rows(toFile ? 36 << 20 : 16 << 20);
    const QByteArray whole = Joined(input) + (toFile ? "\n" : "");
    QVERIFY(WriteFile(Path("cut.bin"), input));
    TRTFchild w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.OpenInput(Path("cut.bin"));
    if (toFile)
      dialogs.saveAnswers << Path("cut.txt");
    w.ScanFile(toFile);
    QVERIFY(dialogs.messages.isEmpty());
    // The writes to disk are taken in as the window goes on.
    QTRY_VERIFY(TextBudget::Resident() < 2 * kBudget);
    const QStringList open = toFile ? QStringList{Path("cut.txt")} : OpenFilesIn(Spill());
    QCOMPARE(open.size(), 1);
    // A failing disk, or another program: what was stored is gone.
    const int fd = ::open(open[0].toLocal8Bit().constData(), O_WRONLY);
    QVERIFY(fd >= 0);
    QVERIFY(::ftruncate(fd, 0) == 0);
    ::close(fd);
    auto* view = w.Edit()->focusProxy();
    // Lines not read since (those on screen are kept read).
    w.Edit()->GoTo(w.Edit()->Length() / 3);
    for (int i = 0; i < 3; ++i) {
      view->repaint();
      QTest::qWait(20);
    }
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Error reading file"));
    QCOMPARE(dialogs.messages.at(0).text,
             QStringLiteral("Part of this window's text could not be read back from the disk. It "
                            "is shown as blanks."));
    // The lines stay where they were, and the program goes on.
    const QByteArray text = EditorText(w);
    QCOMPARE(text.size(), whole.size());
    QCOMPARE(text.count('\n'), whole.count('\n'));
    QCOMPARE(dialogs.messages.size(), 1);
  }

  void passIntoTheFileAnotherTextReadsLeavesThatTextWhole() {
    FakeDialogService dialogs;
    QByteArray first = Rows(36 << 20), second = Rows(34 << 20);
    second.replace("row", "ROW");
    QVERIFY(WriteFile(Path("first.bin"), first));
    QVERIFY(WriteFile(Path("second.bin"), second));
    const QString shared = Path("shared.txt");
    TRTFchild a, b;
    a.OpenInput(Path("first.bin"));
    dialogs.saveAnswers << shared;
    a.ScanFile(true);
    QCOMPARE(OpenFilesNamed(shared), 1);
    // Another window's pass into the same file, then the first window's
    // own again: neither empties the file a text is read from.
    b.OpenInput(Path("second.bin"));
    dialogs.saveAnswers << shared;
    b.ScanFile(true);
    QCOMPARE(EditorText(a), Joined(first) + "\n");
    QCOMPARE(EditorText(b), Joined(second) + "\n");
    QCOMPARE(ReadAll(shared), Joined(second) + "\n");
    dialogs.saveAnswers << shared;
    a.ScanFile(true);
    QCOMPARE(EditorText(a), Joined(first) + "\n");
    QCOMPARE(EditorText(b), Joined(second) + "\n");
    QCOMPARE(ReadAll(shared), Joined(first) + "\n");
    QVERIFY(dialogs.messages.isEmpty());
  }

  void fullDiskStopsThePassAndRefusesReplaceAll() {
    FakeDialogService dialogs;
    const QByteArray input = Rows(24 << 20);
    const QByteArray whole = Joined(input);
    QVERIFY(WriteFile(Path("disk.bin"), input));
    // The disk takes 3 MiB, as a file size limit gives it.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    rlimit small = old;
    small.rlim_cur = 3 << 20;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    TRTFchild w;
    w.OpenInput(Path("disk.bin"));
    w.ScanFile(false);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Not enough disk space"));
    QCOMPARE(dialogs.messages.at(0).text,
             QStringLiteral("Not enough disk space to hold the text of:\n") + Path("disk.bin") +
                 QStringLiteral("\nThe lines extracted so far are kept."));
    QCOMPARE(dialogs.messages.at(0).buttons, DialogService::Buttons::Ok);
    QCOMPARE(dialogs.messages.at(0).icon, DialogService::Icon::None);
    const QByteArray kept = EditorText(w);
    QVERIFY2(kept.size() > (3 << 20) && kept.size() < whole.size(),
             QByteArray::number(kept.size()));
    QVERIFY(whole.startsWith(kept));
    // Replace All's new text would need the disk too: not made.
    dialogs.messages.clear();
    w.Edit()->ReplaceAll(TextSearch("row", true, false), 0, "ROW");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Not enough disk space"));
    QCOMPARE(dialogs.messages.at(0).text,
             QStringLiteral("Not enough disk space for this change. The text is unchanged."));
    QCOMPARE(EditorText(w), kept);
    // With room again, Load again gives the whole.
    dialogs.messages.clear();
    w.ReloadClick();
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(EditorText(w), whole);
  }
};

QTEST_MAIN(TestTextOnDisk)
#include "test_textondisk.moc"
