#include "shell/shell.h"

#include "shell/commands.h"
#include "view/view_title.h"

Shell::Shell(ShellListener* listener) : listener_(listener) {}

Shell::~Shell() {
    if (link_) link_->close();
}

std::string Shell::title() const {
    const PaintedSixImage* panorama = panorama_.get();
    return composeTitle(panorama != nullptr ? panorama->title.get() : nullptr,
                        panorama != nullptr ? panorama->modified : 0, windowHeading_, windowPitch_);
}

bool Shell::commandEnabled(int id) const {
    const CommandInfo* command = findCommand(id);
    if (command == nullptr || !commandOffered(*command)) return false;
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
