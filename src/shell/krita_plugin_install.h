#pragma once
// The Krita plug-in's installation from the Preferences: the plug-in folder copied into
// Krita's pykrita folder and switched on in kritarc.
#include <string>

// Krita's user folder: $XDG_DATA_HOME/krita (default ~/.local/share/krita).
std::string kritaProfileFolder();
// Where Krita looks for Python plug-ins: the profile's pykrita folder.
std::string kritaPluginFolder();
// Krita's settings file: $XDG_CONFIG_HOME/kritarc.
std::string kritarcPath();
// The plug-in as installed with this program: share/domecast/plug-ins/krita beside the
// program's folder.
std::string kritaPluginSource();

// kritarc's text with the plug-in enabled: enable_domecast=true in the [python] group,
// every other line kept.
std::string withKritaPluginEnabled(const std::string& kritarc);

// Copies the plug-in (domecast.desktop and the domecast package) from source into target,
// logging what it makes to Install.log, enables it in kritarc and writes the program's
// folder as "DomecastPath". Refused with a message, false, when Krita's user folder does
// not exist; a failed copy or write is reported, false.
bool installKritaPlugin(const std::string& source, const std::string& target);
