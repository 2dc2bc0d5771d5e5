// domecast-cli run as a user runs it: real files, real exit statuses.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "image/png.h"
#include "image/tga.h"
#include "support/image_files.h"
#include "support/jpeg_files.h"
#include "support/programs.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"

namespace {

// When domecast-cli starts this test program as the "paint program", it acts as one:
// DOMECAST_TEST_PAINT=red paints a red 20 x 20 square in the middle of the picture and
// saves it; =none exits without saving.
struct PaintProgramMode {
    PaintProgramMode() {
        const char* mode = std::getenv("DOMECAST_TEST_PAINT");
        if (mode == nullptr) return;
        std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(cmdline)), {});
        const std::string path = all.substr(all.find('\0') + 1).c_str();
        if (std::string(mode) == "red") {
            RawImage picture(path.c_str());
            for (int y = picture.height / 2 - 10; y < picture.height / 2 + 10; ++y)
                for (int x = picture.width / 2 - 10; x < picture.width / 2 + 10; ++x) {
                    std::uint8_t* p = picture.row(y) + 3 * x;
                    p[0] = 0;
                    p[1] = 0;
                    p[2] = 255;
                }
            SaveBMP(path.c_str(), picture.size(), picture.stride, 3, picture.pixels);
        }
        std::_Exit(0);
    }
} paintProgramMode;

// The command line that runs domecast-cli with args, its output going nowhere and its
// errors to errorsPath.
std::string commandLine(const std::vector<std::string>& args, const std::string& errorsPath) {
    std::string command = "'" + programPath("domecast-cli") + "'";
    for (const auto& a : args) command += " '" + a + "'";
    return command + " 2>'" + errorsPath + "' >/dev/null";
}

int exitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int run(const std::vector<std::string>& args) { return exitStatus(std::system(commandLine(args, "/dev/null").c_str())); }

// The command's exit status and what it wrote to stderr.
std::pair<int, std::string> runForErrors(const std::vector<std::string>& args, const std::string& errorsPath) {
    const int status = std::system(commandLine(args, errorsPath).c_str());
    return {exitStatus(status), fileText(errorsPath)};
}

const char* const suffixes[] = {"_FR", "_BK", "_LF", "_RT", "_UP", "_DN"};

class Cli : public testing::Test {
protected:
    void SetUp() override {
        // A smooth 512 x 256 sphere, made into 3DStudio Targa faces of 128 pixels.
        RawImage sphere({512, 256});
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 512; ++x) {
                std::uint8_t* p = sphere.row(y) + 3 * x;
                p[0] = static_cast<std::uint8_t>(x / 2);
                p[1] = static_cast<std::uint8_t>(y);
                p[2] = 128;
            }
        SaveBMP(dir.file("sphere.bmp").c_str(), sphere.size(), sphere.stride, 3, sphere.pixels);
        ASSERT_EQ(run({"convert", dir.file("sphere.bmp"), dir.file("sky_FR.tga"), "--from", "8"}), 0);
    }
    std::string face(const std::string& base, int i) const { return dir.file(base + suffixes[i] + ".tga"); }

    TempDir dir;
};

