#include "text/TextBuffer.h"

#include "text/ChunkFinder.h"
#include "text/FreeBlocks.h"
#include "text/TextBudget.h"

#include <atomic>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

static_assert(FreeBlocks::kBlockBytes == TextBuffer::kDefaultChunkBytes,
              "the blocks kept are those of full chunks");

namespace {

// Chunks of a text's first few KiB start small and grow; a short document
// does not hold a whole chunk's worth of memory.
constexpr std::size_t kFirstCapacity = 256;

std::size_t CountBreaks(const char* data, std::size_t length) {
  std::size_t count = 0;
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i newline = _mm_set1_epi8('\n');
  // Byte counters in a vector, emptied into `count` before they can wrap.
  while (length - i >= 16) {
    const std::size_t blocks = std::min<std::size_t>((length - i) / 16, 255);
    __m128i counters = _mm_setzero_si128();
    for (std::size_t b = 0; b < blocks; ++b, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(v, newline));
    }
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; i < length; ++i)
    count += data[i] == '\n';
  return count;
}

#ifdef __SSE2__
// The line breaks in the 256 bytes from data.
std::size_t BreaksIn256(const char* data) {
  const __m128i newline = _mm_set1_epi8('\n');
  __m128i counters = _mm_setzero_si128();
  for (std::size_t b = 0; b < 256; b += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + b));
    counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(v, newline));
  }
  const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
  return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
         static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
}
#endif

std::size_t PopCount(unsigned x) {
  x = x - ((x >> 1) & 0x55555555u);
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0Fu;
  return (x * 0x01010101u) >> 24;
}

// Offset of line break number k (from 0) in data, which must hold it.
std::size_t NthBreak(const char* data, std::size_t length, std::size_t k) {
  std::size_t i = 0;
#ifdef __SSE2__
  const __m128i newline = _mm_set1_epi8('\n');
  // Whole 256-byte blocks are counted and passed over at the speed of
  // CountBreaks; the block with the break is then looked at 16 bytes at a time.
  while (length - i >= 256) {
    const std::size_t here = BreaksIn256(data + i);
    if (k < here)
      break;
    k -= here;
    i += 256;
  }
  while (length - i >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, newline)));
    const std::size_t here = PopCount(mask);
    if (k < here) {
      for (; k > 0; --k)
        mask &= mask - 1;
      return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    k -= here;
    i += 16;
  }
#endif
  for (;; ++i) {
    if (data[i] == '\n') {
      if (k == 0)
        return i;
      --k;
    }
  }
}

// Offset of line break number k counted back from the end of data (0 is the
// last), which data must hold.
std::size_t NthBreakFromEnd(const char* data, std::size_t length, std::size_t k) {
  std::size_t i = length;
#ifdef __SSE2__
  const __m128i newline = _mm_set1_epi8('\n');
  while (i >= 256) {
    const std::size_t here = BreaksIn256(data + i - 256);
    if (k < here)
      break;
    k -= here;
    i -= 256;
  }
  while (i >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i - 16));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, newline)));
    const std::size_t here = PopCount(mask);
    if (k < here) {
      for (; k > 0; --k)
        mask &= ~(0x80000000u >> __builtin_clz(mask));
      return i - 16 + static_cast<std::size_t>(31 - __builtin_clz(mask));
    }
    k -= here;
    i -= 16;
  }
#endif
  while (true) {
    --i;
    if (data[i] == '\n') {
      if (k == 0)
        return i;
      --k;
    }
  }
}

} // namespace

TextBuffer::TextBuffer(std::size_t chunkBytes)
    : chunkBytes_(std::max<std::size_t>(chunkBytes, 2)) {}

std::shared_ptr<TextBuffer::Chunk> TextBuffer::NewChunk(std::size_t capacity) const {
  auto chunk = std::make_shared<Chunk>();
  if (supply_.supply && capacity == supply_.supply->BlockBytes())
    chunk->bytes.Reset(supply_.supply->Take(), capacity);
  // Not value-initialised: the bytes are written before they are read.
  if (!chunk->bytes)
    chunk->bytes.Allocate(capacity);
  chunk->capacity = capacity;
  return chunk;
}

