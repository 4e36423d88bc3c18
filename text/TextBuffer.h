#pragma once
// The text of a document: 8-bit bytes, '\n' ends a line. Held in chunks of at
// most ChunkBytes() bytes with an index of bytes and line breaks per chunk,
// so that a text of hundreds of megabytes, or one line of that size, is never
// copied or moved as a whole:
//  - appending copies only the new bytes (amortised O(length));
//  - line <-> offset in O(log chunks) plus a scan of one chunk;
//  - insert and erase touch the one or two chunks at their ends (plus the
//    chunks wholly removed) and the index;
//  - a copy shares every chunk; whichever side writes to a shared chunk
//    copies that chunk alone first. Copying is therefore the snapshot: the
//    copy keeps the bytes as they were, whatever the original does next.
//
// Lines: LineCount() is the number of '\n' plus one, as in editors: an empty
// text has one (empty) line and a text ending in '\n' has an empty last line.
// Lines and offsets count from 0. Ranges are [begin, end) byte offsets;
// offsets past the end are taken as the end, lines past the last as the last.
//
// One thread uses a TextBuffer at a time (queries may rebuild the index or
// read a chunk back from disk). A copy is a separate object and may go to
// another thread: shared chunks are never written while shared.
//
// Memory: a text allowed to spill (AllowSpill) keeps its chunks in memory
// while the process's text stays within TextBudget::Limit(); beyond it, it
// writes its chunks to a spill file of its own and reads them back when
// they are read, a few at a time. The index of bytes and breaks stays in
// memory. An edit copies the chunks it changes back into memory.

