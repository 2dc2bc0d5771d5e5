#pragma once
#include <cstdint>
#include <string>

// The names of the link's sockets in this user's socket folder (nothing of the link has a
// name outside it). The base name is "Domecast", or $DOMECAST_LINK_NAME so that test runs
// side by side each have a link of their own.
struct LinkNames {
    std::string link;        // "Domecast_link.<uid>": where a plug-in gets the link's memory
    std::string lock;        // "Domecast_link.<uid>.lock": held by the running application
    std::string bellPrefix;  // door bell of process p: bellPrefix + p
    std::string editor;      // "Domecast_editor.<uid>": the running editor's socket

    static LinkNames current();
    std::string bell(std::uint32_t processId) const { return bellPrefix + std::to_string(processId); }
};
