// The undo history on its own: positions, the saved mark, and the bound on what it keeps.
#include "shell/undo_history.h"

#include <gtest/gtest.h>

namespace {

// A paint step holding bytes bytes.
UndoStep paintOf(std::size_t bytes, std::string name = "Paint") {
    UndoStep step;
    step.name = std::move(name);
    if (bytes > 0) {
        FacePatch patch;
        patch.size = {static_cast<std::int32_t>(bytes / 3), 1};
        patch.pixels.assign(bytes, 0);
        step.patches.push_back(std::move(patch));
    }
    return step;
}

TEST(UndoHistory, TheSavedMarkFollowsThePositionAndIsLostWithTheRedoSteps) {
    UndoHistory history(1 << 20);
    history.clear(true);
    EXPECT_TRUE(history.atSavedState());
    history.push(paintOf(30, "A"));
    history.push(paintOf(30, "B"));
    EXPECT_FALSE(history.atSavedState());
    history.markSaved();
    EXPECT_EQ(history.undo()->name, "B");
    EXPECT_FALSE(history.atSavedState());
    EXPECT_EQ(history.redoName(), "B");
    EXPECT_EQ(history.redo()->name, "B");
    EXPECT_TRUE(history.atSavedState());
    // Back to the start, then a new step: the saved position can never come back.
    history.undo();
    history.undo();
    EXPECT_FALSE(history.canUndo());
    EXPECT_EQ(history.undo(), nullptr);
    history.push(paintOf(30, "C"));
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.undoName(), "C");
    EXPECT_FALSE(history.atSavedState());
    history.undo();
    EXPECT_FALSE(history.atSavedState());
}

TEST(UndoHistory, AStepThatBringsInAnotherPanoramaCarriesEachPanoramasSavedMark) {
    UndoHistory history(1 << 20);
    history.clear(true);
    history.push(paintOf(30));  // the first panorama, changed since its save
    UndoStep replace;
    replace.name = "New Panorama";
    replace.panorama = std::make_unique<PaintedSixImage>(Size{2, 2}, Size{2, 2});
    history.push(std::move(replace));
    history.markSaved();  // the new one is as made
    EXPECT_TRUE(history.atSavedState());
    history.undo();
    EXPECT_FALSE(history.atSavedState()) << "the first panorama has a paint that was never saved";
    history.undo();
    EXPECT_TRUE(history.atSavedState());
    history.redo();
    history.redo();
    EXPECT_TRUE(history.atSavedState());
}

TEST(UndoHistory, TheOldestStepsGoWhenTheBoundIsPassed) {
    struct Case {
        const char* name;
        std::size_t limit;
        std::vector<std::size_t> steps;  // bytes of each step, pushed in order
        std::size_t kept;                // steps left
    } cases[] = {
        {"all fit", 1000, {300, 300, 300}, 3},
        {"the first goes", 1000, {300, 300, 300, 300}, 3},
        {"exactly the bound", 900, {300, 300, 300}, 3},
        {"a step larger than the bound clears the rest but is made", 1000, {300, 300, 3000}, 1},
        {"steps after a large one fit again", 1000, {3000, 300, 300}, 2},
        {"empty steps cost nothing", 0, {0, 0, 0}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UndoHistory history(c.limit);
        history.clear(true);
        for (std::size_t bytes : c.steps) history.push(paintOf(bytes));
        EXPECT_EQ(history.steps(), c.kept);
        EXPECT_LE(history.bytes(), std::max(c.limit, c.steps.back()));
        std::size_t undone = 0;
        while (history.undo() != nullptr) ++undone;
        EXPECT_EQ(undone, c.kept);
        // Undoing every kept step does not reach the saved start when steps were dropped.
        EXPECT_EQ(history.atSavedState(), c.kept == c.steps.size());
    }
}

TEST(UndoHistory, ALowerBoundDropsOnlyStepsThatCanBeUndone) {
    UndoHistory history(1000);
    history.clear(true);
    for (int i = 0; i < 3; ++i) history.push(paintOf(300));
    history.undo();
    history.undo();
    history.setLimit(100);
    // One step before the position, two after it: only the one before can go.
    EXPECT_EQ(history.steps(), 2u);
    EXPECT_FALSE(history.canUndo());
    EXPECT_NE(history.redo(), nullptr);
}

}  // namespace
