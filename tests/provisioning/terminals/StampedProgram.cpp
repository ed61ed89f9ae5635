// A program that only carries version information.
int main() { return 0; }