void TextBuffer::EnsureIndex() const {
  if (!indexStale_)
    return;
  std::vector<ChunkIndex::Totals> totals(chunks_.size());
  for (std::size_t i = 0; i < chunks_.size(); ++i)
    totals[i] = {chunks_[i]->size, chunks_[i]->breaks};
  index_.Rebuild(std::move(totals));
  indexStale_ = false;
}

void TextBuffer::PushChunk(std::shared_ptr<Chunk> chunk) {
  total_.bytes += chunk->size;
  total_.breaks += chunk->breaks;
  if (!indexStale_)
    index_.PushBack({chunk->size, chunk->breaks});
  chunks_.push_back(std::move(chunk));
}

void TextBuffer::InsertChunks(std::size_t at, std::vector<std::shared_ptr<Chunk>> fresh) {
  if (at == chunks_.size()) {
    for (std::shared_ptr<Chunk>& chunk : fresh)
      PushChunk(std::move(chunk));
    return;
  }
  for (const std::shared_ptr<Chunk>& chunk : fresh) {
    total_.bytes += chunk->size;
    total_.breaks += chunk->breaks;
  }
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(at),
                 std::make_move_iterator(fresh.begin()), std::make_move_iterator(fresh.end()));
  indexStale_ = true;
}

void TextBuffer::RemoveChunks(std::size_t first, std::size_t last) {
  if (first >= last)
    return;
  for (std::size_t i = first; i < last; ++i) {
    total_.bytes -= chunks_[i]->size;
    total_.breaks -= chunks_[i]->breaks;
  }
  // Chunks taken from the end leave the index valid.
  if (last == chunks_.size() && !indexStale_)
    for (std::size_t i = first; i < last; ++i)
      index_.PopBack();
  else
    indexStale_ = true;
  chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(first),
                chunks_.begin() + static_cast<std::ptrdiff_t>(last));
}

TextBuffer::Place TextBuffer::Locate(std::size_t pos) const {
  // Near the end, where appends and take-backs work, the index is not needed.
  const Chunk& last = *chunks_.back();
  const std::size_t lastStart = Size() - last.size;
  if (pos >= lastStart)
    return {chunks_.size() - 1, pos - lastStart};
  EnsureIndex();
  const ChunkIndex::Hit hit = index_.FindByte(pos);
  return {hit.chunk, static_cast<std::size_t>(hit.rest)};
}

TextBuffer::Chunk& TextBuffer::Writable(std::size_t i, std::size_t capacity) {
  std::shared_ptr<Chunk>& p = chunks_[i];
  if (p.use_count() != 1 || !p->bytes) {
    auto copy = NewChunk(std::max(capacity, p->size));
    std::memcpy(copy->bytes.get(), Bytes(i), p->size);
    copy->size = p->size;
    copy->breaks = p->breaks;
    p = std::move(copy);
    return *p;
  }
  // The last other owner let go, maybe on another thread; its reads come
  // before our writes.
  std::atomic_thread_fence(std::memory_order_acquire);
  if (p->capacity < capacity) {
    ResidentBytes bigger;
    bigger.Allocate(capacity);
    std::memcpy(bigger.get(), p->bytes.get(), p->size);
    p->bytes = std::move(bigger);
    p->capacity = capacity;
  }
  return *p;
}

TextBuffer::Chunk& TextBuffer::AppendTarget(std::size_t wanted) {
  if (chunks_.empty() || chunks_.back()->size >= chunkBytes_) {
    const std::size_t capacity =
        chunks_.empty() ? std::min(chunkBytes_, std::max(wanted, kFirstCapacity)) : chunkBytes_;
    PushChunk(NewChunk(capacity));
    return *chunks_.back();
  }
  const Chunk& last = *chunks_.back();
  std::size_t capacity = last.capacity;
  if (last.size == capacity || last.size + wanted > capacity)
    capacity = std::min(chunkBytes_, std::max(last.size + wanted, 2 * capacity));
  return Writable(chunks_.size() - 1, capacity);
}

void TextBuffer::Append(const char* data, std::size_t length) {
  while (length > 0) {
    Chunk& last = AppendTarget(length);
    const std::size_t n = std::min(last.capacity - last.size, length);
    std::memcpy(last.bytes.get() + last.size, data, n);
    Account(chunks_.size() - 1, static_cast<int64_t>(n),
            static_cast<int64_t>(CountBreaks(data, n)));
    data += n;
    length -= n;
  }
  MaybeSpill();
}

