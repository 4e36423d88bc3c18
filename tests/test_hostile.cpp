// Hostile inputs through the real extraction pass and the real settings
// store: files that cannot be read or that change or never end while they
// are read, outputs that cannot be written, settings that are broken or
// cannot be saved. Each case ends with nothing lost and, where something
// failed, a message that says what.

#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "extract/RunScanner.h"
#include "settings/QSettingsStore.h"
#include "settings/TextOptions.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <linux/capability.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray Native(const QString& path) {
  return QFile::encodeName(path);
}

// The text the byte path makes of `input` with the current options.
QByteArray ExpectedText(const QByteArray& input) {
  return ReferenceLines(input, GlobalTextOptions()).join('\n');
}

void ClickCancel() {
  QTest::mouseClick(ScanDlg->CancelOp, Qt::LeftButton);
}

QString SettingsPath() {
  return QSettingsStore::FileName();
}

// Root reads and writes files whatever their permission bits say. While one
// of these lives, this thread (the one the passes and the settings store run
// on) does without that override, so that a file of mode 000 is as
// unreadable to it as to any user. Nothing changes for other users.
class WithoutOverride {
public:
  WithoutOverride() {
    if (::geteuid() != 0)
      return;
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (::syscall(SYS_capget, &header_, saved_) != 0)
      return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    dropped_ = ::syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~WithoutOverride() {
    if (dropped_)
      ::syscall(SYS_capset, &header_, saved_);
  }
  WithoutOverride(const WithoutOverride&) = delete;
  WithoutOverride& operator=(const WithoutOverride&) = delete;

  // True when a file of mode 000 cannot be opened now.
  static bool PermissionsHold(const QString& folder) {
    const QByteArray probe = Native(folder + QStringLiteral("/permission-probe"));
    const int made = ::open(probe.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0000);
    if (made < 0)
      return false;
    ::close(made);
    const int fd = ::open(probe.constData(), O_RDONLY);
    if (fd >= 0)
      ::close(fd);
    ::unlink(probe.constData());
    return fd < 0;
  }

private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool dropped_ = false;
};

} // namespace

// Inside a WithoutOverride block: skips the test, after `restore`, when
// permission bits still do not stop this process.
#define SKIP_UNLESS_PERMISSIONS_HOLD(restore)                                                      \
  if (!WithoutOverride::PermissionsHold(dir.path())) {                                             \
    restore;                                                                                       \
    QSKIP("permission bits do not stop this process (root without a way to drop its override)");   \
  }

class TestHostile : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QString Path(const QString& name) const { return dir.filePath(name); }

private slots:
  void init() {
    GlobalTextOptions() = TextOptions();
    ScanCancelled = false;
  }

  void fileWithoutReadPermission();
  void directory();
  void fifoWithWriterThatCloses();
  void endlessDeviceCancelledIntoFile();
  void quietPipeIsCancelled();
  void fifoWithoutWriterIsCancelled();
  void deviceThatCannotBeRead();
  void sparseFileOver4GiB();
  void fileTruncatedWhileRead_data();
  void fileTruncatedWhileRead();
  void outputOnFullDevice();
  void fullDeviceStopsTheRead();
  void outputIsTheInputUnderAnotherName();
  void outputInFolderWithoutWritePermission();
  void singleRunOf200MB();
  void namesWithBlanksQuotesAndNonAscii();
  void settingsUnreadable();
  void settingsNotASettingsFile();
  void settingsOfWrongTypes();
  void settingsFolderWithoutWritePermission();
};

void TestHostile::fileWithoutReadPermission() {
  FakeDialogService dialogs;
  const QByteArray secret("Secret words inside");
  QVERIFY(WriteFile(Path("locked.bin"), secret));
  QVERIFY(::chmod(Native(Path("locked.bin")).constData(), 0000) == 0);
  TRTFchild w;
  w.OpenInput(Path("locked.bin"));
  SetEditorText(w, "earlier result");
  {
    WithoutOverride asUser;
    SKIP_UNLESS_PERMISSIONS_HOLD((void)0);
    w.ScanFile(false);
  }
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error reading file"));
  QCOMPARE(dialogs.messages[0].text, QStringLiteral("Couldn't open:\n") + Path("locked.bin"));
  QCOMPARE(EditorText(w), QByteArray("earlier result"));
  QVERIFY(!ScanDlg || !ScanDlg->isVisible());
  // Readable again, the same window extracts it.
  QVERIFY(::chmod(Native(Path("locked.bin")).constData(), 0600) == 0);
  w.ReloadClick();
  QCOMPARE(EditorText(w), QByteArray("Secret\nwords\ninside"));
  QCOMPARE(ReadAll(Path("locked.bin")), secret);
}

