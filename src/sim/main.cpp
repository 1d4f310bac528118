#include <cstdio>

int main() {
  std::fprintf(stderr, "tbr4470-sim: the simulated instrument is being built\n");
  return 1;
}
