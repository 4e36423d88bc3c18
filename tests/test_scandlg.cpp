// The progress dialog: its form, the animation while shown, Cancel by
// click, Enter and Esc, closing from the title bar, keeping the focus, and
// the 64-bit progress bar.
#include "ui/DialogFont.h"
#include "ui/TAnimate.h"
#include "ui/TScanDlg.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <climits>

class TestScanDlg : public QObject {
  Q_OBJECT
private slots:
  void init() { ScanCancelled = false; }
  void formAsDesigned();
  void animationPlaysOnlyWhileShown();
  void cancelByClickEnterAndEsc();
  void titleBarCloseOnlyHides();
  void takesTheFocusBackWhileShown();
  void takesTheFocusWhenShown();
  void takesTheFocusBackWhenAModalBoxCloses();
  void progressKeepsAdvancesBeyondIntRange();
  void captionsFitInOneFont();
};

void TestScanDlg::formAsDesigned() {
  TScanDlg dlg;
  QCOMPARE(dlg.windowTitle(), QStringLiteral("Extracting text"));
  QCOMPARE(dlg.size(), QSize(405, 103));
  QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
  QVERIFY(!(dlg.windowFlags() & Qt::WindowMinMaxButtonsHint));
  QCOMPARE(dlg.pos(), QPoint(217, 227));
  QVERIFY(!dlg.isModal());
  QCOMPARE(dlg.FromLabel->text(), QStringLiteral("From:"));
  QVERIFY(dlg.From->isReadOnly());
  QVERIFY(!dlg.From->hasFrame());
  QCOMPARE(dlg.From->geometry().topLeft(), QPoint(56, 8));
  QCOMPARE(dlg.FromLabel->geometry(), QRect(8, 8, 26, 13));
  QCOMPARE(dlg.From->geometry(), QRect(56, 8, 329, 13));
  QCOMPARE(dlg.AnimateComp->geometry(), QRect(8, 29, 48, 50));
  QCOMPARE(dlg.Progress->geometry(), QRect(64, 32, 321, 16));
  QCOMPARE(dlg.Progress->minimum(), 0);
  QCOMPARE(dlg.Progress->maximum(), 10);
  QCOMPARE(dlg.ProgressStep(), 1u);
  QCOMPARE(dlg.CancelOp->text(), QStringLiteral("Cancel"));
  QCOMPARE(dlg.CancelOp->geometry(), QRect(155, 54, 75, 25));
  QVERIFY(dlg.CancelOp->isDefault());
  // Every caption fits its box.
  QVERIFY(dlg.FromLabel->sizeHint().width() <= dlg.FromLabel->width());
  QVERIFY(dlg.FromLabel->sizeHint().height() <= dlg.FromLabel->height());
  QVERIFY(dlg.From->fontMetrics().height() <= dlg.From->height());
  QVERIFY(dlg.CancelOp->fontMetrics().horizontalAdvance(dlg.CancelOp->text()) + 16 <=
          dlg.CancelOp->width());
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QCOMPARE(QApplication::focusWidget(), dlg.CancelOp);
}

void TestScanDlg::animationPlaysOnlyWhileShown() {
  TScanDlg dlg;
  QVERIFY(!dlg.AnimateComp->Active());
  dlg.show();
  QVERIFY(dlg.AnimateComp->Active());
  QTRY_VERIFY(dlg.AnimateComp->Frame() > 0);
  dlg.hide();
  QVERIFY(!dlg.AnimateComp->Active());
  QCOMPARE(dlg.AnimateComp->Frame(), 0);
  // Shown again, it starts from the first frame.
  dlg.show();
  QVERIFY(dlg.AnimateComp->Active());
  QCOMPARE(dlg.AnimateComp->Frame(), 0);
}

void TestScanDlg::cancelByClickEnterAndEsc() {
  TScanDlg dlg;
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QTest::mouseClick(dlg.CancelOp, Qt::LeftButton);
  QVERIFY(ScanCancelled);
  QVERIFY(dlg.isVisible());
  QTest::mouseClick(dlg.CancelOp, Qt::LeftButton);
  QVERIFY(ScanCancelled);

  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    ScanCancelled = false;
    QTest::keyClick(&dlg, key);
    QVERIFY2(ScanCancelled, qPrintable(QKeySequence(key).toString()));
    QVERIFY(dlg.isVisible());
  }
  // Also when the focus is on the file name.
  ScanCancelled = false;
  dlg.From->setFocus();
  QTest::keyClick(dlg.From, Qt::Key_Escape);
  QVERIFY(ScanCancelled);
  QVERIFY(dlg.isVisible());
}

void TestScanDlg::titleBarCloseOnlyHides() {
  TScanDlg dlg;
  dlg.show();
  QVERIFY(dlg.close());
  QVERIFY(!dlg.isVisible());
  QVERIFY(!ScanCancelled);
  QVERIFY(!dlg.AnimateComp->Active());
  // The pass's own hiding changes nothing after that.
  dlg.hide();
  QVERIFY(!ScanCancelled);
}

