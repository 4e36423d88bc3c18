#include "cli/ArgumentParser.h"

#include "cli/ResponseFiles.h"
#include "settings/IntegerText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

enum class Id {
  MinChars,
  MaxChars,
  Bytes,
  Classes,
  Other,
  Whitespace,
  Encoding,
  Radix,
  Octal,
  FileName,
  Separator,
  All,
  Json,
  Help,
  Version,
  Data,
  Target,
  Unicode
};

struct OptionSpec {
  char shortName;       // 0: a long name only
  const char* longName; // nullptr: a short name only
  bool takesValue;
  Id id;
};

// GNU strings' spellings are here beside ours: users type them from habit.
const OptionSpec kOptions[] = {{'n', "min-chars", true, Id::MinChars},
                               {'m', "max-chars", true, Id::MaxChars},
                               {0, "bytes", true, Id::Bytes},
                               {'c', "classes", true, Id::Classes},
                               {'x', "other", true, Id::Other},
                               {'w', "include-all-whitespace", false, Id::Whitespace},
                               {'e', "encoding", true, Id::Encoding},
                               {'t', "radix", true, Id::Radix},
                               {'o', nullptr, false, Id::Octal},
                               {'f', "print-file-name", false, Id::FileName},
                               {'s', "output-separator", true, Id::Separator},
                               {'a', "all", false, Id::All},
                               {0, "json", false, Id::Json},
                               {'h', "help", false, Id::Help},
                               {0, "version", false, Id::Version},
                               {'v', nullptr, false, Id::Version},
                               {'V', nullptr, false, Id::Version},
                               {'d', "data", false, Id::Data},
                               {'T', "target", false, Id::Target},
                               {'U', "unicode", false, Id::Unicode}};

const OptionSpec kNumberSpec = {0, nullptr, true, Id::Bytes}; // GNU strings' -NUMBER

// Why GNU strings' options that this program has no use for are refused:
// a user should learn they are known, not mistyped. nullptr for the others.
const char* Unsupported(Id id) {
  switch (id) {
  case Id::Data:
    return "is not supported: the whole file is always scanned";
  case Id::Target:
    return "is not supported: files are read as bytes, never as object files";
  case Id::Unicode:
    return "is not supported; -e utf8 reads UTF-8 runs";
  default:
    return nullptr;
  }
}

// Thrown inside this file only; ParseArguments turns it into its result.
struct Refusal {
  std::string message;
};

[[noreturn]] void Refuse(const std::string& message) {
  throw Refusal{message};
}

// Leading blanks, an optional "+", decimal digits: the unsigned values
// that the integer text rule, being signed, refuses.
bool UnsignedDecimal(const std::string& text, uint32_t& value) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos)
    return false;
  if (text[i] == '+')
    ++i;
  if (i >= text.size())
    return false;
  uint64_t sum = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    sum = sum * 10 + static_cast<uint64_t>(text[i] - '0');
    if (sum > UINT32_MAX)
      return false;
  }
  value = static_cast<uint32_t>(sum);
  return true;
}

uint32_t ParseLimit(const std::string& text, const char* option) {
  int32_t value = 0;
  if (TextToInt(text, value))
    return static_cast<uint32_t>(value);
  uint32_t unsignedValue = 0;
  if (UnsignedDecimal(text, unsignedValue))
    return unsignedValue;
  Refuse("invalid number '" + text + "' for " + option);
}

// A count as GNU strings reads it (C's strtoul in base 0): decimal,
// hexadecimal after "0x", octal after "0"; leading white space and "+"
// allowed. From 1 to 4294967295; false otherwise.
bool GnuCount(const std::string& text, uint32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] != '\0' && std::strchr(" \t\n\v\f\r", text[i]) != nullptr)
    ++i;
  if (i < text.size() && text[i] == '+')
    ++i;
  int base = 10;
  if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
    base = 16;
    i += 2;
  } else if (i < text.size() && text[i] == '0') {
    base = 8;
  }
  if (i >= text.size())
    return false;
  uint64_t sum = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || digit >= base)
      return false;
    sum = sum * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (sum > UINT32_MAX)
      return false;
  }
  value = static_cast<uint32_t>(sum);
  return value >= 1;
}

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