void TestHostile::directory() {
  FakeDialogService dialogs;
  QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder.bin")));
  TRTFchild w;
  w.OpenInput(Path("folder.bin") + QLatin1Char('/'));
  SetEditorText(w, "earlier result");
  dialogs.saveAnswers << Path("folder.txt");
  w.ScanFile(true);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error reading file"));
  QCOMPARE(dialogs.messages[0].text, QStringLiteral("Couldn't open:\n") + w.InputFileName());
  QCOMPARE(EditorText(w), QByteArray("earlier result"));
  // The chosen output exists, empty, as after any unreadable input.
  QCOMPARE(ReadAll(Path("folder.txt")), QByteArray());
}

void TestHostile::fifoWithWriterThatCloses() {
  FakeDialogService dialogs;
  const QByteArray fifo = Native(Path("writer.fifo"));
  QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
  // The writer waits for the pass to open the pipe, sends its text in two
  // parts and closes: the pass must end at that close with every word.
  std::thread writer([fifo] {
    const int fd = ::open(fifo.constData(), O_WRONLY);
    if (fd < 0)
      return;
    const char first[] = "Several words\x01"
                         "arr";
    const char second[] = "ive through a pipe\n";
    (void)!::write(fd, first, sizeof first - 1);
    ::usleep(20000);
    (void)!::write(fd, second, sizeof second - 1);
    ::close(fd);
  });
  TRTFchild w;
  w.OpenInput(Path("writer.fifo"));
  dialogs.saveAnswers << Path("fifo.txt");
  w.ScanFile(true);
  writer.join();
  QVERIFY(dialogs.messages.isEmpty());
  QCOMPARE(ReadAll(Path("fifo.txt")), QByteArray("Several\nwords\narrive\nthrough\n"));
  QCOMPARE(EditorText(w), QByteArray("Several\nwords\narrive\nthrough\n"));
  QVERIFY(!ScanDlg->isVisible());
}

void TestHostile::endlessDeviceCancelledIntoFile() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("zero.txt"), "older contents, emptied by the choice\n"));
  // Cancel after a moment of reading; how much was read does not matter.
  QTimer::singleShot(300, [] { ClickCancel(); });
  TRTFchild w;
  w.OpenInput(QStringLiteral("/dev/zero"));
  dialogs.saveAnswers << Path("zero.txt");
  w.ScanFile(true);
  QVERIFY(ScanCancelled);
  QVERIFY(dialogs.messages.isEmpty());
  QVERIFY(!ScanDlg->isVisible());
  QVERIFY(!w.OutputFile().IsOpen());
  QCOMPARE(ReadAll(Path("zero.txt")), QByteArray());
  QCOMPARE(EditorText(w), QByteArray());
  QCOMPARE(w.Caption(), QStringLiteral("/dev/zero -> ") + Path("zero.txt"));
}

// A writer that holds a FIFO open, sends `words` and then stays silent until
// released, or for ten seconds at most: a pass that cannot be cancelled while
// it waits shows as a test that ends only then.
class SilentWriter {
public:
  SilentWriter(const QByteArray& fifo, const QByteArray& words, int delayMs = 0)
      : thread_([this, fifo, words, delayMs] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (released_.wait_for(lock, std::chrono::milliseconds(delayMs),
                                 [this] { return done_; }))
            return;
          lock.unlock();
          const int fd = ::open(fifo.constData(), O_WRONLY);
          if (fd < 0)
            return;
          (void)!::write(fd, words.constData(), static_cast<size_t>(words.size()));
          lock.lock();
          timedOut_ = !released_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; });
          ::close(fd);
        }) {}
  // True when the writer was still holding the pipe open.
  bool Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    released_.notify_all();
    thread_.join();
    return !timedOut_;
  }

private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool done_ = false;
  bool timedOut_ = false;
  std::thread thread_;
};

