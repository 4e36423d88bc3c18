// Loading and saving the text options: the logic against a store held in
// memory, and the QSettings store against a settings folder of the test's own.
#include "settings/QSettingsStore.h"
#include "settings/TextOptionsStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <map>
#include <stdexcept>
#include <sys/resource.h>

namespace {

// A store in memory: values are text or "not text"; writes can be made to fail.
class FakeStore : public SettingsStore {
public:
  struct Value {
    bool isText = true;
    std::string text;
  };
  std::map<std::string, std::map<std::string, Value>> sections;
  std::vector<std::string> writes; // "section/name=text", in order
  int opens = 0;
  int closes = 0;
  std::string failAt; // the value name whose write fails
  std::string failMessage;

  void OpenKey() override { ++opens; }
  bool ReadString(const std::string& section, const std::string& name,
                  std::string& value) override {
    const auto s = sections.find(section);
    if (s == sections.end())
      return false;
    const auto v = s->second.find(name);
    if (v == s->second.end())
      return false;
    if (!v->second.isText)
      throw std::runtime_error("Invalid data type for '" + name + "'");
    value = v->second.text;
    return true;
  }
  void WriteString(const std::string& section, const std::string& name,
                   const std::string& value) override {
    if (name == failAt)
      throw std::runtime_error(failMessage);
    sections[section][name] = Value{true, value};
    writes.push_back(section + "/" + name + "=" + value);
  }
  void CloseKey() override { ++closes; }

  void Set(const std::string& name, const std::string& text) {
    sections["Options"][name] = Value{true, text};
  }
  void SetNotText(const std::string& name) { sections["Options"][name] = Value{false, {}}; }
  std::string Get(const std::string& name) { return sections["Options"][name].text; }
};

TextOptions AllChanged() {
  TextOptions o;
  o.MinChar = 4294967295u;
  o.MaxChar = 100;
  o.Upper = false;
  o.Lower = false;
  o.Number = true;
  o.Space = true;
  o.Punct = true;
  o.Symbol = true;
  o.ISO = true;
  o.Other = " ab ";
  return o;
}

const char* const kNames[] = {"MinChar", "MaxChar", "Upper",  "Lower", "Number",
                              "Space",   "Punct",   "Symbol", "ISO",   "Other"};

} // namespace

class TestTextOptionsStore : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void cleanup();

  // The logic, on the store in memory.
  void emptyStoreGivesDefaults();
  void storedForms_data();
  void storedForms();
  void wrongTypeStopsTheLoad();
  void saveWritesAllTenInOrder();
  void saveStopsAtFailingValue();
  void loadedValuesAreRewritten();
  void loadDropsNulFromOther();

  // The QSettings store.
  void firstStartCreatesTheFile();
  void settingsFileForms_data();
  void settingsFileForms();
  void wrongTypeInSettingsFile_data();
  void wrongTypeInSettingsFile();
  void roundTrip();
  void rewritesInvalidTexts();
  void nulEscapeInOtherIsDroppedAndNotSaved();
  void unwritableFolderFailsTheSave();
  void fileThatCannotGrowFailsTheSave();

private:
  QString FilePath() const { return config_.path() + "/Maelbrook/Siftwell.conf"; }
  void WriteFile(const QByteArray& body);
  // The options loaded from a settings file of `body`, then saved to it.
  TextOptions LoadThenSave(const QByteArray& body);

  QTemporaryDir config_;
};

void TestTextOptionsStore::initTestCase() {
  // Before the first QSettings is made: the store must land below this folder.
  QVERIFY(config_.isValid());
  qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
}

void TestTextOptionsStore::cleanup() {
  QFile::remove(FilePath());
}

void TestTextOptionsStore::WriteFile(const QByteArray& body) {
  QDir().mkpath(config_.path() + "/Maelbrook");
  QFile file(FilePath());
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(body);
  file.flush();
  // QSettings keeps files it has read and rereads one only when its size or
  // time changed: give every new body a time of its own.
  static int written = 0;
  file.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)).addSecs(++written),
                   QFileDevice::FileModificationTime);
}

