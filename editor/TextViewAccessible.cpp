#include "editor/TextViewAccessible.h"

#include "editor/PasteFilter.h"
#include "editor/TextView.h"
#include "editor/WordRule.h"

#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

QAccessibleInterface* MakeInterface(const QString& key, QObject* object) {
  if (key != QLatin1String(TextView::staticMetaObject.className()))
    return nullptr;
  auto* view = qobject_cast<TextView*>(object);
  return view ? new TextViewAccessible(view) : nullptr;
}

int ToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// Text from assistive technology becomes bytes as pasted text does.
QByteArray Bytes(const QString& text) {
  PasteFilter filter;
  filter.AddText(text);
  const std::string bytes = filter.Finish().Text();
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool LineLike(QAccessible::TextBoundaryType type) {
  // Each run is a line of its own: a sentence or a paragraph is a line.
  return type == QAccessible::LineBoundary || type == QAccessible::SentenceBoundary ||
         type == QAccessible::ParagraphBoundary;
}

} // namespace

TextViewAccessible::TextViewAccessible(TextView* view)
    : QAccessibleWidget(view, QAccessible::EditableText), toldCaret_(view->Caret()),
      toldStart_(view->HasSelection() ? view->SelectionStart() : -1),
      toldEnd_(view->HasSelection() ? view->SelectionEnd() : -1) {}

void TextViewAccessible::Install() {
  QAccessible::installFactory(MakeInterface);
}

TextView* TextViewAccessible::View() const {
  return static_cast<TextView*>(widget());
}

int64_t TextViewAccessible::Count() const {
  return std::min<int64_t>(View()->Length(), INT_MAX);
}

// ---------------------------------------------------------------------------
// The object

QAccessible::Role TextViewAccessible::role() const {
  return QAccessible::EditableText;
}

QAccessible::State TextViewAccessible::state() const {
  QAccessible::State state = QAccessibleWidget::state();
  state.editable = true;
  state.multiLine = true;
  state.selectableText = true;
  return state;
}

int TextViewAccessible::childCount() const {
  return 0;
}

QAccessibleInterface* TextViewAccessible::child(int) const {
  return nullptr;
}

int TextViewAccessible::indexOfChild(const QAccessibleInterface*) const {
  return -1;
}

QAccessibleInterface* TextViewAccessible::childAt(int, int) const {
  return nullptr;
}

void* TextViewAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface)
    return static_cast<QAccessibleTextInterface*>(this);
  if (type == QAccessible::EditableTextInterface)
    return static_cast<QAccessibleEditableTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

// ---------------------------------------------------------------------------
// Caret and selection: the view has one selection at most.

void TextViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  const bool exists = selectionIndex == 0 && View()->HasSelection();
  *startOffset = exists ? ToInt(View()->SelectionStart()) : 0;
  *endOffset = exists ? ToInt(View()->SelectionEnd()) : 0;
}

int TextViewAccessible::selectionCount() const {
  return View()->HasSelection() ? 1 : 0;
}

void TextViewAccessible::addSelection(int startOffset, int endOffset) {
  // A second selection takes the place of the first.
  setSelection(0, startOffset, endOffset);
}

void TextViewAccessible::removeSelection(int selectionIndex) {
  if (selectionIndex == 0)
    View()->GoTo(View()->Caret());
}

void TextViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
  if (selectionIndex == 0)
    View()->Select(std::max(0, startOffset), std::max(0, endOffset));
}

int TextViewAccessible::cursorPosition() const {
  return ToInt(View()->Caret());
}

void TextViewAccessible::setCursorPosition(int position) {
  View()->GoTo(std::max(0, position));
}

// ---------------------------------------------------------------------------
// Text

QString TextViewAccessible::Read(const TextView& view, int64_t from, int64_t to, int limit) {
  to = std::min<int64_t>(to, from + limit);
  QString text;
  if (to <= from)
    return text;
  text.reserve(static_cast<qsizetype>(to - from));
  view.Text().VisitRange(static_cast<std::size_t>(from), static_cast<std::size_t>(to),
                         [&text](const char* data, std::size_t length) {
                           text.append(QLatin1StringView(data, static_cast<qsizetype>(length)));
                         });
  return text;
}

