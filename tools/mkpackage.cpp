// mkpackage: the packer's command line.
#include <string>
#include <vector>

#include "tools/mkpackage_commands.h"

int main(int argc, char** argv) { return RunMkpackage(std::vector<std::string>(argv + 1, argv + argc)); }
