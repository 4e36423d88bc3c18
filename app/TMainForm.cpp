// Placeholder until the main window exists.
