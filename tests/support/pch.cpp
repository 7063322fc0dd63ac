// The source of the target that makes the test programs' precompiled header
// (tests/CMakeLists.txt); it holds nothing of its own.
