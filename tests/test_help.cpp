// The help file path rule and the help viewer on the program's compiled help.

#include "app/TMainForm.h"
#include "support/FakeDialogService.h"
#include "ui/Help.h"
#include "ui/THelpViewer.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHelpIndexWidget>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

namespace {
const QString CompiledHelp = QStringLiteral(SIFTWELL_BIN_DIR "/siftwell.qhc");

QString PageText() {
  auto* browser = THelpViewer::Instance()->findChild<QTextBrowser*>();
  return browser ? browser->toPlainText() : QString();
}
} // namespace

class TestHelp : public QObject {
  Q_OBJECT
private slots:
  void cleanup() { delete THelpViewer::Instance(); }

  void pathRule_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("help");
    QTest::newRow("no extension") << "/usr/lib/siftwell/siftwell"
                                  << "/usr/lib/siftwell/siftwell.qhc";
    QTest::newRow("extension replaced") << "x.bin"
                                        << "x.qhc";
    QTest::newRow("last dot only") << "/opt/a/prog.tar.gz"
                                   << "/opt/a/prog.tar.qhc";
    QTest::newRow("dot in a folder name") << "/opt/sift.well/siftwell"
                                          << "/opt/sift.well/siftwell.qhc";
    QTest::newRow("renamed program") << "/home/u/bin/Extractor.exe"
                                     << "/home/u/bin/Extractor.qhc";
  }
  void pathRule() {
    QFETCH(QString, program);
    QFETCH(QString, help);
    QCOMPARE(HelpFileFor(program), help);
  }

  void mainWindowSetsTheHelpFileOfTheProgram() {
    FakeDialogService dialogs;
    TMainForm form;
    const QString expected =
        QFileInfo(QDir(QStringLiteral(SIFTWELL_BIN_DIR)).filePath(QStringLiteral("test_help")))
            .canonicalFilePath() +
        QStringLiteral(".qhc");
    QCOMPARE(HelpFile(), expected);

    // Contents, the Help button and Search all open the viewer on it.
    form.HelpContentsItem()->trigger();
    QVERIFY(THelpViewer::Instance());
    QVERIFY(THelpViewer::Instance()->isVisible());
    QCOMPARE(THelpViewer::Instance()->CurrentPane(), QStringLiteral("contents"));
    form.HelpSearchItem()->trigger();
    QCOMPARE(THelpViewer::Instance()->CurrentPane(), QStringLiteral("index"));
    THelpViewer::Instance()->hide();
    form.HelpBtn()->click();
    QVERIFY(THelpViewer::Instance()->isVisible());
    QCOMPARE(THelpViewer::Instance()->CurrentPane(), QStringLiteral("contents"));
    // There is no such help file beside the test program: nothing is said,
    // and none is made.
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(expected));
  }

  void missingHelpFileShowsNothingAndCreatesNothing() {
    FakeDialogService dialogs;
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("gone.qhc"));
    SetHelpFile(missing);
    ShowHelpContents();
    ShowHelpIndex();
    ShowHelpContext(12001);
    QVERIFY(THelpViewer::Instance()->isVisible());
    QVERIFY(THelpViewer::Instance()->CurrentUrl().isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(!QFileInfo::exists(missing));
  }

  void contextShowsTheOptionsTopic() {
    QVERIFY2(QFileInfo::exists(CompiledHelp), "the help is built with the program");
    SetHelpFile(CompiledHelp);
    ShowHelpContext(12001);
    const QUrl url = THelpViewer::Instance()->CurrentUrl();
    QCOMPARE(url.scheme(), QStringLiteral("qthelp"));
    QVERIFY2(url.path().endsWith(QStringLiteral("/options.html")), qPrintable(url.toString()));
    QVERIFY(PageText().contains(QStringLiteral("Text options")));
    QCOMPARE(THelpViewer::Instance()->windowTitle(), QStringLiteral("Sift Well Help"));
    QVERIFY(!THelpViewer::Instance()->testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(!THelpViewer::Instance()->parentWidget());

    // A number without a topic leaves the page as it was.
    ShowHelpContext(4711);
    QCOMPARE(THelpViewer::Instance()->CurrentUrl(), url);
  }

  void contentsShowTheStartPageAndIndexListsKeywords() {
    SetHelpFile(CompiledHelp);
    ShowHelpContents();
    QCOMPARE(THelpViewer::Instance()->CurrentPane(), QStringLiteral("contents"));
    QTRY_VERIFY(!THelpViewer::Instance()->CurrentUrl().isEmpty());
    QVERIFY(THelpViewer::Instance()->CurrentUrl().path().endsWith(QStringLiteral("/index.html")));
    QVERIFY(PageText().contains(QStringLiteral("Sift Well")));

    ShowHelpIndex();
    QCOMPARE(THelpViewer::Instance()->CurrentPane(), QStringLiteral("index"));
    auto* index = THelpViewer::Instance()->findChild<QHelpIndexWidget*>();
    QVERIFY(index);
    QTRY_VERIFY(index->model() && index->model()->rowCount() > 0);
    // Typing narrows the index; Enter opens the entry.
    auto* lookFor = THelpViewer::Instance()->findChild<QLineEdit*>();
    QVERIFY(lookFor && lookFor->hasFocus());
    QTest::keyClicks(lookFor, QStringLiteral("Text options"));
    QTest::keyClick(lookFor, Qt::Key_Return);
    QVERIFY(THelpViewer::Instance()->CurrentUrl().path().endsWith(QStringLiteral("/options.html")));

    // Opening the help again reuses the one viewer.
    THelpViewer* first = THelpViewer::Instance();
    ShowHelpContext(12001);
    QCOMPARE(THelpViewer::Instance(), first);
  }

  void helpWorksWhereverTheFilesAreCopied() {
    // An installed copy lies elsewhere; the collection finds its
    // documentation beside itself.
    QTemporaryDir dir;
    const QString qhc = dir.filePath(QStringLiteral("prog.qhc"));
    QVERIFY(QFile::copy(CompiledHelp, qhc));
    QVERIFY(QFile::copy(QStringLiteral(SIFTWELL_BIN_DIR "/siftwell.qch"),
                        dir.filePath(QStringLiteral("siftwell.qch"))));
    SetHelpFile(qhc);
    ShowHelpContext(12001);
    QVERIFY(PageText().contains(QStringLiteral("Text options")));
  }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
