#include "cli/ClassNames.h"

const std::array<ClassName, kClassCount> kClassNames = {{{"upper", &TextOptions::Upper},
                                                         {"lower", &TextOptions::Lower},
                                                         {"number", &TextOptions::Number},
                                                         {"space", &TextOptions::Space},
                                                         {"punct", &TextOptions::Punct},
                                                         {"symbol", &TextOptions::Symbol},
                                                         {"iso", &TextOptions::ISO}}};

std::size_t FindClass(const std::string& name) {
  for (std::size_t i = 0; i < kClassCount; ++i)
    if (name == kClassNames[i].name)
      return i;
  return kClassCount;
}

std::string ClassNameList() {
  std::string list;
  for (const ClassName& c : kClassNames)
    list += (list.empty() ? "" : ", ") + std::string(c.name);
  return list;
}
