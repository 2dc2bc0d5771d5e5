#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "image/bmp.h"
#include "image/codecs.h"
#include "image/png.h"
#include "image/tga.h"
#include "panorama/format_table.h"
#include "panorama/six_image.h"
#include "platform/io_exception.h"
#include "platform/save_set.h"
#include "platform/settings.h"
#include "support/face_pixels.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/layout_rows.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Most cases here save a layout and open it by the same row number.
using namespace saveRows;

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

void fill(BGRImage& face, std::uint8_t value) {
    for (int y = 0; y < face.height; ++y) std::memset(face.row(y), value, 3 * static_cast<std::size_t>(face.width));
}

std::unique_ptr<RawImage> readImage(ImageReader reader, const std::string& path) {
    auto image = std::make_unique<RawImage>(Size{0, 0});
    reader(path.c_str(), &RawImage::sink, image.get());
    return image;
}

// A panorama whose faces carry their index; the caps may have another size.
std::unique_ptr<SixImage> patterned(Size sides, Size caps) {
    auto panorama = std::make_unique<SixImage>(sides, caps);
    for (int i = 0; i < faceCount; ++i) paintFace(*panorama->faces[i], i);
    return panorama;
}

class Documents : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir.path() / "pics"); }

    std::string pic(const std::string& name) const { return (dir.path() / "pics" / name).string(); }
    std::set<std::string> pics() const { return filesIn(dir.path() / "pics"); }

    // Writes the panorama under name in save row layout.
    void writeAs(SixImage& panorama, const std::string& name, int layout) {
        panorama.fileName = pic(name);
        panorama.layout = layout;
        ASSERT_EQ(panorama.write(), 0);
    }

    std::unique_ptr<SixImage> load(int openRow, const std::string& name) {
        auto panorama = std::make_unique<SixImage>();
        EXPECT_EQ(panorama->load(questions, openRow, pic(name)), 0);
        return panorama;
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScriptedQuestions questions;
    MessageRecorder messages;
};

TEST_F(Documents, VrmlBackgroundWritesSixFacesAndKeepsAnExistingSceneFile) {
    auto panorama = patterned({16, 16}, {16, 16});
    panorama->modified = 1;
    writeAs(*panorama, "pano.wrl", vrmlJpeg);
    EXPECT_EQ(pics(), (std::set<std::string>{"pano_FR.jpg", "pano_BK.jpg", "pano_LF.jpg", "pano_RT.jpg",
                                             "pano_UP.jpg", "pano_DN.jpg", "pano.wrl"}));
    EXPECT_NE(fileText(pic("pano.wrl")).find("\tfrontUrl \"pano_FR.jpg\"\r\n"), std::string::npos);
    EXPECT_EQ(panorama->modified, 0);
    ASSERT_NE(panorama->title, nullptr);
    EXPECT_STREQ(panorama->title.get(), "pano");

    std::ofstream(pic("pano.wrl"), std::ios::binary) << "edited by hand";
    const std::string front = fileText(pic("pano_FR.jpg"));
    paintFace(*panorama->faces[Front], 5);
    writeAs(*panorama, "pano.wrl", vrmlJpeg);
    EXPECT_EQ(fileText(pic("pano.wrl")), "edited by hand");
    EXPECT_NE(fileText(pic("pano_FR.jpg")), front);
}

TEST_F(Documents, LivePictureBackgroundWritesTheBackgroundSceneUnderIvr) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "pano.ivr", ivrBackgroundBmp);
    EXPECT_NE(fileText(pic("pano.ivr")).find("Background {"), std::string::npos);
    EXPECT_TRUE(fs::exists(pic("pano_DN.bmp")));
    auto loaded = load(-1, "pano_FR.bmp");
    for (int i = 0; i < faceCount; ++i) EXPECT_TRUE(samePixels(*loaded->faces[i], *panorama->faces[i])) << i;
}

TEST_F(Documents, ThreeDStudioExchangesFrontAndBack) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "pano_FR.tga", studioTarga);
    EXPECT_TRUE(samePixels(*readImage(LoadTGA, pic("pano_FR.tga")), *panorama->faces[Back]));
    EXPECT_TRUE(samePixels(*readImage(LoadTGA, pic("pano_BK.tga")), *panorama->faces[Front]));
    EXPECT_TRUE(samePixels(*readImage(LoadTGA, pic("pano_LF.tga")), *panorama->faces[Left]));

    auto loaded = load(0, "pano_UP.tga");  // any face file names the panorama
    for (int i = 0; i < faceCount; ++i) EXPECT_TRUE(samePixels(*loaded->faces[i], *panorama->faces[i])) << i;
    EXPECT_EQ(loaded->modified, 0);
    EXPECT_TRUE(loaded->fileName.empty());
    EXPECT_EQ(loaded->layout, -1);
}