void TestScanDlg::takesTheFocusBackWhileShown() {
  TScanDlg dlg;
  QWidget other;
  other.setGeometry(600, 600, 200, 100);
  other.show();
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  other.activateWindow();
  QTRY_COMPARE(QApplication::activeWindow(), &dlg);

  // Hidden, it leaves the focus where it goes.
  dlg.hide();
  other.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&other));
  QCoreApplication::processEvents();
  QCOMPARE(QApplication::activeWindow(), &other);
}

void TestScanDlg::takesTheFocusWhenShown() {
  // Keys typed right after a pass starts go to the dialog, not to the
  // window that was active.
  QWidget other;
  QLineEdit* typing = new QLineEdit(&other);
  other.setGeometry(600, 600, 200, 100);
  other.show();
  other.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&other));
  typing->setFocus();
  TScanDlg dlg;
  dlg.show();
  QTRY_COMPARE(QApplication::activeWindow(), &dlg);
  QCOMPARE(QApplication::focusWidget(), dlg.CancelOp);
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
  QVERIFY(typing->text().isEmpty());
}

void TestScanDlg::takesTheFocusBackWhenAModalBoxCloses() {
  // A modal box opened during a pass keeps the focus while it is up; once
  // it closes, the window the focus falls back to hands it on to the dialog.
  TScanDlg dlg;
  QWidget other;
  other.setGeometry(600, 600, 200, 100);
  other.show();
  dlg.show();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  bool boxHadIt = false;
  QTimer::singleShot(0, [&] {
    QDialog* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    QVERIFY(box);
    QTRY_COMPARE(QApplication::activeWindow(), box);
    QTest::qWait(50);
    boxHadIt = QApplication::activeWindow() == box;
    box->accept();
  });
  QDialog modal;
  modal.setGeometry(300, 300, 100, 50);
  modal.exec();
  QVERIFY(boxHadIt);
  // As the window system does when a box closes: its parent, or the window
  // under it, becomes active.
  other.activateWindow();
  QTRY_COMPARE(QApplication::activeWindow(), &dlg);
  QCOMPARE(QApplication::focusWidget(), dlg.CancelOp);
}

void TestScanDlg::progressKeepsAdvancesBeyondIntRange() {
  TScanDlg dlg;
  const uint64_t size = 5ull << 30; // 5 GiB
  const uint64_t step = size / 25;
  dlg.SetProgress(size, step, 0);
  QVERIFY(dlg.Progress->maximum() > 0);
  QVERIFY(dlg.Progress->maximum() <= INT_MAX);
  QCOMPARE(dlg.Progress->value(), 0);
  for (int i = 0; i < 13; ++i)
    dlg.StepIt();
  // 13 of 25 steps, in 64 bits and on the bar.
  QCOMPARE(dlg.ProgressPosition(), 13 * step);
  QVERIFY(qAbs(static_cast<double>(dlg.Progress->value()) / dlg.Progress->maximum() - 0.52) < 1e-6);
  for (int i = 0; i < 13; ++i)
    dlg.StepIt();
  QCOMPARE(dlg.ProgressAdvances(), 26u);
  QCOMPARE(dlg.ProgressPosition(), size);
  QCOMPARE(dlg.Progress->value(), dlg.Progress->maximum());

  // A small range is shown unscaled; the position never passes Max.
  dlg.SetProgress(625, 25, 0);
  QCOMPARE(dlg.Progress->maximum(), 625);
  for (int i = 0; i < 26; ++i)
    dlg.StepIt();
  QCOMPARE(dlg.Progress->value(), 625);
  QCOMPARE(dlg.ProgressAdvances(), 26u);
}

void TestScanDlg::captionsFitInOneFont() {
  TScanDlg dlg;
  const QFontInfo form(dlg.font());
  if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"))) {
    QCOMPARE(form.family(), QStringLiteral("Liberation Sans"));
    // "From:" needs 29 of its 26 pixels at 11 pixels, 26 at 10.
    QCOMPARE(form.pixelSize(), 10);
  }
  QVERIFY(form.pixelSize() >= 10 && form.pixelSize() <= kDialogDesignPixels);
  for (QWidget* w : std::initializer_list<QWidget*>{dlg.FromLabel, dlg.From, dlg.CancelOp}) {
    QCOMPARE(QFontInfo(w->font()).pixelSize(), form.pixelSize());
    QVERIFY2(CaptionFits(w), qPrintable(w->metaObject()->className()));
  }
  // A path of any length goes into From without moving or resizing anything.
  dlg.From->setText(QStringLiteral("/home/someone/") + QString(400, QLatin1Char('x')));
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  QCOMPARE(dlg.From->geometry(), QRect(56, 8, 329, 13));
  QCOMPARE(dlg.size(), QSize(405, 103));
  QCOMPARE(QFontInfo(dlg.From->font()).pixelSize(), form.pixelSize());
}

QTEST_MAIN(TestScanDlg)
#include "test_scandlg.moc"
