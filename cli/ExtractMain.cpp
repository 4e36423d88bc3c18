// siftwell-extract: writes the kept runs of files to standard output, exactly
// as the program writes them to an extraction output file.

#include "cli/ArgumentParser.h"
#include "extract/EncodingScanners.h"
#include "cli/HelpText.h"
#include "extract/LineFormat.h"
#include "cli/OrderedOutput.h"
#include "cli/ReadOnlySettingsStore.h"
#include "extract/FileCuts.h"
#include "extract/FileExtractor.h"
#include "extract/FileKind.h"
#include "extract/FileLineSink.h"
#include "extract/MergedScanner.h"
#include "settings/TextOptionsStore.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const kProgram = "siftwell-extract";

void Report(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

TextOptions StoredOptions() {
  TextOptions options;
  ReadOnlySettingsStore store;
  try {
    LoadTextOptions(store, options);
  } catch (const std::exception& e) {
    // The load stops at the value it could not read; what follows it keeps
    // its default.
    Report(std::string("stored text options: ") + e.what() + "; the defaults are used from there");
  }
  return options;
}

// Takes the message about a file that could not be read.
using Reporter = std::function<void(const std::string&)>;

// Extracts one file through `sink` into `out`: false when the output
// failed, which ends the whole run. `fail` gets the message about a file
// that could not be read, once what came before it is flushed. `readAhead`:
// a regular file is read on a thread of its own meanwhile.
bool ExtractOne(const std::string& name, BlockScanner& scanner, FileLineSink& out, bool readAhead,
                const Reporter& fail) {
  const bool standardInput = name == "-";
  const std::string shown = standardInput ? "standard input" : name;
  InputFile input;
  if (standardInput) {
    input.OpenDescriptor(STDIN_FILENO);
  } else if (!input.Open(name)) {
    out.Flush(); // what came before the message is shown before it
    fail(shown + ": " + std::strerror(input.Error()));
    return !out.Failed();
  }
  if (input.IsSameFile(STDOUT_FILENO)) {
    out.Flush();
    fail(shown + ": input file is output file");
    return !out.Failed();
  }
  scanner.ResetScanner();
  const ExtractResult result = ExtractLines(input, scanner, out, {}, readAhead);
  if (out.Failed())
    return false;
  if (result.readError) {
    out.Flush();
    fail(shown + ": " + std::strerror(result.error));
  }
  return !out.Failed();
}

// A standard descriptor that came closed is taken by one that can be neither
// read nor written, so that no file opened later takes its number (and
// standard output, say, is never the first input file).
void HoldClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    const int held = ::open("/dev/null", O_PATH | O_CLOEXEC);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

} // namespace