TEST_F(Documents, QuakeSkyRoundTripReturnsEveryFace) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "skyft.tga", quakeTarga);
    EXPECT_EQ(pics(), (std::set<std::string>{"skyft.tga", "skybk.tga", "skylf.tga", "skyrt.tga", "skyup.tga",
                                             "skydn.tga"}));
    // The caps are stored turned: Up clockwise, Down counter-clockwise.
    auto up = readImage(LoadTGA, pic("skyup.tga"));
    up->rotateQuarter(1);
    EXPECT_TRUE(samePixels(*up, *panorama->faces[Up]));
    auto down = readImage(LoadTGA, pic("skydn.tga"));
    down->rotateQuarter(0);
    EXPECT_TRUE(samePixels(*down, *panorama->faces[Down]));

    auto loaded = load(-1, "skyft.tga");
    for (int i = 0; i < faceCount; ++i) EXPECT_TRUE(samePixels(*loaded->faces[i], *panorama->faces[i])) << i;
    // Writing turned the caps back.
    EXPECT_TRUE(samePixels(*panorama->faces[Up], *patterned({8, 8}, {8, 8})->faces[Up]));
}

TEST_F(Documents, QuakeSkyCapsThatAreNotSquareComeBackSquare) {
    auto panorama = patterned({8, 8}, {8, 4});
    writeAs(*panorama, "skyft.tga", quakeTarga);
    EXPECT_EQ(readImage(LoadTGA, pic("skyup.tga"))->size(), (Size{8, 8}));
    auto loaded = load(1, "skyft.tga");
    EXPECT_EQ(loaded->faceSize(Up), (Size{8, 8}));
    EXPECT_EQ(loaded->faceSize(Down), (Size{8, 8}));
    EXPECT_EQ(loaded->faceSize(Front), (Size{8, 8}));
    // Each row of the square Up is a row of the old one doubled in height.
    SixImage expected({8, 8}, {8, 8});
    expected.faces[Up]->copyScaled(*panorama->faces[Up], {0, 0}, {8, 4}, {0, 0}, {8, 8});
    EXPECT_TRUE(samePixels(*loaded->faces[Up], *expected.faces[Up]));
}

TEST_F(Documents, QuakeSkyCapsReadNotSquareAreSquaredBeforeTurning) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "skyft.tga", quakeTarga);
    RawImage wide(Size{8, 4});
    paintFace(wide, 4);
    SaveTGA(pic("skyup.tga").c_str(), wide.size(), wide.stride, 3, wide.pixels);
    auto loaded = load(1, "skyft.tga");
    EXPECT_EQ(loaded->faceSize(Up), (Size{8, 8}));
}

TEST_F(Documents, QuakeTargaAndPcxWritesTwelveFiles) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "skyft.pcx", quakeTargaPcx);
    std::set<std::string> expected;
    for (const char* suffix : quakeSuffixes) {
        expected.insert(std::string("sky") + suffix + ".pcx");
        expected.insert(std::string("sky") + suffix + ".tga");
    }
    EXPECT_EQ(pics(), expected);
    // Opened by its Targa files, the panorama comes back unchanged.
    auto loaded = load(2, "skyft.tga");
    for (int i = 0; i < faceCount; ++i) EXPECT_TRUE(samePixels(*loaded->faces[i], *panorama->faces[i])) << i;
}

TEST_F(Documents, CubeStripStacksTheFacesFrontOnTop) {
    auto panorama = patterned({256, 256}, {256, 256});
    writeAs(*panorama, "pano.ivr", stripBmp);
    EXPECT_EQ(pics(), (std::set<std::string>{"pano.bmp", "pano.ivr"}));
    EXPECT_NE(fileText(pic("pano.ivr")).find("\t\turl \"pano.bmp\"\r\n\t}\r\n\ttype \"CUBE\""), std::string::npos);
    const auto strip = readImage(LoadBMP, pic("pano.bmp"));
    ASSERT_EQ(strip->size(), (Size{256, 1536}));
    // Top to bottom: Front, Right, Back, Left, Up, Down.
    const int fromTop[] = {Front, Right, Back, Left, Up, Down};
    for (int cell = 0; cell < 6; ++cell) {
        const int firstRow = 1536 - 256 * (cell + 1);
        EXPECT_EQ(strip->row(firstRow)[0], 40 * fromTop[cell] + 1) << cell;
        EXPECT_EQ(strip->row(firstRow + 255)[3 * 7 + 2], 255) << cell;  // row 255 of the face
    }
}

