// The text options dialog, driven through its keys and buttons while it runs.
#include "settings/TextOptions.h"
#include "support/FakeDialogService.h"
#include "ui/DialogFont.h"
#include "ui/Help.h"
#include "ui/THelpViewer.h"
#include "ui/TOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <stdexcept>

class TestOptions : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void init();
  void cleanupTestCase();

  void opensWithTheRecord();
  void refusedMinCharChangesNothing();
  void refusedMaxCharKeepsNewMinChar();
  void emptyEditIsRefused();
  void integerForms_data();
  void integerForms();
  void minusOneIsShownUnsignedAndThenRefused();
  void noOtherChecks();
  void cancelEscapeAndCloseStoreNothing();
  void otherKeepsBlanksAndIsLatin1();
  void everyRunRefills();
  void acceleratorsFocusTheirControls();
  void tabOrder();
  void helpShowsTheOptionsTopic();
  void captionsFitInOneFont();

private:
  // Runs the dialog; `act` works on it while it is shown. Returns the
  // message of the error the run ended with, or an empty string.
  QString Run(const std::function<void(TOptions*)>& act);
  static void TypeInto(QLineEdit* edit, const QString& text);
};

void TestOptions::initTestCase() {
  Options = new TOptions;
  const QString help = QStringLiteral(SIFTWELL_BIN_DIR "/siftwell.qhc");
  SetHelpFile(help);
}

void TestOptions::init() {
  GlobalTextOptions() = TextOptions();
}

void TestOptions::cleanupTestCase() {
  delete Options;
  Options = nullptr;
}

QString TestOptions::Run(const std::function<void(TOptions*)>& act) {
  bool acted = false;
  QTimer::singleShot(0, Options, [&] {
    acted = true;
    QVERIFY(Options->isVisible());
    act(Options);
    // Whatever the test did, the dialog must not stay open.
    if (Options->isVisible())
      Options->reject();
  });
  QString message;
  try {
    RunOptionsDialog();
  } catch (const std::runtime_error& e) {
    message = QString::fromUtf8(e.what());
  }
  [&] { QVERIFY(acted); }();
  [&] { QVERIFY(!Options->isVisible()); }();
  return message;
}

