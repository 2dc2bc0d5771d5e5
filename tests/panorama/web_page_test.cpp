// The "Web page, cube faces" layout without a browser: the files it writes, what the page
// refers to, reopening, and the pages it refuses. tests/tools/web_page_browser_test.cpp
// shows the pages in a real browser.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "image/bgr_image.h"
#include "image/jpeg.h"
#include "panorama/document_files.h"
#include "panorama/format_table.h"
#include "panorama/six_image.h"
#include "panorama/web_page.h"
#include "platform/io_exception.h"
#include "platform/resources.h"
#include "support/face_pixels.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/jpeg_files.h"
#include "support/layout_rows.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> filesUnder(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

std::unique_ptr<SixImage> patterned(std::int32_t side) {
    auto panorama = std::make_unique<SixImage>(Size{side, side}, Size{side, side});
    for (int i = 0; i < faceCount; ++i) paintFace(*panorama->faces[i], i);
    return panorama;
}

// Every URL the page's markup and script give the browser to load: src and href
// attributes, the faces list and the faces script document.write adds.
std::vector<std::string> pageReferences(const std::string& page) {
    std::vector<std::string> urls;
    const std::regex attribute(R"re((?:src|href)=\\?"([^"\\]*)\\?")re");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), attribute); it != std::sregex_iterator(); ++it)
        urls.push_back((*it)[1]);
    const std::size_t list = page.find("var faces = [");
    if (list != std::string::npos) {
        const std::string line = page.substr(list, page.find('\n', list) - list);
        const std::regex literal("\"([^\"]*)\"");
        for (auto it = std::sregex_iterator(line.begin(), line.end(), literal); it != std::sregex_iterator(); ++it)
            urls.push_back((*it)[1]);
    }
    return urls;
}

// A URL of the page as a file in its folder: relative, no way up, percent escapes decoded.
std::optional<fs::path> insideFolder(const fs::path& folder, const std::string& url) {
    if (url.empty() || url.find(':') != std::string::npos || url[0] == '/' || url.find("..") != std::string::npos ||
        url.find('?') != std::string::npos || url.find('#') != std::string::npos)
        return std::nullopt;
    std::string name;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            name += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            name += url[i];
        }
    }
    return folder / name;
}

class WebPage : public ::testing::Test {
protected:
    std::string site(const std::string& name) const { return (dir.path() / "site" / name).string(); }