TEST_F(Documents, CubeStripReadsBackEveryFace) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "pano.ivr", stripBmp);
    auto loaded = load(10, "pano.bmp");
    for (int i = 0; i < faceCount; ++i) EXPECT_TRUE(samePixels(*loaded->faces[i], *panorama->faces[i])) << i;
}

TEST_F(Documents, CubeStripOfAnOddHeightLosesItsLastRows) {
    RawImage strip(Size{4, 6 * 3 + 2});
    paintFace(strip, 0);
    SaveBMP(pic("odd.bmp").c_str(), strip.size(), strip.stride, 3, strip.pixels);
    auto loaded = load(10, "odd.bmp");
    for (int i = 0; i < faceCount; ++i) ASSERT_EQ(loaded->faceSize(i), (Size{4, 3}));
    // Cell i is rows 3i to 3i+2 of the strip; the two top rows of the picture are lost.
    for (int i = 0; i < faceCount; ++i) {
        const BGRImage& face = *loaded->faces[cubeStripOrder[i]];
        for (int y = 0; y < 3; ++y) EXPECT_EQ(face.row(y)[2], 3 * i + y) << i;
    }
}

TEST_F(Documents, APictureTooSmallForAFacePixelIsNotRead) {
    struct Case {
        int openRow;
        Size size;
    } cases[] = {{openRows::stripBmp, {4, 5}}, {openRows::sphereBmp, {3, 2}}, {openRows::quickTime, {3, 8}}};
    for (const Case& c : cases) {
        RawImage image(c.size);
        SaveBMP(pic("small.bmp").c_str(), image.size(), image.stride, 3, image.pixels);
        auto panorama = std::make_unique<SixImage>();
        EXPECT_IO_EXCEPTION(panorama->load(questions, c.openRow, pic("small.bmp")), ioException::reading,
                            pic("small.bmp"), anyReason)
            << "no exception for row " << c.openRow;
    }
    EXPECT_TRUE(questions.proposedFieldsOfView.empty());
}

TEST_F(Documents, MissingFaceFilesBecomeWhite) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "pano.wrl", vrmlPng);
    fs::remove(pic("pano_UP.png"));
    auto loaded = load(-1, "pano_FR.png");
    EXPECT_TRUE(allWhite(*loaded->faces[Up]));
    EXPECT_EQ(loaded->faceSize(Up), (Size{8, 8}));
    EXPECT_TRUE(samePixels(*loaded->faces[Down], *panorama->faces[Down]));

    for (const char* suffix : faceSuffixes) fs::remove(pic(std::string("pano") + suffix + ".png"));
    auto empty = std::make_unique<SixImage>();
    ASSERT_IO_EXCEPTION(empty->load(questions, 3, pic("pano_FR.png")), ioException::reading, pic("pano_*.png"),
                        "no face could be read");
}

TEST_F(Documents, AWhiteFaceTakesTheSizeOfTheFaceReadLast) {
    auto panorama = patterned({8, 8}, {4, 4});
    writeAs(*panorama, "pano.wrl", vrmlPng);
    fs::remove(pic("pano_LF.png"));
    auto loaded = load(3, "pano_FR.png");
    EXPECT_EQ(loaded->faceSize(Left), (Size{4, 4}));  // Down, read last, is 4 x 4
    EXPECT_TRUE(allWhite(*loaded->faces[Left]));
}

TEST_F(Documents, FaceFilesAreFoundInAnotherCase) {
    auto panorama = patterned({8, 8}, {8, 8});
    writeAs(*panorama, "pano.wrl", vrmlPng);
    fs::rename(pic("pano_UP.png"), pic("PANO_up.PNG"));
    auto loaded = load(3, "pano_FR.png");
    EXPECT_TRUE(samePixels(*loaded->faces[Up], *panorama->faces[Up]));
}

TEST_F(Documents, ANameOfNoLayoutCannotBeLoaded) {
    auto panorama = std::make_unique<SixImage>();
    ASSERT_IO_EXCEPTION(panorama->load(questions, -1, pic("pano.gif")), ioException::opening, pic("pano.gif"),
                        "no such open layout");
}

TEST_F(Documents, TheWaitCursorShowsDuringLoadAndEndsOnFailure) {
    auto panorama = std::make_unique<SixImage>();
    EXPECT_THROW(panorama->load(questions, 3, pic("pano_FR.png")), ioException);
    EXPECT_EQ(questions.waitsBegun, 1);
    EXPECT_EQ(questions.waitDepth, 0);
}

