// Six-file layouts with face files missing or unreadable: which faces are white, which
// files the load lists for the user, the message when none can be read, and which of the
// two files of a "QuakeII, Targa & PCX" face is read.
#include "panorama/unread_faces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "image/tga.h"
#include "panorama/format_table.h"
#include "panorama/six_image.h"
#include "platform/io_exception.h"
#include "support/face_pixels.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Rows of the format table (open and save share these indices).
constexpr int quakeTarga = 1;
constexpr int quakeTargaPcx = 2;
constexpr int vrmlPng = 3;
constexpr int skyBoxPngOpen = 16;

std::unique_ptr<SixImage> patterned(std::int32_t side) {
    auto panorama = std::make_unique<SixImage>(Size{side, side}, Size{side, side});
    for (int i = 0; i < faceCount; ++i) paintFace(*panorama->faces[i], i);
    return panorama;
}

// The exception a statement throws, or a default one of kind -1 when it throws none.
ioException thrown(const std::function<void()>& statement) {
    try {
        statement();
    } catch (const ioException& e) {
        return e;
    }
    return ioException{"", -1};
}

class UnreadFaces : public ::testing::Test {
protected:
    std::string pic(const std::string& name) const { return dir.file(name); }

    void writeAs(SixImage& panorama, const std::string& name, int layout) {
        panorama.fileName = pic(name);
        panorama.layout = layout;
        ASSERT_EQ(panorama.write(), 0);
    }
    void garble(const std::string& name) { std::ofstream(pic(name), std::ios::binary) << "not a picture"; }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScriptedQuestions questions;
    MessageRecorder messages;
};

TEST_F(UnreadFaces, TheLoadListsExactlyTheFilesOfTheWhiteFaces) {
    struct Case {
        const char* title;
        int layout;
        const char* saveName;
        const char* openName;
        std::vector<const char*> removed, garbled;
        std::vector<UnreadFace> unread;  // names in the folder
        std::vector<int> whiteFaces;
    };
    const Case cases[] = {
        {"all there", vrmlPng, "pano.wrl", "pano_FR.png", {}, {}, {}, {}},
        {"one missing", vrmlPng, "pano.wrl", "pano_FR.png", {"pano_UP.png"}, {}, {{"pano_UP.png", true}}, {Up}},
        {"missing and unreadable, in face order",
         vrmlPng, "pano.wrl", "pano_RT.png", {"pano_DN.png"}, {"pano_LF.png"},
         {{"pano_LF.png", false}, {"pano_DN.png", true}}, {Left, Down}},
        // Quake stores Front in "bk": the list names files, the faces are the panorama's.
        {"quake", quakeTarga, "skyft.tga", "skyft.tga", {"skybk.tga"}, {}, {{"skybk.tga", true}}, {Front}},
        {"targa and pcx both gone", quakeTargaPcx, "skyft.pcx", "skyft.pcx", {"skyup.tga", "skyup.pcx"}, {},
         {{"skyup.pcx", true}, {"skyup.tga", true}}, {Up}},
        {"targa gone, its pcx read", quakeTargaPcx, "skyft.pcx", "skyft.tga", {"skyup.tga"}, {}, {}, {}},
        {"targa unreadable, its pcx read", quakeTargaPcx, "skyft.pcx", "skyft.tga", {}, {"skyrt.tga"}, {}, {}},
        {"targa unreadable, pcx gone", quakeTargaPcx, "skyft.pcx", "skyft.pcx", {"skyrt.pcx"}, {"skyrt.tga"},
         {{"skyrt.tga", false}, {"skyrt.pcx", true}}, {Right}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        fs::remove_all(dir.path());
        fs::create_directories(dir.path());
        auto saved = patterned(8);
        writeAs(*saved, c.saveName, c.layout);
        for (const char* name : c.removed) ASSERT_TRUE(fs::remove(pic(name))) << name;
        for (const char* name : c.garbled) garble(name);

        SixImage loaded;
        ASSERT_EQ(loaded.load(questions, c.layout, pic(c.openName)), 0);
        std::vector<UnreadFace> expected = c.unread;
        for (UnreadFace& face : expected) face.path = pic(face.path);
        ASSERT_EQ(loaded.unreadFaces.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(loaded.unreadFaces[i].path, expected[i].path);
            EXPECT_EQ(loaded.unreadFaces[i].missing, expected[i].missing) << expected[i].path;
        }
        for (int i = 0; i < faceCount; ++i) {
            const bool white = std::find(c.whiteFaces.begin(), c.whiteFaces.end(), i) != c.whiteFaces.end();
            EXPECT_EQ(allWhite(*loaded.faces[i]), white) << "face " << i;
        }
        EXPECT_TRUE(messages.texts().empty()) << "the caller reports, not the load";
    }
}

TEST_F(UnreadFaces, TheMessageNamesEachFileOnceWithWhatWasWrong) {
    EXPECT_EQ(unreadFacesMessage({}), "");
    EXPECT_EQ(unreadFacesMessage({{"/p/pano_UP.png", true}}),
              "This face file could not be read; its face is left white:\n/p/pano_UP.png (not found)");
    EXPECT_EQ(unreadFacesMessage({{"/p/pano_LF.png", false}, {"/p/pano_DN.png", true}}),
              "These face files could not be read; their faces are left white:\n"
              "/p/pano_LF.png (unreadable)\n/p/pano_DN.png (not found)");

    reportUnreadFaces({});
    EXPECT_TRUE(messages.texts().empty());
    reportUnreadFaces({{"/p/a_UP.png", true}, {"/p/a_DN.png", true}});
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, unreadFacesMessage({{"/p/a_UP.png", true}, {"/p/a_DN.png", true}}));
}

