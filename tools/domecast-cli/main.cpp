// domecast-cli: the panorama work of the editor without a window.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "commands.h"
#include "image/pixel_budget.h"
#include "image/pixel_memory.h"
#include "platform/io_exception.h"
#include "platform/progress.h"
#include "platform/report.h"
#include "platform/save_set.h"

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const CliOptions&);
    std::vector<std::string> options;
    const char* usage;
    const char* help;
};

const std::vector<Subcommand>& subcommands() {
    static const std::vector<Subcommand> table = {
        {"convert", runConvert, {"from", "to", "vfov", "heading", "pitch", "force", "allow-8bit", "jpeg-quality",
                                 "jpeg-subsampling"},
         "convert IN OUT [--from ROW] [--to ROW] [--vfov DEG] [--heading DEG --pitch DEG] [--force] [--allow-8bit]\n"
         "      [--jpeg-quality N] [--jpeg-subsampling 4:2:0|4:4:4]",
         "Opens the panorama IN and writes it as OUT, with every file OUT's layout writes\n"
         "(faces, sphere, strip, scene file). --from/--to force a layout (index or name, see\n"
         "'formats': --from takes open indices, --to save indices); --vfov answers the vertical field of view of a cylindrical image.\n"
         "IN may be the .wrl or .ivr scene file of a panorama; an OUT ending in the --to layout's own\n"
         "extension or face suffix is its base name (sky.tga --to \"QuakeII, Targa\" writes skyft.tga ...).\n"
         "--heading and --pitch are the direction a \"Web page, cube faces\" OUT opens at (default: the\n"
         "view of an IN page, else 0 0).\n"
         "An OUT ending in a picture's or scene file's extension the layout does not write\n"
         "(x.png --to \"Spherical photo, JPEG\") is refused. A photo with 16 bits a channel or\n"
         "transparency is written (with 8 bits a channel and no transparency) only with\n"
         "--allow-8bit; apply and paint take it too.\n"
         "--jpeg-quality (1-100) and --jpeg-subsampling encode OUT's JPEG faces, backgrounds,\n"
         "strips and spheres (default: the settings \"FaceJPEGQuality\" and \"FaceJPEGSubsampling\",\n"
         "else 75 and 4:2:0); photos and web pages keep \"PhotoJPEGQuality\". apply and paint take them too."},
        {"render", runRender, {"heading", "pitch", "size", "fov", "from", "force"},
         "render IN OUT --heading DEG --pitch DEG --size WxH [--fov HxV] [--from ROW] [--force]",
         "Writes the picture handed to a paint program: the view rendered with 2 x 2\n"
         "supersampling, the view marker in its four corners. Without --fov the nominal field\n"
         "of view of the size is used (one view pixel covers one face pixel at the centre).\n"
         "OUT's extension chooses the format: .bmp (the 24-bit BMP a paint program is given),\n"
         ".tga, .pcx, .jpg/.jpeg or .png."},
        {"view", runView, {"heading", "pitch", "size", "fov", "from", "force"},
         "view IN OUT --heading DEG --pitch DEG --size WxH [--fov HxV] [--from ROW] [--force]",
         "Writes the live-display picture of the view (one sample per pixel) in the format\n"
         "OUT's extension names: .bmp (24-bit), .tga, .pcx, .jpg/.jpeg or .png."},
        {"apply", runApply, {"heading", "pitch", "fov", "size", "to", "from", "force", "allow-8bit", "jpeg-quality",
                             "jpeg-subsampling"},
         "apply IN PAINTED.bmp OUT --heading DEG --pitch DEG [--fov HxV] [--size WxH] [--to ROW] [--from ROW] [--force]"
         " [--allow-8bit]\n      [--jpeg-quality N] [--jpeg-subsampling 4:2:0|4:4:4]",
         "Projects the changed pixels of a painted copy of a rendered view onto the faces and\n"
         "writes OUT. Heading, pitch and field of view must be those it was rendered with; a\n"
         "picture whose corners carry the marker of another view is refused unless --force is\n"
         "given (which also lets OUT's files replace read-only ones), and one of another size\n"
         "than --size (the rendered view's) is refused."},
        {"paint", runPaint, {"heading", "pitch", "size", "program", "to", "from", "fov", "force", "allow-8bit",
                             "jpeg-quality", "jpeg-subsampling"},
         "paint IN OUT --heading DEG --pitch DEG --size WxH --program PROG [--to ROW] [--from ROW] [--force]"
         " [--allow-8bit]\n      [--jpeg-quality N] [--jpeg-subsampling 4:2:0|4:4:4]",
         "Renders the view into a temporary file, starts PROG on it, waits for it to end,\n"
         "projects the picture if it was saved since, removes the file and writes OUT. A picture\n"
         "saved at another size, or carrying another view's marker (unless --force, which also\n"
         "lets OUT's files replace read-only ones), is refused and nothing is written."},
        {"image", runImage, {"dither", "resize", "colormap", "force"},
         "image IN OUT [--dither N] [--resize 0|1] [--colormap FILE] [--force]",
         "Converts one image through Domecast's own readers and writers, chosen by extension:\n"
         ".bmp, .tga, .pcx, .jpg/.jpeg, .png. PCX output takes its options from the flags,\n"
         "else from the settings."},
        {"formats", runFormats, {}, "formats",
         "Lists the open and save layouts with their indices, names and patterns."},
    };
    return table;
}

