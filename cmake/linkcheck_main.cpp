// The program of a layer's link check: it holds every object of its layer
// (linked whole) and nothing above it, and is never run.
int main() { return 0; }
