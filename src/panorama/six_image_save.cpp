// Writing a panorama in the layout of its save row, and the questions that lead there.
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "image/codecs.h"
#include "image/jpeg.h"
#include "image/jpeg_blocks.h"
#include "image/photo_metadata.h"
#include "image/pixel_budget.h"
#include "image/png.h"
#include "image/row_gate.h"
#include "panorama/document_files.h"
#include "panorama/document_questions.h"
#include "panorama/format_table.h"
#include "panorama/geometry.h"
#include "panorama/scene_files.h"
#include "panorama/six_image.h"
#include "panorama/sphere.h"
#include "panorama/sphere_changes.h"
#include "panorama/web_page.h"
#include "platform/file_contents.h"
#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/progress.h"
#include "platform/report.h"
#include "platform/save_set.h"
#include "platform/settings.h"
#include "platform/staged_write.h"

namespace {

// The writers that take a picture's rows from the top and wait at the RowGate of their
// thread before each.
bool takesRowsFromTop(ImageWriter writer) { return writer == SaveJPEG || writer == SavePNG; }

// The sphere made from the faces on a thread of its own, band by band from the top (with
// the shared pool's threads), while the writer, taking rows from the top, waits at this
// gate for the rows it needs: the encoding overlaps the making.
class SphereInTheMaking : public RowGate {
public:
    SphereInTheMaking(const SixImage& panorama, RawImage& sphere, double bottom, double top, const KeptPicture* kept)
        : height_(sphere.height), thread_([this, &panorama, &sphere, bottom, top, kept] {
              make(panorama, sphere, bottom, top, kept);
          }) {}
    ~SphereInTheMaking() override {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;  // a writer that gave up needs no more rows
        }
        thread_.join();
    }
    SphereInTheMaking(const SphereInTheMaking&) = delete;
    SphereInTheMaking& operator=(const SphereInTheMaking&) = delete;

    void waitForRows(std::int32_t rowsFromTop) override {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return made_ >= rowsFromTop || finished_; });
        if (made_ < rowsFromTop && failure_) std::rethrow_exception(failure_);
    }

private:
    void make(const SixImage& panorama, RawImage& sphere, double bottom, double top, const KeptPicture* kept) {
        // Bands small enough for the writer to start soon, large enough that each is worth
        // waking the pool for.
        const std::int32_t band = std::max(16, height_ / 64);
        try {
            cubeToSphereFromTop(panorama, sphere.pixels, sphere.width, sphere.height, sphere.stride, 3, bottom, top,
                                band, [this](std::int32_t rows) {
                                    const std::lock_guard lock(mutex_);
                                    made_ = rows;
                                    changed_.notify_all();
                                    return !stopping_;
                                }, 0, kept);
        } catch (...) {
            const std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
        }
        const std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }

    const std::int32_t height_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::int32_t made_ = 0;
    bool finished_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;  // last: it starts once everything above is made
};

// A JPEG writer encodes image with jpeg.
void writeImage(ImageWriter writer, const std::string& path, const BGRImage& image, const JpegFaceEncoding& jpeg = {}) {
    writeReplacing(path, [&](const std::string& staged) {
        if (writer == SaveJPEG)
            SaveJPEGFace(staged.c_str(), image.size(), image.stride, 3, image.pixels, jpeg);
        else
            writer(staged.c_str(), image.size(), image.stride, 3, image.pixels);
    });
}

// Quality of photos saved as JPEG when "PhotoJPEGQuality" is not set.
constexpr std::uint32_t defaultPhotoQuality = 92;

int photoQuality() {
    std::uint32_t quality = defaultPhotoQuality;
    if (!readNumberSetting("PhotoJPEGQuality", quality, false, true) || quality < 1 || quality > 100)
        quality = defaultPhotoQuality;
    return static_cast<int>(quality);
}

// Writes a photo with the metadata of the picture it was made from; a JPEG also says
// that it is an equirectangular panorama unless it is a strip of faces.
void writePhoto(ImageWriter writer, const std::string& path, const BGRImage& image, const PhotoSource* source,
                bool sphere) {
    PhotoMetadata metadata = source != nullptr ? source->metadata : PhotoMetadata{};
    // A photo resized since it was read says its new size; a strip is no GPano picture.
    if (sphere) fitPhotoMetadataTo(metadata, image.size());
    if (writer == SaveJPEG) {
        if (sphere) addPanoramaXmp(metadata, image.size());
        const int quality = photoQuality();
        writeReplacing(path, [&](const std::string& staged) {
            SaveJPEGPhoto(staged.c_str(), image.size(), image.stride, image.pixels, quality, metadata);
        });
    } else if (writer == SavePNG) {
        writeReplacing(path, [&](const std::string& staged) {
            SavePNGPhoto(staged.c_str(), image.size(), image.stride, image.pixels, metadata);
        });
    } else {
        writeImage(writer, path, image);
    }
}