TEST_F(Documents, ATurnedFaceWriteThatFailsKeepsTheOldFileAndTheFace) {
    const std::string path = pic("skyup.tga");
    std::ofstream(path, std::ios::binary) << "the good file";
    auto panorama = patterned({8, 8}, {8, 8});
    ImageWriter failing = [](const char* p, Size, std::uint32_t, int, const std::uint8_t*) {
        std::ofstream(p, std::ios::binary) << "half";
        throw ioException{p, ioException::writing, "disk full"};
    };
    ASSERT_IO_EXCEPTION(
        SixImage::writeTurnedFace(*panorama->faces[Up], failing, path, SixImage::QuarterTurn::clockwise),
        ioException::writing, path, "disk full");
    EXPECT_EQ(fileText(path), "the good file");
    EXPECT_EQ(pics(), std::set<std::string>{"skyup.tga"});
    EXPECT_TRUE(samePixels(*panorama->faces[Up], *patterned({8, 8}, {8, 8})->faces[Up]));
}

TEST_F(Documents, SaveWithoutANameAsksForOneAndCancellingWritesNothing) {
    auto panorama = patterned({8, 8}, {8, 8});
    EXPECT_EQ(panorama->save(questions), 1);
    EXPECT_EQ(questions.saveQuestions.size(), 1u);
    EXPECT_TRUE(pics().empty());
    EXPECT_TRUE(panorama->fileName.empty());
    EXPECT_EQ(panorama->layout, -1);
}

TEST_F(Documents, SaveAsWritesTheChosenLayoutAndRemembersIt) {
    auto panorama = patterned({8, 8}, {8, 8});
    questions.saveAnswers.push_back(FileChoice{pic("pano.wrl"), vrmlPng});
    EXPECT_EQ(panorama->saveAs(questions), 0);
    EXPECT_EQ(panorama->layout, vrmlPng);
    EXPECT_EQ(panorama->fileName, pic("pano.wrl"));
    EXPECT_TRUE(fs::exists(pic("pano_FR.png")));
    EXPECT_FALSE(questions.askedWhileWaiting);
    EXPECT_EQ(questions.waitDepth, 0);
    std::string folder;
    std::uint32_t type = 0;
    ASSERT_EQ(readStringSetting("LastFolder", folder, 0, 1), 1);
    EXPECT_EQ(folder, (dir.path() / "pics").string());
    ASSERT_EQ(readNumberSetting("LastType", type, 0, 1), 1);
    EXPECT_EQ(type, static_cast<std::uint32_t>(vrmlPng));

    // A new panorama's dialog starts where the last one ended.
    auto next = patterned({8, 8}, {8, 8});
    next->saveAs(questions);
    ASSERT_EQ(questions.saveQuestions.size(), 2u);
    EXPECT_EQ(questions.saveQuestions[1].folder, folder);
    EXPECT_EQ(questions.saveQuestions[1].type, vrmlPng);
}

TEST_F(Documents, SaveAsTakesTheLayoutANameFitsBetter) {
    struct Case {
        const char* name;
        int selected;
        int expected;
    } cases[] = {
        {"pano_FR.tga", vrmlPng, studioTarga},  // only the 3DStudio row fits
        {"pano.wrl", studioTarga, studioTarga},  // two rows end in .wrl
        {"skyft.tga", vrmlPng, vrmlPng},         // the two Quake rows tie
        {"pano.wrl", vrmlJpeg, vrmlJpeg},
    };
    for (const Case& c : cases) {
        SixImage panorama({4, 4}, {4, 4});
        questions.saveAnswers.push_back(FileChoice{pic(c.name), c.selected});
        EXPECT_EQ(panorama.saveAs(questions), 0) << c.name;
        EXPECT_EQ(panorama.layout, c.expected) << c.name;
    }
}

// The files of a six-face layout: base + separator + each suffix + extension.
std::set<std::string> faceFiles(const std::string& base, const std::array<const char*, 6>& suffixes,
                                const std::string& extension, const std::string& separator = "") {
    std::set<std::string> names;
    for (const char* suffix : suffixes) names.insert(base + separator + suffix + extension);
    return names;
}

std::set<std::string> with(std::set<std::string> names, const std::set<std::string>& more) {
    names.insert(more.begin(), more.end());
    return names;
}

