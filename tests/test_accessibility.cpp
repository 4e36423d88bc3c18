// What assistive technology reads of the program, asked in process as Qt's
// AT-SPI bridge asks: the editor's text, caret, selection and geometry, its
// change notices, on a small text and on a 300 MB one; the names of the tool
// bar buttons and of the dialogs' controls.
#include "app/TMainForm.h"
#include "editor/TextView.h"
#include "editor/TextViewAccessible.h"
#include "support/FakeDialogService.h"
#include "ui/TFindDialog.h"
#include "ui/TMyAboutBox.h"
#include "ui/TOptions.h"
#include "ui/TReplaceDialog.h"
#include "ui/TScanDlg.h"
#include "ui/TextVersionRecord.h"

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// One change notice as the bridge gets it.
struct Notice {
  QAccessible::Event type = QAccessible::InvalidEvent;
  int position = -1; // text changes
  QString text;      // text changes
  int cursor = -1;   // text changes, caret and selection
  int start = -1;    // selection
  int end = -1;      // selection
};

QList<Notice> notices;

void Record(QAccessibleEvent* event) {
  Notice notice;
  notice.type = event->type();
  switch (event->type()) {
  case QAccessible::TextInserted: {
    auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
    notice.position = e->changePosition();
    notice.text = e->textInserted();
    notice.cursor = e->cursorPosition();
    break;
  }
  case QAccessible::TextRemoved: {
    auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
    notice.position = e->changePosition();
    notice.text = e->textRemoved();
    notice.cursor = e->cursorPosition();
    break;
  }
  case QAccessible::TextSelectionChanged: {
    auto* e = static_cast<QAccessibleTextSelectionEvent*>(event);
    notice.start = e->selectionStart();
    notice.end = e->selectionEnd();
    notice.cursor = e->cursorPosition();
    break;
  }
  case QAccessible::TextCaretMoved:
    notice.cursor = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
    break;
  default:
    return;
  }
  notices.append(notice);
}

QList<Notice> Of(QAccessible::Event type) {
  QList<Notice> found;
  for (const Notice& n : notices)
    if (n.type == type)
      found.append(n);
  return found;
}

std::unique_ptr<TextView> MakeView(const std::string& text) {
  auto view = std::make_unique<TextView>();
  view->resize(400, 300);
  view->Append(text.data(), text.size());
  view->show();
  view->setFocus();
  return view;
}

QAccessibleInterface* Face(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

QAccessibleTextInterface* TextOf(TextView& view) {
  QAccessibleInterface* face = Face(&view);
  return face ? face->textInterface() : nullptr;
}

QString NameOf(QWidget* widget) {
  return Face(widget)->text(QAccessible::Name);
}

// A piece of the text as the interface gives it: its text and bounds.
struct Answer {
  QString text;
  int start;
  int end;
  bool operator==(const Answer& other) const {
    return text == other.text && start == other.start && end == other.end;
  }
};

char* toString(const Answer& a) {
  return QTest::toString(QStringLiteral("\"%1\" [%2, %3)").arg(a.text).arg(a.start).arg(a.end));
}

enum class Where { At, Before, After };

Answer Ask(QAccessibleTextInterface* text, Where where, int offset,
           QAccessible::TextBoundaryType type) {
  Answer a{QString(), 0, 0};
  if (where == Where::At)
    a.text = text->textAtOffset(offset, type, &a.start, &a.end);
  else if (where == Where::Before)
    a.text = text->textBeforeOffset(offset, type, &a.start, &a.end);
  else
    a.text = text->textAfterOffset(offset, type, &a.start, &a.end);
  return a;
}

// Lines of 32 bytes, "L0000123 alpha beta gamma delta\n" for line 123.
constexpr int64_t kLineBytes = 32;

std::string NumberedLines(int64_t first, int64_t count) {
  std::string block(static_cast<std::size_t>(count * kLineBytes) + 1, '\0');
  for (int64_t i = 0; i < count; ++i)
    std::snprintf(&block[static_cast<std::size_t>(i * kLineBytes)], kLineBytes + 1,
                  "L%07lld alpha beta gamma delta\n", static_cast<long long>(first + i));
  block.pop_back();
  return block;
}

constexpr int64_t kBlockLines = 32768; // 1 MiB
constexpr int64_t kLargeBlocks = 300;
constexpr int64_t kLargeLines = kBlockLines * kLargeBlocks;

QString NumberedLine(int64_t line) {
  return QString::fromStdString(NumberedLines(line, 1));
}

double Micros(const QElapsedTimer& clock, int times) {
  return static_cast<double>(clock.nsecsElapsed()) / 1000.0 / times;
}

} // namespace

