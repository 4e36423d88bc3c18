#pragma once
// The start-up of the program and its end, apart from the event loop.

#include <QByteArray>
#include <QList>

// Sets the application title and icon and makes the single instances in
// their order: MainForm (shown), ScanDlg, Options and MyAboutBox, whose
// creation ends with MainForm->PostInit() opening `commandLineFiles`.
// Errors that are not caught by a creation handler propagate.
// The files are named by the bytes the system gave.
void StartUp(const QList<QByteArray>& commandLineFiles);

// Destroys what StartUp made, the documents first, and the help viewer.
void ShutDown();
