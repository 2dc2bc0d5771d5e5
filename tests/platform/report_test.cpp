#include "platform/report.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/message_recorder.h"

TEST(ReportIoException, NamesTheOperationAndTheFile) {
    struct Case { int kind; const char* text; };
    const Case cases[] = {{ioException::opening, "IO Error opening a.tga"},
                          {ioException::closing, "IO Error closing a.tga"},
                          {ioException::reading, "IO Error reading a.tga"},
                          {ioException::writing, "IO Error writing a.tga"}};
    for (const Case& c : cases) {
        MessageRecorder recorder;
        reportIoException(ioException{"a.tga", c.kind});
        ASSERT_EQ(recorder.texts(), std::vector<std::string>{c.text});
        EXPECT_EQ(recorder.messages()[0].caption, programCaption());
    }
}

TEST(ReportIoException, GivesTheReasonOnALineOfItsOwn) {
    MessageRecorder recorder;
    reportIoException(ioException{"a.bmp", ioException::reading, "unsupported bit count 7"});
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"IO Error reading a.bmp\nReason: unsupported bit count 7"});
}

TEST(ReportIoException, AFailureWithItsOwnMessageShowsThatInsteadOfTheIoErrorLine) {
    MessageRecorder recorder;
    reportIoException(ioException{"/p/world_*.png", ioException::reading, "no face could be read",
                                  "No faces found for world: looked for world_FR.png"});
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"No faces found for world: looked for world_FR.png\n"
                                                         "Reason: no face could be read"});
}

TEST(ReportSystemError, AddsTheSystemTextAfterALineBreak) {
    MessageRecorder recorder;
    errno = ENOENT;
    reportSystemError("Couldn't start the paint program");
    ASSERT_EQ(recorder.texts().size(), 1u);
    EXPECT_EQ(recorder.texts()[0], "Couldn't start the paint program:\nNo such file or directory");

    errno = EACCES;
    reportSystemError(nullptr);
    EXPECT_EQ(recorder.texts()[1], "Permission denied");

    // A long name of two-byte characters is cut before a whole character.
    const std::string name(2 * 300, 'x');
    std::string wide;
    for (int i = 0; i < 300; ++i) wide += "\u00e9";
    for (const std::string& text : {name, "a" + wide, wide}) {
        reportSystemError(text.c_str());
        const std::string shown = recorder.texts().back();
        EXPECT_LE(shown.size(), 259u);
        EXPECT_GE(shown.size(), 258u);
        EXPECT_EQ(shown, text.substr(0, shown.size()));
        EXPECT_NE(static_cast<unsigned char>(text[shown.size()]) & 0xC0, 0x80) << "cut inside a character";
    }
}

TEST(ReportAssertion, CaptionedAssertionFailed) {
    MessageRecorder recorder;
    reportAssertion("render.cpp", 42, "w > 0");
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].text, "File render.cpp, line 42 : w > 0");
    EXPECT_EQ(recorder.messages()[0].caption, "Assertion Failed");
}

TEST(RuntimeDebugging, OffUntilSwitched) {
    EXPECT_FALSE(runtimeDebugging());
    setRuntimeDebugging(true);
    EXPECT_TRUE(runtimeDebugging());
    setRuntimeDebugging(false);
}
