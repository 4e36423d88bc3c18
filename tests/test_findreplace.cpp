// Find and replace in real document windows: menu keys, dialog buttons,
// what the editor selects and what it holds afterwards.
#include "support/DocumentTestSupport.h"
#include "support/EventWatch.h"
#include "support/FakeDialogService.h"
#include "ui/FindReplaceController.h"
#include "ui/TFindDialog.h"
#include "ui/TRTFchild.h"
#include "ui/TReplaceDialog.h"
#include "ui/TextEditor.h"
#include "ui/TextSearch.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <cctype>
#include <functional>
#include <memory>

namespace {
// The search rules written out plainly, one position after another: what
// the window's search must agree with.
long ReferenceFind(const QByteArray& text, const QByteArray& pattern, long from, bool matchCase,
                   bool wholeWord) {
  const auto fold = [matchCase](unsigned char c) {
    const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    return !matchCase && capital ? static_cast<unsigned char>(c + 32) : c;
  };
  // 0 line end, 1 blank, 2 word, 3 punctuation.
  const auto cls = [](unsigned char c) {
    if (c == '\n' || c == '\r')
      return 0;
    if (c <= ' ')
      return 1;
    if (c >= 0x80 || c == '_' || std::isalnum(c))
      return 2;
    return 3;
  };
  const auto at = [&text](long i) { return static_cast<unsigned char>(text.at(i)); };
  const long n = pattern.size();
  for (long pos = std::max(0L, from); n > 0 && pos + n <= text.size(); ++pos) {
    bool same = true;
    for (long i = 0; i < n && same; ++i)
      same = fold(at(pos + i)) == fold(static_cast<unsigned char>(pattern.at(i)));
    if (!same)
      continue;
    const long end = pos + n;
    const bool starts = pos == 0 || (cls(at(pos)) >= 2 && cls(at(pos)) != cls(at(pos - 1)));
    const bool ends =
        end == text.size() || (cls(at(end - 1)) >= 2 && cls(at(end - 1)) != cls(at(end)));
    if (!wholeWord || (starts && ends))
      return pos;
  }
  return -1;
}

// Millions of matches: long enough for many rounds of events.
QByteArray LargeText() {
  QByteArray text;
  text.reserve(20 << 20);
  while (text.size() < (20 << 20))
    text.append("ab\nab ab\n");
  return text;
}

} // namespace

class TestFindReplace : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();

  void findAgainBeforeAnySearchDoesNothing();
  void dialogsAreSeededFromTheSelection();
  void dialogLayout();
  void overlappingMatchesThenTheEnd();
  void caretBeforeAnOccurrence();
  void searchGoesOnInAnotherWindow();
  void matchCaseOnThenOff();
  void wholeWord();
  void agreesWithThePlainRules_data();
  void agreesWithThePlainRules();
  void accentedLettersIgnoreCase();
  void matchIsScrolledIntoView();
  void textOutsideLatin1NeverMatches();
  void replaceWithNothingSelected();
  void replaceAllGrowingMatches();
  void replaceAllReplacesTheSelectionFirst();
  void emptyReplacementDeletes();
  void replacementsAreNotUndone();
  void replaceAllIsReplaceStepByStep();
  void closeIsRefusedWhileADialogIsOpen();

  // Replace All over a large text keeps the program answering: events run
  // while the new text is made, the status bar shows how far it has got,
  // the document takes no edits meanwhile, and a window that goes away in
  // the middle stops it safely.
  void eventsRunAndEditsAreIgnored();
  void windowClosedMeanwhile();
  void windowDestroyedMeanwhile();
  void matchesAtEverySliceEdge();

private:
  TRTFchild* NewWindow(const QByteArray& text);
  static QByteArray Text(TRTFchild* w);
  static QPair<long, long> Selection(TRTFchild* w);
  static void Select(TRTFchild* w, long start, long end);
  static void Activate(QWidget* w);
  TFindDialog* OpenFind(TRTFchild* w, const QString& text, bool matchCase = false,
                        bool wholeWord = false);
  TReplaceDialog* OpenReplace(TRTFchild* w, const QString& text, const QString& replacement);
  int EndMessages() const;

  std::unique_ptr<FakeDialogService> dialogs_;
  QList<QPointer<TRTFchild>> windows_;
};

