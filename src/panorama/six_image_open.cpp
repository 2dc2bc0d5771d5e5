// Reading a panorama in the layout of an open row, and the questions that lead there.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image/codecs.h"
#include "image/gl_dib_image.h"
#include "image/jpeg.h"
#include "image/pcx_tga.h"
#include "image/pixel_budget.h"
#include "image/png.h"
#include "panorama/document_files.h"
#include "panorama/document_questions.h"
#include "panorama/format_table.h"
#include "panorama/geometry.h"
#include "panorama/scene_files.h"
#include "panorama/six_image.h"
#include "panorama/sphere.h"
#include "panorama/web_page.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/save_set.h"
#include "platform/settings.h"

namespace {

// The readers have held the picture to the pixel budget before asking for its pixels.
bool acceptableSize(Size size) { return size.width > 0 && size.height > 0; }

GLDIBImage* asPartner(const std::unique_ptr<BGRImage>& face) { return dynamic_cast<GLDIBImage*>(face.get()); }

// Six square faces of that side, face 0 first with its own context.
void makeFaces(std::array<std::unique_ptr<BGRImage>, faceCount>& faces, std::int32_t side) {
    faces[0] = std::make_unique<GLDIBImage>(Size{side, side});
    for (int i = 1; i < faceCount; ++i) faces[i] = std::make_unique<GLDIBImage>(Size{side, side}, asPartner(faces[0]));
}

// A face that is not square becomes a square of its larger side holding a scaled copy.
void makeSquare(std::unique_ptr<BGRImage>& face, GLDIBImage* partner) {
    if (face->width == face->height) return;
    const std::int32_t side = std::max(face->width, face->height);
    auto square = std::make_unique<GLDIBImage>(Size{side, side}, partner);
    square->copyScaled(*face, {0, 0}, face->size(), {0, 0}, square->size());
    face = std::move(square);
}

// Fills the faces from cell i of a vertical strip (cell i counted from the bottom holds
// face cubeStripOrder[i]).
void stripToFaces(std::array<std::unique_ptr<BGRImage>, faceCount>& faces, const RawImage& strip) {
    const Size cell{strip.width, strip.height / 6};
    for (int i = 0; i < faceCount; ++i) {
        const int face = cubeStripOrder[i];
        faces[face] = std::make_unique<GLDIBImage>(cell, i == 0 ? nullptr : asPartner(faces[cubeStripOrder[0]]));
        faces[face]->copyScaled(strip, {0, i * cell.height}, cell, {0, 0}, cell);
    }
}

// The two files of a "QuakeII, Targa & PCX" face (name without extension), the one to
// read first first. The Targa keeps the face's full colour and size, the PCX at most 256
// palette colours, mostly at 256 x 256; so the Targa, unless the PCX was written after it
// (edited on its own).
std::vector<std::string> targaOrPcxFiles(const std::string& name) {
    namespace fs = std::filesystem;
    const std::string targa = resolveFileName(name + ".tga");
    const std::string pcx = resolveFileName(name + ".pcx");
    std::error_code targaError;
    std::error_code pcxError;
    const fs::file_time_type targaTime = fs::last_write_time(targa, targaError);
    const fs::file_time_type pcxTime = fs::last_write_time(pcx, pcxError);
    if (!targaError && (pcxError || targaTime >= pcxTime)) return {targa, pcx};
    return {pcx, targa};
}

// The name a save of that layout gives to the panorama with this base name: the base
// followed by the first alternative of the save pattern.
std::string nameInSaveLayout(const std::string& base, const char* savePattern) {
    std::string_view pattern = savePattern;
    pattern.remove_prefix(std::min(pattern.find_first_not_of('*'), pattern.size()));
    return base + std::string(pattern.substr(0, pattern.find_first_of("*;")));
}

}  // namespace

void SixImage::faceSink(Size size, int, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                        std::uint8_t*& pixels) {
    auto& slot = *static_cast<FaceSlot*>(userData);
    bytesPerPixel = 3;
    stride = 0;
    pixels = nullptr;
    if (!acceptableSize(size)) return;
    GLDIBImage* partner = nullptr;
    for (int i = 0; i < faceCount && partner == nullptr; ++i)
        if (i != slot.index) partner = asPartner(slot.panorama.faces[i]);
    std::unique_ptr<GLDIBImage> face;
    try {
        face = std::make_unique<GLDIBImage>(size, partner);
    } catch (const std::bad_alloc&) {
        return;  // the reader refuses a destination without pixels
    }
    stride = face->stride;
    pixels = face->pixels;
    slot.panorama.faces[slot.index] = std::move(face);
}

