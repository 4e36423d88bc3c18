#include "settings/TextOptionsStore.h"

#include "settings/IntegerText.h"

#include <algorithm>

namespace {

const char* const kSection = "Options";

// Closes the key on every way out of a load or a save. A failure to close
// during an error that is already on its way must not hide that error.
class OpenedKey {
public:
  explicit OpenedKey(SettingsStore& store) : store_(store) { store_.OpenKey(); }
  ~OpenedKey() {
    if (open_) {
      try {
        store_.CloseKey();
      } catch (...) {
      }
    }
  }
  void Close() {
    open_ = false;
    store_.CloseKey();
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;

private:
  SettingsStore& store_;
  bool open_ = true;
};

// The stored integer, or `fallback` when the value is absent or fails the rule.
int32_t ReadInteger(SettingsStore& store, const char* name, int32_t fallback) {
  std::string text;
  int32_t value = 0;
  if (store.ReadString(kSection, name, text) && TextToInt(text, value))
    return value;
  return fallback;
}

uint32_t ReadLimit(SettingsStore& store, const char* name, uint32_t fallback) {
  return static_cast<uint32_t>(ReadInteger(store, name, static_cast<int32_t>(fallback)));
}

bool ReadSwitch(SettingsStore& store, const char* name, bool fallback) {
  return ReadInteger(store, name, fallback ? 1 : 0) != 0;
}

// Other is text, so it holds no NUL byte; the settings file's escape "\0"
// could put one there, and the record and the next save are to stay clean.
std::string ReadOther(SettingsStore& store, const std::string& fallback) {
  std::string text;
  if (!store.ReadString(kSection, "Other", text))
    return fallback;
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

void WriteLimit(SettingsStore& store, const char* name, uint32_t limit) {
  store.WriteString(kSection, name, std::to_string(static_cast<int32_t>(limit)));
}

void WriteSwitch(SettingsStore& store, const char* name, bool on) {
  store.WriteString(kSection, name, on ? "1" : "0");
}

} // namespace

void LoadTextOptions(SettingsStore& store, TextOptions& options) {
  // Each field is set as soon as its value is read, so that a value of the
  // wrong type leaves the earlier fields loaded and the rest at their defaults.
  const TextOptions defaults;
  options = defaults;
  OpenedKey key(store);
  options.MinChar = ReadLimit(store, "MinChar", defaults.MinChar);
  options.MaxChar = ReadLimit(store, "MaxChar", defaults.MaxChar);
  options.Upper = ReadSwitch(store, "Upper", defaults.Upper);
  options.Lower = ReadSwitch(store, "Lower", defaults.Lower);
  options.Number = ReadSwitch(store, "Number", defaults.Number);
  options.Space = ReadSwitch(store, "Space", defaults.Space);
  options.Punct = ReadSwitch(store, "Punct", defaults.Punct);
  options.Symbol = ReadSwitch(store, "Symbol", defaults.Symbol);
  options.ISO = ReadSwitch(store, "ISO", defaults.ISO);
  options.Other = ReadOther(store, defaults.Other);
  key.Close();
}

void SaveTextOptions(SettingsStore& store, const TextOptions& options) {
  OpenedKey key(store);
  WriteLimit(store, "MinChar", options.MinChar);
  WriteLimit(store, "MaxChar", options.MaxChar);
  WriteSwitch(store, "Upper", options.Upper);
  WriteSwitch(store, "Lower", options.Lower);
  WriteSwitch(store, "Number", options.Number);
  WriteSwitch(store, "Space", options.Space);
  WriteSwitch(store, "Punct", options.Punct);
  WriteSwitch(store, "Symbol", options.Symbol);
  WriteSwitch(store, "ISO", options.ISO);
  store.WriteString(kSection, "Other", options.Other);
  key.Close();
}
