#pragma once
#include <string>

class wxWindow;

// The About box; its support button opens a mail to the support address.
void showAboutBox(wxWindow* parent);
// "Domecast 1.10", as the About box and domecast --version show it.
std::string versionText();
