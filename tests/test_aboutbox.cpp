// The about box: what it shows for the program's own record and for other
// records, its links, and that its creation always ends with the callback.

#include "support/FakeDialogService.h"
#include "ui/DialogFont.h"
#include "ui/TMyAboutBox.h"
#include "ui/TextVersionRecord.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <stdexcept>

namespace {
const QString Terms = QStringLiteral(
    "Sift Well is freeware: use it and pass it on freely, at your own risk and free of charge.");

struct Made {
  std::unique_ptr<TMyAboutBox> box;
  int postInits = 0;
};

Made MakeBox(const VersionRecord* record) {
  Made made;
  int* counter = &made.postInits;
  made.box = std::make_unique<TMyAboutBox>(record, [counter](TMyAboutBox&) { ++*counter; });
  return made;
}

Made MakeBox(const QByteArray& text) {
  const TextVersionRecord record(text);
  return MakeBox(&record);
}
} // namespace

class TestAboutBox : public QObject {
  Q_OBJECT
public slots:
  // Stands in for the desktop's mail program and browser.
  void openUrl(const QUrl& url) { opened.append(url); }

private:
  QList<QUrl> opened;

private slots:
  void programRecordFillsTheBox() {
    const std::unique_ptr<VersionRecord> record = TextVersionRecord::Program();
    QVERIFY(record);
    Made made = MakeBox(record.get());
    QCOMPARE(made.box->windowTitle(), QStringLiteral("About Sift Well"));
    QCOMPARE(made.box->Name->text(), QStringLiteral("Sift Well"));
    QCOMPARE(made.box->Version->text(), QStringLiteral("1.03.2"));
    QVERIFY(made.box->Copyright->text().startsWith(QStringLiteral("Copyright")));
    QVERIFY(made.box->Copyright->text().contains(QStringLiteral("Maelbrook")));
    // Comments are empty in the program's record: the terms stay.
    QCOMPARE(made.box->Freeware->text(), Terms);
    QCOMPARE(made.postInits, 1);
  }

  void withoutRecordDesignTextsStayAndPostInitRuns() {
    Made made = MakeBox(nullptr);
    QCOMPARE(made.box->windowTitle(), QStringLiteral("About "));
    QCOMPARE(made.box->Name->text(), QStringLiteral("Product Name"));
    QCOMPARE(made.box->Version->text(), QStringLiteral("Version"));
    QCOMPARE(made.box->Copyright->text(), QStringLiteral("Copyright"));
    QCOMPARE(made.box->Freeware->text(), Terms);
    QCOMPARE(made.postInits, 1);

    // A record without a translation list is no record.
    Made noList = MakeBox(QByteArray("\\StringFileInfo\\040904E4\\ProductName=Lost\n"));
    QCOMPARE(noList.box->Name->text(), QStringLiteral("Product Name"));
    QCOMPARE(noList.postInits, 1);
  }

  void emptyProductNameKeepsCaptionWithItsBlank() {
    Made made = MakeBox(QByteArray("\\VarFileInfo\\Translation=040904E4\n"
                                   "\\StringFileInfo\\040904E4\\ProductName=\n"
                                   "\\StringFileInfo\\040904E4\\ProductVersion=2.0\n"));
    QCOMPARE(made.box->windowTitle(), QStringLiteral("About "));
    QCOMPARE(made.box->Name->text(), QStringLiteral("Product Name"));
    QCOMPARE(made.box->Version->text(), QStringLiteral("2.0"));
    QCOMPARE(made.box->Copyright->text(), QStringLiteral("Copyright"));
  }

  void commentsReplaceTheTermsOnlyWhenNotEmpty() {
    Made with = MakeBox(QByteArray("\\VarFileInfo\\Translation=040904E4\r\n"
                                   "\\StringFileInfo\\040904E4\\Comments=Made for testing\r\n"));
    QCOMPARE(with.box->Freeware->text(), QStringLiteral("Made for testing"));
    Made without = MakeBox(QByteArray("\\VarFileInfo\\Translation=040904E4\n"
                                      "\\StringFileInfo\\040904E4\\Comments=\n"));
    QCOMPARE(without.box->Freeware->text(), Terms);
  }

  void onlyTheFirstTranslationIsUsed() {
    const QByteArray both = "\\VarFileInfo\\Translation=040704B0 040904E4\n"
                            "\\StringFileInfo\\040704B0\\ProductName=Erster\n"
                            "\\StringFileInfo\\040904E4\\ProductName=Second\n"
                            "\\StringFileInfo\\040904E4\\ProductVersion=9.9\n";
    Made made = MakeBox(both);
    QCOMPARE(made.box->Name->text(), QStringLiteral("Erster"));
    QCOMPARE(made.box->windowTitle(), QStringLiteral("About Erster"));
    // The second table's version is not looked at.
    QCOMPARE(made.box->Version->text(), QStringLiteral("Version"));
  }