#include "text/ByteFold.h"
#include "text/ChunkIndex.h"
#include "text/ChunkSupply.h"
#include "text/LoadedChunks.h"
#include "text/ResidentBytes.h"
#include "text/SpillFile.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TextBuffer {
public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  static constexpr std::size_t kDefaultChunkBytes = 64 * 1024;

  // chunkBytes bounds each chunk (at least 2; small bounds are for tests).
  explicit TextBuffer(std::size_t chunkBytes = kDefaultChunkBytes);

  // A copy that shares the chunks; see above.
  TextBuffer Snapshot() const { return *this; }

  std::size_t Size() const { return total_.bytes; }
  bool Empty() const { return total_.bytes == 0; }
  std::size_t LineCount() const { return total_.breaks + 1; }
  std::size_t ChunkBytes() const { return chunkBytes_; }
  std::size_t ChunkCount() const { return chunks_.size(); }

  // Changes.
  void Append(const char* data, std::size_t length);
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  // data followed by '\n'. Inline: a pass appends millions of short lines.
  void AppendLine(const char* data, std::size_t length) {
    // Lines rarely hold a break of their own; those take the general path,
    // which counts them.
    if (std::memchr(data, '\n', length) || !AppendLineInPlace(data, length)) {
      Append(data, length);
      Append("\n", 1);
    }
  }
  // The same for a line its caller knows holds no '\n' (a run of bytes that
  // exclude it), without looking.
  void AppendBreaklessLine(const char* data, std::size_t length) {
    if (!AppendLineInPlace(data, length)) {
      Append(data, length);
      Append("\n", 1);
    }
  }
  void AppendLine(std::string_view line) { AppendLine(line.data(), line.size()); }
  // Appends the text of `other`, which is left empty. With the same chunk
  // bound its chunks move over as they are: no byte is copied, whatever its
  // size. A text that may spill and has no spill file yet takes over
  // other's, with its writes under way: the text a pass kept goes on
  // leaving memory in the document, neither held back nor written twice.
  void AppendBuffer(TextBuffer&& other);
  void Insert(std::size_t pos, const char* data, std::size_t length);
  void Insert(std::size_t pos, std::string_view text) { Insert(pos, text.data(), text.size()); }
  // Inserts other[begin, end) at pos. With the same chunk bound the chunks
  // wholly inside the range are shared, not copied: undoing the deletion of
  // a large text costs no second copy of it.
  void InsertRange(std::size_t pos, const TextBuffer& other, std::size_t begin, std::size_t end);
  void Erase(std::size_t begin, std::size_t end);
  // Takes back the last `count` bytes; costs only the chunks they are in.
  void TakeBack(std::size_t count);
  void Clear();
  // While set, new chunks of ChunkBytes() come from `supply` when it has one
  // ready (its blocks must be that size). It stays with this object: a copy
  // or a buffer moved into starts without one. nullptr ends it.
  void SetSupply(ChunkSupply* supply) { supply_.supply = supply; }
  // From now on, chunks of this text may go to disk when the process's text
  // is over budget (see above). Like the supply, it stays with this object,
  // whatever is assigned to it; a copy or a buffer moved into does not
  // spill.
  void AllowSpill() { spill_.allowed = true; }
  // Chunks go to disk on the spill file's thread; they leave memory once
  // collected here (as every change does on its own), and more are sent
  // while the text is over budget. `wait`: until nothing more is under way.
  void CollectSpilled(bool wait);
  // Writes to the spill file under way, and whether they are so far behind
  // that the text should not grow until they are done.
  bool SpillPending() const { return !spill_.pending.empty(); }
  bool SpillBehind() const;
  // The error number of the last failed write to or read from the spill
  // file, or 0. After a failed write the text keeps its chunks in memory.
  int SpillError() const;
  // Some bytes of this text could not be read back from disk (a failing
  // disk, a backing file cut short): they read as blanks and line breaks.
  bool ReadFailed() const { return readFailed_; }
  // Bytes of this text held on disk; counts every chunk.
  uint64_t BytesOnDisk() const;
  // This text is being written, in order and by others, to `file` from
  // its start at `base` (the output file of a pass): its bytes need no
  // second copy on disk. LeaveInFile(written), once the file's first
  // `written` bytes are there, lets the chunks wholly among them leave
  // memory, to be read back from the file; the last chunk stays, as
  // appends go there. Any change other than an append ends this (the text
  // no longer is the file), and a copy or a text moved into does not have
  // it.
  void BackWith(std::shared_ptr<SpillFile> file, uint64_t base);
  void LeaveInFile(uint64_t written);

  // Reading.
  char At(std::size_t pos) const;
  // Calls visit(const char* data, std::size_t length) for each stored piece
  // of [begin, end), in order; nothing is copied.
  template <class Visit> void VisitRange(std::size_t begin, std::size_t end, Visit visit) const;
  // When every chunk is in memory: calls visit(std::shared_ptr<const void>
  // hold, const char* data, std::size_t length) for each, in order, and
  // true. The hold keeps the bytes as they are, for a writer on another
  // thread: a change of this text copies a held chunk first. False, and no
  // call, when some are on disk.
  template <class Visit> bool ShareChunks(Visit visit) const;
  // Copies [begin, end) to out (end - begin bytes after clamping).
  void CopyOut(std::size_t begin, std::size_t end, char* out) const;
  std::string Text(std::size_t begin, std::size_t end) const;
  std::string Text() const { return Text(0, Size()); }

  // Lines.
  std::size_t LineStart(std::size_t line) const;
  // Offset of the line's '\n', or Size() for the last line.
  std::size_t LineEnd(std::size_t line) const;
  std::size_t LineOf(std::size_t pos) const;

  // Searches. A match lies wholly inside [from, to); Find gives the first,
  // FindBackward the last, npos when there is none. An empty needle matches
  // at `from` (Find) or at `to` (FindBackward). With a fold, bytes match when
  // the fold maps them to the same value.
  std::size_t Find(std::string_view needle, std::size_t from = 0, std::size_t to = npos,
                   const ByteFold* fold = nullptr) const;
  std::size_t FindBackward(std::string_view needle, std::size_t from = 0, std::size_t to = npos,
                           const ByteFold* fold = nullptr) const;

