// The document text model over about 300 MB of 30-byte lines, each figure
// beside a plain peer in the same run:
// - appending the lines one by one, beside std::string::append of the same
//   lines;
// - line -> offset and offset -> line, microseconds per lookup;
// - a search for a string that occurs only at the end, beside memmem over
//   one contiguous std::string with the same bytes;
// - a snapshot, and the first edit after it;
// - peak memory over the text size, for both.

#include "text/ByteFold.h"
#include "text/TextBuffer.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kLines = 10'000'000;
constexpr std::size_t kLineBytes = 29; // plus the '\n'
constexpr std::size_t kQueries = 1'000'000;
const char kNeedle[] = "Sift-Well-Needle-42";

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident memory since the last ResetPeak(), in bytes (VmHWM).
std::size_t PeakBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0)
      return std::stoull(line.substr(6)) * 1024;
  return 0;
}

std::size_t ProcessRss() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0)
      return std::stoull(line.substr(6)) * 1024;
  return 0;
}

// Writing 5 to clear_refs resets VmHWM to the current resident size.
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// 4096 different lines of lower-case words: small enough to stay in the
// cache, so that the copying is what is measured.
std::vector<std::string> LinePool() {
  std::mt19937_64 rng(42);
  std::vector<std::string> pool(4096);
  for (std::string& line : pool) {
    line.resize(kLineBytes);
    for (char& c : line)
      c = rng() % 6 == 0 ? ' ' : static_cast<char>('a' + rng() % 26);
  }
  return pool;
}

volatile std::size_t sink;

} // namespace

int main() {
  // Freed chunks stay with the process, so that a second text can be built
  // in memory that is already mapped: appending without the page faults.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  const std::vector<std::string> pool = LinePool();
  const std::size_t textBytes = kLines * (kLineBytes + 1) + sizeof kNeedle;
  std::printf("text: %zu lines of %zu bytes and the needle line, %.1f MB\n\n", kLines,
              kLineBytes + 1, textBytes / 1e6);

  double gbs = 0;
  {
    ResetPeak();
    const std::size_t base = ProcessRss();
    TextBuffer text;
    auto start = Clock::now();
    for (std::size_t l = 0; l < kLines; ++l)
      text.AppendLine(pool[l & 4095]);
    text.AppendLine(kNeedle);
    double t = Since(start);
    gbs = text.Size() / t / 1e9;
    std::printf("append lines      TextBuffer::AppendLine  %7.3f s  %5.2f GB/s\n", t, gbs);
    const std::size_t peak = PeakBytes() - base;
    std::printf(
        "peak memory       TextBuffer              %7.1f MB  %.3f x the text (%zu chunks)\n",
        peak / 1e6, static_cast<double>(peak) / text.Size(), text.ChunkCount());

    std::mt19937_64 rng(7);
    std::vector<std::size_t> lines(kQueries), offsets(kQueries);
    for (std::size_t q = 0; q < kQueries; ++q) {
      lines[q] = rng() % text.LineCount();
      offsets[q] = rng() % text.Size();
    }
    std::size_t sum = 0;
    start = Clock::now();
    for (std::size_t line : lines)
      sum += text.LineStart(line);
    t = Since(start);
    std::printf("line -> offset    TextBuffer::LineStart   %7.3f us per lookup\n",
                t / kQueries * 1e6);
    start = Clock::now();
    for (std::size_t pos : offsets)
      sum += text.LineOf(pos);
    t = Since(start);
    std::printf("offset -> line    TextBuffer::LineOf      %7.3f us per lookup\n",
                t / kQueries * 1e6);
    sink = sum;

    double best = 1e9;
    std::size_t found = 0;
    for (int run = 0; run < 3; ++run) {
      start = Clock::now();
      found = text.Find(kNeedle);
      best = std::min(best, Since(start));
    }
    std::printf("search to the end TextBuffer::Find        %7.3f s  %5.2f GB/s (at %zu)\n", best,
                text.Size() / best / 1e9, found);
    const ByteFold fold = ByteFold::Latin1Case();
    start = Clock::now();
    found = text.Find("sift-well-needle-42", 0, TextBuffer::npos, &fold);
    t = Since(start);
    std::printf("  ignoring case   TextBuffer::Find+fold   %7.3f s  %5.2f GB/s (at %zu)\n", t,
                text.Size() / t / 1e9, found);
    start = Clock::now();
    found = text.FindBackward("Sift-Well", 0, text.Size() - sizeof kNeedle);
    t = Since(start);
    std::printf("  backward, none  TextBuffer::FindBackward%7.3f s  %5.2f GB/s (%s)\n", t,
                text.Size() / t / 1e9, found == TextBuffer::npos ? "none" : "found");

    const std::size_t beforeSnapshot = ProcessRss();
    start = Clock::now();
    TextBuffer copy = text.Snapshot();
    t = Since(start);
    std::printf("snapshot          TextBuffer::Snapshot    %7.3f ms, %+.1f MB\n", t * 1e3,
                (static_cast<double>(ProcessRss()) - beforeSnapshot) / 1e6);
    start = Clock::now();
    text.Insert(text.Size() / 2, "edit");
    text.AppendLine("more");
    t = Since(start);
    std::printf("  edits after it  middle insert + append  %7.3f ms (two chunks copied)\n",
                t * 1e3);
    start = Clock::now();
    text.TakeBack(100'000'000);
    t = Since(start);
    std::printf("take back 100 MB  TextBuffer::TakeBack    %7.3f ms\n", t * 1e3);
    sink = copy.Size() + text.Size();
  }
  {
    TextBuffer text;
    const auto start = Clock::now();
    for (std::size_t l = 0; l < kLines; ++l)
      text.AppendLine(pool[l & 4095]);
    text.AppendLine(kNeedle);
    const double t = Since(start);
    std::printf("  again, in memory already mapped        %7.3f s  %5.2f GB/s\n", t,
                text.Size() / t / 1e9);
  }

  {
    ResetPeak();
    const std::size_t base = ProcessRss();
    std::string peer;
    auto start = Clock::now();
    for (std::size_t l = 0; l < kLines; ++l) {
      peer.append(pool[l & 4095]);
      peer.push_back('\n');
    }
    peer.append(kNeedle);
    peer.push_back('\n');
    double t = Since(start);
    std::printf("\npeer: append     std::string::append     %7.3f s  %5.2f GB/s\n", t,
                peer.size() / t / 1e9);
    const std::size_t peak = PeakBytes() - base;
    std::printf("peer: peak memory std::string             %7.1f MB  %.3f x the text\n", peak / 1e6,
                static_cast<double>(peak) / peer.size());
    double best = 1e9;
    const void* hit = nullptr;
    for (int run = 0; run < 3; ++run) {
      start = Clock::now();
      hit = memmem(peer.data(), peer.size(), kNeedle, sizeof kNeedle - 1);
      best = std::min(best, Since(start));
    }
    std::printf("peer: search      memmem                  %7.3f s  %5.2f GB/s (at %zu)\n", best,
                peer.size() / best / 1e9,
                static_cast<std::size_t>(static_cast<const char*>(hit) - peer.data()));
  }
  return gbs > 0 ? 0 : 1;
}
