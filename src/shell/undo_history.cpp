#include "shell/undo_history.h"

#include <utility>

std::size_t UndoStep::bytes() const {
    std::size_t total = 0;
    for (const FacePatch& patch : patches) total += patch.bytes();
    for (const auto& face : faces)
        if (face) total += static_cast<std::size_t>(face->stride) * static_cast<std::size_t>(face->height);
    if (panorama)
        for (const auto& face : panorama->faces)
            if (face) total += static_cast<std::size_t>(face->stride) * static_cast<std::size_t>(face->height);
    return total;
}

void UndoHistory::setLimit(std::size_t bytes) {
    limit_ = bytes;
    while (bytes_ > limit_ && steps_.size() > 1 && canUndo()) dropOldest();
}

void UndoHistory::clear(bool saved) {
    steps_.clear();
    bytes_ = 0;
    base_ = position_;
    savedAt_ = saved ? position_ : never;
}

void UndoHistory::push(UndoStep step) {
    // What could have been redone is given up; the saved position may have been among it.
    while (base_ + static_cast<std::int64_t>(steps_.size()) > position_) {
        bytes_ -= steps_.back().bytes;
        steps_.pop_back();
    }
    if (savedAt_ > position_) savedAt_ = never;
    Entry entry;
    entry.bytes = step.bytes();
    if (step.panorama) {
        // The panorama brought in has never been saved; the one that goes keeps its mark.
        entry.otherSavedAt = savedAt_;
        savedAt_ = never;
    }
    entry.step = std::move(step);
    bytes_ += entry.bytes;
    steps_.push_back(std::move(entry));
    ++position_;
    while (bytes_ > limit_ && steps_.size() > 1) dropOldest();
}

void UndoHistory::dropOldest() {
    bytes_ -= steps_.front().bytes;
    steps_.pop_front();
    ++base_;
}

std::string UndoHistory::undoName() const {
    return canUndo() ? steps_[static_cast<std::size_t>(position_ - base_ - 1)].step.name : std::string();
}

std::string UndoHistory::redoName() const {
    return canRedo() ? steps_[static_cast<std::size_t>(position_ - base_)].step.name : std::string();
}

UndoStep* UndoHistory::undo() {
    if (!canUndo()) return nullptr;
    --position_;
    Entry& entry = steps_[static_cast<std::size_t>(position_ - base_)];
    if (entry.step.panorama) std::swap(savedAt_, entry.otherSavedAt);
    return &entry.step;
}

UndoStep* UndoHistory::redo() {
    if (!canRedo()) return nullptr;
    Entry& entry = steps_[static_cast<std::size_t>(position_ - base_)];
    ++position_;
    if (entry.step.panorama) std::swap(savedAt_, entry.otherSavedAt);
    return &entry.step;
}
