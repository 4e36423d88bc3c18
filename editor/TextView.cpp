#include "editor/TextView.h"

#include "editor/LinePainter.h"
#include "editor/PasteFilter.h"
#include "editor/SnapshotMimeData.h"
#include "editor/TextViewAccessible.h"
#include "editor/WordRule.h"
#include "memory/MemoryHeadroom.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::size_t U(int64_t value) {
  return static_cast<std::size_t>(std::max<int64_t>(0, value));
}

// Clicks closer together than this, in pixels, count as one place.
constexpr int kClickSlop = 4;
// Dragging past an edge scrolls this often, in milliseconds.
constexpr int kDragScrollMsecs = 40;
constexpr int kSpillCollectMsecs = 20;
// While a pass appends (every few milliseconds), the scroll bars follow the
// text at this pace: each repaint of them is dear, more so on a loaded
// machine, where the raster engine's helper threads come late.
constexpr int kGrowingBarsMsecs = 200;
// An input method is told of this many bytes of the caret's line on either
// side of it, and of the selection's first ones.
constexpr std::size_t kImContext = 4096;

// How far a selection dragged `distance` pixels past an edge scrolls in a
// tick: a step, and a step more for each `stepPixels` further, so that a
// long way is soon covered; `most` at most.
int64_t EdgeScroll(int distance, qreal stepPixels, int64_t step, int64_t most) {
  const auto steps = 1 + static_cast<int64_t>(distance / std::max<qreal>(1, stepPixels));
  return std::min(step * steps, std::max(step, most));
}

QFont DefaultFont() {
  // The document font of the program: Courier, 13 pixels high at 96 dpi.
  QFont font(QStringLiteral("Courier"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(13);
  return font;
}

} // namespace

TextView::TextView(QWidget* parent)
    : QAbstractScrollArea(parent), columns_(text_),
      painter_(std::make_unique<LinePainter>(DefaultFont())) {
  // A document's text may be larger than the memory: beyond the budget it
  // lives on disk.
  text_.AllowSpill();
  setFont(DefaultFont());
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAcceptDrops(true);
  clock_.start();
  connect(this, &TextView::SelectionChanged, this,
          [this] { TextViewAccessible::NoteSelection(this); });
  connect(&blink_, &QTimer::timeout, this, [this] {
    caretShown_ = !caretShown_;
    viewport()->update(CaretRect());
  });
  dragScroll_.setInterval(kDragScrollMsecs);
  connect(&dragScroll_, &QTimer::timeout, this, &TextView::AutoScroll);
  dropScroll_.setInterval(kDragScrollMsecs);
  // Chunks written to disk leave memory once their writes are seen done.
  spillCollect_.setInterval(kSpillCollectMsecs);
  connect(&spillCollect_, &QTimer::timeout, this, [this] {
    text_.CollectSpilled(false);
    if (!text_.SpillPending())
      spillCollect_.stop();
  });
  connect(&dropScroll_, &QTimer::timeout, this, &TextView::DropScroll);
  barsDue_.setSingleShot(true);
  barsDue_.setInterval(kGrowingBarsMsecs);
  connect(&barsDue_, &QTimer::timeout, this, &TextView::ShowScrollBars);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (!settingBars_)
      firstLine_ = barLines_.FromBar(value);
    viewport()->update();
  });
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (!settingBars_)
      firstColumn_ = barColumns_.FromBar(value);
    viewport()->update();
  });
  UpdateScrollBars();
}

TextView::~TextView() = default;

// ---------------------------------------------------------------------------
// Text and view queries

QByteArray TextView::Range(int64_t from, int64_t to) const {
  const std::size_t begin = U(from);
  const std::size_t end = std::min(U(to), text_.Size());
  if (end <= begin)
    return QByteArray();
  QByteArray bytes(static_cast<qsizetype>(end - begin), Qt::Uninitialized);
  text_.CopyOut(begin, end, bytes.data());
  return bytes;
}

int64_t TextView::LineOf(int64_t position) const {
  return static_cast<int64_t>(text_.LineOf(U(position)));
}

int64_t TextView::LineStart(int64_t line) const {
  return static_cast<int64_t>(text_.LineStart(U(line)));
}

int64_t TextView::LineEnd(int64_t line) const {
  return static_cast<int64_t>(text_.LineEnd(U(line)));
}

int64_t TextView::VisibleLineCount() const {
  return std::max(1, viewport()->height() / painter_->LineHeight());
}

int64_t TextView::VisibleColumnCount() const {
  return std::max<int64_t>(
      1, static_cast<int64_t>(std::floor(viewport()->width() / painter_->CellWidth())));
}

int64_t TextView::ColumnOf(int64_t position) const {
  const std::size_t line = text_.LineOf(U(position));
  return columns_.ColumnOf(text_.LineStart(line), text_.LineEnd(line), U(position));
}

qreal TextView::ColumnWidth() const {
  return painter_->CellWidth();
}

int TextView::LineHeight() const {
  return painter_->LineHeight();
}

qreal TextView::XOfColumn(int64_t column) const {
  return painter_->X(column, firstColumn_);
}

int64_t TextView::PositionAt(QPoint point) const {
  const int64_t row = point.y() < 0 ? -1 : point.y() / painter_->LineHeight();
  const auto line =
      static_cast<std::size_t>(std::clamp<int64_t>(firstLine_ + row, 0, LineCount() - 1));
  const int64_t column =
      firstColumn_ + static_cast<int64_t>(std::lround(point.x() / painter_->CellWidth()));
  return static_cast<int64_t>(
      columns_.NearestBoundary(text_.LineStart(line), text_.LineEnd(line), column));
}

// ---------------------------------------------------------------------------
// Scrolling

void TextView::NoteWidth(int64_t columns) {
  if (columns <= widest_)
    return;
  widest_ = columns;
  FollowSize();
}

void TextView::UpdateScrollBars() {
  MeasureScroll();
  ShowScrollBars();
}

void TextView::MeasureScroll() {
  lineScroll_.SetRange(LineCount() - VisibleLineCount(), VisibleLineCount());
  // One column more than the widest line, for the caret after its end.
  columnScroll_.SetRange(widest_ + 1 - VisibleColumnCount(), VisibleColumnCount());
  firstLine_ = std::clamp<int64_t>(firstLine_, 0, lineScroll_.Maximum());
  firstColumn_ = std::clamp<int64_t>(firstColumn_, 0, columnScroll_.Maximum());
}

void TextView::FollowSize() {
  if (!supply_) {
    UpdateScrollBars();
    return;
  }
  // A pass appends every few milliseconds: the bars follow at their pace.
  MeasureScroll();
  if (!barsDue_.isActive())
    barsDue_.start();
}

