// The document editor drawn over the chunked text: what it shows where,
// keys, editing and undo, the clipboard and the mouse.
#include "editor/LineColumns.h"
#include "editor/ScrollMapping.h"
#include "editor/SnapshotMimeData.h"
#include "editor/TextView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>
#include <memory>
#include <random>
#include <string>

// Skips a test that needs an X server and xdotool where they are missing;
// under the suite's own X server (SIFTWELL_REQUIRE_PRIMARY) that fails it.
#define NEEDS_X_AND_XDOTOOL()                                                                      \
  do {                                                                                             \
    if (QGuiApplication::platformName() != QStringLiteral("xcb") ||                                \
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {                     \
      if (qEnvironmentVariableIsSet("SIFTWELL_REQUIRE_PRIMARY"))                                   \
        QFAIL("needs X and xdotool");                                                              \
      QSKIP("needs X and xdotool");                                                                \
    }                                                                                              \
  } while (false)

namespace {

std::unique_ptr<TextView> MakeView(const std::string& text, QSize size = QSize(400, 300)) {
  auto view = std::make_unique<TextView>();
  view->resize(size);
  view->Append(text.data(), text.size());
  view->show();
  view->setFocus();
  return view;
}

// Counts the paints of a widget.
class PaintCount : public QObject {
public:
  explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
};

std::string All(const TextView& view) {
  return view.Text().Text();
}

// The centre of a cell of the viewport.
QPoint Cell(const TextView& view, int64_t column, int64_t row) {
  return QPoint(static_cast<int>(view.XOfColumn(column) + view.ColumnWidth() * 0.3),
                static_cast<int>(row * view.LineHeight() + view.LineHeight() / 2));
}

void Keys(TextView& view, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, int times = 1) {
  for (int i = 0; i < times; ++i)
    QTest::keyClick(&view, key, mods);
}

// One key press per character, as a keyboard sends them.
void TypeText(TextView& view, const QString& text) {
  for (char32_t c : text.toUcs4()) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUcs4(&c, 1));
    QApplication::sendEvent(&view, &press);
  }
}

// Mouse events one by one, as the window system sends them; the button is
// the left one, `held` the buttons down after the event.
void SendMouse(TextView& view, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), QPointF(view.viewport()->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &event);
}

// A double click held down at `at`.
void DoubleClickHeld(TextView& view, QPoint at) {
  SendMouse(view, QEvent::MouseButtonPress, at, Qt::LeftButton);
  SendMouse(view, QEvent::MouseButtonRelease, at, Qt::NoButton);
  SendMouse(view, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
}

QImage Shot(TextView& view) {
  return view.viewport()->grab().toImage();
}

// The columns of a line counted one byte at a time.
int64_t NaiveColumn(const std::string& line, std::size_t offset) {
  int64_t column = 0;
  for (std::size_t i = 0; i < offset; ++i)
    column = LineColumns::Advance(line[i], column);
  return column;
}

} // namespace

class TestTextView : public QObject {
  Q_OBJECT

private slots:
  void init() { QApplication::clipboard()->clear(); }

  // Text and view.
  void queriesCountBytesAndLines();
  void tabsRunToMultiplesOfEight();
  void longLineColumnsFollowEdits();
  void columnsFollowRandomEdits();
  void scrollMappingScalesBeyondInt();
  void scrollBarsFollowAGrowingTextAtTheirPace();
  void controlByteFillsOneCell();
  void latinBytesPaintAsTheirCharacters();
  void farEndOfHugeLinePaintsItsTail();
  void selectionIsPaintedPalerWithoutFocus();
  void caretBlinks();

  // Keys.
  void arrowsHomeAndEndMoveTheCaret();
  void upAndDownKeepTheColumn();
  void shiftExtendsTheSelection();
  void arrowsWithASelectionLeaveItAtItsEdges();
  void pageKeysMoveByAScreen();
  void controlArrowsMoveByWords();
  void controlBackspaceDeleteAndScroll();
  void caretIsScrolledIntoView();
  void typedCharactersAreLatin1();
  void composedTextIsTyped();
  void inputMethodsReadAroundTheCaret();
  void inputMethodsReplaceAroundTheCaret();
  void tabEnterBackspaceAndDelete();
  void reservedKeysAreLeftAlone();
  void keysUnderX();

  // Editing.
  void undoTakesBackAWordAtATime();
  void pauseInTypingStartsAStep();
  void backspaceAndDeleteRunsUndoAsOne();
  void deletionsInTwoDirectionsAreTwoSteps();
  void notUndoableChangesEmptyTheHistory();
  void randomEditsUndoAndRedoInFull();
  void copyPutsASnapshotOnTheClipboard();
  void cutAndPasteKeys();
  void pasteTurnsTextIntoLatin1Lines();
  void pasteWithoutTextChangesNothing();
  void selectAllKey();

  // Mouse.
  void clickPlacesAndShiftClickExtends();
  void dragSelectsAndScrollsPastTheEdge();
  void dragFurtherPastTheEdgeScrollsFaster();
  void primarySelectionUnderX();
  void dragMovesTextUnderX();
  void draggedTextShowsWhereAndScrolls();
  void doubleAndTripleClick();
  void doubleClickDragSelectsByWords();
  void tripleClickDragSelectsByLines();
  void pressOnSelectionDragsIt();
  void wheelScrolls();
  void zoomByKeysAndWheel();
  void zoomKeepsTheFirstVisibleLine();
  void insertKeySwitchesOvertype();
  void contextMenuItemsFollowState();
  void contextMenuShowsTheEditKeys();
  void filesAreOfferedTextIsDropped();
};

// ---------------------------------------------------------------------------

void TestTextView::queriesCountBytesAndLines() {
  auto view = MakeView("one\ntwo\n\nfour");
  QCOMPARE(view->Length(), 13);
  QCOMPARE(view->LineCount(), 4);
  QCOMPARE(view->LineStart(1), 4);
  QCOMPARE(view->LineEnd(1), 7);
  QCOMPARE(view->LineOf(9), 3);
  QCOMPARE(view->Range(4, 7), QByteArray("two"));
  QCOMPARE(view->Range(11, 99), QByteArray("ur"));
  QVERIFY(!view->WrapsLines());
  QCOMPARE(QFontInfo(view->TextFont()).pixelSize(), 13);
  QVERIFY(QFontInfo(view->TextFont()).fixedPitch());
  view->Select(5, 2);
  QCOMPARE(view->SelectionStart(), 2);
  QCOMPARE(view->SelectionEnd(), 5);
  QCOMPARE(view->Caret(), 2);
  QCOMPARE(view->SelectedText(), QByteArray("e\nt"));
  QCOMPARE(view->SelectedText(2), QByteArray("e\n"));
}

void TestTextView::tabsRunToMultiplesOfEight() {
  auto view = MakeView("a\tb\n12345678\tc\n\t\tx");
  QCOMPARE(view->ColumnOf(2), 8);
  QCOMPARE(view->ColumnOf(4 + 9), 16);
  QCOMPARE(view->ColumnOf(view->LineStart(2) + 2), 16);
  // A click inside a tab goes to its nearer side.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 2, 0));
  QCOMPARE(view->Caret(), 1);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 6, 0));
  QCOMPARE(view->Caret(), 2);
}

void TestTextView::longLineColumnsFollowEdits() {
  TextBuffer text(4096);
  std::mt19937 random(7);
  std::string line;
  for (int i = 0; i < 30000; ++i)
    line += random() % 50 == 0 ? '\t' : 'x';
  text.Append(line);
  LineColumns columns(text);
  for (std::size_t offset : {0ul, 1ul, 4095ul, 4096ul, 4097ul, 12345ul, 29999ul, 30000ul})
    QCOMPARE(columns.ColumnOf(0, line.size(), offset), NaiveColumn(line, offset));
  const int64_t wanted = NaiveColumn(line, 20000) + 3;
  const LineColumns::Cell cell = columns.CellAt(0, line.size(), wanted);
  QVERIFY(NaiveColumn(line, cell.position) <= wanted);
  QVERIFY(NaiveColumn(line, cell.position + 1) > wanted);
  QCOMPARE(cell.column, NaiveColumn(line, cell.position));
  // An edit early in the line: what lies after it is counted again.
  text.Insert(5000, "\t\t\t");
  line.insert(5000, "\t\t\t");
  columns.Changed(5000);
  for (std::size_t offset : {4999ul, 5001ul, 9000ul, 30003ul})
    QCOMPARE(columns.ColumnOf(0, line.size(), offset), NaiveColumn(line, offset));
  // An edit at the very start of a long line after another.
  TextBuffer two;
  std::string second(9000, 'z');
  second[100] = '\t';
  two.Append("first\n" + second);
  LineColumns twoColumns(two);
  QCOMPARE(twoColumns.ColumnOf(6, 6 + 9000, 6 + 8000), NaiveColumn(second, 8000));
  two.Insert(6, "\t");
  second.insert(0, "\t");
  twoColumns.Changed(6);
  QCOMPARE(twoColumns.ColumnOf(6, 6 + 9001, 6 + 8000), NaiveColumn(second, 8000));
  QCOMPARE(twoColumns.ColumnOf(6, 6 + 9001, 6 + 9001), NaiveColumn(second, 9001));
  // A long line without tabs is plain arithmetic.
  TextBuffer plain;
  plain.Append(std::string(100000, 'y'));
  LineColumns plainColumns(plain);
  QCOMPARE(plainColumns.ColumnOf(0, 100000, 77777), 77777);
  QCOMPARE(plainColumns.CellAt(0, 100000, 55555).position, 55555u);
  QCOMPARE(plainColumns.CellAt(0, 100000, 200000).position, 100000u);
}

