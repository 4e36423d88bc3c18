#ifndef SIFTWELL_OWN_EDITOR
#include "ui/TextEditor.h"

#include "ui/TextPrinter.h"
#include "ui/TextSearch.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QIODevice>
#include <QMimeData>
#include <QVBoxLayout>
#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>
#include <algorithm>
#include <stdexcept>

using Sci = QsciScintillaBase;

namespace {
unsigned long U(int64_t value) {
  return static_cast<unsigned long>(value);
}
} // namespace

// Changes that are not the user's edits: undo collection is off while they
// are made, and the undo history is emptied afterwards, because its earlier
// steps no longer fit the text. A quiet one also holds back the control's
// change notifications, each of which costs work that grows with the
// position of the change: a large fill or a long Replace All would
// otherwise take seconds.
class TextEditor::QuietEdit {
public:
  QuietEdit(QsciScintilla* edit, bool quiet) : edit_(edit), quiet_(quiet) {
    edit_->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0UL);
    if (quiet_) {
      eventMask_ = edit_->SendScintilla(Sci::SCI_GETMODEVENTMASK);
      edit_->SendScintilla(Sci::SCI_SETMODEVENTMASK, 0UL);
    }
  }
  ~QuietEdit() {
    edit_->SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
    edit_->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 1UL);
    if (quiet_) {
      edit_->SendScintilla(Sci::SCI_SETMODEVENTMASK, static_cast<unsigned long>(eventMask_));
      // One notice for all the changes held back.
      emit edit_->textChanged();
    }
  }
  QuietEdit(const QuietEdit&) = delete;
  QuietEdit& operator=(const QuietEdit&) = delete;

private:
  QsciScintilla* edit_;
  bool quiet_;
  long eventMask_ = 0;
};

TextEditor::TextEditor(QWidget* parent) : QWidget(parent), edit_(new QsciScintilla(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_);
  setFocusProxy(edit_);

  // A document without style bytes: plain text needs none, and a large
  // result then costs one byte per character.
  const long doc = edit_->SendScintilla(Sci::SCI_CREATEDOCUMENT, 0UL,
                                        static_cast<long>(Sci::SC_DOCUMENTOPTION_STYLES_NONE));
  if (doc) {
    edit_->SendScintilla(Sci::SCI_SETDOCPOINTER, 0UL, doc);
    edit_->SendScintilla(Sci::SCI_RELEASEDOCUMENT, 0UL, doc);
  }
  edit_->setUtf8(false);
  edit_->SendScintilla(Sci::SCI_SETCODEPAGE, 0UL);
  edit_->setEolMode(QsciScintilla::EolUnix);
  edit_->setWrapMode(QsciScintilla::WrapNone);
  edit_->SendScintilla(Sci::SCI_SETHSCROLLBAR, 1UL);
  edit_->SendScintilla(Sci::SCI_SETVSCROLLBAR, 1UL);
  edit_->SendScintilla(Sci::SCI_SETSCROLLWIDTH, 1UL);
  edit_->SendScintilla(Sci::SCI_SETSCROLLWIDTHTRACKING, 1UL);
  edit_->SendScintilla(Sci::SCI_HIDESELECTION, 0UL);
  for (int margin = 0; margin < 5; ++margin)
    edit_->setMarginWidth(margin, 0);

  connect(edit_, &QsciScintilla::cursorPositionChanged, this, &TextEditor::SelectionChanged);
  connect(edit_, &QsciScintilla::selectionChanged, this, &TextEditor::SelectionChanged);
  edit_->installEventFilter(this);
  edit_->viewport()->installEventFilter(this);
}

TextEditor::~TextEditor() = default;

bool TextEditor::event(QEvent* event) {
  switch (event->type()) {
  case QEvent::FontChange:
    edit_->setFont(font());
    edit_->SendScintilla(Sci::SCI_STYLESETCHARACTERSET,
                         static_cast<unsigned long>(Sci::STYLE_DEFAULT),
                         static_cast<long>(Sci::SC_CHARSET_ANSI));
    break;
  default:
    break;
  }
  return QWidget::event(event);
}

bool TextEditor::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::DragEnter:
  case QEvent::DragMove:
  case QEvent::Drop: {
    // Files are the frame's to open, not text to paste.
    auto* drop = static_cast<QDropEvent*>(event);
    if (!drop->mimeData() || !drop->mimeData()->hasUrls())
      break;
    drop->ignore();
    emit DropOffered(drop);
    if (drop->isAccepted())
      return true;
    break;
  }
  default:
    break;
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Text and selection

int64_t TextEditor::Length() const {
  return edit_->SendScintilla(Sci::SCI_GETLENGTH);
}

QByteArray TextEditor::Range(int64_t from, int64_t to) const {
  from = std::max<int64_t>(0, from);
  to = std::min(to, Length());
  if (to <= from)
    return QByteArray();
  const auto* text = reinterpret_cast<const char*>(
      edit_->SendScintilla(Sci::SCI_GETRANGEPOINTER, U(from), static_cast<long>(to - from)));
  return QByteArray(text, static_cast<qsizetype>(to - from));
}

