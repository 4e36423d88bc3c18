#include "ui/FindReplaceController.h"

#include "ui/DialogService.h"
#include "ui/TFindDialog.h"
#include "ui/TRTFchild.h"
#include "ui/TReplaceDialog.h"
#include "ui/UnrecordedEdit.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>

#include <array>
#include <vector>

namespace {

using Sci = QsciScintillaBase;

// The text as the editor's bytes; false when a character has no byte in
// ISO 8859-1, so that it can never match the 8-bit text.
bool ToEditorBytes(const QString& text, QByteArray& bytes) {
  bytes = text.toLatin1();
  return QString::fromLatin1(bytes) == text;
}

// The classes a byte may belong to when whole words are matched; the
// editor's own word, blank and punctuation sets decide them.
enum ByteClass : unsigned char { NewLine, Blank, WordChar, Punctuation };

void MarkClass(QsciScintilla* edit, unsigned int message, ByteClass cls,
               std::array<unsigned char, 256>& classes) {
  const long count = edit->SendScintilla(message, 0UL, static_cast<void*>(nullptr));
  QByteArray chars(count + 1, '\0');
  edit->SendScintilla(message, 0UL, static_cast<void*>(chars.data()));
  for (qsizetype i = 0; i < count; ++i)
    classes[static_cast<unsigned char>(chars.at(i))] = cls;
}

const std::array<unsigned char, 256>& ExactFold() {
  static const std::array<unsigned char, 256> fold = [] {
    std::array<unsigned char, 256> f{};
    for (int b = 0; b < 256; ++b)
      f[b] = static_cast<unsigned char>(b);
    return f;
  }();
  return fold;
}

// Letters compare without case as ISO 8859-1 letters: A-Z with a-z, and
// the accented capitals with their small letters.
const std::array<unsigned char, 256>& CaselessFold() {
  static const std::array<unsigned char, 256> fold = [] {
    std::array<unsigned char, 256> f = ExactFold();
    for (int b = 'A'; b <= 'Z'; ++b)
      f[b] = static_cast<unsigned char>(b + 32);
    for (int b = 0xC0; b <= 0xDE; ++b)
      if (b != 0xD7)
        f[b] = static_cast<unsigned char>(b + 32);
    return f;
  }();
  return fold;
}

} // namespace

LastSearchRecord& LastSearch() {
  static LastSearchRecord record;
  return record;
}

FindReplaceController::FindReplaceController(TRTFchild* window)
    : QObject(window), window_(window) {}

TFindDialog* FindReplaceController::FindDialog() {
  if (!findDialog_) {
    findDialog_ = new TFindDialog(window_);
    connect(findDialog_, &TFindDialog::FindNext, window_, &TRTFchild::FindDialogFind);
    window_->FindDialog = findDialog_;
  }
  return findDialog_;
}

TReplaceDialog* FindReplaceController::ReplaceDialog() {
  if (!replaceDialog_) {
    replaceDialog_ = new TReplaceDialog(window_);
    connect(replaceDialog_, &TFindDialog::FindNext, window_, &TRTFchild::FindDialogFind);
    connect(replaceDialog_, &TReplaceDialog::Replace, window_, &TRTFchild::ReplaceDialogReplace);
    window_->ReplaceDialog = replaceDialog_;
  }
  return replaceDialog_;
}

QString FindReplaceController::SelectionStart() const {
  // Only the first characters are wanted: read them alone rather than a
  // selection that may span the whole document.
  QsciScintilla* edit = window_->Edit;
  const long start = edit->SendScintilla(Sci::SCI_GETSELECTIONSTART);
  const long end = edit->SendScintilla(Sci::SCI_GETSELECTIONEND);
  const long count = qMin<long>(end - start, TFindDialog::MaxText);
  if (count <= 0)
    return QString();
  QByteArray bytes(count, '\0');
  edit->SendScintilla(Sci::SCI_GETTEXTRANGE, start, start + count, bytes.data());
  return QString::fromLatin1(bytes);
}