void TestTextView::columnsFollowRandomEdits() {
  // Long lines with and without tabs; edits with and without tabs and line
  // breaks, each told to the columns as the view tells them. After each,
  // the columns of any place agree with a count from the line's start.
  std::mt19937 random(11);
  std::string model;
  for (int line = 0; line < 6; ++line) {
    std::string text(5000 + random() % 20000, 'x');
    if (line % 2 == 1)
      for (char& c : text)
        c = random() % 40 == 0 ? '\t' : 'x';
    model += text + "\n";
  }
  TextBuffer text(4096);
  text.Append(model);
  LineColumns columns(text);
  const auto check = [&](int times) {
    for (int i = 0; i < times; ++i) {
      const std::size_t line = random() % text.LineCount();
      const std::size_t start = text.LineStart(line), end = text.LineEnd(line);
      const std::size_t at = start + random() % (end - start + 1);
      QCOMPARE(columns.ColumnOf(start, end, at),
               NaiveColumn(model.substr(start, end - start), at - start));
    }
  };
  for (int round = 0; round < 300; ++round) {
    check(4);
    const std::size_t at = random() % (model.size() + 1);
    const std::size_t removed = std::min<std::size_t>(random() % 4, model.size() - at);
    std::string inserted(random() % 4, 'i');
    const unsigned kind = random() % 10;
    if (kind == 0 && !inserted.empty())
      inserted[0] = '\t';
    if (kind == 1 && !inserted.empty())
      inserted[0] = '\n';
    const std::string gone = model.substr(at, removed);
    const bool plain = gone.find_first_of("\t\n") == std::string::npos &&
                       inserted.find_first_of("\t\n") == std::string::npos;
    text.Erase(at, at + removed);
    text.Insert(at, inserted);
    model.replace(at, removed, inserted);
    columns.Replaced(at, removed, inserted.size(), plain);
  }
  check(200);
}

void TestTextView::scrollMappingScalesBeyondInt() {
  ScrollMapping small;
  small.SetRange(1000, 50);
  QVERIFY(!small.Scaled());
  QCOMPARE(small.BarMaximum(), 1000);
  QCOMPARE(small.ToBar(400), 400);
  QCOMPARE(small.FromBar(400), 400);
  ScrollMapping huge;
  const int64_t maximum = 200'000'000'000LL;
  huge.SetRange(maximum, 100);
  QVERIFY(huge.Scaled());
  QVERIFY(huge.BarMaximum() > 0);
  QCOMPARE(huge.ToBar(0), 0);
  QCOMPARE(huge.ToBar(maximum), huge.BarMaximum());
  QCOMPARE(huge.FromBar(huge.BarMaximum()), maximum);
  QVERIFY(std::llabs(huge.FromBar(huge.ToBar(maximum / 3)) - maximum / 3) <= maximum / (1 << 29));
  QVERIFY(huge.BarPage() >= 1);
}

