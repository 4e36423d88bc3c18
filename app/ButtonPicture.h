#pragma once
// The pictures of the tool bar buttons.

#include <QIcon>
#include <QString>

// A tool bar picture holds the normal image on its left half and the
// disabled one on its right half; the colour of its bottom-left pixel is
// transparent.
QIcon ButtonPicture(const QString& resource);