void TestOptions::TypeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  for (const QChar c : text) {
    if (c.unicode() < 0x80)
      QTest::keyClick(edit, c.toLatin1());
    else // keyClick knows ASCII only; a typed character is its key event's text
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

void TestOptions::opensWithTheRecord() {
  QString seen;
  const QString message = Run([&](TOptions* d) {
    QCOMPARE(d->windowTitle(), QString("Text options"));
    QCOMPARE(d->size(), QSize(432, 219));
    QCOMPARE(d->MinChar->text(), QString("4"));
    QCOMPARE(d->MaxChar->text(), QString("0"));
    QVERIFY(d->Lower->isChecked());
    QVERIFY(d->Upper->isChecked());
    QVERIFY(!d->Number->isChecked());
    QVERIFY(!d->Space->isChecked());
    QVERIFY(!d->Punct->isChecked());
    QVERIFY(!d->Symbol->isChecked());
    QVERIFY(!d->Iso->isChecked());
    QVERIFY(d->Other->text().isEmpty());
    QVERIFY(d->ButtonOK->isDefault());
    QCOMPARE(d->focusWidget(), d->ButtonOK);
    // Enter presses OK.
    QTest::keyClick(d, Qt::Key_Return);
    seen = "closed";
  });
  QCOMPARE(message, QString());
  QCOMPARE(seen, QString("closed"));
  QCOMPARE(Options->result(), int(QDialog::Accepted));
  QVERIFY(GlobalTextOptions() == TextOptions());
}

void TestOptions::refusedMinCharChangesNothing() {
  const QString message = Run([](TOptions* d) {
    TypeInto(d->MinChar, "abc");
    TypeInto(d->MaxChar, "50");
    QTest::mouseClick(d->Number, Qt::LeftButton);
    QTest::mouseClick(d->Upper, Qt::LeftButton);
    TypeInto(d->Other, "xyz");
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  QCOMPARE(message, QString("'abc' is not a valid integer value"));
  // The error box adds the final period.
  FakeDialogService dialogs;
  ShowErrorBox(message);
  QCOMPARE(dialogs.messages.size(), 1);
  QCOMPARE(dialogs.messages[0].text, QString("'abc' is not a valid integer value."));
  QVERIFY(GlobalTextOptions() == TextOptions());
}

void TestOptions::refusedMaxCharKeepsNewMinChar() {
  const QString message = Run([](TOptions* d) {
    TypeInto(d->MinChar, "10");
    TypeInto(d->MaxChar, "ten");
    QTest::mouseClick(d->Space, Qt::LeftButton);
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  QCOMPARE(message, QString("'ten' is not a valid integer value"));
  TextOptions expected;
  expected.MinChar = 10;
  QVERIFY(GlobalTextOptions() == expected);
}

void TestOptions::emptyEditIsRefused() {
  const QString message = Run([](TOptions* d) {
    TypeInto(d->MinChar, "");
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  QCOMPARE(message, QString("'' is not a valid integer value"));
  QVERIFY(GlobalTextOptions() == TextOptions());
}

void TestOptions::integerForms_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<uint>("value");
  QTest::newRow("leading blanks") << QString("   12") << true << 12u;
  QTest::newRow("trailing blank") << QString("12 ") << false << 0u;
  QTest::newRow("$1F") << QString("$1F") << true << 31u;
  QTest::newRow("0x1F") << QString("0x1F") << true << 31u;
  QTest::newRow("out of range") << QString("2147483648") << false << 0u;
  QTest::newRow("outside Latin-1") << QString::fromUtf8("1\u0662") << false << 0u;
}

void TestOptions::integerForms() {
  QFETCH(QString, text);
  QFETCH(bool, accepted);
  QFETCH(uint, value);
  const QString message = Run([&](TOptions* d) {
    TypeInto(d->MaxChar, text);
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  if (accepted) {
    QCOMPARE(message, QString());
    QCOMPARE(GlobalTextOptions().MaxChar, value);
  } else {
    QCOMPARE(message, "'" + text + "' is not a valid integer value");
    QCOMPARE(GlobalTextOptions().MaxChar, 0u);
  }
}

void TestOptions::minusOneIsShownUnsignedAndThenRefused() {
  QCOMPARE(Run([](TOptions* d) {
             TypeInto(d->MinChar, "-1");
             TypeInto(d->MaxChar, "-1");
             QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
           }),
           QString());
  QCOMPARE(GlobalTextOptions().MinChar, 4294967295u);
  QCOMPARE(GlobalTextOptions().MaxChar, 4294967295u);

  QString shown;
  const QString message = Run([&](TOptions* d) {
    shown = d->MinChar->text();
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  QCOMPARE(shown, QString("4294967295"));
  QCOMPARE(message, QString("'4294967295' is not a valid integer value"));
  QCOMPARE(GlobalTextOptions().MinChar, 4294967295u);
}

void TestOptions::noOtherChecks() {
  const QString message = Run([](TOptions* d) {
    TypeInto(d->MinChar, "20");
    TypeInto(d->MaxChar, "10");
    QTest::mouseClick(d->Lower, Qt::LeftButton);
    QTest::mouseClick(d->Upper, Qt::LeftButton);
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  QCOMPARE(message, QString());
  const TextOptions& o = GlobalTextOptions();
  QCOMPARE(o.MinChar, 20u);
  QCOMPARE(o.MaxChar, 10u);
  QVERIFY(!o.Lower && !o.Upper && !o.Number && !o.Space && !o.Punct && !o.Symbol && !o.ISO);
  QVERIFY(o.Other.empty());
}

void TestOptions::cancelEscapeAndCloseStoreNothing() {
  const auto changeEverything = [](TOptions* d) {
    TypeInto(d->MinChar, "7");
    TypeInto(d->MaxChar, "9");
    for (QCheckBox* box : {d->Lower, d->Upper, d->Number, d->Space, d->Punct, d->Symbol, d->Iso})
      QTest::mouseClick(box, Qt::LeftButton);
    TypeInto(d->Other, "abc");
  };
  QCOMPARE(Run([&](TOptions* d) {
             changeEverything(d);
             QTest::mouseClick(d->ButtonCancel, Qt::LeftButton);
           }),
           QString());
  QVERIFY(GlobalTextOptions() == TextOptions());
  QCOMPARE(Run([&](TOptions* d) {
             changeEverything(d);
             QTest::keyClick(d->Other, Qt::Key_Escape);
           }),
           QString());
  QVERIFY(GlobalTextOptions() == TextOptions());
  QCOMPARE(Run([&](TOptions* d) {
             changeEverything(d);
             d->close(); // the close box
           }),
           QString());
  QVERIFY(GlobalTextOptions() == TextOptions());
  // The next opening shows the record, not what was typed.
  QString shown;
  Run([&](TOptions* d) { shown = d->MinChar->text() + "|" + d->Other->text(); });
  QCOMPARE(shown, QString("4|"));
}

void TestOptions::otherKeepsBlanksAndIsLatin1() {
  QCOMPARE(Run([](TOptions* d) {
             TypeInto(d->Other, QString::fromUtf8(" ,;\u00e9\u20ac"));
             QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
           }),
           QString());
  QCOMPARE(GlobalTextOptions().Other, std::string(" ,;\xe9?"));
  QString shown;
  Run([&](TOptions* d) { shown = d->Other->text(); });
  QCOMPARE(shown, QString::fromUtf8(" ,;\u00e9?"));

  // Cleared: an empty list.
  Run([](TOptions* d) {
    TypeInto(d->Other, "");
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  QVERIFY(GlobalTextOptions().Other.empty());
}

void TestOptions::everyRunRefills() {
  TextOptions& o = GlobalTextOptions();
  o.MinChar = 2;
  o.MaxChar = 300;
  o.Upper = false;
  o.Punct = true;
  o.ISO = true;
  o.Other = "#-";
  QStringList seen;
  Run([&](TOptions* d) {
    seen << d->MinChar->text() << d->MaxChar->text() << d->Other->text();
    QVERIFY(!d->Upper->isChecked());
    QVERIFY(d->Lower->isChecked());
    QVERIFY(d->Punct->isChecked());
    QVERIFY(d->Iso->isChecked());
    QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
  });
  QCOMPARE(seen, QStringList({"2", "300", "#-"}));
  QCOMPARE(o.MaxChar, 300u);
  QVERIFY(o.Punct && o.ISO && !o.Upper);
}

void TestOptions::acceleratorsFocusTheirControls() {
  Run([](TOptions* d) {
    QVERIFY(QTest::qWaitForWindowActive(d));
    QTest::keyClick(d, Qt::Key_I, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), d->MinChar);
    QTest::keyClick(d, Qt::Key_A, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), d->MaxChar);
    QTest::keyClick(d, Qt::Key_T, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), d->Other);
    // A check box's accelerator focuses it and ticks it (after the button's
    // short press animation).
    QTest::keyClick(d, Qt::Key_N, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), d->Number);
    QTRY_VERIFY(d->Number->isChecked());
    QTest::keyClick(d, Qt::Key_M, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), d->Symbol);
    QTest::keyClick(d, Qt::Key_O, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), d->Iso);
    QTest::keyClick(d, Qt::Key_W, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), d->Lower);
    QTest::keyClick(d, Qt::Key_Escape);
  });
}

void TestOptions::tabOrder() {
  QList<QWidget*> visited;
  Run([&](TOptions* d) {
    QVERIFY(QTest::qWaitForWindowActive(d));
    d->ButtonOK->setFocus();
    for (int i = 0; i < 13; ++i) {
      visited << QApplication::focusWidget();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    visited << QApplication::focusWidget();
  });
  TOptions* d = Options;
  const QList<QWidget*> expected = {
      d->ButtonOK, d->ButtonCancel, d->ButtonHelp, d->MinChar, d->MaxChar, d->Lower, d->Upper,
      d->Number,   d->Space,        d->Punct,      d->Symbol,  d->Iso,     d->Other, d->ButtonOK};
  QCOMPARE(visited, expected);
}

void TestOptions::helpShowsTheOptionsTopic() {
  if (!QFileInfo::exists(HelpFile()))
    QSKIP("the compiled help is not built beside the tests");
  QUrl shown;
  bool stillOpen = false;
  QString typed;
  Run([&](TOptions* d) {
    TypeInto(d->MinChar, "15");
    QTest::mouseClick(d->ButtonHelp, Qt::LeftButton);
    QVERIFY(THelpViewer::Instance());
    shown = THelpViewer::Instance()->CurrentUrl();
    stillOpen = d->isVisible();
    typed = d->MinChar->text();
    // Alt+H presses Help as well.
    QTest::keyClick(d, Qt::Key_H, Qt::AltModifier);
    QVERIFY(d->isVisible());
    QTest::mouseClick(d->ButtonCancel, Qt::LeftButton);
  });
  QVERIFY2(shown.toString().endsWith("/options.html"), qPrintable(shown.toString()));
  QVERIFY(stillOpen);
  QCOMPARE(typed, QString("15"));
  QVERIFY(GlobalTextOptions() == TextOptions());
  delete THelpViewer::Instance();
}

void TestOptions::captionsFitInOneFont() {
  TOptions& dlg = *Options;
  const QFontInfo form(dlg.font());
  if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"))) {
    QCOMPARE(form.family(), QStringLiteral("Liberation Sans"));
    // All captions fit at 10 pixels; the Part's 11 cuts "Minimum char number:".
    QCOMPARE(form.pixelSize(), 10);
  }
  QVERIFY(form.pixelSize() >= 10 && form.pixelSize() <= kDialogDesignPixels);
  const QList<QWidget*> captions = {
      dlg.Label1,       dlg.Label2,     dlg.Label3,  dlg.Label4,  dlg.Lower, dlg.Upper,
      dlg.Number,       dlg.Space,      dlg.Punct,   dlg.Symbol,  dlg.Iso,   dlg.ButtonOK,
      dlg.ButtonCancel, dlg.ButtonHelp, dlg.MinChar, dlg.MaxChar, dlg.Other};
  for (QWidget* w : captions) {
    QCOMPARE(QFontInfo(w->font()).pixelSize(), form.pixelSize());
    QVERIFY2(CaptionFits(w), qPrintable(w->objectName() + w->property("text").toString()));
  }
  // The Part's boxes are kept.
  QCOMPARE(dlg.Label1->geometry(), QRect(8, 11, 106, 13));
  QCOMPARE(dlg.Label2->geometry(), QRect(176, 11, 109, 13));
  QCOMPARE(dlg.Label4->geometry(), QRect(8, 157, 86, 13));
}

QTEST_MAIN(TestOptions)
#include "test_options.moc"