// The cells of blocks' picture (face's, read from a page) where the face has changed, one
// byte a cell, top row first; the face's rows are stored bottom-up.
std::vector<std::uint8_t> touchedCells(const FaceChanges& changes, int face, const JpegBlocks& blocks) {
    const Size size = blocks.size();
    const std::int32_t columns = blocks.cellColumns(), rows = blocks.cellRows();
    std::vector<std::uint8_t> touched(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0);
    for (std::int32_t cellRow = 0; cellRow < rows; ++cellRow) {
        const std::int32_t top = size.height - 8 * cellRow;
        const std::int32_t bottom = std::max(0, top - 8);
        for (std::int32_t column = 0; column < columns; ++column)
            if (changes.anyChangedIn(face, 8 * column, bottom, std::min(size.width, 8 * column + 8), top))
                touched[static_cast<std::size_t>(cellRow) * static_cast<std::size_t>(columns) +
                        static_cast<std::size_t>(column)] = 1;
    }
    return touched;
}

// The faces at one square side of at most maxPageFaceSide as pictures at base_FR.ext ...,
// and the page that shows them. Returns the side of the largest face.
std::int32_t writeWebPage(const SixImage& panorama, const FormatTable::SaveRow& row, const std::string& page,
                          const std::string& base, const std::string& title) {
    const std::string extension = row.faceExtension;
    std::int32_t largest = 0;
    for (const auto& face : panorama.faces) largest = std::max({largest, face->width, face->height});
    const std::int32_t side = std::min(largest, maxPageFaceSide);

    // The page may name a folder that is not there yet; made with the user's usual
    // permissions, so that a web server can read it.
    std::error_code error;
    std::filesystem::create_directories(folderPart(page).empty() ? std::string(pageViewerFolder)
                                                                 : folderPart(page) + "/" + pageViewerFolder,
                                        error);
    if (error) throw ioException{page, ioException::opening, "cannot make the page's folder"};

    const int quality = photoQuality();
    std::array<std::string, faceCount> faceBytes;
    ProgressParts parts(faceCount);
    for (int i = 0; i < faceCount; ++i) {
        parts.start(i);
        const BGRImage& face = *panorama.faces[i];
        std::unique_ptr<RawImage> scaled;
        if (face.size() != Size{side, side}) {
            scaled = std::make_unique<RawImage>(Size{side, side});
            scaled->copyScaled(face, {0, 0}, face.size(), {0, 0}, scaled->size());
        }
        const BGRImage& written = scaled ? *scaled : face;
        // A face read from a page's JPEG and written at its own size keeps every block no
        // change reaches.
        JpegBlocks* blocks = panorama.pageFaceBlocks[i].get();
        const bool blockExact = row.writer == SaveJPEG && !scaled && blocks != nullptr &&
                                blocks->size() == face.size() && panorama.faceChanges.tracks(panorama.faceSizes());
        writeReplacing(base + faceSuffixes[i] + extension, [&](const std::string& staged) {
            if (blockExact)
                SaveJPEGBlocks(staged.c_str(), *blocks, face.pixels, face.pixels, face.stride,
                               touchedCells(panorama.faceChanges, i, *blocks), {});
            else if (row.writer == SaveJPEG)
                SaveJPEGPhoto(staged.c_str(), written.size(), written.stride, written.pixels, quality, {});
            else
                row.writer(staged.c_str(), written.size(), written.stride, 3, written.pixels);
            // The page's faces script carries the same bytes.
            std::error_code sizeError;
            const std::uintmax_t size = std::filesystem::file_size(staged, sizeError);
            if (sizeError || readFileContents(staged, static_cast<std::size_t>(size), faceBytes[i]) != FileRead::ok)
                throw ioException{staged, ioException::reading, "the face just written cannot be read back"};
        });
    }
    writePageFiles(page, base, extension, title, panorama.pageView, faceBytes);
    return largest;
}

}  // namespace