void TestFindReplace::init() {
  LastSearch() = LastSearchRecord();
  dialogs_ = std::make_unique<FakeDialogService>();
}

void TestFindReplace::cleanup() {
  for (const QPointer<TRTFchild>& w : windows_)
    delete w.data();
  windows_.clear();
  dialogs_.reset();
}

TRTFchild* TestFindReplace::NewWindow(const QByteArray& text) {
  auto* w = new TRTFchild;
  windows_ << w;
  SetEditorText(*w, text.constData());
  w->Edit()->GoTo(0);
  w->show();
  Activate(w);
  return w;
}

QByteArray TestFindReplace::Text(TRTFchild* w) {
  return w->Edit()->Range(0, w->Edit()->Length());
}

QPair<long, long> TestFindReplace::Selection(TRTFchild* w) {
  return {w->Edit()->SelectionStart(), w->Edit()->SelectionEnd()};
}

void TestFindReplace::Select(TRTFchild* w, long start, long end) {
  w->Edit()->Select(start, end);
}

void TestFindReplace::Activate(QWidget* w) {
  w->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(w));
  if (auto* child = qobject_cast<TRTFchild*>(w))
    child->Edit()->setFocus();
}

TFindDialog* TestFindReplace::OpenFind(TRTFchild* w, const QString& text, bool matchCase,
                                       bool wholeWord) {
  Activate(w);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_F, Qt::ControlModifier);
  auto* dialog = qobject_cast<TFindDialog*>(w->FindDialog());
  if (!dialog)
    return nullptr;
  dialog->FindWhat->setText(text);
  dialog->MatchCaseBox->setChecked(matchCase);
  dialog->WholeWordBox->setChecked(wholeWord);
  return dialog;
}

TReplaceDialog* TestFindReplace::OpenReplace(TRTFchild* w, const QString& text,
                                             const QString& replacement) {
  Activate(w);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_R, Qt::ControlModifier);
  auto* dialog = qobject_cast<TReplaceDialog*>(w->ReplaceDialog());
  if (!dialog)
    return nullptr;
  dialog->FindWhat->setText(text);
  dialog->ReplaceWith->setText(replacement);
  return dialog;
}

int TestFindReplace::EndMessages() const {
  int count = 0;
  for (const FakeDialogService::Shown& m : dialogs_->messages) {
    if (m.text == "End of document reached." && m.caption == "Find/Replace" &&
        m.buttons == DialogService::Buttons::Ok && m.icon == DialogService::Icon::None)
      ++count;
  }
  return count;
}

void TestFindReplace::findAgainBeforeAnySearchDoesNothing() {
  TRTFchild* a = NewWindow("abc abc");
  TRTFchild* b = NewWindow("abc");
  Select(a, 1, 2);
  Activate(a);
  QTest::keyClick(a->Edit()->focusProxy(), Qt::Key_F3);
  Activate(b);
  QTest::keyClick(b->Edit()->focusProxy(), Qt::Key_F3);
  QVERIFY(dialogs_->messages.isEmpty());
  QCOMPARE(Selection(a), qMakePair(1L, 2L));
  QCOMPARE(Selection(b), qMakePair(0L, 0L));
  QVERIFY(!a->FindDialog() && !b->FindDialog());
}