TEST_F(Cli, ConvertsThroughEverySaveLayoutAndBack) {
    struct Case { const char* name; const char* to; bool lossless; };
    const Case cases[] = {
        {"a_FR.tga", "0", true},         {"bft.tga", "1", true},        {"cft.pcx", "2", false},
        {"d.wrl", "3", true},            {"e.wrl", "4", false},         {"f.ivr", "5", false},
        {"g.ivr", "6", true},            {"h.ivr", "7", false},         {"i.ivr", "8", false},
        {"j.ivr", "9", false},           {"k.ivr", "LivePicture, CUBE, BMP", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(run({"convert", face("sky", 0), dir.file(c.name), "--to", c.to}), 0);
        // Back through the image file the layout wrote, into 3DStudio faces again.
        std::string written = dir.file(c.name);
        const std::string stem = written.substr(0, written.rfind('.'));
        const std::string back = std::string("back_") + c.name;
        const std::string backBase = dir.file(back.substr(0, back.rfind('.')));
        std::string openName;
        if (std::string(c.to) == "3") openName = stem + "_FR.png";
        else if (std::string(c.to) == "4" || std::string(c.to) == "5") openName = stem + "_FR.jpg";
        else if (std::string(c.to) == "6") openName = stem + "_FR.bmp";
        else if (std::string(c.to) == "7" || std::string(c.to) == "9") openName = stem + ".jpg";
        else if (std::string(c.to) == "8" || std::string(c.name) == std::string("k.ivr")) openName = stem + ".bmp";
        else openName = written;
        std::vector<std::string> args = {"convert", openName, backBase + "_FR.tga", "--to", "0"};
        if (std::string(c.to) == "9" || std::string(c.name) == std::string("k.ivr")) {
            args.push_back("--from");
            args.push_back(std::string(c.to) == "9" ? "9" : "10");
        }
        ASSERT_EQ(run(args), 0) << openName;
        for (int i = 0; i < 6; ++i) {
            ASSERT_TRUE(std::filesystem::exists(backBase + suffixes[i] + ".tga"));
            if (c.lossless) {
                EXPECT_EQ(fileText(backBase + suffixes[i] + ".tga"), fileText(face("sky", i))) << i;
            }
        }
    }
}

// JPEGs that libjpeg codes or colours its own way: each converts, keeping what it can, and
// what is written reads back.
TEST_F(Cli, ArithmeticCodedCmykAndYcckJpegsConvertAndReadBack) {
    const RawImage sphere(dir.file("sphere.bmp").c_str());
    const struct {
        const char* what;
        void (*make)(const RawImage& picture, const std::string& ppm, const std::string& jpeg);
        bool cmyk;
    } cases[] = {
        {"arithmetic-coded 4:2:0",
         [](const RawImage& p, const std::string& ppm, const std::string& jpeg) { cjpegFrom(p, ppm, jpeg, "-arithmetic -sample 2x2"); },
         false},
        {"ImageMagick's CMYK (YCCK)", imageMagickCmykFrom, true},
        {"CMYK with APP14",
         [](const RawImage& p, const std::string&, const std::string& jpeg) { writeCmykJpeg(p, jpeg, CmykStorage::adobeCmyk); },
         true},
    };
    for (const auto& c : cases) {
        const std::string in = dir.file("in.jpg"), out = dir.file("out.jpg");
        c.make(sphere, dir.file("in.ppm"), in);
        const auto [status, errors] = runForErrors({"convert", in, out}, dir.file("errors.txt"));
        EXPECT_EQ(status, 0) << c.what;
        EXPECT_EQ(errors, c.cmyk ? "The photo's colours were CMYK; " + out + " holds them as RGB.\n" : "") << c.what;
        const JpegDump written = dumpJpeg(out);
        ASSERT_TRUE(written.ok) << c.what;
        EXPECT_EQ(written.width, 512) << c.what;
        EXPECT_EQ(written.height, 256) << c.what;
        EXPECT_EQ(written.components.size(), 3u) << c.what;
        if (!c.cmyk) {
            // Block for block, still arithmetic-coded.
            const JpegDump source = dumpJpeg(in);
            EXPECT_TRUE(written.arithmetic) << c.what;
            for (std::size_t i = 0; i < source.components.size() && i < written.components.size(); ++i)
                EXPECT_TRUE(written.components[i].coefficients == source.components[i].coefficients) << c.what << " " << i;
        }
        EXPECT_EQ(run({"convert", out, dir.file("back.png")}), 0) << c.what;
    }
}

TEST_F(Cli, ApplyingAnUnchangedRenderChangesNothing) {
    ASSERT_EQ(run({"render", face("sky", 0), dir.file("v.bmp"), "--heading", "-30", "--pitch", "10", "--size", "200x150"}), 0);
    ASSERT_EQ(run({"apply", face("sky", 0), dir.file("v.bmp"), dir.file("out_FR.tga"), "--heading", "-30", "--pitch", "10"}), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(fileText(face("out", i)), fileText(face("sky", i))) << i;
}

// The pixels djpeg decodes from a JPEG file, as its binary PPM (djpeg is in
// libjpeg-turbo-progs).
std::string djpegPixels(const std::string& jpeg, const std::string& ppm) {
    const std::string command = "djpeg -pnm -outfile '" + ppm + "' '" + jpeg + "'";
    if (std::system(command.c_str()) != 0) return {};
    return fileText(ppm);
}

TEST_F(Cli, ApplyingAPaintedViewToAJpegPhotoChangesOnlyWhereThePaintLands) {
    // A 4:4:4 photo made by cjpeg from the smooth sphere, and a view of it painted red in
    // the middle.
    const std::string photo = dir.file("photo.jpg");
    ASSERT_EQ(std::system(("cjpeg -quality 90 -sample 1x1 -outfile '" + photo + "' '" + dir.file("sphere.bmp") + "'").c_str()), 0);
    ASSERT_EQ(run({"render", photo, dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "200x150"}), 0);
    RawImage view(Size{0, 0});
    LoadBMP(dir.file("v.bmp").c_str(), RawImage::sink, &view);
    ASSERT_EQ(view.size(), (Size{200, 150}));
    for (int y = 65; y < 85; ++y)
        for (int x = 90; x < 110; ++x) {
            std::uint8_t* p = view.row(y) + 3 * x;
            p[0] = 0, p[1] = 0, p[2] = 255;
        }
    SaveBMP(dir.file("v.bmp").c_str(), view.size(), view.stride, 3, view.pixels);
    ASSERT_EQ(run({"apply", photo, dir.file("v.bmp"), dir.file("out.jpg"), "--heading", "0", "--pitch", "0"}), 0);

    const std::string before = djpegPixels(photo, dir.file("before.ppm"));
    const std::string after = djpegPixels(dir.file("out.jpg"), dir.file("after.ppm"));
    ASSERT_EQ(before.size(), after.size());
    ASSERT_GT(before.size(), 512u * 256 * 3);
    const std::size_t header = before.size() - 512u * 256 * 3;
    std::size_t differing = 0;
    for (std::size_t i = header; i < before.size(); i += 3) differing += before.compare(i, 3, after, i, 3) != 0;
    // The square covers about 20 x 20 photo pixels: its blocks, never the whole picture.
    EXPECT_GE(differing, 300u);
    EXPECT_LE(differing, 3000u);
}

// A painted picture that does not fit the view it is applied to is refused and nothing is
// written: made for another view (unless --force), or of another size than --size says.
TEST_F(Cli, ApplyRefusesAPictureThatDoesNotFitTheViewAndWritesNothing) {
    ASSERT_EQ(run({"render", face("sky", 0), dir.file("v.bmp"), "--heading", "30", "--pitch", "10", "--size", "200x150"}), 0);
    {
        RawImage view(dir.file("v.bmp").c_str());
        RawImage cropped(Size{180, 150});
        for (int y = 0; y < 150; ++y) std::memcpy(cropped.row(y), view.row(y), 3 * 180);
        SaveBMP(dir.file("cropped.bmp").c_str(), cropped.size(), cropped.stride, 3, cropped.pixels);
    }
    struct Case {
        const char* name;
        std::string painted;
        std::vector<std::string> options;
        std::string refusal;  // empty: applied
    };
    const Case cases[] = {
        {"its own view", "v.bmp", {"--heading", "30", "--pitch", "10", "--size", "200x150"}, ""},
        {"another heading", "v.bmp", {"--heading", "60", "--pitch", "10"},
         "domecast-cli apply: The painted view carries the marker of another view (h=30\u00b0 or 210\u00b0, v=10\u00b0) than "
         "the one it was made for (h=60\u00b0 v=10\u00b0): it may be an older view file saved over the new one. Nothing "
         "was painted and nothing written: give the --heading and --pitch it was rendered with, or --force to apply it "
         "anyway.\n"},
        {"another heading, forced", "v.bmp", {"--heading", "60", "--pitch", "10", "--force"}, ""},
        {"another size than --size", "v.bmp", {"--heading", "30", "--pitch", "10", "--size", "220x150"},
         "domecast-cli apply: The painted view is 200x150 but the view was 220x150: it may have been cropped. Nothing "
         "was painted and nothing written.\n"},
        {"cropped, even forced", "cropped.bmp", {"--heading", "30", "--pitch", "10", "--size", "200x150", "--force"},
         "domecast-cli apply: The painted view is 180x150 but the view was 200x150: it may have been cropped. Nothing "
         "was painted and nothing written.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(face("out", 0));
        std::vector<std::string> args = {"apply", face("sky", 0), dir.file(c.painted), face("out", 0)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto [status, errors] = runForErrors(args, dir.file("errors.txt"));
        EXPECT_EQ(status, c.refusal.empty() ? 0 : 1);
        EXPECT_EQ(errors, c.refusal);
        EXPECT_EQ(std::filesystem::exists(face("out", 0)), c.refusal.empty());
    }
}

// A command whose input cannot be read exits 1 and leaves what OUT held before alone,
// whichever reader refused it; nothing decodes as a blank picture.
TEST_F(Cli, EveryCommandOverABrokenInputExitsOneAndLeavesItsOutputAlone) {
    const auto patched = [&](const std::string& name, std::size_t at, std::uint8_t value) {
        std::string bytes = fileText(dir.file("v.bmp"));
        bytes[at] = static_cast<char>(value);
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        return dir.file(name);
    };
    const auto truncated = [&](const std::string& from, const std::string& name, std::size_t keep) {
        std::ofstream(dir.file(name), std::ios::binary) << fileText(from).substr(0, keep);
        return dir.file(name);
    };
    ASSERT_EQ(run({"render", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "64x48"}), 0);
    ASSERT_EQ(run({"image", face("sky", 0), dir.file("sky.png")}), 0);
    writeBytes(dir.file("empty.tga"), targaHeader(2, 0, 0, 0, 0, 0, 0, 24));
    std::ofstream(dir.file("garbage.pcx"), std::ios::binary) << "not a PCX picture at all";
    const std::string broken[] = {
        patched("bitcount7.bmp", 28, 7),        // bits per pixel no BMP has
        patched("jpegbmp.bmp", 30, 4),          // compression BI_JPEG
        dir.file("empty.tga"),                  // a Targa of 0 x 0 pixels
        truncated(dir.file("sky.png"), "short.png", 60),
        dir.file("garbage.pcx"),
    };
    for (const std::string& in : broken) {
        SCOPED_TRACE(in);
        std::filesystem::remove(dir.file("kept_FR.tga"));
        std::ofstream(dir.file("kept.bmp"), std::ios::binary) << "what was here";
        EXPECT_EQ(run({"image", in, dir.file("kept.bmp")}), 1);
        EXPECT_TRUE(fileText(dir.file("kept.bmp")) == "what was here") << "OUT was replaced";
        const std::string ext = in.substr(in.rfind('.'));
        if (ext == ".tga") {
            // Six faces of which one is broken.
            for (int i = 0; i < 6; ++i)
                std::filesystem::copy_file(i == 0 ? in : face("sky", i), face("in", i),
                                           std::filesystem::copy_options::overwrite_existing);
            EXPECT_EQ(run({"convert", face("in", 0), dir.file("kept_FR.tga"), "--to", "0"}), 1);
            EXPECT_FALSE(std::filesystem::exists(dir.file("kept_FR.tga")));
        }
        if (ext == ".bmp") {
            EXPECT_EQ(run({"apply", face("sky", 0), in, face("applied", 0), "--heading", "0", "--pitch", "0"}), 1);
            EXPECT_FALSE(std::filesystem::exists(face("applied", 0)));
            EXPECT_EQ(run({"convert", in, dir.file("kept_FR.tga"), "--from", "8"}), 1);
            EXPECT_FALSE(std::filesystem::exists(dir.file("kept_FR.tga")));
        }
    }
}

// A photo read with 16 bits a channel is written with 8 only when --allow-8bit says so.
TEST_F(Cli, APhotoWithMoreThanEightBitsIsWrittenOnlyWhenAllowed) {
    const std::string in = dir.file("deep.png"), out = dir.file("out.png");
    ASSERT_EQ(std::system(("convert -size 256x128 gradient:red-blue PNG48:'" + in + "'").c_str()), 0);
    const auto [status, errors] = runForErrors({"convert", in, out}, dir.file("errors.txt"));
    EXPECT_EQ(status, 1);
    EXPECT_NE(errors.find("give --allow-8bit to write it anyway"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(run({"convert", in, out, "--allow-8bit"}), 0);
    EXPECT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(run({"image", in, dir.file("x.png"), "--allow-8bit"}), 2) << "image does not take it";
}

TEST_F(Cli, PaintProjectsWhatWasSavedAndNothingElse) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    setenv("DOMECAST_TEST_PAINT", "red", 1);
    ASSERT_EQ(run({"paint", face("sky", 0), dir.file("red_FR.tga"), "--heading", "0", "--pitch", "0", "--size",
                   "128x128", "--program", self}),
              0);
    setenv("DOMECAST_TEST_PAINT", "none", 1);
    ASSERT_EQ(run({"paint", face("sky", 0), dir.file("none_FR.tga"), "--heading", "0", "--pitch", "0", "--size",
                   "128x128", "--program", self}),
              0);
    unsetenv("DOMECAST_TEST_PAINT");
    // 3DStudio files: _BK holds Front. Only Front took the red square.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(fileText(face("none", i)), fileText(face("sky", i))) << i;
        if (i != 1) {
            EXPECT_EQ(fileText(face("red", i)), fileText(face("sky", i))) << i;
        }
    }
    ASSERT_NE(fileText(face("red", 1)), fileText(face("sky", 1)));
    // The centre of Front is red now.
    std::string tga = fileText(face("red", 1));
    const std::size_t centre = 18 + (64 * 128 + 64) * 3;
    EXPECT_EQ(static_cast<unsigned char>(tga[centre + 2]), 255);
    EXPECT_EQ(static_cast<unsigned char>(tga[centre + 1]), 0);
}

TEST_F(Cli, WrongCommandLinesAndUnreadableFilesGiveTheirStatuses) {
    struct Case { std::vector<std::string> args; int status; };
    const Case cases[] = {
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"render", face("sky", 0), dir.file("v.bmp"), "--pitch", "0", "--size", "10x10"}, 2},
        {{"render", face("sky", 0), dir.file("v.bmp"), "--heading", "x", "--pitch", "0", "--size", "10x10"}, 2},
        {{"view", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "0x10"}, 2},
        // Numbers that do not fit an int must not wrap to a valid size.
        {{"view", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "4294967296x1"}, 2},
        {{"view", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "10x18446744073709551626"}, 2},
        {{"image", face("sky", 0), dir.file("x.pcx"), "--dither", "4294967296"}, 2},
        {{"render", face("sky", 0), dir.file("v.bmp"), "--heading", "1e39", "--pitch", "0", "--size", "10x10"}, 2},
        {{"convert", face("sky", 0), dir.file("x.wrl")}, 2},  // fits two layouts
        {{"convert", dir.file("missing_FR.tga"), dir.file("x_FR.tga")}, 1},
        {{"image", dir.file("missing.bmp"), dir.file("x.png")}, 1},
        {{"image", face("sky", 0), dir.file("x.gif")}, 2},
        {{"convert", face("sky", 0), dir.file("x_ft.jpg"), "--jpeg-quality", "0"}, 2},
        {{"convert", face("sky", 0), dir.file("x_ft.jpg"), "--jpeg-quality", "101"}, 2},
        {{"convert", face("sky", 0), dir.file("x_ft.jpg"), "--jpeg-quality", "high"}, 2},
        {{"convert", face("sky", 0), dir.file("x_ft.jpg"), "--jpeg-subsampling", "4:2:2"}, 2},
        {{"convert", face("sky", 0), dir.file("x_ft.jpg"), "--jpeg-subsampling"}, 2},
        {{"render", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "10x10",
          "--jpeg-quality", "90"}, 2},
        {{"--version"}, 0},
        {{"formats"}, 0},
        {{"paint", "--help"}, 0},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(run(c.args), c.status) << joined;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("x_FR.tga")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x_ft.jpg")));
}

TEST_F(Cli, JpegFlagsEncodeTheFaceLayoutsOfThatCommandOverTheSettings) {
    const ScopedSettings settings(dir.file("settings"));
    struct Case {
        const char* what;
        std::vector<std::string> flags;
        bool settings;  // "FaceJPEGQuality" 50 and "FaceJPEGSubsampling" 4:4:4
        int quality;
        int factor;  // the luma's sampling factor
    };
    const Case cases[] = {
        {"neither", {}, false, 75, 2},
        {"the settings", {}, true, 50, 1},
        {"both flags", {"--jpeg-quality", "95", "--jpeg-subsampling", "4:4:4"}, false, 95, 1},
        {"flags over settings", {"--jpeg-quality=20", "--jpeg-subsampling=4:2:0"}, true, 20, 2},
        {"one flag over settings", {"--jpeg-quality", "100"}, true, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string conf = dir.file("settings") + "/user/domecast";
        std::filesystem::create_directories(conf);
        std::ofstream(conf + "/domecast.conf")
            << (c.settings ? "[Domecast]\nFaceJPEGQuality=50\nFaceJPEGSubsampling=4:4:4\n" : "[Domecast]\n");
        std::vector<std::string> args = {"convert", face("sky", 0), dir.file("box_ft.jpg")};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        ASSERT_EQ(run(args), 0);
        for (const char* name : {"box_ft.jpg", "box_up.jpg"}) {
            const JpegHeader header = readJpegHeader(dir.file(name));
            ASSERT_TRUE(header.ok) << name;
            EXPECT_EQ(header.luminanceTable, luminanceTableOfQuality(c.quality)) << name;
            EXPECT_EQ(header.lumaH, c.factor) << name;
            EXPECT_EQ(header.lumaV, c.factor) << name;
        }
    }
    // apply takes them too.
    ASSERT_EQ(run({"render", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "64x48"}), 0);
    ASSERT_EQ(run({"apply", face("sky", 0), dir.file("v.bmp"), dir.file("applied.ivr"), "--heading", "0", "--pitch",
                   "0", "--to", "LivePicture, CUBE, JPEG", "--jpeg-quality", "33", "--jpeg-subsampling", "4:4:4"}),
              0);
    const JpegHeader strip = readJpegHeader(dir.file("applied.jpg"));
    EXPECT_EQ(strip.luminanceTable, luminanceTableOfQuality(33));
    EXPECT_EQ(strip.lumaH, 1);
}

TEST_F(Cli, AConvertedWebPageKeepsItsViewUnlessTold) {
    ASSERT_EQ(run({"convert", face("sky", 0), dir.file("site/index.html"), "--heading", "90", "--pitch", "10"}), 0);
    struct Case {
        const char* what;
        std::vector<std::string> flags;
        const char* yaw;
        const char* pitch;
    };
    const Case cases[] = {
        {"no view given", {}, "90", "10"},
        {"a heading given", {"--heading", "-45"}, "-45", "10"},
        {"both given", {"--heading", "0", "--pitch", "-30"}, "0", "-30"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"convert", dir.file("site/index.html"), dir.file("again/index.html")};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        ASSERT_EQ(run(args), 0);
        const std::string page = fileText(dir.file("again/index.html"));
        EXPECT_NE(page.find(std::string("\n  yaw: ") + c.yaw + ",\n"), std::string::npos) << page;
        EXPECT_NE(page.find(std::string("\n  pitch: ") + c.pitch + ",\n"), std::string::npos) << page;
        // Nothing painted: every face keeps its coefficients.
        for (const char* suffix : suffixes) {
            const JpegDump before = dumpJpeg(dir.file(std::string("site/index") + suffix + ".jpg"));
            const JpegDump after = dumpJpeg(dir.file(std::string("again/index") + suffix + ".jpg"));
            ASSERT_TRUE(before.ok && after.ok) << suffix;
            ASSERT_EQ(after.components.size(), before.components.size()) << suffix;
            for (std::size_t i = 0; i < before.components.size(); ++i)
                EXPECT_TRUE(after.components[i].coefficients == before.components[i].coefficients) << suffix;
        }
    }
}

TEST_F(Cli, ScenesStripsAndTypedNamesOpenAndSaveAsTheUserNamesThem) {
    // Written by --to, read back without --from: by the scene file or the strip itself.
    struct Case { const char* written; const char* to; const char* reopened; };
    const Case cases[] = {
        {"w.wrl", "VRML Background, PNG", "w.wrl"},
        {"l.ivr", "LivePicture Background, BMP", "l.ivr"},
        {"k.ivr", "LivePicture, CUBE, BMP", "k.ivr"},
        {"s.ivr", "LivePicture, CUBE, BMP", "s.bmp"},
        // A name with the layout's own extension is the base: q.bmp and q.ivr.
        {"q.bmp", "LivePicture, CUBE, BMP", "q.ivr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        ASSERT_EQ(run({"convert", face("sky", 0), dir.file(c.written), "--to", c.to}), 0);
        const std::string back = std::string("back_") + c.reopened;
        const std::string backBase = dir.file(back.substr(0, back.rfind('.')));
        ASSERT_EQ(run({"convert", dir.file(c.reopened), backBase + "_FR.tga"}), 0);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(fileText(backBase + suffixes[i] + ".tga"), fileText(face("sky", i))) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("q.bmp.bmp")));

    ASSERT_EQ(run({"convert", face("sky", 0), dir.file("quake.tga"), "--to", "QuakeII, Targa"}), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("quakeft.tga")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("quake.tgaft.tga")));

    // A scene Domecast would not write is refused, naming the scene file.
    std::ofstream(dir.file("odd.wrl"), std::ios::binary) << "#VRML V2.0 utf8\nTransform {}\n";
    const auto [status, errors] =
        runForErrors({"convert", dir.file("odd.wrl"), dir.file("odd_FR.tga")}, dir.file("errors.txt"));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors, "IO Error reading " + dir.file("odd.wrl") + "\nReason: unexpected text in the scene file\n");
}

TEST_F(Cli, AFileFailureNamesItsReasonAfterTheIoErrorLine) {
    const std::string hostile = std::string(DOMECAST_TEST_DATA) + "/crashers/index-outside-colour-map.tga";
    const auto [status, errors] = runForErrors({"image", hostile, dir.file("x.bmp")}, dir.file("errors.txt"));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors, "IO Error reading " + hostile + "\nReason: colour-map index outside the map\n");
}

TEST_F(Cli, FacesLeftWhiteAreListedOnStderrAndTheCommandSucceeds) {
    std::filesystem::remove(face("sky", 4));
    std::filesystem::remove(face("sky", 5));
    const auto [status, errors] =
        runForErrors({"convert", face("sky", 0), dir.file("out_FR.tga")}, dir.file("errors.txt"));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors, "These face files could not be read; their faces are left white:\n" + face("sky", 4) +
                          " (not found)\n" + face("sky", 5) + " (not found)\n");
    EXPECT_TRUE(std::filesystem::exists(face("out", 5)));

    const auto [noneStatus, noneErrors] =
        runForErrors({"convert", dir.file("world_FR.tga"), dir.file("out_FR.tga")}, dir.file("errors.txt"));
    EXPECT_EQ(noneStatus, 1);
    EXPECT_EQ(noneErrors.substr(0, noneErrors.find('\n')),
              "No faces found for world: looked for world_FR.tga, world_BK.tga, world_LF.tga, world_RT.tga, "
              "world_UP.tga, world_DN.tga");
}

