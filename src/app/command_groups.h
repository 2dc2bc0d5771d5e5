#pragma once

class MainWindow;

// The window side of each command group, in a file of its own; each returns true when id
// was one of its group's commands. The shell decides whether a command is enabled before
// any of these is called.
bool documentCommand(MainWindow& window, int id);    // document_window_commands.cpp
bool editCommand(MainWindow& window, int id);        // edit_window_commands.cpp
bool viewCommand(MainWindow& window, int id);        // view_window_commands.cpp
bool paintCommand(MainWindow& window, int id);       // paint_window_commands.cpp
bool dialogCommand(MainWindow& window, int id);      // dialog_window_commands.cpp
bool preferenceCommand(MainWindow& window, int id);  // preference_window_commands.cpp

// The keys that turn the view (arrows by 10 degrees, Home straight ahead at the normal
// zoom) and zoom it (Ctrl with plus or minus, on the main keys or the keypad); false for
// other keys.
bool viewKey(MainWindow& window, int keyCode, int modifiers);
