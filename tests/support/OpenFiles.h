#pragma once
// The files this process holds open in a folder, named or not: how a test
// sees a spill file that has no name.

#include <QString>
#include <QStringList>

// The /proc/self/fd links of the descriptors open on files in `folder`.
QStringList DescriptorsIn(const QString& folder);
// A /proc/self/fd link to each file open in `folder` (one for a file open
// through several descriptors).
QStringList OpenFilesIn(const QString& folder);