void TestFindReplace::dialogsAreSeededFromTheSelection() {
  QByteArray text(400, 'x');
  for (int i = 0; i < 400; ++i)
    text[i] = char('a' + i % 26);
  TRTFchild* w = NewWindow(text);

  Select(w, 2, 5);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_F, Qt::ControlModifier);
  auto* find = qobject_cast<TFindDialog*>(w->FindDialog());
  QVERIFY(find);
  QVERIFY(find->isVisible());
  QCOMPARE(find->FindText(), QString("cde"));
  QVERIFY(find->FindNextButton->isEnabled());

  // While open it only comes to the front; its field keeps what it shows.
  Activate(w);
  Select(w, 0, 1);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(qobject_cast<TFindDialog*>(w->FindDialog()), find);
  QCOMPARE(find->FindText(), QString("cde"));

  // Closed and opened with nothing selected: the field is cleared.
  QTest::mouseClick(find->CancelButton, Qt::LeftButton);
  QVERIFY(!find->isVisible());
  Activate(w);
  w->Edit()->GoTo(7);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_F, Qt::ControlModifier);
  QVERIFY(find->isVisible());
  QVERIFY(find->FindText().isEmpty());
  QVERIFY(!find->FindNextButton->isEnabled());
  QTest::keyClick(find, Qt::Key_Escape);
  QVERIFY(!find->isVisible());

  // 300 characters selected: the first 255.
  Activate(w);
  Select(w, 10, 310);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(find->FindText(), QString::fromLatin1(text.mid(10, 255)));
  // Typing cannot go past 255 either.
  QTest::keyClick(find->FindWhat, Qt::Key_End);
  QTest::keyClicks(find->FindWhat, "zz");
  QCOMPARE(find->FindText().size(), 255);

  // The Replace dialog is seeded the same way, and is a dialog of its own.
  Activate(w);
  Select(w, 26, 29);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_R, Qt::ControlModifier);
  auto* replace = qobject_cast<TReplaceDialog*>(w->ReplaceDialog());
  QVERIFY(replace);
  QVERIFY(replace != find);
  QVERIFY(replace->isVisible());
  QCOMPARE(replace->FindText(), QString("abc"));
  QTest::keyClicks(replace->ReplaceWith, QString(300, 'r'));
  QCOMPARE(replace->ReplaceText().size(), 255);

  // Bytes above 127 arrive as their ISO 8859-1 characters.
  SetEditorText(*w, "caf\xe9");
  find->close();
  Activate(w);
  Select(w, 0, 4);
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(find->FindText(), QString::fromUtf8("caf\u00e9"));
}

void TestFindReplace::dialogLayout() {
  TRTFchild* w = NewWindow("abc");
  TReplaceDialog* replace = OpenReplace(w, "a", "b");
  QVERIFY(replace);
  QCOMPARE(replace->windowTitle(), QString("Replace"));
  QVERIFY(!replace->isModal());
  QVERIFY(!replace->DirectionBox->isEnabled());
  QVERIFY(replace->DownButton->isChecked());
  QVERIFY(!replace->UpButton->isChecked());
  QVERIFY(replace->MatchCaseBox->isEnabled() && !replace->MatchCaseBox->isChecked());
  QVERIFY(replace->WholeWordBox->isEnabled() && !replace->WholeWordBox->isChecked());
  // Every caption fits its control.
  const QList<QWidget*> controls = replace->findChildren<QWidget*>();
  for (QWidget* c : controls) {
    if (c->isVisible() && !qobject_cast<QLineEdit*>(c) && !qobject_cast<QGroupBox*>(c))
      QVERIFY2(c->width() >= c->sizeHint().width(), qPrintable(c->objectName()));
  }
  TFindDialog* find = OpenFind(w, "a");
  QCOMPARE(find->windowTitle(), QString("Find"));
  QVERIFY(!find->DirectionBox->isEnabled());
  QVERIFY(find->DownButton->isChecked());
}

void TestFindReplace::overlappingMatchesThenTheEnd() {
  TRTFchild* w = NewWindow("aaaa");
  TFindDialog* find = OpenFind(w, "aa");
  QVERIFY(find);
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(0L, 2L));
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(1L, 3L));
  QTest::keyClick(find->FindWhat, Qt::Key_Return); // Find Next is the default button
  QCOMPARE(Selection(w), qMakePair(2L, 4L));
  QCOMPARE(w->Edit()->Caret(), int64_t(4));
  QCOMPARE(EndMessages(), 0);
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(EndMessages(), 1);
  QCOMPARE(dialogs_->messages.size(), 1);
  QCOMPARE(Selection(w), qMakePair(3L, 3L));
  // Never from the start again.
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(EndMessages(), 2);
  QCOMPARE(Selection(w), qMakePair(3L, 3L));
  QCOMPARE(LastSearch().Text, QString("aa"));
}

