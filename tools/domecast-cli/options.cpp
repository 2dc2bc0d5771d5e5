#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

bool isAllowed(const std::vector<std::string>& allowed, const std::string& name) {
    return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
}

}  // namespace

float parseDegrees(const std::string& text, const char* what) {
    if (text.empty()) throw UsageError(std::string("missing value for --") + what);
    char* end = nullptr;
    errno = 0;
    // strtof rounds the decimal text straight to the nearest float: float(DEG).
    const float value = std::strtof(text.c_str(), &end);
    if (end == text.c_str() || *end != 0 || errno == ERANGE || !std::isfinite(value))
        throw UsageError("--" + std::string(what) + ": not a number of degrees: " + text);
    return value;
}

int parseInteger(const std::string& text, int low, int high, const char* what) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || errno == ERANGE || value < low || value > high)
        throw UsageError("--" + std::string(what) + ": expected a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ", got " + text);
    return static_cast<int>(value);
}

Size parseSize(const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) throw UsageError("--size: expected WxH, got " + text);
    const int width = parseInteger(text.substr(0, x), 1, 16384, "size");
    const int height = parseInteger(text.substr(x + 1), 1, 16384, "size");
    return {width, height};
}

CliOptions parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed) {
    CliOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--help" || word == "-h") {
            options.help = true;
            continue;
        }
        if (word == "--quiet" || word == "-q") {
            options.quiet = true;
            continue;
        }
        if (word == "--force" || word == "--allow-8bit") {
            if (!isAllowed(allowed, word.substr(2))) throw UsageError("unknown option " + word);
            (word == "--force" ? options.force : options.allow8bit) = true;
            continue;
        }
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            options.positional.push_back(word);
            continue;
        }
        std::string name = word.substr(2), value;
        bool haveValue = false;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
            haveValue = true;
        }
        if (!isAllowed(allowed, name) && name != "max-megapixels") throw UsageError("unknown option --" + name);
        if (!haveValue) {
            if (i + 1 >= args.size()) throw UsageError("missing value for --" + name);
            value = args[++i];
        }
        if (name == "heading") {
            options.heading = parseDegrees(value, "heading");
        } else if (name == "pitch") {
            options.pitch = parseDegrees(value, "pitch");
        } else if (name == "size") {
            options.size = parseSize(value);
        } else if (name == "fov") {
            const auto x = value.find_first_of("xX");
            if (x == std::string::npos) throw UsageError("--fov: expected HxV in degrees, got " + value);
            const float h = parseDegrees(value.substr(0, x), "fov");
            const float v = parseDegrees(value.substr(x + 1), "fov");
            if (!(h > 0 && h < 180 && v > 0 && v < 180))
                throw UsageError("--fov: each angle must lie between 0 and 180 degrees");
            options.fovX = h;
            options.fovY = v;
        } else if (name == "vfov") {
            const float v = parseDegrees(value, "vfov");
            if (!(v >= 1 && v < 180)) throw UsageError("--vfov: must be from 1 to 179 degrees");
            options.vfov = v;
        } else if (name == "from") {
            options.from = value;
        } else if (name == "to") {
            options.to = value;
        } else if (name == "program") {
            options.program = value;
        } else if (name == "colormap") {
            options.colormap = value;
        } else if (name == "dither") {
            options.dither = parseInteger(value, 0, 255, "dither");
        } else if (name == "max-megapixels") {
            options.maxMegapixels = parseInteger(value, 1, 1000000, "max-megapixels");
        } else if (name == "jpeg-quality") {
            options.jpegQuality = parseInteger(value, 1, 100, "jpeg-quality");
        } else if (name == "jpeg-subsampling") {
            options.jpegChroma = parseJpegChroma(value);
            if (!options.jpegChroma) throw UsageError("--jpeg-subsampling: expected 4:2:0 or 4:4:4, got " + value);
        } else if (name == "resize") {
            options.resize = parseInteger(value, 0, 1, "resize");
        }
    }
    return options;
}