int64_t TextEditor::LineOf(int64_t position) const {
  return edit_->SendScintilla(Sci::SCI_LINEFROMPOSITION, U(position));
}

int64_t TextEditor::LineStart(int64_t line) const {
  return edit_->SendScintilla(Sci::SCI_POSITIONFROMLINE, U(line));
}

int64_t TextEditor::LineCount() const {
  return edit_->SendScintilla(Sci::SCI_GETLINECOUNT);
}

int64_t TextEditor::FirstVisibleLine() const {
  return edit_->SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE);
}

int64_t TextEditor::VisibleLineCount() const {
  return edit_->SendScintilla(Sci::SCI_LINESONSCREEN);
}

bool TextEditor::WrapsLines() const {
  return edit_->SendScintilla(Sci::SCI_GETWRAPMODE) != Sci::SC_WRAP_NONE;
}

QFont TextEditor::TextFont() const {
  const auto style = static_cast<unsigned long>(Sci::STYLE_DEFAULT);
  QByteArray family(
      edit_->SendScintilla(Sci::SCI_STYLEGETFONT, style, static_cast<void*>(nullptr)) + 1, '\0');
  edit_->SendScintilla(Sci::SCI_STYLEGETFONT, style, static_cast<void*>(family.data()));
  QFont shown(QString::fromLatin1(family.constData()));
  // The control keeps sizes in hundredths of points.
  shown.setPointSizeF(edit_->SendScintilla(Sci::SCI_STYLEGETSIZEFRACTIONAL, style) / 100.0);
  return shown;
}

int64_t TextEditor::Caret() const {
  return edit_->SendScintilla(Sci::SCI_GETCURRENTPOS);
}

int64_t TextEditor::SelectionStart() const {
  return edit_->SendScintilla(Sci::SCI_GETSELECTIONSTART);
}

int64_t TextEditor::SelectionEnd() const {
  return edit_->SendScintilla(Sci::SCI_GETSELECTIONEND);
}

void TextEditor::Select(int64_t anchor, int64_t caret) {
  edit_->SendScintilla(Sci::SCI_SETSEL, U(anchor), static_cast<long>(caret));
}

void TextEditor::GoTo(int64_t position) {
  edit_->SendScintilla(Sci::SCI_GOTOPOS, U(position));
}

void TextEditor::SelectAll() {
  edit_->SendScintilla(Sci::SCI_SELECTALL);
  emit SelectionChanged();
}

QByteArray TextEditor::SelectedText(int64_t limit) const {
  const int64_t start = SelectionStart();
  return Range(start, start + std::min(limit, SelectionEnd() - start));
}

// ---------------------------------------------------------------------------
// Edits

void TextEditor::ReplaceSelection(const QByteArray& bytes, Recording recording) {
  std::unique_ptr<QuietEdit> unrecorded;
  if (recording == Recording::NotUndoable)
    unrecorded = std::make_unique<QuietEdit>(edit_, false);
  edit_->SendScintilla(Sci::SCI_BEGINUNDOACTION);
  edit_->SendScintilla(Sci::SCI_TARGETFROMSELECTION);
  edit_->SendScintilla(Sci::SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()),
                       bytes.constData());
  edit_->SendScintilla(Sci::SCI_ENDUNDOACTION);
  // The caret ends after the text put in.
  GoTo(edit_->SendScintilla(Sci::SCI_GETTARGETEND));
  emit SelectionChanged();
}

void TextEditor::PutClipboard(const QByteArray& bytes) const {
  QApplication::clipboard()->setText(QString::fromLatin1(bytes));
}

void TextEditor::Cut() {
  if (!HasSelection())
    return;
  PutClipboard(SelectedText());
  ReplaceSelection(QByteArray(), Recording::Undoable);
}

void TextEditor::Copy() {
  if (HasSelection())
    PutClipboard(SelectedText());
}

void TextEditor::Paste() {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty())
    return;
  QByteArray bytes = text.toLatin1();
  bytes.replace("\r\n", "\n");
  bytes.replace('\r', '\n');
  ReplaceSelection(bytes, Recording::Undoable);
}

void TextEditor::DeleteSelection() {
  if (HasSelection())
    ReplaceSelection(QByteArray(), Recording::Undoable);
}

void TextEditor::Undo() {
  edit_->undo();
  emit SelectionChanged();
}

bool TextEditor::CanUndo() const {
  return edit_->isUndoAvailable();
}

// ---------------------------------------------------------------------------
// Search

