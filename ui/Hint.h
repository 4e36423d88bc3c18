#pragma once
// Hints are written "short|long": the short part is the tool tip shown over
// a control, the long part the text for the status line. A hint without a
// bar serves as both.

class QAction;
class QString;

// Gives `action` the tool tip and the status tip of `hint`; a button that
// shows the action takes both from it.
void SetHint(QAction* action, const QString& hint);
