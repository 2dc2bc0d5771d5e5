#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/jpeg_face_options.h"
#include "platform/image_types.h"

// A command line that is wrong: the program prints the message and a usage line and
// exits with status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Work the command refuses to do with inputs that were read but do not fit together (a
// painted picture made for another view): the program prints the message and exits with
// status 1, having written nothing.
struct RefusedWork : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The options of one subcommand, as given (angles still in degrees).
struct CliOptions {
    std::vector<std::string> positional;
    std::optional<float> heading;  // degrees
    std::optional<float> pitch;    // degrees
    std::optional<Size> size;
    std::optional<float> fovX, fovY;  // degrees
    std::optional<std::string> from, to, program, colormap;
    std::optional<float> vfov;  // degrees
    std::optional<int> dither, resize;
    std::optional<int> maxMegapixels;
    std::optional<int> jpegQuality;           // of JPEG faces, backgrounds, strips, spheres
    std::optional<JpegChroma> jpegChroma;     // the same's --jpeg-subsampling
    bool help = false;
    bool quiet = false;
    // Replace outputs the user may not write; apply and paint: also a painted picture whose
    // corners name another view.
    bool force = false;
    bool allow8bit = false;  // write a photo read with more than 8-bit colour or transparency
};

// Parses args (the words after the subcommand). allowed names the options this
// subcommand takes ("heading", "size", ...); anything else is a UsageError, as are
// malformed values. --max-megapixels N and --quiet are taken by every subcommand; --force
// and --allow-8bit, flags without a value, where allowed names them.
CliOptions parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed);

// "WxH" with both positive.
Size parseSize(const std::string& text);
// A whole decimal number in [low, high].
int parseInteger(const std::string& text, int low, int high, const char* what);
// A decimal number of degrees as a float (the conversion to radians is the caller's).
float parseDegrees(const std::string& text, const char* what);