void SixImage::rawSink(Size size, int, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                       std::uint8_t*& pixels) {
    auto& target = *static_cast<std::unique_ptr<RawImage>*>(userData);
    bytesPerPixel = 3;
    stride = 0;
    pixels = nullptr;
    if (!acceptableSize(size)) return;
    try {
        target = std::make_unique<RawImage>(size);
    } catch (const std::bad_alloc&) {
        return;  // the reader refuses a destination without pixels
    }
    stride = target->stride;
    pixels = target->pixels;
}

int SixImage::load(DocumentQuestions& questions, int openRow, const std::string& path) {
    const FormatTable& table = formatTable();
    unreadFaces.clear();
    if (openRow == -1) openRow = table.bestOpenRow(path);
    if (!table.validOpenRow(openRow)) throw ioException{path, ioException::opening, "no such open layout"};
    // A save a killed process left half done is finished (or dropped) before its files are
    // read: the scene file first, which such a save renames last.
    finishStaleSaves(std::filesystem::path(path).parent_path().string());
    if (table.openRow(openRow).kind == SceneFile) {
        const SceneTarget scene = readSceneFile(path);
        return load(questions, scene.openRow, scene.picture);
    }
    WaitCursor wait(questions);
    const FormatTable::OpenRow& row = table.openRow(openRow);
    std::string extension = extensionOf(fileNamePart(path));
    if (extension.empty()) extension = extensionOf(row.openPattern);

    // One picture of the whole panorama; a picture too small to give a face pixel is
    // not a panorama. The six faces made from a sphere or cylinder are held to the pixel
    // budget as the picture was: a wide, low cylinder makes faces far larger than itself.
    auto refuseSize = [&](const std::unique_ptr<RawImage>& image, std::int32_t minWidth, std::int32_t minHeight,
                          std::int32_t facesAcross) {
        if (!image || image->width < minWidth || image->height < minHeight)
            throw ioException{path, ioException::reading, "picture too small for the layout"};
        // A strip's faces are its own cells, as large as the picture.
        if (facesAcross == 1) return;
        const std::int64_t side = image->width / facesAcross;
        const auto facePixels = static_cast<std::uint64_t>(faceCount * side * side);
        if (!withinPixelBudget(facePixels))
            throw ioException{path, ioException::reading, "faces too large",
                              "The faces made from " + path + " are too large: 6 x " + std::to_string(side) + " x " +
                                  std::to_string(side) + " pixels, " + pixelBudgetText(facePixels)};
    };
    auto readSingle = [&](std::int32_t minWidth, std::int32_t minHeight, std::int32_t facesAcross) {
        std::unique_ptr<RawImage> image;
        row.reader(path.c_str(), &SixImage::rawSink, &image);
        refuseSize(image, minWidth, minHeight, facesAcross);
        return image;
    };
    // The faces made from one spherical picture, which a save of the same size writes
    // back wherever they stay unchanged.
    auto fromSphere = [&](std::unique_ptr<PhotoSource> source) {
        const RawImage& image = *source->picture;
        makeFaces(faces, image.width / 4);
        const float v = sphereVerticalExtent(image.width, image.height);
        if (facesOnDemand)
            unconverted = std::make_unique<UnconvertedPicture>(UnconvertedPicture{nullptr, &image, false, -v / 2, v / 2});
        else
            sphereToCube(*this, image.pixels, image.width, image.height, image.stride, -v / 2, v / 2);
        faceChanges.start(faceSizes());
        photoSource = std::move(source);
    };

    switch (row.kind) {
    case VrmlBackground:
    case IvrBackground:
    case ThreeDStudio:
    case QuakeSky:
    case SkyBox:
    case WebPage: {
        std::string base;
        if (row.kind == WebPage) {
            PageFaces page = readWebPage(path);
            base = std::move(page.base);
            extension = std::move(page.extension);
            if (page.view) pageView = *page.view;
            openedView = page.view;
        } else {
            base = table.openBase(path, openRow);
        }
        const bool quake = row.kind == QuakeSky || row.kind == SkyBox;
        const auto& suffixes = quake ? quakeSuffixes : faceSuffixes;
        const std::string separator = row.kind == SkyBox ? "_" : "";
        int lastRead = -1;
        std::vector<UnreadFace> unread;
        ProgressParts parts(faceCount);
        for (int i = 0; i < faceCount; ++i) {
            parts.start(i);
            const std::string name = base + separator + suffixes[i];
            const std::vector<std::string> files =
                row.reader == LoadPCXOrTGA ? targaOrPcxFiles(name) : std::vector<std::string>{name + extension};
            std::vector<UnreadFace> faceUnread;
            std::string readFrom;
            for (const std::string& wanted : files) {
                if (!findFileName(wanted)) {
                    faceUnread.push_back({wanted, true});
                    continue;
                }
                const std::string file = resolveFileName(wanted);
                FaceSlot slot{*this, i};
                try {
                    // A page's faces keep their coefficients for a save into a page.
                    if (row.kind == WebPage && row.reader == LoadJPEG) {
                        PhotoMetadata metadata;
                        LoadJPEGPhoto(file.c_str(), &SixImage::faceSink, &slot, metadata,
                                      keepPhotoBlocks ? &pageFaceBlocks[i] : nullptr);
                    } else {
                        row.reader(file.c_str(), &SixImage::faceSink, &slot);
                    }
                } catch (const ioException& e) {
                    if (isCancellation(e)) throw;  // the user's Cancel ends the whole open
                    faces[i].reset();  // an unreadable face becomes white below
                    pageFaceBlocks[i].reset();
                }
                if (faces[i] && faces[i]->width > 0 && faces[i]->height > 0) {
                    readFrom = file;
                    break;
                }
                faces[i].reset();
                pageFaceBlocks[i].reset();
                faceUnread.push_back({file, false});
            }
            if (!faces[i]) {
                unread.insert(unread.end(), faceUnread.begin(), faceUnread.end());
                continue;
            }
            lastRead = i;
            // A sky box of faces of different sizes is not one cube.
            if (row.kind == SkyBox)
                for (int j = 0; j < i; ++j)
                    if (faces[j] && faces[j]->size() != faces[i]->size())
                        throw ioException{readFrom, ioException::reading, "sky box faces of different sizes"};
        }
        if (lastRead < 0)
            throw ioException{base + "_*" + extension, ioException::reading, "no face could be read",
                              noFacesMessage(base, unread)};
        unreadFaces = std::move(unread);
        for (auto& face : faces)
            if (!face) face = std::make_unique<GLDIBImage>(faces[lastRead]->size(), asPartner(faces[lastRead]));
        if (row.kind == WebPage) {
            // Blocks of a face read at another size than the face kept cannot go back.
            for (int i = 0; i < faceCount; ++i)
                if (pageFaceBlocks[i] && (!faces[i] || pageFaceBlocks[i]->size() != faces[i]->size()))
                    pageFaceBlocks[i].reset();
            faceChanges.start(faceSizes());
        }
        if (row.kind == ThreeDStudio || quake) std::swap(faces[Front], faces[Back]);
        if (quake) {
            makeSquare(faces[Up], asPartner(faces[Front]));
            makeSquare(faces[Down], asPartner(faces[Front]));
            faces[Up]->rotateQuarter(1);
            faces[Down]->rotateQuarter(0);
        }
        break;
    }
    case IvrSphere: {
        auto source = std::make_unique<PhotoSource>();
        source->picture = readSingle(4, 1, 4);
        fromSphere(std::move(source));
        break;
    }
    case IvrCubeStrip:
        stripToFaces(faces, *readSingle(1, 6, 1));
        break;
    case SphericalPhoto: {
        auto source = std::make_unique<PhotoSource>();
        if (row.reader == LoadJPEG)
            LoadJPEGPhoto(path.c_str(), &SixImage::rawSink, &source->picture, source->metadata,
                          keepPhotoBlocks ? &source->jpegBlocks : nullptr);
        else if (row.reader == LoadPNG)
            LoadPNGPhoto(path.c_str(), &SixImage::rawSink, &source->picture, source->metadata);
        else
            row.reader(path.c_str(), &SixImage::rawSink, &source->picture);
        source->path = path;
        if (!source->metadata.lostAt8Bits.empty()) {
            wait.pause();
            questions.showMessage(eightBitNotice(path, source->metadata.lostAt8Bits));
            wait.resume();
        }
        // A picture six times as high as wide is the six faces stacked, as a cube strip.
        source->strip = source->picture && source->picture->height == 6 * source->picture->width;
        if (source->strip) {
            refuseSize(source->picture, 1, 6, 1);
            stripToFaces(faces, *source->picture);
            faceChanges.start(faceSizes());
            photoSource = std::move(source);
        } else {
            refuseSize(source->picture, 4, 1, 4);
            fromSphere(std::move(source));
        }
        break;
    }
    case SceneFile:
        break;  // read above, through the row of the pictures it names
    case BryceCylinder:
    case QtvrCylinder: {
        std::unique_ptr<RawImage> image = readSingle(4, 1, 4);
        float v = row.kind == BryceCylinder ? 60 * degToRad : sphereVerticalExtent(image->width, image->height);
        wait.pause();
        proposedFov = static_cast<int>(v * radToDeg + 0.5f);
        const std::optional<int> answer = questions.askFieldOfView(proposedFov);
        if (answer && fieldOfViewAccepted(*answer)) {
            proposedFov = *answer;
            v = static_cast<float>(proposedFov) * degToRad;
        }
        wait.resume();
        makeFaces(faces, image->width / 4);
        if (facesOnDemand) {
            unconverted = std::make_unique<UnconvertedPicture>(UnconvertedPicture{nullptr, image.get(), true, -v / 2, v / 2});
            unconverted->own = std::move(image);
        } else {
            cylinderToCube(*this, image->pixels, image->width, image->height, image->stride, -v / 2, v / 2);
        }
        break;
    }
    }
    return 0;
}

