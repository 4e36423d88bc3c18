// siftwell-extract's command line, parsed in-process: each flag of this
// program and of GNU strings from a table (arguments, the options they give
// or the refusal and its status), options files, the overrides applied over
// stored options, and the help text that names them all.

#include "cli/ArgumentParser.h"
#include "cli/HelpText.h"
#include "cli/ResponseFiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

namespace {

std::string Join(const std::vector<std::string>& parts, const char* separator = ",") {
  std::string out;
  for (const std::string& part : parts)
    out += (out.empty() ? "" : separator) + part;
  return out;
}

std::string EncodingNames(const EncodingList& list) {
  std::vector<std::string> names;
  for (const EncodingChoice& c : list)
    names.push_back(std::string(EncodingName(c.encoding)) + (c.allHighBytes ? "S" : ""));
  return Join(names);
}

std::string ClassList(const std::array<bool, kClassCount>& on) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < kClassCount; ++i)
    if (on[i])
      names.push_back(kClassNames[i].name);
  return Join(names);
}

// What `line` asks for beyond the defaults, "key=value" separated by
// blanks, so that a table row states only what its flags change.
std::string Changes(const CommandLine& line) {
  std::vector<std::string> out;
  const Overrides& o = line.overrides;
  const LineFormatOptions& f = line.format;
  if (line.action != CommandLine::Action::Extract)
    out.push_back(line.action == CommandLine::Action::Help ? "help" : "version");
  if (o.minChar)
    out.push_back("MinChar=" + std::to_string(o.MinChar));
  if (o.maxChar)
    out.push_back("MaxChar=" + std::to_string(o.MaxChar));
  if (o.classes)
    out.push_back("classes=" + ClassList(o.Classes));
  if (o.other)
    out.push_back("Other=" + o.Other);
  if (o.allWhitespace)
    out.push_back("whitespace");
  if (EncodingNames(o.Encodings) != "8")
    out.push_back("encodings=" + EncodingNames(o.Encodings));
  if (f.radix != 0)
    out.push_back(std::string("radix=") + f.radix);
  if (f.fileName)
    out.push_back("fileName");
  if (f.separator != "\n")
    out.push_back("separator=" + f.separator);
  if (f.json)
    out.push_back("json");
  if (line.action == CommandLine::Action::Extract && line.files != std::vector<std::string>{"-"})
    out.push_back("files=" + Join(line.files));
  return Join(out, " ");
}

std::vector<std::string> Arguments(const QStringList& list) {
  std::vector<std::string> out;
  for (const QString& s : list)
    out.push_back(s.toStdString());
  return out;
}

void WriteFile(const QString& path, const std::string& text) {
  std::ofstream(path.toStdString(), std::ios::binary) << text;
}

} // namespace

class TestCommandLine : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void flags_data();
  void flags();
  void optionsFileSplitting_data();
  void optionsFileSplitting();
  void optionsFilesRefused();
  void overridesOverStoredOptions();
  void helpNamesEveryFlag();

private:
  QTemporaryDir dir_;
};

void TestCommandLine::initTestCase() {
  QVERIFY(dir_.isValid());
  WriteFile(dir_.filePath("opts"), "-n 7 'a b' \"c\\\"d\"\n-t x");
  WriteFile(dir_.filePath("outer"), "-f @" + dir_.filePath("opts").toStdString() + " last");
  WriteFile(dir_.filePath("blank"), " \n\t ");
}

