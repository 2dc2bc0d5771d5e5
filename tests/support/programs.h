#pragma once
#include <string>

// The path of one of this build's programs ("domecast", "domecast-cli", "domecast-peer"):
// in $DOMECAST_BIN_DIR when that is set, else in the build's program folder.
std::string programPath(const std::string& name);
