// A window's pass with other encodings or offsets chosen gives the lines of
// siftwell-extract with the same options, in the editor and in an output
// file, in one piece, in parts, from a pipe and after a Cancel; the default
// choice still gives the plain runs.
#include "extract/ExtractionChoice.h"
#include "settings/QSettingsStore.h"
#include "settings/TextOptions.h"
#include "settings/TextOptionsStore.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"

#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// `text` (ASCII or UTF-8) as `encoding` stores it: wide encodings hold each
// of its bytes as one character.
QByteArray Encoded(const QByteArray& text, Encoding encoding) {
  const unsigned width = EncodingWidth(encoding);
  if (width <= 1)
    return text;
  QByteArray out;
  for (const char c : text) {
    QByteArray unit(static_cast<qsizetype>(width), '\0');
    unit[IsBigEndian(encoding) ? width - 1 : 0] = c;
    out += unit;
  }
  return out;
}

// Binary noise with text of every encoding planted in it at random places
// (so at every alignment), some of it across the part boundaries of a large
// file. `wordy`: the noise is mostly letters, so that the lines come in
// many slices.
QByteArray PlantedInput(qsizetype size, quint32 seed, bool wordy = false) {
  QRandomGenerator random(seed);
  const QByteArray letters("abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ\xe9");
  QByteArray out(size, '\0');
  for (qsizetype i = 0; i < size; ++i)
    out[i] = wordy ? letters[random.bounded(static_cast<int>(letters.size()))]
                   : static_cast<char>(random.bounded(256));
  // Stretches of zeros now and then, where a file may be cut for all
  // encodings (binaries have them everywhere).
  for (qsizetype at = random.bounded(1 << 16); at + 8 < size; at += 1 + random.bounded(1 << 17))
    out.replace(at, 8, QByteArray(8, '\0'));
  const QList<QByteArray> texts{"Hello World", "Kernel32Module", "abcdefghijklmnop",
                                QByteArray("Gr\xc3\xbc\xc3\x9f"
                                           "e aus K\xc3\xb6ln"),
                                QByteArray("\xe6\x97\xa5\xe6\x9c\xac"
                                           "Text")};
  for (qsizetype at = random.bounded(64); at + 256 < size; at += 200 + random.bounded(3000)) {
    const QByteArray planted =
        Encoded(texts[random.bounded(static_cast<int>(texts.size()))],
                AllEncodings()[random.bounded(static_cast<int>(AllEncodings().size()))]);
    out.replace(at, planted.size(), planted);
  }
  return out;
}

QByteArray ExtractOutput(const QStringList& arguments, const QString& input) {
  QProcess process;
  process.start(QStringLiteral(SIFTWELL_BIN_DIR "/siftwell-extract"),
                arguments + QStringList{input});
  if (!process.waitForFinished(120000) || process.exitCode() != 0)
    return "<siftwell-extract failed>";
  return process.readAllStandardOutput();
}

QStringList ChoiceArguments(const ExtractionChoice& choice) {
  QStringList arguments{QStringLiteral("-e"),
                        QString::fromStdString(EncodingsText(choice.encodings))};
  if (choice.radix != 0)
    arguments << QStringLiteral("-t") << QString(QChar(choice.radix));
  return arguments;
}

ExtractionChoice Choice(const char* encodings, char radix) {
  ExtractionChoice choice;
  ParseEncodings(encodings, choice.encodings);
  choice.radix = radix;
  return choice;
}

// The text options as the command line reads them: from the stored key.
void StoreTextOptions() {
  QSettingsStore store;
  SaveTextOptions(store, GlobalTextOptions());
}

// The editor's lines as a file holds them, each ended by a line break.
QByteArray AsFileLines(QByteArray text) {
  return text.isEmpty() ? text : text + '\n';
}

} // namespace

class TestEncodedPass : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QString Path(const QString& name) const { return dir.filePath(name); }

  // The window's lines, from the editor or from the output file it wrote.
  QByteArray PassLines(const QString& input, bool toFile, FakeDialogService& dialogs) {
    TRTFchild w;
    w.OpenInput(input);
    if (toFile) {
      QFile::remove(Path("out.txt"));
      dialogs.saveAnswers << Path("out.txt");
    }
    w.ScanFile(toFile);
    const QByteArray text = EditorText(w);
    if (!toFile)
      return AsFileLines(text);
    const QByteArray written = ReadAll(Path("out.txt"));
    return written == text ? written : "<editor differs from the file>";
  }

private slots:
  void init() {
    GlobalTextOptions() = TextOptions();
    GlobalExtractionChoice() = ExtractionChoice();
    StoreTextOptions();
  }
  void cleanup() { GlobalExtractionChoice() = ExtractionChoice(); }

  void onePieceEqualsTheCommandLine_data();
  void onePieceEqualsTheCommandLine();
  void realBinariesEqualTheCommandLine_data();
  void realBinariesEqualTheCommandLine();
  void partsEqualTheCommandLine_data();
  void partsEqualTheCommandLine();
  void pipeEqualsTheCommandLine();
  void cancelInPartsEqualsTheCutInput();
  void limitsChangedInPartsCountFromTheNextPart();
  void defaultChoiceGivesThePlainRuns();
};

