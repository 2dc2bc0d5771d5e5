#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "panorama/face_changes.h"
#include "panorama/face_patch.h"
#include "view/painted_six_image.h"

// One change to the panorama that can be undone, holding what is on the other side of it:
// exchanging it with the panorama undoes the change, and exchanging it again redoes it.
struct UndoStep {
    std::string name;  // what the Edit menu calls it: "Paint", "New Panorama", ...
    // A paint: the rectangles of the faces it changed.
    std::vector<FacePatch> patches;
    // A resize: the faces it replaced (null where a face was kept) and the change
    // tracking they had.
    std::array<std::unique_ptr<BGRImage>, faceCount> faces;
    FaceChanges faceChanges;
    // A new panorama: the one it replaced.
    std::unique_ptr<PaintedSixImage> panorama;

    // The pixel bytes it holds.
    std::size_t bytes() const;
};

// The steps that can be undone and redone, and where the panorama was last saved among
// them. Positions count steps from the first ever recorded, so that dropping the oldest
// steps leaves the saved position meaning the same.
class UndoHistory {
public:
    explicit UndoHistory(std::size_t limitBytes) : limit_(limitBytes) {}

    // The bound on the bytes the steps hold; the oldest steps go first when it is passed.
    void setLimit(std::size_t bytes);
    std::size_t limit() const { return limit_; }
    // Forgets every step; the panorama as it is counts as saved when saved is true.
    void clear(bool saved);
    // Adds step at the current position; the steps that could have been redone go. While
    // the steps hold more than the limit the oldest go, down to step alone when it holds
    // more by itself.
    void push(UndoStep step);

    bool canUndo() const { return position_ > base_; }
    bool canRedo() const { return position_ < base_ + static_cast<std::int64_t>(steps_.size()); }
    // The name of the step an undo (a redo) exchanges; empty when there is none.
    std::string undoName() const;
    std::string redoName() const;
    // The step to exchange with the panorama to undo (redo) it, the position moved past
    // it; null when there is none. A step that brought in another panorama also brings
    // back where that one was saved.
    UndoStep* undo();
    UndoStep* redo();

    // The panorama as it is now is what its file holds.
    void markSaved() { savedAt_ = position_; }
    bool atSavedState() const { return savedAt_ == position_; }

    std::size_t steps() const { return steps_.size(); }
    // Steps done since the first ever recorded, less those undone.
    std::int64_t position() const { return position_; }
    std::size_t bytes() const { return bytes_; }

private:
    struct Entry {
        UndoStep step;
        std::size_t bytes = 0;
        // A step that replaced the panorama: the saved position of the panorama on the
        // other side of it.
        std::int64_t otherSavedAt = never;
    };
    static constexpr std::int64_t never = -1;

    void dropOldest();

    std::deque<Entry> steps_;
    std::int64_t base_ = 0;      // the position before steps_.front()
    std::int64_t position_ = 0;  // steps before it are done, from it on undone
    std::int64_t savedAt_ = 0;   // never when no position holds what the file holds
    std::size_t bytes_ = 0;
    std::size_t limit_;
};