void TextBuffer::AppendBuffer(TextBuffer&& other) {
  // Chunks of another bound would break the rule that keeps the chunk
  // count near the size over the bound: those bytes are copied.
  if (other.chunkBytes_ != chunkBytes_) {
    other.VisitRange(0, other.Size(),
                     [this](const char* data, std::size_t length) { Append(data, length); });
    other.Clear();
    return;
  }
  const std::size_t seam = chunks_.size();
  for (std::shared_ptr<Chunk>& chunk : other.chunks_)
    if (chunk->size > 0)
      PushChunk(std::move(chunk));
  TakeOverSpill(other.spill_, seam);
  other.Clear();
  // Two part-filled chunks either side of the seam become one.
  if (seam > 0 && seam < chunks_.size())
    Tidy(seam - 1, seam);
  MaybeSpill();
}

void TextBuffer::Insert(std::size_t pos, const char* data, std::size_t length) {
  if (length == 0)
    return;
  if (pos >= Size()) {
    Append(data, length);
    return;
  }
  EndBacking();
  Place at = Locate(pos);
  // At a chunk's start, the end of the chunk before is just as good and may
  // have room.
  if (at.rest == 0 && at.chunk > 0 && chunks_[at.chunk - 1]->size + length <= chunkBytes_) {
    --at.chunk;
    at.rest = chunks_[at.chunk]->size;
  }
  const std::size_t breaks = CountBreaks(data, length);
  const std::size_t oldSize = chunks_[at.chunk]->size;
  if (oldSize + length <= chunkBytes_) {
    const std::size_t capacity =
        std::min(chunkBytes_, std::max(oldSize + length, 2 * chunks_[at.chunk]->capacity));
    Chunk& c = Writable(at.chunk, chunks_[at.chunk]->capacity >= oldSize + length
                                      ? chunks_[at.chunk]->capacity
                                      : capacity);
    char* bytes = c.bytes.get();
    std::memmove(bytes + at.rest + length, bytes + at.rest, c.size - at.rest);
    std::memcpy(bytes + at.rest, data, length);
    Account(at.chunk, static_cast<int64_t>(length), static_cast<int64_t>(breaks));
    MaybeSpill();
    return;
  }

  // Too much for one chunk: the chunk's head, the new bytes and its tail are
  // laid out over new chunks filled evenly.
  const std::shared_ptr<Chunk> old = chunks_[at.chunk];
  const char* const oldBytes = Bytes(at.chunk);
  const std::string_view parts[3] = {
      {oldBytes, at.rest}, {data, length}, {oldBytes + at.rest, old->size - at.rest}};
  const std::size_t total = old->size + length;
  const std::size_t count = (total + chunkBytes_ - 1) / chunkBytes_;
  std::vector<std::shared_ptr<Chunk>> fresh;
  fresh.reserve(count);
  std::size_t part = 0, used = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t want = total / count + (k < total % count ? 1 : 0);
    auto chunk = NewChunk(chunkBytes_);
    while (chunk->size < want) {
      if (used == parts[part].size()) {
        ++part;
        used = 0;
        continue;
      }
      const std::size_t n = std::min(want - chunk->size, parts[part].size() - used);
      std::memcpy(chunk->bytes.get() + chunk->size, parts[part].data() + used, n);
      chunk->size += n;
      used += n;
    }
    chunk->breaks = CountBreaks(chunk->bytes.get(), chunk->size);
    fresh.push_back(std::move(chunk));
  }
  RemoveChunks(at.chunk, at.chunk + 1);
  InsertChunks(at.chunk, std::move(fresh));
  Tidy(at.chunk == 0 ? 0 : at.chunk - 1, at.chunk + count);
  MaybeSpill();
}

std::shared_ptr<TextBuffer::Chunk> TextBuffer::ChunkOf(const char* data, std::size_t length) const {
  auto chunk = NewChunk(std::max<std::size_t>(length, 1));
  std::memcpy(chunk->bytes.get(), data, length);
  chunk->size = length;
  chunk->breaks = CountBreaks(data, length);
  return chunk;
}