// Notices reach only listening assistive technology, which the offscreen
// platform has none of: tests/with-atspi.sh runs these where it has.
#define REQUIRE_LISTENER()                                                                         \
  do {                                                                                             \
    if (!QAccessible::isActive())                                                                  \
      QSKIP("no assistive technology listens here; tests/with-atspi.sh runs this");                \
  } while (false)

class TestAccessibility : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void init() { notices.clear(); }

  void theViewIsAnEditableText();
  void textByRanges();
  void textAtOffsetByCharacterWordAndLine_data();
  void textAtOffsetByCharacterWordAndLine();
  void caretAndSelection();
  void characterRectanglesAndPoints();
  void editsThroughTheInterface();
  void changesAreNoticed();
  void largeTextAnswersStayFast();
  void largeTextChangesAreToldShort();

  void toolBarButtonsAreNamed();
  void dialogControlsAreNamedByCaption();
};

void TestAccessibility::initTestCase() {
  TextViewAccessible::Install();
  QAccessible::installUpdateHandler(Record);
  // Qt's AT-SPI bridge switches on once it has reached the accessibility
  // bus, after a few turns of the event loop.
  if (qEnvironmentVariableIsSet("SIFTWELL_REQUIRE_ACCESSIBILITY"))
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
}

void TestAccessibility::theViewIsAnEditableText() {
  auto view = MakeView("one\ntwo\n");
  view->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(view.get()));
  QAccessibleInterface* face = Face(view.get());
  QVERIFY(face);
  QCOMPARE(face->role(), QAccessible::EditableText);
  QVERIFY(face->textInterface());
  QVERIFY(face->editableTextInterface());
  const QAccessible::State state = face->state();
  QVERIFY(state.editable);
  QVERIFY(state.multiLine);
  QVERIFY(state.focusable);
  QVERIFY(state.focused);
  QVERIFY(state.selectableText);
  QVERIFY(!state.readOnly);
  // The text is the whole object: no anonymous viewport under it.
  QCOMPARE(face->childCount(), 0);
  QCOMPARE(face->rect(), QRect(view->mapToGlobal(QPoint(0, 0)), view->size()));
}

void TestAccessibility::textByRanges() {
  // A byte is the ISO 8859-1 character of its number, control bytes too.
  auto view = MakeView("caf\xe9 \x01x\n\tend");
  QAccessibleTextInterface* text = TextOf(*view);
  QCOMPARE(text->characterCount(), 12);
  QCOMPARE(text->text(0, 4), QString::fromUtf8("caf\u00e9"));
  QCOMPARE(text->text(5, 8), QStringLiteral("\x01x\n"));
  QCOMPARE(text->text(8, -1), QStringLiteral("\tend"));
  // Out of range is cut to the text.
  QCOMPARE(text->text(-5, 3), QStringLiteral("caf"));
  QCOMPARE(text->text(9, 400), QStringLiteral("end"));
  QCOMPARE(text->text(12, 20), QString());
  QCOMPARE(text->text(6, 2), QString());
  // One look throughout.
  int start = -1, end = -1;
  QCOMPARE(text->attributes(3, &start, &end), QString());
  QCOMPARE(start, 0);
  QCOMPARE(end, 12);
}

