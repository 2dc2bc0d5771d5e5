#include "panorama_io.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "commands.h"
#include "image/codecs.h"
#include "panorama/document_questions.h"
#include "panorama/format_table.h"
#include "panorama/unread_faces.h"
#include "platform/ascii.h"
#include "platform/message.h"
#include "platform/save_set.h"
#include "platform/staged_write.h"

namespace {

// The questions of opening and saving, answered from the command line.
class CliQuestions : public DocumentQuestions {
public:
    explicit CliQuestions(const CliOptions& options) : options_(options) {}

    std::optional<FileChoice> chooseSaveFile(const std::string&, int) override { return std::nullopt; }
    std::optional<FileChoice> chooseOpenFile(const std::string&, int) override { return std::nullopt; }
    std::optional<int> askFieldOfView(int proposed) override {
        if (!options_.vfov) return proposed;
        return static_cast<int>(std::lround(*options_.vfov));
    }
    MessageAnswer askSaveChanges(const std::string&, const std::string&) override { return MessageAnswer::no; }
    bool askReplaceReadOnly(const std::string&) override { return options_.force; }
    void showMessage(const std::string& text) override { ::showMessage(text); }
    bool confirm(const std::string&) override { return options_.allow8bit; }
    void beginWait() override {}
    void endWait() override {}

private:
    const CliOptions& options_;
};

// A layout given as its index in the list or its display name.
template <typename DisplayName>
int resolveRow(const std::string& text, int count, DisplayName displayName, const char* option) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const long index = std::strtol(text.c_str(), nullptr, 10);
        if (index < count) return static_cast<int>(index);
    }
    for (int i = 0; i < count; ++i)
        if (equalIgnoringAsciiCase(text, displayName(i))) return i;
    throw UsageError(std::string("--") + option + ": no such layout '" + text + "' (see 'domecast-cli formats')");
}

// The extensions of the pictures and scene files Domecast writes: a name ending in one
// says what it is.
bool isFileTypeExtension(const std::string& extension) {
    for (const char* known : {".bmp", ".tga", ".pcx", ".jpg", ".jpeg", ".png", ".wrl", ".ivr", ".html"})
        if (equalIgnoringAsciiCase(extension, known)) return true;
    return false;
}

// Whether the layout writes a file of that extension (.jpeg counts as .jpg).
bool writesExtension(const FormatTable::SaveRow& row, const std::string& extension) {
    const std::string wanted = equalIgnoringAsciiCase(extension, ".jpeg") ? ".jpg" : extension;
    std::string_view patterns = row.savePattern != nullptr ? row.savePattern : "";
    while (!patterns.empty()) {
        const std::string_view pattern = patterns.substr(0, patterns.find(';'));
        if (equalIgnoringAsciiCase(extensionOf(pattern), wanted)) return true;
        patterns.remove_prefix(std::min(patterns.size(), pattern.size() + 1));
    }
    return row.faceExtension != nullptr && equalIgnoringAsciiCase(row.faceExtension, wanted);
}

}  // namespace

std::unique_ptr<PaintedSixImage> openPanorama(const std::string& path, const CliOptions& options,
                                              bool facesOnDemand, bool keepPhotoBlocks) {
    const FormatTable& table = formatTable();
    int row = -1;
    if (options.from) {
        row = resolveRow(*options.from, table.openCount(),
                         [&](int i) { return table.openRow(i).displayName; }, "from");
    } else {
        row = table.bestOpenRow(path);
        if (row < 0)
            throw UsageError("cannot tell the layout of '" + path + "' from its name; use --from ROW");
    }
    progress("Reading the panorama...");
    CliQuestions questions(options);
    auto panorama = std::make_unique<PaintedSixImage>();
    panorama->facesOnDemand = facesOnDemand;
    panorama->keepPhotoBlocks = keepPhotoBlocks && !facesOnDemand;
    panorama->load(questions, row, path);
    // A face file that is there but cannot be read would come out of the command as a white
    // face over the user's picture: the command stops. Missing faces are left white, and the
    // panorama is still usable.
    std::string unreadable;
    int unreadableCount = 0;
    for (const UnreadFace& face : panorama->unreadFaces)
        if (!face.missing) {
            unreadable += "\n" + face.path;
            ++unreadableCount;
        }
    if (unreadableCount > 0)
        throw RefusedWork(std::string(unreadableCount == 1 ? "This face file could not be read:"
                                                           : "These face files could not be read:") +
                          unreadable + "\nNothing was written.");
    reportUnreadFaces(panorama->unreadFaces);
    // Named as the editor names it, so that a web page shows the panorama's own name.
    panorama->nameAfter(path, row);
    return panorama;
}

