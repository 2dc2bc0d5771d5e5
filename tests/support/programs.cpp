#include "support/programs.h"

#include <cstdlib>

std::string programPath(const std::string& name) {
    const char* dir = std::getenv("DOMECAST_BIN_DIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : DOMECAST_BIN_DIR) + "/" + name;
}
