// The document text model against a std::string holding the same text. The
// input is a chunk bound and a list of operations (appends, inserts, erases,
// take-backs, snapshots, searches, line lookups), each reading its operands
// from the bytes that follow it. A third of the texts keep chunks in a
// spill file, a third are read back from a file that is written with what
// is appended to them, as a pass's output file is.

#include "support/TextModel.h"
#include "text/ByteFold.h"
#include "text/SpillFile.h"
#include "text/TextBudget.h"
#include "text/TextBuffer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class Input {
public:
  Input(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // A position: one byte, or two when the first has its top bit set.
  std::size_t Number() {
    const uint8_t b = Byte();
    return b < 0x80 ? b : ((b & 0x7Fu) << 8 | Byte());
  }
  std::string Bytes() {
    const std::size_t n = std::min<std::size_t>(Number(), size_ - at_);
    std::string s(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return s;
  }

private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

[[noreturn]] void Fail(const char* what, std::size_t got, std::size_t expected) {
  std::fprintf(stderr, "%s differ: TextBuffer gave %zu, expected %zu\n", what, got, expected);
  std::abort();
}

void Expect(const char* what, std::size_t got, std::size_t expected) {
  if (got != expected)
    Fail(what, got, expected);
}

void CompareWhole(const TextBuffer& text, const std::string& model) {
  Expect("sizes", text.Size(), model.size());
  Expect("line counts", text.LineCount(),
         static_cast<std::size_t>(std::count(model.begin(), model.end(), '\n')) + 1);
  if (text.Text() != model) {
    std::fprintf(stderr, "texts differ\n");
    std::abort();
  }
  if (text.ChunkCount() > 2 * text.Size() / text.ChunkBytes() + 1)
    Fail("chunk count for the size", text.ChunkCount(), 2 * text.Size() / text.ChunkBytes() + 1);
}

// The file a text is read back from, written with what is appended to the
// text as long as nothing else changed it.
class WrittenFile {
public:
  explicit WrittenFile(TextBuffer& text) {
    fd_ = ::open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    int error = 0;
    if (fd_ >= 0)
      text.BackWith(SpillFile::Backing(fd_, error), 0);
  }
  ~WrittenFile() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  // The model after an operation that only appended, or after any other.
  void Appended(const std::string& model) {
    if (!live_ || fd_ < 0)
      return;
    const std::string more = model.substr(written_);
    if (::write(fd_, more.data(), more.size()) != static_cast<ssize_t>(more.size()))
      std::abort();
    written_ = model.size();
  }
  void Changed() { live_ = false; }
  // What the file holds leaves the text's memory; whatever was done to the
  // text, its bytes must stay its own.
  void Leave(TextBuffer& text) const { text.LeaveInFile(written_); }

private:
  int fd_ = -1;
  std::size_t written_ = 0;
  bool live_ = true;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const ByteFold latin1 = ByteFold::Latin1Case();
  Input in(data, size);
  TextBuffer text(2 + in.Byte() % 40);
  // A third of the inputs keep a text of more than a few hundred bytes in
  // a spill file, a third in the file it is written to.
  const int where = in.Byte() % 3;
  TextBudget::SetLimitForTests(where == 1 ? 256 : 0);
  if (where == 1)
    text.AllowSpill();
  std::string model;
  std::unique_ptr<WrittenFile> file;
  if (where == 2)
    file = std::make_unique<WrittenFile>(text);
  std::vector<std::pair<TextBuffer, std::string>> snapshots;
  while (!in.Done()) {
    switch (in.Byte() % 10) {
    case 0: {
      std::string line = in.Bytes();
      // Half the lines hold no break, as their caller says.
      if (line.size() % 2) {
        line.erase(std::remove(line.begin(), line.end(), '\n'), line.end());
        text.AppendBreaklessLine(line.data(), line.size());
      } else {
        text.AppendLine(line);
      }
      model += line + '\n';
      break;
    }
    case 1: {
      const std::string bytes = in.Bytes();
      text.Append(bytes);
      model += bytes;
      break;
    }
    case 2: {
      const std::size_t pos = in.Number();
      const std::string bytes = in.Bytes();
      text.Insert(pos, bytes);
      model.insert(std::min(pos, model.size()), bytes);
      if (file && pos < model.size() - bytes.size())
        file->Changed();
      break;
    }
    case 3: {
      const std::size_t a = in.Number();
      const std::size_t b = a + in.Number();
      text.Erase(a, b);
      if (a < model.size()) {
        model.erase(a, b - a);
        if (file)
          file->Changed();
      }
      break;
    }
    case 4: {
      const std::size_t n = in.Number();
      text.TakeBack(n);
      if (file && n > 0 && !model.empty())
        file->Changed();
      model.resize(model.size() - std::min(n, model.size()));
      break;
    }
    case 5: {
      const uint8_t how = in.Byte();
      if (how % 2 == 0 || snapshots.empty()) {
        snapshots.emplace_back(text.Snapshot(), model);
        if (snapshots.size() > 3)
          snapshots.erase(snapshots.begin());
      } else if (how & 0x40) {
        // A range of an earlier state goes back in, as Undo puts it back.
        const auto& [copy, bytes] = snapshots[how / 2 % snapshots.size()];
        const std::size_t pos = in.Number();
        const std::size_t a = in.Number();
        const std::size_t b = a + in.Number();
        text.InsertRange(pos, copy, a, b);
        if (a < bytes.size())
          model.insert(std::min(pos, model.size()), bytes.substr(a, b - a));
        if (file)
          file->Changed();
      } else {
        const auto& [copy, bytes] = snapshots[how / 2 % snapshots.size()];
        text = copy;
        model = bytes;
        if (file)
          file->Changed();
      }
      break;
    }
    case 6:
    case 7: {
      const uint8_t how = in.Byte();
      const std::size_t from = in.Number();
      const std::size_t to = how & 4 ? TextBuffer::npos : in.Number();
      std::string needle;
      if (how & 1) {
        const std::size_t at = in.Number();
        const std::size_t n = in.Number();
        if (at < model.size())
          needle = model.substr(at, n);
      } else {
        needle = in.Bytes();
      }
      const ByteFold* fold = how & 2 ? &latin1 : nullptr;
      const bool backward = how & 8;
      const std::size_t got =
          backward ? text.FindBackward(needle, from, to, fold) : text.Find(needle, from, to, fold);
      std::size_t expected = ModelFind(model, needle, from, to, fold, backward);
      if (needle.empty() && from <= std::min(to, model.size()))
        expected = backward ? std::min(to, model.size()) : from;
      Expect(backward ? "backward searches" : "searches", got, expected);
      break;
    }
    case 8: {
      const std::size_t line = in.Number();
      const std::size_t pos = in.Number();
      Expect("line starts", text.LineStart(line), ModelLineStart(model, line));
      const std::size_t end = model.find('\n', ModelLineStart(model, line));
      Expect("line ends", text.LineEnd(line), end == std::string::npos ? model.size() : end);
      Expect("lines of an offset", text.LineOf(pos),
             static_cast<std::size_t>(
                 std::count(model.begin(), model.begin() + std::min(pos, model.size()), '\n')));
      Expect("bytes", static_cast<unsigned char>(text.At(pos)),
             pos < model.size() ? static_cast<unsigned char>(model[pos]) : 0);
      break;
    }
    case 9: {
      // A text made apart joins the end: with the same chunk bound its
      // chunks move over, with another its bytes are copied.
      const uint8_t how = in.Byte();
      TextBuffer other(how % 2 ? text.ChunkBytes() : 2 + how % 40);
      std::string bytes;
      for (int piece = how / 2 % 4; piece > 0; --piece) {
        const std::string more = in.Bytes();
        other.Append(more);
        bytes += more;
      }
      text.AppendBuffer(std::move(other));
      model += bytes;
      Expect("bytes left behind", other.Size(), std::size_t(0));
      // Writes to disk under way are seen done now and then.
      if (how & 0x80)
        text.CollectSpilled(true);
      break;
    }
    }
    if (file) {
      file->Appended(model);
      file->Leave(text);
    }
    CompareWhole(text, model);
  }
  for (const auto& [copy, bytes] : snapshots)
    CompareWhole(copy, bytes);
  return 0;
}