void TestTextView::scrollBarsFollowAGrowingTextAtTheirPace() {
  auto view = MakeView("");
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
  QTest::qWait(20);
  QScrollBar* bar = view->verticalScrollBar();
  const PaintCount barPaints(bar);
  const std::string lines(1000, '\n');
  // A pass appends every few milliseconds: the bars are not repainted at
  // each turn, but what the view computes with follows at once.
  view->BeginGrowth();
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < 10; ++i) {
    view->Append(lines.data(), lines.size());
    QTest::qWait(5);
  }
  QCOMPARE(view->LineCount(), 10'001);
  QCOMPARE(view->LineScroll().Maximum(), 10'001 - view->VisibleLineCount());
  if (clock.elapsed() < 150) {
    QCOMPARE(bar->maximum(), 0);
    QCOMPARE(barPaints.paints, 0);
  }
  QTRY_COMPARE_WITH_TIMEOUT(bar->maximum(), view->LineScroll().BarMaximum(), 1000);
  QVERIFY(barPaints.paints <= 2);
  // The pass's end shows the whole text in the bars at once.
  view->Append(lines.data(), lines.size());
  QVERIFY(bar->maximum() < view->LineScroll().BarMaximum());
  view->EndGrowth();
  QCOMPARE(bar->maximum(), view->LineScroll().BarMaximum());
  // Outside a pass, an edit is shown at once.
  view->Append(lines.data(), lines.size());
  QCOMPARE(bar->maximum(), view->LineScroll().BarMaximum());
  bar->setValue(bar->maximum());
  QCOMPARE(view->FirstVisibleLine(), view->LineScroll().Maximum());
}

void TestTextView::controlByteFillsOneCell() {
  // The X after two control bytes stands where the X after two letters does.
  auto controls = MakeView(std::string("\x01\x9FX\x7F", 4));
  auto letters = MakeView("abX ");
  controls->clearFocus();
  letters->clearFocus();
  const QImage a = Shot(*controls);
  const QImage b = Shot(*letters);
  const int w = static_cast<int>(controls->ColumnWidth());
  const QRect x(static_cast<int>(std::ceil(2 * controls->ColumnWidth())), 0, w - 1,
                controls->LineHeight());
  QCOMPARE(a.copy(x), b.copy(x));
  // The control cells are drawn, in colour, and nothing of them spills over.
  const QRect first(0, 0, static_cast<int>(controls->ColumnWidth()), controls->LineHeight());
  QVERIFY(a.copy(first) != b.copy(first));
  const QRect after(static_cast<int>(std::ceil(4 * controls->ColumnWidth())) + 1, 0, 40,
                    controls->LineHeight());
  QCOMPARE(a.copy(after), b.copy(after));
  QCOMPARE(controls->ColumnOf(3), 3);
}

void TestTextView::latinBytesPaintAsTheirCharacters() {
  // The soft hyphen shows as a hyphen; other Latin-1 letters as themselves.
  auto bytes = MakeView("\xAD\xE9\xFF");
  auto chars = MakeView("-\xE9\xFF");
  bytes->clearFocus();
  chars->clearFocus();
  QCOMPARE(Shot(*bytes), Shot(*chars));
  auto blank = MakeView("   ");
  blank->clearFocus();
  QVERIFY(Shot(*bytes) != Shot(*blank));
}

void TestTextView::farEndOfHugeLinePaintsItsTail() {
  // 20 MB in one line, ending in a row of digits.
  std::string tail = "the end: 0123456789";
  auto view = MakeView("");
  std::string piece(1 << 20, 'w');
  for (int i = 0; i < 20; ++i)
    view->Append(piece.data(), piece.size());
  view->Append(tail.data(), tail.size());
  view->setFocus();
  Keys(*view, Qt::Key_End, Qt::ControlModifier);
  QCOMPARE(view->Caret(), view->Length());
  const int64_t first = view->FirstVisibleColumn();
  QVERIFY(first > 20'000'000 - 100);
  QVERIFY(view->XOfColumn(view->ColumnOf(view->Caret())) < view->viewport()->width());
  QVERIFY(view->XOfColumn(view->ColumnOf(view->Caret())) >= 0);
  QVERIFY(view->horizontalScrollBar()->value() == view->horizontalScrollBar()->maximum());
  // The same bytes shown from column 0 of a short line look the same.
  const QByteArray shown = view->Range(first, view->Length());
  auto peer = MakeView(shown.toStdString());
  view->clearFocus();
  peer->clearFocus();
  QCOMPARE(Shot(*view), Shot(*peer));
}

void TestTextView::selectionIsPaintedPalerWithoutFocus() {
  auto view = MakeView("select me");
  view->activateWindow();
  view->setFocus();
  QVERIFY(QTest::qWaitForWindowActive(view.get()));
  view->Select(0, 6);
  const QPoint inside(1, view->LineHeight() - 2);
  const QColor focused = Shot(*view).pixelColor(inside);
  QCOMPARE(focused, view->palette().color(QPalette::Highlight));
  view->clearFocus();
  const QColor unfocused = Shot(*view).pixelColor(inside);
  QVERIFY(unfocused != focused);
  QVERIFY(unfocused.lightness() > focused.lightness());
}

void TestTextView::caretBlinks() {
  QApplication::setCursorFlashTime(200);
  auto view = MakeView("blink");
  view->activateWindow();
  view->setFocus();
  QVERIFY(QTest::qWaitForWindowActive(view.get()));
  view->GoTo(2);
  const QPoint caret(static_cast<int>(std::floor(view->XOfColumn(2))), view->LineHeight() / 2);
  const QColor text = view->palette().color(QPalette::Text);
  QTRY_COMPARE(Shot(*view).pixelColor(caret), text);
  QTRY_VERIFY(Shot(*view).pixelColor(caret) != text);
  QTRY_COMPARE(Shot(*view).pixelColor(caret), text);
  view->clearFocus();
  QTest::qWait(250);
  QVERIFY(Shot(*view).pixelColor(caret) != text);
}

// ---------------------------------------------------------------------------

void TestTextView::arrowsHomeAndEndMoveTheCaret() {
  auto view = MakeView("abc\ndefg\nhi");
  Keys(*view, Qt::Key_Right, Qt::NoModifier, 2);
  QCOMPARE(view->Caret(), 2);
  Keys(*view, Qt::Key_End);
  QCOMPARE(view->Caret(), 3);
  Keys(*view, Qt::Key_Right);
  QCOMPARE(view->Caret(), 4);
  Keys(*view, Qt::Key_Left, Qt::NoModifier, 2);
  QCOMPARE(view->Caret(), 2);
  Keys(*view, Qt::Key_Home);
  QCOMPARE(view->Caret(), 0);
  Keys(*view, Qt::Key_Left);
  QCOMPARE(view->Caret(), 0);
  Keys(*view, Qt::Key_End, Qt::ControlModifier);
  QCOMPARE(view->Caret(), view->Length());
  Keys(*view, Qt::Key_Right);
  QCOMPARE(view->Caret(), view->Length());
  Keys(*view, Qt::Key_Home, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 0);
  QVERIFY(!view->HasSelection());
}

void TestTextView::upAndDownKeepTheColumn() {
  auto view = MakeView("abcdef\nab\nabcdef\n\tx");
  view->GoTo(5);
  Keys(*view, Qt::Key_Down);
  QCOMPARE(view->Caret(), 9); // the short line's end
  Keys(*view, Qt::Key_Down);
  QCOMPARE(view->Caret(), 10 + 5);
  Keys(*view, Qt::Key_Up, Qt::NoModifier, 2);
  QCOMPARE(view->Caret(), 5);
  // Column 5 lies inside the tab of the last line, nearer its end.
  view->GoTo(10 + 5);
  Keys(*view, Qt::Key_Down);
  QCOMPARE(view->Caret(), view->LineStart(3) + 1);
  Keys(*view, Qt::Key_Up);
  QCOMPARE(view->Caret(), 10 + 5);
}

void TestTextView::shiftExtendsTheSelection() {
  auto view = MakeView("abc def\nghi");
  view->GoTo(1);
  QSignalSpy moved(view.get(), &TextView::SelectionChanged);
  Keys(*view, Qt::Key_Right, Qt::ShiftModifier, 2);
  QCOMPARE(view->SelectedText(), QByteArray("bc"));
  QVERIFY(moved.count() >= 2);
  Keys(*view, Qt::Key_End, Qt::ShiftModifier);
  QCOMPARE(view->SelectedText(), QByteArray("bc def"));
  Keys(*view, Qt::Key_Down, Qt::ShiftModifier);
  QCOMPARE(view->SelectedText(), QByteArray("bc def\nghi"));
  Keys(*view, Qt::Key_Home, Qt::ShiftModifier | Qt::ControlModifier);
  QCOMPARE(view->SelectionStart(), 0);
  QCOMPARE(view->SelectionEnd(), 1);
  Keys(*view, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
  QCOMPARE(view->SelectedText(), QByteArray("bc "));
  QCOMPARE(view->Caret(), 4);
  Keys(*view, Qt::Key_Left);
  QVERIFY(!view->HasSelection());
}

void TestTextView::arrowsWithASelectionLeaveItAtItsEdges() {
  auto view = MakeView("abc def\nghi jkl\nmno pqr");
  // Made backwards (the caret at its start) and forwards.
  view->GoTo(6);
  Keys(*view, Qt::Key_Home, Qt::ShiftModifier);
  Keys(*view, Qt::Key_Right);
  QVERIFY(!view->HasSelection());
  QCOMPARE(view->Caret(), 6);
  Keys(*view, Qt::Key_Home, Qt::ShiftModifier);
  Keys(*view, Qt::Key_Left);
  QCOMPARE(view->Caret(), 0);
  view->GoTo(1);
  Keys(*view, Qt::Key_Right, Qt::ShiftModifier, 3);
  Keys(*view, Qt::Key_Left);
  QVERIFY(!view->HasSelection());
  QCOMPARE(view->Caret(), 1);
  view->Select(1, 4);
  Keys(*view, Qt::Key_Right);
  QCOMPARE(view->Caret(), 4);
  // Up and Down drop it and go a line from the caret, not from its edge.
  view->Select(2, 12);
  Keys(*view, Qt::Key_Down);
  QVERIFY(!view->HasSelection());
  QCOMPARE(view->Caret(), 16 + 4);
  view->Select(12, 2);
  Keys(*view, Qt::Key_Down);
  QCOMPARE(view->Caret(), 8 + 2);
  view->Select(2, 12);
  Keys(*view, Qt::Key_Up);
  QCOMPARE(view->Caret(), 4);
  // With Shift it grows from the caret; with Control it goes a word on.
  view->Select(4, 6);
  Keys(*view, Qt::Key_Right, Qt::ShiftModifier);
  QCOMPARE(view->SelectionStart(), 4);
  QCOMPARE(view->SelectionEnd(), 7);
  view->Select(0, 1);
  Keys(*view, Qt::Key_Right, Qt::ControlModifier);
  QVERIFY(!view->HasSelection());
  QCOMPARE(view->Caret(), 4);
}

void TestTextView::pageKeysMoveByAScreen() {
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "line " + std::to_string(i) + "\n";
  auto view = MakeView(text);
  const int64_t page = view->VisibleLineCount();
  QVERIFY(page > 3);
  Keys(*view, Qt::Key_PageDown);
  QCOMPARE(view->LineOf(view->Caret()), page);
  QCOMPARE(view->FirstVisibleLine(), page);
  Keys(*view, Qt::Key_PageDown, Qt::ShiftModifier);
  QCOMPARE(view->LineOf(view->Caret()), 2 * page);
  QCOMPARE(view->SelectionStart(), view->LineStart(page));
  Keys(*view, Qt::Key_PageUp);
  QCOMPARE(view->LineOf(view->Caret()), page);
  QVERIFY(view->FirstVisibleLine() <= page);
  QCOMPARE(view->verticalScrollBar()->value(), view->FirstVisibleLine());
}

void TestTextView::controlBackspaceDeleteAndScroll() {
  auto view = MakeView("foo bar, baz");
  view->GoTo(7);
  Keys(*view, Qt::Key_Backspace, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("foo , baz"));
  QCOMPARE(view->Caret(), 4);
  Keys(*view, Qt::Key_Delete, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("foo baz"));
  Keys(*view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("foo , baz"));
  // Control with Up or Down moves the view, not the caret.
  std::string lines;
  for (int i = 0; i < 200; ++i)
    lines += "line " + std::to_string(i) + "\n";
  auto tall = MakeView(lines);
  tall->GoTo(0);
  Keys(*tall, Qt::Key_Down, Qt::ControlModifier, 3);
  QCOMPARE(tall->FirstVisibleLine(), 3);
  QCOMPARE(tall->Caret(), 0);
  Keys(*tall, Qt::Key_Up, Qt::ControlModifier);
  QCOMPARE(tall->FirstVisibleLine(), 2);
}

void TestTextView::controlArrowsMoveByWords() {
  auto view = MakeView("foo bar, baz\nqux");
  Keys(*view, Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 4);
  Keys(*view, Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 7);
  Keys(*view, Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 9);
  Keys(*view, Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 12);
  Keys(*view, Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 13);
  Keys(*view, Qt::Key_Left, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 12);
  Keys(*view, Qt::Key_Left, Qt::ControlModifier);
  QCOMPARE(view->Caret(), 9);
  Keys(*view, Qt::Key_Left, Qt::ControlModifier, 2);
  QCOMPARE(view->Caret(), 4);
  // Words longer than the blocks they are read in.
  const std::string word(100000, 'w');
  const std::string text = "(" + word + "  " + word + ")";
  auto big = MakeView(text);
  Keys(*big, Qt::Key_Right, Qt::ControlModifier, 2);
  QCOMPARE(big->Caret(), 1 + 100000 + 2);
  Keys(*big, Qt::Key_Right, Qt::ControlModifier);
  QCOMPARE(big->Caret(), big->Length() - 1);
  Keys(*big, Qt::Key_Left, Qt::ControlModifier);
  QCOMPARE(big->Caret(), 1 + 100000 + 2);
  Keys(*big, Qt::Key_Left, Qt::ControlModifier);
  QCOMPARE(big->Caret(), 1);
  QTest::mouseDClick(big->viewport(), Qt::LeftButton, {}, Cell(*big, 3, 0));
  QCOMPARE(big->SelectionStart(), 1);
  QCOMPARE(big->SelectionEnd(), 1 + 100000);
}

void TestTextView::caretIsScrolledIntoView() {
  std::string text;
  for (int i = 0; i < 100; ++i)
    text += std::string(500, 'a' + i % 26) + "\n";
  auto view = MakeView(text);
  Keys(*view, Qt::Key_End);
  QVERIFY(view->FirstVisibleColumn() > 0);
  QVERIFY(view->ColumnOf(view->Caret()) < view->FirstVisibleColumn() + view->VisibleColumnCount());
  Keys(*view, Qt::Key_End, Qt::ControlModifier);
  QCOMPARE(view->FirstVisibleLine(), view->LineCount() - view->VisibleLineCount());
  QCOMPARE(view->FirstVisibleColumn(), 0);
  view->GoTo(view->LineStart(40) + 300);
  QVERIFY(view->FirstVisibleLine() <= 40);
  QVERIFY(view->FirstVisibleLine() + view->VisibleLineCount() > 40);
  QVERIFY(view->FirstVisibleColumn() <= 300);
}

void TestTextView::typedCharactersAreLatin1() {
  auto view = MakeView("");
  QSignalSpy changed(view.get(), &TextView::TextChanged);
  QTest::keyClicks(view.get(), "ab");
  TypeText(*view, QString::fromUtf8("é€😀ÿ"));
  QCOMPARE(All(*view), std::string("ab\xE9??\xFF"));
  QCOMPARE(view->Caret(), 6);
  QCOMPARE(changed.count(), 6);
}

void TestTextView::composedTextIsTyped() {
  auto view = MakeView("cafe");
  view->GoTo(3);
  view->clearFocus(); // no caret in the pictures
  const QImage before = view->viewport()->grab().toImage();
  QInputMethodEvent preedit(QStringLiteral("´"), {});
  QApplication::sendEvent(view.get(), &preedit);
  QCOMPARE(All(*view), std::string("cafe"));
  // The composition shows at the caret before it is committed, and the
  // rest of the line makes room for it: "e" moves right by its width,
  // "caf" stays.
  QCOMPARE(view->Preedit(), QStringLiteral("´"));
  const QImage composing = view->viewport()->grab().toImage();
  QVERIFY(composing != before);
  const QWidget& widget = *view; // as an input method asks
  const int x = widget.inputMethodQuery(Qt::ImCursorRectangle).toRect().left() + 1 -
                view->viewport()->pos().x();
  const QFontMetrics metrics(widget.inputMethodQuery(Qt::ImFont).value<QFont>());
  const int room = metrics.horizontalAdvance(QStringLiteral("´"));
  const int cell = metrics.horizontalAdvance(QLatin1Char('e'));
  const int height = metrics.height();
  QVERIFY(room > 0 && x > 0);
  QCOMPARE(composing.copy(0, 0, x, height), before.copy(0, 0, x, height));
  QCOMPARE(composing.copy(x + room, 0, cell, height), before.copy(x, 0, cell, height));
  QVERIFY(composing.copy(x, 0, cell, height) != before.copy(x, 0, cell, height));
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("é"));
  QApplication::sendEvent(view.get(), &commit);
  QCOMPARE(All(*view), std::string("caf\xE9"
                                   "e"));
  QCOMPARE(view->Caret(), 4);
  QCOMPARE(view->Preedit(), QString());
}

void TestTextView::inputMethodsReadAroundTheCaret() {
  auto view = MakeView("first line\nsecond \xE9line\nthird");
  // As an input method asks, through the widget.
  const auto query = [](const QWidget& widget, Qt::InputMethodQuery what) {
    return widget.inputMethodQuery(what);
  };
  const auto ask = [&](Qt::InputMethodQuery what) { return query(*view, what); };
  view->Select(13, 18);
  QCOMPARE(ask(Qt::ImSurroundingText).toString(), QString::fromLatin1("second \xE9line"));
  QCOMPARE(ask(Qt::ImCursorPosition).toInt(), 7);
  QCOMPARE(ask(Qt::ImAnchorPosition).toInt(), 2);
  QCOMPARE(ask(Qt::ImCurrentSelection).toString(), QStringLiteral("cond "));
  QCOMPARE(ask(Qt::ImTextBeforeCursor).toString(), QStringLiteral("second "));
  QCOMPARE(ask(Qt::ImTextAfterCursor).toString(), QString::fromLatin1("\xE9line"));
  QCOMPARE(ask(Qt::ImAbsolutePosition).toLongLong(), 18);
  // An anchor on another line is told as the nearer end of this one.
  view->Select(2, 15);
  QCOMPARE(ask(Qt::ImAnchorPosition).toInt(), 0);
  QCOMPARE(ask(Qt::ImCurrentSelection).toString(), QStringLiteral("rst line\nseco"));
  view->Select(30, 15);
  QCOMPARE(ask(Qt::ImAnchorPosition).toInt(), 12);
  // On a line of 4 MB only the bytes near the caret are told, the caret
  // where it is among them, and only the start of a large selection.
  std::string line(4'000'000, 'a');
  line[2'000'000] = 'X';
  auto wide = MakeView("top\n" + line);
  wide->Select(4 + 1'000'000, 4 + 2'000'000);
  const QString around = query(*wide, Qt::ImSurroundingText).toString();
  QVERIFY(!around.isEmpty() && around.size() <= 10'000);
  const int at = query(*wide, Qt::ImCursorPosition).toInt();
  QCOMPARE(around.mid(at, 1), QStringLiteral("X"));
  const int anchor = query(*wide, Qt::ImAnchorPosition).toInt();
  QVERIFY(anchor >= 0 && anchor < at);
  QCOMPARE(around.left(at), query(*wide, Qt::ImTextBeforeCursor).toString());
  const int selected = query(*wide, Qt::ImCurrentSelection).toString().size();
  QVERIFY(selected > 0 && selected <= 10'000);
  // An empty text answers too.
  auto empty = MakeView("");
  QCOMPARE(query(*empty, Qt::ImSurroundingText).toString(), QString());
  QCOMPARE(query(*empty, Qt::ImCursorPosition).toInt(), 0);
}

void TestTextView::inputMethodsReplaceAroundTheCaret() {
  auto view = MakeView("hello wrold");
  view->GoTo(11);
  const auto commit = [&](const QString& text, int start, int length) {
    QInputMethodEvent event;
    event.setCommitString(text, start, length);
    QApplication::sendEvent(view.get(), &event);
  };
  // A correction of the word before the caret, as one step.
  commit(QStringLiteral("world"), -5, 5);
  QCOMPARE(All(*view), std::string("hello world"));
  QCOMPARE(view->Caret(), 11);
  view->Undo();
  QCOMPARE(All(*view), std::string("hello wrold"));
  // Nothing committed: the bytes named are taken out.
  view->GoTo(5);
  commit(QString(), -2, 1);
  QCOMPARE(All(*view), std::string("helo wrold"));
  QCOMPARE(view->Caret(), 3);
  // A selection goes first; then the place is counted from where it was.
  view->Select(0, 4);
  commit(QStringLiteral("X"), 1, 2);
  QCOMPARE(All(*view), std::string(" Xold"));
  view->Undo();
  QCOMPARE(All(*view), std::string("helo wrold"));
  // Places outside the text are kept to it.
  view->GoTo(2);
  commit(QStringLiteral("<"), -1000, 997);
  commit(QStringLiteral(">"), 1000, 5);
  QCOMPARE(All(*view), std::string("<helo wrold>"));
}

void TestTextView::tabEnterBackspaceAndDelete() {
  auto view = MakeView("abcd");
  view->GoTo(2);
  Keys(*view, Qt::Key_Tab);
  Keys(*view, Qt::Key_Return);
  Keys(*view, Qt::Key_Enter);
  QCOMPARE(All(*view), std::string("ab\t\n\ncd"));
  Keys(*view, Qt::Key_Backspace);
  QCOMPARE(All(*view), std::string("ab\t\ncd"));
  Keys(*view, Qt::Key_Delete);
  QCOMPARE(All(*view), std::string("ab\t\nd"));
  view->Select(0, 2);
  Keys(*view, Qt::Key_Delete);
  QCOMPARE(All(*view), std::string("\t\nd"));
  Keys(*view, Qt::Key_Backspace);
  QCOMPARE(All(*view), std::string("\t\nd"));
  Keys(*view, Qt::Key_End, Qt::ControlModifier);
  Keys(*view, Qt::Key_Delete);
  QCOMPARE(All(*view), std::string("\t\nd"));
}

void TestTextView::reservedKeysAreLeftAlone() {
  auto view = MakeView("abc");
  view->ReserveKeys({QKeySequence(Qt::CTRL | Qt::Key_A), QKeySequence()});
  Keys(*view, Qt::Key_A, Qt::ControlModifier);
  QVERIFY(!view->HasSelection());
  QKeyEvent reserved(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier);
  QApplication::sendEvent(view.get(), &reserved);
  QVERIFY(!reserved.isAccepted());
  QKeyEvent own(QEvent::ShortcutOverride, Qt::Key_C, Qt::ControlModifier);
  QApplication::sendEvent(view.get(), &own);
  QVERIFY(own.isAccepted());
  QKeyEvent other(QEvent::ShortcutOverride, Qt::Key_S, Qt::ControlModifier);
  QApplication::sendEvent(view.get(), &other);
  QVERIFY(!other.isAccepted());
  // Alt with a letter is a menu's mnemonic: neither claimed nor typed.
  QKeyEvent mnemonic(QEvent::ShortcutOverride, Qt::Key_F, Qt::AltModifier, QStringLiteral("f"));
  QApplication::sendEvent(view.get(), &mnemonic);
  QVERIFY(!mnemonic.isAccepted());
  QTest::keyClick(view.get(), Qt::Key_F, Qt::AltModifier);
  QCOMPARE(All(*view), std::string("abc"));
  // Control with Alt is AltGr, which types.
  QTest::keyClick(view.get(), Qt::Key_At, Qt::ControlModifier | Qt::AltModifier);
  QCOMPARE(All(*view).size(), std::size_t(4));
}

namespace {

// Runs xdotool with `args` while the view goes on taking events.
bool Xdotool(const QStringList& args) {
  QProcess tool;
  tool.start(QStringLiteral("xdotool"), args);
  QElapsedTimer waited;
  waited.start();
  while (!tool.waitForFinished(10) && waited.elapsed() < 20000)
    QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

} // namespace

void TestTextView::keysUnderX() {
  // Keys as a keyboard sends them, through an X server of the suite's own
  // (xdotool), with the window system's own key events and timing.
  NEEDS_X_AND_XDOTOOL();
  auto view = MakeView("");
  view->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(view.get()));
  QVERIFY(Xdotool({"type", "--delay", "20", "hello world foo"}));
  QTRY_COMPARE(All(*view), std::string("hello world foo"));
  // Five Backspaces come back with one Control+Z.
  QVERIFY(Xdotool(
      {"key", "--delay", "20", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
  QTRY_COMPARE(All(*view), std::string("hello worl"));
  QVERIFY(Xdotool({"key", "ctrl+z"}));
  QTRY_COMPARE(All(*view), std::string("hello world foo"));
  // Right after Shift+Home ends at the selection's end, where it began.
  QVERIFY(Xdotool({"key", "--delay", "20", "Left", "Left", "shift+Home", "Right"}));
  QTRY_VERIFY(!view->HasSelection());
  QCOMPARE(view->Caret(), 13);
  // Delete run from the start, one step too.
  QVERIFY(Xdotool({"key", "--delay", "20", "ctrl+Home", "Delete", "Delete", "Delete", "Delete",
                   "Delete", "Delete"}));
  QTRY_COMPARE(All(*view), std::string("world foo"));
  QVERIFY(Xdotool({"key", "ctrl+z"}));
  QTRY_COMPARE(All(*view), std::string("hello world foo"));
  // Zoom by keys keeps the view where it is.
  std::string lines;
  for (int i = 0; i < 300; ++i)
    lines += "line " + std::to_string(i) + "\n";
  view->SetText(TextBuffer(), 0);
  view->Append(lines.data(), lines.size());
  view->GoTo(0);
  view->ScrollTo(100, 0);
  QVERIFY(Xdotool({"key", "--delay", "20", "ctrl+equal", "ctrl+minus", "ctrl+minus"}));
  QTRY_COMPARE(view->Zoom(), -1);
  QCOMPARE(view->FirstVisibleLine(), 100);
}

// ---------------------------------------------------------------------------

void TestTextView::undoTakesBackAWordAtATime() {
  auto view = MakeView("");
  QTest::keyClicks(view.get(), "hello world");
  QVERIFY(view->CanUndo());
  QVERIFY(!view->CanRedo());
  Keys(*view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("hello "));
  QCOMPARE(view->Caret(), 6);
  Keys(*view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string(""));
  QVERIFY(!view->CanUndo());
  Keys(*view, Qt::Key_Y, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("hello "));
  Keys(*view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(All(*view), std::string("hello world"));
  QVERIFY(!view->CanRedo());
  // A move ends the typed step; deleting is a step of its own.
  Keys(*view, Qt::Key_Left);
  QTest::keyClicks(view.get(), "s");
  Keys(*view, Qt::Key_Backspace, Qt::NoModifier, 3);
  QCOMPARE(All(*view), std::string("hello wod"));
  view->Undo();
  QCOMPARE(All(*view), std::string("hello worlsd"));
  view->Undo();
  QCOMPARE(All(*view), std::string("hello world"));
  // A new edit drops what could be redone.
  QTest::keyClicks(view.get(), "!");
  QVERIFY(!view->CanRedo());
}

void TestTextView::pauseInTypingStartsAStep() {
  auto view = MakeView("");
  QTest::keyClicks(view.get(), "ab");
  QTest::qWait(static_cast<int>(EditHistory::kPauseMsecs) + 100);
  QTest::keyClicks(view.get(), "cd");
  view->Undo();
  QCOMPARE(All(*view), std::string("ab"));
}

void TestTextView::backspaceAndDeleteRunsUndoAsOne() {
  auto view = MakeView("");
  QTest::keyClicks(view.get(), "hello world foo");
  Keys(*view, Qt::Key_Backspace, Qt::NoModifier, 5);
  QCOMPARE(All(*view), std::string("hello worl"));
  // Across the blank and the word before it, all five come back at once.
  Keys(*view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("hello world foo"));
  QCOMPARE(view->Caret(), 15);
  Keys(*view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("hello world "));
  Keys(*view, Qt::Key_Y, Qt::ControlModifier, 2);
  QCOMPARE(All(*view), std::string("hello worl"));
  QVERIFY(!view->CanRedo());
  // Delete the same way, the caret staying where it is.
  auto ahead = MakeView("one two three");
  ahead->GoTo(2);
  Keys(*ahead, Qt::Key_Delete, Qt::NoModifier, 6);
  QCOMPARE(All(*ahead), std::string("onthree"));
  QCOMPARE(ahead->Caret(), 2);
  ahead->Undo();
  QCOMPARE(All(*ahead), std::string("one two three"));
  QVERIFY(!ahead->CanUndo());
  ahead->Redo();
  QCOMPARE(All(*ahead), std::string("onthree"));
  // A run at either end of the text stops there and stays one step.
  ahead->GoTo(0);
  Keys(*ahead, Qt::Key_Backspace, Qt::NoModifier, 3);
  ahead->GoTo(ahead->Length() - 2);
  Keys(*ahead, Qt::Key_Delete, Qt::NoModifier, 5);
  QCOMPARE(All(*ahead), std::string("onthr"));
  ahead->Undo();
  QCOMPARE(All(*ahead), std::string("onthree"));
  ahead->Undo();
  QCOMPARE(All(*ahead), std::string("one two three"));
}

void TestTextView::deletionsInTwoDirectionsAreTwoSteps() {
  auto view = MakeView("0123456789");
  view->GoTo(5);
  Keys(*view, Qt::Key_Backspace, Qt::NoModifier, 2);
  Keys(*view, Qt::Key_Delete, Qt::NoModifier, 2);
  QCOMPARE(All(*view), std::string("012789"));
  view->Undo();
  QCOMPARE(All(*view), std::string("0125678"
                                   "9"));
  view->Undo();
  QCOMPARE(All(*view), std::string("0123456789"));
  // Typing between deletions, a move, or a deleted selection part them.
  view->GoTo(5);
  Keys(*view, Qt::Key_Backspace);
  QTest::keyClicks(view.get(), "x");
  Keys(*view, Qt::Key_Backspace, Qt::NoModifier, 2);
  QCOMPARE(All(*view), std::string("01256789"));
  view->Undo();
  QCOMPARE(All(*view), std::string("0123x56789"));
  view->Undo();
  QCOMPARE(All(*view), std::string("012356789"));
  view->Undo();
  QCOMPARE(All(*view), std::string("0123456789"));
  view->GoTo(9);
  Keys(*view, Qt::Key_Backspace);
  Keys(*view, Qt::Key_Left);
  Keys(*view, Qt::Key_Backspace);
  view->Select(0, 2);
  Keys(*view, Qt::Key_Backspace);
  Keys(*view, Qt::Key_Backspace); // at the start: nothing
  Keys(*view, Qt::Key_Delete);
  QCOMPARE(All(*view), std::string("34579"));
  view->Undo();
  QCOMPARE(All(*view), std::string("234579"));
  view->Undo();
  QCOMPARE(All(*view), std::string("01234579"));
  view->Undo();
  QCOMPARE(All(*view), std::string("012345679"));
  view->Undo();
  QCOMPARE(All(*view), std::string("0123456789"));
  QVERIFY(!view->CanUndo());
  // So does a pause, as in typing.
  view->GoTo(10);
  Keys(*view, Qt::Key_Backspace);
  QTest::qWait(static_cast<int>(EditHistory::kPauseMsecs) + 100);
  Keys(*view, Qt::Key_Backspace);
  view->Undo();
  QCOMPARE(All(*view), std::string("012345678"));
}

void TestTextView::randomEditsUndoAndRedoInFull() {
  // Long lines with tabs, so that the kept columns are put to the test too.
  std::mt19937 random(11);
  auto bytes = [&](std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
      out += "ab \t\n\x01\xE9"[random() % 7];
    return out;
  };
  std::string start;
  for (int i = 0; i < 4; ++i)
    start += std::string(6000 + 997 * i, 'x') + "\t" + std::string(3000, 'y') + "\n";
  auto view = MakeView(start);
  std::string model = start;
  for (int step = 0; step < 300; ++step) {
    const auto a = random() % (model.size() + 1);
    const auto b = std::min<std::size_t>(model.size(), a + random() % 50);
    view->Select(static_cast<int64_t>(a), static_cast<int64_t>(b));
    const std::string put = random() % 3 == 0 ? std::string() : bytes(random() % 20);
    if (put.size() == 1 && a == b && put[0] >= ' ') {
      QTest::keyClicks(view.get(), QString(QLatin1Char(put[0])));
    } else if (put.empty() && a == b && a > 0) {
      Keys(*view, Qt::Key_Backspace);
      model.erase(a - 1, 1);
      continue;
    } else {
      view->ReplaceSelection(QByteArray::fromStdString(put), TextView::Recording::Undoable);
    }
    model.replace(a, b - a, put);
  }
  QCOMPARE(All(*view), model);
  for (int probe = 0; probe < 200; ++probe) {
    const auto at = random() % (model.size() + 1);
    const std::size_t lineStart = model.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = at == 0 || lineStart == std::string::npos ? 0 : lineStart + 1;
    QCOMPARE(view->ColumnOf(static_cast<int64_t>(at)), NaiveColumn(model.substr(from), at - from));
  }
  while (view->CanUndo())
    view->Undo();
  QCOMPARE(All(*view), start);
  while (view->CanRedo())
    view->Redo();
  QCOMPARE(All(*view), model);
}

void TestTextView::notUndoableChangesEmptyTheHistory() {
  auto view = MakeView("abc");
  QVERIFY(!view->CanUndo());
  QCOMPARE(view->Caret(), 0);
  view->GoTo(3);
  QTest::keyClicks(view.get(), "x");
  QVERIFY(view->CanUndo());
  view->Select(0, 1);
  view->ReplaceSelection("ZZ", TextView::Recording::NotUndoable);
  QCOMPARE(All(*view), std::string("ZZbcx"));
  QCOMPARE(view->Caret(), 2);
  QVERIFY(!view->CanUndo());
  view->ReplaceSelection("u", TextView::Recording::Undoable);
  QVERIFY(view->CanUndo());
  view->Append("tail", 4);
  QVERIFY(!view->CanUndo());
  QCOMPARE(All(*view), std::string("ZZubcxtail"));
  QCOMPARE(view->Caret(), 3);
  view->Replace(2, 4, "--", TextView::Recording::Undoable);
  QCOMPARE(All(*view), std::string("ZZ--cxtail"));
  QCOMPARE(view->Caret(), 4);
  view->Undo();
  QCOMPARE(All(*view), std::string("ZZubcxtail"));
  view->Clear();
  QCOMPARE(view->Length(), 0);
  QCOMPARE(view->Caret(), 0);
  // Taking the text empties the view as Clear does.
  view->Append("kept", 4);
  QTest::keyClicks(view.get(), "y");
  QVERIFY(view->CanUndo());
  const TextBuffer taken = view->TakeText();
  QCOMPARE(taken.Text(), std::string("ykept"));
  QCOMPARE(view->Length(), 0);
  QCOMPARE(view->LineCount(), 1);
  QVERIFY(!view->CanUndo());
  view->Append("new\nline", 8);
  QCOMPARE(All(*view), std::string("new\nline"));
  QCOMPARE(view->LineCount(), 2);
}

void TestTextView::copyPutsASnapshotOnTheClipboard() {
  auto view = MakeView("caf\xE9 \x01 au lait");
  view->Select(0, 6);
  Keys(*view, Qt::Key_C, Qt::ControlModifier);
  QClipboard* clipboard = QApplication::clipboard();
  QVERIFY(qobject_cast<const SnapshotMimeData*>(clipboard->mimeData()));
  QCOMPARE(clipboard->text(), QString::fromUtf8("café \x01"));
  // A program that takes bytes gets UTF-8.
  QCOMPARE(clipboard->mimeData()->data(QStringLiteral("text/plain")),
           QByteArray("caf\xC3\xA9 \x01"));
  // The text goes on changing; the copy does not.
  view->SelectAll();
  view->ReplaceSelection("other", TextView::Recording::NotUndoable);
  QCOMPARE(clipboard->text(), QString::fromUtf8("café \x01"));
  view->Select(1, 3);
  Keys(*view, Qt::Key_Insert, Qt::ControlModifier);
  QCOMPARE(clipboard->text(), QStringLiteral("th"));
  // Nothing selected: the clipboard keeps what it had.
  view->GoTo(0);
  Keys(*view, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(clipboard->text(), QStringLiteral("th"));
  // Bytes of every value over several chunks, as UTF-8 for a program that
  // takes bytes and as text for one that takes text.
  std::string bytes(300000, 'a');
  QRandomGenerator random(7);
  for (char& c : bytes)
    c = static_cast<char>(random.bounded(3) == 0 ? 1 + random.bounded(255)
                                                 : 'a' + random.bounded(26));
  auto large = MakeView(bytes);
  large->SelectAll();
  Keys(*large, Qt::Key_C, Qt::ControlModifier);
  const QString latin1 = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QCOMPARE(clipboard->mimeData()->data(QStringLiteral("text/plain")), latin1.toUtf8());
  QCOMPARE(clipboard->text(), latin1);
}

void TestTextView::cutAndPasteKeys() {
  auto view = MakeView("one two three");
  view->Select(4, 8);
  Keys(*view, Qt::Key_X, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("one three"));
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("two "));
  Keys(*view, Qt::Key_End);
  Keys(*view, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("one threetwo "));
  Keys(*view, Qt::Key_Insert, Qt::ShiftModifier);
  QCOMPARE(All(*view), std::string("one threetwo two "));
  view->Select(0, 4);
  Keys(*view, Qt::Key_Delete, Qt::ShiftModifier);
  QCOMPARE(All(*view), std::string("threetwo two "));
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("one "));
  view->Undo();
  QCOMPARE(All(*view), std::string("one threetwo two "));
}

void TestTextView::pasteTurnsTextIntoLatin1Lines() {
  auto view = MakeView("");
  QApplication::clipboard()->setText(QString::fromUtf8("a\r\nb\rc\nd€é"));
  view->Paste();
  QCOMPARE(All(*view), std::string("a\nb\nc\nd?\xE9"));
  QCOMPARE(view->Caret(), view->Length());
  // A large copy of the view's own, pasted back.
  std::string big(300000, 'q');
  big += "\r\nend";
  view->SelectAll();
  view->ReplaceSelection(QByteArray::fromStdString(big), TextView::Recording::NotUndoable);
  view->SelectAll();
  view->Copy();
  view->GoTo(0);
  view->Paste();
  QCOMPARE(view->Length(), 2 * static_cast<int64_t>(big.size()) - 1);
  QCOMPARE(view->Range(300000, 300005), QByteArray("\nendq"));
  view->Undo();
  QCOMPARE(All(*view), big);
}

void TestTextView::pasteWithoutTextChangesNothing() {
  auto view = MakeView("keep");
  view->Select(0, 2);
  QApplication::clipboard()->clear();
  Keys(*view, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("keep"));
  QCOMPARE(view->SelectedText(), QByteArray("ke"));
  QApplication::clipboard()->setText(QString());
  view->Paste();
  QCOMPARE(All(*view), std::string("keep"));
  QVERIFY(!view->CanUndo());
}

void TestTextView::selectAllKey() {
  auto view = MakeView("ab\ncd");
  Keys(*view, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(view->SelectionStart(), 0);
  QCOMPARE(view->SelectionEnd(), 5);
  QCOMPARE(view->Caret(), 5);
}

// ---------------------------------------------------------------------------

void TestTextView::clickPlacesAndShiftClickExtends() {
  auto view = MakeView("first line\nsecond line\nthird");
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 3, 1));
  QCOMPARE(view->Caret(), 11 + 3);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, Cell(*view, 2, 2));
  QCOMPARE(view->SelectionStart(), 14);
  QCOMPARE(view->SelectionEnd(), 23 + 2);
  // Beyond a line's end, or below the last line, the nearest place.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 30, 0));
  QCOMPARE(view->Caret(), 10);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 12));
  QCOMPARE(view->Caret(), 24);
}

void TestTextView::dragSelectsAndScrollsPastTheEdge() {
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += "row " + std::to_string(i) + "\n";
  auto view = MakeView(text);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 0));
  QTest::mouseMove(view->viewport(), Cell(*view, 2, 2));
  QCOMPARE(view->SelectionStart(), 1);
  QCOMPARE(view->Caret(), view->LineStart(2) + 2);
  // Held below the bottom edge, the view goes on scrolling.
  QTest::mouseMove(view->viewport(), QPoint(10, view->viewport()->height() + 20));
  QTRY_VERIFY(view->FirstVisibleLine() > 3);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {},
                      QPoint(10, view->viewport()->height() + 20));
  const int64_t first = view->FirstVisibleLine();
  QTest::qWait(100);
  QCOMPARE(view->FirstVisibleLine(), first);
  QCOMPARE(view->SelectionStart(), 1);
  QVERIFY(view->LineOf(view->Caret()) >= first + view->VisibleLineCount() - 1);
  if (QApplication::clipboard()->supportsSelection()) {
    QCOMPARE(QApplication::clipboard()->text(QClipboard::Selection),
             QString::fromLatin1(view->SelectedText()));
    // A middle click pastes the primary selection where it is clicked.
    view->GoTo(0);
    QTest::mouseClick(view->viewport(), Qt::MiddleButton, {}, Cell(*view, 0, 0));
    QVERIFY(view->Length() > static_cast<int64_t>(text.size()));
  }
}