TEST_F(Documents, ATypedNameEndingAsTheChosenLayoutsFilesIsTakenAsTheBase) {
    constexpr int skyBoxJpeg = 13;
    const std::set<std::string> studio = faceFiles("sky", faceSuffixes, ".tga");
    struct Case {
        const char* typed;
        int selected;
        int layout;
        std::set<std::string> files;
    } cases[] = {
        {"sky.tga", quakeTarga, quakeTarga, faceFiles("sky", quakeSuffixes, ".tga")},
        {"SKY.TGA", quakeTarga, quakeTarga, faceFiles("SKY", quakeSuffixes, ".tga")},
        {"sky.pcx", quakeTargaPcx, quakeTargaPcx,
         with(faceFiles("sky", quakeSuffixes, ".tga"), faceFiles("sky", quakeSuffixes, ".pcx"))},
        {"sky_FR.tga", studioTarga, studioTarga, studio},
        {"sky_dn.tga", studioTarga, studioTarga, studio},
        {"sky_FR", studioTarga, studioTarga, studio},
        {"sky.tga", studioTarga, studioTarga, studio},
        {"sky.wrl", vrmlPng, vrmlPng, with(faceFiles("sky", faceSuffixes, ".png"), {"sky.wrl"})},
        {"sky_FR.png", vrmlPng, vrmlPng, with(faceFiles("sky", faceSuffixes, ".png"), {"sky.wrl"})},
        {"sky.ivr", ivrBackgroundBmp, ivrBackgroundBmp, with(faceFiles("sky", faceSuffixes, ".bmp"), {"sky.ivr"})},
        {"sky_UP.bmp", ivrBackgroundBmp, ivrBackgroundBmp,
         with(faceFiles("sky", faceSuffixes, ".bmp"), {"sky.ivr"})},
        {"sky.bmp", sphereBmp, sphereBmp, {"sky.bmp", "sky.ivr"}},
        {"sky.bmp", stripBmp, stripBmp, {"sky.bmp", "sky.ivr"}},
        // A photo row ends in .jpg too; the selected sky box row keeps its own extension.
        {"sky.jpg", skyBoxJpeg, skyBoxJpeg, faceFiles("sky", quakeSuffixes, ".jpg", "_")},
        {"sky_lf", skyBoxJpeg, skyBoxJpeg, faceFiles("sky", quakeSuffixes, ".jpg", "_")},
        // Another layout's name keeps that layout, or the whole name as the base.
        {"sky_FR.tga", quakeTarga, studioTarga, studio},
        {"sky.jpg", vrmlPng, 11, {"sky.jpg"}},
        {"sky_FR.png", sphereBmp, 12, {"sky_FR.png"}},
        {"sky.gif", studioTarga, studioTarga, faceFiles("sky.gif", faceSuffixes, ".tga")},
        {"skyft.tga", studioTarga, studioTarga, faceFiles("skyft", faceSuffixes, ".tga")},
        // A plain word ending in a Quake face name is not cut.
        {"aircraft", quakeTarga, quakeTarga, faceFiles("aircraft", quakeSuffixes, ".tga")},
    };
    int folder = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " in row " + std::to_string(c.selected));
        const fs::path here = dir.path() / ("typed" + std::to_string(folder++));
        fs::create_directories(here);
        SixImage panorama({4, 4}, {4, 4});
        questions.saveAnswers.push_back(FileChoice{(here / c.typed).string(), c.selected});
        ASSERT_EQ(panorama.saveAs(questions), 0);
        EXPECT_EQ(panorama.layout, c.layout);
        EXPECT_EQ(filesIn(here), c.files);
        // Saving again writes the same files, not a second set under a longer name.
        ASSERT_EQ(panorama.save(questions), 0);
        EXPECT_EQ(filesIn(here), c.files);
    }
}