void TestEncodedPass::onePieceEqualsTheCommandLine_data() {
  QTest::addColumn<QByteArray>("encodings");
  QTest::addColumn<char>("radix");
  QTest::addColumn<bool>("iso");
  QTest::addColumn<bool>("toFile");
  for (const Encoding encoding : AllEncodings()) {
    const QByteArray name = EncodingName(encoding);
    QTest::newRow(name + ", no offsets") << name << char(0) << false << false;
    QTest::newRow(name + ", hex, file") << name << 'x' << false << true;
  }
  QTest::newRow("utf8 with other letters") << QByteArray("utf8") << 'd' << true << false;
  for (const char radix : {'d', 'o', 'x'})
    QTest::newRow(QByteArray("8,16le, radix ") + radix)
        << QByteArray("8,16le") << radix << false << false;
  QTest::newRow("all six, decimal, file")
      << QByteArray("8,16le,16be,32le,32be,utf8") << 'd' << true << true;
  QTest::newRow("16be,32le,utf8, no offsets")
      << QByteArray("16be,32le,utf8") << char(0) << false << false;
}

void TestEncodedPass::onePieceEqualsTheCommandLine() {
  QFETCH(QByteArray, encodings);
  QFETCH(char, radix);
  QFETCH(bool, iso);
  QFETCH(bool, toFile);
  FakeDialogService dialogs;
  GlobalTextOptions().ISO = iso;
  StoreTextOptions();
  const ExtractionChoice choice = Choice(encodings.constData(), radix);
  GlobalExtractionChoice() = choice;
  QVERIFY(WriteFile(Path("planted.bin"), PlantedInput(3 << 20, 5)));
  const QByteArray expected = ExtractOutput(ChoiceArguments(choice), Path("planted.bin"));
  QVERIFY(expected.count('\n') > 100);
  QCOMPARE(PassLines(Path("planted.bin"), toFile, dialogs), expected);
}

void TestEncodedPass::realBinariesEqualTheCommandLine_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QByteArray>("encodings");
  QTest::addColumn<char>("radix");
  const QString program = QStringLiteral(SIFTWELL_BIN_DIR "/siftwell");
  QTest::newRow("program, 8,16le, hex") << program << QByteArray("8,16le") << 'x';
  QTest::newRow("program, all, octal")
      << program << QByteArray("8,16le,16be,32le,32be,utf8") << 'o';
  QTest::newRow("shell, 8, decimal") << QStringLiteral("/bin/sh") << QByteArray("8") << 'd';
}

void TestEncodedPass::realBinariesEqualTheCommandLine() {
  QFETCH(QString, file);
  QFETCH(QByteArray, encodings);
  QFETCH(char, radix);
  FakeDialogService dialogs;
  const ExtractionChoice choice = Choice(encodings.constData(), radix);
  GlobalExtractionChoice() = choice;
  const QByteArray expected = ExtractOutput(ChoiceArguments(choice), file);
  QVERIFY(expected.count('\n') > 100);
  QCOMPARE(PassLines(file, false, dialogs), expected);
}

void TestEncodedPass::partsEqualTheCommandLine_data() {
  QTest::addColumn<QByteArray>("encodings");
  QTest::addColumn<char>("radix");
  QTest::addColumn<bool>("toFile");
  QTest::newRow("8,16le, hex") << QByteArray("8,16le") << 'x' << false;
  QTest::newRow("8,16le, hex, file") << QByteArray("8,16le") << 'x' << true;
  QTest::newRow("all six, decimal") << QByteArray("8,16le,16be,32le,32be,utf8") << 'd' << false;
  QTest::newRow("32be alone, no offsets") << QByteArray("32be") << char(0) << false;
}

void TestEncodedPass::partsEqualTheCommandLine() {
  // More than two parts' worth, so that both programs scan it in parts,
  // with planted text across every cut.
  QFETCH(QByteArray, encodings);
  QFETCH(char, radix);
  QFETCH(bool, toFile);
  QVERIFY(std::thread::hardware_concurrency() >= 2);
  FakeDialogService dialogs;
  const ExtractionChoice choice = Choice(encodings.constData(), radix);
  GlobalExtractionChoice() = choice;
  if (!QFile::exists(Path("large.bin")))
    QVERIFY(WriteFile(Path("large.bin"), PlantedInput(40 << 20, 9)));
  const QByteArray expected = ExtractOutput(ChoiceArguments(choice), Path("large.bin"));
  QVERIFY(expected.count('\n') > 1000);
  QCOMPARE(PassLines(Path("large.bin"), toFile, dialogs), expected);
}

