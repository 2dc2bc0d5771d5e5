#include "shell/recovery.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "image/png.h"
#include "platform/file_contents.h"
#include "platform/io_exception.h"
#include "platform/known_folders.h"

namespace {

constexpr char descriptionName[] = "panorama.txt";
constexpr std::size_t descriptionLimit = 64 * 1024;

std::string facePath(const std::string& folder, int face) { return folder + "/face" + std::to_string(face) + ".png"; }

// Removes a set's files and its folder; what is not there is no error.
void removeSet(const std::string& folder) {
    std::remove((folder + "/" + descriptionName).c_str());
    for (int i = 0; i < faceCount; ++i) std::remove(facePath(folder, i).c_str());
    ::rmdir(folder.c_str());
}

// One line a value: a line break in a title would end it early.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

std::optional<RecoverySet> readDescription(const std::string& folder) {
    std::string text;
    if (readFileContents(folder + "/" + descriptionName, descriptionLimit, text) != FileRead::ok) return std::nullopt;
    RecoverySet set;
    set.folder = folder;
    bool complete = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "Written") set.written = static_cast<std::time_t>(std::strtoll(value.c_str(), nullptr, 10));
        if (key == "File") set.fileName = value;
        if (key == "Layout") set.layout = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
        if (key == "Title") set.title = value;
        if (key == "Heading") set.heading = std::strtof(value.c_str(), nullptr);
        if (key == "Pitch") set.pitch = std::strtof(value.c_str(), nullptr);
        if (key == "End") complete = true;
    }
    if (!complete) return std::nullopt;
    return set;
}

}  // namespace

std::string recoveryFolder() {
    const std::string state = xdgFolder("XDG_STATE_HOME", ".local/state");
    return state.empty() ? std::string() : state + "/domecast/recovery";
}

std::string writeRecovery(const SixImage& panorama, const Camera& camera) {
    const std::string base = recoveryFolder();
    if (base.empty() || !makeFolders(base)) return {};
    const std::time_t now = std::time(nullptr);
    char stamp[64];
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string folder = base + "/" + stamp + "-" + std::to_string(::getpid());
    if (::mkdir(folder.c_str(), 0700) != 0) return {};
    try {
        for (int i = 0; i < faceCount; ++i) {
            const BGRImage* face = panorama.faces[i].get();
            if (face == nullptr || face->pixels == nullptr) throw ioException{facePath(folder, i), ioException::writing, "no face"};
            SavePNG(facePath(folder, i).c_str(), face->size(), face->stride, 3, face->pixels);
        }
    } catch (const ioException&) {
        removeSet(folder);
        return {};
    }
    std::ostringstream description;
    description << "Written=" << static_cast<long long>(now) << "\n"
                << "File=" << oneLine(panorama.fileName) << "\n"
                << "Layout=" << panorama.layout << "\n"
                << "Title=" << oneLine(panorama.title ? panorama.title.get() : "") << "\n";
    description.precision(9);
    description << "Heading=" << camera.heading << "\n"
                << "Pitch=" << camera.pitch << "\n"
                << "End=\n";
    if (!replaceFileContents(folder + "/" + descriptionName, description.str())) {
        removeSet(folder);
        return {};
    }
    return folder;
}

std::vector<RecoverySet> findRecoverySets() {
    std::vector<RecoverySet> sets;
    const std::string base = recoveryFolder();
    if (base.empty()) return sets;
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) return sets;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        if (std::optional<RecoverySet> set = readDescription(base + "/" + entry->d_name)) sets.push_back(std::move(*set));
    }
    ::closedir(dir);
    std::sort(sets.begin(), sets.end(), [](const RecoverySet& a, const RecoverySet& b) {
        return a.written != b.written ? a.written > b.written : a.folder > b.folder;
    });
    return sets;
}

std::unique_ptr<PaintedSixImage> loadRecovery(const RecoverySet& set) {
    auto panorama = std::make_unique<PaintedSixImage>();
    for (int i = 0; i < faceCount; ++i) {
        SixImage::FaceSlot slot{*panorama, i};
        LoadPNG(facePath(set.folder, i).c_str(), &SixImage::faceSink, &slot);
        if (!panorama->faces[i] || panorama->faces[i]->pixels == nullptr)
            throw ioException{facePath(set.folder, i), ioException::reading, "the face could not be made"};
    }
    panorama->fileName = set.fileName;
    panorama->layout = set.fileName.empty() ? -1 : set.layout;
    if (!set.title.empty()) {
        panorama->title = std::make_unique<char[]>(set.title.size() + 1);
        std::memcpy(panorama->title.get(), set.title.c_str(), set.title.size() + 1);
    }
    panorama->modified = 1;
    return panorama;
}

void discardRecovery(const RecoverySet& set) { removeSet(set.folder); }

std::string recoveryQuestion(const RecoverySet& set) {
    std::tm local{};
    localtime_r(&set.written, &local);
    char when[64];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    return std::string("Recover the unsaved panorama from ") + when + "?";
}