// Pixel allocations above the test limit fail as if memory ran out: each is a clean
// failure of the command, never an abort, and no output is left behind.
TEST_F(Cli, RunningOutOfMemoryIsAFailureNotAnAbort) {
    struct Case {
        const char* limit;  // bytes; a face of 128 pixels takes 49152
        std::vector<std::string> args;
        std::string errors;
        std::string output;
    };
    const Case cases[] = {
        // A face picture is decoded into memory the limit refuses.
        {"20000", {"image", face("sky", 0), dir.file("x.png")},
         "IO Error reading " + face("sky", 0) + "\nReason: no destination for the picture\n", dir.file("x.png")},
        // The faces fit, the view buffer does not.
        {"100000", {"view", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size", "1000x1000"},
         "domecast-cli view: not enough memory for the pictures\n", dir.file("v.bmp")},
    };
    for (const Case& c : cases) {
        setenv("DOMECAST_TEST_PIXEL_LIMIT", c.limit, 1);
        const auto [status, errors] = runForErrors(c.args, dir.file("errors.txt"));
        EXPECT_EQ(status, 1) << c.args[0];
        EXPECT_EQ(errors, c.errors) << c.args[0];
        EXPECT_FALSE(std::filesystem::exists(c.output)) << c.args[0];
    }
    unsetenv("DOMECAST_TEST_PIXEL_LIMIT");
}

// What image writes 40000 pixels wide, over the JPEG and PNG readers' old wall of 32767,
// it reads back.
TEST_F(Cli, ImageReadsTheWidePicturesItWrites) {
    RawImage wide(Size{40000, 2});
    for (std::int32_t x = 0; x < wide.width; ++x)
        for (std::int32_t y = 0; y < 2; ++y) wide.row(y)[3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>(x / 64 % 2 * 200);
    SaveTGA(dir.file("wide.tga").c_str(), wide.size(), wide.stride, 3, wide.pixels);
    ASSERT_EQ(run({"image", dir.file("wide.tga"), dir.file("wide.png")}), 0);
    ASSERT_EQ(run({"image", dir.file("wide.png"), dir.file("back.tga")}), 0);
    EXPECT_EQ(fileText(dir.file("back.tga")), fileText(dir.file("wide.tga")));
    ASSERT_EQ(run({"image", dir.file("wide.png"), dir.file("wide.jpg")}), 0);
    ASSERT_EQ(run({"image", dir.file("wide.jpg"), dir.file("jpeg.tga")}), 0);
    const std::string header = fileText(dir.file("jpeg.tga")).substr(12, 4);  // width, height: 16 bits each
    EXPECT_EQ(header, std::string("\x40\x9c\x02\x00", 4));
}

TEST_F(Cli, ImageConvertsBetweenTheCodecs) {
    ASSERT_EQ(run({"image", face("sky", 0), dir.file("a.png")}), 0);
    ASSERT_EQ(run({"image", dir.file("a.png"), dir.file("b.tga")}), 0);
    EXPECT_EQ(fileText(dir.file("b.tga")), fileText(face("sky", 0)));
    ASSERT_EQ(run({"image", face("sky", 0), dir.file("c.pcx"), "--dither", "0", "--resize", "0"}), 0);
    EXPECT_GT(fileText(dir.file("c.pcx")).size(), 128u + 769u);
}

}  // namespace

namespace {

// A colormap that cannot be used ends the command with its reason; nothing is written.
TEST_F(Cli, PalettesThatCannotBeReadAreErrors) {
    const std::string shortAct = dir.file("short.act");
    writeBytes(shortAct, {1, 2});
    struct Case {
        std::string colormap;
        const char* reason;
    };
    const Case cases[] = {
        {dir.file("missing.act"), "palette file cannot be opened"},
        {dir.file("palette.gpl"), "palette neither .act nor .pal"},
        {shortAct, "palette holds no whole colour"},
    };
    for (const Case& c : cases) {
        const auto [status, errors] = runForErrors(
            {"image", face("sky", 0), dir.file("x.pcx"), "--colormap", c.colormap}, dir.file("errors.txt"));
        EXPECT_EQ(status, 1) << c.colormap;
        EXPECT_EQ(errors, "Cannot use the colormap " + c.colormap + " (\"PCXColormap\"): " + c.reason + ".\nReason: " +
                              c.reason + "\n");
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.pcx"))) << c.colormap;
    }
}

// --max-megapixels lowers the limit for one command; a picture over it is refused with
// its size and the limit.
TEST_F(Cli, MaxMegapixelsBoundsThePicturesACommandReads) {
    RawImage wide(Size{2000, 600});  // 1.2 megapixels
    SaveBMP(dir.file("wide.bmp").c_str(), wide.size(), wide.stride, 3, wide.pixels);
    EXPECT_EQ(run({"image", dir.file("wide.bmp"), dir.file("a.png"), "--max-megapixels", "2"}), 0);
    const auto [status, errors] =
        runForErrors({"image", dir.file("wide.bmp"), dir.file("b.png"), "--max-megapixels=1"}, dir.file("errors.txt"));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors.substr(0, errors.find(';')),
              "The picture " + dir.file("wide.bmp") + " is too large: 2000 x 600 pixels, 1.2 megapixels, needing 7 MB "
              "of memory");
    EXPECT_NE(errors.find("the limit is 1 megapixels"), std::string::npos) << errors;
    EXPECT_TRUE(errors.ends_with("\nReason: picture too large\n")) << errors;
    EXPECT_EQ(run({"convert", face("sky", 0), dir.file("p.jpg"), "--max-megapixels", "0"}), 2);

    // A view rendered with 2 x 2 samples: 4000 x 4000 pixels are 64 megapixels of samples.
    const auto [viewStatus, viewErrors] =
        runForErrors({"render", face("sky", 0), dir.file("v.bmp"), "--heading", "0", "--pitch", "0", "--size",
                      "4000x4000", "--max-megapixels", "50"},
                     dir.file("errors.txt"));
    EXPECT_EQ(viewStatus, 1);
    EXPECT_TRUE(viewErrors.starts_with("The picture " + dir.file("v.bmp") + " is too large: 8000 x 8000 pixels, 64 "
                                       "megapixels"))
        << viewErrors;
    EXPECT_FALSE(std::filesystem::exists(dir.file("v.bmp")));
}

// An output that cannot be what the user meant is an error naming it, and nothing is
// written: a folder, a file in a folder that is not there, a read-only file (unless
// --force), a name whose extension the layout or the view does not write.
TEST_F(Cli, OutputsThatAreNotPlainWritableFilesAreRefusedAndNothingIsWritten) {
    std::filesystem::create_directory(dir.file("folder"));
    std::filesystem::create_directory(dir.file("folder.png"));
    const auto readOnly = [&](const std::string& name) {
        std::ofstream(dir.file(name), std::ios::binary) << "kept";
        std::filesystem::permissions(dir.file(name), std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::group_read |
                                                         std::filesystem::perms::others_read);
        return dir.file(name);
    };
    const std::vector<std::string> view = {"--heading", "0", "--pitch", "0", "--size", "64x48"};
    const auto with = [](std::vector<std::string> args, const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const std::string readOnlyHint = "Reason: the file is read-only\n";
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string errors;
        std::vector<std::string> absent;  // files the command must not make
    };
    const Case cases[] = {
        {"convert to a folder", {"convert", face("sky", 0), dir.file("folder"), "--to", "11"}, 1,
         "IO Error writing " + dir.file("folder") + "\nReason: the output is a folder\n", {dir.file("folder.jpg")}},
        {"convert to a folder named as the layout's files", {"convert", face("sky", 0), dir.file("folder.png")}, 1,
         "IO Error writing " + dir.file("folder.png") + "\nReason: the output is a folder\n", {}},
        {"image to a folder", {"image", face("sky", 0), dir.file("folder")}, 1,
         "IO Error writing " + dir.file("folder") + "\nReason: the output is a folder\n", {}},
        {"render to a folder", with({"render", face("sky", 0), dir.file("folder.png")}, view), 1,
         "IO Error writing " + dir.file("folder.png") + "\nReason: the output is a folder\n", {}},
        {"convert into a missing folder", {"convert", face("sky", 0), dir.file("gone/x_FR.tga")}, 1,
         "IO Error writing " + dir.file("gone/x_FR.tga") + "\nReason: the folder " + dir.file("gone") +
             " does not exist\n",
         {}},
        {"view into a missing folder", with({"view", face("sky", 0), dir.file("gone/v.bmp")}, view), 1,
         "IO Error writing " + dir.file("gone/v.bmp") + "\nReason: the folder " + dir.file("gone") +
             " does not exist\n",
         {}},
        {"image over a read-only file", {"image", face("sky", 0), readOnly("locked.png")}, 1,
         "IO Error writing " + dir.file("locked.png") + "\n" + readOnlyHint + "domecast-cli image: --force replaces it\n",
         {}},
        {"render over a read-only file", with({"render", face("sky", 0), readOnly("locked.bmp")}, view), 1,
         "IO Error writing " + dir.file("locked.bmp") + "\n" + readOnlyHint +
             "domecast-cli render: --force replaces it\n",
         {}},
        {"convert over one read-only face", {"convert", face("sky", 0), dir.file("out_FR.tga")}, 1,
         "IO Error writing " + face("out", 3) + "\n" + readOnlyHint + "domecast-cli convert: --force replaces it\n",
         {face("out", 0), face("out", 1), face("out", 5)}},
        {"a layout that writes no .tga", {"convert", face("sky", 0), dir.file("photo.tga"), "--to", "11"}, 2,
         "domecast-cli convert: '" + dir.file("photo.tga") + "' names a .tga file, which \"Spherical photo, JPEG\" does not write; end OUT "
         "as the layout's files end or choose another --to\n",
         {dir.file("photo.tga.jpg")}},
        {"a view in no format Domecast writes", with({"render", face("sky", 0), dir.file("v.gif")}, view), 2,
         "domecast-cli render: cannot write '" + dir.file("v.gif") + "': use .bmp, .tga, .pcx, .jpg, .jpeg or .png\n",
         {dir.file("v.gif")}},
    };
    readOnly("out_RT.tga");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [status, errors] = runForErrors(c.args, dir.file("errors.txt"));
        EXPECT_EQ(status, c.status);
        if (c.status == 2) {
            EXPECT_EQ(errors.substr(0, errors.find("\nusage:") + 1), c.errors);
        } else {
            EXPECT_EQ(errors, c.errors);
        }
        for (const std::string& path : c.absent) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    }
    for (const char* name : {"locked.png", "locked.bmp", "out_RT.tga"}) EXPECT_EQ(fileText(dir.file(name)), "kept") << name;
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("folder")));

    // --force replaces them, keeping their modes.
    EXPECT_EQ(run({"image", face("sky", 0), dir.file("locked.png"), "--force"}), 0);
    EXPECT_EQ(run(with({"render", face("sky", 0), dir.file("locked.bmp"), "--force"}, view)), 0);
    EXPECT_EQ(run({"convert", face("sky", 0), dir.file("out_FR.tga"), "--force"}), 0);
    for (const char* name : {"locked.png", "locked.bmp", "out_RT.tga"}) {
        EXPECT_NE(fileText(dir.file(name)), "kept") << name;
        EXPECT_EQ(std::filesystem::status(dir.file(name)).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                      std::filesystem::perms::others_read)
            << name;
    }
    EXPECT_EQ(fileText(face("out", 3)), fileText(face("sky", 3)));
}

