// A PNG photo with more than the faces hold (16 bits a channel, transparency) says so when
// it opens, and a save asks first; its colour chunks (gAMA, cHRM) come back on save.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "panorama/six_image.h"
#include "support/layout_rows.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace {

// exiftool's reading of the chunks that say how to show the pixels, one line each.
std::string colourChunks(const std::string& path) {
    return commandOutput("exiftool -s -s -s -Gamma -WhitePointX -RedX -BlueY '" + path + "'");
}

TEST(PhotoPngDepth, WhatEightBitsCannotHoldIsToldAtOpenAndAskedAtSave) {
    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder recorder;
    struct Case {
        const char* name;
        const char* format;  // ImageMagick's output format
        const char* lost;    // empty: nothing
    } cases[] = {
        {"16 bits a channel", "PNG48", "16 bits a channel"},
        {"transparency", "PNG32", "transparency"},
        {"both", "PNG64", "16 bits a channel and transparency"},
        {"8-bit colour", "PNG24", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir.file(std::string(c.format) + ".png"), out = dir.file(std::string("saved-") + c.format + ".png");
        ASSERT_EQ(std::system(("convert -size 256x128 gradient:red-blue '" + std::string(c.format) + ":" + in + "'").c_str()), 0);
        const std::string chunks = colourChunks(in);
        ASSERT_NE(chunks.find("2.2"), std::string::npos) << "ImageMagick writes gAMA: " << chunks;

        ScriptedQuestions questions;
        SixImage panorama;
        ASSERT_EQ(panorama.load(questions, openRows::photoPng, in), 0);
        if (*c.lost == '\0') {
            EXPECT_TRUE(questions.messages.empty());
        } else {
            ASSERT_EQ(questions.messages.size(), 1u);
            EXPECT_EQ(questions.messages[0], "\"" + in + "\" has " + c.lost +
                                                 ". Domecast's faces hold 8 bits a channel and no transparency: a save "
                                                 "of this panorama keeps only that.");
        }

        panorama.fileName = out;
        panorama.layout = saveRows::photoPng;
        if (*c.lost != '\0') {
            questions.confirmAnswers = {false};
            EXPECT_EQ(panorama.save(questions), 1);
            EXPECT_FALSE(std::filesystem::exists(out)) << "Cancel writes nothing";
            questions.confirmAnswers = {true};
        }
        EXPECT_EQ(panorama.save(questions), 0);
        EXPECT_EQ(panorama.save(questions), 0);
        EXPECT_EQ(questions.confirmTexts.size(), *c.lost == '\0' ? 0u : 2u) << "asked once the save went ahead";
        if (*c.lost != '\0') {
            EXPECT_NE(questions.confirmTexts.back().find(std::string("which has ") + c.lost), std::string::npos);
        }
        ASSERT_TRUE(std::filesystem::exists(out));
        EXPECT_EQ(colourChunks(out), chunks) << "gAMA and cHRM kept";
    }
    EXPECT_TRUE(recorder.texts().empty());
}

}  // namespace
