#pragma once
// The local files of a drop from a file manager, as the bytes of their
// names: the list carries a name's bytes percent-encoded, and decoding them
// as UTF-8 would lose a name that is not.

#include <QByteArray>
#include <QList>

class QMimeData;

QList<QByteArray> DroppedFiles(const QMimeData* data);