TEST_F(Documents, EverySavedLayoutReopensByEachFileTheUserSees) {
    // Faces cut from a smooth sphere, so that a lossy layout stays close and a face read
    // in the wrong place or turned does not.
    const std::unique_ptr<RawImage> sphereOwner = smoothSphere({128, 64});
    const RawImage& sphere = *sphereOwner;
    SaveBMP(pic("source.bmp").c_str(), sphere.size(), sphere.stride, 3, sphere.pixels);
    auto original = load(sphereBmp, "source.bmp");
    original->photoSource.reset();  // every save computes its pictures from the faces

    constexpr int photoJpeg = 11, photoPng = 12;
    const auto background = [](const std::string& scene, const std::string& extension) {
        std::vector<std::string> files{scene};
        for (const char* suffix : faceSuffixes) files.push_back(std::string("a") + suffix + extension);
        return files;
    };
    struct Case {
        int row;
        const char* savedAs;
        std::vector<std::string> seen;
        double tolerance;  // mean difference allowed; 0: the same pixels
    } cases[] = {
        {studioTarga, "a_FR.tga", {"a_FR.tga", "a_BK.tga", "a_LF.tga", "a_RT.tga", "a_UP.tga", "a_DN.tga"}, 0},
        {quakeTarga, "aft.tga", {"aft.tga", "abk.tga", "alf.tga", "art.tga", "aup.tga", "adn.tga"}, 0},
        {quakeTargaPcx, "aft.pcx", {"aft.tga", "aup.tga"}, 0},
        {vrmlPng, "a.wrl", background("a.wrl", ".png"), 0},
        {vrmlJpeg, "a.wrl", background("a.wrl", ".jpg"), 4},
        {5, "a.ivr", background("a.ivr", ".jpg"), 4},
        {ivrBackgroundBmp, "a.ivr", background("a.ivr", ".bmp"), 0},
        {7, "a.ivr", {"a.ivr", "a.jpg"}, 3},
        {sphereBmp, "a.ivr", {"a.ivr", "a.bmp"}, 1.5},
        {9, "a.ivr", {"a.ivr", "a.jpg"}, 5},
        {stripBmp, "a.ivr", {"a.ivr", "a.bmp"}, 0},
        {photoJpeg, "a.jpg", {"a.jpg"}, 2},
        {photoPng, "a.png", {"a.png"}, 1.5},
        {13, "a_ft.jpg", {"a_ft.jpg", "a_bk.jpg", "a_lf.jpg", "a_rt.jpg", "a_up.jpg", "a_dn.jpg"}, 4},
        {14, "a_ft.png", {"a_ft.png", "a_up.png"}, 0},
        {webPage, "index.html", {"index.html"}, 4},
    };
    ASSERT_EQ(std::size(cases), static_cast<std::size_t>(formatTable().saveCount()));
    for (const Case& c : cases) {
        const fs::path folder = dir.path() / ("row" + std::to_string(c.row));
        fs::create_directories(folder);
        original->fileName = (folder / c.savedAs).string();
        original->layout = c.row;
        ASSERT_EQ(original->write(), 0) << c.row;
        for (const std::string& seen : c.seen) {
            SCOPED_TRACE(seen + " of row " + std::to_string(c.row));
            // Picked with a type that does not fit the name.
            questions.openAnswers.push_back(FileChoice{(folder / seen).string(), studioTarga});
            SixImage reopened;
            ASSERT_EQ(reopened.open(questions), 0);
            for (int i = 0; i < faceCount; ++i) {
                if (c.tolerance == 0)
                    EXPECT_TRUE(samePixels(*reopened.faces[i], *original->faces[i])) << "face " << i;
                else
                    EXPECT_LE(meanDifference(*reopened.faces[i], *original->faces[i]), c.tolerance) << "face " << i;
            }
            // A scene file and a BMP picture name the layout saved; a JPEG picture opens
            // as a photo, a Targa face of the Targa & PCX pair as a Quake Targa sky. (The
            // pair's PCX faces hold 256 colours at 256 x 256: not the panorama saved.)
            const std::string extension = extensionOf(seen);
            int layout = c.row;
            if (extension == ".jpg" && (c.row == 7 || c.row == 9)) layout = photoJpeg;
            if (extension == ".tga" && c.row == quakeTargaPcx) layout = quakeTarga;
            EXPECT_EQ(reopened.layout, layout);
        }
    }
}

TEST_F(Documents, SaveWithANameWritesUnderTheWaitCursorWithoutAsking) {
    auto panorama = patterned({8, 8}, {8, 8});
    panorama->fileName = pic("pano_FR.tga");
    panorama->layout = studioTarga;
    EXPECT_EQ(panorama->save(questions), 0);
    EXPECT_TRUE(questions.saveQuestions.empty());
    EXPECT_EQ(questions.waitsBegun, 1);
    EXPECT_EQ(questions.waitDepth, 0);
    EXPECT_TRUE(fs::exists(pic("pano_BK.tga")));
}

// A save that would replace read-only files asks first, with the wait cursor paused: No
// writes nothing, Yes replaces every one of them, keeping their modes. write alone refuses.
TEST_F(Documents, SaveOverReadOnlyFilesAsksBeforeReplacingThem) {
    auto panorama = patterned({8, 8}, {8, 8});
    panorama->fileName = pic("pano_FR.tga");
    panorama->layout = studioTarga;
    ASSERT_EQ(panorama->write(), 0);
    for (const char* name : {"pano_LF.tga", "pano_UP.tga"}) fs::permissions(pic(name), fs::perms::owner_read);
    std::map<std::string, std::string> before;
    for (const std::string& name : pics()) before[name] = fileText(pic(name));
    for (auto& face : panorama->faces) fill(*face, 200);
    const auto unchanged = [&] {
        for (const auto& [name, text] : before)
            if (fileText(pic(name)) != text) return false;
        return pics().size() == before.size();
    };
    EXPECT_IO_EXCEPTION(panorama->write(), ioException::writing, pic("pano_LF.tga"), readOnlyReason);
    EXPECT_TRUE(unchanged());

    const std::string question =
        "The file " + pic("pano_LF.tga") + " is read-only.\nReplace it, and any other read-only file of this save?";
    EXPECT_EQ(panorama->save(questions), 1);  // no answer: No
    EXPECT_EQ(questions.replaceReadOnlyTexts, std::vector<std::string>{question});
    EXPECT_TRUE(unchanged());

    questions.replaceReadOnlyAnswers = {true};
    EXPECT_EQ(panorama->save(questions), 0);
    EXPECT_EQ(questions.replaceReadOnlyTexts.size(), 2u);
    EXPECT_FALSE(questions.askedWhileWaiting);
    EXPECT_EQ(questions.waitDepth, 0);
    for (const auto& [name, text] : before) EXPECT_NE(fileText(pic(name)), text) << name;
    for (const char* name : {"pano_LF.tga", "pano_UP.tga"})
        EXPECT_EQ(fs::status(pic(name)).permissions() & fs::perms::all, fs::perms::owner_read) << name;
    // The answer held for that save only.
    EXPECT_FALSE(panorama->replaceReadOnlyFiles);
}

