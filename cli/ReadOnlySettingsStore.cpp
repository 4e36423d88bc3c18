#include "cli/ReadOnlySettingsStore.h"

#include <QFileInfo>

#include <stdexcept>

void ReadOnlySettingsStore::OpenKey() {
  // Opening the program's store creates its file when missing; only a file
  // that is already there is opened.
  open_ = QFileInfo::exists(QSettingsStore::FileName());
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
