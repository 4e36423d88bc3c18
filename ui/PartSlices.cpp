#include "ui/PartSlices.h"

#include "extract/AcceptTable.h"
#include "extract/EncodedLines.h"
#include "extract/LineSink.h"
#include "extract/RunScanner.h"
#include "io/ThreadPriority.h"

#include <algorithm>

namespace {
bool Accepts(const TextOptions& options, unsigned char byte) {
  AcceptTable table;
  BuildAcceptTable(options, table);
  return table.IsAccepted(byte);
}
} // namespace

// The lines of one part into slices of text, each line followed by a line
// break; a long run comes in pieces, so that it is held once, in the text.
// Each slice is handed over once it is full.
class PartSlices::Sink : public LineSink {
public:
  Sink(PartSlices& owner, Parts::Part& part) : owner_(owner), part_(part) {
    text_.SetSupply(&owner.supply_);
  }
  void Start(uint64_t start) { start_ = start; }
  // The last slice, then the part's end.
  void HandRest(const ExtractResult& result) {
    text_.SetSupply(nullptr);
    const uint64_t stop = start_ + result.bytesRead;
    Hand(std::move(text_), stop, pieceBytes_ > 0);
    PartSlice end;
    end.end = true;
    end.start = start_;
    end.limits = part_.Limits();
    end.upTo = end.stop = stop;
    end.readError = result.readError;
    part_.Hand(std::move(end));
  }
  void Line(const char* data, std::size_t length, uint64_t offset) override {
    Room(offset, false);
    if (owner_.breaklessRuns_)
      text_.AppendBreaklessLine(data, length);
    else
      text_.AppendLine(data, length);
  }
  bool TakesStretches() const override { return true; }
  void Lines(const char* data, std::size_t length, uint64_t offset) override {
    Room(offset, false);
    text_.Append(data, length);
  }
  bool TakesPieces() const override { return true; }
  // `offset` is where the run starts; this piece starts after what came of
  // it before.
  void Piece(const char* data, std::size_t length, uint64_t offset) override {
    Room(offset + pieceBytes_, pieceBytes_ > 0);
    text_.Append(data, length);
    pieceBytes_ += length;
  }
  void EndPieces() override {
    text_.Append("\n", 1);
    pieceBytes_ = 0;
  }
  // A part's limits never change while it is scanned, so its runs are
  // never taken back; were one, only what was not handed over yet could be.
  void DropPieces() override {
    text_.TakeBack(std::min<uint64_t>(pieceBytes_, text_.Size()));
    pieceBytes_ = 0;
  }

private:
  // Hands the slice over once it is full; `offset`: where the bytes about
  // to come lie, from the part's start; `midRun`: they go on a run.
  void Room(uint64_t offset, bool midRun) {
    if (text_.Size() < kSliceBytes)
      return;
    TextBuffer full(std::move(text_));
    text_ = TextBuffer();
    Hand(std::move(full), start_ + offset, midRun);
  }
  void Hand(TextBuffer&& text, uint64_t upTo, bool midRun) {
    if (text.Empty())
      return;
    PartSlice slice;
    slice.text = std::move(text);
    slice.midRun = midRun;
    slice.start = start_;
    slice.limits = part_.Limits();
    slice.upTo = upTo;
    part_.Hand(std::move(slice));
  }

  PartSlices& owner_;
  Parts::Part& part_;
  uint64_t start_ = 0;
  TextBuffer text_;
  uint64_t pieceBytes_ = 0;
};

PartSlices::PartSlices(InputFile& whole, const TextOptions& options, const ExtractionChoice& choice,
                       unsigned workers, uint64_t partSize)
    : options_(options), choice_(choice), breaklessRuns_(!Accepts(options, '\n')),
      cuts_(Entries(), whole, partSize),
      // 64 chunks: 4 MiB of the parts' texts mapped ahead.
      supply_(TextBuffer::kDefaultChunkBytes, 64),
      parts_(cuts_.Count(), workers, kSlicesAhead, PartLimits::Of(options),
             [this](Parts::Part& part) { Scan(part); }) {}

std::vector<FileCuts::Entry> PartSlices::Entries() const {
  std::vector<FileCuts::Entry> entries;
  for (const Encoding encoding : choice_.encodings)
    entries.push_back({encoding, &options_});
  return entries;
}

void PartSlices::Scan(Parts::Part& part) {
  RunBehindTheWindow();
  TextOptions options = options_;
  part.Limits().ApplyTo(options);
  Sink sink(*this, part);
  const ExtractResult result =
      choice_.IsDefault() ? ScanBytes(part, options, sink) : ScanEncoded(part, options, sink);
  if (!part.Cancelled())
    sink.HandRest(result);
}

ExtractResult PartSlices::ScanBytes(Parts::Part& part, const TextOptions& options, Sink& sink) {
  RunScanner scanner(options, sink);
  return cuts_.Scan(
      part.Index(), scanner, sink, [&sink](uint64_t start) { sink.Start(start); },
      [&part] { return part.Cancelled(); }, true);
}

ExtractResult PartSlices::ScanEncoded(Parts::Part& part, const TextOptions& options, Sink& sink) {
  EncodedLines lines(options, choice_, sink);
  return cuts_.Scan(
      part.Index(), lines.Scanner(), sink,
      [&sink, &lines](uint64_t start) {
        sink.Start(start);
        lines.SetBase(start);
      },
      [&part] { return part.Cancelled(); }, true);
}
