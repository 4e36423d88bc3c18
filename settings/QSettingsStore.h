#pragma once
// The settings store on QSettings: the key is the file
// $XDG_CONFIG_HOME/Maelbrook/Siftwell.conf, a section is a group.

#include "settings/SettingsStore.h"

#include <QString>

#include <memory>

class QSettings;

class QSettingsStore : public SettingsStore {
public:
  QSettingsStore();
  ~QSettingsStore() override;

  void OpenKey() override;
  bool ReadString(const std::string& section, const std::string& name, std::string& value) override;
  void WriteString(const std::string& section, const std::string& name,
                   const std::string& value) override;
  void CloseKey() override;

  // The settings file of the current user.
  static QString FileName();

private:
  std::unique_ptr<QSettings> settings_;
};
