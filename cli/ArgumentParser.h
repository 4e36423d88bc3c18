#pragma once
// siftwell-extract's command line read into what the run is to do, or into
// the reason it cannot run; nothing here prints or exits, main decides.

#include "extract/LineFormat.h"
#include "cli/Overrides.h"

#include <string>
#include <vector>

enum ExitStatus { kOk = 0, kFailed = 1, kBadUsage = 2 };

struct CommandLine {
  enum class Action { Extract, Help, Version };
  Action action = Action::Extract;
  Overrides overrides;
  LineFormatOptions format;
  std::vector<std::string> files; // "-" is standard input, also when none is named
};

struct ParseResult {
  CommandLine line;
  int status = kOk;  // kOk, or the exit status of a command line refused
  std::string error; // why it was refused, without the program's name
};

// `arguments` are the command line after the program's name.
ParseResult ParseArguments(const std::vector<std::string>& arguments);
