#pragma once
// The window's encodings and offsets, kept in a file of their own beside the
// text options' key: the command line never reads it, so scripts keep their
// output.

#include "extract/ExtractionChoice.h"

#include <QString>

// The file: $XDG_CONFIG_HOME/Maelbrook/SiftwellExtraction.conf on Linux.
QString ExtractionChoiceFile();
// Reads it silently: a missing file, a value of another type or a name it
// does not know gives that value's default.
ExtractionChoice LoadExtractionChoice();
// False when the file could not be written.
bool SaveExtractionChoice(const ExtractionChoice& choice);