TEST_F(UnreadFaces, ALoadThatReadsNoFaceSaysWhichNamesItLookedFor) {
    struct Case {
        const char* title;
        int openRow;
        const char* openName;
        std::vector<const char*> garbled;
        std::string path;  // of the exception, in the folder
        std::string message;
    };
    const Case cases[] = {
        {"none there", vrmlPng, "world_FR.png", {}, "world_*.png",
         "No faces found for world: looked for world_FR.png, world_BK.png, world_LF.png, world_RT.png, "
         "world_UP.png, world_DN.png"},
        {"sky box", skyBoxPngOpen, "world_ft.png", {}, "world_*.png",
         "No faces found for world: looked for world_ft.png, world_bk.png, world_lf.png, world_rt.png, "
         "world_up.png, world_dn.png"},
        {"both files of each face", quakeTargaPcx, "skyft.pcx", {}, "sky_*.pcx",
         "No faces found for sky: looked for skyft.pcx, skyft.tga, skybk.pcx, skybk.tga, skylf.pcx, skylf.tga, "
         "skyrt.pcx, skyrt.tga, skyup.pcx, skyup.tga, skydn.pcx, skydn.tga"},
        {"there but unreadable", vrmlPng, "world_FR.png", {"world_FR.png", "world_UP.png"}, "world_*.png",
         "No face of world could be read:\n" + dir.file("world_FR.png") + " (unreadable)\n" +
             dir.file("world_BK.png") + " (not found)\n" + dir.file("world_LF.png") + " (not found)\n" +
             dir.file("world_RT.png") + " (not found)\n" + dir.file("world_UP.png") +
             " (unreadable)\n" + dir.file("world_DN.png") + " (not found)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        fs::remove_all(dir.path());
        fs::create_directories(dir.path());
        for (const char* name : c.garbled) garble(name);
        SixImage empty;
        const ioException e = thrown([&] { empty.load(questions, c.openRow, pic(c.openName)); });
        EXPECT_EQ(e.kind, ioException::reading);
        EXPECT_EQ(e.path, pic(c.path));
        EXPECT_EQ(e.message, c.message);
    }
}

// Saving "QuakeII, Targa & PCX" writes each face as a 256 x 256 PCX by default and as a
// Targa at full size; reopened by either file, the panorama keeps its Targa faces.
TEST_F(UnreadFaces, TargaAndPcxOpenedByThePcxKeepsTheTargaSize) {
    auto saved = patterned(512);
    writeAs(*saved, "skyft.pcx", quakeTargaPcx);
    SixImage loaded;
    ASSERT_EQ(loaded.load(questions, -1, pic("skyft.pcx")), 0);
    for (int i = 0; i < faceCount; ++i) EXPECT_TRUE(samePixels(*loaded.faces[i], *saved->faces[i])) << i;

    loaded.fileName = pic("skyft.pcx");
    loaded.layout = quakeTargaPcx;
    ASSERT_EQ(loaded.write(), 0);
    for (const char* suffix : quakeSuffixes) {
        auto targa = std::make_unique<RawImage>(Size{0, 0});
        LoadTGA(pic(std::string("sky") + suffix + ".tga").c_str(), &RawImage::sink, targa.get());
        EXPECT_EQ(targa->size(), (Size{512, 512})) << suffix;
    }
}

TEST_F(UnreadFaces, APcxWrittenAfterItsTargaIsRead) {
    auto saved = patterned(32);
    writeAs(*saved, "skyft.pcx", quakeTargaPcx);
    // Quake's "rt" file holds Right; the PCX is stored at 256 x 256.
    const fs::file_time_type targaTime = fs::last_write_time(pic("skyrt.tga"));
    fs::last_write_time(pic("skyrt.pcx"), targaTime + std::chrono::seconds(5));
    fs::last_write_time(pic("skylf.tga"), fs::last_write_time(pic("skylf.pcx")));  // as new: the Targa
    SixImage loaded;
    ASSERT_EQ(loaded.load(questions, quakeTargaPcx, pic("skyft.tga")), 0);
    EXPECT_EQ(loaded.faceSize(Right), (Size{256, 256}));
    for (int i : {Front, Back, Left, Up, Down}) EXPECT_TRUE(samePixels(*loaded.faces[i], *saved->faces[i])) << i;
    EXPECT_TRUE(loaded.unreadFaces.empty());
}

}  // namespace
