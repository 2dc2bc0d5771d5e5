#include "support/scoped_settings.h"

#include <cstdlib>

ScopedSettings::ScopedSettings(const std::string& folder) {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_STATE_HOME", "DOMECAST_DEFAULTS"}) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    setenv("XDG_CONFIG_HOME", (folder + "/user").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (folder + "/machine").c_str(), 1);
    // Recovery sets and the like stay in the test's folder too.
    setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
    // The defaults installed beside the build's programs would fill in what a test leaves out.
    setenv("DOMECAST_DEFAULTS", "none", 1);
}

ScopedSettings::~ScopedSettings() {
    for (const auto& [name, value] : saved_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}