void TestHostile::quietPipeIsCancelled() {
  FakeDialogService dialogs;
  const QByteArray fifo = Native(Path("quiet.fifo"));
  QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
  SilentWriter writer(fifo, "First words\x01then silence\n");
  TRTFchild w;
  w.OpenInput(Path("quiet.fifo"));
  // Once the first words are in, the pass waits on the quiet pipe; the
  // program must still answer, and Cancel end it.
  QTimer poll;
  bool repainted = false;
  connect(&poll, &QTimer::timeout, &w, [&] {
    if (!EditorText(w).contains("silence"))
      return;
    poll.stop();
    repainted = ScanDlg->isVisible();
    ClickCancel();
  });
  poll.start(20);
  w.ScanFile(false);
  QVERIFY(writer.Release());
  QVERIFY(repainted);
  QVERIFY(ScanCancelled);
  QVERIFY(dialogs.messages.isEmpty());
  QVERIFY(!ScanDlg->isVisible());
  QCOMPARE(EditorText(w), QByteArray("First\nwords\nsilence"));
}

void TestHostile::fifoWithoutWriterIsCancelled() {
  FakeDialogService dialogs;
  const QByteArray fifo = Native(Path("lonely.fifo"));
  QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
  // A writer comes only after ten seconds, to end a pass that blocked.
  SilentWriter late(fifo, "Too late\n", 10000);
  QTimer::singleShot(200, [] { ClickCancel(); });
  TRTFchild w;
  w.OpenInput(Path("lonely.fifo"));
  SetEditorText(w, "earlier result");
  QElapsedTimer clock;
  clock.start();
  w.ScanFile(false);
  const qint64 took = clock.elapsed();
  late.Release();
  QVERIFY2(took < 9000, "the pass waited for a writer instead of answering Cancel");
  QVERIFY(ScanCancelled);
  QVERIFY(dialogs.messages.isEmpty());
  QVERIFY(!ScanDlg->isVisible());
  QCOMPARE(EditorText(w), QByteArray());
}

void TestHostile::deviceThatCannotBeRead() {
  // This process's own memory opens, but its first page is never mapped:
  // reading it fails at once.
  FakeDialogService dialogs;
  TRTFchild w;
  w.OpenInput(QStringLiteral("/proc/self/mem"));
  SetEditorText(w, "earlier result");
  w.ScanFile(false);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error reading file"));
  QCOMPARE(EditorText(w), QByteArray("earlier result"));
}