void TestTextView::dragFurtherPastTheEdgeScrollsFaster() {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += "row " + std::to_string(i) + "\n";
  auto view = MakeView(text);
  const int height = view->viewport()->height();
  const int line = view->LineHeight();
  const int64_t page = view->VisibleLineCount();
  // The first tick comes as the pointer leaves: how far it scrolls at once.
  const auto scrolledBy = [&](int64_t from, int y) {
    view->GoTo(0); // a press on a selection would drag it
    view->ScrollTo(from, 0);
    SendMouse(*view, QEvent::MouseButtonPress, Cell(*view, 1, 2), Qt::LeftButton);
    SendMouse(*view, QEvent::MouseMove, QPoint(10, y), Qt::LeftButton);
    const int64_t moved = view->FirstVisibleLine() - from;
    SendMouse(*view, QEvent::MouseButtonRelease, QPoint(10, y), Qt::NoButton);
    return moved;
  };
  QCOMPARE(scrolledBy(0, height + 1), 1);
  QCOMPARE(scrolledBy(0, height + 5 * line + 1), 6);
  QCOMPARE(scrolledBy(0, height + 1000 * line), page);
  QCOMPARE(scrolledBy(500, -1), -1);
  QCOMPARE(scrolledBy(500, -3 * line - 1), -4);
  QCOMPARE(scrolledBy(500, -1000 * line), -page);
  // The selection follows to the row at the edge.
  QCOMPARE(view->LineOf(view->Caret()), view->FirstVisibleLine());
  QCOMPARE(view->SelectionEnd(), view->LineStart(502) + 1);
}