int SixImage::write() {
    const FormatTable& table = formatTable();
    if (!table.validSaveRow(layout)) throw ioException{fileName, ioException::opening, "no such save layout"};
    for (const auto& face : faces)
        if (!face || face->pixels == nullptr) throw ioException{fileName, ioException::writing, "a face has no pixels"};
    const FormatTable::SaveRow& row = table.saveRow(layout);
    const std::string base = table.saveBase(fileName, layout);
    const std::string imageExtension = extensionOf(row.savePattern);
    const std::string faceExtension = row.faceExtension != nullptr ? row.faceExtension : "";
    // The one picture a sphere or strip layout makes from the faces must fit the pixel
    // budget before it is allocated; faces written one by one are already in memory.
    const Size cell = faces[0]->size();
    if (row.kind == IvrSphere || row.kind == SphericalPhoto)
        checkPixelBudget(fileName.c_str(), ioException::writing, {4 * cell.width, 2 * cell.width});
    if (row.kind == IvrCubeStrip || row.kind == SphericalPhoto)
        checkPixelBudget(fileName.c_str(), ioException::writing, {cell.width, 6 * cell.height});
    // Every file below replaces its old version at the commit, all of them or none.
    SaveSet files(replaceReadOnlyFiles ? ReadOnlyTargets::replace : ReadOnlyTargets::refuse);
    std::int32_t largestPageFace = 0;
    const JpegFaceEncoding jpeg = faceJpegEncoding();

    switch (row.kind) {
    case VrmlBackground:
    case IvrBackground: {
        ProgressParts parts(faceCount);
        for (int i = 0; i < faceCount; ++i) {
            parts.start(i);
            writeImage(row.writer, base + faceSuffixes[i] + faceExtension, *faces[i], jpeg);
        }
        const std::string scene = base + (row.kind == IvrBackground ? ".ivr" : ".wrl");
        if (!canOpenForReading(scene))
            writeReplacing(scene, [&](const std::string& staged) { writeBackgroundScene(staged, base, faceExtension); });
        break;
    }
    case IvrSphere: {
        writeSphere(false, takesRowsFromTop(row.writer),
                    [&](const BGRImage& sphere) { writeImage(row.writer, base + faceExtension, sphere, jpeg); });
        if (!canOpenForReading(base + ".ivr"))
            writeReplacing(base + ".ivr",
                           [&](const std::string& staged) { writeVistaScene(staged, base, faceExtension, "SPHERE"); });
        break;
    }
    case IvrCubeStrip: {
        RawImage strip(Size{cell.width, 6 * cell.height});
        for (int i = 0; i < faceCount; ++i) {
            const BGRImage& face = *faces[cubeStripOrder[i]];
            strip.copyScaled(face, {0, 0}, face.size(), {0, i * cell.height}, cell);
        }
        writeImage(row.writer, base + faceExtension, strip, jpeg);
        if (!canOpenForReading(base + ".ivr"))
            writeReplacing(base + ".ivr",
                           [&](const std::string& staged) { writeVistaScene(staged, base, faceExtension, "CUBE"); });
        break;
    }
    case SphericalPhoto: {
        // The name as given when it ends as the pattern does, whatever the case
        // (photo.JPG), so that a save goes back to the file opened.
        const std::string name = matchLength(fileName, row.savePattern) > 0 ? fileName : base + imageExtension;
        const PhotoSource* source = photoSource.get();
        bool sameCells = true;
        for (const auto& face : faces) sameCells = sameCells && face->size() == cell;
        if (source != nullptr && source->strip && sameCells) {
            // Opened from a strip: written back as one.
            RawImage strip(Size{cell.width, 6 * cell.height});
            for (int i = 0; i < faceCount; ++i) {
                const BGRImage& face = *faces[cubeStripOrder[i]];
                strip.copyScaled(face, {0, 0}, face.size(), {0, i * cell.height}, cell);
            }
            writePhoto(row.writer, name, strip, source, false);
        } else if (row.writer != SaveJPEG || !writeBlockExactPhoto(name)) {
            writeSphere(true, takesRowsFromTop(row.writer),
                        [&](const BGRImage& sphere) { writePhoto(row.writer, name, sphere, source, true); });
        }
        break;
    }
    case ThreeDStudio:
    case QuakeSky:
    case SkyBox: {
        const bool quake = row.kind == QuakeSky || row.kind == SkyBox;
        const auto& suffixes = quake ? quakeSuffixes : faceSuffixes;
        const std::string separator = row.kind == SkyBox ? "_" : "";
        ProgressParts parts(faceCount);
        for (int i = 0; i < faceCount; ++i) {
            parts.start(i);
            // These layouts look at the cube from outside: the front file holds the back.
            const int face = i == 0 ? Back : i == 1 ? Front : i;
            const std::string name = base + separator + suffixes[i] + imageExtension;
            if (quake && (i == Up || i == Down))
                writeTurnedFace(*faces[face], row.writer, name,
                                i == Down ? QuarterTurn::counterClockwise : QuarterTurn::clockwise, jpeg);
            else
                writeImage(row.writer, name, *faces[face], jpeg);
        }
        break;
    }
    case WebPage: {
        const std::string page = matchLength(fileName, row.savePattern) > 0 ? fileName : base + imageExtension;
        const std::string shown = title ? std::string(title.get()) : std::string(fileNamePart(base));
        largestPageFace = writeWebPage(*this, row, page, base, shown);
        break;
    }
    case BryceCylinder:
    case QtvrCylinder:
    case SceneFile:
        throw ioException{fileName, ioException::opening, "layout cannot be written"};
    }
    files.commit();
    if (largestPageFace > maxPageFaceSide)
        showMessage("The faces are " + std::to_string(largestPageFace) + " pixels wide; the web page holds them at " +
                    std::to_string(maxPageFaceSide) + " pixels, the largest that browsers' panorama viewers show "
                    "everywhere.");
    // Said at the first save only: the colours became RGB at the open, and stay so.
    if (photoSource != nullptr && photoSource->metadata.convertedFromCmyk) {
        showMessage("The photo's colours were CMYK; " + fileName + " holds them as RGB" +
                    (photoSource->metadata.droppedCmykProfile ? ", without the photo's CMYK colour profile." : "."));
        photoSource->metadata.convertedFromCmyk = false;
    }

    // A page shows the title it was written with; the panorama keeps it.
    if (row.kind != WebPage || !title) title = makeTitle(fileNamePart(base));
    modified = 0;
    return 0;
}

