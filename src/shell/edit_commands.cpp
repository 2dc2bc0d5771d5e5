// The edit group: Undo and Redo over every change to the faces.
#include <cstdint>
#include <utility>

#include "platform/settings.h"
#include "shell/commands.h"
#include "shell/shell.h"

bool editCommandOffered(int id) { return id == cmdUndo || id == cmdRedo; }

namespace {
constexpr std::uint32_t defaultUndoMemoryMB = 512;

std::size_t undoLimitSetting() {
    std::uint32_t megabytes = defaultUndoMemoryMB;
    readNumberSetting("UndoMemoryMB", megabytes, false, true);
    return static_cast<std::size_t>(megabytes) << 20;
}
}  // namespace

Shell::Shell(ShellListener* listener) : listener_(listener), history_(undoLimitSetting()) {}

void Shell::applyPendingPaint() {
    if (!panorama_) return;
    UndoStep step;
    step.name = "Paint";
    // A paint that changed no pixel is still a step: the user sent it, and the modified
    // mark it set follows the undo position like any other.
    if (!panorama_->applyPaint(&step.patches)) return;
    recordStep(std::move(step));
}

void Shell::recordStep(UndoStep step) {
    // Settings are read where they are used: a changed bound counts from the next step.
    history_.setLimit(undoLimitSetting());
    history_.push(std::move(step));
    followSavedState();
}

void Shell::followSavedState() {
    if (panorama_) panorama_->modified = history_.atSavedState() ? 0 : 1;
    notifyTitle();
    notifyCommands();
}

void Shell::noteSaved() {
    if (!panorama_ || panorama_->modified != 0 || history_.atSavedState()) return;
    history_.markSaved();
    notifyCommands();
}

void Shell::exchange(UndoStep& step) {
    exchangePatches(*panorama_, step.patches);
    bool facesReplaced = false;
    for (int i = 0; i < faceCount; ++i)
        if (step.faces[i]) {
            std::swap(panorama_->faces[i], step.faces[i]);
            facesReplaced = true;
        }
    if (facesReplaced) {
        std::swap(panorama_->faceChanges, step.faceChanges);
        // The view was rendered from the other faces.
        panorama_->view.reset();
    }
    if (step.panorama) {
        endViewFileRound();
        std::swap(panorama_, step.panorama);
    }
    followSavedState();
    notifyView();
}

bool Shell::undo() {
    if (!commandEnabled(cmdUndo)) return false;
    UndoStep* step = history_.undo();
    if (step == nullptr) return false;
    exchange(*step);
    return true;
}

bool Shell::redo() {
    if (!commandEnabled(cmdRedo)) return false;
    UndoStep* step = history_.redo();
    if (step == nullptr) return false;
    exchange(*step);
    return true;
}

std::string Shell::undoLabel() const {
    const std::string name = history_.undoName();
    return name.empty() ? "Undo" : "Undo " + name;
}

std::string Shell::redoLabel() const {
    const std::string name = history_.redoName();
    return name.empty() ? "Redo" : "Redo " + name;
}
