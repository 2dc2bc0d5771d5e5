#include "panorama/format_table.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace {

TEST(MatchLength, CountsTheMatchingEndingOfTheFirstFittingAlternative) {
    struct Case {
        const char* name;
        const char* pattern;
        int expected;
    } cases[] = {
        {"pano_FR.tga", "*_FR.tga", 7},
        {"pano_bk.TGA", "*_FR.tga", 7},  // another face's suffix, any case
        {"pano_RT.png", "*_FR.png", 7},
        {"pano_rt.png", "*_FR.jpg", 0},
        {"x.tga", "*_FR.tga", 0},  // shorter than the alternative
        {"skyup.pcx", "*ft.pcx;*ft.tga", 6},
        {"skydn.tga", "*ft.pcx;*ft.tga", 6},  // the second alternative
        {"pano.wrl", "*.wrl", 4},
        {"pano.gif", "*.wrl", 0},
        {"pano_XX.tga", "*_FR.tga", 0},
        {"a.pcx", "*.pcx", 4},
        {"a.PCX", "*.pcx", 4},
        {"pano_FR.tga", "*.tga;*_FR.tga", 4},  // first fit, not longest
        {"", "*.wrl", 0},
        {"pano.wrl", "", 0},
        {"pano.wrl", "***", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(matchLength(c.name, c.pattern), c.expected) << c.name << " " << c.pattern;
}

TEST(FileNames, PartsAfterAndBeforeTheLastSlash) {
    EXPECT_EQ(fileNamePart("/pics/pano.wrl"), "pano.wrl");
    EXPECT_EQ(fileNamePart("pano.wrl"), "pano.wrl");
    EXPECT_EQ(fileNamePart("/pics/"), "");
    EXPECT_EQ(folderPart("/pics/pano.wrl"), "/pics");
    EXPECT_EQ(folderPart("pano.wrl"), "");
}

TEST(FileNames, FindsAnEntryInAnotherCaseWhenTheNameDoesNotExist) {
    TempDir dir;
    std::ofstream(dir.file("Pano_FR.JPG")) << "x";
    EXPECT_EQ(findFileName(dir.file("Pano_FR.JPG")), "Pano_FR.JPG");
    EXPECT_EQ(findFileName(dir.file("pano_fr.jpg")), "Pano_FR.JPG");
    EXPECT_EQ(resolveFileName(dir.file("pano_fr.jpg")), dir.file("Pano_FR.JPG"));
    EXPECT_EQ(findFileName(dir.file("pano_bk.jpg")), std::nullopt);
    EXPECT_EQ(resolveFileName(dir.file("pano_bk.jpg")), dir.file("pano_bk.jpg"));
    EXPECT_EQ(findFileName(dir.file("missing/pano_fr.jpg")), std::nullopt);
}

}  // namespace