TEST_F(Documents, OpenNamesThePanoramaSoThatSaveWritesTheSameFiles) {
    struct Case {
        int saveRow;
        const char* savedAs;
        const char* picked;
        const char* fileName;
    } cases[] = {
        {vrmlPng, "pano.wrl", "pano_RT.png", "pano.wrl"},
        {studioTarga, "pano_FR.tga", "pano_DN.tga", "pano_FR.tga"},
        {quakeTargaPcx, "skyft.pcx", "skybk.tga", "skyft.pcx"},
        {stripBmp, "pano.ivr", "pano.bmp", "pano.ivr"},
    };
    for (const Case& c : cases) {
        auto original = patterned({8, 8}, {8, 8});
        writeAs(*original, c.savedAs, c.saveRow);
        auto panorama = std::make_unique<SixImage>();
        questions.openAnswers.push_back(FileChoice{pic(c.picked), c.saveRow});
        ASSERT_EQ(panorama->open(questions), 0) << c.picked;
        EXPECT_EQ(panorama->layout, c.saveRow) << c.picked;
        EXPECT_EQ(panorama->fileName, pic(c.fileName)) << c.picked;
        EXPECT_EQ(formatTable().saveBase(panorama->fileName, panorama->layout),
                  formatTable().openBase(pic(c.picked), c.saveRow));
        EXPECT_EQ(panorama->modified, 0);
    }
    std::uint32_t type = 0;
    ASSERT_EQ(readNumberSetting("LastType", type, 0, 1), 1);
    EXPECT_EQ(type, static_cast<std::uint32_t>(stripBmp));
}

TEST_F(Documents, OpenCancelledChangesNothing) {
    auto panorama = std::make_unique<SixImage>();
    EXPECT_EQ(panorama->open(questions), 1);
    EXPECT_EQ(panorama->faces[0], nullptr);
    ASSERT_EQ(questions.openQuestions.size(), 1u);
    EXPECT_EQ(questions.openQuestions[0].type, 0);
}

TEST_F(Documents, OpenFromATemplateLeavesThePanoramaUnnamed) {
    auto original = patterned({8, 8}, {8, 8});
    writeAs(*original, "pano.wrl", vrmlPng);
    writeStringSetting("TemplatePath", (dir.path() / "pics").string());
    auto panorama = std::make_unique<SixImage>();
    questions.openAnswers.push_back(FileChoice{pic("pano_FR.png"), vrmlPng});
    EXPECT_EQ(panorama->open(questions, true), 0);
    EXPECT_EQ(questions.openQuestions[0].folder, (dir.path() / "pics").string());
    EXPECT_EQ(questions.openQuestions[0].type, vrmlPng);
    EXPECT_TRUE(panorama->fileName.empty());
    EXPECT_EQ(panorama->title, nullptr);
    EXPECT_EQ(panorama->layout, -1);
    EXPECT_TRUE(samePixels(*panorama->faces[Left], *original->faces[Left]));
}

TEST_F(Documents, QuerySaveChangesAsksOnlyWhenModified) {
    auto panorama = patterned({4, 4}, {4, 4});
    EXPECT_EQ(panorama->querySaveChanges(questions), 0);
    EXPECT_TRUE(questions.saveChangesTexts.empty());

    panorama->modified = 1;
    questions.saveChangesAnswers = {MessageAnswer::no, MessageAnswer::cancel, MessageAnswer::yes};
    EXPECT_EQ(panorama->querySaveChanges(questions), 0);
    EXPECT_EQ(panorama->querySaveChanges(questions), 1);
    EXPECT_EQ(panorama->querySaveChanges(questions), 1);  // Yes, then the Save-as dialog is cancelled
    EXPECT_EQ(questions.saveQuestions.size(), 1u);
    EXPECT_EQ(questions.saveChangesTexts[0], "Save changes to Domecast file?");
}

