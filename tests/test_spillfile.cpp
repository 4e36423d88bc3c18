// A text over its memory budget on disk: the spill file never has a name,
// goes when the text does, and a disk that fails (full, a file size limit,
// a file cut short under the program) leaves the text whole and readable.
#include "extract/FileLineSink.h"
#include "io/FilesInUse.h"
#include "support/OpenFiles.h"
#include "text/TextBudget.h"
#include "text/TextBuffer.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <linux/magic.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBudget = 256 * 1024;

// Lines of differing lengths, each naming its number.
std::string Lines(std::size_t bytes) {
  std::string text;
  for (std::size_t n = 0; text.size() < bytes; ++n)
    text += "line " + std::to_string(n) + std::string(n % 50, 'x') + '\n';
  return text;
}

// The nice value of each of this process's threads (the stat file's 19th
// field; the name in parentheses before it holds no ')' here).
std::map<long, int> NiceOfThreads() {
  std::map<long, int> nice;
  for (const QString& task :
       QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
    if (!stat.open(QIODevice::ReadOnly))
      continue;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    nice[task.toLong()] = fields.value(16).toInt(); // field 19, counted from 3
  }
  return nice;
}

} // namespace

class TestSpillFile : public QObject {
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void spillFileHasNoNameAndGoesWithTheText();
  void fileSizeLimitKeepsTheTextInMemory();
  void unwritableFolderKeepsTheTextInMemory();
  void spillFileCutShortLeavesTheTextReadable();
  void spillWritesRunBelowTheTextsThread();
  void appendedTextBringsItsSpillFile();
  void textWrittenByOthersIsReadBackFromTheirFile();
  void fileInUseIsReplacedNotEmptied();
  void spillFileIsWrittenPastThePageCache();

private:
  QTemporaryDir folder_;
};

void TestSpillFile::init() {
  QVERIFY(folder_.isValid());
  TextBudget::SetSpillDirectory(folder_.path().toStdString());
  TextBudget::SetLimitForTests(kBudget);
}

void TestSpillFile::cleanup() {
  TextBudget::SetLimitForTests(0);
  TextBudget::SetSpillDirectory(std::string());
}

