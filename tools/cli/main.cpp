// axtune-cli: Axtune's controller functions without a window.
#include <iostream>

#include "tools/cli/Cli.h"

int main(int argc, char** argv) {
  return cli::RunCommandLine(argc, argv, std::cout, std::cerr);
}
