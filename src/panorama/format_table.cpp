#include "panorama/format_table.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "image/codecs.h"
#include "platform/ascii.h"
#include "platform/io_exception.h"

const std::array<const char*, 6> faceSuffixes = {"_FR", "_BK", "_LF", "_RT", "_UP", "_DN"};
const std::array<const char*, 6> quakeSuffixes = {"ft", "bk", "lf", "rt", "up", "dn"};
const std::array<const char*, 6> vrmlUrlKeys = {"frontUrl", "backUrl", "leftUrl",
                                                "rightUrl", "topUrl",  "bottomUrl"};
const std::array<int, 6> cubeStripOrder = {5, 4, 2, 1, 3, 0};

OptionsDialog pcxOptionsDialog = nullptr;
OptionsDialog jpegOptionsDialog = nullptr;

namespace {

// The name's ending equals one of the other five faces' suffixes followed by the rest of
// an alternative that begins with the front suffix.
bool matchesOtherFace(std::string_view ending, std::string_view rest, const std::array<const char*, 6>& suffixes,
                      std::string_view separator = {}) {
    if (!startsWithIgnoringAsciiCase(ending, separator)) return false;
    ending.remove_prefix(separator.size());
    for (std::size_t i = 1; i < suffixes.size(); ++i) {
        const std::string_view suffix = suffixes[i];
        if (ending.size() == suffix.size() + rest.size() && startsWithIgnoringAsciiCase(ending, suffix) &&
            equalIgnoringAsciiCase(ending.substr(suffix.size()), rest))
            return true;
    }
    return false;
}

void appendFilter(std::string& filter, const char* name, const char* pattern) {
    if (!filter.empty()) filter += '|';
    filter += name;
    filter += '|';
    filter += pattern;
}

}  // namespace

int matchLength(std::string_view name, std::string_view pattern) {
    std::size_t at = pattern.find_first_not_of('*');
    while (at != std::string_view::npos && at < pattern.size()) {
        const std::size_t end = std::min(pattern.find_first_of("*;", at), pattern.size());
        const std::string_view alternative = pattern.substr(at, end - at);
        const std::size_t n = alternative.size();
        if (n > 0 && n <= name.size()) {
            const std::string_view ending = name.substr(name.size() - n);
            if (equalIgnoringAsciiCase(ending, alternative)) return static_cast<int>(n);
            const std::string_view front = faceSuffixes[0];
            const std::string_view quakeFront = quakeSuffixes[0];
            if (startsWithIgnoringAsciiCase(alternative, front)) {
                if (matchesOtherFace(ending, alternative.substr(front.size()), faceSuffixes))
                    return static_cast<int>(n);
            } else if (startsWithIgnoringAsciiCase(alternative, quakeFront)) {
                if (matchesOtherFace(ending, alternative.substr(quakeFront.size()), quakeSuffixes))
                    return static_cast<int>(n);
            } else if (alternative.size() > quakeFront.size() && alternative[0] == '_' &&
                       startsWithIgnoringAsciiCase(alternative.substr(1), quakeFront)) {
                // Sky boxes with an underscore before the face name ("_ft.jpg").
                if (matchesOtherFace(ending, alternative.substr(1 + quakeFront.size()), quakeSuffixes, "_"))
                    return static_cast<int>(n);
            }
        }
        at = pattern.find_first_not_of("*;", end);
    }
    return 0;
}

std::string_view fileNamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string folderPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

std::optional<std::string> findFileName(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const std::string_view wanted = fileNamePart(path);
    if (wanted.empty()) return std::nullopt;
    if (fs::exists(fs::path(path), error)) return std::string(wanted);
    const std::string folder = path.find('/') == std::string::npos ? std::string(".") : folderPart(path);
    std::vector<std::string> matches;
    fs::directory_iterator entries(folder.empty() ? fs::path("/") : fs::path(folder), error);
    if (error) return std::nullopt;
    for (const auto& entry : entries) {
        std::string name = entry.path().filename().string();
        if (equalIgnoringAsciiCase(name, wanted)) matches.push_back(std::move(name));
    }
    if (matches.empty()) return std::nullopt;
    // Directory order is arbitrary; the smallest name keeps the choice repeatable.
    return *std::min_element(matches.begin(), matches.end());
}

std::string resolveFileName(const std::string& path) {
    const std::optional<std::string> found = findFileName(path);
    if (!found || *found == fileNamePart(path)) return path;
    return path.substr(0, path.size() - fileNamePart(path).size()) + *found;
}

