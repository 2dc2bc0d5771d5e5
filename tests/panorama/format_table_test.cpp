#include "panorama/format_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "support/layout_rows.h"
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

namespace {

std::vector<std::string> split(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t bar; (bar = filter.find('|', at)) != std::string::npos; at = bar + 1)
        parts.push_back(filter.substr(at, bar - at));
    parts.push_back(filter.substr(at));
    return parts;
}

TEST(FormatTable, TheDialogsListTwentyOpenAndSixteenSaveTypesInOrder) {
    const FormatTable& table = formatTable();
    const std::vector<std::string> open = split(table.openFilter());
    const std::vector<std::string> save = split(table.saveFilter());
    const std::vector<std::string> names = {"3DStudio, Targa",
                                            "QuakeII, Targa",
                                            "QuakeII, Targa & PCX",
                                            "VRML Background, PNG",
                                            "VRML Background, JPEG",
                                            "LivePicture Background, JPEG",
                                            "LivePicture Background, BMP",
                                            "LivePicture, SPHERE/CYLINDER, JPEG",
                                            "LivePicture, SPHERE/CYLINDER, BMP",
                                            "LivePicture, CUBE, JPEG",
                                            "LivePicture, CUBE, BMP",
                                            "Bryce/QTVR, BMP",
                                            "QuickTimeVR, BMP",
                                            "Spherical photo, JPEG",
                                            "Spherical photo, PNG",
                                            "Sky box, JPEG",
                                            "Sky box, PNG",
                                            "VRML Background, scene file",
                                            "LivePicture, scene file",
                                            "Web page, cube faces"};
    const std::vector<std::string> openPatterns = {"*_FR.tga", "*ft.tga", "*ft.pcx;*ft.tga", "*_FR.png",
                                                   "*_FR.jpg", "*_FR.jpg", "*_FR.bmp", "*.jpg",
                                                   "*.bmp",    "*.jpg",    "*.bmp",    "*.bmp", "*.bmp",
                                                   "*.jpg",    "*.png",    "*_ft.jpg", "*_ft.png",
                                                   "*.wrl",    "*.ivr",    "*.html"};
    const std::vector<std::string> savePatterns = {"*_FR.tga", "*ft.tga", "*ft.pcx;*ft.tga", "*.wrl",
                                                   "*.wrl",    "*.ivr",   "*.ivr",           "*.ivr",
                                                   "*.ivr",    "*.ivr",   "*.ivr",           "*.jpg",
                                                   "*.png",    "*_ft.jpg", "*_ft.png",        "*.html"};
    ASSERT_EQ(table.openCount(), 20);
    ASSERT_EQ(table.saveCount(), 16);
    ASSERT_EQ(open.size(), 40u);
    ASSERT_EQ(save.size(), 32u);
    // The rows after the two read-only ones are linked across the gap they leave.
    // The scene files open only; the web page comes after them.
    const int openToSave[20] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -1, -1, 11, 12, 13, 14, -1, -1, 15};
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(open[2 * i], names[i]);
        EXPECT_EQ(open[2 * i + 1], openPatterns[i]);
        EXPECT_EQ(table.openRow(i).openToSave, openToSave[i]) << i;
    }
    for (int i = 0; i < 16; ++i) {
        const int openIndex = i < 11 ? i : i < 15 ? i + 2 : i + 4;
        EXPECT_EQ(save[2 * i], names[openIndex]);
        EXPECT_EQ(save[2 * i + 1], savePatterns[i]);
        EXPECT_EQ(table.saveRow(i).saveToOpen, openIndex);
        // PCX options for the PCX row, JPEG options for the rows writing JPEG faces,
        // backgrounds, strips and spheres (not photos or pages).
        const bool jpegFaces = i == saveRows::vrmlJpeg || i == saveRows::ivrBackgroundJpeg ||
                               i == saveRows::sphereJpeg || i == saveRows::stripJpeg || i == saveRows::skyJpeg;
        EXPECT_EQ(table.saveRow(i).optionsDialog,
                  i == 2 ? &pcxOptionsDialog : jpegFaces ? &jpegOptionsDialog : nullptr) << i;
    }
    EXPECT_EQ(&table.openFilter(), &formatTable().openFilter());
}