void TestAccessibility::textAtOffsetByCharacterWordAndLine_data() {
  QTest::addColumn<int>("where");
  QTest::addColumn<int>("offset");
  QTest::addColumn<int>("boundary");
  QTest::addColumn<QString>("expected");
  QTest::addColumn<int>("start");
  QTest::addColumn<int>("end");
  // "alpha beta, gamma\n\ndelta  x\n": lines at 0, 18, 19 and an empty
  // last one at 28.
  const int chr = QAccessible::CharBoundary, word = QAccessible::WordBoundary,
            line = QAccessible::LineBoundary;
  const int at = int(Where::At), before = int(Where::Before), after = int(Where::After);
  QTest::newRow("char") << at << 6 << chr << "b" << 6 << 7;
  QTest::newRow("char before") << before << 6 << chr << " " << 5 << 6;
  QTest::newRow("char after") << after << 6 << chr << "e" << 7 << 8;
  QTest::newRow("char at the end") << at << 28 << chr << "" << 28 << 28;
  QTest::newRow("char before the start") << before << 0 << chr << "" << -1 << -1;
  QTest::newRow("char after the last") << after << 27 << chr << "" << -1 << -1;
  QTest::newRow("word inside") << at << 8 << word << "beta" << 6 << 10;
  QTest::newRow("word at its start") << at << 6 << word << "beta" << 6 << 10;
  QTest::newRow("punctuation") << at << 10 << word << "," << 10 << 11;
  QTest::newRow("blanks") << at << 25 << word << "  " << 24 << 26;
  QTest::newRow("line break") << at << 17 << word << "\n" << 17 << 18;
  QTest::newRow("word before") << before << 8 << word << " " << 5 << 6;
  QTest::newRow("word after") << after << 8 << word << "," << 10 << 11;
  QTest::newRow("word at the end") << at << 28 << word << "\n" << 27 << 28;
  QTest::newRow("line") << at << 3 << line << "alpha beta, gamma\n" << 0 << 18;
  QTest::newRow("line at its break") << at << 17 << line << "alpha beta, gamma\n" << 0 << 18;
  QTest::newRow("empty line") << at << 18 << line << "\n" << 18 << 19;
  QTest::newRow("line before") << before << 20 << line << "\n" << 18 << 19;
  QTest::newRow("line after") << after << 3 << line << "\n" << 18 << 19;
  QTest::newRow("no line before the first") << before << 3 << line << "" << -1 << -1;
  QTest::newRow("empty last line") << at << 28 << line << "" << 28 << 28;
  QTest::newRow("-1 is the end") << at << -1 << line << "" << 28 << 28;
  QTest::newRow("past the end") << at << 29 << line << "" << -1 << -1;
  QTest::newRow("sentence is the line")
      << at << 21 << int(QAccessible::SentenceBoundary) << "delta  x\n"
      << 19 << 28;
  QTest::newRow("paragraph is the line")
      << at << 21 << int(QAccessible::ParagraphBoundary) << "delta  x\n"
      << 19 << 28;
  QTest::newRow("everything") << at << 4 << int(QAccessible::NoBoundary)
                              << "alpha beta, gamma\n\ndelta  x\n"
                              << 0 << 28;
}

void TestAccessibility::textAtOffsetByCharacterWordAndLine() {
  QFETCH(int, where);
  QFETCH(int, offset);
  QFETCH(int, boundary);
  QFETCH(QString, expected);
  QFETCH(int, start);
  QFETCH(int, end);
  auto view = MakeView("alpha beta, gamma\n\ndelta  x\n");
  const Answer got = Ask(TextOf(*view), Where(where), offset,
                         static_cast<QAccessible::TextBoundaryType>(boundary));
  QCOMPARE(got, (Answer{expected, start, end}));
}