void TestTextView::primarySelectionUnderX() {
  // Only an X server has a primary selection; the suite runs this once more
  // under an X server of its own, where it must be there.
  if (!QApplication::clipboard()->supportsSelection()) {
    if (qEnvironmentVariableIsSet("SIFTWELL_REQUIRE_PRIMARY"))
      QFAIL("no primary selection under X");
    QSKIP("this platform has no primary selection");
  }
  auto view = MakeView("alpha beta\ngamma\n");
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 6, 0));
  QTest::mouseMove(view->viewport(), Cell(*view, 10, 0));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, Cell(*view, 10, 0));
  QCOMPARE(view->SelectedText(), QByteArray("beta"));
  QTRY_COMPARE(QApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("beta"));
  // The clipboard proper is left alone.
  QCOMPARE(QApplication::clipboard()->text(QClipboard::Clipboard), QString());
  // A middle click pastes it where it is clicked, not at the caret.
  QTest::mouseClick(view->viewport(), Qt::MiddleButton, {}, Cell(*view, 0, 1));
  QCOMPARE(All(*view), std::string("alpha beta\nbetagamma\n"));
  QCOMPARE(view->Caret(), int64_t(15));
  // Keys that select set it too.
  QTest::keyClick(view.get(), Qt::Key_Home, Qt::ShiftModifier);
  QTRY_COMPARE(QApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("beta"));
  QTest::keyClick(view.get(), Qt::Key_End, Qt::ShiftModifier);
  QTRY_COMPARE(QApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("gamma"));
  // So do a double click (a word) and a triple click (the line).
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 0));
  QTRY_COMPARE(QApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("alpha"));
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 0));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 0));
  QTRY_COMPARE(QApplication::clipboard()->text(QClipboard::Selection),
               QStringLiteral("alpha beta\n"));
}

