// Writing a panorama in the layout of its save row, and the questions that lead there.
#include <algorithm>
#include <string>

#include "image/codecs.h"
#include "panorama/document_files.h"
#include "panorama/document_questions.h"
#include "panorama/format_table.h"
#include "panorama/geometry.h"
#include "panorama/scene_files.h"
#include "panorama/six_image.h"
#include "panorama/sphere.h"
#include "platform/io_exception.h"
#include "platform/report.h"
#include "platform/settings.h"
#include "platform/staged_write.h"

namespace {

void writeImage(ImageWriter writer, const std::string& path, const BGRImage& image) {
    writeReplacing(path, [&](const std::string& staged) {
        writer(staged.c_str(), image.size(), image.stride, 3, image.pixels);
    });
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

    switch (row.kind) {
    case VrmlBackground:
    case IvrBackground: {
        for (int i = 0; i < faceCount; ++i) writeImage(row.writer, base + faceSuffixes[i] + faceExtension, *faces[i]);
        const std::string scene = base + (row.kind == IvrBackground ? ".ivr" : ".wrl");
        if (!canOpenForReading(scene)) writeBackgroundScene(scene, base, faceExtension);
        break;
    }
    case IvrSphere: {
        const std::int32_t side = faces[0]->width;
        RawImage sphere(Size{4 * side, 2 * side});
        cubeToSphere(*this, sphere.pixels, sphere.width, sphere.height, sphere.stride, 3, -singlePi / 2,
                     singlePi / 2);
        writeImage(row.writer, base + faceExtension, sphere);
        if (!canOpenForReading(base + ".ivr")) writeVistaScene(base + ".ivr", base, faceExtension, "SPHERE");
        break;
    }
    case IvrCubeStrip: {
        const Size cell = faces[0]->size();
        RawImage strip(Size{cell.width, 6 * cell.height});
        for (int i = 0; i < faceCount; ++i) {
            const BGRImage& face = *faces[cubeStripOrder[i]];
            strip.copyScaled(face, {0, 0}, face.size(), {0, i * cell.height}, cell);
        }
        writeImage(row.writer, base + faceExtension, strip);
        if (!canOpenForReading(base + ".ivr")) writeVistaScene(base + ".ivr", base, faceExtension, "CUBE");
        break;
    }
    case ThreeDStudio:
    case QuakeSky: {
        const auto& suffixes = row.kind == QuakeSky ? quakeSuffixes : faceSuffixes;
        for (int i = 0; i < faceCount; ++i) {
            // Both layouts look at the cube from outside: the front file holds the back.
            const int face = i == 0 ? Back : i == 1 ? Front : i;
            const std::string name = base + suffixes[i] + imageExtension;
            if (row.kind == QuakeSky && (i == Up || i == Down))
                writeTurnedFace(*faces[face], row.writer, name,
                                i == Down ? QuarterTurn::counterClockwise : QuarterTurn::clockwise);
            else
                writeImage(row.writer, name, *faces[face]);
        }
        break;
    }
    case BryceCylinder:
    case QtvrCylinder:
        throw ioException{fileName, ioException::opening, "layout cannot be written"};
    }

    title = makeTitle(fileNamePart(base));
    modified = 0;
    return 0;
}

void SixImage::writeTurnedFace(BGRImage& face, ImageWriter writer, const std::string& path, QuarterTurn turn) {
    const int counterClockwise = turn == QuarterTurn::counterClockwise ? 1 : 0;
    if (face.width == face.height) {
        face.rotateQuarter(counterClockwise);
        struct TurnBack {
            BGRImage& face;
            int counterClockwise;
            ~TurnBack() { face.rotateQuarter(!counterClockwise); }
        } turnBack{face, counterClockwise};
        writeImage(writer, path, face);
        return;
    }
    const std::int32_t side = std::max(face.width, face.height);
    RawImage square(Size{side, side});
    square.copyScaled(face, {0, 0}, face.size(), {0, 0}, square.size());
    square.rotateQuarter(counterClockwise);
    writeImage(writer, path, square);
}

int SixImage::save(DocumentQuestions& questions) {
    if (fileName.empty() || layout == -1) return saveAs(questions);
    WaitCursor wait(questions);
    return write();
}

int SixImage::saveAs(DocumentQuestions& questions) {
    const FormatTable& table = formatTable();
    const std::string folder = readFolderSetting("LastFolder", false);
    const int preferred = layout == -1 ? readLastType() : layout;
    const int initialType = table.validSaveRow(preferred) ? preferred : 0;

    const std::optional<FileChoice> choice = questions.chooseSaveFile(folder, initialType);
    if (!choice || choice->path.empty() || !table.validSaveRow(choice->row)) return 1;

    // A name that fits one layout better than the type selected takes that layout, unless
    // several layouts fit it equally well.
    int row = choice->row;
    if (matchLength(choice->path, table.saveRow(row).savePattern) <= 0) {
        if (const FormatTable::RowMatch best = table.bestSaveRow(choice->path); best.unique()) row = best.row;
    }
    layout = row;
    fileName = choice->path;
    writeStringSetting("LastFolder", folderPart(fileName));
    writeNumberSetting("LastType", static_cast<std::uint32_t>(layout));
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
