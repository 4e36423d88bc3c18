// Placeholder until the command-line extractor exists.
int main() { return 0; }
