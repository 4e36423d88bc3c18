#pragma once
// What the document, pass and start-up tests share: the editor's raw bytes,
// files on disk, and the lines the simple byte path makes of an input.

#include "settings/TextOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QAction;
class QWidget;
class TRTFchild;

// The editor's text as the bytes it holds, and replacing it.
QByteArray EditorText(const TRTFchild& window);
void SetEditorText(TRTFchild& window, const QByteArray& text);
// A window's menu item, by its name.
QAction* Item(const QWidget* window, const char* name);

// A file's bytes, or "<missing>" when it cannot be read.
QByteArray ReadAll(const QString& path);
// Creates the folder when needed. False when the file could not be written.
[[nodiscard]] bool WriteFile(const QString& path, const QByteArray& bytes);
// The same for a file named by the bytes of its name, which need not be
// UTF-8 (the folder must exist).
[[nodiscard]] bool WriteFileNamed(const QByteArray& name, const QByteArray& bytes);

// The lines of `input` fed byte by byte through the reference scanner.
QList<QByteArray> ReferenceLines(const QByteArray& input, const TextOptions& options);