TextOptions TestTextOptionsStore::LoadThenSave(const QByteArray& body) {
  WriteFile(body);
  QSettingsStore store;
  TextOptions options;
  LoadTextOptions(store, options);
  SaveTextOptions(store, options);
  return options;
}

void TestTextOptionsStore::emptyStoreGivesDefaults() {
  FakeStore store;
  TextOptions options = AllChanged();
  LoadTextOptions(store, options);
  QVERIFY(options == TextOptions());
  QCOMPARE(options.MinChar, 4u);
  QCOMPARE(options.MaxChar, 0u);
  QVERIFY(options.Upper && options.Lower);
  QVERIFY(!options.Number && !options.Space && !options.Punct && !options.Symbol && !options.ISO);
  QVERIFY(options.Other.empty());
  QCOMPARE(store.opens, 1);
  QCOMPARE(store.closes, 1);
}

void TestTextOptionsStore::storedForms_data() {
  QTest::addColumn<QByteArray>("name");
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<qint64>("expected"); // limits as unsigned, switches as 0/1

  QTest::newRow("MinChar abc") << QByteArray("MinChar") << QByteArray("abc") << qint64(4);
  QTest::newRow("MinChar empty") << QByteArray("MinChar") << QByteArray("") << qint64(4);
  QTest::newRow("MinChar trailing blank") << QByteArray("MinChar") << QByteArray("4 ") << qint64(4);
  QTest::newRow("MinChar eleven nines")
      << QByteArray("MinChar") << QByteArray("99999999999") << qint64(4);
  QTest::newRow("MinChar blank 7") << QByteArray("MinChar") << QByteArray(" 7") << qint64(7);
  QTest::newRow("MinChar $10") << QByteArray("MinChar") << QByteArray("$10") << qint64(16);
  QTest::newRow("MinChar 0x10") << QByteArray("MinChar") << QByteArray("0x10") << qint64(16);
  QTest::newRow("MinChar -1") << QByteArray("MinChar") << QByteArray("-1") << qint64(4294967295);
  QTest::newRow("MaxChar bad") << QByteArray("MaxChar") << QByteArray("x") << qint64(0);
  QTest::newRow("MaxChar 80") << QByteArray("MaxChar") << QByteArray("80") << qint64(80);
  QTest::newRow("Upper 0") << QByteArray("Upper") << QByteArray("0") << qint64(0);
  QTest::newRow("Upper 2") << QByteArray("Upper") << QByteArray("2") << qint64(1);
  QTest::newRow("Upper -1") << QByteArray("Upper") << QByteArray("-1") << qint64(1);
  QTest::newRow("Upper yes") << QByteArray("Upper") << QByteArray("yes") << qint64(1);
  QTest::newRow("Upper empty") << QByteArray("Upper") << QByteArray("") << qint64(1);
  QTest::newRow("Number yes") << QByteArray("Number") << QByteArray("yes") << qint64(0);
  QTest::newRow("Number 1") << QByteArray("Number") << QByteArray("1") << qint64(1);
  QTest::newRow("ISO $1") << QByteArray("ISO") << QByteArray("$1") << qint64(1);
}

// Reads one field of `o` by its stored name, as the test table gives it.
static qint64 FieldValue(const TextOptions& o, const QByteArray& name) {
  if (name == "MinChar")
    return o.MinChar;
  if (name == "MaxChar")
    return o.MaxChar;
  if (name == "Upper")
    return o.Upper;
  if (name == "Lower")
    return o.Lower;
  if (name == "Number")
    return o.Number;
  if (name == "Space")
    return o.Space;
  if (name == "Punct")
    return o.Punct;
  if (name == "Symbol")
    return o.Symbol;
  if (name == "ISO")
    return o.ISO;
  return -1;
}