void TestTextView::pressOnSelectionDragsIt() {
  auto view = MakeView("alpha beta gamma\n");
  view->Select(6, 10);
  // A click on the selection (no move) places the caret there.
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 7, 0));
  QCOMPARE(view->SelectedText(), QByteArray("beta"));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, Cell(*view, 7, 0));
  QVERIFY(!view->HasSelection());
  QCOMPARE(view->Caret(), int64_t(7));
  // Pressed on it and moved, it is dragged, not selected anew: the drag
  // goes nowhere here, and the text and the selection stay as they were.
  view->Select(6, 10);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 7, 0));
  QTest::mouseMove(view->viewport(), Cell(*view, 14, 0));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, Cell(*view, 14, 0));
  QCOMPARE(All(*view), std::string("alpha beta gamma\n"));
  QCOMPARE(view->SelectedText(), QByteArray("beta"));
  // A press beside the selection still starts a new one.
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 1, 0));
  QTest::mouseMove(view->viewport(), Cell(*view, 3, 0));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, Cell(*view, 3, 0));
  QCOMPARE(view->SelectedText(), QByteArray("lp"));
}

void TestTextView::dragMovesTextUnderX() {
  // A drag runs on the window system's own pointer: this one is made with
  // xdotool in an X server of the suite's own.
  NEEDS_X_AND_XDOTOOL();
  auto view = MakeView("alpha beta gamma\n");
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
  view->Select(6, 10);
  const QPoint from = view->viewport()->mapToGlobal(Cell(*view, 7, 0));
  const QPoint to = view->viewport()->mapToGlobal(Cell(*view, 16, 0));
  QStringList steps{QStringLiteral("mousemove"), QString::number(from.x()),
                    QString::number(from.y()),   QStringLiteral("sleep"),
                    QStringLiteral("0.3"),       QStringLiteral("mousedown"),
                    QStringLiteral("1")};
  for (int i = 1; i <= 6; ++i)
    steps << QStringLiteral("mousemove") << QString::number(from.x() + (to.x() - from.x()) * i / 6)
          << QString::number(to.y()) << QStringLiteral("sleep") << QStringLiteral("0.1");
  steps << QStringLiteral("mouseup") << QStringLiteral("1");
  QProcess pointer;
  pointer.start(QStringLiteral("xdotool"), steps);
  // Moved within the view: out of its place, in at the drop, selected.
  QTRY_COMPARE_WITH_TIMEOUT(All(*view), std::string("alpha  gammabeta\n"), 10000);
  QCOMPARE(view->SelectedText(), QByteArray("beta"));
  QTRY_COMPARE_WITH_TIMEOUT(pointer.state(), QProcess::NotRunning, 10000);
  // One move, one step: undo puts it back, redo moves it again.
  Keys(*view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("alpha beta gamma\n"));
  QVERIFY(!view->CanUndo());
  Keys(*view, Qt::Key_Y, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("alpha  gammabeta\n"));
  Keys(*view, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(All(*view), std::string("alpha beta gamma\n"));
}

void TestTextView::draggedTextShowsWhereAndScrolls() {
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += "line " + std::to_string(i) + "\n";
  auto view = MakeView(text);
  QWidget* port = view->viewport();
  QMimeData mime;
  mime.setText(QStringLiteral("dropped"));
  const auto send = [&](auto&& event) {
    QApplication::sendEvent(port, &event);
    return event.isAccepted();
  };
  const QPoint middle = port->rect().center();
  QVERIFY(send(QDragEnterEvent(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier)));
  QVERIFY(send(QDragMoveEvent(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier)));
  QCOMPARE(view->DropPosition(), view->PositionAt(middle));
  // In the middle nothing scrolls; near the bottom edge the view follows.
  QTest::qWait(150);
  QCOMPARE(view->FirstVisibleLine(), 0);
  const QPoint low(middle.x(), port->height() - 2);
  send(QDragMoveEvent(low, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier));
  QTRY_VERIFY(view->FirstVisibleLine() > 3);
  QCOMPARE(view->DropPosition(), view->PositionAt(low));
  // Back in the middle it stops, and the drop goes where the bar was.
  send(QDragMoveEvent(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier));
  const int64_t line = view->FirstVisibleLine();
  const int64_t at = view->DropPosition();
  QTest::qWait(150);
  QCOMPARE(view->FirstVisibleLine(), line);
  QVERIFY(send(QDropEvent(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier)));
  QCOMPARE(view->DropPosition(), int64_t(-1));
  QCOMPARE(All(*view).substr(static_cast<std::size_t>(at), 7), std::string("dropped"));
  // Dragged away again: no bar, no scrolling.
  send(QDragEnterEvent(low, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier));
  send(QDragMoveEvent(low, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier));
  QDragLeaveEvent leave;
  QApplication::sendEvent(port, &leave);
  QCOMPARE(view->DropPosition(), int64_t(-1));
  const int64_t after = view->FirstVisibleLine();
  QTest::qWait(150);
  QCOMPARE(view->FirstVisibleLine(), after);
}

void TestTextView::doubleAndTripleClick() {
  auto view = MakeView("alpha beta-gamma\nnext line");
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 7, 0));
  QCOMPARE(view->SelectedText(), QByteArray("beta"));
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, Cell(*view, 7, 0));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, Cell(*view, 7, 0));
  QCOMPARE(view->SelectedText(), QByteArray("alpha beta-gamma\n"));
  QTest::qWait(QApplication::doubleClickInterval() + 50);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 10, 0));
  QCOMPARE(view->SelectedText(), QByteArray("-"));
}