void TestSpillFile::spillFileHasNoNameAndGoesWithTheText() {
  const std::string model = Lines(4 * 1024 * 1024);
  TextBuffer text;
  text.AllowSpill();
  text.Append(model);
  text.CollectSpilled(true);
  QVERIFY(text.BytesOnDisk() > model.size() / 2);
  QVERIFY(TextBudget::Resident() <= kBudget + TextBuffer::kDefaultChunkBytes);
  QCOMPARE(text.SpillError(), 0);
  // Open, but nowhere to be seen in the folder.
  QCOMPARE(OpenFilesIn(folder_.path()).size(), 1);
  QVERIFY(QDir(folder_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
  // Read back from disk: lines, searches, an edit in the middle.
  QCOMPARE(text.Text(), model);
  QCOMPARE(text.LineStart(1000), model.find("\nline 1000\n") + 1);
  QCOMPARE(text.Find("line 5001x"), model.find("line 5001x"));
  QCOMPARE(text.FindBackward("line 7x"), model.rfind("line 7x"));
  std::string edited = model;
  edited.insert(12345, "typed");
  text.Insert(12345, "typed");
  QCOMPARE(text.Text(0, 20000), edited.substr(0, 20000));
  // A copy of the text keeps the file; the file goes with the last of them.
  TextBuffer copy = text.Snapshot();
  text.Clear();
  QCOMPARE(OpenFilesIn(folder_.path()).size(), 1);
  QCOMPARE(copy.Text(), edited);
  copy.Clear();
  QTRY_VERIFY(OpenFilesIn(folder_.path()).isEmpty());
}

void TestSpillFile::fileSizeLimitKeepsTheTextInMemory() {
  // A full disk, as a file size limit gives it: writes fail with EFBIG.
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
  rlimit small = old;
  small.rlim_cur = 512 * 1024;
  QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
  const std::string model = Lines(3 * 1024 * 1024);
  TextBuffer text;
  text.AllowSpill();
  for (std::size_t at = 0; at < model.size(); at += 4096)
    text.Append(model.substr(at, 4096));
  text.CollectSpilled(true);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  QCOMPARE(text.SpillError(), EFBIG);
  // What fit on disk stays there; the rest is in memory; nothing is lost.
  QVERIFY(text.BytesOnDisk() > 0);
  QVERIFY(text.BytesOnDisk() <= 512 * 1024);
  QCOMPARE(text.Text(), model);
  text.Erase(100, 200000);
  QCOMPARE(text.Text(), model.substr(0, 100) + model.substr(200000));
}

void TestSpillFile::unwritableFolderKeepsTheTextInMemory() {
  TextBudget::SetSpillDirectory((folder_.path() + QStringLiteral("/missing")).toStdString());
  const std::string model = Lines(1024 * 1024);
  TextBuffer text;
  text.AllowSpill();
  text.Append(model);
  QCOMPARE(text.SpillError(), ENOENT);
  QCOMPARE(text.BytesOnDisk(), uint64_t(0));
  QCOMPARE(text.Text(), model);
}

void TestSpillFile::spillFileCutShortLeavesTheTextReadable() {
  const std::string model = Lines(2 * 1024 * 1024);
  TextBuffer text;
  text.AllowSpill();
  text.Append(model);
  text.CollectSpilled(true);
  QVERIFY(text.BytesOnDisk() > 0);
  // What a failing disk does: the stored bytes are gone.
  const QStringList open = OpenFilesIn(folder_.path());
  QCOMPARE(open.size(), 1);
  const int fd = ::open(open[0].toLocal8Bit().constData(), O_WRONLY);
  QVERIFY(fd >= 0);
  QVERIFY(::ftruncate(fd, 1000) == 0);
  ::close(fd);
  // Every line is still where the counts say, and the reads say they failed.
  const std::string now = text.Text();
  QCOMPARE(now.size(), model.size());
  QCOMPARE(now.substr(0, 1000), model.substr(0, 1000));
  QCOMPARE(static_cast<std::size_t>(std::count(now.begin(), now.end(), '\n')),
           text.LineCount() - 1);
  for (std::size_t line = 0; line < text.LineCount(); line += 997)
    QVERIFY(text.LineStart(line) <= text.LineEnd(line));
  QCOMPARE(text.Find("no such needle"), TextBuffer::npos);
  QVERIFY(text.SpillError() != 0);
}

void TestSpillFile::spillWritesRunBelowTheTextsThread() {
  const long self = ::syscall(SYS_gettid);
  const std::map<long, int> before = NiceOfThreads();
  TextBuffer text;
  text.AllowSpill();
  text.Append(Lines(1024 * 1024));
  text.CollectSpilled(true);
  QVERIFY(text.BytesOnDisk() > 0);
  // The writer is a new thread, below this one; this one is where it was.
  const std::map<long, int> after = NiceOfThreads();
  QCOMPARE(after.at(self), before.at(self));
  int lowered = 0;
  for (const auto& [tid, nice] : after)
    lowered += before.count(tid) == 0 && nice > before.at(self);
  QCOMPARE(lowered, 1);
}

void TestSpillFile::appendedTextBringsItsSpillFile() {
  // As a pass into a file hands the text it kept to its document: moved
  // out, with writes still under way, into a text that may spill.
  const std::string model = Lines(4 * 1024 * 1024);
  TextBuffer kept;
  kept.AllowSpill();
  kept.Append(model);
  // Which file, not which descriptor: a number may serve again.
  const auto files = [this] {
    QStringList targets;
    for (const QString& link : OpenFilesIn(folder_.path()))
      targets << QFileInfo(link).symLinkTarget();
    return targets;
  };
  const QStringList before = files();
  QCOMPARE(before.size(), 1);
  TextBuffer document;
  document.AllowSpill();
  document.AppendBuffer(TextBuffer(std::move(kept)));
  document.CollectSpilled(true);
  // The document goes on in the same file; nothing was written twice.
  QCOMPARE(files(), before);
  QVERIFY(TextBudget::Resident() <= kBudget + TextBuffer::kDefaultChunkBytes);
  QCOMPARE(document.Text(), model);
}

void TestSpillFile::textWrittenByOthersIsReadBackFromTheirFile() {
  const std::string path = folder_.filePath(QStringLiteral("out.txt")).toStdString();
  int error = 0;
  const int out = FileLineSink::OpenFile(path, error);
  QVERIFY(out >= 0);
  const std::string head = "written before\n";
  QCOMPARE(::write(out, head.data(), head.size()), ssize_t(head.size()));
  const std::string model = Lines(2 * 1024 * 1024);
  const uint64_t before = TextBudget::Resident();
  TextBuffer text;
  text.BackWith(SpillFile::Backing(out, error), head.size());
  QCOMPARE(error, 0);
  text.Append(model);
  // Nothing is in the file yet, then half of it: only chunks wholly
  // written leave memory.
  text.LeaveInFile(head.size());
  QCOMPARE(text.BytesOnDisk(), uint64_t(0));
  const std::size_t half = model.size() / 2;
  QCOMPARE(::write(out, model.data(), half), ssize_t(half));
  text.LeaveInFile(head.size() + half);
  QVERIFY(text.BytesOnDisk() > half - TextBuffer::kDefaultChunkBytes);
  QVERIFY(text.BytesOnDisk() <= half);
  QCOMPARE(text.Text(), model);
  // All of it: the last chunk stays for the appends.
  QCOMPARE(::write(out, model.data() + half, model.size() - half), ssize_t(model.size() - half));
  text.LeaveInFile(head.size() + model.size());
  QVERIFY(text.BytesOnDisk() >= model.size() - TextBuffer::kDefaultChunkBytes);
  // The last chunk, and those read back above (a few are kept read).
  QVERIFY(TextBudget::Resident() <= before + 9 * TextBuffer::kDefaultChunkBytes);
  QCOMPARE(text.Text(), model);
  QCOMPARE(text.LineStart(1000), model.find("\nline 1000\n") + 1);
  QCOMPARE(text.FindBackward("line 7x"), model.rfind("line 7x"));
  // No second copy on disk: the output file is the only file open here.
  QCOMPARE(OpenFilesIn(folder_.path()).size(), 1); // through ours, and the text's descriptor
  QVERIFY(!text.ReadFailed());
  ::close(out);

  // Once changed other than at its end, the text is no longer the file:
  // nothing more leaves memory, whatever the file holds.
  std::string edited = model;
  text.Insert(100, "typed");
  edited.insert(100, "typed");
  const uint64_t onDisk = text.BytesOnDisk();
  text.Append(model);
  edited += model;
  text.LeaveInFile(uint64_t(1) << 40);
  QVERIFY(text.BytesOnDisk() <= onDisk);
  QCOMPARE(text.Text(), edited);
  // The file counts as in use while a text reads from it.
  QVERIFY(FilesInUse::Holds(path));
  text.Clear();
  QVERIFY(!FilesInUse::Holds(path));
}

void TestSpillFile::fileInUseIsReplacedNotEmptied() {
  const std::string path = folder_.filePath(QStringLiteral("again.txt")).toStdString();
  int error = 0;
  const int out = FileLineSink::OpenFile(path, error);
  QVERIFY(out >= 0);
  const std::string model = Lines(512 * 1024);
  QCOMPARE(::write(out, model.data(), model.size()), ssize_t(model.size()));
  QCOMPARE(::fchmod(out, 0640), 0);
  TextBuffer text;
  text.BackWith(SpillFile::Backing(out, error), 0);
  text.Append(model);
  text.LeaveInFile(model.size());
  ::close(out);
  QVERIFY(text.BytesOnDisk() > model.size() / 2);
  struct stat old {};
  QCOMPARE(::stat(path.c_str(), &old), 0);

  // Opened for a pass again (Load again): a new, empty file with the old
  // one's permissions takes the name; the text still reads the old one.
  const int again = FileLineSink::OpenFile(path, error);
  QVERIFY(again >= 0);
  struct stat now {};
  QCOMPARE(::fstat(again, &now), 0);
  QVERIFY(now.st_ino != old.st_ino);
  QCOMPARE(now.st_size, off_t(0));
  QCOMPARE(now.st_mode & 07777, mode_t(0640));
  QCOMPARE(::write(again, "new\n", 4), ssize_t(4));
  ::close(again);
  QCOMPARE(text.Text(), model);
  QVERIFY(!text.ReadFailed());
  // A file no text reads is emptied in place, as always.
  text.Clear();
  const int third = FileLineSink::OpenFile(path, error);
  QVERIFY(third >= 0);
  QCOMPARE(::fstat(third, &now), 0);
  ::close(third);
  QCOMPARE(now.st_size, off_t(0));
  struct stat named {};
  QCOMPARE(::stat(path.c_str(), &named), 0);
  QCOMPARE(named.st_ino, now.st_ino);
}

void TestSpillFile::spillFileIsWrittenPastThePageCache() {
  struct statfs fs {};
  QVERIFY(::statfs(folder_.path().toLocal8Bit().constData(), &fs) == 0);
  if (fs.f_type == TMPFS_MAGIC)
    QSKIP("a folder in memory has no disk to write to");
  const std::string model = Lines(8 * 1024 * 1024);
  TextBuffer text;
  text.AllowSpill();
  text.Append(model);
  text.CollectSpilled(true);
  QVERIFY(text.BytesOnDisk() > model.size() / 2);
  // One of the descriptors of the one file in the folder writes directly.
  int direct = 0;
  for (const QString& link : DescriptorsIn(folder_.path())) {
    QFile info(QString(link).replace(QStringLiteral("/fd/"), QStringLiteral("/fdinfo/")));
    QVERIFY(info.open(QIODevice::ReadOnly));
    const QByteArray flags = info.readAll().split('\n').value(1).split('\t').last();
    direct += (flags.trimmed().toUInt(nullptr, 8) & O_DIRECT) != 0 ? 1 : 0;
  }
  QCOMPARE(OpenFilesIn(folder_.path()).size(), 1);
  QCOMPARE(direct, 1);
  QCOMPARE(text.Text(), model);
}

QTEST_APPLESS_MAIN(TestSpillFile)
#include "test_spillfile.moc"
