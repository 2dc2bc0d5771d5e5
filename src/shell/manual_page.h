#pragma once
#include <string>

// Where the user manual's pages are: the "DocPath" setting's folder (the defaults point
// it at <prefix>/share/doc/domecast/manual), else share/doc/domecast/manual beside the
// folder holding the program, as installed and as the build tree lays it out.
std::string manualFolder();

// The page (such as "index.html") in that folder.
std::string manualPage(const char* page);

// What the user reads when the page could not be shown: where it is, so that it can be
// opened by hand, and why the desktop did not open it (reason); or that it is not there.
std::string manualFailureMessage(const std::string& path, const std::string& reason);
