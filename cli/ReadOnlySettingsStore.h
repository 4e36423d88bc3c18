#pragma once
// The program's settings store for a reader that must never write it: when
// the settings file does not exist, it is not created, and every value reads
// as absent.

#include "settings/QSettingsStore.h"
#include "settings/SettingsStore.h"

class ReadOnlySettingsStore : public SettingsStore {
public:
  void OpenKey() override;
  bool ReadString(const std::string& section, const std::string& name, std::string& value) override;
  // Always throws: nothing is written through this store.
  void WriteString(const std::string& section, const std::string& name,
                   const std::string& value) override;
  void CloseKey() override;

private:
  QSettingsStore store_;
  bool open_ = false;
};
