// The encodings and offsets: their menu item and dialog, and the file they
// are kept in, apart from the text options' key.
#include "app/TMainForm.h"
#include "extract/ExtractionChoice.h"
#include "settings/ExtractionChoiceStore.h"
#include "settings/TextOptions.h"
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/DialogFont.h"
#include "ui/Help.h"
#include "ui/TEncodings.h"
#include "ui/THelpViewer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

class TestEncodings : public QObject {
  Q_OBJECT
  QTemporaryDir config_;
  TMainForm* form_ = nullptr;

  QString ChoicePath() const { return config_.path() + "/Maelbrook/SiftwellExtraction.conf"; }
  QString OptionsPath() const { return config_.path() + "/Maelbrook/Siftwell.conf"; }
  void WriteChoiceFile(const QByteArray& body) { QVERIFY(WriteFile(ChoicePath(), body)); }

  // Opens the dialog from the menu; `act` works on it while it is shown.
  // False when it never showed or stayed open.
  bool Run(const std::function<void(TEncodings*)>& act) {
    bool acted = false;
    QTimer::singleShot(0, form_, [&] {
      auto* dialog = qobject_cast<TEncodings*>(QApplication::activeModalWidget());
      if (!dialog)
        return;
      acted = true;
      act(dialog);
      if (dialog->isVisible())
        dialog->reject();
    });
    form_->EncodingsEntry()->trigger();
    return acted;
  }

private slots:
  void initTestCase() {
    // Before the first QSettings is made: both files land below this folder.
    QVERIFY(config_.isValid());
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
  }
  void init() {
    QDir(config_.path() + "/Maelbrook").removeRecursively();
    GlobalTextOptions() = TextOptions();
    GlobalExtractionChoice() = ExtractionChoice();
    form_ = new TMainForm;
  }
  void cleanup() {
    delete form_;
    form_ = nullptr;
    GlobalExtractionChoice() = ExtractionChoice();
  }

  void menuItemFollowsTextOptions() {
    QAction* item = form_->EncodingsEntry();
    QCOMPARE(item->text(), QStringLiteral("&Encodings and offsets..."));
    QVERIFY(item->shortcut().isEmpty());
    QVERIFY(item->isEnabled());
    QCOMPARE(item->toolTip(), QStringLiteral("Encodings and offsets"));
    QCOMPARE(item->statusTip(),
             QStringLiteral("Choose the encodings searched and the offsets shown"));
    QList<QAction*> options;
    for (const QMenu* menu : form_->findChildren<QMenu*>())
      if (menu->actions().contains(form_->OptionsEntry()))
        options = menu->actions();
    const qsizetype at = options.indexOf(form_->OptionsEntry());
    QVERIFY(at >= 0 && at + 1 < options.size());
    QCOMPARE(options[at + 1], item);
  }

  void controlsAndCaptions() {
    TEncodings d;
    QCOMPARE(d.windowTitle(), QStringLiteral("Encodings and offsets"));
    const QStringList encodings{"&Single bytes",      "UTF-16 &little endian",
                                "UTF-16 &big endian", "UTF-32 l&ittle endian",
                                "UTF-32 bi&g endian", "UTF-&8"};
    for (int i = 0; i < 6; ++i)
      QCOMPARE(d.Encodings[i]->text(), encodings[i]);
    QCOMPARE(d.Offsets->title(), QStringLiteral("Offsets"));
    QCOMPARE(d.None->text(), QStringLiteral("&None"));
    QCOMPARE(d.Decimal->text(), QStringLiteral("&Decimal"));
    QCOMPARE(d.Octal->text(), QStringLiteral("&Octal"));
    QCOMPARE(d.Hexadecimal->text(), QStringLiteral("He&xadecimal"));
    QCOMPARE(d.ButtonOK->text(), QStringLiteral("OK"));
    QVERIFY(d.ButtonOK->isDefault());
    QCOMPARE(d.ButtonCancel->text(), QStringLiteral("Cancel"));
    QCOMPARE(d.ButtonHelp->text(), QStringLiteral("&Help"));
    // The radio buttons exclude one another.
    d.FillFrom(ExtractionChoice());
    QVERIFY(d.None->isChecked());
    d.Octal->setChecked(true);
    QVERIFY(!d.None->isChecked());
  }

