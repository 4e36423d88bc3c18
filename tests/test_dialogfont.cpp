// The one rule for the fonts of the fixed-pixel dialogs: Liberation Sans
// (Liberation Mono for Courier New), the designed 11 pixels when every
// caption fits, else the largest smaller size at which all fit, fonts of
// other designed sizes scaled alike.
#include "ui/DialogFont.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

// A label exactly as wide as `text` is at `pixels` in the dialogs' sans.
QLabel* LabelFittingAt(QWidget* parent, const QString& text, int pixels) {
  auto* label = new QLabel(text, parent);
  const QFontMetrics metrics(DialogSans(pixels));
  label->setGeometry(0, 0, metrics.horizontalAdvance(text), 30);
  return label;
}

} // namespace

class TestDialogFont : public QObject {
  Q_OBJECT
private slots:
  void familiesAreLiberation() {
    if (!QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
      QSKIP("Liberation Sans is not installed (package fonts-liberation2)");
    QCOMPARE(QFontInfo(DialogSans(11)).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(QFontInfo(DialogSans(11)).pixelSize(), 11);
    QVERIFY(QFontInfo(DialogSans(19, true)).bold());
    QCOMPARE(QFontInfo(DialogMono(11)).family(), QStringLiteral("Liberation Mono"));
  }

  void designedSizeWhenEverythingFits() {
    QDialog dialog;
    QLabel* label = LabelFittingAt(&dialog, QStringLiteral("Minimum char number:"), 11);
    DialogFontFitter fitter(&dialog);
    fitter.Add(label);
    QCOMPARE(fitter.Fit(), 11);
    QCOMPARE(label->font().pixelSize(), 11);
    QVERIFY(CaptionFits(label));
  }

  void largestSizeAtWhichAllFit() {
    QDialog dialog;
    QLabel* wide = LabelFittingAt(&dialog, QStringLiteral("These characters:"), 11);
    QLabel* narrow = LabelFittingAt(&dialog, QStringLiteral("Maximum char number:"), 9);
    auto* box = new QCheckBox(QStringLiteral("&Numbers (0-9)"), &dialog);
    box->setGeometry(0, 40, 200, 17);
    DialogFontFitter fitter(&dialog);
    fitter.Add(wide);
    fitter.Add(narrow);
    fitter.Add(box);
    QCOMPARE(fitter.Fit(), 9);
    // One size for the whole dialog, not one per caption.
    for (QWidget* w : std::initializer_list<QWidget*>{&dialog, wide, narrow, box})
      QCOMPARE(w->font().pixelSize(), 9);
    QVERIFY(CaptionFits(narrow));
    narrow->setFont(DialogSans(10));
    QVERIFY(!CaptionFits(narrow));
  }

  void ownFontsKeepTheirProportions() {
    QDialog dialog;
    auto* title = new QLabel(QStringLiteral("Product Name"), &dialog);
    title->setGeometry(0, 0, 300, 40);
    QLabel* narrow = LabelFittingAt(&dialog, QStringLiteral("Bug reports and suggestions:"), 10);
    DialogFontFitter fitter(&dialog);
    fitter.Add(title, DialogSans(22, true));
    fitter.Add(narrow, DialogSans(11));
    QCOMPARE(fitter.Fit(), 10);
    QCOMPARE(title->font().pixelSize(), 20);
    QVERIFY(title->font().bold());
    QCOMPARE(narrow->font().pixelSize(), 10);
  }

  void captionsAndBoxes() {
    QDialog dialog;
    dialog.setFont(DialogSans(11));
    const QFontMetrics metrics(dialog.font());

    // A label's accelerator mark takes no room once it has a buddy.
    auto* edit = new QLineEdit(&dialog);
    auto* label = new QLabel(QStringLiteral("&These characters:"), &dialog);
    label->setBuddy(edit);
    label->setGeometry(0, 0, metrics.horizontalAdvance(QStringLiteral("These characters:")), 13);
    QVERIFY(CaptionFits(label));
    label->resize(label->width() - 1, 13);
    QVERIFY(!CaptionFits(label));
    label->resize(label->width() + 1, metrics.height() - 1);
    QVERIFY(!CaptionFits(label));

    // A word-wrapped label may take several lines of its height.
    auto* wrapped = new QLabel(QStringLiteral("one two three four five six seven"), &dialog);
    wrapped->setWordWrap(true);
    wrapped->setGeometry(0, 0,
                         metrics.horizontalAdvance(QStringLiteral("one two three four five")) + 2,
                         3 * metrics.lineSpacing());
    QVERIFY(CaptionFits(wrapped));
    wrapped->resize(wrapped->width(), metrics.lineSpacing());
    QVERIFY(!CaptionFits(wrapped));

    // A button needs a little room beside its caption.
    auto* button = new QPushButton(QStringLiteral("Cancel"), &dialog);
    button->setGeometry(0, 0, metrics.horizontalAdvance(QStringLiteral("Cancel")) + 12, 25);
    QVERIFY(CaptionFits(button));
    button->resize(button->width() - 1, 25);
    QVERIFY(!CaptionFits(button));

    // A radio button's caption starts after its round indicator, as a check
    // box's does; a group's title needs room in from its frame's edges.
    auto* radio = new QRadioButton(QStringLiteral("He&xadecimal"), &dialog);
    radio->setGeometry(0, 0, 200, 17);
    QVERIFY(CaptionFits(radio));
    radio->resize(metrics.horizontalAdvance(QStringLiteral("Hexadecimal")), 17);
    QVERIFY(!CaptionFits(radio));
    auto* group = new QGroupBox(QStringLiteral("Offsets"), &dialog);
    group->setGeometry(0, 0, metrics.horizontalAdvance(QStringLiteral("Offsets")) + 16, 60);
    QVERIFY(CaptionFits(group));
    group->resize(group->width() - 1, 60);
    QVERIFY(!CaptionFits(group));

    // An edit's text is no caption: only a line's height counts.
    edit->setGeometry(0, 0, 20, metrics.height());
    edit->setText(QString(500, QLatin1Char('x')));
    QVERIFY(CaptionFits(edit));
    edit->resize(20, metrics.height() - 1);
    QVERIFY(!CaptionFits(edit));
  }
};

QTEST_MAIN(TestDialogFont)
#include "test_dialogfont.moc"
