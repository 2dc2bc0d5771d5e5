#pragma once
#include <cstdint>
#include <string>

// The persistent settings ("Software\Quorla\Domecast"): a user branch shadowing a machine
// branch, each a text file of typed values. Read on every use, never cached.

// Maximum bytes of a string value, terminator included.
constexpr std::size_t settingStringCapacity = 260;

// True when the value exists as a string in the branches searched (the user branch first
// when userFirst, then the machine branch); when not found and report is set, shows the
// "registry information missing" message. value is left alone when nothing is found.
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