bool SixImage::writeBlockExactPhoto(const std::string& path) {
    PhotoSource* source = photoSource.get();
    if (source == nullptr || source->strip || !source->jpegBlocks || !source->picture) return false;
    const RawImage& picture = *source->picture;
    if (picture.width / 4 != faces[0]->width || source->jpegBlocks->size() != picture.size() ||
        !faceChanges.tracks(faceSizes()))
        return false;
    // The cells that see a changed face pixel, made anew; the rest of it is never
    // written (nor its memory touched).
    RawImage sphere(Size{0, 0});
    sphere.allocate(picture.size());
    const double v = sphereVerticalExtent(picture.width, picture.height);
    const SphereCells cells = cubeToSphereChanges(*this, picture.pixels, sphere.pixels, sphere.width, sphere.height,
                                                  sphere.stride, -v / 2, v / 2, faceChanges, 8);
    PhotoMetadata metadata = source->metadata;
    addPanoramaXmp(metadata, sphere.size());
    writeReplacing(path, [&](const std::string& staged) {
        SaveJPEGBlocks(staged.c_str(), *source->jpegBlocks, picture.pixels, sphere.pixels, sphere.stride, cells.touched,
                       metadata);
    });
    return true;
}

void SixImage::writeSphere(bool ownSize, bool rowsFromTop,
                           const std::function<void(const BGRImage& sphere)>& write) const {
    const std::int32_t side = faces[0]->width;
    Size size{4 * side, 2 * side};
    double bottom = -singlePi / 2, top = singlePi / 2;
    const RawImage* original = nullptr;
    if (photoSource != nullptr && !photoSource->strip && photoSource->picture != nullptr) {
        const RawImage& picture = *photoSource->picture;
        // A picture that is not 2:1 goes back at its own size, over the band it covered.
        if (ownSize && picture.width / 4 == side) {
            size = picture.size();
            const double v = sphereVerticalExtent(picture.width, picture.height);
            bottom = -v / 2;
            top = v / 2;
        }
        if (picture.size() == size) original = &picture;
    }
    RawImage sphere(size);
    KeptPicture kept;
    if (original != nullptr && faceChanges.tracks(faceSizes()))
        kept = {original->pixels, original->stride, &faceChanges};
    const KeptPicture* keptPicture = kept.pixels != nullptr ? &kept : nullptr;
    if (!rowsFromTop) {
        cubeToSphere(*this, sphere.pixels, sphere.width, sphere.height, sphere.stride, 3, bottom, top, 0, keptPicture);
        write(sphere);
        return;
    }
    SphereInTheMaking making(*this, sphere, bottom, top, keptPicture);
    const ScopedRowGate gate(making);
    write(sphere);
}

