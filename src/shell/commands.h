#pragma once
#include <span>

// The menu and accelerator command ids.
enum Command : int {
    cmdNew = 40001,
    cmdOpen = 40002,
    cmdSave = 40003,
    cmdSaveAs = 40004,
    cmdExit = 40005,
    cmdForward = 40006,
    cmdLeft = 40007,
    cmdRight = 40008,
    cmdBack = 40009,
    cmdUp = 40010,
    cmdDown = 40011,
    cmdAbout = 40012,
    cmdHelp = 40013,
    cmdPaintView = 40014,
    cmdPreferences = 40016,
    cmdResize = 40018,
    cmdRuntimeDebugging = 40019,
    cmdStopWatching = 40020,
    cmdUndo = 40021,
    cmdRedo = 40022,
    cmdRevert = 40023,
    cmdZoomIn = 40024,
    cmdZoomOut = 40025,
    cmdHome = 40026,
};

// Each group's commands are carried out (and offered) by a file of its own, in the shell
// and in the window program: documents, edit, view, paint, dialogs, preferences. The
// program group (Exit, Help, About, run-time debugging) belongs to the main window alone.
enum class CommandGroup { documents, edit, view, paint, dialogs, preferences, program };

struct CommandInfo {
    int id;
    CommandGroup group;
    bool needsPanorama;  // grey while there is no current panorama
};

// Every command of the menus and accelerators, one row each.
std::span<const CommandInfo> commandTable();

// The row of id, or null for an id that is no command.
const CommandInfo* findCommand(int id);

// Whether this build offers the command at all; each group answers in its own file.
bool documentCommandOffered(int id);
bool editCommandOffered(int id);
bool viewCommandOffered(int id);
bool paintCommandOffered(int id);
bool dialogCommandOffered(int id);
bool preferenceCommandOffered(int id);
bool commandOffered(const CommandInfo& command);

// wx keeps menu ids below 0x7fff; the commands are carried as id - menuIdOffset.
inline constexpr int menuIdOffset = 30000;
constexpr int menuId(int command) { return command - menuIdOffset; }
constexpr int commandOf(int menuId) { return menuId + menuIdOffset; }
