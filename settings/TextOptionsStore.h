#pragma once
// Carrying the text options from one run of the program to the next.

#include "settings/SettingsStore.h"
#include "settings/TextOptions.h"

// Fills `options` from the section "Options". Absent or invalid texts give
// the defaults; a value of the wrong type stops the load with its error.
void LoadTextOptions(SettingsStore& store, TextOptions& options);
// Writes all ten values, in order, in their text forms.
void SaveTextOptions(SettingsStore& store, const TextOptions& options);
