#include "link/link_names.h"

#include <unistd.h>

#include <cstdlib>

namespace {
// A name is one file-name part; a door bell's name, with its suffixes and the socket folder
// in front, must fit a socket address's 107 bytes.
std::string baseName() {
    const char* name = std::getenv("DOMECAST_LINK_NAME");
    if (name == nullptr || *name == 0) return "Domecast";
    std::string base(name);
    if (base.size() > 64 || base.find('/') != std::string::npos) return "Domecast";
    return base;
}
}  // namespace

LinkNames LinkNames::current() {
    const std::string base = baseName();
    const std::string uid = std::to_string(::getuid());
    LinkNames names;
    names.link = base + "_link." + uid;
    names.lock = names.link + ".lock";
    names.bellPrefix = base + "_bell." + uid + ".";
    names.editor = base + "_editor." + uid;
    return names;
}
