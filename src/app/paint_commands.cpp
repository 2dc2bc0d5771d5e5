// The paint group's window side. "Paint this view" is not offered yet (the shell keeps
// it grey), so no command of this group reaches the window.
#include "app/command_groups.h"

bool paintCommand(MainWindow&, int) { return false; }
