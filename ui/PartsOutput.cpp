#include "ui/PartsOutput.h"

#include "extract/FileLineSink.h"

void PartsOutput::Forget() {
  kept_.Clear();
  state_ = Kept::None;
}

void PartsOutput::Append(const char* data, std::size_t length) {
  file_.Write(data, length);
  if (state_ == Kept::Whole && !kept_.Empty())
    kept_.Append(data, length);
}

void PartsOutput::AppendText(TextBuffer&& text) {
  text.VisitRange(0, text.Size(),
                  [this](const char* data, std::size_t length) { file_.Write(data, length); });
  if (state_ != Kept::Whole)
    return;
  if (kept_.SpillError() == 0 && holds_(text.Size()))
    kept_.AppendBuffer(std::move(text));
  else
    state_ = Kept::Part; // the first of what was written
}
