// A program that does nothing; stamped copies stand for terminals of several versions.
int main() { return 0; }