void TextView::ShowScrollBars() {
  barsDue_.stop();
  settingBars_ = true;
  auto apply = [](QScrollBar* bar, const ScrollMapping& map, int64_t first) {
    bar->setRange(0, map.BarMaximum());
    bar->setPageStep(map.BarPage());
    bar->setSingleStep(map.Scaled() ? std::max(1, map.BarPage() / 16) : 1);
    bar->setValue(map.ToBar(first));
  };
  apply(verticalScrollBar(), lineScroll_, firstLine_);
  apply(horizontalScrollBar(), columnScroll_, firstColumn_);
  barLines_ = lineScroll_;
  barColumns_ = columnScroll_;
  settingBars_ = false;
}

void TextView::ScrollTo(int64_t line, int64_t column) {
  firstLine_ = line;
  firstColumn_ = column;
  UpdateScrollBars();
  viewport()->update();
}

void TextView::scrollContentsBy(int, int) {
  viewport()->update();
}

void TextView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void TextView::EnsureCaretVisible() {
  const std::size_t line = text_.LineOf(caret_);
  const std::size_t start = text_.LineStart(line);
  const std::size_t end = text_.LineEnd(line);
  const int64_t column = columns_.ColumnOf(start, end, caret_);
  NoteWidth(columns_.ColumnOf(start, end, end));
  int64_t first = firstLine_;
  const auto caretLine = static_cast<int64_t>(line);
  if (caretLine < first)
    first = caretLine;
  else if (caretLine >= first + VisibleLineCount())
    first = caretLine - VisibleLineCount() + 1;
  int64_t left = firstColumn_;
  const int64_t columns = VisibleColumnCount();
  if (column < left)
    left = std::max<int64_t>(0, column - columns / 4);
  else if (column >= left + columns)
    left = column - columns + 1 + columns / 4;
  if (first != firstLine_ || left != firstColumn_)
    ScrollTo(first, left);
}

// ---------------------------------------------------------------------------
// Selection

void TextView::SetSelection(std::size_t anchor, std::size_t caret, bool keepColumn) {
  anchor = std::min(anchor, text_.Size());
  caret = std::min(caret, text_.Size());
  if (!keepColumn)
    wantedColumn_ = -1;
  const bool moved = anchor != anchor_ || caret != caret_;
  anchor_ = anchor;
  caret_ = caret;
  EnsureCaretVisible();
  RestartBlink();
  viewport()->update();
  if (moved)
    emit SelectionChanged();
}

void TextView::PlaceAfterChange(std::size_t caret) {
  // The text changed under the caret, which is news even where it stays.
  anchor_ = caret_ = std::min(caret, text_.Size());
  SetSelection(caret_, caret_);
  emit SelectionChanged();
}

void TextView::Select(int64_t anchor, int64_t caret) {
  history_.Seal();
  SetSelection(U(anchor), U(caret));
}

void TextView::SelectAll() {
  Select(0, Length());
  OfferPrimary();
}

void TextView::OfferPrimary() const {
  if (HasSelection() && QApplication::clipboard()->supportsSelection())
    PutOnClipboard(QClipboard::Selection);
}

QByteArray TextView::SelectedText(int64_t limit) const {
  const int64_t start = SelectionStart();
  return Range(start, start + std::min(std::max<int64_t>(0, limit), SelectionEnd() - start));
}

// ---------------------------------------------------------------------------
// Edits

void TextView::KeepSpilling() {
  if (text_.SpillPending() && !spillCollect_.isActive())
    spillCollect_.start();
}

void TextView::TextHasChanged() {
  KeepSpilling();
  UpdateScrollBars();
  viewport()->update();
  emit TextChanged();
}

void TextView::Splice(std::size_t from, std::size_t to, const TextPiece& inserted) {
  // A large insertion that the memory left cannot hold is refused before
  // anything changes; the system would not refuse it before it is too late.
  if (inserted.Size() > kCheckedInsert)
    MemoryHeadroom::Require(inserted.Size() + inserted.Size() / 8);
  // Whether the edit can leave the line's columns as they are known. Only
  // small edits (typing) are looked at: a large one is counted again
  // anyway, and looking would cost a scan of all it removes.
  bool plain = to - from + inserted.Size() <= LineColumns::kStep;
  const auto check = [&plain](const char* data, std::size_t length) {
    plain = plain && !std::memchr(data, '\t', length) && !std::memchr(data, '\n', length);
  };
  if (plain) {
    text_.VisitRange(from, to, check);
    inserted.VisitPieces(check);
  }
  TextViewAccessible::NoteRemoval(this, static_cast<int64_t>(from), static_cast<int64_t>(to));
  if (to > from)
    text_.Erase(from, to);
  inserted.InsertInto(text_, from);
  columns_.Replaced(from, to - from, inserted.Size(), plain);
  pieces_.Replaced(from, to - from, inserted.Size());
  TextViewAccessible::NoteInsertion(this, static_cast<int64_t>(from),
                                    static_cast<int64_t>(from + inserted.Size()));
}

void TextView::Edit(const TextPiece& inserted, bool typed) {
  if (busy_)
    return;
  const std::size_t from = U(SelectionStart());
  const std::size_t to = U(SelectionEnd());
  if (from == to && inserted.Empty())
    return;
  AllOrNothing(
      [&] {
        EditStep step{from, TextPiece::Of(text_, from, to), inserted};
        Splice(from, to, inserted);
        if (typed)
          history_.RecordTyping(std::move(step), clock_.elapsed());
        else
          history_.Record(std::move(step));
      },
      inserted.Size());
  TextHasChanged();
  PlaceAfterChange(from + inserted.Size());
}

template <class Change> void TextView::AllOrNothing(Change change, std::size_t inserted) {
  if (inserted != kUnknownSize && room_.Ample(inserted)) {
    change();
    return;
  }
  // Memory is short: the text as it was is kept to fall back on. It shares
  // every chunk with the text, so keeping it costs its index, not its bytes.
  const TextBuffer before = text_.Snapshot();
  const TrackedRanges piecesBefore = pieces_;
  const std::size_t anchor = anchor_;
  const std::size_t caret = caret_;
  try {
    change();
  } catch (const std::bad_alloc&) {
    text_ = before;
    pieces_ = piecesBefore;
    columns_.Clear();
    anchor_ = anchor;
    caret_ = caret;
    TextHasChanged();
    throw;
  }
}

void TextView::Replace(int64_t from, int64_t to, const QByteArray& bytes, Recording recording) {
  if (busy_)
    return;
  anchor_ = std::min(U(from), text_.Size());
  caret_ = std::clamp(U(to), anchor_, text_.Size());
  ReplaceSelection(bytes, recording);
}

