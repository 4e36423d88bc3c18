// The start-up sequence, the command-line files, a failing settings load at
// start-up, and the error catch point of the application.

#include "app/StartUp.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "settings/QSettingsStore.h"
#include "settings/TextOptions.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/Help.h"
#include "ui/TMyAboutBox.h"
#include "ui/TOptions.h"
#include "ui/TRTFchild.h"
#include "ui/TScanDlg.h"
#include "ui/TextEditor.h"
#include "ui/TextVersionRecord.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString SettingsPath() {
  return QSettingsStore::FileName();
}

QList<QByteArray> Names(const QStringList& names) {
  QList<QByteArray> bytes;
  for (const QString& name : names)
    bytes.append(QFile::encodeName(name));
  return bytes;
}

QStringList Captions() {
  QStringList captions;
  for (const TRTFchild* child : MainForm->Children())
    captions.append(child->Caption());
  return captions;
}
} // namespace

class TestStartUp : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

private slots:
  void init() {
    QFile::remove(SettingsPath());
    GlobalTextOptions() = TextOptions();
  }

  void cleanup() { ShutDown(); }

  void startUpMakesTheWindowsAndOpensTheArguments() {
    FakeDialogService dialogs;
    const QString first = dir.filePath(QStringLiteral("one.bin"));
    const QString second = dir.filePath(QStringLiteral("two.bin"));
    QVERIFY(WriteFile(first, QByteArray("\x00\x01"
                                        "Alphabet\x02",
                                        11)));
    QVERIFY(WriteFile(second, QByteArray("\xff\xfeZebrafish\x03", 12)));

    StartUp(Names({first, second}));
    QCOMPARE(QApplication::applicationName(), QStringLiteral("Sift Well"));
    QVERIFY(!QApplication::windowIcon().isNull());
    QVERIFY(MainForm && MainForm->isVisible());
    QVERIFY(ScanDlg && !ScanDlg->isVisible());
    QVERIFY(Options && !Options->isVisible());
    QVERIFY(MyAboutBox && !MyAboutBox->isVisible());
    QCOMPARE(MyAboutBox->windowTitle(), QStringLiteral("About Sift Well"));
    QCOMPARE(MainForm->windowTitle(), QStringLiteral("Sift Well"));

    // One window per argument, in order, filled without an output question.
    QCOMPARE(Captions(), QStringList({first, second}));
    QVERIFY(dialogs.saveProposals.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(EditorText(*MainForm->Children().at(0)), QByteArray("Alphabet"));
    QCOMPARE(EditorText(*MainForm->Children().at(1)), QByteArray("Zebrafish"));
    QVERIFY(MainForm->acceptDrops());

    ShutDown();
    QVERIFY(!MainForm && !ScanDlg && !Options && !MyAboutBox);
  }

  void emptyArgumentGivesAnUnnamedDocument() {
    FakeDialogService dialogs;
    StartUp({QByteArray()});
    QCOMPARE(Captions(), QStringList({"(No Name 1)"}));
    QVERIFY(EditorText(*MainForm->Children().at(0)).isEmpty());
    QVERIFY(dialogs.messages.isEmpty());

    // No arguments: no documents.
    ShutDown();
    StartUp({});
    QVERIFY(Captions().isEmpty());
  }

  void missingArgumentIsReportedAndTheNextOneOpened() {
    FakeDialogService dialogs;
    const QString good = dir.filePath(QStringLiteral("good.bin"));
    QVERIFY(WriteFile(good, "Goodness"));
    StartUp(Names({dir.filePath(QStringLiteral("absent.bin")), good}));
    QCOMPARE(MainForm->Children().size(), 2);
    QVERIFY(!dialogs.messages.isEmpty());
    QCOMPARE(EditorText(*MainForm->Children().at(1)), QByteArray("Goodness"));
  }

  void wrongTypeSettingsValueIsShownAndDropsStayOff() {
    FakeDialogService dialogs;
    // An unquoted comma makes a list of the value.
    QVERIFY(WriteFile(SettingsPath(), "[Options]\nMinChar=2, 3\n"));
    const QString file = dir.filePath(QStringLiteral("after.bin"));
    QVERIFY(WriteFile(file, "Afterwards"));

    StartUp(Names({file}));
    QCOMPARE(dialogs.messages.size(), 1);
    // "'" sorts before ".": no period is added.
    QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("Invalid data type for 'MinChar'"));
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Sift Well"));
    QCOMPARE(dialogs.messages.at(0).icon, DialogService::Icon::Critical);
    // Only the rest of the main window's creation was skipped.
    QVERIFY(!MainForm->acceptDrops());
    QVERIFY(HelpFile().endsWith(QStringLiteral("/test_startup.qhc")));
    QVERIFY(MyAboutBox);
    QCOMPARE(Captions(), QStringList({file}));
    QCOMPARE(EditorText(*MainForm->Children().at(0)), QByteArray("Afterwards"));
  }

  void nameThatIsNotUtf8IsOpenedByItsBytes() {
    // Latin-1 names from old archives and memory cards: the name's bytes
    // open the file, and the caption and progress dialog show it readably.
    FakeDialogService dialogs;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray name = folder + "/\xff\xfe caf\xe9 [*].bin";
    QVERIFY(WriteFileNamed(name, "\x01Latin words\x02"));
    StartUp({name});
    QVERIFY(dialogs.messages.isEmpty());
    TRTFchild* child = MainForm->Children().at(0);
    QCOMPARE(child->InputPath(), name);
    QCOMPARE(EditorText(*child), QByteArray("Latin\nwords"));
    const QString shown =
        QFile::decodeName(folder) + QStringLiteral("/\ufffd\ufffd caf\ufffd [*].bin");
    QCOMPARE(child->Caption(), shown);
    QCOMPARE(ScanDlg->From->text(), shown);
    ::unlink(name.constData());
  }

  void aboutWorksDuringACommandLinePass() {
    // A pipe whose writer sends a line and stays open keeps the command-line
    // pass running; About must show the box, with its texts and font as
    // they are after start-up, in its middle.
    FakeDialogService dialogs;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("about.fifo")));
    ::unlink(fifo.constData());
    QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
    const int writer = ::open(fifo.constData(), O_RDWR | O_NONBLOCK);
    QVERIFY(writer >= 0);
    QVERIFY(::write(writer, "hello\n", 6) == 6);
    bool passShown = false;
    bool boxShown = false;
    QString title;
    QList<QFont> fonts;
    QTimer::singleShot(300, [&] {
      passShown = ScanDlg && ScanDlg->isVisible();
      QTimer::singleShot(100, [&] {
        if (!MyAboutBox)
          return;
        boxShown = MyAboutBox->isVisible();
        title = MyAboutBox->windowTitle();
        for (const QLabel* label :
             {MyAboutBox->Name, MyAboutBox->Version, MyAboutBox->Copyright, MyAboutBox->email})
          fonts.append(label->font());
        MyAboutBox->accept();
      });
      QTest::mouseClick(MainForm->AboutBtn(), Qt::LeftButton);
      ScanCancelled = true;
    });
    QTimer::singleShot(10000, [] { ScanCancelled = true; });
    StartUp({fifo});
    ::close(writer);
    QVERIFY(passShown);
    QVERIFY(boxShown);
    QCOMPARE(title, QStringLiteral("About Sift Well"));
    const std::unique_ptr<VersionRecord> record = TextVersionRecord::Program();
    const TMyAboutBox fitted(record.get(), {});
    QCOMPARE(fonts, QList<QFont>({fitted.Name->font(), fitted.Version->font(),
                                  fitted.Copyright->font(), fitted.email->font()}));
    QCOMPARE(EditorText(*MainForm->Children().at(0)), QByteArray("hello"));
    QVERIFY(dialogs.messages.isEmpty());
    ::unlink(fifo.constData());
  }

  void errorsEscapingAHandlerAreShownAndTheLoopGoesOn() {
    FakeDialogService dialogs;
    bool later = false;
    QTimer::singleShot(0, this, [] { throw std::runtime_error("Cannot do that"); });
    QTimer::singleShot(0, this, [] { throw std::runtime_error("Stopped."); });
    QTimer::singleShot(0, this, [] { throw std::runtime_error("Really?"); });
    QTimer::singleShot(0, this, [&later] { later = true; });
    QTRY_VERIFY(later);
    QCOMPARE(dialogs.messages.size(), 3);
    QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("Cannot do that."));
    QCOMPARE(dialogs.messages.at(1).text, QStringLiteral("Stopped."));
    // "?" sorts after ".", so it gets one too.
    QCOMPARE(dialogs.messages.at(2).text, QStringLiteral("Really?."));
    for (const auto& shown : dialogs.messages) {
      QCOMPARE(shown.caption, QStringLiteral("Sift Well"));
      QCOMPARE(shown.buttons, DialogService::Buttons::Ok);
      QCOMPARE(shown.icon, DialogService::Icon::Critical);
    }
  }
};

// The error catch point is part of what is tested, so the application is the
// program's own rather than QTEST_MAIN's.
int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  TestStartUp test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
