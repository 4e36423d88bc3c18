#pragma once
// The start-up of the program and its end, apart from the event loop.

#include <QStringList>

// Sets the application title and icon and makes the single instances in
// their order: MainForm (shown), ScanDlg, Options and MyAboutBox, whose
// creation ends with MainForm->PostInit() opening `commandLineFiles`.
// Errors that are not caught by a creation handler propagate.
void StartUp(const QStringList& commandLineFiles);

// Destroys what StartUp made, the documents first, and the help viewer.
void ShutDown();
