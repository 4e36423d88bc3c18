#pragma once
// The help file of the program and the three ways of opening it.

#include <QString>

// The program's own path with its extension replaced by ".qhc" (or ".qhc"
// appended when it has none).
QString HelpFileFor(const QString& programPath);

// Set once, by the main window's creation.
void SetHelpFile(const QString& path);
QString HelpFile();

// Each opens the help viewer, a window of its own, on HelpFile(). Nothing is
// reported when the help file is missing.
void ShowHelpContents();
void ShowHelpIndex();
void ShowHelpContext(int context);
