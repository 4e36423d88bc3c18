// The document editor on the program's own view over the chunked text
// model: nothing here holds or moves the whole text.
#include "ui/TextEditor.h"

#include "editor/TextView.h"
#include "io/WriteBehind.h"
#include "text/SpillFile.h"
#include "ui/DialogService.h"
#include "ui/ReplacedText.h"
#include "ui/RunWhilePumping.h"
#include "ui/TextPrinter.h"
#include "ui/TextSearch.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDevice>
#include <QIODevice>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <unistd.h>

namespace {
// While Replace All makes its new text or a save writes, events run this
// often: the program keeps answering and repainting.
constexpr int kPumpMs = 25;
// A save writes this much at a time.
constexpr int64_t kSaveChunk = 1 << 20;
// Thrown through the making of a new text that is given up.
struct ReplaceStopped {};

// The view takes no edits while a long job lets events run, and is as it
// was afterwards (a save may run within a Replace All's pause), if it is
// still there.
class EditsHeldOff {
public:
  explicit EditsHeldOff(TextView* view) : view_(view), was_(view->Busy()) { view->SetBusy(true); }
  ~EditsHeldOff() {
    if (view_)
      view_->SetBusy(was_);
  }
  EditsHeldOff(const EditsHeldOff&) = delete;
  EditsHeldOff& operator=(const EditsHeldOff&) = delete;

private:
  QPointer<TextView> view_;
  bool was_;
};
} // namespace

TextEditor::TextEditor(QWidget* parent) : QWidget(parent), view_(new TextView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  setFocusProxy(view_);
  connect(view_, &TextView::SelectionChanged, this, &TextEditor::SelectionChanged);
  connect(view_, &TextView::DropOffered, this, &TextEditor::DropOffered);
  connect(view_, &TextView::ChangeRefused, this, [this] { ReportRefusal(window()); });
  connect(view_, &TextView::TextUnreadable, this, [this] {
    Dialogs().MessageBox(window(),
                         QStringLiteral("Part of this window's text could not be read back from "
                                        "the disk. It is shown as blanks."),
                         QStringLiteral("Error reading file"), DialogService::Buttons::Ok,
                         DialogService::Icon::None);
  });
  connect(view_, &TextView::CopyTooLarge, this, [this] {
    Dialogs().MessageBox(
        window(),
        QStringLiteral("Not enough memory to hand the copied text to another program. Copy less "
                       "of it at a time."),
        QStringLiteral("Not enough memory"), DialogService::Buttons::Ok, DialogService::Icon::None);
  });
}

TextEditor::~TextEditor() = default;

bool TextEditor::event(QEvent* event) {
  if (event->type() == QEvent::FontChange)
    view_->setFont(font());
  return QWidget::event(event);
}

bool TextEditor::eventFilter(QObject* watched, QEvent* event) {
  return QWidget::eventFilter(watched, event);
}

int64_t TextEditor::Length() const {
  return view_->Length();
}

QByteArray TextEditor::Range(int64_t from, int64_t to) const {
  return view_->Range(std::max<int64_t>(0, from), to);
}

int64_t TextEditor::LineOf(int64_t position) const {
  return view_->LineOf(position);
}

int64_t TextEditor::LineStart(int64_t line) const {
  return view_->LineStart(line);
}

int64_t TextEditor::LineCount() const {
  return view_->LineCount();
}

int64_t TextEditor::FirstVisibleLine() const {
  return view_->FirstVisibleLine();
}

int64_t TextEditor::VisibleLineCount() const {
  return view_->VisibleLineCount();
}

bool TextEditor::WrapsLines() const {
  return view_->WrapsLines();
}

QFont TextEditor::TextFont() const {
  return view_->TextFont();
}

int64_t TextEditor::Caret() const {
  return view_->Caret();
}

int64_t TextEditor::SelectionStart() const {
  return view_->SelectionStart();
}

int64_t TextEditor::SelectionEnd() const {
  return view_->SelectionEnd();
}

void TextEditor::Select(int64_t anchor, int64_t caret) {
  view_->Select(anchor, caret);
}

void TextEditor::GoTo(int64_t position) {
  view_->GoTo(position);
}

void TextEditor::SelectAll() {
  view_->SelectAll();
}

