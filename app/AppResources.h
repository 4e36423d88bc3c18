#pragma once
// The program's pictures (tool bar buttons, application icon) are a resource
// of the app library, which a static library must register by hand.

#include <QIcon>

// Registers the resource; later calls do nothing.
void UseAppResources();

// The application icon in its two sizes.
QIcon ApplicationIcon();