void TestFindReplace::caretBeforeAnOccurrence() {
  TRTFchild* w = NewWindow("xx abc abc");
  w->Edit()->GoTo(7);
  TFindDialog* find = OpenFind(w, "abc");
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(7L, 10L));
  // The status bar follows the selection the search made.
  QCOMPARE(w->StatusBar()->currentMessage(), QString("(1,8)-(1,11)"));
}

void TestFindReplace::searchGoesOnInAnotherWindow() {
  TRTFchild* a = NewWindow("one Two");
  TRTFchild* b = NewWindow("two tWo Two");
  TFindDialog* find = OpenFind(a, "Two", true, false);
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(a), qMakePair(4L, 7L));
  find->close();

  // F3 in B: A's text with A's match-case switch.
  Activate(b);
  QTest::keyClick(b->Edit()->focusProxy(), Qt::Key_F3);
  QCOMPARE(Selection(b), qMakePair(8L, 11L));
  QVERIFY(!b->FindDialog());
  // And the Find again item of A's menu repeats it in A.
  Activate(a);
  a->Edit()->GoTo(0);
  Item(a, "FindAgain")->trigger();
  QCOMPARE(Selection(a), qMakePair(4L, 7L));
  QCOMPARE(EndMessages(), 0);
}

void TestFindReplace::matchCaseOnThenOff() {
  TRTFchild* w = NewWindow("ABC abc");
  TFindDialog* find = OpenFind(w, "abc", true);
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(4L, 7L));
  QVERIFY(LastSearch().Options.MatchCase);

  w->Edit()->GoTo(0);
  QTest::mouseClick(find->MatchCaseBox, Qt::LeftButton);
  QVERIFY(!find->MatchCase());
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(0L, 3L));
  QVERIFY(!LastSearch().Options.MatchCase);
}

void TestFindReplace::wholeWord() {
  TRTFchild* w = NewWindow("concat cat cats cat");
  TFindDialog* find = OpenFind(w, "cat", false, true);
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(7L, 10L));
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(16L, 19L));
  QVERIFY(LastSearch().Options.WholeWord);
}

void TestFindReplace::agreesWithThePlainRules_data() {
  QTest::addColumn<bool>("matchCase");
  QTest::addColumn<bool>("wholeWord");
  QTest::addColumn<QByteArray>("alphabet");
  // Letters of both cases, accented ones included, every class of byte.
  const QByteArray all("aAbB _.-\n\xe9\xc9\x01\xff\xd7\xf7\r");
  QTest::newRow("exact") << true << false << all;
  QTest::newRow("exact, whole word") << true << true << all;
  QTest::newRow("any case") << false << false << all;
  QTest::newRow("any case, whole word") << false << true << all;
}

void TestFindReplace::agreesWithThePlainRules() {
  // The window searches its text with a skipping search; every step must
  // agree with the rules applied one position after another.
  QFETCH(bool, matchCase);
  QFETCH(bool, wholeWord);
  QFETCH(QByteArray, alphabet);
  QRandomGenerator random(12345);
  const auto pick = [&](int length) {
    QByteArray bytes;
    for (int i = 0; i < length; ++i)
      bytes += alphabet.at(random.bounded(alphabet.size()));
    return bytes;
  };
  TRTFchild* w = NewWindow("");
  int matches = 0;
  for (int round = 0; round < 150; ++round) {
    const QByteArray text = pick(random.bounded(1, 60));
    QByteArray pattern = pick(random.bounded(1, 4));
    SetEditorText(*w, text.constData());
    LastSearch().Text = QString::fromLatin1(pattern);
    LastSearch().Options.MatchCase = matchCase;
    LastSearch().Options.WholeWord = wholeWord;
    for (long caret = 0; caret <= text.size(); ++caret) {
      const long expected = ReferenceFind(text, pattern, caret, matchCase, wholeWord);
      w->Edit()->GoTo(caret);
      Item(w, "FindAgain")->trigger();
      const QPair<long, long> sel = Selection(w);
      const long found = sel.first == sel.second ? -1 : sel.first;
      QVERIFY2(found == expected, qPrintable(QString("text %1, pattern %2, caret %3: %4, not %5")
                                                 .arg(QString::fromLatin1(text.toHex()))
                                                 .arg(QString::fromLatin1(pattern.toHex()))
                                                 .arg(caret)
                                                 .arg(found)
                                                 .arg(expected)));
      if (found >= 0) {
        ++matches;
        QCOMPARE(sel.second, found + long(pattern.size()));
      }
    }
  }
  QVERIFY(matches > 100);
}

