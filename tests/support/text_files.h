#pragma once
#include <string>

// Writes text as the whole file, creating its folders, and gives it the permission bits.
void writeText(const std::string& path, const std::string& text, unsigned mode = 0644);
// The permission bits of a file (of its target when it is a symbolic link); a failed
// stat is a test failure.
unsigned modeOf(const std::string& path);
// What a shell command prints on its standard output (its errors go nowhere); empty when
// it cannot be started.
std::string commandOutput(const std::string& command);