int SixImage::open(DocumentQuestions& questions, bool fromTemplate) {
    const FormatTable& table = formatTable();
    std::string folder;
    int initialType = -1;
    if (fromTemplate) {
        folder = readFolderSetting("TemplatePath", true);
        initialType = table.bestOpenRow("_FR.png");
    } else {
        folder = readFolderSetting("LastFolder", false);
        initialType = readLastType();
    }
    const std::optional<FileChoice> choice =
        questions.chooseOpenFile(folder, table.validOpenRow(initialType) ? initialType : 0);
    if (!choice || choice->path.empty()) return 1;

    std::string name = choice->path;
    int row = table.validOpenRow(choice->row) ? choice->row : -1;
    if (row == -1 || matchLength(name, table.openRow(row).openPattern) <= 0) {
        const int best = table.bestOpenRow(name);
        if (best != -1) row = best;
    }
    if (row == -1) throw ioException{name, ioException::opening, "no layout fits the name"};
    // A scene file opens the panorama it names, as if its picture had been picked: a save
    // then writes the pictures the scene shows.
    const int pickedRow = row;
    if (table.openRow(row).kind == SceneFile) {
        finishStaleSaves(std::filesystem::path(name).parent_path().string());
        SceneTarget scene = readSceneFile(name);
        name = std::move(scene.picture);
        row = scene.openRow;
    }

    if (const int result = load(questions, row, name); result != 0) return result;

    if (fromTemplate) {
        fileName.clear();
        title.reset();
        return 0;
    }
    nameAfter(name, row);
    writeStringSetting("LastFolder", folderPart(name));
    writeNumberSetting("LastType", static_cast<std::uint32_t>(pickedRow));
    return 0;
}

void SixImage::nameAfter(const std::string& path, int openRow) {
    const FormatTable& table = formatTable();
    if (openRow == -1) openRow = table.bestOpenRow(path);
    if (!table.validOpenRow(openRow)) return;
    const std::string base = table.openBase(path, openRow);
    title = makeTitle(fileNamePart(base));
    if (table.openRow(openRow).kind == WebPage) {
        // The title the page shows rather than its file's name (index). Only the title is
        // read here: load has read the page and reported a page it cannot use; should the
        // page have changed since, the file name's title stands.
        try {
            const PageFaces page = readWebPage(path);
            if (!page.title.empty()) title = makeTitle(page.title);
        } catch (const ioException&) {
        }
    }
    layout = table.openRow(openRow).openToSave;
    if (layout == -1)
        fileName.clear();
    else if (table.openRow(openRow).kind == SphericalPhoto || table.openRow(openRow).kind == WebPage)
        fileName = resolveFileName(path);  // the photo itself, in its own case
    else
        fileName = nameInSaveLayout(base, table.saveRow(layout).savePattern);
    modified = 0;
}