TEST(FormatTable, RecognisesTheLayoutOfAName) {
    const FormatTable& table = formatTable();
    struct Case {
        const char* name;
        int row;
    } cases[] = {
        {"/pics/pano_FR.jpg", 4}, {"/pics/pano.bmp", 8},   {"/pics/pano.gif", -1},
        {"/pics/pano_UP.tga", 0}, {"/pics/skydn.pcx", 2}, {"/pics/skyft.tga", 1}, {"pano_BK.png", 3},
        {"", -1},
        // A plain picture ties the LivePicture rows and opens as a photo.
        {"/pics/pano.jpg", 13}, {"/pics/PANO.PNG", 14},
        // Underscore sky boxes by their front face; Targa keeps the Quake rows.
        {"/pics/sky_ft.jpg", 15}, {"/pics/sky_FT.png", 16}, {"/pics/sky_ft.tga", 1},
        {"/pics/skybk.jpg", 13},
        // Scene files by their extension alone.
        {"/pics/pano.wrl", 17}, {"/pics/PANO.IVR", 18},
    };
    for (const Case& c : cases) EXPECT_EQ(table.bestOpenRow(c.name), c.row) << c.name;
}

TEST(FormatTable, ASkyBoxFaceOpensAsASkyBoxWhenItsFrontFileIsThere) {
    const TempDir dir;
    for (const char* name : {"sky_ft.png", "sky_dn.png", "bg_FR.png", "bg_dn.png"})
        std::ofstream(dir.file(name)) << "x";
    // "_dn" is also the Down face of a background: the front file present decides.
    EXPECT_EQ(formatTable().bestOpenRow(dir.file("sky_dn.png")), 16);
    EXPECT_EQ(formatTable().bestOpenRow(dir.file("bg_dn.png")), 3);
    EXPECT_EQ(formatTable().bestOpenRow(dir.file("none_dn.png")), 3);
}

TEST(FormatTable, BestSaveRowTellsNoMatchFromATie) {
    const FormatTable& table = formatTable();
    struct Case {
        const char* name;
        int row;
        bool tie;
    } cases[] = {
        {"/pics/pano_FR.tga", 0, false}, {"/pics/skyft.pcx", 2, false},
        {"/pics/skyft.tga", 1, true},  // both Quake rows write Targa faces
        {"/pics/pano.wrl", 3, true},     {"/pics/pano.gif", -1, false},
        {"/pics/photo.jpg", 11, false},  {"/pics/photo.png", 12, false},
        {"/pics/sky_up.jpg", 13, false}, {"/pics/sky_ft.png", 14, false},
    };
    for (const Case& c : cases) {
        const FormatTable::RowMatch match = table.bestSaveRow(c.name);
        EXPECT_EQ(match.row, c.row) << c.name;
        EXPECT_EQ(match.tie, c.tie) << c.name;
        EXPECT_EQ(match.none(), c.row == -1) << c.name;
    }
}

TEST(FormatTable, BaseNamesCutWhatThePatternMatches) {
    const FormatTable& table = formatTable();
    EXPECT_EQ(table.saveBase("/pics/pano.wrl", 3), "/pics/pano");
    EXPECT_EQ(table.saveBase("/pics/pano.gif", 3), "/pics/pano.gif");
    EXPECT_EQ(table.saveBase("/pics/skyft.tga", -1), "/pics/sky");
    EXPECT_EQ(table.saveBase("/pics/pano.wrl", 99), "/pics/pano.wrl");
    EXPECT_EQ(table.openBase("/pics/skyft.tga", 2), "/pics/sky");
    EXPECT_EQ(table.openBase("/pics/pano_RT.png", -1), "/pics/pano");
    EXPECT_EQ(table.openBase("/pics/pano.bmp", 12), "/pics/pano");
    EXPECT_EQ(table.openBase("/pics/sky_rt.png", -1), "/pics/sky");
    EXPECT_EQ(table.saveBase("/pics/sky_ft.jpg", -1), "/pics/sky");
}

TEST(FormatTable, OpenBaseTakesTheNameTheFileHasOnDisk) {
    TempDir dir;
    std::ofstream(dir.file("Pano_FR.png")) << "x";
    EXPECT_EQ(formatTable().openBase(dir.file("pano_fr.png"), 3), dir.file("Pano"));
    EXPECT_EQ(formatTable().bestOpenRow(dir.file("pano_fr.png")), 3);
}

}  // namespace
