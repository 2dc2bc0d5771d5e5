// The spherical photo and sky box layouts: metadata kept, pictures written back at their
// own size, sky box faces turned as the Quake rows turn them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

#include "image/jpeg.h"
#include "image/photo_metadata.h"
#include "image/png.h"
#include "image/tga.h"
#include "panorama/format_table.h"
#include "panorama/geometry.h"
#include "panorama/six_image.h"
#include "panorama/sphere.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/settings.h"
#include "support/face_pixels.h"
#include "support/io_exception_expect.h"
#include "support/jpeg_files.h"
#include "support/layout_rows.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/scripted_questions.h"
#include "support/temp_dir.h"

namespace {


std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// The segments of a JPEG file before its scan, and the sampling of its first component.
struct JpegLayout {
    std::vector<JpegSegment> segments;
    int lumaSampling = 0;  // h << 4 | v
};

JpegLayout parseJpeg(const std::vector<std::uint8_t>& b) {
    JpegLayout layout;
    std::size_t at = 2;
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        const int marker = b[at + 1];
        const std::size_t length = (b[at + 2] << 8) | b[at + 3];
        if (marker == 0xDA || at + 2 + length > b.size()) break;
        const std::uint8_t* data = b.data() + at + 4;
        if (marker == 0xE1 || marker == 0xE2 || marker == 0xFE)
            layout.segments.push_back({marker, std::vector<std::uint8_t>(data, data + length - 2)});
        if (marker == 0xC0 && length >= 11) layout.lumaSampling = data[7];
        at += 2 + length;
    }
    return layout;
}

// Writes a JPEG with those segments straight through libjpeg.
void writeJpegWithSegments(const std::string& path, const RawImage& picture, const std::vector<JpegSegment>& segments) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_stdio_dest(&c, file);
    c.image_width = static_cast<JDIMENSION>(picture.width);
    c.image_height = static_cast<JDIMENSION>(picture.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    c.write_JFIF_header = FALSE;
    jpeg_start_compress(&c, TRUE);
    for (const JpegSegment& s : segments)
        jpeg_write_marker(&c, s.marker, s.data.data(), static_cast<unsigned>(s.data.size()));
    for (int y = picture.height; y-- > 0;) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.row(y));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(file);
}

JpegSegment exifSegment() {
    std::vector<std::uint8_t> data = bytesOf(exifSignature);
    const std::uint8_t tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    data.insert(data.end(), std::begin(tiff), std::end(tiff));
    return {0xE1, data};
}

JpegSegment xmpSegment(std::string_view body) {
    std::vector<std::uint8_t> data = bytesOf(xmpSignature);
    data.insert(data.end(), body.begin(), body.end());
    return {0xE1, data};
}

JpegSegment iccSegment() {
    std::vector<std::uint8_t> data = bytesOf(iccSignature);
    data.push_back(1);
    data.push_back(1);
    for (int i = 0; i < 300; ++i) data.push_back(static_cast<std::uint8_t>(i * 7));
    return {0xE2, data};
}

const char* const gpanoXmp =
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
    "<rdf:Description rdf:about=\"\" xmlns:GPano=\"http://ns.google.com/photos/1.0/panorama/\" "
    "GPano:ProjectionType=\"equirectangular\"/></rdf:RDF></x:xmpmeta>";
const char* const plainXmp =
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
    "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"/></rdf:RDF></x:xmpmeta>";

std::string textOf(const JpegSegment& s) { return {s.data.begin(), s.data.end()}; }

