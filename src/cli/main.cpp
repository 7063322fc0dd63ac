#include <cstdio>

int main() {
  std::puts("kelvarank-cli");
  return 0;
}