QString TextViewAccessible::text(int startOffset, int endOffset) const {
  const int64_t count = Count();
  // -1 for the end, as AT-SPI asks for "the rest".
  const int64_t end = endOffset < 0 ? count : std::min<int64_t>(endOffset, count);
  return Read(*View(), std::clamp<int64_t>(startOffset, 0, count), end);
}

int TextViewAccessible::characterCount() const {
  return ToInt(Count());
}

TextViewAccessible::Piece TextViewAccessible::LineAt(int64_t offset) const {
  const TextView& view = *View();
  const int64_t line = view.LineOf(offset);
  return Piece{view.LineStart(line), std::min(view.LineEnd(line) + 1, Count())};
}

TextViewAccessible::Piece TextViewAccessible::WordAt(int64_t offset) const {
  const TextBuffer& text = View()->Text();
  // At the end, the run that ends there.
  if (offset == Count() && offset > 0)
    --offset;
  if (offset == Count())
    return Piece{offset, offset};
  const ByteClass kind = WordRule::ClassOf(text.At(static_cast<std::size_t>(offset)));
  if (kind == ByteClass::LineEnd)
    return Piece{offset, offset + 1};
  const auto at = static_cast<std::size_t>(offset);
  const auto start = static_cast<int64_t>(WordRule::RunStart(text, at, kind));
  const auto end = static_cast<int64_t>(WordRule::RunEnd(text, at + 1, kind));
  return Piece{start, std::min(end, Count())};
}

TextViewAccessible::Piece TextViewAccessible::PieceAt(int64_t offset,
                                                      QAccessible::TextBoundaryType type) const {
  if (type == QAccessible::NoBoundary)
    return Piece{0, Count()};
  if (LineLike(type))
    return LineAt(offset);
  if (type == QAccessible::WordBoundary)
    return WordAt(offset);
  return Piece{offset, std::min(offset + 1, Count())};
}

QString TextViewAccessible::Answer(Piece piece, int* startOffset, int* endOffset) const {
  *startOffset = ToInt(piece.start);
  *endOffset = ToInt(piece.end);
  return Read(*View(), piece.start, piece.end);
}

QString TextViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = -1;
  const int64_t at = offset == -1 ? Count() : offset;
  if (at < 0 || at > Count())
    return QString();
  return Answer(PieceAt(at, boundaryType), startOffset, endOffset);
}

QString TextViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = -1;
  const int64_t at = offset == -1 ? Count() : offset;
  if (at < 0 || at > Count() || boundaryType == QAccessible::NoBoundary)
    return QString();
  const Piece here = PieceAt(at, boundaryType);
  if (here.start == 0)
    return QString();
  return Answer(PieceAt(here.start - 1, boundaryType), startOffset, endOffset);
}

QString TextViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = -1;
  if (offset < 0 || offset >= Count() || boundaryType == QAccessible::NoBoundary)
    return QString();
  const Piece here = PieceAt(offset, boundaryType);
  if (here.end >= Count())
    return QString();
  return Answer(PieceAt(here.end, boundaryType), startOffset, endOffset);
}

QString TextViewAccessible::attributes(int, int* startOffset, int* endOffset) const {
  // The text has one look throughout.
  *startOffset = 0;
  *endOffset = characterCount();
  return QString();
}

// ---------------------------------------------------------------------------
// Geometry, in screen coordinates

QRect TextViewAccessible::characterRect(int offset) const {
  const TextView& view = *View();
  if (offset < 0 || offset > Count())
    return QRect();
  const int64_t line = view.LineOf(offset);
  const int64_t column = view.ColumnOf(offset);
  // A tab is as wide as the columns it takes; the line break one cell.
  const int64_t next = offset < view.LineEnd(line) ? view.ColumnOf(offset + 1) : column + 1;
  const double x = view.XOfColumn(column);
  const double y = static_cast<double>(line - view.FirstVisibleLine()) * view.LineHeight();
  // Far out of view a place does not fit a screen's coordinates.
  constexpr double kReach = 1 << 28;
  if (std::abs(x) > kReach || std::abs(y) > kReach)
    return QRect();
  const QRect local(static_cast<int>(std::floor(x)), static_cast<int>(y),
                    static_cast<int>(std::ceil((next - column) * view.ColumnWidth())),
                    view.LineHeight());
  return local.translated(view.viewport()->mapToGlobal(QPoint(0, 0)));
}