void TestFindReplace::accentedLettersIgnoreCase() {
  TRTFchild* w = NewWindow("\xc9t\xc9 \xe9t\xe9");
  TFindDialog* find = OpenFind(w, QString::fromUtf8("\u00e9T\u00e9"));
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(0L, 3L));
  QTest::mouseClick(find->MatchCaseBox, Qt::LeftButton);
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(EndMessages(), 1);
  find->FindWhat->setText(QString::fromUtf8("\u00e9t\u00e9"));
  w->Edit()->GoTo(0);
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(4L, 7L));
}

void TestFindReplace::matchIsScrolledIntoView() {
  QByteArray text;
  for (int i = 0; i < 2000; ++i)
    text += "line " + QByteArray::number(i) + "\n";
  text += "needle\n";
  TRTFchild* w = NewWindow(text);
  w->resize(500, 300);
  QCOMPARE(w->Edit()->FirstVisibleLine(), int64_t(0));
  TFindDialog* find = OpenFind(w, "needle");
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  const int64_t first = w->Edit()->FirstVisibleLine();
  const int64_t shown = w->Edit()->VisibleLineCount();
  QVERIFY(first <= 2000 && 2000 < first + shown);
  QCOMPARE(Selection(w), qMakePair(long(text.indexOf("needle")), long(text.indexOf("needle") + 6)));
}

void TestFindReplace::textOutsideLatin1NeverMatches() {
  // "?" is what a character outside ISO 8859-1 would turn into: it must not
  // be what is searched for.
  TRTFchild* w = NewWindow("why? \x80");
  TFindDialog* find = OpenFind(w, QString::fromUtf8("\u20ac"));
  QTest::mouseClick(find->FindNextButton, Qt::LeftButton);
  QCOMPARE(EndMessages(), 1);
  QCOMPARE(Selection(w), qMakePair(0L, 0L));
}

void TestFindReplace::replaceWithNothingSelected() {
  TRTFchild* w = NewWindow("x a a");
  TReplaceDialog* replace = OpenReplace(w, "a", "bb");
  QVERIFY(replace);
  QTest::mouseClick(replace->ReplaceButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("x a a"));
  QCOMPARE(Selection(w), qMakePair(2L, 3L));
  QTest::mouseClick(replace->ReplaceButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("x bb a"));
  QCOMPARE(Selection(w), qMakePair(5L, 6L));
  QTest::mouseClick(replace->ReplaceButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("x bb bb"));
  QCOMPARE(Selection(w), qMakePair(7L, 7L));
  QCOMPARE(EndMessages(), 1);
  // Find Next of the Replace dialog searches too, and sets the last search.
  w->Edit()->GoTo(0);
  replace->FindWhat->setText("bb");
  QTest::mouseClick(replace->FindNextButton, Qt::LeftButton);
  QCOMPARE(Selection(w), qMakePair(2L, 4L));
  QCOMPARE(LastSearch().Text, QString("bb"));
}

void TestFindReplace::replaceAllGrowingMatches() {
  TRTFchild* w = NewWindow("aaa");
  TReplaceDialog* replace = OpenReplace(w, "a", "aa");
  QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("aaaaaa"));
  QCOMPARE(dialogs_->messages.size(), 1);
  QCOMPARE(EndMessages(), 1);
  QCOMPARE(Selection(w), qMakePair(6L, 6L));
  QCOMPARE(w->StatusBar()->currentMessage(), QString("Line 1, Column 7"));
}