  void captionsFitInOneFont() {
    TEncodings d;
    const QFontInfo form(d.font());
    QVERIFY(form.pixelSize() >= 10 && form.pixelSize() <= kDialogDesignPixels);
    QList<QWidget*> captions{d.Offsets,     d.None,     d.Decimal,      d.Octal,
                             d.Hexadecimal, d.ButtonOK, d.ButtonCancel, d.ButtonHelp};
    for (QCheckBox* box : d.Encodings)
      captions << box;
    for (QWidget* w : captions) {
      QCOMPARE(QFontInfo(w->font()).pixelSize(), form.pixelSize());
      QVERIFY2(CaptionFits(w),
               qPrintable(w->property("text").toString() + w->property("title").toString()));
    }
  }

  void okAppliesAndWritesTheChoiceAlone() {
    QVERIFY(WriteFile(OptionsPath(), "[Options]\nMinChar=7\n"));
    const QByteArray optionsBefore = ReadAll(OptionsPath());
    QVERIFY(Run([](TEncodings* d) {
      QVERIFY(d->Encodings[0]->isChecked() && d->None->isChecked());
      d->Encodings[1]->setChecked(true);
      d->Encodings[5]->setChecked(true);
      d->Hexadecimal->setChecked(true);
      QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
      QVERIFY(!d->isVisible());
    }));
    const ExtractionChoice chosen = GlobalExtractionChoice();
    QCOMPARE(EncodingsText(chosen.encodings), std::string("8,16le,utf8"));
    QCOMPARE(chosen.radix, 'x');
    QCOMPARE(LoadExtractionChoice(), chosen);
    const QByteArray written = ReadAll(ChoicePath());
    QVERIFY2(written.contains("[Extraction]") && written.contains("Offsets=x"), written);
    // The text options' file is not touched.
    QCOMPARE(ReadAll(OptionsPath()), optionsBefore);
    // The dialog shows the stored choice the next time.
    QVERIFY(Run([](TEncodings* d) {
      QVERIFY(d->Encodings[1]->isChecked() && d->Encodings[5]->isChecked());
      QVERIFY(!d->Encodings[2]->isChecked() && d->Hexadecimal->isChecked());
    }));
  }

