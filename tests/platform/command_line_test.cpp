#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(ParseCommandLine, QuotedPathThenAssignment) {
    unsetenv("DOMECAST_DEBUG_IPC");
    std::vector<std::string> files;
    EXPECT_EQ(parseCommandLine("domecast \"/home/me/my pano.tga\" DOMECAST_DEBUG_IPC=1", 1, files), 1);
    EXPECT_EQ(files, std::vector<std::string>{"/home/me/my pano.tga"});
    EXPECT_EQ(environment("DOMECAST_DEBUG_IPC"), "1");
    unsetenv("DOMECAST_DEBUG_IPC");
}

TEST(ParseCommandLine, SplitsLikeTheSystemParser) {
    struct Case {
        std::string line;
        int maximum;
        std::vector<std::string> files;
        int count;
    };
    using Files = std::vector<std::string>;
    const Case cases[] = {
        {"domecast", 1, {}, 0},
        {"domecast  \t ", 1, {}, 0},
        {"domecast a.tga", 1, {"a.tga"}, 1},
        {"domecast\ta.tga", 1, {"a.tga"}, 1},
        {"\"/opt/dome cast/domecast\" a.tga", 1, {"a.tga"}, 1},
        {"\"/opt/domecast\"a.tga", 1, {"a.tga"}, 1},
        // Without the program name's closing quote there is nothing to parse.
        {"\"/opt/dome cast/domecast a.tga", 1, {}, 0},
        // An unterminated quote takes the rest of the line.
        {"domecast \"my pano.tga  other\targ", 1, {"my pano.tga  other\targ"}, 1},
        {"domecast \"a\"b", 2, {"a", "b"}, 2},
        {"domecast \"\"", 1, {""}, 1},
        // Stored while fewer than the maximum, counted in any case.
        {"domecast a b c", 1, {"a"}, 3},
        {"domecast a b c", 5, {"a", "b", "c"}, 3},
        {"domecast a b", 0, {}, 2},
        {"domecast a b", -1, {}, 2},
        // Any control character ends an unquoted argument; UTF-8 bytes do not.
        {"domecast a\nb", 2, {"a", "b"}, 2},
        {"/usr/bin/d\xC3\xB4mecast /tmp/\xC3\xA9t\xC3\xA9.tga", 1, {"/tmp/\xC3\xA9t\xC3\xA9.tga"}, 1},
        {std::string("domecast a\0b", 12), 2, {"a"}, 1},
    };
    for (const Case& c : cases) {
        Files files{"stale"};
        EXPECT_EQ(parseCommandLine(c.line, c.maximum, files), c.count) << c.line;
        EXPECT_EQ(files, c.files) << c.line;
    }
}

TEST(ParseCommandLine, AssignmentsGoToTheEnvironment) {
    const char* names[] = {"DOMECAST_CL_A", "DOMECAST_CL_B", "DOMECAST_CL_C", "DOMECAST_CL_D"};
    for (const char* name : names) unsetenv(name);
    setenv("DOMECAST_CL_D", "old", 1);
    std::vector<std::string> files;
    EXPECT_EQ(parseCommandLine("domecast DOMECAST_CL_A=1 \"DOMECAST_CL_B=two words\" =nameless DOMECAST_CL_C= "
                               "DOMECAST_CL_D=x=y pano.tga",
                               1, files),
              1);
    EXPECT_EQ(files, std::vector<std::string>{"pano.tga"});
    EXPECT_EQ(environment("DOMECAST_CL_A"), "1");
    EXPECT_EQ(environment("DOMECAST_CL_B"), "two words");
    EXPECT_EQ(environment("DOMECAST_CL_C"), "");
    EXPECT_EQ(environment("DOMECAST_CL_D"), "x=y");
    for (const char* name : names) unsetenv(name);
}

TEST(RawCommandLine, QuotesArgumentsWithBlanks) {
    struct Case {
        std::vector<const char*> argv;
        std::string line;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {{"domecast"}, "domecast", {}},
        {{"/opt/dome cast/domecast", "a.tga"}, "\"/opt/dome cast/domecast\" a.tga", {"a.tga"}},
        {{"domecast", "my pano.tga", "tab\there", "line\nbreak", "\xC3\xA9t\xC3\xA9.tga"},
         "domecast \"my pano.tga\" \"tab\there\" \"line\nbreak\" \xC3\xA9t\xC3\xA9.tga",
         {"my pano.tga", "tab\there", "line\nbreak", "\xC3\xA9t\xC3\xA9.tga"}},
        // An empty argument leaves only its separator behind.
        {{"domecast", "", "a.tga"}, "domecast  a.tga", {"a.tga"}},
        // Quotes that the line cannot carry are dropped, so no argument swallows the next.
        {{"domecast", "\"open", "say \"hi\" there", "in\"side", "DOMECAST_CL_X=1"},
         "domecast open \"say hi there\" in\"side DOMECAST_CL_X=1",
         {"open", "say hi there", "in\"side"}},
    };
    for (const Case& c : cases) {
        const std::string line = rawCommandLine(static_cast<int>(c.argv.size()), c.argv.data());
        EXPECT_EQ(line, c.line);
        std::vector<std::string> files;
        EXPECT_EQ(parseCommandLine(line, 10, files), static_cast<int>(c.files.size())) << line;
        EXPECT_EQ(files, c.files) << line;
    }
    unsetenv("DOMECAST_CL_X");
}

}  // namespace
