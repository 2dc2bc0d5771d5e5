// Recovery sets: the unsaved panorama written when the session ends, found and offered at
// the next start.
#include "shell/recovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>

#include "panorama/geometry.h"
#include "platform/io_exception.h"
#include "shell/shell.h"
#include "support/face_pixels.h"
#include "support/message_recorder.h"
#include "support/patterned_panorama.h"
#include "support/scoped_env.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class RecoveryTest : public ::testing::Test {
protected:
    std::unique_ptr<PaintedSixImage> changedPanorama() {
        auto panorama = patternedPanorama(24);
        panorama->fileName = "/photos/sky.jpg";
        panorama->layout = 11;
        panorama->title = std::make_unique<char[]>(8);
        std::strcpy(panorama->title.get(), "sky.jpg");
        panorama->modified = 1;
        return panorama;
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScopedEnv state{"XDG_STATE_HOME", dir.file("state")};
};

TEST_F(RecoveryTest, ASetGivesBackTheFacesNameLayoutAndAngles) {
    const auto panorama = changedPanorama();
    const std::string folder = writeRecovery(*panorama, Camera{1.25f, -0.5f, {}, {}});
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(fs::path(folder).parent_path(), fs::path(dir.file("state/domecast/recovery")));

    const std::vector<RecoverySet> sets = findRecoverySets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].fileName, "/photos/sky.jpg");
    EXPECT_EQ(sets[0].layout, 11);
    EXPECT_EQ(sets[0].title, "sky.jpg");
    EXPECT_FLOAT_EQ(sets[0].heading, 1.25f);
    EXPECT_FLOAT_EQ(sets[0].pitch, -0.5f);
    EXPECT_EQ(recoveryQuestion(sets[0]).rfind("Recover the unsaved panorama from 20", 0), 0u) << recoveryQuestion(sets[0]);

    const auto recovered = loadRecovery(sets[0]);
    EXPECT_EQ(faceBytes(*recovered), faceBytes(*panorama));
    EXPECT_EQ(recovered->fileName, "/photos/sky.jpg");
    EXPECT_EQ(recovered->layout, 11);
    EXPECT_STREQ(recovered->title.get(), "sky.jpg");
    EXPECT_EQ(recovered->modified, 1);

    discardRecovery(sets[0]);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(findRecoverySets().empty());
}

TEST_F(RecoveryTest, OnlyCompleteSetsAreFoundAndABrokenFaceIsAnError) {
    const auto panorama = changedPanorama();
    const std::string described = writeRecovery(*panorama, Camera{});
    const std::string undescribed = writeRecovery(*panorama, Camera{});
    ASSERT_FALSE(described.empty());
    ASSERT_NE(described, undescribed);
    fs::remove(undescribed + "/panorama.txt");
    const std::string cut = writeRecovery(*panorama, Camera{});
    // A description that never got its last line: written when the disk filled.
    std::ofstream(cut + "/panorama.txt", std::ios::trunc) << "Written=1\nFile=x\n";
    fs::create_directories(dir.file("state/domecast/recovery/empty"));

    std::vector<RecoverySet> sets = findRecoverySets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].folder, described);

    std::ofstream(described + "/face3.png", std::ios::trunc) << "not a picture";
    EXPECT_THROW(loadRecovery(sets[0]), ioException);
}

TEST_F(RecoveryTest, TheOfferRecoversDiscardsOrKeepsTheSet) {
    struct Case {
        MessageAnswer answer;
        bool recovered;
        bool setKept;
    } cases[] = {
        {MessageAnswer::yes, true, false},     // Recover
        {MessageAnswer::no, false, false},     // Discard
        {MessageAnswer::cancel, false, true},  // Later
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        for (const RecoverySet& set : findRecoverySets()) discardRecovery(set);
        const auto panorama = changedPanorama();
        ASSERT_FALSE(writeRecovery(*panorama, Camera{90 * degToRad, 0, {}, {}}).empty());

        Shell shell;
        ScriptedQuestions questions;
        shell.startWith(questions, {});
        const auto startFaces = faceBytes(*shell.panorama());
        MessageRecorder recorder(c.answer);
        EXPECT_EQ(shell.offerRecovery(), c.recovered);
        ASSERT_EQ(recorder.messages().size(), 1u);
        EXPECT_EQ(recorder.messages()[0].style, MessageStyle::recoverDiscardLater);
        EXPECT_EQ(faceBytes(*shell.panorama()), c.recovered ? faceBytes(*panorama) : startFaces);
        if (c.recovered) {
            EXPECT_EQ(shell.title(), "sky.jpg *  [h=270\u00b0 v=0\u00b0] - Domecast");
            EXPECT_EQ(shell.panorama()->fileName, "/photos/sky.jpg");
        }
        EXPECT_EQ(findRecoverySets().size(), c.setKept ? 1u : 0u);
    }
}

TEST_F(RecoveryTest, TheSessionsEndWritesASetOnlyForUnsavedChanges) {
    Shell shell;
    ScriptedQuestions questions;
    shell.startWith(questions, {});
    EXPECT_TRUE(shell.saveForRecovery());
    EXPECT_TRUE(findRecoverySets().empty());

    shell.replacePanorama(changedPanorama());
    EXPECT_TRUE(shell.saveForRecovery());
    ASSERT_EQ(findRecoverySets().size(), 1u);
    EXPECT_EQ(faceBytes(*loadRecovery(findRecoverySets()[0])), faceBytes(*shell.panorama()));

    // Nowhere to write: the caller is told, so that it can still ask.
    ScopedEnv nowhere("XDG_STATE_HOME", dir.file("state/domecast/recovery/face0.png/x"));
    std::ofstream(dir.file("state/domecast/recovery/face0.png")) << "a file in the way";
    EXPECT_FALSE(shell.saveForRecovery());
}

}  // namespace