// render and view write the format OUT's extension names: the same picture as the BMP,
// marker and all, where the format keeps every pixel.
TEST_F(Cli, RenderAndViewWriteTheFormatTheirOutputNames) {
    const std::vector<std::string> angles = {"--heading", "30", "--pitch", "10", "--size", "64x48"};
    struct Case {
        const char* command;
        const char* name;
        std::string magic;  // the file's first bytes
        bool lossless;
    };
    const Case cases[] = {
        {"render", "r.bmp", "BM", true},
        {"render", "r.png", "\x89PNG", true},
        {"render", "r.tga", std::string("\0\0\x02", 3), true},
        {"render", "r.JPG", "\xff\xd8", false},
        {"view", "v.bmp", "BM", true},
        {"view", "v.png", "\x89PNG", true},
        {"view", "v.jpeg", "\xff\xd8", false},
        {"view", "v.pcx", "\x0a", false},
    };
    const auto pixels = [](const std::string& path) {
        RawImage picture(Size{0, 0});
        const ImageReader reader = path.ends_with(".png") ? LoadPNG : path.ends_with(".tga") ? LoadTGA : LoadBMP;
        reader(path.c_str(), RawImage::sink, &picture);
        std::string bytes;
        for (int y = 0; y < picture.height; ++y)
            bytes.append(reinterpret_cast<const char*>(picture.row(y)), 3 * static_cast<std::size_t>(picture.width));
        return bytes;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {c.command, face("sky", 0), dir.file(c.name)};
        args.insert(args.end(), angles.begin(), angles.end());
        ASSERT_EQ(run(args), 0);
        EXPECT_EQ(fileText(dir.file(c.name)).substr(0, c.magic.size()), c.magic);
        if (c.lossless) {
            EXPECT_EQ(pixels(dir.file(c.name)), pixels(dir.file(std::string(c.command) == "render" ? "r.bmp" : "v.bmp")));
        }
    }
}

