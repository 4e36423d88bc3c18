#pragma once
// Turns one whole file into its kept lines, without any window.

#include "extract/InputFile.h"
#include "extract/LineSink.h"
#include "settings/TextOptions.h"

#include <string>

struct ExtractResult {
  bool opened = false; // false: the file could not be opened (error says why)
  bool readError = false;
  bool writeError = false; // the sink failed; the rest of the file was not read
  int error = 0;
  uint64_t bytesRead = 0;
};

// Reads `input` to its end in large blocks through the block scanner, with a
// final flush. `stop`, when given, is polled between blocks; a sink that has
// failed ends the pass as well.
ExtractResult ExtractLines(InputFile& input, const TextOptions& options, LineSink& sink,
                           const volatile bool* stop = nullptr);
ExtractResult ExtractFile(const std::string& path, const TextOptions& options, LineSink& sink,
                          const volatile bool* stop = nullptr);
