#pragma once
// The files that texts read their bytes back from (the output files of
// passes), by device and inode. A program of ours that would empty one of
// them (a new pass into the same file) puts a new file in its place
// instead, so that the texts reading the old one keep their bytes.

#include <string>
#include <sys/types.h>

namespace FilesInUse {
// The file is read from until it is forgotten as often as remembered.
void Remember(dev_t device, ino_t inode);
void Forget(dev_t device, ino_t inode);
// Whether the file at `path` (after symbolic links) is one of them.
bool Holds(const std::string& path);
} // namespace FilesInUse
