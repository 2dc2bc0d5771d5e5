#pragma once
#include <string>

// The user's home folder: $HOME when absolute, else the password database's; empty when
// neither is known.
std::string homeFolder();

// An XDG base folder: the variable's value when it is an absolute path, else
// homeFolder() + "/" + fallback (".config", ".local/state", ...); empty without a home.
std::string xdgFolder(const char* variable, const char* fallback);

// The folder holding the running program, without a final "/"; empty when unknown.
std::string programFolder();