void TestAccessibility::caretAndSelection() {
  auto view = MakeView("first line\nsecond line\n");
  QAccessibleTextInterface* text = TextOf(*view);
  view->GoTo(13);
  QCOMPARE(text->cursorPosition(), 13);
  QCOMPARE(text->selectionCount(), 0);
  int start = -1, end = -1;
  text->selection(0, &start, &end);
  QCOMPARE(start, 0);
  QCOMPARE(end, 0);

  // Backward: the caret is at the start, the selection in order.
  view->Select(17, 6);
  QCOMPARE(text->cursorPosition(), 6);
  QCOMPARE(text->selectionCount(), 1);
  text->selection(0, &start, &end);
  QCOMPARE(start, 6);
  QCOMPARE(end, 17);
  text->selection(1, &start, &end);
  QCOMPARE(start, 0);
  QCOMPARE(end, 0);

  text->setSelection(0, 2, 5);
  QCOMPARE(view->SelectionStart(), 2);
  QCOMPARE(view->SelectionEnd(), 5);
  QCOMPARE(view->Caret(), 5);
  // There is one selection: another takes its place.
  text->addSelection(11, 17);
  QCOMPARE(view->SelectionStart(), 11);
  QCOMPARE(view->SelectionEnd(), 17);
  text->removeSelection(0);
  QVERIFY(!view->HasSelection());
  QCOMPARE(view->Caret(), 17);

  text->setCursorPosition(3);
  QCOMPARE(view->Caret(), 3);
  QVERIFY(!view->HasSelection());
  text->setCursorPosition(1000);
  QCOMPARE(view->Caret(), view->Length());
}

void TestAccessibility::characterRectanglesAndPoints() {
  auto view = MakeView("ab\tc\nsecond\n");
  QAccessibleTextInterface* text = TextOf(*view);
  const QPoint origin = view->viewport()->mapToGlobal(QPoint(0, 0));
  const int height = view->LineHeight();
  const qreal cell = view->ColumnWidth();

  const QRect b = text->characterRect(1);
  QCOMPARE(b.top(), origin.y());
  QCOMPARE(b.height(), height);
  QVERIFY(qAbs(b.left() - (origin.x() + view->XOfColumn(1))) <= 1);
  QVERIFY(qAbs(b.width() - cell) <= 1);
  // The tab takes columns 2 to 7.
  const QRect tab = text->characterRect(2);
  QVERIFY(qAbs(tab.width() - 6 * cell) <= 1);
  QVERIFY(qAbs(text->characterRect(3).left() - (origin.x() + view->XOfColumn(8))) <= 1);
  const QRect e = text->characterRect(6);
  QCOMPARE(e.top(), origin.y() + height);
  QVERIFY(qAbs(e.left() - (origin.x() + view->XOfColumn(1))) <= 1);
  QCOMPARE(text->characterRect(-1), QRect());
  QCOMPARE(text->characterRect(100), QRect());

  // The character whose cell holds the point, anywhere in the cell.
  for (int offset : {0, 1, 2, 3, 6, 7, 11})
    for (const QPoint& p : {text->characterRect(offset).topLeft() + QPoint(1, 1),
                            text->characterRect(offset).center(),
                            text->characterRect(offset).bottomRight() - QPoint(1, 1)})
      QCOMPARE(text->offsetAtPoint(p), offset);
  QCOMPARE(text->offsetAtPoint(origin - QPoint(5, 5)), -1);
  QCOMPARE(text->offsetAtPoint(origin + QPoint(5, 10 * height)), -1); // below the last line

  // Scrolling to a place out of view brings it into view.
  std::string many;
  for (int i = 0; i < 500; ++i)
    many += "line " + std::to_string(i) + "\n";
  auto tall = MakeView(many);
  const int far = static_cast<int>(tall->LineStart(400));
  TextOf(*tall)->scrollToSubstring(far, far + 4);
  QVERIFY(tall->FirstVisibleLine() <= 400);
  QVERIFY(400 < tall->FirstVisibleLine() + tall->VisibleLineCount());
  QCOMPARE(tall->Caret(), 0); // scrolling is no move of the caret
  const QRect shown = TextOf(*tall)->characterRect(far);
  QVERIFY(tall->viewport()->rect().contains(tall->viewport()->mapFromGlobal(shown.center())));
}