void TestEncodedPass::pipeEqualsTheCommandLine() {
  FakeDialogService dialogs;
  const ExtractionChoice choice = Choice("8,16le,utf8", 'x');
  GlobalExtractionChoice() = choice;
  const QByteArray input = PlantedInput(1 << 20, 13);
  QVERIFY(WriteFile(Path("piped.bin"), input));
  const QByteArray expected = ExtractOutput(ChoiceArguments(choice), Path("piped.bin"));
  const QByteArray fifo = QFile::encodeName(Path("pipe"));
  ::unlink(fifo.constData());
  QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
  std::thread writer([&] {
    const int fd = ::open(fifo.constData(), O_WRONLY);
    for (qsizetype at = 0; fd >= 0 && at < input.size();) {
      const ssize_t n = ::write(fd, input.constData() + at, static_cast<size_t>(input.size() - at));
      if (n <= 0)
        break;
      at += n;
    }
    if (fd >= 0)
      ::close(fd);
  });
  const QByteArray lines = PassLines(Path("pipe"), false, dialogs);
  writer.join();
  QCOMPARE(lines, expected);
}

void TestEncodedPass::cancelInPartsEqualsTheCutInput() {
  // A Cancel as soon as the first lines are in: what the window holds is
  // the command line's output over the input up to some point, the run open
  // there judged as at the end: every line but the last is one of the whole
  // output's, and the last is one of them or its start.
  FakeDialogService dialogs;
  const ExtractionChoice choice = Choice("8,16le", 'x');
  GlobalExtractionChoice() = choice;
  QVERIFY(WriteFile(Path("wordy.bin"), PlantedInput(40 << 20, 17, true)));
  const QList<QByteArray> whole =
      ExtractOutput(ChoiceArguments(choice), Path("wordy.bin")).split('\n');
  TRTFchild w;
  w.OpenInput(Path("wordy.bin"));
  if (!ScanDlg)
    ScanDlg = new TScanDlg;
  const QMetaObject::Connection moved =
      QObject::connect(ScanDlg->Progress, &QProgressBar::valueChanged, [](int value) {
        if (value > 0)
          ScanCancelled = true;
      });
  w.ScanFile(false);
  QObject::disconnect(moved);
  QVERIFY(ScanCancelled);
  const QList<QByteArray> shown = EditorText(w).split('\n');
  QVERIFY(shown.size() > 10);
  QVERIFY(shown.size() < whole.size() - 1);
  for (qsizetype i = 0; i + 1 < shown.size(); ++i)
    QCOMPARE(shown[i], whole[i]);
  QVERIFY(whole[shown.size() - 1].startsWith(shown.last()));
  QVERIFY(shown.last().size() > 9); // its offset and more than MinChar characters
}

void TestEncodedPass::limitsChangedInPartsCountFromTheNextPart() {
  // MinChar raised as the first lines come in: the lines are those of the
  // old limits as far as they go, then, from the first run after the last
  // of those, those of the new ones, wide runs as well.
  FakeDialogService dialogs;
  const ExtractionChoice choice = Choice("8,16le", 'x');
  GlobalExtractionChoice() = choice;
  QVERIFY(WriteFile(Path("wordy.bin"), PlantedInput(40 << 20, 17, true)));
  const QList<QByteArray> before =
      ExtractOutput(ChoiceArguments(choice), Path("wordy.bin")).split('\n');
  const QList<QByteArray> after = ExtractOutput(ChoiceArguments(choice) << "-n"
                                                                        << "6",
                                                Path("wordy.bin"))
                                      .split('\n');
  const auto offset = [](const QByteArray& line) {
    return line.trimmed().split(' ').value(0).toULongLong(nullptr, 16);
  };
  TRTFchild w;
  w.OpenInput(Path("wordy.bin"));
  bool raised = false;
  if (!ScanDlg)
    ScanDlg = new TScanDlg;
  const QMetaObject::Connection moved =
      QObject::connect(ScanDlg->Progress, &QProgressBar::valueChanged, [&](int value) {
        if (value > 0 && !raised) {
          raised = true;
          GlobalTextOptions().MinChar = 6;
        }
      });
  w.ScanFile(false);
  QObject::disconnect(moved);
  QVERIFY(raised);
  const QList<QByteArray> shown = AsFileLines(EditorText(w)).split('\n');
  qsizetype kept = 0;
  while (kept < shown.size() && kept < before.size() && shown[kept] == before[kept])
    ++kept;
  QVERIFY(kept > 0 && kept < before.size() - 1);
  qsizetype from = 0;
  while (from < after.size() && offset(after[from]) <= offset(before[kept - 1]))
    ++from;
  QCOMPARE(shown.mid(kept), after.mid(from));
  // Both wide and single-byte runs were judged by the new limits.
  QVERIFY(shown.size() < before.size());
}

void TestEncodedPass::defaultChoiceGivesThePlainRuns() {
  FakeDialogService dialogs;
  QVERIFY(GlobalExtractionChoice().IsDefault());
  QVERIFY(WriteFile(Path("plain.bin"), QByteArray("\x01Hello\x00World\xff"
                                                  "H\0e\0l\0l\0o\0W\0i\0d\0e\0",
                                                  32)));
  QCOMPARE(PassLines(Path("plain.bin"), false, dialogs), QByteArray("Hello\nWorld\n"));
}

QTEST_MAIN(TestEncodedPass)
#include "test_encodedpass.moc"
