// The preferences group: the Preferences dialog, offered with or without a panorama.
#include "shell/commands.h"

bool preferenceCommandOffered(int id) { return id == cmdPreferences; }