std::size_t TextBuffer::SplitAt(std::size_t pos) {
  if (pos >= Size())
    return chunks_.size();
  const Place at = Locate(pos);
  if (at.rest == 0)
    return at.chunk;
  const Chunk& c = *chunks_[at.chunk];
  const char* const bytes = Bytes(at.chunk);
  std::vector<std::shared_ptr<Chunk>> halves{ChunkOf(bytes, at.rest),
                                             ChunkOf(bytes + at.rest, c.size - at.rest)};
  RemoveChunks(at.chunk, at.chunk + 1);
  InsertChunks(at.chunk, std::move(halves));
  return at.chunk + 1;
}

void TextBuffer::InsertRange(std::size_t pos, const TextBuffer& other, std::size_t begin,
                             std::size_t end) {
  end = std::min(end, other.Size());
  if (begin >= end)
    return;
  pos = std::min(pos, Size());
  // Short ranges, and chunks of another bound, are copied.
  if (other.chunkBytes_ != chunkBytes_ || end - begin < 2 * chunkBytes_ || &other == this) {
    std::string bytes = other.Text(begin, end);
    Insert(pos, bytes.data(), bytes.size());
    return;
  }
  EndBacking();
  const Place first = other.Locate(begin);
  const Place last = other.Locate(end - 1);
  std::vector<std::shared_ptr<Chunk>> fresh;
  for (std::size_t i = first.chunk; i <= last.chunk; ++i) {
    const std::shared_ptr<Chunk>& c = other.chunks_[i];
    const std::size_t from = i == first.chunk ? first.rest : 0;
    const std::size_t to = i == last.chunk ? last.rest + 1 : c->size;
    if (from == 0 && to == c->size)
      fresh.push_back(c); // shared: whoever writes to it copies it first
    else
      fresh.push_back(ChunkOf(other.Bytes(i) + from, to - from));
  }
  const std::size_t at = SplitAt(pos);
  const std::size_t count = fresh.size();
  InsertChunks(at, std::move(fresh));
  // Part-filled chunks at the two seams join their neighbours.
  Tidy(at + count == 0 ? 0 : at + count - 1, at + count);
  Tidy(at == 0 ? 0 : at - 1, at);
  MaybeSpill();
}

void TextBuffer::Erase(std::size_t begin, std::size_t end) {
  end = std::min(end, Size());
  if (begin >= end)
    return;
  if (end == Size()) {
    TakeBack(end - begin);
    return;
  }
  EndBacking();
  const Place first = Locate(begin);
  const Place last = Locate(end - 1);
  const std::size_t lastEnd = last.rest + 1;
  if (first.chunk == last.chunk) {
    Chunk& c = Writable(first.chunk, 0);
    char* bytes = c.bytes.get();
    const std::size_t n = lastEnd - first.rest;
    const std::size_t breaks = CountBreaks(bytes + first.rest, n);
    std::memmove(bytes + first.rest, bytes + lastEnd, c.size - lastEnd);
    Account(first.chunk, -static_cast<int64_t>(n), -static_cast<int64_t>(breaks));
    Tidy(first.chunk == 0 ? 0 : first.chunk - 1, first.chunk + 1);
    return;
  }
  // The first chunk keeps its head, the last its tail; those between go.
  {
    Chunk& c = Writable(first.chunk, 0);
    const std::size_t n = c.size - first.rest;
    const std::size_t breaks = CountBreaks(c.bytes.get() + first.rest, n);
    Account(first.chunk, -static_cast<int64_t>(n), -static_cast<int64_t>(breaks));
  }
  {
    Chunk& c = Writable(last.chunk, 0);
    char* bytes = c.bytes.get();
    const std::size_t breaks = CountBreaks(bytes, lastEnd);
    std::memmove(bytes, bytes + lastEnd, c.size - lastEnd);
    Account(last.chunk, -static_cast<int64_t>(lastEnd), -static_cast<int64_t>(breaks));
  }
  RemoveChunks(first.chunk + 1, last.chunk);
  Tidy(first.chunk == 0 ? 0 : first.chunk - 1, first.chunk + 2);
}