void FindReplaceController::ShowDialog(TFindDialog* dialog) {
  if (!dialog->isVisible())
    dialog->SetFindText(SelectionStart());
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void FindReplaceController::FindClick() {
  ShowDialog(FindDialog());
}

void FindReplaceController::ReplaceMenuClick() {
  ShowDialog(ReplaceDialog());
}

void FindReplaceController::TakeSearchFrom(QObject* sender) {
  if (const auto* dialog = qobject_cast<const TFindDialog*>(sender)) {
    LastSearchRecord& last = LastSearch();
    last.Options.MatchCase = dialog->MatchCase();
    last.Options.WholeWord = dialog->WholeWord();
    last.Text = dialog->FindText();
  }
}

// LastSearch() prepared for the editor's bytes. The search is the
// control's forward search with its match-case and whole-word rules, done
// here over the text in place: the control's own search reads one byte at a
// time through its buffer and takes half a second and more for 40 MB.
struct FindReplaceController::Pattern {
  QByteArray bytes; // empty: nothing can match
  const std::array<unsigned char, 256>* fold = nullptr;
  std::vector<unsigned char> folded; // folded pattern bytes, front first
  std::array<long, 256> shift{};     // Horspool shift by folded byte
  bool wholeWord = false;
  std::array<unsigned char, 256> classes{};
};

FindReplaceController::Pattern FindReplaceController::MakePattern() const {
  const LastSearchRecord& last = LastSearch();
  Pattern p;
  if (!ToEditorBytes(last.Text, p.bytes))
    p.bytes.clear();
  p.fold = last.Options.MatchCase ? &ExactFold() : &CaselessFold();
  const qsizetype n = p.bytes.size();
  p.shift.fill(n);
  p.folded.resize(static_cast<size_t>(n));
  for (qsizetype i = 0; i < n; ++i) {
    p.folded[i] = (*p.fold)[static_cast<unsigned char>(p.bytes.at(i))];
    if (i < n - 1)
      p.shift[p.folded[i]] = n - 1 - i;
  }
  p.wholeWord = last.Options.WholeWord;
  if (p.wholeWord) {
    QsciScintilla* edit = window_->Edit;
    p.classes.fill(NewLine);
    MarkClass(edit, Sci::SCI_GETWHITESPACECHARS, Blank, p.classes);
    MarkClass(edit, Sci::SCI_GETPUNCTUATIONCHARS, Punctuation, p.classes);
    MarkClass(edit, Sci::SCI_GETWORDCHARS, WordChar, p.classes);
  }
  return p;
}

long FindReplaceController::Search(const Pattern& p, long from) const {
  const long n = p.bytes.size();
  QsciScintilla* edit = window_->Edit;
  const long length = edit->SendScintilla(Sci::SCI_GETLENGTH);
  from = qMax(0L, from);
  if (n == 0 || length - from < n)
    return -1;
  // From one byte before `from`, which decides whether a word starts there.
  const long base = from > 0 ? from - 1 : 0;
  const auto* text = reinterpret_cast<const unsigned char*>(edit->SendScintilla(
      Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(base), length - base));
  if (!text)
    return -1;
  const auto at = [text, base](long position) { return text[position - base]; };
  const auto& fold = *p.fold;

  // A match is a whole word when a word starts at its first byte and ends
  // after its last: the class changes there and is a word or punctuation
  // class inside.
  const auto wordStart = [&](long pos) {
    if (pos == 0)
      return true;
    const unsigned char c = p.classes[at(pos)];
    return (c == WordChar || c == Punctuation) && c != p.classes[at(pos - 1)];
  };
  const auto wordEnd = [&](long end) {
    if (end >= length)
      return true;
    const unsigned char before = p.classes[at(end - 1)];
    return (before == WordChar || before == Punctuation) && before != p.classes[at(end)];
  };

  const unsigned char lastByte = p.folded[n - 1];
  for (long pos = from; pos <= length - n;) {
    const unsigned char c = fold[at(pos + n - 1)];
    if (c == lastByte) {
      long i = n - 2;
      while (i >= 0 && fold[at(pos + i)] == p.folded[i])
        --i;
      if (i < 0 && (!p.wholeWord || (wordStart(pos) && wordEnd(pos + n)))) {
        // The match becomes the target, for a replacement.
        edit->SendScintilla(Sci::SCI_SETTARGETRANGE, static_cast<unsigned long>(pos), pos + n);
        return pos;
      }
    }
    pos += p.shift[c];
  }
  return -1;
}

void FindReplaceController::ReportEnd(QObject* sender) {
  auto* dialog = qobject_cast<QWidget*>(sender);
  QWidget* parent = dialog && dialog->isVisible() ? dialog : window_;
  Dialogs().MessageBox(parent, QStringLiteral("End of document reached."),
                       QStringLiteral("Find/Replace"), DialogService::Buttons::Ok,
                       DialogService::Icon::None);
}

bool FindReplaceController::FindDialogFind(QObject* sender) {
  TakeSearchFrom(sender);
  if (LastSearch().Text.isEmpty())
    return false;

  QsciScintilla* edit = window_->Edit;
  const long start = edit->SendScintilla(Sci::SCI_GETSELECTIONSTART);
  const long end = edit->SendScintilla(Sci::SCI_GETSELECTIONEND);
  long caret = edit->SendScintilla(Sci::SCI_GETCURRENTPOS);
  if (end > start) {
    // One character past the start, so that overlapping matches are found.
    caret = start + 1;
    edit->SendScintilla(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(caret));
  }

  const long found = Search(MakePattern(), caret);
  if (found < 0) {
    ReportEnd(sender);
    return false;
  }
  // The caret ends after the match and is scrolled into view.
  const long matchLength = LastSearch().Text.size();
  edit->SendScintilla(Sci::SCI_SETSEL, static_cast<unsigned long>(found), found + matchLength);
  return true;
}

void FindReplaceController::ReplaceSelection(const QByteArray& replacement) {
  QsciScintilla* edit = window_->Edit;
  UnrecordedEdit unrecorded(edit, false);
  edit->SendScintilla(Sci::SCI_TARGETFROMSELECTION);
  edit->SendScintilla(Sci::SCI_REPLACETARGET, static_cast<uintptr_t>(replacement.size()),
                      replacement.constData());
  edit->SendScintilla(Sci::SCI_SETEMPTYSELECTION,
                      static_cast<unsigned long>(edit->SendScintilla(Sci::SCI_GETTARGETEND)));
}

void FindReplaceController::ReplaceDialogReplace(bool all) {
  TReplaceDialog* dialog = ReplaceDialog();
  QsciScintilla* edit = window_->Edit;
  // A character outside ISO 8859-1 becomes "?", as pasted text does.
  const QByteArray replacement = dialog->ReplaceText().toLatin1();

  const auto hasSelection = [edit] {
    return edit->SendScintilla(Sci::SCI_GETSELECTIONEND) >
           edit->SendScintilla(Sci::SCI_GETSELECTIONSTART);
  };
  if (hasSelection())
    ReplaceSelection(replacement);
  if (!all) {
    FindDialogFind(dialog);
    return;
  }

  // Replace All: replace each match and search on after the inserted text,
  // until the first search that fails. The matches are replaced in place
  // without selecting each one, so a long run neither scrolls nor reports
  // every step; the end is the same as one Replace after another.
  TakeSearchFrom(dialog);
  if (LastSearch().Text.isEmpty())
    return;
  const Pattern pattern = MakePattern();
  long caret = edit->SendScintilla(Sci::SCI_GETCURRENTPOS);
  {
    UnrecordedEdit unrecorded(edit, true);
    for (long found = Search(pattern, caret); found >= 0; found = Search(pattern, caret)) {
      // The search left the match as the target.
      edit->SendScintilla(Sci::SCI_REPLACETARGET, static_cast<uintptr_t>(replacement.size()),
                          replacement.constData());
      caret = edit->SendScintilla(Sci::SCI_GETTARGETEND);
    }
  }
  edit->SendScintilla(Sci::SCI_SETEMPTYSELECTION, static_cast<unsigned long>(caret));
  edit->SendScintilla(Sci::SCI_SCROLLCARET);
  ReportEnd(dialog);
}