QByteArray TextEditor::SelectedText(int64_t limit) const {
  return view_->SelectedText(limit);
}

void TextEditor::ReplaceSelection(const QByteArray& bytes, Recording recording) {
  Refusable([&] { view_->ReplaceSelection(bytes, recording); });
}

void TextEditor::Cut() {
  Refusable([&] { view_->Cut(); });
}

void TextEditor::Copy() {
  view_->Copy();
}

void TextEditor::Paste() {
  Refusable([&] { view_->Paste(); });
}

void TextEditor::DeleteSelection() {
  Refusable([&] { view_->DeleteSelection(); });
}

void TextEditor::Undo() {
  Refusable([&] { view_->Undo(); });
}

template <class Edit> void TextEditor::Refusable(Edit edit) {
  try {
    edit();
  } catch (const std::bad_alloc&) {
    ReportRefusal(window());
  } catch (const SpillFailure&) {
    Dialogs().MessageBox(
        window(), QStringLiteral("Not enough disk space for this change. The text is unchanged."),
        QStringLiteral("Not enough disk space"), DialogService::Buttons::Ok,
        DialogService::Icon::None);
  }
}

void TextEditor::ReportRefusal(QWidget* parent) {
  Dialogs().MessageBox(
      parent, QStringLiteral("Not enough memory for this change. The text is unchanged."),
      QStringLiteral("Not enough memory"), DialogService::Buttons::Ok, DialogService::Icon::None);
}

bool TextEditor::CanUndo() const {
  return view_->CanUndo();
}

int64_t TextEditor::Find(const TextSearch& search, int64_t from) const {
  from = std::clamp<int64_t>(from, 0, Length());
  const TextBuffer& text = view_->Text();
  return search.FindIn(text, from, from > 0 ? static_cast<unsigned char>(text.At(from - 1)) : -1);
}

int64_t TextEditor::ReplaceAll(const TextSearch& search, int64_t from,
                               const QByteArray& replacement) {
  // Events run while the new text is made: one Replace All at a time, and
  // none while a save writes the text.
  if (Busy())
    return -1;
  int64_t after = std::clamp<int64_t>(from, 0, Length());
  const QPointer<TextEditor> alive(this);
  stopReplacing_ = false;
  try {
    Refusable([&] { after = ReplaceEvery(search, after, replacement, alive); });
  } catch (const ReplaceStopped&) {
    after = -1;
  }
  if (!alive)
    return -1;
  emit ReplaceEnded();
  return after;
}

bool TextEditor::Busy() const {
  return view_->Busy();
}

int64_t TextEditor::ReplaceEvery(const TextSearch& search, int64_t from,
                                 const QByteArray& replacement, const QPointer<TextEditor>& alive) {
  ReplacedText made(view_->Text(), search, replacement);
  MakeAnswering(made, from, alive);
  const int64_t caret = made.Caret();
  if (made.Count() > 0)
    view_->SetText(made.Take(), caret);
  GoTo(caret);
  emit SelectionChanged();
  return caret;
}

void TextEditor::MakeAnswering(ReplacedText& made, int64_t from,
                               const QPointer<TextEditor>& alive) {
  // Held no longer when a message says why the text is unchanged.
  const EditsHeldOff held(view_);
  made.Make(
      from, [this, &alive](int64_t searched) { Pump(searched, alive); }, kPumpMs);
}

void TextEditor::Pump(int64_t searched, const QPointer<TextEditor>& alive) {
  const int64_t length = Length();
  emit ReplaceProgress(length > 0 ? static_cast<int>(searched * 100 / length) : 100);
  QCoreApplication::processEvents();
  // Once gone, nothing of the editor may be touched, its text included.
  if (!alive || stopReplacing_)
    throw ReplaceStopped();
}

int TextEditor::SpillError() const {
  return view_->Text().SpillError();
}

bool TextEditor::SpillBehind() const {
  return view_->Text().SpillBehind();
}

void TextEditor::CollectSpilled() {
  view_->CollectSpilled();
}

TextBuffer TextEditor::TakeText() {
  return view_->TakeText();
}

void TextEditor::BeginFill() {
  view_->Clear();
  view_->BeginGrowth();
}

void TextEditor::Append(const char* data, std::size_t length) {
  view_->Append(data, length);
}

