#include "view/painted_six_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "panorama/format_table.h"
#include "panorama/unread_faces.h"
#include "platform/settings.h"
#include "support/face_pixels.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

bool allBytesAre(const BGRImage& image, std::uint8_t value) {
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.row(y);
        if (!std::all_of(row, row + 3 * image.width, [value](std::uint8_t b) { return b == value; })) return false;
    }
    return true;
}

TEST(SixImage, NewPanoramaHasSixWhiteFacesAndNoDocument) {
    PaintedSixImage panorama({64, 64}, {64, 64});
    for (int i = 0; i < faceCount; ++i) {
        ASSERT_NE(panorama.faces[i], nullptr);
        EXPECT_EQ(panorama.faceSize(i), (Size{64, 64}));
        EXPECT_TRUE(allBytesAre(*panorama.faces[i], 0xFF)) << "face " << i;
    }
    EXPECT_EQ(panorama.modified, 0);
    EXPECT_EQ(panorama.layout, -1);
    EXPECT_TRUE(panorama.fileName.empty());
    EXPECT_EQ(panorama.title, nullptr);
    EXPECT_TRUE(panorama.view.empty());
    EXPECT_EQ(panorama.view.size(), (Size{0, 0}));
    EXPECT_FALSE(panorama.view.paintPending());
    EXPECT_EQ(panorama.view.camera().fov, (FieldOfView{0, 0}));
}

TEST(SixImage, EmptyPanoramaHasNoFaces) {
    PaintedSixImage panorama;
    for (int i = 0; i < faceCount; ++i) EXPECT_EQ(panorama.faces[i], nullptr);
    EXPECT_EQ(panorama.faceSize(0), (Size{0, 0}));
    EXPECT_EQ(panorama.layout, -1);
}

// A template folder holding a panorama whose faces carry their index.
class Templates : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(dir.path() / "pics"); }

    std::string pic(const std::string& name) const { return (dir.path() / "pics" / name).string(); }

    std::unique_ptr<SixImage> patterned(Size sides, Size caps) {
        auto panorama = std::make_unique<SixImage>(sides, caps);
        for (int i = 0; i < faceCount; ++i) paintFace(*panorama->faces[i], i);
        return panorama;
    }

    void writeAs(SixImage& panorama, const std::string& name, int layout) {
        panorama.fileName = pic(name);
        panorama.layout = layout;
        ASSERT_EQ(panorama.write(), 0);
    }

    static constexpr int studioTarga = 0;  // save row "3DStudio, Targa"

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScriptedQuestions questions;
    MessageRecorder messages;
};

TEST_F(Templates, OpenTemplateReadsFromTheTemplateFolder) {
    writeStringSetting("TemplatePath", (dir.path() / "pics").string());
    auto original = patterned({8, 8}, {8, 8});
    writeAs(*original, "sky_FR.tga", studioTarga);
    std::unique_ptr<PaintedSixImage> panorama = openTemplate(questions, "sky_FR.tga");
    ASSERT_NE(panorama, nullptr);
    EXPECT_TRUE(samePixels(*panorama->faces[Back], *original->faces[Back]));
    EXPECT_TRUE(questions.messages.empty());

    EXPECT_EQ(openTemplate(questions, "none_FR.tga"), nullptr);
    EXPECT_EQ(questions.messages, std::vector<std::string>{"Could not open template \"none_FR.tga\""});

    questions.messages.clear();
    std::filesystem::remove(dir.path() / "pics" / "sky_LF.tga");
    EXPECT_NE(openTemplate(questions, "sky_FR.tga"), nullptr);
    EXPECT_EQ(questions.messages,
              std::vector<std::string>{unreadFacesMessage({{(dir.path() / "pics" / "sky_LF.tga").string(), true}})});
}

}  // namespace