void FormatTable::addRow(const char* openPattern, const char* savePattern, const char* faceExtension,
                         const char* displayName, ImageReader reader, ImageWriter writer,
                         const OptionsDialog* optionsDialog, LayoutKind kind) {
    int openIndex = -1;
    int saveIndex = -1;
    if ((reader != nullptr || kind == SceneFile) && openPattern != nullptr && openCount_ < capacity) {
        openIndex = openCount_++;
        openRows_[openIndex] = {openPattern, displayName, reader, kind, -1};
        appendFilter(openFilter_, displayName, openPattern);
    }
    if (writer != nullptr && savePattern != nullptr && saveCount_ < capacity) {
        saveIndex = saveCount_++;
        saveRows_[saveIndex] = {savePattern, displayName, writer, optionsDialog, kind, faceExtension, -1};
        appendFilter(saveFilter_, displayName, savePattern);
    }
    if (openIndex >= 0 && saveIndex >= 0) {
        openRows_[openIndex].openToSave = saveIndex;
        saveRows_[saveIndex].saveToOpen = openIndex;
    }
}

namespace {

struct BestMatch {
    int row = -1;  // the first row of the greatest positive length
    int length = 0;
    bool tie = false;  // another row matches as long
};

template <typename PatternOf>
BestMatch bestMatch(std::string_view name, int count, PatternOf patternOf) {
    BestMatch best;
    for (int i = 0; i < count; ++i) {
        const int length = matchLength(name, patternOf(i));
        if (length > best.length) {
            best = {i, length, false};
        } else if (length > 0 && length == best.length) {
            best.tie = true;
        }
    }
    return best;
}

// The size a picture file announces, read without decoding its pixels: the sink answers
// no destination, which the reader refuses once it has told the size.
std::optional<Size> announcedSize(ImageReader reader, const std::string& path) {
    std::optional<Size> announced;
    const PixelSink probe = [](Size size, int, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                               std::uint8_t*& pixels) {
        *static_cast<std::optional<Size>*>(userData) = size;
        stride = 0;
        bytesPerPixel = 3;
        pixels = nullptr;
    };
    try {
        reader(path.c_str(), probe, &announced);
    } catch (const ioException&) {
        // Expected once the size is known; before that, the file is not a picture.
    }
    return announced;
}

}  // namespace

int FormatTable::bestOpenRow(const std::string& name) const {
    if (name.empty()) return -1;
    const std::optional<std::string> found = findFileName(name);
    const std::string_view entry = found ? std::string_view(*found) : std::string_view(name);
    const BestMatch best = bestMatch(entry, openCount_, [this](int i) { return openRows_[i].openPattern; });
    if (!best.tie) return best.row;
    // A plain picture opens as a photo, written back in place, rather than as a
    // LivePicture scene; those rows open only when chosen.
    for (int i = best.row; i < openCount_; ++i)
        if (openRows_[i].kind == SphericalPhoto && matchLength(entry, openRows_[i].openPattern) == best.length)
            return i;
    // pano_FR.jpg is a face of a VRML as well as a LivePicture background: the scene file
    // beside it decides.
    for (int i = best.row; i < openCount_; ++i) {
        const LayoutKind kind = openRows_[i].kind;
        if ((kind != VrmlBackground && kind != IvrBackground) || matchLength(entry, openRows_[i].openPattern) != best.length)
            continue;
        const std::string base = name.substr(0, name.size() - static_cast<std::size_t>(best.length));
        if (findFileName(base + (kind == VrmlBackground ? ".wrl" : ".ivr"))) return i;
    }
    // A plain BMP fits the sphere, the cube strip and the cylinders alike: a picture six
    // times as high as wide is a strip, any other a sphere.
    for (int i = best.row; i < openCount_; ++i) {
        if (openRows_[i].kind != IvrCubeStrip || matchLength(entry, openRows_[i].openPattern) != best.length)
            continue;
        const std::optional<Size> size = announcedSize(openRows_[i].reader, resolveFileName(name));
        if (size && size->width > 0 && std::int64_t{6} * size->width == size->height) return i;
        for (int j = best.row; j < openCount_; ++j)
            if (openRows_[j].kind == IvrSphere && matchLength(entry, openRows_[j].openPattern) == best.length)
                return j;
    }
    // sky_bk.jpg fits the "_BK" of a background as well as a sky box: the panorama
    // whose front file is there decides.
    for (int i = best.row; i < openCount_; ++i) {
        if (openRows_[i].kind != SkyBox || matchLength(entry, openRows_[i].openPattern) != best.length) continue;
        const std::string base = name.substr(0, name.size() - static_cast<std::size_t>(best.length));
        const std::string extension = name.substr(name.rfind('.'));
        if (findFileName(base + "_ft" + extension) && !findFileName(base + "_FR" + extension)) return i;
    }
    return best.row;
}

