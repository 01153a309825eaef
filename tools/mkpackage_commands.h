// mkpackage's commands, callable from its main and from the fuzz target alike.
#pragma once

#include <string>
#include <vector>

// Runs one command line (without the program name): pack, inspect, extract, compress, expand,
// --help. Errors go to stderr naming the file and the reason. Returns the exit code: 0 done,
// 1 bad input, 2 bad usage.
int RunMkpackage(const std::vector<std::string>& args);