// What domecast-cli writes to stderr when stderr is the terminal of a pseudo-terminal.
std::string runOnTerminal(const std::vector<std::string>& args) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) return "cannot make a pseudo-terminal";
    if (child == 0) {
        const std::string program = programPath("domecast-cli");
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
        else if (n < 0 && errno == EINTR) continue;
        else break;  // EIO once the child has ended
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return output;
}

// On a terminal each step shows a bar that fills to 100%; --quiet, or output that is not
// a terminal, shows nothing.
TEST_F(Cli, ProgressShowsOnlyOnATerminal) {
    const std::string shown = runOnTerminal({"convert", face("sky", 0), dir.file("photo.png")});
    for (const char* step : {"Reading the panorama... [", "Writing the panorama... ["})
        EXPECT_NE(shown.find(step), std::string::npos) << shown;
    EXPECT_NE(shown.find("##############################] 100%"), std::string::npos) << shown;
    EXPECT_TRUE(std::filesystem::exists(dir.file("photo.png")));

    EXPECT_EQ(runOnTerminal({"convert", face("sky", 0), dir.file("quiet.png"), "--quiet"}), "");
    const auto [status, errors] = runForErrors({"convert", face("sky", 0), dir.file("file.png")}, dir.file("errors.txt"));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors, "");
}