// Each row: the arguments, then either the changes they make (status 0) or
// a word of the refusal's message and its status. "@DIR" stands for the
// folder of the options files.
void TestCommandLine::flags_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("expected");
  QTest::addColumn<int>("status");

  auto ok = [](const char* name, QStringList args, const char* changes) {
    QTest::newRow(name) << args << QString(changes) << 0;
  };
  auto refused = [](const char* name, QStringList args, const char* word) {
    QTest::newRow(name) << args << QString(word) << 2;
  };

  ok("nothing", {}, "");
  ok("files and options in any order", {"a", "-n", "3", "b"}, "MinChar=3 files=a,b");
  ok("-- ends the options", {"--", "-n", "-"}, "files=-n,-");
  ok("- is standard input", {"-", "x"}, "files=-,x");
  ok("an empty argument is a file", {""}, "files=");

  ok("-n N", {"-n", "4"}, "MinChar=4");
  ok("-nN", {"-n4"}, "MinChar=4");
  ok("--min-chars=N", {"--min-chars=7"}, "MinChar=7");
  ok("--min-chars N", {"--min-chars", "7"}, "MinChar=7");
  ok("a long option's prefix", {"--min=7"}, "MinChar=7");
  ok("-n takes a value that looks like a flag", {"-n", "-1"}, "MinChar=4294967295");
  ok("-n 4294967295 in decimal", {"-n", "4294967295"}, "MinChar=4294967295");
  ok("-n 2147483648 in decimal", {"-n", "2147483648"}, "MinChar=2147483648");
  ok("-n +4294967295", {"-n", "+4294967295"}, "MinChar=4294967295");
  ok("-n 0xFFFFFFFF", {"-n", "0xFFFFFFFF"}, "MinChar=4294967295");
  ok("-n $10", {"-n", "$10"}, "MinChar=16");
  ok("-n with a leading blank", {"-n", " 7"}, "MinChar=7");
  ok("the last -n wins", {"-n", "9", "-n", "20"}, "MinChar=20");
  refused("-n 4294967296", {"-n", "4294967296"}, "'4294967296' for --min-chars");
  refused("-n abc", {"-n", "abc"}, "'abc'");
  refused("-n with a blank after", {"-n", "4 "}, "'4 '");
  refused("-n without a value", {"-n"}, "'-n' needs a value");
  refused("--min-chars without a value", {"--min-chars"}, "'--min-chars' needs a value");

  ok("-m N", {"-m", "10"}, "MaxChar=10");
  ok("--max-chars=0", {"--max-chars=0"}, "MaxChar=0");
  refused("--max-chars empty", {"--max-chars="}, "--max-chars");
  refused("--m is ambiguous", {"--m=3"}, "ambiguous");

  ok("-c a list", {"-c", "upper,iso"}, "classes=upper,iso");
  ok("-c every class", {"--classes=upper,lower,number,space,punct,symbol,iso"},
     "classes=upper,lower,number,space,punct,symbol,iso");
  ok("-c empty", {"-c", ""}, "classes=");
  refused("-c an unknown class", {"-c", "upper,digits"}, "'digits' for --classes");
  refused("-c a trailing comma", {"-c", "upper,"}, "--classes");
  ok("-x", {"-x", "_."}, "Other=_.");
  ok("--other empty", {"--other="}, "Other=");

  ok("-e a list, each once", {"-e", "16le,8,16le"}, "encodings=16le,8");
  ok("-e GNU letters", {"--encoding=s,l,b,L,B,S"}, "encodings=8,16le,16be,32le,32be,8S");
  refused("-e unknown", {"-e", "ebcdic"}, "'ebcdic' for --encoding");

  ok("-t x", {"-t", "x"}, "radix=x");
  ok("--radix=d", {"--radix=d"}, "radix=d");
  ok("-o", {"-o"}, "radix=o");
  ok("-f", {"--print-file-name"}, "fileName");
  ok("-s", {"-s", "::"}, "separator=::");
  ok("--output-separator empty", {"--output-separator="}, "separator=");
  ok("grouped flags with a value last", {"-afs|"}, "fileName separator=|");
  ok("-a and --all", {"-a", "--all"}, "");
  ok("--json", {"--json"}, "json");
  refused("-t b", {"-t", "b"}, "radix");
  refused("-t xx", {"-t", "xx"}, "'xx'");
  refused("--json with -t", {"--json", "-t", "x"}, "--json cannot be combined with -t");
  refused("-f with --json", {"-f", "--json"}, "-f");
  refused("--json with -s", {"--json", "-s", ","}, "-s");
  refused("-o with --json", {"-o", "--json"}, "-o");
  refused("--json takes no value", {"--json=yes"}, "takes no value");

  ok("-h", {"-h"}, "help");
  ok("--help ends the reading", {"--help", "-z"}, "help");
  refused("an unknown flag before -h", {"-z", "-h"}, "'-z'");
  ok("--version", {"--version"}, "version");
  refused("an unknown short option", {"-q"}, "unknown option '-q'");
  refused("an unknown long option", {"--bogus=4"}, "unknown option '--bogus'");

  // GNU strings' spellings.
  ok("-NUMBER", {"-5"}, "MinChar=4");
  ok("-NUMBER of two digits", {"-10"}, "MinChar=9");
  ok("-NUMBER in octal", {"-010"}, "MinChar=7");
  ok("-NUMBER after a flag", {"-f5"}, "MinChar=4 fileName");
  ok("-NUMBER then -n: the last wins", {"-5", "-n", "2"}, "MinChar=2");
  refused("-NUMBER not octal", {"-08"}, "'08'");
  refused("-0", {"-0"}, "'0'");
  ok("--bytes=NUMBER", {"--bytes=5"}, "MinChar=4");
  ok("--bytes NUMBER in hexadecimal", {"--bytes", "0x10"}, "MinChar=15");
  ok("--bytes with a blank and a plus", {"--bytes= +9"}, "MinChar=8");
  ok("--bytes=4294967295", {"--bytes=4294967295"}, "MinChar=4294967294");
  refused("--bytes=0", {"--bytes=0"}, "'0' for --bytes");
  refused("--bytes=4294967296", {"--bytes=4294967296"}, "'4294967296'");
  refused("--bytes=-1", {"--bytes=-1"}, "'-1'");
  refused("--bytes=0x", {"--bytes=0x"}, "'0x'");
  ok("-w", {"-w"}, "whitespace");
  ok("--include-all-whitespace", {"--include-all-whitespace"}, "whitespace");
  ok("-v", {"-v"}, "version");
  ok("-V", {"-V", "-z"}, "version");
  ok("-e s and -e S", {"-e", "s", "-e", "S"}, "encodings=8S");
  refused("-d", {"-d"}, "'-d' is not supported");
  refused("--data", {"--data"}, "'--data' is not supported");
  refused("-T", {"-T", "elf64-x86-64"}, "'-T' is not supported");
  refused("--target=", {"--target=elf64-x86-64"}, "'--target' is not supported");
  refused("-U", {"-U", "d"}, "'-U' is not supported");
  refused("--unicode=", {"--unicode=show"}, "'--unicode' is not supported");

  ok("@FILE", {"@DIR/opts"}, "MinChar=7 radix=x files=a b,c\"d");
  ok("@FILE naming another", {"@DIR/outer"}, "MinChar=7 radix=x fileName files=a b,c\"d,last");
  ok("@FILE of white space only", {"x", "@DIR/blank"}, "files=x");
  ok("@FILE missing is a file name", {"@DIR/missing"}, "files=@DIR/missing");
  // Read before the options, as GNU does: -s takes the file's first word.
  ok("@FILE in an option's place", {"-s", "@DIR/opts"}, "radix=x separator=-n files=7,a b,c\"d");
}