void TestTextView::doubleClickDragSelectsByWords() {
  auto view = MakeView("alpha beta-gamma delta\nnext line here\n");
  DoubleClickHeld(*view, Cell(*view, 7, 0));
  QCOMPARE(view->SelectedText(), QByteArray("beta"));
  // Onto the first letter of a word ahead takes all of it.
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 18, 0), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("beta-gamma delta"));
  QCOMPARE(view->Caret(), 22);
  // Back before the word, it keeps the word and grows the other way.
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 2, 0), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("alpha beta"));
  QCOMPARE(view->Caret(), 0);
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 8, 0), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("beta"));
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 1, 1), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("beta-gamma delta\nnext"));
  SendMouse(*view, QEvent::MouseButtonRelease, Cell(*view, 1, 1), Qt::NoButton);
  // Once let go, moving changes nothing.
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 3, 0), Qt::NoButton);
  QCOMPARE(view->SelectedText(), QByteArray("beta-gamma delta\nnext"));
  // A press after the double click's time is a plain one again.
  QTest::qWait(QApplication::doubleClickInterval() + 50);
  SendMouse(*view, QEvent::MouseButtonPress, Cell(*view, 1, 0), Qt::LeftButton);
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 3, 0), Qt::LeftButton);
  SendMouse(*view, QEvent::MouseButtonRelease, Cell(*view, 3, 0), Qt::NoButton);
  QCOMPARE(view->SelectedText(), QByteArray("lp"));
}

void TestTextView::tripleClickDragSelectsByLines() {
  auto view = MakeView("one\ntwo two\nthree\nfour");
  DoubleClickHeld(*view, Cell(*view, 1, 1));
  SendMouse(*view, QEvent::MouseButtonRelease, Cell(*view, 1, 1), Qt::NoButton);
  SendMouse(*view, QEvent::MouseButtonPress, Cell(*view, 1, 1), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("two two\n"));
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 0, 2), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("two two\nthree\n"));
  // The last line has no line break to take.
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 2, 3), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("two two\nthree\nfour"));
  SendMouse(*view, QEvent::MouseMove, Cell(*view, 2, 0), Qt::LeftButton);
  QCOMPARE(view->SelectedText(), QByteArray("one\ntwo two\n"));
  QCOMPARE(view->Caret(), 0);
  SendMouse(*view, QEvent::MouseButtonRelease, Cell(*view, 2, 0), Qt::NoButton);
  QCOMPARE(view->SelectedText(), QByteArray("one\ntwo two\n"));
}