int TextViewAccessible::offsetAtPoint(const QPoint& point) const {
  const TextView& view = *View();
  const QPoint local = view.viewport()->mapFromGlobal(point);
  const int64_t line = view.FirstVisibleLine() + local.y() / view.LineHeight();
  if (!view.viewport()->rect().contains(local) || line >= view.LineCount())
    return -1;
  // PositionAt gives the nearest boundary between characters; the one
  // under the point starts at the last boundary left of it.
  int64_t at = view.PositionAt(local);
  if (at > view.LineStart(line) && view.XOfColumn(view.ColumnOf(at)) > local.x())
    --at;
  return ToInt(at);
}

void TextViewAccessible::scrollToSubstring(int startIndex, int) {
  TextView& view = *View();
  const int64_t at = std::clamp<int64_t>(startIndex, 0, Count());
  const int64_t line = view.LineOf(at);
  const int64_t column = view.ColumnOf(at);
  int64_t first = view.FirstVisibleLine();
  int64_t left = view.FirstVisibleColumn();
  if (line < first || line >= first + view.VisibleLineCount())
    first = line - view.VisibleLineCount() / 2;
  if (column < left || column >= left + view.VisibleColumnCount())
    left = column - view.VisibleColumnCount() / 4;
  view.ScrollTo(std::max<int64_t>(0, first), std::max<int64_t>(0, left));
}

// ---------------------------------------------------------------------------
// Edits, undoable as the user's own

void TextViewAccessible::deleteText(int startOffset, int endOffset) {
  replaceText(startOffset, endOffset, QString());
}

void TextViewAccessible::insertText(int offset, const QString& text) {
  replaceText(offset, offset, text);
}

void TextViewAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
  const int64_t from = std::clamp<int64_t>(startOffset, 0, Count());
  const int64_t to = std::clamp<int64_t>(endOffset, from, Count());
  View()->Replace(from, to, Bytes(text), TextView::Recording::Undoable);
}

// ---------------------------------------------------------------------------
// Notices

TextViewAccessible* TextViewAccessible::Listening(TextView* view) {
  if (!QAccessible::isActive())
    return nullptr;
  return dynamic_cast<TextViewAccessible*>(QAccessible::queryAccessibleInterface(view));
}

void TextViewAccessible::NoteRemoval(TextView* view, int64_t from, int64_t to) {
  if (from >= std::min<int64_t>(to, INT_MAX) || !Listening(view))
    return;
  QAccessibleTextRemoveEvent event(view, ToInt(from), Read(*view, from, to, kMaxNotice));
  QAccessible::updateAccessibility(&event);
}

void TextViewAccessible::NoteInsertion(TextView* view, int64_t from, int64_t to) {
  if (from >= std::min<int64_t>(to, INT_MAX) || !Listening(view))
    return;
  QAccessibleTextInsertEvent event(view, ToInt(from), Read(*view, from, to, kMaxNotice));
  // The text told may be cut short; the caret is after all of it.
  event.setCursorPosition(ToInt(to));
  QAccessible::updateAccessibility(&event);
}

void TextViewAccessible::NoteSelection(TextView* view) {
  TextViewAccessible* told = Listening(view);
  if (!told)
    return;
  // An empty selection is none, wherever the caret takes it.
  const int64_t start = view->HasSelection() ? view->SelectionStart() : -1;
  const int64_t end = view->HasSelection() ? view->SelectionEnd() : -1;
  if (start != told->toldStart_ || end != told->toldEnd_) {
    told->toldStart_ = start;
    told->toldEnd_ = end;
    QAccessibleTextSelectionEvent event(view, ToInt(view->SelectionStart()),
                                        ToInt(view->SelectionEnd()));
    event.setCursorPosition(ToInt(view->Caret()));
    QAccessible::updateAccessibility(&event);
  }
  if (view->Caret() != told->toldCaret_) {
    told->toldCaret_ = view->Caret();
    QAccessibleTextCursorEvent event(view, ToInt(told->toldCaret_));
    QAccessible::updateAccessibility(&event);
  }
}