int64_t TextEditor::Find(const TextSearch& search, int64_t from) const {
  const int64_t length = Length();
  from = std::max<int64_t>(0, from);
  if (from >= length)
    return -1;
  // The text in place, from one byte before `from`; the control's own
  // search reads one byte at a time and takes half a second and more for
  // 40 MB. Asking for the rest of the text only moves the control's gap to
  // `first`, where the last replacement left it, not to the end.
  const int64_t first = from > 0 ? from - 1 : 0;
  const auto* text = reinterpret_cast<const unsigned char*>(
      edit_->SendScintilla(Sci::SCI_GETRANGEPOINTER, U(first), static_cast<long>(length - first)));
  return text ? search.FindIn(text, first, length, from) : -1;
}

int64_t TextEditor::ReplaceAll(const TextSearch& search, int64_t from,
                               const QByteArray& replacement) {
  int64_t caret = from;
  {
    QuietEdit unrecorded(edit_, true);
    for (int64_t found = Find(search, caret); found >= 0; found = Find(search, caret)) {
      edit_->SendScintilla(Sci::SCI_SETTARGETRANGE, U(found),
                           static_cast<long>(found + static_cast<int64_t>(search.Length())));
      edit_->SendScintilla(Sci::SCI_REPLACETARGET, static_cast<uintptr_t>(replacement.size()),
                           replacement.constData());
      caret = edit_->SendScintilla(Sci::SCI_GETTARGETEND);
    }
  }
  GoTo(caret);
  emit SelectionChanged();
  return caret;
}

// ---------------------------------------------------------------------------
// Filling

void TextEditor::BeginFill() {
  if (!fill_)
    fill_ = std::make_unique<QuietEdit>(edit_, true);
  edit_->SendScintilla(Sci::SCI_CLEARALL);
  reserved_ = 0;
}

void TextEditor::Append(const char* data, std::size_t length) {
  if (length != 0)
    edit_->SendScintilla(Sci::SCI_APPENDTEXT, static_cast<unsigned long>(length), data);
}

void TextEditor::TakeBack(int64_t length) {
  const int64_t from = std::max<int64_t>(0, Length() - length);
  edit_->SendScintilla(Sci::SCI_DELETERANGE, static_cast<unsigned long>(from),
                       static_cast<long>(Length() - from));
}

int64_t TextEditor::AppendFrom(QIODevice& file, int64_t limit) {
  // One buffer for the whole load: a fresh one each time would be new
  // pages to fault in for every slice.
  loadBuffer_.resize(static_cast<std::size_t>(limit));
  const qint64 got = file.read(loadBuffer_.data(), limit);
  if (got < 0)
    throw std::runtime_error(
        QStringLiteral("Cannot read file %1").arg(file.errorString()).toStdString());
  Append(loadBuffer_.data(), static_cast<std::size_t>(got));
  return got;
}

bool TextEditor::RoomNeeded(uint64_t more) const {
  return more != 0 && static_cast<uint64_t>(Length()) + more + 1 > reserved_;
}

void TextEditor::MakeRoom(uint64_t more) {
  const uint64_t need = static_cast<uint64_t>(Length()) + more + 1;
  // Half as much again: few moves, and at most half the text unused.
  reserved_ = need + need / 2;
  edit_->SendScintilla(Sci::SCI_ALLOCATE, static_cast<unsigned long>(reserved_));
}

void TextEditor::MakeExactRoom(uint64_t more) {
  reserved_ = static_cast<uint64_t>(Length()) + more + 1;
  edit_->SendScintilla(Sci::SCI_ALLOCATE, static_cast<unsigned long>(reserved_));
}

void TextEditor::EndFill() {
  if (!fill_)
    return;
  fill_.reset();
  loadBuffer_ = std::vector<char>();
  edit_->SendScintilla(Sci::SCI_SETSAVEPOINT);
  emit SelectionChanged();
}

// ---------------------------------------------------------------------------
// Files and printing

int64_t TextEditor::WriteCrLf(QIODevice& out, int64_t from, int64_t limit, bool& ok) const {
  const int64_t to = std::min(Length(), from + limit);
  const QByteArray text = Range(from, to);
  QByteArray chunk;
  chunk.reserve(text.size() + text.size() / 8 + 16);
  for (char c : text) {
    if (c == '\n')
      chunk.append('\r');
    chunk.append(c);
  }
  ok = out.write(chunk) == chunk.size();
  return to;
}

bool TextEditor::Print(QPrinter& printer) const {
  return PrintText(*this, printer);
}

void TextEditor::ReserveKeys(const QList<QKeySequence>& keys) {
  // The control's own bindings (line cut on Ctrl+L, duplicate on Ctrl+D,
  // transpose on Ctrl+T, its clipboard commands) would otherwise take these
  // keys before the menu items that own them.
  QList<int> combined;
  for (const QKeySequence& key : keys)
    if (!key.isEmpty())
      combined.append(key[0].toCombined());
  for (QsciCommand* command : edit_->standardCommands()->commands()) {
    if (combined.contains(command->key()))
      command->setKey(0);
    if (combined.contains(command->alternateKey()))
      command->setAlternateKey(0);
  }
}

#endif // SIFTWELL_OWN_EDITOR