void TestCommandLine::flags() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, expected);
  QFETCH(int, status);
  arguments.replaceInStrings("@DIR", "@" + dir_.path());
  expected.replace("@DIR", "@" + dir_.path());
  const ParseResult result = ParseArguments(Arguments(arguments));
  QCOMPARE(result.status, status);
  if (status == 0) {
    QCOMPARE(QString::fromStdString(Changes(result.line)), expected);
    QVERIFY(result.error.empty());
  } else {
    QVERIFY2(QString::fromStdString(result.error).contains(expected), result.error.c_str());
    QVERIFY(result.error.find('\n') == std::string::npos);
  }
}

// GNU's rules: white space separates, quotes group, a backslash takes the
// next character as it is, inside single quotes too.
void TestCommandLine::optionsFileSplitting_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QStringList>("arguments");
  QTest::newRow("blanks") << QByteArray(" a  b\tc\nd\ve\ff\rg ")
                          << QStringList{"a", "b", "c", "d", "e", "f", "g"};
  QTest::newRow("empty") << QByteArray("") << QStringList{};
  QTest::newRow("white space only") << QByteArray(" \n ") << QStringList{};
  QTest::newRow("single quotes") << QByteArray("'a b'c") << QStringList{"a bc"};
  QTest::newRow("double quotes") << QByteArray("x\"a 'b\"y") << QStringList{"xa 'by"};
  QTest::newRow("empty quotes") << QByteArray("'' \"\"") << QStringList{"", ""};
  QTest::newRow("backslash outside quotes") << QByteArray("a\\ b \\\\") << QStringList{"a b", "\\"};
  QTest::newRow("backslash in single quotes") << QByteArray("'it\\'s'") << QStringList{"it's"};
  QTest::newRow("backslash in double quotes") << QByteArray("\"a\\\"b\"") << QStringList{"a\"b"};
  QTest::newRow("backslash and line end") << QByteArray("a\\\nb") << QStringList{"a\nb"};
  QTest::newRow("a lone backslash at the end") << QByteArray("a \\") << QStringList{"a", ""};
  QTest::newRow("a quote left open") << QByteArray("\"a b") << QStringList{"a b"};
  QTest::newRow("NUL ends the text") << QByteArray("a b\0c d", 7) << QStringList{"a", "b"};
}