namespace {

// The exit code once the output has ended: `error` is 0, or the errno of
// the write that failed.
int EndOutput(int error, int status) {
  if (error == 0 && ::close(STDOUT_FILENO) != 0 && errno != EBADF)
    error = errno;
  if (error != 0) {
    Report(std::string("write error: ") + std::strerror(error));
    return kFailed;
  }
  return status;
}

// Extracts every file in turn to standard output; the exit code.
int ExtractInTurn(const std::vector<std::string>& files, const TextOptions& options,
                  const EncodingList& encodings, const LineFormatOptions& formatOptions) {
  FileLineSink out;
  out.OpenDescriptor(STDOUT_FILENO);
  EncodingScanners scanners(options, encodings, formatOptions, out);
  int status = kOk;
  const Reporter fail = [&](const std::string& message) {
    Report(message);
    status = kFailed;
  };
  for (const std::string& name : files) {
    scanners.StartFile(name);
    if (!ExtractOne(name, scanners.Scanner(), out, true, fail))
      break;
  }
  out.Flush();
  return EndOutput(out.Error(), status);
}

// Extracts the files on all cores at once, the output in their order; the
// exit code. Each file is read by its worker alone: the workers fill the
// cores already.
int ExtractAtOnce(const std::vector<std::string>& files, unsigned workers,
                  const TextOptions& options, const EncodingList& encodings,
                  const LineFormatOptions& formatOptions) {
  const FileJob job = [&](std::size_t index, FileLineSink& out, const Reporter& post) {
    EncodingScanners scanners(options, encodings, formatOptions, out);
    scanners.StartFile(files[index]);
    ExtractOne(files[index], scanners.Scanner(), out, false, post);
  };
  int status = kOk;
  const int error =
      WriteInOrder(files.size(), workers, STDOUT_FILENO, job, [&](const std::string& message) {
        Report(message);
        status = kFailed;
      });
  return EndOutput(error, status);
}

// Extracts the regular file `whole` in parts cut where no run can cross
// (see FileCuts.h), on `workers` threads, the output in order; the exit
// code. A part that cannot be read is reported once, at its place; parts
// after it that were scanned meanwhile are written too, and those that
// start later are not scanned.
int ExtractInParts(const std::string& name, InputFile& whole, unsigned workers,
                   const TextOptions& options, const EncodingList& encodings,
                   const LineFormatOptions& formatOptions) {
  std::vector<TextOptions> chosen;
  for (const EncodingChoice& choice : encodings)
    chosen.push_back(OptionsFor(options, choice));
  std::vector<FileCuts::Entry> entries;
  for (std::size_t i = 0; i < encodings.size(); ++i)
    entries.push_back({encodings[i].encoding, &chosen[i]});
  FileCuts cuts(entries, whole);
  const std::size_t count = cuts.Count();
  std::atomic<bool> failed{false};
  const FileJob job = [&](std::size_t index, FileLineSink& out, const Reporter& post) {
    EncodingScanners scanners(options, encodings, formatOptions, out);
    // Only the sink's failure (the output ended) stops a part midway.
    const ExtractResult result = cuts.Scan(
        index, scanners.Scanner(), out, [&](uint64_t start) { scanners.StartFile(name, start); },
        [&failed] { return failed.load(); }, false);
    if (result.readError && !failed.exchange(true)) {
      out.Flush();
      post(name + ": " + std::strerror(result.error));
    }
  };
  int status = kOk;
  const int error =
      WriteInOrder(count, workers, STDOUT_FILENO, job, [&](const std::string& message) {
        Report(message);
        status = kFailed;
      });
  return EndOutput(error, status);
}

// Several files go to all cores, unless standard input is named more than
// once: its parts are read in turn. One large regular file goes to all
// cores in parts.
int ExtractAll(const std::vector<std::string>& files, const TextOptions& options,
               const EncodingList& encodings, const LineFormatOptions& formatOptions) {
  const auto cores = std::max(1u, std::thread::hardware_concurrency());
  // Only a regular file is opened to be looked at: opening a FIFO and
  // closing it again would lose what its writer wrote meanwhile.
  if (cores >= 2 && files.size() == 1 && files[0] != "-" && IsRegularFile(files[0])) {
    InputFile whole;
    if (whole.Open(files[0]) && FileCuts::WorthCutting(whole, cores) &&
        !whole.IsSameFile(STDOUT_FILENO))
      return ExtractInParts(files[0], whole, cores, options, encodings, formatOptions);
  }
  const auto workers = static_cast<unsigned>(std::min<std::size_t>(cores, files.size()));
  if (workers < 2 || std::count(files.begin(), files.end(), "-") > 1)
    return ExtractInTurn(files, options, encodings, formatOptions);
  return ExtractAtOnce(files, workers, options, encodings, formatOptions);
}

} // namespace

int main(int argc, char** argv) {
  HoldClosedStandardDescriptors();
  const ParseResult parsed = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.status != kOk) {
    Report(parsed.error + " (see --help)");
    return parsed.status;
  }
  const CommandLine& line = parsed.line;
  if (line.action == CommandLine::Action::Help) {
    std::fputs(HelpText().c_str(), stdout);
    return kOk;
  }
  if (line.action == CommandLine::Action::Version) {
    std::printf("%s %s\n", kProgram, SIFTWELL_PRODUCT_VERSION);
    return kOk;
  }
  TextOptions options = StoredOptions();
  line.overrides.ApplyTo(options);
  return ExtractAll(line.files, options, line.overrides.Encodings, line.format);
}