void TestAccessibility::editsThroughTheInterface() {
  auto view = MakeView("hello world\n");
  QAccessibleEditableTextInterface* edit = Face(view.get())->editableTextInterface();
  edit->insertText(5, QStringLiteral(","));
  QCOMPARE(view->Text().Text(), std::string("hello, world\n"));
  edit->deleteText(0, 7);
  QCOMPARE(view->Text().Text(), std::string("world\n"));
  // As pasted text: outside ISO 8859-1 is "?", CR LF a line break.
  edit->replaceText(0, 5, QString::fromUtf8("caf\u00e9 \u20ac\r\nend"));
  QCOMPARE(view->Text().Text(), std::string("caf\xe9 ?\nend\n"));
  // Out of range is cut to the text.
  edit->replaceText(-3, 400, QStringLiteral("x"));
  QCOMPARE(view->Text().Text(), std::string("x"));
  // Each is the user's own edit, undone one by one.
  view->Undo();
  QCOMPARE(view->Text().Text(), std::string("caf\xe9 ?\nend\n"));
  view->Undo();
  view->Undo();
  QCOMPARE(view->Text().Text(), std::string("hello, world\n"));
}

void TestAccessibility::changesAreNoticed() {
  REQUIRE_LISTENER();
  auto view = MakeView("abc def\n");
  view->GoTo(3);
  notices.clear();

  // Typing: the insertion and the caret after it.
  QTest::keyClicks(view.get(), QStringLiteral("X"));
  QCOMPARE(Of(QAccessible::TextInserted).size(), 1);
  QCOMPARE(Of(QAccessible::TextInserted)[0].position, 3);
  QCOMPARE(Of(QAccessible::TextInserted)[0].text, QStringLiteral("X"));
  QCOMPARE(Of(QAccessible::TextInserted)[0].cursor, 4);
  QCOMPARE(Of(QAccessible::TextCaretMoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextCaretMoved)[0].cursor, 4);
  QVERIFY(Of(QAccessible::TextRemoved).isEmpty());

  // Backspace: what left, from where.
  notices.clear();
  QTest::keyClick(view.get(), Qt::Key_Backspace);
  QTest::keyClick(view.get(), Qt::Key_Backspace);
  const QList<Notice> removed = Of(QAccessible::TextRemoved);
  QCOMPARE(removed.size(), 2);
  QCOMPARE(removed[0].position, 3);
  QCOMPARE(removed[0].text, QStringLiteral("X"));
  QCOMPARE(removed[1].position, 2);
  QCOMPARE(removed[1].text, QStringLiteral("c"));
  QCOMPARE(Of(QAccessible::TextCaretMoved).size(), 2);
  QCOMPARE(Of(QAccessible::TextCaretMoved)[1].cursor, 2);
  QVERIFY(Of(QAccessible::TextSelectionChanged).isEmpty());

  // Selecting: the selection and the caret; a second Shift+Right moves both.
  notices.clear();
  QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(view.get(), Qt::Key_Right, Qt::ShiftModifier);
  QList<Notice> selected = Of(QAccessible::TextSelectionChanged);
  QCOMPARE(selected.size(), 2);
  QCOMPARE(selected[1].start, 2);
  QCOMPARE(selected[1].end, 4);
  QCOMPARE(Of(QAccessible::TextCaretMoved).size(), 2);
  // A selected word typed over: removal, insertion, the selection gone.
  notices.clear();
  QTest::keyClicks(view.get(), QStringLiteral("Z"));
  QCOMPARE(Of(QAccessible::TextRemoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].text, QStringLiteral(" d"));
  QCOMPARE(Of(QAccessible::TextInserted).size(), 1);
  QCOMPARE(Of(QAccessible::TextInserted)[0].text, QStringLiteral("Z"));
  selected = Of(QAccessible::TextSelectionChanged);
  QCOMPARE(selected.size(), 1);
  QCOMPARE(selected[0].start, 3);
  QCOMPARE(selected[0].end, 3);
  QCOMPARE(view->Text().Text(), std::string("abZef\n"));

  // Nothing moved, nothing told.
  notices.clear();
  view->GoTo(view->Caret());
  QVERIFY(notices.isEmpty());

  // Undo tells its change as any other.
  view->Undo();
  QCOMPARE(Of(QAccessible::TextRemoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].text, QStringLiteral("Z"));
  QCOMPARE(Of(QAccessible::TextInserted).size(), 1);
  QCOMPARE(Of(QAccessible::TextInserted)[0].text, QStringLiteral(" d"));

  // What is not typed: appending, emptying, the whole text put in.
  notices.clear();
  view->Append("tail", 4);
  QCOMPARE(Of(QAccessible::TextInserted).size(), 1);
  QCOMPARE(Of(QAccessible::TextInserted)[0].position, 7);
  QCOMPARE(Of(QAccessible::TextInserted)[0].text, QStringLiteral("tail"));
  notices.clear();
  TextBuffer other;
  other.Append("new text");
  view->SetText(std::move(other), 0);
  QCOMPARE(Of(QAccessible::TextRemoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].text, QStringLiteral("ab def\ntail"));
  QCOMPARE(Of(QAccessible::TextInserted).size(), 1);
  QCOMPARE(Of(QAccessible::TextInserted)[0].text, QStringLiteral("new text"));
  notices.clear();
  const TextBuffer taken = view->TakeText();
  QCOMPARE(taken.Text(), std::string("new text"));
  QCOMPARE(Of(QAccessible::TextRemoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].position, 0);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].text, QStringLiteral("new text"));
  notices.clear();
  view->Append("again", 5);
  view->Clear();
  QCOMPARE(Of(QAccessible::TextRemoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].text, QStringLiteral("again"));
  QCOMPARE(TextOf(*view)->characterCount(), 0);
}

