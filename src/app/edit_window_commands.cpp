// The edit group's window side: Undo and Redo.
#include "app/command_groups.h"
#include "app/main_window.h"
#include "shell/commands.h"

bool editCommand(MainWindow& window, int id) {
    switch (id) {
    case cmdUndo: window.shell().undo(); return true;
    case cmdRedo: window.shell().redo(); return true;
    default: return false;
    }
}
