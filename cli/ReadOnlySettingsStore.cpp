#include "cli/ReadOnlySettingsStore.h"

#include <QFileInfo>
#include <QSettings>

#include <stdexcept>

void ReadOnlySettingsStore::OpenKey() {
  // Opening the program's store creates its file when missing; only a file
  // that is already there is opened.
  const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Maelbrook"),
                        QStringLiteral("Siftwell"));
  open_ = QFileInfo::exists(probe.fileName());
  if (open_)
    store_.OpenKey();
}

bool ReadOnlySettingsStore::ReadString(const std::string& section, const std::string& name,
                                       std::string& value) {
  return open_ && store_.ReadString(section, name, value);
}

void ReadOnlySettingsStore::WriteString(const std::string&, const std::string& name,
                                        const std::string&) {
  throw std::runtime_error("Failed to set data for '" + name + "'");
}

void ReadOnlySettingsStore::CloseKey() {
  if (open_)
    store_.CloseKey();
  open_ = false;
}