void TextView::ReplaceSelection(const QByteArray& bytes, Recording recording) {
  if (busy_)
    return;
  const std::string inserted(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  if (recording == Recording::Undoable) {
    Edit(TextPiece(inserted), false);
    return;
  }
  const std::size_t from = U(SelectionStart());
  Splice(from, U(SelectionEnd()), TextPiece(inserted));
  history_.Clear();
  TextHasChanged();
  PlaceAfterChange(from + inserted.size());
}

void TextView::Type(const QString& text) {
  PasteFilter filter;
  filter.AddText(text);
  TextBuffer typed = filter.Finish();
  if (overtype_ && !HasSelection() && typed.LineCount() == 1) {
    const std::size_t lineEnd = text_.LineEnd(text_.LineOf(caret_));
    anchor_ = std::min(caret_ + typed.Size(), lineEnd);
  }
  Edit(TextPiece::Whole(std::move(typed)), true);
}

void TextView::SetZoom(int steps) {
  constexpr int kMinZoom = -10;
  constexpr int kMaxZoom = 20;
  steps = std::clamp(steps, kMinZoom, kMaxZoom);
  if (steps == zoom_)
    return;
  zoom_ = steps;
  painter_ = std::make_unique<LinePainter>(ShownFont());
  // The view stays on the lines it shows, wherever the caret is.
  UpdateScrollBars();
  viewport()->update();
}

void TextView::SetOvertype(bool on) {
  overtype_ = on;
  viewport()->update(CaretRect());
}

QFont TextView::ShownFont() const {
  QFont shown = font();
  if (shown.pixelSize() > 0)
    shown.setPixelSize(std::max(4, shown.pixelSize() + zoom_));
  else
    shown.setPointSizeF(std::max(3.0, shown.pointSizeF() + zoom_));
  return shown;
}

void TextView::DeleteSelection() {
  if (HasSelection())
    Edit(TextPiece(), false);
}

void TextView::DeleteByKey(EditHistory::Direction direction) {
  if (busy_)
    return;
  if (HasSelection()) {
    DeleteSelection();
    return;
  }
  const bool back = direction == EditHistory::Direction::Backward;
  if (back ? caret_ == 0 : caret_ >= text_.Size())
    return;
  const std::size_t from = back ? caret_ - 1 : caret_;
  AllOrNothing(
      [&] {
        EditStep step{from, TextPiece::Of(text_, from, from + 1), TextPiece()};
        Splice(from, from + 1, TextPiece());
        history_.RecordDeletion(std::move(step), direction, clock_.elapsed());
      },
      0);
  TextHasChanged();
  PlaceAfterChange(from);
}

void TextView::Cut() {
  if (!HasSelection() || busy_)
    return;
  Copy();
  DeleteSelection();
}

void TextView::Copy() {
  if (HasSelection())
    PutOnClipboard(QClipboard::Clipboard);
}

SnapshotMimeData* TextView::SelectionData(std::size_t from, std::size_t to) const {
  auto* data = new SnapshotMimeData(text_, from, to);
  // Said once the asking program has its (empty) answer.
  connect(data, &SnapshotMimeData::TooLarge, this, &TextView::CopyTooLarge, Qt::QueuedConnection);
  return data;
}

void TextView::PutOnClipboard(QClipboard::Mode mode) const {
  QApplication::clipboard()->setMimeData(SelectionData(U(SelectionStart()), U(SelectionEnd())),
                                         mode);
}

void TextView::PasteFrom(QClipboard::Mode mode) {
  if (busy_)
    return;
  const QMimeData* mime = QApplication::clipboard()->mimeData(mode);
  if (!mime || !mime->hasText())
    return;
  PasteFilter filter;
  const auto* own = qobject_cast<const SnapshotMimeData*>(mime);
  // The pasted text is made before it goes in: a large one is checked first.
  const std::size_t size = own ? own->End() - own->Begin() : std::size_t(mime->text().size());
  if (size > kCheckedInsert)
    MemoryHeadroom::Require(size);
  if (own)
    own->Snapshot().VisitRange(own->Begin(), own->End(), [&](const char* data, std::size_t length) {
      filter.AddBytes(data, length);
    });
  else
    filter.AddText(mime->text());
  TextPiece piece = TextPiece::Whole(filter.Finish());
  if (!piece.Empty())
    Edit(piece, false);
}

void TextView::Paste() {
  PasteFrom(QClipboard::Clipboard);
}

void TextView::Restore(std::size_t at, std::size_t removed, const TextPiece& inserted) {
  Splice(at, at + removed, inserted);
  TextHasChanged();
  PlaceAfterChange(at + inserted.Size());
}

void TextView::Undo() {
  if (!history_.CanUndo() || busy_)
    return;
  std::size_t undone = 0;
  try {
    AllOrNothing([&] {
      do {
        ++undone;
        const EditStep& step = history_.Undo();
        Restore(step.position, step.inserted.Size(), step.removed);
      } while (history_.UndoGoesOn() && history_.CanUndo());
    });
  } catch (const std::bad_alloc&) {
    while (undone-- > 0)
      history_.Redo(); // the steps stay to be undone
    throw;
  }
}

void TextView::Redo() {
  if (!history_.CanRedo() || busy_)
    return;
  std::size_t redone = 0;
  try {
    AllOrNothing([&] {
      do {
        ++redone;
        const EditStep& step = history_.Redo();
        Restore(step.position, step.removed.Size(), step.inserted);
      } while (history_.RedoGoesOn());
    });
  } catch (const std::bad_alloc&) {
    while (redone-- > 0)
      history_.Undo(); // the steps stay to be redone
    throw;
  }
}

void TextView::Clear() {
  TextViewAccessible::NoteRemoval(this, 0, Length());
  text_.Clear();
  pieces_.Clear();
  columns_.Clear();
  history_.Clear();
  widest_ = 0;
  anchor_ = caret_ = 0;
  firstLine_ = firstColumn_ = 0;
  TextHasChanged();
  emit SelectionChanged();
}

TextBuffer TextView::TakeText() {
  unreadableTold_ = false;
  TextViewAccessible::NoteRemoval(this, 0, Length());
  TextBuffer text(std::move(text_));
  text_.Clear(); // a moved-from buffer keeps its counts
  Clear();
  return text;
}

void TextView::SetText(TextBuffer text, int64_t caret) {
  unreadableTold_ = false;
  TextViewAccessible::NoteRemoval(this, 0, Length());
  text_ = std::move(text);
  // Where a run's pieces went in a text made elsewhere is not known; none
  // of the user's text is ever taken for them.
  pieces_.Clear();
  columns_.Clear();
  TextViewAccessible::NoteInsertion(this, 0, Length());
  history_.Clear();
  widest_ = 0;
  TextHasChanged();
  PlaceAfterChange(U(caret));
}

void TextView::Append(const char* data, std::size_t length) {
  if (length == 0)
    return;
  const int64_t lastBefore = LineCount() - 1;
  const int64_t sizeBefore = Length();
  text_.Append(data, length);
  Appended(lastBefore, sizeBefore);
}

void TextView::AppendText(TextBuffer&& text) {
  if (text.Empty())
    return;
  const int64_t lastBefore = LineCount() - 1;
  const int64_t sizeBefore = Length();
  text_.AppendBuffer(std::move(text));
  Appended(lastBefore, sizeBefore);
}

void TextView::AppendPiece(const char* data, std::size_t length) {
  pieces_.Add(text_.Size(), length);
  Append(data, length);
}

void TextView::DropPieces() {
  const std::vector<TrackedRanges::Range> ranges = pieces_.Ranges();
  if (ranges.empty())
    return;
  for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
    Splice(range->from, range->to, TextPiece());
    anchor_ = TrackedRanges::AfterRemoving(anchor_, *range);
    caret_ = TrackedRanges::AfterRemoving(caret_, *range);
  }
  pieces_.Clear();
  history_.Clear();
  TextHasChanged();
  // The text changed under the caret, which is news even where it stays;
  // the view stays where the user has it.
  emit SelectionChanged();
}

