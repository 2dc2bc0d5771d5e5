// The preferences group's window side. The Preferences dialog is not offered yet (the
// shell keeps it grey), so no command of this group reaches the window.
#include "app/command_groups.h"

bool preferenceCommand(MainWindow&, int) { return false; }
