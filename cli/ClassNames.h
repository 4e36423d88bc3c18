#pragma once
// The names of the character classes on the command line, in one table that
// both the parser and the help text read, so that they cannot disagree.

#include "settings/TextOptions.h"

#include <array>
#include <cstddef>
#include <string>

struct ClassName {
  const char* name;
  bool TextOptions::*option; // the switch the name turns on
};

inline constexpr std::size_t kClassCount = 7;
extern const std::array<ClassName, kClassCount> kClassNames;

// The index of `name` in kClassNames, or kClassCount when it names none.
std::size_t FindClass(const std::string& name);
// The names in table order, separated by ", ", for the help text.
std::string ClassNameList();