void TestFindReplace::replaceAllReplacesTheSelectionFirst() {
  TRTFchild* w = NewWindow("xA a\nA");
  Select(w, 0, 1);
  TReplaceDialog* replace = OpenReplace(w, "a", QString::fromUtf8("\u00e9\u20ac"));
  QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);
  // Case is ignored; a character outside ISO 8859-1 becomes "?".
  QCOMPARE(Text(w), QByteArray("\xe9?\xe9? \xe9?\n\xe9?"));
  QCOMPARE(EndMessages(), 1);

  // With match case and whole word.
  SetEditorText(*w, "cat Cat cats cat");
  w->Edit()->GoTo(0);
  replace->FindWhat->setText("cat");
  replace->ReplaceWith->setText("dog");
  replace->MatchCaseBox->setChecked(true);
  replace->WholeWordBox->setChecked(true);
  QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("dog Cat cats dog"));
  QCOMPARE(EndMessages(), 2);
}

void TestFindReplace::emptyReplacementDeletes() {
  TRTFchild* w = NewWindow("a-ba-a");
  TReplaceDialog* replace = OpenReplace(w, "a", "");
  QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("-b-"));
  QCOMPARE(EndMessages(), 1);
}

void TestFindReplace::replacementsAreNotUndone() {
  TRTFchild* w = NewWindow("abc abc");
  // An ordinary edit first, which Undo could take back before the replace.
  w->Edit()->GoTo(7);
  QTest::keyClicks(w->Edit()->focusProxy(), " x");
  QCOMPARE(Text(w), QByteArray("abc abc x"));
  w->Edit()->GoTo(0);
  TReplaceDialog* replace = OpenReplace(w, "abc", "defgh");
  QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("defgh defgh x"));
  w->EditUndoItemClick();
  QCOMPARE(Text(w), QByteArray("defgh defgh x"));
  QVERIFY(!w->Edit()->CanUndo());

  // A single Replace the same; later edits are undoable again.
  w->Edit()->GoTo(0);
  replace->FindWhat->setText("gh");
  replace->ReplaceWith->setText("");
  QTest::mouseClick(replace->ReplaceButton, Qt::LeftButton);
  QTest::mouseClick(replace->ReplaceButton, Qt::LeftButton);
  QCOMPARE(Text(w), QByteArray("def defgh x"));
  w->EditUndoItemClick();
  QCOMPARE(Text(w), QByteArray("def defgh x"));
  Activate(w);
  w->Edit()->GoTo(0);
  QTest::keyClicks(w->Edit()->focusProxy(), "z");
  QCOMPARE(Text(w), QByteArray("zdef defgh x"));
  w->EditUndoItemClick();
  QCOMPARE(Text(w), QByteArray("def defgh x"));
}

void TestFindReplace::closeIsRefusedWhileADialogIsOpen() {
  TRTFchild* w = NewWindow("text");
  QPointer<TRTFchild> guard(w);
  TFindDialog* find = OpenFind(w, "t");
  QVERIFY(find->isVisible());
  QVERIFY(!w->close());
  QCOMPARE(dialogs_->messages.size(), 1);
  QCOMPARE(dialogs_->messages[0].caption, QString("Sift Well Error"));
  QVERIFY(w->isVisible());
  QTest::mouseClick(find->CancelButton, Qt::LeftButton);

  TReplaceDialog* replace = OpenReplace(w, "t", "u");
  QVERIFY(!w->close());
  QCOMPARE(dialogs_->messages.size(), 2);
  QTest::keyClick(replace, Qt::Key_Escape);
  QVERIFY(!replace->isVisible());

  QVERIFY(w->close());
  QCOMPARE(dialogs_->messages.size(), 2);
  QTRY_VERIFY(guard.isNull()); // freed once closed, with its dialogs
}

