#pragma once
// Printing a document's text: one job named by the printer's docName(), in
// the editor's font, each byte drawn as the screen draws it, every line in
// full (a line too long for the page goes on in the next printed line), as
// many pages as it takes. A line is read a slice at a time, so a line of
// hundreds of megabytes prints in little memory.

#include <cstdint>
#include <functional>

class QPrinter;
class TextEditor;

enum class PrintResult { Printed, Cancelled, Failed };

// Told before each page after the first: the page about to start and how
// many of the text's bytes are printed so far; false cancels the job.
using PrintProgress = std::function<bool(int page, int64_t printed, int64_t total)>;

// Failed when the job could not start or the printer failed.
PrintResult PrintText(const TextEditor& editor, QPrinter& printer, const PrintProgress& progress);