namespace {

// 300 MB of numbered lines, appended a megabyte at a time as a pass does;
// how long it took, in ms.
qint64 FillLarge(TextView& view) {
  QElapsedTimer clock;
  clock.start();
  for (int64_t b = 0; b < kLargeBlocks; ++b) {
    const std::string block = NumberedLines(b * kBlockLines, kBlockLines);
    view.Append(block.data(), block.size());
  }
  return clock.elapsed();
}

} // namespace

void TestAccessibility::largeTextAnswersStayFast() {
  TextView view;
  view.resize(600, 400);
  view.show();
  const qint64 fillMs = FillLarge(view);
  QCOMPARE(view.Length(), kLargeLines * kLineBytes);
  QAccessibleTextInterface* text = TextOf(view);
  QCOMPARE(text->characterCount(), int(kLargeLines * kLineBytes));

  // A request for everything is cut short.
  QElapsedTimer clock;
  clock.start();
  const QString all = text->text(0, -1);
  const double allMs = Micros(clock, 1) / 1000;
  QCOMPARE(all.size(), TextViewAccessible::kMaxAnswer);
  QVERIFY(all.startsWith(NumberedLine(0)));
  int start = -1, end = -1;
  QCOMPARE(text->textAtOffset(5, QAccessible::NoBoundary, &start, &end).size(),
           TextViewAccessible::kMaxAnswer);
  QCOMPARE(end, text->characterCount());

  // Lines, words and characters anywhere, as a screen reader reads them.
  constexpr int kQueries = 2000;
  int64_t checksum = 0;
  clock.restart();
  for (int i = 0; i < kQueries; ++i) {
    const int64_t line = (kLargeLines - 1) * i / (kQueries - 1);
    const int offset = int(line * kLineBytes + 10);
    const QString got = text->textAtOffset(offset, QAccessible::LineBoundary, &start, &end);
    if (got != NumberedLine(line) || start != int(line * kLineBytes))
      QFAIL(qPrintable(QStringLiteral("line %1: \"%2\" at %3").arg(line).arg(got).arg(start)));
    checksum += text->textAtOffset(offset, QAccessible::WordBoundary, &start, &end).size();
    checksum += text->textBeforeOffset(offset, QAccessible::LineBoundary, &start, &end).size();
    checksum += text->textAfterOffset(offset, QAccessible::WordBoundary, &start, &end).size();
    checksum += text->textAtOffset(offset, QAccessible::CharBoundary, &start, &end).size();
  }
  const double queryUs = Micros(clock, kQueries);
  // "alpha" (5), the line before (32, none for the first), the blank after
  // "alpha" (1), "l" (1).
  QCOMPARE(checksum, int64_t(kQueries) * (5 + 32 + 1 + 1) - 32);

  // The caret deep in the text: where it is, its rectangle in view, and
  // back from the rectangle's centre.
  const int middle = int(kLargeLines / 2 * kLineBytes + 3);
  view.GoTo(middle);
  clock.restart();
  const int caret = text->cursorPosition();
  const QRect rect = text->characterRect(caret);
  const int back = text->offsetAtPoint(rect.center());
  const double placeUs = Micros(clock, 1);
  QCOMPARE(caret, middle);
  QCOMPARE(back, middle);

  clock.restart();
  Face(&view)->editableTextInterface()->insertText(middle, QStringLiteral("++"));
  const double editUs = Micros(clock, 1);
  QCOMPARE(text->text(middle - 3, middle + 5), QStringLiteral("L49++152"));

  qInfo("300 MB: fill %lld ms; whole-text request %.1f ms; line, word, line before, word after "
        "and character at an offset %.1f us; caret, rectangle and point %.1f us; an insertion "
        "%.1f us",
        static_cast<long long>(fillMs), allMs, queryUs, placeUs, editUs);
}