void TextView::Appended(int64_t lastBefore, int64_t sizeBefore) {
  KeepSpilling();
  TextViewAccessible::NoteInsertion(this, sizeBefore, Length());
  history_.Clear();
  // Known columns of a long last line go on from where they were, so that
  // its end is known as soon as the text is in.
  const std::size_t last = text_.LineCount() - 1;
  const std::size_t start = text_.LineStart(last);
  if (text_.Size() - start > LineColumns::kStep)
    NoteWidth(columns_.ColumnOf(start, text_.Size(), text_.Size()));
  FollowSize();
  // Text added below the view changes nothing in it: a pass that fills the
  // text behind the first screen does not repaint it at every turn.
  if (lastBefore < firstLine_ + viewport()->height() / LineHeight() + 1)
    viewport()->update();
  emit TextChanged();
}

void TextView::BeginGrowth() {
  // 64 chunks: 4 MiB ahead, a few milliseconds of a pass.
  if (!supply_)
    supply_ = std::make_unique<ChunkSupply>(text_.ChunkBytes(), 64);
  text_.SetSupply(supply_.get());
}

void TextView::EndGrowth() {
  text_.SetSupply(nullptr);
  supply_.reset();
  if (barsDue_.isActive())
    ShowScrollBars();
  // The text took much memory at once: what edits may count on is read anew.
  room_.Refresh();
}

// ---------------------------------------------------------------------------
// Keys

void TextView::SetBusy(bool busy) {
  busy_ = busy;
  if (busy)
    EndHover();
}

void TextView::ReserveKeys(const QList<QKeySequence>& keys) {
  for (const QKeySequence& key : keys)
    if (!key.isEmpty())
      reserved_.append(key[0]);
}

bool TextView::IsReserved(const QKeyEvent* event) const {
  return reserved_.contains(event->keyCombination());
}

bool TextView::event(QEvent* event) {
  bool handled = false;
  Refusable([&] { handled = HandleEvent(event); });
  return handled;
}

bool TextView::viewportEvent(QEvent* event) {
  bool handled = true;
  Refusable([&] { handled = QAbstractScrollArea::viewportEvent(event); });
  return handled;
}

template <class Command> void TextView::Refusable(Command command) {
  // Thrown through the toolkit's own event delivery, the exception would
  // skip the clean-up of frames built without exceptions.
  try {
    command();
  } catch (const std::bad_alloc&) {
    emit ChangeRefused();
  }
}

bool TextView::HandleEvent(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!IsReserved(key) && IsOwnKey(key)) {
      key->accept();
      return true;
    }
  }
  if (event->type() == QEvent::KeyPress) {
    // Tab is text here, not a move to the next widget.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      keyPressEvent(key);
      return true;
    }
  }
  if (event->type() == QEvent::FontChange) {
    painter_ = std::make_unique<LinePainter>(ShownFont());
    UpdateScrollBars();
  }
  return QAbstractScrollArea::event(event);
}

// Keys with Alt alone are the menus' mnemonics and Meta's are the desktop's;
// Control with Alt is AltGr on some keyboards, which types.
bool TextView::Typing(Qt::KeyboardModifiers mods) {
  if (mods & Qt::MetaModifier)
    return false;
  return !(mods & Qt::AltModifier) || (mods & Qt::ControlModifier);
}

bool TextView::IsOwnKey(const QKeyEvent* event) const {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  if (!Typing(mods))
    return false; // Alt+letter opens a menu; Meta belongs to the desktop
  if (mods & Qt::ControlModifier) {
    // The editing keys taken with Control; any others are left to the
    // window's shortcuts.
    static const int kOwn[] = {Qt::Key_Z,    Qt::Key_Y,         Qt::Key_X,      Qt::Key_C,
                               Qt::Key_V,    Qt::Key_A,         Qt::Key_Insert, Qt::Key_Home,
                               Qt::Key_End,  Qt::Key_Left,      Qt::Key_Right,  Qt::Key_Up,
                               Qt::Key_Down, Qt::Key_Backspace, Qt::Key_Delete};
    return std::find(std::begin(kOwn), std::end(kOwn), key) != std::end(kOwn);
  }
  return !event->text().isEmpty() || key == Qt::Key_Insert || key == Qt::Key_Delete ||
         key == Qt::Key_Home || key == Qt::Key_End;
}

bool TextView::HandleCommand(const QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const int key = event->key();
  const bool control = mods == Qt::ControlModifier;
  const bool shift = mods == Qt::ShiftModifier;
  if (control && key == Qt::Key_Z)
    Undo();
  else if ((control && key == Qt::Key_Y) ||
           (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_Z))
    Redo();
  else if ((control && key == Qt::Key_X) || (shift && key == Qt::Key_Delete))
    Cut();
  else if ((control && key == Qt::Key_C) || (control && key == Qt::Key_Insert))
    Copy();
  else if ((control && key == Qt::Key_V) || (shift && key == Qt::Key_Insert))
    Paste();
  else if (control && key == Qt::Key_A)
    SelectAll();
  else if (control && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
    // A word at a time, as Backspace and Delete take a byte.
    if (!HasSelection())
      anchor_ = key == Qt::Key_Backspace ? WordLeft(caret_) : WordRight(caret_);
    DeleteSelection();
  } else if (control && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    // The view moves a line; the caret stays where it is.
    ScrollTo(firstLine_ + (key == Qt::Key_Up ? -1 : 1), firstColumn_);
  } else if (key == Qt::Key_Backspace && (mods == Qt::NoModifier || shift)) {
    DeleteByKey(EditHistory::Direction::Backward);
  } else if (key == Qt::Key_Delete && mods == Qt::NoModifier) {
    DeleteByKey(EditHistory::Direction::Forward);
  } else if ((mods & ~Qt::ShiftModifier) == Qt::ControlModifier &&
             (key == Qt::Key_Plus || key == Qt::Key_Equal)) {
    SetZoom(zoom_ + 1);
  } else if (control && key == Qt::Key_Minus) {
    SetZoom(zoom_ - 1);
  } else if (control && (key == Qt::Key_0 || key == Qt::Key_Slash)) {
    SetZoom(0);
  } else if (key == Qt::Key_Insert && mods == Qt::NoModifier) {
    SetOvertype(!overtype_);
  } else if (key == Qt::Key_Tab && mods == Qt::NoModifier)
    Type(QStringLiteral("\t"));
  else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && (mods == Qt::NoModifier || shift))
    Type(QStringLiteral("\n"));
  else
    return false;
  return true;
}