class PhotoLayouts : public ::testing::Test {
protected:
    std::unique_ptr<SixImage> open(int row, const std::string& path) {
        auto panorama = std::make_unique<SixImage>();
        panorama->load(questions, row, path);
        return panorama;
    }
    void save(SixImage& panorama, int row, const std::string& path) {
        panorama.layout = row;
        panorama.fileName = path;
        panorama.write();
    }
    std::unique_ptr<RawImage> readPicture(ImageReader reader, const std::string& path) {
        std::unique_ptr<RawImage> picture;
        reader(path.c_str(), SixImage::rawSink, &picture);
        return picture;
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    MessageRecorder messages;
    ScriptedQuestions questions;
};

TEST_F(PhotoLayouts, JpegSegmentsSurviveASaveAndBadOnesAreDropped) {
    const std::unique_ptr<RawImage> pictureOwner = smoothSphere({256, 128});
    const RawImage& picture = *pictureOwner;
    std::vector<std::uint8_t> badExif = bytesOf(exifSignature);
    badExif.insert(badExif.end(), {'X', 'X', 0, 0, 0, 0, 0, 0});
    const JpegSegment mpf{0xE2, bytesOf(std::string_view("MPF\0II*\0\0\0\0\0", 12))};
    const JpegSegment comment{0xFE, bytesOf("shot on a pole")};
    struct Case {
        const char* what;
        std::vector<JpegSegment> in;
        std::vector<JpegSegment> kept;  // as they must come back, GPano aside
        bool gpanoAdded;
    } cases[] = {
        {"EXIF, XMP with GPano, ICC, comment", {exifSegment(), xmpSegment(gpanoXmp), iccSegment(), comment},
         {exifSegment(), xmpSegment(gpanoXmp), iccSegment(), comment}, false},
        {"a bad EXIF header and an MPF index", {JpegSegment{0xE1, badExif}, mpf, comment}, {comment}, true},
        {"XMP without GPano", {exifSegment(), xmpSegment(plainXmp)}, {exifSegment()}, true},
    };
    for (const Case& c : cases) {
        const std::string in = dir.file("in.jpg"), out = dir.file("out.jpg");
        writeJpegWithSegments(in, picture, c.in);
        auto panorama = open(openRows::photoJpeg, in);
        save(*panorama, saveRows::photoJpeg, out);
        const JpegLayout layout = parseJpeg(fileBytes(out));
        EXPECT_EQ(layout.lumaSampling, 0x22) << c.what;  // the source's 4:2:0, its blocks kept
        std::vector<JpegSegment> others;
        int gpano = 0;
        for (const JpegSegment& s : layout.segments) {
            const bool hasGpano = textOf(s).find("GPano:ProjectionType=\"equirectangular\"") != std::string::npos;
            gpano += hasGpano;
            if (!(c.gpanoAdded && hasGpano)) others.push_back(s);
        }
        EXPECT_EQ(gpano, 1) << c.what;
        ASSERT_EQ(others.size(), c.kept.size()) << c.what;
        for (std::size_t i = 0; i < others.size(); ++i) {
            EXPECT_EQ(others[i].marker, c.kept[i].marker) << c.what << " segment " << i;
            EXPECT_EQ(others[i].data, c.kept[i].data) << c.what << " segment " << i;
        }
        if (c.gpanoAdded) {
            std::string all;
            for (const JpegSegment& s : layout.segments) all += textOf(s);
            EXPECT_NE(all.find("GPano:FullPanoWidthPixels=\"256\""), std::string::npos) << c.what;
            EXPECT_NE(all.find("GPano:FullPanoHeightPixels=\"128\""), std::string::npos) << c.what;
        }
    }
}

TEST_F(PhotoLayouts, JpegQualityComesFromTheSetting) {
    const std::unique_ptr<RawImage> pictureOwner = smoothSphere({256, 128});
    const RawImage& picture = *pictureOwner;
    const std::string in = dir.file("in.jpg");
    writeJpegWithSegments(in, picture, {});
    auto panorama = open(openRows::photoJpeg, in);
    panorama->faceChanges.markAll();  // every pixel encoded from the faces
    save(*panorama, saveRows::photoJpeg, dir.file("default.jpg"));
    EXPECT_EQ(parseJpeg(fileBytes(dir.file("default.jpg"))).lumaSampling, 0x11);  // 4:4:4
    writeNumberSetting("PhotoJPEGQuality", 30);
    save(*panorama, saveRows::photoJpeg, dir.file("low.jpg"));
    EXPECT_LT(fileBytes(dir.file("low.jpg")).size(), fileBytes(dir.file("default.jpg")).size());
}

TEST_F(PhotoLayouts, CmykAndYcckPhotosAreSavedAsRgbSayingSoOnce) {
    const std::unique_ptr<RawImage> picture = smoothSphere({256, 128});
    const JpegSegment comment{0xFE, bytesOf("shot on a pole")};
    const JpegSegment profile = iccSegment();
    const auto segment = [](const JpegSegment& s) { return std::pair<int, std::string>{s.marker, textOf(s)}; };
    const struct {
        const char* what;
        std::optional<CmykStorage> storage;  // none: ImageMagick's YCCK
        bool withProfile;
    } cases[] = {
        {"ImageMagick's CMYK (YCCK)", std::nullopt, false},
        {"CMYK with a CMYK colour profile", CmykStorage::adobeCmyk, true},
        {"CMYK without APP14", CmykStorage::plainCmyk, false},
    };
    for (const auto& c : cases) {
        const std::string in = dir.file("in.jpg"), out = dir.file("out.jpg");
        if (!c.storage)
            imageMagickCmykFrom(*picture, dir.file("in.ppm"), in);
        else if (c.withProfile)
            writeCmykJpeg(*picture, in, *c.storage, {segment(comment), segment(profile)});
        else
            writeCmykJpeg(*picture, in, *c.storage, {segment(comment)});
        messages.clear();
        auto panorama = open(openRows::photoJpeg, in);
        EXPECT_TRUE(messages.messages().empty()) << c.what;
        ASSERT_TRUE(panorama->photoSource) << c.what;
        EXPECT_FALSE(panorama->photoSource->jpegBlocks) << c.what;  // no RGB blocks to keep

        save(*panorama, saveRows::photoJpeg, out);
        const std::string said = "The photo's colours were CMYK; " + out + " holds them as RGB" +
                                 (c.withProfile ? ", without the photo's CMYK colour profile." : ".");
        EXPECT_EQ(messages.texts(), std::vector<std::string>{said}) << c.what;
        // Encoded whole, as RGB at every pixel, looking as the photo did.
        const JpegDump dump = dumpJpeg(out);
        ASSERT_TRUE(dump.ok) << c.what;
        EXPECT_EQ(dump.components.size(), 3u) << c.what;
        EXPECT_EQ(dump.maxH * dump.maxV, 1) << c.what;
        EXPECT_LT(meanDifference(*readPicture(LoadJPEG, out), *readPicture(LoadJPEG, in)), 1.5) << c.what;
        // The comment kept; the profile, which describes CMYK, not.
        const JpegLayout layout = parseJpeg(fileBytes(out));
        int profiles = 0, comments = 0;
        for (const JpegSegment& s : layout.segments) {
            profiles += s.marker == 0xE2;
            comments += s.marker == 0xFE && s.data == comment.data;
        }
        EXPECT_EQ(profiles, 0) << c.what;
        EXPECT_EQ(comments, c.storage ? 1 : 0) << c.what;

        // Said once: the panorama is RGB from then on.
        messages.clear();
        save(*panorama, saveRows::photoJpeg, dir.file("again.jpg"));
        EXPECT_TRUE(messages.messages().empty()) << c.what;
    }
}

// Inserts a chunk before IEND.
void insertPngChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> chunk;
    const auto length = static_cast<std::uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<std::uint8_t>(length >> shift));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    const uLong crc = crc32(crc32(0, nullptr, 0), chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<std::uint8_t>(crc >> shift));
    // Before the first IDAT, where iCCP has to be.
    const std::string text(png.begin(), png.end());
    const std::size_t idat = text.find("IDAT") - 4;
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(idat), chunk.begin(), chunk.end());
}

