// The preferences group's window side: File > Preferences... opens the dialog.
#include "app/command_groups.h"
#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "shell/commands.h"

bool preferenceCommand(MainWindow& window, int id) {
    if (id != cmdPreferences) return false;
    preferencesDialog(&window, window.shell());
    return true;
}