void TestHostile::sparseFileOver4GiB() {
  FakeDialogService dialogs;
  // 4 GiB of holes, which cost no disk, and a line of text at the very end:
  // sizes and counts that do not fit in 32 bits.
  const QByteArray tail("\x01The text at the very end");
  const qint64 size = (qint64(1) << 32) + 4096;
  {
    const int fd = ::open(Native(Path("sparse.bin")).constData(), O_WRONLY | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QVERIFY(::ftruncate(fd, size - tail.size()) == 0);
    QVERIFY(::pwrite(fd, tail.constData(), tail.size(), size - tail.size()) == tail.size());
    ::close(fd);
  }
  QCOMPARE(QFileInfo(Path("sparse.bin")).size(), size);
  GlobalTextOptions().Space = true;
  TRTFchild w;
  w.OpenInput(Path("sparse.bin"));
  QElapsedTimer clock;
  clock.start();
  w.ScanFile(false);
  qInfo("pass over %lld bytes: %lld ms", size, clock.elapsed());
  QVERIFY(dialogs.messages.isEmpty());
  QCOMPARE(EditorText(w), QByteArray("The text at the very end"));
  QCOMPARE(ScanDlg->ProgressMax(), static_cast<uint64_t>(size));
  QCOMPARE(ScanDlg->ProgressStep(), static_cast<uint64_t>(size / 25));
  QCOMPARE(ScanDlg->ProgressAdvances(), 26u);
  QCOMPARE(ScanDlg->ProgressPosition(), static_cast<uint64_t>(size));
  QFile::remove(Path("sparse.bin"));
}

void TestHostile::fileTruncatedWhileRead_data() {
  QTest::addColumn<int>("size");
  QTest::addColumn<qint64>("keep");
  // Cut ahead of the reader: it meets the new end; cut to nothing: the
  // block already read is all there is.
  QTest::newRow("cut ahead of the reader") << (8 << 20) << qint64(3 << 20);
  QTest::newRow("cut to nothing") << (8 << 20) << qint64(0);
  // A file large enough to be read in parts, cut inside a word: the parts
  // past the new end find nothing, and the cut word is too short to keep.
  QTest::newRow("cut ahead of the parts") << (40 << 20) << qint64((20 << 20) + 3);
}

void TestHostile::fileTruncatedWhileRead() {
  QFETCH(int, size);
  QFETCH(qint64, keep);
  FakeDialogService dialogs;
  const QByteArray content = QByteArray("Wordy\x01").repeated(size / 6);
  QVERIFY(WriteFile(Path("shrinking.bin"), content));
  // The cut comes while the save dialog stands, when the first block has
  // been read and the rest has not: the same moment on any machine.
  // Cancelling that dialog leaves the pass in the editor.
  bool cut = false;
  dialogs.onSave = [&] { cut = ::truncate(Native(Path("shrinking.bin")).constData(), keep) == 0; };
  TRTFchild w;
  w.OpenInput(Path("shrinking.bin"));
  w.ScanFile(true);
  QVERIFY(cut);
  QVERIFY(dialogs.messages.isEmpty());
  QVERIFY(!ScanDlg->isVisible());
  const QByteArray text = EditorText(w);
  if (keep > 0) {
    // Every byte that was still there when it was read is in the result.
    QCOMPARE(text, ExpectedText(content.left(keep)));
  } else {
    // Whatever had been read before the cut, as whole lines of the file.
    QVERIFY(!text.isEmpty());
    const QByteArray full = ExpectedText(content);
    QVERIFY(full.startsWith(text));
    QVERIFY(text.size() < full.size());
  }
}

// A pass of `input` into a file that is /dev/full under another name: it
// reports the failed write, once.
static void ScanIntoFullDevice(TRTFchild& w, FakeDialogService& dialogs, const QString& input,
                               const QString& output) {
  QVERIFY(QFile::link(QStringLiteral("/dev/full"), output));
  w.OpenInput(input);
  dialogs.saveAnswers << output;
  w.ScanFile(true);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error writing file"));
}

void TestHostile::outputOnFullDevice() {
  FakeDialogService dialogs;
  const QByteArray input = QByteArray("Words that find no room\x01").repeated(20000);
  QVERIFY(WriteFile(Path("room.bin"), input));
  TRTFchild w;
  ScanIntoFullDevice(w, dialogs, Path("room.bin"), Path("full.txt"));
  if (QTest::currentTestFailed())
    return;
  QVERIFY2(dialogs.messages[0].text.contains(QStringLiteral("No space left on device")),
           qPrintable(dialogs.messages[0].text));
  QVERIFY(!w.OutputFile().IsOpen());
  QCOMPARE(ReadAll(Path("room.bin")), input);
  // The result is not lost: Load again puts it in the editor.
  w.ReloadClick();
  QCOMPARE(EditorText(w), ExpectedText(input));
}

void TestHostile::fullDeviceStopsTheRead() {
  // Once a write has failed, reading the rest of a large input would only
  // make the user wait: the pass stops soon after, and says why.
  FakeDialogService dialogs;
  const QByteArray input = QByteArray("Words that find no room\x01").repeated(1 << 21);
  QVERIFY(WriteFile(Path("large-room.bin"), input));
  TRTFchild w;
  ScanIntoFullDevice(w, dialogs, Path("large-room.bin"), Path("large-full.txt"));
  if (QTest::currentTestFailed())
    return;
  // The bar shows how much was examined: a few of its 25 steps, not all.
  const QProgressBar* bar = ScanDlg->Progress;
  QVERIFY2(bar->value() < bar->maximum() / 5,
           qPrintable(QStringLiteral("%1 of %2").arg(bar->value()).arg(bar->maximum())));
  QFile::remove(Path("large-room.bin"));
}

void TestHostile::outputIsTheInputUnderAnotherName() {
  FakeDialogService dialogs;
  const QByteArray input("Only copy of these words\x02\x03");
  QVERIFY(WriteFile(Path("only.bin"), input));
  QVERIFY(::link(Native(Path("only.bin")).constData(), Native(Path("hardlink.txt")).constData()) ==
          0);
  TRTFchild w;
  w.OpenInput(Path("only.bin"));
  dialogs.saveAnswers << Path("hardlink.txt");
  w.ScanFile(true);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error writing file"));
  QVERIFY(dialogs.messages[0].text.startsWith(QStringLiteral("Couldn't open:\n") +
                                              Path("hardlink.txt")));
  QCOMPARE(ReadAll(Path("only.bin")), input);
  QVERIFY(w.OutputFileName().isEmpty());
}

void TestHostile::outputInFolderWithoutWritePermission() {
  FakeDialogService dialogs;
  QVERIFY(WriteFile(Path("fine.bin"), "Readable input words"));
  QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("readonly")));
  QVERIFY(::chmod(Native(Path("readonly")).constData(), 0555) == 0);
  TRTFchild w;
  w.OpenInput(Path("fine.bin"));
  SetEditorText(w, "earlier result");
  const QString target = Path("readonly/out.txt");
  dialogs.saveAnswers << target;
  {
    WithoutOverride asUser;
    SKIP_UNLESS_PERMISSIONS_HOLD((void)0);
    w.ScanFile(true);
  }
  ::chmod(Native(Path("readonly")).constData(), 0755);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error writing file"));
  QCOMPARE(dialogs.messages[0].text, QStringLiteral("Couldn't open:\n") + target);
  QVERIFY(!QFileInfo::exists(target));
  QCOMPARE(EditorText(w), QByteArray("earlier result"));
  QCOMPARE(w.Caption(), Path("fine.bin"));
}