void TestAccessibility::largeTextChangesAreToldShort() {
  REQUIRE_LISTENER();
  TextView view;
  view.resize(600, 400);
  view.show();
  const qint64 fillMs = FillLarge(view);
  const QList<Notice> appended = Of(QAccessible::TextInserted);
  QCOMPARE(appended.size(), int(kLargeBlocks));
  QCOMPARE(appended.last().position, int((kLargeBlocks - 1) * kBlockLines * kLineBytes));
  QCOMPARE(appended.last().text.size(), TextViewAccessible::kMaxNotice);
  QVERIFY(appended.last().text.startsWith(NumberedLine((kLargeBlocks - 1) * kBlockLines)));

  // An edit deep in the text is told with its own text only.
  const int middle = int(kLargeLines / 2 * kLineBytes + 3);
  view.GoTo(middle);
  notices.clear();
  QElapsedTimer clock;
  clock.start();
  QTest::keyClicks(&view, QStringLiteral("+"));
  const double typeUs = Micros(clock, 1);
  QCOMPARE(Of(QAccessible::TextInserted).size(), 1);
  QCOMPARE(Of(QAccessible::TextInserted)[0].text, QStringLiteral("+"));
  QCOMPARE(Of(QAccessible::TextInserted)[0].position, middle);
  QCOMPARE(Of(QAccessible::TextCaretMoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextCaretMoved)[0].cursor, middle + 1);

  // Emptied, and filled by a whole new text: what is told is cut short.
  notices.clear();
  clock.restart();
  TextBuffer copy = view.Text().Snapshot();
  view.SetText(std::move(copy), 0);
  const double setMs = Micros(clock, 1) / 1000;
  QCOMPARE(Of(QAccessible::TextRemoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].text.size(), TextViewAccessible::kMaxNotice);
  QCOMPARE(Of(QAccessible::TextInserted).size(), 1);
  QCOMPARE(Of(QAccessible::TextInserted)[0].text.size(), TextViewAccessible::kMaxNotice);
  notices.clear();
  clock.restart();
  view.Clear();
  const double clearMs = Micros(clock, 1) / 1000;
  QCOMPARE(Of(QAccessible::TextRemoved).size(), 1);
  QCOMPARE(Of(QAccessible::TextRemoved)[0].text.size(), TextViewAccessible::kMaxNotice);

  qInfo("300 MB with a listener: fill %lld ms; a typed character %.1f us; whole text replaced "
        "%.1f ms; emptied %.1f ms",
        static_cast<long long>(fillMs), typeUs, setMs, clearMs);
}

