#pragma once
// The per-user settings store as the text options need it: one key of the
// program, sections in it, named text values in the sections.
// Texts are 8-bit; failures are std::runtime_error carrying the message.

#include <string>

class SettingsStore {
public:
  virtual ~SettingsStore() = default;

  // Opens the program's key, creating it when absent. Never reports failure.
  virtual void OpenKey() = 0;
  // False when the section or the value is absent. A value that is not text
  // throws "Invalid data type for '<name>'".
  virtual bool ReadString(const std::string& section, const std::string& name,
                          std::string& value) = 0;
  // Creates the section when missing. Throws "Failed to create key <section>"
  // or "Failed to set data for '<name>'".
  virtual void WriteString(const std::string& section, const std::string& name,
                           const std::string& value) = 0;
  // Ends the use of the key; whatever was written must have reached the
  // store by then, or this throws one of the write messages.
  virtual void CloseKey() = 0;
};