std::array<bool, kClassCount> ParseClasses(const std::string& list) {
  std::array<bool, kClassCount> on{};
  if (list.empty())
    return on;
  ForEachName(list, [&](const std::string& name) {
    const std::size_t index = FindClass(name);
    if (index == kClassCount)
      Refuse("invalid class '" + name + "' for --classes");
    on[index] = true;
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

// The long option `name` stands for: its full name or a prefix of one name
// only, as getopt_long takes them.
const OptionSpec& FindLong(const std::string& name) {
  const OptionSpec* found = nullptr;
  int prefixes = 0;
  for (const OptionSpec& spec : kOptions) {
    if (spec.longName == nullptr || std::strncmp(spec.longName, name.c_str(), name.size()) != 0)
      continue;
    if (spec.longName == name)
      return spec;
    found = &spec;
    ++prefixes;
  }
  if (prefixes > 1)
    Refuse("ambiguous option '--" + name + "'");
  if (found == nullptr || name.empty())
    Refuse("unknown option '--" + name + "'");
  return *found;
}

const OptionSpec& FindShort(char c) {
  for (const OptionSpec& spec : kOptions)
    if (spec.shortName == c)
      return spec;
  Refuse(std::string("unknown option '-") + c + "'");
}

class ArgumentParser {
public:
  explicit ArgumentParser(std::vector<std::string> arguments) : args_(std::move(arguments)) {}

  // Throws Refusal.
  CommandLine Run();

private:
  void TakeNext();
  void TakeLong(const std::string& body);
  void TakeShortGroup(const std::string& argument);
  std::string NextValue(const std::string& shown);
  void Apply(const OptionSpec& spec, const std::string& shown, const std::string& value);
  void ApplyText(Id id, const std::string& value);
  void ApplyFormat(Id id, const std::string& value);

  std::vector<std::string> args_;
  std::size_t next_ = 0;
  bool optionsEnded_ = false;            // after "--"
  bool done_ = false;                    // --help or --version: the rest is not read
  const char* lastFormatFlag_ = nullptr; // the last output flag other than --json
  CommandLine line_;
};

CommandLine ArgumentParser::Run() {
  while (!done_ && next_ < args_.size())
    TakeNext();
  if (done_)
    return line_;
  // JSON has fields of its own for what the other output options add.
  if (line_.format.json && lastFormatFlag_ != nullptr)
    Refuse(std::string("--json cannot be combined with ") + lastFormatFlag_);
  if (line_.files.empty())
    line_.files.push_back("-");
  return line_;
}

// Options and files may come in any order, as getopt_long permutes them.
void ArgumentParser::TakeNext() {
  const std::string& argument = args_[next_++];
  if (optionsEnded_ || argument.size() < 2 || argument[0] != '-')
    line_.files.push_back(argument);
  else if (argument == "--")
    optionsEnded_ = true;
  else if (argument[1] == '-')
    TakeLong(argument.substr(2));
  else
    TakeShortGroup(argument);
}

void ArgumentParser::TakeLong(const std::string& body) {
  const std::size_t equals = body.find('=');
  const OptionSpec& spec = FindLong(body.substr(0, equals));
  const std::string shown = std::string("--") + spec.longName;
  if (const char* why = Unsupported(spec.id))
    Refuse("option '" + shown + "' " + why);
  if (!spec.takesValue && equals != std::string::npos)
    Refuse("option '" + shown + "' takes no value");
  Apply(spec, shown,
        !spec.takesValue              ? std::string()
        : equals != std::string::npos ? body.substr(equals + 1)
                                      : NextValue(shown));
}

// "-fn4": flags, then one that takes the rest of the argument or the next
// one as its value. A digit starts GNU strings' -NUMBER, which takes the
// rest.
void ArgumentParser::TakeShortGroup(const std::string& argument) {
  for (std::size_t i = 1; i < argument.size() && !done_; ++i) {
    const char c = argument[i];
    if (c >= '0' && c <= '9') {
      Apply(kNumberSpec, "-NUMBER", argument.substr(i));
      return;
    }
    const OptionSpec& spec = FindShort(c);
    const std::string shown = std::string("-") + c;
    if (const char* why = Unsupported(spec.id))
      Refuse("option '" + shown + "' " + why);
    if (!spec.takesValue) {
      Apply(spec, shown, std::string());
      continue;
    }
    Apply(spec, shown, i + 1 < argument.size() ? argument.substr(i + 1) : NextValue(shown));
    return;
  }
}

// The next argument, whatever it looks like: "-n -1" is -n with -1.
std::string ArgumentParser::NextValue(const std::string& shown) {
  if (next_ >= args_.size())
    Refuse("option '" + shown + "' needs a value");
  return args_[next_++];
}

void ArgumentParser::Apply(const OptionSpec& spec, const std::string& shown,
                           const std::string& value) {
  switch (spec.id) {
  case Id::Help:
    line_.action = CommandLine::Action::Help;
    done_ = true;
    return;
  case Id::Version:
    line_.action = CommandLine::Action::Version;
    done_ = true;
    return;
  case Id::Bytes: {
    uint32_t count = 0;
    if (!GnuCount(value, count))
      Refuse("invalid number '" + value + "' for " + shown + " (1 to 4294967295)");
    // GNU keeps runs of at least `count`, this program those longer than MinChar.
    line_.overrides.minChar = true;
    line_.overrides.MinChar = count - 1;
    return;
  }
  default:
    ApplyText(spec.id, value);
    ApplyFormat(spec.id, value);
  }
}

void ArgumentParser::ApplyText(Id id, const std::string& value) {
  Overrides& o = line_.overrides;
  switch (id) {
  case Id::MinChars:
    o.minChar = true;
    o.MinChar = ParseLimit(value, "--min-chars");
    return;
  case Id::MaxChars:
    o.maxChar = true;
    o.MaxChar = ParseLimit(value, "--max-chars");
    return;
  case Id::Classes:
    o.classes = true;
    o.Classes = ParseClasses(value);
    return;
  case Id::Other:
    o.other = true;
    o.Other = value;
    return;
  case Id::Whitespace:
    o.allWhitespace = true;
    return;
  case Id::Encoding:
    o.Encodings = ParseEncodings(value);
    return;
  default:
    return;
  }
}

void ArgumentParser::ApplyFormat(Id id, const std::string& value) {
  LineFormatOptions& f = line_.format;
  switch (id) {
  case Id::Radix:
    if (value.size() != 1 || value[0] == '\0' || std::strchr("odx", value[0]) == nullptr)
      Refuse("invalid radix '" + value + "' for --radix (o, d or x)");
    f.radix = value[0];
    lastFormatFlag_ = "-t";
    return;
  case Id::Octal:
    f.radix = 'o';
    lastFormatFlag_ = "-o";
    return;
  case Id::FileName:
    f.fileName = true;
    lastFormatFlag_ = "-f";
    return;
  case Id::Separator:
    f.separator = value;
    lastFormatFlag_ = "-s";
    return;
  case Id::Json:
    f.json = true;
    return;
  default:
    return; // -a: the whole file is always read
  }
}

} // namespace

ParseResult ParseArguments(const std::vector<std::string>& arguments) {
  ParseResult result;
  std::vector<std::string> expanded = arguments;
  if (!ExpandResponseFiles(expanded, result.error)) {
    result.status = kBadUsage;
    return result;
  }
  try {
    result.line = ArgumentParser(std::move(expanded)).Run();
  } catch (const Refusal& refusal) {
    result.status = kBadUsage;
    result.error = refusal.message;
  }
  return result;
}
