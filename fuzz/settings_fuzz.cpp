// The user's settings file, read value by value as every part of the program reads it.
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "platform/settings.h"

namespace {
// The user's keyfile in a folder of this process's own; no system file, no defaults.
NamedInputFile& settingsFile() {
    static NamedInputFile file("domecast/domecast.conf");
    static const bool placed = [] {
        const std::string home = "/dev/shm/domecast-fuzz-" + std::to_string(::getpid());
        ::mkdir((home + "/domecast").c_str(), 0700);
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (home + "/none").c_str(), 1);
        ::setenv("DOMECAST_DEFAULTS", "none", 1);
        return true;
    }();
    static_cast<void>(placed);
    return file;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    settingsFile().write(data, size);
    std::string text;
    std::uint32_t number = 0;
    for (const char* name : {"PaintApp", "PluginPath", "PCXColormap"}) readStringSetting(name, text, false, true);
    for (const char* name : {"shiftAmount", "PCXDither", "MaxImageMegapixels"})
        readNumberSetting(name, number, false, true);
    return 0;
}