void TestCommandLine::optionsFileSplitting() {
  QFETCH(QByteArray, text);
  QFETCH(QStringList, arguments);
  QCOMPARE(SplitResponseText(text.toStdString()), Arguments(arguments));
}

// A folder, a file too large for options and files that name one another
// end the parse with a message rather than reading on for ever.
void TestCommandLine::optionsFilesRefused() {
  const QString loop = dir_.filePath("loop");
  WriteFile(loop, "-a @" + loop.toStdString());
  for (const QString& name : {dir_.path(), loop, QString("/dev/zero")}) {
    const ParseResult result = ParseArguments({"@" + name.toStdString()});
    QCOMPARE(result.status, 2);
    QVERIFY2(result.error.find(name.toStdString()) != std::string::npos, result.error.c_str());
  }
}

// The flags replace the stored values they name and keep the others; -w
// adds the white space to whatever -x or the store gives, once.
void TestCommandLine::overridesOverStoredOptions() {
  TextOptions stored;
  stored.MinChar = 9;
  stored.MaxChar = 80;
  stored.Other = "\t_";
  stored.Number = true;

  TextOptions options = stored;
  ParseArguments({"-w"}).line.overrides.ApplyTo(options);
  QCOMPARE(options.Other, std::string("\t_\n\v\f\r"));
  QCOMPARE(options.MaxChar, 80u);

  options = stored;
  ParseArguments({"-w", "-x", "ab", "-w"}).line.overrides.ApplyTo(options);
  QCOMPARE(options.Other, std::string("ab\t\n\v\f\r"));

  options = stored;
  ParseArguments({"-c", "iso,punct", "--bytes=3"}).line.overrides.ApplyTo(options);
  TextOptions want = stored;
  want.Upper = want.Lower = want.Number = want.Space = want.Symbol = false;
  want.ISO = want.Punct = true;
  want.MinChar = 2;
  QVERIFY(options == want);
}

// --help shows every class of the table, each GNU spelling and the recipe
// that gives GNU strings' lines whatever maximum is stored.
void TestCommandLine::helpNamesEveryFlag() {
  const QString help = QString::fromStdString(HelpText());
  for (const ClassName& c : kClassNames)
    QVERIFY2(help.contains(QRegularExpression(QString("\\b%1[,;]").arg(c.name))), c.name);
  for (const char* word :
       {"-NUMBER", "--bytes=NUMBER", "-w, --include-all-whitespace", "-v, -V, --version", "@FILE",
        "-d (--data)", "-T (--target)", "-U (--unicode)", "not supported"})
    QVERIFY2(help.contains(word), word);
  QVERIFY(help.contains("siftwell-extract -n 4 -m 0 -c upper,lower,number,space,punct,symbol"));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
