#include "cli/HelpText.h"

#include "cli/ClassNames.h"

#include <cstddef>

namespace {

constexpr std::size_t kIndent = 22; // where an option's description starts
constexpr std::size_t kWidth = 79;

// `head` and then `text`, its words wrapped to lines of kWidth, the lines
// after the first indented by kIndent.
std::string Wrapped(const std::string& head, const std::string& text) {
  std::string out = head;
  std::size_t lineLength = head.size();
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos)
      end = text.size();
    const std::string word = text.substr(at, end - at);
    if (lineLength + 1 + word.size() > kWidth) {
      out += "\n" + std::string(kIndent, ' ') + word;
      lineLength = kIndent + word.size();
    } else {
      out += (lineLength == head.size() ? "" : " ") + word;
      lineLength += (lineLength == head.size() ? 0 : 1) + word.size();
    }
    at = end + 1;
  }
  return out + "\n";
}

std::string ClassesEntry() {
  return Wrapped("  -c, --classes=LIST  ", "the accepted classes, comma-separated from " +
                                               ClassNameList() +
                                               "; LIST replaces them all, and an empty LIST "
                                               "turns them all off");
}

} // namespace

std::string HelpText() {
  return "Usage: siftwell-extract [OPTION]... [FILE]...\n"
         "Write the text runs of each FILE to standard output, one per line.\n"
         "With no FILE, or when FILE is -, read standard input.\n"
         "\n"
         "The options start from the text options stored by Sift Well; these override them:\n"
         "  -n, --min-chars=N   keep the runs longer than N bytes; note that this is one\n"
         "                      less than the -n of GNU strings (-n 4 here is -n 5 there)\n"
         "  -NUMBER, --bytes=NUMBER  keep the runs of NUMBER bytes or more, as GNU\n"
         "                      strings' -NUMBER and --bytes do: -n NUMBER-1 here\n"
         "  -m, --max-chars=N   cut runs when they reach N bytes; 0 sets no limit\n" +
         ClassesEntry() +
         "  -x, --other=CHARS   also accept each byte of CHARS\n"
         "  -w, --include-all-whitespace  also accept tab, line feed, vertical tab,\n"
         "                      form feed and carriage return, besides CHARS\n"
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
         "  -v, -V, --version   show the version and exit\n"
         "  @FILE               read options from FILE, separated by white space, as\n"
         "                      GNU strings does: quotes group, a backslash takes the\n"
         "                      next character as it is\n"
         "GNU strings' -d (--data), -T (--target) and -U (--unicode) are not supported.\n"
         "\n"
         "N is decimal up to 4294967295, or hexadecimal after \"$\" or \"0x\"; a negative\n"
         "N stands for 4294967296 + N. NUMBER is decimal, hexadecimal after \"0x\" or\n"
         "octal after \"0\", from 1. What GNU strings -a -n 5 -t x FILE gives:\n"
         "  siftwell-extract -n 4 -m 0 -c upper,lower,number,space,punct,symbol -x $'\\t' \\\n"
         "    -t x FILE\n"
         "\n"
         "Exit status: 0 when all went well, 1 when a file could not be read or the\n"
         "output could not be written, 2 for a bad option.\n";
}