FormatTable::RowMatch FormatTable::bestSaveRow(const std::string& name) const {
    const BestMatch best = bestMatch(name, saveCount_, [this](int i) { return saveRows_[i].savePattern; });
    return {best.row, best.tie};
}

namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view ending) {
    return !ending.empty() && name.size() >= ending.size() &&
           equalIgnoringAsciiCase(name.substr(name.size() - ending.size()), ending);
}

}  // namespace

int FormatTable::ownEndingLength(std::string_view name, int saveIndex) const {
    if (!validSaveRow(saveIndex)) return 0;
    const SaveRow& row = saveRows_[saveIndex];
    std::size_t longest = static_cast<std::size_t>(matchLength(name, row.savePattern));
    auto consider = [&](const std::string& ending) {
        if (endsWithIgnoringCase(name, ending)) longest = std::max(longest, ending.size());
    };

    // The extensions of the files the layout writes: each alternative of its pattern's, and
    // the pictures' beside a scene file.
    std::vector<std::string> extensions;
    for (std::string_view pattern = row.savePattern; !pattern.empty();) {
        const std::size_t end = std::min(pattern.find(';'), pattern.size());
        if (std::string extension = extensionOf(pattern.substr(0, end)); !extension.empty())
            extensions.push_back(std::move(extension));
        pattern.remove_prefix(std::min(end + 1, pattern.size()));
    }
    if (row.faceExtension != nullptr) extensions.emplace_back(row.faceExtension);
    for (const std::string& extension : extensions) consider(extension);

    // Face names: a picture of a scene layout's face ("sky_FR.png" beside "sky.wrl"), or a
    // suffix that cannot be the end of an ordinary word ("sky_FR", "sky_ft"; not "ft").
    const std::array<const char*, 6>* suffixes = nullptr;
    std::string separator;
    switch (row.kind) {
    case VrmlBackground:
    case IvrBackground:
    case ThreeDStudio:
    case WebPage:
        suffixes = &faceSuffixes;
        break;
    case SkyBox:
        suffixes = &quakeSuffixes;
        separator = "_";
        break;
    default:
        break;
    }
    if (suffixes != nullptr)
        for (const char* suffix : *suffixes) {
            const std::string face = separator + suffix;
            consider(face);
            for (const std::string& extension : extensions) consider(face + extension);
        }
    return static_cast<int>(longest);
}

int FormatTable::typedSaveRow(const std::string& name, int chosen) const {
    const RowMatch best = bestSaveRow(name);
    if (!validSaveRow(chosen)) return best.unique() ? best.row : -1;
    if (matchLength(name, saveRows_[chosen].savePattern) > 0) return chosen;
    // "pano_FR.tga" with a Quake row selected is a 3DStudio name; "sky.jpg" with a sky box
    // row selected stays a sky box although a photo row ends in .jpg too.
    if (best.unique() && matchLength(name, saveRows_[best.row].savePattern) > ownEndingLength(name, chosen))
        return best.row;
    return chosen;
}

std::string FormatTable::saveBase(const std::string& name, int saveIndex) const {
    if (saveIndex == -1) saveIndex = bestSaveRow(name).row;
    std::string base = name;
    base.resize(base.size() - static_cast<std::size_t>(ownEndingLength(base, saveIndex)));
    return base;
}

std::string FormatTable::openBase(const std::string& name, int openIndex) const {
    if (openIndex == -1) openIndex = bestOpenRow(name);
    std::string base = name;
    // A name typed in another case than the file on disk: use the name the disk has, so
    // that the other files of the panorama and a later save find the same files.
    const std::optional<std::string> found = findFileName(name);
    if (found && *found != fileNamePart(base)) base = base.substr(0, base.size() - fileNamePart(base).size()) + *found;
    if (validOpenRow(openIndex)) base.resize(base.size() - matchLength(base, openRows_[openIndex].openPattern));
    return base;
}
