#pragma once
// A screen reader names a control by its accessible name: in the dialogs
// that is the control's caption as the user reads it, without the "&" that
// marks its accelerator. An edit's caption is the label that is its buddy.

class QString;
class QWidget;

// The caption as read: "&&" is one "&", any other "&" is dropped.
QString CaptionName(const QString& caption);

// Names every button, check box, group box and label inside `window` after
// its caption, and every edit with a buddy label after that label. Called
// once the controls are made; captions set later are named again by a
// second call.
void NameControls(QWidget* window);