TEST_F(PhotoLayouts, PngKeepsTextChunksAndDropsABadIccProfile) {
    const std::unique_ptr<RawImage> pictureOwner = smoothSphere({256, 128});
    const RawImage& picture = *pictureOwner;
    PhotoMetadata metadata;
    metadata.pngTexts.push_back({-1, "Title", "Nadir", "", ""});
    metadata.pngTexts.push_back({1, "XML:com.adobe.xmp", plainXmp, "", ""});
    const std::string in = dir.file("in.png"), out = dir.file("out.png");
    SavePNGPhoto(in.c_str(), picture.size(), picture.stride, picture.pixels, metadata);
    std::vector<std::uint8_t> bytes = fileBytes(in);
    std::vector<std::uint8_t> badIcc = bytesOf(std::string_view("bad\0\0", 5));
    badIcc.insert(badIcc.end(), {1, 2, 3, 4, 5, 6});  // not a zlib stream
    insertPngChunk(bytes, "iCCP", badIcc);
    writeBytes(in, bytes);

    auto panorama = open(openRows::photoPng, in);
    save(*panorama, saveRows::photoPng, out);
    PhotoMetadata back;
    std::unique_ptr<RawImage> pixels;
    LoadPNGPhoto(out.c_str(), SixImage::rawSink, &pixels, back);
    EXPECT_TRUE(back.iccProfile.empty());
    ASSERT_GE(back.pngTexts.size(), 2u);
    EXPECT_EQ(back.pngTexts[0].key, "Title");
    EXPECT_EQ(back.pngTexts[0].text, "Nadir");
    EXPECT_EQ(back.pngTexts[1].key, "XML:com.adobe.xmp");
    EXPECT_EQ(back.pngTexts[1].text, plainXmp);
    ASSERT_TRUE(pixels);
    const std::unique_ptr<RawImage> original = readPicture(LoadPNG, in);
    EXPECT_EQ(std::memcmp(pixels->pixels, original->pixels, original->stride * original->height), 0);
}