const char* const anglesHelp =
    "--heading and --pitch are degrees as the editor's title shows h and v: --heading grows\n"
    "as the view turns right (90 looks where View > Right (90\u00b0) looks, 270 where Left\n"
    "(270\u00b0) looks, 180 is Back); --pitch grows upwards and is clamped to -90..90.\n";

const char* const commonHelp =
    "Every subcommand takes --max-megapixels N, the most pixels (in millions) a picture may\n"
    "have (default: the setting \"MaxImageMegapixels\", else 300; never more than the memory\n"
    "available holds), and --quiet, which silences the progress shown on a terminal.\n";

const char* const outputHelp =
    "An output that is a folder, or in a folder that does not exist (but for a web page),\n"
    "is an error; a read-only file the output would replace is left alone and the command\n"
    "fails, writing nothing, unless --force is given.\n";

bool writes(const Subcommand& s) {
    return std::find(s.options.begin(), s.options.end(), "force") != s.options.end();
}

bool takesAngles(const Subcommand& s) {
    return std::find(s.options.begin(), s.options.end(), "heading") != s.options.end();
}

void printUsage(std::FILE* to) {
    std::fprintf(to, "usage: domecast-cli SUBCOMMAND ARGS...   (domecast-cli SUBCOMMAND --help)\n");
    for (const Subcommand& s : subcommands()) std::fprintf(to, "  domecast-cli %s\n", s.usage);
    std::fprintf(to, "  domecast-cli --version\n\n%s\n%s\n%s", anglesHelp, commonHelp, outputHelp);
}

bool quiet = false;

// The step under way and its bar, redrawn in place on the terminal whenever the
// percentage changes.
class TerminalBar : public ProgressObserver {
public:
    // The text alone until the work reports: a wait of unknown length shows no bar.
    void start(const char* text) {
        finish();
        step_ = text;
        percent_ = -1;
        std::fprintf(stderr, "%s", step_.c_str());
        std::fflush(stderr);
    }
    void finish() {
        if (step_.empty()) return;
        std::fputc('\n', stderr);
        step_.clear();
    }
    bool progressed(double fraction) override {
        if (!step_.empty()) draw(fraction);
        return true;
    }

private:
    void draw(double fraction) {
        constexpr int width = 30;
        const int percent = static_cast<int>(fraction * 100);
        if (percent == percent_) return;
        percent_ = percent;
        const int filled = percent * width / 100;
        const std::string done(static_cast<std::size_t>(filled), '#');
        const std::string left(static_cast<std::size_t>(width - filled), '.');
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", step_.c_str(), done.c_str(), left.c_str(), percent);
        std::fflush(stderr);
    }

    std::string step_;
    int percent_ = -1;
};

TerminalBar& bar() {
    static TerminalBar terminalBar;
    return terminalBar;
}

}  // namespace

bool showProgress() { return !quiet && ::isatty(STDERR_FILENO) == 1; }

void progress(const char* text) {
    if (!showProgress()) return;
    setProgressObserver(&bar());
    bar().start(text);
}

void finishProgress() { bar().finish(); }

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string first = argv[1];
    if (first == "--version") {
        std::printf("domecast-cli %s\n", DOMECAST_VERSION);
        return 0;
    }
    if (first == "--help" || first == "-h") {
        printUsage(stdout);
        return 0;
    }
    // Tests make pixel allocations above this many bytes fail, to reach the out-of-memory
    // paths also where the allocator never fails (AddressSanitizer).
    if (const char* limit = std::getenv("DOMECAST_TEST_PIXEL_LIMIT"))
        setPixelAllocationLimit(std::strtoull(limit, nullptr, 10));
    for (const Subcommand& s : subcommands()) {
        if (first != s.name) continue;
        const std::vector<std::string> args(argv + 2, argv + argc);
        try {
            const CliOptions options = parseOptions(args, s.options);
            if (options.help) {
                std::printf("usage: domecast-cli %s\n\n%s\n", s.usage, s.help);
                if (takesAngles(s)) std::printf("\n%s", anglesHelp);
                std::printf("\n%s", commonHelp);
                if (writes(s)) std::printf("\n%s", outputHelp);
                return 0;
            }
            quiet = options.quiet;
            if (options.maxMegapixels) setMaxImageMegapixels(static_cast<std::uint32_t>(*options.maxMegapixels));
            const int status = s.run(options);
            finishProgress();
            return status;
        } catch (const UsageError& e) {
            finishProgress();
            std::fprintf(stderr, "domecast-cli %s: %s\nusage: domecast-cli %s\n", s.name, e.what(), s.usage);
            return 2;
        } catch (const RefusedWork& e) {
            finishProgress();
            std::fprintf(stderr, "domecast-cli %s: %s\n", s.name, e.what());
            return 1;
        } catch (const ioException& e) {
            finishProgress();
            reportIoException(e);
            if (isReadOnlyRefusal(e)) std::fprintf(stderr, "domecast-cli %s: --force replaces it\n", s.name);
            return 1;
        } catch (const std::bad_alloc&) {
            finishProgress();
            std::fprintf(stderr, "domecast-cli %s: not enough memory for the pictures\n", s.name);
            return 1;
        }
    }
    std::fprintf(stderr, "domecast-cli: unknown subcommand '%s'\n", first.c_str());
    printUsage(stderr);
    return 2;
}
