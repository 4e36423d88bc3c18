#pragma once
// The one read loop: drives a whole input through the run scanner into a
// line sink, for the command-line extractor and the document window alike.

#include "extract/BlockScanner.h"
#include "extract/InputFile.h"
#include "extract/LineSink.h"
#include "extract/SplitPoints.h"
#include "settings/TextOptions.h"

#include <functional>
#include <string>

struct ExtractResult {
  bool opened = false; // false: the file could not be opened (error says why)
  bool readError = false;
  bool writeError = false; // the sink failed; the rest of the file was not read
  bool stopped = false;    // the slice hook said stop; the open run is not flushed
  int error = 0;
  uint64_t bytesRead = 0; // bytes examined by the scanner
};

// Called after each slice of bytes examined (`examined` counts them all so
// far), and while an input opened InSlices has nothing to read (`idle`, also
// after a short read): the caller's turn to show progress, let other work
// run and say whether to go on. Without a hook a whole block is scanned at
// once.
using SliceHook = std::function<bool(uint64_t examined, bool idle)>;

// Bytes read at a time (larger reads measured no faster, smaller ones
// slower when lines are written to a file meanwhile), and scanned between
// two calls of the hook.
constexpr std::size_t kReadBlock = 1 << 20;
constexpr std::size_t kScanSlice = 64 << 10;

// Reads `input` to its end in large blocks through `scanner`, which must be
// reset, then flushes the open run; stops early when the sink has failed
// (a full disk: the rest would be read for nothing) or the hook says so.
// `readAhead`: a regular file is read on a second thread meanwhile (see
// ReadAhead.h); off where other files are scanned on the other cores.
ExtractResult ExtractLines(InputFile& input, BlockScanner& scanner, LineSink& sink,
                           const SliceHook& hook = {}, bool readAhead = true);
// The same with a scanner of its own over `options`.
ExtractResult ExtractLines(InputFile& input, const TextOptions& options, LineSink& sink);
ExtractResult ExtractFile(const std::string& path, const TextOptions& options, LineSink& sink);

// Part `index` of the regular file `whole`, cut by `cuts`, through `scanner`
// (reset; offsets count from `start`, which cuts.Start(index) gave) into
// `sink`. The last part reads on to the end of the file. A part whose end is
// far (a long run) reads ahead on a second thread: the parts after it wait
// for that end anyway. Parts are read on several threads at once. A hook
// that says stop ends the part where it is, its open run not judged.
ExtractResult ExtractPart(InputFile& whole, SplitPoints& cuts, std::size_t index, uint64_t start,
                          BlockScanner& scanner, LineSink& sink, const SliceHook& hook = {});
