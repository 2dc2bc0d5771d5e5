// The JPEG pictures of the face and scene layouts (backgrounds, LivePicture spheres and
// strips, sky boxes) encoded at the quality and chroma sampling the settings (or a
// command's override) ask for, read back from the files with libjpeg; without settings
// they are the bytes SaveJPEG writes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "image/jpeg.h"
#include "panorama/six_image.h"
#include "platform/settings.h"
#include "support/face_pixels.h"
#include "support/image_files.h"
#include "support/jpeg_files.h"
#include "support/layout_rows.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"

namespace {

struct Layout {
    const char* what;
    int row;
    const char* name;                  // given as the file name
    std::vector<const char*> written;  // the JPEG files the save writes
};

const Layout layouts[] = {
    {"VRML background", saveRows::vrmlJpeg, "pano.wrl",
     {"pano_FR.jpg", "pano_BK.jpg", "pano_LF.jpg", "pano_RT.jpg", "pano_UP.jpg", "pano_DN.jpg"}},
    {"LivePicture background", saveRows::ivrBackgroundJpeg, "pano.ivr", {"pano_FR.jpg", "pano_UP.jpg"}},
    {"LivePicture sphere", saveRows::sphereJpeg, "pano.ivr", {"pano.jpg"}},
    {"LivePicture strip", saveRows::stripJpeg, "pano.ivr", {"pano.jpg"}},
    {"sky box", saveRows::skyJpeg, "pano_ft.jpg",
     {"pano_ft.jpg", "pano_bk.jpg", "pano_lf.jpg", "pano_rt.jpg", "pano_up.jpg", "pano_dn.jpg"}},
};

struct Settings {
    const char* what;
    std::optional<std::uint32_t> quality;  // "FaceJPEGQuality"
    const char* subsampling;               // "FaceJPEGSubsampling", null: absent
    std::optional<int> overrideQuality;    // SixImage::faceJpegQuality
    std::optional<JpegChroma> overrideChroma;
    int expectedQuality;
    int expectedFactor;  // the luma's sampling factor: 2 for 4:2:0, 1 for 4:4:4
};

const Settings settingsCases[] = {
    {"no settings", std::nullopt, nullptr, std::nullopt, std::nullopt, 75, 2},
    {"quality and 4:4:4", 92, "4:4:4", std::nullopt, std::nullopt, 92, 1},
    {"quality alone", 30, nullptr, std::nullopt, std::nullopt, 30, 2},
    {"4:4:4 alone", std::nullopt, "4:4:4", std::nullopt, std::nullopt, 75, 1},
    {"4:2:0 said", 100, "4:2:0", std::nullopt, std::nullopt, 100, 2},
    {"out of range", 0, "4:2:2", std::nullopt, std::nullopt, 75, 2},
    {"above 100", 101, "444", std::nullopt, std::nullopt, 75, 2},
    {"a command's override", 92, "4:4:4", 40, JpegChroma::quarter, 40, 2},
    {"an override of one part", 92, "4:2:0", std::nullopt, JpegChroma::full, 92, 1},
};

class FaceJpeg : public ::testing::Test {
protected:
    std::unique_ptr<SixImage> patterned() {
        auto panorama = std::make_unique<SixImage>(Size{48, 48}, Size{48, 48});
        for (int i = 0; i < faceCount; ++i) paintFace(*panorama->faces[i], i);
        return panorama;
    }
    void save(SixImage& panorama, int row, const std::string& name) {
        panorama.layout = row;
        panorama.fileName = dir.file(name);
        ASSERT_EQ(panorama.write(), 0);
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
};

TEST_F(FaceJpeg, EveryJpegOfTheFaceLayoutsHasTheQualityAndSamplingAsked) {
    for (const Settings& s : settingsCases) {
        deleteUserSetting(faceJpegQualitySetting);
        deleteUserSetting(faceJpegSubsamplingSetting);
        if (s.quality) writeNumberSetting("FaceJPEGQuality", *s.quality);
        if (s.subsampling != nullptr) writeStringSetting("FaceJPEGSubsampling", s.subsampling);
        const std::vector<int> expectedTable = luminanceTableOfQuality(s.expectedQuality);
        for (const Layout& layout : layouts) {
            SCOPED_TRACE(std::string(s.what) + ", " + layout.what);
            auto panorama = patterned();
            panorama->faceJpegQuality = s.overrideQuality;
            panorama->faceJpegChroma = s.overrideChroma;
            save(*panorama, layout.row, layout.name);
            for (const char* name : layout.written) {
                const JpegHeader header = readJpegHeader(dir.file(name));
                ASSERT_TRUE(header.ok) << name;
                EXPECT_EQ(header.luminanceTable, expectedTable) << name;
                EXPECT_EQ(header.lumaH, s.expectedFactor) << name;
                EXPECT_EQ(header.lumaV, s.expectedFactor) << name;
            }
        }
    }
}

TEST_F(FaceJpeg, WithoutSettingsTheFacesAreTheBytesSaveJpegWrites) {
    struct Case {
        int row;
        const char* name;
        const char* face;
        int from;  // the panorama face the file holds
    };
    const Case cases[] = {
        {saveRows::vrmlJpeg, "pano.wrl", "pano_FR.jpg", Front},
        {saveRows::vrmlJpeg, "pano.wrl", "pano_DN.jpg", Down},
        {saveRows::skyJpeg, "sky_ft.jpg", "sky_ft.jpg", Back},  // seen from outside
        {saveRows::skyJpeg, "sky_ft.jpg", "sky_lf.jpg", Left},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        auto panorama = patterned();
        save(*panorama, c.row, c.name);
        const BGRImage& face = *panorama->faces[c.from];
        SaveJPEG(dir.file("reference.jpg").c_str(), face.size(), face.stride, 3, face.pixels);
        EXPECT_EQ(readBytes(dir.file(c.face)), readBytes(dir.file("reference.jpg")));
    }
}

TEST_F(FaceJpeg, PhotosKeepTheirOwnQualityWhateverTheFaceSettingsSay) {
    writeNumberSetting("FaceJPEGQuality", 30);
    writeStringSetting("FaceJPEGSubsampling", "4:2:0");
    auto panorama = patterned();
    save(*panorama, saveRows::photoJpeg, "photo.jpg");
    const JpegHeader header = readJpegHeader(dir.file("photo.jpg"));
    ASSERT_TRUE(header.ok);
    EXPECT_EQ(header.luminanceTable, luminanceTableOfQuality(92));
    EXPECT_EQ(header.lumaH, 1);
}

}  // namespace
