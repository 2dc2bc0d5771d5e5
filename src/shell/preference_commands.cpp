// The preferences group: the Preferences dialog is not offered yet; its item stays grey.
#include "shell/commands.h"

bool preferenceCommandOffered(int) { return false; }
