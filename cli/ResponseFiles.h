#pragma once
// GNU strings' @FILE: an argument "@FILE" stands for the arguments written
// in FILE, separated by white space; single and double quotes group, and a
// backslash takes the next character as it is, inside quotes too. A FILE
// that cannot be opened leaves "@FILE" as it is. Arguments read from a FILE
// may name further files.

#include <string>
#include <vector>

// The arguments of `text` by the rules above; white space alone gives none.
std::vector<std::string> SplitResponseText(const std::string& text);

// Replaces every "@FILE" of `arguments` by the arguments FILE holds. False,
// with `error` set, when a FILE is a folder or too large, or when the files
// name one another without end.
bool ExpandResponseFiles(std::vector<std::string>& arguments, std::string& error);