  void emptyChoiceIsRefused() {
    FakeDialogService dialogs;
    bool stillOpen = false;
    QVERIFY(Run([&](TEncodings* d) {
      d->Encodings[0]->setChecked(false);
      d->Decimal->setChecked(true);
      QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
      stillOpen = d->isVisible();
      QVERIFY(!d->Encodings[0]->isChecked() && d->Decimal->isChecked());
      QTest::keyClick(d, Qt::Key_Escape);
    }));
    QVERIFY(stillOpen);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("Choose at least one encoding."));
    QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Encodings and offsets"));
    QVERIFY(GlobalExtractionChoice().IsDefault());
    QVERIFY(!QFile::exists(ChoicePath()));
  }

  void closingWithoutOkStoresNothing_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
  }
  void closingWithoutOkStoresNothing() {
    QFETCH(QString, how);
    QVERIFY(Run([&](TEncodings* d) {
      d->Encodings[3]->setChecked(true);
      d->Octal->setChecked(true);
      if (how == "cancel")
        QTest::mouseClick(d->ButtonCancel, Qt::LeftButton);
      else if (how == "escape")
        QTest::keyClick(d, Qt::Key_Escape);
      else
        d->close();
      QVERIFY(!d->isVisible());
    }));
    QVERIFY(GlobalExtractionChoice().IsDefault());
    QVERIFY(!QFile::exists(ChoicePath()));
  }

  void acceleratorsReachTheirControls() {
    QVERIFY(Run([](TEncodings* d) {
      QVERIFY(QTest::qWaitForWindowActive(d));
      const struct {
        Qt::Key key;
        QAbstractButton* control;
      } keys[] = {{Qt::Key_L, d->Encodings[1]}, {Qt::Key_B, d->Encodings[2]},
                  {Qt::Key_I, d->Encodings[3]}, {Qt::Key_G, d->Encodings[4]},
                  {Qt::Key_8, d->Encodings[5]}, {Qt::Key_D, d->Decimal},
                  {Qt::Key_O, d->Octal},        {Qt::Key_X, d->Hexadecimal}};
      for (const auto& k : keys) {
        QTest::keyClick(d, k.key, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), k.control);
        QTRY_VERIFY(k.control->isChecked());
      }
      QTest::keyClick(d, Qt::Key_N, Qt::AltModifier);
      QTRY_VERIFY(d->None->isChecked());
      QTest::keyClick(d, Qt::Key_S, Qt::AltModifier);
      QCOMPARE(QApplication::focusWidget(), d->Encodings[0]);
      QTRY_VERIFY(!d->Encodings[0]->isChecked());
      QTest::keyClick(d, Qt::Key_Escape);
    }));
  }

  void helpShowsTheEncodingsTopic() {
    const QString help = QStringLiteral(SIFTWELL_BIN_DIR "/siftwell.qhc");
    QVERIFY2(QFile::exists(help), "the help is built with the program");
    SetHelpFile(help);
    QUrl shown;
    bool stillOpen = false;
    QVERIFY(Run([&](TEncodings* d) {
      d->Encodings[2]->setChecked(true);
      QTest::mouseClick(d->ButtonHelp, Qt::LeftButton);
      shown = THelpViewer::Instance()->CurrentUrl();
      stillOpen = d->isVisible() && d->Encodings[2]->isChecked();
      QTest::mouseClick(d->ButtonCancel, Qt::LeftButton);
    }));
    QVERIFY2(shown.toString().endsWith("/encodings.html"), qPrintable(shown.toString()));
    QVERIFY(stillOpen);
    QVERIFY(GlobalExtractionChoice().IsDefault());
    delete THelpViewer::Instance();
  }

  void failedWriteIsReportedAndTheChoiceHolds() {
    FakeDialogService dialogs;
    // A folder where the file should be: it cannot be written.
    QVERIFY(QDir().mkpath(ChoicePath()));
    QVERIFY(Run([](TEncodings* d) {
      d->Encodings[1]->setChecked(true);
      QTest::mouseClick(d->ButtonOK, Qt::LeftButton);
    }));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].caption, QStringLiteral("Error writing file"));
    QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("SiftwellExtraction.conf")));
    QCOMPARE(EncodingsText(GlobalExtractionChoice().encodings), std::string("8,16le"));
  }

  void loadReadsWhatItKnows_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("encodings");
    QTest::addColumn<char>("radix");
    QTest::newRow("missing") << QByteArray() << QByteArray("8") << char(0);
    QTest::newRow("as written") << QByteArray("[Extraction]\nEncodings=\"32be,8\"\nOffsets=o\n")
                                << QByteArray("8,32be") << 'o';
    QTest::newRow("list typed without quotes")
        << QByteArray("[Extraction]\nEncodings=16le, utf8\nOffsets=d\n") << QByteArray("16le,utf8")
        << 'd';
    QTest::newRow("unknown name") << QByteArray("[Extraction]\nEncodings=8,16xx\nOffsets=x\n")
                                  << QByteArray("8") << 'x';
    QTest::newRow("GNU letters") << QByteArray("[Extraction]\nEncodings=s,l\nOffsets=t\n")
                                 << QByteArray("8") << char(0);
    QTest::newRow("empty") << QByteArray("[Extraction]\nEncodings=\nOffsets=\n") << QByteArray("8")
                           << char(0);
    QTest::newRow("wrong types") << QByteArray("[Extraction]\nEncodings=@ByteArray(16le)\nOffsets=@"
                                               "Variant(\\0\\0\\0\\x2\\0\\0\\0\\x10)\n")
                                 << QByteArray("8") << char(0);
    QTest::newRow("another group")
        << QByteArray("[Options]\nEncodings=16le\nOffsets=x\n") << QByteArray("8") << char(0);
  }
  void loadReadsWhatItKnows() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, encodings);
    QFETCH(char, radix);
    if (!body.isEmpty())
      WriteChoiceFile(body);
    const ExtractionChoice loaded = LoadExtractionChoice();
    QCOMPARE(QByteArray::fromStdString(EncodingsText(loaded.encodings)), encodings);
    QCOMPARE(loaded.radix, radix);
  }

  void startReadsTheFileSilently() {
    delete form_;
    WriteChoiceFile("[Extraction]\nEncodings=16le,16be\nOffsets=d\n");
    FakeDialogService dialogs;
    form_ = new TMainForm;
    QCOMPARE(EncodingsText(GlobalExtractionChoice().encodings), std::string("16le,16be"));
    QCOMPARE(GlobalExtractionChoice().radix, 'd');
    // Nothing is written at the close, and nothing was said.
    const QByteArray before = ReadAll(ChoicePath());
    QVERIFY(form_->close());
    QCOMPARE(ReadAll(ChoicePath()), before);
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(!ReadAll(OptionsPath()).contains("Encodings"));
  }
};

QTEST_MAIN(TestEncodings)
#include "test_encodings.moc"