std::size_t TextView::LineMoved(int64_t lines) const {
  const auto line = static_cast<int64_t>(text_.LineOf(caret_));
  const auto target =
      static_cast<std::size_t>(std::clamp<int64_t>(line + lines, 0, LineCount() - 1));
  const int64_t column = wantedColumn_ >= 0 ? wantedColumn_ : ColumnOf(Caret());
  return columns_.NearestBoundary(text_.LineStart(target), text_.LineEnd(target), column);
}

std::size_t TextView::Moved(int key, bool control) const {
  const std::size_t line = text_.LineOf(caret_);
  switch (key) {
  case Qt::Key_Left:
    if (!control)
      return caret_ > 0 ? caret_ - 1 : 0;
    return WordLeft(caret_);
  case Qt::Key_Right:
    if (!control)
      return std::min(caret_ + 1, text_.Size());
    return WordRight(caret_);
  case Qt::Key_Up:
    return control ? caret_ : LineMoved(-1);
  case Qt::Key_Down:
    return control ? caret_ : LineMoved(1);
  case Qt::Key_PageUp:
    return LineMoved(-VisibleLineCount());
  case Qt::Key_PageDown:
    return LineMoved(VisibleLineCount());
  case Qt::Key_Home:
    return control ? 0 : text_.LineStart(line);
  case Qt::Key_End:
    return control ? text_.Size() : text_.LineEnd(line);
  default:
    return caret_;
  }
}

bool TextView::HandleMove(const QKeyEvent* event) {
  const int key = event->key();
  if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Up && key != Qt::Key_Down &&
      key != Qt::Key_Home && key != Qt::Key_End && key != Qt::Key_PageUp && key != Qt::Key_PageDown)
    return false;
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if (mods & ~(Qt::ShiftModifier | Qt::ControlModifier))
    return false;
  const bool vertical =
      key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
  if (vertical && wantedColumn_ < 0)
    wantedColumn_ = ColumnOf(Caret());
  const bool extend = mods & Qt::ShiftModifier;
  std::size_t caret = Moved(key, mods & Qt::ControlModifier);
  // With a selection, Left and Right only go to its edge.
  if (mods == Qt::NoModifier && HasSelection() && (key == Qt::Key_Left || key == Qt::Key_Right))
    caret = U(key == Qt::Key_Left ? SelectionStart() : SelectionEnd());
  history_.Seal();
  // A page move takes the view along with the caret.
  if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
    const int64_t lines = key == Qt::Key_PageUp ? -VisibleLineCount() : VisibleLineCount();
    ScrollTo(firstLine_ + lines, firstColumn_);
  }
  SetSelection(extend ? anchor_ : caret, caret, vertical);
  if (extend)
    OfferPrimary();
  return true;
}

void TextView::keyPressEvent(QKeyEvent* event) {
  if (IsReserved(event)) {
    event->ignore();
    return;
  }
  if (busy_) {
    event->accept(); // taken, and dropped
    return;
  }
  if (HandleCommand(event) || HandleMove(event)) {
    event->accept();
    return;
  }
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const QString text = event->text();
  const bool typing = Typing(mods) && !(mods & Qt::ControlModifier && !(mods & Qt::AltModifier));
  if (typing && !text.isEmpty() && text[0] >= QChar(0x20) && text[0] != QChar(0x7F)) {
    Type(text);
    event->accept();
    return;
  }
  event->ignore();
}

void TextView::inputMethodEvent(QInputMethodEvent* event) {
  if (busy_) {
    event->accept();
    return;
  }
  if (event->replacementStart() != 0 || event->replacementLength() > 0)
    CommitReplacing(event->commitString(), event->replacementStart(), event->replacementLength());
  else if (!event->commitString().isEmpty())
    Type(event->commitString());
  preedit_ = event->preeditString();
  viewport()->update();
  event->accept();
}

// The input method names the bytes to replace from the caret, in
// characters, which here are bytes; a selection goes first, as in Qt's own
// editors, and all of it is one step to undo.
void TextView::CommitReplacing(const QString& text, int start, int length) {
  history_.Seal();
  const bool hadSelection = HasSelection();
  DeleteSelection();
  // What of the range named lies in the text.
  const int64_t at = Caret() + start;
  const int64_t from = std::clamp<int64_t>(at, 0, Length());
  anchor_ = U(from);
  caret_ = U(std::clamp<int64_t>(at + std::max(0, length), from, Length()));
  const bool changes = !text.isEmpty() || HasSelection();
  Type(text);
  if (hadSelection && changes)
    history_.JoinLast();
}

// The caret's line around the caret, kImContext bytes either way at most,
// so that a huge line costs no more than a short one.
TextView::Span TextView::ImContext() const {
  const std::size_t line = text_.LineOf(caret_);
  const std::size_t start = text_.LineStart(line);
  const std::size_t end = text_.LineEnd(line);
  return {caret_ - std::min(caret_ - start, kImContext), std::min(end, caret_ + kImContext)};
}

QVariant TextView::ImText(Qt::InputMethodQuery query) const {
  const Span around = ImContext();
  const auto offset = [&](std::size_t at) { return static_cast<int>(at - around.first); };
  const auto text = [this](std::size_t from, std::size_t to) {
    return QString::fromLatin1(Range(static_cast<int64_t>(from), static_cast<int64_t>(to)));
  };
  switch (query) {
  case Qt::ImSurroundingText:
    return text(around.first, around.second);
  case Qt::ImTextBeforeCursor:
    return text(around.first, caret_);
  case Qt::ImTextAfterCursor:
    return text(caret_, around.second);
  case Qt::ImCursorPosition:
    return offset(caret_);
  case Qt::ImAnchorPosition: // an anchor beyond the bytes told is at their end
    return offset(std::clamp(anchor_, around.first, around.second));
  case Qt::ImAbsolutePosition:
    return QVariant::fromValue<qlonglong>(Caret());
  default: // Qt::ImCurrentSelection
    return QString::fromLatin1(SelectedText(static_cast<int64_t>(kImContext)));
  }
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
  case Qt::ImEnabled:
    return true;
  case Qt::ImSurroundingText:
  case Qt::ImTextBeforeCursor:
  case Qt::ImTextAfterCursor:
  case Qt::ImCursorPosition:
  case Qt::ImAnchorPosition:
  case Qt::ImAbsolutePosition:
  case Qt::ImCurrentSelection:
    return ImText(query);
  case Qt::ImCursorRectangle:
    return QRectF(CaretRect().translated(viewport()->pos()));
  case Qt::ImFont:
    return ShownFont();
  default:
    return QAbstractScrollArea::inputMethodQuery(query);
  }
}