void TextBuffer::Tidy(std::size_t first, std::size_t last) {
  last = std::min(last, chunks_.size() - 1);
  std::size_t i = first;
  while (i <= last && i < chunks_.size()) {
    if (chunks_[i]->size == 0) {
      RemoveChunks(i, i + 1);
      if (last == 0)
        break;
      --last;
      continue;
    }
    if (i > 0 && chunks_[i - 1]->size + chunks_[i]->size <= chunkBytes_) {
      const std::shared_ptr<Chunk> next = chunks_[i];
      const std::size_t combined = chunks_[i - 1]->size + next->size;
      Chunk& c = Writable(i - 1, std::max(combined, std::min(chunkBytes_, 2 * combined)));
      std::memcpy(c.bytes.get() + c.size, Bytes(i), next->size);
      // The counts move with the bytes: the totals gain them here and lose
      // them with the chunk.
      Account(i - 1, static_cast<int64_t>(next->size), static_cast<int64_t>(next->breaks));
      RemoveChunks(i, i + 1);
      if (last == 0)
        break;
      --last;
      continue;
    }
    ++i;
  }
}

void TextBuffer::TakeBack(std::size_t count) {
  count = std::min(count, Size());
  if (count > 0)
    EndBacking();
  while (count > 0) {
    const Chunk& last = *chunks_.back();
    if (last.size <= count) {
      count -= last.size;
      RemoveChunks(chunks_.size() - 1, chunks_.size());
      continue;
    }
    Chunk& c = Writable(chunks_.size() - 1, 0);
    const std::size_t breaks = CountBreaks(c.bytes.get() + c.size - count, count);
    Account(chunks_.size() - 1, -static_cast<int64_t>(count), -static_cast<int64_t>(breaks));
    count = 0;
  }
  if (chunks_.size() >= 2)
    Tidy(chunks_.size() - 1, chunks_.size() - 1);
}

void TextBuffer::Clear() {
  chunks_.clear();
  loaded_.Clear();
  spill_ = SpillLink(); // keeps the permission
  EndBacking();
  readFailed_ = false;
  index_.Clear();
  indexStale_ = true;
  total_ = {};
}

char TextBuffer::At(std::size_t pos) const {
  if (pos >= Size())
    return '\0';
  const Place at = Locate(pos);
  return Bytes(at.chunk)[at.rest];
}

void TextBuffer::CopyOut(std::size_t begin, std::size_t end, char* out) const {
  VisitRange(begin, end, [&out](const char* data, std::size_t length) {
    std::memcpy(out, data, length);
    out += length;
  });
}

std::string TextBuffer::Text(std::size_t begin, std::size_t end) const {
  end = std::min(end, Size());
  if (begin >= end)
    return std::string();
  std::string text(end - begin, '\0');
  CopyOut(begin, end, text.data());
  return text;
}

std::size_t TextBuffer::LineStart(std::size_t line) const {
  line = std::min(line, Breaks());
  if (line == 0)
    return 0;
  // The line starts after break number line - 1.
  const std::size_t k = line - 1;
  std::size_t chunk;
  std::size_t before;
  std::size_t rest;
  const Chunk& tail = *chunks_.back();
  if (k >= Breaks() - tail.breaks) {
    chunk = chunks_.size() - 1;
    before = Size() - tail.size;
    rest = k - (Breaks() - tail.breaks);
  } else {
    EnsureIndex();
    const ChunkIndex::Hit hit = index_.FindBreak(k);
    chunk = hit.chunk;
    before = static_cast<std::size_t>(hit.before.bytes);
    rest = static_cast<std::size_t>(hit.rest);
  }
  // Scan from whichever end of the chunk is nearer.
  const Chunk& c = *chunks_[chunk];
  const char* const bytes = Bytes(chunk);
  const std::size_t at = rest < c.breaks / 2 ? NthBreak(bytes, c.size, rest)
                                             : NthBreakFromEnd(bytes, c.size, c.breaks - 1 - rest);
  return before + at + 1;
}

std::size_t TextBuffer::LineEnd(std::size_t line) const {
  if (line >= Breaks())
    return Size();
  return LineStart(line + 1) - 1;
}