TEST_F(Documents, QuerySaveChangesReportsAFailedSaveAndAsksAgain) {
    auto panorama = patterned({4, 4}, {4, 4});
    panorama->modified = 1;
    panorama->title.reset(new char[5]{'p', 'a', 'n', 'o', 0});
    const std::string unwritable = pic("missing/pano.wrl");
    questions.saveChangesAnswers = {MessageAnswer::yes, MessageAnswer::yes};
    questions.saveAnswers.push_back(FileChoice{unwritable, vrmlPng});
    questions.saveAnswers.push_back(FileChoice{pic("pano.wrl"), vrmlPng});
    EXPECT_EQ(panorama->querySaveChanges(questions), 0);
    EXPECT_EQ(questions.saveChangesTexts, (std::vector<std::string>{"Save changes to pano?", "Save changes to pano?"}));
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0].rfind("IO Error writing " + pic("missing/pano_FR.png"), 0), 0u);
    EXPECT_EQ(panorama->modified, 0);
    EXPECT_TRUE(fs::exists(pic("pano_FR.png")));
}

}  // namespace

namespace {

TEST_F(Documents, SphereOfFaces512Is2048By1024) {
    auto panorama = patterned({512, 512}, {512, 512});
    for (int i = 0; i < faceCount; ++i) fill(*panorama->faces[i], 40 * i + 1);
    writeAs(*panorama, "pano.ivr", sphereBmp);
    EXPECT_EQ(pics(), (std::set<std::string>{"pano.bmp", "pano.ivr"}));
    EXPECT_NE(fileText(pic("pano.ivr")).find("\ttype \"SPHERE\"\r\n"), std::string::npos);
    EXPECT_EQ(readImage(LoadBMP, pic("pano.bmp"))->size(), (Size{2048, 1024}));

    auto loaded = load(-1, "pano.bmp");
    for (int i = 0; i < faceCount; ++i) {
        ASSERT_EQ(loaded->faceSize(i), (Size{512, 512}));
        // Away from the edges each face comes back as it went out.
        const std::uint8_t* centre = loaded->faces[i]->row(256) + 3 * 256;
        EXPECT_NEAR(centre[0], 40 * i + 1, 2) << i;
    }
    EXPECT_EQ(loaded->modified, 1);  // converted, not yet saved
}

TEST_F(Documents, CylindersProposeTheirFieldOfViewWithTheNormalCursor) {
    struct Case {
        int openRow;
        Size size;
        int proposed;
    } cases[] = {{openRows::quickTime, {2048, 512}, 90}, {openRows::bryce, {2048, 512}, 60}, {openRows::quickTime, {400, 100}, 90}};
    for (const Case& c : cases) {
        RawImage image(c.size);
        SaveBMP(pic("cylinder.bmp").c_str(), image.size(), image.stride, 3, image.pixels);
        ScriptedQuestions asked;
        asked.fieldOfViewAnswers.push_back(std::nullopt);  // the prompt was closed
        auto panorama = std::make_unique<SixImage>();
        EXPECT_EQ(panorama->load(asked, c.openRow, pic("cylinder.bmp")), 0);
        EXPECT_EQ(asked.proposedFieldsOfView, std::vector<int>{c.proposed});
        EXPECT_FALSE(asked.askedWhileWaiting);
        EXPECT_EQ(asked.waitDepth, 0);
        EXPECT_EQ(panorama->faceSize(Up), (Size{c.size.width / 4, c.size.width / 4}));
        EXPECT_EQ(panorama->layout, -1);
    }
}

TEST_F(Documents, ANarrowerCylinderAnswerLeavesMoreOfTheCubeWhite) {
    RawImage image(Size{64, 16});  // black
    SaveBMP(pic("cylinder.bmp").c_str(), image.size(), image.stride, 3, image.pixels);
    auto whiteRows = [&](std::optional<int> answer) {
        questions.fieldOfViewAnswers.push_back(answer);
        auto panorama = std::make_unique<SixImage>();
        panorama->load(questions, openRows::quickTime, pic("cylinder.bmp"));
        int white = 0;
        const BGRImage& front = *panorama->faces[Front];
        for (int y = 0; y < front.height; ++y) white += front.row(y)[0] == 0xFF;
        return white;
    };
    // The proposed 90 degrees cover the whole side face.
    EXPECT_EQ(whiteRows(std::nullopt), 0);
    EXPECT_EQ(proposedFov, 90);
    const int at60 = whiteRows(60);
    EXPECT_GT(at60, 0);
    EXPECT_GT(whiteRows(30), at60);
    EXPECT_EQ(proposedFov, 30);
}

}  // namespace