private:
  struct Chunk {
    // Empty when the bytes are on disk, in `file` at `at`.
    ResidentBytes bytes;
    std::size_t size = 0;
    std::size_t capacity = 0;
    std::size_t breaks = 0;
    std::shared_ptr<SpillFile> file;
    uint64_t at = 0;
  };
  struct Place {
    std::size_t chunk;
    std::size_t rest;
  };
  // The search reads the chunks in place, without copying them.
  friend class ChunkFinder;

  // Not copied: see SetSupply.
  struct SupplyLink {
    ChunkSupply* supply = nullptr;
    SupplyLink() = default;
    SupplyLink(const SupplyLink&) {}
    SupplyLink& operator=(const SupplyLink&) { return *this; }
  };

  // Not copied: see AllowSpill.
  struct SpillLink {
    // A chunk being written: where it was, and how the write goes.
    struct Pending {
      std::size_t hint;
      std::shared_ptr<Chunk> chunk;
      std::shared_ptr<const SpillFile::Ticket> ticket;
    };
    bool allowed = false;
    std::shared_ptr<SpillFile> file;
    int error = 0;
    std::deque<Pending> pending;
    uint64_t pendingBytes = 0;
    // Where the next look for a chunk to write out begins.
    std::size_t cursor = 0;
    // The size at which a look that found nothing to write was made.
    std::size_t fruitlessAt = 0;
    SpillLink() = default;
    SpillLink(const SpillLink&) {}
    // A text moved out takes its file and its writes under way along with
    // its chunks, not the permission: a text that may spill takes them
    // over when this one is appended to it (TakeOverSpill).
    SpillLink(SpillLink&& from) noexcept
        : file(std::move(from.file)), error(from.error), pending(std::move(from.pending)),
          pendingBytes(std::exchange(from.pendingBytes, 0)) {
      from.pending.clear();
    }
    // A text assigned in keeps the permission; the old text's file stays
    // only as long as chunks stored in it do, so that its space goes back.
    SpillLink& operator=(const SpillLink&) {
      pending.clear();
      pendingBytes = 0;
      file.reset();
      error = 0;
      cursor = fruitlessAt = 0;
      return *this;
    }
  };

  // Not copied: see BackWith.
  struct BackLink {
    std::shared_ptr<SpillFile> file;
    uint64_t base = 0;
    // Chunks before this one are in the file; it starts at `at` of the text.
    std::size_t chunk = 0;
    uint64_t at = 0;
    BackLink() = default;
    BackLink(const BackLink&) {}
    BackLink& operator=(const BackLink&) {
      file.reset();
      chunk = 0;
      at = 0;
      return *this;
    }
  };

  std::size_t Breaks() const { return total_.breaks; }
  // A change other than an append: see BackWith.
  void EndBacking() { back_ = BackLink(); }
  // The bytes of chunk i, read back from disk when they are there; valid
  // until a few other chunks were read back or the text changed.
  const char* Bytes(std::size_t i) const;
  // Over budget: writes chunks of this text to its spill file until the
  // process's text is back under it or none is left to write.
  void MaybeSpill();
  // Takes in the writes done (`wait`: all of them, done or not yet).
  void TakeFinished(bool wait);
  // The spill file of a text appended to this one, and its writes under
  // way, whose chunks now stand from `seam` on; see AppendBuffer.
  void TakeOverSpill(SpillLink& from, std::size_t seam);
  // Chunk i to the spill file's thread.
  void QueueSpill(std::size_t i);
  // The chunk of a finished write, in place of the one in memory.
  void TakeSpilled(const SpillLink::Pending& done);
  // Chunk i is read from `file` at `at` from now on: the one in memory goes.
  void LeaveMemory(std::size_t i, const std::shared_ptr<SpillFile>& file, uint64_t at);
  // The common case of AppendLine: a line without a break of its own fits
  // the last chunk, which is ours alone.
  bool AppendLineInPlace(const char* data, std::size_t length);
  std::shared_ptr<Chunk> NewChunk(std::size_t capacity) const;
  // Chunk holding byte pos (< Size()) and pos's offset in it.
  Place Locate(std::size_t pos) const;
  void EnsureIndex() const;
  // Every change of counts goes through here: chunk i (ours alone) grew or
  // shrank by `bytes` holding `breaks`, and its own counts, the totals and
  // the index move together, so that none can drift from the others.
  void Account(std::size_t i, int64_t bytes, int64_t breaks);
  // Chunks joining or leaving the text bring or take their counts, through
  // these three alone; the index follows a change at the end and is rebuilt
  // when needed after one elsewhere.
  void PushChunk(std::shared_ptr<Chunk> chunk);
  void InsertChunks(std::size_t at, std::vector<std::shared_ptr<Chunk>> fresh);
  void RemoveChunks(std::size_t first, std::size_t last);
  // Makes pos the start of a chunk (or the end); the index of that chunk.
  std::size_t SplitAt(std::size_t pos);
  // A new chunk holding `length` bytes from `data`, its breaks counted.
  std::shared_ptr<Chunk> ChunkOf(const char* data, std::size_t length) const;
  // Chunk i, unshared and with room for `capacity` bytes.
  Chunk& Writable(std::size_t i, std::size_t capacity);
  // The last chunk, unshared and with room for at least one more byte.
  Chunk& AppendTarget(std::size_t wanted);
  // Merges neighbours among chunks [first, last] that fit in one chunk
  // together and drops empty ones, which keeps the chunk count at most about
  // twice the size over the bound.
  void Tidy(std::size_t first, std::size_t last);

  std::size_t chunkBytes_;
  std::vector<std::shared_ptr<Chunk>> chunks_;
  // Bytes and line breaks of the whole text.
  ChunkIndex::Totals total_;
  // Built on the first query that needs it, and again after chunks were
  // added or removed other than at the end; a text that is only appended to
  // and handed on (a worker's slice) never builds one.
  mutable ChunkIndex index_;
  mutable bool indexStale_ = true;
  SupplyLink supply_;
  SpillLink spill_;
  BackLink back_;
  mutable LoadedChunks loaded_;
  mutable bool readFailed_ = false;
};