void TestTextOptionsStore::storedForms() {
  QFETCH(QByteArray, name);
  QFETCH(QByteArray, text);
  QFETCH(qint64, expected);
  FakeStore store;
  store.Set(name.toStdString(), text.toStdString());
  // A neighbour with a valid text shows that a bad text affects only its field.
  if (name != "MaxChar")
    store.Set("MaxChar", "12");
  TextOptions options;
  LoadTextOptions(store, options);
  QCOMPARE(FieldValue(options, name), expected);
  if (name != "MaxChar")
    QCOMPARE(options.MaxChar, 12u);
}

void TestTextOptionsStore::loadDropsNulFromOther() {
  FakeStore store;
  store.Set("Other", std::string("\0a\0 b\0", 6));
  TextOptions options;
  LoadTextOptions(store, options);
  QCOMPARE(options.Other, std::string("a b"));
  store.Set("Other", std::string(3, '\0'));
  LoadTextOptions(store, options);
  QVERIFY(options.Other.empty());
}

void TestTextOptionsStore::wrongTypeStopsTheLoad() {
  FakeStore store;
  store.Set("MinChar", "7");
  store.SetNotText("MaxChar");
  store.Set("Upper", "0");
  store.Set("Number", "1");
  store.Set("Other", "xyz");
  TextOptions options = AllChanged();
  try {
    LoadTextOptions(store, options);
    QFAIL("the load went through a value that is not text");
  } catch (const std::runtime_error& e) {
    QCOMPARE(QString(e.what()), QString("Invalid data type for 'MaxChar'"));
  }
  QCOMPARE(options.MinChar, 7u);
  TextOptions expected; // the stored MinChar, defaults from MaxChar on
  expected.MinChar = 7;
  QVERIFY(options == expected);
  QCOMPARE(store.closes, 1);
}

void TestTextOptionsStore::saveWritesAllTenInOrder() {
  FakeStore store;
  SaveTextOptions(store, TextOptions());
  const std::vector<std::string> defaults = {
      "Options/MinChar=4", "Options/MaxChar=0", "Options/Upper=1", "Options/Lower=1",
      "Options/Number=0",  "Options/Space=0",   "Options/Punct=0", "Options/Symbol=0",
      "Options/ISO=0",     "Options/Other="};
  QVERIFY(store.writes == defaults);
  QCOMPARE(store.opens, 1);
  QCOMPARE(store.closes, 1);

  store.writes.clear();
  SaveTextOptions(store, AllChanged());
  const std::vector<std::string> changed = {
      "Options/MinChar=-1", "Options/MaxChar=100", "Options/Upper=0", "Options/Lower=0",
      "Options/Number=1",   "Options/Space=1",     "Options/Punct=1", "Options/Symbol=1",
      "Options/ISO=1",      "Options/Other= ab "};
  QVERIFY(store.writes == changed);

  // And back: -1 is the limit 4294967295 again, the blanks of Other survive.
  TextOptions loaded;
  LoadTextOptions(store, loaded);
  QVERIFY(loaded == AllChanged());
}

void TestTextOptionsStore::saveStopsAtFailingValue() {
  FakeStore store;
  store.failAt = "Punct";
  store.failMessage = "Failed to set data for 'Punct'";
  try {
    SaveTextOptions(store, AllChanged());
    QFAIL("a failing write was not reported");
  } catch (const std::runtime_error& e) {
    QCOMPARE(QString(e.what()), QString("Failed to set data for 'Punct'"));
  }
  QCOMPARE(int(store.writes.size()), 6); // MinChar .. Space stay written
  QCOMPARE(store.writes.back(), std::string("Options/Space=1"));
  QCOMPARE(store.closes, 1);
}

void TestTextOptionsStore::loadedValuesAreRewritten() {
  FakeStore store;
  store.Set("MinChar", "abc");
  store.Set("MaxChar", " 0x10");
  store.Set("Upper", "yes");
  store.Set("Lower", "-5");
  TextOptions options;
  LoadTextOptions(store, options);
  SaveTextOptions(store, options);
  QCOMPARE(store.Get("MinChar"), std::string("4"));
  QCOMPARE(store.Get("MaxChar"), std::string("16"));
  QCOMPARE(store.Get("Upper"), std::string("1"));
  QCOMPARE(store.Get("Lower"), std::string("1"));
  QCOMPARE(int(store.writes.size()), 10);
}

