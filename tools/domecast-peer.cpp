// The plug-in end of the paint link as a command-line program: sends commands and
// pictures to the running application and receives the views it streams.

#include <signal.h>
#include <unistd.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "link/paint_link.h"
#include "link/tile_transfer.h"
#include "link/view_marker.h"
#include "platform/io_exception.h"
#include "platform/message.h"
#include "platform/report.h"
#include "panorama/geometry.h"

namespace {

const char* const usage =
    "usage: domecast-peer send [--command N] [--heading DEG] [--pitch DEG] [--step-x F]\n"
    "                          [--step-y F] [--new-face-size N] [--template PATH]\n"
    "                          [--mask-mode N] [--image FILE.bmp | --pattern WxH | --size WxH]\n"
    "                          [--output FILE.bmp] [--timeout SECONDS]\n"
    "       domecast-peer receive [--output FILE.bmp] [--timeout SECONDS]\n"
    "       domecast-peer cancel\n"
    "       domecast-peer --help\n";

const char* const help =
    "\n"
    "Plays the part of a paint-program plug-in on the link with the running Domecast.\n"
    "\n"
    "send      Sends one command, with a picture in tiles of at most 256 x 256 pixels or\n"
    "          as a bare command. Codes: 15 new panorama (dialog), 16 new from the template\n"
    "          --template, 17 new empty panorama of --new-face-size, 18/19 apply the\n"
    "          picture, 20 apply and show Domecast (default), 21 apply, turn the view by\n"
    "          (--step-x, --step-y) rotation steps and receive the new view.\n"
    "          --heading, --pitch: the view the picture shows, in degrees as the\n"
    "          editor's title shows them (h grows as the view turns right, v up).\n"
    "          --image: a 24-bit BMP; --pattern WxH: a generated test picture (red 7x+y,\n"
    "          green x+3y, blue (x xor y)+11, all modulo 256, y from the top row);\n"
    "          --size WxH: the picture size announced by a bare command.\n"
    "          --mask-mode: 0 none, 1 first row, 2 corners; by default 2 when a corner of\n"
    "          the picture carries the view marker of --heading/--pitch, 1 for codes 16\n"
    "          and 17 with a picture, else 0.\n"
    "          --output: with code 21, where the new view is written.\n"
    "receive   Waits for the view Domecast sends (\"Paint this view\") and writes it, the\n"
    "          view marker stamped into its four corners as a plug-in does.\n"
    "cancel    Tells Domecast to abandon the transfer in progress.\n"
    "\n"
    "A received view is summed up on stdout: its size, heading and pitch in radians, the\n"
    "marker and an FNV-1a hash of its red, green, blue bytes, top row first; then, when\n"
    "Domecast says it, \"field of view D\" across the view in degrees.\n"
    "--timeout gives up after that many seconds. Exit status: 0 done; 1 a file could not\n"
    "be read or written; 2 the command line is wrong; 3 Domecast is not running; 4 the\n"
    "transfer was cancelled, Domecast ended, or the time ran out.\n";

enum Exit { done = 0, fileError = 1, badUsage = 2, notConnected = 3, abandoned = 4 };

using Picture = LinkPicture;

std::uint8_t* pixel(Picture& picture, std::int32_t x, std::int32_t y) {
    return picture.rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)) * 3;
}

PictureLayout layoutOf(const Picture& picture) {
    return PictureLayout{picture.width, picture.height, 3, static_cast<std::size_t>(picture.width) * 3, ChannelOrder::rgb};
}

// BMP rows hold blue, green, red; the link's red, green, blue.
void copyRowSwapped(std::uint8_t* target, const std::uint8_t* source, std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, source += 3, target += 3) {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
    }
}

struct Options {
    std::string action;
    std::int32_t command = LinkCommand::applyAndShow;
    float heading = 0, pitch = 0, stepX = 0, stepY = 0;
    std::int32_t newFaceSize = 0;
    std::string templatePath;
    std::optional<std::int32_t> maskMode;
    std::string image, output;
    std::optional<Picture> pattern;
    std::int32_t width = 0, height = 0;
    unsigned timeout = 0;
};

