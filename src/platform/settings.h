#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The persistent settings ("Software\Quorla\Domecast"): a user branch shadowing a machine
// branch, each a text file of typed values. Read on every use, never cached.

// Maximum bytes of a string value, terminator included.
constexpr std::size_t settingStringCapacity = 260;

// True when the value exists as a string in the branches searched (the user branch first
// when userFirst, then the machine branch); when not found and report is set, shows the
// "registry information missing" message. value is left alone when nothing is found.
// The machine branch is searched value by value: each settings file of $XDG_CONFIG_DIRS
// in order, then the defaults installed beside the program, so a partial file hides only
// the values it defines.
bool readStringSetting(const char* name, std::string& value, bool report, bool userFirst);
bool readNumberSetting(const char* name, std::uint32_t& value, bool report, bool userFirst);

// Writes into the user branch only; failures are silent.
void writeStringSetting(const char* name, const std::string& value);
void writeNumberSetting(const char* name, std::uint32_t value);

// Removes the value from the user branch, so the machine branch's value shows again.
void deleteUserSetting(const char* name);

// $XDG_CONFIG_HOME/Quorla/Domecast.reg (default ~/.config/...); empty without a home.
std::string userSettingsPath();
// Quorla/Domecast.reg under the first folder of $XDG_CONFIG_DIRS (default /etc/xdg).
std::string machineSettingsPath();
// Quorla/Domecast.reg under every absolute folder of $XDG_CONFIG_DIRS, in order.
std::vector<std::string> machineSettingsPaths();
// The defaults installed with the program: $DOMECAST_DEFAULTS when set ("none" or empty:
// no defaults), else share/domecast/Domecast.reg beside the folder holding the executable,
// so a build tree and an installation moved to another prefix both find their own.
// String values there that name a path without a leading "/" are relative to the file's
// folder; a bare name (no "/", such as a program looked up in PATH) is kept as written.
std::string defaultSettingsPath();