void TestTextView::zoomKeepsTheFirstVisibleLine() {
  std::string text;
  for (int i = 0; i < 500; ++i)
    text += "line " + std::to_string(i) + "\n";
  auto view = MakeView(text);
  view->GoTo(0);
  view->ScrollTo(200, 0);
  QWheelEvent up(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                 QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &up);
  QCOMPARE(view->Zoom(), 1);
  QCOMPARE(view->FirstVisibleLine(), 200);
  Keys(*view, Qt::Key_Minus, Qt::ControlModifier, 3);
  QCOMPARE(view->FirstVisibleLine(), 200);
  Keys(*view, Qt::Key_0, Qt::ControlModifier);
  QCOMPARE(view->FirstVisibleLine(), 200);
  QCOMPARE(view->verticalScrollBar()->value(), 200);
  QCOMPARE(view->Caret(), 0);
  // Near the end, a smaller font shows more lines and the view stays full.
  view->ScrollTo(view->LineCount(), 0);
  const int64_t last = view->FirstVisibleLine();
  Keys(*view, Qt::Key_Minus, Qt::ControlModifier, 4);
  QVERIFY(view->FirstVisibleLine() < last);
  QCOMPARE(view->FirstVisibleLine() + view->VisibleLineCount(), view->LineCount());
}

void TestTextView::zoomByKeysAndWheel() {
  auto view = MakeView("zoom me\nsecond line\n");
  const int height = view->LineHeight();
  const QFont font = view->TextFont();
  Keys(*view, Qt::Key_Plus, Qt::ControlModifier);
  QCOMPARE(view->Zoom(), 1);
  QVERIFY(view->LineHeight() >= height);
  Keys(*view, Qt::Key_Equal, Qt::ControlModifier, 3);
  QCOMPARE(view->Zoom(), 4);
  QVERIFY(view->LineHeight() > height);
  Keys(*view, Qt::Key_Minus, Qt::ControlModifier, 6);
  QCOMPARE(view->Zoom(), -2);
  QVERIFY(view->LineHeight() < height);
  Keys(*view, Qt::Key_0, Qt::ControlModifier);
  QCOMPARE(view->Zoom(), 0);
  QCOMPARE(view->LineHeight(), height);
  // Control with the wheel zooms and does not scroll; it stays within bounds.
  for (int i = 0; i < 40; ++i) {
    QWheelEvent up(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                   QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &up);
  }
  QCOMPARE(view->Zoom(), 20);
  QCOMPARE(view->FirstVisibleLine(), 0);
  // The document's font, which printing uses, is not touched, nor the text.
  QCOMPARE(view->TextFont(), font);
  QCOMPARE(All(*view), std::string("zoom me\nsecond line\n"));
  // Clicks still land on the cell under the mouse.
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, Cell(*view, 3, 1));
  QCOMPARE(view->Caret(), int64_t(8 + 3));
}

void TestTextView::insertKeySwitchesOvertype() {
  auto view = MakeView("abc\nde");
  Keys(*view, Qt::Key_Right);
  Keys(*view, Qt::Key_Insert);
  QVERIFY(view->Overtype());
  // Each typed character takes the place of the next one, but never of
  // the line break: at the line's end it is put in.
  QTest::keyClicks(view.get(), QStringLiteral("XYZ"));
  QCOMPARE(All(*view), std::string("aXYZ\nde"));
  // Enter breaks the line without taking anything.
  Keys(*view, Qt::Key_Down);
  Keys(*view, Qt::Key_Home);
  Keys(*view, Qt::Key_Return);
  QCOMPARE(All(*view), std::string("aXYZ\n\nde"));
  // Undo gives back the word typed over in one step.
  view->Undo();
  view->Undo();
  QCOMPARE(All(*view), std::string("abc\nde"));
  Keys(*view, Qt::Key_Insert);
  QVERIFY(!view->Overtype());
  view->GoTo(0);
  QTest::keyClicks(view.get(), QStringLiteral("Q"));
  QCOMPARE(All(*view), std::string("Qabc\nde"));
}

void TestTextView::wheelScrolls() {
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += std::string(300, 'w') + "\n";
  auto view = MakeView(text);
  // The width of the lines is known once they have been shown.
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
  QTRY_VERIFY(view->horizontalScrollBar()->maximum() > 0);
  QWheelEvent down(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                   QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &down);
  QCOMPARE(view->FirstVisibleLine(), QApplication::wheelScrollLines());
  QCOMPARE(view->FirstVisibleColumn(), 0);
  QWheelEvent right(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &right);
  QCOMPARE(view->FirstVisibleLine(), QApplication::wheelScrollLines());
  QVERIFY(view->FirstVisibleColumn() > 0);
  QCOMPARE(view->Caret(), 0);
  QCOMPARE(view->horizontalScrollBar()->value(), view->FirstVisibleColumn());
  // Parts of a notch add up.
  const int64_t line = view->FirstVisibleLine();
  for (int i = 0; i < 4; ++i) {
    QWheelEvent part(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                     QPoint(0, -30), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &part);
  }
  QCOMPARE(view->FirstVisibleLine(), line + QApplication::wheelScrollLines());
  view->verticalScrollBar()->setValue(50);
  QCOMPARE(view->FirstVisibleLine(), 50);
}

void TestTextView::contextMenuItemsFollowState() {
  auto view = MakeView("menu text");
  auto enabled = [&](const QString& text) {
    std::unique_ptr<QMenu> menu(view->CreateContextMenu(nullptr));
    for (QAction* action : menu->actions())
      if (action->text() == text)
        return action->isEnabled();
    [&] { QFAIL(qPrintable(text)); }();
    return false;
  };
  QVERIFY(!enabled("&Undo"));
  QVERIFY(!enabled("&Redo"));
  QVERIFY(!enabled("Cu&t"));
  QVERIFY(!enabled("&Copy"));
  QVERIFY(!enabled("&Paste"));
  QVERIFY(!enabled("&Delete"));
  QVERIFY(enabled("Select &All"));
  view->Select(0, 4);
  QVERIFY(enabled("Cu&t"));
  QVERIFY(enabled("&Copy"));
  QVERIFY(enabled("&Delete"));
  view->Copy();
  QVERIFY(enabled("&Paste"));
  view->DeleteSelection();
  QVERIFY(enabled("&Undo"));
  view->Undo();
  QVERIFY(enabled("&Redo"));
  // The right button opens it, through the window as the platform sends it,
  // where the click becomes a context menu request; its Select All works.
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
  QTest::mouseClick(view->windowHandle(), Qt::RightButton, {},
                    view->viewport()->mapTo(view.get(), Cell(*view, 1, 0)));
  QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  for (QAction* action : menu->actions())
    if (action->text() == "Select &All")
      action->trigger();
  menu->close();
  QTRY_COMPARE(view->SelectedText(), QByteArray("menu text"));
}

void TestTextView::contextMenuShowsTheEditKeys() {
  auto view = MakeView("menu text");
  std::unique_ptr<QMenu> menu(view->CreateContextMenu(nullptr));
  QMap<QString, QKeySequence> keys;
  for (QAction* action : menu->actions())
    if (!action->isSeparator())
      keys[action->text()] = action->shortcut();
  const QMap<QString, QKeySequence> expected{
      {"&Undo", QKeySequence("Ctrl+Z")},      {"&Redo", QKeySequence("Ctrl+Y")},
      {"Cu&t", QKeySequence("Ctrl+X")},       {"&Copy", QKeySequence("Ctrl+C")},
      {"&Paste", QKeySequence("Ctrl+V")},     {"&Delete", QKeySequence("Ctrl+D")},
      {"Select &All", QKeySequence("Ctrl+A")}};
  QCOMPARE(keys, expected);
  // A menu made and not shown leaves the keys to the view: no ambiguous
  // shortcut, and Control+A still selects all through the view.
  view->setFocus();
  Keys(*view, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(view->SelectedText(), QByteArray("menu text"));
}

namespace {

// Sends a drag's entry and its drop of `data` at `at` to the view.
bool Drop(TextView& view, const QMimeData& data, QPoint at) {
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &enter);
  if (!enter.isAccepted())
    return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &drop);
  return drop.isAccepted();
}

} // namespace

void TestTextView::filesAreOfferedTextIsDropped() {
  auto view = MakeView("drop here");
  int offered = 0;
  QMimeData files;
  files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/some file"))});
  connect(view.get(), &TextView::DropOffered, view.get(), [&](QDropEvent* event) {
    ++offered;
    event->acceptProposedAction();
  });
  QVERIFY(Drop(*view, files, Cell(*view, 2, 0)));
  QCOMPARE(offered, 2);
  QCOMPARE(All(*view), std::string("drop here"));
  QMimeData text;
  text.setText(QString::fromUtf8("ü\r\n"));
  QVERIFY(Drop(*view, text, Cell(*view, 5, 0)));
  QCOMPARE(offered, 2);
  QCOMPARE(All(*view), std::string("drop \xFC\nhere"));
  QVERIFY(view->CanUndo());
}

QTEST_MAIN(TestTextView)
#include "test_textview.moc"
