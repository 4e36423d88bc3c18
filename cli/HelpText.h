#pragma once
// What siftwell-extract --help shows.

#include <string>

std::string HelpText();
