#include "cli/Overrides.h"

namespace {
// What GNU strings' -w adds to the blank and the tab.
const char kWhitespace[] = "\t\n\v\f\r";
} // namespace

void Overrides::ApplyTo(TextOptions& options) const {
  if (minChar)
    options.MinChar = MinChar;
  if (maxChar)
    options.MaxChar = MaxChar;
  if (classes)
    for (std::size_t i = 0; i < kClassCount; ++i)
      options.*kClassNames[i].option = Classes[i];
  if (other)
    options.Other = Other;
  if (allWhitespace)
    for (const char* c = kWhitespace; *c != '\0'; ++c)
      if (options.Other.find(*c) == std::string::npos)
        options.Other += *c;
}
