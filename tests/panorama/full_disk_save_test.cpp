// Saves of every layout that writes several files, onto a disk that fills up part way.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "panorama/six_image.h"
#include "platform/io_exception.h"
#include "support/forked_child.h"
#include "support/image_files.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t page = 4096;  // a tmpfs file takes whole pages

// Every file of folder, name to contents.
std::map<std::string, std::string> contents(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = entry.is_regular_file() ? fileText(entry.path().string()) : "(folder)";
    return files;
}

std::uintmax_t pagesOf(const fs::path& folder) {
    std::uintmax_t pages = 0;
    for (const auto& entry : fs::directory_iterator(folder)) pages += (entry.file_size() + page - 1) / page;
    return pages;
}

// Faces of 64 pixels whose colours depend on seed, so an old and a new save differ in
// every file.
std::unique_ptr<SixImage> panorama(int seed) {
    auto made = std::make_unique<SixImage>(Size{64, 64}, Size{64, 64});
    for (int i = 0; i < faceCount; ++i)
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                std::uint8_t* p = made->faces[i]->row(y) + 3 * x;
                p[0] = static_cast<std::uint8_t>(seed * 50 + i * 30);
                p[1] = static_cast<std::uint8_t>(x * 4 + seed);
                p[2] = static_cast<std::uint8_t>(y * 4);
            }
    return made;
}

void save(SixImage& panorama, const fs::path& folder, const std::string& name, int layout) {
    panorama.fileName = (folder / name).string();
    panorama.layout = layout;
    panorama.write();
}

struct Layout {
    const char* name;
    int saveRow;
    // Removed after the old save, so that the new save writes it too (an existing scene
    // file is kept as the user left it).
    const char* scene;
};

const Layout layouts[] = {
    {"sky_FR.tga", 0, nullptr},  // 3DStudio Targa
    {"skyft.tga", 1, nullptr},   // QuakeII Targa
    {"skyft.pcx", 2, nullptr},   // QuakeII Targa & PCX: twelve files
    {"sky.wrl", 3, "sky.wrl"},   // VRML Background, PNG
    {"sky.wrl", 4, "sky.wrl"},   // VRML Background, JPEG
    {"sky.ivr", 6, "sky.ivr"},   // LivePicture Background, BMP
    {"sky.ivr", 8, "sky.ivr"},   // LivePicture sphere, BMP
    {"sky.ivr", 10, "sky.ivr"},  // LivePicture cube strip, BMP
    {"sky_ft.png", 14, nullptr}, // Sky box, PNG
};

// Mounts a tmpfs of size bytes over folder, or changes the size of the one there.
bool mountTmpfs(const fs::path& folder, std::uintmax_t size, bool remount) {
    const std::string options = "size=" + std::to_string(size);
    return ::mount("tmpfs", folder.c_str(), "tmpfs", remount ? MS_REMOUNT : 0, options.c_str()) == 0;
}

std::uintmax_t usedBytes(const fs::path& folder) {
    struct statvfs status {};
    if (::statvfs(folder.c_str(), &status) != 0) return 0;
    return (status.f_blocks - status.f_bfree) * status.f_frsize;
}

// In a private mount namespace: the old save, then new saves with room for only part of
// their files; each must fail writing, say that the disk is full and leave the old files
// as they were.
std::string fillUpWhileSaving(const Layout& layout, const fs::path& disk, const fs::path& reference) {
    std::ostringstream failures;
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "SKIP";
    if (!mountTmpfs(disk, 64 << 20, false)) return "SKIP";
    MessageRecorder messages;  // libjpeg's own complaint about the full disk
    save(*panorama(1), disk, layout.name, layout.saveRow);
    if (layout.scene != nullptr) fs::remove(disk / layout.scene);
    const auto old = contents(disk);
    const std::uintmax_t used = usedBytes(disk);
    const std::uintmax_t needed = pagesOf(reference);

    // No room at all, room for about half the files, for all but the last page, and for
    // every file but not the list of renames.
    for (const std::uintmax_t room : {std::uintmax_t{0}, needed / 2, needed - 1, needed}) {
        if (!mountTmpfs(disk, used + room * page, true)) return "cannot resize the tmpfs";
        try {
            save(*panorama(2), disk, layout.name, layout.saveRow);
            failures << "room for " << room << " of " << needed << " pages: the save succeeded\n";
        } catch (const ioException& e) {
            if (e.kind != ioException::writing)
                failures << "room for " << room << " pages: error kind " << e.kind << " (" << e.reason << ")\n";
            if (std::string(e.reason) != "no space left on the device")
                failures << "room for " << room << " pages: reason " << e.reason << "\n";
            if (e.path.find("/.domecast-") != std::string::npos) failures << "the error names " << e.path << "\n";
        }
        if (contents(disk) != old) failures << "room for " << room << " of " << needed << " pages: files changed\n";
    }
    if (!mountTmpfs(disk, 64 << 20, true)) return "cannot resize the tmpfs";
    save(*panorama(2), disk, layout.name, layout.saveRow);
    if (contents(disk) != contents(reference)) failures << "with room, the save differs from the reference\n";
    return failures.str();
}

TEST(FullDiskSave, EveryMultiFileLayoutKeepsItsOldFilesWhenTheDiskFills) {
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(std::string(layout.name) + " in save row " + std::to_string(layout.saveRow));
        TempDir dir;
        fs::create_directory(dir.path() / "disk");
        fs::create_directory(dir.path() / "reference");
        save(*panorama(2), dir.path() / "reference", layout.name, layout.saveRow);
        ASSERT_GT(contents(dir.path() / "reference").size(), 1u);
        const std::string report = checkInChild([&] { return fillUpWhileSaving(layout, dir.path() / "disk", dir.path() / "reference"); });
        if (report == "SKIP") GTEST_SKIP() << "mounting a small tmpfs needs root (CAP_SYS_ADMIN)";
        EXPECT_EQ(report, "");
    }
}

}  // namespace
