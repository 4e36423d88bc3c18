#pragma once
// Several files, or the parts of one, scanned at once (PartsInOrder), their
// output written in order: each worker fills bounded chunks of one file's
// output, and the writer takes them file after file, so a worker that gets
// too far ahead waits for it.

#include "extract/FileLineSink.h"

#include <cstddef>
#include <functional>
#include <string>

// Fills `out` with the output of file `index`; `post` puts a message (a file
// that could not be read) at that point of the output. What it buffered is
// flushed when it returns.
using FileJob = std::function<void(std::size_t index, FileLineSink& out,
                                   const std::function<void(const std::string&)>& post)>;

// Runs `job` for the files 0 to count - 1 on `workers` threads and writes
// their output to `fd` in order; each message goes to `report` once all the
// output before it is written. 0, or the errno of the write that failed
// (the rest is then not scanned). A job that cannot get its memory is
// reported at its place, and ends the run there.
int WriteInOrder(std::size_t count, unsigned workers, int fd, const FileJob& job,
                 const std::function<void(const std::string&)>& report);