// ---------------------------------------------------------------------------
// Words and lines

std::size_t TextView::WordRight(std::size_t from) const {
  if (from >= text_.Size())
    return text_.Size();
  const ByteClass first = WordRule::ClassOf(text_.At(from));
  std::size_t at = from + 1;
  if (first != ByteClass::LineEnd)
    at = WordRule::RunEnd(text_, at, first);
  return WordRule::RunEnd(text_, at, ByteClass::Blank);
}

std::size_t TextView::WordLeft(std::size_t from) const {
  const std::size_t at = WordRule::RunStart(text_, from, ByteClass::Blank);
  if (at == 0)
    return 0;
  const ByteClass kind = WordRule::ClassOf(text_.At(at - 1));
  return kind == ByteClass::LineEnd ? at - 1 : WordRule::RunStart(text_, at - 1, kind);
}

TextView::Span TextView::WordAt(std::size_t position) const {
  const std::size_t size = text_.Size();
  if (size == 0)
    return {0, 0};
  // At a line's end the word before is meant.
  std::size_t at = std::min(position, size - 1);
  if (at > 0 && WordRule::ClassOf(text_.At(at)) == ByteClass::LineEnd)
    --at;
  const ByteClass kind = WordRule::ClassOf(text_.At(at));
  if (kind == ByteClass::LineEnd)
    return {at, at};
  return {WordRule::RunStart(text_, at, kind), WordRule::RunEnd(text_, at + 1, kind)};
}

TextView::Span TextView::LineAt(std::size_t position) const {
  const std::size_t line = text_.LineOf(position);
  const std::size_t end = text_.LineEnd(line);
  return {text_.LineStart(line), std::min(end + 1, text_.Size())};
}

void TextView::SelectWordAt(std::size_t position) {
  if (text_.Empty())
    return;
  const Span word = WordAt(position);
  SetSelection(word.first, word.second);
}

void TextView::SelectLineAt(std::size_t position) {
  const Span line = LineAt(position);
  SetSelection(line.first, line.second);
}

// ---------------------------------------------------------------------------
// Mouse

void TextView::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  const auto position = U(PositionAt(point));
  history_.Seal();
  if (event->button() == Qt::MiddleButton) {
    if (QApplication::clipboard()->supportsSelection()) {
      SetSelection(position, position);
      PasteFrom(QClipboard::Selection);
    }
    return;
  }
  if (event->button() != Qt::LeftButton)
    return;
  const bool triple = sinceDoubleClick_.isValid() &&
                      sinceDoubleClick_.elapsed() < QApplication::doubleClickInterval() &&
                      (point - doubleClickPoint_).manhattanLength() <= kClickSlop;
  sinceDoubleClick_.invalidate();
  if (triple) {
    SelectLineAt(position);
    OfferPrimary();
    StartUnitDrag(Unit::Line, point);
    return;
  }
  const bool extend = event->modifiers() & Qt::ShiftModifier;
  if (!extend && HasSelection() && position >= U(SelectionStart()) &&
      position < U(SelectionEnd())) {
    pressedOnSelection_ = true;
    pressPoint_ = point;
    return;
  }
  dragging_ = true;
  dragUnit_ = Unit::Byte;
  dragPoint_ = point;
  SetSelection(extend ? anchor_ : position, position);
}

void TextView::StartUnitDrag(Unit unit, QPoint point) {
  dragging_ = true;
  dragUnit_ = unit;
  dragPoint_ = point;
  unitFrom_ = U(SelectionStart());
  unitTo_ = U(SelectionEnd());
}

// After a double or triple click the selection grows a word or a line at a
// time, and keeps the first one whichever way it goes.
void TextView::DragTo(std::size_t position) {
  if (dragUnit_ == Unit::Byte) {
    SetSelection(anchor_, position);
    return;
  }
  const bool words = dragUnit_ == Unit::Word;
  // Ahead, the word of the last byte the pointer has passed.
  const auto ahead = words ? WordAt(position > 0 ? position - 1 : 0) : LineAt(position);
  const auto behind = words ? WordAt(position) : LineAt(position);
  if (ahead.second > unitTo_)
    SetSelection(unitFrom_, ahead.second);
  else if (behind.first < unitFrom_)
    SetSelection(unitTo_, behind.first);
  else
    SetSelection(unitFrom_, unitTo_);
}

void TextView::mouseMoveEvent(QMouseEvent* event) {
  if (pressedOnSelection_ && (event->buttons() & Qt::LeftButton) &&
      (event->position().toPoint() - pressPoint_).manhattanLength() >=
          QApplication::startDragDistance()) {
    pressedOnSelection_ = false;
    DragSelection();
    return;
  }
  if (!dragging_ || !(event->buttons() & Qt::LeftButton))
    return;
  dragPoint_ = event->position().toPoint();
  if (viewport()->rect().contains(dragPoint_)) {
    dragScroll_.stop();
    DragTo(U(PositionAt(dragPoint_)));
  } else if (!dragScroll_.isActive()) {
    AutoScroll();
    dragScroll_.start();
  }
}

void TextView::AutoScroll() {
  const QRect area = viewport()->rect();
  const qreal across = 4 * ColumnWidth();
  int64_t lines = 0;
  int64_t columns = 0;
  if (dragPoint_.y() < 0)
    lines = -EdgeScroll(-dragPoint_.y() - 1, LineHeight(), 1, VisibleLineCount());
  else if (dragPoint_.y() >= area.height())
    lines = EdgeScroll(dragPoint_.y() - area.height(), LineHeight(), 1, VisibleLineCount());
  if (dragPoint_.x() < 0)
    columns = -EdgeScroll(-dragPoint_.x() - 1, across, 4, VisibleColumnCount());
  else if (dragPoint_.x() >= area.width())
    columns = EdgeScroll(dragPoint_.x() - area.width(), across, 4, VisibleColumnCount());
  ScrollTo(firstLine_ + lines, firstColumn_ + columns);
  // The caret goes to the last whole row, which needs no more scrolling.
  const int bottom = std::min(area.height(), static_cast<int>(VisibleLineCount()) * LineHeight());
  const QPoint inside(std::clamp(dragPoint_.x(), 0, area.width() - 1),
                      std::clamp(dragPoint_.y(), 0, bottom - 1));
  DragTo(U(PositionAt(inside)));
}

void TextView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressedOnSelection_) {
    // A click on the selection, not a drag: the caret goes there.
    pressedOnSelection_ = false;
    const auto position = U(PositionAt(event->position().toPoint()));
    SetSelection(position, position);
    return;
  }
  if (event->button() != Qt::LeftButton || !dragging_)
    return;
  dragging_ = false;
  dragScroll_.stop();
  OfferPrimary();
}

void TextView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    mousePressEvent(event);
    return;
  }
  doubleClickPoint_ = event->position().toPoint();
  sinceDoubleClick_.start();
  SelectWordAt(U(PositionAt(doubleClickPoint_)));
  OfferPrimary();
  StartUnitDrag(Unit::Word, doubleClickPoint_);
}

