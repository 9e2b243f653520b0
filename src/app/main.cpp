#include <cstdio>

int main() {
  std::puts("Brantwick has no window yet.");
  return 0;
}
