// Print Setup with the real dialogs: a print dialog in which the printer is
// chosen, accepted by "OK", storing the choice in the one printer that every
// document window shares, and printing nothing.
#include "ui/DialogService.h"
#include "ui/TRTFchild.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// What a test saw of the print setup dialog while it was shown.
struct Seen {
  bool printDialog = false;
  QString title;
  QString acceptText;
  QString fileName;
  QString failure; // why the dialog was left without the test's answer
};

// Runs `open`, which is to show a modal dialog; once it is up, `answer` is
// called with it, after the dialog was looked at. A dialog that is not the
// expected one is rejected, so that the test never hangs.
Seen WhileShown(const std::function<void()>& open, const std::function<void(QDialog*)>& answer) {
  Seen seen;
  QTimer::singleShot(0, [&seen, &answer] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      seen.failure = QStringLiteral("no modal dialog");
      return;
    }
    seen.printDialog = qobject_cast<QPrintDialog*>(dialog) != nullptr;
    seen.title = dialog->windowTitle();
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      if (button->isDefault())
        seen.acceptText = button->text();
    if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
      seen.fileName = file->text();
    if (!QTest::qWaitForWindowActive(dialog)) {
      seen.failure = QStringLiteral("dialog never became active");
      dialog->reject();
      return;
    }
    answer(dialog);
    if (dialog->isVisible()) {
      seen.failure = QStringLiteral("the answer left the dialog open");
      dialog->reject();
    }
  });
  open();
  return seen;
}

// A key pressed where the focus is, as the user presses it.
void Press(QDialog* dialog, Qt::Key key) {
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus && dialog->isAncestorOf(focus) ? focus : dialog, key);
}

// Picks the PDF file "printer", the one every machine has, with `path`.
void ChoosePdfFile(QDialog* dialog, const QString& path) {
  auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
  auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
  if (!printers || !file)
    return;
  printers->setCurrentIndex(printers->count() - 1);
  file->setText(path);
}

} // namespace

class TestPrintSetup : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

private slots:
  void initTestCase() {
    SetDialogs(nullptr); // the real dialogs
    QVERIFY(dir.isValid());
  }

  void choosesThePrinterAndPrintsNothing() {
    QPrinter& printer = TRTFchild::SharedPrinter();
    printer.setOutputFormat(QPrinter::NativeFormat);
    const QString pdf = dir.filePath(QStringLiteral("chosen.pdf"));

    TRTFchild first;
    first.show();
    // The window's "P&rint Setup..." menu item, found by its name.
    auto* firstItem = first.findChild<QAction*>(QStringLiteral("FilePrintSetupItem"));
    QVERIFY(firstItem);
    const Seen seen = WhileShown([firstItem] { firstItem->trigger(); },
                                 [&pdf](QDialog* dialog) {
                                   ChoosePdfFile(dialog, pdf);
                                   Press(dialog, Qt::Key_Return);
                                 });
    QVERIFY2(seen.failure.isEmpty(), qPrintable(seen.failure));
    QVERIFY(seen.printDialog);
    QCOMPARE(seen.title, QStringLiteral("Print Setup"));
    QCOMPARE(seen.acceptText, QStringLiteral("OK"));

    // The choice is in the shared printer; nothing was printed.
    QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
    QCOMPARE(printer.outputFileName(), pdf);
    QVERIFY(!QFile::exists(pdf));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());

    // Another window's Print Setup starts from the same printer; Esc there
    // changes nothing.
    TRTFchild second;
    second.show();
    auto* secondItem = second.findChild<QAction*>(QStringLiteral("FilePrintSetupItem"));
    QVERIFY(secondItem);
    const Seen again =
        WhileShown([secondItem] { secondItem->trigger(); },
                   [](QDialog* dialog) {
                     if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
                       file->setText(QStringLiteral("/nowhere/else.pdf"));
                     Press(dialog, Qt::Key_Escape);
                   });
    QVERIFY2(again.failure.isEmpty(), qPrintable(again.failure));
    QCOMPARE(again.fileName, pdf);
    QCOMPARE(&TRTFchild::SharedPrinter(), &printer);
    QCOMPARE(printer.outputFileName(), pdf);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
  }

  void realServiceAnswersAcceptAndCancel() {
    QPrinter printer;
    QWidget parent;
    const QString pdf = dir.filePath(QStringLiteral("service.pdf"));
    bool accepted = false;
    Seen seen = WhileShown([&] { accepted = Dialogs().ExecPrintSetupDialog(&parent, &printer); },
                           [&pdf](QDialog* dialog) {
                             ChoosePdfFile(dialog, pdf);
                             Press(dialog, Qt::Key_Return);
                           });
    QVERIFY2(seen.failure.isEmpty(), qPrintable(seen.failure));
    QVERIFY(accepted);
    QCOMPARE(printer.outputFileName(), pdf);

    seen = WhileShown([&] { accepted = Dialogs().ExecPrintSetupDialog(&parent, &printer); },
                      [](QDialog* dialog) { Press(dialog, Qt::Key_Escape); });
    QVERIFY2(seen.failure.isEmpty(), qPrintable(seen.failure));
    QVERIFY(!accepted);
    QVERIFY(!QFile::exists(pdf));
  }
};

QTEST_MAIN(TestPrintSetup)
#include "test_printsetup.moc"