std::size_t TextBuffer::LineOf(std::size_t pos) const {
  if (pos >= Size())
    return Breaks();
  const Place at = Locate(pos);
  const Chunk& c = *chunks_[at.chunk];
  const char* const bytes = Bytes(at.chunk);
  // Count from whichever end of the chunk is nearer.
  const std::size_t inChunk = at.rest <= c.size / 2
                                  ? CountBreaks(bytes, at.rest)
                                  : c.breaks - CountBreaks(bytes + at.rest, c.size - at.rest);
  std::size_t before;
  if (at.chunk + 1 == chunks_.size()) {
    before = Breaks() - c.breaks;
  } else {
    EnsureIndex();
    before = static_cast<std::size_t>(index_.Before(at.chunk).breaks);
  }
  return before + inChunk;
}

std::size_t TextBuffer::Find(std::string_view needle, std::size_t from, std::size_t to,
                             const ByteFold* fold) const {
  return ChunkFinder::Find(*this, needle, from, to, fold);
}

std::size_t TextBuffer::FindBackward(std::string_view needle, std::size_t from, std::size_t to,
                                     const ByteFold* fold) const {
  return ChunkFinder::FindBackward(*this, needle, from, to, fold);
}

namespace {
// What a chunk read back short (a failed disk) is filled with: blanks, and
// as many line breaks as the chunk is known to hold, so that every count
// and search stays within the text. Bytes read but wrong keep their place;
// only breaks are added or taken away.
void FillShortRead(char* bytes, std::size_t got, std::size_t size, std::size_t breaks) {
  std::memset(bytes + got, ' ', size - got);
  std::size_t have = CountBreaks(bytes, size);
  for (std::size_t i = size; i > 0 && have != breaks; --i) {
    char& byte = bytes[i - 1];
    if (have < breaks && byte != '\n') {
      byte = '\n';
      ++have;
    } else if (have > breaks && byte == '\n') {
      byte = ' ';
      --have;
    }
  }
}
} // namespace

const char* TextBuffer::Bytes(std::size_t i) const {
  const std::shared_ptr<Chunk>& c = chunks_[i];
  if (c->bytes)
    return c->bytes.get();
  if (const char* loaded = loaded_.Find(c.get()))
    return loaded;
  char* bytes = loaded_.Make(c, c->size);
  const std::size_t got = c->file->Read(c->at, c->size, bytes);
  // Bytes that came back other than they went (a file cut short and
  // written again holds zeros) must still hold the breaks the index counts,
  // or a line's search would run off the chunk.
  if (got < c->size || CountBreaks(bytes, c->size) != c->breaks) {
    FillShortRead(bytes, got, c->size, c->breaks);
    readFailed_ = true;
  }
  return bytes;
}

void TextBuffer::MaybeSpill() {
  if (!spill_.allowed || spill_.error != 0)
    return;
  TakeFinished(false);
  if (spill_.error != 0 || chunks_.size() < 2)
    return;
  const uint64_t limit = TextBudget::Limit();
  if (TextBudget::Resident() <= limit)
    return;
  // A look that found nothing (the memory is held by copies of this text,
  // an undo history) is not made again for every byte that comes.
  if (spill_.fruitlessAt != 0 && Size() < spill_.fruitlessAt + limit / 16)
    return;
  if (!spill_.file) {
    spill_.file = SpillFile::Create(TextBudget::SpillDirectory(), spill_.error);
    if (!spill_.file)
      return;
  }
  // Down by a sixteenth of the budget, so that writes come in batches, and
  // no more than that under way. The last chunk stays: appends and typing
  // at the end go there. A chunk shared with a copy is left: writing it
  // would free nothing while the copy lives.
  const uint64_t target = limit - limit / 16;
  const uint64_t underWay = std::max<uint64_t>(limit / 16, chunkBytes_);
  const std::size_t candidates = chunks_.size() - 1;
  bool queued = false;
  for (std::size_t looked = 0; looked < candidates && spill_.pendingBytes < underWay &&
                               TextBudget::Resident() - spill_.pendingBytes > target;
       ++looked) {
    const std::size_t i = spill_.cursor % candidates;
    spill_.cursor = i + 1;
    const std::shared_ptr<Chunk>& c = chunks_[i];
    if (!c->bytes || c->size == 0 || c.use_count() != 1)
      continue;
    QueueSpill(i);
    queued = true;
  }
  spill_.fruitlessAt = !queued && spill_.pending.empty() ? std::max<std::size_t>(Size(), 1) : 0;
}