TEST_F(PhotoLayouts, PicturesGoBackAtTheirOwnSizeAndShape) {
    struct Case {
        const char* what;
        Size size;
    } cases[] = {
        {"a band, not 2:1", {512, 128}},
        {"a strip of six faces", {64, 384}},
        {"a width not divisible by 4", {510, 255}},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<RawImage> pictureOwner = smoothSphere(c.size);
    const RawImage& picture = *pictureOwner;
        const std::string in = dir.file("in.png"), out = dir.file("out.png");
        SavePNG(in.c_str(), picture.size(), picture.stride, 3, picture.pixels);
        auto panorama = open(openRows::photoPng, in);
        save(*panorama, saveRows::photoPng, out);
        const std::unique_ptr<RawImage> back = readPicture(LoadPNG, out);
        ASSERT_TRUE(back) << c.what;
        ASSERT_EQ(back->size(), c.size) << c.what;
        for (int y = 0; y < c.size.height; ++y)
            ASSERT_EQ(std::memcmp(back->row(y), picture.row(y), 3 * static_cast<std::size_t>(c.size.width)), 0)
                << c.what << " row " << y;
    }
}

TEST_F(PhotoLayouts, AnOpenedPhotoIsSavedInPlaceAndLastTypeIsAnOpenRow) {
    const std::unique_ptr<RawImage> pictureOwner = smoothSphere({128, 64});
    const std::string path = dir.file("Trip.PNG");
    SavePNG(path.c_str(), pictureOwner->size(), pictureOwner->stride, 3, pictureOwner->pixels);
    SixImage panorama;
    questions.openAnswers.push_back(FileChoice{path, 0});  // a type that does not fit the name
    ASSERT_EQ(panorama.open(questions), 0);
    EXPECT_EQ(panorama.layout, saveRows::photoPng);
    EXPECT_EQ(panorama.fileName, path);
    std::uint32_t lastType = 0;
    ASSERT_TRUE(readNumberSetting("LastType", lastType, false, true));
    EXPECT_EQ(lastType, static_cast<std::uint32_t>(openRows::photoPng));

    const auto before = std::filesystem::last_write_time(path) - std::chrono::hours(1);
    std::filesystem::last_write_time(path, before);
    ASSERT_EQ(panorama.save(questions), 0);
    EXPECT_NE(std::filesystem::last_write_time(path), before);
    EXPECT_FALSE(std::ifstream(dir.file("Trip.png")).good());
    EXPECT_FALSE(std::ifstream(dir.file("Trip.ivr")).good());

    // Save As offers the save row of the last open row.
    SixImage unnamed;
    ASSERT_EQ(unnamed.saveAs(questions), 1);  // cancelled
    ASSERT_EQ(questions.saveQuestions.size(), 1u);
    EXPECT_EQ(questions.saveQuestions[0].type, saveRows::photoPng);
}

