// A 360° photo saved at another size than it was read (Resize Panorama) says its new size
// in the metadata viewers read: the GPano XMP properties and EXIF's pixel dimensions, as
// exiftool reads them back.
#include <gtest/gtest.h>

#include <sstream>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "image/jpeg.h"
#include "image/png.h"
#include "panorama/six_image.h"
#include "support/face_pixels.h"
#include "support/layout_rows.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace {

// exiftool's numeric values of the tags named, keyed by tag name.
std::map<std::string, std::string> exifValues(const std::string& path) {
    const std::string output = commandOutput(
        "exiftool -n -s -XMP-GPano:all -ExifIFD:ExifImageWidth -ExifIFD:ExifImageHeight '" + path + "'");
    const auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(" \t"));
        s.erase(s.find_last_not_of(" \t\r\n") + 1);
        return s;
    };
    std::map<std::string, std::string> values;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(':');
        if (colon != std::string::npos) values[trim(line.substr(0, colon))] = trim(line.substr(colon + 1));
    }
    return values;
}

TEST(PhotoMetadataSizes, AResizedPhotoSaysItsNewSize) {
    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder messages;
    ScriptedQuestions questions;
    struct Case {
        const char* name;
        const char* file;
        int openRow, saveRow;
        Size picture;    // as written before the resize
        int fullHeight;  // of the panorama the picture is a band of
        bool exif;       // EXIF pixel dimensions written too (JPEG)
    } cases[] = {
        {"JPEG, a full sphere", "full.jpg", openRows::photoJpeg, saveRows::photoJpeg, {512, 256}, 256, true},
        {"JPEG, a band around the horizon", "band.jpg", openRows::photoJpeg, saveRows::photoJpeg, {512, 192}, 256,
         true},
        {"PNG, a full sphere", "full.png", openRows::photoPng, saveRows::photoPng, {512, 256}, 256, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir.file(c.file), out = dir.file(std::string("resized-") + c.file);
        const auto picture = smoothSphere(c.picture);
        if (c.openRow == openRows::photoJpeg)
            SaveJPEG(in.c_str(), picture->size(), picture->stride, 3, picture->pixels);
        else
            SavePNG(in.c_str(), picture->size(), picture->stride, 3, picture->pixels);
        const int top = (c.fullHeight - c.picture.height) / 2;
        std::string tag = "exiftool -q -overwrite_original -XMP-GPano:ProjectionType=equirectangular"
                          " -XMP-GPano:FullPanoWidthPixels=512 -XMP-GPano:FullPanoHeightPixels=" +
                          std::to_string(c.fullHeight) + " -XMP-GPano:CroppedAreaImageWidthPixels=512" +
                          " -XMP-GPano:CroppedAreaImageHeightPixels=" + std::to_string(c.picture.height) +
                          " -XMP-GPano:CroppedAreaLeftPixels=0 -XMP-GPano:CroppedAreaTopPixels=" + std::to_string(top) +
                          " -XMP-GPano:PoseHeadingDegrees=12";
        if (c.exif) tag += " -ExifIFD:ExifImageWidth=512 -ExifIFD:ExifImageHeight=" + std::to_string(c.picture.height);
        ASSERT_EQ(std::system((tag + " '" + in + "'").c_str()), 0);

        SixImage panorama;
        ASSERT_EQ(panorama.load(questions, c.openRow, in), 0);
        panorama.resizeFaces(Size{64, 64});  // faces of 128 become 64: the photo half as wide
        panorama.layout = c.saveRow;
        panorama.fileName = out;
        panorama.write();

        std::unique_ptr<RawImage> written;
        (c.openRow == openRows::photoJpeg ? LoadJPEG : LoadPNG)(out.c_str(), SixImage::rawSink, &written);
        ASSERT_TRUE(written);
        const Size size = written->size();
        EXPECT_EQ(size.width, 256);
        const std::map<std::string, std::string> expected = {
            {"FullPanoWidthPixels", std::to_string(size.width)},
            {"FullPanoHeightPixels", std::to_string(size.width / 2)},
            {"CroppedAreaImageWidthPixels", std::to_string(size.width)},
            {"CroppedAreaImageHeightPixels", std::to_string(size.height)},
            {"CroppedAreaLeftPixels", "0"},
            {"CroppedAreaTopPixels", std::to_string((size.width / 2 - size.height) / 2)},
        };
        const auto values = exifValues(out);
        for (const auto& [name, value] : expected) EXPECT_EQ(values.count(name) ? values.at(name) : "(none)", value) << name;
        EXPECT_EQ(values.count("PoseHeadingDegrees") ? values.at("PoseHeadingDegrees") : "(none)", "12")
            << "the rest of the XMP is kept";
        if (c.exif) {
            EXPECT_EQ(values.count("ExifImageWidth") ? values.at("ExifImageWidth") : "(none)", std::to_string(size.width));
            EXPECT_EQ(values.count("ExifImageHeight") ? values.at("ExifImageHeight") : "(none)",
                      std::to_string(size.height));
        }
    }
}

}  // namespace