void TestFindReplace::replaceAllIsReplaceStepByStep() {
  // Replace All against its rule written out: find from the caret, replace,
  // go on after the text put in. Words that touch, replacements that make
  // or break words, matches across a long text, case and whole word.
  QRandomGenerator random(42);
  const char alphabet[] = "aAb_ -\n\xe9\xc9";
  for (int round = 0; round < 300; ++round) {
    const int size = round % 10 == 0 ? 200000 : 1 + random.bounded(60);
    QByteArray text(size, 'a');
    for (char& c : text)
      c = alphabet[random.bounded(int(sizeof alphabet) - 1)];
    QByteArray needle(1 + random.bounded(3), 'a');
    for (char& c : needle)
      c = alphabet[random.bounded(int(sizeof alphabet) - 1)];
    QByteArray replacement(random.bounded(4), 'b');
    for (char& c : replacement)
      c = alphabet[random.bounded(int(sizeof alphabet) - 1)];
    const bool matchCase = random.bounded(2) == 0;
    const bool wholeWord = random.bounded(2) == 0;
    const TextSearch search(needle.toStdString(), matchCase, wholeWord);
    const int64_t from = random.bounded(size + 1);

    TextEditor all, steps;
    for (TextEditor* editor : {&all, &steps}) {
      editor->BeginFill();
      editor->Append(text.constData(), static_cast<std::size_t>(text.size()));
      editor->EndFill();
    }
    const int64_t end = all.ReplaceAll(search, from, replacement);
    int64_t caret = from;
    for (int64_t found = steps.Find(search, caret); found >= 0; found = steps.Find(search, caret)) {
      steps.Select(found, found + static_cast<int64_t>(search.Length()));
      steps.ReplaceSelection(replacement, TextEditor::Recording::NotUndoable);
      caret = found + replacement.size();
    }
    // The rule once more over one contiguous copy of the text, with the
    // search rules written out plainly.
    QByteArray plain = text;
    int64_t at = from;
    for (;;) {
      const int64_t found = ReferenceFind(plain, needle, at, matchCase, wholeWord);
      if (found < 0)
        break;
      plain.replace(found, static_cast<qsizetype>(search.Length()), replacement);
      at = found + replacement.size();
    }
    QCOMPARE(steps.Range(0, steps.Length()), plain);
    QCOMPARE(caret, at);
    if (all.Range(0, all.Length()) != plain || end != caret)
      QFAIL(qPrintable(QStringLiteral("round %1: needle '%2', replacement '%3', from %4")
                           .arg(round)
                           .arg(QString::fromLatin1(needle), QString::fromLatin1(replacement))
                           .arg(from)));
    QCOMPARE(all.Caret(), end);
    QVERIFY(!all.CanUndo());
  }
}

void TestFindReplace::eventsRunAndEditsAreIgnored() {
  const QByteArray text = LargeText();
  QByteArray expected = text;
  expected.replace("a", "ccc");
  TRTFchild* w = NewWindow(text);
  TReplaceDialog* replace = OpenReplace(w, "a", "ccc");
  QVERIFY(replace);
  TextEditor* editor = w->Edit();
  auto* view = qobject_cast<QAbstractScrollArea*>(editor->focusProxy());
  QVERIFY(view);
  QApplication::clipboard()->setText(QStringLiteral("PASTED"));

  QStringList progress;
  bool triedEdits = false;
  const auto tryEdits = [&] {
    triedEdits = true;
    QTest::keyClick(view, Qt::Key_Z);
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    w->EditPasteItemClick();
    w->EditCutItemClick();
    auto* mime = new QMimeData;
    mime->setText(QStringLiteral("DROPPED"));
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    delete mime;
    // A second Replace All, a Find and Load again wait for none: refused.
    QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);
    QTest::mouseClick(replace->FindNextButton, Qt::LeftButton);
    w->ReloadClick();
  };
  // Seen from outside: while the status bar shows the progress.
  const auto replacing = [w] {
    return w->StatusBar()->currentMessage().startsWith(QStringLiteral("Replacing"));
  };
  EventWatch watch(replacing, [&] {
    progress << w->StatusBar()->currentMessage();
    if (!triedEdits)
      tryEdits();
  });
  QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);

  QVERIFY(!editor->Busy());
  QVERIFY2(watch.Ticks() >= 3, qPrintable(QString::number(watch.Ticks())));
  QVERIFY2(watch.LongestGapMs() < 200, qPrintable(QString::number(watch.LongestGapMs())));
  QVERIFY(triedEdits);
  const QRegularExpression shown(QStringLiteral("^Replacing\\.\\.\\. \\d+%$"));
  QVERIFY2(!progress.isEmpty() && progress.last().contains(shown), qPrintable(progress.join('|')));
  QVERIFY(EditorText(*w) == expected);
  QCOMPARE(editor->Caret(), static_cast<int64_t>(expected.lastIndexOf("ccc") + 3));
  QVERIFY(!editor->CanUndo());
  // The one message of a Replace All, and the position shown again.
  QCOMPARE(dialogs_->messages.size(), 1);
  QCOMPARE(dialogs_->messages[0].text, QStringLiteral("End of document reached."));
  QVERIFY(w->StatusBar()->currentMessage().startsWith(QStringLiteral("Line ")));

  // Afterwards the text takes edits again.
  editor->GoTo(0);
  QTest::keyClick(view, Qt::Key_Z);
  QCOMPARE(editor->Range(0, 4), QByteArray("zccc"));
}

