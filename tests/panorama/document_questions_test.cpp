#include "panorama/document_questions.h"

#include <gtest/gtest.h>

#include "support/scripted_questions.h"

namespace {

TEST(FieldOfViewPrompt, AcceptsWholeDegreesFrom1To179) {
    struct Case {
        const char* text;
        int value;
        bool accepted;
    } cases[] = {
        {"90", 90, true},   {"1", 1, true},       {"179", 179, true}, {"0", 0, false},
        {"180", 180, false}, {"abc", 0, false},   {"", 0, false},     {"-5", -5, false},
        {" 60", 60, true},  {"45.9", 45, true},   {"12abc", 12, true},
        {"00000090", 9, true},  // the field holds seven characters
        {"99999999999", 9999999, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readFieldOfView(c.text), c.value) << c.text;
        EXPECT_EQ(fieldOfViewAccepted(readFieldOfView(c.text)), c.accepted) << c.text;
    }
}

TEST(WaitCursor, EndsWhatItBeganOnEveryPath) {
    ScriptedQuestions questions;
    try {
        WaitCursor wait(questions);
        EXPECT_EQ(questions.waitDepth, 1);
        wait.pause();
        wait.pause();
        EXPECT_EQ(questions.waitDepth, 0);
        wait.resume();
        EXPECT_EQ(questions.waitDepth, 1);
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(questions.waitDepth, 0);
    EXPECT_EQ(questions.waitsBegun, 2);
}

}  // namespace