JpegFaceEncoding SixImage::faceJpegEncoding() const {
    JpegFaceEncoding encoding = readJpegFaceEncoding();
    if (faceJpegQuality) encoding.quality = *faceJpegQuality;
    if (faceJpegChroma) encoding.chroma = *faceJpegChroma;
    return encoding;
}

void SixImage::writeTurnedFace(BGRImage& face, ImageWriter writer, const std::string& path, QuarterTurn turn,
                               const JpegFaceEncoding& jpeg) {
    const int counterClockwise = turn == QuarterTurn::counterClockwise ? 1 : 0;
    if (face.width == face.height) {
        face.rotateQuarter(counterClockwise);
        struct TurnBack {
            BGRImage& face;
            int counterClockwise;
            ~TurnBack() { face.rotateQuarter(!counterClockwise); }
        } turnBack{face, counterClockwise};
        writeImage(writer, path, face, jpeg);
        return;
    }
    const std::int32_t side = std::max(face.width, face.height);
    RawImage square(Size{side, side});
    square.copyScaled(face, {0, 0}, face.size(), {0, 0}, square.size());
    square.rotateQuarter(counterClockwise);
    writeImage(writer, path, square, jpeg);
}

std::string eightBitNotice(const std::string& path, const std::string& lost) {
    return "\"" + path + "\" has " + lost + ". Domecast's faces hold 8 bits a channel and no transparency: " +
           "a save of this panorama keeps only that.";
}

std::string eightBitQuestion(const std::string& path, const std::string& lost) {
    return "This panorama was opened from \"" + path + "\", which has " + lost +
           ". The save writes 8 bits a channel and no transparency.\n\nSave anyway?";
}

int SixImage::save(DocumentQuestions& questions) {
    if (fileName.empty() || layout == -1) return saveAs(questions);
    if (photoSource && !photoSource->metadata.lostAt8Bits.empty() && !photoSource->eightBitsAccepted) {
        if (!questions.confirm(eightBitQuestion(photoSource->path, photoSource->metadata.lostAt8Bits))) return 1;
        photoSource->eightBitsAccepted = true;
    }
    WaitCursor wait(questions);
    try {
        return write();
    } catch (const ioException& e) {
        if (!isReadOnlyRefusal(e) || replaceReadOnlyFiles) throw;
        wait.pause();
        const bool replace = questions.askReplaceReadOnly(
            "The file " + e.path + " is read-only.\nReplace it, and any other read-only file of this save?");
        // Nothing was written: a No leaves every file as it was, as a Cancel does.
        if (!replace) return 1;
        wait.resume();
        struct Restore {
            bool& flag;
            ~Restore() { flag = false; }
        } restore{replaceReadOnlyFiles};
        replaceReadOnlyFiles = true;
        return write();
    }
}

int SixImage::saveAs(DocumentQuestions& questions) {
    const FormatTable& table = formatTable();
    const std::string folder = readFolderSetting("LastFolder", false);
    // "LastType" holds an open row.
    int preferred = layout;
    if (layout == -1) {
        const int lastType = readLastType();
        preferred = table.validOpenRow(lastType) ? table.openRow(lastType).openToSave : -1;
    }
    const int initialType = table.validSaveRow(preferred) ? preferred : 0;

    const std::optional<FileChoice> choice = questions.chooseSaveFile(folder, initialType);
    if (!choice || choice->path.empty() || !table.validSaveRow(choice->row)) return 1;

    // A name that fits one layout better than the type selected takes that layout, unless
    // several layouts fit it equally well.
    layout = table.typedSaveRow(choice->path, choice->row);
    fileName = choice->path;
    writeStringSetting("LastFolder", folderPart(fileName));
    const int openRow = table.saveRow(layout).saveToOpen;
    writeNumberSetting("LastType", static_cast<std::uint32_t>(openRow >= 0 ? openRow : layout));
    return save(questions);
}

int SixImage::querySaveChanges(DocumentQuestions& questions) {
    for (;;) {
        if (modified == 0) return 0;
        const std::string text = "Save changes to " + std::string(title ? title.get() : "Domecast file") + "?";
        switch (questions.askSaveChanges(text, "Domecast")) {
        case MessageAnswer::yes:
            try {
                return saveAs(questions) != 0 ? 1 : 0;
            } catch (const ioException& e) {
                if (isCancellation(e)) return 1;
                reportIoException(e);
            }
            break;
        case MessageAnswer::no:
            return 0;
        default:
            return 1;
        }
    }
}
