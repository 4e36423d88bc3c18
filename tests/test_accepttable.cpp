// The table of accepted bytes, checked against the byte sets of each class.

#include "extract/AcceptTable.h"

#include <QtTest>

#include <cstring>
#include <set>

namespace {

using ByteSet = std::set<unsigned>;

ByteSet Range(unsigned first, unsigned last) {
  ByteSet s;
  for (unsigned b = first; b <= last; ++b)
    s.insert(b);
  return s;
}

ByteSet Union(std::initializer_list<ByteSet> sets) {
  ByteSet s;
  for (const ByteSet& part : sets)
    s.insert(part.begin(), part.end());
  return s;
}

// Written out here byte by byte, independently of the program's string.
const ByteSet kPunct = {0x21, 0x22, 0x27, 0x28, 0x29, 0x2C, 0x2D, 0x2E, 0x3A, 0x3B, 0x3F};
const ByteSet kSymbol = {0x23, 0x24, 0x25, 0x26, 0x2A, 0x2B, 0x2F, 0x3C, 0x3D, 0x3E, 0x40,
                         0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};

TextOptions NoneOn() {
  TextOptions o;
  o.Upper = o.Lower = false;
  return o;
}

ByteSet Accepted(const TextOptions& options) {
  AcceptTable table;
  BuildAcceptTable(options, table);
  ByteSet s;
  for (unsigned b = 0; b < 256; ++b)
    if (table.IsAccepted(b))
      s.insert(b);
  return s;
}

} // namespace

Q_DECLARE_METATYPE(TextOptions)
Q_DECLARE_METATYPE(ByteSet)

class TestAcceptTable : public QObject {
  Q_OBJECT
private slots:
  void punctuationAndSymbolString();
  void classes_data();
  void classes();
  void noClassAcceptsControlOrHighAsciiBytes();
  void rebuildLeavesNothingBehind();
  void wideValuesUseTheirLowByte();
  void nulIsNeverAccepted();
};

void TestAcceptTable::punctuationAndSymbolString() {
  QCOMPARE(std::strlen(PunctSymbolChars), std::size_t(32));
  QCOMPARE(PunctCharCount + SymbolCharCount, std::size_t(32));
  QCOMPARE(QByteArray(PunctSymbolChars), QByteArray("!\"'(),-.:;?#$%&*+/<=>@[\\]^_`{|}~"));
  ByteSet punct, symbol;
  for (std::size_t i = 0; i < PunctCharCount; ++i)
    punct.insert(static_cast<unsigned char>(PunctSymbolChars[i]));
  for (std::size_t i = PunctCharCount; i < 32; ++i)
    symbol.insert(static_cast<unsigned char>(PunctSymbolChars[i]));
  QCOMPARE(punct, kPunct);
  QCOMPARE(symbol, kSymbol);
}

void TestAcceptTable::classes_data() {
  QTest::addColumn<TextOptions>("options");
  QTest::addColumn<ByteSet>("expected");

  QTest::newRow("nothing on") << NoneOn() << ByteSet{};
  QTest::newRow("defaults: letters")
      << TextOptions() << Union({Range(0x41, 0x5A), Range(0x61, 0x7A)});
  TextOptions o = NoneOn();
  o.Upper = true;
  QTest::newRow("upper") << o << Range(0x41, 0x5A);
  o = NoneOn();
  o.Lower = true;
  QTest::newRow("lower") << o << Range(0x61, 0x7A);
  o = NoneOn();
  o.Number = true;
  QTest::newRow("number") << o << Range(0x30, 0x39);
  o = NoneOn();
  o.Space = true;
  QTest::newRow("space without tab") << o << ByteSet{0x20};
  o = NoneOn();
  o.Punct = true;
  QTest::newRow("punct") << o << kPunct;
  o = NoneOn();
  o.Symbol = true;
  QTest::newRow("symbol") << o << kSymbol;
  o = NoneOn();
  o.ISO = true;
  QTest::newRow("iso alone, no ASCII letter") << o << Range(0xC0, 0xFF);

  o = TextOptions();
  o.Number = o.Space = o.Punct = o.Symbol = true;
  QTest::newRow("six ASCII classes: printable ASCII") << o << Range(0x20, 0x7E);

  o = NoneOn();
  o.Other = "aba";
  QTest::newRow("other with repeats") << o << ByteSet{'a', 'b'};
  o = TextOptions();
  o.Other = "xyz";
  QTest::newRow("other inside an enabled class") << o << Accepted(TextOptions());
  o = NoneOn();
  o.Number = true;
  o.Other = "\xE9\x80\xFF\t\n \x01\x7F";
  QTest::newRow("other with high and control bytes")
      << o << Union({Range(0x30, 0x39), ByteSet{0xE9, 0x80, 0xFF, 0x09, 0x0A, 0x20, 0x01, 0x7F}});
}

void TestAcceptTable::classes() {
  QFETCH(TextOptions, options);
  QFETCH(ByteSet, expected);
  QCOMPARE(Accepted(options), expected);
}

void TestAcceptTable::noClassAcceptsControlOrHighAsciiBytes() {
  TextOptions all;
  all.Number = all.Space = all.Punct = all.Symbol = all.ISO = true;
  const ByteSet accepted = Accepted(all);
  QCOMPARE(accepted, Union({Range(0x20, 0x7E), Range(0xC0, 0xFF)}));
  for (unsigned b : {0x00u, 0x09u, 0x0Au, 0x0Du, 0x1Fu, 0x7Fu, 0x80u, 0xA0u, 0xBFu})
    QVERIFY(!accepted.count(b));
}

void TestAcceptTable::rebuildLeavesNothingBehind() {
  TextOptions wide;
  wide.Number = wide.Space = wide.Punct = wide.Symbol = wide.ISO = true;
  wide.Other = "\x01\x80";
  TextOptions narrow = NoneOn();
  narrow.Space = true;
  AcceptTable table;
  BuildAcceptTable(wide, table);
  const AcceptTable first = table;
  BuildAcceptTable(wide, table);
  QVERIFY(table == first);
  BuildAcceptTable(narrow, table);
  for (unsigned b = 0; b < 256; ++b)
    QCOMPARE(table.IsAccepted(b), b == 0x20);
}

void TestAcceptTable::wideValuesUseTheirLowByte() {
  AcceptTable table;
  BuildAcceptTable(TextOptions(), table);
  QVERIFY(table.IsAccepted(0x100 + 'a'));
  QVERIFY(table.IsAccepted(0xFFFFFF00u + 'Z'));
  QVERIFY(!table.IsAccepted(0x100 + '1'));
}

void TestAcceptTable::nulIsNeverAccepted() {
  TextOptions o = NoneOn();
  o.Other = std::string("a\0b\0", 4);
  QCOMPARE(Accepted(o), (ByteSet{'a', 'b'}));
  o.Other = std::string(1, '\0');
  QCOMPARE(Accepted(o), ByteSet{});

  // Every class and every byte value in Other: all but 0x00.
  TextOptions all;
  all.Number = all.Space = all.Punct = all.Symbol = all.ISO = true;
  for (unsigned b = 0; b < 256; ++b)
    all.Other.push_back(static_cast<char>(b));
  QCOMPARE(Accepted(all), Range(0x01, 0xFF));

  // Nor can a table be told so directly, by any value whose low byte is 0.
  AcceptTable table;
  table.Accept(0x00);
  table.Accept(0x100);
  QVERIFY(table == AcceptTable());
}

QTEST_GUILESS_MAIN(TestAcceptTable)
#include "test_accepttable.moc"
