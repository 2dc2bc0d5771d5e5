#pragma once
#include <string>
#include <vector>

// The process's raw command line as one string, rebuilt from argv: arguments joined by
// spaces, an argument containing a space, a tab or another control character enclosed
// in double quotes.
std::string rawCommandLine(int argc, const char* const* argv);

// Parses a raw command line: skips the program name, adds every NAME=value argument to
// the environment and stores the other (file) arguments in files, at most maximum of
// them. Returns the number of file arguments, stored or not.
int parseCommandLine(const std::string& line, int maximum, std::vector<std::string>& files);
