#pragma once
// Printing a document's text: one job named by the printer's docName(), in
// the editor's font, every line in full (a line too long for the page goes
// on in the next printed line), as many pages as it takes.

class QPrinter;
class TextEditor;

// False when the job could not start.
bool PrintText(const TextEditor& editor, QPrinter& printer);