void TextEditor::AppendText(TextBuffer&& text) {
  view_->AppendText(std::move(text));
}

void TextEditor::AppendPiece(const char* data, std::size_t length) {
  view_->AppendPiece(data, length);
}

void TextEditor::DropPieces() {
  view_->DropPieces();
}

void TextEditor::KeepPieces() {
  view_->KeepPieces();
}

int64_t TextEditor::AppendFrom(QIODevice& file, int64_t limit) {
  loadBuffer_.resize(static_cast<std::size_t>(limit));
  const qint64 got = file.read(loadBuffer_.data(), limit);
  if (got < 0)
    throw std::runtime_error(
        QStringLiteral("Cannot read file %1").arg(file.errorString()).toStdString());
  Append(loadBuffer_.data(), static_cast<std::size_t>(got));
  return got;
}

void TextEditor::EndFill() {
  view_->EndGrowth();
  loadBuffer_ = std::vector<char>();
  emit SelectionChanged();
}

bool TextEditor::SaveCrLf(QIODevice& out) {
  const EditsHeldOff held(view_);
  const QPointer<TextEditor> alive(this);
  const int64_t length = Length();
  QElapsedTimer sincePump;
  sincePump.start();
  bool ok = true;
  auto* const file = qobject_cast<QFileDevice*>(&out);
  std::optional<WriteBehind> behind;
  if (file && file->handle() >= 0)
    behind.emplace(file->handle(), static_cast<uint64_t>(file->pos()));
  for (int64_t at = 0; ok && at < length;) {
    at = WriteCrLf(out, at, kSaveChunk, ok);
    // What the file's own buffer holds reaches the system first.
    if (ok && behind) {
      ok = file->flush();
      behind->Wrote(static_cast<uint64_t>(file->pos()));
    }
    if (!ok || at >= length || sincePump.elapsed() < kPumpMs)
      continue;
    emit SaveProgress(static_cast<int>(at * 100 / length));
    QCoreApplication::processEvents();
    if (!alive)
      return false;
    sincePump.restart();
  }
  if (ok && file)
    ok = SyncWhilePumping(*file);
  return ok && alive;
}

bool TextEditor::SyncWhilePumping(QFileDevice& file) {
  // The disk takes the written text (a second or more for gigabytes) on a
  // thread of its own while events run, with edits still held off; a sync
  // by the caller (a commit) then finds nothing left to write.
  if (!file.flush())
    return false;
  const int fd = file.handle();
  // Waited for even when the editor goes meanwhile: the file is the
  // caller's.
  const int error = RunWhilePumping([fd] { return ::fdatasync(fd) == 0 ? 0 : errno; },
                                    [] { QCoreApplication::processEvents(); }, kPumpMs);
  // What cannot be synced (not a file on disk) is left as it is.
  return error == 0 || error == EINVAL || error == EROFS;
}

int64_t TextEditor::WriteCrLf(QIODevice& out, int64_t from, int64_t limit, bool& ok) const {
  const int64_t to = std::min(Length(), from + limit);
  // Each LF may become two bytes; the buffer serves every call of a save.
  const auto most = static_cast<std::size_t>(2 * (to - from));
  if (crlf_.size() < most)
    crlf_.resize(most);
  char* put = crlf_.data();
  view_->Text().VisitRange(static_cast<std::size_t>(from), static_cast<std::size_t>(to),
                           [&put](const char* data, std::size_t length) {
                             const char* const end = data + length;
                             while (data < end) {
                               const auto* lf = static_cast<const char*>(
                                   std::memchr(data, '\n', static_cast<std::size_t>(end - data)));
                               const char* const stop = lf ? lf : end;
                               std::memcpy(put, data, static_cast<std::size_t>(stop - data));
                               put += stop - data;
                               if (!lf)
                                 break;
                               *put++ = '\r';
                               *put++ = '\n';
                               data = lf + 1;
                             }
                           });
  const qint64 bytes = put - crlf_.data();
  ok = out.write(crlf_.data(), bytes) == bytes;
  return to;
}

PrintResult TextEditor::Print(QPrinter& printer, const PrintProgress& progress) const {
  return PrintText(*this, printer, progress);
}

void TextEditor::ReserveKeys(const QList<QKeySequence>& keys) {
  view_->ReserveKeys(keys);
}
