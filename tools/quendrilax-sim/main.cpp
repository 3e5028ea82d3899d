#include <iostream>

int main() {
  std::cerr << "quendrilax-sim: not ready\n";
  return 2;
}
