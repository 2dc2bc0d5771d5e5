// Undo, redo and revert in the shell: every change to the faces is a step, undone and
// redone byte for byte, and the modified mark follows the position among the steps.
#include <gtest/gtest.h>

#include "support/round_trip_fixture.h"

namespace {

using namespace roundtrip;

constexpr int vrmlPngRow = 3;  // the format table's "VRML, PNG" save type

class UndoTest : public PaintRoundTripTest {
protected:
    // "Paint this view" at heading (degrees) with a program that paints a red square and
    // saves at once; returns when the paint is a step.
    void paintAt(float headingDegrees) {
        ::setenv("SCRIPTED_PAINT", "quicksave", 1);
        shell.setView(headingDegrees * degToRad, 0);
        const std::int64_t position = shell.undoHistory().position();
        shell.paintThisView();
        ASSERT_TRUE(runLoopUntil([&] {
            return shell.paintState() == Shell::PaintState::idle && shell.undoHistory().position() > position;
        }));
        EXPECT_EQ(shell.undoLabel(), "Undo Paint");
    }

    bool starred() const { return shell.title().find(" * ") != std::string::npos; }
};

TEST_F(UndoTest, EveryStepIsUndoneAndRedoneByteForByte) {
    struct Snapshot {
        std::vector<std::vector<std::uint8_t>> faces;
        bool modified;
        std::string undoLabel;
    };
    std::vector<Snapshot> snapshots;
    const auto snap = [&] {
        snapshots.push_back({faceBytes(*shell.panorama()), shell.panorama()->modified != 0, shell.undoLabel()});
    };
    snap();
    paintAt(20);
    snap();
    paintAt(110);
    snap();
    shell.resizePanorama({128, 128}, host.scripted);
    snap();
    shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{64, 64}, Size{64, 64}), "New Panorama");
    snap();
    paintAt(0);
    snap();

    const std::vector<std::string> labels = {"Undo", "Undo Paint", "Undo Paint", "Undo Resize Panorama",
                                             "Undo New Panorama", "Undo Paint"};
    const std::vector<bool> modified = {false, true, true, true, false, true};
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
        EXPECT_EQ(snapshots[i].undoLabel, labels[i]) << i;
        EXPECT_EQ(snapshots[i].modified, modified[i]) << i;
    }
    for (std::size_t i = 1; i < snapshots.size(); ++i) EXPECT_NE(snapshots[i].faces, snapshots[i - 1].faces) << i;

    for (std::size_t i = snapshots.size() - 1; i > 0; --i) {
        SCOPED_TRACE("undo to " + std::to_string(i - 1));
        EXPECT_EQ(shell.redoLabel(), i + 1 < snapshots.size() ? "Redo" + labels[i + 1].substr(4) : "Redo");
        ASSERT_TRUE(shell.undo());
        EXPECT_EQ(faceBytes(*shell.panorama()), snapshots[i - 1].faces);
        EXPECT_EQ(shell.panorama()->modified != 0, modified[i - 1]);
        EXPECT_EQ(starred(), modified[i - 1]) << shell.title();
        EXPECT_EQ(shell.undoLabel(), labels[i - 1]);
    }
    EXPECT_FALSE(shell.commandEnabled(cmdUndo));
    EXPECT_FALSE(shell.undo());
    for (std::size_t i = 1; i < snapshots.size(); ++i) {
        SCOPED_TRACE("redo to " + std::to_string(i));
        ASSERT_TRUE(shell.redo());
        EXPECT_EQ(faceBytes(*shell.panorama()), snapshots[i].faces);
        EXPECT_EQ(shell.panorama()->modified != 0, modified[i]);
    }
    EXPECT_FALSE(shell.commandEnabled(cmdRedo));
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(UndoTest, TheModifiedMarkComesBackAtTheSavedPositionOnly) {
    paintAt(20);
    host.scripted.saveAnswers.push_back(FileChoice{dir.file("sky.wrl"), vrmlPngRow});
    shell.savePanorama(host.scripted, true);
    ASSERT_FALSE(starred()) << shell.title();
    paintAt(60);
    EXPECT_TRUE(starred());

    struct Move {
        const char* what;
        bool starredAfter;
    } moves[] = {
        {"undo", false},  // what the file holds
        {"undo", true},
        {"redo", false},
        {"paint", true},  // the step after the saved one is replaced: still one step from it
        {"undo", false},
        {"undo", true},
        {"paint", true},  // from before the save: the saved state can no longer come back
        {"undo", true},
    };
    for (const Move& move : moves) {
        SCOPED_TRACE(move.what);
        const std::string what = move.what;
        if (what == "undo") {
            ASSERT_TRUE(shell.undo());
        } else if (what == "redo") {
            ASSERT_TRUE(shell.redo());
        } else {
            paintAt(200);
        }
        EXPECT_EQ(starred(), move.starredAfter) << shell.title();
    }
}

TEST_F(UndoTest, TheMemorySettingBoundsWhatIsKept) {
    // Each paint of these faces keeps well under a megabyte.
    struct Case {
        std::uint32_t megabytes;
        std::size_t undoable;  // of three paints
    } cases[] = {{0, 1}, {1, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.megabytes);
        writeNumberSetting("UndoMemoryMB", c.megabytes);
        shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{256, 256}, Size{256, 256}));
        for (float heading : {0.0f, 120.0f, 240.0f}) paintAt(heading);
        std::size_t undone = 0;
        while (shell.undo()) ++undone;
        EXPECT_EQ(undone, c.undoable);
    }
}

TEST_F(UndoTest, RevertReadsTheFileAgainAfterTheQuestion) {
    host.scripted.saveAnswers.push_back(FileChoice{dir.file("sky.wrl"), vrmlPngRow});
    shell.savePanorama(host.scripted, true);
    const auto saved = faceBytes(*shell.panorama());
    EXPECT_FALSE(shell.commandEnabled(cmdRedo));
    EXPECT_TRUE(shell.commandEnabled(cmdRevert));
    paintAt(30);
    const auto painted = faceBytes(*shell.panorama());
    {
        MessageRecorder no(MessageAnswer::no);
        EXPECT_FALSE(shell.revertPanorama(host.scripted));
        ASSERT_EQ(no.messages().size(), 1u);
        EXPECT_EQ(no.messages()[0].style, MessageStyle::yesNo);
        EXPECT_EQ(faceBytes(*shell.panorama()), painted);
    }
    MessageRecorder yes(MessageAnswer::yes);
    ASSERT_TRUE(shell.revertPanorama(host.scripted)) << testing::PrintToString(yes.texts()) << testing::PrintToString(messages.texts());
    EXPECT_EQ(faceBytes(*shell.panorama()), saved);
    EXPECT_FALSE(starred()) << shell.title();
    EXPECT_NE(shell.title().find("sky"), std::string::npos) << shell.title();
    EXPECT_EQ(shell.panorama()->fileName, dir.file("sky.wrl"));
    EXPECT_FALSE(shell.commandEnabled(cmdUndo));
    // A panorama without a file has nothing to revert to.
    shell.replacePanorama(std::make_unique<PaintedSixImage>(Size{8, 8}, Size{8, 8}));
    EXPECT_FALSE(shell.commandEnabled(cmdRevert));
}

}  // namespace
