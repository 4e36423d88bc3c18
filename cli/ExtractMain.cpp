// siftwell-extract: writes the kept runs of files to standard output, exactly
// as the program writes them to an extraction output file.

#include "cli/EncodingScanners.h"
#include "cli/LineFormat.h"
#include "cli/OrderedOutput.h"
#include "cli/ReadOnlySettingsStore.h"
#include "extract/FileExtractor.h"
#include "extract/FileKind.h"
#include "extract/FileLineSink.h"
#include "extract/MergedScanner.h"
#include "extract/SplitPoints.h"
#include "settings/IntegerText.h"
#include "settings/TextOptionsStore.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <getopt.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const kProgram = "siftwell-extract";

enum ExitStatus { kOk = 0, kFailed = 1, kBadUsage = 2 };

void Report(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

[[noreturn]] void Refuse(const std::string& message) {
  Report(message + " (see --help)");
  std::exit(kBadUsage);
}

void PrintHelp() {
  std::printf("Usage: %s [OPTION]... [FILE]...\n"
              "Write the text runs of each FILE to standard output, one per line.\n"
              "With no FILE, or when FILE is -, read standard input.\n"
              "\n"
              "The options start from the text options stored by Sift Well; these override them:\n"
              "  -n, --min-chars=N   keep the runs longer than N bytes; note that this is one\n"
              "                      less than the -n of GNU strings (-n 4 here is -n 5 there)\n"
              "  -m, --max-chars=N   cut runs when they reach N bytes; 0 sets no limit\n"
              "  -c, --classes=LIST  the accepted classes, comma-separated from upper, lower,\n"
              "                      number, space, punct, symbol, iso; LIST replaces all\n"
              "                      seven, and an empty LIST turns them all off\n"
              "  -x, --other=CHARS   also accept each byte of CHARS\n"
              "  -e, --encoding=LIST how characters are stored, one or more of (comma-separated):\n"
              "                      8 (one byte, the default), 16le, 16be, 32le, 32be (a\n"
              "                      character below 256 whose value is accepted; the line\n"
              "                      holds one byte per character), utf8 (well-formed UTF-8;\n"
              "                      from U+0080 up with the iso class, U+0080-U+00FF also\n"
              "                      by CHARS; invisible characters never); GNU strings'\n"
              "                      letters s, l, b, L, B stand for 8, 16le, 16be, 32le,\n"
              "                      32be, and S for 8 with every byte 0x80-0xFF accepted.\n"
              "                      The runs of several encodings come in the order of\n"
              "                      their offsets; -n and -m count characters\n"
              "\n"
              "Output:\n"
              "  -t, --radix=RADIX   start each line with the offset of the run in its file,\n"
              "                      in octal (o), decimal (d) or hexadecimal (x)\n"
              "  -o                  the same as -t o\n"
              "  -f, --print-file-name  start each line with the file's name and \": \"\n"
              "  -s, --output-separator=SEP  end each run with SEP instead of a line end\n"
              "      --json          one JSON object per run, with the keys file, offset,\n"
              "                      encoding and text; not with -t, -o, -f or -s\n"
              "  -a, --all           accepted and ignored: the whole file is always scanned\n"
              "\n"
              "  -h, --help          show this help and exit\n"
              "      --version       show the version and exit\n"
              "\n"
              "N is decimal, or hexadecimal after \"$\" or \"0x\"; a negative N stands for\n"
              "4294967296 + N. What GNU strings -a -n 5 -t x FILE gives:\n"
              "  %s -n 4 -c upper,lower,number,space,punct,symbol -x $'\\t' -t x FILE\n"
              "\n"
              "Exit status: 0 when all went well, 1 when a file could not be read or the\n"
              "output could not be written, 2 for a bad option.\n",
              kProgram, kProgram);
}

uint32_t ParseLimit(const char* text, const char* option) {
  int32_t value = 0;
  if (!TextToInt(text, value))
    Refuse(std::string("invalid number '") + text + "' for " + option);
  return static_cast<uint32_t>(value);
}

struct ClassSwitches {
  bool Upper = false, Lower = false, Number = false, Space = false, Punct = false, Symbol = false,
       ISO = false;
};

// Calls take(name) for each comma-separated name of `list`.
template <class Take> void ForEachName(const std::string& list, Take take) {
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = list.find(',', begin);
    take(list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
    if (comma == std::string::npos)
      return;
    begin = comma + 1;
  }
}

ClassSwitches ParseClasses(const std::string& list) {
  ClassSwitches on;
  if (list.empty())
    return on;
  ForEachName(list, [&](const std::string& name) {
    if (name == "upper")
      on.Upper = true;
    else if (name == "lower")
      on.Lower = true;
    else if (name == "number")
      on.Number = true;
    else if (name == "space")
      on.Space = true;
    else if (name == "punct")
      on.Punct = true;
    else if (name == "symbol")
      on.Symbol = true;
    else if (name == "iso")
      on.ISO = true;
    else
      Refuse("invalid class '" + name + "' for --classes");
  });
  return on;
}

// The encodings of `list`, each once, in the order first named.
EncodingList ParseEncodings(const std::string& list) {
  EncodingList choices;
  ForEachName(list, [&](const std::string& name) {
    EncodingChoice choice;
    if (!ParseEncoding(name, choice))
      Refuse("invalid encoding '" + name + "' for --encoding");
    const bool listed = std::any_of(choices.begin(), choices.end(), [&](const EncodingChoice& c) {
      return c.encoding == choice.encoding && c.allHighBytes == choice.allHighBytes;
    });
    if (!listed)
      choices.push_back(choice);
  });
  return choices;
}

// The flags given on the command line, applied over the stored options.
struct Overrides {
  bool minChar = false, maxChar = false, classes = false, other = false;
  uint32_t MinChar = 0, MaxChar = 0;
  ClassSwitches Classes;
  std::string Other;
  EncodingList Encodings{EncodingChoice{}};

  void ApplyTo(TextOptions& options) const {
    if (minChar)
      options.MinChar = MinChar;
    if (maxChar)
      options.MaxChar = MaxChar;
    if (classes) {
      options.Upper = Classes.Upper;
      options.Lower = Classes.Lower;
      options.Number = Classes.Number;
      options.Space = Classes.Space;
      options.Punct = Classes.Punct;
      options.Symbol = Classes.Symbol;
      options.ISO = Classes.ISO;
    }
    if (other)
      options.Other = Other;
  }
};

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

enum { kVersion = 256, kJson };

// Takes an output option into `format`; false when `c` is none.
bool ParseFormatOption(int c, LineFormatOptions& format) {
  switch (c) {
  case 't':
    if (std::strlen(optarg) != 1 || std::strchr("odx", optarg[0]) == nullptr)
      Refuse(std::string("invalid radix '") + optarg + "' for --radix (o, d or x)");
    format.radix = optarg[0];
    return true;
  case 'o':
    format.radix = 'o';
    return true;
  case 'f':
    format.fileName = true;
    return true;
  case 's':
    format.separator = optarg;
    return true;
  case kJson:
    format.json = true;
    return true;
  case 'a':
    return true;
  default:
    return false;
  }
}

// JSON has fields of its own for what the other output options add.
void RefuseMixedJson(const LineFormatOptions& format, const char* otherFlag) {
  if (format.json && otherFlag != nullptr)
    Refuse(std::string("--json cannot be combined with ") + otherFlag);
}

// Reads the options into `overrides` and `format`. An exit code when the
// run ends here (--help, --version), else -1; a bad option ends the process.
int ParseArguments(int argc, char** argv, Overrides& overrides, LineFormatOptions& format) {
  static const option longOptions[] = {{"min-chars", required_argument, nullptr, 'n'},
                                       {"max-chars", required_argument, nullptr, 'm'},
                                       {"classes", required_argument, nullptr, 'c'},
                                       {"other", required_argument, nullptr, 'x'},
                                       {"encoding", required_argument, nullptr, 'e'},
                                       {"radix", required_argument, nullptr, 't'},
                                       {"print-file-name", no_argument, nullptr, 'f'},
                                       {"output-separator", required_argument, nullptr, 's'},
                                       {"all", no_argument, nullptr, 'a'},
                                       {"json", no_argument, nullptr, kJson},
                                       {"help", no_argument, nullptr, 'h'},
                                       {"version", no_argument, nullptr, kVersion},
                                       {nullptr, 0, nullptr, 0}};
  opterr = 0;                      // the messages are ours, one line each
  const char* otherFlag = nullptr; // the last output flag other than --json
  for (;;) {
    const int c = getopt_long(argc, argv, ":n:m:c:x:e:t:ofs:ah", longOptions, nullptr);
    if (ParseFormatOption(c, format)) {
      if (c != kJson && c != 'a')
        otherFlag = c == 't' ? "-t" : c == 'o' ? "-o" : c == 'f' ? "-f" : "-s";
      continue;
    }
    switch (c) {
    case -1:
      RefuseMixedJson(format, otherFlag);
      return -1;
    case 'n':
      overrides.minChar = true;
      overrides.MinChar = ParseLimit(optarg, "--min-chars");
      break;
    case 'm':
      overrides.maxChar = true;
      overrides.MaxChar = ParseLimit(optarg, "--max-chars");
      break;
    case 'c':
      overrides.classes = true;
      overrides.Classes = ParseClasses(optarg);
      break;
    case 'x':
      overrides.other = true;
      overrides.Other = optarg;
      break;
    case 'e':
      overrides.Encodings = ParseEncodings(optarg);
      break;
    case 'h':
      PrintHelp();
      return kOk;
    case kVersion:
      std::printf("%s %s\n", kProgram, SIFTWELL_PRODUCT_VERSION);
      return kOk;
    case ':':
      Refuse(std::string("option '") + argv[optind - 1] + "' needs a value");
    default:
      if (optopt != 0)
        Refuse(std::string("unknown option '-") + static_cast<char>(optopt) + "'");
      Refuse(std::string("unknown option '") + argv[optind - 1] + "'");
    }
  }
}

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
// (see SplitPoints.h), on `workers` threads, the output in order; the exit
// code. A part that cannot be read is reported once, at its place; parts
// after it that were scanned meanwhile are written too, and those that
// start later are not scanned.
int ExtractInParts(const std::string& name, InputFile& whole, unsigned workers,
                   const TextOptions& options, const EncodingList& encodings,
                   const LineFormatOptions& formatOptions) {
  std::vector<TextOptions> chosen;
  for (const EncodingChoice& choice : encodings)
    chosen.push_back(OptionsFor(options, choice));
  std::vector<SplitPoints::Entry> entries;
  for (std::size_t i = 0; i < encodings.size(); ++i)
    entries.push_back({encodings[i].encoding, &chosen[i]});
  SplitPoints cuts(entries, whole);
  const std::size_t count = cuts.Count();
  std::atomic<bool> failed{false};
  const FileJob job = [&](std::size_t index, FileLineSink& out, const Reporter& post) {
    const uint64_t start = cuts.Start(index);
    if (failed.load()) {
      cuts.EndAt(index, start);
      return;
    }
    EncodingScanners scanners(options, encodings, formatOptions, out);
    scanners.StartFile(name, start);
    scanners.Scanner().ResetScanner();
    const ExtractResult result = ExtractPart(whole, cuts, index, start, scanners.Scanner(), out);
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
    if (whole.Open(files[0]) && SplitPoints::WorthCutting(whole, cores) &&
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
  Overrides overrides;
  LineFormatOptions format;
  const int done = ParseArguments(argc, argv, overrides, format);
  if (done >= 0)
    return done;
  TextOptions options = StoredOptions();
  overrides.ApplyTo(options);
  std::vector<std::string> files(argv + optind, argv + argc);
  if (files.empty())
    files.push_back("-");
  return ExtractAll(files, options, overrides.Encodings, format);
}