void TestHostile::singleRunOf200MB() {
  FakeDialogService dialogs;
  const qsizetype size = 200000000;
  {
    QByteArray run(size, 'a');
    run[0] = '\x01';
    run[size - 1] = '\x02';
    QVERIFY(WriteFile(Path("onerun.bin"), run));
  }
  GlobalTextOptions().MaxChar = 0;
  TRTFchild w;
  w.OpenInput(Path("onerun.bin"));
  w.ScanFile(false);
  QVERIFY(dialogs.messages.isEmpty());
  const QByteArray text = EditorText(w);
  QCOMPARE(text.size(), size - 2);
  QVERIFY(text == QByteArray(size - 2, 'a'));
  QCOMPARE(w.Edit()->LineCount(), int64_t(1));
  QFile::remove(Path("onerun.bin"));
}

void TestHostile::namesWithBlanksQuotesAndNonAscii() {
  FakeDialogService dialogs;
  const QString input = Path(QStringLiteral("-in 'single' \"double\" \u00e9t\u00e9 \u2603.bin"));
  const QString output = Path(QStringLiteral("-out ` $HOME ; \u00fc.txt"));
  QVERIFY(WriteFile(input, "Words\x01in a hostile name"));
  TRTFchild w;
  w.OpenInput(input);
  dialogs.saveAnswers << output;
  w.ScanFile(true);
  QVERIFY(dialogs.messages.isEmpty());
  QCOMPARE(ReadAll(output), QByteArray("Words\nhostile\n"));
  QCOMPARE(w.Caption(), input + QStringLiteral(" -> ") + output);
  QCOMPARE(ScanDlg->From->text(), input);
  // Save goes to the same file, and nothing else appeared in the folder.
  SetEditorText(w, "edited");
  w.FileSaveItemClick();
  QCOMPARE(ReadAll(output), QByteArray("edited"));
  QVERIFY(!QFileInfo::exists(Path(QStringLiteral("$HOME"))));
}