int outputLayout(const std::string& path, const CliOptions& options) {
    checkWritablePath(path, false);
    const FormatTable& table = formatTable();
    int row = -1;
    if (options.to) {
        row = resolveRow(*options.to, table.saveCount(), [&](int i) { return table.saveRow(i).displayName; }, "to");
    } else {
        const FormatTable::RowMatch best = table.bestSaveRow(path);
        if (best.none()) throw UsageError("cannot tell the layout to write '" + path + "' from its name; use --to ROW");
        if (best.tie) throw UsageError("the name '" + path + "' fits several layouts; choose one with --to ROW");
        row = best.row;
    }
    // A web page's folder is made with it.
    if (table.saveRow(row).kind != WebPage) checkWritablePath(path);
    const std::string extension = extensionOf(path);
    if (isFileTypeExtension(extension) && !writesExtension(table.saveRow(row), extension))
        throw UsageError("'" + path + "' names a " + extension + " file, which \"" + table.saveRow(row).displayName +
                         "\" does not write; end OUT as the layout's files end or choose another --to");
    return row;
}

void writePanorama(PaintedSixImage& panorama, const std::string& path, int row, const CliOptions& options) {
    // A photo read with more than 8-bit colour, or transparency, is written only when the
    // user says the loss is wanted.
    if (const PhotoSource* source = panorama.photoSource.get();
        source != nullptr && !source->metadata.lostAt8Bits.empty() && !options.allow8bit)
        throw RefusedWork("\"" + source->path + "\" has " + source->metadata.lostAt8Bits +
                          "; the output would keep 8 bits a channel and no transparency. Nothing was written: give "
                          "--allow-8bit to write it anyway.");
    progress("Writing the panorama...");
    // A page read keeps its own view (load made it the pageView) unless told another.
    if (options.heading) panorama.pageView.heading = *options.heading;
    if (options.pitch) panorama.pageView.pitch = *options.pitch;
    panorama.faceJpegQuality = options.jpegQuality;
    panorama.faceJpegChroma = options.jpegChroma;
    panorama.fileName = path;
    panorama.layout = row;
    panorama.replaceReadOnlyFiles = options.force;
    panorama.write();
}

void writeOutput(const std::string& path, const CliOptions& options,
                 const std::function<void(const std::string& stagedPath)>& write) {
    SaveSet set(options.force ? ReadOnlyTargets::replace : ReadOnlyTargets::refuse);
    writeReplacing(path, write);
    set.commit();
}

int runConvert(const CliOptions& options) {
    if (options.positional.size() != 2) throw UsageError("expected IN and OUT");
    const int row = outputLayout(options.positional[1], options);
    // A JPEG photo's blocks serve only a photo written from it, a page's only a page.
    const LayoutKind outKind = formatTable().saveRow(row).kind;
    const bool photoOut = outKind == SphericalPhoto || outKind == WebPage;
    auto panorama = openPanorama(options.positional[0], options, false, photoOut);
    writePanorama(*panorama, options.positional[1], row, options);
    return 0;
}

int runFormats(const CliOptions& options) {
    if (!options.positional.empty()) throw UsageError("formats takes no arguments");
    const FormatTable& table = formatTable();
    // A layout's open and save indices differ after the two read-only rows: each list
    // names the other's index (--from takes open indices, --to save indices).
    auto other = [](int index) { return index < 0 ? std::string("-") : std::to_string(index); };
    std::printf("Open layouts (--from ROW), with the index of their save layout:\n");
    for (int i = 0; i < table.openCount(); ++i)
        std::printf("  %2d  %-36s %-24s %s\n", i, table.openRow(i).displayName, table.openRow(i).openPattern,
                    other(table.openRow(i).openToSave).c_str());
    std::printf("Save layouts (--to ROW), with the index of their open layout:\n");
    for (int i = 0; i < table.saveCount(); ++i)
        std::printf("  %2d  %-36s %-24s %s\n", i, table.saveRow(i).displayName, table.saveRow(i).savePattern,
                    other(table.saveRow(i).saveToOpen).c_str());
    return 0;
}