void TextBuffer::QueueSpill(std::size_t i) {
  const std::shared_ptr<Chunk>& c = chunks_[i];
  // The write holds the chunk, so that a change copies it first.
  auto ticket = spill_.file->Queue(c, c->bytes.get(), c->size);
  spill_.pending.push_back({i, c, std::move(ticket)});
  spill_.pendingBytes += c->size;
}

void TextBuffer::TakeOverSpill(SpillLink& from, std::size_t seam) {
  // Only into a text with no spill file of its own: writes to two files
  // would finish out of order.
  if (!spill_.allowed || spill_.file || !from.file || from.error != 0)
    return;
  spill_.file = std::move(from.file);
  for (SpillLink::Pending& write : from.pending) {
    spill_.pendingBytes += write.chunk->size;
    spill_.pending.push_back({write.hint + seam, std::move(write.chunk), std::move(write.ticket)});
  }
  from.pending.clear();
}

void TextBuffer::CollectSpilled(bool wait) {
  MaybeSpill();
  // Waiting, the text goes on writing until it is under budget.
  while (wait && !spill_.pending.empty()) {
    TakeFinished(true);
    MaybeSpill();
  }
}

void TextBuffer::TakeFinished(bool wait) {
  while (!spill_.pending.empty()) {
    const SpillLink::Pending& done = spill_.pending.front();
    if (!done.ticket->done.load(std::memory_order_acquire)) {
      if (!wait)
        return;
      spill_.file->Wait(*done.ticket);
    }
    if (done.ticket->error != 0) {
      // The chunks stay in memory, and no more are written.
      spill_.error = done.ticket->error;
      spill_.pending.clear();
      spill_.pendingBytes = 0;
      return;
    }
    TakeSpilled(done);
    spill_.pendingBytes -= done.chunk->size;
    spill_.pending.pop_front();
  }
}

void TextBuffer::TakeSpilled(const SpillLink::Pending& done) {
  std::size_t i = done.hint;
  if (i >= chunks_.size() || chunks_[i] != done.chunk) {
    // Chunks came or went before it meanwhile; a chunk changed since was
    // copied, and its old bytes are no longer this text's.
    const auto at = std::find(chunks_.begin(), chunks_.end(), done.chunk);
    if (at == chunks_.end())
      return;
    i = static_cast<std::size_t>(at - chunks_.begin());
  }
  LeaveMemory(i, spill_.file, done.ticket->at);
}

void TextBuffer::LeaveMemory(std::size_t i, const std::shared_ptr<SpillFile>& file, uint64_t at) {
  const Chunk& held = *chunks_[i];
  auto stored = std::make_shared<Chunk>();
  stored->size = stored->capacity = held.size;
  stored->breaks = held.breaks;
  stored->file = file;
  stored->at = at;
  // The counts are the same: neither the totals nor the index change.
  chunks_[i] = std::move(stored);
}

bool TextBuffer::SpillBehind() const {
  const uint64_t limit = TextBudget::Limit();
  return !spill_.pending.empty() && TextBudget::Resident() > limit + limit / 32;
}

int TextBuffer::SpillError() const {
  if (spill_.error != 0)
    return spill_.error;
  return spill_.file ? spill_.file->ReadError() : 0;
}

void TextBuffer::BackWith(std::shared_ptr<SpillFile> file, uint64_t base) {
  back_ = BackLink();
  back_.file = std::move(file);
  back_.base = base;
}

void TextBuffer::LeaveInFile(uint64_t written) {
  if (!back_.file)
    return;
  for (; back_.chunk + 1 < chunks_.size(); ++back_.chunk) {
    const Chunk& c = *chunks_[back_.chunk];
    if (back_.base + back_.at + c.size > written)
      break;
    if (c.bytes)
      LeaveMemory(back_.chunk, back_.file, back_.base + back_.at);
    back_.at += chunks_[back_.chunk]->size;
  }
}

uint64_t TextBuffer::BytesOnDisk() const {
  uint64_t bytes = 0;
  for (const std::shared_ptr<Chunk>& c : chunks_)
    if (!c->bytes)
      bytes += c->size;
  return bytes;
}
