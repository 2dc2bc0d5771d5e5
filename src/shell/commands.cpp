#include "shell/commands.h"

namespace {
constexpr CommandInfo commands[] = {
    {cmdNew, CommandGroup::dialogs, false},
    {cmdOpen, CommandGroup::documents, false},
    {cmdSave, CommandGroup::documents, true},
    {cmdSaveAs, CommandGroup::documents, true},
    {cmdExit, CommandGroup::program, false},
    {cmdForward, CommandGroup::view, true},
    {cmdLeft, CommandGroup::view, true},
    {cmdRight, CommandGroup::view, true},
    {cmdBack, CommandGroup::view, true},
    {cmdUp, CommandGroup::view, true},
    {cmdDown, CommandGroup::view, true},
    {cmdAbout, CommandGroup::program, false},
    {cmdHelp, CommandGroup::program, false},
    {cmdPaintView, CommandGroup::paint, true},
    {cmdPreferences, CommandGroup::preferences, false},
    {cmdResize, CommandGroup::dialogs, true},
    {cmdRuntimeDebugging, CommandGroup::program, false},
    {cmdStopWatching, CommandGroup::paint, true},
    {cmdUndo, CommandGroup::edit, true},
    {cmdRedo, CommandGroup::edit, true},
    {cmdRevert, CommandGroup::documents, true},
    {cmdZoomIn, CommandGroup::view, true},
    {cmdZoomOut, CommandGroup::view, true},
    {cmdHome, CommandGroup::view, true},
};
}  // namespace

std::span<const CommandInfo> commandTable() { return commands; }

const CommandInfo* findCommand(int id) {
    for (const CommandInfo& command : commands)
        if (command.id == id) return &command;
    return nullptr;
}

bool commandOffered(const CommandInfo& command) {
    switch (command.group) {
    case CommandGroup::documents: return documentCommandOffered(command.id);
    case CommandGroup::edit: return editCommandOffered(command.id);
    case CommandGroup::view: return viewCommandOffered(command.id);
    case CommandGroup::paint: return paintCommandOffered(command.id);
    case CommandGroup::dialogs: return dialogCommandOffered(command.id);
    case CommandGroup::preferences: return preferenceCommandOffered(command.id);
    case CommandGroup::program: return true;
    }
    return false;
}
