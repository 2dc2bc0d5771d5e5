#pragma once
#include <functional>
#include <string>
#include <vector>

// Opens the first of addresses that the desktop's handler opens (a file:// address, a web
// or mail address). Returns at once; the handler is watched on the event loop, and
// onFailure runs with the reason when none could be opened.
void openDocument(std::vector<std::string> addresses, std::function<void(const std::string& reason)> onFailure);
// A page of the installed user manual; when it cannot be shown, a message says where it
// is (or that it is missing) and why.
void openManualPage(const char* page);
// The manual's contents page.
void openHelp();
