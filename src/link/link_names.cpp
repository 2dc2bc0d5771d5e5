#include "link/link_names.h"

#include <unistd.h>

#include <cstdlib>

namespace {
// Shared-memory names take no slash after the first; a door bell's name, with its suffixes
// and the socket folder in front, must fit a socket address's 107 bytes.
std::string baseName() {
    const char* name = std::getenv("DOMECAST_LINK_NAME");
    if (name == nullptr || *name == 0) return "Domecast";
    std::string base(name);
    if (base.size() > 64 || base.find('/') != std::string::npos) return "Domecast";
    return base;
}
}  // namespace

LinkNames LinkNames::current() {
    static const char* const eventNames[] = {"pluginCancel", "appCancel", "pluginRead",
                                             "pluginWrite",  "appRead",   "appWrite"};
    const std::string base = baseName();
    const std::string uid = std::to_string(::getuid());
    LinkNames names;
    names.record = "/" + base + "." + uid;
    for (std::size_t i = 0; i < names.events.size(); ++i)
        names.events[i] = "/" + base + "_" + eventNames[i] + "." + uid;
    names.bellPrefix = base + "_bell." + uid + ".";
    names.editor = base + "_editor." + uid;
    return names;
}