    void write(SixImage& panorama, const std::string& name, PageView view = {}) {
        panorama.fileName = site(name);
        panorama.layout = saveRows::webPage;
        panorama.pageView = view;
        ASSERT_EQ(panorama.write(), 0);
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScriptedQuestions questions;
};

TEST_F(WebPage, WritesAFolderThatReferencesOnlyItsOwnFiles) {
    auto panorama = patterned(16);
    panorama->title = makeTitle("Harbour");
    write(*panorama, "index.html", {90, 10});  // the folder "site" is made

    EXPECT_EQ(filesUnder(dir.path() / "site"),
              (std::set<std::string>{"index.html", "index_FR.jpg", "index_BK.jpg", "index_LF.jpg", "index_RT.jpg",
                                     "index_UP.jpg", "index_DN.jpg", "index_faces.js", "pannellum",
                                     "pannellum/pannellum.js", "pannellum/pannellum.css", "pannellum/COPYING"}));
    // The viewer's files as vendored, its licence among them.
    for (const auto& [type, file] : {std::pair{"SCRIPT", "pannellum.js"}, {"STYLE", "pannellum.css"},
                                     {"LICENSE", "COPYING"}}) {
        const auto resource = findResource("PANNELLUM", type);
        EXPECT_EQ(readBytes(site(std::string("pannellum/") + file)),
                  std::vector<std::uint8_t>(resource.begin(), resource.end()))
            << file;
    }

    const std::string page = fileText(site("index.html"));
    const std::vector<std::string> urls = pageReferences(page);
    EXPECT_EQ(urls.size(), 9u) << page;  // style sheet, viewer, faces script, six faces
    for (const std::string& url : urls) {
        const std::optional<fs::path> file = insideFolder(dir.path() / "site", url);
        ASSERT_TRUE(file) << url;
        EXPECT_TRUE(fs::is_regular_file(*file)) << url;
    }
    // The style sheet's own pictures are inline.
    const std::string style = fileText(site("pannellum/pannellum.css"));
    const std::regex cssUrl(R"(url\(\s*['"]?([^'")]*))");
    int styleUrls = 0;
    for (auto it = std::sregex_iterator(style.begin(), style.end(), cssUrl); it != std::sregex_iterator(); ++it, ++styleUrls)
        EXPECT_EQ((*it)[1].str().rfind("data:", 0), 0u) << (*it)[1];
    EXPECT_GT(styleUrls, 0);

    // The title, the direction and the faces in the viewer's order.
    EXPECT_NE(page.find("<title>Harbour</title>"), std::string::npos);
    EXPECT_NE(page.find("title: \"Harbour\""), std::string::npos);
    EXPECT_NE(page.find("yaw: 90,"), std::string::npos);
    EXPECT_NE(page.find("pitch: 10,"), std::string::npos);
    EXPECT_NE(page.find(R"(["index_FR.jpg", "index_RT.jpg", "index_BK.jpg", "index_LF.jpg", "index_UP.jpg", "index_DN.jpg"])"),
              std::string::npos);
    // The faces script holds the face files' own bytes, in the same order.
    const std::string script = fileText(site("index_faces.js"));
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 10);
    EXPECT_NE(script.find("\"data:image/jpeg;base64,/9j/"), std::string::npos);
    EXPECT_EQ(panorama->title.get(), std::string("Harbour"));
}

TEST_F(WebPage, ReopensAsThePanoramaItShows) {
    auto original = patterned(32);
    original->title = makeTitle("Harbour at dusk");
    write(*original, "index.html");

    questions.openAnswers.push_back(FileChoice{site("index.html"), 0});
    SixImage reopened;
    ASSERT_EQ(reopened.open(questions), 0);
    for (int i = 0; i < faceCount; ++i)
        EXPECT_LE(meanDifference(*reopened.faces[i], *original->faces[i]), 3) << "face " << i;
    EXPECT_EQ(reopened.layout, saveRows::webPage);
    EXPECT_EQ(reopened.fileName, site("index.html"));
    EXPECT_EQ(reopened.title.get(), std::string("Harbour at dusk"));
}

TEST_F(WebPage, DirectionsAndNamesAreWrittenSoThatTheBrowserAndTheReaderAgree) {
    struct Case {
        const char* fileName;
        const char* title;
        PageView view;
        const char* expected;  // in the page
    } cases[] = {
        {"index.html", "a", {270, 0}, "yaw: -90,"},
        {"index.html", "a", {-450, 0}, "yaw: -90,"},
        {"index.html", "a", {180, 100}, "pitch: 90,"},
        {"index.html", "</script><b>\"&", {0, 0}, "<title>&lt;/script&gt;&lt;b&gt;&quot;&amp;</title>"},
        {"index.html", "</script><b>\"&", {0, 0}, R"(title: "\u003c/script\u003e\u003cb\u003e\"\u0026")"},
        // A name a URL would misread: its faces are named with escapes.
        {"my #1 100%.html", "a", {0, 0}, "\"my%20%231%20100%25_FR.jpg\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        fs::remove_all(dir.path() / "site");
        auto panorama = patterned(4);
        panorama->title = makeTitle(c.title);
        write(*panorama, c.fileName, c.view);
        EXPECT_NE(fileText(site(c.fileName)).find(c.expected), std::string::npos) << fileText(site(c.fileName));
        const PageFaces faces = readWebPage(site(c.fileName));
        EXPECT_EQ(faces.title, c.title);
        EXPECT_EQ(faces.base, site(fs::path(c.fileName).stem().string()));
        EXPECT_EQ(faces.extension, ".jpg");
    }
}

TEST_F(WebPage, FacesLargerThanTheViewerTakesAreWrittenAtItsLimitAndTheMessageSaysSo) {
    MessageRecorder messages;
    SixImage panorama({maxPageFaceSide + 1, maxPageFaceSide + 1}, {maxPageFaceSide + 1, maxPageFaceSide + 1});
    write(panorama, "index.html");
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_NE(messages.texts()[0].find("2049 pixels wide"), std::string::npos) << messages.texts()[0];
    EXPECT_NE(messages.texts()[0].find("2048 pixels"), std::string::npos) << messages.texts()[0];
    for (const char* suffix : faceSuffixes) {
        RawImage face(Size{0, 0});
        LoadJPEG(site(std::string("index") + suffix + ".jpg").c_str(), &RawImage::sink, &face);
        EXPECT_EQ(face.size(), (Size{maxPageFaceSide, maxPageFaceSide})) << suffix;
    }

    // At the limit nothing is said; caps of another size are brought to the sides' size.
    messages.clear();
    SixImage small({maxPageFaceSide, maxPageFaceSide}, {64, 64});
    write(small, "small.html");
    EXPECT_TRUE(messages.texts().empty());
    RawImage up(Size{0, 0});
    LoadJPEG(site("small_UP.jpg").c_str(), &RawImage::sink, &up);
    EXPECT_EQ(up.size(), (Size{maxPageFaceSide, maxPageFaceSide}));
}

TEST_F(WebPage, APageDomecastDidNotWriteIsRefusedWithItsReason) {
    auto panorama = patterned(4);
    write(*panorama, "index.html");
    const std::string good = fileText(site("index.html"));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string page = good;
        const std::size_t at = page.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? page : page.replace(at, from.size(), to);
    };
    struct Case {
        std::string page;
        const char* reason;
    } cases[] = {
        {"<!DOCTYPE html><html><body>Hello</body></html>", "not a web page written by Domecast"},
        {replaced("var faces = [", "var pictures = ["), "the page names no faces"},
        {replaced("\"index_DN.jpg\"", ""), "the page does not name six faces"},
        {replaced("\"index_DN.jpg\"]", "\"index_DN.jpg\", \"x_FR.jpg\"]"), "the page names more than six faces"},
        {replaced("\"index_FR.jpg\"", "index_FR.jpg"), "the page's face list is not a list of names"},
        {replaced("\"index_DN.jpg\"]", "\"index_DN.jpg\""), "the page's face list is not a list of names"},
        {replaced("\"index_UP.jpg\"", "\"../index_UP.jpg\""), "the page's faces are not the faces of one panorama"},
        {replaced("\"index_FR.jpg\"", "\"http://example.com/index_FR.jpg\""),
         "the page's front face is not a picture of a panorama"},
        {replaced("\"index_FR.jpg\"", "\"index_RT.jpg\""), "the page's front face is not a picture of a panorama"},
        {replaced("\"index_UP.jpg\"", "\"other_UP.jpg\""), "the page's faces are not the faces of one panorama"},
        {replaced("\"index_FR.jpg\"", "\"index_FR.png\""), "the page's faces are not JPEG pictures"},
        {replaced("\"index_FR.jpg\"", "\"index_FR.jpg%2\""), "the page's front face is not a picture of a panorama"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        writeBytes(site("other.html"), std::vector<std::uint8_t>(c.page.begin(), c.page.end()));
        SixImage panorama2;
        EXPECT_IO_EXCEPTION(panorama2.load(questions, openRows::webPage, site("other.html")), ioException::reading,
                            site("other.html"), c.reason);
    }
    SixImage missing;
    EXPECT_IO_EXCEPTION(missing.load(questions, openRows::webPage, site("gone.html")), ioException::opening,
                        site("gone.html"), anyReason);
}

TEST_F(WebPage, AReopenedPageKeepsItsViewForTheWindowAndTheNextSave) {
    struct Case {
        PageView written;
        PageView read;  // as the page holds it: the heading within (-180, 180]
    } cases[] = {
        {{90, 10}, {90, 10}},
        {{270, -45}, {-90, -45}},
        {{-135.5, 90}, {-135.5, 90}},
        {{0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.heading);
        auto panorama = patterned(8);
        write(*panorama, "index.html", c.written);
        SixImage reopened;
        ASSERT_EQ(reopened.load(questions, openRows::webPage, site("index.html")), 0);
        ASSERT_TRUE(reopened.openedView);
        EXPECT_DOUBLE_EQ(reopened.openedView->heading, c.read.heading);
        EXPECT_DOUBLE_EQ(reopened.openedView->pitch, c.read.pitch);
        // Saved again without a view of its own, the page looks where it did.
        reopened.fileName = site("again.html");
        reopened.layout = saveRows::webPage;
        ASSERT_EQ(reopened.write(), 0);
        const std::optional<PageView> again = readWebPage(site("again.html")).view;
        ASSERT_TRUE(again);
        EXPECT_DOUBLE_EQ(again->heading, c.read.heading);
        EXPECT_DOUBLE_EQ(again->pitch, c.read.pitch);
    }

    // A page whose view was edited into something else opens looking ahead.
    const std::string page = fileText(site("index.html"));  // yaw: 0, pitch: 0
    const struct {
        const char* from;
        const char* to;
    } edits[] = {
        {"  yaw: 0,", "  yaw: ahead,"},
        {"  yaw: 0,", "  yaw: 1e999,"},
        {"  pitch: 0,", "  pitch: nan,"},
        {"  pitch: 0,", "  pitch: ,"},
        {"  yaw: 0,", "  yaw: 12345678901234567890123456789012345678901234567890,"},
        {"  yaw: 0,", "  yaw: 0"},  // the line cut at the end of the file
        {"  pitch: 0,", "  elevation: 0,"},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.to);
        std::string text = page;
        const std::size_t at = text.find(edit.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, std::string(edit.from).size(), edit.to);
        if (std::string(edit.to) == "  yaw: 0") text.resize(at + 8);
        writeBytes(site("edited.html"), std::vector<std::uint8_t>(text.begin(), text.end()));
        SixImage edited;
        ASSERT_EQ(edited.load(questions, openRows::webPage, site("edited.html")), 0);
        EXPECT_FALSE(edited.openedView);
        EXPECT_EQ(edited.pageView.heading, 0);
        EXPECT_EQ(edited.pageView.pitch, 0);
    }
}

namespace {

// Faces with a fine pattern over them, whose blocks a second encoding would change.
std::unique_ptr<SixImage> textured(std::int32_t side) {
    auto panorama = std::make_unique<SixImage>(Size{side, side}, Size{side, side});
    for (int i = 0; i < faceCount; ++i) {
        BGRImage& face = *panorama->faces[i];
        paintFace(face, i);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                if ((x / 3 + y / 5 + i) % 4 == 0) face.row(y)[3 * x + 1] ^= 0x50;
    }
    return panorama;
}

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        text += digits[(n >> 18) & 63];
        text += digits[(n >> 12) & 63];
        text += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return text;
}

// The blocks (row, column, in the file's order from the top) whose coefficients differ.
std::vector<std::pair<unsigned, unsigned>> changedBlocks(const JpegDump& before, const JpegDump& after) {
    std::vector<std::pair<unsigned, unsigned>> changed;
    for (std::size_t c = 0; c < before.components.size() && c < after.components.size(); ++c) {
        const JpegDump::Component& a = before.components[c];
        const JpegDump::Component& b = after.components[c];
        for (unsigned row = 0; row < a.heightInBlocks; ++row)
            for (unsigned column = 0; column < a.widthInBlocks; ++column)
                if (!std::equal(a.block(row, column), a.block(row, column) + 64, b.block(row, column)))
                    changed.emplace_back(row, column);
    }
    return changed;
}

}  // namespace

TEST_F(WebPage, AReopenedPageIsSavedBlockForBlockWhereNothingWasPainted) {
    struct Case {
        const char* what;
        bool paint;  // a square on Front, face rows 20-27 and columns 18-25 (bottom-up)
    } cases[] = {{"unpainted", false}, {"painted", true}};
    const std::int32_t side = 44;  // the last block row and column cut by the edge
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir.path() / "site");
        fs::remove_all(dir.path() / "again");
        auto panorama = textured(side);
        write(*panorama, "index.html", {30, 5});
        SixImage reopened;
        ASSERT_EQ(reopened.load(questions, openRows::webPage, site("index.html")), 0);
        if (c.paint)
            for (int row = 20; row < 28; ++row)
                for (int column = 18; column < 26; ++column) {
                    std::uint8_t* p = reopened.faces[Front]->row(row) + 3 * column;
                    p[0] = 30, p[1] = 40, p[2] = 220;
                    reopened.faceChanges.mark(Front, column, row);
                }
        reopened.fileName = (dir.path() / "again" / "index.html").string();
        reopened.layout = saveRows::webPage;
        ASSERT_EQ(reopened.write(), 0);

        const std::string script = fileText((dir.path() / "again" / "index_faces.js").string());
        for (int i = 0; i < faceCount; ++i) {
            SCOPED_TRACE(faceSuffixes[i]);
            const std::string name = std::string("index") + faceSuffixes[i] + ".jpg";
            const JpegDump before = dumpJpeg(site(name));
            const JpegDump after = dumpJpeg((dir.path() / "again" / name).string());
            ASSERT_TRUE(before.ok && after.ok);
            ASSERT_EQ(after.components.size(), before.components.size());
            const auto changed = changedBlocks(before, after);
            if (c.paint && i == Front) {
                // Face rows 20-27 are file rows 16-23 (block row 2), columns 18-25 block
                // columns 2 and 3; every colour is sampled at every pixel.
                EXPECT_FALSE(changed.empty());
                for (const auto& [row, column] : changed)
                    EXPECT_TRUE(row == 2 && (column == 2 || column == 3)) << "block " << row << ", " << column;
            } else {
                EXPECT_TRUE(changed.empty()) << changed.size() << " blocks changed";
            }
            // The faces script carries the face file's own bytes.
            const std::string url = "data:image/jpeg;base64," +
                                    base64(readBytes((dir.path() / "again" / name).string())) + "\"";
            EXPECT_NE(script.find(url), std::string::npos);
        }
    }
}

TEST_F(WebPage, AMissingFaceIsListedAndLeftWhiteAsInTheOtherFaceLayouts) {
    auto panorama = patterned(8);
    write(*panorama, "index.html");
    fs::remove(site("index_UP.jpg"));
    SixImage reopened;
    ASSERT_EQ(reopened.load(questions, openRows::webPage, site("index.html")), 0);
    ASSERT_EQ(reopened.unreadFaces.size(), 1u);
    EXPECT_EQ(reopened.unreadFaces[0].path, site("index_UP.jpg"));
    EXPECT_TRUE(allWhite(*reopened.faces[Up]));
    EXPECT_LE(meanDifference(*reopened.faces[Front], *panorama->faces[Front]), 3);
}

}  // namespace
