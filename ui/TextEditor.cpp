// The document editor on the program's own view over the chunked text
// model: nothing here holds or moves the whole text.
#include "ui/TextEditor.h"

#include "editor/TextView.h"
#include "memory/MemoryGrowth.h"
#include "text/SpillFile.h"
#include "text/TextBudget.h"
#include "ui/DialogService.h"
#include "ui/TextPrinter.h"
#include "ui/TextSearch.h"

#include <QDropEvent>
#include <QIODevice>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {
// Replace All checks its new text against the memory left this often.
constexpr std::size_t kGrowthCheck = std::size_t(16) << 20;
} // namespace

TextEditor::TextEditor(QWidget* parent) : QWidget(parent), view_(new TextView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  setFocusProxy(view_);
  connect(view_, &TextView::SelectionChanged, this, &TextEditor::SelectionChanged);
  connect(view_, &TextView::DropOffered, this, &TextEditor::DropOffered);
  connect(view_, &TextView::ChangeRefused, this, [this] { ReportRefusal(window()); });
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

// The step-by-step rule (each search goes on after the text put in) on a
// new text built in one pass: the text after the caret is always the old
// text from `source` on, and only the byte before the caret, which the
// whole-word rule reads, may come from a replacement. Splicing each match
// into the text instead would move half a chunk per match.
int64_t TextEditor::ReplaceAll(const TextSearch& search, int64_t from,
                               const QByteArray& replacement) {
  int64_t after = std::clamp<int64_t>(from, 0, Length());
  Refusable([&] { after = ReplaceEvery(search, from, replacement); });
  return after;
}

int64_t TextEditor::ReplaceEvery(const TextSearch& search, int64_t from,
                                 const QByteArray& replacement) {
  const TextBuffer& old = view_->Text();
  const auto needle = static_cast<int64_t>(search.Length());
  const int64_t oldLength = Length();
  from = std::clamp<int64_t>(from, 0, oldLength);
  TextBuffer made;
  made.AllowSpill();
  // The new text is made beside the old one: what of it stays in memory
  // must fit in the memory left, and the rest on disk, or nothing is
  // replaced. It is checked as large as the old one first, then as it
  // outgrows that.
  MemoryGrowth growth;
  auto allowed = static_cast<std::size_t>(oldLength);
  if (!growth.Allows(TextBudget::InMemoryShare(allowed)))
    throw std::bad_alloc();
  const auto grow = [&](const char* data, std::size_t length) {
    if (made.Size() + length > allowed) {
      if (!growth.Allows(TextBudget::InMemoryShare(kGrowthCheck)))
        throw std::bad_alloc();
      allowed += kGrowthCheck;
    }
    made.Append(data, length);
    if (made.SpillError() != 0)
      throw SpillFailure();
  };
  const auto copyOld = [&](int64_t begin, int64_t end) {
    old.VisitRange(static_cast<std::size_t>(begin), static_cast<std::size_t>(end), grow);
  };
  copyOld(0, from);
  int64_t source = from; // the old text's position at the caret
  int64_t caret = from;  // after the last text put in
  int64_t replaced = 0;
  for (;;) {
    const int before = made.Empty() ? -1 : static_cast<unsigned char>(made.At(made.Size() - 1));
    const int64_t found = search.FindIn(old, source, before);
    if (found < 0)
      break;
    copyOld(source, found);
    grow(replacement.constData(), static_cast<std::size_t>(replacement.size()));
    source = found + needle;
    caret = static_cast<int64_t>(made.Size());
    ++replaced;
  }
  copyOld(source, oldLength);
  made.CollectSpilled(true);
  if (made.SpillError() != 0)
    throw SpillFailure();
  if (replaced > 0)
    view_->SetText(std::move(made), caret);
  GoTo(caret);
  emit SelectionChanged();
  return caret;
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
