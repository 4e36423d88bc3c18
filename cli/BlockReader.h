#pragma once
// How the command-line extractor reads one input: its own ways of getting
// blocks of bytes, which a window never uses (it reads through InputFile
// alone, in slices it can interrupt).

#include "extract/BlockScanner.h"
#include "extract/FileExtractor.h"
#include "extract/InputFile.h"
#include "extract/LineSink.h"

#include <cstddef>
#include <cstdint>

// Scans all of `input` (open) through `scanner` (reset) into `sink`, then
// flushes the open run; stops early when the sink fails. `readAhead`: a
// regular file is read on a second thread while the scan goes on (plain
// reads, so a file truncated meanwhile just ends sooner).
ExtractResult ExtractBlocks(InputFile& input, BlockScanner& scanner, LineSink& sink,
                            bool readAhead);

// The one step every strategy ends in: a block of bytes fed to the scanner.
// False when the sink has failed and the rest need not be read.
bool FeedBlock(const uint8_t* data, std::size_t length, BlockScanner& scanner, LineSink& sink,
               ExtractResult& result);