std::uint64_t fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 0x100000001b3ull;
    return hash;
}

Picture makePattern(std::int32_t width, std::int32_t height) {
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = pixel(picture, x, y);
            p[0] = static_cast<std::uint8_t>(x * 7 + y);
            p[1] = static_cast<std::uint8_t>(x + y * 3);
            p[2] = static_cast<std::uint8_t>((x ^ y) + 11);
        }
    return picture;
}

extern "C" void timedOut(int) {
    static const char text[] = "domecast-peer: timed out\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, sizeof text - 1);
    ::_exit(abandoned);
}

bool parseInt(const char* text, std::int32_t& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

// Finite and small enough for the marker's steps of pi to reach [-pi, pi].
bool parseFloat(const char* text, float& value) {
    char* end = nullptr;
    value = std::strtof(text, &end);
    return end != text && *end == 0 && std::isfinite(value) && std::fabs(value) <= 1.0e5f;
}

bool parseSize(const char* text, std::int32_t& width, std::int32_t& height) {
    int w = 0, h = 0, consumed = 0;
    if (std::sscanf(text, "%dx%d%n", &w, &h, &consumed) != 2 || text[consumed] != 0) return false;
    width = w;
    height = h;
    return linkImageSizeIsSane(width, height);
}

float degreesToRadians(float degrees) { return degrees * degToRad; }

std::optional<Options> parse(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    Options o;
    o.action = argv[1];
    if (o.action != "send" && o.action != "receive" && o.action != "cancel") return std::nullopt;
    for (int i = 2; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        const char* value = argv[++i];
        bool ok = true;
        if (flag == "--command") ok = parseInt(value, o.command);
        // The title's h grows as the view turns right; the link carries its negative.
        else if (flag == "--heading") ok = parseFloat(value, o.heading), o.heading = -degreesToRadians(o.heading);
        else if (flag == "--pitch") ok = parseFloat(value, o.pitch), o.pitch = degreesToRadians(o.pitch);
        else if (flag == "--step-x") ok = parseFloat(value, o.stepX);
        else if (flag == "--step-y") ok = parseFloat(value, o.stepY);
        else if (flag == "--new-face-size") ok = parseInt(value, o.newFaceSize);
        else if (flag == "--template") o.templatePath = value;
        else if (flag == "--mask-mode") {
            std::int32_t mode = 0;
            ok = parseInt(value, mode) && mode >= 0 && mode <= 2;
            o.maskMode = mode;
        } else if (flag == "--image") o.image = value;
        else if (flag == "--output") o.output = value;
        else if (flag == "--pattern") {
            std::int32_t w = 0, h = 0;
            ok = parseSize(value, w, h);
            if (ok) o.pattern = makePattern(w, h);
        } else if (flag == "--size") ok = parseSize(value, o.width, o.height);
        else if (flag == "--timeout") {
            std::int32_t seconds = 0;
            ok = parseInt(value, seconds) && seconds > 0;
            o.timeout = static_cast<unsigned>(seconds);
        } else ok = false;
        if (!ok) return std::nullopt;
    }
    if (o.action != "send" && (o.command != LinkCommand::applyAndShow || !o.image.empty() || o.pattern))
        return std::nullopt;
    if (!o.image.empty() && o.pattern) return std::nullopt;
    return o;
}

// The picture of a send, if any: read from a BMP file or generated.
std::optional<Picture> pictureToSend(const Options& o, int& exitCode) {
    exitCode = done;
    if (o.pattern) return o.pattern;
    if (o.image.empty()) return std::nullopt;
    try {
        const RawImage image(o.image.c_str());
        if (!linkImageSizeIsSane(image.width, image.height)) {
            showMessage("domecast-peer: " + o.image + " is larger than " +
                            std::to_string(maxLinkImageSide) + " pixels on a side",
                        MessageStyle::okError);
            exitCode = fileError;
            return std::nullopt;
        }
        Picture picture{image.width, image.height,
                        std::vector<std::uint8_t>(static_cast<std::size_t>(image.width) * image.height * 3)};
        for (std::int32_t y = 0; y < image.height; ++y)
            copyRowSwapped(pixel(picture, 0, y), image.row(image.height - 1 - y), image.width);
        return picture;
    } catch (const ioException& e) {
        reportIoException(e);
        exitCode = fileError;
        return std::nullopt;
    }
}

bool writePicture(const std::string& path, Picture& picture) {
    RawImage image(Size{picture.width, picture.height});
    for (std::int32_t y = 0; y < picture.height; ++y)
        copyRowSwapped(image.row(y), pixel(picture, 0, picture.height - 1 - y), picture.width);
    try {
        SaveBMP(path.c_str(), image.size(), image.stride, 3, image.pixels);
        return true;
    } catch (const ioException& e) {
        reportIoException(e);
        return false;
    }
}

// Opens the plug-in end; the application's message when that fails.
std::unique_ptr<PaintLink> connect() {
    std::unique_ptr<PaintLink> link;
    if (const char* message = PaintLink::openAsPlugin(link)) {
        showMessage(message, MessageStyle::okError);
        return nullptr;
    }
    return link;
}

// Why a transfer ended early, told to the user.
int abandonedBy(TransferStatus status) {
    showMessage(status == TransferStatus::peerGone ? "Domecast ended during the transfer."
                                                   : "The transfer was cancelled.",
                MessageStyle::okError);
    return abandoned;
}

int receiveView(PaintLink& link, const std::string& output) {
    TileReceiver receiver(link);
    const TransferStatus status = receiver.run();
    if (status != TransferStatus::done) return abandonedBy(status);
    Picture view = receiver.picture();
    const float heading = receiver.heading(), pitch = receiver.pitch();
    const std::uint32_t marker = viewMarker(heading, pitch);
    stampViewMarker(view.rgb.data(), layoutOf(view), marker);
    std::printf("view %d x %d heading %.9g pitch %.9g marker 0x%06" PRIx32 " fnv1a 0x%016" PRIx64 "\n",
                view.width, view.height, static_cast<double>(heading), static_cast<double>(pitch),
                marker, fnv1a(view.rgb));
    // Applications that report the view's field of view across add a line for it.
    if (link.record().fieldOfView != 0)
        std::printf("field of view %.2f\n", static_cast<double>(link.record().fieldOfView) / 100.0);
    std::fflush(stdout);
    if (!output.empty() && !writePicture(output, view)) return fileError;
    return done;
}

int send(const Options& o) {
    int exitCode = done;
    std::optional<Picture> picture = pictureToSend(o, exitCode);
    if (exitCode != done) return exitCode;
    std::unique_ptr<PaintLink> link = connect();
    if (!link) return notConnected;

    PluginCommand command;
    command.command = o.command;
    command.heading = o.heading;
    command.pitch = o.pitch;
    command.stepX = o.stepX;
    command.stepY = o.stepY;
    command.newFaceSize = o.newFaceSize;
    command.templatePath = o.templatePath;
    command.width = picture ? picture->width : o.width;
    command.height = picture ? picture->height : o.height;
    command.maskMode = o.maskMode ? *o.maskMode
                                  : maskModeFor(o.command, picture.has_value(), picture ? picture->rgb.data() : nullptr,
                                                picture ? layoutOf(*picture) : PictureLayout{}, o.heading, o.pitch);
    TileSource source;
    if (picture) source = pictureSource(picture->rgb.data(), static_cast<std::size_t>(picture->width) * 3, 3);
    TileSender sender(*link, command, source);
    const TransferStatus status = sender.run();
    if (status != TransferStatus::done) return abandonedBy(status);

    if (o.command == LinkCommand::rotate) return receiveView(*link, o.output);
    link->close();
    return done;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        std::fputs(help, stdout);
        return done;
    }
    const std::optional<Options> options = parse(argc, argv);
    if (!options) {
        std::fputs(usage, stderr);
        return badUsage;
    }
    if (options->timeout > 0) {
        ::signal(SIGALRM, timedOut);
        ::alarm(options->timeout);
    }
    if (options->action == "send") return send(*options);
    std::unique_ptr<PaintLink> link = connect();
    if (!link) return notConnected;
    if (options->action == "cancel") {
        link->cancel();
        return done;
    }
    return receiveView(*link, options->output);
}
