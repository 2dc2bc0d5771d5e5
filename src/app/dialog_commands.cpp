// The dialog group's window side. New Panorama and Resize Panorama are not offered yet
// (the shell keeps them grey), so no command of this group reaches the window.
#include "app/command_groups.h"

bool dialogCommand(MainWindow&, int) { return false; }
