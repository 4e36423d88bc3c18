// Temporary start-up until the main window exists.
int main() { return 0; }