  void errorInPostInitIsShownAndTheBoxStays() {
    FakeDialogService dialogs;
    const TextVersionRecord record(QByteArray("\\VarFileInfo\\Translation=040904E4\n"
                                              "\\StringFileInfo\\040904E4\\ProductName=X\n"));
    TMyAboutBox box(&record, [](TMyAboutBox&) { throw std::runtime_error("Cannot open file"); });
    QCOMPARE(box.windowTitle(), QStringLiteral("About X"));
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("Cannot open file."));
    QCOMPARE(dialogs.messages.at(0).caption, QStringLiteral("Sift Well"));
    QCOMPARE(dialogs.messages.at(0).icon, DialogService::Icon::Critical);
  }

  void controlsAndLinks() {
    Made made = MakeBox(nullptr);
    TMyAboutBox& box = *made.box;
    QVERIFY(!box.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    QCOMPARE(box.email->toolTip(), QStringLiteral("Click to send me a message"));
    QCOMPARE(box.homepage->toolTip(), QStringLiteral("Click to open my home page"));
    QVERIFY(box.toolTip().isEmpty());
    QCOMPARE(box.email->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(box.homepage->cursor().shape(), Qt::PointingHandCursor);

    // Every caption fits its fixed box on this desktop's fonts.
    for (QLabel* label : {box.Name, box.Version, box.Copyright, box.Bugs, box.email, box.homepage})
      QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width(),
               qPrintable(label->text()));

    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    opened.clear();
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.email, Qt::LeftButton);
    QTest::mouseClick(box.homepage, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.at(0), QUrl(QStringLiteral("mailto:") + box.email->text()));
    QCOMPARE(opened.at(1), QUrl(box.homepage->text()));
    box.hide();
  }

  void enterPressesOk() {
    Made made = MakeBox(nullptr);
    TMyAboutBox& box = *made.box;
    QTimer::singleShot(0, &box, [&box] {
      QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box,
                      Qt::Key_Return);
    });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    // Shown again, it is the same box with the same texts.
    QTimer::singleShot(0, box.OKButton,
                       [&box] { QTest::mouseClick(box.OKButton, Qt::LeftButton); });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QCOMPARE(box.Name->text(), QStringLiteral("Product Name"));
  }

  void fontsByOneRule() {
    const std::unique_ptr<VersionRecord> record = TextVersionRecord::Program();
    Made made = MakeBox(record.get());
    TMyAboutBox& box = *made.box;
    const int form = QFontInfo(box.Freeware->font()).pixelSize();
    if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"))) {
      // Every caption fits at the designed size.
      QCOMPARE(form, kDialogDesignPixels);
      for (QLabel* label : {box.Name, box.Version, box.Copyright, box.Freeware, box.Bugs})
        QCOMPARE(QFontInfo(label->font()).family(), QStringLiteral("Liberation Sans"));
      for (QLabel* label : {box.email, box.homepage})
        QCOMPARE(QFontInfo(label->font()).family(), QStringLiteral("Liberation Mono"));
    }
    // The designed sizes keep their proportions to the form's size.
    auto scaled = [form](int designed) { return qRound(designed * double(form) / 11); };
    QCOMPARE(box.Name->font().pixelSize(), scaled(19));
    QVERIFY(box.Name->font().bold());
    QCOMPARE(box.Version->font().pixelSize(), scaled(16));
    for (QLabel* label : {box.Copyright, box.Bugs, box.email, box.homepage})
      QCOMPARE(label->font().pixelSize(), form);
    QVERIFY(box.email->font().underline());
    for (QWidget* w :
         std::initializer_list<QWidget*>{box.Name, box.Version, box.Copyright, box.Freeware,
                                         box.Bugs, box.OKButton, box.email, box.homepage})
      QVERIFY2(CaptionFits(w), qPrintable(w->property("text").toString()));
  }

  void escapeDoesNotCloseTheBox() {
    Made made = MakeBox(nullptr);
    TMyAboutBox& box = *made.box;
    bool openAfterEscape = false;
    QTimer::singleShot(0, &box, [&box, &openAfterEscape] {
      if (!QTest::qWaitForWindowActive(&box) || QApplication::focusWidget() != box.OKButton) {
        box.done(-1);
        return;
      }
      QTest::keyClick(box.OKButton, Qt::Key_Escape);
      QTest::keyClick(&box, Qt::Key_Escape);
      openAfterEscape = box.isVisible();
      if (box.isVisible())
        QTest::keyClick(box.OKButton, Qt::Key_Return);
    });
    QCOMPARE(box.exec(), int(QDialog::Accepted));
    QVERIFY(openAfterEscape);
  }
};

QTEST_MAIN(TestAboutBox)
#include "test_aboutbox.moc"