void TextView::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  const bool sideways = (event->modifiers() & Qt::ShiftModifier) || delta.x() != 0;
  // Fine-grained wheels send parts of a notch; they add up.
  wheelAngle_ += sideways && delta.x() != 0 ? delta.x() : delta.y();
  const int steps = wheelAngle_ / QWheelEvent::DefaultDeltasPerStep;
  wheelAngle_ -= steps * QWheelEvent::DefaultDeltasPerStep;
  if (event->modifiers() & Qt::ControlModifier) {
    SetZoom(zoom_ + steps);
    event->accept();
    return;
  }
  const int64_t amount = -static_cast<int64_t>(steps) * QApplication::wheelScrollLines();
  if (sideways)
    ScrollTo(firstLine_, firstColumn_ + amount * 2);
  else
    ScrollTo(firstLine_ + amount, firstColumn_);
  event->accept();
}

QMenu* TextView::CreateContextMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  auto add = [&](const QString& text, QKeyCombination key, bool enabled, void (TextView::*slot)()) {
    // An edit refused for want of memory ends here, not in the menu's code.
    QAction* action =
        menu->addAction(text, this, [this, slot] { Refusable([&] { (this->*slot)(); }); });
    action->setEnabled(enabled);
    // Shown beside the item; while the menu is closed the view and the
    // window's Edit menu answer the key.
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetShortcut);
  };
  const bool hasText =
      QApplication::clipboard()->mimeData() && QApplication::clipboard()->mimeData()->hasText();
  add(tr("&Undo"), Qt::CTRL | Qt::Key_Z, CanUndo(), &TextView::Undo);
  add(tr("&Redo"), Qt::CTRL | Qt::Key_Y, CanRedo(), &TextView::Redo);
  menu->addSeparator();
  add(tr("Cu&t"), Qt::CTRL | Qt::Key_X, HasSelection(), &TextView::Cut);
  add(tr("&Copy"), Qt::CTRL | Qt::Key_C, HasSelection(), &TextView::Copy);
  add(tr("&Paste"), Qt::CTRL | Qt::Key_V, hasText, &TextView::Paste);
  add(tr("&Delete"), Qt::CTRL | Qt::Key_D, HasSelection(), &TextView::DeleteSelection);
  menu->addSeparator();
  add(tr("Select &All"), Qt::CTRL | Qt::Key_A, !text_.Empty(), &TextView::SelectAll);
  return menu;
}

void TextView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
  event->accept();
}

bool TextView::OfferDrop(QDropEvent* event) {
  // Files are for the window to open, not text to put in.
  if (!event->mimeData()->hasUrls())
    return false;
  event->ignore();
  emit DropOffered(event);
  return true;
}

void TextView::dragEnterEvent(QDragEnterEvent* event) {
  if (!OfferDrop(event) && event->mimeData()->hasText() && !busy_)
    event->acceptProposedAction();
}

void TextView::dragMoveEvent(QDragMoveEvent* event) {
  if (OfferDrop(event) || !event->mimeData()->hasText())
    return;
  if (busy_) {
    event->ignore(); // no text goes in meanwhile
    return;
  }
  event->acceptProposedAction();
  HoverDrop(event->position().toPoint());
}

void TextView::dragLeaveEvent(QDragLeaveEvent* event) {
  QAbstractScrollArea::dragLeaveEvent(event);
  EndHover();
}

// Near an edge (a line from the top or bottom, two columns from a side) the
// view scrolls that way while the text hovers there, as a selection being
// dragged past an edge does, so that text can be dropped anywhere.
void TextView::HoverDrop(const QPoint& point) {
  dropPoint_ = point;
  const QRect area = viewport()->rect();
  const int down = LineHeight(), across = static_cast<int>(2 * ColumnWidth());
  const bool nearEdge = point.y() < down || point.y() >= area.height() - down ||
                        point.x() < across || point.x() >= area.width() - across;
  if (!nearEdge)
    dropScroll_.stop();
  else if (!dropScroll_.isActive())
    dropScroll_.start();
  const int64_t at = PositionAt(point);
  if (at != dropAt_) {
    viewport()->update(BarAt(U(std::max<int64_t>(dropAt_, 0))));
    dropAt_ = at;
    viewport()->update(BarAt(U(dropAt_)));
  }
}

void TextView::DropScroll() {
  const QRect area = viewport()->rect();
  const int down = LineHeight(), across = static_cast<int>(2 * ColumnWidth());
  int64_t lines = 0, columns = 0;
  if (dropPoint_.y() < down)
    lines = -1;
  else if (dropPoint_.y() >= area.height() - down)
    lines = 1;
  if (dropPoint_.x() < across)
    columns = -4;
  else if (dropPoint_.x() >= area.width() - across)
    columns = 4;
  ScrollTo(firstLine_ + lines, firstColumn_ + columns);
  dropAt_ = PositionAt(dropPoint_);
  viewport()->update();
}

void TextView::EndHover() {
  dropScroll_.stop();
  if (dropAt_ >= 0)
    viewport()->update(BarAt(U(dropAt_)));
  dropAt_ = -1;
}

// The selection goes as a snapshot, like a copy. Moved (the default) into
// another program, it leaves this text; moved within this view, the drop
// does the moving.
void TextView::DragSelection() {
  // A drag would hold up the Replace All or the save that made the view
  // busy.
  if (busy_)
    return;
  dragFrom_ = U(SelectionStart());
  dragTo_ = U(SelectionEnd());
  droppedHere_ = false;
  auto* drag = new QDrag(this);
  drag->setMimeData(SelectionData(dragFrom_, dragTo_));
  const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
  if (action != Qt::MoveAction || droppedHere_ || dragTo_ > text_.Size())
    return;
  history_.Seal();
  SetSelection(dragFrom_, dragTo_);
  DeleteSelection();
}

// Takes the dragged text out and puts it in at `at` (a place in the text
// before the move), as two steps of the undo history; it stays selected.
void TextView::MoveDraggedTo(std::size_t at) {
  const TextPiece moved = TextPiece::Of(text_, dragFrom_, dragTo_);
  history_.Seal();
  SetSelection(dragFrom_, dragTo_);
  DeleteSelection();
  const std::size_t target = at > dragTo_ ? at - moved.Size() : at;
  SetSelection(target, target);
  Edit(moved, false);
  history_.JoinLast(); // one move, one step to undo
  SetSelection(target, target + moved.Size());
}