void TestFindReplace::windowClosedMeanwhile() {
  const QByteArray text = LargeText();
  TRTFchild* w = NewWindow(text);
  const QPointer<TRTFchild> guard(w);
  const TextSearch search("a", true, false);
  bool closed = false;
  EventWatch watch([&] { return guard && guard->Edit()->Busy(); },
                   [&] {
                     if (!closed)
                       closed = guard->close();
                   });
  QCOMPARE(w->Edit()->ReplaceAll(search, 0, "ccc"), int64_t(-1));
  QVERIFY(closed);
  if (guard) {
    QVERIFY(!guard->Edit()->Busy());
    QVERIFY(EditorText(*guard) == text);
  }
  QTRY_VERIFY(guard.isNull());
  QVERIFY(dialogs_->messages.isEmpty());
}

void TestFindReplace::windowDestroyedMeanwhile() {
  TRTFchild* w = NewWindow(LargeText());
  const QPointer<TRTFchild> guard(w);
  TReplaceDialog* replace = OpenReplace(w, "b", "ccc");
  QVERIFY(replace);
  const QPointer<TReplaceDialog> dialog(replace);
  EventWatch watch([&] { return guard && guard->Edit()->Busy(); }, [&] { delete guard.data(); });
  QTest::mouseClick(replace->ReplaceAllButton, Qt::LeftButton);
  QVERIFY(guard.isNull());
  QVERIFY(dialog.isNull());
  QCOMPARE(watch.Ticks(), 1);
  QVERIFY(dialogs_->messages.isEmpty());
}

// The new text is made a slice of the old at a time: matches after
// stretches without one of a few MiB give or take a byte, across and beside
// every slice's edge, with the word rule reading the byte before, come out
// as one Find and Replace after another give them.
void TestFindReplace::matchesAtEverySliceEdge() {
  struct Round {
    char filler;
    const char* needle;
    const char* replacement;
    bool wholeWord;
  };
  const Round rounds[] = {{' ', "ab", "xyz", true},
                          {'x', "ab", "", true},
                          {'x', "ab", "b", false},
                          {'-', "aba", "a", false},
                          {' ', "ab ", "", false}};
  const int stretches[] = {(4 << 20) - 2, (4 << 20) - 1, 4 << 20,       (4 << 20) + 1,
                           (1 << 20) - 1, 1 << 20,       (1 << 20) + 1, 3};
  for (const Round& round : rounds) {
    const QByteArray needle(round.needle);
    QByteArray text(5, round.filler);
    for (int stretch : stretches)
      text += needle + QByteArray(stretch, round.filler);
    const TextSearch search(needle.toStdString(), false, round.wholeWord);
    TextEditor all, steps;
    for (TextEditor* editor : {&all, &steps}) {
      editor->BeginFill();
      editor->Append(text.constData(), static_cast<std::size_t>(text.size()));
      editor->EndFill();
    }
    const QByteArray replacement(round.replacement);
    const int64_t end = all.ReplaceAll(search, 3, replacement);
    int64_t caret = 3;
    for (int64_t found = steps.Find(search, caret); found >= 0; found = steps.Find(search, caret)) {
      steps.Select(found, found + static_cast<int64_t>(search.Length()));
      steps.ReplaceSelection(replacement, TextEditor::Recording::NotUndoable);
      caret = found + replacement.size();
    }
    QCOMPARE(end, caret);
    QVERIFY(all.Range(0, all.Length()) == steps.Range(0, steps.Length()));
  }
}

QTEST_MAIN(TestFindReplace)
#include "test_findreplace.moc"
