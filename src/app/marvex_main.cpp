// marvex: posts prepared text files into FidoNet message bases.
#include <iostream>
#include <string>
#include <vector>

#include "run/entry.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return mvx::RunMarvex(args, std::cout);
}
