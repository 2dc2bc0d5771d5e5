#include "shell/shell.h"

#include "shell/commands.h"
#include "view/view_title.h"

Shell::~Shell() {
    if (link_) link_->close();
}

std::string Shell::title() const {
    const PaintedSixImage* panorama = panorama_.get();
    std::string text = composeTitle(panorama != nullptr ? panorama->title.get() : nullptr,
                                    panorama != nullptr ? panorama->modified : 0, camera_.heading, camera_.pitch,
                                    zoomDegrees());
    if (paintState_ == PaintState::handedOff) {
        // The paint program that was started handed the view file on: its saves still count.
        const std::size_t slash = tempViewPath_.rfind('/');
        const std::string name = slash == std::string::npos ? tempViewPath_ : tempViewPath_.substr(slash + 1);
        const std::size_t suffix = text.rfind(" - Domecast");
        text.insert(suffix == std::string::npos ? text.size() : suffix, " - watching " + name + " (Esc stops)");
    }
    return text;
}

bool Shell::commandEnabled(int id) const {
    const CommandInfo* command = findCommand(id);
    if (command == nullptr || !commandOffered(*command)) return false;
    if (id == cmdStopWatching && paintState_ != PaintState::handedOff) return false;
    // A transfer under way works on the panorama as it is.
    const bool transferring = paintState_ == PaintState::sendingView || paintState_ == PaintState::receiving;
    if (id == cmdUndo && (transferring || !history_.canUndo())) return false;
    if (id == cmdRedo && (transferring || !history_.canRedo())) return false;
    if (id == cmdRevert && (!panorama_ || panorama_->fileName.empty())) return false;
    return !command->needsPanorama || panorama_ != nullptr;
}

void Shell::notifyTitle() {
    if (listener_ != nullptr) listener_->titleChanged();
}

void Shell::notifyCommands() {
    if (listener_ != nullptr) listener_->commandsChanged();
}

void Shell::notifyView() {
    if (listener_ != nullptr) listener_->viewChanged();
}
