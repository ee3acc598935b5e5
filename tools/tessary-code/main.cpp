#include <cstdio>

int main() {
  std::puts("tessary-code: under construction");
  return 0;
}