void TestAccessibility::toolBarButtonsAreNamed() {
  FakeDialogService dialogs;
  TMainForm form;
  const QList<QToolButton*> buttons = form.SpeedBar()->findChildren<QToolButton*>();
  QStringList names;
  for (QToolButton* button : buttons) {
    QCOMPARE(Face(button)->role(), QAccessible::Button);
    names.append(NameOf(button));
  }
  QCOMPARE(names, (QStringList{"Open", "Save", "Print", "Undo", "Cut", "Copy", "Paste", "Tile",
                               "Cascade", "Arrange", "Help Contents", "About", "Exit"}));
}

void TestAccessibility::dialogControlsAreNamedByCaption() {
  TOptions options;
  const QList<QPair<QWidget*, QString>> optionNames = {
      {options.ButtonOK, "OK"},
      {options.ButtonCancel, "Cancel"},
      {options.ButtonHelp, "Help"},
      {options.Label1, "Minimum char number:"},
      {options.MinChar, "Minimum char number:"},
      {options.Label2, "Maximum char number:"},
      {options.MaxChar, "Maximum char number:"},
      {options.Label3, "Include:"},
      {options.Lower, "Lower case ASCII letters (a-z)"},
      {options.Upper, "Upper case ASCII letters (A-Z)"},
      {options.Number, "Numbers (0-9)"},
      {options.Space, "Space"},
      {options.Punct, "Punctuation: ! ' \" ( ) , - . : ; ?"},
      {options.Symbol, "Symbols: # $ % & * + / < = > @ [ \\ ] ^ _ ` { | } ~"},
      {options.Iso, QString::fromUtf8("Other letters: \u00e1,\u00c1,\u00f1,\u00e7, ...")},
      {options.Label4, "These characters:"},
      {options.Other, "These characters:"},
  };
  for (const auto& [control, name] : optionNames)
    QCOMPARE(NameOf(control), name);

  TScanDlg scan;
  QCOMPARE(NameOf(scan.FromLabel), QStringLiteral("From:"));
  QCOMPARE(NameOf(scan.From), QStringLiteral("From:"));
  QCOMPARE(NameOf(scan.CancelOp), QStringLiteral("Cancel"));

  TReplaceDialog replace;
  const QList<QPair<QWidget*, QString>> replaceNames = {
      {replace.FindWhatLabel, "Find what:"},
      {replace.FindWhat, "Find what:"},
      {replace.ReplaceWithLabel, "Replace with:"},
      {replace.ReplaceWith, "Replace with:"},
      {replace.WholeWordBox, "Match whole word only"},
      {replace.MatchCaseBox, "Match case"},
      {replace.DirectionBox, "Direction"},
      {replace.UpButton, "Up"},
      {replace.DownButton, "Down"},
      {replace.FindNextButton, "Find Next"},
      {replace.ReplaceButton, "Replace"},
      {replace.ReplaceAllButton, "Replace All"},
      {replace.CancelButton, "Cancel"},
  };
  for (const auto& [control, name] : replaceNames)
    QCOMPARE(NameOf(control), name);
  TFindDialog find;
  QCOMPARE(NameOf(find.FindWhat), QStringLiteral("Find what:"));
  QCOMPARE(NameOf(find.FindNextButton), QStringLiteral("Find Next"));

  const std::unique_ptr<VersionRecord> record = TextVersionRecord::Program();
  TMyAboutBox about(record.get(), [](TMyAboutBox&) {});
  QCOMPARE(NameOf(about.OKButton), QStringLiteral("OK"));
  QCOMPARE(NameOf(about.Name), QStringLiteral("Sift Well"));
  QCOMPARE(NameOf(about.Bugs), QStringLiteral("Bug reports and suggestions:"));
  QCOMPARE(NameOf(about.email), QString::fromLatin1(TMyAboutBox::EmailAddress));
}

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
