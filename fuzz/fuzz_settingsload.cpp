// Loading the text options from a settings file of any bytes. The load must
// not crash, must not change the file, and must end either with every field
// read as the file says or with "Invalid data type for '<name>'" for the
// first value that is not text, the fields before it loaded and the rest at
// their defaults. What the file says is read through QSettings directly.

#include "settings/IntegerText.h"
#include "settings/QSettingsStore.h"
#include "settings/TextOptionsStore.h"

#include <QCoreApplication>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string settingsFolder;
std::string settingsFile;
long long writes = 0;

const char* const kNames[10] = {"MinChar", "MaxChar", "Upper",  "Lower", "Number",
                                "Space",   "Punct",   "Symbol", "ISO",   "Other"};

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "%s\n", why.c_str());
  std::abort();
}

void WriteSettingsFile(const uint8_t* data, std::size_t size) {
  const int fd = ::open(settingsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    Fail("cannot write " + settingsFile);
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0)
      Fail("cannot write " + settingsFile);
    done += static_cast<std::size_t>(n);
  }
  // QSettings keeps parsed files and rereads one only when its size or time
  // changed: a time of its own for every input keeps the runs apart.
  const struct timespec times[2] = {{1000000000 + ++writes, 0}, {1000000000 + writes, 0}};
  ::futimens(fd, times);
  ::close(fd);
}

bool FileHolds(const uint8_t* data, std::size_t size) {
  const int fd = ::open(settingsFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  std::string content;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0)
      break;
    content.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return content == std::string(reinterpret_cast<const char*>(data), size);
}

// The fields as the file gives them, and the first value that is not text.
struct Expected {
  TextOptions options;
  int badValue = -1;
};

Expected Read() {
  Expected e;
  QSettings settings(QString::fromStdString(settingsFile), QSettings::IniFormat);
  for (int i = 0; i < 10; ++i) {
    const QString key = QStringLiteral("Options/") + QLatin1String(kNames[i]);
    if (!settings.contains(key))
      continue;
    const QVariant value = settings.value(key);
    if (value.typeId() != QMetaType::QString) {
      e.badValue = i;
      return e;
    }
    const std::string text = value.toString().toLatin1().toStdString();
    if (i == 9) {
      // Other is text: the load drops any NUL byte an escape put in.
      e.options.Other = text;
      e.options.Other.erase(std::remove(e.options.Other.begin(), e.options.Other.end(), '\0'),
                            e.options.Other.end());
      continue;
    }
    int32_t number = 0;
    if (!TextToInt(text, number))
      continue;
    switch (i) {
    case 0:
      e.options.MinChar = static_cast<uint32_t>(number);
      break;
    case 1:
      e.options.MaxChar = static_cast<uint32_t>(number);
      break;
    case 2:
      e.options.Upper = number != 0;
      break;
    case 3:
      e.options.Lower = number != 0;
      break;
    case 4:
      e.options.Number = number != 0;
      break;
    case 5:
      e.options.Space = number != 0;
      break;
    case 6:
      e.options.Punct = number != 0;
      break;
    case 7:
      e.options.Symbol = number != 0;
      break;
    default:
      e.options.ISO = number != 0;
      break;
    }
  }
  return e;
}

void RemoveSettingsFolder() {
  // QSettings may have left its lock file beside the settings file.
  ::unlink(settingsFile.c_str());
  ::unlink((settingsFile + ".lock").c_str());
  ::rmdir((settingsFolder + "/Maelbrook").c_str());
  ::rmdir(settingsFolder.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // A settings folder of this process's own, never the user's.
  // In memory where possible: rewriting a file on ext4 flushes it at every
  // close, which would cost milliseconds per input.
  char folder[] = "/dev/shm/siftwell-fuzz-XXXXXX";
  char fallback[] = "/tmp/siftwell-fuzz-XXXXXX";
  const char* made = ::mkdtemp(folder);
  if (!made)
    made = ::mkdtemp(fallback);
  if (!made)
    Fail("cannot make a settings folder");
  ::setenv("XDG_CONFIG_HOME", made, 1);
  const std::string key = std::string(made) + "/Maelbrook";
  ::mkdir(key.c_str(), 0700);
  settingsFile = key + "/Siftwell.conf";
  settingsFolder = made;
  std::atexit(RemoveSettingsFolder);
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  WriteSettingsFile(data, size);

  // Start from something that is not the defaults: the load must set every
  // field, not only those it finds.
  TextOptions loaded;
  loaded.MinChar = 77;
  loaded.Upper = false;
  loaded.ISO = true;
  loaded.Other = "left over";
  std::string message;
  bool threw = false;
  {
    QSettingsStore store;
    try {
      LoadTextOptions(store, loaded);
    } catch (const std::runtime_error& error) {
      threw = true;
      message = error.what();
    }
  }
  if (!FileHolds(data, size))
    Fail("the load changed the settings file");

  const Expected expected = Read();
  if (expected.badValue >= 0) {
    const std::string want =
        std::string("Invalid data type for '") + kNames[expected.badValue] + "'";
    if (!threw || message != want)
      Fail("expected \"" + want + "\", got " + (threw ? "\"" + message + "\"" : "no error"));
  } else if (threw) {
    Fail("unexpected error \"" + message + "\"");
  }
  if (loaded != expected.options)
    Fail("the loaded options differ from the file's values");
  return 0;
}
