// Replace All over a large text keeps the program answering: events run
// while the new text is made, the status bar shows how far it has got, the
// document takes no edits meanwhile, and a window that goes away in the
// middle stops it safely.
#include "support/DocumentTestSupport.h"
#include "support/FakeDialogService.h"
#include "ui/FindReplaceController.h"
#include "ui/TRTFchild.h"
#include "ui/TReplaceDialog.h"
#include "ui/TextEditor.h"
#include "ui/TextSearch.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
// Millions of matches: long enough for many rounds of events.
QByteArray LargeText() {
  QByteArray text;
  text.reserve(20 << 20);
  while (text.size() < (20 << 20))
    text.append("ab\nab ab\n");
  return text;
}

// Runs `onTick` from a zero-interval timer, which fires each time events
// run, and measures the longest time between two of its firings while
// `during` holds.
class EventWatch {
public:
  EventWatch(std::function<bool()> during, std::function<void()> onTick)
      : during_(std::move(during)), onTick_(std::move(onTick)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(0);
    clock_.start();
  }
  int Ticks() const { return ticks_; }
  qint64 LongestGapMs() const { return longest_; }

private:
  void Tick() {
    const qint64 gap = clock_.restart();
    if (!during_())
      return;
    if (ticks_ > 0)
      longest_ = std::max(longest_, gap);
    ++ticks_;
    onTick_();
  }

  std::function<bool()> during_;
  std::function<void()> onTick_;
  QTimer timer_;
  QElapsedTimer clock_;
  int ticks_ = 0;
  qint64 longest_ = 0;
};
} // namespace

class TestReplaceAnswering : public QObject {
  Q_OBJECT
private slots:
  void init();
  void cleanup();

  void eventsRunAndEditsAreIgnored();
  void windowClosedMeanwhile();
  void windowDestroyedMeanwhile();
  void matchesAtEverySliceEdge();

private:
  TRTFchild* NewWindow(const QByteArray& text);
  TReplaceDialog* OpenReplace(TRTFchild* w, const QString& text, const QString& replacement);
  std::unique_ptr<FakeDialogService> dialogs_;
  QList<QPointer<TRTFchild>> windows_;
};

void TestReplaceAnswering::init() {
  LastSearch() = LastSearchRecord();
  dialogs_ = std::make_unique<FakeDialogService>();
}

void TestReplaceAnswering::cleanup() {
  for (const QPointer<TRTFchild>& w : windows_)
    delete w.data();
  windows_.clear();
  dialogs_.reset();
}

TRTFchild* TestReplaceAnswering::NewWindow(const QByteArray& text) {
  auto* w = new TRTFchild;
  windows_ << w;
  SetEditorText(*w, text);
  w->Edit()->GoTo(0);
  w->show();
  w->activateWindow();
  if (!QTest::qWaitForWindowActive(w))
    qWarning("window not active");
  w->Edit()->setFocus();
  return w;
}

TReplaceDialog* TestReplaceAnswering::OpenReplace(TRTFchild* w, const QString& text,
                                                  const QString& replacement) {
  QTest::keyClick(w->Edit()->focusProxy(), Qt::Key_R, Qt::ControlModifier);
  auto* dialog = qobject_cast<TReplaceDialog*>(w->ReplaceDialog());
  if (!dialog)
    return nullptr;
  dialog->FindWhat->setText(text);
  dialog->ReplaceWith->setText(replacement);
  return dialog;
}

void TestReplaceAnswering::eventsRunAndEditsAreIgnored() {
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

  QVERIFY(!editor->Replacing());
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

void TestReplaceAnswering::windowClosedMeanwhile() {
  const QByteArray text = LargeText();
  TRTFchild* w = NewWindow(text);
  const QPointer<TRTFchild> guard(w);
  const TextSearch search("a", true, false);
  bool closed = false;
  EventWatch watch([&] { return guard && guard->Edit()->Replacing(); },
                   [&] {
                     if (!closed)
                       closed = guard->close();
                   });
  QCOMPARE(w->Edit()->ReplaceAll(search, 0, "ccc"), int64_t(-1));
  QVERIFY(closed);
  if (guard) {
    QVERIFY(!guard->Edit()->Replacing());
    QVERIFY(EditorText(*guard) == text);
  }
  QTRY_VERIFY(guard.isNull());
  QVERIFY(dialogs_->messages.isEmpty());
}

void TestReplaceAnswering::windowDestroyedMeanwhile() {
  TRTFchild* w = NewWindow(LargeText());
  const QPointer<TRTFchild> guard(w);
  TReplaceDialog* replace = OpenReplace(w, "b", "ccc");
  QVERIFY(replace);
  const QPointer<TReplaceDialog> dialog(replace);
  EventWatch watch([&] { return guard && guard->Edit()->Replacing(); },
                   [&] { delete guard.data(); });
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
void TestReplaceAnswering::matchesAtEverySliceEdge() {
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

QTEST_MAIN(TestReplaceAnswering)
#include "test_replaceanswering.moc"
