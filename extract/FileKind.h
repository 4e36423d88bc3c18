#pragma once
// What kind of file a name stands for, and whether two names or descriptors
// stand for the same file: the checks every reader and writer of files
// shares.

#include <string>

bool IsRegularFile(const std::string& path);
// True when both names exist and are one file (hard links included).
bool IsSameFile(const std::string& a, const std::string& b);
// True when descriptor `a` is a regular file and `b` refers to it too.
bool IsSameRegularFile(int a, int b);
