#include "cli/ResponseFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Files that name one another would be read for ever; GNU stops at as many.
constexpr int kMaxExpansions = 2000;
// An options file is small; /dev/zero given as one must not fill the memory.
constexpr std::size_t kMaxFileBytes = 16u << 20;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One argument from `at`, which is past any white space, up to `end`; `at`
// ends past it.
std::string TakeArgument(const std::string& text, std::size_t end, std::size_t& at) {
  std::string argument;
  char quote = 0; // the quote that is open, or 0
  for (; at < end; ++at) {
    const char c = text[at];
    if (c == '\\') {
      if (++at < end)
        argument += text[at];
    } else if (quote != 0) {
      if (c == quote)
        quote = 0;
      else
        argument += c;
    } else if (IsSpace(c)) {
      break;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else {
      argument += c;
    }
  }
  return argument;
}

enum class Read { Done, Unreadable, Folder, TooLarge };

Read ReadWhole(const std::string& name, std::string& text) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return Read::Unreadable;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return Read::Folder;
  }
  Read result = Read::Done;
  char block[65536];
  for (;;) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0) {
      // As GNU does, a file that fails on the way is taken as unreadable.
      result = got < 0 ? Read::Unreadable : result;
      break;
    }
    if (text.size() + static_cast<std::size_t>(got) > kMaxFileBytes) {
      result = Read::TooLarge;
      break;
    }
    text.append(block, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return result;
}

} // namespace

std::vector<std::string> SplitResponseText(const std::string& text) {
  std::vector<std::string> arguments;
  // GNU reads the file as one C string: what follows a NUL byte is lost.
  const std::size_t end = std::min(text.find('\0'), text.size());
  std::size_t at = 0;
  for (;;) {
    while (at < end && IsSpace(text[at]))
      ++at;
    if (at >= end)
      return arguments;
    arguments.push_back(TakeArgument(text, end, at));
  }
}

bool ExpandResponseFiles(std::vector<std::string>& arguments, std::string& error) {
  int expansions = 0;
  for (std::size_t i = 0; i < arguments.size();) {
    if (arguments[i].size() < 2 || arguments[i][0] != '@') {
      ++i;
      continue;
    }
    const std::string name = arguments[i].substr(1);
    std::string text;
    const Read read = ReadWhole(name, text);
    if (read == Read::Unreadable) {
      ++i; // left as it is: a file of that name, reported when it is read
      continue;
    }
    if (read == Read::Folder || read == Read::TooLarge) {
      error = "@" + name + (read == Read::Folder ? ": is a folder" : ": too large for options");
      return false;
    }
    if (++expansions > kMaxExpansions) {
      error = "@" + name + ": too many @-files (does one name itself?)";
      return false;
    }
    const std::vector<std::string> inner = SplitResponseText(text);
    arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i));
    // Looked at again from i, so that the files these name are read too.
    arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(i), inner.begin(),
                     inner.end());
  }
  return true;
}