void TestTextOptionsStore::firstStartCreatesTheFile() {
  QVERIFY(!QFile::exists(FilePath()));
  QSettingsStore store;
  TextOptions options = AllChanged();
  LoadTextOptions(store, options);
  QVERIFY(options == TextOptions());
  QVERIFY(QFile::exists(FilePath()));

  SaveTextOptions(store, options);
  QSettings check(FilePath(), QSettings::IniFormat);
  QCOMPARE(check.childGroups(), QStringList{"Options"});
  const QStringList expected = {"4", "0", "1", "1", "0", "0", "0", "0", "0", ""};
  for (int i = 0; i < 10; ++i) {
    const QVariant value = check.value(QString("Options/") + kNames[i]);
    QCOMPARE(value.typeId(), int(QMetaType::QString));
    QCOMPARE(value.toString(), expected[i]);
  }
  QCOMPARE(check.allKeys().size(), 10);
}

void TestTextOptionsStore::settingsFileForms_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<QByteArray>("name");
  QTest::addColumn<qint64>("expected");

  QTest::newRow("abc") << QByteArray("MinChar=abc") << QByteArray("MinChar") << qint64(4);
  QTest::newRow("empty") << QByteArray("MinChar=") << QByteArray("MinChar") << qint64(4);
  QTest::newRow("4 and blank") << QByteArray("MinChar=\"4 \"") << QByteArray("MinChar")
                               << qint64(4);
  QTest::newRow("eleven nines") << QByteArray("MinChar=99999999999") << QByteArray("MinChar")
                                << qint64(4);
  QTest::newRow("blank 7") << QByteArray("MinChar=\" 7\"") << QByteArray("MinChar") << qint64(7);
  QTest::newRow("$10") << QByteArray("MinChar=$10") << QByteArray("MinChar") << qint64(16);
  QTest::newRow("0x10") << QByteArray("MinChar=0x10") << QByteArray("MinChar") << qint64(16);
  QTest::newRow("-1") << QByteArray("MinChar=-1") << QByteArray("MinChar") << qint64(4294967295);
  QTest::newRow("Upper 0") << QByteArray("Upper=0") << QByteArray("Upper") << qint64(0);
  QTest::newRow("Upper 2") << QByteArray("Upper=2") << QByteArray("Upper") << qint64(1);
  QTest::newRow("Upper -1") << QByteArray("Upper=-1") << QByteArray("Upper") << qint64(1);
  QTest::newRow("Upper yes") << QByteArray("Upper=yes") << QByteArray("Upper") << qint64(1);
  QTest::newRow("Number yes") << QByteArray("Number=yes") << QByteArray("Number") << qint64(0);
}

void TestTextOptionsStore::settingsFileForms() {
  QFETCH(QByteArray, line);
  QFETCH(QByteArray, name);
  QFETCH(qint64, expected);
  WriteFile("[Options]\n" + line + "\n");
  QSettingsStore store;
  TextOptions options;
  LoadTextOptions(store, options);
  QCOMPARE(FieldValue(options, name), expected);
}

void TestTextOptionsStore::wrongTypeInSettingsFile_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::newRow("number") << QByteArray("MaxChar=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)");
  QTest::newRow("list") << QByteArray("MaxChar=1, 2");
  QTest::newRow("bytes") << QByteArray("MaxChar=@ByteArray(12)");
  QTest::newRow("invalid") << QByteArray("MaxChar=@Invalid()");
}

void TestTextOptionsStore::wrongTypeInSettingsFile() {
  QFETCH(QByteArray, line);
  WriteFile("[Options]\nMinChar=9\n" + line + "\nUpper=0\nOther=abc\n");
  QSettingsStore store;
  TextOptions options;
  try {
    LoadTextOptions(store, options);
    QFAIL("the load went through a value that is not text");
  } catch (const std::runtime_error& e) {
    QCOMPARE(QString(e.what()), QString("Invalid data type for 'MaxChar'"));
  }
  TextOptions expected;
  expected.MinChar = 9;
  QVERIFY(options == expected);
}