void TextView::dropEvent(QDropEvent* event) {
  EndHover();
  if (OfferDrop(event) || !event->mimeData()->hasText())
    return;
  if (busy_) {
    event->ignore();
    return;
  }
  history_.Seal();
  const auto at = U(PositionAt(event->position().toPoint()));
  if (event->source() == this) {
    droppedHere_ = true;
    // Dropped on itself, nothing moves.
    if (at >= dragFrom_ && at <= dragTo_) {
      event->acceptProposedAction();
      return;
    }
    if (event->dropAction() == Qt::MoveAction) {
      MoveDraggedTo(at);
      event->acceptProposedAction();
      return;
    }
  }
  SetSelection(at, at);
  PasteFilter filter;
  filter.AddText(event->mimeData()->text());
  Edit(TextPiece::Whole(filter.Finish()), false);
  event->acceptProposedAction();
}

// ---------------------------------------------------------------------------
// Drawing

void TextView::RestartBlink() {
  caretShown_ = true;
  blink_.stop();
  const int flash = QApplication::cursorFlashTime();
  if (hasFocus() && flash > 0)
    blink_.start(flash / 2);
}

void TextView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  RestartBlink();
  viewport()->update();
}

void TextView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  blink_.stop();
  viewport()->update();
}

QRect TextView::CaretRect() const {
  const QRect bar = BarAt(caret_);
  if (overtype_ && !bar.isNull()) // a bar under the cell that typing takes
    return QRect(bar.left() + 1, bar.bottom() - 2, static_cast<int>(std::ceil(ColumnWidth())) + 2,
                 3);
  return bar;
}

QRect TextView::BarAt(std::size_t position) const {
  const int64_t row = static_cast<int64_t>(text_.LineOf(position)) - firstLine_;
  const int64_t column = ColumnOf(static_cast<int64_t>(position));
  if (row < 0 || row > VisibleLineCount() || column < firstColumn_ ||
      column > firstColumn_ + VisibleColumnCount() + 1)
    return QRect();
  const int x = static_cast<int>(std::floor(XOfColumn(column)));
  return QRect(x - 1, static_cast<int>(row) * LineHeight(), 3, LineHeight());
}

int TextView::PreeditWidth() const {
  return QFontMetrics(ShownFont()).horizontalAdvance(preedit_);
}

// At the caret, in the room its line makes for it, underlined as input
// methods expect; the text itself changes only when the composition is
// committed.
void TextView::PaintPreedit(QPainter& painter) const {
  const QRect caret = BarAt(caret_);
  if (preedit_.isEmpty() || caret.isNull())
    return;
  painter.save();
  QFont underlined = ShownFont();
  underlined.setUnderline(true);
  painter.setFont(underlined);
  const QRect box(caret.left() + 1, caret.top(), PreeditWidth(), LineHeight());
  painter.fillRect(box, palette().color(QPalette::Base));
  painter.setPen(palette().color(QPalette::Text));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, preedit_);
  painter.restore();
}

// The caret's line while a composition shows: the text after the caret
// moves right to make room for it, as in other editors.
int64_t TextView::PaintComposingLine(QPainter& painter, int64_t row,
                                     const LinePainter::Colors& colors) {
  const QRect caret = BarAt(caret_);
  if (caret.isNull())
    return PaintLine(painter, row, colors);
  const int x = caret.left() + 1;
  const int y = static_cast<int>(row) * LineHeight();
  painter.save();
  painter.setClipRect(QRect(0, y, x, LineHeight()));
  const int64_t width = PaintLine(painter, row, colors);
  // The clip is set before the move, in the viewport's own coordinates.
  painter.setClipRect(QRect(x + PreeditWidth(), y, viewport()->width(), LineHeight()));
  painter.translate(PreeditWidth(), 0);
  PaintLine(painter, row, colors);
  painter.restore();
  return width;
}

LinePainter::Colors TextView::Colors() const {
  const QPalette& pal = palette();
  LinePainter::Colors colors{pal.color(QPalette::Text), pal.color(QPalette::Highlight),
                             pal.color(QPalette::HighlightedText)};
  if (!hasFocus()) {
    // Without focus the selection stays visible, but paler.
    const QColor base = pal.color(QPalette::Base);
    const QColor mark = pal.color(QPalette::Highlight);
    colors.selectionBack =
        QColor((mark.red() + 2 * base.red()) / 3, (mark.green() + 2 * base.green()) / 3,
               (mark.blue() + 2 * base.blue()) / 3);
    colors.selectionText = colors.text;
  }
  return colors;
}

int64_t TextView::PaintLine(QPainter& painter, int64_t row, const LinePainter::Colors& colors) {
  const auto line = static_cast<std::size_t>(firstLine_ + row);
  const std::size_t start = text_.LineStart(line);
  const std::size_t end = text_.LineEnd(line);
  const int y = static_cast<int>(row) * LineHeight();
  const int64_t width = columns_.ColumnOf(start, end, end);
  const LineColumns::Cell cell = columns_.CellAt(start, end, firstColumn_);
  // Only the bytes in view are read; each takes a column at least.
  const int64_t columns = VisibleColumnCount() + 2;
  const std::size_t stop = std::min(end, cell.position + static_cast<std::size_t>(columns));
  lineBytes_.resize(stop - cell.position);
  text_.CopyOut(cell.position, stop, lineBytes_.data());
  const std::size_t selStart = U(SelectionStart());
  const std::size_t selEnd = U(SelectionEnd());
  painter_->Paint(painter, y,
                  LinePainter::Run{lineBytes_.data(), lineBytes_.size(), cell.position, cell.column,
                                   firstColumn_, columns},
                  selStart, selEnd, colors);
  if (end < text_.Size() && selStart <= end && end < selEnd)
    painter_->PaintSelectedCell(painter, y, width, firstColumn_, colors);
  return width;
}

void TextView::TellIfUnreadable() {
  if (unreadableTold_ || !text_.ReadFailed())
    return;
  unreadableTold_ = true;
  // After the paint: a message box must not open inside it.
  QTimer::singleShot(0, this, &TextView::TextUnreadable);
}

void TextView::paintEvent(QPaintEvent*) {
  // What the last paint read is looked at here: painting reads most.
  TellIfUnreadable();
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
  const LinePainter::Colors colors = Colors();
  const int64_t rows = viewport()->height() / LineHeight() + 1;
  int64_t widest = 0;
  const int64_t composingRow =
      preedit_.isEmpty() ? -1 : static_cast<int64_t>(text_.LineOf(caret_)) - firstLine_;
  for (int64_t row = 0; row < rows && firstLine_ + row < LineCount(); ++row)
    widest = std::max(widest, row == composingRow ? PaintComposingLine(painter, row, colors)
                                                  : PaintLine(painter, row, colors));
  PaintPreedit(painter);
  if (caretShown_ && hasFocus())
    painter.fillRect(CaretRect().adjusted(1, 0, -1, 0), colors.text);
  // Where dragged text would go, shown whatever the focus.
  if (dropAt_ >= 0)
    painter.fillRect(BarAt(U(dropAt_)).adjusted(1, 0, -1, 0), colors.text);
  // The scroll bars learn of wider lines once the painting is done.
  if (widest > widest_)
    QMetaObject::invokeMethod(
        this, [this, widest] { NoteWidth(widest); }, Qt::QueuedConnection);
}
