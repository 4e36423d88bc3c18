#include "ui/PartsOutput.h"

#include <fcntl.h>
#include <unistd.h>

PartsOutput::PartsOutput(FileLineSink& file, Holds holds) : file_(file), holds_(std::move(holds)) {
  // A second descriptor shares the file's offset: what the window's sink
  // writes after Finish goes on where these writes ended.
  const int fd = file.Descriptor() >= 0 ? ::fcntl(file.Descriptor(), F_DUPFD_CLOEXEC, 0) : -1;
  if (fd >= 0) {
    ReadBackFromFile(fd);
    writer_ = std::make_unique<BackgroundWriter>(fd);
    ownSink_.OpenChunks(*writer_);
  }
  if (!backing_)
    kept_.AllowSpill();
}

void PartsOutput::ReadBackFromFile(int fd) {
  const off_t base = ::lseek(fd, 0, SEEK_CUR);
  int error = 0;
  if (base >= 0)
    backing_ = SpillFile::Backing(fd, error);
  base_ = backing_ ? static_cast<uint64_t>(base) : 0;
}

void PartsOutput::LeaveWritten() {
  if (backing_ && writer_)
    kept_.LeaveInFile(base_ + writer_->Written());
}

void PartsOutput::CollectSpilled() {
  LeaveWritten();
  kept_.CollectSpilled(false);
}

TextBuffer PartsOutput::TakeText() {
  LeaveWritten();
  return std::move(kept_);
}

bool PartsOutput::Failed() {
  return ownSink_.Failed() || file_.Failed() || (writer_ && writer_->Error() != 0);
}

bool PartsOutput::WritesBehind() {
  return writer_ && writer_->Behind();
}

int PartsOutput::Finish() {
  if (!writer_)
    return file_.Flush() ? 0 : file_.Error();
  if (finished_)
    return writer_->Error();
  finished_ = true;
  ownSink_.Flush();
  writer_->Close();
  return writer_->Error() != 0 ? writer_->Error() : ownSink_.Error();
}

void PartsOutput::Forget() {
  kept_.Clear();
  state_ = Kept::None;
}

void PartsOutput::Append(const char* data, std::size_t length) {
  Sink().Write(data, length);
  sent_ += length;
  if (state_ == Kept::Whole && !kept_.Empty())
    kept_.Append(data, length);
}

void PartsOutput::AppendText(TextBuffer&& text) {
  const uint64_t at = base_ + sent_;
  Write(text);
  sent_ += text.Size();
  if (state_ != Kept::Whole)
    return;
  if (kept_.SpillError() == 0 && holds_(text.Size())) {
    // The kept text starts with a slice, wherever that lies in the file.
    if (kept_.Empty() && backing_)
      kept_.BackWith(backing_, at);
    kept_.AppendBuffer(std::move(text));
    LeaveWritten();
  } else {
    state_ = Kept::Part; // the first of what was written
  }
}

void PartsOutput::Write(const TextBuffer& text) {
  // The writer's thread writes the slice's chunks where they lie: one copy
  // of the text fewer on the window's thread. What the sink holds goes
  // first, to keep the order.
  if (writer_ && !finished_ && ownSink_.Flush()) {
    BackgroundWriter& writer = *writer_;
    bool queued = true;
    if (text.ShareChunks(
            [&](std::shared_ptr<const void> hold, const char* data, std::size_t length) {
              queued = queued && writer.TakeHeld(std::move(hold), data, length);
            }))
      return;
  }
  FileLineSink& sink = Sink();
  text.VisitRange(0, text.Size(),
                  [&sink](const char* data, std::size_t length) { sink.Write(data, length); });
}