// Faces of a known panorama, made from the smooth sphere.
std::unique_ptr<SixImage> knownPanorama(int side) {
    auto panorama = std::make_unique<SixImage>(Size{side, side}, Size{side, side});
    const std::unique_ptr<RawImage> sphereOwner = smoothSphere({4 * side, 2 * side});
    const RawImage& sphere = *sphereOwner;
    sphereToCube(*panorama, sphere.pixels, sphere.width, sphere.height, sphere.stride, -M_PI / 2, M_PI / 2);
    return panorama;
}

double meanDifference(const std::uint8_t* a, const std::uint8_t* b) {
    return (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2])) / 3.0;
}

TEST_F(PhotoLayouts, SkyBoxFacesMadeFromAKnownPanoramaJoinAtAllTwelveEdges) {
    constexpr int side = 64;
    // The fixture: the Quake Targa faces of a known panorama, renamed with underscores.
    auto known = knownPanorama(side);
    save(*known, saveRows::quakeTarga, dir.file("skyft.tga"));
    for (const char* face : {"ft", "bk", "lf", "rt", "up", "dn"}) {
        const std::unique_ptr<RawImage> targa = readPicture(LoadTGA, dir.file(std::string("sky") + face + ".tga"));
        ASSERT_TRUE(targa);
        const std::string png = dir.file(std::string("box_") + face + ".png");
        SavePNG(png.c_str(), targa->size(), targa->stride, 3, targa->pixels);
    }
    auto box = open(openRows::skyPng, dir.file("box_bk.png"));
    for (int f = 0; f < faceCount; ++f)
        for (int y = 0; y < side; ++y)
            ASSERT_EQ(std::memcmp(box->faces[f]->row(y), known->faces[f]->row(y), 3 * side), 0) << f << " " << y;

    // Every edge: the mean step across it against the mean step inside a face.
    FaceSizes sizes;
    sizes.fill({side, side});
    const float e = 1.0f / side;  // half a pixel off the edge on either side
    int edges = 0;
    for (int axis = 0; axis < 3; ++axis)
        for (int s1 : {-1, 1})
            for (int s2 : {-1, 1}) {
                // The edge where coordinates axis+1 and axis+2 are s1 and s2.
                double across = 0, inside = 0;
                for (int k = 1; k < side - 1; ++k) {
                    const float t = -1 + (2.0f * k + 1) / side;
                    float p[3], q[3], r[3];
                    p[axis] = q[axis] = r[axis] = t;
                    p[(axis + 1) % 3] = s1 * (1 - e), p[(axis + 2) % 3] = static_cast<float>(s2);
                    q[(axis + 1) % 3] = static_cast<float>(s1), q[(axis + 2) % 3] = s2 * (1 - e);
                    r[(axis + 1) % 3] = s1 * (1 - 3 * e), r[(axis + 2) % 3] = static_cast<float>(s2);
                    const FacePixel hp = directionToFacePixel({p[0], p[1], p[2]}, sizes);
                    const FacePixel hq = directionToFacePixel({q[0], q[1], q[2]}, sizes);
                    const FacePixel hr = directionToFacePixel({r[0], r[1], r[2]}, sizes);
                    ASSERT_NE(hp.face, hq.face);
                    ASSERT_EQ(hp.face, hr.face);
                    const auto at = [&](const FacePixel& h) { return box->faces[h.face]->row(h.row) + 3 * h.column; };
                    across += meanDifference(at(hp), at(hq));
                    inside += meanDifference(at(hp), at(hr));
                }
                EXPECT_LT(across, 2 * inside + 2 * side) << "edge " << axis << " " << s1 << " " << s2;
                ++edges;
            }
    EXPECT_EQ(edges, 12);
}

TEST_F(PhotoLayouts, SkyBoxRowsRoundTrip) {
    struct Case {
        int save, open;
        const char* name;
        int tolerance;
    } cases[] = {{saveRows::skyPng, openRows::skyPng, "round_ft.png", 0}, {saveRows::skyJpeg, openRows::skyJpeg, "round_ft.jpg", 3}};
    for (const Case& c : cases) {
        auto known = knownPanorama(32);
        save(*known, c.save, dir.file(c.name));
        for (const char* face : {"_ft", "_bk", "_lf", "_rt", "_up", "_dn"})
            EXPECT_TRUE(std::ifstream(dir.file(std::string("round") + face + (c.name + 8))).good()) << face;
        auto back = open(c.open, dir.file(c.name));
        // The mean error: a face turned or swapped differs by far more than JPEG's loss.
        double error = 0;
        for (int f = 0; f < faceCount; ++f)
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 96; ++x) error += std::abs(back->faces[f]->row(y)[x] - known->faces[f]->row(y)[x]);
        EXPECT_LE(error / (faceCount * 32 * 96), c.tolerance) << c.name;
    }
}