void TestHostile::settingsUnreadable() {
  FakeDialogService dialogs;
  const QString path = SettingsPath();
  QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
  const QByteArray stored("[Options]\nMinChar=9\nUpper=0\n");
  QVERIFY(WriteFile(path, stored));
  QVERIFY(::chmod(Native(path).constData(), 0000) == 0);
  {
    WithoutOverride asUser;
    SKIP_UNLESS_PERMISSIONS_HOLD(::chmod(Native(path).constData(), 0600));
    auto* form = new TMainForm;
    // Nothing could be read: the defaults, without a message.
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(GlobalTextOptions() == TextOptions());
    // A close would replace the stored values it could not read; it is
    // refused with the store's error instead.
    form->show();
    QVERIFY(!form->close());
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].icon, DialogService::Icon::Critical);
    QVERIFY2(dialogs.messages[0].text.startsWith(QStringLiteral("Failed to")),
             qPrintable(dialogs.messages[0].text));
    QVERIFY(form->isVisible());
    ::chmod(Native(path).constData(), 0600);
    QCOMPARE(ReadAll(path), stored);
    // Readable and writable again, the close saves.
    GlobalTextOptions().MinChar = 6;
    QVERIFY(form->close());
    delete form;
  }
  QSettings check(path, QSettings::IniFormat);
  QCOMPARE(check.value(QStringLiteral("Options/MinChar")).toString(), QStringLiteral("6"));
}

void TestHostile::settingsNotASettingsFile() {
  FakeDialogService dialogs;
  const QString path = SettingsPath();
  QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
  QByteArray junk;
  for (int i = 0; i < 4096; ++i)
    junk.append(static_cast<char>((i * 37 + i / 7) & 0xFF));
  QVERIFY(WriteFile(path, junk));
  auto* form = new TMainForm;
  QVERIFY(GlobalTextOptions() == TextOptions());
  form->show();
  GlobalTextOptions().MinChar = 8;
  GlobalTextOptions().Other = "\xe9 \"q\"";
  QVERIFY(form->close());
  delete form;
  QVERIFY(dialogs.messages.isEmpty());
  // The options reached the file and come back whole.
  GlobalTextOptions() = TextOptions();
  form = new TMainForm;
  QCOMPARE(GlobalTextOptions().MinChar, 8u);
  QCOMPARE(GlobalTextOptions().Other, std::string("\xe9 \"q\""));
  delete form;
  QVERIFY(dialogs.messages.isEmpty());
}

void TestHostile::settingsOfWrongTypes() {
  FakeDialogService dialogs;
  const QString path = SettingsPath();
  QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
  QVERIFY(WriteFile(path, "[Options]\nMinChar=2\nMaxChar=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
                          "Upper=0\nLower=a, b\nOther=@ByteArray(xyz)\n"));
  auto* form = new TMainForm;
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].text, QStringLiteral("Invalid data type for 'MaxChar'"));
  QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Sift Well"));
  QCOMPARE(dialogs.messages[0].icon, DialogService::Icon::Critical);
  TextOptions expected;
  expected.MinChar = 2;
  QVERIFY(GlobalTextOptions() == expected);
  // The close writes every value as text, and the next start reads them.
  form->show();
  QVERIFY(form->close());
  delete form;
  form = new TMainForm;
  QCOMPARE(dialogs.messages.size(), 1);
  QVERIFY(GlobalTextOptions() == expected);
  delete form;
}

void TestHostile::settingsFolderWithoutWritePermission() {
  FakeDialogService dialogs;
  const QString path = SettingsPath();
  const QString folder = QFileInfo(path).absolutePath();
  QFile::remove(path);
  QVERIFY(QDir().mkpath(folder));
  QVERIFY(::chmod(Native(folder).constData(), 0555) == 0);
  {
    WithoutOverride asUser;
    SKIP_UNLESS_PERMISSIONS_HOLD(::chmod(Native(folder).constData(), 0755));
    auto* form = new TMainForm;
    QVERIFY(dialogs.messages.isEmpty());
    form->show();
    form->FileNew();
    GlobalTextOptions().MinChar = 11;
    QVERIFY(!form->close());
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("Failed to create key Options."));
    QVERIFY(form->isVisible());
    QCOMPARE(form->Children().size(), 1);
    QVERIFY(!QFileInfo::exists(path));
    // Once the folder can be written, the same close saves and goes through.
    QVERIFY(::chmod(Native(folder).constData(), 0755) == 0);
    QVERIFY(form->close());
    delete form;
  }
  QCOMPARE(dialogs.messages.size(), 1);
  QSettings check(path, QSettings::IniFormat);
  QCOMPARE(check.value(QStringLiteral("Options/MinChar")).toString(), QStringLiteral("11"));
  QCOMPARE(check.value(QStringLiteral("Options/Other")).toString(), QString());
}

// The program's application object, so that errors escaping a handler
// reach the error box as they do in the program.
int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  TestHostile test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "test_hostile.moc"
