#pragma once

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
};

// wx keeps menu ids below 0x7fff; the commands are carried as id - menuIdOffset.
inline constexpr int menuIdOffset = 30000;
constexpr int menuId(int command) { return command - menuIdOffset; }
constexpr int commandOf(int menuId) { return menuId + menuIdOffset; }