// The percentages a step's bar showed on the terminal, in order.
std::vector<int> percentsShown(const std::string& output, const std::string& step) {
    std::vector<int> percents;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find_first_of("\r\n", start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with(step + " [") || !line.ends_with("%")) continue;
        percents.push_back(std::atoi(line.substr(line.rfind(']') + 1).c_str()));
    }
    return percents;
}

// Reading and writing the files of a panorama of six face files (twelve with PCX and Targa)
// is one bar for each step, which only fills.
TEST_F(Cli, ASaveOfSeveralFilesShowsOneBarThatOnlyFills) {
    struct Case {
        const char* out;
        const char* to;
    };
    const Case cases[] = {{"faces_FR.tga", "3DStudio, Targa"}, {"sky_ft.png", "Sky box, PNG"},
                          {"quakeft.pcx", "QuakeII, Targa & PCX"}, {"page.html", "Web page, cube faces"},
                          {"scene.wrl", "VRML Background, PNG"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        const std::string shown = runOnTerminal({"convert", face("sky", 0), dir.file(c.out), "--to", c.to});
        for (const char* step : {"Reading the panorama...", "Writing the panorama..."}) {
            SCOPED_TRACE(step);
            const std::vector<int> percents = percentsShown(shown, step);
            ASSERT_FALSE(percents.empty()) << shown;
            EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << shown;
            EXPECT_EQ(percents.back(), 100);
        }
    }
}

}  // namespace
