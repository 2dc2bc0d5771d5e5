#pragma once
#include <string>
#include <string_view>

class SettingsKeyFile;

// Settings files of the older registry-export style ("PaintApp"="/usr/bin/gimp",
// "shiftAmount"=dword:0000002d) in Quorla/Domecast.reg beside the keyfile's folder.

// The older file that belongs to the keyfile at keyfilePath
// (.../domecast/domecast.conf gives .../Quorla/Domecast.reg).
std::string oldSettingsPath(const std::string& keyfilePath);

// Puts every string and number value of an older file into file: names of the settings
// the program knows take its spelling (the old names matched without case), numbers are
// written decimal and the settings that are switches as true or false. Lines of other
// types or of no value are passed over. Returns how many values were taken.
int convertOldSettings(std::string_view contents, SettingsKeyFile& file);

// When there is no keyfile at keyfilePath but there is an older file beside it, writes
// its values into a new keyfile, leaves the older file in place and says so in a line
// on stderr. Done at most once per keyfile in a process.
void takeOverOldSettings(const std::string& keyfilePath);
