#pragma once
#include <array>
#include <cstdint>
#include <string>

// The names of the link's objects for this user. The base name is "Domecast", or
// $DOMECAST_LINK_NAME so that test runs side by side each have a link of their own.
struct LinkNames {
    std::string record;               // "/Domecast.<uid>"
    std::array<std::string, 6> events;  // in LinkEvent order: "/Domecast_pluginCancel.<uid>", ...
    std::string bellPrefix;           // door bell of process p: bellPrefix + p
    std::string editor;               // "Domecast_editor.<uid>": the running editor's socket

    static LinkNames current();
    std::string bell(std::uint32_t processId) const { return bellPrefix + std::to_string(processId); }
};