void TestTextOptionsStore::roundTrip() {
  TextOptions saved = AllChanged();
  // 8-bit bytes and the characters the settings file treats specially.
  saved.Other = std::string(" a,b;\"=\\@\xe1\xff ");
  {
    QSettingsStore store;
    SaveTextOptions(store, saved);
  }
  QSettingsStore store;
  TextOptions loaded;
  LoadTextOptions(store, loaded);
  QVERIFY(loaded == saved);
  QCOMPARE(loaded.MinChar, 4294967295u);

  QSettings check(FilePath(), QSettings::IniFormat);
  QCOMPARE(check.value("Options/MinChar").toString(), QString("-1"));
}

void TestTextOptionsStore::rewritesInvalidTexts() {
  const TextOptions options =
      LoadThenSave("[Options]\nMinChar=abc\nMaxChar=0x10\nUpper=yes\nLower=2\nOther=\" ab \"\n");
  QCOMPARE(options.Other, std::string(" ab "));
  QSettings check(FilePath(), QSettings::IniFormat);
  QCOMPARE(check.value("Options/MinChar").toString(), QString("4"));
  QCOMPARE(check.value("Options/MaxChar").toString(), QString("16"));
  QCOMPARE(check.value("Options/Upper").toString(), QString("1"));
  QCOMPARE(check.value("Options/Lower").toString(), QString("1"));
  QCOMPARE(check.value("Options/Other").toString(), QString(" ab "));
  QCOMPARE(check.allKeys().size(), 10);
}

void TestTextOptionsStore::nulEscapeInOtherIsDroppedAndNotSaved() {
  // QSettings reads the escape \0 as a NUL character.
  const TextOptions options = LoadThenSave("[Options]\nOther=a\\0b\\0\n");
  QCOMPARE(options.Other, std::string("ab"));
  QSettings check(FilePath(), QSettings::IniFormat);
  QCOMPARE(check.value("Options/Other").toString(), QString("ab"));
  QFile file(FilePath());
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray saved = file.readAll();
  QVERIFY2(saved.contains("\nOther=ab\n"), saved.constData());
  QVERIFY2(!saved.contains("\\0"), saved.constData());
}

void TestTextOptionsStore::unwritableFolderFailsTheSave() {
  // Root ignores permission bits, so the folder is made impossible instead:
  // its parent is a regular file.
  QTemporaryDir dir;
  const QString blocker = dir.path() + "/not-a-folder";
  QFile file(blocker);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.close();
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker);
  QString message;
  TextOptions options;
  {
    QSettingsStore store;
    LoadTextOptions(store, options); // nothing to read: defaults, no report
    try {
      SaveTextOptions(store, options);
    } catch (const std::runtime_error& e) {
      message = e.what();
    }
  }
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
  QVERIFY(options == TextOptions());
  QCOMPARE(message, QString("Failed to create key Options"));
}

void TestTextOptionsStore::fileThatCannotGrowFailsTheSave() {
  WriteFile("[Options]\nMinChar=4\n");
  QSettingsStore store;
  TextOptions options;
  LoadTextOptions(store, options);
  // A file size limit makes the rewrite fail even for root.
  struct rlimit old {};
  QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit tight = old;
  tight.rlim_cur = 8;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
  QString message;
  try {
    SaveTextOptions(store, AllChanged());
  } catch (const std::runtime_error& e) {
    message = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  QCOMPARE(message, QString("Failed to set data for 'MinChar'"));
  // The old file is still there as it was.
  QSettings check(FilePath(), QSettings::IniFormat);
  QCOMPARE(check.value("Options/MinChar").toString(), QString("4"));
}

QTEST_GUILESS_MAIN(TestTextOptionsStore)
#include "test_textoptionsstore.moc"
