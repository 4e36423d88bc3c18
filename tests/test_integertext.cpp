// The integer text rule, case by case.
#include "settings/IntegerText.h"

#include <QtTest>

class TestIntegerText : public QObject {
  Q_OBJECT
private slots:
  void rule_data();
  void rule();
  void failureLeavesValueAlone();
};

void TestIntegerText::rule_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<bool>("valid");
  QTest::addColumn<qint64>("value");

  // Decimal forms and the signed 32-bit range.
  QTest::newRow("zero") << QByteArray("0") << true << qint64(0);
  QTest::newRow("plain") << QByteArray("4") << true << qint64(4);
  QTest::newRow("leading zeros") << QByteArray("0010") << true << qint64(10);
  QTest::newRow("plus") << QByteArray("+12") << true << qint64(12);
  QTest::newRow("minus") << QByteArray("-1") << true << qint64(-1);
  QTest::newRow("minus zero") << QByteArray("-0") << true << qint64(0);
  QTest::newRow("max") << QByteArray("2147483647") << true << qint64(2147483647);
  QTest::newRow("max+1") << QByteArray("2147483648") << false << qint64(0);
  QTest::newRow("min") << QByteArray("-2147483648") << true << qint64(-2147483648LL);
  QTest::newRow("min-1") << QByteArray("-2147483649") << false << qint64(0);
  QTest::newRow("unsigned max") << QByteArray("4294967295") << false << qint64(0);
  QTest::newRow("eleven nines") << QByteArray("99999999999") << false << qint64(0);
  QTest::newRow("many leading zeros") << QByteArray("000000000000000000007") << true << qint64(7);

  // Blanks: only 0x20, only in front.
  QTest::newRow("leading blanks") << QByteArray("   12") << true << qint64(12);
  QTest::newRow("blank before sign") << QByteArray(" -7") << true << qint64(-7);
  QTest::newRow("trailing blank") << QByteArray("4 ") << false << qint64(0);
  QTest::newRow("blank after sign") << QByteArray("- 7") << false << qint64(0);
  QTest::newRow("leading tab") << QByteArray("\t7") << false << qint64(0);
  QTest::newRow("inner blank") << QByteArray("1 2") << false << qint64(0);

  // Nothing to read.
  QTest::newRow("empty") << QByteArray("") << false << qint64(0);
  QTest::newRow("blanks only") << QByteArray("   ") << false << qint64(0);
  QTest::newRow("lone minus") << QByteArray("-") << false << qint64(0);
  QTest::newRow("lone plus") << QByteArray("+") << false << qint64(0);
  QTest::newRow("two signs") << QByteArray("--1") << false << qint64(0);
  QTest::newRow("letters") << QByteArray("abc") << false << qint64(0);
  QTest::newRow("yes") << QByteArray("yes") << false << qint64(0);
  QTest::newRow("digits then letters") << QByteArray("10ten") << false << qint64(0);
  QTest::newRow("decimal point") << QByteArray("1.5") << false << qint64(0);

  // Hexadecimal prefixes.
  QTest::newRow("$10") << QByteArray("$10") << true << qint64(16);
  QTest::newRow("0x10") << QByteArray("0x10") << true << qint64(16);
  QTest::newRow("0X10") << QByteArray("0X10") << true << qint64(16);
  QTest::newRow("x10") << QByteArray("x10") << true << qint64(16);
  QTest::newRow("X10") << QByteArray("X10") << true << qint64(16);
  QTest::newRow("$1F") << QByteArray("$1F") << true << qint64(31);
  QTest::newRow("0x1f") << QByteArray("0x1f") << true << qint64(31);
  QTest::newRow("blanks and hex") << QByteArray("  $a") << true << qint64(10);
  QTest::newRow("$FFFFFFFF") << QByteArray("$FFFFFFFF") << true << qint64(-1);
  QTest::newRow("$80000000") << QByteArray("$80000000") << true << qint64(-2147483648LL);
  QTest::newRow("$7FFFFFFF") << QByteArray("$7FFFFFFF") << true << qint64(2147483647);
  QTest::newRow("nine hex digits") << QByteArray("$100000000") << false << qint64(0);
  QTest::newRow("leading zeros do not count")
      << QByteArray("$0000000000FFFFFFFF") << true << qint64(-1);
  QTest::newRow("minus hex") << QByteArray("-$10") << true << qint64(-16);
  QTest::newRow("minus $FFFFFFFF") << QByteArray("-$FFFFFFFF") << true << qint64(1);
  QTest::newRow("minus $80000000") << QByteArray("-$80000000") << true << qint64(-2147483648LL);
  QTest::newRow("plus hex") << QByteArray("+0x10") << true << qint64(16);
  QTest::newRow("lone $") << QByteArray("$") << false << qint64(0);
  QTest::newRow("lone 0x") << QByteArray("0x") << false << qint64(0);
  QTest::newRow("lone x") << QByteArray("x") << false << qint64(0);
  QTest::newRow("minus lone $") << QByteArray("-$") << false << qint64(0);
  QTest::newRow("bad hex digit") << QByteArray("$1G") << false << qint64(0);
  QTest::newRow("hex trailing blank") << QByteArray("$10 ") << false << qint64(0);
  QTest::newRow("sign after prefix") << QByteArray("$-1") << false << qint64(0);
  QTest::newRow("double prefix") << QByteArray("0x$1") << false << qint64(0);
  QTest::newRow("hex digits without prefix") << QByteArray("1F") << false << qint64(0);
  QTest::newRow("embedded NUL") << QByteArray("1\0", 2) << false << qint64(0);
}

void TestIntegerText::rule() {
  QFETCH(QByteArray, text);
  QFETCH(bool, valid);
  QFETCH(qint64, value);
  int32_t result = 0;
  QCOMPARE(TextToInt(text.toStdString(), result), valid);
  if (valid)
    QCOMPARE(qint64(result), value);
}

void TestIntegerText::failureLeavesValueAlone() {
  int32_t result = 77;
  QVERIFY(!TextToInt("12x", result));
  QCOMPARE(result, 77);
  QVERIFY(!TextToInt("99999999999", result));
  QCOMPARE(result, 77);
}

QTEST_GUILESS_MAIN(TestIntegerText)
#include "test_integertext.moc"