inline bool TextBuffer::AppendLineInPlace(const char* data, std::size_t length) {
  if (chunks_.empty())
    return false;
  Chunk& last = *chunks_.back();
  if (last.size + length >= last.capacity || chunks_.back().use_count() != 1 || !last.bytes)
    return false;
  // The last other owner let go, maybe on another thread; its reads come
  // before our writes.
  std::atomic_thread_fence(std::memory_order_acquire);
  char* to = last.bytes.get() + last.size;
  std::memcpy(to, data, length);
  to[length] = '\n';
  Account(chunks_.size() - 1, static_cast<int64_t>(length + 1), 1);
  return true;
}

inline void TextBuffer::Account(std::size_t i, int64_t bytes, int64_t breaks) {
  // Unsigned sums wrap, so a negative change takes away.
  Chunk& c = *chunks_[i];
  c.size += static_cast<std::size_t>(bytes);
  c.breaks += static_cast<std::size_t>(breaks);
  total_.bytes += static_cast<uint64_t>(bytes);
  total_.breaks += static_cast<uint64_t>(breaks);
  if (!indexStale_)
    index_.Add(i, bytes, breaks);
}

template <class Visit> bool TextBuffer::ShareChunks(Visit visit) const {
  for (const std::shared_ptr<Chunk>& chunk : chunks_)
    if (!chunk->bytes)
      return false;
  for (const std::shared_ptr<Chunk>& chunk : chunks_)
    if (chunk->size > 0)
      visit(std::shared_ptr<const void>(chunk), chunk->bytes.get(), chunk->size);
  return true;
}

template <class Visit>
void TextBuffer::VisitRange(std::size_t begin, std::size_t end, Visit visit) const {
  end = std::min<std::size_t>(end, total_.bytes);
  if (begin >= end)
    return;
  Place at = Locate(begin);
  std::size_t left = end - begin;
  for (std::size_t i = at.chunk; left > 0; ++i) {
    const Chunk& c = *chunks_[i];
    const std::size_t n = std::min(c.size - at.rest, left);
    visit(Bytes(i) + at.rest, n);
    left -= n;
    at.rest = 0;
  }
}