TEST_F(PhotoLayouts, SkyBoxWithAMissingFaceOrFacesOfDifferentSizes) {
    auto known = knownPanorama(16);
    save(*known, saveRows::skyPng, dir.file("gap_ft.png"));
    std::remove(dir.file("gap_up.png").c_str());
    auto gap = open(openRows::skyPng, dir.file("gap_ft.png"));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) ASSERT_EQ(gap->faces[Up]->row(y)[x], 255);

    const RawImage small({8, 8});
    const std::string odd = dir.file("gap_up.png");
    SavePNG(odd.c_str(), small.size(), small.stride, 3, small.pixels);
    EXPECT_IO_EXCEPTION(open(openRows::skyPng, dir.file("gap_ft.png")), ioException::reading, odd, anyReason);
}

// The sphere is encoded while it is still being made: what is written is the picture
// made whole, read back exactly from PNG and as the same encoding from JPEG.
TEST_F(PhotoLayouts, ASphereWrittenWhileItIsMadeIsThePictureMadeWhole) {
    constexpr int side = 48;
    auto known = knownPanorama(side);
    RawImage whole(Size{4 * side, 2 * side});
    cubeToSphere(*known, whole.pixels, whole.width, whole.height, whole.stride, 3, -singlePi / 2, singlePi / 2);
    SavePNG(dir.file("whole.png").c_str(), whole.size(), whole.stride, 3, whole.pixels);
    SaveJPEGPhoto(dir.file("whole.jpg").c_str(), whole.size(), whole.stride, whole.pixels, 92, {});
    SaveJPEG(dir.file("whole_plain.jpg").c_str(), whole.size(), whole.stride, 3, whole.pixels);
    const struct {
        int row;
        const char* name;
        const char* expected;
        ImageReader reader;
    } cases[] = {
        {saveRows::photoPng, "photo.png", "whole.png", LoadPNG},
        {saveRows::photoJpeg, "photo.jpg", "whole.jpg", LoadJPEG},
        {saveRows::sphereJpeg, "live.ivr", "whole_plain.jpg", LoadJPEG},
    };
    for (const auto& c : cases) {
        save(*known, c.row, dir.file(c.name));
        const std::string written = c.row == saveRows::sphereJpeg ? dir.file("live.jpg") : dir.file(c.name);
        const auto got = readPicture(c.reader, written), expected = readPicture(c.reader, dir.file(c.expected));
        ASSERT_TRUE(got && expected) << c.name;
        ASSERT_EQ(got->size(), expected->size()) << c.name;
        for (int y = 0; y < got->height; ++y)
            ASSERT_EQ(std::memcmp(got->row(y), expected->row(y), 3 * static_cast<std::size_t>(got->width)), 0)
                << c.name << ": row " << y;
    }
}

// Cancel while the sphere is being written ends the making too, and keeps the old file.
TEST_F(PhotoLayouts, CancellingASphereWhileItIsMadeKeepsTheOldFile) {
    struct CancelHalfway : ProgressObserver {
        CancelHalfway() : previous(setProgressObserver(this)) {}
        ~CancelHalfway() override { setProgressObserver(previous); }
        bool progressed(double fraction) override { return fraction < 0.5; }
        ProgressObserver* previous;
    };
    auto known = knownPanorama(64);
    writeBytes(dir.file("photo.png"), bytesOf("old"));
    {
        const CancelHalfway cancel;
        EXPECT_IO_EXCEPTION(save(*known, saveRows::photoPng, dir.file("photo.png")), ioException::writing,
                            dir.file("photo.png"), cancelledReason);
    }
    EXPECT_EQ(fileBytes(dir.file("photo.png")), bytesOf("old"));
}

}  // namespace
